// One menu process on its own, as the launcher's child runs it, so that a
// test sees how it ends.
#include "menus.h"
#include "program.h"

int main() {
  OpenStandardStreams();
  RunMenu01();
}
