/* The floor the benchmark holds the programs against: the least Xlib work
 * that shows a phone window and reacts to a touch. Plain C linked with
 * libX11 alone.
 *
 *   bench_floor exec|frame window|redraw|frame|flash
 *
 * exec: the window opens at once; frame: a child forked for each frame read
 * on standard input (up to ETX) opens it. The window is the phone's: 480 by
 * 640, the Latin 30-pixel font, a grid and a label, mapped and waited for.
 * A press of button 1 on it then opens another such window (window), draws
 * it again (redraw), writes a frame straight from the event (frame), or
 * shows a 200 by 200 square from a forked child (flash). */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

static const char kFont[] = "-*-*-*-*-*-*-30-*-*-*-*-*-iso8859-1";
static const char kFrame[] = "\002\037call\037stop\037+1234567890\037\003";

static Window Create(Display *d, int x, int y, int w, int h) {
  int s = DefaultScreen(d);
  XSetWindowAttributes a;
  a.background_pixel = WhitePixel(d, s);
  a.border_pixel = BlackPixel(d, s);
  a.override_redirect = False;
  return XCreateWindow(d, RootWindow(d, s), x, y, w, h, 2, DefaultDepth(d, s), InputOutput,
                       CopyFromParent, CWBackPixel | CWBorderPixel | CWOverrideRedirect, &a);
}

static void Draw(Display *d, Window w, GC gc) {
  int i;
  XClearWindow(d, w);
  for (i = 0; i < 4; i++) XDrawLine(d, w, gc, 0, 160 * i, 480, 160 * i);
  for (i = 0; i < 3; i++) XDrawLine(d, w, gc, 160 * i, 0, 160 * i, 640);
  XDrawString(d, w, gc, 4, 80, "floor", 5);
  XFlush(d);
}

static void Flash(void) {
  Display *d;
  if (fork() != 0) return;
  d = XOpenDisplay(NULL);
  if (d == NULL) _exit(1);
  XMapWindow(d, Create(d, 140, 220, 200, 200));
  XFlush(d);
  pause();
  _exit(0);
}

struct Shown {
  Display *d;
  Window w;
  GC gc;
};

static struct Shown Open(void) {
  struct Shown s;
  XFontStruct *font;
  XEvent e;
  s.d = XOpenDisplay(NULL);
  if (s.d == NULL) _exit(1);
  font = XLoadQueryFont(s.d, kFont);
  s.w = Create(s.d, 0, 0, 480, 640);
  XStoreName(s.d, s.w, "floor");
  s.gc = XCreateGC(s.d, s.w, 0, NULL);
  if (font != NULL) XSetFont(s.d, s.gc, font->fid);
  XSelectInput(s.d, s.w, StructureNotifyMask);
  XMapWindow(s.d, s.w);
  do XWindowEvent(s.d, s.w, StructureNotifyMask, &e);
  while (e.type != MapNotify);
  Draw(s.d, s.w, s.gc);
  return s;
}

static void Serve(const char *action) {
  struct Shown s = Open();
  XEvent e;
  for (;;) {
    XGrabButton(s.d, Button1, 0, s.w, True, ButtonPressMask, GrabModeAsync, GrabModeAsync, None,
                None);
    XSelectInput(s.d, s.w, ExposureMask);
    XNextEvent(s.d, &e);
    if (e.type == Expose) Draw(s.d, s.w, s.gc);
    if (e.type != ButtonPress) continue;
    if (strcmp(action, "frame") == 0) {
      if (write(1, kFrame, sizeof kFrame - 1) < 0) _exit(1);
    } else if (strcmp(action, "redraw") == 0) {
      Draw(s.d, s.w, s.gc);
    } else if (strcmp(action, "flash") == 0) {
      Flash();
    } else {
      s = Open();
    }
  }
}

int main(int argc, char **argv) {
  char c;
  if (argc != 3) {
    fputs("usage: bench_floor exec|frame window|redraw|frame|flash\n", stderr);
    return 2;
  }
  signal(SIGCHLD, SIG_IGN);
  if (strcmp(argv[1], "exec") == 0) Serve(argv[2]);
  while (read(0, &c, 1) == 1)
    if (c == '\003' && fork() == 0) Serve(argv[2]);
  return 0;
}
