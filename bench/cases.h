// What the benchmark measures: a table of timed paths and a table of idle
// states, each written as a program start and the touches that lead there.
#pragma once

#include <string>
#include <vector>

namespace bench {

// How a program brings up its first window: at its start, or (a frame
// reader) on a frame written to its standard input once it reads.
struct Start {
  std::string program;  // under the build tree, e.g. "dialer/dialer", or absolute
  const char* frame;    // nullptr: the window opens at start
  const char* title;    // the first window's title
  std::vector<std::string> args = {};
  // When set, the program runs in a fresh directory holding this empty one
  // (a test build's message directory).
  const char* subdir = nullptr;
  // When set, a file under the build tree that is written with the text
  // before the start (what a test build watches instead of /proc).
  const char* file = nullptr;
  const char* file_text = nullptr;
};

enum class Reaction { kMapped, kDrawn, kFrame };

// A touch at a window-relative position of the top window, and what shows
// that it was taken: a window with the title mapped (any window when the
// title is null: the flash), a redraw, or a frame on standard output.
struct Step {
  int x, y;
  Reaction reaction;
  const char* title = nullptr;
};

// One path a user waits for. The last step is timed, from the press to its
// reaction; without steps, the start is timed, from exec or frame to the
// first window mapped.
struct TimedCase {
  const char* window;
  Start start;
  std::vector<Step> steps;
};

// A state in which a process sits idle (or counts a pause): its size and
// how often it wakes. The process is the program's, or its newest child's.
struct IdleCase {
  const char* name;
  Start start;
  std::vector<Step> steps;
  bool child;
  // Measure right after the last step instead of letting the state settle.
  bool at_once = false;
};

const std::vector<TimedCase>& TimedCases();
const std::vector<IdleCase>& IdleCases();

}  // namespace bench
