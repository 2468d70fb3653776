// The toolkit against a real X server: window creation, drawing, the font
// mend, colours, touch waits and the flash.
#include "xrig.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "process.h"
#include "screen.h"
#include "wait.h"

namespace {

using xrig::Rig;

std::string ReadFile(const char* path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs body in a child with standard output and error in one file; returns
// the child's exit status and what it wrote.
std::pair<int, std::string> InChild(void (*body)()) {
  const char* path = "screen-child-output.txt";
  pid_t pid = fork();
  if (pid == 0) {
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 1);
    dup2(fd, 2);
    body();
    std::fflush(stdout);
    _exit(0);
  }
  int status = -1;
  waitpid(pid, &status, 0);
  std::string output = ReadFile(path);
  std::remove(path);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string Property(Window window, Atom name, Atom* type, int* format) {
  unsigned long count, remaining;
  unsigned char* data = nullptr;
  XGetWindowProperty(Rig(), window, name, 0, 1024, False, AnyPropertyType, type, format, &count,
                     &remaining, &data);
  std::string text = data != nullptr ? reinterpret_cast<char*>(data) : "";
  if (data != nullptr) XFree(data);
  return text;
}

TEST(PhoneWindow, IsAFullScreenNamedWindowWithHints) {
  GC gc = nullptr;
  Window window = CreatePhoneWindow(&gc, "ScreenTest");
  ASSERT_NE(window, 0u);
  EXPECT_EQ(gc, PhoneGC);
  EXPECT_EQ(xrig::WaitForWindow("ScreenTest"), window);

  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(Rig(), window, &attributes));
  EXPECT_EQ(attributes.x, 0);
  EXPECT_EQ(attributes.y, 0);
  EXPECT_EQ(attributes.width, 480);
  EXPECT_EQ(attributes.height, 640);
  EXPECT_EQ(attributes.border_width, 2);
  EXPECT_FALSE(attributes.override_redirect);

  Atom name_type, icon_type;
  int name_format, icon_format;
  EXPECT_EQ(Property(window, XA_WM_NAME, &name_type, &name_format), "ScreenTest");
  EXPECT_EQ(Property(window, XA_WM_ICON_NAME, &icon_type, &icon_format), "ScreenTest");
  EXPECT_EQ(icon_type, name_type);
  EXPECT_EQ(icon_format, name_format);

  XWMHints* hints = XGetWMHints(Rig(), window);
  ASSERT_NE(hints, nullptr);
  EXPECT_EQ(hints->flags, StateHint);
  EXPECT_EQ(hints->initial_state, NormalState);
  XFree(hints);
  XSizeHints size;
  long supplied;
  ASSERT_TRUE(XGetWMNormalHints(Rig(), window, &size, &supplied));
  EXPECT_EQ(size.flags, PPosition | PSize);

  xrig::Snapshot shot(window);
  EXPECT_TRUE(shot.IsWhite(200, 200));
  EXPECT_TRUE(shot.VerticalLine(-1, 0, 600)) << "black border";
  XDestroyWindow(PhoneDisplay, window);
  XFlush(PhoneDisplay);
  EXPECT_TRUE(xrig::WaitForWindowGone("ScreenTest"));
}

TEST(PhoneWindow, FontDrawsLabelsEvenWhereThePatternPicksAGlyphlessFont) {
  // This server's first pick for the bare pattern has no 8-bit glyphs.
  XFontStruct* first_pick = XLoadQueryFont(Rig(), PhoneFontPattern);
  ASSERT_NE(first_pick, nullptr);
  EXPECT_FALSE(FontDrawsLabels(first_pick));
  XFreeFont(Rig(), first_pick);

  GC gc;
  Window window = CreatePhoneWindow(&gc, "FontTest");
  XGCValues values;
  ASSERT_TRUE(XGetGCValues(PhoneDisplay, gc, GCFont, &values));
  XFontStruct* used = XQueryFont(PhoneDisplay, values.font);
  ASSERT_NE(used, nullptr);
  EXPECT_TRUE(FontDrawsLabels(used));
  EXPECT_GE(used->ascent + used->descent, 20) << "still the large font";
  XFreeFontInfo(nullptr, used, 1);

  XDrawString(PhoneDisplay, window, gc, LabelX(0), LabelY(0, 2), "A", 1);
  XSync(PhoneDisplay, False);
  EXPECT_GT(xrig::Snapshot(window).CountBlack({4, 50, 40, 40}), 20);
  XDestroyWindow(PhoneDisplay, window);
  XFlush(PhoneDisplay);
}

TEST(PhoneWindow, FontReplacementIsReportedOncePerProcess) {
  rig::Process driver({TWO_WINDOWS_DRIVER});
  EXPECT_EQ(driver.WaitForExit(), 0);
  EXPECT_EQ(driver.Stderr(),
            "201212071200 font -*-*-*-*-*-*-30-*-*-*-*-*-*-* cannot draw the labels, using "
            "-*-*-*-*-*-*-30-*-*-*-*-*-iso8859-1\n");
  EXPECT_EQ(driver.Stdout(), "");
}

// A program that defines its own font pattern gets it instead of the
// library's 30-pixel default, with no run-time choice involved.
TEST(PhoneWindow, TheFontIsTheProgramsOwn) {
  rig::Process standard({FONT_SIZE_DRIVER});
  rig::Process large({LARGE_FONT_SIZE_DRIVER});
  EXPECT_EQ(standard.WaitForExit(), 0);
  EXPECT_EQ(large.WaitForExit(), 0);
  EXPECT_EQ(standard.Stdout(), "30\n");
  EXPECT_EQ(large.Stdout(), "40\n");
}

TEST(PhoneWindow, UnopenableDisplayEndsTheProgram) {
  rig::Process driver({TWO_WINDOWS_DRIVER}, {{"DISPLAY", ":4242"}});
  EXPECT_EQ(driver.WaitForExit(), 1);
  EXPECT_EQ(driver.Stderr(), "Opening display failed, check DISPLAY variable\n");
}

TEST(LabelGrid, DrawsGridLinesAndTheListUpToItsGap) {
  GC gc;
  Window window = CreatePhoneWindow(&gc, "GridTest");
  const char* labels[] = {"", "", "Exit", nullptr, "Hidden", nullptr};
  DrawLabelGrid(window, labels);
  XSync(PhoneDisplay, False);
  xrig::Snapshot shot(window);
  for (int y : {0, 160, 320, 480}) EXPECT_TRUE(shot.HorizontalLine(0, 477, y)) << y;
  for (int x : {0, 160, 320}) EXPECT_TRUE(shot.VerticalLine(x, 0, 637)) << x;
  EXPECT_FALSE(shot.HorizontalLine(0, 477, 161));
  EXPECT_FALSE(shot.VerticalLine(400, 0, 637));
  EXPECT_TRUE(shot.HasBlack({4, 58, 100, 24})) << "Exit on line 2";
  EXPECT_FALSE(shot.HasBlack({2, 90, 150, 60})) << "nothing after the gap";
  XDestroyWindow(PhoneDisplay, window);
  XFlush(PhoneDisplay);
}

TEST(Colour, UnknownNamesGiveBlack) {
  GC gc;
  Window window = CreatePhoneWindow(&gc, "ColourTest");
  int screen = DefaultScreen(PhoneDisplay);
  EXPECT_EQ(LookupColorPixel("no such colour"), BlackPixel(PhoneDisplay, screen));
  EXPECT_EQ(LookupColorPixel("white"), WhitePixel(PhoneDisplay, screen));
  unsigned long grey = LookupColorPixel("grey");
  EXPECT_NE(grey, BlackPixel(PhoneDisplay, screen));
  EXPECT_NE(grey, WhitePixel(PhoneDisplay, screen));
  XDestroyWindow(PhoneDisplay, window);
  XFlush(PhoneDisplay);
}

// Covers part of the window with a window of the rig and takes it away
// again, which exposes that part.
void ExposePart() {
  int screen = DefaultScreen(Rig());
  Window cover = XCreateSimpleWindow(Rig(), RootWindow(Rig(), screen), 50, 50, 100, 100, 0, 0, 0);
  XSetWindowAttributes attributes;
  attributes.override_redirect = True;
  XChangeWindowAttributes(Rig(), cover, CWOverrideRedirect, &attributes);
  XMapRaised(Rig(), cover);
  XSync(Rig(), False);
  XDestroyWindow(Rig(), cover);
  XSync(Rig(), False);
}

using Wait = void (*)(Window, const Redraw&);

// One wait run in a thread while the rig exposes the window, then touches it.
void CheckWaitRedrawsThenEndsOnTouch(Wait wait, const char* title) {
  GC gc;
  Window window = CreatePhoneWindow(&gc, title);
  std::atomic<int> redraws = 0;
  std::atomic<bool> done = false;
  int x = -1, y = -1;
  std::thread waiter([&] {
    wait(window, [&] { ++redraws; });
    done = true;
    ReadTouchPoint(window, &x, &y);
  });
  ASSERT_TRUE(xrig::WaitFor([&] {
    ExposePart();
    return redraws > 0;
  }));
  EXPECT_FALSE(done);
  EXPECT_TRUE(xrig::Touch(window, 161, 200));
  waiter.join();
  EXPECT_EQ(x, 161);
  EXPECT_EQ(y, 200);
  XDestroyWindow(PhoneDisplay, window);
  XFlush(PhoneDisplay);
}

TEST(TouchWait, BlockingFormRedrawsOnExposeAndEndsOnPress) {
  CheckWaitRedrawsThenEndsOnTouch(WaitForTouch, "WaitTest");
}

TEST(TouchWait, WindowFormRedrawsOnExposeAndEndsOnPress) {
  CheckWaitRedrawsThenEndsOnTouch(WaitForWindowTouch, "WindowWaitTest");
}

TEST(TouchWait, PollingFormRedrawsOnExposeAndEndsOnPress) {
  CheckWaitRedrawsThenEndsOnTouch(PollForTouch, "PollTest");
}

bool IsFlash(Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(Rig(), w, &a) && a.x == 140 && a.y == 220 && a.width == 200 &&
         a.height == 200 && a.border_width == 2;
}

bool FlashShown() {
  for (Window w : xrig::ViewableTopLevelWindows())
    if (IsFlash(w)) return true;
  return false;
}

TEST(Flash, CallerGoesOnAndTheSquareGoesAwayAndIsReapedByItself) {
  ASSERT_FALSE(FlashShown());
  FlashFeedback();
  // The square shows only after the call returned: the caller did not wait
  // for the child, whose window lives until just before it ends.
  ASSERT_TRUE(xrig::WaitFor(FlashShown));
  xrig::Snapshot shot;
  EXPECT_TRUE(shot.IsWhite(240, 320));
  EXPECT_TRUE(shot.IsBlack(141, 320)) << "border";
  EXPECT_TRUE(xrig::WaitFor([] { return !FlashShown(); }));
  // The caller never waits for the flash, and no zombie stays behind.
  EXPECT_TRUE(xrig::WaitFor([] { return rig::CountChildren(getpid(), true) == 0; }));
  signal(SIGCHLD, SIG_DFL);  // the rig's processes are waited for
}

TEST(Flash, ChildWithoutADisplayEndsQuietly) {
  auto [status, output] = InChild([] {
    setenv("DISPLAY", ":4242", 1);
    FlashFeedback();
    rig::WaitUntil([] { return rig::CountChildren(getpid()) == 0; }, std::chrono::seconds(10),
                   std::chrono::milliseconds(10));
    std::printf("caller goes on, %d children left\n", rig::CountChildren(getpid()));
  });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(output, "caller goes on, 0 children left\n");
}

}  // namespace
