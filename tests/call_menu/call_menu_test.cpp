// The Call Menu as a real process under Xvfb and the ALSA rig: frames,
// routing states in the virtual codec, keypad tones in the PCM capture, and
// what the windows draw.
#include "program_support.h"

#include <X11/extensions/XTest.h>
#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "call_menu.h"
#include "frame_test_util.h"
#include "tone.h"

namespace {

using programs::AlsaEnv;
using programs::CodecRoutingState;
using programs::CountWindows;
using programs::TextReference;

const std::string kStopFrame = frametest::Frame({"call", "stop", "+1234567890"});
constexpr char kInnerLoop[] = "201202041943 inner loop\n";

// Touch positions, window-relative. Keys outside the square where the
// acknowledgement flash appears (root 140-344, 220-424), so that a press
// right after another one cannot land on the flash.
constexpr int kRowY = 80;
constexpr int kEndX = 80, kSpeakerX = 240, kKeyPadX = 400;
struct Key {
  int x, y;
  PhoneButton button;
};
constexpr Key kKey1{50, 200, 1}, kKey8{240, 460, 8}, kKeyStar{50, 580, 13},
    kKeyZero{240, 580, 0}, kKeyHash{400, 580, 14};

// The rig listens for presses on the root window: a press that reaches the
// root was taken by no window's grab.
bool PressFellThrough(Display* d) {
  XSync(d, False);
  XEvent event;
  bool fell = false;
  while (XCheckTypedWindowEvent(d, DefaultRootWindow(d), ButtonPress, &event)) fell = true;
  return fell;
}

// Presses and releases button 1 at the position until a window's button
// grab takes the press. The Call Menu and the keypad keep their grab after a
// press, so a touch that waits for the grab's release does not apply to
// them. A press that falls through (the window is not waiting yet, or the
// flash covers the spot) is repeated. The program reads the pointer after
// the press: move it only once the press has shown its effect.
bool Touch(Window window, int x, int y) {
  Display* d = xrig::Rig();
  int root_x, root_y;
  Window child;
  if (!XTranslateCoordinates(d, window, DefaultRootWindow(d), x, y, &root_x, &root_y, &child))
    return false;
  PressFellThrough(d);  // forget earlier presses
  return xrig::WaitFor([&] {
    XTestFakeMotionEvent(d, 0, root_x, root_y, CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    return !PressFellThrough(d);
  });
}

int CountOf(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::vector<unsigned char> ToneOf(PhoneButton button) {
  std::vector<unsigned char> tone(kToneSamples);
  EXPECT_TRUE(SynthesizeDtmfTone(button, tone.data()));
  return tone;
}

int OpenDescriptors(pid_t pid) {
  DIR* dir = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
  if (dir == nullptr) return -1;
  int n = 0;
  while (dirent* entry = readdir(dir)) n += entry->d_name[0] != '.';
  closedir(dir);
  return n;
}

long ResidentKilobytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

class CallMenuTest : public ::testing::Test {
 protected:
  explicit CallMenuTest(alsarig::RigOptions options = {}) : alsa(options) {}

  // What the menu said helps to read a failure.
  void TearDown() override {
    if (!HasFailure()) return;
    const int status = driver.WaitForExit(1);
    std::fprintf(stderr, "call menu: status %d, stdout [%s], stderr:\n%s", status,
                 driver.Stdout().c_str(), driver.Stderr().c_str());
  }

  // A "Call Menu" window other than the one given.
  Window NextMenu(Window previous = 0) {
    Window menu = 0;
    xrig::WaitFor([&] {
      menu = xrig::FindWindow("Call Menu");
      return menu != 0 && menu != previous;
    });
    return menu != previous ? menu : 0;
  }

  // Touches the menu's button and waits until the menu has read the press.
  bool TouchMenu(Window menu, int x, int y) {
    const int passes = CountOf(driver.Stderr(), kInnerLoop);
    return Touch(menu, x, y) &&
           driver.WaitFor([&] { return CountOf(driver.Stderr(), kInnerLoop) > passes; });
  }

  Window OpenKeypad(Window menu) {
    if (!TouchMenu(menu, kKeyPadX, kRowY)) return 0;
    return xrig::WaitForWindow("ShowDtmfKeypad");
  }

  // Presses the key and waits for its tone to reach the capture file.
  void PlayKey(Window keypad, const Key& key, std::vector<unsigned char>* expected) {
    ASSERT_TRUE(Touch(keypad, key.x, key.y));
    const std::vector<unsigned char> tone = ToneOf(key.button);
    expected->insert(expected->end(), tone.begin(), tone.end());
    ASSERT_TRUE(xrig::WaitFor([&] { return alsa.CaptureBytes().size() >= expected->size(); }));
  }

  alsarig::AlsaRig alsa;
  rig::Process driver{{CALL_MENU_DRIVER}, AlsaEnv(alsa)};
};

TEST_F(CallMenuTest, EndCallWritesTheFixedStopFrameAndEnds) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 3) << "the call routing comes before the window";

  ASSERT_TRUE(Touch(menu, kEndX, kRowY));
  EXPECT_EQ(driver.WaitForExit(), 0);
  EXPECT_EQ(driver.Stdout(), kStopFrame);
  EXPECT_EQ(CountOf(driver.Stderr(), kInnerLoop), 1);
  EXPECT_EQ(CodecRoutingState(alsa), 3);
}

TEST_F(CallMenuTest, SpeakerSwitchesRoutingAndShowsAFreshMenu) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  ASSERT_TRUE(TouchMenu(menu, kSpeakerX, kRowY));
  Window again = NextMenu(menu);
  ASSERT_NE(again, 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 4);
  // The window the press was made on goes once its successor is up.
  EXPECT_TRUE(xrig::WaitFor([] { return CountWindows("Call Menu") == 1; }));
  EXPECT_EQ(driver.Stdout(), "") << "only ending the call writes a frame";

  ASSERT_TRUE(Touch(again, kEndX, kRowY));
  EXPECT_EQ(driver.WaitForExit(), 0);
  EXPECT_EQ(driver.Stdout(), kStopFrame);
  EXPECT_EQ(CodecRoutingState(alsa), 4) << "ending the call restores no routing";
}

TEST_F(CallMenuTest, TouchBelowTheRowReplacesTheWindowAndKeepsTheRouting) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  ASSERT_TRUE(TouchMenu(menu, 240, 161));
  Window again = NextMenu(menu);
  ASSERT_NE(again, 0u);
  EXPECT_TRUE(xrig::WaitFor([] { return CountWindows("Call Menu") == 1; }));
  EXPECT_EQ(CodecRoutingState(alsa), 3);
  EXPECT_EQ(driver.Stdout(), "");
}

// Each pass makes a window on a connection of its own; a long call must not
// pile up connections until the server or the descriptor table is full, nor
// the memory of the windows it has retired.
TEST_F(CallMenuTest, PassesHoldNeitherConnectionsNorMemory) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  auto run_passes = [&](int passes) {
    for (int pass = 0; pass < passes; ++pass) {
      ASSERT_TRUE(TouchMenu(menu, 400, 500));
      menu = NextMenu(menu);
      ASSERT_NE(menu, 0u);
    }
  };
  run_passes(20);  // the allocator and the libraries settle
  const int descriptors = OpenDescriptors(driver.Pid());
  const long resident_kb = ResidentKilobytes(driver.Pid());
  ASSERT_GT(descriptors, 0);
  ASSERT_GT(resident_kb, 0);
  run_passes(300);
  EXPECT_LE(OpenDescriptors(driver.Pid()), descriptors + 1);
#ifndef __SANITIZE_ADDRESS__  // its quarantine holds on to freed memory
  // Keeping each retired window's font metrics and GC (under 1 kB a pass)
  // adds over 200 kB here; freeing them keeps the size flat.
  EXPECT_LT(ResidentKilobytes(driver.Pid()) - resident_kb, 96);
#endif
  EXPECT_EQ(CountWindows("Call Menu"), 1);
}

TEST_F(CallMenuTest, RowIsDrawnWithItsLinesAndLabels) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  const TextReference labels({{"End", 4, 48},
                              {"Call", 4, 112},
                              {"Speaker", 164, 48},
                              {"Phone", 164, 112},
                              {"Show", 324, 48},
                              {"KeyPad", 324, 112}});
  // Inside each button: exactly its labels on white, the blank lines empty.
  for (int x : {1, 161, 321})
    EXPECT_TRUE(programs::WaitForPixels(menu, labels, {x, 1, 157, 159})) << "button at " << x;

  xrig::Snapshot shot(menu);
  // The right edge of the window lies beyond the screen: lines are read to x 477.
  EXPECT_TRUE(shot.HorizontalLine(0, 477, 0));
  EXPECT_TRUE(shot.HorizontalLine(0, 477, 160));
  for (int x : {0, 160, 320}) EXPECT_TRUE(shot.VerticalLine(x, 0, 160)) << x;
  EXPECT_EQ(shot.CountBlack({1, 161, 477, 477}), 0) << "nothing below the row";
}

TEST_F(CallMenuTest, KeypadPlaysTheTonesOfItsKeysAndItsTopRowCloses) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  Window keypad = OpenKeypad(menu);
  ASSERT_NE(keypad, 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 5);

  std::vector<unsigned char> expected;
  // "5" lies under the flash of every other key: press it first.
  PlayKey(keypad, {240, 320, 5}, &expected);
  for (const Key& key : {kKeyStar, kKeyZero, kKeyHash, kKey1, kKey8})
    PlayKey(keypad, key, &expected);
  EXPECT_EQ(alsa.CaptureBytes(), expected);
  // Each key's flash ends by itself and is reaped without a wait: no
  // zombie is left behind for a long call to pile up.
  EXPECT_TRUE(xrig::WaitFor([&] { return rig::CountChildren(driver.Pid()) == 0; }))
      << rig::CountChildren(driver.Pid(), true) << " zombies";

  // A blank cell of the top row closes the keypad like "Exit".
  ASSERT_TRUE(Touch(keypad, 400, 64));
  ASSERT_TRUE(xrig::WaitForWindowGone("ShowDtmfKeypad"));
  menu = NextMenu(menu);
  ASSERT_NE(menu, 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 5) << "closing the keypad keeps its routing";

  // The middle blank and "Exit" itself close it too, without a tone.
  for (int x : {240, 50}) {
    keypad = OpenKeypad(menu);
    ASSERT_NE(keypad, 0u);
    ASSERT_TRUE(Touch(keypad, x, 128));
    ASSERT_TRUE(xrig::WaitForWindowGone("ShowDtmfKeypad")) << x;
    menu = NextMenu(menu);
    ASSERT_NE(menu, 0u);
  }
  EXPECT_EQ(alsa.CaptureBytes(), expected);
  EXPECT_EQ(driver.Stdout(), "");
}

// Each cell's inside, clipped to the visible part of the window, shows
// exactly its label.
void ExpectKeypadLabels(Window keypad) {
  const TextReference labels({{"Exit", 15, 90},
                              {"1", 50, 220},
                              {"2", 210, 220},
                              {"3", 370, 220},
                              {"4", 50, 355},
                              {"5", 210, 355},
                              {"6", 370, 355},
                              {"7", 50, 480},
                              {"8", 210, 480},
                              {"9", 370, 480},
                              {"*", 50, 600},
                              {"0", 210, 600},
                              {"#", 370, 600}});
  for (int row = 0; row < kDtmfRows; ++row)
    for (int column = 0; column < kDtmfColumns; ++column) {
      const int x = column * 160 + 1, y = row * 128 + 1;
      EXPECT_TRUE(programs::WaitForPixels(keypad, labels,
                                          {x, y, std::min(159, 478 - x), std::min(127, 638 - y)}))
          << "cell " << row << "," << column;
    }
}

TEST_F(CallMenuTest, KeypadIsDrawnWithItsGridAndLabels) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  Window keypad = OpenKeypad(menu);
  ASSERT_NE(keypad, 0u);
  ExpectKeypadLabels(keypad);
  xrig::Snapshot shot(keypad);
  for (int y : {128, 256, 384, 512}) EXPECT_TRUE(shot.HorizontalLine(0, 477, y)) << y;
  for (int x : {160, 320}) EXPECT_TRUE(shot.VerticalLine(x, 0, 637)) << x;

  // The flash of a key covers the middle keys; they are drawn again once it
  // has gone.
  std::vector<unsigned char> played;
  PlayKey(keypad, kKey1, &played);
  ExpectKeypadLabels(keypad);
}

class CallMenuWithoutPcmTest : public CallMenuTest {
 protected:
  CallMenuWithoutPcmTest() : CallMenuTest({.pcm = alsarig::PcmMode::kCannotOpen}) {}
};

TEST_F(CallMenuWithoutPcmTest, KeypadGoesOnWhenTheDeviceCannotBeOpened) {
  Window menu = NextMenu();
  ASSERT_NE(menu, 0u);
  Window keypad = OpenKeypad(menu);
  ASSERT_NE(keypad, 0u);
  ASSERT_TRUE(Touch(keypad, kKey1.x, kKey1.y));
  ASSERT_TRUE(driver.WaitForStderr("Playback open error: "));
  ASSERT_TRUE(Touch(keypad, kKeyHash.x, kKeyHash.y));
  ASSERT_TRUE(driver.WaitFor(
      [&] { return CountOf(driver.Stderr(), "Playback open error: ") == 2; }));
  EXPECT_EQ(xrig::FindWindow("ShowDtmfKeypad"), keypad);

  ASSERT_TRUE(Touch(keypad, 50, 64));
  ASSERT_NE(NextMenu(menu), 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 5);
}

}  // namespace
