// Test frames and the pipes they travel on, for every test that feeds or
// expects frames.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace frametest {

// A frame built here, independently of the writers: STX, US before each
// field, US, ETX.
inline std::string Frame(std::initializer_list<std::string_view> fields) {
  std::string frame = "\x02";
  for (std::string_view field : fields) {
    frame += '\x1f';
    frame += field;
  }
  return frame + "\x1f\x03";
}

// A pipe whose read end is handed to the reader.
struct Pipe {
  int read_end = -1, write_end = -1;
  Pipe() {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    read_end = fds[0];
    write_end = fds[1];
  }
  ~Pipe() {
    CloseWriter();
    close(read_end);
  }
  void Write(std::string_view bytes) {
    ASSERT_EQ(write(write_end, bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
  }
  void CloseWriter() {
    if (write_end >= 0) close(write_end);
    write_end = -1;
  }
};

}  // namespace frametest
