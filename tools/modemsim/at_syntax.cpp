#include "at_syntax.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace {

bool IsDigit(char c) { return isdigit(static_cast<unsigned char>(c)) != 0; }
bool IsLetter(char c) { return isalpha(static_cast<unsigned char>(c)) != 0; }

// Blanks outside quotes go; what is quoted stays as it is.
std::string WithoutBlanks(std::string_view line) {
  std::string kept;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') quoted = !quoted;
    if (quoted || c != ' ') kept += c;
  }
  return kept;
}

// The length of the extended command at the start of text, up to its ";".
size_t ExtendedLength(std::string_view text) {
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;
    if (text[i] == ';' && !quoted) return i;
  }
  return text.size();
}

// The length of the basic command at the start of text: a letter (after "&"
// for the ampersand set) and its digits; "S" registers take "=n" or "?".
size_t BasicLength(std::string_view text) {
  size_t length = text[0] == '&' ? 1 : 0;
  if (length >= text.size() || !IsLetter(text[length])) return 0;
  bool register_command = toupper(static_cast<unsigned char>(text[length])) == 'S';
  ++length;
  while (length < text.size() && IsDigit(text[length])) ++length;
  if (register_command && length < text.size() && (text[length] == '=' || text[length] == '?')) {
    ++length;
    while (length < text.size() && IsDigit(text[length])) ++length;
  }
  return length;
}

}  // namespace

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return upper;
}

std::string Unquoted(std::string_view text) {
  std::string plain(text);
  std::erase(plain, '"');
  return plain;
}

std::optional<int> Number(std::string_view text) {
  int value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::vector<std::string> Values(std::string_view text) {
  std::vector<std::string> values(1);
  bool quoted = false;
  for (char c : text) {
    if (c == '"') quoted = !quoted;
    else if (c == ',' && !quoted) values.emplace_back();
    else values.back() += c;
  }
  if (values.size() == 1 && values[0].empty() && text.empty()) values.clear();
  return values;
}

std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line) {
  std::string rest = WithoutBlanks(line);
  std::vector<std::string> commands;
  std::string_view text = rest;
  while (!text.empty()) {
    char first = static_cast<char>(toupper(static_cast<unsigned char>(text[0])));
    size_t length = first == 'D'                                   ? text.size()
                    : first == '+' || first == '%' || first == '^' ? ExtendedLength(text)
                                                                   : BasicLength(text);
    if (length == 0) return std::nullopt;
    commands.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
    if (text.starts_with(';')) text.remove_prefix(1);
  }
  return commands;
}
