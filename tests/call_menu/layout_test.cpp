// Hit tests and label positions of the Call Menu row and the DTMF keypad.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "call_menu.h"

namespace {

struct PointCase {
  int x, y;
  int expected;
};

// Each case of the table through the hit test, named by its point on failure.
void ExpectHits(int (*hit)(int x, int y), std::initializer_list<PointCase> cases) {
  for (const PointCase& c : cases) EXPECT_EQ(hit(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(ButtonRow, ColumnsSplitAt160And320) {
  ExpectHits(ButtonRowButton,
             {{1, 1, 1}, {160, 80, 1}, {161, 80, 2}, {320, 80, 2}, {321, 80, 3}, {480, 160, 3}});
}

TEST(ButtonRow, PositionsOutsideTheRowHitNothing) {
  ExpectHits(ButtonRowButton,
             {{80, 0, 0}, {80, 161, 0}, {400, 639, 0}, {0, 80, 0}, {481, 80, 0}, {-5, -5, 0}});
}

TEST(DtmfKeypad, CellBoundsBelongToTheCellAboveAndLeft) {
  ExpectHits(DtmfKeyAt, {{160, 200, 1},
                         {161, 200, 2},
                         {320, 200, 2},
                         {321, 200, 3},
                         {50, 128, kDtmfClose},
                         {50, 129, 1},
                         {50, 256, 1},
                         {50, 257, 4},
                         {480, 384, 6},
                         {480, 385, 9},
                         {50, 512, 7},
                         {50, 513, 13},
                         {480, 640, 14}});
}

TEST(DtmfKeypad, BottomRowIsStarZeroHash) {
  ExpectHits(DtmfKeyAt, {{80, 580, 13}, {240, 580, 0}, {400, 580, 14}});
}

TEST(DtmfKeypad, WholeTopRowAndEverythingOutsideCloses) {
  for (int x : {1, 80, 160, 161, 240, 320, 321, 480})
    for (int y : {1, 64, 128}) EXPECT_EQ(DtmfKeyAt(x, y), kDtmfClose) << x << "," << y;
  ExpectHits(DtmfKeyAt, {{0, 300, kDtmfClose},
                         {481, 300, kDtmfClose},
                         {240, 0, kDtmfClose},
                         {240, 641, kDtmfClose},
                         {-1000, -1000, kDtmfClose}});
}

// The key that a label sits on: its digit, 13 for "*", 14 for "#".
int KeyOfLabel(const std::string& label) {
  if (label == "*") return 13;
  if (label == "#") return 14;
  if (label == "Exit") return kDtmfClose;
  return std::stoi(label);
}

TEST(DtmfKeypad, EachLabelLiesOnTheKeyItNames) {
  int labels = 0;
  for (int row = 0; row < kDtmfRows; ++row)
    for (int column = 0; column < kDtmfColumns; ++column)
      for (int line = 0; line < kDtmfTextLines; ++line) {
        const DtmfText t = DtmfTextAt(row, column, line);
        if (t.text[0] == '\0') continue;
        ++labels;
        EXPECT_EQ(line, 2);
        // A point inside the glyph: right of its start, above its baseline.
        EXPECT_EQ(DtmfKeyAt(t.x + 5, t.y - 10), KeyOfLabel(t.text)) << t.text;
      }
  EXPECT_EQ(labels, 13);
}

TEST(DtmfKeypad, TextLinesAreTwentyPixelsApartInsideTheirColumn) {
  for (int row = 0; row < kDtmfRows; ++row)
    for (int column = 0; column < kDtmfColumns; ++column) {
      const DtmfText first = DtmfTextAt(row, column, 0);
      for (int line = 1; line < kDtmfTextLines; ++line) {
        const DtmfText t = DtmfTextAt(row, column, line);
        EXPECT_EQ(t.y - first.y, 20 * line);
        EXPECT_EQ(t.x, first.x);
      }
      EXPECT_GT(first.x, column * 160);
      EXPECT_LT(first.x, column * 160 + 160);
    }
  EXPECT_EQ(DtmfTextAt(0, 0, 2).x, 15);  // "Exit" starts further left
  EXPECT_EQ(DtmfTextAt(1, 0, 2).x, 50);
  EXPECT_EQ(DtmfTextAt(4, 2, 4).y, 640);
}

}  // namespace
