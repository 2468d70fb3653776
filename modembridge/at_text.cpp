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

std::optional<int> SmallNumber(std::string_view text) {
  if (!AllDigits(text) || text.size() > 9) return std::nullopt;
  return atoi(std::string(text).c_str());
}

// A message header's index and stat: "+CMGR: stat,[alpha],length" (the
// index comes from the command) or "+CMGL: index,stat,[alpha],length".
std::optional<ListedPdu> PduHeader(std::string_view line, std::optional<int> read_index) {
  std::vector<std::string> values = ResponseValues(line);
  if (StartsWith(line, "+CMGR:") && read_index) {
    values.insert(values.begin(), std::to_string(*read_index));
  } else if (!StartsWith(line, "+CMGL:")) {
    return std::nullopt;
  }
  if (values.size() < 3) return std::nullopt;
  std::optional<int> index = SmallNumber(values[0]), stat = SmallNumber(values[1]);
  if (!index || !stat) return std::nullopt;
  return ListedPdu{*index, *stat, ""};
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
  if (line == "NO CARRIER" || line == "BUSY" || line == "NO ANSWER" || line == "NO DIALTONE" ||
      StartsWith(line, "^CEND:") || StartsWith(line, "VOICE CALL: END"))
    return LineKind::kCallEnd;
  if (line == "RDY" || line == "+CFUN: 1" || line == "SMS Ready" || line == "Call Ready" ||
      line == "^SYSSTART")
    return LineKind::kReset;
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

std::optional<StoredAt> NewMessagePlace(std::string_view line) {
  std::vector<std::string> values = ResponseValues(line);
  if (!StartsWith(line, "+CMTI:") || values.size() < 2) return std::nullopt;
  std::optional<int> index = SmallNumber(values[1]);
  if (!index) return std::nullopt;
  return StoredAt{values[0], *index};
}

std::optional<int> ErrorNumber(std::string_view line) {
  if (!StartsWith(line, "+CME ERROR:") && !StartsWith(line, "+CMS ERROR:")) return std::nullopt;
  return SmallNumber(ResponseValues(line)[0]);
}

std::vector<ListedPdu> ParsePduResponse(const std::vector<std::string>& lines,
                                        std::optional<int> read_index) {
  std::vector<ListedPdu> messages;
  std::optional<ListedPdu> header;
  for (const std::string& line : lines) {
    if (header && IsHex(line)) {
      header->hex = line;
      messages.push_back(*header);
    }
    header = PduHeader(line, read_index);
  }
  return messages;
}

bool IsHex(std::string_view line) {
  return !line.empty() && line.find_first_not_of("0123456789ABCDEFabcdef") == std::string_view::npos;
}

std::optional<ListedCall> ParseListedCall(std::string_view line) {
  std::vector<std::string> values = ResponseValues(line);
  if (!StartsWith(line, "+CLCC:") || values.size() < 5) return std::nullopt;
  std::optional<int> stat = SmallNumber(values[2]);
  if (!stat) return std::nullopt;
  return ListedCall{*stat, values.size() > 5 ? values[5] : ""};
}

bool IsEmergencyNumber(std::string_view number) { return number == "112" || number == "911"; }

std::string WithoutControls(std::string_view latin1) {
  std::string text(latin1);
  for (char& c : text) {
    unsigned char u = static_cast<unsigned char>(c);
    if ((u < 0x20 && c != '\n') || (u >= 0x7F && u < 0xA0)) c = '?';
  }
  return text;
}
