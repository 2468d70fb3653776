// The AUX watch without a display: the line of interrupt 50 it watches, and
// the menu toggle's table of states with a stand-in for the menu.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "aux_watch.h"
#include "capture.h"
#include "process.h"

const char kInterruptsPath[] = UNIT_INTERRUPTS;

namespace {
int MenuStarts[2];
}  // namespace

// The stand-in menu: tells the test it started and shows until it is
// ended, at the latest with the test.
void RunMenu01() {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  char started = 'm';
  if (write(MenuStarts[1], &started, 1) != 1) _exit(2);
  for (;;) pause();
}

namespace {

void WriteInterrupts(const char* text) {
  FILE* file = std::fopen(kInterruptsPath, "w");
  ASSERT_NE(file, nullptr);
  std::fputs(text, file);
  std::fclose(file);
}

bool Within20s(const std::function<bool()>& condition) {
  for (int i = 0; i < 2000 && !condition(); ++i) usleep(10000);
  return condition();
}

bool MenuStarted() {
  pollfd p{MenuStarts[0], POLLIN, 0};
  char started;
  return poll(&p, 1, 20000) == 1 && read(MenuStarts[0], &started, 1) == 1;
}

bool Ends(pid_t pid) {
  return Within20s([pid] { return kill(pid, 0) != 0; });
}

TEST(ReadInterruptLine, FirstLineHolding50OrNothingAtAll) {
  WriteInterrupts("           CPU0\n150:   4  s3c  wifi\n 50:   9  s3c  AUX\n");
  ReadInterruptLine();
  EXPECT_EQ(InterruptLine, "150:   4  s3c  wifi\n");

  rig::CapturedFd err(2);
  WriteInterrupts("           CPU0\n 51:   1  s3c\n");
  ReadInterruptLine();
  EXPECT_EQ(InterruptLine, "") << "nothing kept from the last reading";
  ReadInterruptLine();
  EXPECT_EQ(err.Text(), "201212081100 no line of " UNIT_INTERRUPTS " contains \"50:\"\n");
}

TEST(ToggleMenu, FollowsTheTableOfStates) {
  signal(SIGCHLD, SIG_IGN);  // as the first press leaves it
  ASSERT_EQ(pipe(MenuStarts), 0);
  struct Row {
    const char* before;
    bool menu_ends_by_itself;
    bool opens_menu;
    bool ends_menu;
    int wanted_after;
  };
  const Row kRows[] = {
      {"start-up, no menu", false, true, false, 0},
      {"menu alive", false, false, true, 1},
      {"menu closed by the previous press", false, true, false, 0},
      {"menu ended by itself", true, true, false, 0},
      {"menu alive again", false, false, true, 1},
  };
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.before);
    pid_t previous = MenuPid;
    if (row.menu_ends_by_itself) {
      kill(previous, SIGKILL);
      ASSERT_TRUE(Ends(previous));
    }
    ToggleMenu();
    EXPECT_EQ(MenuWanted, row.wanted_after);
    if (row.opens_menu) {
      EXPECT_TRUE(MenuStarted());
      EXPECT_NE(MenuPid, previous);
      EXPECT_EQ(kill(MenuPid, 0), 0);
    }
    if (row.ends_menu) {
      EXPECT_EQ(MenuPid, previous);
      EXPECT_TRUE(Ends(previous));
    }
  }
  // No menu and no empty child is left behind.
  EXPECT_TRUE(Within20s([] { return rig::CountChildren(getpid()) == 0; }));
}

}  // namespace
