// The vibrator: a LED-class device whose timer trigger pulses it.
#pragma once

// Pulses of 300 ms every second.
void VibratorOn();
// Still. Safe in a signal handler.
void VibratorOff();
