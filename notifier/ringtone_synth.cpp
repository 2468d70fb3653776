#include "ringtone_synth.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPeakDeviation = 100;  // of the 127 the samples allow
constexpr double kTwoPi = 2 * std::numbers::pi;

// Scales the wave to the peak deviation around silence, and ends it with
// the 0x00 byte the player expects.
std::vector<unsigned char> ToSamples(const std::vector<double>& wave) {
  double peak = 0;
  for (double v : wave) peak = std::max(peak, std::fabs(v));
  const double gain = peak > 0 ? kPeakDeviation / peak : 0;
  std::vector<unsigned char> samples;
  samples.reserve(wave.size() + 1);
  for (double v : wave) samples.push_back(static_cast<unsigned char>(std::lround(kSilence + gain * v)));
  samples.push_back(0x00);
  return samples;
}

// Rises over `ramp` seconds from 0 at t = 0 to 1, without a click.
double Ramp(double t, double ramp) {
  if (t <= 0) return 0;
  if (t >= ramp) return 1;
  return 0.5 - 0.5 * std::cos(std::numbers::pi * t / ramp);
}

// A small struck bell: the note and its octave, the octave dying faster.
double Bell(double t, double hz) {
  if (t <= 0) return 0;
  const double note = std::sin(kTwoPi * hz * t) * std::exp(-t / 0.30);
  const double octave = 0.3 * std::sin(2 * kTwoPi * hz * t) * std::exp(-t / 0.12);
  return Ramp(t, 0.004) * (note + octave);
}

}  // namespace

std::vector<unsigned char> MessageChime() {
  const long frames = kMessageChimeFrames - 1;
  const double length = static_cast<double>(frames) / kRingtoneSampleRate;
  std::vector<double> wave(frames);
  for (long n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kRingtoneSampleRate;
    // The last 0.3 s fade the tail of the second note out to silence.
    wave[n] = (Bell(t - kChimeFirstAt, kChimeFirstHz) + Bell(t - kChimeSecondAt, kChimeSecondHz)) *
              Ramp(length - t, 0.3);
  }
  return ToSamples(wave);
}

std::vector<unsigned char> CallRing() {
  const long frames = kCallRingFrames - 1;
  std::vector<double> wave(frames);
  for (long n = 0; n < frames; ++n) {
    const double t = static_cast<double>(n) / kRingtoneSampleRate;
    const double in_cadence = std::fmod(t, kRingCadence);
    double envelope = 0;
    for (const Burst& burst : kRingBursts)
      envelope += Ramp(in_cadence - burst.start, 0.01) * Ramp(burst.end - in_cadence, 0.01);
    // The pair warbles at 25 Hz, like the hammer between two bells.
    const double warble = 0.7 + 0.3 * std::cos(kTwoPi * 25 * t);
    wave[n] = envelope * warble *
              (std::sin(kTwoPi * kRingLowHz * t) + std::sin(kTwoPi * kRingHighHz * t));
  }
  return ToSamples(wave);
}
