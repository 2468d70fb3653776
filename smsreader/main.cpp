// smsreader: receives text messages. The parent reads frames for ever and
// keeps the message store; every message to be shown gets a window in a
// child process of its own, with "Close", "Reply" and "Delete".
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

#include "contacts.h"
#include "frame.h"
#include "message_store.h"
#include "message_window_logic.h"
#include "multitap.h"
#include "program.h"
#include "screen.h"

// The message directory: "" for gta02/messages in the home of the user
// running the reader (the installed program), else the directory itself.
#ifndef TEXT_MESSAGE_DIR
#error "TEXT_MESSAGE_DIR is a FIXED value of phone_program() in smsreader/CMakeLists.txt"
#endif

namespace {

constexpr useconds_t kPassPauseMicroseconds = 100000;

// Exit statuses of a message window's child.
constexpr int kClosed = 1;
constexpr int kReplied = 2;
constexpr int kDeleteAsked = 3;

// The message window of a child process: the message and its text lines.
Window MessageWindow;
TextMessage Shown;
std::string HeaderLines[3];
std::vector<std::string_view> BodyLines;

const ButtonLabels kButtons = {{"Close", "Reply", "Delete"}};

void DrawMessageWindow() {
  DrawButtonRow(MessageWindow, 0, kButtons);
  int y = kHeaderFirstBaseline;
  for (const std::string& line : HeaderLines) {
    DrawPhoneText(MessageWindow, kMessageTextX, y, line.c_str());
    y += kMessageLineSpacing;
  }
  y = kBodyFirstBaseline;
  for (std::string_view piece : BodyLines) {
    XDrawString(PhoneDisplay, MessageWindow, PhoneGC, kMessageTextX, y, piece.data(),
                static_cast<int>(piece.size()));
    y += kMessageLineSpacing;
  }
  XFlush(PhoneDisplay);
}

// Writes the shown message as a frame with another action and text.
void WriteShown(const char* action, const char* body) {
  TextMessage message = Shown;
  message.TextAction = action;
  message.TextMessageBody = body;
  WriteSmsFrame(message);
}

[[noreturn]] void Reply() {
  XClearWindow(PhoneDisplay, MessageWindow);
  const char* typed = GetTextMessageBody(MessageWindow);
  if (typed == nullptr) exit(kClosed);
  WriteShown("transmit", typed);
  exit(kReplied);
}

// The child's part: shows Shown and ends on one of its buttons.
[[noreturn]] void RunMessageWindow() {
  char title[12];
  snprintf(title, sizeof title, "%i", static_cast<int>(Shown.TextMessageNr));
  GC gc;
  MessageWindow = CreatePhoneWindow(&gc, title);
  if (MessageWindow == 0) exit(1);
  HeaderLines[0] = std::string("From: ") + ContactName(Shown.PhoneNumber->c_str());
  HeaderLines[1] = *Shown.TextMessageDate + " " + *Shown.TextMessageTime;
  HeaderLines[2] = "Status: " + *Shown.TextAction;
  BodyLines = BodyPieces(*Shown.TextMessageBody);
  DrawMessageWindow();
  for (;;) {
    WaitForTouch(MessageWindow, DrawMessageWindow);
    int x = 0, y = 0;
    if (!ReadTouchPoint(MessageWindow, &x, &y)) exit(1);
    switch (MessageButtonAt(x, y)) {
      case MessageButton::kClose:
        exit(kClosed);
      case MessageButton::kReply:
        Reply();
      case MessageButton::kDelete:
        WriteShown("delete", Shown.TextMessageBody->c_str());
        exit(kDeleteAsked);
      case MessageButton::kNone:
        break;
    }
  }
}

// Forks the window of one message; the parent goes on at once. A record
// that lacks a field is not shown.
int ShowTextMessage(const TextMessage& message) {
  if (!TextMessageComplete(message)) return 0;
  if (ForkReapedChild("Forking failed 201109021816\n", stdout) == 0) {
    Shown = message;
    RunMessageWindow();
  }
  return 0;
}

// The current time as ctime text (with its line end) on standard error.
void LogCurrentTime() {
  time_t now = time(nullptr);
  fputs(ctime(&now), stderr);
}

// Once the input has ended no frame can come any more. The windows stay and
// still write their frames; the parent has nothing left to do.
[[noreturn]] void EndOfInput() {
  fputs("201212071300 end of input, no more frames\n", stderr);
  exit(0);
}

void HandleTextMessageFrame() {
  fputs("201111171345 Entering loop\n", stderr);
  int result = ReadFrame(0);
  if (result == -1) EndOfInput();
  if (result != 0) return;
  TextMessage message;
  switch (ClassifyFrame(NewFrame)) {
    case kSmsDeleted:
      message = SplitTextMessageFrame(NewFrame);
      if (DeleteTextMessage(message)) ShowTextMessage(message);
      break;
    case kSmsRetrieve:
      message = SplitTextMessageFrame(NewFrame);
      if (const TextMessage* held = LookUpTextMessage(message.TextMessageNr))
        ShowTextMessage(*held);
      break;
    case kSmsRetrieved:
      message = SplitTextMessageFrame(NewFrame);
      if (ReceiveTextMessage(message)) ShowTextMessage(message);
      break;
    case kSmsTransmitted:
      ShowTextMessage(SplitTextMessageFrame(NewFrame));
      break;
    default:
      break;
  }
}

}  // namespace

int main() {
  OpenStandardStreams();
  IgnoreBrokenPipe();
  if (atexit(RestoreInputMode) != 0) fputs("Cleanup function not registered\n", stderr);
  UsePhoneFont(kFontPattern40);
  LogCurrentTime();
  SetLogStamp(LogCurrentTime);
  SetInputMode();
  FillContactBook();
  if (!PrepareMessageDirectory(TEXT_MESSAGE_DIR)) exit(1);
  ImportTextMessageFile();
  for (;;) {
    HandleTextMessageFrame();
    usleep(kPassPauseMicroseconds);
  }
}
