// The start sequence, run when the device opens and again whenever the
// modem starts afresh: a table of commands, each with what its answer
// decides.
#include <algorithm>
#include <cstdio>

#include "session.h"
#include "session_internal.h"

namespace {

enum class Outcome {
  kPlain,      // a failure is logged and the sequence goes on
  kEchoOff,    // from now on an echo means the modem reset
  kSimStatus,  // READY, a PIN to enter, or a SIM that cannot be used
  kRadio,      // the radio is on: gsm poweringon
  kStorage,    // one storage for reading, writing and receiving
  kList,       // the messages stored while the bridge was away
};

struct StartRow {
  const char* line;
  Outcome outcome;
  bool needs_sim = false;         // skipped without a usable SIM
  bool error_means_busy = false;  // ERROR while the SIM is still read
  const char* storage = "";       // kList: the storage it lists
};

const StartRow kStartRows[] = {
    {"ATE0", Outcome::kEchoOff},
    {"AT+CMEE=1", Outcome::kPlain},
    {"AT+CPIN?", Outcome::kSimStatus},
    {"AT+CFUN=1", Outcome::kRadio},
    {"AT+CLIP=1", Outcome::kPlain},
    {"AT+CRC=1", Outcome::kPlain},
    {"AT+CMGF=0", Outcome::kPlain, true, true},
    {"AT+CPMS=\"SM\",\"SM\",\"SM\"", Outcome::kStorage, true},
    {"AT+CNMI=2,1,0,0,0", Outcome::kPlain, true},
    // The modem's own storage first, so that the SIM's stays chosen.
    {"AT+CMGL=4", Outcome::kList, true, false, "ME"},
    {"AT+CMGL=4", Outcome::kList, true, false, "SM"},
};
constexpr int kStartSteps = sizeof kStartRows / sizeof kStartRows[0];

// The GTA02's modem answers AT+CFUN=1 so on a SIM that wants its PIN, and
// turns the radio on all the same.
constexpr int kPinRequired = 11;
constexpr int kNoSim = 10;

std::string SimStatus(const std::vector<std::string>& response) {
  for (const std::string& line : response)
    if (StartsWith(line, "+CPIN:")) {
      size_t status = line.find_first_not_of(' ', 6);
      return status == std::string::npos ? "" : line.substr(status);
    }
  return "";
}

std::string UnusableReason(const std::string& status, bool pin_tried) {
  if (status == "SIM PIN") return pin_tried ? "the PIN was not taken" : "it wants a PIN";
  if (status == "SIM PUK") return "it wants its PUK";
  if (ErrorNumber(status) == kNoSim) return "there is none";
  return status;
}

}  // namespace

bool StartRowWaitsOnError(int step) { return kStartRows[step].error_means_busy; }

void ModemSession::Start(Millis now) {
  // What the modem was doing is forgotten by it; reads and messages to
  // send are asked again after the start, calls have ended.
  if (current_) queue_.push_front(*current_);
  current_.reset();
  queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                              [](const Command& c) {
                                return c.request != Request::kSend && c.request != Request::kDelete &&
                                       c.request != Request::kRead && c.request != Request::kHangUp;
                              }),
               queue_.end());
  if (call_ != CallState::kIdle && call_ != CallState::kRingHeard) EndCall(party_);
  call_ = CallState::kIdle;
  starting_ = true;
  echo_off_ = pin_tried_ = resync_needed_ = false;
  hold_until_ = 0;
  sim_ = Sim::kUnknown;
  storage_.clear();
  joiner_.Clear();  // the listing gives every part again
  StartStep(0, now);
}

void ModemSession::StartStep(int step, Millis now) {
  while (step < kStartSteps && kStartRows[step].needs_sim && sim_ != Sim::kReady) ++step;
  if (step == kStartSteps) {
    starting_ = false;
    fputs("201212081006 modem ready\n", stderr);
    return;
  }
  Command command{Request::kStart, kStartRows[step].line, step};
  command.storage = kStartRows[step].storage;
  EnqueueFirst(std::move(command), now);
}

void ModemSession::StartStepDone(const Command& done, bool ok, const std::string& result,
                                 Millis now) {
  const StartRow& row = kStartRows[done.step];
  switch (row.outcome) {
    case Outcome::kPlain:
      break;
    case Outcome::kEchoOff:
      echo_off_ = ok;
      break;
    case Outcome::kSimStatus:
      return OnSimStatus(done, ok, result, now);
    case Outcome::kRadio:
      if (ok || ErrorNumber(result) == kPinRequired) WriteGsmFrame("poweringon");
      break;
    case Outcome::kStorage:
      if (ok) storage_ = "SM";
      break;
    case Outcome::kList:
      ListDone(done, ok);
      break;
  }
  StartStep(done.step + 1, now);
}

// One try of the PIN per start, so that a wrong PIN never uses up the
// SIM's tries.
void ModemSession::OnSimStatus(const Command& done, bool ok, const std::string& result,
                               Millis now) {
  std::string status;
  if (StartsWith(done.line, "AT+CPIN=")) {
    if (ok) return StartStep(done.step, now);  // asked again: READY now?
    status = "SIM PIN";
  } else {
    status = ok ? SimStatus(response_) : result;
  }
  if (status == "READY") {
    sim_ = Sim::kReady;
  } else if (status == "SIM PIN" && !pin_.empty() && !pin_tried_) {
    pin_tried_ = true;
    return EnqueueFirst({Request::kStart, "AT+CPIN=\"" + pin_ + "\"", done.step}, now);
  } else {
    fprintf(stderr,
            "201212081032 no usable SIM (%s): messages and calls refused but for emergency numbers\n",
            UnusableReason(status, pin_tried_).c_str());
    sim_ = Sim::kUnusable;
  }
  StartStep(done.step + 1, now);
}

void ModemSession::OnReset(const std::string& line, Millis now) {
  fprintf(stderr, "201212081034 the modem started afresh (%s): setting it up again\n", line.c_str());
  Start(now);
  SendNext(now);
}

bool ModemSession::SimRefuses(const std::string& number) const {
  if (sim_ != Sim::kUnusable || IsEmergencyNumber(number)) return false;
  fputs("201212081035 no usable SIM, request refused\n", stderr);
  return true;
}
