// Message PDUs: published and hand-assembled ones decoded, what the bridge
// sends and the simulated modem stores taken back apart, and broken or
// hostile PDUs refused without reading past their end.
#include "pdu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Sender +32475123456 and the stamp 29-02-2024 23:59:58 at -05:00, in the
// hand-assembled PDUs below.
constexpr char kSender[] = "0B912374153254F6";
constexpr char kStampMinusFive[] = "4220923295850A";

SmsDeliver Decoded(const std::string& hex) {
  std::string why;
  std::optional<SmsDeliver> message = DecodeDeliver(hex, &why);
  EXPECT_TRUE(message) << hex << ": " << why;
  return message.value_or(SmsDeliver{});
}

std::string Refusal(const std::string& hex) {
  std::string why;
  EXPECT_FALSE(DecodeDeliver(hex, &why)) << hex;
  EXPECT_FALSE(why.empty()) << hex;
  return why;
}

TEST(DecodeDeliver, ReadsPublishedExamples) {
  SmsDeliver hello =
      Decoded("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
  EXPECT_EQ(hello.kind, SmsKind::kText);
  EXPECT_EQ(hello.sender, "27838890001");  // neither international nor alphanumeric
  EXPECT_EQ(hello.text, U"hellohello");
  EXPECT_EQ(FrameDate(hello.stamp), "29-03-2099");
  EXPECT_EQ(FrameTime(hello.stamp), "15:16:59");
  EXPECT_EQ(hello.stamp.zone_quarters, 8);
  EXPECT_EQ(hello.part.total, 1);

  SmsDeliver how =
      Decoded("07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07");
  EXPECT_EQ(how.sender, "+31641600986");
  EXPECT_EQ(how.text, U"How are you?");
  EXPECT_EQ(FrameDate(how.stamp) + " " + FrameTime(how.stamp), "26-08-2002 19:37:41");
}

TEST(DecodeDeliver, ReadsGsmEscapesUcs2AndEveryKindOfSender) {
  SmsDeliver escapes =
      Decoded(std::string("0004") + kSender + "0000" + kStampMinusFive + "0AE14D79C3DBF8363D31");
  EXPECT_EQ(escapes.sender, "+32475123456");
  EXPECT_EQ(escapes.text, U"a\u20ac[]~b");
  EXPECT_EQ(FrameDate(escapes.stamp) + " " + FrameTime(escapes.stamp), "29-02-2024 23:59:58");
  EXPECT_EQ(escapes.stamp.zone_quarters, -20);

  SmsDeliver more = Decoded(std::string("0004") + kSender + "0000" + "42209232958540" +
                            "101BD426B5796D281B20202088400A");
  EXPECT_EQ(more.text, U"{}\\^|@\u00a3$_\u0394\u00e9");
  EXPECT_EQ(more.stamp.zone_quarters, 4);

  // A national sender; an emoji as a surrogate pair, then a lone high
  // surrogate.
  SmsDeliver emoji = Decoded(std::string("0004") + "0A814057214365" + "0008" + kStampMinusFive +
                             "0C00480069D83DDE00D83D0041");
  EXPECT_EQ(emoji.sender, "0475123456");
  EXPECT_EQ(emoji.text, U"Hi\U0001F600\uFFFDA");

  SmsDeliver cyrillic = Decoded(std::string("0004") + kSender + "0008" + kStampMinusFive +
                                "0C041F04400438043204350442");
  EXPECT_EQ(cyrillic.text, U"\u041f\u0440\u0438\u0432\u0435\u0442");

  // Alphanumeric senders: "Info", and one whose Delta Latin-1 lacks.
  EXPECT_EQ(Decoded(std::string("000407D049B7F90D0000") + kStampMinusFive + "00").sender, "Info");
  EXPECT_EQ(Decoded(std::string("000404D0102C0000") + kStampMinusFive + "00").sender, "?X");
}

TEST(DecodeDeliver, TellsPartsDataAndReportsFromText) {
  // 8-bit reference; the text starts after one fill bit.
  SmsDeliver first =
      Decoded(std::string("0044") + kSender + "0000" + kStampMinusFive + "09050003CC02019069");
  EXPECT_EQ(first.text, U"Hi");
  EXPECT_EQ(first.part.reference, 0xCC);
  EXPECT_EQ(first.part.total, 2);
  EXPECT_EQ(first.part.number, 1);

  // 16-bit reference, after an element that is skipped.
  SmsDeliver wide = Decoded(std::string("0044") + kSender + "0008" + kStampMinusFive +
                            "0D0A010200000804ABCD0302041F");
  EXPECT_EQ(wide.text, U"\u041f");
  EXPECT_EQ(wide.part.reference, 0xABCD);
  EXPECT_EQ(wide.part.total, 3);
  EXPECT_EQ(wide.part.number, 2);

  const std::string stamp_and_octets = std::string(kStampMinusFive) + "03010203";
  SmsDeliver data = Decoded(std::string("0004") + kSender + "0004" + stamp_and_octets);
  EXPECT_EQ(data.kind, SmsKind::kData);
  EXPECT_TRUE(data.text.empty());
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "00F4" + stamp_and_octets).kind,
            SmsKind::kData);
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "0020" + stamp_and_octets).kind,
            SmsKind::kUnsupported);  // compressed
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "0080" + stamp_and_octets).kind,
            SmsKind::kUnsupported);  // reserved group
  // Message classes and waiting groups keep their alphabets.
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "0018" + kStampMinusFive + "020041").text,
            U"A");
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "00E0" + kStampMinusFive + "020041").text,
            U"A");
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "00F1" + kStampMinusFive + "0141").text, U"A");
  EXPECT_EQ(Decoded(std::string("0004") + kSender + "00C0" + kStampMinusFive + "0141").text, U"A");

  SmsDeliver report =
      Decoded(std::string("00062A") + kSender + kStampMinusFive + "42209232958540" + "00");
  EXPECT_EQ(report.kind, SmsKind::kStatusReport);
  EXPECT_EQ(report.sender, "+32475123456");
  EXPECT_EQ(report.stamp.zone_quarters, -20);
}

TEST(DecodeDeliver, RefusesBrokenAndHostilePdus) {
  const std::string whole =
      std::string("0044") + kSender + "0000" + kStampMinusFive + "09050003CC02019069";
  for (size_t cut = 0; cut < whole.size(); cut += 2) Refusal(whole.substr(0, cut));
  EXPECT_EQ(Refusal(whole + "0"), "odd number of hex digits");
  EXPECT_EQ(Refusal("0G"), "not hex");
  EXPECT_EQ(Refusal(std::string(2 * 177, '0')), "longer than any message");

  const std::string head = std::string("0004") + kSender + "0000" + kStampMinusFive;
  std::string full_length = head + "A0" + std::string(2 * 140, '0');
  EXPECT_TRUE(DecodeDeliver(full_length, nullptr)) << "160 septets fit";
  const std::string ucs2_head = std::string("0004") + kSender + "0008" + kStampMinusFive;
  const std::string with_header = std::string("0044") + kSender + "0000" + kStampMinusFive;
  const std::string before_stamp = std::string("0004") + kSender + "0000";
  const struct {
    std::string hex, why;
  } refused[] = {
      {head + "A1" + std::string(2 * 141, '0'), "user data longer than a message"},  // 161 septets
      {ucs2_head + "8D" + std::string(2 * 141, '0'), "user data longer than a message"},
      {with_header + "00", "user data header longer than the user data"},
      {with_header + "0209" + "00", "user data header longer than the user data"},
      {with_header + "06050003CC0201" + "00", "user data header longer than the user data"},
      {with_header + "09050003CC02", "cut short in the user data"},
      {with_header + "0906000AFF000000" + "00", "user data header element cut short"},
      {with_header + "0906000403020100" + "00", "concatenation element of a wrong length"},
      {"00041A91" + std::string(2 * 13, '1') + "0000" + kStampMinusFive + "00",
       "address longer than 20 digits"},
      {std::string("FF04") + kSender, "cut short in the service-centre address"},
      {before_stamp + "4A20923295850A" + "00", "time stamp not decimal"},
      {before_stamp + "422092329585FA" + "00", "time stamp not decimal"},   // the zone
      {before_stamp + "42319232958500" + "00", "time stamp out of range"},  // month 13
      {before_stamp + "42209242958500" + "00", "time stamp out of range"},  // hour 24
  };
  for (const auto& pdu : refused) EXPECT_EQ(Refusal(pdu.hex), pdu.why) << pdu.hex;
  EXPECT_EQ(Refusal("0001000B916407281553F800000AE8329BFD4697D9EC37"),
            "neither an SMS-DELIVER nor a status report");
}

TEST(EncodeSubmit, WritesTheNumberAndTextAsPublished) {
  std::vector<SubmitPdu> hello = EncodeSubmit("+46708251358", U"hellohello", 7);
  ASSERT_EQ(hello.size(), 1u);
  EXPECT_EQ(hello[0].hex, "0001000B916407281553F800000AE8329BFD4697D9EC37");
  EXPECT_EQ(hello[0].tpdu_length, 22);

  // The same message as published, with a relative validity period.
  std::string why;
  std::optional<SmsSubmit> sent =
      DecodeSubmit("0011000B916407281553F80000AA0AE8329BFD4697D9EC37", &why);
  ASSERT_TRUE(sent) << why;
  EXPECT_EQ(sent->recipient, "+46708251358");
  EXPECT_EQ(sent->text, U"hellohello");
  EXPECT_EQ(sent->part.total, 1);

  std::vector<SubmitPdu> national = EncodeSubmit("0475*#1", U"x", 0);
  ASSERT_EQ(national.size(), 1u);
  EXPECT_EQ(national[0].hex, "00010007814057BAF100000178");
  for (const char* number : {"", "+", "12a4", "0475 12", "123456789012345678901"})
    EXPECT_TRUE(EncodeSubmit(number, U"x", 0).empty()) << number;
  EXPECT_FALSE(DecodeSubmit(hello[0].hex.substr(0, hello[0].hex.size() - 2), &why));
  EXPECT_FALSE(DecodeSubmit("0004" + hello[0].hex.substr(4), &why)) << "not a SUBMIT";
}

// The parts EncodeSubmit gives, taken apart again: each must be a whole
// PDU of its stated length and its own part of the message.
std::vector<std::u32string> SentParts(const std::string& number, const std::u32string& text,
                                      uint8_t reference) {
  std::vector<std::u32string> texts;
  std::vector<SubmitPdu> pdus = EncodeSubmit(number, text, reference);
  for (size_t i = 0; i < pdus.size(); ++i) {
    EXPECT_EQ(pdus[i].tpdu_length * 2 + 2, static_cast<int>(pdus[i].hex.size()));
    std::string why;
    std::optional<SmsSubmit> part = DecodeSubmit(pdus[i].hex, &why);
    if (!part) {
      ADD_FAILURE() << why;
      continue;
    }
    EXPECT_EQ(part->recipient, number);
    EXPECT_EQ(part->part.total, static_cast<int>(pdus.size()));
    EXPECT_EQ(part->part.number, static_cast<int>(i + 1));
    EXPECT_EQ(part->part.reference, pdus.size() > 1 ? reference : 0);
    texts.push_back(part->text);
  }
  return texts;
}

TEST(EncodeSubmit, SplitsLongTextsWithoutCuttingACharacter) {
  const std::u32string euro = U"€", ya = U"я", emoji = U"😀";
  auto repeat = [](size_t count, const std::u32string& piece) {
    std::u32string text;
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
  };
  // 160 septets are one message; an escape and its code stay together.
  EXPECT_EQ(SentParts("+3212", repeat(158, U"a") + euro, 1).size(), 1u);
  EXPECT_EQ(SentParts("+3212", repeat(152, U"a") + euro + repeat(10, U"b"), 9),
            (std::vector<std::u32string>{repeat(152, U"a"), euro + repeat(10, U"b")}));
  EXPECT_EQ(SentParts("+3212", repeat(153, U"a") + repeat(8, U"b"), 9),
            (std::vector<std::u32string>{repeat(153, U"a"), repeat(8, U"b")}));

  // 70 UCS2 units are one message; a surrogate pair stays together.
  EXPECT_EQ(SentParts("112", repeat(70, ya), 2).size(), 1u);
  EXPECT_EQ(SentParts("112", repeat(66, ya) + emoji + repeat(5, ya), 200),
            (std::vector<std::u32string>{repeat(66, ya), emoji + repeat(5, ya)}));
  EXPECT_EQ(SentParts("112", repeat(35, emoji), 3).size(), 1u);
  EXPECT_EQ(SentParts("112", repeat(36, emoji), 3),
            (std::vector<std::u32string>{repeat(33, emoji), repeat(3, emoji)}));
  // A text with one character outside the GSM alphabet goes whole as UCS2.
  EXPECT_EQ(SentParts("112", U"Café ça", 0), (std::vector<std::u32string>{U"Café ça"}));

  EXPECT_EQ(EncodeSubmit("112", repeat(255 * 153, U"a"), 0).size(), 255u);
  EXPECT_TRUE(EncodeSubmit("112", repeat(255 * 153 + 1, U"a"), 0).empty());
  EXPECT_EQ(SentParts("112", U"", 0), (std::vector<std::u32string>{U""}));
}

}  // namespace
