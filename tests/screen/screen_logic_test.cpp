// The toolkit's deciding logic without a display: hit test, label layout
// and the choice of a font that can draw the labels.
#include <gtest/gtest.h>

#include "screen.h"

#include <string>

namespace {

// A coordinate, or a point, and the column, row or cell it must fall in.
struct LineCase {
  int v;
  int expected;
};
struct PointCase {
  int x, y;
  int expected;
};

TEST(TouchCell, ColumnsIncludeTheirRightEdgeAndExcludeTheLeft) {
  const LineCase cases[] = {{0, -1},  {1, 0},   {160, 0},  {161, 1}, {320, 1},
                            {321, 2}, {480, 2}, {481, -1}, {-5, -1}};
  for (const LineCase& c : cases) EXPECT_EQ(TouchColumn(c.v), c.expected) << "x " << c.v;
}

TEST(TouchCell, RowsAndCellsFollowTheSameRule) {
  const LineCase rows[] = {{0, -1},  {1, 0},   {160, 0}, {161, 1},
                           {480, 2}, {481, 3}, {640, 3}, {641, -1}};
  for (const LineCase& c : rows) EXPECT_EQ(TouchRow(c.v), c.expected) << "y " << c.v;
  const PointCase cells[] = {{1, 1, 0},    {161, 160, 1}, {480, 161, 5}, {321, 640, 11},
                             {0, 100, -1}, {100, 0, -1},  {481, 100, -1}};
  for (const PointCase& c : cells) EXPECT_EQ(TouchCell(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(TouchCell, BandExcludesLowerBoundIncludesUpper) {
  EXPECT_FALSE(InBand(200, 200, 310));
  EXPECT_TRUE(InBand(201, 200, 310));
  EXPECT_TRUE(InBand(310, 200, 310));
  EXPECT_FALSE(InBand(311, 200, 310));
}

TEST(LabelLayout, EntriesFillFiveLinesPerCellRowByRow) {
  const char* labels[12] = {"", "", "Exit", "", "", "", "Contact", "", "list", "", "", nullptr};
  PlacedLabel placed[kLabelListCapacity];
  ASSERT_EQ(LayOutLabelList(labels, placed), 11);
  EXPECT_STREQ(placed[2].text, "Exit");
  EXPECT_EQ(placed[2].x, 4);
  EXPECT_EQ(placed[2].y, 80);
  EXPECT_STREQ(placed[6].text, "Contact");
  EXPECT_EQ(placed[6].x, 164);
  EXPECT_EQ(placed[6].y, 48);
  EXPECT_EQ(placed[8].y, 112);
  EXPECT_EQ(placed[10].x, 324);  // cell 2, line 0
  EXPECT_EQ(placed[10].y, 16);
}

TEST(LabelLayout, AnAbsentEntryEndsTheList) {
  const char* labels[] = {"one", "two", nullptr, "three", "four", nullptr};
  PlacedLabel placed[kLabelListCapacity];
  EXPECT_EQ(LayOutLabelList(labels, placed), 2);
}

TEST(LabelLayout, AFullListReachesTheLastLineOfCellEleven) {
  const char* labels[kLabelListCapacity + 1] = {};
  for (int i = 0; i < kLabelListCapacity; ++i) labels[i] = "x";
  PlacedLabel placed[kLabelListCapacity];
  ASSERT_EQ(LayOutLabelList(labels, placed), kLabelListCapacity);
  EXPECT_EQ(placed[59].x, 324);
  EXPECT_EQ(placed[59].y, 480 + 144);
  EXPECT_EQ(placed[15].x, 4);  // cell 3 starts the second row
  EXPECT_EQ(placed[15].y, 176);
}

// Font metrics as the server reports them.
struct FakeFont {
  XCharStruct glyphs[256] = {};
  XFontStruct font = {};
  FakeFont(unsigned first, unsigned last, unsigned byte1) {
    font.min_char_or_byte2 = first;
    font.max_char_or_byte2 = last;
    font.min_byte1 = font.max_byte1 = byte1;
    for (unsigned c = first; c <= last; ++c) glyphs[c - first] = {0, 10, 12, 20, 2, 0};
    font.per_char = glyphs;
  }
};

TEST(FontChoice, AcceptsOnlyFontsWithAVisibleA) {
  FakeFont latin(32, 255, 0);
  EXPECT_TRUE(FontDrawsLabels(&latin.font));

  FakeFont arabic(0, 255, 6);  // glyphs start at row 6
  EXPECT_FALSE(FontDrawsLabels(&arabic.font));

  FakeFont lacks_a(32, 255, 0);
  lacks_a.glyphs['A' - 32] = {};
  EXPECT_FALSE(FontDrawsLabels(&lacks_a.font));

  FakeFont digits(48, 57, 0);
  EXPECT_FALSE(FontDrawsLabels(&digits.font));
  FakeFont starts_after_a('B', 255, 0);
  EXPECT_FALSE(FontDrawsLabels(&starts_after_a.font));

  FakeFont uniform(0, 255, 0);  // no per-character table: all glyphs alike
  uniform.font.per_char = nullptr;
  uniform.font.max_bounds = {0, 10, 12, 20, 2, 0};
  EXPECT_TRUE(FontDrawsLabels(&uniform.font));

  EXPECT_FALSE(FontDrawsLabels(nullptr));
}

TEST(FontChoice, OnlyAnIso8859NameIsWorthLoading) {
  EXPECT_TRUE(FontNameDrawsLabels("-misc-fixed-bold-r-normal--30-217-100-100-c-0-iso8859-1"));
  EXPECT_TRUE(FontNameDrawsLabels("-adobe-courier-medium-r-normal--30-217-100-100-m-0-ISO8859-15"));
  // This server's first pick for the bare pattern, whose glyphs start at row 6.
  EXPECT_FALSE(
      FontNameDrawsLabels("-arabic-newspaper-medium-r-normal--30-217-100-100-p-0-iso10646-1"));
  EXPECT_FALSE(
      FontNameDrawsLabels("-daewoo-gothic-medium-r-normal--30-217-100-100-c-0-ksc5601.1987-0"));
  EXPECT_FALSE(FontNameDrawsLabels("-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859x-1"));
  EXPECT_FALSE(FontNameDrawsLabels(kFontPattern30)) << "a wildcard tells nothing";
  EXPECT_FALSE(FontNameDrawsLabels("fixed")) << "nor does an alias";
  EXPECT_FALSE(FontNameDrawsLabels("iso8859-1"));
  EXPECT_FALSE(FontNameDrawsLabels(""));
}

TEST(FontChoice, LatinPatternReplacesTheEncodingFields) {
  char out[128];
  LatinFontPattern(kFontPattern30, out, sizeof out);
  EXPECT_STREQ(out, "-*-*-*-*-*-*-30-*-*-*-*-*-iso8859-1");
  LatinFontPattern(kFontPattern40, out, sizeof out);
  EXPECT_STREQ(out, "-*-*-*-*-*-*-40-*-*-*-*-*-iso8859-1");
  char small[12];
  LatinFontPattern(kFontPattern30, small, sizeof small);
  EXPECT_EQ(std::string(small), "-*-*-*-*-*-");
}

}  // namespace
