// The benchmark's eyes and hands on the private X server: a RECORD context
// timestamps, as they reach the server, the requests that show a program at
// work (button grabs, drawing) and the MapNotify events it delivers; XTest
// presses the stylus. Times are milliseconds of the monotonic clock.
#pragma once

#include "xserver.h"

#include <X11/extensions/record.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

double NowMs();

class Watch {
 public:
  // Records every client of the rig's server from now on. Ends the program
  // when the server has no RECORD.
  Watch();
  ~Watch();
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  // Later waits consider only what the server saw from here on.
  void Mark();
  // When a top-level window with the title (any title when null) was mapped
  // after the mark; -1 after the timeout.
  double WaitMapped(const char* title, double timeout_ms = 20000);
  // When a client grabbed button 1 after the mark and not before `after`:
  // it is about to wait for a touch. -1 after the timeout.
  double WaitGrab(double after, double timeout_ms = 20000);
  // When the last drawing request of the first burst after the mark reached
  // the server; a burst ends once quiet_ms pass without drawing. -1 when no
  // drawing came within the timeout.
  double WaitDrawn(double quiet_ms = 30, double timeout_ms = 20000);
  // Moves the pointer to the root position, then presses button 1 (flushed)
  // and returns when the press was sent.
  double Press(int root_x, int root_y);
  void Release();

 private:
  enum class Kind { kGrab, kDraw, kMap };
  struct Seen {
    double ms;
    Kind kind;
    Window window;
  };
  static void Intercept(XPointer self, XRecordInterceptData* data);
  // The first record from the mark on that matches, once it came; false
  // after the deadline. The server holds recorded requests back until it
  // writes to some client: a wait for requests asks it for a reply every
  // kPingMs to have them sent (events, as maps, are sent at once).
  template <typename Match>
  bool Find(double deadline, bool ping, Match match, Seen* found);
  bool HasTitle(Window window, const char* title);

  static constexpr double kPingMs = 0.1;
  Display* control_ = nullptr;
  // The recorded stream arrives on its own connection, read by a thread
  // that stamps each record as it comes.
  Display* data_ = nullptr;
  XRecordContext context_ = 0;
  std::thread reader_;
  std::mutex lock_;
  std::condition_variable arrived_;
  bool recording_ = false;
  std::vector<Seen> seen_;
  size_t mark_ = 0;
};

}  // namespace bench
