// The rig against a client of its own: a window made on a second
// connection, served by a thread where a press must be answered.
#include "xrig.h"

#include <X11/Xutil.h>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

struct Client {
  Display* display = XOpenDisplay(nullptr);
  Window window = 0;
  GC gc = nullptr;

  Client(const char* title, int x, int y, int width, int height) {
    int screen = DefaultScreen(display);
    window = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, width, height, 2,
                                 BlackPixel(display, screen), WhitePixel(display, screen));
    XStoreName(display, window, title);
    gc = XCreateGC(display, window, 0, nullptr);
    XSetForeground(display, gc, BlackPixel(display, screen));
    XSelectInput(display, window, StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do XWindowEvent(display, window, StructureNotifyMask, &event);
    while (event.type != MapNotify);
  }
  ~Client() {
    XFreeGC(display, gc);
    XCloseDisplay(display);
  }
};

TEST(XRig, FindsMappedWindowsByTitleAndSeesThemGo) {
  EXPECT_EQ(xrig::FindWindow("rig-window"), 0u);
  auto* client = new Client("rig-window", 0, 0, 100, 100);
  EXPECT_EQ(xrig::WaitForWindow("rig-window"), client->window);
  XUnmapWindow(client->display, client->window);
  XFlush(client->display);
  EXPECT_TRUE(xrig::WaitForWindowGone("rig-window"));
  XMapWindow(client->display, client->window);
  XFlush(client->display);
  EXPECT_NE(xrig::WaitForWindow("rig-window"), 0u);
  delete client;
  EXPECT_TRUE(xrig::WaitForWindowGone("rig-window"));
}

TEST(XRig, ReadsPixelsRelativeToTheWindowInside) {
  Client client("rig-lines", 10, 20, 200, 200);
  XDrawLine(client.display, client.window, client.gc, 0, 50, 199, 50);
  XFillRectangle(client.display, client.window, client.gc, 100, 100, 5, 4);
  XSync(client.display, False);
  xrig::Snapshot shot(client.window);
  EXPECT_TRUE(shot.HorizontalLine(0, 199, 50));
  EXPECT_FALSE(shot.HorizontalLine(0, 199, 51));
  EXPECT_FALSE(shot.VerticalLine(0, 0, 199));
  EXPECT_TRUE(shot.VerticalLine(-1, 0, 199)) << "the border lies just outside";
  EXPECT_EQ(shot.CountBlack({90, 90, 30, 30}), 20);
  EXPECT_TRUE(shot.IsWhite(99, 100));
  xrig::Snapshot root;
  EXPECT_TRUE(root.IsBlack(12 + 104, 22 + 103));
  EXPECT_FALSE(shot.SameInside(xrig::Snapshot(), {0, 0, 200, 200}));
  EXPECT_TRUE(shot.SameInside(xrig::Snapshot(client.window), {0, 0, 200, 200}));
}

// Answers presses the way the phone windows do: a passive grab of button 1,
// the pointer read after the press, then the grab released.
void ServePresses(Client* client, int count, std::atomic<int>* xs, std::atomic<int>* ys) {
  for (int i = 0; i < count; ++i) {
    XGrabButton(client->display, Button1, 0, client->window, True, ButtonPressMask, GrabModeAsync,
                GrabModeAsync, None, None);
    XEvent event;
    XWindowEvent(client->display, client->window, ButtonPressMask, &event);
    Window root, child;
    int rx, ry, x, y;
    unsigned mask;
    XUngrabPointer(client->display, CurrentTime);
    XQueryPointer(client->display, client->window, &root, &child, &rx, &ry, &x, &y, &mask);
    xs[i] = x;
    ys[i] = y;
  }
}

TEST(XRig, TouchWaitsUntilTheWindowHasReadThePointer) {
  Client client("rig-touch", 0, 0, 300, 300);
  std::atomic<int> xs[3], ys[3];
  std::thread server(ServePresses, &client, 3, xs, ys);
  // The thread grabs only after it starts: an early press is repeated.
  EXPECT_TRUE(xrig::Touch(client.window, 10, 20));
  EXPECT_TRUE(xrig::Touch(client.window, 160, 161));
  EXPECT_TRUE(xrig::Touch(client.window, 1, 1));
  server.join();
  EXPECT_EQ(xs[0], 10);
  EXPECT_EQ(ys[0], 20);
  EXPECT_EQ(xs[1], 160);
  EXPECT_EQ(ys[1], 161);
  EXPECT_EQ(xs[2], 1);
  EXPECT_EQ(ys[2], 1);
}

TEST(XRig, TouchGivesUpWhenNoWindowTakesThePress) {
  EXPECT_FALSE(xrig::TouchRoot(5, 5, 300));
}

TEST(XRig, SavesTheScreenAsPng) {
  Client client("rig-png", 0, 0, 50, 50);
  const char* path = "xrig-selftest.png";
  ASSERT_TRUE(xrig::SaveScreenPng(path));
  FILE* file = std::fopen(path, "rb");
  ASSERT_NE(file, nullptr);
  unsigned char header[24];
  ASSERT_EQ(std::fread(header, 1, sizeof header, file), sizeof header);
  std::fclose(file);
  std::remove(path);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(header) + 1, 3), "PNG");
  EXPECT_EQ(header[19], 480 & 0xFF);  // width, big-endian at offset 16
  EXPECT_EQ((header[22] << 8) | header[23], 640);
}

}  // namespace
