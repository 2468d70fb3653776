// DTMF synthesis, and tones and ringtones played through the real ALSA PCM
// path into the rig's capture file.
#include "tone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "alsarig.h"
#include "routing.h"

namespace {

using alsarig::AlsaRig;
using alsarig::PcmMode;
using alsarig::RunInChild;

constexpr std::array<unsigned char, 1500> kShortRing = [] {
  std::array<unsigned char, 1500> a{};
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>(i * 13 + 5);
  return a;
}();
// Longer than the device buffer (0.8 s at 8000 Hz).
constexpr std::array<unsigned char, 9001> kLongRing = [] {
  std::array<unsigned char, 9001> a{};
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<unsigned char>(i % 251);
  return a;
}();

std::vector<unsigned char> Tone(PhoneButton button) {
  std::vector<unsigned char> bytes(kToneSamples);
  EXPECT_TRUE(SynthesizeDtmfTone(button, bytes.data()));
  return bytes;
}

// Power of the tone at `hz` (Goertzel filter over the whole tone).
double PowerAt(const std::vector<unsigned char>& bytes, double hz) {
  const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / kToneSampleRate);
  double s1 = 0, s2 = 0;
  for (unsigned char b : bytes) {
    const double s = (b - 127.0) + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  return s1 * s1 + s2 * s2 - coeff * s1 * s2;
}

struct Pair {
  double low, high;
};
constexpr Pair kPairs[15] = {
    {941, 1336}, {697, 1209}, {697, 1336}, {697, 1477}, {770, 1209},
    {770, 1336}, {770, 1477}, {852, 1209}, {852, 1336}, {852, 1477},
    {697, 1633}, {770, 1633}, {941, 1633}, {941, 1209}, {941, 1477},
};
constexpr double kDtmfFrequencies[] = {697, 770, 852, 941, 1209, 1336, 1477, 1633};

TEST(DtmfSynthesis, EveryButtonSwingsAboutTheCentreWithItsTwoFrequencies) {
  for (PhoneButton button = 0; button < 15; ++button) {
    SCOPED_TRACE(button);
    const std::vector<unsigned char> bytes = Tone(button);
    EXPECT_EQ(bytes[0], 127);
    const auto [lo, hi] = std::minmax_element(bytes.begin(), bytes.end());
    EXPECT_TRUE(*lo == 26 || *lo == 27) << int(*lo);
    EXPECT_TRUE(*hi == 226 || *hi == 227) << int(*hi);

    const double low = PowerAt(bytes, kPairs[button].low);
    const double high = PowerAt(bytes, kPairs[button].high);
    EXPECT_GT(low, high / 2);
    EXPECT_GT(high, low / 2);
    for (double other : kDtmfFrequencies) {
      if (other == kPairs[button].low || other == kPairs[button].high) continue;
      EXPECT_LT(PowerAt(bytes, other) * 100, std::min(low, high)) << other << " Hz";
    }
  }
}

// Reference values from a separate model of the synthesis that rounds to
// single precision at each step; a double-precision phase or sum differs
// from it in thousands of bytes, among them the indexed ones below.
TEST(DtmfSynthesis, MatchesTheSinglePrecisionReference) {
  struct Reference {
    PhoneButton button;
    long sum;
    std::array<std::pair<int, int>, 4> bytes;  // index, value
  };
  const Reference references[] = {
      {5, 1012016, {{{25, 200}, {26, 220}, {118, 42}, {7999, 112}}}},
      {12, 1012426, {{{187, 152}, {422, 102}, {516, 124}, {7999, 183}}}},
  };
  for (const Reference& ref : references) {
    SCOPED_TRACE(ref.button);
    const std::vector<unsigned char> bytes = Tone(ref.button);
    long sum = 0;
    for (unsigned char b : bytes) sum += b;
    EXPECT_EQ(sum, ref.sum);
    for (auto [index, value] : ref.bytes) EXPECT_EQ(bytes[index], value) << "byte " << index;
  }
}

TEST(DtmfSynthesis, ButtonsAboveFourteenHaveNoTone) {
  unsigned char out[kToneSamples];
  std::fill(std::begin(out), std::end(out), 9);
  EXPECT_FALSE(SynthesizeDtmfTone(15, out));
  EXPECT_FALSE(SynthesizeDtmfTone(static_cast<PhoneButton>(-1), out));
  EXPECT_EQ(std::count(std::begin(out), std::end(out), 9), kToneSamples);
}

TEST(DtmfPlayback, TonesLandInTheDeviceByteForByte) {
  AlsaRig rig;
  auto r = RunInChild(rig, [] {
    PlayDtmfTone(5);
    PlayDtmfTone(13);
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  std::vector<unsigned char> expected = Tone(5);
  const std::vector<unsigned char> star = Tone(13);
  expected.insert(expected.end(), star.begin(), star.end());
  EXPECT_EQ(rig.CaptureBytes(), expected);
}

TEST(DtmfPlayback, BadButtonEndsTheProcessWithStatusOne) {
  AlsaRig rig;
  for (PhoneButton button : {15u, static_cast<PhoneButton>(-1)}) {
    auto r = RunInChild(rig, [&] {
      PlayDtmfTone(button);
      std::printf("returned\n");
    });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(r.err, "Please use 0-14 for the value of PhoneButton\n");
    EXPECT_EQ(r.out, "");
  }
  EXPECT_TRUE(rig.CaptureBytes().empty());
}

// ALSA itself may log lines of its own before the program's message.
std::string LastLine(const std::string& text) {
  if (text.empty()) return "";
  size_t start = text.rfind('\n', text.size() - 2);
  return start == std::string::npos ? text : text.substr(start + 1);
}

// A call must go on when the device is unusable: the tone is reported and
// skipped, and the caller carries on.
TEST(DtmfPlayback, UnusableDeviceIsReportedAndTheCallerGoesOn) {
  for (PcmMode mode : {PcmMode::kCannotOpen, PcmMode::kRejectsParams}) {
    AlsaRig rig({.pcm = mode});
    auto r = RunInChild(rig, [] {
      PlayDtmfTone(1);
      std::printf("returned\n");
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "returned\n");
    EXPECT_EQ(LastLine(r.err), "Playback open error: Invalid argument\n");
  }
}

TEST(Ringtone, PlaysItsSamplesAfterSelectingTheRingtoneRouting) {
  AlsaRig rig;
  auto r = RunInChild(rig, [] {
    std::printf("%d\n", PlayRingtone(0, kShortRing));
    std::printf("%d\n", PlayRingtone(1, kLongRing));
  });
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "0\n0\n");
  EXPECT_EQ(r.err.rfind("201202251241 playing ringtone 0\n201202251048 setting state \n", 0), 0u)
      << r.err;
  EXPECT_NE(r.err.find("201202251241 playing ringtone 1\n"), std::string::npos);
  EXPECT_NE(r.err.find("201202271033 State is  2\n"), std::string::npos);

  std::vector<unsigned char> expected(kShortRing.begin(), kShortRing.end());
  expected.insert(expected.end(), kLongRing.begin(), kLongRing.end());
  EXPECT_EQ(rig.CaptureBytes(), expected);
  EXPECT_EQ(rig.CodecValue(0, codec::kPlaybackVolume), 127);
  EXPECT_EQ(rig.CodecValue(9, codec::kPlaybackVolume), 235);
  EXPECT_EQ(rig.CodecValue(50, codec::kCaptureVolume), 195);
  EXPECT_EQ(rig.CodecValue(76, codec::kPlaybackSwitch), 1);
}

TEST(Ringtone, UnusableDeviceGivesItsOwnResult) {
  struct Case {
    PcmMode mode;
    int result;
  };
  for (Case c : {Case{PcmMode::kCannotOpen, -11}, Case{PcmMode::kRejectsParams, -1}}) {
    AlsaRig rig({.pcm = c.mode});
    auto r = RunInChild(rig, [] { std::printf("%d\n", PlayRingtone(1, kLongRing)); });
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(c.result) + "\n");
    EXPECT_NE(r.err.find("201202271033 State is  2\n"), std::string::npos) << r.err;
    EXPECT_EQ(LastLine(r.err), "Playback open error: Invalid argument\n");
    EXPECT_EQ(rig.CodecValue(9, codec::kPlaybackVolume), 235);  // routed all the same
  }
}

}  // namespace
