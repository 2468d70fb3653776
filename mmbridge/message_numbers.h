// The numbers 0 to 98 under which the suite knows the messages that
// ModemManager holds. ModemManager names a message by an object path that
// lasts only as long as its own run, so the numbers are kept in a file,
// keyed on what the message itself says (sender, time stamp, text): a
// message found again after a restart of either program keeps its number
// and is not delivered a second time.
//
// The file: a first line "mmbridge message numbers 1", then one line per
// message, its number, a space and its key with every byte outside "!" to
// "~" and every "%" written as %XX. It is replaced whole at each change:
// a temporary file, fsync, rename.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "frame.h"  // kLastMessageNr

// What identifies a message across restarts.
std::string MessageKey(std::string_view number, std::string_view timestamp, std::string_view text);

class MessageNumbers {
 public:
  explicit MessageNumbers(std::string file) : file_(std::move(file)) {}

  // Reads the file; a line it cannot use is logged and skipped, a missing
  // file is an empty map.
  void Load();

  struct Binding {
    int number;
    bool fresh;  // not delivered before
  };
  // The number of the message at path: the one it already has, else that
  // of a stored entry with its key that no present message holds, else
  // the first free number of 1 to 98 and then 0, stored at once. Nothing
  // when all are taken.
  std::optional<Binding> Bind(const std::string& path, const std::string& key);

  std::optional<int> NumberOf(const std::string& path) const;
  std::optional<std::string> PathOf(int number) const;

  // The message is gone: its number is free again.
  void Forget(int number);
  // The messages' paths are no longer valid (ModemManager or the modem went).
  void UnbindAll();
  // After a full listing: entries no present message holds are gone.
  void DropUnbound();

 private:
  struct Entry {
    int number;
    std::string key;
    std::string path;  // "" while no present message holds it
  };
  bool Taken(int number) const;
  void Save() const;

  std::string file_;
  std::vector<Entry> entries_;
};
