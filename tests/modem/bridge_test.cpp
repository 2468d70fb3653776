// modembridge as a whole program against modemsim on a real
// pseudo-terminal: the test plays the suite on the bridge's standard
// streams and the network on the simulator's console.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <regex>
#include <string>

#include "frame.h"
#include "frame_test_util.h"
#include "process.h"

namespace {

using frametest::Frame;

const std::string kPoweringOn = Frame({"gsm", "poweringon"});

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class BridgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/modem-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
    StartSim();
    bridge = std::make_unique<rig::Process>(std::vector<std::string>{MODEMBRIDGE_PATH, Link()});
    ASSERT_TRUE(bridge->WaitForStderr("modem ready"));
  }
  void TearDown() override {
    bridge.reset();
    sim.reset();
    unlink(Link().c_str());
    unlink(Scenario().c_str());
    rmdir(dir_.c_str());
  }

  std::string Link() const { return dir_ + "/modem"; }
  std::string Scenario() const { return dir_ + "/scenario"; }
  void StartSim(const std::string& scenario = "") {
    std::vector<std::string> argv = {MODEMSIM_PATH, "-l", Link()};
    if (!scenario.empty()) argv.push_back(scenario);
    sim = std::make_unique<rig::Process>(argv);
    ASSERT_TRUE(sim->WaitForStdout("linked at"));
  }
  // A console command, once the simulator has shown that it took it.
  bool Console(const std::string& command, const std::string& evidence) {
    return sim->Write(command + "\n") && sim->WaitForStdout(evidence);
  }
  bool Suite(const std::string& frame) { return bridge->Write(frame); }

  std::string dir_;
  std::unique_ptr<rig::Process> sim, bridge;
};

TEST_F(BridgeTest, IncomingCallIsAnnouncedOnceAcceptedAndEndedByTheFarEnd) {
  ASSERT_TRUE(Console("call +32111222333", "+CLIP"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "new", "+32111222333"})));
  ASSERT_TRUE(sim->WaitFor([&] { return Count(sim->Stdout(), ">> +CRING: VOICE") >= 2; }));
  ASSERT_TRUE(Suite(Frame({"call", "accept", "+32111222333"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATA"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "accepted", "+32111222333"})));
  ASSERT_TRUE(Console("hangup", "NO CARRIER"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "+32111222333"})));
  EXPECT_EQ(bridge->Stdout(), kPoweringOn + Frame({"call", "new", "+32111222333"}) +
                                  Frame({"call", "accepted", "+32111222333"}) +
                                  Frame({"call", "stopped", "+32111222333"}));
}

TEST_F(BridgeTest, WithheldCallerIsAReadableTextAndTheSuiteCanRejectIt) {
  ASSERT_TRUE(Console("call hidden", "+CLIP"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "new", "withheld"})));
  ASSERT_TRUE(Suite(Frame({"call", "stop", "withheld"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATH"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "withheld"})));
}

TEST_F(BridgeTest, OutgoingCallsStartAndEndFromEitherSide) {
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3212345678"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATD+3212345678;"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "started", "+3212345678"})));
  ASSERT_TRUE(Console("answer", "the far end answered"));
  ASSERT_TRUE(Suite(Frame({"call", "stop", "+1234567890"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATH"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "+3212345678"})));

  ASSERT_TRUE(Suite(Frame({"call", "start", "*#100#"})));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "started", "*#100#"})));
  ASSERT_TRUE(Console("busy", ">> BUSY"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "*#100#"})));
}

TEST_F(BridgeTest, MessageIsReceivedRepliedToAndDeleted) {
  ASSERT_TRUE(Console("sms +3277 Hello there", "+CMTI"));
  ASSERT_TRUE(bridge->WaitForStdout("Hello there\x1f\x03"));
  TextMessage received = SplitTextMessageFrame(bridge->Stdout().c_str() + kPoweringOn.size());
  EXPECT_EQ(received.TextAction, "retrieved");
  EXPECT_EQ(received.PhoneNumber, "+3277");
  EXPECT_EQ(received.TextMessageNr, 1);
  EXPECT_TRUE(std::regex_match(*received.TextMessageDate, std::regex(R"(\d\d-\d\d-20\d\d)")));
  EXPECT_TRUE(std::regex_match(*received.TextMessageTime, std::regex(R"(\d\d:\d\d:\d\d)")));

  const std::string date = *received.TextMessageDate, time = *received.TextMessageTime;
  ASSERT_TRUE(Suite(Frame({"sms", "transmit", "+3277", "1", date, time, "Thanks, see you"})));
  ASSERT_TRUE(sim->WaitForStdout("sent to +3277: Thanks, see you\n"));
  ASSERT_TRUE(bridge->WaitForStdout(
      Frame({"sms", "transmitted", "+3277", "1", date, time, "Thanks, see you"})));

  const std::string remove = Frame({"sms", "delete", "+3277", "1", date, time, "Hello there"});
  ASSERT_TRUE(Console("fail next", "the next command fails"));
  ASSERT_TRUE(Suite(remove));
  ASSERT_TRUE(bridge->WaitForStderr("AT+CMGD=1 failed: +CMS ERROR: 500"));
  ASSERT_TRUE(Suite(remove));
  const std::string deleted = Frame({"sms", "deleted", "+3277", "1", date, time, "Hello there"});
  ASSERT_TRUE(bridge->WaitForStdout(deleted));
  ASSERT_TRUE(sim->WaitForStdout("<< AT+CMGD=1\n>> OK"));
  EXPECT_EQ(Count(sim->Stdout(), "<< AT+CMGD=1"), 2u);
  EXPECT_EQ(Count(bridge->Stdout(), deleted), 1u);
}

TEST_F(BridgeTest, InjectionAttemptsNeverBecomeCommands) {
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3211;H"})));
  ASSERT_TRUE(Suite(Frame({"sms", "transmit", "+3277\rATH", "0", "d", "t", "Hi"})));
  ASSERT_TRUE(Suite(Frame({"sms", "transmit", "+3277", "0", "d", "t", std::string(161, 'x')})));
  ASSERT_TRUE(Suite(Frame({"sms", "transmit", "+3277", "0", "d", "t", "Hi\r\x1a\x1b" "AT+CMGD=1"})));
  ASSERT_TRUE(sim->WaitForStdout("sent to +3277: Hi???AT+CMGD=1\n"));
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3211"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATD+3211;\n"));
  ASSERT_TRUE(bridge->WaitForStderr("modem < ATD+3211;"));
  EXPECT_EQ(Count(bridge->Stderr(), "refused"), 3u);
  EXPECT_EQ(Count(sim->Stdout(), "<< "), 11u) << "start sequence, one message, one dial";
}

TEST_F(BridgeTest, SimulatorKilledAndRestartedUnderTheBridge) {
  {
    std::ofstream scenario(Scenario());
    scenario << "# a message that came while the modem was away\nwait 0.2\nsms +3288 kept while away\n";
  }
  sim->Kill(SIGKILL);
  sim->WaitForExit();
  ASSERT_TRUE(bridge->WaitForStderr("lost"));
  StartSim(Scenario());
  ASSERT_TRUE(bridge->WaitFor([&] { return Count(bridge->Stderr(), "modem ready") == 2; }));
  ASSERT_TRUE(bridge->WaitForStdout("\x1f+3288\x1f"));
  EXPECT_NE(bridge->Stdout().find("kept while away\x1f\x03"), std::string::npos);
  EXPECT_EQ(Count(bridge->Stdout(), kPoweringOn), 2u);
  EXPECT_EQ(Count(bridge->Stderr(), "lost"), 1u);
  EXPECT_LE(Count(bridge->Stderr(), "cannot open"), 1u);

  bridge->CloseStdin();
  EXPECT_EQ(bridge->WaitForExit(), 0);
  EXPECT_NE(bridge->Stderr().find("end of input"), std::string::npos);
}

}  // namespace
