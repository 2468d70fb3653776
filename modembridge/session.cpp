// The command queue and the lines of the modem: what is in flight, when it
// ends, and getting back in step with the modem after a timeout.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "session.h"
#include "session_internal.h"

namespace {

constexpr Millis kQueryMs = 5000;
constexpr Millis kPowerOnMs = 15000;
// A listing takes seconds per stored message: each one extends it.
constexpr Millis kListMs = 30000;
constexpr Millis kDialMs = 90000;
constexpr Millis kCallMs = 20000;
constexpr Millis kPromptMs = 10000;
// From the PDU to +CMGS: module manuals allow two minutes.
constexpr Millis kSendMs = 120000;
// A modem that sleeps after 5 s without a command loses the command that
// wakes it: after a little less, a lone AT goes first, and is waited for
// this long.
constexpr Millis kSleepAfterMs = 4500;
constexpr Millis kWakeMs = 500;
// After a timeout, the OK of the AT sent to get back in step counts only
// when nothing follows it for this long: an older answer's OK may come
// just before it.
constexpr Millis kSettleMs = 300;
constexpr Millis kBusyRetryMs = 1000;
constexpr int kMaxBusyTries = 10;
// Requests of the suite waiting; the bridge's own reads and polls are
// bounded by what they are about.
constexpr size_t kMaxWaiting = 32;
constexpr size_t kMaxResponseBytes = 64 * 1024;

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

bool IsBusy(const std::string& result, bool error_means_busy) {
  std::optional<int> code = ErrorNumber(result);
  return code == 14 || code == 314 || (error_means_busy && result == "ERROR");
}

// The PIN never reaches the log.
std::string Logged(const std::string& line) {
  return StartsWith(line, "AT+CPIN=") ? "AT+CPIN=(the PIN)" : line;
}

}  // namespace

void LogIgnored(const std::string& line) {
  fprintf(stderr, "201212081014 ignored: %s\n", line.c_str());
}

ModemSession::ModemSession(std::function<void(std::string_view)> send, std::string pin)
    : send_(std::move(send)), pin_(std::move(pin)) {}

Millis ModemSession::TimeoutOf(const Command& command) {
  switch (command.request) {
    case Request::kStart:
      return command.line == "AT+CFUN=1"   ? kPowerOnMs
             : command.line == "AT+CMGL=4" ? kListMs
                                           : kQueryMs;
    case Request::kWake: return kWakeMs;
    case Request::kDial: return kDialMs;
    case Request::kAnswer:
    case Request::kHangUp: return kCallMs;
    case Request::kSend: return kPromptMs;
    default: return kQueryMs;
  }
}

void ModemSession::Opened(Millis now) {
  lines_.Reset();
  open_ = true;
  last_sent_ = now - kSleepAfterMs;  // it may have slept for long
  Start(now);
  SendNext(now);
}

void ModemSession::Lost() {
  DropWork("dropped with the modem");
  if (call_ != CallState::kIdle && call_ != CallState::kRingHeard) EndCall(party_);
  call_ = CallState::kIdle;
  open_ = false;
  starting_ = false;
}

void ModemSession::DropWork(const char* why) {
  if (current_) queue_.push_front(*current_);
  for (const Command& command : queue_)
    fprintf(stderr, "201212081013 %s: %s\n", why, Logged(command.line).c_str());
  queue_.clear();
  current_.reset();
  reads_waiting_.clear();
  resync_needed_ = false;
  hold_until_ = 0;
}

// ---- Commands ----

void ModemSession::Enqueue(Command command, Millis now) {
  if (!open_) {
    fputs("201212081011 modem not open, request refused\n", stderr);
    return;
  }
  auto from_suite = [](const Command& c) {
    return c.request == Request::kDial || c.request == Request::kAnswer ||
           c.request == Request::kSend || c.request == Request::kDelete;
  };
  if (from_suite(command) &&
      static_cast<size_t>(std::count_if(queue_.begin(), queue_.end(), from_suite)) >= kMaxWaiting) {
    fputs("201212081012 too many requests waiting, request refused\n", stderr);
    return;
  }
  queue_.push_back(std::move(command));
  SendNext(now);
}

void ModemSession::EnqueueFirst(Command command, Millis now) {
  queue_.push_front(std::move(command));
  SendNext(now);
}

void ModemSession::SendNext(Millis now) {
  if (!open_ || current_ || queue_.empty() || now < hold_until_) return;
  if (resync_needed_) return Send({Request::kResync, "AT"}, now);
  if (now - last_sent_ >= kSleepAfterMs) return Send({Request::kWake, "AT"}, now);
  const Command& next = queue_.front();
  if (!next.storage.empty() && next.storage != storage_) {
    Command choose{Request::kStorage, "AT+CPMS=\"" + next.storage + "\""};
    choose.storage = next.storage;
    return Send(std::move(choose), now);
  }
  Command command = std::move(queue_.front());
  queue_.pop_front();
  Send(std::move(command), now);
}

void ModemSession::Send(Command command, Millis now) {
  current_ = std::move(command);
  response_.clear();
  response_bytes_ = 0;
  prompted_ = confirmed_ = pdu_line_next_ = false;
  resync_answered_ = stale_lines_ = false;
  deadline_ = now + TimeoutOf(*current_);
  last_sent_ = now;
  if (current_->request == Request::kDial) {
    call_ = CallState::kDialling;
    party_ = current_->number;
  }
  fprintf(stderr, "201212081001 modem < %s\n", Logged(current_->line).c_str());
  send_(current_->line + "\r");
}

void ModemSession::OnPrompt(Millis now) {
  prompted_ = true;
  deadline_ = now + kSendMs;
  last_sent_ = now;
  const std::string& hex = current_->pdus[current_->part].hex;
  fprintf(stderr, "201212081001 modem < %s\n", hex.c_str());
  send_(hex + kCtrlZ);
}

// A SIM still busy reading itself answers so for a while: the command is
// tried again a second later, a few times.
bool ModemSession::RetryWhenBusy(Command& done, const std::string& result, Millis now) {
  bool error_means_busy = done.request == Request::kStart && StartRowWaitsOnError(done.step);
  if (!IsBusy(result, error_means_busy) || done.busy_tries >= kMaxBusyTries) return false;
  if (done.busy_tries++ == 0)
    fprintf(stderr, "201212081030 SIM busy, %s again each second\n", Logged(done.line).c_str());
  hold_until_ = now + kBusyRetryMs;
  queue_.push_front(std::move(done));
  return true;
}

void ModemSession::Finish(bool ok, const std::string& result, Millis now) {
  Command done = std::move(*current_);
  current_.reset();
  if (!ok && RetryWhenBusy(done, result, now)) return;
  if (!ok)
    fprintf(stderr, "201212081004 %s failed: %s\n", Logged(done.line).c_str(), result.c_str());
  switch (done.request) {
    case Request::kStart:
      StartStepDone(done, ok, result, now);
      break;
    case Request::kStorage:
      if (ok) {
        storage_ = done.storage;
      } else if (!queue_.empty()) {  // what needed that storage cannot run
        Command skipped = std::move(queue_.front());
        queue_.pop_front();
        fprintf(stderr, "201212081013 dropped: %s\n", Logged(skipped.line).c_str());
        for (int number : skipped.numbers) reads_waiting_.erase(number);
        if (skipped.request == Request::kStart) StartStep(skipped.step + 1, now);
      }
      break;
    case Request::kWake:
    case Request::kResync:
      break;
    case Request::kPoll:
      OnCallList(ok, now);
      break;
    case Request::kDial:
    case Request::kAnswer:
    case Request::kHangUp:
      CallDone(done, ok, result, now);
      break;
    case Request::kRead:
    case Request::kSend:
    case Request::kDelete:
      MessageDone(done, ok, result, now);
      break;
  }
  SendNext(now);
}

void ModemSession::TimedOut(Millis now) {
  switch (current_->request) {
    case Request::kWake:
      current_.reset();  // asleep or not, the command goes now
      return;
    case Request::kResync:
      if (!resync_answered_) fputs("201212081036 no answer to AT, trying again\n", stderr);
      if (resync_answered_) fputs("201212081037 in step with the modem again\n", stderr);
      resync_needed_ = !resync_answered_;
      current_.reset();
      return;
    case Request::kSend:
      // Text entry left open would swallow the next command.
      if (!prompted_) send_(std::string(1, kEsc));
      break;
    case Request::kDial:
      send_("\r");  // any character ends a dial still going on
      break;
    default:
      break;
  }
  resync_needed_ = true;
  Finish(false, kNoAnswer, now);
}

// ---- What the modem says ----

void ModemSession::OnModemBytes(std::string_view bytes, Millis now) {
  for (const ModemPiece& piece : lines_.Feed(bytes)) {
    if (!piece.dropped) {
      OnLine(piece.text, now);
      continue;
    }
    fprintf(stderr, "201212081003 modem line dropped: %s\n", piece.text.c_str());
    pdu_line_next_ = false;
    if (current_ && current_->request == Request::kResync) stale_lines_ = true;
  }
  if (current_ && current_->request == Request::kSend && !prompted_ && lines_.TakePrompt())
    OnPrompt(now);
}

void ModemSession::OnLine(const std::string& line, Millis now) {
  LineKind kind = ClassifyLine(line);
  if (kind == LineKind::kEmpty) return;
  if (kind == LineKind::kEcho) {
    // Echo was turned off: one coming back is a modem that started afresh.
    if (echo_off_ && current_ && line == current_->line) OnReset("echo", now);
    return;
  }
  fprintf(stderr, "201212081002 modem > %s\n", line.c_str());
  bool pdu_expected = std::exchange(pdu_line_next_, false);
  if (current_ && pdu_expected && IsHex(line)) {
    TakeOwnLine(line, now);
    return;
  }
  Request in_flight = current_ ? current_->request : Request::kWake;
  switch (kind) {
    case LineKind::kOk:
    case LineKind::kError:
      OnFinalResult(line, kind == LineKind::kOk, now);
      return;
    case LineKind::kCallEnd:
      // The result of a dial or an answer; a hang-up reports the end itself.
      if (current_ && (in_flight == Request::kDial || in_flight == Request::kAnswer))
        Finish(false, line, now);
      else if (!current_ || in_flight != Request::kHangUp)
        OnCallEnd();
      return;
    case LineKind::kRing:
      OnRing(now);
      return;
    case LineKind::kClip:
      OnClip(line, now);
      return;
    case LineKind::kNewMessage:
      OnNewMessage(line, now);
      return;
    case LineKind::kReset:
      // Several lines may tell of one reset ("RDY", then "SMS Ready"):
      // the start under way is the answer to them all.
      if (!starting_) OnReset(line, now);
      return;
    default:
      break;
  }
  // The command's own +NAME: lines and PDUs; any other +NAME: is a code
  // the bridge does not use.
  std::string prefix = current_ ? ResponsePrefix(current_->line) : "";
  bool own = current_ && (in_flight == Request::kResync || line[0] != '+' ||
                          (!prefix.empty() && StartsWith(line, prefix)));
  if (!own) {
    if (StartsWith(line, "+CPIN: READY") && sim_ == Sim::kUnusable && !starting_)
      return OnReset(line, now);
    LogIgnored(line);
    return;
  }
  TakeOwnLine(line, now);
}

void ModemSession::TakeOwnLine(const std::string& line, Millis now) {
  if (current_->request == Request::kResync) {
    stale_lines_ = true;
    return;
  }
  response_bytes_ += line.size();
  if (response_bytes_ > kMaxResponseBytes) {
    resync_needed_ = true;  // the rest of it is still to come
    Finish(false, "response longer than 64 KiB", now);
    return;
  }
  response_.push_back(line);
  pdu_line_next_ = StartsWith(line, "+CMGR:") || StartsWith(line, "+CMGL:");
  if (current_->request == Request::kStart && pdu_line_next_)
    deadline_ = std::max(deadline_, now + kQueryMs);
  if (current_->request == Request::kSend && StartsWith(line, "+CMGS:")) confirmed_ = prompted_;
}

void ModemSession::OnFinalResult(const std::string& line, bool ok, Millis now) {
  if (!current_) return LogIgnored(line);
  switch (current_->request) {
    case Request::kResync:
      // An OK counts once nothing of an older answer came before it, and
      // nothing follows it for a while.
      if (ok && !stale_lines_) {
        if (resync_answered_) LogIgnored(line);
        resync_answered_ = true;
        deadline_ = now + kSettleMs;
      } else {
        LogIgnored(line);
        stale_lines_ = false;
      }
      return;
    case Request::kSend:
      // AT+CMGS answers its prompt or an error: an OK before the prompt is
      // an older command's, and an OK without +CMGS sent nothing.
      if (ok && !prompted_) return LogIgnored(line);
      if (ok && !confirmed_) return Finish(false, "OK without +CMGS", now);
      break;
    default:
      break;
  }
  Finish(ok, line, now);
}

// ---- Frames from the suite ----

void ModemSession::OnFrame(const std::string& frame, Millis now) {
  int code = ClassifyFrame(frame.c_str());
  switch (code) {
    case kCallStart:
    case kCallAccept:
    case kCallStop:
      RequestCall(code, frame, now);
      break;
    case kSmsTransmit:
    case kSmsDelete:
      RequestMessage(code, frame, now);
      break;
    default:  // frames for the other programs
      break;
  }
}

// ---- Time ----

void ModemSession::OnTick(Millis now) {
  if (current_ && now >= deadline_) TimedOut(now);
  if (call_ == CallState::kRinging && now >= ring_deadline_) {
    fputs("201212081016 the call stopped ringing\n", stderr);
    EndCall(party_);
  }
  if (call_ != CallState::kIdle && now >= poll_due_) PollCalls(now);
  SendNext(now);
}

Millis ModemSession::NextDeadline() const {
  Millis next = current_ ? deadline_ : queue_.empty() ? kNoDeadline : hold_until_;
  if (call_ == CallState::kRinging) next = std::min(next, ring_deadline_);
  if (call_ != CallState::kIdle) next = std::min(next, poll_due_);
  return next;
}
