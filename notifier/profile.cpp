#include "profile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

int ProfileFromText(const FrameText& text) {
  if (!text) return 0;
  long value = std::strtol(text->c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

namespace {

// The profile a call found is kept only when no call was known before, so
// a second frame of the same call never saves the silenced one.
void BeginCall(ProfileState& state, CallPhase phase) {
  if (state.Call == CallPhase::kNone) state.SavedProfile = state.Profile;
  state.Call = phase;
}

// Only a call that began gives a profile back: a stray end keeps the one
// in force.
void EndCall(ProfileState& state) {
  if (state.Call != CallPhase::kNone) state.Profile = state.SavedProfile;
  state.Call = CallPhase::kNone;
}

// Up, the call is silent until it ends; its ringing, if any, stops.
FrameEffect CallIsUp(ProfileState& state) {
  const bool rang = state.Call == CallPhase::kRinging;
  BeginCall(state, CallPhase::kUp);
  state.Profile = 0;
  return {.stop_alerts = rang};
}

}  // namespace

FrameEffect ApplyNotifyFrame(ProfileState& state, int code, const char* frame) {
  switch (code) {
    case kCallAccept:
      // An accept for no call ringing here only stops alerts.
      if (state.Call == CallPhase::kRinging) CallIsUp(state);
      return {.stop_alerts = true};
    case kCallNew:
      if (state.Call == CallPhase::kUp) {
        fputs("201212081530 a call is up: no alert for another\n", stderr);
        return {};
      }
      // A call that still rings was ended unseen: the new one's ringing
      // takes the place of its own.
      if (state.Call == CallPhase::kRinging) return {.stop_alerts = true, .ringtone = kCallRingtone};
      BeginCall(state, CallPhase::kRinging);
      return {.ringtone = kCallRingtone};
    case kCallStarted:
      SplitCallFrame(frame);  // checks the frame's fields; none is used
      return CallIsUp(state);
    case kCallStop:
      // A ringing call that is refused, or whose ringing played out, rings
      // no more even when its call stopped frame does not come.
      if (state.Call == CallPhase::kRinging) EndCall(state);
      return {.stop_alerts = true};
    case kCallStopped:
      EndCall(state);
      return {.stop_alerts = true};
    case kGsmPoweringOn:
      return {.show_notice = true};
    case kSmsNew:
      if (state.Call == CallPhase::kRinging) {
        fputs("201212081531 a call is ringing: no alert for the message\n", stderr);
        return {};
      }
      return {.ringtone = kMessageRingtone};
    case kNotifySwitchToProfile:
      // Without a profile field the ETX piece takes its place: no digits, 0.
      state.Profile = ProfileFromText(SplitNotifyFrame(frame).ProfileText);
      return {};
    default:
      return {};
  }
}
