// The bridge's session without a device: bytes from a pretend modem, frames
// from a pretend suite, and time moved by hand.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "capture.h"
#include "frame_test_util.h"
#include "session.h"

namespace {

using frametest::Frame;

const std::string kPoweringOn = Frame({"gsm", "poweringon"});
const std::string kIncoming = "\r\n+CRING: VOICE\r\n\r\n+CLIP: \"+3255\",145,,,,0\r\n";

class SessionTest : public ::testing::Test {
 protected:
  struct Output {
    std::string frames, log;
  };
  Output Run(const std::function<void()>& step) {
    rig::CapturedFd out(1), err(2);
    step();
    return {out.Text(), err.Text()};
  }
  std::string Modem(std::string_view bytes) {
    return Run([&] { session.OnModemBytes(bytes, now); }).frames;
  }
  Output Suite(const std::string& frame) { return Run([&] { session.OnFrame(frame, now); }); }
  std::string Tick() { return Run([&] { session.OnTick(now); }).frames; }
  std::string Sent() { return std::exchange(sent, ""); }

  void StartUp() {
    Output out = Run([&] {
      session.Opened(now);
      for (int i = 0; i < 9; ++i) session.OnModemBytes("\r\nOK\r\n", now);
    });
    EXPECT_EQ(out.frames, kPoweringOn);
    EXPECT_EQ(Sent(),
              "ATE0\rAT+CMEE=1\rAT+CFUN=1\rAT+CLIP=1\rAT+CRC=1\rAT+CMGF=1\r"
              "AT+CSCS=\"IRA\"\rAT+CNMI=2,1,0,0,0\rAT+CMGL=\"ALL\"\r");
  }

  std::string sent;
  Millis now = 1000;
  ModemSession session{[this](std::string_view bytes) { sent += bytes; }};
};

TEST_F(SessionTest, UnsolicitedCodesInsideAResponseAreNeverItsResult) {
  StartUp();
  EXPECT_EQ(Modem("\r\n+CMTI: \"SM\",3\r\n"), "");
  EXPECT_EQ(Sent(), "AT+CMGR=3\r");
  // The call rings twice around the message: one call, one call new.
  std::string frames = Modem(kIncoming +
                             "\r\n+CMGR: \"REC UNREAD\",\"+3266\",,\"26/12/08,09:15:00+04\"\r\n"
                             "OK\r\n\r\n+CREG: 5\r\n" + kIncoming + "\r\nOK\r\n");
  EXPECT_EQ(frames, Frame({"call", "new", "+3255"}) +
                        Frame({"sms", "retrieved", "+3266", "3", "08-12-2026", "09:15:00", "OK"}));
  EXPECT_EQ(Modem("\r\nNO CARRIER\r\n"), Frame({"call", "stopped", "+3255"}));
  EXPECT_EQ(Modem("\r\nOK\r\n\r\nNO CARRIER\r\n"), "") << "nothing in flight, no call";
  EXPECT_EQ(Sent(), "");
}

TEST_F(SessionTest, RingsWithoutANumberAreOneWithheldCallUntilTheyStop) {
  StartUp();
  EXPECT_EQ(Modem("\r\nRING\r\n"), "");
  EXPECT_EQ(session.NextDeadline(), now + 1000);
  now += 999;
  EXPECT_EQ(Tick(), "");
  now += 1;
  EXPECT_EQ(Tick(), Frame({"call", "new", "withheld"}));
  now += 4000;
  EXPECT_EQ(Modem("\r\nRING\r\n\r\n+CLIP: \"+3299\",145\r\n"), "");
  now += 14999;
  EXPECT_EQ(Tick(), "");
  now += 1;
  EXPECT_EQ(Tick(), Frame({"call", "stopped", "withheld"}));
}

TEST_F(SessionTest, OneCommandAtATimeEachEndedByItsResultOrItsTimeout) {
  StartUp();
  EXPECT_EQ(Suite(Frame({"call", "start", "+3211"})).frames, "");
  const std::string remove = Frame({"sms", "delete", "+3266", "4", "08-12-2026", "09:15", "Hi"});
  EXPECT_EQ(Suite(remove).frames, "");
  EXPECT_EQ(Sent(), "ATD+3211;\r");
  EXPECT_EQ(Modem("\r\nBUSY\r\n"), Frame({"call", "stopped", "+3211"}));
  EXPECT_EQ(Sent(), "AT+CMGD=4\r");
  Output failed = Run([&] { session.OnModemBytes("\r\n+CMS ERROR: 321\r\n", now); });
  EXPECT_EQ(failed.frames, "");
  EXPECT_NE(failed.log.find("AT+CMGD=4 failed: +CMS ERROR: 321"), std::string::npos);

  Suite(Frame({"call", "start", "+3212"}));
  Suite(remove);
  EXPECT_EQ(Sent(), "ATD+3212;\r");
  now += 59999;
  EXPECT_EQ(Tick(), "");
  now += 1;
  EXPECT_EQ(Tick(), Frame({"call", "stopped", "+3212"})) << "a dial that never ends";
  EXPECT_EQ(Sent(), "AT+CMGD=4\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"),
            Frame({"sms", "deleted", "+3266", "4", "08-12-2026", "09:15", "Hi"}));
}

TEST_F(SessionTest, MessageTextGoesOnlyAfterThePromptAndEndsWithCtrlZ) {
  StartUp();
  const std::string reply = Frame({"sms", "transmit", "+3266", "3", "08-12-2026", "09:15", "Yes\x1b!"});
  Suite(reply);
  EXPECT_EQ(Sent(), "AT+CMGS=\"+3266\"\r");
  Modem("\r\n");
  EXPECT_EQ(Sent(), "");
  Modem("> ");
  EXPECT_EQ(Sent(), "Yes?!\x1a");
  EXPECT_EQ(Modem("\r\n+CMGS: 17\r\n\r\nOK\r\n"),
            Frame({"sms", "transmitted", "+3266", "3", "08-12-2026", "09:15", "Yes\x1b!"}));

  Suite(reply);
  Sent();
  now += 10000;
  EXPECT_EQ(Tick(), "");
  EXPECT_EQ(Sent(), "\x1b") << "text entry left open would swallow the next command";
}

TEST_F(SessionTest, RefusedRequestsAndUnstorableMessagesReachNothing) {
  StartUp();
  for (const std::string& frame :
       {Frame({"call", "start", "+32;H"}), Frame({"call", "start"}),
        Frame({"sms", "transmit", "+3266", "0", "d", "t", std::string(161, 'x')}),
        Frame({"sms", "transmit", "+32\"66", "0", "d", "t", "Hi"}),
        Frame({"sms", "delete", "+3266", "99", "d", "t", "Hi"}),
        Frame({"sms", "delete", "+3266", "4"})}) {
    Output out = Suite(frame);
    EXPECT_EQ(out.frames, "");
    EXPECT_NE(out.log.find("refused"), std::string::npos) << out.log;
  }
  Output unstorable = Run([&] { session.OnModemBytes("\r\n+CMTI: \"SM\",99\r\n", now); });
  EXPECT_NE(unstorable.log.find("message 99 cannot be stored, left on the SIM"), std::string::npos);
  EXPECT_EQ(Sent(), "");
}

TEST_F(SessionTest, AModemThatGoesAwayEndsTheCallAndTakesNoRequests) {
  StartUp();
  EXPECT_EQ(Modem(kIncoming), Frame({"call", "new", "+3255"}));
  Suite(Frame({"call", "accept", "+3255"}));
  EXPECT_EQ(Sent(), "ATA\r");
  EXPECT_EQ(Modem("\r\nOK\r\n"), Frame({"call", "accepted", "+3255"}));
  Suite(Frame({"call", "stop", "+1234567890"}));
  EXPECT_EQ(Run([&] { session.Lost(); }).frames, Frame({"call", "stopped", "+3255"}));
  EXPECT_NE(Suite(Frame({"call", "start", "+3211"})).log.find("modem not open"), std::string::npos);
  EXPECT_TRUE(session.Idle());
}

}  // namespace
