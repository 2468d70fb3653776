// The multi-tap keypad's window: drawing and the polling loop around the
// state machine.
#include <unistd.h>


#include "multitap.h"
#include "screen.h"

namespace {

// One keypad per process; the returned text lives here until the next call.
MultitapState Keypad;

constexpr int kLabelX = 19;
constexpr int kLabelBaseline = 80;
constexpr useconds_t kTickMicroseconds = 100000;

void DrawGridAndLabels(Window window) {
  XSetForeground(PhoneDisplay, PhoneGC, LookupColorPixel("grey"));
  for (int y = 0; y < kScreenHeight; y += kCellSize) DrawPhoneLine(window, 0, y, kScreenWidth, y);
  for (int x = 0; x < kScreenWidth; x += kCellSize) DrawPhoneLine(window, x, 0, x, kScreenHeight);
  const char* const* labels = MultitapLabels(Keypad.Page);
  for (int cell = 0; cell < kMultitapCells; cell++) {
    const int row = cell / 3, column = cell % 3;
    DrawPhoneText(window, kLabelX + kCellSize * column, kLabelBaseline + kCellSize * row,
                  labels[cell]);
  }
}

void DrawText(Window window) {
  XSetForeground(PhoneDisplay, PhoneGC, LookupColorPixel("black"));
  TextPiece pieces[kTextPieceCount];
  const int count = LayoutMultitapText(Keypad.TextBuffer, pieces);
  for (int i = 0; i < count; i++)
    XDrawString(PhoneDisplay, window, PhoneGC, pieces[i].x, pieces[i].y,
                pieces[i].text, pieces[i].length);
}

void DrawKeypad(Window window) {
  DrawGridAndLabels(window);
  DrawText(window);
  XFlush(PhoneDisplay);
}

// A change redraws from a clean window; an Expose draws over what is left.
void RedrawKeypad(Window window) {
  XClearWindow(PhoneDisplay, window);
  DrawKeypad(window);
}

// Takes a queued press, if any, and acts on the touched cell.
KeypadAction HandlePress(Window window) {
  XEvent event;
  if (!XCheckTypedEvent(PhoneDisplay, ButtonPress, &event))
    return KeypadAction::kNothing;
  XUngrabPointer(PhoneDisplay, CurrentTime);
  int x = 0, y = 0;
  if (!ReadTouchPoint(window, &x, &y)) return KeypadAction::kClose;
  return PressMultitapCell(Keypad, TouchCell(x, y));
}

}  // namespace

const char* GetTextMessageBody(Window window) {
  StartMultitap(Keypad);
  DrawKeypad(window);
  for (;;) {
    GrabTouch(window);
    XEvent event;
    if (XCheckWindowEvent(PhoneDisplay, window, ExposureMask, &event))
      DrawKeypad(window);
    switch (HandlePress(window)) {
      case KeypadAction::kClose:
        return nullptr;
      case KeypadAction::kSend:
        return Keypad.TextBuffer;
      case KeypadAction::kRedraw:
        RedrawKeypad(window);
        break;
      case KeypadAction::kNothing:
        break;
    }
    usleep(kTickMicroseconds);
    if (TickMultitap(Keypad)) RedrawKeypad(window);
  }
}
