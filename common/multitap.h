// The multi-tap text keypad.
#pragma once

#include <X11/Xlib.h>

// Runs the keypad on a mapped 480 by 640 window of PhoneDisplay. Returns the
// typed text (owned by the keypad, valid until the next call) on "Send", or
// nullptr on "Close".
const char* GetTextMessageBody(Window window);
