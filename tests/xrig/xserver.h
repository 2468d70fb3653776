// The X part of the X rig: one private Xvfb, stylus presses through XTest,
// waits for windows, pixel reads and PNGs of the screen. No GoogleTest here:
// the tests take it through xrig.h, and tools such as the demo's stylus use
// this alone.
//
// Coordinates: functions that take a Window use coordinates relative to the
// inside of that window (what XQueryPointer reports to the program); the
// root-coordinate forms say so in their name. A full-screen phone window has
// a 2-pixel border, so its inside starts at root (2, 2) and its last two
// columns and rows lie beyond the screen and cannot be pressed or read.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace xrig {

inline constexpr int kDefaultTimeoutMs = 20000;

// Starts Xvfb (-displayfd, -nolisten tcp, 480x640x24, the default font
// path), sets DISPLAY for this process and every child it starts, and opens
// the rig's own connection; ends the process when any of it fails.
void StartServer();
// Closes the rig's connection and ends the server.
void StopServer();

// Opens the rig's connection to a server that runs already (a display name
// such as ":7"), for a tool that drives the phone outside a test;
// StartServer does the same with its own server. False when the server
// cannot be reached or has no XTEST.
bool AttachToServer(const std::string& name);

// The rig's own connection to the private server.
Display* Rig();
// The display name of the private server, e.g. ":3".
const std::string& DisplayName();

// rig::WaitUntil in the X rig's milliseconds: every 20 ms until the
// condition holds or the timeout passes.
bool WaitFor(const std::function<bool()>& condition, int timeout_ms = kDefaultTimeoutMs);

// Moves the pointer to the root position, then presses and releases
// button 1; flushed and synced. Nothing more: the press may reach a window
// that is not yet waiting for it. Prefer Touch where it applies.
void PressRoot(int x, int y);
void Press(Window window, int x, int y);

// A press that waits for its taker: moves the pointer, holds button 1 down
// until a client has taken the press with its button grab and released the
// pointer grab again (the program has then read the pointer), and releases
// the button. A press that no client grabs (the window is not waiting yet)
// is repeated. For windows that release their grab after reading the
// pointer; false when that did not happen within the timeout.
bool TouchRoot(int x, int y, int timeout_ms = kDefaultTimeoutMs);
bool Touch(Window window, int x, int y, int timeout_ms = kDefaultTimeoutMs);

// The viewable top-level window whose WM_NAME is the title (the top-most
// when there are several), or 0.
Window FindWindow(const char* title);
// Waits for such a window; returns it, or 0 on timeout.
Window WaitForWindow(const char* title, int timeout_ms = kDefaultTimeoutMs);
// Waits until no viewable top-level window has the title.
bool WaitForWindowGone(const char* title, int timeout_ms = kDefaultTimeoutMs);
// Viewable top-level windows, bottom to top.
std::vector<Window> ViewableTopLevelWindows();
// Maps a plain white window of the rig over the whole screen and waits
// until it is viewable, or returns 0; destroying it exposes what it hid.
Window MapCover();

struct Rect {
  int x, y, width, height;
};

// A copy of the screen's pixels (24-bit TrueColor) read through one
// XGetImage of the root, addressed relative to one window.
class Snapshot {
 public:
  // Pixels of the whole screen, window-relative to the given window (0 for
  // root coordinates).
  explicit Snapshot(Window window = 0);
  // A screen that SaveScreenPng wrote, in root coordinates; 0 by 0 pixels
  // when the file cannot be read.
  static Snapshot FromPng(const std::string& path);
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Pixel(int x, int y) const;  // 0xRRGGBB; white outside the screen
  bool IsBlack(int x, int y) const;
  bool IsWhite(int x, int y) const;
  int CountBlack(Rect r) const;
  bool HasBlack(Rect r) const { return CountBlack(r) > 0; }
  // Every pixel from (x0, y) to (x1, y), both included, is black.
  bool HorizontalLine(int x0, int x1, int y) const;
  bool VerticalLine(int x, int y0, int y1) const;
  bool SameInside(const Snapshot& other, Rect r) const;

 private:
  struct Unread {};
  explicit Snapshot(Unread) {}
  int origin_x_ = 0, origin_y_ = 0;
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Waits until a snapshot of the window shows what `drawn` looks for, and
// returns that snapshot (the last one taken when the timeout passed, so the
// checks that follow report what was there). A window is mapped before its
// program draws into it: check its pixels only through this.
Snapshot WaitForDrawing(Window window, const std::function<bool(const Snapshot&)>& drawn,
                        int timeout_ms = kDefaultTimeoutMs);

// Counts the top-level windows created while it lives, by their geometry at
// creation, through a connection of its own: a window gone before anyone
// looked (the half-second flash) still counts.
class CreationLog {
 public:
  CreationLog();
  ~CreationLog();
  CreationLog(const CreationLog&) = delete;
  CreationLog& operator=(const CreationLog&) = delete;
  // Windows created so far at exactly this position and size.
  int Count(Rect geometry);
  // Windows created so far, wherever they stand.
  int Total();

 private:
  void Collect();
  Display* display_;
  std::vector<Rect> created_;
};

// Writes the root window as an RGB PNG; false when the file cannot be
// written.
bool SaveScreenPng(const std::string& path);

}  // namespace xrig
