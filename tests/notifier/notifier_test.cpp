// notifier as a whole program: frames in, the vibrator's attribute files as
// named pipes under its working directory (its test build roots the paths
// there), ringtones played in real time into the ALSA rig, the notice on X.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "frame_test_util.h"
#include "profile.h"
#include "program_support.h"
#include "ringtones.h"
#include "tone.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using alsarig::PcmMode;
using frametest::Frame;
using namespace std::chrono_literals;

constexpr char kNever[] = "201202231406 I never should have gotten here\n";

std::string SwitchTo(const std::string& profile) { return Frame({"notify", "switchtoprofile", profile}); }
const std::string kSmsNew = Frame({"sms", "new", "+32112233445", "1", "01-01-1814", "23:59:00", "hi"});
const std::string kCallNew = Frame({"call", "new", "+32112233445"});

// Both attributes as named pipes: the values written to each, run together.
struct VibratorPipes {
  explicit VibratorPipes(const std::string& dir) {
    fs::create_directories(dir);
    for (int i : {0, 1}) {
      const std::string path = dir + (i == 0 ? "/delay_on" : "/delay_off");
      EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
      fd[i] = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    }
  }
  ~VibratorPipes() { close(fd[0]), close(fd[1]); }
  // The on-time values, "/", the off-time values.
  std::string Written() {
    char buffer[64];
    for (int i : {0, 1})
      for (ssize_t n; (n = read(fd[i], buffer, sizeof buffer)) > 0;) text[i].append(buffer, n);
    return text[0] + "/" + text[1];
  }
  bool WaitFor(const std::string& written) { return xrig::WaitFor([&] { return Written() == written; }); }
  int fd[2];
  std::string text[2];
};

class NotifierTest : public ::testing::Test {
 protected:
  void TearDown() override {
    notifier.reset();  // its alert children go with its process group
    EXPECT_TRUE(xrig::WaitForWindowGone("DisplayMessage"));
    fs::remove_all(root);
  }
  void Start(PcmMode pcm = PcmMode::kRealTime, std::vector<std::string> argv = {NOTIFIER_PATH}) {
    notifier.reset();
    alsa = std::make_unique<alsarig::AlsaRig>(alsarig::RigOptions{.pcm = pcm});
    notifier = std::make_unique<rig::Process>(argv, programs::AlsaEnv(*alsa), root);
  }
  bool Send(const std::string& frames) { return notifier->Write(frames); }
  int Logged(const std::string& what) {
    int n = 0;
    for (size_t at = 0; (at = notifier->Stderr().find(what, at)) != std::string::npos; ++at) ++n;
    return n;
  }

  char dir_[32] = "/tmp/notifier-XXXXXX";
  const std::string root = mkdtemp(dir_);
  const std::string first_dir = root + "/sys/class/leds/neo1973:vibrator";
  std::unique_ptr<alsarig::AlsaRig> alsa;
  std::unique_ptr<rig::Process> notifier;
};
// Cases that wait for the call ringtone's 34 seconds or the notice's 50.
class NotifierLongTest : public NotifierTest {};

TEST_F(NotifierTest, ProfileOneVibratesOnlyAndCallAcceptEndsTheRinging) {
  VibratorPipes vibrator(first_dir);
  Start();
  ASSERT_TRUE(Send(SwitchTo("1") + kSmsNew));
  ASSERT_TRUE(notifier->WaitForStderr(kNever));
  ASSERT_TRUE(vibrator.WaitFor("300/700"));
  // The vibration child, stopped while the vibrator runs, stills it.
  ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(notifier->Pid()) == 1; }));
  ASSERT_EQ(rig::SignalChildren(notifier->Pid(), SIGTERM), 1);
  ASSERT_TRUE(vibrator.WaitFor("3000/7000"));
  ASSERT_TRUE(Send(SwitchTo("2abc") + kCallNew));
  ASSERT_TRUE(vibrator.WaitFor("3000300/7000700"));
  ASSERT_TRUE(xrig::WaitFor([&] { return !alsa->CaptureBytes().empty(); })) << "ringing";
  ASSERT_TRUE(Send(Frame({"call", "accept", "+32112233445"}) + kSmsNew));
  ASSERT_TRUE(notifier->WaitFor([&] { return Logged(kNever) == 2; })) << "silent at profile 0";
  ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(notifier->Pid()) == 0; }))
      << "the call's children end long before the 34-second ringtone";
  EXPECT_EQ(vibrator.Written(), "300030000/700070000") << "stilled by the notifier, then its child";
  EXPECT_LT(alsa->CaptureBytes().size(), kRingtones[kCallRingtone].size());
  EXPECT_EQ(notifier->Stdout(), "") << "no call stop frame";
}

// The ringing of a call, whichever frames come meanwhile, is the only alert
// while it rings and ends for good when the call is answered: no ringtone
// child is left to hang the answered call up.
TEST_F(NotifierTest, AnAnsweredCallKeepsNoAlertThatCouldHangItUp) {
  VibratorPipes vibrator(first_dir);
  Start();
  ASSERT_TRUE(Send(kCallNew + kSmsNew + kCallNew));
  ASSERT_TRUE(notifier->WaitFor([&] { return Logged("Reading NewFrame") >= 4; }));
  ASSERT_TRUE(xrig::WaitFor([&] { return !alsa->CaptureBytes().empty(); })) << "ringing";
  ASSERT_TRUE(Send(Frame({"call", "accept", "+32112233445"})));
  ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(notifier->Pid()) == 0; }))
      << "an alert child outlived the accept";
  ASSERT_TRUE(Send(SwitchTo("3")));  // its handling collects what the children wrote
  ASSERT_TRUE(notifier->WaitFor([&] { return Logged("Reading NewFrame") >= 6; }));
  EXPECT_EQ(notifier->Stdout(), "") << "no call stop frame";
  EXPECT_LT(alsa->CaptureBytes().size(), kRingtones[kCallRingtone].size());
}

// A call's end gives back only the profile that a call began with: not the
// initial 0 after a refused dial, nor the silenced one after a waiting call.
TEST_F(NotifierTest, OnlyACallThatBeganGivesItsProfileBack) {
  VibratorPipes vibrator(first_dir);
  auto vibrations = [&] {
    const std::string on = vibrator.Written().substr(0, vibrator.Written().find('/'));
    int n = 0;
    for (size_t at = 0; (at = on.find("300", at)) != std::string::npos; at += 3) ++n;
    return n;
  };
  Start();
  const std::string stopped = Frame({"call", "stopped", "+32112233445"});
  ASSERT_TRUE(Send(SwitchTo("1") + stopped + kCallNew));
  ASSERT_TRUE(xrig::WaitFor([&] { return vibrations() == 1; })) << "the call is silent";
  ASSERT_TRUE(Send(Frame({"call", "accept", "+32112233445"}) + kCallNew + stopped + kSmsNew));
  ASSERT_TRUE(xrig::WaitFor([&] { return vibrations() == 2; })) << "the message is silent";
  EXPECT_TRUE(notifier->WaitFor([&] { return Logged(kNever) == 2; })) << "vibration only";
}

// Voluntary context switches of a process: one per wake from a sleep.
long Wakeups(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
  return -1;
}

// Frames through a named pipe, as from the profile scripts: its input ends
// with each writer and resumes with the next.
TEST_F(NotifierTest, SmsNewAtStartVibratesAndChimesAndTheNamedPipeRestsBetweenWriters) {
  // The first attribute files refuse every write: the second ones take it.
  fs::create_directories(first_dir);
  for (const char* name : {"/delay_on", "/delay_off"}) fs::create_symlink("/dev/full", first_dir + name);
  VibratorPipes vibrator(root + "/sys/devices/platform/leds_pwm/leds/gta02::vibrator");
  const std::string pipe = root + "/NotifyPipe";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  Start(PcmMode::kRealTime, {"/bin/sh", "-c", "exec \"$0\" < \"$1\"", NOTIFIER_PATH, pipe});
  auto write_and_leave = [&](const std::string& frames) {
    int fd = -1;
    ASSERT_TRUE(xrig::WaitFor([&] { return (fd = open(pipe.c_str(), O_WRONLY | O_NONBLOCK)) >= 0; }));
    EXPECT_EQ(write(fd, frames.data(), frames.size()), ssize_t(frames.size()));
    close(fd);
  };
  const auto sent = Clock::now();
  write_and_leave(kSmsNew);
  ASSERT_TRUE(vibrator.WaitFor("300/700"));
  ASSERT_TRUE(notifier->WaitForStderr("201212071310 end of input, waiting for a writer\n"));
  const long woken = Wakeups(notifier->Pid());
  const int reads = Logged("Reading NewFrame");
  const auto ended = Clock::now();
  // The chime plays in real time while no writer is there.
  ASSERT_TRUE(notifier->WaitFor([&] { return alsa->CaptureBytes().size() >= 14892; }));
  const double seconds = std::chrono::duration<double>(Clock::now() - ended).count();
  EXPECT_LE(Wakeups(notifier->Pid()) - woken, 20 * seconds + 10) << "over " << seconds << " s";
  EXPECT_EQ(Logged("Reading NewFrame"), reads);
  EXPECT_EQ(alsa->CaptureBytes(), std::vector<unsigned char>(kRingtones[0].data(), kRingtones[0].data() + 14892));
  EXPECT_EQ(programs::CodecRoutingState(*alsa), 2);
  ASSERT_TRUE(vibrator.WaitFor("3000/7000"));
  EXPECT_GE(Clock::now() - sent, 5s);

  write_and_leave(SwitchTo("1") + kSmsNew);
  ASSERT_TRUE(notifier->WaitForStderr(kNever));
  EXPECT_EQ(notifier->Stdout(), "");
}

TEST_F(NotifierLongTest, UnansweredCallIsEndedAfterItsRingtoneWithOrWithoutSound) {
  const std::string stop = Frame({"call", "stop", "1234567890"});
  for (PcmMode pcm : {PcmMode::kRealTime, PcmMode::kCannotOpen}) {
    Start(pcm);
    const auto sent = Clock::now();
    ASSERT_TRUE(Send(SwitchTo("2") + kCallNew));
    ASSERT_TRUE(notifier->WaitForStdout(stop, 90));
    EXPECT_GE(Clock::now() - sent, 34s);
    EXPECT_EQ(notifier->Stdout(), stop);
    EXPECT_EQ(alsa->CaptureBytes().size(), pcm == PcmMode::kRealTime ? kRingtones[1].size() : 0u);
  }
  EXPECT_EQ(Logged("Playback open error: "), 1);
}

TEST_F(NotifierLongTest, StartUpNoticeShowsFiftySecondsWhileFramesWait) {
  VibratorPipes vibrator(first_dir);
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
  // A window that covered the notice goes: the notice is drawn again.
  Window cover = xrig::MapCover();
  ASSERT_NE(cover, 0u);
  XDestroyWindow(xrig::Rig(), cover);
  XSync(xrig::Rig(), False);
  EXPECT_TRUE(programs::WaitForPixels(notice, lines, {0, 0, 478, 638})) << "after exposure";
  EXPECT_EQ(vibrator.Written(), "/") << "the call new frame waits";
  ASSERT_TRUE(xrig::WaitForWindowGone("DisplayMessage", 90000));
  EXPECT_GE(Clock::now() - sent, 50s);
  ASSERT_TRUE(vibrator.WaitFor("300/700")) << "and is acted on once the notice has gone";
}

}  // namespace
