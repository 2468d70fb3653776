// modemsim's modem as plain code: bytes in, bytes out, and time moved by
// hand, for each profile.
#include "sim_modem.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "at_syntax.h"
#include "capture.h"
#include "pdu.h"

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEsc = 0x1B;

std::vector<std::string> Lines(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; start < bytes.size(); start = end + 2) {
    end = bytes.find("\r\n", start);
    if (end == std::string::npos) end = bytes.size();
    if (end > start) lines.push_back(bytes.substr(start, end - start));
  }
  return lines;
}

// The PDU line that follows the +CMGR or +CMGL header at `line`.
SmsDeliver Decoded(const std::string& pdu) {
  std::string why;
  std::optional<SmsDeliver> message = DecodeDeliver(pdu, &why);
  EXPECT_TRUE(message) << why << ": " << pdu;
  return message.value_or(SmsDeliver{});
}

class SimModemTest : public ::testing::Test {
 protected:
  void Start(std::string_view profile) {
    modem = std::make_unique<SimModem>(*FindProfile(profile),
                                       [this](std::string_view bytes) { line += bytes; });
  }
  // Starts the profile's modem with echo off and numeric errors.
  void StartQuiet(std::string_view profile) {
    Start(profile);
    EXPECT_EQ(At("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(At("AT+CMEE=1"), "\r\nOK\r\n");
  }
  // What the modem says to one command line (or console command) at `now`.
  std::string At(const std::string& command) { return Feed(command + "\r"); }
  std::string Feed(std::string_view bytes) {
    return Traced([&] { modem->FromLine(bytes, now); });
  }
  std::string Console(std::string_view command) {
    return Traced([&] { modem->Console(command, now); });
  }
  std::string Tick() {
    return Traced([&] { modem->Tick(now); });
  }
  std::string Traced(const std::function<void()>& step) {
    rig::CapturedFd out(1);
    step();
    trace += out.Text();
    return std::exchange(line, "");
  }

  std::string line, trace;
  Millis now = 100000;
  std::unique_ptr<SimModem> modem;
};

TEST(AtSyntax, LinesSplitIntoBasicExtendedAndDialCommands) {
  using Commands = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("E0 V1"), Commands({"E0", "V1"}));
  EXPECT_EQ(SplitCommandLine("X4 &C1S0=0"), Commands({"X4", "&C1", "S0=0"}));
  EXPECT_EQ(SplitCommandLine("+CMEE=1;+CPMS=\"S;M\";E0"),
            Commands({"+CMEE=1", "+CPMS=\"S;M\"", "E0"}));
  EXPECT_EQ(SplitCommandLine("E0D+32 11;"), Commands({"E0", "D+3211;"}));
  EXPECT_EQ(SplitCommandLine(""), Commands());
  EXPECT_EQ(SplitCommandLine("E0;+CMEE=1;"), Commands({"E0", "+CMEE=1"}));
  EXPECT_FALSE(SplitCommandLine("E0;;"));
  EXPECT_FALSE(SplitCommandLine("#"));
  EXPECT_EQ(Values("\"SM\",,\"a,b\""), Commands({"SM", "", "a,b"}));
}

TEST_F(SimModemTest, PduMessageIsAnnouncedReadListedInBothModesAndDeleted) {
  StartQuiet("plain");
  EXPECT_EQ(At("AT+CMGF=0;+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
  EXPECT_EQ(Console("sms +3277 Hello there"), "\r\n+CMTI: \"SM\",1\r\n");

  std::vector<std::string> read = Lines(At("AT+CMGR=1"));
  ASSERT_EQ(read.size(), 3u);
  const std::string pdu = read[1];
  const int centre = std::stoi(pdu.substr(0, 2), nullptr, 16);
  EXPECT_EQ(read[0], "+CMGR: 0,," + std::to_string(pdu.size() / 2 - 1 - centre));
  EXPECT_EQ(read[2], "OK");
  SmsDeliver message = Decoded(pdu);
  EXPECT_EQ(message.sender, "+3277");
  EXPECT_EQ(message.text, U"Hello there");

  // Read once, it is read: no longer among the unread.
  const std::string length = read[0].substr(read[0].rfind(','));
  EXPECT_EQ(Lines(At("AT+CMGR=1"))[0], "+CMGR: 1," + length);
  EXPECT_EQ(At("AT+CMGL=0"), "\r\nOK\r\n");
  EXPECT_EQ(Lines(At("AT+CMGL=4")), std::vector<std::string>({"+CMGL: 1,1," + length, pdu, "OK"}));
  EXPECT_EQ(At("AT+CMGL=\"ALL\""), "\r\n+CMS ERROR: 304\r\n");

  EXPECT_EQ(At("AT+CMGF=1"), "\r\nOK\r\n");
  std::vector<std::string> text = Lines(At("AT+CMGL=\"ALL\""));
  ASSERT_EQ(text.size(), 3u);
  EXPECT_TRUE(text[0].starts_with("+CMGL: 1,\"REC READ\",\"+3277\",,\"")) << text[0];
  EXPECT_EQ(text[1], "Hello there");

  EXPECT_EQ(Console("sms +3288 Caf\xc3\xa9"), "\r\n+CMTI: \"SM\",2\r\n");
  EXPECT_EQ(Lines(At("AT+CMGR=2"))[1], "Caf?");
  EXPECT_EQ(At("AT+CSCS=\"8859-1\""), "\r\nOK\r\n");
  EXPECT_EQ(Lines(At("AT+CMGR=2"))[1], "Caf\xe9");
  EXPECT_EQ(Console("fail next"), "");
  EXPECT_EQ(At("AT+CMGD=1"), "\r\n+CMS ERROR: 500\r\n");

  EXPECT_EQ(Console("sms +3299 Unread"), "\r\n+CMTI: \"SM\",3\r\n");
  EXPECT_EQ(At("AT+CMGD=1,1"), "\r\nOK\r\n") << "every message read goes";
  EXPECT_EQ(Lines(At("AT+CMGL=\"ALL\"")).size(), 3u);
  EXPECT_EQ(At("AT+CMGD=1,4"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGL=\"ALL\""), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGD=1"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGR=1"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(At("AT+CMGR=21"), "\r\n+CMS ERROR: 321\r\n");
  EXPECT_EQ(At("AT+CMGD=x"), "\r\n+CMS ERROR: 321\r\n");
}

TEST_F(SimModemTest, PduSentAfterThePromptCancelledWithEscOrRefusedWhenItIsWrong) {
  StartQuiet("plain");
  EXPECT_EQ(At("AT+CMGF=0"), "\r\nOK\r\n");
  std::vector<SubmitPdu> submit = EncodeSubmit("+3277", U"Thanks, \u20ac 5", 0);
  ASSERT_EQ(submit.size(), 1u);
  const std::string length = std::to_string(submit[0].tpdu_length);

  EXPECT_EQ(At("AT+CMGS=" + length), "\r\n> ");
  EXPECT_EQ(Feed(submit[0].hex.substr(0, 10)), "");
  EXPECT_EQ(Feed(submit[0].hex.substr(10) + kCtrlZ), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
  EXPECT_NE(trace.find("sent to +3277: Thanks, \xe2\x82\xac 5\n"), std::string::npos) << trace;

  EXPECT_EQ(At("AT+CMGS=" + length), "\r\n> ");
  EXPECT_EQ(Feed(submit[0].hex + kEsc), "\r\nOK\r\n");
  // The length announced must be the PDU's; hex must be hex.
  EXPECT_EQ(At("AT+CMGS=" + std::to_string(submit[0].tpdu_length + 1)), "\r\n> ");
  EXPECT_EQ(Feed(submit[0].hex + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(At("AT+CMGS=" + length), "\r\n> ");
  EXPECT_EQ(Feed(std::string(5000, 'Z') + kCtrlZ), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(At("AT+CMGS=0"), "\r\n+CMS ERROR: 304\r\n");
  EXPECT_EQ(At("AT+CMGS=" + length), "\r\n> ");
  EXPECT_EQ(Feed(submit[0].hex + kCtrlZ), "\r\n+CMGS: 2\r\n\r\nOK\r\n");

  // Text mode takes the number and the text.
  EXPECT_EQ(At("AT+CMGF=1"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGS=\"+3288\""), "\r\n> ");
  EXPECT_EQ(Feed(std::string("See you") + kCtrlZ), "\r\n+CMGS: 3\r\n\r\nOK\r\n");
  EXPECT_NE(trace.find("sent to +3288: See you\n"), std::string::npos);
}

TEST_F(SimModemTest, LongUcs2AndAlphanumericMessagesArriveAsTheyWereAsked) {
  StartQuiet("plain");
  EXPECT_EQ(At("AT+CMGF=0;+CNMI=2,1"), "\r\nOK\r\n");
  EXPECT_EQ(Console("parts 2 1"), "");
  EXPECT_EQ(Console("sms Short message"), "\r\n+CMTI: \"SM\",1\r\n");
  EXPECT_EQ(Console("sms +3277 " + std::string(200, 'x')),
            "\r\n+CMTI: \"SM\",2\r\n\r\n+CMTI: \"SM\",3\r\n");
  // The first part is left out, and there is no third.
  EXPECT_EQ(Console("parts 3 2"), "");
  EXPECT_EQ(Console("sms \"My Bank\" " + std::string(200, 'y')), "\r\n+CMTI: \"SM\",4\r\n");
  EXPECT_EQ(Console("sms 0475 \xd0\x9a\xd0\xbe\xd0\xb4 1234"), "\r\n+CMTI: \"SM\",5\r\n");

  EXPECT_EQ(Decoded(Lines(At("AT+CMGR=1"))[1]).sender, "Short");
  // The order asked for held for the message in parts, not the short one.
  SmsDeliver second = Decoded(Lines(At("AT+CMGR=2"))[1]),
             first = Decoded(Lines(At("AT+CMGR=3"))[1]);
  EXPECT_EQ(first.part.number, 1);
  EXPECT_EQ(second.part.number, 2);
  EXPECT_EQ(second.part.total, 2);
  EXPECT_EQ(first.part.reference, second.part.reference);
  EXPECT_EQ(first.text + second.text, std::u32string(200, U'x'));

  SmsDeliver alone = Decoded(Lines(At("AT+CMGR=4"))[1]);
  EXPECT_EQ(alone.sender, "My Bank");
  EXPECT_EQ(alone.part.number, 2);
  EXPECT_NE(alone.part.reference, first.part.reference);

  SmsDeliver cyrillic = Decoded(Lines(At("AT+CMGR=5"))[1]);
  EXPECT_EQ(cyrillic.sender, "0475");
  EXPECT_EQ(cyrillic.text, U"\u041a\u043e\u0434 1234");
  // Text mode in IRA has no Cyrillic.
  EXPECT_EQ(At("AT+CMGF=1"), "\r\nOK\r\n");
  EXPECT_EQ(Lines(At("AT+CMGR=5"))[1], "??? 1234");

  EXPECT_EQ(Console("simfull"), "");
  EXPECT_EQ(Console("sms +3277 lost"), "");
  EXPECT_NE(trace.find("SM full"), std::string::npos);
}

TEST_F(SimModemTest, GenericQueriesOfAModemStack) {
  Start("plain");
  EXPECT_EQ(At("ATZ"), "ATZ\r\r\nOK\r\n");
  EXPECT_EQ(At("ATE0 V1"), "ATE0 V1\r\r\nOK\r\n");
  EXPECT_EQ(At("ATX4 &C1"), "\r\nOK\r\n");
  EXPECT_EQ(At("ATI"), "\r\nmodemsim\r\nGeneric GSM modem\r\nRevision: 1.0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CGSN"), "\r\n352099001761481\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+GCAP"), "\r\n+GCAP: +CGSM\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CFUN?"), "\r\n+CFUN: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CREG=2;+CREG?"), "\r\n+CREG: 2,1,\"0001\",\"00000001\"\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CEREG?"), "\r\n+CEREG: 0,0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+COPS?"), "\r\n+COPS: 0,0,\"modemsim\",0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+COPS=3,2;+COPS?"), "\r\n+COPS: 0,2,\"00101\",0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CLCK=\"SC\",2"), "\r\n+CLCK: 0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CPMS=\"SM\",\"SM\",\"SM\""), "\r\n+CPMS: 0,20,0,20,0,20\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CPMS=\"XX\""), "\r\n+CMS ERROR: 302\r\n");
  EXPECT_EQ(At("AT+CMGF=?"), "\r\n+CMGF: (0-1)\r\n\r\nOK\r\n");

  // Radio off: no network, and a dial goes nowhere.
  EXPECT_EQ(At("AT+CFUN=0"), "\r\n+CREG: 0\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CSQ"), "\r\n+CSQ: 99,99\r\n\r\nOK\r\n");
  EXPECT_EQ(At("ATD+3211;"), "\r\nNO CARRIER\r\n");
  EXPECT_EQ(At("AT+CFUN=1"), "\r\n+CREG: 1,\"0001\",\"00000001\"\r\n\r\nOK\r\n");

  EXPECT_EQ(At("AT+CLCC"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CLIP=1;+CRC=1"), "\r\nOK\r\n");
  EXPECT_EQ(Console("call +3255"), "\r\n+CRING: VOICE\r\n\r\n+CLIP: \"+3255\",145\r\n");
  EXPECT_EQ(At("AT+CLCC"), "\r\n+CLCC: 1,1,4,0,0,\"+3255\",145\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+VTS=5"), "\r\nERROR\r\n") << "no call is up";
  EXPECT_EQ(At("ATA"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+VTS=5"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CHUP;+CLCC"), "\r\nOK\r\n");

  // What it does not know fails, as a number only after AT+CMEE=1.
  EXPECT_EQ(At("AT+FOO"), "\r\nERROR\r\n");
  EXPECT_EQ(At("AT+CMEE=1;+FOO;+CMEE=0"), "\r\n+CME ERROR: 100\r\n");
  EXPECT_EQ(At("AT+CMEE?"), "\r\n+CMEE: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(At("junk before AT"), "\r\nOK\r\n");
}

TEST_F(SimModemTest, LockedBusyAndMissingSims) {
  StartQuiet("plain");
  EXPECT_EQ(At("AT+CREG=1"), "\r\nOK\r\n");
  EXPECT_EQ(Console("pin 1234"), "\r\n+CREG: 0\r\n");
  EXPECT_EQ(At("AT+CPIN?;+CLCK=\"SC\",2"), "\r\n+CPIN: SIM PIN\r\n\r\n+CLCK: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGL=4"), "\r\n+CMS ERROR: 311\r\n");
  EXPECT_EQ(At("AT+CIMI"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(At("AT+CFUN=1"), "\r\nOK\r\n");
  for (int wrong = 0; wrong < 3; ++wrong)
    EXPECT_EQ(At("AT+CPIN=\"0000\""), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(At("AT+CPIN?"), "\r\n+CPIN: SIM PUK\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CPIN=\"1234\""), "\r\n+CME ERROR: 16\r\n");
  EXPECT_EQ(At("AT+CPIN=\"12345678\",\"4321\""), "\r\n+CREG: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CIMI"), "\r\n001010123456789\r\n\r\nOK\r\n");

  EXPECT_EQ(Console("simbusy 2"), "");
  EXPECT_EQ(At("AT+CPIN?"), "\r\n+CME ERROR: 14\r\n");
  EXPECT_EQ(At("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CMGL=4"), "\r\n+CMS ERROR: 314\r\n");
  EXPECT_EQ(At("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");

  // A reset asks for the PIN again.
  EXPECT_EQ(Console("reset"), "");
  EXPECT_EQ(At("AT+CPIN?"), "AT+CPIN?\r\r\n+CPIN: SIM PIN\r\n\r\nOK\r\n");
  EXPECT_EQ(At("ATE0;+CMEE=1;+CREG=1;+CPIN=4321"),
            "ATE0;+CMEE=1;+CREG=1;+CPIN=4321\r\r\n+CREG: 1\r\n\r\nOK\r\n");

  EXPECT_EQ(Console("nosim"), "\r\n+CREG: 0\r\n");
  EXPECT_EQ(At("AT+CPIN?"), "\r\n+CME ERROR: 10\r\n");
  EXPECT_EQ(At("AT+CMGR=1"), "\r\n+CMS ERROR: 310\r\n");
}

TEST_F(SimModemTest, LateAnswerHoldsEverythingBehindIt) {
  StartQuiet("plain");
  EXPECT_EQ(Console("late"), "");
  EXPECT_EQ(At("AT+CSQ"), "");
  EXPECT_EQ(Feed("AT+CGMI\r"), "");
  EXPECT_EQ(Console("call +3255"), "");
  now += 6999;
  EXPECT_EQ(Tick(), "");
  now += 1;
  EXPECT_EQ(Tick(),
            "\r\n+CSQ: 20,99\r\n\r\nOK\r\n\r\nRING\r\n\r\nRING\r\n\r\nmodemsim\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT"), "\r\nOK\r\n");
}

TEST_F(SimModemTest, Gta02SleepsEatsTheWakingLineAndWantsAnUnlockedSim) {
  Start("gta02");
  EXPECT_EQ(At("ATE0"), "") << "asleep from the start";
  EXPECT_EQ(At("ATE0"), "ATE0\r\r\nOK\r\n");
  now += 4999;
  EXPECT_EQ(At("AT+CMEE=1"), "\r\nOK\r\n");
  now += 5000;
  EXPECT_EQ(At("AT+CSQ"), "");
  EXPECT_NE(trace.find("lost in deep sleep: AT+CSQ"), std::string::npos);
  now += 6000;
  EXPECT_EQ(Feed("A"), "");
  EXPECT_EQ(Feed("T\r"), "\r\nOK\r\n") << "a lone AT wakes it and is answered";
  EXPECT_EQ(At("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
  now += 5000;
  EXPECT_EQ(Feed("\x1a"), "") << "Ctrl-Z wakes it too";
  EXPECT_EQ(At("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");

  EXPECT_EQ(Console("pin 1234"), "");
  EXPECT_EQ(At("AT+CFUN=0"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CFUN=1"), "\r\n+CME ERROR: 11\r\n");
  EXPECT_EQ(At("AT+CFUN?"), "\r\n+CFUN: 1\r\n\r\nOK\r\n") << "the radio is on all the same";
  EXPECT_EQ(At("AT+CNMI=2,1,0,0,0"), "\r\n+CMS ERROR: 311\r\n");
  EXPECT_EQ(At("AT+CPIN=\"1234\""), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
}

TEST_F(SimModemTest, Eg25StoresInMeAndResetsToDefaultsWithRdy) {
  StartQuiet("eg25");
  EXPECT_EQ(At("AT+CMGF=0;+CPMS=\"SM\",\"SM\",\"SM\";+CNMI=2,1"),
            "\r\n+CPMS: 2,20,2,20,2,20\r\n\r\nOK\r\n");
  EXPECT_EQ(Console("sms +3277 New one"), "\r\n+CMTI: \"ME\",1\r\n");
  EXPECT_EQ(Decoded(Lines(At("AT+CMGR=1"))[1]).text, U"an old message, left on the SIM");
  EXPECT_EQ(At("AT+CPMS=\"ME\""), "\r\n+CPMS: 1,50,2,20,2,20\r\n\r\nOK\r\n");
  EXPECT_EQ(Decoded(Lines(At("AT+CMGR=1"))[1]).text, U"New one");

  EXPECT_EQ(Console("reset"), "\r\nRDY\r\n");
  EXPECT_EQ(At("AT+CMGF=0"), "AT+CMGF=0\r\r\n+CMS ERROR: 314\r\n") << "echo on, SIM not read";
  EXPECT_EQ(At("AT+CMGF?"), "AT+CMGF?\r\r\n+CMS ERROR: 314\r\n");
  now += 2000;
  EXPECT_EQ(Tick(), "\r\n+QIND: SMS DONE\r\n");
  EXPECT_EQ(At("AT+CMGF?"), "AT+CMGF?\r\r\n+CMGF: 1\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CNMI?"), "AT+CNMI?\r\r\n+CNMI: 0,0,0,0,0\r\n\r\nOK\r\n");
  EXPECT_EQ(Console("sms +3277 Unannounced"), "");
}

TEST_F(SimModemTest, SimcomAthLeavesTheCallUpWhichEndsWithItsDuration) {
  StartQuiet("simcom");
  EXPECT_EQ(Console("call 0475"), "\r\nRING\r\n");
  EXPECT_EQ(At("ATA"), "\r\nOK\r\n");
  now += 65000;
  EXPECT_EQ(At("ATH"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CLCC"), "\r\n+CLCC: 1,1,0,0,0,\"0475\",129\r\n\r\nOK\r\n");
  EXPECT_EQ(Console("hangup"), "\r\nVOICE CALL: END: 000105\r\n");
  // With AT+CVHU=0, ATH ends it.
  EXPECT_EQ(Console("call 0475"), "\r\nRING\r\n");
  EXPECT_EQ(At("AT+CVHU=0;H;+CLCC"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CLCC"), "\r\nOK\r\n");

  EXPECT_EQ(Console("call hidden"), "\r\nRING\r\n");
  EXPECT_EQ(At("AT+CLCC"), "\r\n+CLCC: 1,1,4,0,0,\"\",128\r\n\r\nOK\r\n");
  EXPECT_EQ(At("AT+CHUP;+CLCC"), "\r\nOK\r\n");
  EXPECT_EQ(At("ATD+3211;"), "\r\nOK\r\n");
  EXPECT_EQ(At("AT+CLCC"), "\r\n+CLCC: 1,0,3,0,0,\"+3211\",145\r\n\r\nOK\r\n");
  EXPECT_EQ(Console("hangup silent"), "");
  EXPECT_EQ(At("AT+CLCC"), "\r\nOK\r\n");

  EXPECT_EQ(Console("reset"), "");
  now += 2000;
  EXPECT_EQ(Tick(), "\r\nCall Ready\r\n\r\nSMS Ready\r\n");
  EXPECT_EQ(At("AT+CVHU?"), "AT+CVHU?\r\r\n+CVHU: 1\r\n\r\nOK\r\n") << "back to its default";
}

TEST_F(SimModemTest, GarbageOnThePortLosesNoStoredMessageAndLeavesItAnswering) {
  // Pieces of commands, joined at random and with random bytes between them.
  const std::vector<std::string> pieces = {
      "AT",    "at",     "+CMGS=", "+CMGR=", "+CMGL=",      "+CPMS=", "+CSCS=", "+CPIN=", "+CMGF=",
      "+CLCC", "+CREG=", "+VTS=",  "D",      "A",           "H",      "E",      "I",      "&",
      "S",     "\"",     ";",      ",",      "?",           "=?",     "\r",     "\x1a",   "\x1b",
      "0",     "1",      "4",      "25",     "99999999999", "00",     "07F",    "\"ME\"", "\"SM\""};
  std::mt19937 random(2026);
  std::uniform_int_distribution<int> piece(0, static_cast<int>(pieces.size()) * 2), length(1, 24);
  for (const char* profile : {"plain", "gta02", "eg25", "simcom"}) {
    Start(profile);
    At("AT");
    EXPECT_EQ(At("ATE0;+CMGF=0;+CNMI=2,1"), "ATE0;+CMGF=0;+CNMI=2,1\r\r\nOK\r\n") << profile;
    Console("sms +3277 Keep me");
    for (int chunk = 0; chunk < 300; ++chunk) {
      std::string bytes;
      for (int n = length(random); n > 0; --n) {
        size_t chosen = piece(random);
        bytes +=
            chosen < pieces.size() ? pieces[chosen] : std::string(1, static_cast<char>(random()));
      }
      Feed(bytes);
      Tick();
      now += 10;
    }
    Feed("\x1b\r");
    EXPECT_TRUE(At("AT").ends_with("\r\nOK\r\n")) << profile;
    At("ATE0;+CMGF=1;+CPMS=\"SM\",\"SM\",\"SM\";+CMEE=1");
    EXPECT_NE(At(std::string("AT+CPMS=\"") + (profile == std::string("eg25") ? "ME" : "SM") +
                 "\";+CMGL=\"ALL\"")
                  .find("Keep me"),
              std::string::npos)
        << profile;
  }
}

}  // namespace
