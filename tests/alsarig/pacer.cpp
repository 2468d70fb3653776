// pacer RATE FILE: a sound sink that plays in real time. Appends standard
// input to FILE at RATE bytes a second; the ALSA file plugin writes into it
// through a pipe, so a player blocks as long as on a sound card.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace {

// The pipe holds no more than one page, so that the writer runs at most
// that far ahead of the sink.
constexpr int kPipeBytes = 4096;

void SleepUntil(const timespec& at) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long rate = argc == 3 ? std::atol(argv[1]) : 0;
  if (rate <= 0) {
    std::fprintf(stderr, "usage: pacer RATE FILE\n");
    return 2;
  }
  int out = open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (out < 0) {
    std::perror(argv[2]);
    return 1;
  }
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  std::vector<char> chunk(rate / 10 > 0 ? rate / 10 : 1);
  bool pipe_shrunk = false;
  long long total = 0;
  for (;;) {
    // Shrinking fails while the pipe holds more than a page; retry.
    if (!pipe_shrunk) pipe_shrunk = fcntl(0, F_SETPIPE_SZ, kPipeBytes) >= 0;
    ssize_t n = read(0, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    if (write(out, chunk.data(), n) != n) {
      std::perror(argv[2]);
      return 1;
    }
    total += n;
    timespec played = start;
    played.tv_sec += total / rate;
    played.tv_nsec += total % rate * 1000000000 / rate;
    played.tv_sec += played.tv_nsec / 1000000000;
    played.tv_nsec %= 1000000000;
    SleepUntil(played);
  }
  close(out);
  return 0;
}
