#include "frame.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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

// The action and the one field after it, of a call or notify frame.
struct ActionAndField {
  FrameText action;
  FrameText field;
};

ActionAndField SplitActionFrame(const char* frame, const char* extra_pieces_line) {
  Fields fields = FrameFields(frame);
  ReportExtraPieces(fields, 3, extra_pieces_line);
  return {FieldText(fields, 2), FieldText(fields, 3)};
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

bool HoldsDelimiter(std::string_view text) {
  return text.find_first_of(kDelimiters) != std::string_view::npos;
}

// One whole frame on standard output. A field holding a delimiter, or a
// frame too long for a reader's buffer, would reach the reader as a broken
// frame: it is refused with a log line and nothing is written. The stream
// is flushed before, and the frame leaves in one write of its own, so it
// never shares one with output of a parent or child.
void PutFrame(const std::vector<std::string_view>& fields) {
  if (std::ranges::any_of(fields, HoldsDelimiter)) {
    fputs("201212081401 frame refused: a field holds STX, US or ETX\n", stderr);
    return;
  }
  std::string frame = FrameBytes(fields);
  if (frame.size() > kMaxFrameLength) {
    fprintf(stderr, "201212081402 frame refused: %zu bytes, more than %zu\n", frame.size(),
            kMaxFrameLength);
    return;
  }
  fflush(stdout);
  NoteFrameWrite(WriteAll(STDOUT_FILENO, frame));
}

// The fields of the record's sms frame; number_text keeps the text of its
// number for as long as the fields are used.
std::vector<std::string_view> SmsFields(const TextMessage& m, std::string& number_text) {
  number_text = std::to_string(m.TextMessageNr);
  return {"sms", TextOrEmpty(m.TextAction), TextOrEmpty(m.PhoneNumber), number_text,
          TextOrEmpty(m.TextMessageDate), TextOrEmpty(m.TextMessageTime),
          TextOrEmpty(m.TextMessageBody)};
}

// The text fields of a message record, in frame order.
std::array<const FrameText*, 5> TextFields(const TextMessage& m) {
  return {&m.TextAction, &m.PhoneNumber, &m.TextMessageDate, &m.TextMessageTime,
          &m.TextMessageBody};
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
  auto [action, number] =
      SplitActionFrame(frame, "201201281326 more fields than there should be\n");
  return {action.value_or(""), number.value_or("")};
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
  auto [action, profile] =
      SplitActionFrame(frame, "201203112310 more fields than there should be\n");
  return {action, profile};
}

void WriteCallFrame(const char* action, const char* number) {
  PutFrame({"call", TextOrEmpty(action), TextOrEmpty(number)});
}

void WriteSmsFrame(const TextMessage& message) {
  std::string number_text;
  PutFrame(SmsFields(message, number_text));
}

void WriteGsmFrame(const char* action) { PutFrame({"gsm", TextOrEmpty(action)}); }

std::string FrameBytes(const std::vector<std::string_view>& fields) {
  std::string frame(1, STX);
  for (std::string_view field : fields) {
    frame += US;
    frame += field;
  }
  frame += US;
  frame += ETX;
  return frame;
}

std::string SmsFrameBytes(const TextMessage& message) {
  std::string number_text;
  return FrameBytes(SmsFields(message, number_text));
}

size_t SmsBodyRoom(const TextMessage& message) {
  TextMessage bodiless = message;
  bodiless.TextMessageBody.reset();
  size_t frame = SmsFrameBytes(bodiless).size();
  return frame < kMaxFrameLength ? kMaxFrameLength - frame : 0;
}

bool FieldGiven(const std::string& field) {
  return !field.empty() && field != std::string_view(&ETX, 1);
}

bool FieldGiven(const FrameText& field) { return field && FieldGiven(*field); }

bool MessageComplete(const TextMessage& message) {
  return std::ranges::all_of(TextFields(message),
                             [](const FrameText* field) { return FieldGiven(*field); });
}

bool MessageWritable(const TextMessage& message) {
  return std::ranges::all_of(TextFields(message), [](const FrameText* field) {
    return FieldGiven(*field) && !HoldsDelimiter(**field);
  });
}

bool ValidNumber(std::string_view number) {
  if (number.starts_with('+')) number.remove_prefix(1);
  if (number.empty() || number.size() > 20) return false;
  return number.find_first_not_of("0123456789*#") == std::string_view::npos;
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
