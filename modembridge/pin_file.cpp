#include "pin_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kMinPin = 4, kMaxPin = 8;

bool IsPin(const std::string& text) {
  return text.size() >= kMinPin && text.size() <= kMaxPin &&
         text.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::optional<std::string> ReadPinFile(const char* path, std::string* why) {
  int fd = open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    *why = strerror(errno);
    return std::nullopt;
  }
  struct stat status;
  char bytes[kMaxPin + 3];
  ssize_t n = -1;
  if (fstat(fd, &status) != 0) {
    *why = strerror(errno);
  } else if (!S_ISREG(status.st_mode)) {
    *why = "not a regular file";
  } else if ((status.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    *why = "others may read it (chmod 600)";
  } else {
    n = read(fd, bytes, sizeof bytes);
    if (n < 0) *why = strerror(errno);
  }
  close(fd);
  if (n < 0) return std::nullopt;
  std::string pin(bytes, static_cast<size_t>(n));
  if (!pin.empty() && pin.back() == '\n') pin.pop_back();
  if (!pin.empty() && pin.back() == '\r') pin.pop_back();
  if (!IsPin(pin)) {
    *why = "it holds no PIN of 4 to 8 digits";
    return std::nullopt;
  }
  return pin;
}
