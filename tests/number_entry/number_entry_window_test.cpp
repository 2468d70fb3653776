// The number dialog as a real process under Xvfb, driven by stylus presses.
#include "xrig.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "process.h"

namespace {

using xrig::Rect;

struct Point {
  int x, y;
};

// All three windows of the dialog have a button row ruled at y 160.
bool ButtonRowDrawn(const xrig::Snapshot& shot) { return shot.HorizontalLine(0, 477, 160); }

// One run of GetPhoneNr in the driver program.
class Dialog {
 public:
  Dialog() : driver_({GETPHONENR_DRIVER}) { Await("GetPhoneNr"); }
  ~Dialog() {
    for (const char* title : {"GetPhoneNr", "Contacts", "ShowKeypad"})
      EXPECT_TRUE(xrig::WaitForWindowGone(title));
  }

  Window window() const { return window_; }
  pid_t pid() const { return driver_.Pid(); }
  // Waits for the next window of the dialog to replace the current one.
  void Await(const char* title) {
    window_ = xrig::WaitForWindow(title);
    ASSERT_NE(window_, 0u) << title;
    ASSERT_TRUE(ButtonRowDrawn(xrig::WaitForDrawing(window_, ButtonRowDrawn))) << title;
  }
  void Touch(std::initializer_list<Point> points) {
    for (Point p : points) ASSERT_TRUE(xrig::Touch(window_, p.x, p.y)) << p.x << "," << p.y;
  }
  // What the dialog returned, once the driver has ended.
  std::string Result() {
    EXPECT_EQ(driver_.WaitForExit(), 0);
    return driver_.Stdout();
  }

 private:
  rig::Process driver_;
  Window window_ = 0;
};

constexpr Point kExit{80, 80}, kContactList{240, 80}, kKeypad{400, 80};
// Contacts: "Close", "OK", "Up", "Down"; keypad: "Del", "OK".
constexpr Point kOk{240, 80}, kUp{400, 80}, kDown{400, 560};
constexpr Point kDel{240, 80}, kKeypadOk{400, 80};

// Label boxes: a 30-pixel font draws above its baseline from x on.
Rect LabelBox(int x, int baseline) { return {x, baseline - 22, 60, 22}; }

TEST(ChoiceWindow, DrawsTheGridAndItsThreeButtons) {
  Dialog dialog;
  ASSERT_NE(dialog.window(), 0u);
  xrig::Snapshot shot = xrig::WaitForDrawing(
      dialog.window(), [](const xrig::Snapshot& s) { return s.HasBlack(LabelBox(324, 80)); });
  for (int y : {0, 160, 320, 480}) EXPECT_TRUE(shot.HorizontalLine(0, 477, y)) << y;
  for (int x : {0, 160, 320}) EXPECT_TRUE(shot.VerticalLine(x, 0, 637)) << x;
  EXPECT_TRUE(shot.HasBlack(LabelBox(4, 80)));
  EXPECT_TRUE(shot.HasBlack(LabelBox(164, 48)));
  EXPECT_TRUE(shot.HasBlack(LabelBox(164, 112)));
  EXPECT_FALSE(shot.HasBlack(LabelBox(164, 80))) << "between Contact and list";
  EXPECT_TRUE(shot.HasBlack(LabelBox(324, 80)));
  EXPECT_FALSE(shot.HasBlack({2, 162, 156, 156})) << "empty cell";
  dialog.Touch({kExit});
  EXPECT_EQ(dialog.Result(), "absent\n");
}

TEST(ChoiceWindow, EmptyCellsLeaveLikeExit) {
  for (Point p : {Point{240, 400}, Point{161, 161}, Point{160, 80}}) {
    Dialog dialog;
    dialog.Touch({p});
    EXPECT_EQ(dialog.Result(), "absent\n") << p.x << "," << p.y;
  }
}

TEST(ChoiceWindow, ExposeRedrawsWhileWaiting) {
  Dialog dialog;
  Rect exit_box = LabelBox(4, 80);
  XClearArea(xrig::Rig(), dialog.window(), exit_box.x, exit_box.y, exit_box.width,
             exit_box.height, False);
  XSync(xrig::Rig(), False);
  ASSERT_FALSE(xrig::Snapshot(dialog.window()).HasBlack(exit_box));
  XClearArea(xrig::Rig(), dialog.window(), exit_box.x, exit_box.y, exit_box.width,
             exit_box.height, True);
  XSync(xrig::Rig(), False);
  EXPECT_TRUE(xrig::WaitFor([&] { return xrig::Snapshot(dialog.window()).HasBlack(exit_box); }));
  dialog.Touch({kExit});
  EXPECT_EQ(dialog.Result(), "absent\n");
}

TEST(ContactsWindow, DrawsButtonsListAndRule) {
  Dialog dialog;
  dialog.Touch({{161, 160}});
  dialog.Await("Contacts");
  xrig::Snapshot shot = xrig::WaitForDrawing(
      dialog.window(), [](const xrig::Snapshot& s) { return s.HorizontalLine(0, 477, 200); });
  for (int y : {0, 160, 200, 480}) EXPECT_TRUE(shot.HorizontalLine(0, 477, y)) << y;
  for (int x : {0, 160, 320}) {
    EXPECT_TRUE(shot.VerticalLine(x, 0, 160)) << x;
    EXPECT_TRUE(shot.VerticalLine(x, 480, 637)) << x;
    EXPECT_FALSE(shot.HasBlack({x, 462, 1, 17})) << "no column line in the list " << x;
  }
  for (Point label : {Point{4, 80}, Point{164, 80}, Point{324, 80}, Point{324, 560}})
    EXPECT_TRUE(shot.HasBlack(LabelBox(label.x, label.y))) << label.x << "," << label.y;
  for (int row = 0; row < 7; ++row) {
    EXPECT_TRUE(shot.HasBlack(LabelBox(4, 180 + 40 * row))) << row;
    EXPECT_TRUE(shot.HasBlack(LabelBox(244, 180 + 40 * row))) << row;
  }
  EXPECT_FALSE(shot.HasBlack({2, 180 + 40 * 7 - 22, 470, 22})) << "eighth row blank";
  dialog.Touch({kOk});
  EXPECT_EQ(dialog.Result(), "number [+32112233445]\n");
}

TEST(ContactsWindow, TenUpsLeaveAnonymousAloneOnTop) {
  Dialog dialog;
  dialog.Touch({kContactList});
  dialog.Await("Contacts");
  for (int i = 0; i < 10; ++i) dialog.Touch({kUp});
  Rect rows_below{2, 202, 476, 276};
  xrig::Snapshot shot = xrig::WaitForDrawing(dialog.window(), [&](const xrig::Snapshot& s) {
    return !s.HasBlack(rows_below) && s.HorizontalLine(0, 477, 200);
  });
  EXPECT_TRUE(shot.HasBlack(LabelBox(4, 180)));
  EXPECT_FALSE(shot.HasBlack(rows_below)) << "rows below the first are blank";
  dialog.Touch({kOk});
  EXPECT_EQ(dialog.Result(), "number [0000000000000]\n");
}

TEST(ContactsWindow, DownStopsAtTheFirstContact) {
  Dialog dialog;
  dialog.Touch({kContactList});
  dialog.Await("Contacts");
  dialog.Touch({kDown, kUp, kUp, kDown, {400, 300}, {320, 600}, {321, 481}, kUp, kOk});
  EXPECT_EQ(dialog.Result(), "number [+32223344556]\n");
}

TEST(ContactsWindow, CloseLeavesWithoutANumber) {
  Dialog dialog;
  dialog.Touch({kContactList});
  dialog.Await("Contacts");
  dialog.Touch({kUp, {160, 160}});
  EXPECT_EQ(dialog.Result(), "absent\n");
}

// Centres of the keys.
Point Key(char key) {
  const std::string keys = "123456789*0#";
  int index = static_cast<int>(keys.find(key));
  return {80 + 160 * (index % 3), 255 + 110 * (index / 3)};
}

std::string TypeOnKeypad(const std::string& keys) {
  Dialog dialog;
  dialog.Touch({kKeypad});
  dialog.Await("ShowKeypad");
  for (char k : keys) dialog.Touch({k == '<' ? kDel : Key(k)});
  dialog.Touch({kKeypadOk});
  return dialog.Result();
}

TEST(KeypadWindow, DrawsKeysRulesAndTheNumber) {
  Dialog dialog;
  dialog.Touch({{321, 1}});
  dialog.Await("ShowKeypad");
  xrig::Snapshot empty = xrig::WaitForDrawing(
      dialog.window(), [](const xrig::Snapshot& s) { return s.HasBlack(LabelBox(324, 585)); });
  for (int y : {0, 160, 200, 310, 420, 530}) EXPECT_TRUE(empty.HorizontalLine(0, 477, y)) << y;
  for (int x : {0, 160, 320}) {
    EXPECT_TRUE(empty.VerticalLine(x, 0, 160)) << x;
    EXPECT_TRUE(empty.VerticalLine(x, 200, 637)) << x;
    EXPECT_FALSE(empty.HasBlack({x, 162, 1, 37})) << "band without lines " << x;
  }
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column)
      EXPECT_TRUE(empty.HasBlack(LabelBox(4 + 160 * column, 255 + 110 * row)));
  for (int x : {4, 164, 324}) EXPECT_TRUE(empty.HasBlack(LabelBox(x, 80)));
  EXPECT_FALSE(empty.HasBlack({2, 170, 476, 29})) << "no number yet";
  dialog.Touch({Key('8')});
  Rect number{2, 170, 60, 29};
  EXPECT_TRUE(xrig::WaitForDrawing(dialog.window(), [&](const xrig::Snapshot& s) {
                return s.HasBlack(number);
              }).HasBlack(number));
  dialog.Touch({{80, 80}});
  EXPECT_EQ(dialog.Result(), "absent\n");
}

TEST(KeypadWindow, TypedNumbersWithDel) {
  EXPECT_EQ(TypeOnKeypad("123<4"), "number [124]\n");
  EXPECT_EQ(TypeOnKeypad("12<"), "number [1 ]\n");
  EXPECT_EQ(TypeOnKeypad("<"), "number [ ]\n");
  EXPECT_EQ(TypeOnKeypad(""), "number []\n") << "an empty text, not absent";
  EXPECT_EQ(TypeOnKeypad("*0#*"), "number [*0#*]\n");
}

TEST(KeypadWindow, KeyBoundsAndTheIgnoredBand) {
  Dialog dialog;
  dialog.Touch({kKeypad});
  dialog.Await("ShowKeypad");
  // With no pause to count, the keypad sleeps through the time of several
  // passes.
  EXPECT_TRUE(xrig::WaitFor([&] { return rig::SleepsThrough(dialog.pid(), 300); }));
  dialog.Touch({{240, 161}, {240, 200}, {160, 201}, {161, 310}, {320, 311}, {321, 531},
                {1, 421}, {0, 300}, kKeypadOk});
  EXPECT_EQ(dialog.Result(), "number [125#7]\n");
}

}  // namespace
