// The keypad as a real process under Xvfb: presses through XTest with the
// real 100 ms passes, the result on the driver's standard output.
// gtest before Xlib, whose macros (None, Bool) would break it.
#include <gtest/gtest.h>
#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>

#include "process.h"
#include "xrig.h"

namespace {

constexpr char kTitle[] = "MultitapKeypad";
constexpr int kClose = 0, kSend = 2, kOther = 3, kAbc = 4, kBlank = 4,
              kStar = 6;
// The first text line (baseline 48), above the labels of the top row.
constexpr xrig::Rect kTextLine = {0, 8, 478, 44};

xrig::Rect LabelArea(int cell) {
  return {160 * (cell % 3) + 19, 160 * (cell / 3) + 48, 140, 40};
}

uint32_t NamedRgb(const char* name) {
  Display* d = xrig::Rig();
  XColor c;
  if (!XParseColor(d, DefaultColormap(d, DefaultScreen(d)), name, &c)) return 0;
  return (c.red >> 8) << 16 | (c.green >> 8) << 8 | c.blue >> 8;
}

int CountRgb(const xrig::Snapshot& s, xrig::Rect r, uint32_t rgb) {
  int n = 0;
  for (int y = r.y; y < r.y + r.height; y++)
    for (int x = r.x; x < r.x + r.width; x++) n += s.Pixel(x, y) == rgb;
  return n;
}

class KeypadWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window = xrig::WaitForWindow(kTitle);
    ASSERT_NE(window, 0u);
    // The keypad has drawn once its grey grid is there.
    ASSERT_TRUE(xrig::WaitFor(
        [&] { return xrig::Snapshot(window).Pixel(80, 160) == grey; }));
  }
  void TearDown() override {
    driver.Kill();  // a no-op once the driver has ended by itself
    xrig::WaitForWindowGone(kTitle);
  }

  bool Touch(int cell) {
    return xrig::Touch(window, 160 * (cell % 3) + 80, 160 * (cell / 3) + 80);
  }
  std::string Result() {
    driver.WaitForStdout("\n");
    EXPECT_EQ(driver.WaitForExit(), 0);
    return driver.Stdout();
  }
  // The next complete drawing of the text line that differs from before; a
  // window caught between clearing and drawing shows no black there.
  xrig::Snapshot NextText(const xrig::Snapshot& before) {
    std::optional<xrig::Snapshot> now;
    EXPECT_TRUE(xrig::WaitFor([&] {
      now.emplace(window);
      return now->HasBlack(kTextLine) && !now->SameInside(before, kTextLine);
    }));
    return *now;
  }

  const uint32_t grey = NamedRgb("grey");
  rig::Process driver{{KEYPAD_DRIVER}};
  Window window = 0;
};

TEST_F(KeypadWindow, FirstPageShowsGreyGridAndLabelsAndTheBlackMark) {
  const xrig::Snapshot s(window);
  for (int at = 1; at < 478; at += 53) {
    for (int y : {160, 320, 480}) EXPECT_EQ(s.Pixel(at, y), grey) << at << "," << y;
    for (int x : {160, 320}) EXPECT_EQ(s.Pixel(x, at), grey) << x << "," << at;
  }
  for (int cell = 0; cell < 12; cell++)
    EXPECT_GT(CountRgb(s, LabelArea(cell), grey), 20) << "cell " << cell;
  EXPECT_TRUE(s.HasBlack({4, 30, 20, 20}));
  EXPECT_EQ(s.CountBlack({30, 8, 448, 44}), 0);
  ASSERT_TRUE(Touch(kClose));
  EXPECT_EQ(Result(), "(none)\n");
}

// Passes run only while a pause has to be counted: an idle keypad sleeps
// through the time of several passes.
bool Asleep(const rig::Process& p) {
  return xrig::WaitFor([&] { return rig::SleepsThrough(p.Pid(), 300); });
}

TEST_F(KeypadWindow, QuickPressesStepAndThePauseFixesTheCharacter) {
  EXPECT_TRUE(Asleep(driver));
  xrig::Snapshot shown(window);
  for (int i = 0; i < 3; i++) {
    ASSERT_TRUE(Touch(kAbc));
    shown = NextText(shown);
  }
  NextText(shown);  // the pause puts the mark behind the "c"
  EXPECT_TRUE(Asleep(driver));
  ASSERT_TRUE(Touch(kSend));
  EXPECT_EQ(Result(), "[c.]\n");
}

TEST_F(KeypadWindow, SendBeforeThePauseReturnsThePendingCharacter) {
  ASSERT_TRUE(Touch(kAbc));
  ASSERT_TRUE(Touch(kSend));
  EXPECT_EQ(Result(), "[a]\n");
}

TEST_F(KeypadWindow, SecondPageHasTwoBlankCellsAndTypesPunctuation) {
  ASSERT_TRUE(Touch(kOther));
  ASSERT_TRUE(xrig::WaitFor([&] {
    return CountRgb(xrig::Snapshot(window), LabelArea(kAbc), grey) == 0;
  }));
  const xrig::Snapshot s(window);
  EXPECT_EQ(CountRgb(s, LabelArea(5), grey), 0);
  EXPECT_GT(CountRgb(s, LabelArea(kStar), grey), 20);
  ASSERT_TRUE(Touch(kBlank));
  ASSERT_TRUE(Touch(kStar));
  ASSERT_TRUE(Touch(kStar));
  ASSERT_TRUE(Touch(kSend));
  EXPECT_EQ(Result(), "[0]\n");
}

}  // namespace
