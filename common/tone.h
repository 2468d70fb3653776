// DTMF tones and ringtones through the ALSA "default" PCM device.
#pragma once

#include <span>

using PhoneButton = unsigned int;

inline constexpr int kToneSampleRate = 16000;
inline constexpr int kToneSamples = 8000;

// Plays the half-second tone of a keypad button (0 to 14). A button above
// 14 ends the process with status 1; a PCM device that cannot be opened or
// configured is reported and the tone skipped.
void PlayDtmfTone(PhoneButton button);

// The tone's 8000 samples, 8-bit unsigned at 16000 Hz, exactly as
// PlayDtmfTone sends them. Returns false, writing nothing, for a button
// above 14.
bool SynthesizeDtmfTone(PhoneButton button, unsigned char out[kToneSamples]);

// Ringtones are 8-bit unsigned mono at this rate.
inline constexpr int kRingtoneSampleRate = 8000;
// The ringtone player's device latency, which it also waits after its
// write so that the tail plays out.
inline constexpr unsigned kRingtoneLatencyUs = 800000;

// Selects the ringtone routing and plays the samples once; `number` names
// the ringtone in the log.
int PlayRingtone(int number, std::span<const unsigned char> samples);

// The playback shared by tones and ringtones: opens "default", sets 8-bit
// unsigned mono at `rate` with `latency_us`, writes all frames in one
// blocking write, sleeps one latency so the tail plays, and closes.
struct PcmPlayback {
  unsigned rate;
  unsigned latency_us;
  const char* write_failed_format;  // printf format with %s, to stdout
  const char* short_write_format;   // printf format with two %li, to stdout
};
inline constexpr int kPcmOpenFailed = -11;
inline constexpr int kPcmParamsRejected = -1;
// Returns the result of closing the device, kPcmOpenFailed or
// kPcmParamsRejected (both reported as "Playback open error: ...").
int PlayPcmSamples(const unsigned char* samples, long frames, const PcmPlayback& how);
