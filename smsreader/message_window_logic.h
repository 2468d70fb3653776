// The message window's layout and buttons, free of X.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "screen.h"

// Text lines below the button row: x 4, 32 pixels apart; the header lines
// from 208, the body from 336.
inline constexpr int kMessageTextX = 4;
inline constexpr int kMessageLineSpacing = 32;
inline constexpr int kHeaderFirstBaseline = 208;
inline constexpr int kBodyFirstBaseline = 336;
inline constexpr int kBodyPieceLength = 19;
// Body lines whose baseline lies inside the window: 336 to 624.
inline constexpr size_t kBodyLines =
    (kScreenHeight - 1 - kBodyFirstBaseline) / kMessageLineSpacing + 1;

// The body cut into pieces of 19 characters, as many as the window has
// lines for; the views point into body.
std::vector<std::string_view> BodyPieces(std::string_view body);

enum class MessageButton { kClose, kReply, kDelete, kNone };
// The button of the top row under a touch; kNone below it or off the screen.
MessageButton MessageButtonAt(int x, int y);
