// What each frame does to the notifier's profile, and what else it asks
// for, without processes or devices.
#include "profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string Frame(const std::string& type, const std::string& action, const std::string& field = "") {
  return "\x02\x1f" + type + "\x1f" + action + "\x1f" + (field.empty() ? "" : field + "\x1f") + "\x03";
}
std::string SwitchTo(const std::string& profile) { return Frame("notify", "switchtoprofile", profile); }

TEST(NotifierProfile, FramesInTurnSetSaveAndRestoreTheProfile) {
  struct Step {
    std::string frame;
    int profile, saved;
    std::string effect;
  };
  const Step steps[] = {
      {Frame("sms", "new", "+32112233445"), 3, 0, "ring 0"},
      {Frame("call", "new", "+32112233445"), 3, 3, "ring 1"},
      {Frame("call", "accept", "+32112233445"), 0, 3, "stop"},
      {Frame("sms", "new"), 0, 3, "ring 0"},  // the children start, and stay silent
      {Frame("call", "stop", "1234567890"), 0, 3, "stop"},
      {Frame("call", "stopped"), 3, 3, "stop"},
      {SwitchTo("1"), 1, 3, ""},
      {Frame("call", "started", "+32112233445"), 0, 1, ""},
      {SwitchTo("2"), 2, 1, ""},
      {Frame("call", "stopped"), 1, 1, "stop"},
      {SwitchTo("2abc"), 2, 1, ""},
      {SwitchTo("abc"), 0, 1, ""},
      {SwitchTo(" -1"), -1, 1, ""},
      {SwitchTo("99999999999999999999"), INT_MAX, 1, ""},
      {Frame("notify", "switchtoprofile"), 0, 1, ""},  // the ETX piece stands in: no digits
      {Frame("gsm", "poweringon"), 0, 1, "notice"},
      {Frame("call", "accepted"), 0, 1, ""},
      {"junk\x03", 0, 1, ""},
      {"", 0, 1, ""},  // a quiet minute
  };
  ProfileState state;
  for (const Step& step : steps) {
    FrameEffect e = ApplyNotifyFrame(state, ClassifyFrame(step.frame.c_str()), step.frame.c_str());
    std::string effect = e.stop_alerts ? "stop" : e.show_notice ? "notice" : "";
    if (e.ringtone != kNoRingtone) effect += "ring " + std::to_string(e.ringtone);
    EXPECT_EQ(effect, step.effect) << step.frame;
    EXPECT_EQ(state.Profile, step.profile) << step.frame;
    EXPECT_EQ(state.SavedProfile, step.saved) << step.frame;
  }
  EXPECT_TRUE(VibratesAt(1) && !RingsAt(1) && RingsAt(3) && !VibratesAt(0));
}

}  // namespace
