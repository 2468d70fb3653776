// fakesms run as a process: its bytes, and its frames read back.
#include <gtest/gtest.h>

#include <string>

#include "capture.h"
#include "frame.h"
#include "frame_test_util.h"
#include "process.h"

namespace {

using frametest::Frame;

std::string ExpectedStream() {
  std::string stream;
  for (int i = 0; i < 99; ++i)
    stream += Frame({"sms", "retrieve", "+1234567890", std::to_string(i), "31-12-1818",
                     "12:34:56", "fake"});
  return stream;
}

std::string RunFakesms() {
  rig::Process fakesms({FAKESMS_PATH});
  EXPECT_EQ(fakesms.WaitForExit(), 0);
  EXPECT_EQ(fakesms.Stderr(), "");
  return fakesms.Stdout();
}

TEST(Fakesms, WritesTheFixedStreamOfNinetyNineFrames) {
  std::string out = RunFakesms();
  EXPECT_EQ(out.size(), 5534u);
  EXPECT_EQ(out, ExpectedStream());
}

TEST(Fakesms, ItsFramesReadBackAsSmsRetrieveRecordsZeroTo98) {
  frametest::Pipe p;
  p.Write(RunFakesms());
  p.CloseWriter();
  rig::CapturedFd err(2);  // the classifier's echo of each frame
  for (int i = 0; i < 99; ++i) {
    ASSERT_EQ(ReadFrameWithin(p.read_end, 20), 0) << "frame " << i;
    ASSERT_EQ(ClassifyFrame(NewFrame), kSmsRetrieve) << "frame " << i;
    TextMessage m = SplitTextMessageFrame(NewFrame);
    EXPECT_EQ(m.TextMessageNr, i);
    EXPECT_EQ(m.TextAction, "retrieve");
    EXPECT_EQ(m.PhoneNumber, "+1234567890");
    EXPECT_EQ(m.TextMessageDate, "31-12-1818");
    EXPECT_EQ(m.TextMessageTime, "12:34:56");
    EXPECT_EQ(m.TextMessageBody, "fake");
  }
  EXPECT_EQ(ReadFrameWithin(p.read_end, 20), -1);
  EXPECT_EQ(err.Text().find("more fields"), std::string::npos);
}

// Output that cannot be written is an error, said in the manner of perror:
// a full device, and a closed standard output.
TEST(Fakesms, AFailedWriteIsReportedAndEndsWithStatusOne) {
  for (const char* redirect : {">/dev/full", ">&-"}) {
    rig::Process fakesms({"/bin/sh", "-c", std::string("exec \"$0\" ") + redirect, FAKESMS_PATH});
    EXPECT_EQ(fakesms.WaitForExit(), 1) << redirect;
    EXPECT_EQ(fakesms.Stderr().rfind("fakesms: standard output: ", 0), 0u) << fakesms.Stderr();
  }
}

}  // namespace
