// Shared pieces of the whole-program tests: the ALSA rig's environment for
// a spawned program, the routing state left in the virtual codec, reference
// renderings of text to compare a window's pixels with, and the steps of the
// number dialog.
#pragma once

// gtest before Xlib: X.h defines None, a name gtest uses.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <functional>
#include <string>
#include <vector>

#include "alsarig.h"
#include "process.h"
#include "screen.h"
#include "xrig.h"

namespace programs {

// The environment a program needs to find the rig's ALSA configuration.
rig::EnvVars AlsaEnv(const alsarig::AlsaRig& alsa);

// The routing state (2 to 5) the codec holds, told apart by the controls in
// which the states differ; -1 for any other mix of values.
int CodecRoutingState(const alsarig::AlsaRig& alsa);

// Text drawn black on white in a program's font (the 30-pixel one unless
// told otherwise) into a pixmap: what a window shows when it draws the same
// text at the same place.
class TextReference {
 public:
  struct Text {
    const char* text;
    int x, baseline;
  };
  explicit TextReference(const std::vector<Text>& texts,
                         const char* font_pattern = kFontPattern30);
  // Every pixel of the box in the snapshot equals the reference's.
  bool Matches(const xrig::Snapshot& window, xrig::Rect box) const;

 private:
  std::vector<unsigned long> pixels_;
};

// Waits until the window shows exactly the reference inside the box.
bool WaitForPixels(Window window, const TextReference& reference, xrig::Rect box);

// Windows that keep their grab after a press (the call menu) cannot be
// touched with a wait for the release: this presses until the effect shows.
bool PressUntil(Window window, int x, int y, const std::function<bool()>& effect);

// Number of viewable top-level windows with the title.
int CountWindows(const char* title);

// Number dialog steps. Each waits for its window and for the evidence that
// the touch was taken before the next one.
// "Contact list", then "Up" ups times, then "OK".
bool ChooseContact(int ups);
// "Keypad", the keys by label ("1", "Del", "#"...), then "OK".
bool TypeNumber(const std::vector<std::string>& keys);

}  // namespace programs
