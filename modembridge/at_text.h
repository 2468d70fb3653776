// The text of the modem's AT port: result lines cut from its byte stream,
// told apart, and the parts of them the bridge reads; and the checks that
// keep anything from a frame from becoming a command of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Longer lines are no result of this command set; they are dropped.
inline constexpr size_t kMaxLineLength = 512;

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
  kError,       // ERROR, +CME ERROR: n, +CMS ERROR: n
  kCallEnd,     // NO CARRIER, BUSY, NO ANSWER, NO DIALTONE, ^CEND, VOICE CALL: END
  kRing,        // RING, +CRING: ...
  kClip,
  kNewMessage,  // +CMTI
  kReset,       // what a module says when it starts afresh
  kEcho,        // a command line coming back
  kOther,       // a response line, a PDU, an unknown code
};
LineKind ClassifyLine(std::string_view line);

// "+CMGR:" for "AT+CMGR=3": the prefix of the command's own response lines;
// "" for a command without one.
std::string ResponsePrefix(std::string_view command);
// The values after "+NAME:", split at commas outside quotes, quotes removed.
std::vector<std::string> ResponseValues(std::string_view line);
// The number of "+CME ERROR: n" or "+CMS ERROR: n"; nothing for others.
std::optional<int> ErrorNumber(std::string_view line);

// The caller's number of a +CLIP line ("" when withheld).
std::optional<std::string> ClipNumber(std::string_view line);

// Where a modem keeps a message: its storage ("SM", "ME") and index there.
struct StoredAt {
  std::string storage;
  int index;
};
std::optional<StoredAt> NewMessagePlace(std::string_view line);

// One message of an AT+CMGR (read_index given) or AT+CMGL response in PDU
// mode: its header's index and stat, and the hex line after it.
struct ListedPdu {
  int index;
  int stat;  // 0 received unread, 1 received read, ...
  std::string hex;
};
std::vector<ListedPdu> ParsePduResponse(const std::vector<std::string>& lines,
                                        std::optional<int> read_index);
bool IsHex(std::string_view line);

// A +CLCC line: the call's state and number ("" when it has none).
struct ListedCall {
  int stat;  // 0 active, 1 held, 2 dialling, 3 alerting, 4 incoming, 5 waiting
  std::string number;
};
std::optional<ListedCall> ParseListedCall(std::string_view line);

// Numbers a phone dials without a usable SIM.
bool IsEmergencyNumber(std::string_view number);
// Latin-1 text with every control character but the line feed as "?": what
// a frame can carry, and what a message may say.
std::string WithoutControls(std::string_view latin1);
