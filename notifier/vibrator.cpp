#include "vibrator.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

// Test builds place the attribute files under another root.
#ifndef VIBRATOR_ROOT
#define VIBRATOR_ROOT ""
#endif

namespace {

// Each timer attribute has a second path, tried when the first fails.
struct Attribute {
  const char* first;
  const char* second;
};
constexpr Attribute kOnTime = {
    VIBRATOR_ROOT "/sys/class/leds/neo1973:vibrator/delay_on",
    VIBRATOR_ROOT "/sys/devices/platform/leds_pwm/leds/gta02::vibrator/delay_on"};
constexpr Attribute kOffTime = {
    VIBRATOR_ROOT "/sys/class/leds/neo1973:vibrator/delay_off",
    VIBRATOR_ROOT "/sys/devices/platform/leds_pwm/leds/gta02::vibrator/delay_off"};

// Writes the value whole and syncs it; false when opening or writing fails.
bool WriteValue(const char* path, const char* value) {
  int fd = open(path, O_RDWR);
  if (fd < 0) return false;
  const ssize_t length = static_cast<ssize_t>(strlen(value));
  const bool written = write(fd, value, length) == length;
  fsync(fd);
  close(fd);
  return written;
}

// A failure of the second path leaves the vibrator as it is.
void SetAttribute(const Attribute& attribute, const char* value) {
  if (!WriteValue(attribute.first, value)) WriteValue(attribute.second, value);
}

}  // namespace

void VibratorOn() {
  SetAttribute(kOnTime, "300");
  SetAttribute(kOffTime, "700");
}

void VibratorOff() {
  SetAttribute(kOnTime, "0");
  SetAttribute(kOffTime, "0");
}
