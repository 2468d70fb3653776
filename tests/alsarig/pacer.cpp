// pacer RATE FILE: a sound sink that plays in real time. Appends standard
// input to FILE at RATE bytes a second; the ALSA file plugin pipes into it,
// so a player blocks as long as on a sound card.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
  const long rate = argc == 3 ? std::atol(argv[1]) : 0;
  const int out = rate > 0 ? open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644) : -1;
  if (out < 0) {
    std::fprintf(stderr, "usage: pacer RATE FILE (a writable file)\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<char> chunk(rate / 10 + 1);
  bool pipe_shrunk = false;
  for (long long total = 0;;) {
    // At most a page in the pipe keeps the writer close behind the sink;
    // shrinking fails while the pipe holds more, so it is retried.
    if (!pipe_shrunk) pipe_shrunk = fcntl(0, F_SETPIPE_SZ, 4096) >= 0;
    const ssize_t n = read(0, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) return 0;
    if (n < 0 || write(out, chunk.data(), n) != n) return 1;
    total += n;
    std::this_thread::sleep_until(start + std::chrono::microseconds(total * 1000000 / rate));
  }
}
