#include "watch.h"

#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>

namespace bench {

double NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "phonebench: %s\n", what);
  std::exit(1);
}

// The requests a window's program sends to wait for a touch or to draw.
constexpr unsigned char kGrabRequest = X_GrabButton;
constexpr unsigned char kDrawRequests[][2] = {
    {X_ClearArea, X_ClearArea}, {X_PolyLine, X_PolySegment}, {X_PolyText8, X_ImageText8}};

}  // namespace

Watch::Watch() {
  const char* name = xrig::DisplayName().c_str();
  control_ = XOpenDisplay(name);
  data_ = XOpenDisplay(name);
  int major, minor;
  if (control_ == nullptr || data_ == nullptr) Fail("cannot open the server");
  if (!XRecordQueryVersion(control_, &major, &minor)) Fail("the server has no RECORD");

  XRecordRange* ranges[1 + std::size(kDrawRequests)];
  int count = 0;
  ranges[count] = XRecordAllocRange();
  ranges[count]->core_requests = {kGrabRequest, kGrabRequest};
  ranges[count++]->delivered_events = {MapNotify, MapNotify};
  for (const auto& draw : kDrawRequests) {
    ranges[count] = XRecordAllocRange();
    ranges[count++]->core_requests = {draw[0], draw[1]};
  }
  XRecordClientSpec clients = XRecordAllClients;
  context_ = XRecordCreateContext(control_, 0, &clients, 1, ranges, count);
  for (int i = 0; i < count; ++i) XFree(ranges[i]);
  if (context_ == 0) Fail("cannot create a RECORD context");
  // Windows that select nothing (the flash) still tell their map to the
  // root's listeners: be one.
  XSelectInput(control_, DefaultRootWindow(control_), SubstructureNotifyMask);
  XSync(control_, False);
  reader_ = std::thread([this] {
    XRecordEnableContext(data_, context_, Intercept, reinterpret_cast<XPointer>(this));
  });
  // Nothing is recorded before the server has said that it starts.
  std::unique_lock<std::mutex> hold(lock_);
  arrived_.wait(hold, [this] { return recording_; });
}

Watch::~Watch() {
  XRecordDisableContext(control_, context_);
  XSync(control_, False);
  reader_.join();
  XRecordFreeContext(control_, context_);
  XCloseDisplay(data_);
  XCloseDisplay(control_);
}

void Watch::Intercept(XPointer self, XRecordInterceptData* data) {
  Watch* watch = reinterpret_cast<Watch*>(self);
  const double ms = NowMs();
  const unsigned char* bytes = data->data;
  std::optional<Seen> seen;
  if (data->data_len == 0) {
  } else if (data->category == XRecordFromClient) {
    seen = Seen{ms, bytes[0] == kGrabRequest ? Kind::kGrab : Kind::kDraw, 0};
  } else if (data->category == XRecordFromServer && (bytes[0] & 0x7f) == MapNotify) {
    uint32_t window;
    std::memcpy(&window, bytes + 8, sizeof window);
    seen = Seen{ms, Kind::kMap, window};
  }
  const bool started = data->category == XRecordStartOfData;
  XRecordFreeData(data);
  if (!seen && !started) return;
  std::lock_guard<std::mutex> hold(watch->lock_);
  if (seen) watch->seen_.push_back(*seen);
  watch->recording_ = watch->recording_ || started;
  watch->arrived_.notify_all();
}

template <typename Match>
bool Watch::Find(double deadline, bool ping, Match match, Seen* found) {
  std::unique_lock<std::mutex> hold(lock_);
  for (size_t i = mark_;; ++i) {
    while (i >= seen_.size()) {
      double left = deadline - NowMs();
      if (left <= 0) return false;
      if (ping) {
        hold.unlock();
        XSync(control_, False);
        hold.lock();
        left = std::min(left, kPingMs);
      }
      arrived_.wait_for(hold, std::chrono::microseconds(static_cast<long>(left * 1000)));
    }
    if (match(seen_[i])) {
      *found = seen_[i];
      return true;
    }
  }
}

void Watch::Mark() {
  XEvent event;
  while (XPending(control_) > 0) XNextEvent(control_, &event);  // the root's
  // Whatever the server has already sent belongs before the mark.
  XSync(control_, False);
  std::lock_guard<std::mutex> hold(lock_);
  mark_ = seen_.size();
}

bool Watch::HasTitle(Window window, const char* title) {
  if (title == nullptr) return true;
  char* name = nullptr;
  bool same = XFetchName(xrig::Rig(), window, &name) && name != nullptr &&
              std::strcmp(name, title) == 0;
  if (name != nullptr) XFree(name);
  return same;
}

double Watch::WaitMapped(const char* title, double timeout_ms) {
  const double deadline = NowMs() + timeout_ms;
  Seen found;
  for (double after = 0;; after = found.ms + 1e-6) {
    if (!Find(deadline, false,
              [&](const Seen& s) { return s.kind == Kind::kMap && s.ms >= after; }, &found))
      return -1;
    if (HasTitle(found.window, title)) return found.ms;
  }
}

double Watch::WaitGrab(double after, double timeout_ms) {
  Seen found;
  bool grabbed = Find(NowMs() + timeout_ms, true,
                      [&](const Seen& s) { return s.kind == Kind::kGrab && s.ms >= after; }, &found);
  return grabbed ? found.ms : -1;
}

double Watch::WaitDrawn(double quiet_ms, double timeout_ms) {
  Seen first;
  if (!Find(NowMs() + timeout_ms, true, [](const Seen& s) { return s.kind == Kind::kDraw; },
            &first))
    return -1;
  // The burst goes on while drawing follows within quiet_ms.
  for (double last = first.ms;;) {
    Seen next;
    if (!Find(last + quiet_ms, true,
              [&](const Seen& s) { return s.kind == Kind::kDraw && s.ms > last; }, &next))
      return last;
    last = next.ms;
  }
}

double Watch::Press(int root_x, int root_y) {
  Display* rig = xrig::Rig();
  XTestFakeMotionEvent(rig, 0, root_x, root_y, CurrentTime);
  XSync(rig, False);
  const double sent = NowMs();
  XTestFakeButtonEvent(rig, 1, True, CurrentTime);
  XFlush(rig);
  return sent;
}

void Watch::Release() {
  XTestFakeButtonEvent(xrig::Rig(), 1, False, CurrentTime);
  XSync(xrig::Rig(), False);
}

}  // namespace bench
