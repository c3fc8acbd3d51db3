// The browser view's launching: registered applications and the program's
// own actions on the selected documents of the active pane, mail, and the
// list pane's opening, row drags and dropped files.

#include "browser/board_copy_move.h"
#include "browser/board_operations.h"
#include "browser/fd3_view.h"
#include "browser/folder_tree.h"
#include "browser/list_drag.h"
#include "browser/list_pane.h"
#include "platform/paths.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/launch_documents.h"
#include "shell/main_frame.h"
#include "shell/ocr_run.h"

#include <QApplication>
#include <QToolBar>
#include <QToolButton>

ThumbnailPaneWnd::OutsideTarget ApplicationButtonAt(CMainFrame* frame, QPoint global) {
  ThumbnailPaneWnd::OutsideTarget target;
  QWidget* under = QApplication::widgetAt(global);
  QToolBar* applications = frame ? frame->GetApplicationBar() : nullptr;
  if (!under || !applications || !applications->isAncestorOf(under)) return target;
  auto* button = qobject_cast<QToolButton*>(under);
  const int id = button && button->defaultAction() ? button->defaultAction()->data().toInt() : -1;
  if (id >= cmd::kFirstApplicationButton && id < cmd::kFirstApplicationButton + CMainFrame::kMaxRegisteredApplications) {
    target.kind = ThumbnailPaneWnd::OutsideTarget::Application;
    target.button = id - cmd::kFirstApplicationButton;
  }
  return target;
}

ThumbnailPaneWnd::OutsideTarget CFD3View::outsideTargetAt(QPoint global) const {
  ThumbnailPaneWnd::OutsideTarget target;
  QWidget* under = QApplication::widgetAt(global);
  if (!under) return target;
  QToolBar* applications = frame_ ? frame_->GetApplicationBar() : nullptr;
  if (applications && applications->isAncestorOf(under)) return ApplicationButtonAt(frame_, global);
  QWidget* treeArea = tree_->viewport();
  if (under == treeArea || treeArea->isAncestorOf(under)) {
    if (QTreeWidgetItem* item = tree_->itemAt(treeArea->mapFromGlobal(global))) {
      target.kind = ThumbnailPaneWnd::OutsideTarget::Tree;
      target.folder = tree_->GetItemPath(item);
    }
  }
  return target;
}

std::vector<int> CFD3View::activeSelection() const {
  return paneMode() == kThumbnailMode ? board_->SelectedEntryIndices() : list_->SelectedEntryIndices();
}

void CFD3View::OnLaunchApplication(int index) {
  if (!frame_ || !attachedDocument_ || viewerShown_) return;
  const auto& applications = frame_->RegisteredApplications();
  if (index < 0 || static_cast<std::size_t>(index) >= applications.size()) return;
  FolderSelection selection(*attachedDocument_, activeSelection());
  LaunchServices services;
  services.document = attachedDocument_;
  services.printImages = frame_->Settings().KankyoPrintImage != 0;
  services.printOthers = frame_->Settings().KankyoPrintUserSelect != 0;
  services.print = [frame = frame_] { frame->RunCommand(cmd::kPrint); };
  services.ocrSelection = [frame = frame_] { frame->RunCommand(cmd::kOcr); };
  // Images the application wants as text are read first, without asking.
  services.recognise = [this](const std::vector<ItemInfo>& items) {
    OcrPagesSelection pages(attachedDocument_->EntryList().GetFolderPath(), items);
    FolderOcrStore store(*attachedDocument_);
    OcrRunSettings settings = OcrRunSettingsOf(frame_->Settings());
    settings.askBeforeReplacing = false;
    const OcrRunResult result = RunOcr(pages, store, *attachedDocument_, settings, OcrReading::Batch, window());
    if (result.programSetToOne) frame_->Settings().KankyoOCRProgram = 1;
    return result.givenUp;
  };
  LaunchApplication(applications[static_cast<std::size_t>(index)], selection, services);
}

void CFD3View::OnSendMail() {
  if (!attachedDocument_) return;
  FolderSelection selection(*attachedDocument_, activeSelection());
  if (selection.Count() > 0) MailSelection(selection, *attachedDocument_);
}

void CFD3View::attachListLaunching(CFD3Doc& document) {
  list_->openEntry = [this](int entryIndex) {
    if (operations_) operations_->OpenItem(entryIndex);
  };
  list_->applicationNames = [this] { return board_->applicationNames ? board_->applicationNames() : QStringList(); };
  auto* drag = new ListRowDrag(list_);
  drag->findTarget = [this](QPoint global) { return outsideTargetAt(global); };
  connect(drag, &ListRowDrag::applicationDropRequested, this, &CFD3View::OnLaunchApplication);
  connect(drag, &ListRowDrag::folderDropRequested, this, [this](const std::string& folder, bool copy) {
    if (copyMove_)
      copyMove_->CopyMoveEntries(list_->SelectedEntryIndices(), folder,
                                 platform::fileNameOf(platform::withoutTrailingSlash(folder)), copy);
  });
  connect(drag, &ListRowDrag::targetChanged, this, [this](const ThumbnailPaneWnd::OutsideTarget& target) {
    if (frame_) frame_->ShowApplicationHint(target.kind == ThumbnailPaneWnd::OutsideTarget::Application ? target.button : -1);
  });
  new ListFileDrop(list_, document, [this]() -> const KankyoSettings* { return frame_ ? &frame_->Settings() : nullptr; });
}

void CFD3View::attachLaunchCommands(CMainFrame& frame) {
  connect(&frame, &CMainFrame::applicationLaunchRequested, this, &CFD3View::OnLaunchApplication);
  connect(board_, &ThumbnailPaneWnd::applicationDropRequested, this, &CFD3View::OnLaunchApplication);
  // The context menus' application entries come as the frame's commands.
  for (int i = 0; i < CMainFrame::kMaxRegisteredApplications; ++i)
    frame.SetCommandHandler(cmd::kFirstApplicationMenuEntry + i, [this, i] { OnLaunchApplication(i); });
  frame.SetCommandHandler(cmd::kSendMail, [this] { OnSendMail(); });
  handledCommands_.push_back(cmd::kSendMail);
}
