// The frame reader on real pipes and socket pairs, and the terminal set-up
// of standard input on a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture.h"
#include "frame.h"
#include "frame_input.h"
#include "frame_test_util.h"
#include "wait.h"

namespace {

using frametest::Frame;
using frametest::Pipe;

// Generous: the data is always there before the call, except where a test
// says otherwise.
constexpr int kWait = 20;

// A frame of exactly size bytes: call new with a number of the right length.
std::string FrameOfSize(size_t size) {
  std::string frame = Frame({"call", "new", ""});
  frame.insert(frame.size() - 2, size - frame.size(), '7');
  return frame;
}

TEST(ReadFrame, ReturnsOneFrameAtATimeUpToItsEtx) {
  Pipe p;
  std::string first = Frame({"call", "new", "+32112233445"});
  std::string second = Frame({"sms", "deleted", "+3211", "4"});
  p.Write("\n" + first + second);  // a line end in front and two frames in one write
  p.CloseWriter();

  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(NewFrame, "\n" + first);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(NewFrame, second);
  EXPECT_EQ(ReadFrameWithin(p.read_end, kWait), -1);
  EXPECT_EQ(ReadFrameWithin(p.read_end, kWait), -1);
}

TEST(ReadFrame, EndOfInputInsideAFrameIsEndOfInput) {
  Pipe p;
  p.Write("\x02\x1f" "call\x1fne");
  p.CloseWriter();
  EXPECT_EQ(ReadFrameWithin(p.read_end, kWait), -1);
}

TEST(ReadFrame, NulBytesAddNothingAndDoNotCount) {
  Pipe p;
  std::string full = FrameOfSize(499);
  std::string with_nuls = full;
  with_nuls.insert(5, std::string(10, '\0'));
  p.Write(with_nuls);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(NewFrame, full);
}

TEST(ReadFrame, KeepsA499ByteFrameWhole) {
  Pipe p;
  std::string frame = FrameOfSize(499);
  p.Write(frame);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(strlen(NewFrame), 499u);
  EXPECT_EQ(NewFrame, frame);
}

TEST(ReadFrame, RefusesThe500thByteWithFourLinesAndGoesOnAfterIt) {
  Pipe p;
  std::string oversized = FrameOfSize(500);
  std::string next = Frame({"gsm", "poweringon"});
  p.Write(oversized + next);

  rig::CapturedFd err(2);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), -2);
  EXPECT_EQ(err.Text(), "201110251013 Framelength error, discarding frame\n"
                        "201203271747 Length is 500\n"
                        "201203271748 NewFrame is " + oversized.substr(0, 499) + "\n"
                        "201203271749 TmpChar is \x03\n");
  // The refused byte was the ETX: the next call starts with the next frame.
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(NewFrame, next);
}

TEST(ReadFrame, LeavesTheTailOfALongerFrameForTheNextCall) {
  Pipe p;
  std::string oversized = FrameOfSize(620);
  p.Write(oversized);
  rig::CapturedFd err(2);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), -2);
  EXPECT_NE(err.Text().find("201203271749 TmpChar is 7\n"), std::string::npos);
  ASSERT_EQ(ReadFrameWithin(p.read_end, kWait), 0);
  EXPECT_EQ(NewFrame, oversized.substr(500));
}

TEST(ReadFrame, QuietInputGivesAnEmptyFrameAfterTheWait) {
  Pipe p;  // the writer stays open and writes nothing
  strcpy(NewFrame, "left over");
  ASSERT_EQ(ReadFrameWithin(p.read_end, 1), 0);
  EXPECT_STREQ(NewFrame, "");

  rig::CapturedFd err(2);
  EXPECT_EQ(ClassifyFrame(NewFrame), -1);
  EXPECT_EQ(err.Text(), "201202162043 NewFrame is \n201111141320 empty message type\n");
}

TEST(ReadFrame, ReadErrorsEndTheInputInsteadOfLooping) {
  int directory = open("/", O_RDONLY | O_DIRECTORY);  // read() fails with EISDIR
  ASSERT_GE(directory, 0);
  EXPECT_EQ(ReadFrameWithin(directory, kWait), -1);
  close(directory);

  Pipe p;
  int closed = dup(p.read_end);
  close(closed);  // read() fails with EBADF
  EXPECT_EQ(ReadFrameWithin(closed, kWait), -1);
}

TEST(ReadFrame, WaitsForTheRestOfABegunFrameOnANonBlockingSocket) {
  int fds[2];
  ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  fcntl(fds[0], F_SETFL, O_NONBLOCK);
  std::string frame = Frame({"notify", "switchtoprofile", "2"});
  ASSERT_EQ(write(fds[1], frame.data(), 5), 5);
  // The rest comes only once the reader has taken the first bytes, so that
  // its next read finds nothing there.
  std::thread late_writer([&] {
    rig::WaitUntil([&] {
      int unread = 1;
      ioctl(fds[0], FIONREAD, &unread);
      return unread == 0;
    }, std::chrono::seconds(20), std::chrono::milliseconds(1));
    usleep(1000);  // a moment for the reader to come back for the rest
    EXPECT_EQ(write(fds[1], frame.data() + 5, frame.size() - 5),
              static_cast<ssize_t>(frame.size() - 5));
  });
  EXPECT_EQ(ReadFrameWithin(fds[0], kWait), 0);
  late_writer.join();
  EXPECT_EQ(NewFrame, frame);
  close(fds[0]);
  close(fds[1]);
}

// Puts fd in place of standard input for one test.
class StdinReplaced {
 public:
  explicit StdinReplaced(int fd) : saved_(dup(0)) { dup2(fd, 0); }
  ~StdinReplaced() {
    dup2(saved_, 0);
    close(saved_);
  }

 private:
  int saved_;
};

TEST(InputMode, ClearsOnlyCanonicalModeAndEchoAndRestoresThem) {
  int master, slave;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  termios before;
  ASSERT_EQ(tcgetattr(slave, &before), 0);
  before.c_lflag |= ICANON | ECHO | ISIG;
  before.c_cc[VMIN] = 3;
  ASSERT_EQ(tcsetattr(slave, TCSANOW, &before), 0);
  {
    StdinReplaced in(slave);
    SetInputMode();
    termios during;
    ASSERT_EQ(tcgetattr(slave, &during), 0);
    EXPECT_EQ(during.c_lflag, before.c_lflag & ~(ICANON | ECHO));
    EXPECT_EQ(during.c_iflag, before.c_iflag);
    EXPECT_EQ(during.c_cc[VMIN], 3);
    RestoreInputMode();
  }
  termios after;
  ASSERT_EQ(tcgetattr(slave, &after), 0);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  close(master);
  close(slave);
}

TEST(InputMode, LeavesANonTerminalAlone) {
  Pipe p;
  StdinReplaced in(p.read_end);
  SetInputMode();
  RestoreInputMode();
  p.Write(Frame({"gsm", "poweron"}));
  ASSERT_EQ(ReadFrameWithin(0, kWait), 0);
  EXPECT_EQ(NewFrame, Frame({"gsm", "poweron"}));
}

TEST(FrameAssembler, GathersFramesFromPiecesAndDropsOverlongOnes) {
  FrameAssembler frames;
  EXPECT_TRUE(frames.Feed("\x02\x1f" "call\x1fst").empty());
  EXPECT_EQ(frames.Feed("op\x1f+1\x1f\x03\x02\x1fsms"),
            (std::vector<std::string>{"\x02\x1f" "call\x1fstop\x1f+1\x1f\x03"}));
  std::string long_body(600, 'x');
  EXPECT_TRUE(frames.Feed(std::string("\x1f") + long_body + "\x1f\x03").empty());
  EXPECT_EQ(frames.Feed(std::string("\x02\x1f" "call\x1fstop\x1f") + '\0' + "+2\x1f\x03"),
            (std::vector<std::string>{"\x02\x1f" "call\x1fstop\x1f+2\x1f\x03"}));
}

}  // namespace
