// smsreader as a whole program under Xvfb: frames in, message windows with
// their buttons, frames out. The test build keeps its message files in
// "messages" under a scratch working directory.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <string>
#include <vector>

#include "frame_test_util.h"
#include "program_support.h"
#include "scratch_dir.h"

namespace {

using frametest::Frame;
using programs::TextReference;
using programs::WaitForPixels;

std::string Sms(std::string_view action, int nr, std::string_view body,
                std::string_view number = "+32112233445") {
  return Frame({"sms", action, number, std::to_string(nr), "31-12-1818", "12:34:56", body});
}

constexpr int kButtonY = 80, kCloseX = 80, kReplyX = 240, kDeleteX = 400;
// Boxes that hold one text line each, clear of the lines next to it, which
// the 40-pixel font lets overlap: "From: %s", "Status: %s", the first body line.
constexpr xrig::Rect kFromLine = {1, 172, 477, 34};
constexpr xrig::Rect kStatusLine = {1, 250, 477, 30};
constexpr xrig::Rect kFirstBodyLine = {1, 290, 477, 50};

bool ShowsLine(Window window, const char* text, int baseline, xrig::Rect box) {
  return WaitForPixels(window, TextReference({{text, 4, baseline}}, kFontPattern40), box);
}

class SmsreaderTest : public testing::Test {
 protected:
  // The windows outlive the parent by design; they share its process group.
  void TearDown() override { kill(-smsreader.Pid(), SIGKILL); }
  ScratchDir scratch;
  rig::Process smsreader{{SMSREADER_PATH}, {}, scratch.path};
};

TEST_F(SmsreaderTest, WindowShowsTheMessageAndDeleteAsksForItWithTheWholeBody) {
  std::string body;
  for (int i = 0; i < 200; ++i) body += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 7, body)));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("new", 7, body)));
  Window window = xrig::WaitForWindow("7");
  ASSERT_NE(window, 0u);

  std::vector<TextReference::Text> texts = {
      {"Close", 4, 80},         {"Reply", 164, 80},    {"Delete", 324, 80},
      {"From: Mom", 4, 208},    {"31-12-1818 12:34:56", 4, 240},
      {"Status: retrieved", 4, 272}};
  std::vector<std::string> pieces;  // ten lines of 19; the last ten characters stay unseen
  for (int k = 0; k < 10; ++k) pieces.push_back(body.substr(19 * k, 19));
  for (int k = 0; k < 10; ++k) texts.push_back({pieces[k].c_str(), 4, 336 + 32 * k});
  TextReference expected(texts, kFontPattern40);
  for (xrig::Rect box : {xrig::Rect{1, 1, 159, 159}, {161, 1, 159, 159}, {321, 1, 157, 159},
                         {1, 161, 477, 476}})
    EXPECT_TRUE(WaitForPixels(window, expected, box)) << box.x << "," << box.y;
  xrig::Snapshot shown(window);
  EXPECT_TRUE(shown.HorizontalLine(0, 477, 0));
  EXPECT_TRUE(shown.HorizontalLine(0, 477, 160));
  for (int x : {0, 160, 320}) EXPECT_TRUE(shown.VerticalLine(x, 0, 160)) << x;

  ASSERT_TRUE(xrig::Touch(window, 240, 400));  // below the buttons: nothing
  ASSERT_TRUE(xrig::Touch(window, kDeleteX, kButtonY));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("delete", 7, body)));
  EXPECT_TRUE(xrig::WaitForWindowGone("7"));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 7, body) + Sms("delete", 7, body));
}

TEST_F(SmsreaderTest, ReplySendsTheTypedTextAndCloseSendsNothing) {
  const char* stranger = "+49301234567";
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 12, "hi", stranger)));
  Window window = xrig::WaitForWindow("12");
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsLine(window, "From: +49301234567", 208, kFromLine));
  ASSERT_TRUE(xrig::Touch(window, kReplyX, kButtonY));
  ASSERT_TRUE(xrig::Touch(window, 240, 240));  // "abc2" on the keypad
  ASSERT_TRUE(xrig::Touch(window, 400, 80));   // "Send"
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("transmit", 12, "a", stranger)));
  ASSERT_TRUE(xrig::WaitForWindowGone("12"));

  // Asked for, the stored message shows its own fields, not the request's.
  ASSERT_TRUE(smsreader.Write(Sms("retrieve", 12, "asked")));
  window = xrig::WaitForWindow("12");
  ASSERT_NE(window, 0u);
  EXPECT_TRUE(ShowsLine(window, "hi", 336, kFirstBodyLine));
  ASSERT_TRUE(xrig::Touch(window, kCloseX, kButtonY));
  EXPECT_TRUE(xrig::WaitForWindowGone("12"));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 12, "hi", stranger) + Sms("transmit", 12, "a", stranger));
}

TEST_F(SmsreaderTest, FakesmsShowsExactlyTheHeldMessagesAndTheWindowsOutliveTheInput) {
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 3, "three") + Sms("retrieved", 40, "forty") +
                              Sms("retrieved", 5, "five") + Sms("deleted", 5, "five") +
                              Sms("deleted", 6, "never stored") + Sms("retrieved", 99, "no slot") +
                              Sms("transmitted", 9, "sent")));
  Window deleted = xrig::WaitForWindow("6");
  ASSERT_NE(deleted, 0u);
  EXPECT_TRUE(ShowsLine(deleted, "Status: deleted", 272, kStatusLine));
  EXPECT_FALSE(std::filesystem::exists(scratch.Message("TextMessage_5")));
  EXPECT_TRUE(smsreader.WaitForStderr("messages/TextMessage_6 was already gone"));

  rig::Process fakesms({FAKESMS_PATH});
  ASSERT_EQ(fakesms.WaitForExit(), 0);
  ASSERT_TRUE(smsreader.Write(fakesms.Stdout()));
  const std::string last = fakesms.Stdout().substr(fakesms.Stdout().rfind('\x02'));
  ASSERT_TRUE(smsreader.WaitForStderr(last + "\n201111171345 Entering loop\n", 120));
  // Six windows before, and one more each for messages 3 and 40.
  EXPECT_EQ(rig::CountChildren(smsreader.Pid()), 8);
  EXPECT_NE(smsreader.Stderr().find("message number 99 is outside 0 to 98"), std::string::npos);

  smsreader.CloseStdin();
  EXPECT_EQ(smsreader.WaitForExit(), 0);
  const std::string ended = "201212071300 end of input, no more frames\n";
  EXPECT_EQ(smsreader.Stderr().substr(smsreader.Stderr().size() - ended.size()), ended);
  EXPECT_TRUE(xrig::WaitFor([] {
    return programs::CountWindows("3") == 2 && programs::CountWindows("40") == 2;
  }));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 3, "three") + Sms("new", 40, "forty") + Sms("new", 5, "five"));
}

}  // namespace
