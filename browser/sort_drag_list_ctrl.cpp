#include "browser/sort_drag_list_ctrl.h"

#include "catalogue/sjis_text.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const QColor kInsertionLine(255, 255, 0);
constexpr int kInsertionLineWidth = 2;

}  // namespace

bool InsertionIsValid(const std::vector<bool>& selected, int position) {
  const int rows = static_cast<int>(selected.size());
  if (position < 0 || position > rows) return false;
  if (position < rows && selected[static_cast<size_t>(position)]) return false;
  if (position > 0 && selected[static_cast<size_t>(position - 1)]) return false;
  return true;
}

std::vector<int> ReorderedRows(const std::vector<bool>& selected, int position) {
  std::vector<int> order;
  const int rows = static_cast<int>(selected.size());
  for (int i = 0; i < std::min(position, rows); ++i)
    if (!selected[static_cast<size_t>(i)]) order.push_back(i);
  for (int i = 0; i < rows; ++i)
    if (selected[static_cast<size_t>(i)]) order.push_back(i);
  for (int i = std::max(position, 0); i < rows; ++i)
    if (!selected[static_cast<size_t>(i)]) order.push_back(i);
  return order;
}

SortDragListCtrl::SortDragListCtrl(QWidget* parent) : QTreeWidget(parent) {
  setRootIsDecorated(false);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDragEnabled(false);
  header()->setSectionsClickable(true);
  connect(header(), &QHeaderView::sectionClicked, this, &SortDragListCtrl::OnColumnClick);
}

void SortDragListCtrl::LoadCursors() {
  arrowCursor_ = QCursor(Qt::ArrowCursor);
  forbiddenCursor_ = QCursor(Qt::ForbiddenCursor);
}

void SortDragListCtrl::OnColumnClick(int) {
  descending_ = !descending_;
  std::vector<QTreeWidgetItem*> rows;
  while (topLevelItemCount() > 0) rows.push_back(takeTopLevelItem(0));
  std::stable_sort(rows.begin(), rows.end(), [this](QTreeWidgetItem* a, QTreeWidgetItem* b) {
    const int c = CompareTitles(a->text(0).toStdString(), b->text(0).toStdString());
    return descending_ ? c > 0 : c < 0;
  });
  for (QTreeWidgetItem* row : rows) addTopLevelItem(row);
}

std::vector<bool> SortDragListCtrl::selectedRows() const {
  std::vector<bool> selected(static_cast<size_t>(topLevelItemCount()));
  for (int i = 0; i < topLevelItemCount(); ++i) selected[static_cast<size_t>(i)] = topLevelItem(i)->isSelected();
  return selected;
}

int SortDragListCtrl::PositionAt(int y) const {
  if (topLevelItemCount() == 0) return -1;
  const int rowHeight = visualItemRect(topLevelItem(0)).height();
  if (QTreeWidgetItem* row = itemAt(2, y + rowHeight / 2)) return indexOfTopLevelItem(row);
  if (QTreeWidgetItem* row = itemAt(2, y - rowHeight / 2)) return indexOfTopLevelItem(row) + 1;
  return -1;
}

void SortDragListCtrl::mousePressEvent(QMouseEvent* event) {
  // The right button is ignored while a drag runs.
  if (dragging_ && event->button() == Qt::RightButton) return;
  QTreeWidgetItem* row = itemAt(event->position().toPoint());
  pressPoint_ = event->position().toPoint();
  // A press on a selected row keeps the selection, so that all selected
  // rows can be dragged from any of them.
  keepSelection_ = event->button() == Qt::LeftButton && event->modifiers() == Qt::NoModifier && row &&
                   row->isSelected();
  if (!keepSelection_) QTreeWidget::mousePressEvent(event);
  row = itemAt(pressPoint_);
  pressed_ = event->button() == Qt::LeftButton && row && row->isSelected();
}

void SortDragListCtrl::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (!dragging_) {
    if (!pressed_ || (pos - pressPoint_).manhattanLength() < QApplication::startDragDistance()) {
      if (!pressed_) QTreeWidget::mouseMoveEvent(event);
      return;
    }
    dragging_ = true;
  }
  const int position = viewport()->rect().contains(pos) ? PositionAt(pos.y()) : -1;
  if (position != position_) {
    position_ = position;
    positionValid_ = InsertionIsValid(selectedRows(), position);
    if (position_ >= 0) {
      if (position_ < topLevelItemCount()) scrollToItem(topLevelItem(position_));
      if (position_ > 0) scrollToItem(topLevelItem(position_ - 1));
    }
    viewport()->update();
  }
  viewport()->setCursor(positionValid_ ? arrowCursor_ : forbiddenCursor_);
}

void SortDragListCtrl::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_) {
    pressed_ = false;
    if (keepSelection_) {
      // A click without a drag: that row alone.
      keepSelection_ = false;
      if (QTreeWidgetItem* row = itemAt(pressPoint_)) {
        clearSelection();
        setCurrentItem(row);
        row->setSelected(true);
      }
      return;
    }
    QTreeWidget::mouseReleaseEvent(event);
    return;
  }
  if (positionValid_) {
    const std::vector<bool> selected = selectedRows();
    const std::vector<int> order = ReorderedRows(selected, position_);
    std::vector<QTreeWidgetItem*> rows;
    while (topLevelItemCount() > 0) rows.push_back(takeTopLevelItem(0));
    for (int from : order) {
      addTopLevelItem(rows[static_cast<size_t>(from)]);
      rows[static_cast<size_t>(from)]->setSelected(selected[static_cast<size_t>(from)]);
    }
  }
  endDrag();
}

void SortDragListCtrl::endDrag() {
  dragging_ = false;
  keepSelection_ = false;
  pressed_ = false;
  position_ = -1;
  positionValid_ = false;
  viewport()->unsetCursor();
  viewport()->update();
}

void SortDragListCtrl::paintEvent(QPaintEvent* event) {
  QTreeWidget::paintEvent(event);
  if (!dragging_ || !positionValid_ || topLevelItemCount() == 0) return;
  // The insertion line: at the top of the row at the position, or at the
  // bottom of the last row.
  const int y = position_ < topLevelItemCount() ? visualItemRect(topLevelItem(position_)).top()
                                                : visualItemRect(topLevelItem(topLevelItemCount() - 1)).bottom();
  QPainter painter(viewport());
  painter.fillRect(QRect(0, y - kInsertionLineWidth / 2, viewport()->width(), kInsertionLineWidth), kInsertionLine);
}
