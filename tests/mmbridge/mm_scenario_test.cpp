// mmbridge as a whole program against the real ModemManager, which runs on
// a private system bus with modemsim as its modem (tools/mmrig). The test
// plays the suite on the bridge's standard streams, the network on the
// simulator's console, and restarts ModemManager under the bridge.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "frame.h"
#include "frame_test_util.h"
#include "process.h"

namespace {

using frametest::Frame;

// ModemManager probes the port and registers the modem in its own time.
constexpr double kModemWait = 180;
constexpr double kWait = 60;

const std::string kPoweringOn = Frame({"gsm", "poweringon"});

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The sms retrieved frame whose text is body, split into its record.
TextMessage Retrieved(const std::string& frames, const std::string& body) {
  size_t end = frames.find(body + "\x1f\x03");
  size_t start = frames.rfind('\x02', end);
  if (end == std::string::npos || start == std::string::npos) return {};
  return SplitTextMessageFrame(frames.substr(start, end + body.size() + 2 - start).c_str());
}

TEST(MmBridgeScenario, CallsAndMessagesThroughModemManagerAcrossItsRestart) {
  char dir_template[] = "/tmp/mmbridge-scenario-XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::string dir = dir_template;
  struct Removed {  // after the processes, which end first
    std::string dir;
    ~Removed() {
      if (::testing::Test::HasFailure()) std::cerr << "kept for a look: " << dir << "\n";
      else EXPECT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
    }
  } removed{dir};

  rig::Process sim({MODEMSIM_PATH, "-l", dir + "/modem"});
  ASSERT_TRUE(sim.WaitForStdout("linked at"));
  rig::Process mm({MMRIG_PATH, dir + "/rig", dir + "/modem"});
  ASSERT_TRUE(mm.WaitFor(
      [&] {
        return mm.Stdout().find("ready\n") != std::string::npos ||
               mm.Stderr().find("mmrig:") != std::string::npos;
      },
      kWait));
  if (mm.Stdout().find("ready\n") == std::string::npos && mm.WaitForExit() == 77)
    GTEST_SKIP() << mm.Stderr();
  ASSERT_NE(mm.Stdout().find("ready\n"), std::string::npos) << mm.Stderr();

  ASSERT_EQ(mkdir((dir + "/home").c_str(), 0700), 0);
  rig::Process bridge(
      {MMBRIDGE_PATH},
      {{"HOME", dir + "/home"}, {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + dir + "/rig/bus"}});
  auto console = [&](const std::string& command, const std::string& evidence) {
    return sim.Write(command + "\n") && sim.WaitForStdout(evidence, kWait);
  };
  auto suite = [&](const std::string& frame) { return bridge.Write(frame); };
  // ModemManager's own log tells when it is ready for what the network
  // does next: calls go out once the modem is registered, and a far end
  // that hangs up must wait until ModemManager watches the call (a NO
  // CARRIER that comes while a command of the registration is in flight is
  // taken as that command's answer).
  auto mm_log_says = [&](const std::string& text, size_t times) {
    return mm.WaitFor([&] { return Count(FileText(dir + "/rig/mm.log"), text) >= times; }, kWait);
  };

  ASSERT_TRUE(bridge.WaitForStdout(kPoweringOn, kModemWait)) << bridge.Stderr() << mm.Stderr();
  ASSERT_TRUE(bridge.WaitForStderr("messages listed", kWait));

  ASSERT_TRUE(mm_log_says("(enabled -> registered)", 1));

  // An incoming call, accepted, and ended by the far end.
  ASSERT_TRUE(console("call +32111222333", "+CLIP"));
  ASSERT_TRUE(bridge.WaitForStdout(Frame({"call", "new", "+32111222333"}), kWait));
  ASSERT_TRUE(suite(Frame({"call", "accept", "+32111222333"})));
  ASSERT_TRUE(bridge.WaitForStdout(Frame({"call", "accepted", "+32111222333"}), kWait));
  ASSERT_TRUE(mm_log_says("now in-call state", 1));
  ASSERT_TRUE(console("hangup", "NO CARRIER"));
  ASSERT_TRUE(bridge.WaitForStdout(Frame({"call", "stopped", "+32111222333"}), kWait));
  EXPECT_EQ(Count(bridge.Stdout(), Frame({"call", "new", "+32111222333"})), 1u);

  // An outgoing call, answered, and ended by the suite's fixed number.
  ASSERT_TRUE(suite(Frame({"call", "start", "+3212345678"})));
  ASSERT_TRUE(sim.WaitForStdout("<< ATD+3212345678;", kWait)) << bridge.Stderr();
  ASSERT_TRUE(bridge.WaitForStdout(Frame({"call", "started", "+3212345678"}), kWait));
  ASSERT_TRUE(mm_log_says("now in-call state", 2));
  ASSERT_TRUE(console("answer", "the far end answered"));
  ASSERT_TRUE(suite(Frame({"call", "stop", "+1234567890"})));
  ASSERT_TRUE(bridge.WaitForStdout(Frame({"call", "stopped", "+3212345678"}), kWait));

  // Two messages come; the first is answered and deleted.
  ASSERT_TRUE(console("sms +3277 Hello there", "+CMTI"));
  ASSERT_TRUE(bridge.WaitForStdout("Hello there\x1f\x03", kWait));
  ASSERT_TRUE(console("sms +3288 Kept for later", "+CMTI"));
  ASSERT_TRUE(bridge.WaitForStdout("Kept for later\x1f\x03", kWait));
  TextMessage hello = Retrieved(bridge.Stdout(), "Hello there");
  TextMessage kept = Retrieved(bridge.Stdout(), "Kept for later");
  EXPECT_EQ(hello.TextAction, "retrieved");
  EXPECT_EQ(hello.PhoneNumber, "+3277");
  EXPECT_EQ(hello.TextMessageNr, 1);
  EXPECT_EQ(kept.TextMessageNr, 2);
  ASSERT_TRUE(hello.TextMessageDate && hello.TextMessageTime);
  const std::string date = *hello.TextMessageDate, time = *hello.TextMessageTime;
  EXPECT_EQ(date.size(), 10u);
  EXPECT_EQ(time.size(), 8u);

  ASSERT_TRUE(
      suite(Frame({"sms", "transmit", "+3277", "1", date, time, "Merci, \xe0 bient\xf4t"})));
  ASSERT_TRUE(sim.WaitForStdout("sent to +3277: Merci, \xc3\xa0 bient\xc3\xb4t\n", kWait));
  ASSERT_TRUE(bridge.WaitForStdout(
      Frame({"sms", "transmitted", "+3277", "1", date, time, "Merci, \xe0 bient\xf4t"}), kWait));
  ASSERT_TRUE(suite(Frame({"sms", "delete", "+3277", "1", date, time, "Hello there"})));
  ASSERT_TRUE(bridge.WaitForStdout(
      Frame({"sms", "deleted", "+3277", "1", date, time, "Hello there"}), kWait));
  ASSERT_TRUE(sim.WaitForStdout("<< AT+CMGD=", kWait));

  // ModemManager restarts under the bridge: the modem comes back, the kept
  // message is not delivered again, and a new one gets a number of its own.
  ASSERT_TRUE(mm.Write("restart\n"));
  ASSERT_TRUE(mm.WaitForStdout("restarted", kWait)) << mm.Stderr();
  ASSERT_TRUE(bridge.WaitForStderr("gone", kWait));
  ASSERT_TRUE(
      bridge.WaitFor([&] { return Count(bridge.Stderr(), "messages listed") == 2; }, kModemWait))
      << bridge.Stderr();
  EXPECT_EQ(Count(bridge.Stdout(), kPoweringOn), 2u);
  ASSERT_TRUE(console("sms +3299 After the restart", "+CMTI"));
  ASSERT_TRUE(bridge.WaitForStdout("After the restart\x1f\x03", kWait));
  TextMessage after = Retrieved(bridge.Stdout(), "After the restart");
  EXPECT_EQ(after.PhoneNumber, "+3299");
  EXPECT_NE(after.TextMessageNr, kept.TextMessageNr);
  EXPECT_EQ(Count(bridge.Stdout(), "Kept for later"), 1u);
  EXPECT_EQ(Count(bridge.Stdout(), "Hello there\x1f\x03"), 2u)
      << "retrieved and deleted, once each";

  bridge.CloseStdin();
  EXPECT_EQ(bridge.WaitForExit(kWait), 0) << bridge.Stderr();
  mm.CloseStdin();
  EXPECT_EQ(mm.WaitForExit(kWait), 0);
}

}  // namespace
