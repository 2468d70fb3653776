// The in-call menu ("End"/"Call", "Speaker"/"Phone", "Show"/"KeyPad") and
// the DTMF keypad.
#pragma once

#include "screen.h"

[[noreturn]] void ShowCallMenu();
[[noreturn]] void EndCall();
int ShowDtmfKeypad();
void DrawDtmfKeypad();

// The Call Menu's labels: each button named on lines 1 and 3 of its cell.
inline constexpr int kCallMenuLabelLines = 2;
extern const ButtonLabels CallMenuLabels[kCallMenuLabelLines];

// One pass of the menu: a fresh window under `title`, and the button of its
// first touch (1 to 3), or 0 for a touch outside the row, which takes the
// window down.
int RunButtonRow(const char* title, const ButtonLabels (&labels)[kCallMenuLabelLines]);

// Button 1 to 3 of the row at a window position, or 0 outside the row.
int ButtonRowButton(int x, int y);

// The DTMF keypad: 3 columns by 5 rows of 160 by 128 pixel cells, five text
// lines 20 pixels apart per cell, the label on the third.
inline constexpr int kDtmfColumns = 3;
inline constexpr int kDtmfRows = 5;
inline constexpr int kDtmfCellHeight = 128;
inline constexpr int kDtmfTextLines = 5;

// What a keypad position does: the PhoneButton whose tone it plays, or
// kDtmfClose for the top row and anything outside the keys.
inline constexpr int kDtmfClose = -1;
int DtmfKeyAt(int x, int y);

// One text position of the keypad: where it is drawn and what ("" draws
// nothing).
struct DtmfText {
  int x;
  int y;
  const char* text;
};
DtmfText DtmfTextAt(int row, int column, int line);
