#include "screen.h"

// Every program but smsreader uses the 30-pixel font; smsreader defines
// PhoneFontPattern itself, so this object file is then never linked.
const char* const PhoneFontPattern = kFontPattern30;
