// The ringtones as the program holds them, written by ringtone_gen at build
// time: exact length and format, and sounds a person can hear.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "ringtone_synth.h"
#include "tone.h"

namespace {

std::vector<unsigned char> Ringtone(int index) {
  return {RingtoneSamples[index], RingtoneSamples[index] + RingtoneLength[index]};
}

// Power at `hz` over the seconds [from, to) (Goertzel filter).
double PowerAt(const std::vector<unsigned char>& s, double hz, double from, double to) {
  const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / kRingtoneRate);
  double s1 = 0, s2 = 0;
  for (long n = std::lround(from * kRingtoneRate); n < std::lround(to * kRingtoneRate); ++n) {
    const double v = (s[n] - 128.0) + coeff * s1 - s2;
    s2 = s1;
    s1 = v;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

TEST(Ringtones, ExactLengthUnsignedAroundSilenceEndingInOneZeroByte) {
  const long lengths[2] = {14892, 272005};
  for (int index : {0, 1}) {
    SCOPED_TRACE(index);
    const std::vector<unsigned char> s = Ringtone(index);
    ASSERT_EQ(RingtoneLength[index], lengths[index]);
    EXPECT_EQ(s.back(), 0x00);
    EXPECT_EQ(std::count(s.begin(), s.end(), 0x00), 1);
    EXPECT_EQ(s.front(), kSilence) << "no click at the start";
    EXPECT_EQ(s[s.size() - 2], kSilence) << "no click at the end";
    const auto [low, high] = std::minmax_element(s.begin(), s.end() - 1);
    EXPECT_EQ(std::max(kSilence - *low, *high - kSilence), 100) << "loud, never clipped";
    EXPECT_GT(std::min(kSilence - *low, *high - kSilence), 80);
  }
}

TEST(Ringtones, MessageChimeStrikesItsTwoNotesInTurn) {
  const std::vector<unsigned char> s = Ringtone(0);
  EXPECT_GT(PowerAt(s, kChimeFirstHz, 0.03, 0.40), 20 * PowerAt(s, kChimeSecondHz, 0.03, 0.40));
  EXPECT_GT(PowerAt(s, kChimeSecondHz, 0.45, 0.90), 5 * PowerAt(s, kChimeFirstHz, 0.45, 0.90));
  EXPECT_GT(PowerAt(s, kChimeFirstHz, 0.03, 0.40), 100 * PowerAt(s, 440, 0.03, 0.40));
}

TEST(Ringtones, CallRingsTwoBurstsEveryCadenceAndIsSilentBetween) {
  const std::vector<unsigned char> s = Ringtone(1);
  auto silent = [&](double from, double to) {
    return std::all_of(s.begin() + std::lround(from * kRingtoneRate),
                       s.begin() + std::lround(to * kRingtoneRate),
                       [](unsigned char v) { return v == kSilence; });
  };
  const double margin = 0.02;
  for (double cadence = 0; cadence < 34.0; cadence += kRingCadence) {
    SCOPED_TRACE(cadence);
    for (const Burst& b : kRingBursts) {
      const double from = cadence + b.start + margin, to = cadence + b.end - margin;
      const double tones = PowerAt(s, kRingLowHz, from, to) + PowerAt(s, kRingHighHz, from, to);
      EXPECT_GT(tones, 100 * PowerAt(s, 600, from, to));
      EXPECT_FALSE(silent(from, from + 0.05));
    }
    EXPECT_TRUE(silent(cadence + kRingBursts[0].end, cadence + kRingBursts[1].start));
    EXPECT_TRUE(silent(cadence + kRingBursts[1].end, std::min(cadence + kRingCadence, 34.0)));
  }
}

}  // namespace
