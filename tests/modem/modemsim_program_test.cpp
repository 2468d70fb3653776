// modemsim as a whole program: its options, its pseudo-terminal and its
// console, with the test on the modem's port.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "process.h"

namespace {

// The modem's port as a program opens it, raw.
class Port {
 public:
  explicit Port(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY)) {
    termios raw;
    if (fd_ >= 0 && tcgetattr(fd_, &raw) == 0) {
      cfmakeraw(&raw);
      tcsetattr(fd_, TCSANOW, &raw);
    }
  }
  ~Port() { close(fd_); }
  bool Open() const { return fd_ >= 0; }
  bool Send(const std::string& bytes) {
    return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads until what came since the last call holds text.
  bool WaitFor(const std::string& text) {
    for (int rounds = 0; rounds < 200; ++rounds) {
      size_t found = received_.find(text);
      if (found != std::string::npos) {
        received_.erase(0, found + text.size());
        return true;
      }
      pollfd watch = {fd_, POLLIN, 0};
      char chunk[512];
      ssize_t n;
      if (poll(&watch, 1, 100) > 0 && (n = read(fd_, chunk, sizeof chunk)) > 0)
        received_.append(chunk, static_cast<size_t>(n));
    }
    ADD_FAILURE() << "the port never said " << text << "; it said " << received_;
    return false;
  }

 private:
  int fd_;
  std::string received_;
};

TEST(ModemsimProgram, AnUnknownProfileListsTheKnownOnes) {
  rig::Process sim({MODEMSIM_PATH, "-p", "nokia"});
  EXPECT_EQ(sim.WaitForExit(), 1);
  for (const char* profile : {"plain", "gta02", "eg25", "simcom"})
    EXPECT_NE(sim.Stderr().find(profile), std::string::npos) << profile;
}

TEST(ModemsimProgram, ProfileResetsOnItsPortFromTheConsoleAndSleepsWhenIdle) {
  char dir[] = "/tmp/modemsim-test-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string link = std::string(dir) + "/modem";
  {
    rig::Process sim({MODEMSIM_PATH, "-p", "eg25", "-l", link});
    ASSERT_TRUE(sim.WaitForStdout("linked at " + link + ", profile eg25\n"));
    Port port(link);
    ASSERT_TRUE(port.Open());
    ASSERT_TRUE(port.Send("ATE0\r"));
    ASSERT_TRUE(port.WaitFor("\r\nOK\r\n"));
    ASSERT_TRUE(port.Send("AT+CGMI;+CNMI=2,1\r"));
    ASSERT_TRUE(port.WaitFor("\r\nQuectel\r\n\r\nOK\r\n"));
    ASSERT_TRUE(sim.Write("sms +3277 Caf\xc3\xa9\n"));
    ASSERT_TRUE(port.WaitFor("\r\n+CMTI: \"ME\",1\r\n"));

    // The SIM's read comes on its own, with nothing on the port or the console.
    ASSERT_TRUE(sim.Write("reset\n"));
    ASSERT_TRUE(port.WaitFor("\r\nRDY\r\n"));
    ASSERT_TRUE(port.WaitFor("\r\n+QIND: SMS DONE\r\n"));
    ASSERT_TRUE(port.Send("AT+CMGF=1;+CPMS=\"ME\";+CMGR=1\r"));
    ASSERT_TRUE(
        port.WaitFor("\r\n+CPMS: 1,50,2,20,2,20\r\n\r\n+CMGR: \"REC UNREAD\",\"+3277\",,\""));
    ASSERT_TRUE(port.WaitFor("\r\nCaf?\r\n\r\nOK\r\n"));
    // Idle, the simulator waits: once it has settled it stays asleep.
    EXPECT_TRUE(sim.WaitFor([&] { return rig::SleepsThrough(sim.Pid(), 300); }));

    sim.CloseStdin();
    EXPECT_EQ(sim.WaitForExit(), 0);
  }
  EXPECT_NE(access(link.c_str(), F_OK), 0) << "the link goes with the simulator";
  rmdir(dir);
}

}  // namespace
