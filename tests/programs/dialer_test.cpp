// dialer as a whole program: the number dialog, the start frame, the call
// menu with its routing, and the stop frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "frame_test_util.h"
#include "program_support.h"

namespace {

using frametest::Frame;
using programs::AlsaEnv;
using programs::CodecRoutingState;
using programs::PressUntil;

const std::string kStartMom = Frame({"call", "start", "+32112233445"});
const std::string kStopFixed = Frame({"call", "stop", "+1234567890"});

// Call Menu buttons, pressed at the centre of their cells.
constexpr int kMenuY = 80;
constexpr int kEndX = 80, kSpeakerX = 240;

class DialerTest : public ::testing::Test {
 protected:
  alsarig::AlsaRig alsa;
  rig::Process dialer{{DIALER_PATH}, AlsaEnv(alsa)};
};

TEST_F(DialerTest, LeavingTheDialogWritesNothing) {
  Window dialog = xrig::WaitForWindow("GetPhoneNr");
  ASSERT_NE(dialog, 0u);
  ASSERT_TRUE(xrig::Touch(dialog, 80, 80));  // "Exit"
  EXPECT_EQ(dialer.WaitForExit(), 255);
  EXPECT_EQ(dialer.Stdout(), "");
  EXPECT_EQ(alsa.CodecValue(0, codec::kPlaybackVolume), std::nullopt) << "codec was opened";
}

TEST_F(DialerTest, ContactCallRunsTheCallMenuAndEndsWithTheFixedNumber) {
  ASSERT_TRUE(programs::ChooseContact(0));  // "Mom"
  bool logged_first = false;
  ASSERT_TRUE(dialer.WaitFor([&] {
    if (dialer.Stdout().find(kStartMom) == std::string::npos) return false;
    logged_first = dialer.Stderr().find("PhoneNr is +32112233445\n") != std::string::npos;
    return true;
  }));
  EXPECT_TRUE(logged_first) << "the number is logged before the start frame";
  EXPECT_EQ(dialer.Stdout(), kStartMom);
  EXPECT_NE(xrig::FindWindow("StartCall"), 0u);

  Window menu = xrig::WaitForWindow("Call Menu");
  ASSERT_NE(menu, 0u);
  ASSERT_TRUE(xrig::WaitFor([&] { return CodecRoutingState(alsa) == 3; }));

  ASSERT_TRUE(PressUntil(menu, kSpeakerX, kMenuY, [&] { return CodecRoutingState(alsa) == 4; }));
  EXPECT_EQ(dialer.Stdout(), kStartMom) << "Speaker writes no frame";

  // The program's end takes all its windows with it.
  ASSERT_TRUE(PressUntil(xrig::WaitForWindow("Call Menu"), kEndX, kMenuY,
                         [] { return xrig::FindWindow("StartCall") == 0; }));
  EXPECT_EQ(dialer.WaitForExit(), 0);
  EXPECT_EQ(dialer.Stdout(), kStartMom + kStopFixed);
  EXPECT_EQ(CodecRoutingState(alsa), 4) << "ending the call restores no routing";
}

TEST_F(DialerTest, TypedNumberIsSentAsTypedWithItsTrailingBlank) {
  ASSERT_TRUE(programs::TypeNumber({"1", "2", "Del"}));
  const std::string start = Frame({"call", "start", "1 "});
  ASSERT_TRUE(dialer.WaitForStdout(start));
  EXPECT_EQ(dialer.Stdout(), start);
  EXPECT_NE(dialer.Stderr().find("PhoneNr is 1 \n"), std::string::npos);
}

// Closed standard streams must not be taken by the display connections,
// where the frames would be written into the X protocol: they are /dev/null
// while the call runs, and the call ends as usual.
TEST(DialerStreams, ClosedStandardStreamsBecomeDevNull) {
  alsarig::AlsaRig alsa;
  rig::Process dialer({"/bin/sh", "-c", "exec \"$0\" <&- >&-", DIALER_PATH}, AlsaEnv(alsa));
  ASSERT_TRUE(programs::ChooseContact(0));
  Window menu = xrig::WaitForWindow("Call Menu");
  for (int fd : {0, 1}) {
    std::string link = "/proc/" + std::to_string(dialer.Pid()) + "/fd/" + std::to_string(fd);
    char target[64] = {};
    EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0) << link;
    EXPECT_STREQ(target, "/dev/null") << link;
  }
  ASSERT_TRUE(PressUntil(menu, kEndX, kMenuY, [] { return xrig::FindWindow("StartCall") == 0; }));
  EXPECT_EQ(dialer.WaitForExit(), 0);
}

}  // namespace
