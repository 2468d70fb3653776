// DTMF tones and ringtones through the ALSA "default" PCM device.
#pragma once

using PhoneButton = unsigned int;

inline constexpr int kToneSampleRate = 16000;
inline constexpr int kToneSamples = 8000;

// Plays the half-second tone of a keypad button (0 to 14).
void PlayDtmfTone(PhoneButton button);

// The program's two ringtones (0: message, 1: call), 8-bit unsigned mono
// at 8000 Hz. The program that rings defines these.
extern const long RingtoneLength[2];
extern const unsigned char* const RingtoneSamples[2];

// Selects the ringtone routing and plays ringtone index once.
int PlayRingtone(int index);
