// The Call Menu shown during a call, and the DTMF keypad it opens.
#include "call_menu.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>

#include "frame.h"
#include "routing.h"
#include "screen.h"
#include "tone.h"

namespace {

// The window each routine draws on.
Window CallMenuWindow = 0;
Window DtmfKeypadWindow = 0;

// The connection of the previous Call Menu window, closed once the next one
// is up: the menu makes a window per pass, and keeping every connection
// would run the process out of descriptors and the server out of clients in
// a long call.
Display* PreviousCallMenuDisplay = nullptr;
GC PreviousCallMenuGC = nullptr;

void RetirePreviousCallMenu(Display* display, GC gc) {
  if (PreviousCallMenuDisplay != nullptr)
    ClosePhoneDisplay(PreviousCallMenuDisplay, PreviousCallMenuGC);
  PreviousCallMenuDisplay = display;
  PreviousCallMenuGC = gc;
}

// The labels of the row being shown, for a redraw after an exposure.
const ButtonLabels* ShownLabels = nullptr;

// The row's outline with its first line of labels, then the other lines.
void DrawShownButtonRow() {
  DrawButtonRow(CallMenuWindow, 0, ShownLabels[0]);
  for (int line = 1; line < kCallMenuLabelLines; ++line)
    DrawButtonLabels(CallMenuWindow, 0, ShownLabels[line]);
  XFlush(PhoneDisplay);
}

}  // namespace

int RunButtonRow(const char* title, const ButtonLabels (&labels)[kCallMenuLabelLines]) {
  GC gc;
  const Window window = CreatePhoneWindow(&gc, title);
  Display* const display = PhoneDisplay;
  RetirePreviousCallMenu(display, gc);
  if (window == 0) return 0;
  CallMenuWindow = window;
  ShownLabels = labels;
  DrawShownButtonRow();
  WaitForWindowTouch(window, DrawShownButtonRow);

  int x, y;
  if (!ReadTouchPoint(window, &x, &y)) return 1;  // cannot tell where: end the call
  const int button = ButtonRowButton(x, y);
  if (button != 0) return button;
  XLowerWindow(display, window);
  XDestroyWindow(display, window);
  XFlush(display);
  return 0;
}

void EndCall() {
  WriteCallFrame("stop", "+1234567890");
  exit(0);
}

void ShowCallMenu() {
  SelectCallRouting();
  for (;;) {
    const int button = RunButtonRow("Call Menu", CallMenuLabels);
    fputs("201202041943 inner loop\n", stderr);
    switch (button) {
      case 1:
        EndCall();
      case 2:
        SelectSpeakerPhoneRouting();
        break;
      case 3:
        SelectKeypadRouting();
        ShowDtmfKeypad();
        break;
      default:
        break;
    }
  }
}

void DrawDtmfKeypad() {
  const Window w = DtmfKeypadWindow;
  for (int y = kDtmfCellHeight; y <= kScreenHeight; y += kDtmfCellHeight)
    DrawPhoneLine(w, 0, y, kScreenWidth, y);
  for (int x = kCellSize; x < kScreenWidth; x += kCellSize) DrawPhoneLine(w, x, 0, x, kScreenHeight);
  for (int row = 0; row < kDtmfRows; ++row)
    for (int column = 0; column < kDtmfColumns; ++column)
      for (int line = 0; line < kDtmfTextLines; ++line) {
        const DtmfText t = DtmfTextAt(row, column, line);
        if (t.text[0] != '\0') DrawPhoneText(w, t.x, t.y, t.text);
      }
  XFlush(PhoneDisplay);
}

int ShowDtmfKeypad() {
  GC gc;
  const Window window = CreatePhoneWindow(&gc, "ShowDtmfKeypad");
  Display* const display = PhoneDisplay;
  if (window == 0) return 0;
  DtmfKeypadWindow = window;
  DrawDtmfKeypad();

  for (;;) {
    WaitForTouch(window, DrawDtmfKeypad);
    FlashFeedback();
    // Window coordinates: the 2-pixel border puts the window's origin at
    // (2, 2) of the root, and the keys are drawn relative to the window.
    int x, y;
    if (!ReadTouchPoint(window, &x, &y)) break;
    const int key = DtmfKeyAt(x, y);
    if (key == kDtmfClose) break;
    PlayDtmfTone(static_cast<PhoneButton>(key));
  }
  ClosePhoneDisplay(display, gc);
  return 0;
}
