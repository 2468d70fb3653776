// What each frame does to the notifier's profile, and which alerts follow,
// without processes or devices.
#include "profile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string Frame(const std::string& type, const std::string& action, const std::string& more = "") {
  std::string frame = "\x02\x1f" + type + "\x1f" + action + "\x1f";
  if (!more.empty()) frame += more + "\x1f";
  return frame + "\x03";
}

FrameEffect Apply(ProfileState& state, const std::string& frame) {
  return ApplyNotifyFrame(state, ClassifyFrame(frame.c_str()), frame.c_str());
}

int SwitchTo(ProfileState& state, const std::string& field) {
  Apply(state, Frame("notify", "switchtoprofile", field));
  return state.Profile;
}

TEST(NotifierProfile, IncomingCallKeepsTheProfileOfItsCallNewUntilCallStopped) {
  ProfileState state;
  FrameEffect sms = Apply(state, Frame("sms", "new", "+32112233445\x1f" "1\x1f" "d\x1f" "t\x1f" "hi"));
  EXPECT_EQ(sms.ringtone, kMessageRingtone);
  EXPECT_FALSE(sms.stop_alerts);
  EXPECT_TRUE(VibratesAt(state.Profile) && RingsAt(state.Profile)) << "3 rings like 2";

  FrameEffect call = Apply(state, Frame("call", "new", "+32112233445"));
  EXPECT_EQ(call.ringtone, kCallRingtone);
  EXPECT_EQ(state.SavedProfile, 3);

  FrameEffect accept = Apply(state, Frame("call", "accept", "+32112233445"));
  EXPECT_TRUE(accept.stop_alerts);
  EXPECT_EQ(accept.ringtone, kNoRingtone);
  EXPECT_EQ(state.Profile, 0);
  EXPECT_FALSE(VibratesAt(state.Profile));
  EXPECT_EQ(Apply(state, Frame("sms", "new")).ringtone, kMessageRingtone) << "children still start";

  EXPECT_TRUE(Apply(state, Frame("call", "stop", "1234567890")).stop_alerts);
  EXPECT_EQ(state.Profile, 0);
  EXPECT_TRUE(Apply(state, Frame("call", "stopped")).stop_alerts);
  EXPECT_EQ(state.Profile, 3);
}

TEST(NotifierProfile, ProfileFramesAndOutgoingCalls) {
  ProfileState state;
  EXPECT_EQ(SwitchTo(state, "1"), 1);
  EXPECT_TRUE(VibratesAt(1) && !RingsAt(1));

  FrameEffect started = Apply(state, Frame("call", "started", "+32112233445"));
  EXPECT_FALSE(started.stop_alerts || started.show_notice);
  EXPECT_EQ(started.ringtone, kNoRingtone);
  EXPECT_EQ(state.Profile, 0);
  EXPECT_EQ(SwitchTo(state, "2"), 2);
  Apply(state, Frame("call", "stopped"));
  EXPECT_EQ(state.Profile, 1) << "the profile of call started comes back";

  EXPECT_EQ(SwitchTo(state, "2abc"), 2);
  EXPECT_EQ(SwitchTo(state, "abc"), 0);
  EXPECT_EQ(SwitchTo(state, " -1"), -1);
  EXPECT_FALSE(VibratesAt(-1));
  EXPECT_EQ(SwitchTo(state, "99999999999999999999"), INT_MAX);
  state.Profile = 2;
  EXPECT_EQ(SwitchTo(state, ""), 0) << "no profile field: the ETX piece has no digits";
  EXPECT_EQ(ProfileFromText(std::nullopt), 0);

  state.Profile = 2;
  FrameEffect notice = Apply(state, Frame("gsm", "poweringon"));
  EXPECT_TRUE(notice.show_notice);
  EXPECT_FALSE(notice.stop_alerts);
  for (const std::string& other : {Frame("call", "accepted"), Frame("sms", "retrieve"),
                                   Frame("gsm", "poweron"), std::string("junk\x03"), std::string()}) {
    FrameEffect none = Apply(state, other);
    EXPECT_FALSE(none.stop_alerts || none.show_notice || none.ringtone != kNoRingtone) << other;
  }
  EXPECT_EQ(state.Profile, 2);
  EXPECT_EQ(state.SavedProfile, 1);
}

}  // namespace
