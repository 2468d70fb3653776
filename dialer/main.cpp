// dialer: one outgoing call. The user chooses a number, the call start frame
// announces it, and the call menu runs until the user ends the call.
#include <X11/Xlib.h>

#include <cstdio>

#include "call_menu.h"
#include "frame.h"
#include "number_entry.h"
#include "program.h"
#include "screen.h"

// The chosen number: at most 19 characters and a NUL.
char PhoneNr[20];

int main() {
  OpenStandardStreams();
  const char* chosen = GetPhoneNr();
  if (chosen == nullptr) return -1;
  std::snprintf(PhoneNr, sizeof PhoneNr, "%s", chosen);

  // A blank screen that lies under the call menu's windows to the end.
  GC gc;
  Window start_call = CreatePhoneWindow(&gc, "StartCall");
  if (start_call != 0) RemapPhoneWindow(start_call);

  std::fprintf(stderr, "PhoneNr is %s\n", PhoneNr);
  XFlush(PhoneDisplay);
  WriteCallFrame("start", PhoneNr);
  ShowCallMenu();
}
