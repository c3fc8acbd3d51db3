// The library's two character-class dialogs, which the template dialogs open:
//
//   TextKindDialog        dialog 107 "文章領域の文字種": the mask of one text field
//   KindGridDialog        dialog 106 "文字種ﾀﾞｲｱﾛｸﾞ": the masks of a table's cells
//   KindGridView          the scrolling grid of dialog 106 (control 0x425)
//   run_text_kind_dialog  runs dialog 107 over a stored mask
//   run_kind_grid_dialog  reads a table's grid, runs dialog 106, stores it
//
// The editing itself is KindGridEdit's (layout/char_block_grid.h); these
// classes show it and pass the clicks on.  Controls carry their identifiers
// as object names ("dlg106", "ctl4097" for the hiragana box, ...).
#pragma once

#include "layout/char_block_grid.h"
#include "layout/records.h"

#include <QAbstractScrollArea>
#include <QDialog>

#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QLabel;
class QToolButton;

namespace layout {

// The template dialogs' mode in which a template is being registered: the
// grid then comes from the field ring, not from the template's file.
inline constexpr int kTemplateModeRegister = 2;

class TextKindDialog : public QDialog {
  Q_OBJECT
 public:
  // mask: as the dialog shows it (255 for all classes).
  TextKindDialog(std::uint16_t mask, QWidget* parent = nullptr);
  std::uint16_t mask() const { return mask_; }

 private:
  std::uint16_t mask_;
};

class KindGridView : public QAbstractScrollArea {
  Q_OBJECT
 public:
  static constexpr int kCellWidth = 30;
  static constexpr int kCellHeight = 20;

  KindGridView(KindGridEdit* edit, QWidget* parent = nullptr);

  int labelWidth() const { return labelWidth_; }
  int labelHeight() const { return labelHeight_; }
  QSize virtualSize() const;
  // The cell under a point of the viewport; false over the labels or
  // beyond the last row or column.
  bool cellAt(QPoint point, int* row, int* column) const;

 signals:
  void focusChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void updateScrollRanges();

  KindGridEdit* edit_;
  int labelWidth_ = 0;
  int labelHeight_ = 0;
};

class KindGridDialog : public QDialog {
  Q_OBJECT
 public:
  KindGridDialog(KindGridEdit* edit, QWidget* parent = nullptr);
  KindGridView* grid() const { return grid_; }

 private:
  void showMask();
  void showFocus();

  KindGridEdit* edit_;
  KindGridView* grid_;
  std::array<QCheckBox*, 6> boxes_{};
  QLabel* row_;
  QLabel* column_;
};

// Starts from *mask (0 shown as all classes); with OK the shown mask is
// written back, all classes as 0.  The dialog's result: 1 OK, 0 cancelled.
int run_text_kind_dialog(QWidget* owner, int, int, std::uint16_t* mask);

// The grid of merge run tableIndex: built from the ring in registration
// mode, else read from the template's file; after "終了" written back the
// same way.  The grid is this function's own and freed here.
// 1 "終了", 0 closed otherwise, -1 the dialog cannot be shown.
int run_kind_grid_dialog(QWidget* owner, const std::string& templateFolder, int templateNumber, int tableIndex,
                         userfld* ring, int templateMode);

}  // namespace layout
