// fakesms: writes 99 sms retrieve frames, message numbers 0 to 98, so that
// the message reader can be driven without a modem.
#include <cstdio>

namespace {

constexpr char STX = 0x02;
constexpr char US = 0x1F;
constexpr char ETX = 0x03;
constexpr int kMessageCount = 99;

// Big enough for the whole burst (5534 bytes), so it leaves in one write.
char OutputBuffer[8192];

void PutField(const char* text) {
  putchar(US);
  fputs(text, stdout);
}

void PutFakeMessage(int number) {
  char digits[12];
  snprintf(digits, sizeof digits, "%i", number);
  putchar(STX);
  PutField("sms");
  PutField("retrieve");
  PutField("+1234567890");
  PutField(digits);
  PutField("31-12-1818");
  PutField("12:34:56");
  PutField("fake");
  putchar(US);
  putchar(ETX);
}

}  // namespace

int main() {
  setvbuf(stdout, OutputBuffer, _IOFBF, sizeof OutputBuffer);
  for (int number = 0; number < kMessageCount; ++number) PutFakeMessage(number);
  if (fflush(stdout) != 0 || ferror(stdout)) {
    perror("fakesms: standard output");
    return 1;
  }
  return 0;
}
