// smsreader as a whole program under Xvfb: frames in, message windows and
// their buttons, frames out. The test build keeps its message files in
// "messages" under a scratch working directory.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include "program_support.h"
#include "smsreader_test_util.h"

namespace {

using programs::TextReference;

constexpr int kButtonY = 80, kCloseX = 80, kReplyX = 240, kDeleteX = 400;

class SmsreaderTest : public testing::Test {
 protected:
  // The windows outlive the parent by design; they share its process group.
  void TearDown() override { kill(-smsreader.Pid(), SIGKILL); }
  ScratchDir scratch;
  rig::Process smsreader{{SMSREADER_PATH}, {}, scratch.path};
};

TEST_F(SmsreaderTest, MessageWindowShowsTheMessageAndItsButtonsWriteTheirFrames) {
  std::string body;  // ten lines of 19 show; the last ten characters have no line
  for (int i = 0; i < 200; ++i) body += static_cast<char>('a' + i % 26);
  const std::string mom = "+32112233445";
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 7, body, mom)));
  Window window = xrig::WaitForWindow("7");
  ASSERT_NE(window, 0u);
  std::vector<TextReference::Text> texts = {
      {"Close", 4, 80}, {"Reply", 164, 80}, {"Delete", 324, 80}, {"From: Mom", 4, 208},
      {"31-12-1818 12:34:56", 4, 240}, {"Status: retrieved", 4, 272}};
  std::vector<std::string> pieces;
  for (int k = 0; k < 10; ++k) pieces.push_back(body.substr(19 * k, 19));
  for (int k = 0; k < 10; ++k) texts.push_back({pieces[k].c_str(), 4, 336 + 32 * k});
  TextReference expected(texts, kFontPattern40);
  for (xrig::Rect box : {xrig::Rect{1, 1, 159, 159}, {161, 1, 159, 159}, {321, 1, 157, 159}, {1, 161, 477, 476}})
    EXPECT_TRUE(programs::WaitForPixels(window, expected, box)) << box.x << "," << box.y;
  xrig::Snapshot shown(window);
  EXPECT_TRUE(shown.HorizontalLine(0, 477, 0) && shown.HorizontalLine(0, 477, 160));
  for (int x : {0, 160, 320}) EXPECT_TRUE(shown.VerticalLine(x, 0, 160)) << x;
  ASSERT_TRUE(xrig::Touch(window, 240, 400));  // below the buttons: nothing
  ASSERT_TRUE(xrig::Touch(window, kDeleteX, kButtonY));
  ASSERT_TRUE(xrig::WaitForWindowGone("7"));

  // Asked for, the stored message is shown with its own fields (the reply
  // carries Mom's number), not the request's.
  ASSERT_TRUE(smsreader.Write(Sms("retrieve", 7, "asked")));
  ASSERT_NE(window = xrig::WaitForWindow("7"), 0u);
  ASSERT_TRUE(xrig::Touch(window, kReplyX, kButtonY));
  ASSERT_TRUE(xrig::Touch(window, 240, 240));  // "abc2" on the keypad
  ASSERT_TRUE(xrig::Touch(window, 400, 80));   // "Send"
  ASSERT_TRUE(xrig::WaitForWindowGone("7"));
  ASSERT_TRUE(smsreader.Write(Sms("retrieve", 7, "asked")));
  ASSERT_TRUE(xrig::Touch(xrig::WaitForWindow("7"), kCloseX, kButtonY));
  ASSERT_TRUE(xrig::WaitForWindowGone("7"));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("transmit", 7, "a", mom)));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 7, body, mom) + Sms("delete", 7, body, mom) +
                                    Sms("transmit", 7, "a", mom));
}

TEST_F(SmsreaderTest, FakesmsShowsExactlyTheHeldMessagesAndTheWindowsOutliveTheInput) {
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 3, "three") + Sms("retrieved", 40, "forty") +
                              Sms("retrieved", 5, "five") + Sms("deleted", 5, "five") +
                              Sms("deleted", 6, "never stored") + Sms("retrieved", 99, "no slot")));
  EXPECT_TRUE(smsreader.WaitForStderr("messages/TextMessage_6 was already gone"));
  EXPECT_NE(xrig::WaitForWindow("6"), 0u);
  EXPECT_FALSE(std::filesystem::exists(scratch.path + "/messages/TextMessage_5"));

  rig::Process fakesms({FAKESMS_PATH});
  ASSERT_EQ(fakesms.WaitForExit(), 0);
  ASSERT_TRUE(smsreader.Write(fakesms.Stdout()));
  const std::string last = fakesms.Stdout().substr(fakesms.Stdout().rfind('\x02'));
  ASSERT_TRUE(smsreader.WaitForStderr(last + "\n201111171345 Entering loop\n", 120));
  // Five windows before (none for message 99, which has no slot), then 3 and 40.
  EXPECT_EQ(rig::CountChildren(smsreader.Pid()), 5 + 2);

  smsreader.CloseStdin();
  EXPECT_EQ(smsreader.WaitForExit(), 0);
  const std::string ended = "201111171345 Entering loop\n201212071300 end of input, no more frames\n";
  EXPECT_EQ(smsreader.Stderr().substr(smsreader.Stderr().size() - ended.size()), ended);
  EXPECT_TRUE(xrig::WaitFor([] { return programs::CountWindows("3") == 2 && programs::CountWindows("40") == 2; }));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 3, "three") + Sms("new", 40, "forty") + Sms("new", 5, "five"));
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
  return n;
}

// A store that refuses a save or a delete costs that message its "new"
// frame, not the reader: the message is shown, the slot and files stay as
// they were, and the next message is stored.
TEST_F(SmsreaderTest, AFullOrReadOnlyStoreIsLoggedAndTheReaderGoesOn) {
  const std::string messages = scratch.path + "/messages/";
  ASSERT_EQ(mkdir((messages + ".TextMessage_8.new").c_str(), 0700), 0);  // cannot be created
  ASSERT_EQ(symlink("/dev/full", (messages + ".TextMessage_9.new").c_str()), 0);
  ASSERT_EQ(mkdir((messages + "TextMessage_4").c_str(), 0700), 0);  // cannot be removed
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 8, "eight") + Sms("retrieved", 9, "nine") +
                              Sms("deleted", 4, "four") + Sms("retrieved", 10, "ten")));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("new", 10, "ten")));
  for (const char* title : {"8", "9", "4", "10"}) EXPECT_NE(xrig::WaitForWindow(title), 0u) << title;
  EXPECT_EQ(Count(smsreader.Stderr(), " not saved, no new frame\n"), 2);
  EXPECT_TRUE(std::filesystem::is_directory(messages + "TextMessage_4"));
  // Once the disk takes it, the same message is saved: it was never taken
  // for stored.
  ASSERT_EQ(rmdir((messages + ".TextMessage_8.new").c_str()), 0);
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 8, "eight")));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("new", 8, "eight")));
  EXPECT_EQ(FileBytes(messages + "TextMessage_8"), Sms("retrieved", 8, "eight"));
  EXPECT_EQ(smsreader.Stdout(), Sms("new", 10, "ten") + Sms("new", 8, "eight"));
}

// A message deleted is gone for good, whatever the name of the file it was
// kept in.
TEST(SmsreaderStoreTest, AMessageDeletedStaysGoneAfterARestart) {
  ScratchDir scratch;
  const std::string file = scratch.path + "/messages/TextMessage_007";
  std::ofstream(file) << Sms("retrieved", 7, "seven");
  {
    rig::Process smsreader({SMSREADER_PATH}, {}, scratch.path);
    ASSERT_TRUE(smsreader.Write(Sms("retrieve", 7, "") + Sms("deleted", 7, "seven")));
    ASSERT_TRUE(xrig::WaitFor([] { return programs::CountWindows("7") == 2; }));
    EXPECT_FALSE(std::filesystem::exists(file));
  }
  ASSERT_TRUE(xrig::WaitForWindowGone("7"));
  rig::Process smsreader({SMSREADER_PATH}, {}, scratch.path);
  ASSERT_TRUE(smsreader.Write(Sms("retrieve", 7, "") + Sms("retrieved", 8, "eight")));
  EXPECT_NE(xrig::WaitForWindow("8"), 0u);
  EXPECT_EQ(programs::CountWindows("7"), 0);
}

// The installed program keeps the messages in gta02/messages of the home
// it runs in, made for its owner alone when missing.
TEST(SmsreaderStoreTest, TheMessageFolderIsMadeInTheUsersHome) {
  ScratchDir scratch;
  const std::string home = scratch.path + "/home";
  ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
  rig::Process smsreader({SMSREADER_INSTALLED_PATH}, {{"HOME", home}}, scratch.path);
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 7, "seven")));
  ASSERT_TRUE(smsreader.WaitForStdout(Sms("new", 7, "seven")));
  EXPECT_EQ(FileBytes(home + "/gta02/messages/TextMessage_7"), Sms("retrieved", 7, "seven"));
  for (const std::string& dir : {home + "/gta02", home + "/gta02/messages"}) {
    struct stat status;
    ASSERT_EQ(stat(dir.c_str(), &status), 0) << dir;
    EXPECT_EQ(status.st_mode & 07777, 0700u) << dir;
  }
}

// A reader of the frames that has gone is said once; the messages after it
// are still stored.
TEST(SmsreaderStoreTest, AFrameReaderThatHasGoneIsLoggedOnceAndTheReaderGoesOn) {
  ScratchDir scratch;
  rig::Process smsreader({"/bin/sh", "-c", "\"$0\" | { exec 0<&-; echo reader gone >&2; exec sleep 600; }",
                          SMSREADER_PATH},
                         {}, scratch.path);
  ASSERT_TRUE(smsreader.WaitForStderr("reader gone\n"));
  ASSERT_TRUE(smsreader.Write(Sms("retrieved", 1, "one") + Sms("retrieved", 2, "two") +
                              Sms("retrieved", 3, "three")));
  ASSERT_TRUE(smsreader.WaitFor([&] {  // the pass of the third message is over
    const size_t third = smsreader.Stderr().find("TextMessageBody is:\tthree");
    return third != std::string::npos && smsreader.Stderr().find("Entering loop", third) != std::string::npos;
  }));
  EXPECT_EQ(Count(smsreader.Stderr(), "201212081403 frames cannot be written (Broken pipe)"), 1);
  EXPECT_EQ(FileBytes(scratch.path + "/messages/TextMessage_3"), Sms("retrieved", 3, "three"));
}

}  // namespace
