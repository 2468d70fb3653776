// The ringtones as the program holds them, written by ringtone_gen at build
// time: exact length and format, and sounds a person can hear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "ringtone_synth.h"
#include "ringtones.h"
#include "tone.h"

namespace {

// Power at `hz` over the seconds [from, to) (Goertzel filter).
double PowerAt(const unsigned char* s, double hz, double from, double to) {
  const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / kRingtoneSampleRate);
  double s1 = 0, s2 = 0;
  for (long n = std::lround(from * kRingtoneSampleRate); n < std::lround(to * kRingtoneSampleRate); ++n)
    s2 = std::exchange(s1, (s[n] - 128.0) + coeff * s1 - s2);
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

TEST(Ringtones, ExactLengthAroundSilenceLoudUnclippedEndingInOneZeroByte) {
  ASSERT_EQ(kRingtones[0].size(), 14892u);
  ASSERT_EQ(kRingtones[1].size(), 272005u);
  for (int index : {0, 1}) {
    const std::vector<unsigned char> s(kRingtones[index].begin(), kRingtones[index].end());
    EXPECT_EQ(std::count(s.begin(), s.end(), 0x00), 1);
    EXPECT_EQ(s.back(), 0x00);
    EXPECT_TRUE(s.front() == kSilence && s[s.size() - 2] == kSilence) << "no click at either end";
    const auto [low, high] = std::minmax_element(s.begin(), s.end() - 1);
    EXPECT_EQ(std::max(kSilence - *low, *high - kSilence), 100) << index;
  }
}

TEST(Ringtones, ChimeStrikesTwoNotesInTurnAndTheRingKeepsItsCadence) {
  const unsigned char* chime = kRingtones[0].data();
  EXPECT_GT(PowerAt(chime, kChimeFirstHz, 0.03, 0.4), 20 * PowerAt(chime, kChimeSecondHz, 0.03, 0.4));
  EXPECT_GT(PowerAt(chime, kChimeSecondHz, 0.45, 0.9), 5 * PowerAt(chime, kChimeFirstHz, 0.45, 0.9));

  const unsigned char* ring = kRingtones[1].data();
  auto silent = [&](double from, double to) {
    return std::all_of(ring + std::lround(from * kRingtoneSampleRate), ring + std::lround(to * kRingtoneSampleRate),
                       [](unsigned char v) { return v == kSilence; });
  };
  for (double cadence = 0; cadence < 34; cadence += kRingCadence) {
    for (const Burst& b : kRingBursts) {
      const double from = cadence + b.start + 0.02, to = cadence + b.end - 0.02;
      const double tones = PowerAt(ring, kRingLowHz, from, to) + PowerAt(ring, kRingHighHz, from, to);
      EXPECT_GT(tones, 100 * PowerAt(ring, 600, from, to)) << from;
      EXPECT_FALSE(silent(from, from + 0.05)) << from;
    }
    EXPECT_TRUE(silent(cadence + kRingBursts[0].end, cadence + kRingBursts[1].start)) << cadence;
    EXPECT_TRUE(silent(cadence + kRingBursts[1].end, std::min(cadence + kRingCadence, 34.0))) << cadence;
  }
}

}  // namespace
