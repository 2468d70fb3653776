// The SIM's PIN from a file of its own: a secret, so a file others may read
// is refused.
#pragma once

#include <optional>
#include <string>

// The PIN (4 to 8 digits, a line end after them allowed) of the regular
// file at path, which only its owner may read or write. Nothing, with *why
// set, for anything else; why never holds the file's content.
std::optional<std::string> ReadPinFile(const char* path, std::string* why);
