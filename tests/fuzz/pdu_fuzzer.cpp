// Message PDUs from a hostile modem. The input is a list of up to
// kMaxRecords records, each a length octet and that many octets of PDU
// (the rest is not read): each goes as hex through
// DecodeDeliver and DecodeSubmit, and what decodes joins one SmsJoiner
// under the record's number (a record of length 0 forgets the one before).
// Every text that decodes must come back whole through EncodeDeliver, and
// the whole input as text must not upset the hex reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "pdu.h"
#include "sms_parts.h"

namespace {

// Enough for a message in parts with copies and a forgotten part, few
// enough to keep each run short.
constexpr int kMaxRecords = 8;

std::string Hex(std::string_view octets) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char octet : octets) {
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0x0F];
  }
  return hex;
}

bool SameStamp(const SmsTime& a, const SmsTime& b) {
  return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour &&
         a.minute == b.minute && a.second == b.second && a.zone_quarters == b.zone_quarters;
}

// What the simulated modem would store for the message reads back as it.
void CheckStoredAgain(const SmsDeliver& message) {
  SmsJoiner joiner;
  std::optional<JoinedMessage> joined;
  int index = 0;
  for (const std::string& pdu : EncodeDeliver(message.sender, message.stamp, message.text, 9)) {
    std::optional<SmsDeliver> part = DecodeDeliver(pdu, nullptr);
    if (!part || joined) abort();
    joined = joiner.Add(index++, *part);
  }
  if (!joined || joined->message.text != message.text ||
      !SameStamp(joined->message.stamp, message.stamp))
    abort();
}

void Decode(const std::string& hex, int index, SmsJoiner* joiner) {
  std::string why;
  if (std::optional<SmsDeliver> message = DecodeDeliver(hex, &why)) {
    if (message->kind == SmsKind::kText) CheckStoredAgain(*message);
    if (std::optional<JoinedMessage> joined = joiner->Add(index, *message)) {
      if (joined->indexes.empty() || joined->message.part.total != 1) abort();
    }
  } else if (why.empty()) {
    abort();
  }
  why.clear();
  if (!DecodeSubmit(hex, &why) && why.empty()) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  SmsJoiner joiner;
  int index = 0;
  for (int record = 0; record < kMaxRecords && !input.empty(); ++record) {
    size_t length = static_cast<unsigned char>(input[0]);
    input.remove_prefix(1);
    if (length == 0) {
      joiner.Forget(index - 1);
      continue;
    }
    length = std::min(length, input.size());
    Decode(Hex(input.substr(0, length)), index++, &joiner);
    input.remove_prefix(length);
  }
  std::string why;
  DecodeDeliver(std::string_view(reinterpret_cast<const char*>(data), size), &why);
  return 0;
}
