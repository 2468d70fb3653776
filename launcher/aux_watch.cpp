#include "aux_watch.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "menus.h"
#include "program.h"
#include "screen.h"

std::string InterruptLine;
std::string LastInterruptLine;
int MenuWanted = 1;
pid_t MenuPid = -1;

namespace {

constexpr unsigned kPollMicroseconds = 500000;

// Said once: the watch goes on with the empty line, and a line that comes
// back later counts as a press.
void SayNoAuxLine() {
  static bool said = false;
  if (said) return;
  said = true;
  std::fprintf(stderr, "201212081100 no line of %s contains \"50:\"\n", kInterruptsPath);
}

// A child that shows the menu when MenuWanted is 1 and else ends at once.
pid_t ForkMenuProcess() {
  pid_t pid = ForkReapedChild("Forking failed 201109021816\n", stdout);
  if (pid == 0) {
    if (MenuWanted == 1) RunMenu01();
    std::exit(0);
  }
  return pid;
}

// Ended children are reaped by the system, so waitpid fails on them.
bool MenuAlive() { return MenuPid > 0 && waitpid(MenuPid, nullptr, WNOHANG) == 0; }

}  // namespace

void ReadInterruptLine() {
  FILE* file = std::fopen(kInterruptsPath, "r");
  if (file == nullptr) {
    std::printf("Opening %s failed", kInterruptsPath);
    std::fflush(stdout);
    std::exit(1);
  }
  InterruptLine.clear();
  char* line = nullptr;
  size_t size = 0;
  while (getline(&line, &size, file) != -1) {
    if (std::strstr(line, "50:") != nullptr) {
      InterruptLine = line;
      break;
    }
  }
  std::free(line);
  std::fclose(file);
  if (InterruptLine.empty()) SayNoAuxLine();
}

int CheckAuxButton() {
  ReadInterruptLine();
  if (InterruptLine == LastInterruptLine) return 0;
  signal(SIGCHLD, SIG_IGN);
  FlashFeedback();
  usleep(kPollMicroseconds);
  ReadInterruptLine();
  LastInterruptLine = InterruptLine;
  return 1;
}

// With MenuWanted at 0 a menu was opened by the last press: an empty child,
// then the menu ends, or, when it has ended by itself meanwhile, a new one
// opens. Only a child showing the menu becomes MenuPid; an empty child that
// has not quite ended yet would otherwise shield the menu from SIGTERM.
void ToggleMenu() {
  if (MenuWanted == 0) {
    ForkMenuProcess();
    MenuWanted = 1;
    if (MenuAlive()) {
      kill(MenuPid, SIGTERM);
      return;
    }
  }
  MenuPid = ForkMenuProcess();
  MenuWanted = 0;
}

void AuxWatchLoop() {
  for (;;) {
    if (CheckAuxButton() == 1) ToggleMenu();
    usleep(kPollMicroseconds);
  }
}
