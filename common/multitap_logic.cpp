// The multi-tap keypad's state machine and text layout, without X.
#include <cstring>

#include "multitap.h"

namespace {

enum Cell { kClose = 0, kDel = 1, kSend = 2, kOther = 3 };

constexpr const char* kLabels[kMultitapPages][kMultitapCells] = {
    {"Close", "Del", "Send", "Other", "abc2", "def3", "ghi4", "jkl5", "mno6",
     "pqrs7", "tuv8", "wxyz9"},
    {"Close", "Del", "Sent", "Other", "", "", "*0#1", "sp_@!", "\"%&'", "()+,",
     "-./:", "<=>?"},
};

// Each group is stepped through in this order and then starts again.
constexpr const char* kGroups[kMultitapPages][kMultitapCells] = {
    {nullptr, nullptr, nullptr, nullptr, "abcABC2", "defDEF3", "ghiGHI4",
     "jklJKL5", "mnoMNO6", "pqrsPQRS7", "tuvTUV8", "wxyzWXYZ9"},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "*0#1", " _@!",
     "\"%&'", "()+,", "-./:", "<=>?"},
};

constexpr int kBaselines[kTextPieceCount] = {48, 112, 144, 176, 208,
                                             272, 304, 336, 368};
constexpr int kTextX = 4;

// The character (or the mark) at the cursor, and the end of the text.
void PutAtCursor(MultitapState& state, char c) {
  state.TextBuffer[state.CursorPos] = c;
  state.TextBuffer[state.CursorPos + 1] = '\0';
}

void EndPending(MultitapState& state) {
  state.Pending = false;
  state.LastKey = kNoKey;
  state.Ticks = 0;
}

// A blank is left where the mark was; the mark moves one place back.
KeypadAction DeleteBack(MultitapState& state) {
  if (state.Pending) {
    // The pending character is not part of the text yet: dropping it
    // brings the mark back at the cursor, which stays where it is.
    PutAtCursor(state, kCursorMark);
    EndPending(state);
    return KeypadAction::kRedraw;
  }
  state.TextBuffer[state.CursorPos] = ' ';
  if (state.CursorPos > 0) state.CursorPos--;
  state.TextBuffer[state.CursorPos] = kCursorMark;
  return KeypadAction::kRedraw;
}

KeypadAction TypeKey(MultitapState& state, int cell) {
  const char* group = kGroups[state.Page][cell];
  if (group == nullptr) return KeypadAction::kNothing;
  const int key = state.Page * kMultitapCells + cell;
  const bool stepping = state.Pending && state.LastKey == key;
  state.CyclePos =
      stepping ? (state.CyclePos + 1) % static_cast<int>(strlen(group)) : 0;
  state.Pending = true;
  state.Ticks = 0;
  state.LastKey = key;
  PutAtCursor(state, group[state.CyclePos]);
  return KeypadAction::kRedraw;
}

}  // namespace

void StartMultitap(MultitapState& state) {
  state.CursorPos = 0;
  state.CyclePos = 0;
  state.Page = 0;
  EndPending(state);
  PutAtCursor(state, kCursorMark);
}

KeypadAction PressMultitapCell(MultitapState& state, int cell) {
  switch (cell) {
    case kClose:
      return KeypadAction::kClose;
    case kSend:
      return KeypadAction::kSend;
    case kDel:
      return DeleteBack(state);
    case kOther:
      state.Page = 1 - state.Page;
      return KeypadAction::kRedraw;
    default:
      if (cell < 0 || cell >= kMultitapCells) return KeypadAction::kNothing;
      return TypeKey(state, cell);
  }
}

bool TickMultitap(MultitapState& state) {
  // Only a pending character has a pause to count; idle ticks change nothing.
  if (!state.Pending || ++state.Ticks < kMultitapFixTicks) return false;
  if (state.CursorPos < kMultitapTextLimit) state.CursorPos++;
  PutAtCursor(state, kCursorMark);
  EndPending(state);
  return true;
}

int MultitapWaitMs(const MultitapState& state, int64_t now_ms, int64_t pause_start_ms) {
  if (!state.Pending) return -1;
  const int64_t pause_end = pause_start_ms + kMultitapTickMs * (state.Ticks + int64_t{1});
  return pause_end > now_ms ? static_cast<int>(pause_end - now_ms) : 0;
}

const char* const* MultitapLabels(int page) { return kLabels[page]; }

const char* MultitapGroup(int page, int cell) {
  if (page < 0 || page >= kMultitapPages || cell < 0 ||
      cell >= kMultitapCells)
    return nullptr;
  return kGroups[page][cell];
}

int LayoutMultitapText(const char* buffer, TextPiece pieces[kTextPieceCount]) {
  const int length = static_cast<int>(strnlen(buffer, kMultitapBufferSize));
  int count = 0;
  for (int start = 0; start < length; start += kTextPieceLength) {
    const int rest = length - start;
    pieces[count] = {kTextX, kBaselines[count], buffer + start,
                     rest < kTextPieceLength ? rest : kTextPieceLength};
    count++;
  }
  return count;
}
