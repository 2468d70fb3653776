// Frames from a descriptor read without blocking: a poll loop reads
// whatever is there, and a frame may arrive in several pieces.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class FrameAssembler {
 public:
  // Returns the frames the bytes complete, each up to and including its
  // ETX. A frame past the 499-byte limit is dropped whole, with a log line.
  std::vector<std::string> Feed(std::string_view bytes);

 private:
  std::string partial_;
  bool overlong_ = false;
};
