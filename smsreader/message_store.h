// The message store: every text message the modem side delivered, as one
// file in the message directory and one slot of TextMessageTable, both
// indexed by the message number the modem side assigned.
#pragma once

#include <cstdint>

#include "frame.h"

// The directory of the message files, fixed when the store is built.
extern const char TextMessageDirName[];

inline constexpr int kTextMessageSlots = 99;
// Slot n holds message n while its TextMessageBody is present.
extern TextMessage TextMessageTable[kTextMessageSlots];

// Fills the table from the message files. Returns 0; ends the program when
// the directory or a message file cannot be opened.
int ImportTextMessageFile();

// Receive: a retrieved message takes its slot, its file is saved and "new"
// is written when the slot is empty or holds another body. False, after a
// log line, for a record without a slot or with a field missing: nothing is
// stored, and the caller shows nothing.
bool ReceiveTextMessage(const TextMessage& message);
// Writes slot n (a held slot) to its file and writes the "new" frame.
// Returns 0; ends the program when the file cannot be created.
int SaveTextMessageFile(int n);

// Delete: the message's file goes and its slot empties, keeping the record's
// other fields with the action "deleted". False as for Receive.
bool DeleteTextMessage(const TextMessage& message);
// Removes the file of message n. A file that is already gone is logged and
// passed over; any other failure ends the program.
void DeleteTextMessageFile(int n);

// Look up: slot n when it is held, else nullptr.
const TextMessage* LookUpTextMessage(int32_t n);

// The checks a record passes before the store keeps it or a window shows
// it; each says on standard error why it refuses.
bool TextMessageNrInTable(int32_t n);
// All six fields are there, none empty or holding a frame delimiter.
bool TextMessageComplete(const TextMessage& message);

// The contact's name for a number, or the number itself.
const char* ContactName(const char* number);
// The current time as ctime text (with its line end) on standard error.
void LogCurrentTime();
