// modembridge: joins a GSM modem's AT port to the suite's frames. Frames
// from standard input become AT commands; what the modem reports becomes
// frames on standard output; every exchange is logged on standard error.
//
//   modembridge [--pin-file FILE] /dev/ttySAC0
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "frame.h"
#include "frame_input.h"
#include "pin_file.h"
#include "program.h"
#include "session.h"

// Where the power switches' paths begin ("" on the phone).
#ifndef MODEM_POWER_ROOT
#error "MODEM_POWER_ROOT is a FIXED value of phone_program() in modembridge/CMakeLists.txt"
#endif

namespace {

// The GTA02's modem is off until its sysfs switch says 1; older kernels
// name the device after the Neo1973.
const char* const kPowerSwitches[] = {
    MODEM_POWER_ROOT "/sys/bus/platform/devices/gta02-pm-gsm.0/power_on",
    MODEM_POWER_ROOT "/sys/bus/platform/devices/neo1973-pm-gsm.0/power_on"};

// A modem that went away is looked for again this often.
constexpr Millis kReopenMs = 3000;
constexpr Millis kWriteWaitMs = 1000;

// Switches the modem on where the phone has a switch for it (one that is on
// already is left alone, so a port looked for again does not log each
// time); elsewhere there is none and nothing is done.
void PowerOn() {
  for (const char* path : kPowerSwitches) {
    int fd = open(path, O_RDWR | O_CLOEXEC);
    if (fd < 0) continue;
    char state = 0;
    if (read(fd, &state, 1) == 1 && state == '1') {
      close(fd);
      continue;
    }
    if (lseek(fd, 0, SEEK_SET) == 0 && WriteAll(fd, "1\n") == 0)
      fprintf(stderr, "201212081026 modem switched on through %s\n", path);
    else
      fprintf(stderr, "201212081026 cannot switch the modem on through %s: %s\n", path, strerror(errno));
    close(fd);
  }
}

// A real serial port answers TIOCGSERIAL; a pseudo-terminal, which has no
// RTS/CTS lines, does not.
bool HasModemLines(int fd) {
  serial_struct serial;
  return ioctl(fd, TIOCGSERIAL, &serial) == 0;
}

// The line raw at 115200 8N1, no echo, RTS/CTS where the line has them;
// what a modem left in the buffers before is thrown away.
int OpenSerial(const char* path) {
  int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  termios line;
  if (tcgetattr(fd, &line) != 0) {
    close(fd);
    return -1;
  }
  cfmakeraw(&line);
  cfsetispeed(&line, B115200);
  cfsetospeed(&line, B115200);
  line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
  line.c_cflag |= CS8 | CLOCAL | CREAD;
  if (HasModemLines(fd)) line.c_cflag |= CRTSCTS;
  line.c_cc[VMIN] = 1;
  line.c_cc[VTIME] = 0;
  if (tcsetattr(fd, TCSANOW, &line) != 0) {
    close(fd);
    return -1;
  }
  tcflush(fd, TCIOFLUSH);
  return fd;
}

struct Modem {
  const char* path;
  int fd = -1;
  bool failed = false;       // a write failed: the device is gone
  bool open_logged = false;  // a failure to open is logged once
  Millis retry_at = 0;
};

void SendToModem(Modem& modem, std::string_view bytes) {
  while (!bytes.empty() && modem.fd >= 0 && !modem.failed) {
    ssize_t n = write(modem.fd, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
    } else if (n < 0 && errno == EAGAIN) {
      pollfd out = {modem.fd, POLLOUT, 0};
      if (poll(&out, 1, kWriteWaitMs) <= 0) modem.failed = true;
    } else if (n == 0 || errno != EINTR) {
      modem.failed = true;
    }
  }
}

void TryOpen(Modem& modem, ModemSession& session, Millis now) {
  PowerOn();
  modem.fd = OpenSerial(modem.path);
  if (modem.fd < 0) {
    if (!modem.open_logged)
      fprintf(stderr, "201212081020 cannot open %s: %s\n", modem.path, strerror(errno));
    modem.open_logged = true;
    modem.retry_at = now + kReopenMs;
    return;
  }
  fprintf(stderr, "201212081021 modem %s opened\n", modem.path);
  modem.open_logged = false;
  modem.failed = false;
  session.Opened(now);
}

void LoseModem(Modem& modem, ModemSession& session, const char* why, Millis now) {
  fprintf(stderr, "201212081022 modem %s lost: %s\n", modem.path, why);
  close(modem.fd);
  modem.fd = -1;
  modem.retry_at = now + kReopenMs;
  session.Lost();
}

int PollTimeout(Millis deadline, Millis now) {
  if (deadline == kNoDeadline) return -1;
  return static_cast<int>(std::clamp<Millis>(deadline - now, 0, INT_MAX));
}

// Reads what is there; false at end of input (errno 0) or on an error that
// stays.
bool ReadSome(int fd, std::string* bytes) {
  char chunk[512];
  errno = 0;
  ssize_t n = read(fd, chunk, sizeof chunk);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return true;
  if (n <= 0) return false;
  bytes->assign(chunk, static_cast<size_t>(n));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardStreams();
  IgnoreBrokenPipe();
  bool pin_given = argc == 4 && strcmp(argv[1], "--pin-file") == 0;
  if (argc != 2 && !pin_given) {
    fputs("usage: modembridge [--pin-file FILE] DEVICE\n", stderr);
    return 1;
  }
  std::string pin, why;
  if (pin_given) {
    std::optional<std::string> read = ReadPinFile(argv[2], &why);
    if (!read) {
      fprintf(stderr, "201212081024 PIN file %s refused: %s\n", argv[2], why.c_str());
      return 1;
    }
    pin = *read;
  }
  Modem modem{argv[argc - 1]};
  ModemSession session([&modem](std::string_view bytes) { SendToModem(modem, bytes); }, pin);
  FrameAssembler frames;
  bool input_open = true;

  for (;;) {
    Millis now = MonotonicMs();
    if (modem.fd < 0 && now >= modem.retry_at) TryOpen(modem, session, now);
    // Requests already taken are carried out before the end.
    if (!input_open && (session.Idle() || modem.fd < 0)) break;

    pollfd watch[2] = {{input_open ? 0 : -1, POLLIN, 0}, {modem.fd, POLLIN, 0}};
    Millis deadline = modem.fd < 0 ? std::min(session.NextDeadline(), modem.retry_at)
                                   : session.NextDeadline();
    if (poll(watch, 2, PollTimeout(deadline, now)) < 0 && errno != EINTR) {
      perror("201212081025 poll");
      return 1;
    }
    now = MonotonicMs();
    std::string bytes;
    if (watch[0].revents) {
      input_open = ReadSome(0, &bytes);
      for (const std::string& frame : frames.Feed(bytes)) session.OnFrame(frame, now);
      if (!input_open) fputs("201212081023 end of input\n", stderr);
    }
    bytes.clear();
    if (modem.fd >= 0 && watch[1].revents) {
      if (ReadSome(modem.fd, &bytes)) session.OnModemBytes(bytes, now);
      else LoseModem(modem, session, errno ? strerror(errno) : "end of file", now);
    }
    if (modem.fd >= 0) session.OnTick(now);
    if (modem.fd >= 0 && modem.failed) LoseModem(modem, session, "write failed", now);
  }
  if (modem.fd >= 0) close(modem.fd);
  return 0;
}
