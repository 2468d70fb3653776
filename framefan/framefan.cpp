// framefan: copies every frame of its standard input to each output named,
// whole and in one write of its own. Several writers may share an output
// (a named pipe that other programs write frames into as well): since no
// frame is ever cut, none can be split by a frame written in between.
//
//   framefan [-l LOG -t TAG] OUTPUT...
//
// Outputs are named pipes, opened at once: a reader that has
// not started yet finds its frames waiting in the pipe. A reader that stops
// reading never holds up the others: once its pipe is full, its frames are
// dropped, each with a log line. With -l, one line per frame is appended to
// LOG: the time, TAG and the frame's fields separated by "|". Ends at the
// end of its input.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "frame.h"
#include "frame_input.h"
#include "program.h"

namespace {

struct Output {
  const char* path;
  int fd;
};

// "call|accept|+32112233445": the fields between STX and ETX, other
// control bytes as \xNN.
std::string ReadableFields(const std::string& frame) {
  std::string text;
  for (char c : frame) {
    if (c == STX || c == ETX) continue;
    if (c == US) {
      if (!text.empty() && text.back() != '|') text += '|';
      continue;
    }
    char escaped[8];
    snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(c));
    text += static_cast<unsigned char>(c) < 0x20 ? escaped : std::string(1, c);
  }
  if (!text.empty() && text.back() == '|') text.pop_back();
  return text;
}

void LogFrame(int log, const char* tag, const std::string& frame) {
  time_t now = time(nullptr);
  tm local;
  localtime_r(&now, &local);
  char stamp[16];
  strftime(stamp, sizeof stamp, "%H:%M:%S", &local);
  // One write per line: several fans append to the same log.
  WriteAll(log, std::string(stamp) + " " + tag + " " + ReadableFields(frame) + "\n");
}

// A frame is shorter than PIPE_BUF: a pipe takes it whole or not at all.
void Deliver(std::vector<Output>& outputs, const std::string& frame) {
  for (Output& out : outputs) {
    ssize_t n;
    while ((n = write(out.fd, frame.data(), frame.size())) < 0 && errno == EINTR) {
    }
    if (n < 0)
      fprintf(stderr, "201212081030 framefan: frame for %s dropped: %s\n", out.path,
              errno == EAGAIN ? "its reader is behind" : strerror(errno));
  }
}

int Usage() {
  fputs("usage: framefan [-l LOG -t TAG] OUTPUT...\n", stderr);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardStreams();
  const char* log_path = nullptr;
  const char* tag = "";
  for (int option; (option = getopt(argc, argv, "l:t:")) != -1;) {
    if (option == 'l') log_path = optarg;
    else if (option == 't') tag = optarg;
    else return Usage();
  }
  if (optind >= argc) return Usage();
  int log = -1;
  if (log_path && (log = open(log_path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644)) < 0)
    perror(log_path);
  // Read-write: the open never waits for a reader, and a pipe whose reader
  // is gone fills up instead of failing.
  std::vector<Output> outputs;
  for (int i = optind; i < argc; ++i) {
    int fd = open(argv[i], O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      perror(argv[i]);
      return 1;
    }
    outputs.push_back({argv[i], fd});
  }

  FrameAssembler frames;
  char chunk[4096];
  for (ssize_t n; (n = read(0, chunk, sizeof chunk)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      perror("201212081031 framefan: input");
      return 1;
    }
    for (const std::string& frame : frames.Feed(std::string_view(chunk, static_cast<size_t>(n)))) {
      if (log >= 0) LogFrame(log, tag, frame);
      Deliver(outputs, frame);
    }
  }
  return 0;
}
