// The multi-tap keypad's window: drawing and the passes around the state
// machine.
#include "multitap.h"
#include "program.h"
#include "screen.h"

namespace {

// One keypad per process; the returned text lives here until the next call.
MultitapState Keypad;
// Its two colours, looked up when it opens: a redraw needs no round trip.
unsigned long Grey, Black;

constexpr int kLabelX = 19;
constexpr int kLabelBaseline = 80;

void DrawGridAndLabels(Window window) {
  XSetForeground(PhoneDisplay, PhoneGC, Grey);
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
  XSetForeground(PhoneDisplay, PhoneGC, Black);
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

// Acts on the cell under the press just taken; *typed tells whether the
// cell types characters.
KeypadAction ActOnPress(Window window, bool* typed) {
  int x = 0, y = 0;
  if (!ReadTouchPoint(window, &x, &y)) return KeypadAction::kClose;
  const int cell = TouchCell(x, y);
  *typed = MultitapGroup(Keypad.Page, cell) != nullptr;
  return PressMultitapCell(Keypad, cell);
}

}  // namespace

const char* GetTextMessageBody(Window window) {
  StartMultitap(Keypad);
  Grey = LookupColorPixel("grey");
  Black = LookupColorPixel("black");
  DrawKeypad(window);
  const Redraw draw = [window] { DrawKeypad(window); };
  // When the last typed character was taken: its pause counts from here.
  int64_t pause_start = 0;
  for (;;) {
    // Between the passes of a pause, and for as long as nothing is
    // pending, only a touch or an exposure wakes the keypad.
    if (!PollForTouchWithin(window, draw, MultitapWaitMs(Keypad, MonotonicMs(), pause_start))) {
      if (MultitapWaitMs(Keypad, MonotonicMs(), pause_start) == 0 && TickMultitap(Keypad))
        RedrawKeypad(window);
      continue;
    }
    bool typed = false;
    switch (ActOnPress(window, &typed)) {
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
    if (typed) pause_start = MonotonicMs();
  }
}
