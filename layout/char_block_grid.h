// Editing a character-kind grid, apart from the dialog that shows it: the
// masks of a table's cells (one byte per cell, row by row), the focus cell,
// a rectangular selection and the current mask that the class boxes show.
//
//   CharKind, kCharKinds   the six classes, their bits and box identifiers
//   dialogMask / storedMask a stored mask as the dialogs show it and back
//   KindGridEdit           the editing state of the table dialog
//
// Inside the dialogs 255 stands for all classes; a stored 0 means the same.
// Both dialogs show 0 as 255, and the text-field dialog stores 255 as 0.
// Edits work on bits, so bits above the six (which 255 carries) stay set:
// unchecking and checking a box again from "all" gives 255 once more.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace layout {

struct CharKind {
  std::uint16_t bit;
  int boxId;           // 0x1000 + bit
  const char* label;   // UTF-8
};

inline constexpr std::array<CharKind, 6> kCharKinds{{
    {1, 0x1001, "ひらがな"},
    {2, 0x1002, "カタカナ"},
    {4, 0x1004, "漢字"},
    {8, 0x1008, "数字"},
    {16, 0x1010, "英字"},
    {32, 0x1020, "記号"},
}};

inline constexpr std::uint16_t kAllKinds = 255;

inline std::uint16_t dialogMask(std::uint16_t stored) { return stored == 0 ? kAllKinds : stored; }
inline std::uint16_t storedMask(std::uint16_t shown) { return shown == kAllKinds ? 0 : shown; }
inline std::uint16_t withKind(std::uint16_t mask, std::uint16_t bit, bool on) {
  return static_cast<std::uint16_t>(on ? (mask | bit) : (mask & ~bit));
}

// The range buttons of the table dialog, by their identifiers.
enum class GridRange {
  Column = 0x41c,       // "列": the focus column, all rows
  ColumnDown = 0x41e,   // "列下": the focus column, focus row to the last
  ColumnUp = 0x41f,     // "列上": the focus column, first row to the focus row
  All = 0x420,          // "全領域"
  Row = 0x421,          // "行": the focus row, all columns
  RowRight = 0x422,     // "行右": the focus row, focus column to the last
  RowLeft = 0x423,      // "行左": the focus row, first column to the focus column
};

struct GridSelection {
  int row0 = 0, row1 = 0;        // inclusive; either end may be the larger
  int column0 = 0, column1 = 0;
  bool contains(int row, int column) const;
};

// The grid's cells live in the caller's bytes (rows x columns of them);
// without bytes the grid is one cell and edits change nothing.
class KindGridEdit {
 public:
  KindGridEdit(std::span<std::uint8_t> cells, int rows, int columns);

  int rows() const { return rows_; }
  int columns() const { return columns_; }
  bool hasCells() const { return !cells_.empty(); }
  std::uint8_t cell(int row, int column) const;

  int focusRow() const { return focusRow_; }
  int focusColumn() const { return focusColumn_; }
  const GridSelection& selection() const { return selection_; }
  std::uint16_t currentMask() const { return mask_; }

  // A class box clicked: its bit as the box now reads, into every selected cell.
  void setKind(std::uint16_t bit, bool on);
  // "全属性" (all) and "全解除" (none).
  void setAllKinds();
  void clearAllKinds();
  // A range button: the new selection around the focus cell takes the mask.
  void selectRange(GridRange range);
  // A click on a cell: false (nothing changes) outside the grid.
  bool focusCell(int row, int column);

 private:
  void writeSelection();

  std::span<std::uint8_t> cells_;
  int rows_;
  int columns_;
  int focusRow_ = 0;
  int focusColumn_ = 0;
  GridSelection selection_;
  std::uint16_t mask_ = kAllKinds;
};

}  // namespace layout
