// What each frame does to the notifier's profile, and what else it asks
// for, without processes or devices.
#include "profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "frame_test_util.h"

namespace {

using frametest::Frame;

std::string SwitchTo(const std::string& profile) { return Frame({"notify", "switchtoprofile", profile}); }

struct Step {
  std::string frame;
  int profile, saved;
  std::string effect;
};

std::string Describe(const FrameEffect& e) {
  std::string effect = e.stop_alerts ? "stop" : e.show_notice ? "notice" : "";
  if (e.ringtone != kNoRingtone) effect += (effect.empty() ? "ring " : " ring ") + std::to_string(e.ringtone);
  return effect;
}

// Applies the frames in turn to a fresh state, checking each one's result.
template <size_t n>
void RunSteps(const Step (&steps)[n]) {
  ProfileState state;
  for (const Step& step : steps) {
    FrameEffect e = ApplyNotifyFrame(state, ClassifyFrame(step.frame.c_str()), step.frame.c_str());
    EXPECT_EQ(Describe(e), step.effect) << step.frame;
    EXPECT_EQ(state.Profile, step.profile) << step.frame;
    EXPECT_EQ(state.SavedProfile, step.saved) << step.frame;
  }
}

TEST(NotifierProfile, FramesInTurnSetSaveAndRestoreTheProfile) {
  const Step steps[] = {
      {Frame({"sms", "new", "+32112233445"}), 3, 0, "ring 0"},
      {Frame({"call", "new", "+32112233445"}), 3, 3, "ring 1"},
      {Frame({"call", "accept", "+32112233445"}), 0, 3, "stop"},
      {Frame({"sms", "new"}), 0, 3, "ring 0"},  // the children start, and stay silent
      {Frame({"call", "stop", "1234567890"}), 0, 3, "stop"},
      {Frame({"call", "stopped"}), 3, 3, "stop"},
      {SwitchTo("1"), 1, 3, ""},
      {Frame({"call", "started", "+32112233445"}), 0, 1, ""},
      {SwitchTo("2"), 2, 1, ""},
      {Frame({"call", "stopped"}), 1, 1, "stop"},
      {SwitchTo("2abc"), 2, 1, ""},
      {SwitchTo("abc"), 0, 1, ""},
      {SwitchTo(" -1"), -1, 1, ""},
      {SwitchTo("99999999999999999999"), INT_MAX, 1, ""},
      {Frame({"notify", "switchtoprofile"}), 0, 1, ""},  // the ETX piece stands in: no digits
      {Frame({"gsm", "poweringon"}), 0, 1, "notice"},
      {Frame({"call", "accepted"}), 0, 1, ""},
      {"junk\x03", 0, 1, ""},
      {"", 0, 1, ""},  // a quiet minute
  };
  RunSteps(steps);
  EXPECT_TRUE(VibratesAt(1) && !RingsAt(1) && RingsAt(3) && !VibratesAt(0));
}

// Only a call that began gives a profile back, each call saves it once,
// a ringing call keeps its alerts to itself, and a call that is up gets no
// ringtone child that could hang it up.
TEST(NotifierProfile, EachCallSavesAndRestoresTheProfileOnceAndKeepsItsAlerts) {
  const std::string call_new = Frame({"call", "new", "+32112233445"});
  const Step steps[] = {
      {Frame({"call", "stopped", "+1"}), 3, 0, "stop"},  // a refused dial
      {call_new, 3, 3, "ring 1"},
      {Frame({"sms", "new", "+1"}), 3, 3, ""},
      {call_new, 3, 3, "stop ring 1"},  // the first call ended unseen
      {Frame({"call", "accept", "+32112233445"}), 0, 3, "stop"},
      {call_new, 0, 3, ""},
      {Frame({"call", "started", "+1"}), 0, 3, ""},
      {Frame({"call", "stopped", "+1"}), 3, 3, "stop"},
      {Frame({"call", "accept", "+1"}), 3, 3, "stop"},  // no call rings
      {Frame({"call", "stopped", "+1"}), 3, 3, "stop"},
      {SwitchTo("1"), 1, 3, ""},
      {call_new, 1, 1, "ring 1"},
      {Frame({"call", "stop", "1234567890"}), 1, 1, "stop"},  // its ringing played out
      {Frame({"sms", "new", "+1"}), 1, 1, "ring 0"},
      {call_new, 1, 1, "ring 1"},
      {Frame({"call", "started", "+1"}), 0, 1, "stop"},
      {Frame({"call", "stopped", "+1"}), 1, 1, "stop"},
  };
  RunSteps(steps);
}

}  // namespace
