// Messages: reading what the modem stores (in PDU mode, through the codec),
// joining long ones, and sending and deleting for the suite.
#include <cstdio>

#include "charset.h"
#include "session.h"
#include "session_internal.h"

namespace {

// The suite's numbers 0 to 98: the SIM's indexes first, then the modem's.
constexpr int kSimSlots = 50;

constexpr const char* kUnknownSender = "unknown";
constexpr const char* kEmptyBody = "(empty)";

std::optional<int> SuiteNumber(const StoredAt& place) {
  int base = place.storage == "SM" ? 0 : place.storage == "ME" ? kSimSlots : -1;
  int number = base + place.index;
  bool fits = base >= 0 && place.index >= 0 && number <= kLastMessageNr &&
              (base > 0 || place.index < kSimSlots);
  return fits ? std::optional<int>(number) : std::nullopt;
}

StoredAt PlaceOf(int number) {
  return number < kSimSlots ? StoredAt{"SM", number} : StoredAt{"ME", number - kSimSlots};
}

void LogUnstorable(const StoredAt& place) {
  if (place.storage == "SM")
    fprintf(stderr, "201212081010 message %i cannot be stored, left on the SIM\n", place.index);
  else
    fprintf(stderr, "201212081010 message %i of \"%s\" cannot be stored, left there\n", place.index,
            place.storage.c_str());
}

// The body cut so that the whole frame keeps within the frame reader's
// 499 bytes.
std::string FittingBody(const TextMessage& m, std::string body) {
  size_t room = SmsBodyRoom(m);
  if (body.size() <= room) return body;
  fprintf(stderr, "201212081042 message %i cut to %zu of its %zu characters to fit a frame\n",
          static_cast<int>(m.TextMessageNr), room, body.size());
  body.resize(room);
  return body;
}

const char* KindName(SmsKind kind) {
  switch (kind) {
    case SmsKind::kData: return "8-bit data";
    case SmsKind::kStatusReport: return "a status report";
    default: return "a coding without text";
  }
}

}  // namespace

// ---- Frames from the suite ----

void ModemSession::RequestMessage(int code, const std::string& frame, Millis now) {
  TextMessage message = SplitTextMessageFrame(frame.c_str());
  if (!MessageComplete(message)) {
    fputs("201212081009 message record incomplete, request refused\n", stderr);
    return;
  }
  if (SimRefuses("")) return;
  if (code == kSmsDelete) {
    if (!MessageNrInRange(message.TextMessageNr)) {
      fprintf(stderr, "201212081007 message number refused: %i\n",
              static_cast<int>(message.TextMessageNr));
      return;
    }
    Command remove{Request::kDelete, "", 0, "", "", message};
    remove.numbers = PartsOf(message.TextMessageNr);
    SetUpPart(remove);
    Enqueue(std::move(remove), now);
    return;
  }
  const std::string& number = *message.PhoneNumber;
  std::u32string text = Latin1ToCodePoints(WithoutControls(*message.TextMessageBody));
  std::vector<SubmitPdu> pdus = EncodeSubmit(number, text, next_reference_++);
  if (pdus.empty()) {
    fprintf(stderr, "201212081007 number refused: %s\n", number.c_str());
    return;
  }
  Command send{Request::kSend, "", 0, "", "", message, std::move(pdus)};
  SetUpPart(send);
  Enqueue(std::move(send), now);
}

// The command line of the part in hand: each part of a message sent or
// deleted is a command of its own.
void ModemSession::SetUpPart(Command& command) {
  if (command.request == Request::kSend) {
    command.line = "AT+CMGS=" + std::to_string(command.pdus[command.part].tpdu_length);
  } else {
    StoredAt place = PlaceOf(command.numbers[command.part]);
    command.line = "AT+CMGD=" + std::to_string(place.index);
    command.storage = place.storage;
  }
}

void ModemSession::MessageDone(Command& done, bool ok, const std::string& result, Millis now) {
  switch (done.request) {
    case Request::kRead:
      reads_waiting_.erase(done.numbers[0]);
      if (ok) {
        for (const ListedPdu& listed : ParsePduResponse(response_, PlaceOf(done.numbers[0]).index))
          TakeMessage(done.numbers[0], listed.hex, true);
      } else if (result == kNoAnswer && done.busy_tries++ == 0) {  // once more, later
        reads_waiting_.insert(done.numbers[0]);
        queue_.push_back(std::move(done));
      }
      break;
    case Request::kSend:
    case Request::kDelete: {
      size_t parts = done.request == Request::kSend ? done.pdus.size() : done.numbers.size();
      if (!ok) {
        fprintf(stderr, "201212081043 message %i not %s\n", static_cast<int>(done.message.TextMessageNr),
                done.request == Request::kSend ? "transmitted" : "deleted");
      } else if (++done.part < parts) {
        SetUpPart(done);
        EnqueueFirst(std::move(done), now);
      } else {
        done.message.TextAction = done.request == Request::kSend ? "transmitted" : "deleted";
        if (done.request == Request::kDelete) Forget(done.message.TextMessageNr);
        WriteSmsFrame(done.message);
      }
      break;
    }
    default:
      break;
  }
}

void ModemSession::ListDone(const Command& done, bool ok) {
  if (!ok) return;
  for (const ListedPdu& listed : ParsePduResponse(response_, std::nullopt)) {
    StoredAt place{done.storage, listed.index};
    if (std::optional<int> number = SuiteNumber(place))
      TakeMessage(*number, listed.hex, listed.stat == 0);
    else if (listed.stat == 0)
      LogUnstorable(place);
  }
}

// ---- What the modem stores ----

void ModemSession::OnNewMessage(const std::string& line, Millis now) {
  std::optional<StoredAt> place = NewMessagePlace(line);
  if (!place) return LogIgnored(line);
  std::optional<int> number = SuiteNumber(*place);
  if (!number) return LogUnstorable(*place);
  if (!reads_waiting_.insert(*number).second) return;  // already on its way
  Command read{Request::kRead, "AT+CMGR=" + std::to_string(place->index), 0, place->storage};
  read.numbers = {*number};
  Enqueue(std::move(read), now);
}

// A message read out; unread: the suite has not had it yet.
void ModemSession::TakeMessage(int number, const std::string& hex, bool unread) {
  std::string why;
  std::optional<SmsDeliver> message = DecodeDeliver(hex, &why);
  if (!message) {
    fprintf(stderr, "201212081044 message %i unreadable (%s), left in the modem\n", number, why.c_str());
    return;
  }
  if (message->kind != SmsKind::kText) {
    fprintf(stderr, "201212081045 message %i is %s, left in the modem\n", number,
            KindName(message->kind));
    return;
  }
  if (unread) unread_parts_.insert(number);
  std::optional<JoinedMessage> joined = joiner_.Add(number, std::move(*message));
  if (!joined) return;
  int first = joined->indexes.front();
  if (joined->indexes.size() > 1) joined_[first] = joined->indexes;
  bool news = false;
  for (int part : joined->indexes) news |= unread_parts_.erase(part) > 0;
  if (news) Deliver(first, joined->message);
}

void ModemSession::Deliver(int number, const SmsDeliver& message) {
  TextMessage record;
  record.TextAction = "retrieved";
  record.TextMessageNr = number;
  record.PhoneNumber = message.sender.empty() ? kUnknownSender : WithoutControls(message.sender);
  record.TextMessageDate = FrameDate(message.stamp);
  record.TextMessageTime = FrameTime(message.stamp);
  std::string body = WithoutControls(CodePointsToLatin1(message.text));
  record.TextMessageBody = FittingBody(record, body.empty() ? kEmptyBody : body);
  WriteSmsFrame(record);
}

std::vector<int> ModemSession::PartsOf(int number) const {
  auto parts = joined_.find(number);
  return parts == joined_.end() ? std::vector<int>{number} : parts->second;
}

void ModemSession::Forget(int number) {
  for (int part : PartsOf(number)) {
    joiner_.Forget(part);
    unread_parts_.erase(part);
  }
  joined_.erase(number);
}
