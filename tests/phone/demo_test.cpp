// The whole phone, end to end: the headless demo installs the phone's
// scripts, start.sh joins modembridge and the four programs to modemsim,
// and the walk goes through an incoming call, an outgoing call, messages
// received, answered and written, the menus and the profiles, waiting at
// every step for its evidence (windows, frames, AT commands, the vibrator).
// Here: the demo ran to its end, each screenshot shows its window by the
// lines it draws, the exchanges left their traces, and the "off" of the
// menu (stop.sh) left nothing behind.
#include "xrig.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "process.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kGrey = 0xBEBEBE;  // the multi-tap keypad's lines

// A line a window draws, in window coordinates, horizontal or vertical.
struct Line {
  int x0, y0, x1, y1;
};

// The phone's windows by their lines.
const std::vector<Line> kGrid = {{0, 160, 480, 160}, {0, 320, 480, 320}, {0, 480, 480, 480},
                                 {160, 0, 160, 640}, {320, 0, 320, 640}};
const std::vector<Line> kTopRow = {{0, 160, 480, 160}, {160, 0, 160, 160}, {320, 0, 320, 160}};
const std::vector<Line> kDtmfKeypad = {{0, 128, 480, 128}, {0, 256, 480, 256},
                                       {0, 384, 480, 384}, {0, 512, 480, 512},
                                       {160, 0, 160, 640}, {320, 0, 320, 640}};
const std::vector<Line> kContacts = {{0, 160, 480, 160}, {0, 200, 480, 200}, {0, 480, 480, 480},
                                     {160, 0, 160, 160}, {160, 480, 160, 640}};
const std::vector<Line> kNumberKeypad = {{0, 160, 480, 160}, {0, 200, 480, 200},
                                         {0, 310, 480, 310}, {0, 420, 480, 420},
                                         {0, 530, 480, 530},
                                         {160, 200, 160, 640}, {320, 200, 320, 640}};

struct Shot {
  const char* name;
  const std::vector<Line>* lines;
  uint32_t colour = kBlack;
  std::vector<int> blank_cells = {};  // grid cells 0 to 11 without a label
};

const Shot kShots[] = {
    {"02-menu", &kGrid},
    {"03-menu-more", &kGrid},
    {"04-shutdown-menu", &kGrid, kBlack, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {"05-message-vibrating", &kTopRow},
    {"06-incoming-call", &kTopRow},
    {"07-call-menu", &kTopRow, kBlack, {3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {"08-dtmf-keypad", &kDtmfKeypad},
    {"09-dial", &kGrid, kBlack, {3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {"10-contacts", &kContacts},
    {"11-outgoing-call", &kTopRow, kBlack, {3, 4, 5, 6, 7, 8, 9, 10, 11}},
    {"12-message", &kTopRow},
    {"13-reply", &kGrid, kGrey},
    {"14-reply-sent", &kTopRow},
    {"15-number", &kNumberKeypad},
    {"16-compose", &kGrid, kGrey},
    {"17-sent", &kTopRow},
    {"18-read", &kTopRow},
};

// The window's inside begins at (2, 2) on the screen; what lies beyond the
// screen's edge is not seen.
bool Shows(const xrig::Snapshot& screen, Line line, uint32_t colour) {
  for (int y = line.y0 + 2; y <= std::min(line.y1 + 2, screen.Height() - 1); ++y)
    for (int x = line.x0 + 2; x <= std::min(line.x1 + 2, screen.Width() - 1); ++x)
      if (screen.Pixel(x, y) != colour) return false;
  return true;
}

bool CellIsBlank(const xrig::Snapshot& screen, int cell) {
  int x = 160 * (cell % 3) + 2, y = 160 * (cell / 3) + 2;
  return screen.CountBlack({x + 4, y + 4, 150, 150}) == 0;
}

std::string FileText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/demo-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    run_ = fs::path(dir) / "run";
  }
  void TearDown() override {
    if (!HasFailure()) fs::remove_all(run_.parent_path());
  }
  fs::path run_;
};

TEST_F(DemoTest, WalksThroughThePhoneAndLeavesNothingRunning) {
  rig::Process demo({"/bin/sh", DEMO_PATH, "-H", "-p", DEMO_PROGRAMS, run_.string()});
  ASSERT_EQ(demo.WaitForExit(600), 0) << demo.Stderr() << "\nthe run is kept in " << run_;

  xrig::Snapshot notice = xrig::Snapshot::FromPng(run_ / "01-notice.png");
  EXPECT_GT(notice.CountBlack({12, 20, 400, 36}), 0) << "the notice's first line";
  EXPECT_FALSE(Shows(notice, kGrid[0], kBlack)) << "the notice has no grid";
  for (const Shot& shot : kShots) {
    SCOPED_TRACE(shot.name);
    xrig::Snapshot screen = xrig::Snapshot::FromPng(run_ / (std::string(shot.name) + ".png"));
    ASSERT_EQ(screen.Width(), 480);
    ASSERT_EQ(screen.Height(), 640);
    for (const Line& line : *shot.lines)
      EXPECT_TRUE(Shows(screen, line, shot.colour)) << line.x0 << "," << line.y0;
    for (int cell : shot.blank_cells) EXPECT_TRUE(CellIsBlank(screen, cell)) << "cell " << cell;
    if (shot.lines == &kTopRow) {
      EXPECT_FALSE(Shows(screen, kGrid[1], kBlack)) << "a row of buttons, no grid below";
    }
  }

  // The answered call was not ended by the notifier's ringtone running out.
  std::string frames = FileText(run_ / "frames.log");
  EXPECT_NE(frames.find("phone call|accept|+32112233445"), std::string::npos);
  EXPECT_EQ(frames.find("call|stop|1234567890"), std::string::npos) << frames;
  // The message received is stored; the one sent is not.
  std::string stored = FileText(run_ / "phone/messages/TextMessage_2");
  EXPECT_EQ(stored.rfind("\x02\x1f" "sms" "\x1f" "retrieved" "\x1f" "+32112233445" "\x1f" "2", 0), 0u);
  EXPECT_TRUE(stored.ends_with("\x1f" "Hello from Mom" "\x1f\x03")) << stored;
  EXPECT_FALSE(fs::exists(run_ / "phone/messages/TextMessage_0"));
  // Tones and the message's ringtone were played, the routing went to the
  // virtual codec.
  EXPECT_TRUE(fs::exists(run_ / "sound/played.raw"));
  EXPECT_NE(FileText(run_ / "codec.state").find("Slot 00 Playback Volume"), std::string::npos);

  EXPECT_FALSE(fs::exists(run_ / "home/gta02/run"));
  EXPECT_FALSE(fs::exists(run_ / "home/gta02/notify/NotifyPipe"));
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(run_))
    EXPECT_FALSE(entry.is_fifo()) << entry.path();
  EXPECT_TRUE(rig::ProcessesUsing(run_.string()).empty());
}

// Ctrl-C, once the phone runs: the terminal signals the demo and whatever
// runs in the foreground with it.
TEST_F(DemoTest, EndsOnInterruptWithEverythingItStarted) {
  rig::Process demo({"/bin/sh", DEMO_PATH, "-H", "-p", DEMO_PROGRAMS, run_.string()});
  ASSERT_TRUE(demo.WaitForStderr("01-notice.png", 300));
  demo.Kill(SIGINT);
  EXPECT_EQ(demo.WaitForExit(120), 130) << demo.Stderr();
  EXPECT_TRUE(rig::ProcessesUsing(run_.string()).empty());
  EXPECT_FALSE(fs::exists(run_ / "home/gta02/run"));
  EXPECT_FALSE(fs::exists(run_ / "console"));
}

}  // namespace
