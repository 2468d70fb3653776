// Classifying, splitting and writing frames.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "capture.h"
#include "frame.h"
#include "frame_test_util.h"

namespace {

using frametest::Frame;
using frametest::Pipe;

// Classifies frame with stderr caught; the lines after the "NewFrame is"
// line go to lines.
int Classify(const std::string& frame, std::string* lines = nullptr) {
  rig::CapturedFd err(2);
  int code = ClassifyFrame(frame.c_str());
  std::string text = err.Text();
  std::string echo = "201202162043 NewFrame is " + frame + "\n";
  EXPECT_EQ(text.substr(0, echo.size()), echo);
  if (lines) *lines = text.substr(std::min(echo.size(), text.size()));
  return code;
}

TEST(ClassifyFrame, GivesTheCodeOfEveryTypeAndAction) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> actions = {
      {"call", {"accept", "accepted", "new", "start", "started", "stop", "stopped"}},
      {"gsm", {"poweredoff", "poweredon", "poweroff", "poweron", "poweringon"}},
      {"sms", {"delete", "deleted", "new", "retrieve", "retrieved", "transmit", "transmitted"}},
      {"notify", {"switchtoprofile"}}};
  const int first_code[] = {100, 200, 300, 400};
  for (size_t type = 0; type < actions.size(); ++type) {
    int code = first_code[type];
    for (const std::string& action : actions[type].second) {
      std::string lines;
      EXPECT_EQ(Classify(Frame({actions[type].first, action, "5"}), &lines), code++)
          << actions[type].first << " " << action;
      EXPECT_EQ(lines, "");
    }
  }
}

TEST(ClassifyFrame, ComparesTypesAndActionsWholeAndCaseSensitive) {
  std::string lines;
  EXPECT_EQ(Classify(Frame({"CALL", "new"}), &lines), -1);
  EXPECT_EQ(lines, "201111141319 unkown message type\n");
  EXPECT_EQ(Classify(Frame({"calls", "new"}), &lines), -1);
  EXPECT_EQ(lines, "201111141319 unkown message type\n");
  EXPECT_EQ(Classify(Frame({"call", "New"}), &lines), -1);
  EXPECT_EQ(lines, "201111141306 unkown call action New\n");
  EXPECT_EQ(Classify(Frame({"sms", "retriev"}), &lines), -1);
  EXPECT_EQ(lines, "201111141303 unkown sms action retriev\n");
  EXPECT_EQ(Classify(Frame({"gsm", "poweringoff"}), &lines), -1);
  EXPECT_EQ(lines, "201111141316 unkown gsm action\n");
  EXPECT_EQ(Classify(Frame({"notify", "switch"}), &lines), -1);
  EXPECT_EQ(lines, "201203112045 unkown notify action switch\n");
}

TEST(ClassifyFrame, ReportsMissingTypeAndActions) {
  std::string lines;
  EXPECT_EQ(Classify("", &lines), -1);
  EXPECT_EQ(lines, "201111141320 empty message type\n");
  EXPECT_EQ(Classify("\x02\x1f\x1f", &lines), -1);
  EXPECT_EQ(lines, "201111141320 empty message type\n");

  const std::pair<std::string, std::string> empty_actions[] = {
      {"call", "201111141321 empty call action\n"},
      {"sms", "201111141322 empty sms action\n"},
      {"gsm", "201111141323 empty gsm action\n"},
      {"notify", "201203112044 empty notify action\n"}};
  for (const auto& [type, line] : empty_actions) {
    EXPECT_EQ(Classify("\x02\x1f" + type + "\x1f", &lines), -1);
    EXPECT_EQ(lines, line);
  }
  // The ETX piece takes the place of a missing action.
  EXPECT_EQ(Classify(Frame({"call"}), &lines), -1);
  EXPECT_EQ(lines, "201111141306 unkown call action \x03\n");
}

TEST(ClassifyFrame, CutsAtRunsOfUsAndDropsTheFirstPiece) {
  std::string lines;
  EXPECT_EQ(Classify("\r\n\x02\x1f" "call\x1fnew\x1f\x03"), 102);  // stray bytes in front
  EXPECT_EQ(Classify("\x02\x1f\x1f\x1f" "call\x1f\x1fnew\x1f\x1f\x03"), 102);
  EXPECT_EQ(Classify(Frame({"call", "new", ""})), 102);
  EXPECT_EQ(Classify(Frame({"call", "new"})), 102);
  // Without the STX the type is the dropped first piece.
  EXPECT_EQ(Classify("\x1f" "call\x1fnew\x1f+3211\x1f\x03", &lines), -1);
  EXPECT_EQ(lines, "201111141319 unkown message type\n");
  EXPECT_EQ(Classify("call\x1fnew\x1f\x03", &lines), -1);
  EXPECT_EQ(lines, "201111141319 unkown message type\n");
  // Without the US before the ETX the action carries it.
  EXPECT_EQ(Classify("\x02\x1f" "call\x1fnew\x03", &lines), -1);
  EXPECT_EQ(lines, "201111141306 unkown call action new\x03\n");
}

// Runs a splitter with stderr caught into lines.
template <typename Split>
auto SplitCaught(Split split, const std::string& frame, std::string& lines) {
  rig::CapturedFd err(2);
  auto record = split(frame.c_str());
  lines = err.Text();
  return record;
}

TEST(SplitCallFrame, TakesActionAndNumberByPosition) {
  std::string lines;
  CallFields call = SplitCaught(SplitCallFrame, Frame({"call", "new", "+32112233445"}), lines);
  EXPECT_EQ(call.CallAction, "new");
  EXPECT_EQ(call.PhoneNr, "+32112233445");
  EXPECT_EQ(lines, "");

  // Missing or empty number: the ETX piece moves up into it.
  EXPECT_EQ(SplitCaught(SplitCallFrame, Frame({"call", "new"}), lines).PhoneNr, "\x03");
  EXPECT_EQ(SplitCaught(SplitCallFrame, Frame({"call", "new", ""}), lines).PhoneNr, "\x03");
  EXPECT_EQ(lines, "");

  call = SplitCaught(SplitCallFrame, "\x02\x1f" "call", lines);
  EXPECT_EQ(call.CallAction, "");
  EXPECT_EQ(call.PhoneNr, "");
  EXPECT_EQ(SplitCallFrame(nullptr).CallAction, "");
}

TEST(SplitCallFrame, WritesALinePerPieceBeyondTheIgnoredOne) {
  std::string lines;
  CallFields call =
      SplitCaught(SplitCallFrame, Frame({"call", "stop", "+3211", "x", "y"}), lines);
  EXPECT_EQ(call.CallAction, "stop");
  EXPECT_EQ(call.PhoneNr, "+3211");
  EXPECT_EQ(lines, "201201281326 more fields than there should be\n"
                   "201201281326 more fields than there should be\n");
  SplitCaught(SplitCallFrame, Frame({"call", "stop", "+3211", "x"}), lines);
  EXPECT_EQ(lines, "201201281326 more fields than there should be\n");
}

TEST(SplitCallFrame, RecordsAreCopiesAndTheFrameStaysIntact) {
  std::string frame = Frame({"call", "new", "+32112233445"});
  strcpy(NewFrame, frame.c_str());
  CallFields call = SplitCallFrame(NewFrame);
  EXPECT_EQ(NewFrame, frame);
  strcpy(NewFrame, Frame({"call", "stop", "0"}).c_str());
  EXPECT_EQ(call.PhoneNr, "+32112233445");
}

TEST(SplitTextMessageFrame, TakesTheFieldsInWireOrder) {
  std::string lines;
  TextMessage m = SplitCaught(
      SplitTextMessageFrame,
      Frame({"sms", "retrieved", "+32445566778", "17", "01-02-2012", "10:11:12", "hi there"}),
      lines);
  EXPECT_EQ(m.TextAction, "retrieved");
  EXPECT_EQ(m.PhoneNumber, "+32445566778");
  EXPECT_EQ(m.TextMessageNr, 17);
  EXPECT_EQ(m.TextMessageDate, "01-02-2012");
  EXPECT_EQ(m.TextMessageTime, "10:11:12");
  EXPECT_EQ(m.TextMessageBody, "hi there");
  EXPECT_EQ(lines, "");
}

TEST(SplitTextMessageFrame, ShortFramesShiftTheEtxInAndLeaveTheRestAbsent) {
  std::string lines;
  TextMessage no_body = SplitCaught(
      SplitTextMessageFrame, Frame({"sms", "new", "+3211", "3", "d", "t"}), lines);
  EXPECT_EQ(no_body.TextMessageBody, "\x03");
  EXPECT_EQ(no_body.TextMessageTime, "t");

  TextMessage after_number =
      SplitCaught(SplitTextMessageFrame, Frame({"sms", "new", "+3211"}), lines);
  EXPECT_EQ(after_number.PhoneNumber, "+3211");
  EXPECT_EQ(after_number.TextMessageNr, 0);
  EXPECT_FALSE(after_number.TextMessageDate);
  EXPECT_FALSE(after_number.TextMessageTime);
  EXPECT_FALSE(after_number.TextMessageBody);

  TextMessage bare = SplitCaught(SplitTextMessageFrame, "\x02\x1fsms", lines);
  EXPECT_FALSE(bare.TextAction);
  EXPECT_FALSE(bare.PhoneNumber);
  EXPECT_EQ(lines, "");
}

TEST(SplitTextMessageFrame, ConvertsTheMessageNumberLikeStrtol) {
  const std::pair<std::string, int32_t> numbers[] = {
      {"12abc", 12}, {"abc", 0}, {" -7", -7}, {"+42", 42}, {"0098", 98},
      // Beyond 32 bits the number holds at the limit rather than wrapping
      // round to a small, valid-looking one.
      {"4294967301", INT32_MAX}, {"-99999999999", INT32_MIN}};
  for (const auto& [text, value] : numbers) {
    std::string lines;
    TextMessage m = SplitCaught(SplitTextMessageFrame,
                                Frame({"sms", "new", "+3211", text, "d", "t", "b"}), lines);
    EXPECT_EQ(m.TextMessageNr, value) << text;
  }
}

TEST(SplitTextMessageFrame, WritesALinePerPieceBeyondTheIgnoredOne) {
  std::string lines;
  TextMessage m = SplitCaught(
      SplitTextMessageFrame, Frame({"sms", "new", "+3211", "1", "d", "t", "b", "extra"}), lines);
  EXPECT_EQ(m.TextMessageBody, "b");
  EXPECT_EQ(lines, "201111162309 more fields than there should be\n");
}

TEST(SplitNotifyFrame, TakesActionAndProfile) {
  std::string lines;
  NotifyFields n =
      SplitCaught(SplitNotifyFrame, Frame({"notify", "switchtoprofile", "2"}), lines);
  EXPECT_EQ(n.NotifyAction, "switchtoprofile");
  EXPECT_EQ(n.ProfileText, "2");
  EXPECT_EQ(lines, "");

  EXPECT_EQ(SplitCaught(SplitNotifyFrame, Frame({"notify", "switchtoprofile"}), lines).ProfileText,
            "\x03");
  n = SplitCaught(SplitNotifyFrame, "\x02\x1fnotify\x1fswitchtoprofile", lines);
  EXPECT_FALSE(n.ProfileText);

  SplitCaught(SplitNotifyFrame, Frame({"notify", "switchtoprofile", "2", "3", "4"}), lines);
  EXPECT_EQ(lines, "201203112310 more fields than there should be\n"
                   "201203112310 more fields than there should be\n");
}

TEST(WriteFrames, WriteTheExactBytes) {
  rig::CapturedFd out(1);
  WriteCallFrame("start", "+32112233445");
  std::string call = out.Text();
  EXPECT_EQ(call, std::string("\x02\x1f" "call\x1fstart\x1f+32112233445\x1f\x03"));
  EXPECT_EQ(call.size(), 27u);

  TextMessage fake;
  fake.TextAction = "retrieve";
  fake.TextMessageNr = 0;
  fake.PhoneNumber = "+1234567890";
  fake.TextMessageDate = "31-12-1818";
  fake.TextMessageTime = "12:34:56";
  fake.TextMessageBody = "fake";
  WriteSmsFrame(fake);
  std::string sms = out.Text().substr(call.size());
  EXPECT_EQ(sms, std::string("\x02\x1fsms\x1fretrieve\x1f+1234567890\x1f" "0\x1f"
                             "31-12-1818\x1f" "12:34:56\x1f" "fake\x1f\x03"));
  EXPECT_EQ(sms.size(), 55u);
}

TEST(WriteFrames, AbsentTextsAreWrittenEmpty) {
  std::string written;
  {
    rig::CapturedFd out(1);
    WriteCallFrame(nullptr, nullptr);
    TextMessage blank;
    blank.TextMessageNr = -12;
    WriteSmsFrame(blank);
    written = out.Text();
  }
  EXPECT_EQ(written, std::string("\x02\x1f" "call\x1f\x1f\x1f\x03"
                                    "\x02\x1fsms\x1f\x1f\x1f-12\x1f\x1f\x1f\x1f\x03"));
}

// A frame that a reader would take apart differently, or not take at all,
// never leaves: the ETX piece echoed back as a number, a body with a US in
// it, and frames one byte over the reader's limit. The longest frame a
// reader keeps still goes out whole.
TEST(WriteFrames, FramesAReaderMustRejectAreRefused) {
  TextMessage longest;
  longest.TextAction = "transmit";
  longest.PhoneNumber = "+32112233445";
  longest.TextMessageDate = "01-01-1814";
  longest.TextMessageTime = "23:59:00";
  longest.TextMessageBody = std::string(499 - 52, 'x');
  TextMessage too_long = longest;
  too_long.TextMessageBody->push_back('x');
  TextMessage split_body = longest;
  split_body.TextMessageBody = "two\x1f" "fields";

  std::string written, lines;
  {
    rig::CapturedFd out(1), err(2);
    WriteCallFrame("stop", "\x03");
    WriteCallFrame("stop", std::string(499 - 13, '1').c_str());
    WriteSmsFrame(too_long);
    WriteSmsFrame(split_body);
    WriteSmsFrame(longest);
    written = out.Text();
    lines = err.Text();
  }
  EXPECT_EQ(written.size(), 499u);
  EXPECT_EQ(written, Frame({"sms", "transmit", "+32112233445", "0", "01-01-1814", "23:59:00",
                            *longest.TextMessageBody}));
  EXPECT_EQ(lines, "201212081401 frame refused: a field holds STX, US or ETX\n"
                   "201212081402 frame refused: 500 bytes, more than 499\n"
                   "201212081402 frame refused: 500 bytes, more than 499\n"
                   "201212081401 frame refused: a field holds STX, US or ETX\n");
}

// Each write() on a packet socket arrives as one packet, so the packets
// show how the writer hands its bytes to the system.
std::vector<std::string> WritesOf(void (*write_frames)()) {
  int fds[2];
  EXPECT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
  fflush(stdout);
  int saved = dup(1);
  dup2(fds[1], 1);
  write_frames();
  dup2(saved, 1);  // anything the writer left in the stream misses the packets
  close(saved);
  close(fds[1]);
  std::vector<std::string> packets;
  char packet[4096];
  ssize_t n;
  while ((n = read(fds[0], packet, sizeof packet)) > 0) packets.emplace_back(packet, n);
  close(fds[0]);
  return packets;
}

TEST(WriteFrames, EachFrameLeavesInOneWriteOfItsOwn) {
  // Pending text in the stream goes out first, not glued to the frame,
  // so a parent's and its children's frames cannot interleave.
  std::vector<std::string> packets = WritesOf([] {
    printf("hmmmm, where is that sneaky pointer?\n");
    WriteCallFrame("stop", "1234567890");
    WriteCallFrame("accept", "+32112233445");
  });
  EXPECT_EQ(packets, (std::vector<std::string>{"hmmmm, where is that sneaky pointer?\n",
                                               Frame({"call", "stop", "1234567890"}),
                                               Frame({"call", "accept", "+32112233445"})}));
}

TEST(WriteFrames, WhatIsWrittenReadsBackAsTheSameRecord) {
  TextMessage sent;
  sent.TextAction = "transmit";
  sent.TextMessageNr = 98;
  sent.PhoneNumber = "+32667788990";
  sent.TextMessageDate = "01-01-1814";
  sent.TextMessageTime = "23:59:00";
  sent.TextMessageBody = "see you at 8";
  std::string written;
  {
    rig::CapturedFd out(1);
    WriteSmsFrame(sent);
    written = out.Text();
  }
  Pipe p;
  p.Write(written);
  ASSERT_EQ(ReadFrameWithin(p.read_end, 20), 0);
  std::string lines;
  EXPECT_EQ(Classify(NewFrame), kSmsTransmit);
  TextMessage got = SplitCaught(SplitTextMessageFrame, NewFrame, lines);
  EXPECT_EQ(got.TextAction, sent.TextAction);
  EXPECT_EQ(got.TextMessageNr, sent.TextMessageNr);
  EXPECT_EQ(got.PhoneNumber, sent.PhoneNumber);
  EXPECT_EQ(got.TextMessageDate, sent.TextMessageDate);
  EXPECT_EQ(got.TextMessageTime, sent.TextMessageTime);
  EXPECT_EQ(got.TextMessageBody, sent.TextMessageBody);
  EXPECT_EQ(lines, "");
}

TEST(ValidNumber, TakesOnlyWhatCanBeDialledAndCarriesNoCommand) {
  for (const char* good : {"+32111222333", "0471", "*#06#", "+12345678901234567890"})
    EXPECT_TRUE(ValidNumber(good)) << good;
  for (const char* bad : {"", "+", "+32;H", "32\"", "0471 22", "123456789012345678901", "++32"})
    EXPECT_FALSE(ValidNumber(bad)) << bad;
}

}  // namespace
