// launcher: the phone's home menu, opened and closed by the AUX button.
#include "aux_watch.h"
#include "program.h"

const char kInterruptsPath[] = INTERRUPTS_PATH;

int main() {
  OpenStandardStreams();
  AuxWatchLoop();
}
