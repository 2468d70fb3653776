#include "screen.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "program.h"

const char* PhoneFontPattern = kFontPattern30;
Display* PhoneDisplay = nullptr;
GC PhoneGC = nullptr;

namespace {

constexpr int kBorderWidth = 2;
constexpr unsigned kFlashMicroseconds = 500000;

// Glyph metrics of a single-byte character, or null when the font has no
// entry for it.
const XCharStruct* GlyphOf(const XFontStruct* font, unsigned char c) {
  if (c < font->min_char_or_byte2 || c > font->max_char_or_byte2) return nullptr;
  if (font->per_char == nullptr) return &font->max_bounds;
  return &font->per_char[c - font->min_char_or_byte2];
}

bool IsEmptyGlyph(const XCharStruct* g) {
  return g->width == 0 && g->lbearing == 0 && g->rbearing == 0 && g->ascent == 0 &&
         g->descent == 0;
}

XFontStruct* TryFont(Display* display, const char* name) {
  XFontStruct* font = XLoadQueryFont(display, name);
  if (font != nullptr && !FontDrawsLabels(font)) {
    XFreeFont(display, font);
    font = nullptr;
  }
  return font;
}

// The font the server picks for the pattern is the first name it lists.
// Loading it (the server opens and scales it, and sends the metrics of
// every glyph) is worth it only when its name shows a Latin encoding.
XFontStruct* TryListedFont(Display* display, const char* pattern) {
  int count = 0;
  char** names = XListFonts(display, pattern, 1, &count);
  XFontStruct* font = nullptr;
  if (count > 0 && FontNameDrawsLabels(names[0])) font = TryFont(display, names[0]);
  if (names != nullptr) XFreeFontNames(names);
  return font;
}

void SayFontReplaced(const char* pattern, const char* replacement) {
  static bool said = false;
  if (said) return;
  said = true;
  std::fprintf(stderr, "201212071200 font %s cannot draw the labels, using %s\n", pattern,
               replacement);
}

// Window attributes shared by the phone windows and the flash.
Window CreateTopWindow(Display* display, int x, int y, int width, int height) {
  int screen = DefaultScreen(display);
  XSetWindowAttributes attributes{};
  attributes.background_pixel = WhitePixel(display, screen);
  attributes.border_pixel = BlackPixel(display, screen);
  attributes.override_redirect = False;
  Window window = XCreateWindow(display, RootWindow(display, screen), x, y, width, height,
                                kBorderWidth, DefaultDepth(display, screen), InputOutput,
                                CopyFromParent, CWBackPixel | CWBorderPixel | CWOverrideRedirect,
                                &attributes);
  XWMHints wm_hints{};
  wm_hints.flags = StateHint;
  wm_hints.initial_state = NormalState;
  XSetWMHints(display, window, &wm_hints);
  XSizeHints size_hints{};
  size_hints.flags = PPosition | PSize;
  size_hints.x = x;
  size_hints.y = y;
  size_hints.width = width;
  size_hints.height = height;
  XSetNormalHints(display, window, &size_hints);
  return window;
}

// The windows take no keyboard input: a connection without XKB is opened
// two round trips sooner.
Display* OpenConnection() {
  XkbIgnoreExtension(True);
  return XOpenDisplay(nullptr);
}

void MapAndWait(Display* display, Window window) {
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  XEvent event;
  do XWindowEvent(display, window, StructureNotifyMask, &event);
  while (event.type != MapNotify);
}

[[noreturn]] void RunFlash() {
  Display* display = OpenConnection();
  if (display == nullptr) _exit(1);
  int screen = DefaultScreen(display);
  Window window = CreateTopWindow(display, 140, 220, 200, 200);
  GC gc = XCreateGC(display, window, 0, nullptr);
  if (gc == nullptr) {
    XDestroyWindow(display, window);
  } else {
    XSetForeground(display, gc, BlackPixel(display, screen));
    XSetBackground(display, gc, WhitePixel(display, screen));
  }
  XMapWindow(display, window);
  XFlush(display);
  usleep(kFlashMicroseconds);
  XDestroyWindow(display, window);
  XFlush(display);
  // _exit: the copied stdio buffers and exit handlers belong to the parent.
  _exit(0);
}

}  // namespace

bool FontDrawsLabels(const XFontStruct* font) {
  if (font == nullptr || font->min_byte1 != 0) return false;
  const XCharStruct* glyph = GlyphOf(font, 'A');
  return glyph != nullptr && !IsEmptyGlyph(glyph);
}

bool FontNameDrawsLabels(const char* name) {
  // The charset registry is the second-to-last field.
  const char* last = std::strrchr(name, '-');
  if (last == nullptr || last == name) return false;
  const char* registry = last;
  while (registry > name && *--registry != '-') {
  }
  if (*registry != '-') return false;
  ++registry;
  return last - registry == 7 && strncasecmp(registry, "iso8859", 7) == 0;
}

void LatinFontPattern(const char* pattern, char* out, int out_size) {
  // Keep everything up to the dash before the second-to-last field.
  const char* cut = std::strrchr(pattern, '-');
  if (cut != nullptr) {
    const char* before = cut;
    while (before > pattern && *--before != '-') {
    }
    if (*before == '-') cut = before;
  }
  int keep = cut != nullptr ? static_cast<int>(cut - pattern) : static_cast<int>(std::strlen(pattern));
  std::snprintf(out, out_size, "%.*s-iso8859-1", keep, pattern);
}

XFontStruct* LoadLabelFont(Display* display, const char* pattern) {
  XFontStruct* font = TryListedFont(display, pattern);
  if (font != nullptr) return font;
  char latin[256];
  LatinFontPattern(pattern, latin, sizeof latin);
  font = TryListedFont(display, latin);
  if (font != nullptr) {
    SayFontReplaced(pattern, latin);
    return font;
  }
  SayFontReplaced(pattern, "fixed");
  return XLoadQueryFont(display, "fixed");
}

Window CreatePhoneWindow(GC* gc_out, const char* title) {
  PhoneDisplay = OpenConnection();
  if (PhoneDisplay == nullptr) {
    std::fputs("Opening display failed, check DISPLAY variable\n", stderr);
    std::exit(1);
  }
  int screen = DefaultScreen(PhoneDisplay);
  Window window = CreateTopWindow(PhoneDisplay, 0, 0, kScreenWidth, kScreenHeight);
  // Both names as the same STRING property of 8-bit text.
  XStoreName(PhoneDisplay, window, title);
  XSetIconName(PhoneDisplay, window, title);

  XFontStruct* font = LoadLabelFont(PhoneDisplay, PhoneFontPattern);
  XGCValues values{};
  values.foreground = BlackPixel(PhoneDisplay, screen);
  unsigned long mask = GCForeground;
  if (font != nullptr) {
    values.font = font->fid;
    mask |= GCFont;
  }
  GC gc = XCreateGC(PhoneDisplay, window, mask, &values);
  // The server keeps the font for the GC; the client-side metrics are
  // never read again, and would pile up in a program that opens many windows.
  if (font != nullptr) XFreeFontInfo(nullptr, font, 1);
  *gc_out = gc;
  PhoneGC = gc;
  if (gc == nullptr) {
    XDestroyWindow(PhoneDisplay, window);
    return 0;
  }
  XSetForeground(PhoneDisplay, gc, BlackPixel(PhoneDisplay, screen));
  XSetBackground(PhoneDisplay, gc, WhitePixel(PhoneDisplay, screen));

  MapAndWait(PhoneDisplay, window);
  XFlush(PhoneDisplay);
  return window;
}

void ClosePhoneDisplay(Display* display, GC gc) {
  if (gc != nullptr) XFreeGC(display, gc);
  XCloseDisplay(display);
}

void RemapPhoneWindow(Window window) {
  XUnmapWindow(PhoneDisplay, window);
  MapAndWait(PhoneDisplay, window);
}

unsigned long LookupColorPixel(const char* name) {
  int screen = DefaultScreen(PhoneDisplay);
  unsigned long black = BlackPixel(PhoneDisplay, screen);
  if (DefaultDepth(PhoneDisplay, screen) <= 1) return black;
  XColor exact, colour;
  Colormap colormap = DefaultColormap(PhoneDisplay, screen);
  if (!XLookupColor(PhoneDisplay, colormap, name, &exact, &colour)) return black;
  if (!XAllocColor(PhoneDisplay, colormap, &colour)) return black;
  return colour.pixel;
}

int LayOutLabelList(LabelList labels, PlacedLabel placed[kLabelListCapacity]) {
  int count = 0;
  while (count < kLabelListCapacity && labels[count] != nullptr) {
    int cell = count / 5;
    placed[count] = {labels[count], LabelX(cell % 3), LabelY(cell / 3, count % 5)};
    ++count;
  }
  return count;
}

void DrawPhoneLine(Window window, int x1, int y1, int x2, int y2) {
  XDrawLine(PhoneDisplay, window, PhoneGC, x1, y1, x2, y2);
}

void DrawPhoneText(Window window, int x, int y, const char* text) {
  XDrawString(PhoneDisplay, window, PhoneGC, x, y, text, static_cast<int>(std::strlen(text)));
}

void DrawButtonRowLines(Window window, int top) {
  DrawPhoneLine(window, 0, top, kScreenWidth, top);
  DrawPhoneLine(window, 0, top + kCellSize, kScreenWidth, top + kCellSize);
  for (int x = 0; x < kScreenWidth; x += kCellSize)
    DrawPhoneLine(window, x, top, x, top + kCellSize);
}

void DrawButtonLabels(Window window, int top, const ButtonLabels& labels) {
  for (int column = 0; column < 3; ++column)
    if (labels.text[column] != nullptr && labels.text[column][0] != '\0')
      DrawPhoneText(window, kCellSize * column + labels.x, top + labels.y, labels.text[column]);
}

void DrawButtonRow(Window window, int top, const ButtonLabels& labels) {
  DrawButtonRowLines(window, top);
  DrawButtonLabels(window, top, labels);
}

void DrawLabelGrid(Window window, LabelList labels) {
  for (int y = 0; y < kScreenHeight; y += kCellSize) DrawPhoneLine(window, 0, y, kScreenWidth, y);
  for (int x = 0; x < kScreenWidth; x += kCellSize) DrawPhoneLine(window, x, 0, x, kScreenHeight);
  PlacedLabel placed[kLabelListCapacity];
  int count = LayOutLabelList(labels, placed);
  for (int i = 0; i < count; ++i) DrawPhoneText(window, placed[i].x, placed[i].y, placed[i].text);
  XFlush(PhoneDisplay);
}

void GrabTouch(Window window) {
  XGrabButton(PhoneDisplay, Button1, 0, window, True, ButtonPressMask, GrabModeAsync,
              GrabModeAsync, None, None);
  XSelectInput(PhoneDisplay, window, ExposureMask);
}

namespace {

// Step 4 of the blocking waits: true when the event ends the wait.
bool TouchEnds(const XEvent& event, const Redraw& redraw) {
  if (event.type == Expose) {
    redraw();
    return false;
  }
  XUngrabPointer(PhoneDisplay, CurrentTime);
  return event.type == ButtonPress;
}

}  // namespace

void WaitForTouch(Window window, const Redraw& redraw) {
  XEvent event;
  do {
    GrabTouch(window);
    XNextEvent(PhoneDisplay, &event);
  } while (!TouchEnds(event, redraw));
}

void WaitForWindowTouch(Window window, const Redraw& redraw) {
  XEvent event;
  do {
    GrabTouch(window);
    XWindowEvent(PhoneDisplay, window, ExposureMask | ButtonPressMask, &event);
  } while (!TouchEnds(event, redraw));
}

namespace {

struct TouchEventSearch {
  Window window;
  bool found;
};

// Notes an event that a touch wait takes, and leaves every event queued.
Bool NoteTouchEvent(Display*, XEvent* event, XPointer arg) {
  auto* search = reinterpret_cast<TouchEventSearch*>(arg);
  if (event->type == ButtonPress ||
      (event->type == Expose && event->xexpose.window == search->window))
    search->found = true;
  return False;
}

// Waits until a touch wait has an event to take (an Expose of the window,
// a press) or may have one (the server sent something), or until timeout_ms
// passed; false on timeout. Flushes the connection first.
bool AwaitTouchEvent(Window window, int timeout_ms) {
  // Round trips since the last look may have queued one already; the
  // search also reads what has come and flushes the requests.
  TouchEventSearch search{window, false};
  XEvent unused;
  XCheckIfEvent(PhoneDisplay, &unused, NoteTouchEvent, reinterpret_cast<XPointer>(&search));
  if (search.found) return true;
  pollfd connection{ConnectionNumber(PhoneDisplay), POLLIN, 0};
  return poll(&connection, 1, timeout_ms) > 0;
}

}  // namespace

void ShowWindowFor(Window window, const Redraw& redraw, int seconds) {
  XSelectInput(PhoneDisplay, window, ExposureMask);
  redraw();
  const int64_t end_ms = MonotonicMs() + seconds * int64_t{1000};
  for (;;) {
    XEvent event;
    bool exposed = false;
    while (XCheckWindowEvent(PhoneDisplay, window, ExposureMask, &event)) exposed = true;
    if (exposed) redraw();
    const int64_t left_ms = end_ms - MonotonicMs();
    if (left_ms <= 0) return;
    // The check above read whatever had come: the connection now wakes the
    // wait only with something new.
    pollfd connection{ConnectionNumber(PhoneDisplay), POLLIN, 0};
    poll(&connection, 1, static_cast<int>(left_ms));
  }
}

bool PollForTouchWithin(Window window, const Redraw& redraw, int timeout_ms) {
  const int64_t end_ms = MonotonicMs() + timeout_ms;
  for (;;) {
    GrabTouch(window);
    XEvent event;
    if (XCheckWindowEvent(PhoneDisplay, window, ExposureMask, &event)) redraw();
    if (XCheckTypedEvent(PhoneDisplay, ButtonPress, &event)) {
      XUngrabPointer(PhoneDisplay, CurrentTime);
      return true;
    }
    // The next pass runs when the server has something for the window; a
    // wait without end goes on past a signal.
    if (timeout_ms == kWaitForEver) {
      AwaitTouchEvent(window, kWaitForEver);
      continue;
    }
    const int64_t left_ms = std::max<int64_t>(end_ms - MonotonicMs(), 0);
    if (!AwaitTouchEvent(window, static_cast<int>(left_ms))) return false;
  }
}

void PollForTouch(Window window, const Redraw& redraw) {
  PollForTouchWithin(window, redraw, kWaitForEver);
}

bool ReadTouchPoint(Window window, int* x, int* y, FILE* report) {
  Window root, child;
  int root_x, root_y;
  unsigned mask;
  if (!XQueryPointer(PhoneDisplay, window, &root, &child, &root_x, &root_y, x, y, &mask)) {
    std::fputs("hmmmm, where is that sneaky pointer?\n", report);
    std::fflush(report);
    return false;
  }
  return true;
}

int TouchColumn(int x) {
  for (int column = 0; column < 3; ++column)
    if (InBand(x, kCellSize * column, kCellSize * (column + 1))) return column;
  return -1;
}

int TouchRow(int y) {
  for (int row = 0; row < 4; ++row)
    if (InBand(y, kCellSize * row, kCellSize * (row + 1))) return row;
  return -1;
}

int TouchCell(int x, int y) {
  int column = TouchColumn(x), row = TouchRow(y);
  return column < 0 || row < 0 ? -1 : row * 3 + column;
}

int ButtonRowColumn(int x, int y, int top) {
  return InBand(y, top, top + kCellSize) ? TouchColumn(x) : -1;
}

void FlashFeedback() {
  if (ForkReapedChild("Forking failed 201108241240\n", stdout) == 0) RunFlash();
}
