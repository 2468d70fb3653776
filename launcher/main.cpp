// launcher: the phone's home menu, opened and closed by the AUX button.
#include <unistd.h>

#include "aux_watch.h"
#include "menus.h"
#include "program.h"

#ifndef INTERRUPTS_PATH
#error "INTERRUPTS_PATH is a FIXED value of phone_program() in launcher/CMakeLists.txt"
#endif

namespace {

// The launcher's whole program: every press toggles the menu; the file is
// polled every half second.
[[noreturn]] void AuxWatchLoop(AuxWatch& watch) {
  for (;;) {
    if (watch.CheckAuxButton() == 1) watch.ToggleMenu();
    usleep(kAuxPollMicroseconds);
  }
}

}  // namespace

int main() {
  OpenStandardStreams();
  AuxWatch watch(INTERRUPTS_PATH, RunMenu01);
  AuxWatchLoop(watch);
}
