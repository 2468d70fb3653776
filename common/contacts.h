// The fixed contact book and the lookup of a number's contact.
#pragma once

inline constexpr int kContactSlots = 110;

struct ContactBook {
  const char* Names[kContactSlots];
  const char* Numbers[kContactSlots];
  int Count;
};

// The program's one contact book.
extern ContactBook Contacts;

void FillContactBook();
// Slot of the contact whose number best holds the last nine characters of
// number, or -1.
int FindContactByNumber(const char* number);
// How a caller or sender is shown: the contact's name for the number, or
// the number itself.
const char* ContactName(const char* number);
