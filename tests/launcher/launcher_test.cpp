// launcher as a whole program under Xvfb: the AUX presses it reads from a
// file the test rewrites, the menus it shows, and the scripts of a test
// home that write down how they were started.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "capture.h"
#include "menus.h"
#include "program_support.h"

namespace {

namespace fs = std::filesystem;
using programs::TextReference;

constexpr xrig::Rect kFlash = {140, 220, 200, 200};

// What touching a cell of Menu_01, then of the sub-menu it opens, starts:
// the script and where its standard output goes, or nothing.
struct Entry {
  std::vector<int> cells;
  const char* runs;
};
const Entry kEntries[] = {
    {{1}, nullptr},
    {{3}, "suspend.sh pipe"},
    {{5}, "start.sh /dev/null"},
    {{6}, "stop.sh pipe"},
    {{7}, "profile0.sh notify/NotifyPipe"},
    {{8}, "profile1.sh notify/NotifyPipe"},
    {{9}, "profile2.sh notify/NotifyPipe"},
    {{10}, "write_sms.sh pipe"},
    {{11}, "dial.sh pipe"},
    {{12}, "read_sms.sh pipe"},
    {{4, 1}, nullptr},
    {{4, 2}, "start_0201.sh pipe"},
    {{4, 3}, "start_0202.sh pipe"},
    {{4, 4}, nullptr},
    {{4, 5}, "stop_0201.sh pipe"},
    {{4, 6}, "stop_0202.sh pipe"},
    {{4, 7}, "start_0203.sh pipe"},
    {{4, 8}, "start_0204.sh pipe"},
    {{4, 9}, "start_0205.sh pipe"},
    {{4, 10}, "stop_0203.sh pipe"},
    {{4, 11}, "stop_0204.sh pipe"},
    {{4, 12}, "stop_0205.sh pipe"},
    {{2, 1}, nullptr},
    {{2, 2}, "shutdown.sh /dev/null"},
};

// Each script appends its own path below ~/gta02/scripts/ and its standard
// output below ~/gta02/ to ~/ran.
constexpr char kScript[] = R"(#!/bin/sh
out=$(readlink /proc/$$/fd/1)
case $out in pipe:*) out=pipe ;; esac
echo "${0#$HOME/gta02/scripts/} ${out#$HOME/gta02/}" >> "$HOME/ran"
)";

// A touch at a root position inside the cell (1 to 12), away from the flash.
bool TouchMenuCell(int cell) {
  constexpr int kX[] = {80, 240, 400}, kY[] = {80, 200, 440, 560};
  return xrig::TouchRoot(kX[(cell - 1) % 3], kY[(cell - 1) / 3]);
}

// The menu's labels at its own text positions, each cell inside its lines.
bool ShowsLabels(Window window, const MenuTable& menu) {
  std::vector<TextReference::Text> texts;
  for (int cell = 0; cell < kMenuCells; ++cell)
    for (int line = 0; line < kCellLines; ++line)
      texts.push_back({menu.cells[cell].lines[line], 160 * (cell % 3) + 15,
                       160 * (cell / 3) + 50 + 20 * line});
  TextReference expected(texts);
  return xrig::WaitFor([&] {
    xrig::Snapshot shown(window);
    for (int cell = 0; cell < kMenuCells; ++cell)
      if (!expected.Matches(shown, {160 * (cell % 3) + 1, 160 * (cell / 3) + 1, 158, 158}))
        return false;
    return true;
  });
}

// The label lines joined by "/", the cells by "|".
std::string Labels(const MenuTable& menu) {
  std::string text;
  for (const MenuCell& cell : menu.cells) {
    if (!text.empty()) text += "|";
    for (int line = 0; line < kCellLines; ++line)
      text += std::string(line > 0 ? "/" : "") + cell.lines[line];
  }
  return text;
}

class LauncherTest : public ::testing::Test {
 protected:
  LauncherTest() {
    char dir[] = "/tmp/launcher-home-XXXXXX";
    home = mkdtemp(dir);
    fs::create_directories(home + "/gta02/notify");
    fs::create_directories(home + "/gta02/scripts");
    for (const Entry& entry : kEntries) {
      if (entry.runs == nullptr) continue;
      std::string script = std::string(entry.runs).substr(0, std::string(entry.runs).find(' '));
      std::ofstream(home + "/gta02/scripts/" + script) << kScript;
      fs::permissions(home + "/gta02/scripts/" + script, fs::perms::owner_all);
    }
    fs::remove(FAKE_INTERRUPTS);
  }
  ~LauncherTest() override {
    launcher.reset();  // the menus go with its process group
    for (const char* title : {"Menu_01", "Menu_02", "Shutdown Menu"})
      EXPECT_TRUE(xrig::WaitForWindowGone(title));
    fs::remove_all(home);
  }

  void Press() {
    std::ofstream(FAKE_INTERRUPTS ".new")
        << "           CPU0\n 50:   " << ++presses << "  s3c-eint  AUX\n";
    fs::rename(FAKE_INTERRUPTS ".new", FAKE_INTERRUPTS);
  }

  void StartLauncher() {
    Press();
    launcher.emplace(std::vector<std::string>{LAUNCHER_PATH}, rig::EnvVars{{"HOME", home}});
  }

  // Once the menu process has ended by itself, a press opens Menu_01;
  // then the cells are touched, each in the menu it opens.
  void Choose(const std::vector<int>& cells) {
    ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(launcher->Pid()) == 0; }));
    Press();
    const MenuTable* menu = &kMenu01Table;
    for (int cell : cells) {
      Window window = xrig::WaitForWindow(menu->title);
      ASSERT_NE(window, 0u) << menu->title;
      EXPECT_TRUE(ShowsLabels(window, *menu)) << menu->title;
      ASSERT_TRUE(TouchMenuCell(cell));
      ASSERT_TRUE(xrig::WaitForWindowGone(menu->title));
      menu = cell == 2 ? &kShutdownMenuTable : &kMenu02Table;
    }
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
    if (flashes % 2 == 1) {
      Window menu = xrig::WaitForWindow("Menu_01");
      ASSERT_NE(menu, 0u);
      EXPECT_TRUE(ShowsLabels(menu, kMenu01Table));
    } else {
      ASSERT_TRUE(xrig::WaitForWindowGone("Menu_01"));
    }
    ASSERT_TRUE(xrig::WaitFor([&] { return windows.Count(kFlash) >= flashes; }));
    EXPECT_EQ(windows.Count(kFlash), flashes);
  }
  EXPECT_EQ(programs::CountWindows("Menu_01"), 1);
  xrig::Snapshot shown(xrig::FindWindow("Menu_01"));
  for (int y : {160, 320, 480}) EXPECT_TRUE(shown.HorizontalLine(0, 477, y)) << y;
  for (int x : {160, 320}) EXPECT_TRUE(shown.VerticalLine(x, 0, 637)) << x;
  EXPECT_FALSE(shown.HasBlack({0, 0, 160, 1})) << "no line at the top";
  EXPECT_FALSE(shown.HasBlack({0, 0, 1, 160})) << "no line on the left";
  EXPECT_EQ(Ran(), "");
}

TEST_F(LauncherTest, EveryCellRunsItsScriptOpensItsMenuOrCloses) {
  StartLauncher();
  std::vector<Entry> entries(std::begin(kEntries), std::end(kEntries));
  for (int cell = 3; cell <= 12; ++cell) entries.push_back({{2, cell}, nullptr});
  std::string ran;
  for (const Entry& entry : entries) {
    SCOPED_TRACE(::testing::Message() << "cells " << entry.cells[0] << " " << entry.cells.back());
    Choose(entry.cells);
    if (entry.runs == nullptr) continue;
    ran += std::string(entry.runs) + "\n";
    ASSERT_TRUE(xrig::WaitFor([&] { return Ran().size() >= ran.size(); }));
    EXPECT_EQ(Ran(), ran);
  }
  ASSERT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(launcher->Pid()) == 0; }));
  EXPECT_EQ(Ran(), ran);
  EXPECT_EQ(launcher->Stdout(), "");
}

TEST_F(LauncherTest, TouchOnTheScreenEdgeEndsTheMenuWithStatusOne) {
  for (auto [x, y] : {std::pair{0, 100}, std::pair{100, 0}}) {
    rig::Process menu({MENU_DRIVER_PATH}, {{"HOME", home}});
    ASSERT_NE(xrig::WaitForWindow("Menu_01"), 0u);
    ASSERT_TRUE(xrig::TouchRoot(x, y));
    EXPECT_EQ(menu.WaitForExit(), 1) << x << "," << y;
  }
  EXPECT_EQ(Ran(), "");
}

TEST_F(LauncherTest, WithoutItsInterruptFileTheLauncherEnds) {
  rig::Process missing({LAUNCHER_PATH});
  EXPECT_EQ(missing.WaitForExit(), 1);
  EXPECT_EQ(missing.Stdout(), "Opening " FAKE_INTERRUPTS " failed");
}

// The shutdown grandchild in a child of the test, as the menu process
// leaves it: SIGCHLD ignored.
int ShutdownChildStatus(const std::function<void()>& before) {
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    signal(SIGCHLD, SIG_IGN);
    before();
    RunShutdownScript(kShutdownMenuTable.cells[1].command);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(LauncherTest, ShutdownChildEndsWithTheShellsStatusOrOneWithoutAShell) {
  EXPECT_EQ(ShutdownChildStatus([&] { setenv("HOME", home.c_str(), 1); }), 0);
  ASSERT_TRUE(xrig::WaitFor([&] { return Ran() == "shutdown.sh /dev/null\n"; }));

  rig::CapturedFd out(1);
  EXPECT_EQ(ShutdownChildStatus([] {
              // No descriptor left for the shell's pipe.
              close_range(3, ~0u, 0);
              rlimit three = {3, 3};
              setrlimit(RLIMIT_NOFILE, &three);
            }),
            1);
  EXPECT_EQ(out.Text(), "Error running ~/gta02/scripts/shutdown.sh >/dev/null </dev/null &\n");
}

TEST(MenuTable, LabelsAndCommandLinesLetterForLetter) {
  EXPECT_EQ(Labels(kMenu01Table),
            "//Exit//|//Shutdown//|//Suspend//|//More//|//on//|//off//|//Silent//|//Vibrate//|"
            "Vibrate//and//Ring|/Write///SMS|//Dial//|/Read//SMS/");
  EXPECT_EQ(Labels(kMenu02Table),
            "//Exit//|Start//App//_0201|Start//App//_0202|//More//|Stop//App//_0201|"
            "Stop//App//_0202|Start//App//_0203|Start//App//_0204|Start//App//_0205|"
            "Stop//App//_0203|Stop//App//_0204|Stop//App//_0205");
  EXPECT_EQ(Labels(kShutdownMenuTable),
            "//Exit//|/Sure?//yes/|////|////|////|////|////|////|////|////|////|////");
  std::string commands;
  for (const MenuTable* menu : {&kMenu01Table, &kMenu02Table, &kShutdownMenuTable})
    for (const MenuCell& cell : menu->cells)
      if (cell.command != nullptr) commands += std::string(cell.command) + "\n";
  EXPECT_EQ(commands,
            "~/gta02/scripts/suspend.sh &\n"
            "~/gta02/scripts/start.sh </dev/null >/dev/null &\n"
            "~/gta02/scripts/stop.sh &\n"
            "~/gta02/scripts/profile0.sh > ~/gta02/notify/NotifyPipe &\n"
            "~/gta02/scripts/profile1.sh > ~/gta02/notify/NotifyPipe &\n"
            "~/gta02/scripts/profile2.sh > ~/gta02/notify/NotifyPipe &\n"
            "~/gta02/scripts/write_sms.sh &\n"
            "~/gta02/scripts/dial.sh &\n"
            "~/gta02/scripts/read_sms.sh &\n"
            "~/gta02/scripts/start_0201.sh &\n"
            "~/gta02/scripts/start_0202.sh &\n"
            "~/gta02/scripts/stop_0201.sh &\n"
            "~/gta02/scripts/stop_0202.sh &\n"
            "~/gta02/scripts/start_0203.sh &\n"
            "~/gta02/scripts/start_0204.sh &\n"
            "~/gta02/scripts/start_0205.sh &\n"
            "~/gta02/scripts/stop_0203.sh &\n"
            "~/gta02/scripts/stop_0204.sh &\n"
            "~/gta02/scripts/stop_0205.sh &\n"
            "~/gta02/scripts/shutdown.sh >/dev/null </dev/null &\n");
}

}  // namespace
