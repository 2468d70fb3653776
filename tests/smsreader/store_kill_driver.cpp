// The store's half of smsreader, without windows and without the pause
// between frames, so that a test can kill it many times while it saves:
// imports the directory "messages", then receives every retrieved frame.
#include "frame.h"
#include "message_store.h"

int main() {
  if (!PrepareMessageDirectory("messages")) return 1;
  ImportTextMessageFile();
  while (ReadFrame(0) == 0)
    if (ClassifyFrame(NewFrame) == kSmsRetrieved) ReceiveTextMessage(SplitTextMessageFrame(NewFrame));
}
