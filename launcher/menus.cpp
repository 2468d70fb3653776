#include "menus.h"

#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "program.h"
#include "screen.h"

const char* MenuTitle = "";
const char* MenuLabels[kMenuLabelSlots];

namespace {

Window MenuWindow = 0;

void SetMenu(const MenuTable& menu) {
  MenuTitle = menu.title;
  for (int slot = 0; slot < kMenuLabelSlots; ++slot)
    MenuLabels[slot] = menu.cells[slot / kCellLines].lines[slot % kCellLines];
}

// The menu window covers the screen from the root's origin, so the root
// position is the window position. A pointer that cannot be found closes
// the menu like "Exit".
int TouchedMenuCell() {
  int x, y;
  if (!ReadTouchPoint(DefaultRootWindow(PhoneDisplay), &x, &y)) return 1;
  return TouchCell(x, y) + 1;
}

// The shell started on the command line, or null after saying why not.
FILE* StartShell(const char* command) {
  FILE* shell = popen(command, "r");
  if (shell == nullptr) {
    std::printf("Error running %s\n", command);
    std::fflush(stdout);
  }
  return shell;
}

// Flashes, then leaves the shutdown script to a grandchild so that the menu
// process does not wait for it.
void StartShutdown(const char* command) {
  FlashFeedback();
  if (ForkReapedChild("Forking failed 201109141135\n", stdout) == 0) RunShutdownScript(command);
}

// Shows the menu and does what the touched cell says.
void RunMenuTable(const MenuTable& menu) {
  SetMenu(menu);
  int cell = RunMenu();
  if (cell == 0) std::exit(1);
  const MenuCell& touched = menu.cells[cell - 1];
  switch (touched.action) {
    case MenuAction::kRunScript:
      RunScript(touched.command);
      return;
    case MenuAction::kShutdown:
      StartShutdown(touched.command);
      return;
    case MenuAction::kClose:
      FlashFeedback();
      return;
    case MenuAction::kOpenShutdownMenu:
      FlashFeedback();
      RunShutdownMenu();
      return;
    case MenuAction::kOpenMenu02:
      FlashFeedback();
      RunMenu02();
      return;
  }
}

}  // namespace

void DrawMenu() {
  for (int y = kCellSize; y <= kScreenHeight; y += kCellSize)
    DrawPhoneLine(MenuWindow, 0, y, kScreenWidth, y);
  for (int x = kCellSize; x < kScreenWidth; x += kCellSize)
    DrawPhoneLine(MenuWindow, x, 0, x, kScreenHeight);
  for (int slot = 0; slot < kMenuLabelSlots; ++slot) {
    int cell = slot / kCellLines;
    if (MenuLabels[slot] != nullptr)
      DrawPhoneText(MenuWindow, MenuLabelX(cell % 3), MenuLabelY(cell / 3, slot % kCellLines),
                    MenuLabels[slot]);
  }
  XFlush(PhoneDisplay);
}

// The window goes with its connection before the chosen action starts. A
// window that could not get its graphics context shows nothing to touch:
// the menu ends as if touched outside the grid.
int RunMenu() {
  GC gc;
  MenuWindow = CreatePhoneWindow(&gc, MenuTitle);
  Display* display = PhoneDisplay;
  int cell = 0;
  if (MenuWindow != 0) {
    DrawMenu();
    WaitForTouch(MenuWindow, DrawMenu);
    cell = TouchedMenuCell();
  }
  ClosePhoneDisplay(display, gc);
  return cell;
}

void RunMenu01() { RunMenuTable(kMenu01Table); }
void RunMenu02() { RunMenuTable(kMenu02Table); }
void RunShutdownMenu() { RunMenuTable(kShutdownMenuTable); }

// pclose waits for the shell only; the "&" of every command line has put
// the script in the background already.
void RunScript(const char* command) {
  FlashFeedback();
  FILE* shell = StartShell(command);
  if (shell != nullptr) pclose(shell);
}

void RunShutdownScript(const char* command) {
  // The menu process ignores SIGCHLD; pclose can only collect the shell's
  // status when this process does not.
  signal(SIGCHLD, SIG_DFL);
  FILE* shell = StartShell(command);
  if (shell == nullptr) std::exit(1);
  int status = pclose(shell);
  std::exit(status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : 1);
}
