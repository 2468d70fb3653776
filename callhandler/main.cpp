// callhandler: answers incoming calls. The parent reads frames for ever and
// never draws; each call new frame gets an Accept/Reject window in a child of
// its own, each call accepted frame a child running the call menu.
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "call_logic.h"
#include "call_menu.h"
#include "contacts.h"
#include "frame.h"
#include "program.h"
#include "routing.h"
#include "screen.h"

namespace {

// The Accept/Reject child's window: "Reject", a blank button and "Accept",
// and the caller below the buttons.
Window AcceptRejectWindow;
const ButtonLabels kAcceptRejectButtons = {{"Reject", "", "Accept"}, 24, 80};
const char* CallerText = "";
constexpr int kCallerX = 24;
constexpr int kCallerY = 240;

void DrawAcceptRejectScreen() {
  DrawButtonRow(AcceptRejectWindow, 0, kAcceptRejectButtons);
  DrawPhoneText(AcceptRejectWindow, kCallerX, kCallerY, CallerText);
  XFlush(PhoneDisplay);
}

// The Accept/Reject child: shows the caller and ends once the user has
// touched "Reject" or "Accept". Only a press is hit-tested; an exposure just
// redraws, so a window uncovered under a resting pointer decides nothing.
[[noreturn]] void AcceptRejectCall(const CallFields& call) {
  const char* number = call.PhoneNr.c_str();
  char caller[kCallerLabelSize];
  CallerText = CallerLabel(number, caller);

  GC gc;
  AcceptRejectWindow = CreatePhoneWindow(&gc, "Accept/Reject Call");
  DrawAcceptRejectScreen();
  for (;;) {
    WaitForWindowTouch(AcceptRejectWindow, DrawAcceptRejectScreen);
    int x = 0, y = 0;
    // A touch that cannot be placed rejects the call. Standard output
    // carries this process's frames, so the lost pointer is told on stderr.
    AcceptRejectTouch touch = ReadTouchPoint(AcceptRejectWindow, &x, &y, stderr)
                                  ? ClassifyAcceptRejectTouch(x, y)
                                  : AcceptRejectTouch::kReject;
    switch (touch) {
      case AcceptRejectTouch::kReject:
        WriteCallFrame("stop", number);
        std::exit(0);
      case AcceptRejectTouch::kAccept:
        WriteCallFrame("accept", number);
        SelectCallRouting();
        std::exit(0);
      case AcceptRejectTouch::kBlank:
      case AcceptRejectTouch::kElsewhere:
        break;
    }
  }
}

// Forks with ended children left to the system; a failed fork ends the
// whole callhandler.
bool InChild(const char* fork_failure) { return ForkReapedChild(fork_failure, stderr) == 0; }

// Once the input has ended no frame can come any more. The children keep
// their windows and still write their frames; the parent has nothing left.
[[noreturn]] void EndOfInput() {
  std::fputs("201212071300 end of input, no more frames\n", stderr);
  std::exit(0);
}

// Acts on one frame: a window for a new call, the call menu for an
// accepted one, a pause for a started one.
void ActOnCallFrame(const char* frame) {
  const CallFrameAction action = ActionForCode(ClassifyFrame(frame));
  if (action == CallFrameAction::kIgnore) return;
  // Splitting also reports a frame that carries more fields than a call's.
  const CallFields call = SplitCallFrame(frame);
  switch (action) {
    case CallFrameAction::kShowAcceptReject:
      if (InChild("Forking failed 201201301035\n")) AcceptRejectCall(call);
      break;
    case CallFrameAction::kStartCallMenu:
      if (InChild("Forking failed 201201311941\n")) ShowCallMenu();
      break;
    case CallFrameAction::kPauseReading:
      sleep(1);
      break;
    case CallFrameAction::kIgnore:
      break;
  }
}

// One frame read and acted on; the end of the input ends the program, and
// an overlong frame is passed over.
void HandleCallFrame() {
  std::fputs("201201111529 Reading NewFrame \n", stderr);
  const int result = ReadFrame(0);
  if (result == -1) EndOfInput();
  if (result == 0) ActOnCallFrame(NewFrame);
}

}  // namespace

int main() {
  OpenStandardStreams();
  IgnoreBrokenPipe();
  SetInputMode();
  FillContactBook();
  for (;;) HandleCallFrame();
}
