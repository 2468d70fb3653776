// What the parts of the session share: small text helpers, the start
// table's questions and the log lines more than one part writes.
#pragma once

#include <string>
#include <string_view>

// The result a command gets when its time is up.
inline constexpr const char* kNoAnswer = "no answer in time";

inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

void LogIgnored(const std::string& line);
// Whether the start step's plain ERROR means a SIM still busy (some modules
// answer AT+CMGF so until they have read it).
bool StartRowWaitsOnError(int step);
