// The suite's frames against ModemManager's calls and messages, as plain
// code: the D-Bus layer reports what ModemManager says through the On...
// functions and carries out the requests of a ModemRequests, calling
// back once with the result. Time is passed in, so the whole of it runs
// without D-Bus or a clock.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "frame.h"
#include "message_numbers.h"

// Milliseconds of the monotonic clock.
using Millis = int64_t;
inline constexpr Millis kNoDeadline = INT64_MAX;

// What ModemManager is asked to do. Each request calls done exactly once,
// with false when ModemManager refused it or the modem went away.
class ModemRequests {
 public:
  using Done = std::function<void(bool ok)>;
  virtual ~ModemRequests() = default;
  // A new outgoing call: created gets its path as soon as it exists (not
  // at all when it could not be created); done tells whether it started.
  virtual void Dial(const std::string& number, std::function<void(const std::string&)> created,
                    Done done) = 0;
  virtual void Accept(const std::string& call, Done done) = 0;
  virtual void HangUp(const std::string& call, Done done) = 0;
  virtual void Send(const std::string& number, const std::string& utf8_text, Done done) = 0;
  virtual void Delete(const std::string& message, Done done) = 0;
};

enum class CallState { kRingingIn, kActive, kTerminated, kOther };

// A message ModemManager holds, in its own words (UTF-8, ISO 8601).
struct StoredMessage {
  std::string path;
  std::string number;
  std::string timestamp;
  std::string text;
};

class MmBridge {
 public:
  MmBridge(ModemRequests& requests, MessageNumbers& numbers);

  // The modem is enabled (once per modem that comes).
  void ModemReady();
  // The modem or ModemManager went away.
  void ModemLost();

  void OnFrame(const std::string& frame);

  void CallAdded(const std::string& call, bool incoming, CallState state, const std::string& number,
                 Millis now);
  void CallStateChanged(const std::string& call, CallState state);
  void CallNumberLearnt(const std::string& call, const std::string& number);

  // Every received message there is, when the modem comes: new ones are
  // delivered, and numbers of messages no longer there are freed.
  void MessagesListed(const std::vector<StoredMessage>& messages);
  // One message fully received.
  void MessageReceived(const StoredMessage& message);
  // A message deleted, by the suite or another client.
  void MessageDeleted(const std::string& path);

  void OnTick(Millis now);
  Millis NextDeadline() const;

 private:
  struct Call {
    int serial;         // tells a request's answer for this call from a later one's
    std::string path;   // "" until an outgoing call is created
    std::string party;  // its number, or "withheld"
    bool incoming = false;
    bool announced = false;   // call new or call started is out
    bool stop_asked = false;  // call stop came before the call existed
    Millis number_deadline = kNoDeadline;
  };

  void Dial(const std::string& number);
  void AcceptCall();
  void StopCall();
  void Transmit(const std::string& frame);
  void DeleteMessage(const std::string& frame);
  void Announce(const std::string& party);
  void EndCall();
  bool Current(int serial) const { return call_ && call_->serial == serial; }
  void Deliver(const StoredMessage& message);

  ModemRequests& requests_;
  MessageNumbers& numbers_;
  bool ready_ = false;
  std::optional<Call> call_;
  int next_serial_ = 1;
};
