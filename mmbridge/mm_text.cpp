#include "mm_text.h"

#include "charset.h"

namespace {

// Two digits at text[at] in [low, high], or -1.
int TwoDigits(std::string_view text, size_t at, int low, int high) {
  if (at + 2 > text.size()) return -1;
  char tens = text[at], ones = text[at + 1];
  if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
  int value = (tens - '0') * 10 + (ones - '0');
  return value >= low && value <= high ? value : -1;
}

}  // namespace

std::string ToFrameText(std::string_view utf8) {
  std::string text = CodePointsToLatin1(Utf8ToCodePoints(utf8));
  for (char& c : text)
    if (static_cast<unsigned char>(c) < ' ' && c != '\n') c = '?';
  return text;
}

std::string ToModemText(std::string_view latin1) {
  return CodePointsToUtf8(Latin1ToCodePoints(latin1));
}

bool SplitIsoStamp(std::string_view stamp, std::string* date, std::string* time) {
  // yyyy-mm-ddThh:mm:ss, then a fraction or a zone that does not matter here
  if (stamp.size() < 19 || stamp[4] != '-' || stamp[7] != '-' || stamp[10] != 'T' ||
      stamp[13] != ':' || stamp[16] != ':')
    return false;
  if (TwoDigits(stamp, 0, 0, 99) < 0 || TwoDigits(stamp, 2, 0, 99) < 0 ||
      TwoDigits(stamp, 5, 1, 12) < 0 || TwoDigits(stamp, 8, 1, 31) < 0 ||
      TwoDigits(stamp, 11, 0, 23) < 0 || TwoDigits(stamp, 14, 0, 59) < 0 ||
      TwoDigits(stamp, 17, 0, 60) < 0)
    return false;
  *date = std::string(stamp.substr(8, 2)) + "-" + std::string(stamp.substr(5, 2)) + "-" +
          std::string(stamp.substr(0, 4));
  *time = std::string(stamp.substr(11, 8));
  return true;
}
