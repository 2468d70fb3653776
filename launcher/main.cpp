// launcher: the phone's home menu, opened and closed by the AUX button.
#include <unistd.h>

#include "aux_watch.h"
#include "menus.h"
#include "program.h"

#ifndef INTERRUPTS_PATH
#error "INTERRUPTS_PATH is set by launcher_program() in launcher/CMakeLists.txt"
#endif

int main() {
  OpenStandardStreams();
  AuxWatch watch(INTERRUPTS_PATH, RunMenu01);
  for (;;) {
    if (watch.Pressed()) watch.ToggleMenu();
    usleep(kAuxPollMicroseconds);
  }
}
