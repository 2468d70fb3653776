// A fresh directory holding an empty "messages": the working directory of
// the test build of the store and of smsreader, whose message directory is
// "messages". Removed with everything in it at the end.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

struct ScratchDir {
  ScratchDir() {
    char name[] = "/tmp/smsreader-XXXXXX";
    path = mkdtemp(name);
    std::filesystem::create_directory(path + "/messages");
  }
  ~ScratchDir() { std::filesystem::remove_all(path); }

  std::string Message(const std::string& name) const { return path + "/messages/" + name; }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(Message(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ostringstream bytes;
    bytes << std::ifstream(Message(name), std::ios::binary).rdbuf();
    return bytes.str();
  }

  std::string path;
};
