// The modem's message storages as PDUs: "SM" the SIM's, "ME" the modem's
// own, each a fixed number of slots numbered from 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct StoredMessage {
  int stat = 0;     // 0 received unread, 1 received read
  std::string pdu;  // hex, service-centre address first
};

class MessageStore {
 public:
  using Slots = std::vector<std::optional<StoredMessage>>;
  static constexpr std::string_view kNames[] = {"SM", "ME"};

  MessageStore();
  static bool Known(std::string_view storage);

  // The index it went to; nothing when the storage is full.
  std::optional<int> Add(std::string_view storage, StoredMessage message);
  // Nothing for an index out of range or an empty slot.
  StoredMessage* At(std::string_view storage, int index);
  // False for an index out of range; an empty slot is deleted already.
  bool Remove(std::string_view storage, int index);
  Slots& In(std::string_view storage);
  int Used(std::string_view storage);

 private:
  Slots sim_, modem_;
};
