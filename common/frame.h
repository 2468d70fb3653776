// Frames: the byte strings the programs exchange on their standard streams.
// STX, then US and the text of each field, one more US, ETX.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr char STX = 0x02;
inline constexpr char US = 0x1F;
inline constexpr char ETX = 0x03;

// The caller an incoming call frame names when the network withholds the
// number.
inline constexpr const char* kWithheldCaller = "withheld";

// Text messages are numbered 0 to kLastMessageNr in sms frames.
inline constexpr int kLastMessageNr = 98;
constexpr bool MessageNrInRange(int32_t n) { return n >= 0 && n <= kLastMessageNr; }

// A number a call or sms frame may ask to dial or send to: an optional "+"
// and 1 to 20 of 0-9, * and #.
bool ValidNumber(std::string_view number);

// The last frame read: at most 499 frame bytes and a NUL.
inline constexpr int kFrameBufferSize = 500;
extern char NewFrame[kFrameBufferSize];
// The byte just read and a NUL.
extern char TmpChar[2];

// Message codes returned by ClassifyFrame.
enum MessageCode : int {
  kUnknownFrame = -1,
  kCallAccept = 100,
  kCallAccepted = 101,
  kCallNew = 102,
  kCallStart = 103,
  kCallStarted = 104,
  kCallStop = 105,
  kCallStopped = 106,
  kGsmPoweredOff = 200,
  kGsmPoweredOn = 201,
  kGsmPowerOff = 202,
  kGsmPowerOn = 203,
  kGsmPoweringOn = 204,
  kSmsDelete = 300,
  kSmsDeleted = 301,
  kSmsNew = 302,
  kSmsRetrieve = 303,
  kSmsRetrieved = 304,
  kSmsTransmit = 305,
  kSmsTransmitted = 306,
  kNotifySwitchToProfile = 400,
};

// A text field that a frame may lack.
using FrameText = std::optional<std::string>;

// A call frame's fields; a field the frame lacks is "".
struct CallFields {
  std::string CallAction;
  std::string PhoneNr;
};

// An sms frame's fields, also the record of the message store and the
// composer. A text field the frame lacks is absent; a missing number is 0.
struct TextMessage {
  FrameText TextAction;
  int32_t TextMessageNr = 0;
  FrameText PhoneNumber;
  FrameText TextMessageDate;
  FrameText TextMessageTime;
  FrameText TextMessageBody;
};

// A notify frame's fields; a field the frame lacks is absent.
struct NotifyFields {
  FrameText NotifyAction;
  FrameText ProfileText;
};

// A field a frame really carried: present and not empty. The splitter hands
// a missing last field the ETX piece, which counts as not carried.
bool FieldGiven(const std::string& field);
bool FieldGiven(const FrameText& field);
// Every text field of the record is given.
bool MessageComplete(const TextMessage& message);
// Complete, and no field holds STX, US or ETX: a record that goes back into
// a frame as it is.
bool MessageWritable(const TextMessage& message);

// The bytes of a frame of these fields, the type first: STX, a US before
// each field, one more US, ETX. The fields are taken as they are.
std::string FrameBytes(const std::vector<std::string_view>& fields);
// The bytes of the record's sms frame; an absent text is the empty text.
std::string SmsFrameBytes(const TextMessage& message);

// The bytes left for the body in the record's sms frame before it passes
// the 499-byte limit.
size_t SmsBodyRoom(const TextMessage& message);

// Reads one frame from fd into NewFrame. 0: a frame was read, or nothing came
// within 60 seconds (NewFrame empty); -1: end of input; -2: the frame passed
// the 499-byte limit.
int ReadFrame(int fd);
// The same reader with an explicit wait for the first byte, in seconds.
// A read that fails for good (not EINTR) counts as end of input.
int ReadFrameWithin(int fd, int seconds);

int ClassifyFrame(const char* frame);
int ParseCallAction(const char* frame);
int ParseSmsAction(const char* frame);
int ParseGsmAction(const char* frame);
int ParseNotifyAction(const char* frame);

CallFields SplitCallFrame(const char* frame);
TextMessage SplitTextMessageFrame(const char* frame);
NotifyFields SplitNotifyFrame(const char* frame);

// Each writes one whole frame on standard output and flushes it. An absent
// text (a null pointer or an empty optional) is written as the empty text.
// A text holding STX, US or ETX, or a frame longer than 499 bytes, is
// refused with a line on standard error, and nothing is written.
void WriteCallFrame(const char* action, const char* number);
void WriteSmsFrame(const TextMessage& message);
void WriteGsmFrame(const char* action);

// Non-canonical, no-echo standard input; RestoreInputMode undoes it.
void SetInputMode();
void RestoreInputMode();
