#include "frame.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "program.h"

char NewFrame[kFrameBufferSize];
char TmpChar[2];

namespace {

constexpr int kFirstByteWaitSeconds = 60;
constexpr size_t kMaxFrameLength = kFrameBufferSize - 1;
constexpr int kNoLimit = -1;

// ---- Reading ----

// Waits up to seconds (or without limit) for fd to become readable; false
// on timeout or error.
bool WaitReadable(int fd, int seconds) {
  pollfd watch = {fd, POLLIN, 0};
  int timeout_ms = seconds == kNoLimit ? -1 : std::min(seconds, INT_MAX / 1000) * 1000;
  return poll(&watch, 1, timeout_ms) > 0;
}

// Reads one byte into TmpChar. 1: a byte came (NUL included); 0: end of
// input, or a read error that retrying would not cure.
int ReadOneByte(int fd) {
  for (;;) {
    TmpChar[0] = '\0';
    ssize_t n = read(fd, TmpChar, 1);
    if (n == 1) return 1;
    if (n == 0) return 0;
    if (errno == EINTR) continue;
    // A non-blocking descriptor: once a frame has begun the reader waits
    // for the rest without a limit.
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      WaitReadable(fd, kNoLimit);
      continue;
    }
    return 0;
  }
}

void ReportLengthError(size_t length) {
  fprintf(stderr, "201110251013 Framelength error, discarding frame\n");
  fprintf(stderr, "201203271747 Length is %i\n", static_cast<int>(length));
  fprintf(stderr, "201203271748 NewFrame is %s\n", NewFrame);
  fprintf(stderr, "201203271749 TmpChar is %s\n", TmpChar);
}

// ---- Cutting into pieces ----

// The fields of a frame: the text cut at every run of US bytes, strtok-like
// (no empty pieces), with the first piece (normally the STX) dropped. Index
// 0 is field 1, the type. The views point into frame, which is not changed.
std::vector<std::string_view> FrameFields(const char* frame) {
  std::vector<std::string_view> pieces;
  if (frame == nullptr) return pieces;
  std::string_view rest(frame);
  while (!rest.empty()) {
    size_t start = rest.find_first_not_of(US);
    if (start == std::string_view::npos) break;
    rest.remove_prefix(start);
    size_t end = rest.find(US);
    pieces.push_back(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end);
  }
  if (!pieces.empty()) pieces.erase(pieces.begin());
  return pieces;
}

using Fields = std::vector<std::string_view>;

// Field number n (1 = type), when the frame has it.
std::optional<std::string> FieldText(const Fields& fields, size_t n) {
  if (n == 0 || n > fields.size()) return std::nullopt;
  return std::string(fields[n - 1]);
}

// The piece right after the last data field (normally the ETX) goes
// silently; every piece beyond it gets the splitter's line.
void ReportExtraPieces(const Fields& fields, size_t last_data_field,
                       const char* line) {
  for (size_t n = last_data_field + 2; n <= fields.size(); ++n) fputs(line, stderr);
}

// strtol in base 10, held within the 32-bit range instead of wrapping, so a
// huge number never turns into a small valid one.
int32_t MessageNumber(const std::optional<std::string>& text) {
  if (!text) return 0;
  long value = strtol(text->c_str(), nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

// ---- Classifying ----

// The actions of one message type, in ascending order of their codes,
// which follow each other from first_code.
struct ActionSet {
  std::vector<std::string_view> actions;
  int first_code;
  const char* empty_line;
  // A printf format; the action is passed as "%.*s" arguments, which a
  // format without a conversion ignores.
  const char* unknown_format;
};

const ActionSet kCallActions = {
    {"accept", "accepted", "new", "start", "started", "stop", "stopped"},
    kCallAccept,
    "201111141321 empty call action\n",
    "201111141306 unkown call action %.*s\n"};
const ActionSet kGsmActions = {
    {"poweredoff", "poweredon", "poweroff", "poweron", "poweringon"},
    kGsmPoweredOff,
    "201111141323 empty gsm action\n",
    "201111141316 unkown gsm action\n"};
const ActionSet kSmsActions = {
    {"delete", "deleted", "new", "retrieve", "retrieved", "transmit", "transmitted"},
    kSmsDelete,
    "201111141322 empty sms action\n",
    "201111141303 unkown sms action %.*s\n"};
const ActionSet kNotifyActions = {
    {"switchtoprofile"},
    kNotifySwitchToProfile,
    "201203112044 empty notify action\n",
    "201203112045 unkown notify action %.*s\n"};

int ParseAction(const char* frame, const ActionSet& set) {
  Fields fields = FrameFields(frame);
  if (fields.size() < 2) {
    fputs(set.empty_line, stderr);
    return kUnknownFrame;
  }
  std::string_view action = fields[1];
  for (size_t i = 0; i < set.actions.size(); ++i)
    if (action == set.actions[i]) return set.first_code + static_cast<int>(i);
  fprintf(stderr, set.unknown_format, static_cast<int>(action.size()), action.data());
  return kUnknownFrame;
}

// ---- Writing ----

const char* TextOrEmpty(const char* text) { return text ? text : ""; }
const char* TextOrEmpty(const FrameText& text) { return text ? text->c_str() : ""; }

constexpr char kDelimiters[] = {STX, US, ETX, '\0'};

// The error of the last frame write that failed, 0 once one succeeds.
int FrameWriteError = 0;

// A reader that has gone stays gone: the failure is said once, not for
// every frame that follows, and again only after a write has worked.
void NoteFrameWrite(int error) {
  if (error != 0 && error != FrameWriteError)
    fprintf(stderr, "201212081403 frames cannot be written (%s), dropped until a write works\n",
            strerror(error));
  FrameWriteError = error;
}

// One whole frame on standard output. A field holding a delimiter, or a
// frame too long for a reader's buffer, would reach the reader as a broken
// frame: it is refused with a log line and nothing is written. The stream
// is flushed before, and the frame leaves in one write of its own, so it
// never shares one with output of a parent or child.
void PutFrame(std::initializer_list<const char*> fields) {
  std::string frame(1, STX);
  for (const char* field : fields) {
    if (strpbrk(field, kDelimiters) != nullptr) {
      fputs("201212081401 frame refused: a field holds STX, US or ETX\n", stderr);
      return;
    }
    frame += US;
    frame += field;
  }
  frame += US;
  frame += ETX;
  if (frame.size() > kMaxFrameLength) {
    fprintf(stderr, "201212081402 frame refused: %zu bytes, more than %zu\n", frame.size(),
            kMaxFrameLength);
    return;
  }
  fflush(stdout);
  NoteFrameWrite(WriteAll(STDOUT_FILENO, frame));
}

termios KeptInputMode;
bool InputModeKept = false;

}  // namespace

int ReadFrame(int fd) { return ReadFrameWithin(fd, kFirstByteWaitSeconds); }

int ReadFrameWithin(int fd, int seconds) {
  NewFrame[0] = '\0';
  TmpChar[0] = '\0';
  TmpChar[1] = '\0';
  if (!WaitReadable(fd, seconds)) return 0;
  size_t length = 0;
  do {
    if (ReadOneByte(fd) == 0) return -1;
    size_t grown = length + strlen(TmpChar);  // a NUL adds nothing
    if (grown > kMaxFrameLength) {
      ReportLengthError(grown);
      return -2;
    }
    NewFrame[length] = TmpChar[0];
    length = grown;
    NewFrame[length] = '\0';
  } while (TmpChar[0] != ETX);
  return 0;
}

int ClassifyFrame(const char* frame) {
  fprintf(stderr, "201202162043 NewFrame is %s\n", TextOrEmpty(frame));
  Fields fields = FrameFields(frame);
  if (fields.empty()) {
    fputs("201111141320 empty message type\n", stderr);
    return kUnknownFrame;
  }
  std::string_view type = fields[0];
  if (type == "sms") return ParseSmsAction(frame);
  if (type == "call") return ParseCallAction(frame);
  if (type == "gsm") return ParseGsmAction(frame);
  if (type == "notify") return ParseNotifyAction(frame);
  fputs("201111141319 unkown message type\n", stderr);
  return kUnknownFrame;
}

int ParseCallAction(const char* frame) { return ParseAction(frame, kCallActions); }
int ParseSmsAction(const char* frame) { return ParseAction(frame, kSmsActions); }
int ParseGsmAction(const char* frame) { return ParseAction(frame, kGsmActions); }
int ParseNotifyAction(const char* frame) { return ParseAction(frame, kNotifyActions); }

CallFields SplitCallFrame(const char* frame) {
  Fields fields = FrameFields(frame);
  CallFields call;
  call.CallAction = FieldText(fields, 2).value_or("");
  call.PhoneNr = FieldText(fields, 3).value_or("");
  ReportExtraPieces(fields, 3, "201201281326 more fields than there should be\n");
  return call;
}

TextMessage SplitTextMessageFrame(const char* frame) {
  Fields fields = FrameFields(frame);
  TextMessage message;
  message.TextAction = FieldText(fields, 2);
  message.PhoneNumber = FieldText(fields, 3);
  message.TextMessageNr = MessageNumber(FieldText(fields, 4));
  message.TextMessageDate = FieldText(fields, 5);
  message.TextMessageTime = FieldText(fields, 6);
  message.TextMessageBody = FieldText(fields, 7);
  ReportExtraPieces(fields, 7, "201111162309 more fields than there should be\n");
  return message;
}

NotifyFields SplitNotifyFrame(const char* frame) {
  Fields fields = FrameFields(frame);
  NotifyFields notify;
  notify.NotifyAction = FieldText(fields, 2);
  notify.ProfileText = FieldText(fields, 3);
  ReportExtraPieces(fields, 3, "201203112310 more fields than there should be\n");
  return notify;
}

void WriteCallFrame(const char* action, const char* number) {
  PutFrame({"call", TextOrEmpty(action), TextOrEmpty(number)});
}

void WriteSmsFrame(const TextMessage& message) {
  char number[16];
  snprintf(number, sizeof number, "%i", static_cast<int>(message.TextMessageNr));
  PutFrame({"sms", TextOrEmpty(message.TextAction), TextOrEmpty(message.PhoneNumber), number,
            TextOrEmpty(message.TextMessageDate), TextOrEmpty(message.TextMessageTime),
            TextOrEmpty(message.TextMessageBody)});
}

void SetInputMode() {
  if (tcgetattr(0, &KeptInputMode) != 0) return;
  InputModeKept = true;
  termios working = KeptInputMode;
  working.c_lflag &= ~(ICANON | ECHO);
  tcsetattr(0, TCSANOW, &working);
}

void RestoreInputMode() {
  if (InputModeKept) tcsetattr(0, TCSANOW, &KeptInputMode);
}
