// Hit tests, the contact list paging and the keypad's number buffer.
#include <cstring>

#include "contacts.h"
#include "number_entry.h"
#include "screen.h"

int FirstShown = 0;
char KeypadNumber[kKeypadNumberSize];

namespace {

int KeypadPosition = 0;

constexpr int kBottomRowTop = kScreenHeight - kCellSize;

// Rows of keys under the number band: 200-310, 310-420, 420-530, 530-640.
constexpr int kKeyRowTops[] = {200, 310, 420, 530, 640};
constexpr char kKeys[4][4] = {"123", "456", "789", "*0#"};

}  // namespace

NumberChoice NumberChoiceAt(int x, int y) {
  constexpr NumberChoice kButtons[] = {kChooseNothing, kChooseContacts, kChooseKeypad};
  return ButtonRowAt(x, y, kButtons, kChooseNothing);
}

// "Up" is the top row's right button, "Down" the bottom row's.
ContactsButton ContactsButtonAt(int x, int y) {
  constexpr ContactsButton kTop[] = {kContactsClose, kContactsOk, kContactsUp};
  const ContactsButton top = ButtonRowAt(x, y, kTop, kContactsNone);
  if (top != kContactsNone) return top;
  return ButtonRowColumn(x, y, kBottomRowTop) == 2 ? kContactsDown : kContactsNone;
}

void ContactsUp(int count) {
  if (FirstShown < count - 1) ++FirstShown;
}

void ContactsDown() {
  if (FirstShown > 0) --FirstShown;
}

void FillContactLabels(const char* slots[kContactLabelSlots]) {
  for (int i = 0; i < kContactLabelSlots; ++i) slots[i] = i <= 45 ? "" : nullptr;
  slots[2] = "Close";
  slots[7] = "OK";
  slots[12] = "Up";
  slots[43] = "Down";
  for (int row = 0; row < 8; ++row) {
    int contact = FirstShown + row;
    bool filled = contact < Contacts.Count && contact < kContactSlots;
    slots[15 + 2 * row] = filled ? Contacts.Names[contact] : nullptr;
    slots[16 + 2 * row] = filled ? Contacts.Numbers[contact] : nullptr;
  }
}

void ContactLabelPosition(int slot, int* x, int* y) {
  if (slot < 15) {
    *x = LabelX(slot / 5);
    *y = LabelY(0, slot % 5);
  } else if (slot < 31) {
    int row = (slot - 15) / 2;
    *x = (slot - 15) % 2 == 0 ? 4 : 244;
    *y = 180 + 40 * row;
  } else {
    *x = LabelX((slot - 31) / 5);
    *y = LabelY(3, (slot - 31) % 5);
  }
}

// The whole buffer, so that no character of an earlier number can show
// behind the blank that "Del" leaves.
void ClearKeypadNumber() {
  std::memset(KeypadNumber, 0, sizeof KeypadNumber);
  KeypadPosition = 0;
}

void AppendKeypadChar(char key) {
  if (KeypadPosition >= kKeypadNumberSize - 1) return;
  KeypadNumber[KeypadPosition++] = key;
  KeypadNumber[KeypadPosition] = '\0';
}

void DeleteKeypadChar() {
  KeypadNumber[KeypadPosition] = '\0';
  if (KeypadPosition > 0) --KeypadPosition;
  KeypadNumber[KeypadPosition] = ' ';
}

KeypadButton KeypadButtonAt(int x, int y, char* key) {
  constexpr KeypadButton kTop[] = {kKeypadClose, kKeypadDel, kKeypadOk};
  const KeypadButton top = ButtonRowAt(x, y, kTop, kKeypadNone);
  if (top != kKeypadNone) return top;
  const int column = TouchColumn(x);
  if (column < 0) return kKeypadNone;
  for (int row = 0; row < 4; ++row) {
    if (InBand(y, kKeyRowTops[row], kKeyRowTops[row + 1])) {
      *key = kKeys[row][column];
      return kKeypadKey;
    }
  }
  return kKeypadNone;
}
