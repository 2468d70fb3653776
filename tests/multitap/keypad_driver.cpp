// Shows the text keypad in a window of its own and prints what it returned:
// the text in brackets, or "(none)" when the keypad gave nothing.
#include <cstdio>

#include "multitap.h"
#include "screen.h"

int main() {
  const Window window = CreatePhoneWindow(&PhoneGC, "MultitapKeypad");
  if (window == 0) return 1;
  const char* text = GetTextMessageBody(window);
  if (text == nullptr)
    printf("(none)\n");
  else
    printf("[%s]\n", text);
  return 0;
}
