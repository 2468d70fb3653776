// The bridge between the suite's frames and one modem: the start sequence,
// one AT command in flight at a time with a timeout of its own, the
// unsolicited result codes that may come at any moment, and the calls and
// messages they tell of. Time is passed in, so the whole of it runs without
// a device or a clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "at_text.h"
#include "frame.h"

using Millis = int64_t;
inline constexpr Millis kNoDeadline = INT64_MAX;

// The caller of an incoming call whose number is withheld.
inline constexpr const char* kWithheldCaller = "withheld";

class ModemSession {
 public:
  // send writes bytes to the modem; frames go to standard output through
  // the common writers, the log to standard error.
  explicit ModemSession(std::function<void(std::string_view)> send);

  // The device was opened: the start sequence runs.
  void Opened(Millis now);
  // The device went away: what was in flight or waiting is dropped, and a
  // call that was up is over.
  void Lost();

  void OnFrame(const std::string& frame, Millis now);
  void OnModemBytes(std::string_view bytes, Millis now);
  // Runs the timeouts that have passed.
  void OnTick(Millis now);

  // When OnTick has something to do next.
  Millis NextDeadline() const;
  // No command in flight or waiting.
  bool Idle() const { return !current_ && queue_.empty(); }

 private:
  enum class Request { kSetUp, kPowerOn, kList, kRead, kDial, kAnswer, kHangUp, kSend, kDelete };
  struct Command {
    Request request;
    std::string line;
    std::string number = {};   // call requests: the frame's number
    TextMessage message = {};  // message requests: the frame's record
    std::string text = {};     // kSend: the text after the prompt
    int index = 0;             // kRead
  };
  enum class CallState { kIdle, kRingHeard, kRinging, kUp };

  static Millis TimeoutOf(Request request);
  void Enqueue(Command command, Millis now);
  void SendNext(Millis now);
  void Finish(bool ok, std::string_view result, Millis now);
  void OnLine(const std::string& line, Millis now);
  void OnPrompt(Millis now);
  void Deliver(const std::vector<TextMessage>& messages);

  void RequestCall(int code, const std::string& frame, Millis now);
  void RequestMessage(int code, const std::string& frame, Millis now);

  void OnRing(Millis now);
  void OnClip(const std::string& line, Millis now);
  void OnCallEnd();
  void OnNewMessage(const std::string& line, Millis now);
  void Announce(const std::string& caller, Millis now);
  void EndCall(const std::string& party);

  std::function<void(std::string_view)> send_;
  bool open_ = false;
  LineSplitter lines_;
  std::deque<Command> queue_;
  std::optional<Command> current_;
  Millis deadline_ = kNoDeadline;
  bool prompted_ = false;
  bool body_line_next_ = false;  // a message header came: its text follows
  std::vector<std::string> response_;

  CallState call_ = CallState::kIdle;
  std::string party_;  // the number of the call that is up or ringing
  Millis ring_deadline_ = kNoDeadline;
};
