// The deciding parts of callhandler, free of X and of processes.
#pragma once

// What the parent does with a frame of a given message code.
enum class CallFrameAction {
  kShowAcceptReject,  // call new: fork the Accept/Reject window
  kStartCallMenu,     // call accepted: fork the call menu
  kPauseReading,      // call started: wait a second before the next read
  kIgnore,
};
CallFrameAction ActionForCode(int code);

// Where a touch of the Accept/Reject window landed.
enum class AcceptRejectTouch { kReject, kBlank, kAccept, kElsewhere };
AcceptRejectTouch ClassifyAcceptRejectTouch(int x, int y);

// The caller's line of the window: the contact's name when the number is in
// the contact book, else the number as received. Fills label (always
// NUL-terminated, cut to fit) and returns it.
inline constexpr int kCallerLabelSize = 100;
const char* CallerLabel(const char* number, char label[kCallerLabelSize]);
