// The alphabets of message text: the GSM 7-bit default alphabet with its
// extension table, packed into octets as septets, and UCS2 as big-endian
// UTF-16 (surrogate pairs for what lies past U+FFFF).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

using Octets = std::vector<uint8_t>;

// Septets a code point takes in GSM 7-bit: 1, 2 for an extension character
// (escape and code), 0 when it has no GSM code.
int GsmSeptetCount(char32_t point);
// UTF-16 units a code point takes: 2 past U+FFFF, else 1.
int Ucs2UnitCount(char32_t point);

// The septets of text, or nothing when a character has no GSM code.
std::optional<Octets> GsmSeptets(std::u32string_view text);
// The same with a "?" for each character that has none.
Octets GsmSeptetsOrQuestionMarks(std::u32string_view text);
// An escape before a code the extension table lacks reads as that code of
// the default table; a lone escape at the end reads as nothing.
std::u32string GsmText(std::span<const uint8_t> septets);

// Septets stored from septet position `first` on (a septet's lowest bit
// first), the octets grown as far as they reach.
void PackSeptets(std::span<const uint8_t> septets, size_t first, Octets* octets);
// Count septets from septet position `first`; the octets must hold them
// (SeptetOctets(first + count)).
Octets UnpackSeptets(std::span<const uint8_t> octets, size_t first, size_t count);
// Octets that hold `septets` packed.
constexpr size_t SeptetOctets(size_t septets) { return (septets * 7 + 7) / 8; }
// The first septet position after `octets` octets: where text starts after
// a user data header, past its fill bits.
constexpr size_t FirstSeptetAfter(size_t octets) { return (octets * 8 + 6) / 7; }

Octets Ucs2Octets(std::u32string_view text);
// A surrogate pair is one code point, an unpaired surrogate U+FFFD; an odd
// last octet is no character and dropped.
std::u32string Ucs2Text(std::span<const uint8_t> octets);
