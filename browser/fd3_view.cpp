#include "browser/fd3_view.h"

#include "browser/board_copy_move.h"
#include "browser/board_operations.h"
#include "browser/entry_paste.h"
#include "browser/folder_tree_drop.h"
#include "browser/board_export.h"
#include "browser/board_properties.h"
#include "browser/board_file_drop.h"
#include "browser/browser_document.h"
#include "browser/fd3_doc_adapter.h"
#include "browser/folder_board_source.h"
#include "browser/folder_tree.h"
#include "browser/format_conversion.h"
#include "browser/list_pane.h"
#include "browser/search_command.h"
#include "browser/page_reorder_dlg.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "shell/import_command.h"
#include "shell/main_frame.h"
#include "shell/progress_dialogs.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>
#include <QMouseEvent>
#include <QPainter>

#include <sys/stat.h>

#include <algorithm>

namespace {

constexpr int kTrackLineHalfWidth = 3;

const QString kSeparatePosKey = QStringLiteral("SeparatePos");
const QString kRightModeKey = QStringLiteral("RightMode");
const QString kAutoSortKey = QStringLiteral("AutoSort");
constexpr int kImageLevelImage = 1;
const char* const kUnknown = "不明";

BoardSettings boardSettingsOf(const KankyoSettings& kankyo) {
  BoardSettings settings;
  settings.autoSort = OpenAppProfile()->value(BrowserKey(kAutoSortKey), 0).toInt() != 0 ? 1 : 0;
  settings.fontSize = kankyo.KankyoShowFontSize;
  settings.backColor = kankyo.KankyoColorBackColor;
  settings.itemColor = kankyo.KankyoColorItemColor;
  settings.showExtension = kankyo.KankyoShowExtMode != 0;
  settings.bmpResolution = kankyo.KankyoBmpRes;
  return settings;
}

// Commands that the board serves: the sort keys of the arrangement.
int sortKeyOf(int commandId) {
  switch (commandId) {
    case cmd::kSortTitle: return ThumbnailPaneWnd::kSortTitle;
    case cmd::kSortIssueDate: return ThumbnailPaneWnd::kSortIssueDate;
    case cmd::kSortModified: return ThumbnailPaneWnd::kSortModified;
    case cmd::kSortAccessed: return ThumbnailPaneWnd::kSortAccessed;
    default: return ThumbnailPaneWnd::kSortVisual;
  }
}

// The copy progress dialog (duplicate or rotate mode) as the board's operations see it.
class CopyProgress : public BoardOperations::Progress {
 public:
  CopyProgress(QWidget* owner, int mode) : dialog_(mode) { dialog_.Create(owner); }
  ~CopyProgress() override { dialog_.Close(); }
  CopyProgress(const CopyProgress&) = delete;
  CopyProgress& operator=(const CopyProgress&) = delete;
  void SetTexts(const std::string& file, const std::string& text) override {
    dialog_.SetFileName(QString::fromStdString(file));
    dialog_.SetText(QString::fromStdString(text));
  }
  bool PumpAndCheckCancel() override { return dialog_.PumpAndCheckCancel(); }

 private:
  CopyProgressDlg dialog_;
};

}  // namespace

CFD3View::CFD3View(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("CFD3View"));
  setMouseTracking(true);
  tree_ = new FolderTree(this);
  board_ = new ThumbnailPaneWnd(this);
  board_->hide();
  list_ = new CListPane(this);
  list_->hide();
  viewer_ = new QWidget(this);
  viewer_->setObjectName(QStringLiteral("ctl%1").arg(kViewerContainerId));
  viewer_->hide();
  trackLine_ = new QWidget(this);
  trackLine_->setObjectName(QStringLiteral("separatorTrack"));
  trackLine_->setAutoFillBackground(true);
  QPalette p = trackLine_->palette();
  p.setColor(QPalette::Window, QColor(128, 128, 128));
  trackLine_->setPalette(p);
  trackLine_->hide();
  installPrintDefaults();
  connect(tree_, &FolderTree::folderSelected, this, &CFD3View::OnFolderTreeSelChanged);
  connect(board_, &ThumbnailPaneWnd::selectionChanged, this, &CFD3View::UpdateCommandStates);
  connect(board_, &ThumbnailPaneWnd::selectionChanged, this, &CFD3View::ShowSelectionImageInfo);
  connectBoard();
}

void CFD3View::connectBoard() {
  // The board's requests of the view's own commands run here; the others go
  // to the frame, posted as a menu command would be.
  connect(board_, &ThumbnailPaneWnd::viewCommandRequested, this, [this](int id) {
    if (id == cmd::kAutoArrange) {
      OnArrange(id);
      return;
    }
    if (id == ThumbnailPaneWnd::kStackRenameCommand) {
      if (operations_ && frameCommandAvailable(id)) operations_->ChangeTitle(firstSelectedTile());
      return;
    }
    if (id == ThumbnailPaneWnd::kDuplicatePageCommand) {
      // The tile menu's one-page copy of a stack's current page.
      if (!operations_ || !frameCommandAvailable(id)) return;
      operations_->folderMax = frame_->Settings().KankyoShowFolderMax2000;
      operations_->DuplicateItem(firstSelectedTile(),
                                   board_->ArrangesAutomatically() ? BoardOperations::kDuplicateBesideAuto
                                                                   : BoardOperations::kDuplicateOffset,
                                 true, true);
      return;
    }
    if (frame_) QMetaObject::invokeMethod(frame_, [frame = frame_, id] { frame->RunCommand(id); }, Qt::QueuedConnection);
  });
  board_->commandAvailable = [this](int id) { return frameCommandAvailable(id); };
  board_->applicationNames = [this] {
    QStringList names;
    if (frame_)
      for (const auto& application : frame_->RegisteredApplications()) names << application.menuText;
    return names;
  };
  board_->findOutsideTarget = [this](QPoint global) { return outsideTargetAt(global); };
}

bool CFD3View::frameCommandAvailable(int commandId) const {
  if (!frame_) return false;
  if (commandId == CListPane::kStackTitleCommand)
    return paneMode() == kListMode && list_->SelectedCount() == 1 && CommandEnabled(cmd::kReorderPages);
  // The board's own requests that have no menu command of the frame.
  if (commandId == ThumbnailPaneWnd::kStackRenameCommand)
    return paneMode() == kThumbnailMode && board_->SelectedCount() == 1 && CommandEnabled(cmd::kReorderPages);
  if (commandId == ThumbnailPaneWnd::kDuplicatePageCommand)
    return paneMode() == kThumbnailMode && board_->SelectedCount() == 1 && CommandEnabled(cmd::kReorderPages);
  if (commandId >= cmd::kFirstApplicationMenuEntry &&
      commandId < cmd::kFirstApplicationMenuEntry + CMainFrame::kMaxRegisteredApplications)
    return static_cast<std::size_t>(commandId - cmd::kFirstApplicationMenuEntry) < frame_->RegisteredApplications().size();
  const QAction* action = frame_->Action(commandId);
  return action && action->isEnabled();
}

int CFD3View::firstSelectedTile() const {
  const std::vector<int> selected = board_->SelectedEntryIndices();
  return selected.empty() ? -1 : selected.front();
}

bool CFD3View::OpenInViewer(int entryIndex, int page) { return viewerOpener_ && viewerOpener_(entryIndex, page); }

CFD3View::~CFD3View() {
  OnDestroy();
  if (attachedDocument_) {
    attachedDocument_->RemoveObserver(this);
    attachedDocument_->SetViews(nullptr);
  }
}

void CFD3View::SetDocument(BrowserDocument* document) {
  document_ = document;
  tree_->SetDocument(document);
}

void CFD3View::AttachDocument(CFD3Doc* document) {
  attachedDocument_ = document;
  documentAdapter_ = std::make_unique<Fd3DocAdapter>(*document);
  SetDocument(documentAdapter_.get());
  boardSource_ = std::make_unique<FolderBoardSource>(*document);
  boardSource_->onShowItemInfo = [this](int index) { ShowImageInfoInStatusBar(index); };
  boardSource_->onShowDocumentCount = [this](int count) {
    if (frame_) frame_->ShowDocumentCount(count);
    UpdateCommandStates();
  };
  boardSource_->onTitleEditing = [this](bool editing) {
    if (document_) document_->SetLabelEditing(editing);
  };
  board_->SetSource(boardSource_.get());
  operations_ = std::make_unique<BoardOperations>(*board_, *document);
  operations_->openInViewer = [this](int entryIndex, int page) { return OpenInViewer(entryIndex, page); };
  operations_->makeProgress = [this](BoardOperations::ProgressKind kind) -> std::unique_ptr<BoardOperations::Progress> {
    return std::make_unique<CopyProgress>(
        window(), kind == BoardOperations::ProgressKind::Rotate ? CopyProgressDlg::Rotate : CopyProgressDlg::Copy);
  };
  list_->SetDocument(document);
  list_->onLabelEditing = [this](bool editing) {
    if (document_) document_->SetLabelEditing(editing);
  };
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFD3View::UpdateCommandStates);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CFD3View::ShowSelectionImageInfo);
  operations_->reorderDialog = [this](const std::vector<ItemInfo>& pages) -> std::optional<std::vector<int>> {
    PageReorderDlg dialog(pages, frame_ && frame_->Settings().KankyoShowExtMode != 0, window());
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.ResultOrder();
  };
  clipboard_ = std::make_unique<EntryClipboardCommands>(*document);
  clipboard_->folderLimit = [this] { return frame_ ? frame_->Settings().KankyoShowFolderMax2000 : kDefaultFolderMax; };
  // A document pasted into the folder it was copied from is duplicated,
  // unplaced and without an entry of its own: the paste reloads the folder.
  clipboard_->duplicate = [this](int kind, int number) {
    const int index = attachedDocument_->EntryList().Find(kind, number);
    if (index < 0) return false;
    operations_->folderMax = clipboard_->folderLimit();
    const int result = kind != 0 ? operations_->DuplicateStack(index, BoardOperations::kDuplicateUnplaced, false, false)
                                 : operations_->DuplicateItem(index, BoardOperations::kDuplicateUnplaced, false, false);
    return result != 0;
  };
  copyMove_ = std::make_unique<BoardCopyMove>(*board_, *document);
  copyMove_->folderLimit = [this] { return frame_ ? frame_->Settings().KankyoShowFolderMax2000 : kDefaultFolderMax; };
  // Tiles dropped on a folder of the tree; the list pane's drops want the
  // same call with its selected rows.
  connect(board_, &ThumbnailPaneWnd::folderDropRequested, this, [this](const std::string& folder, bool copy) {
    copyMove_->CopyMoveToFolder(folder, platform::fileNameOf(platform::withoutTrailingSlash(folder)), copy);
  });
  list_->carryToFolder = [this](const std::vector<int>& rows, const std::string& folder, bool copy) {
    copyMove_->CopyMoveEntries(rows, folder, platform::fileNameOf(platform::withoutTrailingSlash(folder)), copy);
  };
  connect(board_, &ThumbnailPaneWnd::openRequested, this, [this](int tile) { operations_->OpenItem(tile); });
  connect(board_, &ThumbnailPaneWnd::deleteRequested, this, [this](bool forGood) { operations_->DeleteSelected(forGood); });
  connect(board_, &ThumbnailPaneWnd::mergeRequested, this, [this](int target) { operations_->MergeIntoStack(target); });
  connect(board_, &ThumbnailPaneWnd::unstackRequested, this, [this](int tile, bool all) {
    if (all)
      operations_->UnstackAll(tile);
    else
      operations_->UnstackOne(tile);
  });
  new FolderTreeDrop(tree_, *document);
  new BoardFileDrop(board_, *document, [this]() -> const KankyoSettings* { return frame_ ? &frame_->Settings() : nullptr; });
  document->SetViews(this);
  document->AddObserver(this);
  attachListLaunching(*document);
}

void CFD3View::AttachToFrame(CMainFrame* frame) {
  frame_ = frame;
  frame->SetView(this);
  frame->SetCommandHandler(cmd::kViewThumbnail, [this] { OnViewThumbnail(); });
  frame->SetCommandHandler(cmd::kViewList, [this] { OnViewList(); });
  frame->SetCommandHandler(cmd::kFileNewFolder, [this] { OnFileNewFolder(); });
  frame->SetCommandHandler(cmd::kViewRefresh, [this] { OnViewRefresh(); });
  frame->SetCommandHandler(cmd::kImport, [this] {
    if (attachedDocument_) RunImportCommand(*attachedDocument_, frame_, frame_->Settings());
  });
  frame->SetCommandHandler(cmd::kSearch, [this] { RunSearchCommand(*frame_, attachedDocument_, false); });
  // The tidy-up is the search dialog's date search over the clean-up folders;
  // the busy flag holds other work back until it ends.
  frame->SetCommandHandler(cmd::kTidyUp, [this] {
    SetBusy(true);
    RunSearchCommand(*frame_, attachedDocument_, true);
    frame_->RunPendingWork();
  });
  frame->SetCommandHandler(cmd::kDictionaryMaintenance, [this] { RunRelatedWordMaintenance(*frame_); });
  for (int id : {cmd::kViewThumbnail, cmd::kViewList, cmd::kAutoArrange})
    if (QAction* action = frame->Action(id)) action->setCheckable(true);
  board_->ApplySettings(boardSettingsOf(frame->Settings()));
  list_->onShowDocumentCount = [this](int count) {
    if (frame_) frame_->ShowDocumentCount(count);
    UpdateCommandStates();
  };
  list_->runCommand = [this](int id) {
    if (id == CListPane::kStackTitleCommand) {
      OnListStackTitle();
      return;
    }
    if (frame_) QMetaObject::invokeMethod(frame_, [frame = frame_, id] { frame->RunCommand(id); }, Qt::QueuedConnection);
  };
  list_->commandAvailable = [this](int id) { return frameCommandAvailable(id); };
  list_->showExtension = [this] { return frame_ && frame_->Settings().KankyoShowExtMode != 0; };
  connect(frame, &CMainFrame::settingsApplied, board_, [this, frame] { board_->ApplySettings(boardSettingsOf(frame->Settings())); });
  handledCommands_ = {cmd::kSortTitle,   cmd::kSortIssueDate, cmd::kSortModified, cmd::kSortAccessed,
                      cmd::kArrangeEvenly, cmd::kArrange,     cmd::kAutoArrange,  cmd::kRename,
                      cmd::kDelete,      cmd::kSelectAll,   cmd::kStack,        cmd::kUnstackOne,
                      cmd::kUnstackAll,  cmd::kFileOpen,     cmd::kImport,
                      cmd::kDuplicate,   cmd::kReorderPages,
                      cmd::kRotateRight, cmd::kRotate180,   cmd::kRotateLeft,   cmd::kPrint};
  for (int id : handledCommands_) {
    switch (id) {
      case cmd::kImport: break;  // installed above
      case cmd::kRename: frame->SetCommandHandler(id, [this] { OnFileRename(); }); break;
      case cmd::kDelete: frame->SetCommandHandler(id, [this] { OnEditDelete(); }); break;
      case cmd::kSelectAll: frame->SetCommandHandler(id, [this] { OnEditSelectAll(); }); break;
      case cmd::kStack: frame->SetCommandHandler(id, [this] { OnEditStack(); }); break;
      case cmd::kUnstackOne: frame->SetCommandHandler(id, [this] { OnEditUnstackOne(); }); break;
      case cmd::kUnstackAll: frame->SetCommandHandler(id, [this] { OnEditUnstackAll(); }); break;
      case cmd::kFileOpen: frame->SetCommandHandler(id, [this] { OnFileOpen(); }); break;
      case cmd::kDuplicate: frame->SetCommandHandler(id, [this] { OnEditDuplicate(); }); break;
      case cmd::kReorderPages: frame->SetCommandHandler(id, [this] { OnEditReorderPages(); }); break;
      case cmd::kRotateRight: frame->SetCommandHandler(id, [this] { OnRotateRight(); }); break;
      case cmd::kRotate180: frame->SetCommandHandler(id, [this] { OnRotate180(); }); break;
      case cmd::kRotateLeft: frame->SetCommandHandler(id, [this] { OnRotateLeft(); }); break;
      case cmd::kPrint: frame->SetCommandHandler(id, [this] { OnFilePrint(); }); break;
      default: frame->SetCommandHandler(id, [this, id] { OnArrange(id); }); break;
    }
  }
  // Export, properties and conversion work on the board's selected entries
  // (the list pane calls the same functions with its own).
  const auto onSelection = [this](auto command, bool inList) {
    return [this, command, inList] {
      if (!attachedDocument_) return;
      if (paneMode() == kThumbnailMode)
        command(*attachedDocument_, board_->SelectedEntryIndices(), window());
      else if (inList)
        command(*attachedDocument_, list_->SelectedEntryIndices(), window());
    };
  };
  frame->SetCommandHandler(cmd::kExport, onSelection(ExportEntries, true));
  frame->SetCommandHandler(cmd::kProperties, onSelection(ShowEntryProperties, true));
  frame->SetCommandHandler(cmd::kConvertImageFormat, onSelection(ConvertEntryFormat, false));
  handledCommands_.insert(handledCommands_.end(), {cmd::kExport, cmd::kProperties, cmd::kConvertImageFormat});
  // Copy and paste of documents through the entry clipboard (the list pane
  // hands its selected rows to the same Copy).
  frame->SetCommandHandler(cmd::kCopy, [this] {
    if (clipboard_)
      clipboard_->Copy(paneMode() == kThumbnailMode ? board_->SelectedEntryIndices() : list_->SelectedEntryIndices());
  });
  frame->SetCommandHandler(cmd::kPaste, [this] {
    if (clipboard_) clipboard_->Paste();
  });
  handledCommands_.insert(handledCommands_.end(), {cmd::kCopy, cmd::kPaste});
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &CFD3View::UpdateCommandStates);
  attachLaunchCommands(*frame);
  frame->SetCommandHandler(cmd::kOcr, [this] { OcrSelectionToText(); });
  handledCommands_.push_back(cmd::kOcr);
  UpdateCommandStates();
}

int CFD3View::paneMode() const { return document_ ? document_->paneMode() : ownPaneMode_; }

void CFD3View::setPaneMode(int mode) {
  ownPaneMode_ = mode;
  if (document_) document_->setPaneMode(mode);
}

// ---- settings -----------------------------------------------------------------

void CFD3View::OnInitialUpdate() {
  auto profile = OpenAppProfile();
  separatorPos_ = profile->value(BrowserKey(kSeparatePosKey), kDefaultSeparatorPos).toInt();
  int mode = profile->value(BrowserKey(kRightModeKey), kThumbnailMode).toInt();
  if (mode != kThumbnailMode && mode != kListMode) mode = kThumbnailMode;
  setPaneMode(mode);
  showPanesForMode(mode);
  // A view not shown yet has no size of its own: laying it out now would
  // clamp the stored position to a size the user never saw. It is laid out
  // when it is shown.
  if (isVisible()) LayoutPanes(width(), height());
}

void CFD3View::OnDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  auto profile = OpenAppProfile();
  profile->setValue(BrowserKey(kSeparatePosKey), separatorPos_);
  profile->setValue(BrowserKey(kRightModeKey), paneMode());
  profile->sync();
}

void CFD3View::showPanesForMode(int mode) {
  const bool list = mode == kListMode;
  board_->setVisible(!list);
  list_->setVisible(list);
  if (!frame_) return;
  // The arrangement submenu only means something for the board.
  if (auto* arrange = frame_->findChild<QMenu*>(QStringLiteral("arrangeMenu")))
    arrange->menuAction()->setEnabled(!list);
  if (QAction* a = frame_->Action(cmd::kViewThumbnail)) a->setChecked(!list);
  if (QAction* a = frame_->Action(cmd::kViewList)) a->setChecked(list);
}

// ---- layout and the separator ---------------------------------------------------

void CFD3View::LayoutPanes(int width, int height) {
  // On a view narrower than two minimum panes the left minimum wins.
  int p = std::min(separatorPos_, width - kMinPaneWidth);
  p = std::max(p, kMinPaneWidth);
  separatorPos_ = p;
  tree_->setGeometry(kMargin, kMargin, p - kHalfGap - kMargin, height - 2 * kMargin);
  const QRect right(p + kHalfGap, kMargin, width - p - kHalfGap - kMargin, height - 2 * kMargin);
  board_->setGeometry(right);
  list_->setGeometry(right);
  viewer_->setGeometry(0, 0, width, height);
}

bool CFD3View::inGripZone(int x, int y) const {
  return x >= separatorPos_ - kHalfGap && x < separatorPos_ + kHalfGap && y >= kMargin && y <= height() - kMargin;
}

void CFD3View::moveTrackLine(int x) {
  trackX_ = x;
  trackLine_->setGeometry(x - kTrackLineHalfWidth, kMargin + 1, 2 * kTrackLineHalfWidth,
                          height() - 2 * (kMargin + 1));
}

void CFD3View::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
}

void CFD3View::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutPanes(width(), height());
}

void CFD3View::mousePressEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (event->button() != Qt::LeftButton || viewerShown_ || !inGripZone(pos.x(), pos.y())) {
    QWidget::mousePressEvent(event);
    return;
  }
  setCursor(Qt::SizeHorCursor);
  dragging_ = true;
  moveTrackLine(pos.x());
  trackLine_->raise();
  trackLine_->show();
}

void CFD3View::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (dragging_) {
    // Here the right minimum wins on a narrow view.
    const int x = std::min(std::max(pos.x(), kMinPaneWidth), width() - kMinPaneWidth);
    if (x != trackX_) moveTrackLine(x);
    return;
  }
  if (!viewerShown_ && inGripZone(pos.x(), pos.y()))
    setCursor(Qt::SizeHorCursor);
  else
    unsetCursor();
  ShowImageInfoInStatusBar(-1);
}

void CFD3View::mouseReleaseEvent(QMouseEvent* event) {
  if (!dragging_) {
    QWidget::mouseReleaseEvent(event);
    return;
  }
  dragging_ = false;
  trackLine_->hide();
  separatorPos_ = trackX_;
  LayoutPanes(width(), height());
}

void CFD3View::ShowImageInfoInStatusBar(int entryIndex) {
  if (!frame_) return;
  const auto show = [this](const QString& size, const QString& format, const QString& depth) {
    frame_->SetStatusPaneText(pane::kPane2400, size);
    frame_->SetStatusPaneText(pane::kPane2401, format);
    frame_->SetStatusPaneText(pane::kPane2402, depth);
  };
  if (entryIndex == -1) {
    lastInfoIndex_ = -1;
    show({}, {}, {});
    return;
  }
  if (entryIndex == lastInfoIndex_ || !attachedDocument_) return;
  lastInfoIndex_ = entryIndex;
  CFD3Doc& doc = *attachedDocument_;
  const std::string folder = doc.EntryList().GetFolderPath();
  if (!doc.OpenFolderDatabase(folder)) return;
  const DisplayEntry* entry =
      entryIndex < doc.EntryList().GetCount() ? doc.EntryList().GetAt(entryIndex) : nullptr;
  StackInfo stack;
  ItemInfo item;
  if (!entry || !doc.GetEntryRecords(*entry, stack, item) || item.ImageLevel != kImageLevelImage) {
    show({}, {}, {});
    return;
  }
  doc.CreateImageCtrl(false);
  CImageCtrl* ctrl = doc.imageCtrl();
  const std::string path = platform::joinPath(folder, item.Ext.empty() ? item.Title : item.Title + "." + item.Ext);
  if (!ctrl || ctrl->GetFileInfo(path, 1, 0) != 0) {
    show(QString::fromUtf8(kUnknown), QString::fromUtf8(kUnknown), QString::fromUtf8(kUnknown));
    return;
  }
  show(QStringLiteral("%1 x %2").arg(static_cast<int>(ctrl->GetDispid40())).arg(static_cast<int>(ctrl->GetDispid41())),
       QString::fromStdString(GetImageFormatName(ctrl->GetInfoFormat())),
       QString::fromStdString(GetColorDepthName(ctrl->GetInfoFormat(), ctrl->GetBitsPerPixel())));
}

namespace {
std::optional<std::int64_t> modificationStamp(const std::string& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}
}  // namespace

void CFD3View::FollowApplicationState() {
  // Queued: the refresh runs after the activation has been handled.
  connect(qApp, &QGuiApplication::applicationStateChanged, this, &CFD3View::OnApplicationStateChanged,
          Qt::QueuedConnection);
}

void CFD3View::OnApplicationStateChanged(Qt::ApplicationState state) {
  const std::string folder = platform::withoutTrailingSlash(tree_->GetCurrentPath());
  const FolderStamp& stamp = folderStamp_ ? folderStamp_ : FolderStamp(modificationStamp);
  if (state != Qt::ApplicationActive) {
    leftFolder_ = folder;
    leftStamp_ = folder.empty() ? std::nullopt : stamp(folder);
    return;
  }
  const bool changed = !folder.empty() && folder == leftFolder_ && leftStamp_ && stamp(folder) != leftStamp_;
  leftFolder_.clear();
  leftStamp_.reset();
  // Not over the viewer, an open editor or other work: the user finds the
  // folder as they left it, and the next return checks again.
  if (!changed || viewerShown_ || IsBusy() || !frame_ || !frame_->isEnabled() || QApplication::activeModalWidget() ||
      (attachedDocument_ && attachedDocument_->TitleEditing()))
    return;
  OnViewRefresh();
}

void CFD3View::ShowSelectionImageInfo() {
  if (viewerShown_) return;
  const std::vector<int> selected =
      paneMode() == kThumbnailMode ? board_->SelectedEntryIndices() : list_->SelectedEntryIndices();
  if (selected.size() != 1) {
    ShowImageInfoInStatusBar(-1);
    return;
  }
  lastInfoIndex_ = -1;
  ShowImageInfoInStatusBar(selected.front());
}

void CFD3View::RefreshThumbnail(int kind, int number) {
  if (paneMode() == kThumbnailMode) board_->RefreshThumbnail(kind, number);
}

bool CFD3View::CommandEnabled(int commandId) const {
  const bool thumbs = paneMode() == kThumbnailMode;
  const int tiles = board_->tileCount();
  const int selected = thumbs ? board_->SelectedCount() : list_->SelectedCount();
  const auto onlySelectedIsStack = [this, thumbs] {
    if (!thumbs) {
      const std::vector<int> rows = list_->SelectedEntryIndices();
      const DisplayEntry* e = rows.empty() || !attachedDocument_ ? nullptr : attachedDocument_->EntryList().GetAt(rows.front());
      return e && e->isStack();
    }
    for (int i = 0; i < board_->tileCount(); ++i)
      if (board_->Tile(i)->IsSelected()) return board_->Tile(i)->isStack();
    return false;
  };
  switch (commandId) {
    case cmd::kSortTitle:
    case cmd::kSortIssueDate:
    case cmd::kSortModified:
    case cmd::kSortAccessed:
      return thumbs ? tiles >= 2 : list_->rowCount() >= 2;
    case cmd::kArrangeEvenly:
    case cmd::kArrange:
      return thumbs;
    case cmd::kAutoArrange:
    case cmd::kViewThumbnail:
    case cmd::kViewList:
    case cmd::kFileNewFolder:
    case cmd::kViewRefresh:
      return true;
    case cmd::kImport:
      return attachedDocument_ && !attachedDocument_->EntryList().GetFolderPath().empty();
    case cmd::kDelete:
    case cmd::kExport:
    case cmd::kSendMail:
    case cmd::kDuplicate:
    case cmd::kCopy:
      return selected > 0;
    case cmd::kPaste:
      return clipboard_ && EntryClipboardCommands::ClipboardHoldsEntries();
    case cmd::kSelectAll:
      return thumbs ? tiles > 0 : list_->rowCount() > 0;
    case cmd::kStack:
      return thumbs && selected >= 2;
    case cmd::kUnstackOne:
    case cmd::kUnstackAll:
    case cmd::kReorderPages:
      return selected == 1 && onlySelectedIsStack();
    case cmd::kConvertImageFormat:
      return thumbs && selected == 1 && board_->mode() == ThumbnailPaneWnd::kFolderBoard;
    case cmd::kRename:
      return selected == 1;
    case cmd::kProperties:
    case cmd::kFileOpen:
      return selected == 1;
    case cmd::kRotateRight:
    case cmd::kRotate180:
    case cmd::kRotateLeft:
      return thumbs && AnySelectedPrintable(true, false);
    case cmd::kPrint: {
      const PagePrintSettings print = printSettings();
      return AnySelectedPrintable(print.printImages, print.printListed);
    }
    case cmd::kOcr:
      return AnySelectedPrintable(true, false);
    default:
      return false;
  }
}

void CFD3View::UpdateCommandStates() {
  if (!frame_) return;
  for (int id : handledCommands_)
    if (QAction* action = frame_->Action(id)) action->setEnabled(CommandEnabled(id));
  if (QAction* action = frame_->Action(cmd::kAutoArrange)) action->setChecked(board_->autoArrange());
}

void CFD3View::OnArrange(int commandId) {
  if (paneMode() != kThumbnailMode) {
    const int column = commandId == cmd::kSortTitle       ? listpane::kTitle
                       : commandId == cmd::kSortIssueDate ? listpane::kIssueDate
                       : commandId == cmd::kSortModified  ? listpane::kModifiedDate
                       : commandId == cmd::kSortAccessed  ? listpane::kAccessedDate
                                                          : -1;
    if (column != -1) list_->Fill(column, 0);
    return;
  }
  if (commandId == cmd::kAutoArrange) {
    const bool on = !board_->autoArrange();
    BoardSettings settings = board_->settings();
    settings.autoSort = on ? 1 : 0;
    board_->ApplySettings(settings);
    OpenAppProfile()->setValue(BrowserKey(kAutoSortKey), settings.autoSort);
    if (on) board_->ArrangeItems(ThumbnailPaneWnd::kSortVisual, 1, 0);
    UpdateCommandStates();
    return;
  }
  board_->ArrangeItems(sortKeyOf(commandId), 1, 0);
}

void CFD3View::OnFileRename() {
  if (paneMode() != kThumbnailMode) {
    if (list_->SelectedCount() == 1) list_->OnRenameItem();
    return;
  }
  if (board_->SelectedCount() != 1) return;
  for (int i = 0; i < board_->tileCount(); ++i) {
    ThumbnailItemWnd* tile = board_->Tile(i);
    if (!tile->IsSelected()) continue;
    // A stack's title and its pages' titles change in the title dialog.
    if (tile->isStack()) {
      if (operations_) operations_->ChangeTitle(i);
    } else {
      board_->BeginTitleEdit(i, ThumbnailPaneWnd::kLowerCaption);
    }
    return;
  }
}

void CFD3View::OnEditDelete() {
  if (paneMode() != kThumbnailMode) {
    list_->OnDelete(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
    return;
  }
  if (!operations_) return;
  operations_->DeleteSelected(QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier);
}

void CFD3View::OnEditSelectAll() {
  if (paneMode() == kThumbnailMode)
    board_->OnSelectAll();
  else
    list_->selectAll();
}

void CFD3View::OnEditStack() {
  if (paneMode() == kThumbnailMode && operations_) operations_->StackSelection();
}

void CFD3View::OnEditUnstackOne() {
  if (paneMode() == kThumbnailMode && operations_ && board_->SelectedCount() == 1)
    operations_->UnstackOne(firstSelectedTile());
}

void CFD3View::OnEditUnstackAll() {
  if (paneMode() == kThumbnailMode && operations_ && board_->SelectedCount() == 1)
    operations_->UnstackAll(firstSelectedTile());
}

void CFD3View::OnEditDuplicate() {
  if (!operations_) return;
  if (frame_) operations_->folderMax = frame_->Settings().KankyoShowFolderMax2000;
  if (paneMode() == kThumbnailMode) {
    operations_->DuplicateSelected();
    return;
  }
  // The list's copies have no place on a board; the rows are sorted again.
  operations_->DuplicateEntries(list_->SelectedEntryIndices(), BoardOperations::kDuplicateUnplaced);
  list_->Fill(-1, 1);
}

void CFD3View::OnEditReorderPages() {
  if (!operations_) return;
  if (paneMode() == kThumbnailMode) {
    if (board_->SelectedCount() == 1) operations_->ReorderStackPages(firstSelectedTile());
    return;
  }
  const std::vector<int> rows = list_->SelectedEntryIndices();
  if (rows.size() != 1) return;
  SetBusy(true);
  operations_->ReorderStackPages(rows.front());
  list_->UpdateEntry(rows.front(), nullptr, nullptr);
  if (frame_)
    frame_->RunPendingWork();
  else
    SetBusy(false);
}

void CFD3View::OnListStackTitle() {
  const std::vector<int> rows = list_->SelectedEntryIndices();
  if (!operations_ || paneMode() != kListMode || rows.size() != 1) return;
  operations_->ChangeTitle(rows.front());
  // The row is written again from the catalogue, whatever the dialog did.
  list_->UpdateEntry(rows.front(), nullptr, nullptr);
}

void CFD3View::OnFileOpen() {
  if (paneMode() == kThumbnailMode && operations_ && board_->SelectedCount() == 1)
    operations_->OpenItem(firstSelectedTile());
  else if (paneMode() != kThumbnailMode && list_->SelectedCount() == 1)
    list_->OpenEntry(list_->SelectedEntryIndices().front());
}

// ---- commands ------------------------------------------------------------------

void CFD3View::OnFolderTreeSelChanged() {
  if (document_) document_->LoadFolder(tree_->GetCurrentPath(), 1);
}

void CFD3View::OnViewThumbnail() {
  if (paneMode() == kThumbnailMode) return;
  setPaneMode(kThumbnailMode);
  showPanesForMode(kThumbnailMode);
  list_->DeleteAllRows();
  if (document_) document_->LoadFolder(tree_->GetCurrentPath(), 1);
}

void CFD3View::OnViewList() {
  if (paneMode() == kListMode) return;
  setPaneMode(kListMode);
  board_->SetRedraw(false);
  board_->RemoveAllItems();
  board_->SetRedraw(true);
  showPanesForMode(kListMode);
  UpdateCommandStates();
  if (document_) document_->LoadFolder(tree_->GetCurrentPath(), 1);
}

void CFD3View::OnFileNewFolder() {
  QTreeWidgetItem* item = tree_->currentItem();
  if (!item) return;
  tree_->SetContextItem(item);
  QMetaObject::invokeMethod(tree_, [tree = tree_] { tree->RunCommand(FolderTree::kCmdNewFolder); },
                            Qt::QueuedConnection);
}

void CFD3View::OnViewRefresh() {
  SetBusy(true);
  const std::string path = tree_->GetCurrentPath();
  const auto finish = [this] {
    if (frame_)
      frame_->RunPendingWork();
    else
      SetBusy(false);
  };
  struct stat st {};
  if (path.empty() || ::stat(platform::withoutTrailingSlash(path).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    platform::messageBox("フォルダを発見できませんでした。\n処理を中断します。", platform::Buttons::Ok);
    finish();
    return;
  }
  if (CheckDiskFree(path)) {
    finish();
    return;
  }
  if (paneMode() == kThumbnailMode) {
    board_->SetRedraw(false);
    board_->RemoveAllItems();
    board_->SetRedraw(true);
    board_->RedrawNow();
  } else {
    list_->DeleteAllRows();
  }
  BringMainWindowForward();
  RefreshProgressDlg dialog;
  dialog.Create(window());
  const std::string report = document_ ? document_->RescanFolderTree(&dialog, path) : std::string();
  dialog.SetText(QStringLiteral("再表示処理中"));
  if (document_) document_->LoadFolder(path, 1);
  tree_->Refresh();
  dialog.Close();
  BringMainWindowForward();
  // Told after the progress box is gone, so that nothing stands over its Cancel.
  if (!report.empty()) platform::messageBox(report, platform::Buttons::Ok, platform::Icon::Information);
  finish();
}

// ---- interfaces ----------------------------------------------------------------

void CFD3View::BringMainWindowForward() {
  QWidget* top = window();
  top->raise();
  top->activateWindow();
}

// ---- the document's changes ---------------------------------------------------

void CFD3View::EntriesCleared(DocumentChanges) {
  if (paneMode() == kThumbnailMode) {
    // The emptied board is shown at once; the new tiles appear together.
    board_->SetRedraw(false);
    board_->RemoveAllItems();
    board_->SetRedraw(true);
    board_->RedrawNow();
    board_->SetRedraw(false);
  } else {
    list_->DeleteAllRows();
  }
}

void CFD3View::EntryAdded(int index, const StackInfo* stack, const ItemInfo* item) {
  if (paneMode() == kThumbnailMode)
    board_->AddItem(index, stack, item);
  else
    list_->UpdateEntry(index, stack, item);
}

void CFD3View::EntryRemoved(int index) {
  if (paneMode() == kThumbnailMode)
    board_->RemoveItemAt(index);
  else
    list_->DeleteRow(index);
}

void CFD3View::EntryChanged(int index, DocumentChanges changes) {
  // Its records changed (a converted file): the tile is drawn afresh.
  if (const DisplayEntry* entry = changes.testFlag(DocumentChange::Entries) && attachedDocument_
                                      ? attachedDocument_->EntryList().GetAt(index) : nullptr)
    RefreshThumbnail(entry->kind, entry->number);
  if (!changes.testFlag(DocumentChange::Selection)) return;
  if (paneMode() == kThumbnailMode) {
    board_->ScrollEntryIntoView(index);
    board_->SelectOnly(index);
  } else {
    list_->SelectOnlyRow(index);
  }
}

void CFD3View::DocumentChanged(DocumentChanges changes) {
  if (changes.testFlag(DocumentChange::Entries)) {
    const int resetScroll = changes.testFlag(DocumentChange::ScrollReset) ? 1 : 0;
    if (paneMode() == kThumbnailMode) {
      board_->PlaceNewItems();
      if (board_->ArrangesAutomatically())
        board_->ArrangeItems(ThumbnailPaneWnd::kVisualOrder, resetScroll, 1);
      else
        board_->UpdateScrollExtent(resetScroll, 1);
      board_->SetRedraw(true);
      board_->RedrawNow();
    } else {
      list_->Fill(-1, 1);
    }
  }
  if (changes.testFlag(DocumentChange::Folder) && document_ && document_->GetFolderPath().empty())
    tree_->ClearSelection();
}

void CFD3View::BuildFolderTreeForDesktop(const std::string& desktopRoot) { tree_->BuildForDesktop(desktopRoot); }

int CFD3View::SelectFolderInTree(const std::string& folderPath) { return tree_->SelectFolder(folderPath); }

void CFD3View::RefreshSelectedFolder() { tree_->RefreshSelected(); }
