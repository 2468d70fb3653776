// callhandler as a whole program: frames in on standard input, the
// Accept/Reject windows and call menus it forks, frames out, the codec's
// routing, and the incoming call from first frame to hang-up.
#include <gtest/gtest.h>
#include <X11/extensions/XTest.h>
#include <signal.h>

#include <chrono>
#include <set>
#include <string>

#include "frame_test_util.h"
#include "program_support.h"

namespace {

using frametest::Frame;
using programs::AlsaEnv;
using programs::CodecRoutingState;
using programs::CountWindows;
using programs::PressUntil;
using programs::TextReference;

constexpr char kTitle[] = "Accept/Reject Call";

std::string CallFrame(const std::string& action, const std::string& number) {
  return Frame({"call", action, number});
}

// Centres of the top row's cells and a point below them.
constexpr int kRowY = 80;
constexpr int kRejectX = 80, kBlankX = 240, kAcceptX = 400;

// The window's texts: the three cells of the top row (lines excluded) and
// the caller's line below them.
constexpr xrig::Rect kCells[] = {{1, 1, 159, 159}, {161, 1, 159, 159}, {321, 1, 157, 159}};
constexpr xrig::Rect kCallerLine = {1, 170, 477, 140};

bool ShowsCaller(Window window, const char* caller) {
  TextReference expected({{"Reject", 24, 80}, {"Accept", 344, 80}, {caller, 24, 240}});
  return xrig::WaitFor([&] {
    xrig::Snapshot shown(window);
    for (const xrig::Rect& box : kCells)
      if (!expected.Matches(shown, box)) return false;
    return expected.Matches(shown, kCallerLine);
  });
}

class CallhandlerTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Children outlive the parent by design; they share its process group.
    if (callhandler.Pid() > 0) kill(-callhandler.Pid(), SIGKILL);
    EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
    EXPECT_TRUE(xrig::WaitForWindowGone("Call Menu"));
  }

  Window NewCall(const std::string& number) {
    EXPECT_TRUE(callhandler.Write(CallFrame("new", number)));
    return xrig::WaitForWindow(kTitle);
  }

  alsarig::AlsaRig alsa;
  rig::Process callhandler{{CALLHANDLER_PATH}, AlsaEnv(alsa)};
};

TEST_F(CallhandlerTest, KnownCallerShowsNameAndRejectSendsStopFrame) {
  Window window = NewCall("+32112233445");
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsCaller(window, "Mom"));
  xrig::Snapshot shown(window);
  EXPECT_TRUE(shown.HorizontalLine(0, 477, 0));
  EXPECT_TRUE(shown.HorizontalLine(0, 477, 160));
  for (int x : {0, 160, 320}) EXPECT_TRUE(shown.VerticalLine(x, 0, 160)) << x;
  EXPECT_FALSE(shown.HasBlack({321, 161, 1, 60})) << "the grid ends under the top row";

  ASSERT_TRUE(xrig::Touch(window, kRejectX, kRowY));
  const std::string stop = Frame({"call", "stop", "+32112233445"});
  ASSERT_TRUE(callhandler.WaitForStdout(stop));
  EXPECT_EQ(callhandler.Stdout(), stop);
  EXPECT_EQ(stop.size(), 26u);
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
  EXPECT_EQ(alsa.CodecValue(0, codec::kPlaybackVolume), std::nullopt) << "Reject routes nothing";
}

TEST_F(CallhandlerTest, UnknownCallerShowsTheNumber) {
  Window window = NewCall("+49301234567");
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsCaller(window, "+49301234567"));
  EXPECT_FALSE(TextReference({{"Mom", 24, 240}}).Matches(xrig::Snapshot(window), kCallerLine));
}

TEST_F(CallhandlerTest, CallWithoutNumberShowsWhatItHasAndWritesNoBrokenFrame) {
  // No number field: the ETX piece stands in for the number. Echoed back,
  // it would end the stop frame early; the writer refuses it instead.
  ASSERT_TRUE(callhandler.Write(Frame({"call", "new"})));
  Window window = xrig::WaitForWindow(kTitle);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsCaller(window, "\x03"));
  ASSERT_TRUE(xrig::Touch(window, kRejectX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStderr("frame refused: a field holds STX, US or ETX\n"));
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
  EXPECT_EQ(callhandler.Stdout(), "");

  ASSERT_NE(NewCall("+32223344556"), 0u) << "the parent goes on reading";
}

TEST_F(CallhandlerTest, AcceptSendsAcceptFrameAndLeavesCallRouting) {
  Window window = NewCall("+32112233445");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(xrig::Touch(window, kAcceptX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("accept", "+32112233445")));
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
  // The window goes with the child, which ends only after the routing.
  EXPECT_EQ(CodecRoutingState(alsa), 3);
  EXPECT_EQ(callhandler.Stdout(), CallFrame("accept", "+32112233445"));
}

TEST_F(CallhandlerTest, ExposureBlankCellAndLowerScreenDecideNothing) {
  Window window = NewCall("+32112233445");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(ShowsCaller(window, "Mom"));

  // Pointer at rest over "Accept" while a window above goes away.
  Display* rig = xrig::Rig();
  XTestFakeMotionEvent(rig, 0, 2 + kAcceptX, 2 + kRowY, CurrentTime);
  Window cover = xrig::MapCover();
  ASSERT_NE(cover, 0u);
  ASSERT_FALSE(TextReference({{"Mom", 24, 240}}).Matches(xrig::Snapshot(window), kCallerLine));
  XDestroyWindow(rig, cover);
  XSync(rig, False);

  // The exposure is answered with a redraw, not a decision.
  EXPECT_TRUE(ShowsCaller(window, "Mom"));
  ASSERT_TRUE(xrig::Touch(window, kBlankX, kRowY));
  ASSERT_TRUE(xrig::Touch(window, kBlankX, 400));
  ASSERT_TRUE(xrig::Touch(window, 24, 240));
  EXPECT_EQ(xrig::FindWindow(kTitle), window);

  // The window still decides on a real touch, and only once.
  ASSERT_TRUE(xrig::Touch(window, kRejectX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("stop", "+32112233445")));
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
  EXPECT_EQ(callhandler.Stdout(), CallFrame("stop", "+32112233445"));
}

TEST_F(CallhandlerTest, TwoNewCallsGiveTwoIndependentWindows) {
  ASSERT_TRUE(callhandler.Write(CallFrame("new", "+32112233445") +
                                CallFrame("new", "+32223344556")));
  ASSERT_TRUE(xrig::WaitFor([] { return CountWindows(kTitle) == 2; }));

  ASSERT_TRUE(xrig::Touch(xrig::FindWindow(kTitle), kRejectX, kRowY));
  ASSERT_TRUE(xrig::WaitFor([] { return CountWindows(kTitle) == 1; }));
  ASSERT_TRUE(xrig::Touch(xrig::FindWindow(kTitle), kAcceptX, kRowY));
  ASSERT_TRUE(xrig::WaitForWindowGone(kTitle));

  // One answer for each caller, whichever window lay on top.
  ASSERT_TRUE(callhandler.WaitForStdoutSize(2 * 26 + 2));
  const std::set<std::string> answers = {
      CallFrame("stop", "+32112233445") + CallFrame("accept", "+32223344556"),
      CallFrame("stop", "+32223344556") + CallFrame("accept", "+32112233445")};
  EXPECT_EQ(answers.count(callhandler.Stdout()), 1u) << callhandler.Stdout();
}

TEST_F(CallhandlerTest, CallStartedPausesTheNextReadAndDoesNothingElse) {
  const std::string started = Frame({"call", "started", "+32112233445"});
  auto written = std::chrono::steady_clock::now();
  ASSERT_TRUE(callhandler.Write(started + CallFrame("new", "+32223344556")));
  ASSERT_NE(xrig::WaitForWindow(kTitle), 0u);
  // A lower bound only: a busy machine makes the gap longer, never shorter.
  EXPECT_GE(std::chrono::steady_clock::now() - written, std::chrono::milliseconds(1000));

  ASSERT_TRUE(callhandler.WaitForStderr("NewFrame is \x02\x1f" "call" "\x1f" "new"));
  const std::string& log = callhandler.Stderr();
  size_t started_at = log.find("NewFrame is " + started);
  ASSERT_NE(started_at, std::string::npos);
  EXPECT_NE(log.find("201201111529 Reading NewFrame \n", started_at), std::string::npos);
  EXPECT_EQ(CountWindows(kTitle), 1);
  EXPECT_EQ(xrig::FindWindow("Call Menu"), 0u);
  EXPECT_EQ(callhandler.Stdout(), "");
}

TEST_F(CallhandlerTest, OtherAndBrokenFramesAreIgnored) {
  const std::string oversized = Frame({"call", "new", std::string(600, '9')});
  ASSERT_TRUE(callhandler.Write("junk\x03" + CallFrame("stop", "+32112233445") +
                                CallFrame("stopped", "+32112233445") + CallFrame("accept", "1") +
                                oversized + CallFrame("new", "+32334455667")));
  Window window = xrig::WaitForWindow(kTitle);
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsCaller(window, "Brother"));
  EXPECT_TRUE(callhandler.WaitForStderr("201110251013 Framelength error, discarding frame\n"));
  EXPECT_EQ(CountWindows(kTitle), 1);
  ASSERT_TRUE(xrig::Touch(window, kRejectX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("stop", "+32334455667")));
  EXPECT_EQ(callhandler.Stdout(), CallFrame("stop", "+32334455667")) << "nothing else answered";
}

TEST_F(CallhandlerTest, EndOfInputEndsTheParentOnceButNotItsWindows) {
  Window window = NewCall("+32112233445");
  ASSERT_NE(window, 0u);
  callhandler.CloseStdin();
  EXPECT_EQ(callhandler.WaitForExit(), 0);
  const std::string& log = callhandler.Stderr();
  const std::string ended = "201212071300 end of input, no more frames\n";
  ASSERT_NE(log.find(ended), std::string::npos);
  EXPECT_EQ(log.find(ended), log.rfind(ended));
  EXPECT_EQ(log.substr(log.size() - ended.size()), ended) << "nothing read after the end";

  // The orphaned window still answers, into the same output.
  ASSERT_TRUE(xrig::Touch(window, kAcceptX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("accept", "+32112233445")));
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
}

TEST(CallhandlerInput, NoStandardInputEndsAtOnce) {
  rig::Process callhandler({"/bin/sh", "-c", "exec 0<&- \"$0\"", CALLHANDLER_PATH});
  EXPECT_EQ(callhandler.WaitForExit(), 0);
  // One read finds no input, and that is the end.
  EXPECT_EQ(callhandler.Stderr(),
            "201201111529 Reading NewFrame \n201212071300 end of input, no more frames\n");
}

TEST_F(CallhandlerTest, IncomingCallFromRingToHangUp) {
  Window window = NewCall("+32445566778");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(ShowsCaller(window, "Sister"));
  ASSERT_TRUE(xrig::Touch(window, kAcceptX, kRowY));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("accept", "+32445566778")));
  ASSERT_TRUE(xrig::WaitForWindowGone(kTitle));

  // The modem side reports the call up; no Accept/Reject window is left.
  ASSERT_TRUE(callhandler.Write(Frame({"call", "accepted"})));
  Window menu = xrig::WaitForWindow("Call Menu");
  ASSERT_NE(menu, 0u);
  EXPECT_EQ(CodecRoutingState(alsa), 3);
  ASSERT_TRUE(PressUntil(menu, 80, kRowY, [] { return xrig::FindWindow("Call Menu") == 0; }));
  ASSERT_TRUE(callhandler.WaitForStdout(CallFrame("stop", "+1234567890")));
  EXPECT_EQ(callhandler.Stdout(),
            CallFrame("accept", "+32445566778") + CallFrame("stop", "+1234567890"));
}

// A closed standard error must not become the display connection: the
// window still maps and the call can still be answered.
TEST(CallhandlerStreams, ClosedStandardErrorLeavesTheCallAnswerable) {
  alsarig::AlsaRig alsa;
  rig::Process callhandler({"/bin/sh", "-c", "exec \"$0\" 2>&-", CALLHANDLER_PATH},
                           AlsaEnv(alsa));
  ASSERT_TRUE(callhandler.Write(CallFrame("new", "+32112233445")));
  Window window = xrig::WaitForWindow(kTitle);
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(xrig::Touch(window, kAcceptX, kRowY));
  EXPECT_TRUE(callhandler.WaitForStdout(CallFrame("accept", "+32112233445")));
  kill(-callhandler.Pid(), SIGKILL);
  EXPECT_TRUE(xrig::WaitForWindowGone(kTitle));
}

}  // namespace
