// Runs the number dialog once and prints what it returned.
#include <cstdio>

#include "number_entry.h"

int main() {
  const char* number = GetPhoneNr();
  if (number == nullptr)
    std::printf("absent\n");
  else
    std::printf("number [%s]\n", number);
  return 0;
}
