// stylus: the headless demo's hand on the phone's screen, one step a run,
// through the X rig on the server that DISPLAY names.
//
//   stylus touch X Y             a touch that waits until a window took it
//   stylus press X Y             presses until a new window shows
//   stylus press X Y gone TITLE  presses until no window is titled TITLE
//   stylus window TITLE          waits until the top-most window is TITLE
//   stylus gone TITLE            waits until no window is titled TITLE
//   stylus shot FILE             saves the screen, once it stands still, as a PNG
//   stylus titles                prints the titles of the windows shown, the top-most last
//
// Positions are screen positions. "press" serves the windows that keep
// their grab after a press (the call menu, the DTMF keypad), which a touch
// would wait for in vain. A window may take a while: the start-up notice
// stands for 50 seconds. Exit status 1 when the step's evidence did not
// come in time, 2 on a usage error.
#include "xserver.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kStepMs = 30000;
constexpr int kWindowMs = 90000;
// A press shows its effect within this time, or it went by unseen.
constexpr int kPressEffectMs = 5000;
constexpr useconds_t kSettleUs = 250000;

std::string Title(Window window) {
  char* name = nullptr;
  if (!XFetchName(xrig::Rig(), window, &name) || name == nullptr) return "";
  std::string title = name;
  XFree(name);
  return title;
}

bool TopIs(const char* title) {
  std::vector<Window> windows = xrig::ViewableTopLevelWindows();
  return !windows.empty() && Title(windows.back()) == title;
}

// A window redraws after a touch by clearing itself first: the screen is
// saved once it has stood still for a moment.
bool SaveSettledScreen(const std::string& path) {
  xrig::Snapshot last;
  bool settled = xrig::WaitFor([&] {
    usleep(kSettleUs);
    xrig::Snapshot now;
    bool same = now.SameInside(last, {0, 0, now.Width(), now.Height()});
    last = now;
    return same;
  }, kStepMs);
  return settled && xrig::SaveScreenPng(path);
}

bool PressUntil(int x, int y, const std::function<bool()>& effect) {
  return xrig::WaitFor([&] {
    xrig::PressRoot(x, y);
    return xrig::WaitFor(effect, kPressEffectMs);
  }, kStepMs);
}

bool Run(int argc, char** argv) {
  std::string step = argv[1];
  if (step == "touch" && argc == 4) return xrig::TouchRoot(atoi(argv[2]), atoi(argv[3]), kStepMs);
  if (step == "press" && argc == 4) {
    // A new window's id tells nothing: a new client may get the ids of one
    // that has gone.
    xrig::CreationLog windows;
    return PressUntil(atoi(argv[2]), atoi(argv[3]), [&] { return windows.Total() > 0; });
  }
  if (step == "press" && argc == 6 && strcmp(argv[4], "gone") == 0)
    return PressUntil(atoi(argv[2]), atoi(argv[3]),
                      [&] { return xrig::FindWindow(argv[5]) == 0; });
  if (step == "window" && argc == 3)
    return xrig::WaitFor([&] { return TopIs(argv[2]); }, kWindowMs);
  if (step == "gone" && argc == 3) return xrig::WaitForWindowGone(argv[2], kWindowMs);
  if (step == "shot" && argc == 3) return SaveSettledScreen(argv[2]);
  if (step == "titles" && argc == 2) {
    for (Window window : xrig::ViewableTopLevelWindows()) printf("%s\n", Title(window).c_str());
    return true;
  }
  fputs("usage: stylus touch X Y | press X Y [gone TITLE] | window TITLE | gone TITLE |"
        " shot FILE | titles\n", stderr);
  exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  const char* display = getenv("DISPLAY");
  if (argc < 2 || display == nullptr || !xrig::AttachToServer(display)) {
    fputs("stylus: needs a step and DISPLAY naming a server with XTEST\n", stderr);
    return 2;
  }
  if (Run(argc, argv)) return 0;
  fprintf(stderr, "stylus: %s: no evidence in time\n", argv[1]);
  return 1;
}
