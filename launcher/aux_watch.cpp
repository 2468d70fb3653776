#include "aux_watch.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "program.h"
#include "screen.h"

AuxWatch::AuxWatch(const char* interrupts_path, void (*show_menu)())
    : interrupts_path_(interrupts_path), show_menu_(show_menu) {}

// Said once: the watch goes on with the empty line, and a line that comes
// back later counts as a press.
void AuxWatch::SayNoAuxLine() {
  if (said_no_aux_line_) return;
  said_no_aux_line_ = true;
  std::fprintf(stderr, "201212081100 no line of %s contains \"50:\"\n", interrupts_path_);
}

// A child that shows the menu when MenuWanted is 1 and else ends at once.
pid_t AuxWatch::ForkMenuProcess() {
  pid_t pid = ForkReapedChild("Forking failed 201109021816\n", stdout);
  if (pid == 0) {
    if (MenuWanted == 1) show_menu_();
    std::exit(0);
  }
  return pid;
}

// Ended children are reaped by the system, so waitpid fails on them.
bool AuxWatch::MenuAlive() const {
  return MenuPid > 0 && waitpid(MenuPid, nullptr, WNOHANG) == 0;
}

void AuxWatch::ReadInterruptLine() {
  FILE* file = std::fopen(interrupts_path_, "r");
  if (file == nullptr) {
    std::printf("Opening %s failed", interrupts_path_);
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

int AuxWatch::CheckAuxButton() {
  ReadInterruptLine();
  if (InterruptLine == LastInterruptLine) return 0;
  signal(SIGCHLD, SIG_IGN);
  FlashFeedback();
  usleep(kAuxPollMicroseconds);
  ReadInterruptLine();
  LastInterruptLine = InterruptLine;
  return 1;
}

// With MenuWanted 0 a menu was opened by the last press: an
// empty child, then the menu ends, or, when it has ended by itself
// meanwhile, a new one opens. Only a child showing the menu becomes
// MenuPid; an empty child that has not quite ended yet would otherwise
// shield the menu from SIGTERM.
void AuxWatch::ToggleMenu() {
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
