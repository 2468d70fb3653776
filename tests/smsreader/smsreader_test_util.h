// Shared by the smsreader tests: sms frames, file contents, and a scratch
// working directory holding "messages", the test builds' message directory.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "frame_test_util.h"

inline std::string Sms(std::string_view action, int nr, std::string_view body,
                       std::string_view number = "+1234567890") {
  return frametest::Frame({"sms", action, number, std::to_string(nr), "31-12-1818", "12:34:56", body});
}

inline std::string FileBytes(const std::string& path) {
  std::ostringstream bytes;
  bytes << std::ifstream(path, std::ios::binary).rdbuf();
  return bytes.str();
}

struct ScratchDir {
  ScratchDir() : path(mkdtemp(name)) { std::filesystem::create_directory(path + "/messages"); }
  ~ScratchDir() { std::filesystem::remove_all(path); }
  char name[22] = "/tmp/smsreader-XXXXXX";
  std::string path;
};
