// Where the Call Menu and the DTMF keypad put their labels, and which button
// or key a touch position hits. No display needed.
#include "call_menu.h"

#include "screen.h"

const ButtonLabels CallMenuLabels[kCallMenuLabelLines] = {
    {{"End", "Speaker", "Show"}, LabelX(0), LabelY(0, 1)},
    {{"Call", "Phone", "KeyPad"}, LabelX(0), LabelY(0, 3)},
};

int ButtonRowButton(int x, int y) {
  return ButtonRowColumn(x, y) + 1;  // -1 outside the row, hence 0
}

namespace {

// The labels and keys of the keypad, row by row; the top row closes it.
const char* const kDtmfLabels[kDtmfRows][kDtmfColumns] = {
    {"Exit", "", ""}, {"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}, {"*", "0", "#"},
};
const int kDtmfKeys[kDtmfRows][kDtmfColumns] = {
    {kDtmfClose, kDtmfClose, kDtmfClose}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {13, 0, 14},
};
// Baseline of the label line of each row; the rows are not evenly spaced.
const int kDtmfLabelY[kDtmfRows] = {90, 220, 355, 480, 600};
constexpr int kDtmfLabelLine = 2;
constexpr int kDtmfLineSpacing = 20;

int DtmfRow(int y) {
  for (int row = 0; row < kDtmfRows; ++row)
    if (InBand(y, row * kDtmfCellHeight, (row + 1) * kDtmfCellHeight)) return row;
  return -1;
}

}  // namespace

int DtmfKeyAt(int x, int y) {
  const int row = DtmfRow(y);
  const int column = TouchColumn(x);
  if (row < 0 || column < 0) return kDtmfClose;
  return kDtmfKeys[row][column];
}

DtmfText DtmfTextAt(int row, int column, int line) {
  // "Exit" sits further left than the digits to fit its four letters.
  const int x = column * kCellSize + (row == 0 && column == 0 ? 15 : 50);
  const int y = kDtmfLabelY[row] + (line - kDtmfLabelLine) * kDtmfLineSpacing;
  return {x, y, line == kDtmfLabelLine ? kDtmfLabels[row][column] : ""};
}
