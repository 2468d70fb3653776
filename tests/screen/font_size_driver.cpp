// Prints the pixel size of the font its phone window draws with. Built
// twice: with the library's default font, and with LARGE_FONT choosing the
// 40-pixel pattern the way smsreader does.
#include <X11/Xlib.h>

#include <cstdio>

#include "screen.h"

int main() {
#ifdef LARGE_FONT
  UsePhoneFont(kFontPattern40);
#endif
  GC gc;
  if (CreatePhoneWindow(&gc, "FontSize") == 0) return 1;
  XGCValues values;
  if (!XGetGCValues(PhoneDisplay, gc, GCFont, &values)) return 1;
  XFontStruct* font = XQueryFont(PhoneDisplay, values.font);
  if (font == nullptr) return 1;
  unsigned long pixel_size = 0;
  bool known = XGetFontProperty(font, XInternAtom(PhoneDisplay, "PIXEL_SIZE", False), &pixel_size);
  XFreeFontInfo(nullptr, font, 1);
  if (!known) return 1;
  std::printf("%lu\n", pixel_size);
  return 0;
}
