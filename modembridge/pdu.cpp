#include "pdu.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "at_text.h"
#include "charset.h"
#include "frame.h"
#include "sms_alphabet.h"

namespace {

// The longest PDU a modem holds: a service-centre address of 12 octets and
// the longest TPDU, an SMS-SUBMIT of 164.
constexpr size_t kMaxPduOctets = 12 + 164;
// What one message holds; a part of a concatenated one holds less, its
// header taking 6 octets.
constexpr size_t kMaxUserDataOctets = 140;
constexpr size_t kMaxSeptets = 160;
constexpr size_t kMaxUcs2Units = 70;
constexpr size_t kPartSeptets = 153;
constexpr size_t kPartUcs2Units = 67;
constexpr size_t kMaxParts = 255;
constexpr size_t kMaxAddressDigits = 20;
constexpr size_t kMaxAlphanumericSeptets = 11;

// The first octet: message type in bits 0-1, and flags.
constexpr uint8_t kTypeDeliver = 0x00;
constexpr uint8_t kTypeSubmit = 0x01;
constexpr uint8_t kTypeStatusReport = 0x02;
constexpr uint8_t kNoMoreMessages = 0x04;
constexpr uint8_t kHeaderPresent = 0x40;

// Types of number (bits 4-6 of an address type).
constexpr uint8_t kTypeOfNumberMask = 0x70;
constexpr uint8_t kInternationalNumber = 0x10;
constexpr uint8_t kAlphanumericNumber = 0x50;
constexpr uint8_t kInternational = 0x91;
constexpr uint8_t kUnknown = 0x81;
constexpr uint8_t kAlphanumeric = 0xD0;

constexpr uint8_t kCodingGsm = 0x00;
constexpr uint8_t kCodingUcs2 = 0x08;
constexpr uint8_t kConcatenated8 = 0x00;
constexpr uint8_t kConcatenated16 = 0x08;

// Where the simulated modem's messages say they came through.
constexpr std::string_view kServiceCentre = "+32475161616";

// Semi-octet values 0 to 14 of a number; 15 is the filler.
constexpr std::string_view kNumberDigits = "0123456789*#abc";

enum class Alphabet { kGsm7, kData8, kUcs2, kUnsupported };

Alphabet AlphabetOf(uint8_t coding) {
  const int group = coding >> 4;
  if (group <= 0x7) {  // general coding; bit 5 marks compressed text
    constexpr Alphabet kByBits[] = {Alphabet::kGsm7, Alphabet::kData8, Alphabet::kUcs2,
                                    Alphabet::kUnsupported};
    return coding & 0x20 ? Alphabet::kUnsupported : kByBits[coding >> 2 & 3];
  }
  if (group == 0xC || group == 0xD) return Alphabet::kGsm7;  // message waiting
  if (group == 0xE) return Alphabet::kUcs2;
  if (group == 0xF) return coding & 0x04 ? Alphabet::kData8 : Alphabet::kGsm7;
  return Alphabet::kUnsupported;
}

SmsKind KindOf(Alphabet alphabet) {
  switch (alphabet) {
    case Alphabet::kGsm7:
    case Alphabet::kUcs2:
      return SmsKind::kText;
    case Alphabet::kData8:
      return SmsKind::kData;
    case Alphabet::kUnsupported:
      break;
  }
  return SmsKind::kUnsupported;
}

bool Fail(std::string* why, std::string reason) {
  if (why) *why = std::move(reason);
  return false;
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

std::optional<Octets> OctetsOfHex(std::string_view hex, std::string* why) {
  if (hex.size() % 2 != 0 || hex.size() / 2 > kMaxPduOctets) {
    Fail(why, hex.size() % 2 ? "odd number of hex digits" : "longer than any message");
    return std::nullopt;
  }
  Octets octets;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexValue(hex[i]), low = HexValue(hex[i + 1]);
    if (high < 0 || low < 0) {
      Fail(why, "not hex");
      return std::nullopt;
    }
    octets.push_back(static_cast<uint8_t>(high << 4 | low));
  }
  return octets;
}

std::string HexOf(std::span<const uint8_t> octets) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t octet : octets) {
    hex += kDigits[octet >> 4];
    hex += kDigits[octet & 0x0F];
  }
  return hex;
}

// Takes the octets of a PDU in order; a take past the end fails and says
// which field was cut short.
class PduReader {
 public:
  PduReader(std::span<const uint8_t> octets, std::string* why) : octets_(octets), why_(why) {}

  bool Take(const char* field, size_t count, std::span<const uint8_t>* taken) {
    if (count > octets_.size() - at_) return Refuse(std::string("cut short in the ") + field);
    *taken = octets_.subspan(at_, count);
    at_ += count;
    return true;
  }
  bool Take(const char* field, uint8_t* octet) {
    std::span<const uint8_t> one;
    if (!Take(field, 1, &one)) return false;
    *octet = one[0];
    return true;
  }
  bool Refuse(std::string reason) { return Fail(why_, std::move(reason)); }

 private:
  std::span<const uint8_t> octets_;
  size_t at_ = 0;
  std::string* why_;
};

bool SkipServiceCentre(PduReader& pdu) {
  uint8_t length;
  std::span<const uint8_t> address;
  return pdu.Take("service-centre address", &length) &&
         pdu.Take("service-centre address", length, &address);
}

std::string NumberDigits(std::span<const uint8_t> value, size_t digits) {
  std::string number;
  for (size_t i = 0; i < digits; ++i) {
    int semi_octet = i % 2 == 0 ? value[i / 2] & 0x0F : value[i / 2] >> 4;
    if (semi_octet < static_cast<int>(kNumberDigits.size())) number += kNumberDigits[semi_octet];
  }
  return number;
}

bool ReadAddress(PduReader& pdu, std::string* address) {
  uint8_t digits, type;
  std::span<const uint8_t> value;
  if (!pdu.Take("address", &digits) || !pdu.Take("address", &type)) return false;
  if (digits > kMaxAddressDigits) return pdu.Refuse("address longer than 20 digits");
  if (!pdu.Take("address", (digits + 1) / 2, &value)) return false;
  if ((type & kTypeOfNumberMask) == kAlphanumericNumber) {  // septets in the semi-octets
    *address = CodePointsToLatin1(GsmText(UnpackSeptets(value, 0, digits * 4 / 7)));
  } else {
    *address = (type & kTypeOfNumberMask) == kInternationalNumber ? "+" : "";
    *address += NumberDigits(value, digits);
  }
  return true;
}

// Two decimal digits, the first in the low semi-octet; -1 when not decimal.
int SwappedDecimal(uint8_t octet) {
  int first = octet & 0x0F, second = octet >> 4;
  return first > 9 || second > 9 ? -1 : first * 10 + second;
}

// The stamp is only shown: a field that is not decimal or out of its range
// reads as 0, so a network's odd stamp never costs the message itself.
bool ReadStamp(PduReader& pdu, SmsTime* stamp) {
  static constexpr int kHighest[6] = {99, 12, 31, 23, 59, 59};
  std::span<const uint8_t> octets;
  if (!pdu.Take("time stamp", 7, &octets)) return false;
  int fields[6];
  for (int i = 0; i < 6; ++i) {
    fields[i] = SwappedDecimal(octets[i]);
    if (fields[i] < 0 || fields[i] > kHighest[i]) fields[i] = 0;
  }
  // The zone's sign is bit 3, in the semi-octet of its tens.
  const int quarters = std::max(SwappedDecimal(octets[6] & ~0x08), 0);
  const int zone = octets[6] & 0x08 ? -quarters : quarters;
  *stamp = {2000 + fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], zone};
  return true;
}

bool SkipValidityPeriod(PduReader& pdu, uint8_t first) {
  constexpr size_t kOctetsByFormat[] = {0, 7, 1, 7};  // none, enhanced, relative, absolute
  std::span<const uint8_t> period;
  return pdu.Take("validity period", kOctetsByFormat[first >> 3 & 3], &period);
}

// The concatenation elements of a user data header; other elements are
// skipped.
bool ReadHeader(PduReader& pdu, std::span<const uint8_t> header, SmsPart* part) {
  for (size_t at = 0; at < header.size();) {
    if (header.size() - at < 2 || header[at + 1] > header.size() - at - 2)
      return pdu.Refuse("user data header element cut short");
    const uint8_t element = header[at], length = header[at + 1];
    std::span<const uint8_t> value = header.subspan(at + 2, length);
    at += 2 + length;
    if (element == kConcatenated8 && length == 3)
      *part = {value[0], value[1], value[2]};
    else if (element == kConcatenated16 && length == 4)
      *part = {value[0] << 8 | value[1], value[2], value[3]};
    else if (element == kConcatenated8 || element == kConcatenated16)
      return pdu.Refuse("concatenation element of a wrong length");
  }
  return true;
}

bool ReadUserData(PduReader& pdu, Alphabet alphabet, bool has_header, std::u32string* text,
                  SmsPart* part) {
  const bool in_septets = alphabet == Alphabet::kGsm7;
  uint8_t length;
  std::span<const uint8_t> data;
  if (!pdu.Take("user data length", &length)) return false;
  if (length > (in_septets ? kMaxSeptets : kMaxUserDataOctets))
    return pdu.Refuse("user data longer than a message");
  if (!pdu.Take("user data", in_septets ? SeptetOctets(length) : length, &data)) return false;
  size_t header_octets = 0;
  if (has_header) {
    if (data.empty() || data[0] >= data.size())
      return pdu.Refuse("user data header longer than the user data");
    header_octets = 1 + data[0];
    if (!ReadHeader(pdu, data.subspan(1, data[0]), part)) return false;
  }
  if (alphabet == Alphabet::kGsm7) {
    const size_t first = FirstSeptetAfter(header_octets);
    if (first > length) return pdu.Refuse("user data header longer than the user data");
    *text = GsmText(UnpackSeptets(data, first, length - first));
  } else if (alphabet == Alphabet::kUcs2) {
    *text = Ucs2Text(data.subspan(header_octets));
  }
  return true;
}

bool ReadDeliver(PduReader& pdu, uint8_t first, SmsDeliver* message) {
  uint8_t protocol, coding;
  if (!ReadAddress(pdu, &message->sender) || !pdu.Take("protocol identifier", &protocol) ||
      !pdu.Take("data coding scheme", &coding) || !ReadStamp(pdu, &message->stamp))
    return false;
  Alphabet alphabet = AlphabetOf(coding);
  message->kind = KindOf(alphabet);
  return ReadUserData(pdu, alphabet, first & kHeaderPresent, &message->text, &message->part);
}

// A status report: the recipient it is about stands as the sender, the
// service centre's time stamp as the stamp.
bool ReadStatusReport(PduReader& pdu, SmsDeliver* message) {
  uint8_t reference, status;
  SmsTime discharged;
  message->kind = SmsKind::kStatusReport;
  return pdu.Take("message reference", &reference) && ReadAddress(pdu, &message->sender) &&
         ReadStamp(pdu, &message->stamp) && ReadStamp(pdu, &discharged) &&
         pdu.Take("status", &status);
}

void Append(Octets* octets, std::span<const uint8_t> more) {
  octets->insert(octets->end(), more.begin(), more.end());
}

struct UserData {
  bool has_header;
  uint8_t coding;
  uint8_t length;  // septets for GSM 7-bit, else octets
  Octets octets;
};

// Splits text where no part holds more than `per_part` units (and a
// character's units stay together); a text that fits `whole` stays one.
std::vector<std::u32string> SplitText(std::u32string_view text, int (*units_of)(char32_t),
                                      size_t whole, size_t per_part) {
  size_t total = 0;
  for (char32_t point : text) total += units_of(point);
  if (total <= whole) return {std::u32string(text)};
  std::vector<std::u32string> parts(1);
  size_t used = 0;
  for (char32_t point : text) {
    size_t units = units_of(point);
    if (used + units > per_part) {
      parts.emplace_back();
      used = 0;
    }
    parts.back() += point;
    used += units;
  }
  return parts;
}

Octets ConcatenationHeader(const SmsPart& part) {
  const auto octet = [](int value) { return static_cast<uint8_t>(value); };
  return {5, kConcatenated8, 3, octet(part.reference), octet(part.total), octet(part.number)};
}

// The user data of one message: the header, then the text in GSM 7-bit from
// the first septet boundary after it, or in UCS2.
UserData EncodeUserData(std::u32string_view text, bool gsm, Octets header) {
  UserData data{!header.empty(), gsm ? kCodingGsm : kCodingUcs2, 0, std::move(header)};
  if (gsm) {
    const Octets septets = GsmSeptetsOrQuestionMarks(text);
    const size_t first = FirstSeptetAfter(data.octets.size());
    PackSeptets(septets, first, &data.octets);
    data.length = static_cast<uint8_t>(first + septets.size());
  } else {
    Append(&data.octets, Ucs2Octets(text));
    data.length = static_cast<uint8_t>(data.octets.size());
  }
  return data;
}

// The user data of each message that carries text; empty when it takes
// more than 255.
std::vector<UserData> UserDataOfParts(std::u32string_view text, uint8_t reference) {
  const bool gsm = GsmSeptets(text).has_value();
  std::vector<std::u32string> parts =
      gsm ? SplitText(text, GsmSeptetCount, kMaxSeptets, kPartSeptets)
          : SplitText(text, Ucs2UnitCount, kMaxUcs2Units, kPartUcs2Units);
  if (parts.size() > kMaxParts) return {};
  std::vector<UserData> messages;
  for (size_t i = 0; i < parts.size(); ++i) {
    Octets header;
    if (parts.size() > 1)
      header =
          ConcatenationHeader({reference, static_cast<int>(parts.size()), static_cast<int>(i + 1)});
    messages.push_back(EncodeUserData(parts[i], gsm, std::move(header)));
  }
  return messages;
}

// The semi-octets of a number ValidNumber took, the filler last when odd.
Octets NumberValue(std::string_view digits) {
  Octets value((digits.size() + 1) / 2, 0xFF);
  for (size_t i = 0; i < digits.size(); ++i) {
    uint8_t semi_octet = static_cast<uint8_t>(kNumberDigits.find(digits[i]));
    value[i / 2] =
        i % 2 == 0 ? (value[i / 2] & 0xF0) | semi_octet : (value[i / 2] & 0x0F) | semi_octet << 4;
  }
  return value;
}

// An address field: its length in semi-octets, type and value. A sender
// that is no number goes as GSM text.
Octets Address(std::string_view number_or_name) {
  Octets address;
  if (ValidNumber(number_or_name)) {
    bool international = number_or_name.front() == '+';
    std::string_view digits = number_or_name.substr(international ? 1 : 0);
    address = {static_cast<uint8_t>(digits.size()), international ? kInternational : kUnknown};
    Append(&address, NumberValue(digits));
    return address;
  }
  Octets septets;
  for (char32_t point : Latin1ToCodePoints(number_or_name)) {
    Octets more = GsmSeptetsOrQuestionMarks(std::u32string(1, point));
    if (septets.size() + more.size() > kMaxAlphanumericSeptets) break;
    Append(&septets, more);
  }
  Octets value;
  PackSeptets(septets, 0, &value);
  address = {static_cast<uint8_t>((septets.size() * 7 + 3) / 4), kAlphanumeric};
  Append(&address, value);
  return address;
}

// A service-centre address counts its octets, not its digits.
Octets ServiceCentre(std::string_view number) {
  Octets address = Address(number);
  address[0] = static_cast<uint8_t>(address.size() - 1);
  return address;
}

uint8_t SwappedOctet(int value) { return static_cast<uint8_t>(value / 10 % 10 | value % 10 << 4); }

Octets Stamp(const SmsTime& stamp) {
  Octets octets;
  for (int field :
       {stamp.year % 100, stamp.month, stamp.day, stamp.hour, stamp.minute, stamp.second})
    octets.push_back(SwappedOctet(field));
  octets.push_back(SwappedOctet(std::abs(stamp.zone_quarters)) |
                   (stamp.zone_quarters < 0 ? 0x08 : 0));
  return octets;
}

uint8_t FirstOctet(uint8_t type, const UserData& data) {
  return type | (data.has_header ? kHeaderPresent : 0);
}

}  // namespace

std::string FrameDate(const SmsTime& stamp) {
  char date[32];
  snprintf(date, sizeof date, "%02d-%02d-%04d", stamp.day, stamp.month, stamp.year);
  return date;
}

std::string FrameTime(const SmsTime& stamp) {
  char time[32];
  snprintf(time, sizeof time, "%02d:%02d:%02d", stamp.hour, stamp.minute, stamp.second);
  return time;
}

std::optional<SmsDeliver> DecodeDeliver(std::string_view hex, std::string* why) {
  std::optional<Octets> octets = OctetsOfHex(hex, why);
  if (!octets) return std::nullopt;
  PduReader pdu(*octets, why);
  uint8_t first;
  if (!SkipServiceCentre(pdu) || !pdu.Take("first octet", &first)) return std::nullopt;
  SmsDeliver message;
  bool read = false;
  if ((first & 3) == kTypeDeliver)
    read = ReadDeliver(pdu, first, &message);
  else if ((first & 3) == kTypeStatusReport)
    read = ReadStatusReport(pdu, &message);
  else
    pdu.Refuse("neither an SMS-DELIVER nor a status report");
  if (!read) return std::nullopt;
  return message;
}

std::optional<SmsSubmit> DecodeSubmit(std::string_view hex, std::string* why) {
  std::optional<Octets> octets = OctetsOfHex(hex, why);
  if (!octets) return std::nullopt;
  PduReader pdu(*octets, why);
  uint8_t first, reference, protocol, coding;
  if (!SkipServiceCentre(pdu) || !pdu.Take("first octet", &first)) return std::nullopt;
  if ((first & 3) != kTypeSubmit) {
    pdu.Refuse("not an SMS-SUBMIT");
    return std::nullopt;
  }
  SmsSubmit message;
  if (!pdu.Take("message reference", &reference) || !ReadAddress(pdu, &message.recipient) ||
      !pdu.Take("protocol identifier", &protocol) || !pdu.Take("data coding scheme", &coding) ||
      !SkipValidityPeriod(pdu, first) ||
      !ReadUserData(pdu, AlphabetOf(coding), first & kHeaderPresent, &message.text, &message.part))
    return std::nullopt;
  return message;
}

std::vector<SubmitPdu> EncodeSubmit(std::string_view number, std::u32string_view text,
                                    uint8_t reference) {
  if (!ValidNumber(number)) return {};
  std::vector<UserData> parts = UserDataOfParts(text, reference);
  std::vector<SubmitPdu> pdus;
  for (const UserData& data : parts) {
    Octets tpdu{FirstOctet(kTypeSubmit, data), 0};
    Append(&tpdu, Address(number));
    Append(&tpdu, Octets{0, data.coding, data.length});
    Append(&tpdu, data.octets);
    pdus.push_back({"00" + HexOf(tpdu), static_cast<int>(tpdu.size())});
  }
  return pdus;
}

std::vector<std::string> EncodeDeliver(std::string_view sender, const SmsTime& stamp,
                                       std::u32string_view text, uint8_t reference) {
  std::vector<UserData> parts = UserDataOfParts(text, reference);
  std::vector<std::string> pdus;
  for (const UserData& data : parts) {
    Octets pdu = ServiceCentre(kServiceCentre);
    pdu.push_back(FirstOctet(kTypeDeliver | kNoMoreMessages, data));
    Append(&pdu, Address(sender));
    Append(&pdu, Octets{0, data.coding});
    Append(&pdu, Stamp(stamp));
    pdu.push_back(data.length);
    Append(&pdu, data.octets);
    pdus.push_back(HexOf(pdu));
  }
  return pdus;
}
