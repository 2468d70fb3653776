// The syntax of AT command lines, as the modem reads them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::string Upper(std::string_view text);
std::string Unquoted(std::string_view text);
// A decimal number and nothing else.
std::optional<int> Number(std::string_view text);
// Values split at commas outside quotes, quotes removed.
std::vector<std::string> Values(std::string_view text);
// The commands of one line after its "AT": basic ones ("E0", "&C1", "S0=1")
// follow each other, extended ones ("+CMEE=1") end at ";", a dial takes the
// rest of the line; a ";" between two commands is a separator. Blanks
// outside quotes are ignored. Nothing when the line holds something else.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);
