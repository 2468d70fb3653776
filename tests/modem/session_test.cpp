// The bridge's session without a device: bytes from a pretend modem, frames
// from a pretend suite, and time moved by hand.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "capture.h"
#include "frame_test_util.h"
#include "pdu.h"
#include "session.h"

namespace {

using frametest::Frame;
using Replies = std::map<std::string, std::string>;

const std::string kPoweringOn = Frame({"gsm", "poweringon"});
const std::string kIncoming = "\r\n+CRING: VOICE\r\n\r\n+CLIP: \"+3255\",145,,,,0\r\n";

// SMS-DELIVER PDUs as a modem lists them: no service centre, sender +3266,
// stamped 26/12/08 09:15:00 +01:00.
const std::string kFrom3266 = "00" "04" "04912366" "00";
const std::string kStamp = "62218090510040";
const std::string kHi = kFrom3266 + "00" + kStamp + "02" "C834";               // GSM 7-bit "Hi"
const std::string kAccent = kFrom3266 + "08" + kStamp + "04" "00E920AC";     // UCS2 "é€"
const std::string kData = kFrom3266 + "04" + kStamp + "02" "0102";           // 8-bit data
// "Hello" in two UCS2 parts of message 0x2A, with the header flag.
const std::string kPart1 = "00" "44" "04912366" "00" "08" + kStamp + "0C" "0500032A0201" "00480065006C";
const std::string kPart2 = "00" "44" "04912366" "00" "08" + kStamp + "0A" "0500032A0202" "006C006F";

std::string Listed(int index, int stat, const std::string& pdu) {
  return "+CMGL: " + std::to_string(index) + "," + std::to_string(stat) + ",," +
         std::to_string(pdu.size() / 2 - 1) + "\r\n" + pdu + "\r\n";
}
std::string Read(const std::string& pdu) {
  return "+CMGR: 0,," + std::to_string(pdu.size() / 2 - 1) + "\r\n" + pdu + "\r\n\r\nOK";
}
std::string Retrieved(int number, const std::string& body) {
  return Frame({"sms", "retrieved", "+3266", std::to_string(number), "08-12-2026", "09:15:00", body});
}

const std::vector<std::string> kStartCommands = {
    "ATE0",      "AT+CMEE=1", "AT+CPIN?",  "AT+CFUN=1",
    "AT+CLIP=1", "AT+CRC=1",  "AT+CMGF=0", "AT+CPMS=\"SM\",\"SM\",\"SM\"",
    "AT+CNMI=2,1,0,0,0", "AT+CPMS=\"ME\"", "AT+CMGL=4", "AT+CPMS=\"SM\"", "AT+CMGL=4"};

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class SessionTest : public ::testing::Test {
 protected:
  using Output = rig::StepOutput;
  Output Run(const std::function<void()>& step) { return rig::CaptureStep(step); }
  std::string Modem(std::string_view bytes) { return ModemSays(bytes).frames; }
  Output ModemSays(std::string_view bytes) {
    return Run([&] { session.OnModemBytes(bytes, now); });
  }
  Output Suite(const std::string& frame) { return Run([&] { session.OnFrame(frame, now); }); }
  std::string Tick() { return Run([&] { session.OnTick(now); }).frames; }
  std::string Sent() { return std::exchange(sent, ""); }

  // Plays the modem: each command line sent gets its reply (OK when the
  // script has none) until the session sends nothing more.
  Output Converse(const Replies& replies = {}) {
    commands.clear();
    return Run([&] {
      for (size_t end; commands.size() < 200 && (end = sent.find('\r')) != std::string::npos;) {
        std::string command = sent.substr(0, end);
        sent.erase(0, end + 1);
        commands.push_back(command);
        auto reply = replies.find(command);
        session.OnModemBytes("\r\n" + (reply == replies.end() ? "OK" : reply->second) + "\r\n", now);
      }
    });
  }
  Output StartUp(Replies replies = {}, bool opening = false) {
    replies.emplace("AT+CPIN?", "+CPIN: READY\r\n\r\nOK");
    Output out = Converse(replies);
    // A modem just opened may be asleep: it is woken first.
    auto begin = commands.begin() + (opening && !commands.empty() && commands[0] == "AT");
    EXPECT_EQ(std::vector<std::string>(
                  begin, begin + std::min<ptrdiff_t>(commands.end() - begin, kStartCommands.size())),
              kStartCommands);
    EXPECT_EQ(begin - commands.begin(), opening ? 1 : 0);
    return out;
  }
  void SetUp() override {
    Run([&] { session.Opened(now); });
    if (start_up) {
      EXPECT_EQ(StartUp({}, true).frames, kPoweringOn);
    }
  }

  bool start_up = true;
  std::string sent;
  std::vector<std::string> commands;
  Millis now = 1000;
  ModemSession session{[this](std::string_view bytes) { sent += bytes; }, "4711"};
};

TEST_F(SessionTest, UnsolicitedCodesInsideAResponseAreNeverItsResult) {
  EXPECT_EQ(Modem("\r\n+CMTI: \"SM\",3\r\n"), "");
  EXPECT_EQ(Sent(), "AT+CMGR=3\r");
  // The call rings twice around the message: one call, one call new.
  std::string frames = Modem(kIncoming + "\r\n+CMGR: 0,,22\r\n\r\n+CREG: 5\r\n" + kHi + "\r\n" +
                             kIncoming + "\r\nOK\r\n");
  EXPECT_EQ(frames, Frame({"call", "new", "+3255"}) + Retrieved(3, "Hi"));
  EXPECT_EQ(Sent(), "");
  EXPECT_EQ(Modem("\r\nNO CARRIER\r\n"), Frame({"call", "stopped", "+3255"}));
  EXPECT_EQ(Modem("\r\nOK\r\n\r\nNO CARRIER\r\n"), "") << "nothing in flight, no call";
  EXPECT_EQ(Sent(), "");
}

TEST_F(SessionTest, RingsWithoutANumberAreOneWithheldCallUntilTheyStop) {
  EXPECT_EQ(Modem("\r\nRING\r\n"), "");
  now += 1000;
  Tick();
  EXPECT_EQ(Sent(), "AT+CLCC\r") << "no +CLIP: the call list may know the number";
  EXPECT_EQ(Modem("\r\nRING\r\n\r\n+CLCC: 1,1,4,0,0,\"\",128\r\n\r\nOK\r\n"),
            Frame({"call", "new", "withheld"}));
  now += 999;
  EXPECT_EQ(Tick(), "");
  EXPECT_EQ(Sent(), "");
  now += 1;
  Tick();
  EXPECT_EQ(Sent(), "AT+CLCC\r");
  EXPECT_EQ(Modem("\r\n+CLCC: 1,1,4,0,0\r\n\r\nOK\r\n"), "");
  // The caller gives up: no result code at all, the list is empty.
  now += 1000;
  Tick();
  EXPECT_EQ(Sent(), "AT+CLCC\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "stopped", "withheld"}));
  now += 5000;
  EXPECT_EQ(Tick(), "");
  EXPECT_EQ(Sent(), "") << "no call, no polling";

  // A ring the list knows the number of.
  Modem("\r\nRING\r\n");
  now += 5000;
  Tick();
  EXPECT_EQ(Sent(), "AT\r") << "idle for five seconds: woken first";
  Modem("\r\nOK\r\n");
  EXPECT_EQ(Sent(), "AT+CLCC\r");
  EXPECT_EQ(Modem("\r\n+CLCC: 1,1,4,0,0,\"+3299\",145\r\n\r\nOK\r\n"), Frame({"call", "new", "+3299"}));
}

TEST_F(SessionTest, OneCommandAtATimeEachEndedByItsResultOrItsTimeout) {
  EXPECT_EQ(Suite(Frame({"call", "start", "+3211"})).frames, "");
  const std::string remove = Frame({"sms", "delete", "+3266", "4", "08-12-2026", "09:15", "Hi"});
  EXPECT_EQ(Suite(remove).frames, "");
  EXPECT_EQ(Sent(), "ATD+3211;\r");
  EXPECT_EQ(Modem("\r\nBUSY\r\n"), Frame({"call", "stopped", "+3211"}));
  EXPECT_EQ(Sent(), "AT+CMGD=4\r");
  Output failed = ModemSays("\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(failed.frames, "");
  EXPECT_NE(failed.log.find("AT+CMGD=4 failed: +CMS ERROR: 321"), std::string::npos);

  Suite(Frame({"call", "start", "+3212"}));
  Suite(remove);
  EXPECT_EQ(Sent(), "ATD+3212;\r");
  now += 89999;
  EXPECT_EQ(Tick(), "");
  now += 1;
  EXPECT_EQ(Tick(), Frame({"call", "stopped", "+3212"})) << "a dial that never ends";
  EXPECT_EQ(Sent(), "\rAT\r") << "the dial broken off, then back in step";
  EXPECT_EQ(Modem("\r\nNO CARRIER\r\n\r\nOK\r\n"), "");
  EXPECT_EQ(Sent(), "") << "an OK counts once nothing follows it for a while";
  now += 300;
  Tick();
  EXPECT_EQ(Sent(), "AT+CMGD=4\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"),
            Frame({"sms", "deleted", "+3266", "4", "08-12-2026", "09:15", "Hi"}));
}

TEST_F(SessionTest, MessagesGoAsPduPartsAndAreTransmittedOnlyWhenEveryPartWasSent) {
  const std::string reply = Frame({"sms", "transmit", "+3266", "3", "08-12-2026", "09:15",
                                   "Yes\x1b\r\x1a!" + std::string(160, 'x')});
  Suite(reply);
  std::string line = Sent();
  ASSERT_EQ(line.substr(0, 8), "AT+CMGS=");
  EXPECT_EQ(Modem("\r\nOK\r\n"), "") << "an older command's OK before the prompt";
  EXPECT_EQ(Sent(), "");
  Modem("\r\n> ");
  std::string pdu = Sent();
  ASSERT_EQ(pdu.back(), '\x1a');
  pdu.pop_back();
  EXPECT_EQ(line, "AT+CMGS=" + std::to_string(pdu.size() / 2 - 1) + "\r");
  std::string why;
  std::optional<SmsSubmit> first = DecodeSubmit(pdu, &why);
  ASSERT_TRUE(first) << why;
  EXPECT_EQ(first->recipient, "+3266");
  EXPECT_EQ(first->part.total, 2);
  EXPECT_EQ(first->text.substr(0, 7), U"Yes??" U"?!") << "control characters never reach the modem";

  EXPECT_EQ(Modem("\r\n+CMGS: 17\r\n\r\nOK\r\n"), "") << "one part of two";
  ASSERT_EQ(Sent().substr(0, 8), "AT+CMGS=");
  Modem("\r\n> ");
  std::string last = Sent();
  std::optional<SmsSubmit> second = DecodeSubmit(last.substr(0, last.size() - 1), &why);
  ASSERT_TRUE(second) << why;
  EXPECT_EQ(second->part.number, 2);
  EXPECT_EQ(second->part.reference, first->part.reference);
  EXPECT_EQ(Modem("\r\n+CMGS: 18\r\n\r\nOK\r\n"),
            Frame({"sms", "transmitted", "+3266", "3", "08-12-2026", "09:15",
                   "Yes\x1b\r\x1a!" + std::string(160, 'x')}));

  // A part refused: no frame. A prompt never coming: text entry cancelled.
  Suite(reply);
  Sent();
  Modem("\r\n> ");
  Sent();
  Output refused = ModemSays("\r\n+CMS ERROR: 500\r\n");
  EXPECT_EQ(refused.frames, "");
  EXPECT_NE(refused.log.find("message 3 not transmitted"), std::string::npos);
  Suite(reply);
  Sent();
  now += 10000;
  EXPECT_EQ(Tick(), "");
  EXPECT_EQ(Sent(), "\x1b") << "text entry left open would swallow the next command";
  Suite(Frame({"call", "start", "+3211"}));
  EXPECT_EQ(Sent(), "AT\r") << "back in step first";
}

TEST_F(SessionTest, RefusedRequestsAndUnstorableMessagesReachNothing) {
  for (const std::string& frame :
       {Frame({"call", "start", "+32;H"}), Frame({"call", "start"}),
        Frame({"sms", "transmit", "+32\"66", "0", "d", "t", "Hi"}),
        Frame({"sms", "delete", "+3266", "99", "d", "t", "Hi"}),
        Frame({"sms", "delete", "+3266", "4"})}) {
    Output out = Suite(frame);
    EXPECT_EQ(out.frames, "");
    EXPECT_NE(out.log.find("refused"), std::string::npos) << out.log;
  }
  Output unstorable = ModemSays("\r\n+CMTI: \"SM\",50\r\n\r\n+CMTI: \"ME\",49\r\n\r\n+CMTI: \"MT\",1\r\n");
  EXPECT_NE(unstorable.log.find("message 50 cannot be stored, left on the SIM"), std::string::npos);
  EXPECT_NE(unstorable.log.find("message 49 of \"ME\" cannot be stored"), std::string::npos);
  EXPECT_NE(unstorable.log.find("message 1 of \"MT\" cannot be stored"), std::string::npos);
  EXPECT_EQ(Sent(), "");
}

TEST_F(SessionTest, AModemThatGoesAwayEndsTheCallAndTakesNoRequests) {
  EXPECT_EQ(Modem(kIncoming), Frame({"call", "new", "+3255"}));
  Suite(Frame({"call", "accept", "+3255"}));
  EXPECT_EQ(Sent(), "ATA\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "accepted", "+3255"}));
  Suite(Frame({"call", "stop", "+1234567890"}));
  EXPECT_EQ(Run([&] { session.Lost(); }).frames, Frame({"call", "stopped", "+3255"}));
  EXPECT_NE(Suite(Frame({"call", "start", "+3211"})).log.find("modem not open"), std::string::npos);
  EXPECT_TRUE(session.Idle());
}

TEST_F(SessionTest, ALateAnswerIsNeverTakenForTheNextCommands) {
  ModemSays("\r\n+CMTI: \"SM\",3\r\n\r\n+CMTI: \"SM\",4\r\n\r\n+CMTI: \"SM\",3\r\n");
  EXPECT_EQ(Sent(), "AT+CMGR=3\r");
  now += 5000;
  Tick();
  EXPECT_EQ(Sent(), "AT\r") << "back in step before the next read";
  // The late answer, then the AT's own OK.
  EXPECT_EQ(Modem("\r\n+CMGR: 0,,22\r\n" + kHi + "\r\n\r\nOK\r\n\r\nOK\r\n"), "");
  now += 300;
  Tick();
  EXPECT_EQ(Sent(), "AT+CMGR=4\r");
  EXPECT_EQ(Modem("\r\n" + Read(kAccent) + "\r\n"), Retrieved(4, "\xe9?"));
  EXPECT_EQ(Sent(), "AT+CMGR=3\r") << "the read that timed out, once more; its repeat was not queued";
  EXPECT_EQ(Modem("\r\n" + Read(kHi) + "\r\n"), Retrieved(3, "Hi"));
  EXPECT_TRUE(session.Idle());

  // A late bare OK right before the AT's: the one after it is not the next command's.
  Suite(Frame({"call", "start", "+3211"}));
  Sent();
  Modem("\r\nOK\r\n");
  Suite(Frame({"sms", "delete", "+3266", "4", "d", "t", "Hi"}));
  Suite(Frame({"sms", "delete", "+3266", "3", "d", "t", "Hi"}));
  Sent();
  now += 5000;
  Tick();
  EXPECT_EQ(Sent(), "AT\r");
  Modem("\r\nOK\r\n");
  now += 200;
  Modem("\r\nOK\r\n");
  now += 200;
  Tick();
  EXPECT_EQ(Sent(), "") << "the settling starts again";
  now += 100;
  Tick();
  EXPECT_EQ(Sent(), "AT+CMGD=3\r");
}

TEST_F(SessionTest, ManyNewMessagesNeitherFillTheQueueNorHoldAHangUpBack) {
  EXPECT_EQ(Modem(kIncoming), Frame({"call", "new", "+3255"}));
  Suite(Frame({"call", "accept", "+3255"}));
  Modem("\r\nOK\r\n");
  Sent();
  std::string announcements;
  for (int i = 1; i <= 40; ++i) announcements += "\r\n+CMTI: \"SM\"," + std::to_string(i % 20) + "\r\n";
  ModemSays(announcements);
  EXPECT_EQ(Sent(), "AT+CMGR=1\r");
  Output stop = Suite(Frame({"call", "stop", "+1234567890"}));
  EXPECT_EQ(stop.log.find("refused"), std::string::npos) << stop.log;
  Suite(Frame({"call", "stop", "+1234567890"}));  // the user pressed twice: one hang-up
  EXPECT_EQ(Modem("\r\n" + Read(kHi) + "\r\n"), Retrieved(1, "Hi"));
  EXPECT_EQ(Sent(), "AT+CHUP\r") << "the hang-up goes before the reads waiting";
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "stopped", "+3255"}));
  Converse({{"AT+CMGR=5", Read(kAccent)}});
  EXPECT_EQ(commands.size(), 19u) << "each index read once";
}

TEST_F(SessionTest, AHangUpBreaksOffADialAndFallsBackToAth) {
  Suite(Frame({"call", "start", "+3211"}));
  Suite(Frame({"call", "start", "+3212"}));
  EXPECT_EQ(Sent(), "ATD+3211;\r");
  Suite(Frame({"call", "stop", "+1234567890"}));
  EXPECT_EQ(Sent(), "\r") << "any character ends a dial";
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "stopped", "+3211"}));
  EXPECT_TRUE(session.Idle()) << "the dial waiting went with the hang-up";

  Suite(Frame({"call", "start", "+3211"}));
  Sent();
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "started", "+3211"}));
  Suite(Frame({"call", "stop", "+1234567890"}));
  EXPECT_EQ(Sent(), "AT+CHUP\r");
  EXPECT_EQ(Modem("\r\nERROR\r\n"), "");
  EXPECT_EQ(Sent(), "ATH\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "stopped", "+3211"}));
}

TEST_F(SessionTest, TheCallListEndsACallTheModemSaidNothingOf) {
  Suite(Frame({"call", "start", "+3211"}));
  Sent();
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "started", "+3211"}));
  for (const char* state : {"2", "3", "0"}) {
    now += 1000;
    Tick();
    EXPECT_EQ(Sent(), "AT+CLCC\r");
    EXPECT_EQ(Modem("\r\n+CLCC: 1,0," + std::string(state) + ",0,0,\"+3211\",145\r\n\r\nOK\r\n"), "");
  }
  EXPECT_EQ(Modem("\r\n^CEND:1,0,104,16\r\n"), Frame({"call", "stopped", "+3211"}));
  now += 1000;
  Tick();
  EXPECT_EQ(Sent(), "") << "polling ends with the call";

  EXPECT_EQ(Modem(kIncoming), Frame({"call", "new", "+3255"}));
  Suite(Frame({"call", "accept", "+3255"}));
  EXPECT_EQ(Sent(), "ATA\r");
  Modem("\r\nOK\r\n");
  now += 1000;
  Tick();
  EXPECT_EQ(Sent(), "AT+CLCC\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "stopped", "+3255"}));
}

TEST_F(SessionTest, AResetModemIsSetUpAgainAndLosesNoRequest) {
  Suite(Frame({"sms", "delete", "+3266", "4", "d", "t", "Hi"}));
  EXPECT_EQ(Sent(), "AT+CMGD=4\r");
  Output reset = ModemSays("\r\nRDY\r\n\r\nSMS Ready\r\n");
  EXPECT_EQ(Count(reset.log, "started afresh"), 1u);
  Output again = StartUp({{"AT+CMGL=4", Listed(2, 0, kHi) + "\r\nOK"}});
  EXPECT_EQ(again.frames, kPoweringOn + Retrieved(52, "Hi") + Retrieved(2, "Hi") +
                              Frame({"sms", "deleted", "+3266", "4", "d", "t", "Hi"}))
      << "poweringon once per start, unread messages of both storages";
  EXPECT_EQ(commands.back(), "AT+CMGD=4") << "the request in flight, once more";

  // Echo coming back is a reset too.
  Suite(Frame({"call", "start", "+3211"}));
  EXPECT_EQ(Sent(), "ATD+3211;\r");
  Modem("ATD+3211;\r");
  EXPECT_EQ(Sent(), "ATE0\r");
}

class StartTest : public SessionTest {
 protected:
  StartTest() { start_up = false; }
};

TEST_F(StartTest, TheSimDecidesWhatTheStartDoes) {
  // Busy at first: asked again each second, with one log line.
  Output busy;
  for (int i = 0; i < 3; ++i) {
    Output out = Converse({{"AT+CPIN?", "+CME ERROR: 14"}});
    busy.log += out.log;
    now += 1000;
    Tick();
  }
  EXPECT_EQ(Count(busy.log, "SIM busy"), 1u);
  // Then it wants the PIN: entered once, never logged; CFUN's error 11 still
  // means the radio is on.
  Output locked = Converse({{"AT+CPIN?", "+CPIN: SIM PIN\r\n\r\nOK"},
                            {"AT+CPIN=\"4711\"", "+CME ERROR: 16"},
                            {"AT+CFUN=1", "+CME ERROR: 11"}});
  EXPECT_EQ(commands, (std::vector<std::string>{"AT+CPIN?", "AT+CPIN=\"4711\"", "AT+CFUN=1",
                                                "AT+CLIP=1", "AT+CRC=1"}));
  EXPECT_EQ(locked.frames, kPoweringOn);
  EXPECT_EQ(locked.log.find("4711"), std::string::npos) << locked.log;
  EXPECT_NE(locked.log.find("no usable SIM"), std::string::npos);
  EXPECT_NE(locked.log.find("modem ready"), std::string::npos);

  EXPECT_NE(Suite(Frame({"call", "start", "+3211"})).log.find("refused"), std::string::npos);
  EXPECT_NE(Suite(Frame({"sms", "transmit", "+3266", "0", "d", "t", "Hi"})).log.find("refused"),
            std::string::npos);
  Suite(Frame({"call", "start", "112"}));
  EXPECT_EQ(Sent(), "ATD112;\r") << "emergency calls need no SIM";
}

TEST_F(SessionTest, LongMessagesAreJoinedDeliveredOnceAndDeletedWhole) {
  Modem("\r\n+CMTI: \"SM\",7\r\n\r\n+CMTI: \"SM\",5\r\n");
  EXPECT_EQ(Sent(), "AT+CMGR=7\r");
  EXPECT_EQ(Modem("\r\n" + Read(kPart2) + "\r\n"), "");
  EXPECT_EQ(Modem("\r\n" + Read(kPart1) + "\r\n"), Retrieved(5, "Hello"));
  Modem("\r\n+CMTI: \"SM\",8\r\n");
  Output data = ModemSays("\r\n" + Read(kData) + "\r\n");
  EXPECT_EQ(data.frames, "");
  EXPECT_NE(data.log.find("message 8 is 8-bit data, left in the modem"), std::string::npos);
  Modem("\r\n+CMTI: \"SM\",9\r\n");
  Output forged = ModemSays("\r\n+CMGR: 0,,22\r\nRING\r\nOK\r\n");
  EXPECT_EQ(forged.frames, "") << "a ring where the PDU belongs is a ring, not a message";

  // Listed again after a reset: read already, so not handed over again.
  Sent();
  Modem("\r\n+CFUN: 1\r\n");
  Output listed = StartUp({{"AT+CMGL=4", Listed(5, 1, kPart1) + Listed(7, 1, kPart2) +
                                             Listed(8, 1, kData) + Listed(9, 0, "0004FF") + "\r\nOK"}});
  EXPECT_EQ(listed.frames, kPoweringOn);
  EXPECT_NE(listed.log.find("message 9 unreadable"), std::string::npos);

  Suite(Frame({"sms", "delete", "+3266", "5", "d", "t", "Hello"}));
  Output deleted = Converse();
  EXPECT_EQ(commands, (std::vector<std::string>{"AT+CMGD=5", "AT+CMGD=7"}));
  EXPECT_EQ(deleted.frames, Frame({"sms", "deleted", "+3266", "5", "d", "t", "Hello"}));
}

TEST_F(SessionTest, MessagesInTheModemsStorageAreNumberedApart) {
  Modem("\r\n+CMTI: \"ME\",0\r\n\r\n+CMTI: \"SM\",0\r\n");
  Output read = Converse({{"AT+CMGR=0", Read(kHi)}});
  EXPECT_EQ(commands, (std::vector<std::string>{"AT+CPMS=\"ME\"", "AT+CMGR=0", "AT+CPMS=\"SM\"",
                                                "AT+CMGR=0"}));
  EXPECT_EQ(read.frames, Retrieved(50, "Hi") + Retrieved(0, "Hi"));
  Suite(Frame({"sms", "delete", "+3266", "50", "d", "t", "Hi"}));
  Converse();
  EXPECT_EQ(commands, (std::vector<std::string>{"AT+CPMS=\"ME\"", "AT+CMGD=0"}));

  // A response past all bounds fails its command.
  Modem("\r\n+CMTI: \"ME\",1\r\n");
  Sent();
  std::string flood;
  for (int i = 0; i < 200; ++i) flood += "\r\n+CMGR: 0,,1\r\n" + std::string(400, '0') + "\r\n";
  Output over = ModemSays(flood);
  EXPECT_NE(over.log.find("response longer than 64 KiB"), std::string::npos);
  Suite(Frame({"call", "start", "+3211"}));
  EXPECT_EQ(Sent(), "AT\r") << "the rest of it is no answer to the next command";
}

}  // namespace
