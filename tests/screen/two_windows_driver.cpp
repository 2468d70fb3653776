// Opens two phone windows in one fresh process, for the font report test.
#include "screen.h"

int main() {
  GC gc;
  CreatePhoneWindow(&gc, "FontOnce");
  CreatePhoneWindow(&gc, "FontOnce");
  return 0;
}
