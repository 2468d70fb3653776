// callhandler's deciding logic: which frames it acts on, where a touch of the
// Accept/Reject window lands, and what the window shows as the caller.
#include "call_logic.h"

#include <gtest/gtest.h>

#include <initializer_list>
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

struct TouchCase {
  int x, y;
  AcceptRejectTouch expected;
};

void ExpectTouches(std::initializer_list<TouchCase> cases) {
  for (const TouchCase& c : cases)
    EXPECT_EQ(ClassifyAcceptRejectTouch(c.x, c.y), c.expected) << c.x << "," << c.y;
}

TEST(AcceptRejectTouch, TopRowCellsIncludeTheirUpperBounds) {
  ExpectTouches({{1, 1, AcceptRejectTouch::kReject},
                 {160, 160, AcceptRejectTouch::kReject},
                 {161, 1, AcceptRejectTouch::kBlank},
                 {320, 160, AcceptRejectTouch::kBlank},
                 {321, 80, AcceptRejectTouch::kAccept},
                 {480, 160, AcceptRejectTouch::kAccept}});
}

TEST(AcceptRejectTouch, CallerLineAndEdgesAreNoButton) {
  // The caller's name stands in the second row; touching it decides nothing.
  ExpectTouches({{24, 240, AcceptRejectTouch::kElsewhere},
                 {400, 161, AcceptRejectTouch::kElsewhere},
                 {400, 639, AcceptRejectTouch::kElsewhere},
                 {0, 80, AcceptRejectTouch::kElsewhere},
                 {80, 0, AcceptRejectTouch::kElsewhere},
                 {481, 80, AcceptRejectTouch::kElsewhere},
                 {-5, -5, AcceptRejectTouch::kElsewhere}});
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
