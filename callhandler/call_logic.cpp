#include "call_logic.h"

#include <cstdio>

#include "contacts.h"
#include "frame.h"
#include "screen.h"

CallFrameAction ActionForCode(int code) {
  switch (code) {
    case kCallNew:
      return CallFrameAction::kShowAcceptReject;
    case kCallAccepted:
      return CallFrameAction::kStartCallMenu;
    case kCallStarted:
      return CallFrameAction::kPauseReading;
    default:
      return CallFrameAction::kIgnore;
  }
}

AcceptRejectTouch ClassifyAcceptRejectTouch(int x, int y) {
  // Only the top row holds buttons; the caller's line below is no button.
  switch (TouchCell(x, y)) {
    case 0:
      return AcceptRejectTouch::kReject;
    case 1:
      return AcceptRejectTouch::kBlank;
    case 2:
      return AcceptRejectTouch::kAccept;
    default:
      return AcceptRejectTouch::kElsewhere;
  }
}

const char* CallerLabel(const char* number, char label[kCallerLabelSize]) {
  std::snprintf(label, kCallerLabelSize, "%s", ContactName(number));
  return label;
}
