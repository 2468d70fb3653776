// The phone's start and stop scripts on stand-ins: the real framefan joins
// programs that only wait (idle_program under each program's name), so that
// no display or modem is needed. A piece of the phone that dies comes back,
// start.sh mends a phone that runs without a piece and reports one that died
// at start-up, and stop.sh leaves nothing behind.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "frame_test_util.h"
#include "process.h"
#include "wait.h"

namespace {

namespace fs = std::filesystem;

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

using namespace std::chrono_literals;

// A restart comes within a few seconds.
constexpr auto kRestart = 30s;

class PhoneScriptsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/phone-scripts-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root_ = dir;
    fs::create_directories(root_ / "bin");
    fs::create_directories(root_ / "work");
    for (const char* name : {"modembridge", "callhandler", "notifier", "smsreader", "launcher"})
      fs::create_symlink(IDLE_PROGRAM_PATH, root_ / "bin" / name);
    fs::create_symlink(FRAMEFAN_PATH, root_ / "bin/framefan");
    Install({"-m", (root_ / "modem").string()});
  }
  void TearDown() override {
    Script("stop.sh");
    EXPECT_TRUE(rig::ProcessesUsing(root_.string()).empty()) << "the phone outlived stop.sh";
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root_))
      EXPECT_FALSE(entry.is_fifo()) << entry.path();
    EXPECT_FALSE(fs::exists(root_ / "home/gta02/run"));
    if (!HasFailure()) fs::remove_all(root_);
  }

  void Install(std::vector<std::string> options) {
    std::vector<std::string> argv = {"/bin/sh", INSTALL_SCRIPTS_PATH, "-b",
                                     (root_ / "bin").string(), "-w", (root_ / "work").string()};
    argv.insert(argv.end(), options.begin(), options.end());
    rig::Process install(argv, Home());
    ASSERT_EQ(install.WaitForExit(), 0) << install.Stderr();
  }

  rig::EnvVars Home() const { return {{"HOME", (root_ / "home").string()}}; }
  fs::path Gta02(const std::string& path) const { return root_ / "home/gta02" / path; }

  // Runs one of the installed scripts to its end; its standard error.
  std::string Script(const std::string& name, int expected_status = 0) {
    rig::Process script({"/bin/sh", Gta02("scripts/" + name).string()}, Home());
    EXPECT_EQ(script.WaitForExit(60), expected_status) << name << ": " << script.Stderr();
    return script.Stderr();
  }

  // The phone's process of that name (and argument, for the two fans' tags);
  // pid 0 if none.
  rig::ProcessInfo Running(const std::string& name, const std::string& arg = "") const {
    for (const rig::ProcessInfo& process : rig::ProcessesUsing(root_.string()))
      if (process.name == name &&
          (arg.empty() || std::count(process.args.begin(), process.args.end(), arg)))
        return process;
    return {0, "", {}};
  }
  pid_t Find(const std::string& name, const std::string& arg = "") const {
    return Running(name, arg).pid;
  }

  fs::path root_;
};

TEST_F(PhoneScriptsTest, APieceThatDiesIsStartedAgainAndStartMendsAPhoneWithoutOne) {
  EXPECT_NE(Script("start.sh").find("the phone runs"), std::string::npos);
  pid_t fan = Find("framefan", "phone");
  ASSERT_NE(fan, 0) << "no fan for the programs' frames";

  // The fan of the programs' frames is killed; the watch starts another,
  // says so, and frames flow again.
  ASSERT_EQ(kill(fan, SIGKILL), 0);
  ASSERT_TRUE(rig::WaitUntil([&] {
    pid_t now = Find("framefan", "phone");
    return now > 0 && now != fan;
  }, kRestart, 100ms)) << "no new fan";
  std::string log = FileText(Gta02("log/phone.log"));
  EXPECT_NE(log.find("phone-fan ended (status 137); starting it again in 1 s"),
            std::string::npos) << log;
  std::ofstream(Gta02("run/up")) << frametest::Frame({"call", "stop", "+1234567890", ""});
  EXPECT_TRUE(rig::WaitUntil([&] {
    return FileText(Gta02("log/frames.log")).find("call|stop|+1234567890") != std::string::npos;
  }, kRestart, 100ms)) << "the new fan passed no frame on";

  // A program and its watch are killed: the phone runs half, start.sh
  // starts it again whole.
  pid_t callhandler = Find("callhandler");
  ASSERT_NE(callhandler, 0);
  ASSERT_EQ(kill(std::stoi(FileText(Gta02("run/callhandler.watch"))), SIGKILL), 0);
  ASSERT_EQ(kill(callhandler, SIGKILL), 0);
  std::string said = Script("start.sh");
  EXPECT_NE(said.find("the phone ran without callhandler"), std::string::npos) << said;
  EXPECT_NE(said.find("the phone runs"), std::string::npos) << said;
  for (const char* name : {"callhandler", "notifier", "smsreader", "launcher", "modembridge"})
    EXPECT_NE(Find(name), 0) << name;
  EXPECT_NE(Find("framefan", "modem"), 0);

  // A whole phone is left alone.
  EXPECT_NE(Script("start.sh").find("the phone runs already"), std::string::npos);
}

TEST_F(PhoneScriptsTest, StartReportsAProgramThatDiedAtStartUpWithItsLog) {
  fs::remove(root_ / "bin/notifier");
  std::ofstream(root_ / "bin/notifier")
      << "#!/bin/sh\necho '201212081020 cannot open display' >&2\nexit 1\n";
  fs::permissions(root_ / "bin/notifier", fs::perms::owner_all);

  std::string said = Script("start.sh", 1);
  EXPECT_NE(said.find("notifier ended at start-up (status 1)"), std::string::npos) << said;
  EXPECT_NE(said.find("201212081020 cannot open display"), std::string::npos) << said;
  EXPECT_EQ(said.find("callhandler ended"), std::string::npos) << said;
}

TEST_F(PhoneScriptsTest, TheModemSideIsTheOneThatPhoneConfNames) {
  fs::create_symlink(IDLE_PROGRAM_PATH, root_ / "bin/mmbridge");
  Install({"-s", "mmbridge", "-m", "2"});
  Script("start.sh");
  EXPECT_EQ(Running("mmbridge").args,
            (std::vector<std::string>{(root_ / "bin/mmbridge").string(), "2"}));
  EXPECT_EQ(Find("modembridge"), 0);
  Install({"-s", "mmbridge"});
  Script("stop.sh");
  Script("start.sh");
  EXPECT_EQ(Running("mmbridge").args.size(), 1u) << "no modem named: the first";
}

}  // namespace
