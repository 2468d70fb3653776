#include "at_text.h"

#include <cctype>
#include <cstdlib>

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool Printable(char c) { return (c >= 0x20 && c < 0x7F) || c == '\t'; }

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The pieces of "dd/dd/dd" (or with another separator) as three digit pairs.
bool DigitTriple(std::string_view text, char separator, std::string_view parts[3]) {
  if (text.size() != 8 || text[2] != separator || text[5] != separator) return false;
  for (int i = 0; i < 3; ++i) {
    parts[i] = text.substr(i * 3, 2);
    if (!AllDigits(parts[i])) return false;
  }
  return true;
}

constexpr const char* kUnknownSender = "unknown";
constexpr const char* kEmptyBody = "(empty)";
constexpr const char* kNoDate = "00-00-0000";
constexpr const char* kNoTime = "00:00:00";

TextMessage RetrievedMessage(int index, const std::string& sender, const std::string& stamp) {
  TextMessage message;
  message.TextAction = "retrieved";
  message.TextMessageNr = index;
  message.PhoneNumber = sender.empty() ? kUnknownSender : sender;
  std::string date = kNoDate, time = kNoTime;
  SplitTimeStamp(stamp, &date, &time);
  message.TextMessageDate = date;
  message.TextMessageTime = time;
  return message;
}

// A message header's values: "+CMGR: stat,oa,alpha,scts" (the index comes
// from the command) or "+CMGL: index,stat,oa,alpha,scts".
std::optional<TextMessage> HeaderMessage(std::string_view line, std::optional<int> read_index) {
  std::vector<std::string> values = ResponseValues(line);
  if (StartsWith(line, "+CMGR:") && read_index) {
    values.insert(values.begin(), std::to_string(*read_index));
  } else if (!StartsWith(line, "+CMGL:") || values.empty() || !AllDigits(values[0])) {
    return std::nullopt;
  }
  if (values[0].size() > 9) return std::nullopt;
  values.resize(5);
  return RetrievedMessage(atoi(values[0].c_str()), values[2], values[4]);
}

}  // namespace

std::vector<ModemPiece> LineSplitter::Feed(std::string_view bytes) {
  std::vector<ModemPiece> pieces;
  for (char c : bytes) {
    bool lf_of_crlf = c == '\n' && after_cr_;
    after_cr_ = c == '\r';
    if (lf_of_crlf) continue;
    if (c != '\r' && c != '\n') {
      if (partial_.size() < kMaxLineLength) partial_ += c;
      else overlong_ = true;
      continue;
    }
    bool garbage = false;
    for (char p : partial_) garbage |= !Printable(p);
    if (overlong_) pieces.push_back({true, "line longer than 512 bytes"});
    else if (garbage) pieces.push_back({true, "line with bytes that are no text"});
    else pieces.push_back({false, partial_});
    partial_.clear();
    overlong_ = false;
  }
  return pieces;
}

bool LineSplitter::TakePrompt() {
  if (partial_ != "> " && partial_ != ">") return false;
  partial_.clear();
  return true;
}

void LineSplitter::Reset() { *this = LineSplitter(); }

LineKind ClassifyLine(std::string_view line) {
  if (line.empty()) return LineKind::kEmpty;
  if (line == "OK") return LineKind::kOk;
  if (line == "ERROR" || StartsWith(line, "+CME ERROR:") || StartsWith(line, "+CMS ERROR:"))
    return LineKind::kError;
  if (line == "NO CARRIER" || line == "BUSY" || line == "NO ANSWER" || line == "NO DIALTONE")
    return LineKind::kCallEnd;
  if (line == "RING" || StartsWith(line, "+CRING:")) return LineKind::kRing;
  if (StartsWith(line, "+CLIP:")) return LineKind::kClip;
  if (StartsWith(line, "+CMTI:")) return LineKind::kNewMessage;
  if (line.size() >= 2 && toupper(line[0]) == 'A' && toupper(line[1]) == 'T') return LineKind::kEcho;
  return LineKind::kOther;
}

std::string ResponsePrefix(std::string_view command) {
  if (!StartsWith(command, "AT+")) return "";
  std::string_view name = command.substr(2);
  return std::string(name.substr(0, name.find_first_of("=?"))) + ":";
}

std::vector<std::string> ResponseValues(std::string_view line) {
  std::vector<std::string> values;
  size_t colon = line.find(':');
  if (colon == std::string_view::npos) return values;
  std::string value;
  bool quoted = false;
  for (char c : line.substr(colon + 1)) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      values.push_back(value);
      value.clear();
    } else if (quoted || c != ' ') {
      value += c;
    }
  }
  values.push_back(value);
  return values;
}

std::optional<std::string> ClipNumber(std::string_view line) {
  if (!StartsWith(line, "+CLIP:")) return std::nullopt;
  return ResponseValues(line)[0];
}

std::optional<int> NewMessageIndex(std::string_view line) {
  std::vector<std::string> values = ResponseValues(line);
  if (!StartsWith(line, "+CMTI:") || values.size() < 2 || !AllDigits(values[1]) ||
      values[1].size() > 9)
    return std::nullopt;
  return atoi(values[1].c_str());
}

bool SplitTimeStamp(std::string_view stamp, std::string* date, std::string* time) {
  std::string_view day[3], clock[3];
  if (stamp.size() < 17 || stamp[8] != ',' || !DigitTriple(stamp.substr(0, 8), '/', day) ||
      !DigitTriple(stamp.substr(9, 8), ':', clock))
    return false;
  *date = std::string(day[2]) + "-" + std::string(day[1]) + "-20" + std::string(day[0]);
  *time = std::string(stamp.substr(9, 8));
  return true;
}

std::vector<TextMessage> ParseMessages(const std::vector<std::string>& lines,
                                       std::optional<int> read_index) {
  std::vector<TextMessage> messages;
  bool in_message = false;
  for (const std::string& line : lines) {
    if (std::optional<TextMessage> header = HeaderMessage(line, read_index)) {
      messages.push_back(*header);
      in_message = true;
    } else if (in_message) {
      FrameText& body = messages.back().TextMessageBody;
      body = body ? *body + "\n" + line : line;
    }
  }
  for (TextMessage& message : messages)
    if (message.TextMessageBody.value_or("").empty()) message.TextMessageBody = kEmptyBody;
  return messages;
}

bool ValidNumber(std::string_view number) {
  if (StartsWith(number, "+")) number.remove_prefix(1);
  if (number.empty() || number.size() > 20) return false;
  return number.find_first_not_of("0123456789*#") == std::string_view::npos;
}

std::optional<std::string> TextModeBody(std::string_view body) {
  std::string text;
  for (size_t i = 0; i < body.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(body[i]);
    bool carried = c >= 0x20 && c < 0x7F;
    text += carried ? static_cast<char>(c) : '?';
    if (c >= 0xC0)  // a UTF-8 sequence: its continuation bytes go with it
      while (i + 1 < body.size() && (static_cast<unsigned char>(body[i + 1]) & 0xC0) == 0x80) ++i;
    if (text.size() > kMaxBodyLength) return std::nullopt;
  }
  return text;
}
