// DTMF tone synthesis and the PCM playback shared with the ringtones.
#include "tone.h"

#include <alsa/asoundlib.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace {

struct DtmfPair {
  float low;
  float high;
};

// Indexed by PhoneButton: 0-9, A, B, D, *, #.
constexpr DtmfPair kDtmfPairs[] = {
    {941, 1336}, {697, 1209}, {697, 1336}, {697, 1477}, {770, 1209},
    {770, 1336}, {770, 1477}, {852, 1209}, {852, 1336}, {852, 1477},
    {697, 1633}, {770, 1633}, {941, 1633}, {941, 1209}, {941, 1477},
};

constexpr float kPeakDeviation = 100;
constexpr float kCentre = 127;
constexpr unsigned kToneLatencyUs = 500000;

}  // namespace

bool SynthesizeDtmfTone(PhoneButton button, unsigned char out[kToneSamples]) {
  if (button >= std::size(kDtmfPairs)) return false;
  const float low = kDtmfPairs[button].low;
  const float high = kDtmfPairs[button].high;
  // The low tone's phase advance per sample, in degrees; the high tone's
  // phase is the low one scaled by high/low.
  const float step = low * 360 / kToneSampleRate;
  float wave[kToneSamples];
  float phase = 0, maximum = 0, minimum = 0;
  for (int n = 0; n < kToneSamples; ++n) {
    if (n > 0) phase += step;
    const float angle = static_cast<float>(phase * 0.017453292519943295);
    const float high_angle = angle * high / low;
    wave[n] = static_cast<float>(std::sin(static_cast<double>(high_angle)) +
                                 std::sin(static_cast<double>(angle)));
    if (wave[n] > maximum) maximum = wave[n];
    if (wave[n] < minimum) minimum = wave[n];
  }
  const float half_range = (maximum - minimum) * 0.5f;
  for (int n = 0; n < kToneSamples; ++n)
    out[n] = static_cast<unsigned char>(truncf(wave[n] / half_range * kPeakDeviation + kCentre));
  return true;
}

int PlayPcmSamples(const unsigned char* samples, long frames, const PcmPlayback& how) {
  snd_pcm_t* pcm = nullptr;
  int err = snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0);
  if (err < 0) {
    std::fprintf(stderr, "Playback open error: %s\n", snd_strerror(err));
    return kPcmOpenFailed;
  }
  err = snd_pcm_set_params(pcm, SND_PCM_FORMAT_U8, SND_PCM_ACCESS_RW_INTERLEAVED, 1, how.rate, 0,
                           how.latency_us);
  if (err < 0) {
    std::fprintf(stderr, "Playback open error: %s\n", snd_strerror(err));
    snd_pcm_close(pcm);
    return kPcmParamsRejected;
  }
  snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples, frames);
  // A write that fails but recovers counts as nothing written.
  if (written < 0) written = snd_pcm_recover(pcm, static_cast<int>(written), 0);
  if (written < 0) std::printf(how.write_failed_format, snd_strerror(static_cast<int>(written)));
  if (written > 0 && written < frames) std::printf(how.short_write_format, frames, written);
  usleep(how.latency_us);
  return snd_pcm_close(pcm);
}

void PlayDtmfTone(PhoneButton button) {
  unsigned char samples[kToneSamples];
  if (!SynthesizeDtmfTone(button, samples)) {
    std::fprintf(stderr, "Please use 0-14 for the value of PhoneButton\n");
    std::exit(1);
  }
  static constexpr PcmPlayback kTone = {kToneSampleRate, kToneLatencyUs,
                                        "snd_pcm_writei failed: %s\n",
                                        "Short write (expected %li, wrote %li)\n"};
  // A device that fails to open is reported by PlayPcmSamples; the call
  // goes on without the tone.
  PlayPcmSamples(samples, kToneSamples, kTone);
}
