// The AT text layer without a device: cutting lines, reading result lines,
// and the checks on what frames may put on the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "at_text.h"
#include "frame_input.h"

namespace {

std::vector<std::string> Lines(const std::vector<ModemPiece>& pieces) {
  std::vector<std::string> lines;
  for (const ModemPiece& piece : pieces) lines.push_back(piece.dropped ? "DROPPED" : piece.text);
  return lines;
}

TEST(LineSplitter, CutsAtEveryLineEndAcrossReadsAndTakesOnlyAPrompt) {
  LineSplitter split;
  // An echo ends in CR alone; a CR LF split between two reads is one end.
  EXPECT_EQ(Lines(split.Feed("ATE0\r\r\nOK\r")), (std::vector<std::string>{"ATE0", "", "OK"}));
  EXPECT_EQ(Lines(split.Feed("\n+CMGR: x\r\n\r\n\r\nOK\r\n\r\n> ")),
            (std::vector<std::string>{"+CMGR: x", "", "", "OK", ""}));
  EXPECT_TRUE(split.TakePrompt());
  EXPECT_FALSE(split.TakePrompt());
  split.Feed("> quoted");
  EXPECT_FALSE(split.TakePrompt()) << "a line that begins like the prompt";
  EXPECT_EQ(Lines(split.Feed("\n")), (std::vector<std::string>{"> quoted"}));

  std::string flood(3 * kMaxLineLength, 'x');
  EXPECT_EQ(Lines(split.Feed(flood + "\r\nRI\x01NG\r\n\xff\xfe\r\nRING\r\n")),
            (std::vector<std::string>{"DROPPED", "DROPPED", "DROPPED", "RING"}));
}

TEST(ResultLines, AreToldApartByWhatTheySayNotWhereTheyCome) {
  EXPECT_EQ(ClassifyLine("OK"), LineKind::kOk);
  EXPECT_EQ(ClassifyLine("+CMS ERROR: 321"), LineKind::kError);
  EXPECT_EQ(ClassifyLine("+CME ERROR: 3"), LineKind::kError);
  EXPECT_EQ(ClassifyLine("NO ANSWER"), LineKind::kCallEnd);
  EXPECT_EQ(ClassifyLine("+CRING: VOICE"), LineKind::kRing);
  EXPECT_EQ(ClassifyLine("at+cmgr=3"), LineKind::kEcho);
  EXPECT_EQ(ClassifyLine("OK then"), LineKind::kOther);
  EXPECT_EQ(ResponsePrefix("AT+CMGL=\"ALL\""), "+CMGL:");
  EXPECT_EQ(ResponsePrefix("ATD+3211;"), "");

  EXPECT_EQ(ClipNumber("+CLIP: \"+32111222333\",145,,,,0"), "+32111222333");
  EXPECT_EQ(ClipNumber("+CLIP: \"\",128,,,,1"), "");
  EXPECT_EQ(ClipNumber("+CLIP: 0471223344,129"), "0471223344");
  EXPECT_EQ(NewMessageIndex("+CMTI: \"ME\",12"), 12);
  EXPECT_EQ(NewMessageIndex("+CMTI: \"SM\""), std::nullopt);
  EXPECT_EQ(NewMessageIndex("+CMTI: \"SM\",-3"), std::nullopt);
  EXPECT_EQ(NewMessageIndex("+CMTI: \"SM\",99999999999"), std::nullopt);
}

TEST(Messages, HeadersAndTextsBecomeCompleteRetrievedRecords) {
  std::vector<TextMessage> read = ParseMessages(
      {"+CMGR: \"REC UNREAD\",\"+3255\",\"Doe, John\",\"24/02/29,23:59:58+08\"", "OK"}, 7);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].TextAction, "retrieved");
  EXPECT_EQ(read[0].TextMessageNr, 7);
  EXPECT_EQ(read[0].PhoneNumber, "+3255");
  EXPECT_EQ(read[0].TextMessageDate, "29-02-2024");
  EXPECT_EQ(read[0].TextMessageTime, "23:59:58");
  EXPECT_EQ(read[0].TextMessageBody, "OK") << "a text that reads like a result";

  std::vector<TextMessage> listed = ParseMessages(
      {"+CMGL: 2,\"REC READ\",\"\",,\"garbled\"", "", "+CMGL: 3,\"STO UNSENT\",\"+3266\",,",
       "first line", "second line"},
      std::nullopt);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].TextMessageNr, 2);
  EXPECT_EQ(listed[0].PhoneNumber, "unknown");
  EXPECT_EQ(listed[0].TextMessageDate, "00-00-0000");
  EXPECT_EQ(listed[0].TextMessageTime, "00:00:00");
  EXPECT_EQ(listed[0].TextMessageBody, "(empty)");
  EXPECT_EQ(listed[1].TextMessageNr, 3);
  EXPECT_EQ(listed[1].TextMessageBody, "first line\nsecond line");
}

TEST(Requests, NumbersAndBodiesCannotCarryCommands) {
  for (const char* good : {"+32111222333", "0471", "*#06#", "+12345678901234567890"})
    EXPECT_TRUE(ValidNumber(good)) << good;
  for (const char* bad : {"", "+", "+32;H", "32\"", "0471 22", "123456789012345678901", "++32"})
    EXPECT_FALSE(ValidNumber(bad)) << bad;

  EXPECT_EQ(TextModeBody("a\rb\x1a" "c\x1b" "d\n"), "a?b?c?d?");
  EXPECT_EQ(TextModeBody("caf\xc3\xa9 \xe2\x82\xac!"), "caf? ?!") << "one ? per character";
  EXPECT_EQ(TextModeBody(std::string(160, 'x')), std::string(160, 'x'));
  EXPECT_EQ(TextModeBody(std::string(161, 'x')), std::nullopt);
}

TEST(FrameAssembler, GathersFramesFromPiecesAndDropsOverlongOnes) {
  FrameAssembler frames;
  EXPECT_TRUE(frames.Feed("\x02\x1f" "call\x1fst").empty());
  EXPECT_EQ(frames.Feed("op\x1f+1\x1f\x03\x02\x1fsms"),
            (std::vector<std::string>{"\x02\x1f" "call\x1fstop\x1f+1\x1f\x03"}));
  std::string long_body(600, 'x');
  EXPECT_TRUE(frames.Feed(std::string("\x1f") + long_body + "\x1f\x03").empty());
  EXPECT_EQ(frames.Feed(std::string("\x02\x1f" "call\x1fstop\x1f") + '\0' + "+2\x1f\x03"),
            (std::vector<std::string>{"\x02\x1f" "call\x1fstop\x1f+2\x1f\x03"}));
}

}  // namespace
