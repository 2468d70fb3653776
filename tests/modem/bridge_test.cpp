// modembridge as a whole program against modemsim on a real
// pseudo-terminal: the test plays the suite on the bridge's standard
// streams and the network on the simulator's console.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
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
    if (!start_at_once) return;
    StartSim();
    StartBridge();
  }
  void TearDown() override {
    bridge.reset();
    sim.reset();
    std::filesystem::remove_all(dir_);
  }

  std::string Link() const { return dir_ + "/modem"; }
  std::string Scenario() const { return dir_ + "/scenario"; }
  void StartSim(const std::string& scenario = "", const std::string& profile = "plain") {
    std::vector<std::string> argv = {MODEMSIM_PATH, "-p", profile, "-l", Link()};
    if (!scenario.empty()) argv.push_back(scenario);
    sim = std::make_unique<rig::Process>(argv);
    ASSERT_TRUE(sim->WaitForStdout("linked at"));
  }
  // The bridge runs in the test's folder, where its power switch is looked
  // for.
  void StartBridge(std::vector<std::string> options = {}) {
    options.insert(options.begin(), MODEMBRIDGE_PATH);
    options.push_back(Link());
    bridge = std::make_unique<rig::Process>(options, rig::EnvVars{}, dir_);
    ASSERT_TRUE(bridge->WaitForStderr("modem ready"));
  }
  // A console command, once the simulator has shown that it took it.
  bool Console(const std::string& command, const std::string& evidence) {
    return sim->Write(command + "\n") && sim->WaitForStdout(evidence);
  }
  bool Suite(const std::string& frame) { return bridge->Write(frame); }
  std::string Written(const std::string& name, const std::string& text, mode_t mode) {
    std::string path = dir_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
  }
  // The retrieved frames the bridge wrote, as records.
  std::vector<TextMessage> Retrieved() const {
    std::vector<TextMessage> messages;
    const std::string out = bridge->Stdout();
    for (size_t at = out.find("\x02\x1fsms\x1fretrieved"); at != std::string::npos;
         at = out.find("\x02\x1fsms\x1fretrieved", at + 1))
      messages.push_back(SplitTextMessageFrame(out.substr(at, out.find('\x03', at) - at + 1).c_str()));
    return messages;
  }

  bool start_at_once = true;
  std::string dir_;
  std::unique_ptr<rig::Process> sim, bridge;
};

// Each profile of a real modem, one whole scenario each.
class ProfileTest : public BridgeTest {
 protected:
  ProfileTest() { start_at_once = false; }
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
  ASSERT_TRUE(sim->WaitForStdout("<< AT+CHUP"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "withheld"})));
}

TEST_F(BridgeTest, OutgoingCallsStartAndEndFromEitherSide) {
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3212345678"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATD+3212345678;"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "started", "+3212345678"})));
  ASSERT_TRUE(Console("answer", "the far end answered"));
  ASSERT_TRUE(Suite(Frame({"call", "stop", "+1234567890"})));
  ASSERT_TRUE(sim->WaitForStdout("<< AT+CHUP"));
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
  ASSERT_TRUE(Suite(Frame({"sms", "delete", "+3277", "99", "d", "t", "Hi"})));
  ASSERT_TRUE(Suite(Frame({"sms", "transmit", "+3277", "0", "d", "t", "Hi\r\x1a\x1b" "AT+CMGD=1"})));
  ASSERT_TRUE(sim->WaitForStdout("sent to +3277: Hi???AT+CMGD=1\n"));
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3211"})));
  ASSERT_TRUE(sim->WaitForStdout("<< ATD+3211;\n"));
  ASSERT_TRUE(bridge->WaitForStderr("modem < ATD+3211;"));
  EXPECT_EQ(Count(bridge->Stderr(), "refused"), 3u);
  EXPECT_EQ(Count(sim->Stdout(), "<< ATD"), 1u);
  EXPECT_EQ(Count(sim->Stdout(), "<< AT+CMGS"), 1u);
  EXPECT_EQ(Count(sim->Stdout(), "<< ATH"), 0u);
  EXPECT_EQ(Count(sim->Stdout(), "<< AT+CMGD"), 0u);
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

TEST_F(BridgeTest, ALateAnswerIsReadOnceAndTakenForNothingElse) {
  ASSERT_TRUE(Console("late", "answered 7 s late"));
  ASSERT_TRUE(Console("sms +3277 Late one", "+CMTI"));
  ASSERT_TRUE(bridge->WaitForStderr("AT+CMGR=1 failed: no answer in time"));
  ASSERT_TRUE(Console("sms +3277 Next one", "+CMTI"));
  ASSERT_TRUE(bridge->WaitFor([&] { return Retrieved().size() == 2; }, 40));
  ASSERT_TRUE(bridge->WaitForStderr("in step with the modem again"));
  std::map<int, std::string> messages;
  for (const TextMessage& message : Retrieved()) messages[message.TextMessageNr] = *message.TextMessageBody;
  EXPECT_EQ(messages, (std::map<int, std::string>{{1, "Late one"}, {2, "Next one"}}));
}

TEST_F(ProfileTest, Gta02IsSwitchedOnUnlockedWithItsPinAndWokenFromDeepSleep) {
  std::string power = Written("sys/bus/platform/devices/gta02-pm-gsm.0/power_on", "0\n", 0644);
  StartSim("", "gta02");
  ASSERT_TRUE(Console("pin 4321", "asks for PIN 4321"));
  // A PIN file others may read is refused before anything else.
  rig::Process careless({MODEMBRIDGE_PATH, "--pin-file", Written("pin", "4321\n", 0644), Link()});
  EXPECT_EQ(careless.WaitForExit(), 1);
  EXPECT_NE(careless.Stderr().find("others may read it"), std::string::npos);
  EXPECT_EQ(careless.Stderr().find("4321"), std::string::npos);

  StartBridge({"--pin-file", Written("pin", "4321\n", 0600)});
  std::ifstream switched(power);
  std::string state;
  switched >> state;
  EXPECT_EQ(state, "1");
  EXPECT_EQ(bridge->Stdout(), kPoweringOn);
  EXPECT_EQ(bridge->Stderr().find("4321"), std::string::npos) << "the PIN is never logged";
  EXPECT_TRUE(sim->WaitForStdout("<< AT+CPIN=\"4321\""));

  // UCS2 for the emoji, a surrogate pair: the accents arrive as themselves.
  ASSERT_TRUE(Console("sms +3277 \xc3\x87" "a va? Gr\xc3\xbc\xc3\x9f" "e \xf0\x9f\x98\x80 5\xe2\x82\xac",
                      "+CMTI"));
  ASSERT_TRUE(bridge->WaitFor([&] { return Retrieved().size() == 1; }));
  EXPECT_EQ(Retrieved()[0].TextMessageBody, "\xc7" "a va? Gr\xfc\xdf" "e ? 5?")
      << "Latin-1 lacks the emoji and the euro";

  // Asleep after five idle seconds: the dial is not lost to waking it.
  sleep(6);
  ASSERT_TRUE(Suite(Frame({"call", "start", "+3212345678"})));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "started", "+3212345678"})));
  EXPECT_EQ(sim->Stdout().find("lost in deep sleep"), std::string::npos);
  ASSERT_TRUE(Console("answer", "the far end answered"));
  ASSERT_TRUE(Console("hangup silent", "<< AT+CLCC\n>> OK"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "+3212345678"})));
}

TEST_F(ProfileTest, Eg25KeepsMessagesInItsOwnStorageAndIsSetUpAgainAfterAReset) {
  StartSim("", "eg25");
  StartBridge();
  EXPECT_EQ(bridge->Stdout(), kPoweringOn) << "the SIM's old messages were read before";

  ASSERT_TRUE(Console("sms +3277 Hello there", "+CMTI: \"ME\""));
  ASSERT_TRUE(bridge->WaitFor([&] { return Retrieved().size() == 1; }));
  const int first = Retrieved()[0].TextMessageNr;
  EXPECT_GE(first, 50) << "numbered apart from the SIM's";
  EXPECT_EQ(Retrieved()[0].TextMessageBody, "Hello there");

  const std::string long_text = "A long one. " + std::string(200, 'z');
  ASSERT_TRUE(Console("parts 2 1", "in that order"));
  ASSERT_TRUE(Console("sms +3277 " + long_text, "part 1 of 2"));
  ASSERT_TRUE(bridge->WaitFor([&] { return Retrieved().size() == 2; }));
  TextMessage joined = Retrieved()[1];
  EXPECT_EQ(joined.TextMessageBody, long_text);
  const std::string remove = Frame({"sms", "delete", "+3277", std::to_string(joined.TextMessageNr),
                                    *joined.TextMessageDate, *joined.TextMessageTime, "x"});
  ASSERT_TRUE(Suite(remove));
  ASSERT_TRUE(bridge->WaitForStdout("\x1f" "deleted\x1f"));
  EXPECT_TRUE(sim->WaitFor([&] { return Count(sim->Stdout(), "<< AT+CMGD=") == 2; })) << "every part";

  ASSERT_TRUE(Console("reset", ">> RDY"));
  ASSERT_TRUE(bridge->WaitFor([&] { return Count(bridge->Stderr(), "modem ready") == 2; }, 40));
  EXPECT_EQ(Count(bridge->Stderr(), "started afresh"), 1u);
  EXPECT_EQ(Count(bridge->Stdout(), kPoweringOn), 2u);
  EXPECT_EQ(Retrieved().size(), 2u) << "nothing handed over twice";
  ASSERT_TRUE(Console("sms +3277 After the reset", "+CMTI"));
  ASSERT_TRUE(bridge->WaitFor([&] { return Retrieved().size() == 3; }));
  EXPECT_EQ(Retrieved()[2].TextMessageBody, "After the reset");
}

TEST_F(ProfileTest, SimcomCallsEndByTheCallListAndHangUpWithChup) {
  StartSim("", "simcom");
  StartBridge();
  ASSERT_TRUE(Console("call +32111222333", "+CLIP"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "new", "+32111222333"})));
  ASSERT_TRUE(Suite(Frame({"call", "accept", "+32111222333"})));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "accepted", "+32111222333"})));
  ASSERT_TRUE(Suite(Frame({"call", "stop", "+1234567890"})));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "+32111222333"})));
  EXPECT_EQ(Count(bridge->Stderr(), "modem < ATH"), 0u) << "ATH would leave the call up";

  ASSERT_TRUE(Suite(Frame({"call", "start", "+3212345678"})));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "started", "+3212345678"})));
  ASSERT_TRUE(Console("answer", "the far end answered"));
  ASSERT_TRUE(Console("hangup", "VOICE CALL: END"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "+3212345678"})));

  ASSERT_TRUE(Console("call hidden", "RING"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "new", "withheld"})));
  ASSERT_TRUE(Console("hangup silent", "<< AT+CLCC\n>> OK"));
  ASSERT_TRUE(bridge->WaitForStdout(Frame({"call", "stopped", "withheld"})));
  EXPECT_EQ(Count(bridge->Stdout(), "\x1fstopped\x1f"), 3u);
}

}  // namespace
