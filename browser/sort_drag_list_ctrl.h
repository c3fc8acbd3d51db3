#pragma once
// SortDragListCtrl: the list of the page-reorder dialog. The user drags the
// selected rows to a new place, or clicks the header to sort by title
// (ascending first, then descending, and so on). Every row keeps its item
// data (Qt::UserRole) and texts, so the owner reads the new order from the
// rows' item data in turn.
//
//   InsertionIsValid, ReorderedRows   the rules of a drop, apart from the widget
//   OnColumnClick                     the header sort
//   insertionPosition                 the row a drop would go before
//
// The drag is tracked with the mouse (press, threshold, move, release) so
// that it behaves the same under every platform plugin.

#include <QTreeWidget>

#include <vector>

// A drop at position (0..rows; rows = after the last row) moves something
// only when neither the row there nor the row before it is selected.
bool InsertionIsValid(const std::vector<bool>& selected, int position);
// The rows in their new order (old indices): the unselected rows before the
// position, the selected rows, the unselected rows from the position on,
// each group in its present order.
std::vector<int> ReorderedRows(const std::vector<bool>& selected, int position);

class SortDragListCtrl : public QTreeWidget {
  Q_OBJECT
 public:
  explicit SortDragListCtrl(QWidget* parent = nullptr);

  // The owning dialog calls it after creating the control.
  void LoadCursors();
  void OnColumnClick(int column);
  bool dragging() const { return dragging_; }
  int insertionPosition() const { return position_; }
  bool insertionValid() const { return positionValid_; }
  // The row a drop at y (viewport coordinates) would go before; -1 for none.
  int PositionAt(int y) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<bool> selectedRows() const;
  void endDrag();

  bool descending_ = true;  // flipped before each sort: the first click sorts ascending
  bool pressed_ = false;
  bool keepSelection_ = false;
  bool dragging_ = false;
  QPoint pressPoint_;
  int position_ = -1;
  bool positionValid_ = false;
  QCursor arrowCursor_;
  QCursor forbiddenCursor_;
};
