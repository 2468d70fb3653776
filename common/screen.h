// Full-screen phone windows: creation, the 3 by 4 grid of 160-pixel buttons,
// touch waits, the hit test and the acknowledgement flash.
#pragma once

#include <X11/Xlib.h>

#include <cstdio>
#include <functional>

inline constexpr int kScreenWidth = 480;
inline constexpr int kScreenHeight = 640;
inline constexpr int kCellSize = 160;

inline constexpr char kFontPattern30[] = "-*-*-*-*-*-*-30-*-*-*-*-*-*-*";
inline constexpr char kFontPattern40[] = "-*-*-*-*-*-*-40-*-*-*-*-*-*-*";

// The program's window font, loaded at each window creation. The 30-pixel
// pattern unless the program chooses another with UsePhoneFont before its
// first window (smsreader takes the 40-pixel one).
extern const char* PhoneFontPattern;
inline void UsePhoneFont(const char* pattern) { PhoneFontPattern = pattern; }

// The latest display connection and the graphics context of the latest
// window; each CreatePhoneWindow replaces both.
extern Display* PhoneDisplay;
extern GC PhoneGC;

// Opens a new display connection, creates, names and maps the full-screen
// window and waits until it is mapped. Returns the window, or 0 when the
// graphics context cannot be created. Ends the program with status 1 when
// the display cannot be opened.
Window CreatePhoneWindow(GC* gc_out, const char* title);
// Frees the window's graphics context and closes its display connection,
// with every window and font the server held for it.
void ClosePhoneDisplay(Display* display, GC gc);
// Unmaps the window of PhoneDisplay and maps it again, waiting until it is
// mapped: a window shown afresh above whatever went up meanwhile.
void RemapPhoneWindow(Window window);

unsigned long LookupColorPixel(const char* name);

// Baseline start of text line 0 to 4 in the cell of the given column and row.
constexpr int LabelX(int column) { return kCellSize * column + 4; }
constexpr int LabelY(int row, int line) { return kCellSize * row + 16 + 32 * line; }

// Up to 60 labels ended by nullptr, five lines to a cell over cells 0 to 11.
using LabelList = const char* const*;
inline constexpr int kLabelListCapacity = 60;
void DrawLabelGrid(Window window, LabelList labels);

// A line, and a text with its baseline starting at (x, y), drawn into the
// window with PhoneGC.
void DrawPhoneLine(Window window, int x1, int y1, int x2, int y2);
void DrawPhoneText(Window window, int x, int y, const char* text);
// The outline of a row of three buttons from y = top to top + 160: its two
// rules and the column lines at x 0, 160 and 320 (the window border closes
// the right side).
void DrawButtonRowLines(Window window, int top);

// One label per button of a row, left to right (nullptr or "" for none),
// each with its baseline starting x pixels into its button and y below the
// row's top: the third of the five text lines of a cell unless moved.
struct ButtonLabels {
  const char* text[3];
  int x = LabelX(0);
  int y = LabelY(0, 2);
};
// A row of three buttons from y = top: its outline and its labels.
void DrawButtonRow(Window window, int top, const ButtonLabels& labels);
// The labels alone, for a row that names its buttons on more lines.
void DrawButtonLabels(Window window, int top, const ButtonLabels& labels);

struct PlacedLabel {
  const char* text;
  int x, y;
};
// Where DrawLabelGrid puts each entry of the list: entry k on line k mod 5
// of cell k div 5, up to the first absent entry. Returns the count placed.
int LayOutLabelList(LabelList labels, PlacedLabel placed[kLabelListCapacity]);

// Font choice. A font can draw the labels when it holds a glyph for
// printable ASCII ("A") in its first byte row; some fonts matching a bare
// pixel-size pattern (iso10646 fonts whose glyphs start at row 6) do not.
bool FontDrawsLabels(const XFontStruct* font);
// What a font's name tells before it is loaded: only an XLFD name in an
// ISO 8859 charset promises printable ASCII in the first byte row.
bool FontNameDrawsLabels(const char* name);
// The pattern with its last two fields (the encoding) set to iso8859-1.
void LatinFontPattern(const char* pattern, char* out, int out_size);
// The font the server picks for the pattern (the first it lists), loaded
// when its name and then its glyphs show that it can draw the labels; else
// the same pattern in iso8859-1, then "fixed". A font whose name rules it
// out is never loaded. Says so once per process on standard error. Null
// only when even "fixed" is missing.
XFontStruct* LoadLabelFont(Display* display, const char* pattern);

using Redraw = std::function<void()>;
// Grabs button 1 on the window passively and selects Exposure.
void GrabTouch(Window window);
// Blocks until button 1 is pressed, redrawing on Expose; XNextEvent form.
void WaitForTouch(Window window, const Redraw& redraw);
// The same, waiting only for Exposure or ButtonPress of this window.
void WaitForWindowTouch(Window window, const Redraw& redraw);
// The same in passes, each taking a queued Expose and a queued press; a
// pass runs whenever the connection brings something.
void PollForTouch(Window window, const Redraw& redraw);
// PollForTouch that gives up once timeout_ms (kWaitForEver: never) passed
// without a press, or when a signal cuts the wait short: true on a press.
inline constexpr int kWaitForEver = -1;
bool PollForTouchWithin(Window window, const Redraw& redraw, int timeout_ms);
// Draws the window and keeps it on the screen for the given seconds, drawn
// again whenever it is exposed; takes no touch.
void ShowWindowFor(Window window, const Redraw& redraw, int seconds);
// Pointer position relative to the window; false (after saying so on
// `report`, standard output unless the window's process keeps that for
// frames) when it cannot be queried.
bool ReadTouchPoint(Window window, int* x, int* y, FILE* report = stdout);

// Hit test: a band from a to b holds v when a < v <= b.
inline bool InBand(int v, int a, int b) { return a < v && v <= b; }
// Column 0 to 2 of x, row 0 to 3 of y, or -1.
int TouchColumn(int x);
int TouchRow(int y);
// Standard cell row * 3 + column, or -1 when the position is in no cell.
int TouchCell(int x, int y);
// The column 0 to 2 of a touch in the row of three buttons from y = top to
// top + 160 (the top row unless said otherwise), or -1 above, below or
// beside it. The edges are TouchColumn's and InBand's: y = top and x = 0
// lie outside, y = top + 160 and x = 480 inside.
int ButtonRowColumn(int x, int y, int top = 0);
// The button of a row under a touch, from the row's three in column order;
// `none` outside the row.
template <typename Button>
Button ButtonRowAt(int x, int y, const Button (&buttons)[3], Button none, int top = 0) {
  const int column = ButtonRowColumn(x, y, top);
  return column < 0 ? none : buttons[column];
}

// A blank 200 by 200 square in a child process for half a second.
void FlashFeedback();
