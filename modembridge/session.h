// The bridge between the suite's frames and one modem: the start sequence,
// one AT command in flight at a time with a timeout of its own, the
// unsolicited result codes that may come at any moment, and the calls and
// messages they tell of. Time is passed in, so the whole of it runs without
// a device or a clock.
//
// Messages are read in PDU mode. The suite numbers a message by where the
// modem keeps it: index n of the SIM ("SM") is number n (0 to 49), index n
// of the modem's own storage ("ME") is number 50 + n (50 to 98); a message
// elsewhere or beyond is logged and left where it is. A long message is
// known by its first part's number, and deleting it deletes every part.
//
// Delivered once: the modem marks a message read when it is read out. At
// start the bridge lists every message and hands the suite only those still
// unread (and a long message any of whose parts is); a +CMTI is read and
// handed over whatever its mark. So nothing is kept by the bridge itself.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "at_text.h"
#include "frame.h"
#include "pdu.h"
#include "sms_parts.h"

using Millis = int64_t;
inline constexpr Millis kNoDeadline = INT64_MAX;

class ModemSession {
 public:
  // send writes bytes to the modem; frames go to standard output through
  // the common writers, the log to standard error. pin: the SIM's PIN, ""
  // when none was given.
  explicit ModemSession(std::function<void(std::string_view)> send, std::string pin = "");

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
  enum class Request {
    kStart, kWake, kResync, kStorage, kRead, kPoll,
    kDial, kAnswer, kHangUp, kSend, kDelete
  };
  struct Command {
    Request request;
    std::string line;
    int step = 0;              // kStart: its row of the start table
    std::string storage = {};  // listing, kRead, kDelete: where they look
    std::string number = {};   // call requests: the frame's number
    TextMessage message = {};  // message requests: the frame's record
    std::vector<SubmitPdu> pdus = {};  // kSend: one AT+CMGS each
    std::vector<int> numbers = {};     // kRead: the message; kDelete: every part
    size_t part = 0;           // kSend, kDelete: the one in hand
    int busy_tries = 0;        // retries after a SIM busy answer
  };
  enum class CallState { kIdle, kRingHeard, kRinging, kDialling, kUp };
  enum class Sim { kUnknown, kReady, kUnusable };

  // ---- the command queue (session.cpp) ----
  static Millis TimeoutOf(const Command& command);
  void Enqueue(Command command, Millis now);
  void EnqueueFirst(Command command, Millis now);
  void SendNext(Millis now);
  void Send(Command command, Millis now);
  void Finish(bool ok, const std::string& result, Millis now);
  bool RetryWhenBusy(Command& done, const std::string& result, Millis now);
  void TimedOut(Millis now);
  void OnLine(const std::string& line, Millis now);
  void TakeOwnLine(const std::string& line, Millis now);
  void OnFinalResult(const std::string& line, bool ok, Millis now);
  void OnPrompt(Millis now);
  void DropWork(const char* why);

  // ---- the start sequence (session_start.cpp) ----
  void Start(Millis now);
  void StartStep(int step, Millis now);
  void StartStepDone(const Command& done, bool ok, const std::string& result, Millis now);
  void OnSimStatus(const Command& done, bool ok, const std::string& result, Millis now);
  void OnReset(const std::string& line, Millis now);
  bool SimRefuses(const std::string& number) const;

  // ---- calls (session_calls.cpp) ----
  void RequestCall(int code, const std::string& frame, Millis now);
  void HangUp(const std::string& number, Millis now);
  void CallDone(const Command& done, bool ok, const std::string& result, Millis now);
  void OnRing(Millis now);
  void OnClip(const std::string& line, Millis now);
  void OnCallList(bool ok, Millis now);
  void OnCallEnd();
  void Announce(const std::string& caller, Millis now);
  void EndCall(const std::string& party);
  void PollCalls(Millis now);

  // ---- messages (session_messages.cpp) ----
  void RequestMessage(int code, const std::string& frame, Millis now);
  void MessageDone(Command& done, bool ok, const std::string& result, Millis now);
  void ListDone(const Command& done, bool ok);
  void SetUpPart(Command& command);
  void OnNewMessage(const std::string& line, Millis now);
  void TakeMessage(int number, const std::string& hex, bool unread);
  void Deliver(int number, const SmsDeliver& message);
  std::vector<int> PartsOf(int number) const;
  void Forget(int number);

  std::function<void(std::string_view)> send_;
  std::string pin_;
  bool open_ = false;
  LineSplitter lines_;
  std::deque<Command> queue_;
  std::optional<Command> current_;
  Millis deadline_ = kNoDeadline;
  Millis hold_until_ = 0;      // a busy SIM: the next command waits
  Millis last_sent_ = 0;       // the modem sleeps when it is sent nothing
  bool resync_needed_ = false; // a command timed out: its answer may still come
  bool resync_answered_ = false;
  bool stale_lines_ = false;   // during a resync: lines of an older answer
  bool prompted_ = false;
  bool confirmed_ = false;     // kSend: +CMGS came
  bool aborting_dial_ = false;
  bool pdu_line_next_ = false; // a message header came: its PDU follows
  std::vector<std::string> response_;
  size_t response_bytes_ = 0;

  // The start sequence and what it found.
  bool starting_ = false;
  bool echo_off_ = false;
  bool pin_tried_ = false;
  bool sim_wait_logged_ = false;
  Sim sim_ = Sim::kUnknown;
  std::string storage_;        // the storage AT+CPMS last chose for reading

  CallState call_ = CallState::kIdle;
  std::string party_;  // the number of the call that is up or ringing
  Millis ring_deadline_ = kNoDeadline;
  Millis poll_due_ = kNoDeadline;

  SmsJoiner joiner_;
  std::set<int> unread_parts_;              // parts of long messages not yet handed over
  std::map<int, std::vector<int>> joined_;  // a long message's number: all its parts
  std::set<int> reads_waiting_;             // +CMTI reads queued or in flight
  uint8_t next_reference_ = 0;
};
