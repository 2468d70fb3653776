// The keypad's state machine and text layout, driven without a display.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>

#include "multitap.h"

namespace {

// Cells of the keys; the second page has blanks and "*0#1" where the first
// has "abc2", "def3" and "ghi4".
constexpr int kClose = 0, kDel = 1, kSend = 2, kOther = 3, kAbc = 4, kDef = 5,
              kGhi = 6, kBlank1 = 4, kBlank2 = 5, kStar = 6;

class Multitap : public ::testing::Test {
 protected:
  void SetUp() override { StartMultitap(s); }
  std::string Text() const { return s.TextBuffer; }
  void Press(std::initializer_list<int> cells) {
    for (int cell : cells) PressMultitapCell(s, cell);
  }
  // Ticks until the pending character is fixed; false if it never is.
  bool Pause() {
    for (int i = 0; i < kMultitapFixTicks; i++)
      if (TickMultitap(s)) return i == kMultitapFixTicks - 1;
    return false;
  }
  MultitapState s;
};

TEST_F(Multitap, RepeatedPressesStepAndWrapThroughTheGroup) {
  Press({kAbc, kAbc, kAbc});
  EXPECT_EQ(Text(), "c");
  EXPECT_TRUE(s.Pending);
  EXPECT_EQ(s.CursorPos, 0);
  ASSERT_TRUE(Pause());
  EXPECT_EQ(Text(), "c.");
  EXPECT_EQ(s.CursorPos, 1);
  EXPECT_FALSE(s.Pending);
  EXPECT_EQ(s.LastKey, kNoKey);

  Press({kAbc, kAbc, kAbc, kAbc, kAbc, kAbc, kAbc, kAbc});
  EXPECT_EQ(Text(), "ca");
}

TEST_F(Multitap, OnlyTheNinthPauseFixesAndIdleTicksChangeNothing) {
  EXPECT_FALSE(TickMultitap(s));
  Press({kDef});
  for (int i = 0; i < kMultitapFixTicks - 1; i++) EXPECT_FALSE(TickMultitap(s));
  EXPECT_EQ(Text(), "d");
  Press({kDef});  // a press restarts the pause
  for (int i = 0; i < kMultitapFixTicks - 1; i++) EXPECT_FALSE(TickMultitap(s));
  EXPECT_TRUE(TickMultitap(s));
  EXPECT_EQ(Text(), "e.");
  for (int i = 0; i < 3 * kMultitapFixTicks; i++) EXPECT_FALSE(TickMultitap(s));
  EXPECT_EQ(Text(), "e.");
}

TEST_F(Multitap, OnlyAPendingCharacterHasPassesToWaitFor) {
  EXPECT_EQ(MultitapWaitMs(s, 5000, 0), -1);
  Press({kAbc});  // taken at 1000 ms
  EXPECT_EQ(MultitapWaitMs(s, 1000, 1000), 100);
  EXPECT_EQ(MultitapWaitMs(s, 1030, 1000), 70);
  EXPECT_EQ(MultitapWaitMs(s, 1100, 1000), 0);
  EXPECT_EQ(MultitapWaitMs(s, 1250, 1000), 0) << "a pass woken late ends at once";
  TickMultitap(s);
  EXPECT_EQ(MultitapWaitMs(s, 1120, 1000), 80) << "passes keep their place after the press";
  Press({kOther});
  EXPECT_EQ(MultitapWaitMs(s, 1120, 1000), 80) << "Other leaves the pause running";
  for (int tick = 2; tick < kMultitapFixTicks; tick++) TickMultitap(s);
  EXPECT_TRUE(TickMultitap(s));
  EXPECT_EQ(MultitapWaitMs(s, 1900, 1000), -1) << "fixed: nothing to count";
}

TEST_F(Multitap, AnotherKeyReplacesThePendingCharacterInPlace) {
  Press({kAbc, kDef});
  ASSERT_TRUE(Pause());
  EXPECT_EQ(Text(), "d.");
  // After a pause the same key starts a new character at its first one.
  Press({kDef});
  EXPECT_EQ(Text(), "dd");
}

TEST_F(Multitap, OtherKeepsThePendingCharacterAndPageCountsInTheKey) {
  Press({kGhi, kOther});
  EXPECT_EQ(s.Page, 1);
  EXPECT_EQ(Text(), "g");
  Press({kStar});  // same cell, other page: a different key
  EXPECT_EQ(Text(), "*");
  Press({kOther, kOther});
  EXPECT_TRUE(s.Pending);
  Press({kStar});  // back on the same key: steps on
  EXPECT_EQ(Text(), "0");
  EXPECT_EQ(PressMultitapCell(s, kOther), KeypadAction::kRedraw);
  Press({kGhi});
  ASSERT_TRUE(Pause());
  EXPECT_EQ(Text(), "g.");
}

TEST_F(Multitap, SendAndCloseEndWithTheBufferAsShown) {
  Press({kAbc});
  EXPECT_EQ(PressMultitapCell(s, kSend), KeypadAction::kSend);
  EXPECT_EQ(Text(), "a");
  ASSERT_TRUE(Pause());
  EXPECT_EQ(PressMultitapCell(s, kSend), KeypadAction::kSend);
  EXPECT_EQ(Text(), "a.");
  Press({kOther});
  EXPECT_EQ(PressMultitapCell(s, kSend), KeypadAction::kSend);  // "Sent"
  EXPECT_EQ(PressMultitapCell(s, kClose), KeypadAction::kClose);
}

TEST_F(Multitap, DelLeavesABlankBehindAndStopsAtZero) {
  Press({kDel});
  EXPECT_EQ(Text(), ".");
  EXPECT_EQ(s.CursorPos, 0);
  for (int i = 0; i < 3; i++) {
    Press({kAbc});
    ASSERT_TRUE(Pause());
  }
  EXPECT_EQ(Text(), "aaa.");
  Press({kDel});
  EXPECT_EQ(Text(), "aa. ");
  EXPECT_EQ(s.CursorPos, 2);
  Press({kDel, kDel, kDel});
  EXPECT_EQ(Text(), ".   ");
  Press({kDef});  // typing ends the text at the new character
  EXPECT_EQ(Text(), "d");
}

TEST_F(Multitap, DelDropsAPendingCharacterAndTheNextKeyStartsAfresh) {
  Press({kAbc});
  ASSERT_TRUE(Pause());
  Press({kAbc, kAbc});
  Press({kDel});
  EXPECT_EQ(Text(), "a.");
  EXPECT_EQ(s.CursorPos, 1);
  EXPECT_FALSE(s.Pending);
  EXPECT_EQ(s.LastKey, kNoKey);
  for (int i = 0; i < 3 * kMultitapFixTicks; i++) EXPECT_FALSE(TickMultitap(s));
  EXPECT_EQ(Text(), "a.");
  Press({kAbc});  // not a step of the dropped character
  EXPECT_EQ(Text(), "aa");
  ASSERT_TRUE(Pause());
  EXPECT_EQ(Text(), "aa.");
}

TEST_F(Multitap, TheTextNeverGrowsBeyondTheLimit) {
  for (int i = 0; i < kMultitapTextLimit; i++) {
    Press({kGhi});
    ASSERT_TRUE(Pause());
  }
  EXPECT_EQ(s.CursorPos, kMultitapTextLimit);
  EXPECT_EQ(Text(), std::string(kMultitapTextLimit, 'g') + ".");
  Press({kDef, kDef});
  EXPECT_EQ(Text(), std::string(kMultitapTextLimit, 'g') + "e");
  ASSERT_TRUE(Pause());
  EXPECT_EQ(s.CursorPos, kMultitapTextLimit);
  EXPECT_EQ(Text(), std::string(kMultitapTextLimit, 'g') + ".");
}

TEST_F(Multitap, BlankCellsAndTouchesOutsideTheKeysDoNothing) {
  Press({kAbc, kOther});
  for (int cell : {kBlank1, kBlank2, -1, kMultitapCells})
    EXPECT_EQ(PressMultitapCell(s, cell), KeypadAction::kNothing);
  EXPECT_EQ(Text(), "a");
  EXPECT_EQ(s.LastKey, kAbc);
}

TEST_F(Multitap, StartForgetsThePreviousCall) {
  Press({kAbc, kOther, kStar});
  StartMultitap(s);
  EXPECT_EQ(Text(), ".");
  EXPECT_EQ(s.Page, 0);
  EXPECT_FALSE(s.Pending);
  EXPECT_FALSE(TickMultitap(s));
}

// Letter keys give the small letters, the capitals, then the digit of their
// label; the other keys the characters of their label ("sp" is the blank).
TEST(MultitapTable, GroupsFollowTheLabels) {
  for (int cell = 4; cell < kMultitapCells; cell++) {
    const std::string label = MultitapLabels(0)[cell];
    std::string expected = label.substr(0, label.size() - 1);
    for (char c : label.substr(0, label.size() - 1))
      expected += static_cast<char>(toupper(c));
    EXPECT_EQ(MultitapGroup(0, cell), expected + label.back());
  }
  for (int cell = 6; cell < kMultitapCells; cell++) {
    std::string label = MultitapLabels(1)[cell];
    if (label.starts_with("sp")) label.replace(0, 2, " ");
    EXPECT_EQ(MultitapGroup(1, cell), label);
  }
  EXPECT_EQ(MultitapGroup(1, 4), nullptr);
  EXPECT_EQ(MultitapGroup(2, 6), nullptr);
}

TEST(MultitapLayout, PiecesOfEighteenGoToTheNineBaselines) {
  TextPiece p[kTextPieceCount];
  ASSERT_EQ(LayoutMultitapText(".", p), 1);
  EXPECT_EQ(p[0].x, 4);
  EXPECT_EQ(p[0].y, 48);
  EXPECT_EQ(std::string(p[0].text, p[0].length), ".");

  const std::string eighteen(18, 'x');
  EXPECT_EQ(LayoutMultitapText(eighteen.c_str(), p), 1);
  const std::string twenty = eighteen + "y.";
  ASSERT_EQ(LayoutMultitapText(twenty.c_str(), p), 2);
  EXPECT_EQ(p[1].y, 112);
  EXPECT_EQ(std::string(p[1].text, p[1].length), "y.");

  std::string full;
  for (int i = 0; i < kMultitapTextLimit; i++) full += static_cast<char>('A' + i % 26);
  full += '.';
  ASSERT_EQ(LayoutMultitapText(full.c_str(), p), kTextPieceCount);
  const int baselines[] = {48, 112, 144, 176, 208, 272, 304, 336, 368};
  std::string joined;
  for (int i = 0; i < kTextPieceCount; i++) {
    EXPECT_EQ(p[i].y, baselines[i]);
    joined.append(p[i].text, p[i].length);
  }
  EXPECT_EQ(joined, full);
  EXPECT_EQ(p[8].length, 160 - 8 * 18);

  // A buffer that lost its NUL is read no further than its own size.
  struct {
    char text[kMultitapBufferSize];
    char after;
  } unterminated;
  std::memset(unterminated.text, 'x', sizeof unterminated.text);
  unterminated.after = 'y';
  ASSERT_EQ(LayoutMultitapText(unterminated.text, p), kTextPieceCount);
  EXPECT_EQ(p[8].length, kMultitapBufferSize - 8 * 18);
}

}  // namespace
