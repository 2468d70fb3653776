// The multi-tap text keypad.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

// Runs the keypad on a mapped 480 by 640 window of PhoneDisplay. Returns the
// typed text (owned by the keypad, valid until the next call) on "Send", or
// nullptr on "Close".
const char* GetTextMessageBody(Window window);

// The keypad's state machine, free of X: presses of cells and 100 ms ticks go
// in, the text buffer and whether the window must be redrawn come out.

// Characters the text keeps; the cursor runs from 0 to this.
inline constexpr int kMultitapTextLimit = 159;
// The kept characters, the mark or the pending character, and a NUL.
inline constexpr int kMultitapBufferSize = kMultitapTextLimit + 2;
// Pauses after the last press that fix a pending character, and their
// length.
inline constexpr int kMultitapFixTicks = 9;
inline constexpr int kMultitapTickMs = 100;
inline constexpr char kCursorMark = '.';
inline constexpr int kMultitapPages = 2;
inline constexpr int kMultitapCells = 12;
inline constexpr int kNoKey = -1;

struct MultitapState {
  char TextBuffer[kMultitapBufferSize];
  int CursorPos;
  bool Pending;
  int Ticks;
  // The key of the pending character as page * 12 + cell, or kNoKey.
  int LastKey;
  // Index of the pending character within its key's group.
  int CyclePos;
  int Page;
};

enum class KeypadAction { kNothing, kRedraw, kSend, kClose };

// The empty text with the mark at 0, first page, nothing pending.
void StartMultitap(MultitapState& state);
// Acts on a touch of cell 0 to 11 of the current page; any other value is a
// touch outside the keys and does nothing.
KeypadAction PressMultitapCell(MultitapState& state, int cell);
// One 100 ms pause; true when it fixed the pending character (redraw).
bool TickMultitap(MultitapState& state);
// How long the keypad may wait for a touch before the next pause of the
// pending character ends, the pauses counting from pause_start_ms (when the
// character was typed); 0 once it has ended, and -1 (no end) while nothing
// is pending.
int MultitapWaitMs(const MultitapState& state, int64_t now_ms, int64_t pause_start_ms);

// The 12 labels of a page, cell by cell ("" for the blank cells).
const char* const* MultitapLabels(int page);
// The characters a key steps through, or nullptr for a cell that types none.
const char* MultitapGroup(int page, int cell);

// One line of the text display: up to 18 characters of the buffer drawn with
// the baseline start at (x, y).
struct TextPiece {
  int x, y;
  const char* text;
  int length;
};
inline constexpr int kTextPieceLength = 18;
inline constexpr int kTextPieceCount = 9;
// Cuts the buffer into its pieces in display order; returns how many carry
// characters (a piece after the end of the text is left out).
int LayoutMultitapText(const char* buffer, TextPiece pieces[kTextPieceCount]);
