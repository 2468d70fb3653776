// The launcher's main process: it watches the AUX button through the
// interrupt counts in /proc/interrupts, where every change of the line of
// interrupt 50 is a press, and each press opens or closes the menu process.
#pragma once

#include <sys/types.h>

#include <string>

// The file of interrupt counts, fixed when the program is built.
extern const char kInterruptsPath[];

// The first line of the file containing "50:", newline included; empty
// when no line contains it.
extern std::string InterruptLine;
// InterruptLine as it was after the last press; empty at start, so the
// first poll counts as a press and opens the menu.
extern std::string LastInterruptLine;
// 1 when the next child forked shows the menu, 0 when it ends at once.
extern int MenuWanted;
// The process showing the menu, -1 before the first.
extern pid_t MenuPid;

// Polls for presses every half second and toggles the menu on each.
[[noreturn]] void AuxWatchLoop();
// 1 when the line moved since the last press: flashes, then takes the line
// again half a second later, so that release and bounces of the same press
// do not count again. 0 otherwise.
int CheckAuxButton();
void ReadInterruptLine();
// The menu process opens when none is alive and is ended with SIGTERM when
// one is.
void ToggleMenu();
