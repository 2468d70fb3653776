// smswriter as a whole program: recipient from the number dialog, text from
// the multi-tap keypad, one sms transmit frame out.
#include <gtest/gtest.h>

#include <string>

#include "frame_test_util.h"
#include "program_support.h"

namespace {

using programs::TextReference;

std::string TransmitFrame(const std::string& number, const std::string& text) {
  return frametest::Frame({"sms", "transmit", number, "0", "01-01-1814", "23:59:00", text});
}

// Keypad keys at the centres of their cells.
constexpr int kCloseX = 80, kSendX = 400, kTopY = 80;
constexpr int kAbcX = 240, kAbcY = 240;
constexpr int kDefX = 400, kDefY = 240;

// The first text line: baseline 48 from x 4, above the labels of the top row.
constexpr xrig::Rect kFirstTextLine = {1, 20, 158, 31};

bool ShowsText(Window window, const char* text) {
  return programs::WaitForPixels(window, TextReference({{text, 4, 48}}), kFirstTextLine);
}

class SmswriterTest : public ::testing::Test {
 protected:
  rig::Process smswriter{{SMSWRITER_PATH}};
};

TEST_F(SmswriterTest, SettledTextToContactIsSentWithTheMark) {
  ASSERT_TRUE(programs::ChooseContact(1));  // "Up" once: "Dad"
  Window window = xrig::WaitForWindow("9");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(xrig::Touch(window, kAbcX, kAbcY));
  ASSERT_TRUE(ShowsText(window, "a."));
  ASSERT_TRUE(xrig::Touch(window, kDefX, kDefY));
  ASSERT_TRUE(ShowsText(window, "ad."));
  ASSERT_TRUE(xrig::Touch(window, kSendX, kTopY));

  EXPECT_EQ(smswriter.WaitForExit(), 0);
  EXPECT_EQ(smswriter.Stdout(), TransmitFrame("+32223344556", "ad."));
  const std::string& log = smswriter.Stderr();
  size_t number_at = log.find("201203011354 PhoneNr is +32223344556\n");
  size_t text_at = log.find("201203011355 TextMessageBody is ad.\n");
  ASSERT_NE(number_at, std::string::npos);
  ASSERT_NE(text_at, std::string::npos);
  EXPECT_LT(number_at, text_at);
}

TEST_F(SmswriterTest, SendBeforeThePauseLeavesTheMarkOutAndKeepsTheBlankOfTheNumber) {
  ASSERT_TRUE(programs::TypeNumber({"1", "2", "Del"}));
  Window window = xrig::WaitForWindow("9");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(xrig::Touch(window, kAbcX, kAbcY));
  ASSERT_TRUE(xrig::Touch(window, kSendX, kTopY));
  EXPECT_EQ(smswriter.WaitForExit(), 0);
  EXPECT_EQ(smswriter.Stdout(), TransmitFrame("1 ", "a"));
}

TEST_F(SmswriterTest, CloseOnTheKeypadSendsNothing) {
  ASSERT_TRUE(programs::ChooseContact(0));
  Window window = xrig::WaitForWindow("9");
  ASSERT_NE(window, 0u);
  ASSERT_TRUE(xrig::Touch(window, kAbcX, kAbcY));
  ASSERT_TRUE(xrig::Touch(window, kCloseX, kTopY));
  EXPECT_EQ(smswriter.WaitForExit(), 255);
  EXPECT_EQ(smswriter.Stdout(), "");
}

TEST_F(SmswriterTest, LeavingTheNumberDialogSendsNothing) {
  Window dialog = xrig::WaitForWindow("GetPhoneNr");
  ASSERT_NE(dialog, 0u);
  ASSERT_TRUE(xrig::Touch(dialog, 80, 80));  // "Exit"
  EXPECT_EQ(smswriter.WaitForExit(), 255);
  EXPECT_EQ(smswriter.Stdout(), "");
  EXPECT_EQ(xrig::FindWindow("9"), 0u);
}

}  // namespace
