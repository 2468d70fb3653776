#include "sms_parts.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

constexpr int kMaxTotal = 255;

bool IsPartOfMany(const SmsPart& part) {
  return part.total >= 2 && part.total <= kMaxTotal && part.number >= 1 &&
         part.number <= part.total;
}

}  // namespace

std::optional<JoinedMessage> SmsJoiner::Add(int index, SmsDeliver part) {
  Forget(index);  // read again, or a new message in a slot used before
  if (!IsPartOfMany(part.part)) {
    part.part = SmsPart{};
    return JoinedMessage{std::move(part), {index}};
  }
  Key key{part.sender, part.part.reference, part.part.total};
  auto [found, is_new] = partial_.try_emplace(key);
  Partial& partial = found->second;
  if (is_new) partial.arrival = arrivals_++;
  auto [piece, first_copy] = partial.pieces.try_emplace(part.part.number);
  if (!first_copy) return AddCopy(index, part.sender, &partial, &piece->second);
  piece->second = Piece{std::move(part), {index}};
  if (is_new) DropOldestBeyondBound();
  if (partial.pieces.size() < static_cast<size_t>(std::get<2>(key))) return std::nullopt;
  JoinedMessage joined = Join(partial);
  partial_.erase(key);
  return joined;
}

std::optional<JoinedMessage> SmsJoiner::AddCopy(int index, const std::string& sender,
                                                Partial* partial, Piece* piece) {
  if (partial->copies >= kMaxCopiesPerMessage) {
    fprintf(stderr, "201212081060 message part at %i not kept: too many copies from %s\n", index,
            sender.c_str());
  } else {
    piece->indexes.push_back(index);
    ++partial->copies;
  }
  return std::nullopt;
}

JoinedMessage SmsJoiner::Join(Partial& partial) {
  JoinedMessage joined;
  SmsDeliver& message = joined.message;
  message = std::move(partial.pieces.begin()->second.deliver);
  message.part = SmsPart{};
  for (auto& [number, piece] : partial.pieces) {
    joined.indexes.push_back(piece.indexes.front());
    if (number == 1) continue;
    message.text += piece.deliver.text;
    if (message.kind == SmsKind::kText) message.kind = piece.deliver.kind;
  }
  for (auto& [number, piece] : partial.pieces)
    joined.indexes.insert(joined.indexes.end(), piece.indexes.begin() + 1, piece.indexes.end());
  return joined;
}

void SmsJoiner::DropOldestBeyondBound() {
  if (partial_.size() <= kMaxPartialMessages) return;
  auto oldest = std::min_element(partial_.begin(), partial_.end(), [](auto& a, auto& b) {
    return a.second.arrival < b.second.arrival;
  });
  fprintf(stderr, "201212081061 too many unfinished messages: parts from %s no longer waited for\n",
          std::get<0>(oldest->first).c_str());
  partial_.erase(oldest);
}

void SmsJoiner::Forget(int index) {
  for (auto message = partial_.begin(); message != partial_.end(); ++message) {
    Partial& partial = message->second;
    for (auto piece = partial.pieces.begin(); piece != partial.pieces.end(); ++piece) {
      std::vector<int>& indexes = piece->second.indexes;
      auto found = std::find(indexes.begin(), indexes.end(), index);
      if (found == indexes.end()) continue;
      if (indexes.size() > 1) --partial.copies;
      indexes.erase(found);
      if (indexes.empty()) partial.pieces.erase(piece);
      if (partial.pieces.empty()) partial_.erase(message);
      return;
    }
  }
}

void SmsJoiner::Clear() { partial_.clear(); }
