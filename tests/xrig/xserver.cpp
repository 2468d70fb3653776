#include "xserver.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "wait.h"

namespace xrig {
namespace {

pid_t server_pid = 0;
Display* rig_display = nullptr;
std::string display_name;

void Fail(const char* what) {
  std::fprintf(stderr, "xrig: %s\n", what);
  std::exit(1);
}

// Runs Xvfb with the write end of a pipe as its -displayfd; the server
// writes its display number there once it accepts connections.
int StartXvfb() {
  int fds[2];
  if (pipe(fds) != 0) Fail("pipe failed");
  server_pid = fork();
  if (server_pid < 0) Fail("fork failed");
  if (server_pid == 0) {
    prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a crashed test binary
    close(fds[0]);
    std::string fd = std::to_string(fds[1]);
    execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-noreset",
           "-screen", "0", "480x640x24", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  return fds[0];
}

std::string ReadDisplayNumber(int fd) {
  std::string number;
  pollfd p{fd, POLLIN, 0};
  while (number.empty() || number.back() != '\n') {
    if (poll(&p, 1, kDefaultTimeoutMs) <= 0) break;
    char c;
    if (read(fd, &c, 1) != 1) break;
    number += c;
  }
  close(fd);
  if (number.empty() || number.back() != '\n') Fail("Xvfb did not report its display");
  number.pop_back();
  return ":" + number;
}

// Errors on the rig's connection (a window that vanished between the query
// and the read) must not end the test binary.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

bool PointerGrabbedByOthers() {
  int status = XGrabPointer(rig_display, DefaultRootWindow(rig_display), False, 0, GrabModeAsync,
                            GrabModeAsync, None, None, CurrentTime);
  if (status == GrabSuccess) {
    XUngrabPointer(rig_display, CurrentTime);
    XSync(rig_display, False);
  }
  return status == AlreadyGrabbed;
}

// A press that reached the root means no window grabbed or selected it.
bool PressFellThrough() {
  XSync(rig_display, False);
  XEvent event;
  bool fell = false;
  while (XCheckTypedWindowEvent(rig_display, DefaultRootWindow(rig_display), ButtonPress, &event))
    fell = true;
  return fell;
}

void ButtonEvent(bool down) {
  XTestFakeButtonEvent(rig_display, 1, down ? True : False, CurrentTime);
  XSync(rig_display, False);
}

void RootOrigin(Window window, int* x, int* y) {
  *x = *y = 0;
  if (window == 0) return;
  Window child;
  XTranslateCoordinates(rig_display, window, DefaultRootWindow(rig_display), 0, 0, x, y, &child);
}

std::string WindowName(Window window) {
  char* name = nullptr;
  if (!XFetchName(rig_display, window, &name) || name == nullptr) return "";
  std::string result = name;
  XFree(name);
  return result;
}

}  // namespace

void StartServer() {
  setenv("DISPLAY", ReadDisplayNumber(StartXvfb()).c_str(), 1);
  if (!AttachToServer(getenv("DISPLAY"))) Fail("cannot use the private display");
}

bool AttachToServer(const std::string& name) {
  display_name = name;
  rig_display = XOpenDisplay(name.c_str());
  if (rig_display == nullptr) return false;
  XSetErrorHandler(IgnoreXError);
  int event_base, error_base, major, minor;
  if (!XTestQueryExtension(rig_display, &event_base, &error_base, &major, &minor)) return false;
  XSelectInput(rig_display, DefaultRootWindow(rig_display), ButtonPressMask);
  XSync(rig_display, False);
  return true;
}

void StopServer() {
  if (rig_display != nullptr) XCloseDisplay(rig_display);
  rig_display = nullptr;
  if (server_pid > 0) {
    kill(server_pid, SIGTERM);
    waitpid(server_pid, nullptr, 0);
  }
  server_pid = 0;
}

Display* Rig() { return rig_display; }
const std::string& DisplayName() { return display_name; }

bool WaitFor(const std::function<bool()>& condition, int timeout_ms) {
  return rig::WaitUntil(condition, std::chrono::milliseconds(timeout_ms));
}

Snapshot WaitForDrawing(Window window, const std::function<bool(const Snapshot&)>& drawn,
                        int timeout_ms) {
  Snapshot shot(window);
  WaitFor(
      [&] {
        shot = Snapshot(window);
        return drawn(shot);
      },
      timeout_ms);
  return shot;
}

void PressRoot(int x, int y) {
  XTestFakeMotionEvent(rig_display, 0, x, y, CurrentTime);
  ButtonEvent(true);
  ButtonEvent(false);
  PressFellThrough();  // drop the rig's copy so that Touch starts clean
}

void Press(Window window, int x, int y) {
  int ox, oy;
  RootOrigin(window, &ox, &oy);
  PressRoot(ox + x, oy + y);
}

bool TouchRoot(int x, int y, int timeout_ms) {
  PressFellThrough();
  return WaitFor(
      [&] {
        XTestFakeMotionEvent(rig_display, 0, x, y, CurrentTime);
        ButtonEvent(true);
        bool released = WaitFor([] { return !PointerGrabbedByOthers(); }, timeout_ms);
        ButtonEvent(false);
        return released && !PressFellThrough();
      },
      timeout_ms);
}

bool Touch(Window window, int x, int y, int timeout_ms) {
  int ox, oy;
  RootOrigin(window, &ox, &oy);
  return TouchRoot(ox + x, oy + y, timeout_ms);
}

std::vector<Window> ViewableTopLevelWindows() {
  std::vector<Window> result;
  Window root, parent, *children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(rig_display, DefaultRootWindow(rig_display), &root, &parent, &children, &count))
    return result;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(rig_display, children[i], &attributes) &&
        attributes.map_state == IsViewable)
      result.push_back(children[i]);
  }
  if (children != nullptr) XFree(children);
  return result;
}

Window FindWindow(const char* title) {
  Window found = 0;
  for (Window w : ViewableTopLevelWindows())
    if (WindowName(w) == title) found = w;
  return found;
}

Window WaitForWindow(const char* title, int timeout_ms) {
  Window found = 0;
  WaitFor([&] { return (found = FindWindow(title)) != 0; }, timeout_ms);
  return found;
}

bool WaitForWindowGone(const char* title, int timeout_ms) {
  return WaitFor([&] { return FindWindow(title) == 0; }, timeout_ms);
}

Window MapCover() {
  const int screen = DefaultScreen(rig_display);
  Window cover = XCreateSimpleWindow(rig_display, RootWindow(rig_display, screen), 0, 0,
                                     DisplayWidth(rig_display, screen),
                                     DisplayHeight(rig_display, screen), 0,
                                     BlackPixel(rig_display, screen), WhitePixel(rig_display, screen));
  XMapWindow(rig_display, cover);
  XSync(rig_display, False);
  bool viewable = WaitFor([&] {
    XWindowAttributes attributes;
    return XGetWindowAttributes(rig_display, cover, &attributes) &&
           attributes.map_state == IsViewable;
  });
  if (viewable) return cover;
  XDestroyWindow(rig_display, cover);
  return 0;
}

Snapshot::Snapshot(Window window) {
  RootOrigin(window, &origin_x_, &origin_y_);
  Window root = DefaultRootWindow(rig_display);
  width_ = DisplayWidth(rig_display, DefaultScreen(rig_display));
  height_ = DisplayHeight(rig_display, DefaultScreen(rig_display));
  XImage* image = XGetImage(rig_display, root, 0, 0, width_, height_, AllPlanes, ZPixmap);
  if (image == nullptr) {
    width_ = height_ = 0;
    return;
  }
  pixels_.resize(static_cast<size_t>(width_) * height_);
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x)
      pixels_[static_cast<size_t>(y) * width_ + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
}

Snapshot Snapshot::FromPng(const std::string& path) {
  Snapshot shot{Unread{}};
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return shot;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return shot;
  shot.width_ = static_cast<int>(image.width);
  shot.height_ = static_cast<int>(image.height);
  shot.pixels_.resize(rgb.size() / 3);
  for (size_t i = 0; i < shot.pixels_.size(); ++i)
    shot.pixels_[i] = rgb[3 * i] << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
  return shot;
}

uint32_t Snapshot::Pixel(int x, int y) const {
  int rx = x + origin_x_, ry = y + origin_y_;
  if (rx < 0 || ry < 0 || rx >= width_ || ry >= height_) return 0xFFFFFF;
  return pixels_[static_cast<size_t>(ry) * width_ + rx];
}

bool Snapshot::IsBlack(int x, int y) const { return Pixel(x, y) == 0; }
bool Snapshot::IsWhite(int x, int y) const { return Pixel(x, y) == 0xFFFFFF; }

int Snapshot::CountBlack(Rect r) const {
  int count = 0;
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x) count += IsBlack(x, y);
  return count;
}

bool Snapshot::HorizontalLine(int x0, int x1, int y) const {
  return CountBlack({x0, y, x1 - x0 + 1, 1}) == x1 - x0 + 1;
}

bool Snapshot::VerticalLine(int x, int y0, int y1) const {
  return CountBlack({x, y0, 1, y1 - y0 + 1}) == y1 - y0 + 1;
}

bool Snapshot::SameInside(const Snapshot& other, Rect r) const {
  for (int y = r.y; y < r.y + r.height; ++y)
    for (int x = r.x; x < r.x + r.width; ++x)
      if (Pixel(x, y) != other.Pixel(x, y)) return false;
  return true;
}

CreationLog::CreationLog() : display_(XOpenDisplay(display_name.c_str())) {
  if (display_ == nullptr) Fail("cannot open a second connection");
  XSelectInput(display_, DefaultRootWindow(display_), SubstructureNotifyMask);
  XSync(display_, False);
}

CreationLog::~CreationLog() { XCloseDisplay(display_); }

void CreationLog::Collect() {
  XSync(display_, False);
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    if (event.type == CreateNotify) {
      const XCreateWindowEvent& c = event.xcreatewindow;
      created_.push_back({c.x, c.y, c.width, c.height});
    }
  }
}

int CreationLog::Total() {
  Collect();
  return static_cast<int>(created_.size());
}

int CreationLog::Count(Rect geometry) {
  Collect();
  int count = 0;
  for (const Rect& r : created_)
    count += r.x == geometry.x && r.y == geometry.y && r.width == geometry.width &&
             r.height == geometry.height;
  return count;
}

bool SaveScreenPng(const std::string& path) {
  Snapshot screen;
  int width = DisplayWidth(rig_display, DefaultScreen(rig_display));
  int height = DisplayHeight(rig_display, DefaultScreen(rig_display));
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr && setjmp(png_jmpbuf(png)) == 0;
  if (ok) {
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint32_t p = screen.Pixel(x, y);
        row[3 * x] = p >> 16;
        row[3 * x + 1] = (p >> 8) & 0xFF;
        row[3 * x + 2] = p & 0xFF;
      }
      png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
  }
  png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
  return std::fclose(file) == 0 && ok;
}

}  // namespace xrig
