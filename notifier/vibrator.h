// The vibrator: a LED-class device whose timer trigger pulses it.
#pragma once

#include <string>

// root: where the attribute paths begin, "" on the phone. Set once, before
// the vibrator is used.
void SetVibratorRoot(const std::string& root);
// Pulses of 300 ms every second.
void VibratorOn();
// Still. Safe in a signal handler.
void VibratorOff();
