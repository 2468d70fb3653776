// The in-call menu ("End"/"Call", "Speaker"/"Phone", "Show"/"KeyPad") and
// the DTMF keypad.
#pragma once

inline constexpr int kButtonRowSlots = 15;

[[noreturn]] void ShowCallMenu();
int RunButtonRow(const char* title, const char* const labels[kButtonRowSlots]);
void DrawButtonRow(const char* const labels[kButtonRowSlots]);
[[noreturn]] void EndCall();
int ShowDtmfKeypad();
void DrawDtmfKeypad();
