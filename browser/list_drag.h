#pragma once
// The list pane's drags of its rows and the files dropped on it.
//
// ListRowDrag watches the list's viewport: a press on a row and a move past
// the drag distance start a drag of the selected rows (a press on a row that
// is already selected keeps the selection, so several rows can be dragged).
// While dragging, the pointer's target is found by the owner (an
// application-bar button or a folder of the tree), the cursor tells what a
// release would do (move, copy with Ctrl, application, forbidden), and the
// release asks the owner to drop the rows on the folder or to start the
// application on them. A release elsewhere does nothing.
//
// ListFileDrop imports files dragged from another program into the shown
// folder, under the import progress dialog, as the board does (no
// positions: the list has none).

#include "browser/local_file_drop.h"
#include "browser/thumbnail_pane_wnd.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <string>

class CFD3Doc;
class CListPane;
class QTreeWidgetItem;

class ListRowDrag : public QObject {
  Q_OBJECT
 public:
  using Target = ThumbnailPaneWnd::OutsideTarget;

  // Installs itself on list's viewport; list owns it.
  explicit ListRowDrag(CListPane* list);

  // The target under a global point (the owner knows the tree and the bar).
  std::function<Target(QPoint globalPos)> findTarget;
  bool isDragging() const { return dragging_; }

 signals:
  void applicationDropRequested(int button);
  void folderDropRequested(const std::string& folder, bool copy);
  // The target under the pointer changed (kind None when it left them).
  void targetChanged(const ThumbnailPaneWnd::OutsideTarget& target);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void setCursorFor(const Target& target, bool copy);
  void end();

  CListPane* list_;
  QObject* viewport_;
  QPoint pressPos_;
  QTreeWidgetItem* pressed_ = nullptr;
  bool pressedSelected_ = false;
  bool dragging_ = false;
  Target target_;
};

class ListFileDrop : public LocalFileDrop {
  Q_OBJECT
 public:
  ListFileDrop(CListPane* list, CFD3Doc& doc, std::function<const struct KankyoSettings*()> settings = {});
  void OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) override;

 private:
  CListPane* list_;
  CFD3Doc& doc_;
  std::function<const KankyoSettings*()> settings_;
};
