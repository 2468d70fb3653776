#include "profile.h"

#include <climits>
#include <cstdlib>

int ProfileFromText(const FrameText& text) {
  if (!text) return 0;
  long value = std::strtol(text->c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

FrameEffect ApplyNotifyFrame(ProfileState& state, int code, const char* frame) {
  switch (code) {
    case kCallAccept:
      state.Profile = 0;
      return {.stop_alerts = true};
    case kCallNew:
      // The children take the profile as it is; the call keeps it until
      // its call stopped frame.
      state.SavedProfile = state.Profile;
      return {.ringtone = kCallRingtone};
    case kCallStarted:
      SplitCallFrame(frame);  // checks the frame's fields; none is used
      state.SavedProfile = state.Profile;
      state.Profile = 0;
      return {};
    case kCallStop:
      return {.stop_alerts = true};
    case kCallStopped:
      state.Profile = state.SavedProfile;
      return {.stop_alerts = true};
    case kGsmPoweringOn:
      return {.show_notice = true};
    case kSmsNew:
      return {.ringtone = kMessageRingtone};
    case kNotifySwitchToProfile:
      // Without a profile field the ETX piece takes its place: no digits, 0.
      state.Profile = ProfileFromText(SplitNotifyFrame(frame).ProfileText);
      return {};
    default:
      return {};
  }
}
