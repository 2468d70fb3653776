#include "message_numbers.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "program.h"

namespace {

constexpr char kHeader[] = "mmbridge message numbers 1";

bool Plain(unsigned char c) { return c > ' ' && c <= '~' && c != '%'; }

std::string Escape(std::string_view raw) {
  std::string escaped;
  for (unsigned char c : raw) {
    if (Plain(c)) {
      escaped += static_cast<char>(c);
      continue;
    }
    char code[4];
    snprintf(code, sizeof code, "%%%02X", c);
    escaped += code;
  }
  return escaped;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Unescape(std::string_view escaped) {
  std::string raw;
  for (size_t i = 0; i < escaped.size(); ++i) {
    if (escaped[i] != '%') {
      if (!Plain(static_cast<unsigned char>(escaped[i]))) return std::nullopt;
      raw += escaped[i];
      continue;
    }
    if (i + 2 >= escaped.size()) return std::nullopt;
    int high = HexDigit(escaped[i + 1]), low = HexDigit(escaped[i + 2]);
    if (high < 0 || low < 0) return std::nullopt;
    raw += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return raw;
}

// "12 key": the number and the key, or nothing for a malformed line.
std::optional<std::pair<int, std::string>> ParseEntry(const std::string& line) {
  size_t space = line.find(' ');
  if (space == std::string::npos || space == 0 || space > 2) return std::nullopt;
  int number = 0;
  for (size_t i = 0; i < space; ++i) {
    if (line[i] < '0' || line[i] > '9') return std::nullopt;
    number = number * 10 + (line[i] - '0');
  }
  std::optional<std::string> key = Unescape(std::string_view(line).substr(space + 1));
  if (!key || key->empty()) return std::nullopt;
  return std::make_pair(number, *key);
}

}  // namespace

std::string MessageKey(std::string_view number, std::string_view timestamp, std::string_view text) {
  std::string key(number);
  key.append(1, '\n').append(timestamp).append(1, '\n').append(text);
  return key;
}

void MessageNumbers::Load() {
  entries_.clear();
  std::ifstream in(file_);
  if (!in) return;
  std::string line;
  if (!std::getline(in, line) || line != kHeader) {
    fprintf(stderr, "202612081830 %s is no message number file, not read\n", file_.c_str());
    return;
  }
  while (std::getline(in, line)) {
    auto entry = ParseEntry(line);
    if (!entry || entry->first > kLastMessageNr || Taken(entry->first)) {
      fprintf(stderr, "202612081831 %s: line skipped: %s\n", file_.c_str(), line.c_str());
      continue;
    }
    entries_.push_back({entry->first, entry->second, ""});
  }
}

std::optional<MessageNumbers::Binding> MessageNumbers::Bind(const std::string& path,
                                                            const std::string& key) {
  if (std::optional<int> number = NumberOf(path)) return Binding{*number, false};
  for (Entry& entry : entries_) {
    if (entry.path.empty() && entry.key == key) {
      entry.path = path;
      return Binding{entry.number, false};
    }
  }
  // From 1 up, as modems number their storage, and 0 last: a message has
  // the number here that modembridge would give it.
  for (int step = 1; step <= kLastMessageNr + 1; ++step) {
    int number = step % (kLastMessageNr + 1);
    if (Taken(number)) continue;
    entries_.push_back({number, key, path});
    Save();
    return Binding{number, true};
  }
  return std::nullopt;
}

bool MessageNumbers::Taken(int number) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.number == number; });
}

std::optional<int> MessageNumbers::NumberOf(const std::string& path) const {
  for (const Entry& entry : entries_)
    if (entry.path == path) return entry.number;
  return std::nullopt;
}

std::optional<std::string> MessageNumbers::PathOf(int number) const {
  for (const Entry& entry : entries_)
    if (entry.number == number && !entry.path.empty()) return entry.path;
  return std::nullopt;
}

void MessageNumbers::Forget(int number) {
  auto gone = std::remove_if(entries_.begin(), entries_.end(),
                             [&](const Entry& e) { return e.number == number; });
  if (gone == entries_.end()) return;
  entries_.erase(gone, entries_.end());
  Save();
}

void MessageNumbers::UnbindAll() {
  for (Entry& entry : entries_) entry.path.clear();
}

void MessageNumbers::DropUnbound() {
  auto gone = std::remove_if(entries_.begin(), entries_.end(),
                             [](const Entry& e) { return e.path.empty(); });
  if (gone == entries_.end()) return;
  entries_.erase(gone, entries_.end());
  Save();
}

void MessageNumbers::Save() const {
  std::string text = std::string(kHeader) + "\n";
  for (const Entry& entry : entries_)
    text += std::to_string(entry.number) + " " + Escape(entry.key) + "\n";
  std::string temporary = file_ + ".new";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  int error = fd < 0 ? errno : WriteAll(fd, text);
  if (fd >= 0 && error == 0 && fsync(fd) != 0) error = errno;
  if (fd >= 0) close(fd);
  if (error == 0 && rename(temporary.c_str(), file_.c_str()) != 0) error = errno;
  if (error != 0)
    fprintf(stderr, "202612081832 cannot save %s: %s\n", file_.c_str(), strerror(error));
}
