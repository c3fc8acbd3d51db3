// CFD3View's viewer mode: switching the main window between its browser
// face and its viewer face. The viewer itself is reached through the frame
// (CMainFrame::OpenViewer / CloseViewer), so the browser never links it.

#include "browser/fd3_view.h"

#include "browser/folder_tree.h"
#include "browser/list_pane.h"
#include "browser/thumbnail_pane_wnd.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/main_frame.h"

#include <QApplication>
#include <QScrollBar>
#include <QToolBar>

namespace {
// The board keeps its own order in the viewer; the list hands on its sort
// column and direction (columns 0, 3, 4, 5 give the keys 1, 7, 9, 11, one
// more when descending), and titles in order before its first sort.
constexpr int kBoardOrderKey = 13;
constexpr int kTitleOrderKey = 1;

int listSortKey(const CListPane& list) {
  if (list.sortColumn() < 0) return kTitleOrderKey;
  return 2 * list.sortColumn() + 1 + (list.descending() ? 1 : 0);
}

QPoint scrollOf(const QAbstractScrollArea& area) {
  return {area.horizontalScrollBar()->value(), area.verticalScrollBar()->value()};
}
}  // namespace

void CFD3View::AttachViewerToFrame() {
  if (!frame_) return;
  frame_->SetBrowserReturn([this] { return viewerShown_; },
                           [this](bool offerCancel) { return SwitchToBrowserMode(offerCancel); });
  frame_->SetCommandHandler(cmd::kViewerBack, [this] {
    if (SwitchToBrowserMode(true) == 0 && frame_) frame_->RunPendingWork();
  });
}

void CFD3View::SwitchToViewerMode(int entryIndex, int page) {
  if (attachedDocument_ == nullptr || viewerShown_) return;
  const DisplayEntry* entry = attachedDocument_->EntryList().GetAt(entryIndex);
  if (entry == nullptr) return;
  viewerShown_ = true;
  if (frame_) {
    frame_->setUpdatesEnabled(false);
    frame_->ShowDocumentCount(-1);
  }
  viewer_->raise();
  viewer_->show();
  savedScroll_ = paneMode() == kThumbnailMode ? scrollOf(*board_) : scrollOf(*list_);
  if (frame_) {
    const auto hideRemembering = [](QToolBar* bar, bool& wasShown) {
      wasShown = bar != nullptr && bar->isVisible();
      if (wasShown) bar->hide();
    };
    hideRemembering(frame_->GetMainToolBar(), mainToolBarWasShown_);
    hideRemembering(frame_->GetApplicationBar(), applicationBarWasShown_);
    hideRemembering(frame_->GetDesktopBar(), desktopBarWasShown_);
  }
  ViewerRequest request;
  request.database = &attachedDocument_->Database();
  request.folderPath = attachedDocument_->EntryList().GetFolderPath();
  request.kind = entry->kind;
  request.number = entry->number;
  request.page = page;
  request.sortKey = paneMode() == kThumbnailMode ? kBoardOrderKey : listSortKey(*list_);
  const CEntryHolder& entries = attachedDocument_->EntryList();
  for (int i = 0; i < entries.GetCount(); ++i) {
    const DisplayEntry* e = entries.GetAt(i);
    StackInfo stack;
    ItemInfo item;
    ViewerRequest::BoardEntry placed{e->kind, e->number, 0, 0};
    if (attachedDocument_->GetEntryRecords(*e, stack, item)) {
      placed.x = e->isStack() ? stack.StackPosX : item.SingleItemPosX;
      placed.y = e->isStack() ? stack.StackPosY : item.SingleItemPosY;
    }
    request.boardEntries.push_back(placed);
  }
  if (frame_) frame_->ShowViewerMenus(true);
  viewer_->setGeometry(0, 0, width(), height());
  if (frame_) {
    frame_->OpenViewer(request);
    frame_->setUpdatesEnabled(true);
  }
}

int CFD3View::SwitchToBrowserMode(bool offerCancel) {
  if (!viewerShown_) return 0;
  viewerShown_ = false;
  if (frame_) {
    frame_->setUpdatesEnabled(false);
    if (!frame_->CloseViewer(offerCancel)) {
      viewerShown_ = true;
      frame_->setUpdatesEnabled(true);
      return 1;
    }
    frame_->ShowViewerMenus(false);
    if (mainToolBarWasShown_ && frame_->GetMainToolBar()) frame_->GetMainToolBar()->show();
    if (applicationBarWasShown_ && frame_->GetApplicationBar()) frame_->GetApplicationBar()->show();
    if (desktopBarWasShown_ && frame_->GetDesktopBar()) frame_->GetDesktopBar()->show();
  }
  viewer_->hide();
  if (frame_) frame_->setUpdatesEnabled(true);
  QApplication::setOverrideCursor(Qt::WaitCursor);
  if (paneMode() == kThumbnailMode) {
    board_->PlaceNewItems();
    if (board_->ArrangesAutomatically())
      board_->ArrangeItems(kBoardOrderKey, 0, 0);
    else
      board_->UpdateScrollExtent(0, 0);
  } else if (attachedDocument_ != nullptr) {
    attachedDocument_->LoadFolder(tree_->GetCurrentPath(), 0);
  }
  QApplication::restoreOverrideCursor();
  QAbstractScrollArea* pane = paneMode() == kThumbnailMode ? static_cast<QAbstractScrollArea*>(board_) : list_;
  pane->horizontalScrollBar()->setValue(savedScroll_.x());
  pane->verticalScrollBar()->setValue(savedScroll_.y());
  if (frame_ && attachedDocument_) frame_->ShowDocumentCount(attachedDocument_->EntryList().GetCount());
  if (paneMode() == kThumbnailMode)
    board_->setFocus();
  else
    list_->setFocus();
  return 0;
}
