// The three windows of the number-choice dialog.
#include "contacts.h"
#include "number_entry.h"
#include "screen.h"

namespace {

// "GetPhoneNr": 60 lines, all empty but the three buttons' labels.
struct ChoiceLabels {
  const char* entries[kLabelListCapacity + 1];
  ChoiceLabels() {
    for (int i = 0; i < kLabelListCapacity; ++i) entries[i] = "";
    entries[kLabelListCapacity] = nullptr;
    entries[2] = "Exit";
    entries[6] = "Contact";
    entries[8] = "list";
    entries[12] = "Keypad";
  }
};
const ChoiceLabels kChoiceLabels;

void DrawContacts(Window window) {
  const char* slots[kContactLabelSlots];
  FillContactLabels(slots);
  XClearWindow(PhoneDisplay, window);
  DrawButtonRowLines(window, 0);
  DrawButtonRowLines(window, kScreenHeight - kCellSize);
  for (int slot = 0; slot < kContactLabelSlots; ++slot) {
    if (slots[slot] == nullptr) continue;
    int x, y;
    ContactLabelPosition(slot, &x, &y);
    DrawPhoneText(window, x, y, slots[slot]);
  }
  DrawPhoneLine(window, 0, 200, kScreenWidth, 200);  // under the current contact
  XFlush(PhoneDisplay);
}

void DrawKeypad(Window window) {
  static const char* const kKeyLabels[4][3] = {
      {"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"*", "0", "#"}};
  static const ButtonLabels kTopRow = {{"Close", "Del", "OK"}};
  XClearWindow(PhoneDisplay, window);
  DrawButtonRow(window, 0, kTopRow);
  for (int y = 200; y <= kScreenHeight; y += 110) DrawPhoneLine(window, 0, y, kScreenWidth, y);
  for (int x = 0; x < kScreenWidth; x += kCellSize) DrawPhoneLine(window, x, 200, x, kScreenHeight);
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 3; ++column)
      DrawPhoneText(window, LabelX(column), 255 + 110 * row, kKeyLabels[row][column]);
  DrawPhoneText(window, 4, 200, KeypadNumber);
  XFlush(PhoneDisplay);
}

}  // namespace

const char* GetPhoneNr() {
  GC gc;
  Window window = CreatePhoneWindow(&gc, "GetPhoneNr");
  if (window == 0) return nullptr;
  DrawLabelGrid(window, kChoiceLabels.entries);
  WaitForTouch(window, [window] { DrawLabelGrid(window, kChoiceLabels.entries); });
  int x, y;
  if (!ReadTouchPoint(window, &x, &y)) return nullptr;
  switch (NumberChoiceAt(x, y)) {
    case kChooseContacts: {
      ClosePhoneDisplay(PhoneDisplay, gc);
      FillContactBook();
      int slot = ShowContacts();
      return slot < 0 ? nullptr : Contacts.Numbers[slot];
    }
    case kChooseKeypad:
      ClosePhoneDisplay(PhoneDisplay, gc);
      return ShowKeypad();
    case kChooseNothing:
      break;
  }
  return nullptr;
}

int ShowContacts() {
  GC gc;
  Window window = CreatePhoneWindow(&gc, "Contacts");
  if (window == 0) return -1;
  FirstShown = 0;
  for (;;) {
    DrawContacts(window);
    WaitForWindowTouch(window, [window] { DrawContacts(window); });
    int x, y;
    if (!ReadTouchPoint(window, &x, &y)) {
      ClosePhoneDisplay(PhoneDisplay, gc);
      return -1;
    }
    switch (ContactsButtonAt(x, y)) {
      case kContactsClose:
        ClosePhoneDisplay(PhoneDisplay, gc);
        return -1;
      case kContactsOk:
        ClosePhoneDisplay(PhoneDisplay, gc);
        return FirstShown;
      case kContactsUp:
        ContactsUp(Contacts.Count);
        break;
      case kContactsDown:
        ContactsDown();
        break;
      case kContactsNone:
        break;
    }
  }
}

const char* ShowKeypad() {
  ClearKeypadNumber();
  GC gc;
  Window window = CreatePhoneWindow(&gc, "ShowKeypad");
  if (window == 0) return nullptr;
  DrawKeypad(window);
  for (;;) {
    PollForTouch(window, [window] { DrawKeypad(window); });
    int x, y;
    if (!ReadTouchPoint(window, &x, &y)) return nullptr;
    char key = 0;
    switch (KeypadButtonAt(x, y, &key)) {
      case kKeypadClose:
        return nullptr;
      case kKeypadOk:
        return KeypadNumber;
      case kKeypadDel:
        DeleteKeypadChar();
        DrawKeypad(window);
        break;
      case kKeypadKey:
        AppendKeypadChar(key);
        DrawKeypad(window);
        break;
      case kKeypadNone:
        break;
    }
  }
}
