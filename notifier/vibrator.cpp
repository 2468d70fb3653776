#include "vibrator.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace {

// Each timer attribute has a second path, tried when the first fails.
struct Attribute {
  std::string first;
  std::string second;
};
Attribute OnTime;
Attribute OffTime;

Attribute Under(const std::string& root, const char* name) {
  return {root + "/sys/class/leds/neo1973:vibrator/" + name,
          root + "/sys/devices/platform/leds_pwm/leds/gta02::vibrator/" + name};
}

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
  if (!WriteValue(attribute.first.c_str(), value)) WriteValue(attribute.second.c_str(), value);
}

}  // namespace

void SetVibratorRoot(const std::string& root) {
  OnTime = Under(root, "delay_on");
  OffTime = Under(root, "delay_off");
}

void VibratorOn() {
  SetAttribute(OnTime, "300");
  SetAttribute(OffTime, "700");
}

void VibratorOff() {
  SetAttribute(OnTime, "0");
  SetAttribute(OffTime, "0");
}
