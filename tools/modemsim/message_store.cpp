#include "message_store.h"

#include <algorithm>

namespace {

constexpr size_t kSimSlots = 20;
constexpr size_t kModemSlots = 50;

bool InRange(const MessageStore::Slots& slots, int index) {
  return index >= 1 && static_cast<size_t>(index) <= slots.size();
}

}  // namespace

MessageStore::MessageStore() : sim_(kSimSlots), modem_(kModemSlots) {}

bool MessageStore::Known(std::string_view storage) {
  return std::ranges::find(kNames, storage) != std::end(kNames);
}

MessageStore::Slots& MessageStore::In(std::string_view storage) {
  return storage == "ME" ? modem_ : sim_;
}

std::optional<int> MessageStore::Add(std::string_view storage, StoredMessage message) {
  Slots& slots = In(storage);
  auto free = std::ranges::find_if(slots, [](auto& slot) { return !slot; });
  if (free == slots.end()) return std::nullopt;
  *free = std::move(message);
  return static_cast<int>(free - slots.begin()) + 1;
}

StoredMessage* MessageStore::At(std::string_view storage, int index) {
  Slots& slots = In(storage);
  if (!InRange(slots, index) || !slots[index - 1]) return nullptr;
  return &*slots[index - 1];
}

bool MessageStore::Remove(std::string_view storage, int index) {
  Slots& slots = In(storage);
  if (!InRange(slots, index)) return false;
  slots[index - 1].reset();
  return true;
}

int MessageStore::Used(std::string_view storage) {
  return static_cast<int>(
      std::ranges::count_if(In(storage), [](auto& slot) { return slot.has_value(); }));
}
