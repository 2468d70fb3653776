#include "capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace rig {

CapturedFd::CapturedFd(int fd) : fd_(fd), saved_(-1), file_(-1) {
  fflush(stdout);
  fflush(stderr);
  char path[] = "/tmp/rig-capture-XXXXXX";
  file_ = mkstemp(path);
  if (file_ < 0) {
    ADD_FAILURE() << "rig: cannot create a capture file";
    return;
  }
  unlink(path);
  saved_ = dup(fd_);
  dup2(file_, fd_);
}

CapturedFd::~CapturedFd() {
  fflush(stdout);
  fflush(stderr);
  if (saved_ >= 0) {
    dup2(saved_, fd_);
    close(saved_);
  }
  if (file_ >= 0) close(file_);
}

std::string CapturedFd::Text() const {
  fflush(stdout);
  fflush(stderr);
  std::string text;
  char chunk[4096];
  ssize_t n;
  for (off_t at = 0; (n = pread(file_, chunk, sizeof chunk, at)) > 0; at += n)
    text.append(chunk, static_cast<size_t>(n));
  return text;
}

StepOutput CaptureStep(const std::function<void()>& step) {
  CapturedFd out(1), err(2);
  step();
  return {out.Text(), err.Text()};
}

}  // namespace rig
