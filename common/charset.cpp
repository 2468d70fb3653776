#include "charset.h"

namespace {

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the sequence a lead byte starts, and the bits it carries; 0 for
// a byte that starts none (a continuation byte, 0xF8 and above).
int SequenceLength(unsigned char lead, char32_t* bits) {
  if (lead < 0x80) return *bits = lead, 1;
  if ((lead & 0xE0) == 0xC0) return *bits = lead & 0x1F, 2;
  if ((lead & 0xF0) == 0xE0) return *bits = lead & 0x0F, 3;
  if ((lead & 0xF8) == 0xF0) return *bits = lead & 0x07, 4;
  return 0;
}

// The smallest code point each length may carry: anything below is an
// over-long form, refused so that no byte hides behind another.
constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};

// Decodes the sequence at utf8[at]: the code point, or U+FFFD for a
// malformed one; at moves past the lead byte and the continuation bytes
// that belonged to it.
char32_t DecodeOne(std::string_view utf8, size_t* at) {
  char32_t point = 0;
  const size_t start = (*at)++;
  const int length = SequenceLength(static_cast<unsigned char>(utf8[start]), &point);
  if (length == 0) return kReplacementCharacter;
  for (int i = 1; i < length; ++i, ++*at) {
    if (*at >= utf8.size() || !IsContinuation(static_cast<unsigned char>(utf8[*at])))
      return kReplacementCharacter;
    point = point << 6 | (utf8[*at] & 0x3F);
  }
  if (point < kSmallest[length] || point > 0x10FFFF || IsSurrogate(point))
    return kReplacementCharacter;
  return point;
}

}  // namespace

std::string CodePointsToLatin1(std::u32string_view text) {
  std::string latin1;
  latin1.reserve(text.size());
  for (char32_t c : text) latin1 += c <= 0xFF ? static_cast<char>(c) : '?';
  return latin1;
}

std::u32string Latin1ToCodePoints(std::string_view latin1) {
  std::u32string text;
  text.reserve(latin1.size());
  for (char c : latin1) text += static_cast<unsigned char>(c);
  return text;
}

std::u32string Utf8ToCodePoints(std::string_view utf8) {
  std::u32string text;
  for (size_t at = 0; at < utf8.size();) text += DecodeOne(utf8, &at);
  return text;
}

std::string CodePointsToUtf8(std::u32string_view text) {
  std::string utf8;
  for (char32_t c : text) {
    if (c > 0x10FFFF || IsSurrogate(c)) c = kReplacementCharacter;
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | c >> 6);
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | c >> 12);
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | c >> 18);
      utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}
