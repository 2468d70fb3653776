// The number dialog's buttons, contact paging and keypad buffer.
#include <gtest/gtest.h>

#include <cstring>
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

TEST(KeypadButtons, TopRowKeyRowsAndTheIgnoredBand) {
  char key = 0;
  EXPECT_EQ(KeypadButtonAt(160, 1, &key), kKeypadClose);
  EXPECT_EQ(KeypadButtonAt(161, 160, &key), kKeypadDel);
  EXPECT_EQ(KeypadButtonAt(480, 80, &key), kKeypadOk);
  EXPECT_EQ(KeypadButtonAt(100, 161, &key), kKeypadNone);
  EXPECT_EQ(KeypadButtonAt(100, 200, &key), kKeypadNone);
  EXPECT_EQ(KeypadButtonAt(0, 300, &key), kKeypadNone);
  EXPECT_EQ(KeypadButtonAt(481, 300, &key), kKeypadNone);
  EXPECT_EQ(KeypadButtonAt(100, 0, &key), kKeypadNone);
  struct {
    int x, y;
    char key;
  } keys[] = {{1, 201, '1'},   {160, 310, '1'}, {161, 311, '5'}, {320, 420, '5'},
              {321, 421, '9'}, {480, 530, '9'}, {1, 531, '*'},   {200, 640, '0'},
              {400, 600, '#'}, {400, 250, '3'}, {10, 400, '4'},  {200, 500, '8'}};
  for (auto k : keys) {
    key = 0;
    EXPECT_EQ(KeypadButtonAt(k.x, k.y, &key), kKeypadKey) << k.x << "," << k.y;
    EXPECT_EQ(key, k.key) << k.x << "," << k.y;
  }
  EXPECT_EQ(KeypadButtonAt(200, 641, &key), kKeypadNone);
}

TEST(NumberChoiceButtons, OnlyTheTopRowChooses) {
  EXPECT_EQ(NumberChoiceAt(160, 80), kChooseNothing);  // "Exit"
  EXPECT_EQ(NumberChoiceAt(161, 80), kChooseContacts);
  EXPECT_EQ(NumberChoiceAt(320, 160), kChooseContacts);
  EXPECT_EQ(NumberChoiceAt(321, 1), kChooseKeypad);
  EXPECT_EQ(NumberChoiceAt(321, 161), kChooseNothing);
  EXPECT_EQ(NumberChoiceAt(200, 0), kChooseNothing);
  EXPECT_EQ(NumberChoiceAt(0, 80), kChooseNothing);
}

TEST(ContactsButtons, TopRowAndDown) {
  EXPECT_EQ(ContactsButtonAt(160, 160), kContactsClose);
  EXPECT_EQ(ContactsButtonAt(161, 1), kContactsOk);
  EXPECT_EQ(ContactsButtonAt(321, 80), kContactsUp);
  EXPECT_EQ(ContactsButtonAt(321, 481), kContactsDown);
  EXPECT_EQ(ContactsButtonAt(480, 640), kContactsDown);
  EXPECT_EQ(ContactsButtonAt(400, 480), kContactsNone);
  EXPECT_EQ(ContactsButtonAt(320, 600), kContactsNone);
  EXPECT_EQ(ContactsButtonAt(400, 300), kContactsNone);
  EXPECT_EQ(ContactsButtonAt(0, 80), kContactsNone);
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
