// The notifier's two ringtones, synthesised: raw unsigned 8-bit mono
// samples at the ringtone rate, silence at 0x80, each ending with one
// 0x00 byte. ringtone_gen writes them into the program's source at build
// time.
#pragma once

#include <vector>

#include "tone.h"

inline constexpr unsigned char kSilence = 0x80;

// A two-note chime for a new message: E6 then C6, each struck like a small
// bell and dying away, about 1.9 s.
inline constexpr long kMessageChimeFrames = 14892;
inline constexpr double kChimeFirstHz = 1318.51;
inline constexpr double kChimeSecondHz = 1046.50;
inline constexpr double kChimeFirstAt = 0.02;   // seconds
inline constexpr double kChimeSecondAt = 0.42;  // seconds
std::vector<unsigned char> MessageChime();

// The classic double ring for a call: two 0.4 s bursts 0.2 s apart every
// 3 s, a warbling A5 and C#6 pair, about 34 s (twelve cadences).
inline constexpr long kCallRingFrames = 272005;
inline constexpr double kRingLowHz = 880.0;
inline constexpr double kRingHighHz = 1108.73;
inline constexpr double kRingCadence = 3.0;  // seconds
struct Burst {
  double start, end;  // seconds into the cadence
};
inline constexpr Burst kRingBursts[2] = {{0.0, 0.4}, {0.6, 1.0}};
std::vector<unsigned char> CallRing();
