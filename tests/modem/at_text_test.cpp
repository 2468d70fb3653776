// The AT text layer without a device: cutting lines, reading result lines,
// and the checks on what frames may put on the line.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "at_text.h"
#include "pin_file.h"

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
  EXPECT_EQ(NewMessagePlace("+CMTI: \"ME\",12")->storage, "ME");
  EXPECT_EQ(NewMessagePlace("+CMTI: \"ME\",12")->index, 12);
  EXPECT_FALSE(NewMessagePlace("+CMTI: \"SM\""));
  EXPECT_FALSE(NewMessagePlace("+CMTI: \"SM\",-3"));
  EXPECT_FALSE(NewMessagePlace("+CMTI: \"SM\",99999999999"));

  EXPECT_EQ(ClassifyLine("^CEND:1,0,104,16"), LineKind::kCallEnd);
  EXPECT_EQ(ClassifyLine("VOICE CALL: END: 000012"), LineKind::kCallEnd);
  for (const char* reset : {"RDY", "+CFUN: 1", "SMS Ready", "^SYSSTART"})
    EXPECT_EQ(ClassifyLine(reset), LineKind::kReset) << reset;
  EXPECT_EQ(ErrorNumber("+CME ERROR: 14"), 14);
  EXPECT_EQ(ErrorNumber("+CMS ERROR: 314"), 314);
  EXPECT_EQ(ErrorNumber("ERROR"), std::nullopt);
}

TEST(Messages, PduHeadersPairWithTheHexLineAfterThem) {
  std::vector<ListedPdu> read = ParsePduResponse({"+CMGR: 1,,23", "07911326", "OK"}, 7);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].index, 7);
  EXPECT_EQ(read[0].stat, 1);
  EXPECT_EQ(read[0].hex, "07911326");

  // A header whose PDU line is missing or no hex, a header with no index,
  // and a stray line: none of them becomes a message.
  std::vector<ListedPdu> listed = ParsePduResponse(
      {"+CMGL: 2,0,,5", "+CMGL: 3,1,\"Doe, J\",5", "00aBcD", "+CMGL: 4,0,,5", "RING",
       "+CMGL: ,0,,5", "0011", "0022", "+CMGR: 0,,5", "0033"},
      std::nullopt);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].index, 3);
  EXPECT_EQ(listed[0].stat, 1);
  EXPECT_EQ(listed[0].hex, "00aBcD");

  std::optional<ListedCall> call = ParseListedCall("+CLCC: 1,1,4,0,0,\"+3255\",145");
  ASSERT_TRUE(call);
  EXPECT_EQ(call->stat, 4);
  EXPECT_EQ(call->number, "+3255");
  EXPECT_EQ(ParseListedCall("+CLCC: 2,0,0,0,0")->number, "");
  EXPECT_FALSE(ParseListedCall("+CLCC: 1,0"));
}

TEST(Requests, EmergencyNumbersAndBodiesCannotCarryCommands) {
  EXPECT_TRUE(IsEmergencyNumber("112"));
  EXPECT_FALSE(IsEmergencyNumber("+112"));

  EXPECT_EQ(WithoutControls("a\rb\x1a" "c\x1b" "d\n\x02\x1f\x03\x7f\x85\xe9"), "a?b?c?d\n?????\xe9");
}

TEST(PinFile, OnlyAnOwnersFileWithDigitsGivesAPin) {
  char path[] = "/tmp/pin-test-XXXXXX";
  int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  auto holding = [&](const std::string& text, mode_t mode) {
    EXPECT_EQ(ftruncate(fd, 0), 0);
    EXPECT_EQ(pwrite(fd, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
    fchmod(fd, mode);
    std::string why;
    std::optional<std::string> pin = ReadPinFile(path, &why);
    EXPECT_EQ(why.find("0000"), std::string::npos) << "never the content";
    return pin ? *pin : "refused: " + why;
  };
  EXPECT_EQ(holding("0000\n", 0600), "0000");
  EXPECT_EQ(holding("00001234", 0400), "00001234");
  EXPECT_EQ(holding("0000\n", 0640), "refused: others may read it (chmod 600)");
  EXPECT_EQ(holding("0000\n", 0604), "refused: others may read it (chmod 600)");
  for (const char* bad : {"000", "000000000", "00 00", "0000\n\n", ""})
    EXPECT_EQ(holding(bad, 0600), "refused: it holds no PIN of 4 to 8 digits") << bad;
  close(fd);
  unlink(path);
  std::string why;
  EXPECT_FALSE(ReadPinFile(path, &why));
  EXPECT_FALSE(ReadPinFile("/tmp", &why));
}

}  // namespace
