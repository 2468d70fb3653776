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
  constexpr AcceptRejectTouch kButtons[] = {AcceptRejectTouch::kReject, AcceptRejectTouch::kBlank,
                                            AcceptRejectTouch::kAccept};
  return ButtonRowAt(x, y, kButtons, AcceptRejectTouch::kElsewhere);
}

const char* CallerLabel(const char* number, char label[kCallerLabelSize]) {
  std::snprintf(label, kCallerLabelSize, "%s", ContactName(number));
  return label;
}
