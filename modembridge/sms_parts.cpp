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
  if (!IsPartOfMany(part.part)) {
    part.part = SmsPart{};
    return JoinedMessage{std::move(part), {index}};
  }
  Key key{part.sender, part.part.reference, part.part.total};
  auto [found, is_new] = partial_.try_emplace(key);
  Partial& partial = found->second;
  if (is_new) partial.arrival = arrivals_++;
  if (partial.index_count >= kMaxIndexesPerMessage) {
    fprintf(stderr, "201212081040 message part at %i not kept: too many copies from %s\n", index,
            part.sender.c_str());
    return std::nullopt;
  }
  const int number = part.part.number;
  auto [piece, first_copy] = partial.pieces.try_emplace(number, Piece{std::move(part), {}});
  piece->second.indexes.push_back(index);
  ++partial.index_count;
  if (is_new) DropOldestBeyondBound();
  if (!first_copy || partial.pieces.size() < static_cast<size_t>(std::get<2>(key)))
    return std::nullopt;
  JoinedMessage joined = Join(partial);
  partial_.erase(key);
  return joined;
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
  fprintf(stderr, "201212081041 too many unfinished messages: parts from %s no longer waited for\n",
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
      indexes.erase(found);
      --partial.index_count;
      if (indexes.empty()) partial.pieces.erase(piece);
      if (partial.pieces.empty()) partial_.erase(message);
      return;
    }
  }
}

void SmsJoiner::Clear() { partial_.clear(); }
