// Calls: dialling, answering and hanging up for the suite, and following a
// call by the modem's list of current calls, whatever result codes the
// modem gives or leaves out.
#include <algorithm>
#include <cstdio>
#include <utility>

#include "session.h"
#include "session_internal.h"

namespace {

// While a call rings, dials or is up, the modem's call list is asked this
// often: a call it no longer lists has ended.
constexpr Millis kPollMs = 1000;
// Rings repeat every few seconds; a call that stopped ringing without a
// result code has ended, also on a modem without AT+CLCC.
constexpr Millis kRingLapseMs = 15000;
// RING and +CLIP come together: a ring with no number after this long
// asks the call list for it.
constexpr Millis kClipWaitMs = 1000;

constexpr const char* kUnknownParty = "unknown";

// The first of two numbers that is given, for a frame that needs one.
std::string EitherNumber(const std::string& first, const std::string& second) {
  return FieldGiven(first) ? first : FieldGiven(second) ? second : kUnknownParty;
}

}  // namespace

void ModemSession::RequestCall(int code, const std::string& frame, Millis now) {
  std::string number = SplitCallFrame(frame.c_str()).PhoneNr;
  if (code == kCallStop) {
    HangUp(number, now);
  } else if (code == kCallAccept) {
    Enqueue({Request::kAnswer, "ATA", 0, "", number}, now);
  } else if (!ValidNumber(number)) {
    fprintf(stderr, "201212081007 number refused: %s\n", number.c_str());
  } else if (!SimRefuses(number)) {
    Enqueue({Request::kDial, "ATD" + number + ";", 0, "", number}, now);
  }
}

// A hang-up is never refused and never waits behind queued work: a dial
// still going on is broken off by one character, and calls waiting to be
// dialled or answered are dropped.
void ModemSession::HangUp(const std::string& number, Millis now) {
  if (!open_) {
    fputs("201212081011 modem not open, no call to end\n", stderr);
    return;
  }
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [](const Command& c) {
                                return c.request == Request::kDial || c.request == Request::kAnswer;
                              }),
               queue_.end());
  if (current_ && current_->request == Request::kDial) {
    if (!aborting_dial_) {
      fputs("201212081040 breaking off the dial\n", stderr);
      aborting_dial_ = true;
      send_("\r");
    }
    return;
  }
  bool waiting = std::any_of(queue_.begin(), queue_.end(),
                             [](const Command& c) { return c.request == Request::kHangUp; });
  if (!waiting) EnqueueFirst({Request::kHangUp, "AT+CHUP", 0, "", number}, now);
}

void ModemSession::CallDone(const Command& done, bool ok, const std::string& result, Millis now) {
  switch (done.request) {
    case Request::kDial:
      if (ok && !std::exchange(aborting_dial_, false)) {
        call_ = CallState::kUp;
        poll_due_ = now + kPollMs;
        WriteCallFrame("started", done.number.c_str());
      } else {
        aborting_dial_ = false;
        EndCall(done.number);
      }
      break;
    case Request::kAnswer:
      if (ok) {
        call_ = CallState::kUp;
        poll_due_ = now + kPollMs;
        WriteCallFrame("accepted", EitherNumber(done.number, party_).c_str());
      } else if (ClassifyLine(result) == LineKind::kCallEnd) {
        OnCallEnd();
      }
      break;
    case Request::kHangUp:
      if (ok) {
        EndCall(EitherNumber(party_, done.number));
      } else if (done.line == "AT+CHUP") {  // an older modem: ATH
        EnqueueFirst({Request::kHangUp, "ATH", 0, "", done.number}, now);
      }
      break;
    default:
      break;
  }
}

void ModemSession::OnRing(Millis now) {
  switch (call_) {
    case CallState::kIdle:
      // The number comes with +CLIP, or else from the call list.
      call_ = CallState::kRingHeard;
      poll_due_ = now + kClipWaitMs;
      break;
    case CallState::kRingHeard:
      break;
    case CallState::kRinging:
      ring_deadline_ = now + kRingLapseMs;
      break;
    case CallState::kDialling:
    case CallState::kUp:
      fputs("201212081015 ring during a call ignored\n", stderr);
      break;
  }
}

void ModemSession::OnClip(const std::string& line, Millis now) {
  std::string number = ClipNumber(line).value_or("");
  if (!number.empty() && (call_ == CallState::kIdle || call_ == CallState::kRingHeard))
    Announce(number, now);
}

void ModemSession::Announce(const std::string& caller, Millis now) {
  call_ = CallState::kRinging;
  party_ = caller;
  ring_deadline_ = now + kRingLapseMs;
  poll_due_ = std::min(poll_due_, now + kPollMs);
  WriteCallFrame("new", caller.c_str());
}

void ModemSession::PollCalls(Millis now) {
  poll_due_ = kNoDeadline;  // until this poll is answered
  bool asked = (current_ && current_->request == Request::kPoll) ||
               std::any_of(queue_.begin(), queue_.end(),
                           [](const Command& c) { return c.request == Request::kPoll; });
  if (!asked) Enqueue({Request::kPoll, "AT+CLCC"}, now);
}

void ModemSession::OnCallList(bool ok, Millis now) {
  if (call_ == CallState::kIdle) return;
  bool listed = false;
  std::string ringing;
  for (const std::string& line : response_) {
    std::optional<ListedCall> call = ParseListedCall(line);
    if (!call) continue;
    listed = true;
    if (call->stat == 4 || call->stat == 5) ringing = call->number;
  }
  if (ok && !listed) {
    if (call_ != CallState::kRingHeard) {
      fputs("201212081041 the modem lists no call: it has ended\n", stderr);
      EndCall(party_);
    }
    call_ = CallState::kIdle;
    return;
  }
  if (call_ == CallState::kRingHeard) Announce(ringing.empty() ? kWithheldCaller : ringing, now);
  poll_due_ = now + kPollMs;
}

void ModemSession::OnCallEnd() {
  if (call_ != CallState::kIdle && call_ != CallState::kRingHeard) EndCall(party_);
  call_ = CallState::kIdle;
}

void ModemSession::EndCall(const std::string& party) {
  WriteCallFrame("stopped", party.c_str());
  call_ = CallState::kIdle;
  party_.clear();
  poll_due_ = ring_deadline_ = kNoDeadline;
}
