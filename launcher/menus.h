// The launcher's menu windows and the scripts their cells run. A menu
// process shows "Menu_01", at most one sub-menu, does the one action chosen
// and returns; a touch outside the grid ends it with status 1.
#pragma once

#include "menu_table.h"

inline constexpr int kMenuLabelSlots = kMenuCells * kCellLines;

// The menu about to be shown: its window title and its label slots, five
// lines to a cell, cell by cell.
extern const char* MenuTitle;
extern const char* MenuLabels[kMenuLabelSlots];

// Baseline start of line 0 to 4 in the menu cell of the given column and
// row; the menus place their text apart from the other windows.
inline int MenuLabelX(int column) { return 160 * column + 15; }
inline int MenuLabelY(int row, int line) { return 160 * row + 50 + 20 * line; }

// Shows MenuTitle with MenuLabels, waits for one touch and returns the
// touched cell, 1 to 12, or 0 for a position outside the grid.
int RunMenu();
// Draws the grid and the labels on the window RunMenu shows.
void DrawMenu();

void RunMenu01();
void RunMenu02();
void RunShutdownMenu();

// Flashes and has the shell start the command line, which puts the script
// in the background; never waits for the script.
void RunScript(const char* command);
// The shutdown grandchild: starts the command line as RunScript does,
// without a flash, and ends with the shell's exit status, 1 when the shell
// could not be started or did not end normally.
[[noreturn]] void RunShutdownScript(const char* command);
