// Editing a character-kind grid; see char_block_grid.h.
#include "layout/char_block_grid.h"

#include <algorithm>

namespace layout {

bool GridSelection::contains(int row, int column) const {
  return row >= std::min(row0, row1) && row <= std::max(row0, row1) && column >= std::min(column0, column1) &&
         column <= std::max(column0, column1);
}

KindGridEdit::KindGridEdit(std::span<std::uint8_t> cells, int rows, int columns)
    : cells_(cells), rows_(rows), columns_(columns) {
  // Bytes that do not cover the grid are not used at all.
  if (rows_ < 1 || columns_ < 1 || cells_.size() < static_cast<std::size_t>(rows_) * static_cast<std::size_t>(columns_)) {
    cells_ = {};
  }
  if (cells_.empty()) {
    rows_ = 1;
    columns_ = 1;
  } else {
    mask_ = dialogMask(cell(0, 0));
  }
}

std::uint8_t KindGridEdit::cell(int row, int column) const {
  if (cells_.empty()) return 0;
  return cells_[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(column)];
}

void KindGridEdit::writeSelection() {
  if (cells_.empty()) return;
  for (int r = std::min(selection_.row0, selection_.row1); r <= std::max(selection_.row0, selection_.row1); ++r) {
    for (int c = std::min(selection_.column0, selection_.column1);
         c <= std::max(selection_.column0, selection_.column1); ++c) {
      cells_[static_cast<std::size_t>(r) * static_cast<std::size_t>(columns_) + static_cast<std::size_t>(c)] =
          static_cast<std::uint8_t>(mask_ & 0xFF);
    }
  }
}

void KindGridEdit::setKind(std::uint16_t bit, bool on) {
  mask_ = withKind(mask_, bit, on);
  writeSelection();
}

void KindGridEdit::setAllKinds() {
  mask_ = kAllKinds;
  writeSelection();
}

void KindGridEdit::clearAllKinds() {
  mask_ = 0;
  writeSelection();
}

void KindGridEdit::selectRange(GridRange range) {
  const int fr = focusRow_;
  const int fc = focusColumn_;
  const int lastRow = rows_ - 1;
  const int lastColumn = columns_ - 1;
  switch (range) {
    case GridRange::Column:
      selection_ = {0, lastRow, fc, fc};
      break;
    case GridRange::ColumnDown:
      selection_ = {fr, lastRow, fc, fc};
      break;
    case GridRange::ColumnUp:
      selection_ = {0, fr, fc, fc};
      break;
    case GridRange::All:
      selection_ = {0, lastRow, 0, lastColumn};
      break;
    case GridRange::Row:
      selection_ = {fr, fr, 0, lastColumn};
      break;
    case GridRange::RowRight:
      selection_ = {fr, fr, fc, lastColumn};
      break;
    case GridRange::RowLeft:
      selection_ = {fr, fr, 0, fc};
      break;
  }
  writeSelection();
}

bool KindGridEdit::focusCell(int row, int column) {
  if (row < 0 || row >= rows_ || column < 0 || column >= columns_) return false;
  focusRow_ = row;
  focusColumn_ = column;
  selection_ = {row, row, column, column};
  if (!cells_.empty()) mask_ = dialogMask(cell(row, column));
  return true;
}

}  // namespace layout
