#include "message_window_logic.h"

std::vector<std::string_view> BodyPieces(std::string_view body) {
  std::vector<std::string_view> pieces;
  for (size_t at = 0; at < body.size() && pieces.size() < kBodyLines; at += kBodyPieceLength)
    pieces.push_back(body.substr(at, kBodyPieceLength));
  return pieces;
}

MessageButton MessageButtonAt(int x, int y) {
  constexpr MessageButton kButtons[] = {MessageButton::kClose, MessageButton::kReply,
                                        MessageButton::kDelete};
  return ButtonRowAt(x, y, kButtons, MessageButton::kNone);
}
