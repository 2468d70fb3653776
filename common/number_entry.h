// The number-choice dialog: "GetPhoneNr", "Contacts" and "ShowKeypad".
#pragma once

// The chosen number, or nullptr when the user leaves without one. The text
// belongs to the contact book or to the keypad; copy it at once.
const char* GetPhoneNr();
// Slot of the chosen contact, or -1.
int ShowContacts();
// The typed number, or nullptr on "Close".
const char* ShowKeypad();
