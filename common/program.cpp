#include "program.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

void OpenStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is fd itself: the ones below are open.
    int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (opened != fd) _exit(1);  // no /dev/null: nowhere to even say so
  }
}

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

pid_t ForkReapedChild(const char* failure, FILE* report) {
  signal(SIGCHLD, SIG_IGN);
  pid_t pid = fork();
  if (pid < 0) {
    std::fputs(failure, report);
    std::fflush(report);
    std::exit(1);
  }
  return pid;
}

int64_t MonotonicMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return 0;
}
