// notifier as a whole program: frames in, the vibrator's attribute files as
// named pipes under its working directory (a test build roots their paths
// there), ringtones played in real time into the ALSA rig, the start-up
// notice on the X rig, and the call stop frame of an unanswered call.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "profile.h"
#include "program_support.h"
#include "tone.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using alsarig::PcmMode;
using namespace std::chrono_literals;

constexpr char kFirstDir[] = "sys/class/leds/neo1973:vibrator";
constexpr char kSecondDir[] = "sys/devices/platform/leds_pwm/leds/gta02::vibrator";
constexpr char kNever[] = "201202231406 I never should have gotten here\n";

std::string Frame(std::initializer_list<std::string> fields) {
  std::string frame = "\x02";
  for (const std::string& field : fields) frame += "\x1f" + field;
  return frame + "\x1f\x03";
}
const std::string kSmsNew = Frame({"sms", "new", "+32112233445", "1", "01-01-1814", "23:59:00", "hi"});
const std::string kCallNew = Frame({"call", "new", "+32112233445"});
const std::string kCallStopped = Frame({"call", "stopped", "+32112233445"});
const std::string kCallStopFrame = Frame({"call", "stop", "1234567890"});
std::string SwitchTo(const std::string& profile) { return Frame({"notify", "switchtoprofile", profile}); }

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::vector<unsigned char> Ringtone(int index) {
  return {RingtoneSamples[index], RingtoneSamples[index] + RingtoneLength[index]};
}

// The two timer attributes as named pipes: every value written to them is
// read back, in order, each file's values run together.
class VibratorPipes {
 public:
  VibratorPipes(const std::string& root, const char* dir) {
    fs::create_directories(root + "/" + dir);
    for (int i = 0; i < 2; ++i) {
      const std::string path = root + "/" + dir + (i == 0 ? "/delay_on" : "/delay_off");
      EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
      fd_[i] = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    }
  }
  ~VibratorPipes() {
    for (int fd : fd_) close(fd);
  }
  // On-time values, "/", off-time values.
  std::string Written() {
    char buffer[64];
    for (int i = 0; i < 2; ++i)
      for (ssize_t n; (n = read(fd_[i], buffer, sizeof buffer)) > 0;) text_[i].append(buffer, n);
    return text_[0] + "/" + text_[1];
  }
  bool WaitFor(const std::string& written, int timeout_ms = xrig::kDefaultTimeoutMs) {
    bool seen = xrig::WaitFor([&] { return Written() == written; }, timeout_ms);
    EXPECT_TRUE(seen) << "vibrator holds \"" << Written() << "\", not \"" << written << "\"";
    return seen;
  }

 private:
  int fd_[2] = {-1, -1};
  std::string text_[2];
};

class NotifierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/notifier-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root = dir;
  }
  void TearDown() override {
    // Alert children outlive nothing: they share the program's group.
    notifier.reset();
    EXPECT_TRUE(xrig::WaitForWindowGone("DisplayMessage"));
    fs::remove_all(root);
  }

  void Start(PcmMode pcm = PcmMode::kRealTime, std::vector<std::string> argv = {NOTIFIER_PATH}) {
    alsa = std::make_unique<alsarig::AlsaRig>(alsarig::RigOptions{.pcm = pcm});
    notifier = std::make_unique<rig::Process>(argv, programs::AlsaEnv(*alsa), root);
  }
  bool Send(const std::string& frames) { return notifier->Write(frames); }
  bool CaptureReaches(size_t bytes) {
    return xrig::WaitFor([&] { return alsa->CaptureBytes().size() >= bytes; });
  }
  int Logged(const std::string& what) { return Count(notifier->Stderr(), what); }

  std::string root;
  std::unique_ptr<alsarig::AlsaRig> alsa;
  std::unique_ptr<rig::Process> notifier;
};

// Cases that wait for the ringtone's 34 seconds or the notice's 50.
class NotifierLongTest : public NotifierTest {};

TEST_F(NotifierTest, SmsNewAtStartVibratesFiveSecondsAndChimes) {
  // The first attribute files refuse every write: the second ones take it.
  fs::create_directories(root + "/" + kFirstDir);
  for (const char* name : {"/delay_on", "/delay_off"})
    fs::create_symlink("/dev/full", root + "/" + kFirstDir + name);
  VibratorPipes vibrator(root, kSecondDir);
  Start();
  const auto sent = Clock::now();
  ASSERT_TRUE(Send(kSmsNew));
  ASSERT_TRUE(vibrator.WaitFor("300/700"));
  ASSERT_TRUE(CaptureReaches(14892));
  EXPECT_EQ(alsa->CaptureBytes(), Ringtone(kMessageRingtone));
  EXPECT_EQ(programs::CodecRoutingState(*alsa), 2);
  ASSERT_TRUE(vibrator.WaitFor("3000/7000"));
  EXPECT_GE(Clock::now() - sent, 5s);
  EXPECT_EQ(notifier->Stdout(), "");
}

TEST_F(NotifierTest, ProfilesAndCallsChooseTheAlerts) {
  VibratorPipes vibrator(root, kFirstDir);
  Start();
  ASSERT_TRUE(Send(SwitchTo("1") + kSmsNew));
  ASSERT_TRUE(notifier->WaitForStderr(kNever));
  ASSERT_TRUE(vibrator.WaitFor("3000/7000")) << "profile 1 vibrates";

  // Silent at 0, at a field without digits, without a field, and during a
  // call (started after switching to 2).
  ASSERT_TRUE(Send(SwitchTo("0") + kSmsNew + SwitchTo("abc") + kSmsNew +
                   Frame({"notify", "switchtoprofile"}) + kSmsNew + SwitchTo("2abc") +
                   Frame({"call", "started", "+32112233445"}) + kSmsNew));
  ASSERT_TRUE(notifier->WaitFor([&] { return Logged(kNever) == 5; }));
  ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(notifier->Pid()) == 0; }));
  EXPECT_EQ(vibrator.Written(), "3000/7000");
  EXPECT_EQ(Logged("playing ringtone"), 0);

  // The call's end brings back profile 2: vibration and ringtone.
  ASSERT_TRUE(Send(kCallStopped + kSmsNew));
  ASSERT_TRUE(notifier->WaitForStderr("201202251241 playing ringtone 0\n"));
  ASSERT_TRUE(vibrator.WaitFor("30000300/70000700"));
  EXPECT_EQ(notifier->Stdout(), "");
}

TEST_F(NotifierTest, CallAcceptEndsTheRingingAndCallStoppedBringsTheProfileBack) {
  VibratorPipes vibrator(root, kFirstDir);
  Start();
  ASSERT_TRUE(Send(SwitchTo("2") + kCallNew));
  ASSERT_TRUE(vibrator.WaitFor("300/700"));
  ASSERT_TRUE(CaptureReaches(1)) << "ringing";
  ASSERT_TRUE(Send(Frame({"call", "accept", "+32112233445"})));
  ASSERT_TRUE(notifier->WaitForStderr("201202231530 VibratePid is "));
  ASSERT_TRUE(vibrator.WaitFor("3000/7000"));

  int vibrate_pid = 0, ring_tone_pid = 0;
  const std::string& log = notifier->Stderr();
  ASSERT_EQ(std::sscanf(log.c_str() + log.find("201202231530"),
                        "201202231530 VibratePid is %i, RingTonePid is %i", &vibrate_pid,
                        &ring_tone_pid), 2);
  EXPECT_TRUE(xrig::WaitFor([&] { return kill(vibrate_pid, 0) != 0 && kill(ring_tone_pid, 0) != 0; }))
      << "both children end long before the 34-second ringtone";
  EXPECT_LT(alsa->CaptureBytes().size(), size_t(RingtoneLength[kCallRingtone]));
  EXPECT_EQ(notifier->Stdout(), "") << "no call stop frame";

  ASSERT_TRUE(Send(kSmsNew));
  ASSERT_TRUE(notifier->WaitForStderr(kNever)) << "profile 0 during the call";
  ASSERT_TRUE(Send(kCallStopped + kSmsNew));
  ASSERT_TRUE(notifier->WaitForStderr("201202251241 playing ringtone 0\n"));
  ASSERT_TRUE(vibrator.WaitFor("30000300/70000700"));
}

// The voluntary context switches of a process: one per wake from sleep.
long Wakeups(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  return -1;
}

TEST_F(NotifierTest, NamedPipeInputEndsQuietlyAndResumesWithTheNextWriter) {
  // No vibrator files at all: the alerts go on without them.
  const std::string pipe = root + "/NotifyPipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  Start(PcmMode::kRealTime, {"/bin/sh", "-c", "exec \"$0\" < \"$1\"", NOTIFIER_PATH, pipe});
  auto write_and_leave = [&](const std::string& frames) {
    int fd = -1;
    ASSERT_TRUE(xrig::WaitFor([&] { return (fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    EXPECT_EQ(write(fd, frames.data(), frames.size()), ssize_t(frames.size()));
    close(fd);
  };
  write_and_leave(kSmsNew);
  ASSERT_TRUE(notifier->WaitForStderr("201212071310 end of input, waiting for a writer\n"));
  const long woken = Wakeups(notifier->Pid());
  const int reads = Logged("Reading NewFrame");
  const auto ended = Clock::now();

  // While the chime plays in real time, the notifier waits for a writer.
  ASSERT_TRUE(CaptureReaches(14892));
  const double seconds = std::chrono::duration<double>(Clock::now() - ended).count();
  EXPECT_LE(Wakeups(notifier->Pid()) - woken, 20 * seconds + 10) << "over " << seconds << " s";
  EXPECT_EQ(Logged("Reading NewFrame"), reads);

  write_and_leave(SwitchTo("1") + kSmsNew);
  ASSERT_TRUE(notifier->WaitForStderr(kNever));
  EXPECT_EQ(Logged("201212071310"), 1);
}

TEST_F(NotifierLongTest, UnansweredCallIsEndedOnceItsRingtoneHasPlayed) {
  Start();
  const auto sent = Clock::now();
  ASSERT_TRUE(Send(SwitchTo("2") + kCallNew));
  ASSERT_TRUE(notifier->WaitForStdout(kCallStopFrame, 90));
  EXPECT_GE(Clock::now() - sent, 34s);
  EXPECT_EQ(notifier->Stdout(), kCallStopFrame);
  EXPECT_EQ(alsa->CaptureBytes(), Ringtone(kCallRingtone));
}

TEST_F(NotifierLongTest, WithoutSoundAnUnansweredCallStillRingsItsLength) {
  Start(PcmMode::kCannotOpen);
  const auto sent = Clock::now();
  ASSERT_TRUE(Send(SwitchTo("2") + kCallNew));
  ASSERT_TRUE(notifier->WaitForStderr("Playback open error: "));
  ASSERT_TRUE(notifier->WaitForStdout(kCallStopFrame, 90));
  EXPECT_GE(Clock::now() - sent, 34s);
}

TEST_F(NotifierLongTest, StartUpNoticeShowsFiftySecondsWhileFramesWait) {
  VibratorPipes vibrator(root, kFirstDir);
  Start();
  const auto sent = Clock::now();
  ASSERT_TRUE(Send(Frame({"gsm", "poweringon"}) + kCallNew));
  Window notice = xrig::WaitForWindow("DisplayMessage");
  ASSERT_NE(notice, 0u);
  const programs::TextReference lines({{"Activate the menu", 10, 50},
                                       {"with the AUX button,", 10, 150},
                                       {"but please wait", 10, 250},
                                       {"50 seconds for", 10, 350},
                                       {"network registration", 10, 450}});
  EXPECT_TRUE(programs::WaitForPixels(notice, lines, {0, 0, 478, 638}));
  EXPECT_EQ(vibrator.Written(), "/") << "the call new frame waits";

  ASSERT_TRUE(xrig::WaitForWindowGone("DisplayMessage", 90000));
  EXPECT_GE(Clock::now() - sent, 50s);
  ASSERT_TRUE(vibrator.WaitFor("300/700")) << "the call new frame, once the notice has gone";
}

}  // namespace
