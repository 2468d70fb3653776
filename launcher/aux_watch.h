// The launcher's watch of the AUX button through a file of interrupt
// counts, where every change of the line of interrupt 50 is a press, and
// each press opens or closes the menu process.
#pragma once

#include <sys/types.h>

#include <string>

// Between two polls of the file, and between a press and the reading that
// swallows its release and bounces.
inline constexpr unsigned kAuxPollMicroseconds = 500000;

class AuxWatch {
 public:
  // interrupts_path: the file of interrupt counts. show_menu: what a menu
  // process runs before it ends.
  AuxWatch(const char* interrupts_path, void (*show_menu)());

  // 1 when the line moved since the last press: flashes, then takes the
  // line again half a second later, so that release and bounces of the same
  // press do not count again. 0 otherwise.
  int CheckAuxButton();
  // Reads the line of interrupt 50; a file that cannot be opened ends the
  // process with status 1.
  void ReadInterruptLine();
  // The menu process opens when none is alive and is ended with SIGTERM
  // when one is.
  void ToggleMenu();

  // The first line of the file containing "50:", newline included; empty
  // when no line contains it.
  std::string InterruptLine;
  // InterruptLine as it was after the last press; empty at start, so the
  // first poll counts as a press and opens the menu.
  std::string LastInterruptLine;
  // 1 when the next child forked shows the menu, 0 when it ends at once.
  int MenuWanted = 1;
  // The process showing the menu, -1 before the first.
  pid_t MenuPid = -1;

 private:
  void SayNoAuxLine();
  pid_t ForkMenuProcess();
  bool MenuAlive() const;

  const char* interrupts_path_;
  void (*show_menu_)();
  bool said_no_aux_line_ = false;
};
