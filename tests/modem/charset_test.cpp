// Text between frames (Latin-1), the bridges (code points) and D-Bus (UTF-8).
#include <gtest/gtest.h>

#include <string>

#include "charset.h"

namespace {

TEST(Latin1, CarriesEveryByteAndMarksWhatItLacks) {
  std::string every_byte;
  for (int byte = 1; byte < 256; ++byte) every_byte += static_cast<char>(byte);
  std::u32string points = Latin1ToCodePoints(every_byte);
  ASSERT_EQ(points.size(), 255u);
  EXPECT_EQ(points[0xE9 - 1], U'\u00e9');
  EXPECT_EQ(points[0xFF - 1], U'\u00ff');
  EXPECT_EQ(CodePointsToLatin1(points), every_byte);

  // One "?" for each code point, also one past the BMP, and none lost.
  EXPECT_EQ(CodePointsToLatin1(U"a\u20ac\U0001F600\u00e9\u0100"), "a??\xe9?");
  EXPECT_EQ(CodePointsToLatin1(std::u32string(1, U'\0') + U"x"), std::string("\0x", 2));
}

TEST(Utf8, DecodesEveryLengthAndEncodesItBack) {
  std::u32string points = Utf8ToCodePoints("A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbfz");
  EXPECT_EQ(points, U"A\u00e9\u20ac\U0001F600\U0010FFFFz");
  EXPECT_EQ(CodePointsToUtf8(points), "A\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbfz");
  EXPECT_EQ(CodePointsToUtf8(U"\u007f\u0080\u07ff\u0800\uffff\U00010000"),
            "\x7f\xc2\x80\xdf\xbf\xe0\xa0\x80\xef\xbf\xbf\xf0\x90\x80\x80");
  // What UTF-8 cannot carry is written as the replacement character.
  EXPECT_EQ(CodePointsToUtf8(std::u32string{0xD800, 0x110000}), "\xef\xbf\xbd\xef\xbf\xbd");
}

TEST(Utf8, EachMalformedSequenceIsOneReplacementAndDecodingGoesOn) {
  constexpr char32_t R = kReplacementCharacter;
  struct Case {
    const char* bytes;
    std::u32string points;
  } cases[] = {
      {"a\x80" "b", {U'a', R, U'b'}},                  // stray continuation byte
      {"a\x80\x80" "b", {U'a', R, R, U'b'}},           // two of them
      {"a\xe2\x82" "b", {U'a', R, U'b'}},              // cut before its end
      {"\xe2\x82", {R}},                               // cut by the end of the text
      {"\xf0\x9f\x98", {R}},
      {"\xc0\xaf" "x", {R, U'x'}},                     // over-long "/"
      {"\xe0\x80\xaf", {R}},                           // over-long again
      {"\xed\xa0\x80" "x", {R, U'x'}},                 // a surrogate
      {"\xf4\x90\x80\x80", {R}},                       // past U+10FFFF
      {"\xf8\x88\x80\x80\x80", {R, R, R, R, R}},       // no such lead byte
      {"\xff" "\xc3\xa9", {R, U'\u00e9'}},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToCodePoints(c.bytes), c.points) << c.bytes;
  EXPECT_EQ(CodePointsToLatin1(Utf8ToCodePoints("caf\xc3\xa9 \xe2\x82" "!")), "caf\xe9 ?!");
}

}  // namespace
