// launcher as a whole program under Xvfb: AUX presses made by rewriting the
// file it watches, its menus, and the scripts of a test home that note down
// how the shell started them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "capture.h"
#include "menus.h"
#include "program_support.h"

namespace {

namespace fs = std::filesystem;

// A cell of Menu_01, the cell then touched in the sub-menu it opens (0:
// none), and the command line that runs (null: none).
struct Entry {
  int cell, sub_cell;
  const char* command;
};
const Entry kEntries[] = {
    {1, 0, nullptr},
    {3, 0, "~/gta02/scripts/suspend.sh &"},
    {5, 0, "~/gta02/scripts/start.sh </dev/null >/dev/null &"},
    {6, 0, "~/gta02/scripts/stop.sh &"},
    {7, 0, "~/gta02/scripts/profile0.sh > ~/gta02/notify/NotifyPipe &"},
    {8, 0, "~/gta02/scripts/profile1.sh > ~/gta02/notify/NotifyPipe &"},
    {9, 0, "~/gta02/scripts/profile2.sh > ~/gta02/notify/NotifyPipe &"},
    {10, 0, "~/gta02/scripts/write_sms.sh &"},
    {11, 0, "~/gta02/scripts/dial.sh &"},
    {12, 0, "~/gta02/scripts/read_sms.sh &"},
    {4, 1, nullptr},
    {4, 2, "~/gta02/scripts/start_0201.sh &"},
    {4, 3, "~/gta02/scripts/start_0202.sh &"},
    {4, 4, nullptr},
    {4, 5, "~/gta02/scripts/stop_0201.sh &"},
    {4, 6, "~/gta02/scripts/stop_0202.sh &"},
    {4, 7, "~/gta02/scripts/start_0203.sh &"},
    {4, 8, "~/gta02/scripts/start_0204.sh &"},
    {4, 9, "~/gta02/scripts/start_0205.sh &"},
    {4, 10, "~/gta02/scripts/stop_0203.sh &"},
    {4, 11, "~/gta02/scripts/stop_0204.sh &"},
    {4, 12, "~/gta02/scripts/stop_0205.sh &"},
    {2, 1, nullptr},
    {2, 2, "~/gta02/scripts/shutdown.sh >/dev/null </dev/null &"},
};

// Each menu's label lines, five to a cell, each ended by ",".
const std::map<std::string, std::string> kLabels = {
    {"Menu_01",
     ",,Exit,,,,,Shutdown,,,,,Suspend,,,,,More,,,,,on,,,,,off,,,,,Silent,,,,,Vibrate,,,Vibrate,,"
     "and,,Ring,,Write,,,SMS,,,Dial,,,,Read,,SMS,,"},
    {"Menu_02",
     ",,Exit,,,Start,,App,,_0201,Start,,App,,_0202,,,More,,,Stop,,App,,_0201,Stop,,App,,_0202,"
     "Start,,App,,_0203,Start,,App,,_0204,Start,,App,,_0205,Stop,,App,,_0203,Stop,,App,,_0204,"
     "Stop,,App,,_0205,"},
    {"Shutdown Menu", ",,Exit,,,,Sure?,,yes,," + std::string(50, ',')}};

// Every script notes its path below ~/gta02/scripts/ and its standard
// output below ~/gta02/ in ~/ran; Noted is that note for a command line.
constexpr char kScript[] = R"(#!/bin/sh
out=$(readlink /proc/$$/fd/1)
case $out in pipe:*) out=pipe ;; esac
echo "${0#$HOME/gta02/scripts/} ${out#$HOME/gta02/}" >> "$HOME/ran")";

std::string Noted(const std::string& command) {
  size_t name = command.find("scripts/") + 8, end = command.find(".sh") + 3;
  bool to_pipe = command.find("NotifyPipe") != std::string::npos;
  bool to_null = command.find(">/dev/null") != std::string::npos;
  return command.substr(name, end - name) + (to_pipe   ? " notify/NotifyPipe\n"
                                             : to_null ? " /dev/null\n"
                                                       : " pipe\n");
}

// The labels at the menu's own text positions, each cell inside its lines.
bool ShowsLabels(Window window, const std::string& title) {
  std::stringstream labels(kLabels.at(title));
  std::vector<std::string> lines;
  for (std::string line; std::getline(labels, line, ',');) lines.push_back(line);
  std::vector<programs::TextReference::Text> texts;
  for (int slot = 0; slot < 60; ++slot)
    texts.push_back(
        {lines.at(slot).c_str(), slot / 5 % 3 * 160 + 15, slot / 15 * 160 + 50 + slot % 5 * 20});
  programs::TextReference expected(texts);
  return xrig::WaitFor([&] {
    xrig::Snapshot shown(window);
    for (int cell = 0; cell < 12; ++cell)
      if (!expected.Matches(shown, {cell % 3 * 160 + 1, cell / 3 * 160 + 1, 158, 158}))
        return false;
    return true;
  });
}

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() {
    char dir[] = "/tmp/launcher-home-XXXXXX";
    home = mkdtemp(dir);
    fs::create_directories(home + "/gta02/notify");
    fs::create_directories(home + "/gta02/scripts");
    for (const Entry& entry : kEntries) {
      if (entry.command == nullptr) continue;
      std::string note = Noted(entry.command);
      std::string script = home + "/gta02/scripts/" + note.substr(0, note.find(' '));
      std::ofstream(script) << kScript;
      fs::permissions(script, fs::perms::owner_all);
    }
    fs::remove(FAKE_INTERRUPTS);
  }
  ~LauncherTest() override {
    launcher.reset();  // its menus go with its process group
    for (const char* title : {"Menu_01", "Menu_02", "Shutdown Menu"})
      EXPECT_TRUE(xrig::WaitForWindowGone(title));
    fs::remove_all(home);
  }

  void Press() {
    std::ofstream(FAKE_INTERRUPTS ".new") << "     CPU0\n 50:   " << ++presses << "  AUX\n";
    fs::rename(FAKE_INTERRUPTS ".new", FAKE_INTERRUPTS);
  }

  void StartLauncher() {
    Press();
    launcher.emplace(std::vector<std::string>{LAUNCHER_PATH}, rig::EnvVars{{"HOME", home}});
  }

  // Waits for the menu and touches the cell (1 to 12) away from the flash.
  void Touch(const char* title, int cell) {
    constexpr int kX[] = {80, 240, 400}, kY[] = {80, 200, 440, 560};
    Window window = xrig::WaitForWindow(title);
    ASSERT_NE(window, 0u) << title;
    EXPECT_TRUE(ShowsLabels(window, title)) << title;
    ASSERT_TRUE(xrig::TouchRoot(kX[(cell - 1) % 3], kY[(cell - 1) / 3]));
    ASSERT_TRUE(xrig::WaitForWindowGone(title));
  }

  std::string Ran() {
    std::stringstream text;
    text << std::ifstream(home + "/ran").rdbuf();
    return text.str();
  }

  std::string home;
  int presses = 0;
  xrig::CreationLog windows;
  std::optional<rig::Process> launcher;
};

TEST_F(LauncherTest, StartUpOpensTheMenuOnceAndEachPressTogglesIt) {
  StartLauncher();
  for (int flashes = 1; flashes <= 3; ++flashes) {
    if (flashes > 1) Press();
    bool open = flashes % 2 == 1;
    ASSERT_TRUE(open ? ShowsLabels(xrig::WaitForWindow("Menu_01"), "Menu_01")
                     : xrig::WaitForWindowGone("Menu_01"));
    ASSERT_TRUE(xrig::WaitFor([&] { return windows.Count({140, 220, 200, 200}) >= flashes; }));
    EXPECT_EQ(windows.Count({140, 220, 200, 200}), flashes);
  }
  EXPECT_EQ(programs::CountWindows("Menu_01"), 1);
  xrig::Snapshot shown(xrig::FindWindow("Menu_01"));
  for (int at : {160, 320})
    EXPECT_TRUE(shown.HorizontalLine(0, 477, at) && shown.VerticalLine(at, 0, 637));
  EXPECT_FALSE(shown.HasBlack({0, 0, 160, 1}) || shown.HasBlack({0, 0, 1, 160}));
  EXPECT_EQ(Ran(), "");
}

// Each entry once the menu process before has ended by itself: every press
// opens a new menu.
TEST_F(LauncherTest, EveryCellRunsItsCommandLineOpensItsMenuOrCloses) {
  StartLauncher();
  std::vector<Entry> entries(std::begin(kEntries), std::end(kEntries));
  for (int cell = 3; cell <= 12; ++cell) entries.push_back({2, cell, nullptr});
  std::string ran;
  auto menu_ended = [&] { return rig::CountChildren(launcher->Pid()) == 0; };
  for (const Entry& entry : entries) {
    SCOPED_TRACE(::testing::Message() << "cells " << entry.cell << " " << entry.sub_cell);
    if (&entry != &entries.front()) {  // the first takes the start-up menu
      ASSERT_TRUE(xrig::WaitFor(menu_ended));
      Press();
    }
    Touch("Menu_01", entry.cell);
    const MenuTable& sub = entry.cell == 2 ? kShutdownMenuTable : kMenu02Table;
    if (entry.sub_cell != 0) Touch(sub.title, entry.sub_cell);
    EXPECT_STREQ(entry.sub_cell != 0 ? sub.cells[entry.sub_cell - 1].command
                                     : kMenu01Table.cells[entry.cell - 1].command,
                 entry.command);
    if (entry.command == nullptr) continue;
    ran += Noted(entry.command);
    ASSERT_TRUE(xrig::WaitFor([&] { return Ran().size() >= ran.size(); }));
    EXPECT_EQ(Ran(), ran);
  }
  ASSERT_TRUE(xrig::WaitFor(menu_ended));
  EXPECT_EQ(Ran(), ran) << "only the entries with a command line ran one";
  EXPECT_EQ(launcher->Stdout(), "");
}

TEST_F(LauncherTest, TouchOnTheScreenEdgeEndsTheMenuProcessWithStatusOne) {
  for (auto [x, y] : {std::pair{0, 100}, std::pair{100, 0}}) {
    rig::Process menu({MENU_DRIVER_PATH}, {{"HOME", home}});
    ASSERT_NE(xrig::WaitForWindow("Menu_01"), 0u);
    ASSERT_TRUE(xrig::TouchRoot(x, y));
    EXPECT_EQ(menu.WaitForExit(), 1) << x << "," << y;
  }
  EXPECT_EQ(Ran(), "");
  rig::Process without_file({LAUNCHER_PATH});
  EXPECT_EQ(without_file.WaitForExit(), 1);
  EXPECT_EQ(without_file.Stdout(), "Opening " FAKE_INTERRUPTS " failed");
}

// The shutdown grandchild in a child that ignores SIGCHLD like the menu
// process; without descriptors for the shell's pipe, popen fails.
TEST_F(LauncherTest, ShutdownChildEndsWithTheShellsStatusOrOneWithoutAShell) {
  rig::CapturedFd out(1);
  for (bool pipe_possible : {true, false}) {
    pid_t pid = fork();
    if (pid == 0) {
      signal(SIGCHLD, SIG_IGN);
      setenv("HOME", home.c_str(), 1);
      rlimit three = {3, 3};
      if (!pipe_possible && (close_range(3, ~0u, 0) != 0 || setrlimit(RLIMIT_NOFILE, &three) != 0))
        _exit(3);
      RunShutdownScript(kShutdownMenuTable.cells[1].command);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(status, pipe_possible ? 0 : 1 << 8);
  }
  EXPECT_TRUE(xrig::WaitFor([&] { return Ran() == "shutdown.sh /dev/null\n"; }));
  EXPECT_EQ(out.Text(), "Error running ~/gta02/scripts/shutdown.sh >/dev/null </dev/null &\n");
}

}  // namespace
