// The AUX watch without a display: the line of interrupt 50 it watches, and
// the menu toggle's table of states with a stand-in for the menu.
#include "aux_watch.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <fstream>

#include "capture.h"
#include "process.h"
#include "wait.h"

using namespace std::chrono_literals;

namespace {

int MenuStarts[2];

// The stand-in menu: tells the test it started and shows until it is ended,
// at the latest with the test.
void StandInMenu() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (write(MenuStarts[1], "m", 1) != 1) _exit(2);
  for (;;) pause();
}

TEST(ReadInterruptLine, FirstLineHolding50OrNothingAtAll) {
  AuxWatch watch(UNIT_INTERRUPTS, StandInMenu);
  std::ofstream(UNIT_INTERRUPTS) << "     CPU0\n150:   4  wifi\n 50:   9  AUX\n";
  watch.ReadInterruptLine();
  EXPECT_EQ(watch.InterruptLine, "150:   4  wifi\n");
  rig::CapturedFd err(2);
  std::ofstream(UNIT_INTERRUPTS) << "     CPU0\n 51:   1  usb\n";
  watch.ReadInterruptLine();
  EXPECT_EQ(watch.InterruptLine, "") << "nothing kept from the last reading";
  watch.ReadInterruptLine();
  EXPECT_EQ(err.Text(), "201212081100 no line of " UNIT_INTERRUPTS " contains \"50:\"\n");
}

TEST(ToggleMenu, FollowsTheTableOfStates) {
  signal(SIGCHLD, SIG_IGN);  // as the first press leaves it
  ASSERT_EQ(pipe(MenuStarts), 0);
  AuxWatch watch(UNIT_INTERRUPTS, StandInMenu);
  struct Row {
    const char* before;
    bool menu_ends_by_itself, opens_menu;
    int menu_wanted_after;
  };
  const Row kRows[] = {{"start-up, no menu", false, true, 0},
                       {"menu alive", false, false, 1},
                       {"menu closed by the previous press", false, true, 0},
                       {"menu ended by itself", true, true, 0},
                       {"menu alive again", false, false, 1}};
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.before);
    pid_t previous = watch.MenuPid;
    auto ended = [&] { return kill(previous, 0) != 0; };
    if (row.menu_ends_by_itself) {
      ASSERT_TRUE(kill(previous, SIGKILL) == 0 && rig::WaitUntil(ended, 20s, 10ms));
    }
    watch.ToggleMenu();
    EXPECT_EQ(watch.MenuWanted, row.menu_wanted_after);
    EXPECT_EQ(watch.MenuPid != previous, row.opens_menu);
    pollfd started{MenuStarts[0], POLLIN, 0};
    char byte;
    if (row.opens_menu)
      EXPECT_TRUE(poll(&started, 1, 20000) == 1 && read(MenuStarts[0], &byte, 1) == 1);
    else
      EXPECT_TRUE(rig::WaitUntil(ended, 20s, 10ms)) << "menu not ended";
  }
  // No menu and no empty child is left behind.
  EXPECT_TRUE(rig::WaitUntil([] { return rig::CountChildren(getpid()) == 0; }, 20s, 10ms));
}

}  // namespace
