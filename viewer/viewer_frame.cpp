#include "viewer/viewer_frame.h"

#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/command_ids.h"
#include "shell/image_utilities.h"
#include "shell/main_frame.h"
#include "viewer/attached_text_pane.h"
#include "viewer/image_view.h"
#include "viewer/info_pane.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_pane_wnd.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr int kDefaultLayout = ViewerPaneWnd::kLayoutTile;
constexpr std::uint32_t kSavedMask = fieldmask::kItemTextExt | fieldmask::kItemOfficialDate |
                                     fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate;
constexpr std::uint32_t kAccessedMask = fieldmask::kItemLastAccessedDate;

QString key(const char* name) { return BrowserKey(QString::fromLatin1(name)); }

// The catalogue's sort mask of a browser sort key, or 0 for the board order.
std::uint32_t sortMaskOf(int sortKey) {
  switch (sortKey) {
    case 1: return sortmask::kTitle;
    case 2: return sortmask::kTitle | sortmask::kDescending;
    case 7: return sortmask::kOfficialDate;
    case 8: return sortmask::kOfficialDate | sortmask::kDescending;
    case 9: return sortmask::kLastModifiedDate;
    case 10: return sortmask::kLastModifiedDate | sortmask::kDescending;
    case 11: return sortmask::kLastAccessedDate;
    case 12: return sortmask::kLastAccessedDate | sortmask::kDescending;
    default: return 0;
  }
}

// Every id of the image commands, tools and annotation tools (bars and menus).
constexpr int kFirstImageCommand = 0xBC2;
constexpr int kLastImageCommand = 0xBFC;

bool IsToolCommand(int id) {
  switch (id) {
    case vcmd::kToolDrag: case vcmd::kToolDragButton: case vcmd::kToolZoom: case vcmd::kToolZoomButton:
    case vcmd::kTrim: case vcmd::kTrimButton: case vcmd::kInvert: case vcmd::kInvertButton:
    case vcmd::kFillWhite: case vcmd::kFillWhiteButton: case vcmd::kFillBlack: case vcmd::kFillBlackButton:
    case vcmd::kOcr: case vcmd::kOcrButton: case vcmd::kGrayDisplay:
      return true;
    default:
      return (id >= vcmd::kPointerButton && id <= vcmd::kLinkButton) || (id >= vcmd::kPointerTool && id <= vcmd::kLinkTool);
  }
}

QString itemLine(const ItemInfo& item) {
  return QString::fromStdString(item.Title) + QLatin1Char('.') + QString::fromStdString(item.Ext);
}

}  // namespace

ViewerFrame::ViewerFrame(CMainFrame* frame, QWidget* host) : QObject(frame), frame_(frame) {
  panes_ = new ViewerPaneWnd(host);
  auto* layout = new QVBoxLayout(host);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panes_);
  // Every image command and its undo end with this signal: size, format and
  // depth in the status bar follow the image.
  connect(panes_->imageView(), &ImageView::toolChanged, this, [this] { UpdateCommandStates(); });
  connect(panes_->imageView(), &ImageView::zoomChanged, this, [this] {
    UpdateCommandStates();
    if (pageShown_) ShowViewerImageInfo();
  });
  createCommands();
  if (QDialog* confirm = frame_->ConfirmLaunchDialog())
    if (auto* launch = confirm->findChild<QPushButton*>(QStringLiteral("launchButton")))
      connect(launch, &QPushButton::clicked, this, [this] { OnLaunchShownFile(); });
}

ViewerFrame::~ViewerFrame() = default;

// ---- commands, menus and bars ---------------------------------------------

void ViewerFrame::createCommands() {
  QToolBar* bar = frame_->GetViewerToolBar();
  const auto command = [this](int id, const char* text, std::function<void()> handler) {
    QAction* action = frame_->AddCommand(id, QString::fromUtf8(text));
    frame_->SetCommandHandler(id, std::move(handler));
    return action;
  };
  command(vcmd::kBackToBrowser, "ブラウザに戻る(&C)", [this] { frame_->RunCommand(cmd::kViewerBack); });
  for (int layout = ViewerPaneWnd::kLayoutImage; layout <= ViewerPaneWnd::kLayoutTile; ++layout) {
    QAction* action = frame_->AddCommand(vcmd::kLayoutImage + layout - 1, {});
    action->setCheckable(true);
    frame_->SetCommandHandler(vcmd::kLayoutImage + layout - 1, [this, layout] {
      SetViewerFrameMode(layout);
      UpdateCommandStates();
    });
  }
  if (bar) {
    bar->addSeparator();
    QAction* previousDocument = command(vcmd::kPreviousDocument, "前の文書", [this] { OnPreviousDocument(); });
    bar->addAction(previousDocument);
    documentCombo_ = new QComboBox(bar);
    documentCombo_->setObjectName(QStringLiteral("ctl%1").arg(vcmd::kDocumentCombo));
    documentCombo_->setMinimumContentsLength(20);
    bar->addWidget(documentCombo_);
    bar->addAction(command(vcmd::kNextDocument, "次の文書", [this] { OnNextDocument(); }));
    bar->addAction(command(vcmd::kRenameDocumentButton, "変更", [this] { OnRenameDocumentCommand(); }));
    bar->addSeparator();
    bar->addAction(command(vcmd::kPreviousPage, "前の頁", [this] { OnPreviousPage(); }));
    pageCombo_ = new QComboBox(bar);
    pageCombo_->setObjectName(QStringLiteral("ctl%1").arg(vcmd::kPageCombo));
    pageCombo_->setMinimumContentsLength(16);
    bar->addWidget(pageCombo_);
    bar->addAction(command(vcmd::kNextPage, "次の頁", [this] { OnNextPage(); }));
    bar->addAction(command(vcmd::kRenamePageButton, "変更", [this] { OnRenamePageCommand(); }));
    connect(documentCombo_, &QComboBox::activated, this, [this](int line) { OnSelChangeDocument(line); });
    connect(pageCombo_, &QComboBox::activated, this, [this](int line) { OnSelChangePage(line); });
  }

  auto* file = new QMenu(QStringLiteral("ファイル(&F)"), frame_);
  file->addAction(command(vcmd::kRenameDocument, "文書タイトルの変更(&S)...", [this] { OnRenameDocumentCommand(); }));
  file->addAction(command(vcmd::kRenamePage, "頁タイトルの変更(&R)...", [this] { OnRenamePageCommand(); }));
  file->addSeparator();
  file->addAction(command(vcmd::kMail, "メール送信(&M)...", [this] { OnMail(); }));
  file->addAction(command(vcmd::kPrint, "印刷(&P)...", [this] { OnPrint(); }));
  file->addSeparator();
  file->addAction(frame_->Action(vcmd::kBackToBrowser));
  auto* edit = new QMenu(QStringLiteral("編集(&E)"), frame_);
  const std::pair<int, const char*> edits[] = {{vcmd::kEditUndo, "元に戻す(&U)"},
                                               {vcmd::kEditCut, "切り取り(&T)"},
                                               {vcmd::kEditCopy, "コピー(&C)"},
                                               {vcmd::kEditPaste, "貼り付け(&P)"},
                                               {vcmd::kEditDelete, "削除(&D)"},
                                               {vcmd::kEditSelectAll, "全てを選択(&A)"}};
  for (const auto& [id, text] : edits) edit->addAction(command(id, text, [this, id = id] { OnEditCommand(id); }));
  connect(edit, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
  auto* view = new QMenu(QStringLiteral("表示(&V)"), frame_);
  QAction* viewerBar = command(vcmd::kViewerToolBarToggle, "メインツールバー(&M)", [this] {
    frame_->GetViewerToolBar()->setVisible(!frame_->GetViewerToolBar()->isVisible());
    UpdateCommandStates();
  });
  QAction* imageBar = command(vcmd::kImageToolBarToggle, "画像ツールバー(&I)", [this] {
    frame_->GetImageToolBar()->setVisible(!frame_->GetImageToolBar()->isVisible());
    UpdateCommandStates();
  });
  QAction* statusBar = command(vcmd::kStatusBarToggle, "ステータスバー(&S)", [this] {
    frame_->statusBar()->setVisible(!frame_->statusBar()->isVisible());
    UpdateCommandStates();
  });
  for (QAction* toggle : {viewerBar, imageBar, statusBar}) {
    toggle->setCheckable(true);
    view->addAction(toggle);
  }
  view->addSeparator();
  const std::pair<int, const char*> images[] = {{vcmd::kToolDrag, "ドラッグ(&D)"},
                                                {vcmd::kToolZoom, "拡大/縮小(&Z)"},
                                                {vcmd::kFitWhole, "全体表示(&W)"},
                                                {vcmd::kFitWidth, "幅に合わせる(&H)"},
                                                {vcmd::kFitHeight, "高さに合わせる(&V)"},
                                                {vcmd::kGrayDisplay, "グレースケール表示(&G)"}};
  for (const auto& [id, text] : images) {
    QAction* action = command(id, text, [this, id = id] {
      panes_->imageView()->OnCommand(id);
      UpdateCommandStates();
    });
    action->setCheckable(id == vcmd::kToolDrag || id == vcmd::kToolZoom || id == vcmd::kGrayDisplay);
    view->addAction(action);
  }
  connect(view, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });

  const auto imageCommand = [this, &command](int id, const char* text) {
    QAction* action = command(id, text, [this, id] {
      panes_->imageView()->OnCommand(id);
      UpdateCommandStates();
    });
    action->setCheckable(IsToolCommand(id));
    return action;
  };
  imageMenu_ = new QMenu(QStringLiteral("画像(&I)"), frame_);
  const std::pair<int, const char*> imageItems[] = {
      {vcmd::kResolution, "解像度の変更(&R)..."}, {vcmd::kRotate, "回転(&O)..."},
      {vcmd::kBinarise, "白黒２値化(&B)"},        {vcmd::kGreyScale, "グレースケール化(&G)"},
      {vcmd::kDespeckle, "ノイズ除去(&N)"},       {0, nullptr},
      {vcmd::kTrim, "トリミング(&T)"},            {vcmd::kInvert, "白黒反転(&I)"},
      {vcmd::kFillWhite, "白塗りつぶし(&W)"},     {vcmd::kFillBlack, "黒塗りつぶし(&K)"},
      {0, nullptr},                               {vcmd::kOcr, "OCR(&C)"}};
  for (const auto& [id, text] : imageItems) {
    if (id == 0)
      imageMenu_->addSeparator();
    else
      imageMenu_->addAction(imageCommand(id, text));
  }
  // Deskew has no item of its own; the rotation dialog offers it.
  command(vcmd::kDeskew, "傾き補正", [this] {
    panes_->imageView()->OnCommand(vcmd::kDeskew);
    UpdateCommandStates();
  });
  annotationMenu_ = new QMenu(QStringLiteral("注釈(&A)"), frame_);
  const std::pair<int, const char*> annotationItems[] = {
      {vcmd::kSelectAnnotationsTool, "注釈の選択(&S)"}, {vcmd::kTextBoxTool, "メモ(&M)"},
      {vcmd::kHighlightTool, "マーカー(&H)"},           {vcmd::kRedactionTool, "塗りつぶし(&F)"},
      {vcmd::kPointerTool, "矢印(&A)"},                 {vcmd::kLinkTool, "URL(&U)"}};
  for (const auto& [id, text] : annotationItems) annotationMenu_->addAction(imageCommand(id, text));
  for (QMenu* menu : {imageMenu_, annotationMenu_})
    connect(menu, &QMenu::aboutToShow, this, [this] { UpdateCommandStates(); });
  for (QMenu* menu : {file, edit, view, imageMenu_, annotationMenu_}) frame_->AddViewerMenu(menu);

  // The image tool bar, in its order; its buttons share the commands' handlers.
  if (QToolBar* images = frame_->GetImageToolBar()) {
    const std::pair<int, const char*> buttons[] = {
        {vcmd::kToolDragButton, "ドラッグ"},          {vcmd::kToolZoomButton, "拡大/縮小"},
        {vcmd::kRotateButton, "回転"},                {vcmd::kFitWholeButton, "全体表示"},
        {vcmd::kFitWidthButton, "幅に合わせる"},      {vcmd::kFitHeightButton, "高さに合わせる"},
        {0, nullptr},                                 {vcmd::kResolutionButton, "解像度の変更"},
        {vcmd::kTrimButton, "トリミング"},            {vcmd::kFillBlackButton, "黒塗りつぶし"},
        {vcmd::kFillWhiteButton, "白塗りつぶし"},     {vcmd::kInvertButton, "白黒反転"},
        {0, nullptr},                                 {vcmd::kOcrButton, "OCR"},
        {0, nullptr},                                 {vcmd::kSelectAnnotationsButton, "注釈の選択"},
        {vcmd::kTextBoxButton, "メモ"},               {vcmd::kHighlightButton, "マーカー"},
        {vcmd::kRedactionButton, "塗りつぶし"},       {vcmd::kPointerButton, "矢印"},
        {vcmd::kLinkButton, "URL"}};
    for (const auto& [id, text] : buttons) {
      if (id == 0)
        images->addSeparator();
      else
        images->addAction(imageCommand(id, text));
    }
  }
  // A region's recognised text goes to the attached text or the comment.
  connect(panes_->imageView(), &ImageView::ocrTextRecognised, this, [this](const QString& text, int target) {
    if (target == 1)
      panes_->infoPane()->AppendComment(text.toStdString());
    else
      panes_->textPane()->AppendText(text.toStdString());
  });
  connect(panes_->imageView(), &ImageView::prompt, this, [this](const QString& text) {
    if (text.isEmpty())
      frame_->statusBar()->clearMessage();
    else
      frame_->statusBar()->showMessage(text);
  });
}

bool ViewerFrame::pageShowsImagePane() const {
  const int layout = panes_->mode();
  return pageShown_ && item_.ImageLevel == 1 &&
         (layout == ViewerPaneWnd::kLayoutImage || layout == ViewerPaneWnd::kLayoutTile);
}

void ViewerFrame::UpdateCommandStates() {
  const auto set = [this](int id, bool enabled, bool checked = false) {
    if (QAction* action = frame_->Action(id)) {
      action->setEnabled(enabled);
      if (action->isCheckable()) action->setChecked(checked);
    }
  };
  const int pages = pageCount();
  set(vcmd::kPreviousPage, open_ && page_ > 1);
  set(vcmd::kNextPage, open_ && page_ < pages);
  set(vcmd::kPreviousDocument, open_ && index_ > 0);
  set(vcmd::kNextDocument, open_ && index_ < static_cast<int>(documents_.size()) - 1);
  for (int layout = ViewerPaneWnd::kLayoutImage; layout <= ViewerPaneWnd::kLayoutTile; ++layout)
    set(vcmd::kLayoutImage + layout - 1, true, panes_->mode() == layout);
  for (int id = vcmd::kEditUndo; id <= vcmd::kEditSelectAll; ++id) set(id, open_ && EditCommandEnabled(id));
  if (QAction* undo = frame_->Action(vcmd::kEditUndo)) {
    // The image's one step of undo, once taken back, is offered again as redo.
    const bool redo = panes_->activePane() == ViewerPaneWnd::kPaneImage && panes_->imageView()->editingAnnotation() == nullptr &&
                      panes_->imageView()->undoState() == ImageView::kCanRedo;
    undo->setText(redo ? QStringLiteral("やり直し(&U)") : QStringLiteral("元に戻す(&U)"));
  }
  ImageView* image = panes_->imageView();
  const bool imageCommands = pageShowsImagePane();
  for (int id = kFirstImageCommand; id <= kLastImageCommand; ++id)
    if (id < vcmd::kEditUndo || id > vcmd::kEditSelectAll) set(id, imageCommands && image->CommandEnabled(id), image->CommandChecked(id));
  set(vcmd::kPrint, open_ && imageCommands && image->hasImage());
  set(vcmd::kMail, open_ && pageShown_);
  const bool single = !documents_.empty() && documents_[static_cast<std::size_t>(index_)].first == 0;
  set(vcmd::kRenameDocument, open_ && pageShown_);
  set(vcmd::kRenamePage, open_ && pageShown_);
  if (QAction* button = frame_->Action(vcmd::kRenamePageButton)) button->setEnabled(open_ && !single);
  set(vcmd::kViewerToolBarToggle, true, frame_->GetViewerToolBar()->isVisible());
  set(vcmd::kImageToolBarToggle, imageCommands, frame_->GetImageToolBar()->isVisible());
  set(vcmd::kStatusBarToggle, true, frame_->statusBar()->isVisible());
}

void ViewerFrame::OnEditCommand(int commandId) {
  switch (panes_->activePane()) {
    case ViewerPaneWnd::kPaneInfo: panes_->infoPane()->EditCommand(commandId); break;
    case ViewerPaneWnd::kPaneText: panes_->textPane()->EditCommand(commandId); break;
    default: panes_->imageView()->EditCommand(commandId); break;
  }
}

bool ViewerFrame::EditCommandEnabled(int commandId) const {
  switch (panes_->activePane()) {
    case ViewerPaneWnd::kPaneInfo: return panes_->infoPane()->EditCommandEnabled(commandId);
    case ViewerPaneWnd::kPaneText: return panes_->textPane()->EditCommandEnabled(commandId);
    default: return panes_->imageView()->EditCommandEnabled(commandId);
  }
}

// ---- opening and closing ------------------------------------------------------

bool ViewerFrame::CompareBoardPositions(const ViewerRequest::BoardEntry& a, const ViewerRequest::BoardEntry& b) {
  if (std::abs(a.y - b.y) > kBoardRowTolerance) return a.y < b.y;
  return a.x < b.x;
}

void ViewerFrame::FillViewerLists(const ViewerRequest& request) {
  db_ = request.database;
  panes_->imageView()->SetFolderDatabase(db_);
  filling_ = true;
  documents_.clear();
  documentCombo_->clear();
  if (const std::uint32_t mask = sortMaskOf(request.sortKey); mask != 0 && db_ != nullptr) {
    if (db_->SortFirst(mask) == dbresult::kOk) {
      SortEntry entry;
      int end = 0;
      while (db_->SortNext(entry, end) == dbresult::kOk && end == 0)
        documents_.emplace_back(entry.Kind == SortEntry::kStack ? 1 : 0, entry.No);
      db_->SortPost();
    }
  } else {
    std::vector<ViewerRequest::BoardEntry> entries = request.boardEntries;
    // Rows are not a strict order (a chain of near rows), so the sort is a
    // stable pass in board order of the rows' own sequence.
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return CompareBoardPositions(a, b); });
    for (const auto& e : entries) documents_.emplace_back(e.kind != 0 ? 1 : 0, e.number);
  }
  index_ = 0;
  for (std::size_t i = 0; i < documents_.size(); ++i) {
    const auto [stack, number] = documents_[i];
    QString line;
    if (stack) {
      StackInfo info;
      if (db_->GetStackInfo(number, info) == dbresult::kOk) line = QString::fromStdString(info.Title);
    } else {
      ItemInfo info;
      if (db_->GetItemInfo(number, info) == dbresult::kOk) line = itemLine(info);
    }
    documentCombo_->addItem(line);
    if (stack == (request.kind != 0 ? 1 : 0) && number == request.number) index_ = static_cast<int>(i);
  }
  documentCombo_->setCurrentIndex(index_);
  filling_ = false;
}

int ViewerFrame::pageCount() const { return pageCombo_ ? pageCombo_->count() : 0; }

void ViewerFrame::fillPageCombo() {
  pageCombo_->clear();
  if (documents_.empty()) return;
  const auto [stack, number] = documents_[static_cast<std::size_t>(index_)];
  if (stack) {
    StackInfo info;
    db_->GetStackInfo(number, info);
    for (int page = 1; page <= info.PageCount; ++page) {
      ItemInfo pageItem;
      db_->Stack2Item(number, page, pageItem);
      pageCombo_->addItem(itemLine(pageItem));
    }
  } else {
    ItemInfo info;
    db_->GetItemInfo(number, info);
    pageCombo_->addItem(itemLine(info));
  }
}

void ViewerFrame::OpenViewer(const ViewerRequest& request) {
  db_ = request.database;
  panes_->imageView()->SetFolderDatabase(db_);
  folder_ = request.folderPath;
  while (folder_.size() > 1 && folder_.back() == '/') folder_.pop_back();
  pageShown_ = false;
  FillViewerLists(request);
  fillPageCombo();
  page_ = 1;
  if (request.page > 0) {
    page_ = request.page;
  } else if (request.kind != 0) {
    StackInfo info;
    if (db_->GetStackInfo(request.number, info) == dbresult::kOk) page_ = info.CurPageNo;
  }
  page_ = std::clamp(page_, 1, std::max(1, pageCount()));
  pageCombo_->setCurrentIndex(page_ - 1);

  auto profile = OpenAppProfile();
  const int layout = profile->value(key("ViewerFrameMode"), kDefaultLayout).toInt();
  panes_->SetSplitPositions(profile->value(key("ViewerFrameBarPosX"), 500).toInt(),
                            profile->value(key("ViewerFrameBarPosY"), 500).toInt());
  panes_->SetActivePane(profile->value(key("ViewerActiveFrame"), ViewerPaneWnd::kPaneImage).toInt());
  panes_->imageView()->SetGrayScaling(static_cast<short>(profile->value(key("ViewerImageViewGrayScaling"), 2).toInt()));
  frame_->GetViewerToolBar()->setVisible(profile->value(key("ViewerToolBarShow"), 1).toInt() != 0);
  imageToolBarVisible_ = profile->value(key("ViewerImageToolBarShow"), 1).toInt() != 0;
  open_ = true;
  SetViewerFrameMode(layout >= 1 && layout <= 4 ? layout : kDefaultLayout);
  ShowViewerPage();
}

bool ViewerFrame::CloseViewer(bool offerCancel) {
  if (!QuerySaveDocument(offerCancel)) return false;
  leaveDocument();
  panes_->ShowPanes(false);
  if (QDialog* confirm = frame_->ConfirmLaunchDialog()) confirm->hide();
  rememberImageToolBar();
  auto profile = OpenAppProfile();
  profile->setValue(key("ViewerFrameMode"), panes_->mode());
  profile->setValue(key("ViewerActiveFrame"), panes_->activePane());
  profile->setValue(key("ViewerFrameBarPosX"), panes_->splitX());
  profile->setValue(key("ViewerFrameBarPosY"), panes_->splitY());
  profile->setValue(key("ViewerImageViewGrayScaling"), panes_->imageView()->grayScaling());
  profile->setValue(key("ViewerToolBarShow"), frame_->GetViewerToolBar()->isVisible() ? 1 : 0);
  profile->setValue(key("ViewerImageToolBarShow"), imageToolBarVisible_ ? 1 : 0);
  profile->sync();
  frame_->GetViewerToolBar()->hide();
  frame_->GetImageToolBar()->hide();
  panes_->imageView()->Clear();
  panes_->infoPane()->Clear();
  panes_->textPane()->Clear();
  documents_.clear();
  documentCombo_->clear();
  pageCombo_->clear();
  pageShown_ = false;
  open_ = false;
  return true;
}

// ---- saving ---------------------------------------------------------------------

bool ViewerFrame::QuerySaveDocument(bool offerCancel) {
  if (!open_ || !pageShown_ || item_.ImageLevel != 1 || db_ == nullptr) return true;
  ImageView* image = panes_->imageView();
  InfoPane* info = panes_->infoPane();
  AttachedTextPane* text = panes_->textPane();
  const bool changed =
      text->IsModified() || info->IsModified() || image->annotationChanged() || image->imageChanged();
  if (changed) {
    const auto answer = platform::messageBox("文書が変更されています。\n保存しますか？",
                                             offerCancel ? platform::Buttons::YesNoCancel : platform::Buttons::YesNo,
                                             platform::Icon::Question);
    if (answer == platform::Answer::No) return true;
    if (answer == platform::Answer::Cancel) return false;
  }
  frame_->statusBar()->showMessage(QStringLiteral("データを保存中です。"));
  QApplication::setOverrideCursor(Qt::WaitCursor);
  ItemInfo item = item_;
  bool saved = false;
  if (info->Save(item, creator_, keyword_, comment_)) {
    db_->SetCreator(item.ItemNo, creator_);
    db_->SetKeyword(item.ItemNo, keyword_);
    db_->SetComment(item.ItemNo, comment_);
    saved = true;
  }
  if (image->Save()) saved = true;
  if (text->Save(item)) saved = true;
  const int today = platform::todayYmd();
  if (saved) item.LastModifiedDate = today;
  item.LastAccessedDate = today;
  db_->SetItemInfo(item, saved ? kSavedMask : kAccessedMask);
  item_ = item;
  frame_->statusBar()->clearMessage();
  QApplication::restoreOverrideCursor();
  return true;
}

// ---- showing a page -----------------------------------------------------------

void ViewerFrame::SetViewerFrameMode(int layout) {
  const int before = panes_->mode();
  const bool imageLayout = layout == ViewerPaneWnd::kLayoutImage || layout == ViewerPaneWnd::kLayoutTile;
  if (imageLayout) {
    frame_->GetImageToolBar()->setVisible(open_ && item_.ImageLevel == 1 && imageToolBarVisible_);
  } else {
    if ((before == ViewerPaneWnd::kLayoutImage || before == ViewerPaneWnd::kLayoutTile) && pageShown_ &&
        item_.ImageLevel == 1)
      imageToolBarVisible_ = frame_->GetImageToolBar()->isVisible();
    frame_->GetImageToolBar()->hide();
  }
  panes_->SetMode(layout);
  // The 画像 and 注釈 menus serve only an image page in a layout with the image.
  const bool images = imageLayout && open_ && pageShown_ && item_.ImageLevel == 1;
  if (imageMenu_) imageMenu_->setEnabled(images);
  if (annotationMenu_) annotationMenu_->setEnabled(images);
  UpdateCommandStates();
}

void ViewerFrame::rememberImageToolBar() {
  if (pageShowsImagePane()) imageToolBarVisible_ = frame_->GetImageToolBar()->isVisible();
}

void ViewerFrame::ShowViewerPage() {
  if (documents_.empty() || db_ == nullptr) return;
  const auto [stack, number] = documents_[static_cast<std::size_t>(index_)];
  item_ = ItemInfo{};
  if (stack)
    db_->Stack2Item(number, page_, item_);
  else
    db_->GetItemInfo(number, item_);
  QDialog* confirm = frame_->ConfirmLaunchDialog();
  if (item_.ImageLevel == 1) {
    if (confirm) confirm->hide();
    panes_->ShowPanes(true);
    creator_.clear();
    keyword_.clear();
    comment_.clear();
    db_->GetAttribute(item_.ItemNo, creator_, "Creator");
    db_->GetAttribute(item_.ItemNo, keyword_, "Keyword");
    db_->GetAttribute(item_.ItemNo, comment_, "Comment");
    pageShown_ = true;
    SetViewerFrameMode(panes_->mode());
    panes_->imageView()->LoadImage(folder_, item_);
    panes_->infoPane()->Fill(item_, creator_, keyword_, comment_);
    panes_->textPane()->Load(folder_, item_);
    ShowViewerImageInfo();
  } else {
    pageShown_ = true;
    panes_->ShowPanes(false);
    frame_->GetImageToolBar()->hide();
    if (imageMenu_) imageMenu_->setEnabled(false);
    if (annotationMenu_) annotationMenu_->setEnabled(false);
    if (confirm) {
      if (auto* name = confirm->findChild<QLabel*>(QStringLiteral("fileKindText")))
        name->setText(itemLine(item_) + QStringLiteral("は、Viewerでは表示できないファイル形式です。"));
      confirm->show();
    }
    for (int pane : {pane::kPane2400, pane::kPane2401, pane::kPane2402}) frame_->SetStatusPaneText(pane, {});
  }
  UpdateCommandStates();
}

void ViewerFrame::ShowViewerImageInfo() {
  ImageView* image = panes_->imageView();
  if (!image->hasImage()) {
    for (int pane : {pane::kPane2400, pane::kPane2401, pane::kPane2402}) frame_->SetStatusPaneText(pane, {});
    return;
  }
  frame_->SetStatusPaneText(pane::kPane2400,
                            QStringLiteral("%1 x %2").arg(image->imageSize().width()).arg(image->imageSize().height()));
  frame_->SetStatusPaneText(pane::kPane2401, QString::fromStdString(GetImageFormatName(image->formatCode())));
  frame_->SetStatusPaneText(pane::kPane2402,
                            QString::fromStdString(GetColorDepthName(image->formatCode(), image->bitsPerPixel())));
}

// ---- navigation -------------------------------------------------------------------

void ViewerFrame::OnPreviousPage() {
  if (!open_ || page_ <= 1 || !QuerySaveDocument(false)) return;
  rememberImageToolBar();
  --page_;
  pageCombo_->setCurrentIndex(page_ - 1);
  ShowViewerPage();
}

void ViewerFrame::OnNextPage() {
  if (!open_ || page_ >= pageCount() || !QuerySaveDocument(false)) return;
  rememberImageToolBar();
  ++page_;
  pageCombo_->setCurrentIndex(page_ - 1);
  ShowViewerPage();
}

void ViewerFrame::OnSelChangePage(int line) {
  if (!open_ || line < 0 || line >= pageCount()) return;
  if (!QuerySaveDocument(false)) {
    pageCombo_->setCurrentIndex(page_ - 1);
    return;
  }
  rememberImageToolBar();
  page_ = line + 1;
  pageCombo_->setCurrentIndex(line);
  ShowViewerPage();
}

void ViewerFrame::leaveDocument() {
  if (refresh_ && !documents_.empty()) {
    const auto [stack, number] = documents_[static_cast<std::size_t>(index_)];
    refresh_(stack, number);
  }
}

void ViewerFrame::switchDocument(int index) {
  if (!open_ || index < 0 || index >= static_cast<int>(documents_.size())) return;
  if (!QuerySaveDocument(false)) {
    documentCombo_->setCurrentIndex(index_);
    return;
  }
  leaveDocument();
  rememberImageToolBar();
  index_ = index;
  documentCombo_->setCurrentIndex(index_);
  fillPageCombo();
  page_ = 1;
  pageCombo_->setCurrentIndex(0);
  ShowViewerPage();
  documentCombo_->setFocus();
}

void ViewerFrame::OnPreviousDocument() {
  if (index_ > 0) switchDocument(index_ - 1);
}

void ViewerFrame::OnNextDocument() {
  if (index_ < static_cast<int>(documents_.size()) - 1) switchDocument(index_ + 1);
}

void ViewerFrame::OnSelChangeDocument(int line) {
  if (filling_ || line == index_) return;
  switchDocument(line);
}
