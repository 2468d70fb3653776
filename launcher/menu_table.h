// The launcher's three menus as data: the label lines of each cell and
// what a touch of the cell does.
#pragma once

inline constexpr int kMenuCells = 12;
inline constexpr int kCellLines = 5;

enum class MenuAction {
  kClose,             // the menu closes
  kRunScript,         // the cell's command line runs
  kOpenShutdownMenu,  // "Shutdown Menu" opens
  kOpenMenu02,        // "Menu_02" opens
  kShutdown,          // the cell's command line runs from a grandchild
};

struct MenuCell {
  const char* lines[kCellLines];  // top to bottom; "" draws nothing
  MenuAction action;
  const char* command;  // for kRunScript and kShutdown, else null
};

struct MenuTable {
  const char* title;
  MenuCell cells[kMenuCells];  // row by row, three to a row
};

extern const MenuTable kMenu01Table;
extern const MenuTable kMenu02Table;
extern const MenuTable kShutdownMenuTable;
