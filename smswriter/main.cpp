// smswriter: writes one text message. The user chooses the recipient, types
// the text on the multi-tap keypad, and "Send" writes it as one sms transmit
// frame.
#include <X11/Xlib.h>

#include <cstdio>

#include "frame.h"
#include "multitap.h"
#include "number_entry.h"
#include "program.h"
#include "screen.h"

// The recipient: at most 19 characters and a NUL.
char PhoneNr[20];
// The typed text as the keypad returned it: 159 characters, the mark, a NUL
// and room to spare.
char TextMessageBody[164];

namespace {

// The composer's window is named by the number 9.
constexpr int kTextWindowNumber = 9;

// The message as it goes out: the date and time are fixed texts, the
// composer does not read the clock.
TextMessage OutgoingMessage() {
  TextMessage message;
  message.TextAction = "transmit";
  message.TextMessageNr = 0;
  message.PhoneNumber = PhoneNr;
  message.TextMessageDate = "01-01-1814";
  message.TextMessageTime = "23:59:00";
  message.TextMessageBody = TextMessageBody;
  return message;
}

}  // namespace

int main() {
  OpenStandardStreams();
  const char* chosen = GetPhoneNr();
  if (chosen == nullptr) return -1;
  std::snprintf(PhoneNr, sizeof PhoneNr, "%s", chosen);

  char title[12];
  std::snprintf(title, sizeof title, "%i", kTextWindowNumber);
  GC gc;
  Window window = CreatePhoneWindow(&gc, title);
  if (window == 0) return 1;
  RemapPhoneWindow(window);

  const char* typed = GetTextMessageBody(window);
  if (typed == nullptr) return -1;
  std::snprintf(TextMessageBody, sizeof TextMessageBody, "%s", typed);

  std::fprintf(stderr, "201203011354 PhoneNr is %s\n", PhoneNr);
  std::fprintf(stderr, "201203011355 TextMessageBody is %s\n", TextMessageBody);
  XFlush(PhoneDisplay);
  WriteSmsFrame(OutgoingMessage());
  return 0;
}
