#include "bridge.h"

#include <cstdio>

#include "frame.h"
#include "mm_text.h"

namespace {

// The number comes with the call or a moment later, when the modem's
// caller identification arrives; after this long the caller is withheld.
constexpr Millis kNumberWaitMs = 2000;

// A long text is cut so that its frame stays within the 499 bytes a
// reader takes.
void FitBody(TextMessage& message) {
  size_t room = SmsBodyRoom(message);
  if (message.TextMessageBody->size() <= room) return;
  fprintf(stderr, "202612081809 message %i cut to %zu characters to fit a frame\n",
          static_cast<int>(message.TextMessageNr), room);
  message.TextMessageBody->resize(room);
}

}  // namespace

MmBridge::MmBridge(ModemRequests& requests, MessageNumbers& numbers)
    : requests_(requests), numbers_(numbers) {}

void MmBridge::ModemReady() {
  ready_ = true;
  WriteGsmFrame("poweringon");
}

void MmBridge::ModemLost() {
  ready_ = false;
  if (call_ && (call_->announced || !call_->incoming)) EndCall();
  call_.reset();
  numbers_.UnbindAll();
}

// ---- Frames from the suite ----

void MmBridge::OnFrame(const std::string& frame) {
  int code = ClassifyFrame(frame.c_str());
  if (code != kCallStart && code != kCallAccept && code != kCallStop && code != kSmsTransmit &&
      code != kSmsDelete)
    return;  // frames for the other programs
  if (!ready_) {
    fputs("202612081801 no modem, request refused\n", stderr);
    return;
  }
  switch (code) {
    case kCallStart: Dial(SplitCallFrame(frame.c_str()).PhoneNr); break;
    case kCallAccept: AcceptCall(); break;
    case kCallStop: StopCall(); break;
    case kSmsTransmit: Transmit(frame); break;
    case kSmsDelete: DeleteMessage(frame); break;
  }
}

void MmBridge::Dial(const std::string& number) {
  if (!ValidNumber(number)) {
    fprintf(stderr, "202612081802 number refused: %s\n", number.c_str());
    return;
  }
  if (call_) {
    fputs("202612081803 a call is already there, call start refused\n", stderr);
    return;
  }
  int serial = next_serial_++;
  call_ = Call{serial, "", number};
  requests_.Dial(
      number,
      [this, serial](const std::string& path) {
        if (!Current(serial)) return;
        call_->path = path;
        if (call_->stop_asked) StopCall();
      },
      [this, serial, number](bool ok) {
        if (!Current(serial)) return;
        if (!ok) {
          fprintf(stderr, "202612081804 call to %s failed\n", number.c_str());
          WriteCallFrame("stopped", number.c_str());
          call_.reset();
          return;
        }
        call_->announced = true;
        WriteCallFrame("started", number.c_str());
      });
}

void MmBridge::AcceptCall() {
  if (!call_ || !call_->incoming) {
    fputs("202612081805 no incoming call to accept\n", stderr);
    return;
  }
  int serial = call_->serial;
  requests_.Accept(call_->path, [this, serial](bool ok) {
    if (!ok)
      fputs("202612081806 the call could not be accepted\n", stderr);
    else if (Current(serial))
      WriteCallFrame("accepted", call_->party.c_str());
  });
}

void MmBridge::StopCall() {
  if (!call_) {
    fputs("202612081807 no call to end\n", stderr);
    return;
  }
  if (call_->path.empty()) {  // not created yet: ended as soon as it is
    call_->stop_asked = true;
    return;
  }
  // call stopped follows when the call reaches its end
  requests_.HangUp(call_->path, [](bool ok) {
    if (!ok) fputs("202612081808 the call could not be ended\n", stderr);
  });
}

void MmBridge::Transmit(const std::string& frame) {
  TextMessage message = SplitTextMessageFrame(frame.c_str());
  if (!MessageComplete(message)) {
    fputs("202612081810 message record incomplete, request refused\n", stderr);
    return;
  }
  if (!ValidNumber(*message.PhoneNumber)) {
    fprintf(stderr, "202612081802 number refused: %s\n", message.PhoneNumber->c_str());
    return;
  }
  requests_.Send(
      *message.PhoneNumber, ToModemText(*message.TextMessageBody), [message](bool ok) mutable {
        if (!ok) {
          fprintf(stderr, "202612081811 message to %s not sent\n", message.PhoneNumber->c_str());
          return;
        }
        message.TextAction = "transmitted";
        WriteSmsFrame(message);
      });
}

void MmBridge::DeleteMessage(const std::string& frame) {
  TextMessage message = SplitTextMessageFrame(frame.c_str());
  if (!MessageComplete(message)) {
    fputs("202612081810 message record incomplete, request refused\n", stderr);
    return;
  }
  int number = message.TextMessageNr;
  std::optional<std::string> path = numbers_.PathOf(number);
  if (!path) {
    fprintf(stderr, "202612081812 no message %i to delete\n", number);
    return;
  }
  requests_.Delete(*path, [this, message, number, path = *path](bool ok) mutable {
    if (!ok) {
      fprintf(stderr, "202612081813 message %i not deleted\n", number);
      return;
    }
    // The number is free only if it still names the message just deleted.
    if (numbers_.PathOf(number) == path) numbers_.Forget(number);
    message.TextAction = "deleted";
    WriteSmsFrame(message);
  });
}

// ---- Calls ----

void MmBridge::CallAdded(const std::string& path, bool incoming, CallState state,
                         const std::string& number, Millis now) {
  if (!incoming || state != CallState::kRingingIn) return;  // ours, made by Dial
  if (call_) {
    fprintf(stderr, "202612081814 a second call (%s) ignored\n", number.c_str());
    return;
  }
  call_ = Call{next_serial_++, path, "", true};
  if (!number.empty())
    Announce(number);
  else
    call_->number_deadline = now + kNumberWaitMs;
}

void MmBridge::CallNumberLearnt(const std::string& path, const std::string& number) {
  if (call_ && call_->path == path && !call_->announced && !number.empty()) Announce(number);
}

void MmBridge::Announce(const std::string& party) {
  call_->party = party;
  call_->announced = true;
  call_->number_deadline = kNoDeadline;
  WriteCallFrame("new", party.c_str());
}

void MmBridge::CallStateChanged(const std::string& path, CallState state) {
  if (state != CallState::kTerminated || !call_ || call_->path != path) return;
  // An outgoing call that ends before it started has its stopped frame too.
  if (call_->announced || !call_->incoming)
    EndCall();
  else
    fputs("202612081815 a call ended before it was announced\n", stderr);
  call_.reset();
}

void MmBridge::EndCall() { WriteCallFrame("stopped", call_->party.c_str()); }

void MmBridge::OnTick(Millis now) {
  if (call_ && !call_->announced && now >= call_->number_deadline) Announce(kWithheldCaller);
}

Millis MmBridge::NextDeadline() const { return call_ ? call_->number_deadline : kNoDeadline; }

// ---- Messages ----

void MmBridge::MessagesListed(const std::vector<StoredMessage>& messages) {
  for (const StoredMessage& message : messages) Deliver(message);
  numbers_.DropUnbound();
}

void MmBridge::MessageReceived(const StoredMessage& message) { Deliver(message); }

void MmBridge::MessageDeleted(const std::string& path) {
  if (std::optional<int> number = numbers_.NumberOf(path)) numbers_.Forget(*number);
}

void MmBridge::Deliver(const StoredMessage& stored) {
  auto binding =
      numbers_.Bind(stored.path, MessageKey(stored.number, stored.timestamp, stored.text));
  if (!binding) {
    fprintf(stderr, "202612081816 no free message number, %s not delivered\n", stored.path.c_str());
    return;
  }
  if (!binding->fresh) return;
  TextMessage message;
  message.TextAction = "retrieved";
  message.TextMessageNr = binding->number;
  message.PhoneNumber = ToFrameText(stored.number);
  std::string date, time;
  if (!SplitIsoStamp(stored.timestamp, &date, &time)) {
    fprintf(stderr, "202612081817 message %i: time stamp \"%s\" not understood\n", binding->number,
            stored.timestamp.c_str());
    date = "01-01-1970";
    time = "00:00:00";
  }
  message.TextMessageDate = date;
  message.TextMessageTime = time;
  message.TextMessageBody = ToFrameText(stored.text);
  FitBody(message);
  WriteSmsFrame(message);
}
