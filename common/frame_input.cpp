#include "frame_input.h"

#include <cstdio>

#include "frame.h"

std::vector<std::string> FrameAssembler::Feed(std::string_view bytes) {
  std::vector<std::string> frames;
  for (char c : bytes) {
    if (c == '\0') continue;  // the frame reader skips NULs too
    if (!overlong_) partial_ += c;
    if (partial_.size() >= kFrameBufferSize && !overlong_) {
      fputs("201212081024 frame longer than 499 bytes dropped\n", stderr);
      overlong_ = true;
      partial_.clear();
    }
    if (c != ETX) continue;
    if (!overlong_) frames.push_back(partial_);
    partial_.clear();
    overlong_ = false;
  }
  return frames;
}
