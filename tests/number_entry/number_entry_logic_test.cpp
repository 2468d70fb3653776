// The number dialog's buttons, contact paging and keypad buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>

#include "contacts.h"
#include "number_entry.h"

namespace {

std::string Typed(const char* keys) {
  ClearKeypadNumber();
  for (const char* k = keys; *k != '\0'; ++k) {
    if (*k == '<')
      DeleteKeypadChar();
    else
      AppendKeypadChar(*k);
  }
  return KeypadNumber;
}

TEST(KeypadNumber, DelLeavesABlankThatTheNextKeyOverwrites) {
  EXPECT_EQ(Typed("123<4"), "124");
  EXPECT_EQ(Typed("12<"), "1 ");
  EXPECT_EQ(Typed("<"), " ");
  EXPECT_EQ(Typed("<<7"), "7");
  EXPECT_EQ(Typed("*0#"), "*0#");
  EXPECT_EQ(Typed(""), "");
}

TEST(KeypadNumber, KeysBeyondTheNineteenthAreIgnored) {
  EXPECT_EQ(Typed("1234567890123456789012345"), "1234567890123456789");
  EXPECT_EQ(KeypadNumber[kKeypadNumberSize - 1], '\0');
  EXPECT_EQ(Typed("1234567890123456789<5"), "1234567890123456785");
}

TEST(KeypadNumber, OpeningAgainForgetsTheEarlierNumber) {
  Typed("98765");
  EXPECT_EQ(Typed("<"), " ");
}

// A table of touches and the button each must hit, named by its point on
// failure.
template <typename Button>
struct PointCase {
  int x, y;
  Button expected;
};

template <typename Button>
void ExpectHits(Button (*hit)(int x, int y), std::initializer_list<PointCase<Button>> cases) {
  for (const PointCase<Button>& c : cases)
    EXPECT_EQ(hit(c.x, c.y), c.expected) << c.x << "," << c.y;
}

KeypadButton KeypadButtonOnly(int x, int y) {
  char key = 0;
  return KeypadButtonAt(x, y, &key);
}

TEST(KeypadButtons, TopRowKeyRowsAndTheIgnoredBand) {
  ExpectHits(KeypadButtonOnly, {{160, 1, kKeypadClose},
                                {161, 160, kKeypadDel},
                                {480, 80, kKeypadOk},
                                {100, 161, kKeypadNone},
                                {100, 200, kKeypadNone},
                                {0, 300, kKeypadNone},
                                {481, 300, kKeypadNone},
                                {100, 0, kKeypadNone},
                                {200, 641, kKeypadNone}});
  struct {
    int x, y;
    char key;
  } keys[] = {{1, 201, '1'},   {160, 310, '1'}, {161, 311, '5'}, {320, 420, '5'},
              {321, 421, '9'}, {480, 530, '9'}, {1, 531, '*'},   {200, 640, '0'},
              {400, 600, '#'}, {400, 250, '3'}, {10, 400, '4'},  {200, 500, '8'}};
  for (auto k : keys) {
    char key = 0;
    EXPECT_EQ(KeypadButtonAt(k.x, k.y, &key), kKeypadKey) << k.x << "," << k.y;
    EXPECT_EQ(key, k.key) << k.x << "," << k.y;
  }
}

TEST(NumberChoiceButtons, OnlyTheTopRowChooses) {
  ExpectHits(NumberChoiceAt, {{160, 80, kChooseNothing},  // "Exit"
                              {161, 80, kChooseContacts},
                              {320, 160, kChooseContacts},
                              {321, 1, kChooseKeypad},
                              {321, 161, kChooseNothing},
                              {200, 0, kChooseNothing},
                              {0, 80, kChooseNothing}});
}

TEST(ContactsButtons, TopRowAndDown) {
  ExpectHits(ContactsButtonAt, {{160, 160, kContactsClose},
                                {161, 1, kContactsOk},
                                {321, 80, kContactsUp},
                                {321, 481, kContactsDown},
                                {480, 640, kContactsDown},
                                {400, 480, kContactsNone},
                                {320, 600, kContactsNone},
                                {400, 300, kContactsNone},
                                {0, 80, kContactsNone}});
}

TEST(ContactsPaging, StaysWithinTheBook) {
  FillContactBook();
  FirstShown = 0;
  ContactsDown();
  EXPECT_EQ(FirstShown, 0);
  for (int i = 0; i < 10; ++i) ContactsUp(Contacts.Count);
  EXPECT_EQ(FirstShown, 6);
  ContactsDown();
  EXPECT_EQ(FirstShown, 5);
}

TEST(ContactsPaging, RowsShowTheBookFromFirstShownAndBlankBeyond) {
  FillContactBook();
  const char* slots[kContactLabelSlots];
  FirstShown = 0;
  FillContactLabels(slots);
  EXPECT_STREQ(slots[2], "Close");
  EXPECT_STREQ(slots[7], "OK");
  EXPECT_STREQ(slots[12], "Up");
  EXPECT_STREQ(slots[43], "Down");
  EXPECT_STREQ(slots[15], "Mom");
  EXPECT_STREQ(slots[16], "+32112233445");
  EXPECT_STREQ(slots[27], "Anonymous");
  EXPECT_EQ(slots[29], nullptr);  // eighth row: no eighth contact
  EXPECT_EQ(slots[46], nullptr);

  FirstShown = 6;
  FillContactLabels(slots);
  EXPECT_STREQ(slots[15], "Anonymous");
  EXPECT_STREQ(slots[16], "0000000000000");
  for (int slot = 17; slot <= 30; ++slot) EXPECT_EQ(slots[slot], nullptr) << slot;
}

TEST(ContactsLayout, SlotPositions) {
  struct {
    int slot, x, y;
  } expected[] = {{2, 4, 80},    {7, 164, 80},   {12, 324, 80},  {15, 4, 180},
                  {16, 244, 180}, {29, 4, 460},  {30, 244, 460}, {31, 4, 496},
                  {43, 324, 560}, {45, 324, 624}};
  for (auto e : expected) {
    int x, y;
    ContactLabelPosition(e.slot, &x, &y);
    EXPECT_EQ(x, e.x) << e.slot;
    EXPECT_EQ(y, e.y) << e.slot;
  }
}

}  // namespace
