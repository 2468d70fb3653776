// notifier: alerts for new calls and messages. The parent reads frames for
// ever and keeps the profile; each alert runs in a vibration child and a
// ringtone child that decide from the profile they were forked with.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "frame.h"
#include "program.h"
#include "profile.h"
#include "ringtones.h"
#include "screen.h"
#include "tone.h"
#include "vibrator.h"

#ifndef VIBRATOR_ROOT
#error "VIBRATOR_ROOT is a FIXED value of phone_program() in notifier/CMakeLists.txt"
#endif

namespace {

ProfileState Current;
pid_t VibratePid = 0;
pid_t RingTonePid = 0;
// Every alert child started and not yet found ended: stopping the alerts
// ends them all, not only the last pair.
std::vector<pid_t> AlertPids;
bool InputEnded = false;

constexpr useconds_t kPassPause = 10000;
// With no writer on the pipe, ten passes a second still take a new frame
// soon enough.
constexpr useconds_t kEndedInputPause = 100000;
constexpr unsigned kVibrateSeconds = 5;
constexpr int kNoticeSeconds = 50;
constexpr long kNanosPerSecond = 1000000000;
// PlayRingtone's wait after its write, for the device's buffer to play out.
constexpr long kPlayOutNanos = static_cast<long>(kRingtoneLatencyUs) * 1000;

const char* const kStartUpNotice[] = {"Activate the menu", "with the AUX button,",
                                      "but please wait",   "50 seconds for",
                                      "network registration", "", nullptr};

// A vibration child stopped at any point leaves the vibrator still: even
// one that turned it on just after the notifier had turned it off.
void StopVibrating(int) {
  VibratorOff();
  _exit(0);
}

pid_t StartVibrateChild() {
  pid_t pid = ForkReapedChild("Forking failed 201202231346\n", stderr);
  if (pid > 0) return pid;
  signal(SIGTERM, StopVibrating);
  if (VibratesAt(Current.Profile)) {
    VibratorOn();
    sleep(kVibrateSeconds);
    VibratorOff();
  }
  std::exit(0);
}

// When a ringtone that starts now has played out, with or without a sound
// device: its own length plus the player's closing wait.
timespec PlayedOutAt(int index) {
  timespec at;
  clock_gettime(CLOCK_MONOTONIC, &at);
  const long frames = static_cast<long>(kRingtones[index].size());
  at.tv_sec += frames / kRingtoneSampleRate;
  at.tv_nsec +=
      frames % kRingtoneSampleRate * (kNanosPerSecond / kRingtoneSampleRate) + kPlayOutNanos;
  at.tv_sec += at.tv_nsec / kNanosPerSecond;
  at.tv_nsec %= kNanosPerSecond;
  return at;
}

void SleepUntil(const timespec& at) {
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

// The call ringtone ends an unanswered call. A sound device that fails
// must not end it sooner than the ringing would have.
pid_t StartRingToneChild(int index) {
  pid_t pid = ForkReapedChild("Forking failed 201202231356\n", stderr);
  if (pid > 0) return pid;
  if (!RingsAt(Current.Profile)) {
    std::fputs("201202231406 I never should have gotten here\n", stderr);
    std::exit(0);
  }
  const timespec played_out = PlayedOutAt(index);
  PlayRingtone(index, kRingtones[index]);
  if (index == kCallRingtone) {
    SleepUntil(played_out);
    WriteCallFrame("stop", "1234567890");
  }
  std::exit(0);
}

// An ended child was reaped by the system: the query fails for it.
bool StillRuns(pid_t pid) { return waitpid(pid, nullptr, WNOHANG) == 0; }

void StartAlerts(int ringtone) {
  std::erase_if(AlertPids, [](pid_t pid) { return !StillRuns(pid); });
  VibratePid = StartVibrateChild();
  RingTonePid = StartRingToneChild(ringtone);
  AlertPids.insert(AlertPids.end(), {VibratePid, RingTonePid});
}

// Every alert child still running is ended; a ringtone child ended so
// writes no call stop frame.
void StopAlerts() {
  std::fprintf(stderr, "201202231530 VibratePid is %i, RingTonePid is %i\n", VibratePid,
               RingTonePid);
  VibratorOff();
  for (pid_t pid : AlertPids)
    if (StillRuns(pid)) kill(pid, SIGTERM);
  AlertPids.clear();
}

// The lines one under another, 100 pixels apart, for 50 seconds, drawn
// again when a window that covered them goes; frames wait meanwhile.
void DisplayMessage(const char* const* lines) {
  GC gc;
  Window window = CreatePhoneWindow(&gc, "DisplayMessage");
  if (window != 0) {
    ShowWindowFor(window, [&] {
      for (int i = 0; lines[i] != nullptr; ++i) DrawPhoneText(window, 10, 50 + 100 * i, lines[i]);
      XFlush(PhoneDisplay);
    }, kNoticeSeconds);
  }
  ClosePhoneDisplay(PhoneDisplay, gc);
}

// NotifyPipe is a named pipe: its input ends whenever the last writer goes
// and resumes with the next one. Said once, then polled quietly.
void NoteInput(int result) {
  const bool ended = result == -1;
  if (ended && !InputEnded) std::fputs("201212071310 end of input, waiting for a writer\n", stderr);
  InputEnded = ended;
}

void HandleNotifyFrame() {
  if (!InputEnded) std::fputs("201202181524 Reading NewFrame \n", stderr);
  int result = ReadFrame(0);
  NoteInput(result);
  if (result != 0) return;

  FrameEffect effect = ApplyNotifyFrame(Current, ClassifyFrame(NewFrame), NewFrame);
  if (effect.stop_alerts) StopAlerts();
  if (effect.ringtone != kNoRingtone) StartAlerts(effect.ringtone);
  if (effect.show_notice) DisplayMessage(kStartUpNotice);
}

}  // namespace

int main() {
  SetVibratorRoot(VIBRATOR_ROOT);
  OpenStandardStreams();
  IgnoreBrokenPipe();
  SetInputMode();
  for (;;) {
    HandleNotifyFrame();
    usleep(InputEnded ? kEndedInputPause : kPassPause);
  }
}
