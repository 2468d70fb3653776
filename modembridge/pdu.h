// SMS PDUs as a modem reads and sends them in PDU mode: SMS-DELIVER and
// status reports read from the storage, SMS-SUBMIT to send; and the reverse
// pair a simulated modem needs. Text is code points; the alphabets on the
// air are GSM 7-bit (with its extension table), 8-bit data and UCS2.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A service-centre time stamp. The year is 2000 + the two digits sent;
// zone_quarters is the stamp's own offset from UTC in quarters of an hour,
// signed.
struct SmsTime {
  int year, month, day, hour, minute, second;
  int zone_quarters;
};
// "dd-mm-yyyy" and "hh:mm:ss" as the frames carry them (the stamp's own zone).
std::string FrameDate(const SmsTime&);
std::string FrameTime(const SmsTime&);

// Where a part stands in a concatenated message; total 1: a whole message.
struct SmsPart {
  int reference = 0;
  int total = 1;
  int number = 1;
};

enum class SmsKind {
  kText,          // text in any of the alphabets
  kData,          // 8-bit data: no text to show
  kStatusReport,  // sender is the recipient the report is about
  kUnsupported,   // a compressed text or reserved coding: no text to show
};

struct SmsDeliver {
  SmsKind kind = SmsKind::kText;
  // "+32475..." international, "0475..." national or unknown, an
  // alphanumeric sender as Latin-1 ("?" for what Latin-1 lacks).
  std::string sender;
  SmsTime stamp{};
  std::u32string text;  // kText only
  SmsPart part;
};

// The hex of a +CMGR/+CMGL PDU line (service-centre address first, as
// modems give it). Nothing, with *why set, for anything malformed,
// truncated or not an SMS-DELIVER or SMS-STATUS-REPORT. A length is never
// trusted past the octets that are there.
std::optional<SmsDeliver> DecodeDeliver(std::string_view hex, std::string* why);

// One AT+CMGS each: the hex to send (with "00" in front: the default
// service centre) and the length AT+CMGS=<n> takes (TPDU octets, without
// the service-centre octet).
struct SubmitPdu {
  std::string hex;
  int tpdu_length;
};
// GSM 7-bit when every character has a GSM code (an extension character
// takes two septets), else UCS2 (a code point past U+FFFF as a surrogate
// pair, never split between parts). One part holds 160 septets or 70 UCS2
// units; more become a concatenated message of 153 or 67 each, with the
// 8-bit reference `reference`. "+digits" goes as international, anything
// else as unknown. Empty when the number is not one ValidNumber takes or
// the text needs more than 255 parts.
std::vector<SubmitPdu> EncodeSubmit(std::string_view number, std::u32string_view text,
                                    uint8_t reference);

// The reverse directions, for the modem simulator.
struct SmsSubmit {
  std::string recipient;
  std::u32string text;
  SmsPart part;
};
// The hex as it follows the prompt (service-centre address first).
std::optional<SmsSubmit> DecodeSubmit(std::string_view hex, std::string* why);
// The PDUs of one incoming message as a modem stores them (with a
// service-centre address), split into a concatenated message when long;
// the alphabet chosen as EncodeSubmit does. A sender that is not a number
// goes as alphanumeric (as much of it as 11 septets hold). Empty when the text
// needs more than 255 parts.
std::vector<std::string> EncodeDeliver(std::string_view sender, const SmsTime& stamp,
                                       std::u32string_view text, uint8_t reference);
