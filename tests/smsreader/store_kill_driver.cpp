// The store's half of smsreader, without windows and without the pause
// between frames, so that a test can kill it many times while it saves:
// imports the message directory, then receives every retrieved frame.
#include "frame.h"
#include "message_store.h"

int main() {
  ImportTextMessageFile();
  while (ReadFrame(0) == 0)
    if (ClassifyFrame(NewFrame) == kSmsRetrieved) ReceiveTextMessage(SplitTextMessageFrame(NewFrame));
}
