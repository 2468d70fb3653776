// Hit tests and label positions of the Call Menu row and the DTMF keypad.
#include <gtest/gtest.h>

#include <string>

#include "call_menu.h"

namespace {

TEST(ButtonRow, ColumnsSplitAt160And320) {
  EXPECT_EQ(ButtonRowButton(1, 1), 1);
  EXPECT_EQ(ButtonRowButton(160, 80), 1);
  EXPECT_EQ(ButtonRowButton(161, 80), 2);
  EXPECT_EQ(ButtonRowButton(320, 80), 2);
  EXPECT_EQ(ButtonRowButton(321, 80), 3);
  EXPECT_EQ(ButtonRowButton(480, 160), 3);
}

TEST(ButtonRow, PositionsOutsideTheRowHitNothing) {
  EXPECT_EQ(ButtonRowButton(80, 0), 0);
  EXPECT_EQ(ButtonRowButton(80, 161), 0);
  EXPECT_EQ(ButtonRowButton(400, 639), 0);
  EXPECT_EQ(ButtonRowButton(0, 80), 0);
  EXPECT_EQ(ButtonRowButton(481, 80), 0);
  EXPECT_EQ(ButtonRowButton(-5, -5), 0);
}

TEST(DtmfKeypad, CellBoundsBelongToTheCellAboveAndLeft) {
  EXPECT_EQ(DtmfKeyAt(160, 200), 1);
  EXPECT_EQ(DtmfKeyAt(161, 200), 2);
  EXPECT_EQ(DtmfKeyAt(320, 200), 2);
  EXPECT_EQ(DtmfKeyAt(321, 200), 3);
  EXPECT_EQ(DtmfKeyAt(50, 128), kDtmfClose);
  EXPECT_EQ(DtmfKeyAt(50, 129), 1);
  EXPECT_EQ(DtmfKeyAt(50, 256), 1);
  EXPECT_EQ(DtmfKeyAt(50, 257), 4);
  EXPECT_EQ(DtmfKeyAt(480, 384), 6);
  EXPECT_EQ(DtmfKeyAt(480, 385), 9);
  EXPECT_EQ(DtmfKeyAt(50, 512), 7);
  EXPECT_EQ(DtmfKeyAt(50, 513), 13);
  EXPECT_EQ(DtmfKeyAt(480, 640), 14);
}

TEST(DtmfKeypad, BottomRowIsStarZeroHash) {
  EXPECT_EQ(DtmfKeyAt(80, 580), 13);
  EXPECT_EQ(DtmfKeyAt(240, 580), 0);
  EXPECT_EQ(DtmfKeyAt(400, 580), 14);
}

TEST(DtmfKeypad, WholeTopRowAndEverythingOutsideCloses) {
  for (int x : {1, 80, 160, 161, 240, 320, 321, 480})
    for (int y : {1, 64, 128}) EXPECT_EQ(DtmfKeyAt(x, y), kDtmfClose) << x << "," << y;
  EXPECT_EQ(DtmfKeyAt(0, 300), kDtmfClose);
  EXPECT_EQ(DtmfKeyAt(481, 300), kDtmfClose);
  EXPECT_EQ(DtmfKeyAt(240, 0), kDtmfClose);
  EXPECT_EQ(DtmfKeyAt(240, 641), kDtmfClose);
  EXPECT_EQ(DtmfKeyAt(-1000, -1000), kDtmfClose);
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
