// The message store: every text message the modem side delivered, as one
// file in the message directory and one slot of TextMessageTable, both
// indexed by the message number the modem side assigned.
#pragma once

#include <cstdint>
#include <string>

#include "frame.h"

// Sets the directory of the message files, "" for gta02/messages in the
// user's home, and creates it (and gta02 above a home's) for the owner
// alone when it is missing. False, after a log line, when there is no home
// to put it in or it cannot be created. The first call of the store.
bool PrepareMessageDirectory(const std::string& dir);

// The store's lines about a message file that failed, and about each file
// imported, begin with the reader's time line: stamp writes it (none when
// not set).
void SetLogStamp(void (*stamp)());

inline constexpr int kTextMessageSlots = kLastMessageNr + 1;
// Slot n holds message n while its TextMessageBody is present.
extern TextMessage TextMessageTable[kTextMessageSlots];

// Fills the table from the message files. Returns 0; ends the program when
// the directory or a message file cannot be opened.
int ImportTextMessageFile();

// Receive: a retrieved message is saved when its slot is empty or holds
// another body; only a message saved takes its slot and is announced with
// "new". True when the message is to be shown: also after a save that
// failed, which leaves the slot and its file as they were. False, after a
// log line, for a record without a slot or with a field missing.
bool ReceiveTextMessage(const TextMessage& message);
// Saves the message as the file of its number; on success its slot takes
// it, older files of that number go, and the "new" frame is written.
// 0, or -1 after log lines when it could not be saved.
int SaveTextMessageFile(const TextMessage& message);

// Delete: every file message n came from goes, then its slot empties,
// keeping the record's other fields with the action "deleted". True when
// the message is to be shown, also when a file stayed (the slot then stays
// too); false as for Receive.
bool DeleteTextMessage(const TextMessage& message);
// Removes the files of message n: TextMessage_n and any other it was
// imported from. Files already gone are passed over. 0, or -1 after log
// lines when one could not be removed.
int DeleteTextMessageFile(int n);

// Look up: slot n when it is held, else nullptr.
const TextMessage* LookUpTextMessage(int32_t n);

// The checks a record passes before the store keeps it or a window shows
// it; each says on standard error why it refuses.
bool TextMessageNrInTable(int32_t n);
// All six fields are there, none empty or holding a frame delimiter.
bool TextMessageComplete(const TextMessage& message);
