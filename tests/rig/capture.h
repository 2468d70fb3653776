// Output of the test process itself, caught for checking: everything the
// code under test writes to one descriptor (1 or 2) goes to a temporary file
// while a CapturedFd lives.
//
//   rig::CapturedFd err(2);
//   ClassifyFrame("...");
//   EXPECT_EQ(err.Text(), "201111141319 unkown message type\n");
#pragma once

#include <functional>
#include <string>

namespace rig {

class CapturedFd {
 public:
  explicit CapturedFd(int fd);
  ~CapturedFd();  // puts the descriptor back
  CapturedFd(const CapturedFd&) = delete;
  CapturedFd& operator=(const CapturedFd&) = delete;

  // Everything written since the capture began (stdio is flushed first).
  std::string Text() const;

 private:
  int fd_, saved_, file_;
};

// What one step of a test wrote: frames on standard output, log lines on
// standard error.
struct StepOutput {
  std::string frames, log;
};
StepOutput CaptureStep(const std::function<void()>& step);

}  // namespace rig
