// The text of the modem's AT port: result lines cut from its byte stream,
// told apart, and the parts of them the bridge reads; and the checks that
// keep anything from a frame from becoming a command of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame.h"

// Longer lines are no result of this command set; they are dropped.
inline constexpr size_t kMaxLineLength = 512;
// One text-mode message.
inline constexpr size_t kMaxBodyLength = 160;

// A piece cut from the modem's byte stream.
struct ModemPiece {
  bool dropped;      // garbage or an over-long line; text says which
  std::string text;  // the line, without its CR or LF
};

// Cuts the modem's bytes into lines. CR, LF and CR LF each end a line, so
// the empty line between a message header's text and its OK is kept.
class LineSplitter {
 public:
  std::vector<ModemPiece> Feed(std::string_view bytes);
  // True, and the prompt taken, when the unfinished line is the "> " of
  // text entry.
  bool TakePrompt();
  void Reset();

 private:
  std::string partial_;
  bool overlong_ = false;
  bool after_cr_ = false;
};

enum class LineKind {
  kEmpty,
  kOk,
  kError,    // ERROR, +CME ERROR: n, +CMS ERROR: n
  kCallEnd,  // NO CARRIER, BUSY, NO ANSWER, NO DIALTONE
  kRing,     // RING, +CRING: ...
  kClip,
  kNewMessage,  // +CMTI
  kEcho,        // a command line coming back
  kOther,       // a response line, a message text, an unknown code
};
LineKind ClassifyLine(std::string_view line);

// "+CMGR:" for "AT+CMGR=3": the prefix of the command's own response lines;
// "" for a command without one.
std::string ResponsePrefix(std::string_view command);
// The values after "+NAME:", split at commas outside quotes, quotes removed.
std::vector<std::string> ResponseValues(std::string_view line);

// The caller's number of a +CLIP line ("" when withheld).
std::optional<std::string> ClipNumber(std::string_view line);
// The storage index of a +CMTI line.
std::optional<int> NewMessageIndex(std::string_view line);
// "yy/MM/dd,hh:mm:ss+zz" as date "dd-MM-20yy" and time "hh:mm:ss".
bool SplitTimeStamp(std::string_view stamp, std::string* date, std::string* time);

// The messages of an AT+CMGR (read_index given) or AT+CMGL response, as
// sms retrieved records: every text field filled.
std::vector<TextMessage> ParseMessages(const std::vector<std::string>& lines,
                                       std::optional<int> read_index);

// An optional "+" and 1 to 20 of 0-9, * and #: nothing else reaches ATD or
// AT+CMGS.
bool ValidNumber(std::string_view number);
// The body as text mode carries it: every character outside printable
// ASCII (a UTF-8 sequence counts as one) becomes "?", so no CR, Ctrl-Z or
// ESC reaches the line. Nothing when it holds more than one message.
std::optional<std::string> TextModeBody(std::string_view body);
