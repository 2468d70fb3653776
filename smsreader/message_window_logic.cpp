#include "message_window_logic.h"

std::vector<std::string_view> BodyPieces(std::string_view body) {
  std::vector<std::string_view> pieces;
  for (size_t at = 0; at < body.size() && pieces.size() < kBodyLines; at += kBodyPieceLength)
    pieces.push_back(body.substr(at, kBodyPieceLength));
  return pieces;
}

MessageButton MessageButtonAt(int x, int y) {
  if (TouchRow(y) != 0) return MessageButton::kNone;
  switch (TouchColumn(x)) {
    case 0:
      return MessageButton::kClose;
    case 1:
      return MessageButton::kReply;
    case 2:
      return MessageButton::kDelete;
    default:
      return MessageButton::kNone;
  }
}
