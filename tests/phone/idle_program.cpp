// Stands in for a program of the phone in the scripts' tests: it waits,
// reading and writing nothing, until a signal ends it.
#include <unistd.h>

int main() {
  for (;;) pause();
}
