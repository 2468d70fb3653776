// The notifier's deciding logic, free of processes and devices: what each
// frame does to the profile, and which alerts a profile allows.
#pragma once

#include "frame.h"

// Indexes of the two ringtones.
inline constexpr int kMessageRingtone = 0;
inline constexpr int kCallRingtone = 1;
inline constexpr int kNoRingtone = -1;

// The call the notifier knows of: none, one ringing, or one that is up
// (answered, or placed and started).
enum class CallPhase { kNone, kRinging, kUp };

struct ProfileState {
  // 0 or less: no alert; 1: vibration only; 2 or more: vibration and ringtone.
  int Profile = 3;
  // Profile as it was when the call began, given back when it ends.
  int SavedProfile = 0;
  CallPhase Call = CallPhase::kNone;
};

// What a frame asks of the notifier besides the profile change, in this
// order: stop every running alert, start a vibration child and a ringtone
// child with this ringtone, show the start-up notice.
struct FrameEffect {
  bool stop_alerts = false;
  int ringtone = kNoRingtone;
  bool show_notice = false;
};

// Applies the frame (message code `code`) to the profile and the call, and
// returns the rest of what it asks for. The profile is saved once when a
// call begins and given back once when it ends; a ringing call's alerts are
// the only ones while it rings, and a call that is up never gets a ringtone
// child, whose end would hang it up.
FrameEffect ApplyNotifyFrame(ProfileState& state, int code, const char* frame);

// strtol in base 10, held within int; 0 for an absent text or one without
// leading digits.
int ProfileFromText(const FrameText& text);

// What an alert child does at the profile it was forked with.
inline bool VibratesAt(int profile) { return profile > 0; }
inline bool RingsAt(int profile) { return profile > 1; }
