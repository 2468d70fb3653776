// Text between the frames and the bridges. Frames carry ISO 8859-1, the
// encoding of the windows' fonts; inside a bridge text is code points, and
// ModemManager's D-Bus strings are UTF-8.
#pragma once

#include <string>
#include <string_view>

// The code point for what cannot be decoded.
inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// A code point Latin-1 lacks becomes one "?"; every other arrives as itself.
std::string CodePointsToLatin1(std::u32string_view text);
std::u32string Latin1ToCodePoints(std::string_view latin1);

// A malformed sequence (a stray continuation byte, a cut or over-long
// sequence, a surrogate, a value past U+10FFFF) is one U+FFFD, so one "?"
// in Latin-1; decoding goes on after the bytes it took.
std::u32string Utf8ToCodePoints(std::string_view utf8);
// A code point that no UTF-8 can carry (a surrogate, past U+10FFFF) is
// written as U+FFFD.
std::string CodePointsToUtf8(std::u32string_view text);
