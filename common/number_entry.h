// The number-choice dialog: "GetPhoneNr", "Contacts" and "ShowKeypad".
#pragma once

// The chosen number, or nullptr when the user leaves without one. The text
// belongs to the contact book or to the keypad; copy it at once.
const char* GetPhoneNr();
// Slot of the chosen contact, or -1.
int ShowContacts();
// The typed number, or nullptr on "Close".
const char* ShowKeypad();

// The deciding logic of the three windows, without a display.

// "GetPhoneNr" buttons.
enum NumberChoice { kChooseNothing, kChooseContacts, kChooseKeypad };
NumberChoice NumberChoiceAt(int x, int y);

// The contact list: FirstShown is the contact in the first list row.
extern int FirstShown;
enum ContactsButton { kContactsNone, kContactsClose, kContactsOk, kContactsUp, kContactsDown };
ContactsButton ContactsButtonAt(int x, int y);
// "Up" and "Down" keep FirstShown between 0 and count - 1.
void ContactsUp(int count);
void ContactsDown();
inline constexpr int kContactLabelSlots = 110;
// The window's labels for the current FirstShown; absent slots stay blank.
void FillContactLabels(const char* slots[kContactLabelSlots]);
// Baseline start of a label slot.
void ContactLabelPosition(int slot, int* x, int* y);

// The keypad's number: at most 19 characters; keys beyond are ignored.
inline constexpr int kKeypadNumberSize = 20;
extern char KeypadNumber[kKeypadNumberSize];
void ClearKeypadNumber();
void AppendKeypadChar(char key);
// Steps back one place and leaves a blank there, which the next key
// overwrites; on an empty number the text becomes a single blank.
void DeleteKeypadChar();
enum KeypadButton { kKeypadNone, kKeypadClose, kKeypadDel, kKeypadOk, kKeypadKey };
// The button at the position; for kKeypadKey its character goes to *key.
KeypadButton KeypadButtonAt(int x, int y, char* key);
