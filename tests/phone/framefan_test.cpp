// framefan as the phone's scripts use it: frames fed in odd pieces leave
// whole into a named pipe that another writer shares, an oversized frame
// is dropped, and a reader that stopped reading holds up no other.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "frame_test_util.h"
#include "process.h"

namespace {

using frametest::Frame;

class FramefanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/framefan-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A named pipe, held open for reading (and writing, as the readers of
  // the phone hold theirs) by the test.
  int Pipe(const std::string& name) {
    std::string path = dir_ + "/" + name;
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
    return open(path.c_str(), O_RDWR | O_NONBLOCK);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
};

// Everything waiting in the pipe, cut into frames at each ETX.
std::vector<std::string> FramesIn(int fd) {
  std::string bytes;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) bytes.append(chunk, n);
  std::vector<std::string> frames;
  for (size_t end; (end = bytes.find('\x03')) != std::string::npos; bytes.erase(0, end + 1))
    frames.push_back(bytes.substr(0, end + 1));
  return frames;
}

TEST_F(FramefanTest, FramesFedInPiecesLeaveWholeBesideAnotherWriter) {
  int notify = Pipe("notify");
  int bridge = Pipe("bridge");
  rig::Process fan({FRAMEFAN_PATH, "-l", Path("frames.log"), "-t", "modem", Path("notify"),
                    Path("bridge")});
  std::set<std::string> fed, written;
  std::string stream;
  for (int i = 0; i < 200; ++i) {
    std::string frame = Frame({"call", "new", "+32" + std::to_string(100000000 + i)});
    fed.insert(frame);
    stream += frame;
    if (i == 100) stream += Frame({"sms", std::string(600, 'x')});
  }
  // The profile scripts' frames go straight into the notifier's pipe.
  std::thread other([&] {
    for (int i = 0; i < 200; ++i) {
      std::string frame = Frame({"notify", "switchtoprofile", std::to_string(i)});
      written.insert(frame);
      ASSERT_EQ(write(notify, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
    }
  });
  for (size_t at = 0; at < stream.size(); at += 7) ASSERT_TRUE(fan.Write(stream.substr(at, 7)));
  other.join();
  fan.CloseStdin();
  ASSERT_EQ(fan.WaitForExit(), 0);

  std::vector<std::string> at_notify = FramesIn(notify);
  ASSERT_EQ(at_notify.size(), 400u);
  for (const std::string& frame : at_notify)
    EXPECT_TRUE(fed.count(frame) || written.count(frame)) << "cut frame: " << frame;
  std::vector<std::string> at_bridge = FramesIn(bridge);
  EXPECT_EQ(std::set<std::string>(at_bridge.begin(), at_bridge.end()), fed);
  EXPECT_NE(fan.Stderr().find("frame longer than 499 bytes dropped"), std::string::npos);

  std::ifstream log(Path("frames.log"));
  std::vector<std::string> lines;
  for (std::string line; std::getline(log, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 200u);
  EXPECT_EQ(lines[0].substr(8), " modem call|new|+32100000000");
  close(notify);
  close(bridge);
}

TEST_F(FramefanTest, AReaderThatStoppedHoldsUpNoOther) {
  int stalled = Pipe("stalled");
  // The reader that goes on reading is read after the end: its pipe takes
  // the whole stream meanwhile.
  int reader = Pipe("reader");
  ASSERT_GE(fcntl(reader, F_SETPIPE_SZ, 1 << 20), 1 << 20);
  constexpr int kFrames = 4000;  // some 300 kB, far more than a pipe holds
  auto message = [](int i) {
    return Frame({"sms", "new", "+32112233445", std::to_string(i), "31-12-1818", "12:34:56",
                  "a message of some length"});
  };
  std::string stream;
  for (int i = 0; i < kFrames; ++i) stream += message(i);
  rig::Process fan({FRAMEFAN_PATH, Path("stalled"), Path("reader")});
  ASSERT_TRUE(fan.Write(stream));
  fan.CloseStdin();
  EXPECT_EQ(fan.WaitForExit(), 0);
  std::vector<std::string> received = FramesIn(reader);
  ASSERT_EQ(received.size(), static_cast<size_t>(kFrames));
  EXPECT_EQ(received.back(), message(kFrames - 1));
  EXPECT_NE(fan.Stderr().find("frame for " + Path("stalled") + " dropped: its reader is behind"),
            std::string::npos);
  close(stalled);
  close(reader);
}

}  // namespace
