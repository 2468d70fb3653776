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

// A child that shows the menu when next_child_shows_menu_ is set and else
// ends at once.
pid_t AuxWatch::ForkMenuProcess() {
  pid_t pid = ForkReapedChild("Forking failed 201109021816\n", stdout);
  if (pid == 0) {
    if (next_child_shows_menu_) show_menu_();
    std::exit(0);
  }
  return pid;
}

// Ended children are reaped by the system, so waitpid fails on them.
bool AuxWatch::MenuAlive() const {
  return menu_pid_ > 0 && waitpid(menu_pid_, nullptr, WNOHANG) == 0;
}

void AuxWatch::ReadInterruptLine() {
  FILE* file = std::fopen(interrupts_path_, "r");
  if (file == nullptr) {
    std::printf("Opening %s failed", interrupts_path_);
    std::fflush(stdout);
    std::exit(1);
  }
  interrupt_line_.clear();
  char* line = nullptr;
  size_t size = 0;
  while (getline(&line, &size, file) != -1) {
    if (std::strstr(line, "50:") != nullptr) {
      interrupt_line_ = line;
      break;
    }
  }
  std::free(line);
  std::fclose(file);
  if (interrupt_line_.empty()) SayNoAuxLine();
}

bool AuxWatch::Pressed() {
  ReadInterruptLine();
  if (interrupt_line_ == line_at_last_press_) return false;
  signal(SIGCHLD, SIG_IGN);
  FlashFeedback();
  usleep(kAuxPollMicroseconds);
  ReadInterruptLine();
  line_at_last_press_ = interrupt_line_;
  return true;
}

// With next_child_shows_menu_ false a menu was opened by the last press: an
// empty child, then the menu ends, or, when it has ended by itself
// meanwhile, a new one opens. Only a child showing the menu becomes
// menu_pid_; an empty child that has not quite ended yet would otherwise
// shield the menu from SIGTERM.
void AuxWatch::ToggleMenu() {
  if (!next_child_shows_menu_) {
    ForkMenuProcess();
    next_child_shows_menu_ = true;
    if (MenuAlive()) {
      kill(menu_pid_, SIGTERM);
      return;
    }
  }
  menu_pid_ = ForkMenuProcess();
  next_child_shows_menu_ = false;
}
