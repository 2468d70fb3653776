#include "session.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr Millis kQueryMs = 5000;
constexpr Millis kPowerOnMs = 15000;
constexpr Millis kListMs = 30000;
constexpr Millis kDialMs = 60000;
constexpr Millis kCallMs = 20000;
constexpr Millis kPromptMs = 10000;
// From the text to +CMGS: module manuals allow two minutes.
constexpr Millis kSendMs = 120000;
// RING and +CLIP come together: a ring with no number after this long is
// a call whose number is withheld.
constexpr Millis kClipWaitMs = 1000;
// Rings repeat every few seconds; a call that stopped ringing without a
// result code has ended.
constexpr Millis kRingLapseMs = 15000;
constexpr size_t kMaxWaiting = 32;
// The message store keeps numbers 0 to 98.
constexpr int kLastStorableNr = 98;

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;
constexpr const char* kUnknownParty = "unknown";
constexpr char kGsmPoweringOn[] = "\x02\x1fgsm\x1fpoweringon\x1f\x03";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A field a frame really carried: the splitter hands the ETX piece to a
// missing last field.
bool Given(const std::string& field) { return !field.empty() && field != "\x03"; }
bool Given(const FrameText& field) { return field && Given(*field); }

bool Complete(const TextMessage& m) {
  return Given(m.TextAction) && Given(m.PhoneNumber) && Given(m.TextMessageDate) &&
         Given(m.TextMessageTime) && Given(m.TextMessageBody);
}

// The first of two numbers that is given, for a frame that needs one.
std::string EitherNumber(const std::string& first, const std::string& second) {
  return Given(first) ? first : Given(second) ? second : kUnknownParty;
}

bool Storable(int number) { return number >= 0 && number <= kLastStorableNr; }

// The frame of its own the common writers have no call for.
void PutGsmPoweringOn() {
  fflush(stdout);
  fwrite(kGsmPoweringOn, 1, sizeof kGsmPoweringOn - 1, stdout);
  fflush(stdout);
}

void LogIgnored(const std::string& line) {
  fprintf(stderr, "201212081014 ignored: %s\n", line.c_str());
}

}  // namespace

ModemSession::ModemSession(std::function<void(std::string_view)> send) : send_(std::move(send)) {}

Millis ModemSession::TimeoutOf(Request request) {
  switch (request) {
    case Request::kPowerOn: return kPowerOnMs;
    case Request::kList: return kListMs;
    case Request::kDial: return kDialMs;
    case Request::kAnswer:
    case Request::kHangUp: return kCallMs;
    case Request::kSend: return kPromptMs;
    default: return kQueryMs;
  }
}

void ModemSession::Opened(Millis now) {
  const std::pair<Request, const char*> kStartSequence[] = {
      {Request::kSetUp, "ATE0"},         {Request::kSetUp, "AT+CMEE=1"},
      {Request::kPowerOn, "AT+CFUN=1"},  {Request::kSetUp, "AT+CLIP=1"},
      {Request::kSetUp, "AT+CRC=1"},     {Request::kSetUp, "AT+CMGF=1"},
      {Request::kSetUp, "AT+CSCS=\"IRA\""}, {Request::kSetUp, "AT+CNMI=2,1,0,0,0"},
      {Request::kList, "AT+CMGL=\"ALL\""}};
  lines_.Reset();
  open_ = true;
  for (const auto& [request, line] : kStartSequence) queue_.push_back({request, line});
  SendNext(now);
}

void ModemSession::Lost() {
  if (current_) queue_.push_front(*current_);
  for (const Command& command : queue_)
    fprintf(stderr, "201212081013 dropped with the modem: %s\n", command.line.c_str());
  queue_.clear();
  current_.reset();
  if (call_ == CallState::kRinging || call_ == CallState::kUp) EndCall(party_);
  call_ = CallState::kIdle;
  open_ = false;
}

// ---- Commands ----

void ModemSession::Enqueue(Command command, Millis now) {
  if (!open_) {
    fputs("201212081011 modem not open, request refused\n", stderr);
    return;
  }
  if (queue_.size() >= kMaxWaiting) {
    fputs("201212081012 too many requests waiting, request refused\n", stderr);
    return;
  }
  queue_.push_back(std::move(command));
  SendNext(now);
}

void ModemSession::SendNext(Millis now) {
  if (current_ || queue_.empty()) return;
  current_ = std::move(queue_.front());
  queue_.pop_front();
  response_.clear();
  prompted_ = false;
  body_line_next_ = false;
  deadline_ = now + TimeoutOf(current_->request);
  fprintf(stderr, "201212081001 modem < %s\n", current_->line.c_str());
  send_(current_->line + "\r");
}

void ModemSession::OnPrompt(Millis now) {
  prompted_ = true;
  deadline_ = now + kSendMs;
  fprintf(stderr, "201212081001 modem < %s\n", current_->text.c_str());
  send_(current_->text + kCtrlZ);
}

void ModemSession::Finish(bool ok, std::string_view result, Millis now) {
  Command done = std::move(*current_);
  current_.reset();
  if (!ok)
    fprintf(stderr, "201212081004 %s failed: %.*s\n", done.line.c_str(),
            static_cast<int>(result.size()), result.data());
  switch (done.request) {
    case Request::kSetUp:
      break;
    case Request::kPowerOn:
      if (ok) PutGsmPoweringOn();
      break;
    case Request::kList:
      if (ok) Deliver(ParseMessages(response_, std::nullopt));
      fputs("201212081006 modem ready\n", stderr);
      break;
    case Request::kRead:
      if (ok) Deliver(ParseMessages(response_, done.index));
      break;
    case Request::kDial:
      if (ok) {
        call_ = CallState::kUp;
        party_ = done.number;
      }
      WriteCallFrame(ok ? "started" : "stopped", done.number.c_str());
      break;
    case Request::kAnswer:
      if (ok) {
        call_ = CallState::kUp;
        WriteCallFrame("accepted", EitherNumber(done.number, party_).c_str());
      } else if (ClassifyLine(result) == LineKind::kCallEnd) {
        OnCallEnd();
      }
      break;
    case Request::kHangUp:
      if (ok) EndCall(EitherNumber(party_, done.number));
      break;
    case Request::kSend:
    case Request::kDelete:
      if (ok) {
        done.message.TextAction = done.request == Request::kSend ? "transmitted" : "deleted";
        WriteSmsFrame(done.message);
      }
      break;
  }
  SendNext(now);
}

void ModemSession::Deliver(const std::vector<TextMessage>& messages) {
  for (const TextMessage& message : messages) {
    if (Storable(message.TextMessageNr)) WriteSmsFrame(message);
    else
      fprintf(stderr, "201212081010 message %i cannot be stored, left on the SIM\n",
              static_cast<int>(message.TextMessageNr));
  }
}

// ---- What the modem says ----

void ModemSession::OnModemBytes(std::string_view bytes, Millis now) {
  for (const ModemPiece& piece : lines_.Feed(bytes)) {
    if (!piece.dropped) {
      OnLine(piece.text, now);
      continue;
    }
    fprintf(stderr, "201212081003 modem line dropped: %s\n", piece.text.c_str());
    body_line_next_ = false;
  }
  if (current_ && current_->request == Request::kSend && !prompted_ && lines_.TakePrompt())
    OnPrompt(now);
}

void ModemSession::OnLine(const std::string& line, Millis now) {
  LineKind kind = ClassifyLine(line);
  if (current_ && body_line_next_) {  // a message's text, whatever it says
    fprintf(stderr, "201212081002 modem > %s\n", line.c_str());
    response_.push_back(line);
    body_line_next_ = false;
    return;
  }
  if (kind == LineKind::kEmpty || kind == LineKind::kEcho) return;
  fprintf(stderr, "201212081002 modem > %s\n", line.c_str());
  Request in_flight = current_ ? current_->request : Request::kSetUp;
  switch (kind) {
    case LineKind::kOk:
    case LineKind::kError:
      if (current_) Finish(kind == LineKind::kOk, line, now);
      else LogIgnored(line);
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
    default:
      break;
  }
  // Lines of the command's own: its +NAME: lines, and the text lines
  // of messages; any other +NAME: is a code the bridge does not use.
  std::string prefix = current_ ? ResponsePrefix(current_->line) : "";
  if (!current_ || (line[0] == '+' && (prefix.empty() || !StartsWith(line, prefix)))) {
    LogIgnored(line);
    return;
  }
  response_.push_back(line);
  body_line_next_ = StartsWith(line, "+CMGR:") || StartsWith(line, "+CMGL:");
}

// ---- Calls ----

void ModemSession::OnRing(Millis now) {
  switch (call_) {
    case CallState::kIdle:
      call_ = CallState::kRingHeard;
      ring_deadline_ = now + kClipWaitMs;
      break;
    case CallState::kRingHeard:
      break;
    case CallState::kRinging:
      ring_deadline_ = now + kRingLapseMs;
      break;
    case CallState::kUp:
      fputs("201212081015 ring during a call ignored\n", stderr);
      break;
  }
}

void ModemSession::OnClip(const std::string& line, Millis now) {
  std::string number = ClipNumber(line).value_or("");
  if (call_ == CallState::kIdle || call_ == CallState::kRingHeard)
    Announce(number.empty() ? kWithheldCaller : number, now);
}

void ModemSession::Announce(const std::string& caller, Millis now) {
  call_ = CallState::kRinging;
  party_ = caller;
  ring_deadline_ = now + kRingLapseMs;
  WriteCallFrame("new", caller.c_str());
}

void ModemSession::OnCallEnd() {
  if (call_ == CallState::kRinging || call_ == CallState::kUp) EndCall(party_);
  call_ = CallState::kIdle;
}

void ModemSession::EndCall(const std::string& party) {
  WriteCallFrame("stopped", party.c_str());
  call_ = CallState::kIdle;
  party_.clear();
}

// ---- Messages ----

void ModemSession::OnNewMessage(const std::string& line, Millis now) {
  std::optional<int> index = NewMessageIndex(line);
  if (!index) {
    LogIgnored(line);
  } else if (!Storable(*index)) {
    fprintf(stderr, "201212081010 message %i cannot be stored, left on the SIM\n", *index);
  } else {
    Command read{Request::kRead, "AT+CMGR=" + std::to_string(*index)};
    read.index = *index;
    Enqueue(std::move(read), now);
  }
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

void ModemSession::RequestCall(int code, const std::string& frame, Millis now) {
  std::string number = SplitCallFrame(frame.c_str()).PhoneNr;
  if (code == kCallAccept) {
    Enqueue({Request::kAnswer, "ATA", number}, now);
  } else if (code == kCallStop) {
    Enqueue({Request::kHangUp, "ATH", number}, now);
  } else if (!ValidNumber(number)) {
    fprintf(stderr, "201212081007 number refused: %s\n", number.c_str());
  } else {
    Enqueue({Request::kDial, "ATD" + number + ";", number}, now);
  }
}

void ModemSession::RequestMessage(int code, const std::string& frame, Millis now) {
  TextMessage message = SplitTextMessageFrame(frame.c_str());
  if (!Complete(message)) {
    fputs("201212081009 message record incomplete, request refused\n", stderr);
    return;
  }
  if (code == kSmsDelete) {
    if (!Storable(message.TextMessageNr)) {
      fprintf(stderr, "201212081007 message number refused: %i\n",
              static_cast<int>(message.TextMessageNr));
      return;
    }
    Enqueue({Request::kDelete, "AT+CMGD=" + std::to_string(message.TextMessageNr), "", message},
            now);
    return;
  }
  const std::string& number = *message.PhoneNumber;
  std::optional<std::string> text = TextModeBody(*message.TextMessageBody);
  if (!ValidNumber(number)) {
    fprintf(stderr, "201212081007 number refused: %s\n", number.c_str());
  } else if (!text) {
    fputs("201212081008 message body refused: more than 160 characters\n", stderr);
  } else {
    Enqueue({Request::kSend, "AT+CMGS=\"" + number + "\"", "", message, *text}, now);
  }
}

// ---- Time ----

void ModemSession::OnTick(Millis now) {
  if (current_ && now >= deadline_) {
    // Text entry left open would swallow the next command.
    if (current_->request == Request::kSend && !prompted_) send_(std::string(1, kEsc));
    Finish(false, "no answer in time", now);
  }
  if (call_ == CallState::kRingHeard && now >= ring_deadline_) {
    Announce(kWithheldCaller, now);
  } else if (call_ == CallState::kRinging && now >= ring_deadline_) {
    fputs("201212081016 the call stopped ringing\n", stderr);
    EndCall(party_);
  }
}

Millis ModemSession::NextDeadline() const {
  Millis next = current_ ? deadline_ : kNoDeadline;
  if (call_ == CallState::kRingHeard || call_ == CallState::kRinging)
    next = std::min(next, ring_deadline_);
  return next;
}
