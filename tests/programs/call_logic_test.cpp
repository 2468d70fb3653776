// callhandler's deciding logic: which frames it acts on, where a touch of the
// Accept/Reject window lands, and what the window shows as the caller.
#include "call_logic.h"

#include <gtest/gtest.h>

#include <string>

#include "contacts.h"
#include "frame.h"

namespace {

TEST(CallFrameDispatch, ActsOnlyOnNewAcceptedAndStartedCalls) {
  EXPECT_EQ(ActionForCode(kCallNew), CallFrameAction::kShowAcceptReject);
  EXPECT_EQ(ActionForCode(kCallAccepted), CallFrameAction::kStartCallMenu);
  EXPECT_EQ(ActionForCode(kCallStarted), CallFrameAction::kPauseReading);
  for (int code : {kUnknownFrame, kCallAccept, kCallStart, kCallStop, kCallStopped,
                   kGsmPoweringOn, kSmsNew, kSmsRetrieve, kNotifySwitchToProfile})
    EXPECT_EQ(ActionForCode(code), CallFrameAction::kIgnore) << code;
}

TEST(AcceptRejectTouch, TopRowCellsIncludeTheirUpperBounds) {
  EXPECT_EQ(ClassifyAcceptRejectTouch(1, 1), AcceptRejectTouch::kReject);
  EXPECT_EQ(ClassifyAcceptRejectTouch(160, 160), AcceptRejectTouch::kReject);
  EXPECT_EQ(ClassifyAcceptRejectTouch(161, 1), AcceptRejectTouch::kBlank);
  EXPECT_EQ(ClassifyAcceptRejectTouch(320, 160), AcceptRejectTouch::kBlank);
  EXPECT_EQ(ClassifyAcceptRejectTouch(321, 80), AcceptRejectTouch::kAccept);
  EXPECT_EQ(ClassifyAcceptRejectTouch(480, 160), AcceptRejectTouch::kAccept);
}

TEST(AcceptRejectTouch, CallerLineAndEdgesAreNoButton) {
  // The caller's name stands in the second row; touching it decides nothing.
  EXPECT_EQ(ClassifyAcceptRejectTouch(24, 240), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(400, 161), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(400, 639), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(0, 80), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(80, 0), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(481, 80), AcceptRejectTouch::kElsewhere);
  EXPECT_EQ(ClassifyAcceptRejectTouch(-5, -5), AcceptRejectTouch::kElsewhere);
}

class CallerLabelTest : public ::testing::Test {
 protected:
  void SetUp() override { FillContactBook(); }
  char label[kCallerLabelSize];
};

TEST_F(CallerLabelTest, KnownNumbersShowTheContactName) {
  EXPECT_STREQ(CallerLabel("+32112233445", label), "Mom");
  // The same subscriber in national form.
  EXPECT_STREQ(CallerLabel("0112233445", label), "Mom");
  EXPECT_STREQ(CallerLabel("+32223344556", label), "Dad");
  EXPECT_STREQ(CallerLabel("000000000", label), "Anonymous");
}

TEST_F(CallerLabelTest, UnknownNumbersShowThemselves) {
  EXPECT_STREQ(CallerLabel("12345", label), "12345");
  EXPECT_STREQ(CallerLabel("+49301234567", label), "+49301234567");
  // A call frame without a number gives the ETX piece as its number.
  EXPECT_STREQ(CallerLabel("\x03", label), "\x03");
}

TEST_F(CallerLabelTest, OverlongNumberIsCutToTheLabel) {
  std::string number(300, '7');
  CallerLabel(number.c_str(), label);
  EXPECT_EQ(std::string(label), number.substr(0, kCallerLabelSize - 1));
}

}  // namespace
