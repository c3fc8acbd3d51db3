// The viewer face of the main window: the document order, navigation and
// its buttons, the save question with the catalogue masks, the settings,
// the switch between browser and viewer, and a screenshot of a Japanese
// page with its registration and attached text.

#include "viewer/viewer_frame.h"

#include "browser/fd3_view.h"
#include "browser/folder_tree.h"
#include "browser/list_pane.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "ocrctl/control_identity.h"
#include "platform/component_registry.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/accelerator_tables.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/launch_program.h"
#include "shell/main_frame.h"
#include "shell/ocr_dialogs.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/attached_text_pane.h"
#include "viewer/image_view.h"
#include "viewer/info_pane.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_pane_wnd.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPushButton>
#include <QDialog>
#include <QScrollBar>
#include <QDir>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QToolBar>

#include <gtest/gtest.h>


namespace {

// Types text the way an input method delivers it: one key event carrying
// the characters (QTest's key clicks know ASCII only).
inline void typeText(QWidget* widget, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
  QApplication::sendEvent(widget, &press);
}

constexpr int kToday = 20261211;

class ViewerFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 11), QTime(10, 0)));
    platform::ensureProgramFolder();
    InitModuleFolder();
    folder = desktop.path() + "/請求";
    cataloguetest::makeCatalogueFolder(folder);
    {
      cataloguetest::CatalogueRows rows(folder);
      rows.addStackWithPages(1, 1, 3);
      rows.db().execute("UPDATE StackMST SET StackTitle = '請求書', CurPageNo = 1");
      rows.addItem({.itemNo = 4, .title = "見積書", .ext = "tif", .date = 20260301});
      rows.addItem({.itemNo = 5, .title = "案内", .ext = "tif", .date = 20250101});
      rows.addItem({.itemNo = 6, .title = "議事録", .ext = "docx", .date = 20240101});
      rows.db().execute("UPDATE ItemMST SET ImageLevel = 0 WHERE ItemNo = 6");
      rows.db().execute("UPDATE StackMST SET OfficialDate = 20270101");
      // One tile far down, so that the board scrolls.
      rows.db().execute("UPDATE ItemMST SET SingleItemPosX = 80, SingleItemPosY = 1500 WHERE ItemNo = 5");
      rows.db().execute("UPDATE ItemMST SET ItemTitle = 'p' || ItemNo || '.tif', ItemExt = 'tif' WHERE StackNo = 1");
    }
    const QImage page = viewertest::japanesePage(400, 560);
    for (const char* name : {"p1", "p2", "p3", "見積書", "案内"})
      ASSERT_TRUE(viewertest::writeTiff({page}, folder + "/" + name + ".tif", 200, true));
    ASSERT_TRUE(testsupport::writeFile(folder + "/議事録.docx", "x"));
    ASSERT_EQ(db.OpenFolder(folder, false), 0);

    frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    ASSERT_TRUE(frame->OnCreate());
    host = new QWidget(frame.get());
    frame->SetView(host);
    viewer = new ViewerFrame(frame.get(), host);
    frame->SetViewerFace(viewer);
    viewer->SetRefreshThumbnail([this](int kind, int number) { refreshed.emplace_back(kind, number); });
    frame->resize(1000, 700);
    frame->show();
    QCoreApplication::processEvents();
  }
  void TearDown() override {
    viewer = nullptr;
    frame.reset();
    db.CloseFolder();
    platform::setFixedNowForTests(std::nullopt);
  }
  ViewerRequest request(int kind, int number, int sortKey = 1) {
    ViewerRequest r;
    r.database = &db;
    r.folderPath = folder + "/";
    r.kind = kind;
    r.number = number;
    r.sortKey = sortKey;
    return r;
  }
  std::vector<std::pair<int, int>> order(int sortKey, std::vector<ViewerRequest::BoardEntry> board = {}) {
    ViewerRequest r = request(1, 1, sortKey);
    r.boardEntries = std::move(board);
    viewer->FillViewerLists(r);
    return viewer->documents();
  }
  ItemInfo stored(int itemNo) {
    ItemInfo info;
    db.GetItemInfo(itemNo, info);
    return info;
  }
  bool enabled(int id) { return frame->Action(id)->isEnabled(); }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir desktop;
  std::string folder;
  FolderDatabase db;
  std::unique_ptr<CMainFrame> frame;
  QWidget* host = nullptr;
  ViewerFrame* viewer = nullptr;
  std::vector<std::pair<int, int>> refreshed;
};

TEST_F(ViewerFrameTest, DocumentOrderFollowsTheBrowsersSortKey) {
  using Order = std::vector<std::pair<int, int>>;
  // Titles: 案内 < 議事録 < 見積書 < 請求書 in Shift-JIS order.
  EXPECT_EQ(order(1), (Order{{0, 5}, {0, 6}, {0, 4}, {1, 1}}));
  EXPECT_EQ(order(2), (Order{{1, 1}, {0, 4}, {0, 6}, {0, 5}}));
  EXPECT_EQ(order(7), (Order{{0, 6}, {0, 5}, {0, 4}, {1, 1}}));
  EXPECT_EQ(order(8), (Order{{1, 1}, {0, 4}, {0, 5}, {0, 6}}));
  // The board: rows from the top (positions 16 pixels apart are one row),
  // left to right within a row.
  EXPECT_EQ(order(13, {{1, 1, 300, 110}, {0, 4, 100, 100}, {0, 5, 200, 300}, {0, 6, 50, 290}}),
            (Order{{0, 4}, {1, 1}, {0, 6}, {0, 5}}));
  EXPECT_EQ(viewer->documentCombo()->itemText(0), QStringLiteral("見積書.tif"));
  EXPECT_EQ(viewer->documentCombo()->itemText(1), QStringLiteral("請求書"));
}

TEST_F(ViewerFrameTest, PageAndDocumentButtonsAtTheEnds) {
  viewer->OpenViewer(request(1, 1, 1));  // 請求書 is last in title order
  ASSERT_TRUE(viewer->isOpen());
  EXPECT_EQ(viewer->documentIndex(), 3);
  EXPECT_EQ(viewer->pageNumber(), 1);  // the stack's current page
  EXPECT_EQ(viewer->pageCount(), 3);
  EXPECT_FALSE(enabled(vcmd::kPreviousPage));
  EXPECT_TRUE(enabled(vcmd::kNextPage));
  EXPECT_TRUE(enabled(vcmd::kPreviousDocument));
  EXPECT_FALSE(enabled(vcmd::kNextDocument));
  frame->RunCommand(vcmd::kNextPage);
  frame->RunCommand(vcmd::kNextPage);
  EXPECT_EQ(viewer->pageNumber(), 3);
  EXPECT_EQ(viewer->currentItem().ItemNo, 3);
  EXPECT_FALSE(enabled(vcmd::kNextPage));
  EXPECT_TRUE(enabled(vcmd::kPreviousPage));
  EXPECT_EQ(viewer->pageCombo()->currentIndex(), 2);

  // A single item: both page buttons off.
  frame->RunCommand(vcmd::kPreviousDocument);
  EXPECT_EQ(viewer->documentIndex(), 2);
  EXPECT_EQ(viewer->currentItem().ItemNo, 4);
  EXPECT_EQ(refreshed.back(), (std::pair<int, int>{1, 1}));  // the stack's tile is read afresh
  EXPECT_FALSE(enabled(vcmd::kPreviousPage));
  EXPECT_FALSE(enabled(vcmd::kNextPage));
  EXPECT_TRUE(viewer->container()->imageView()->isVisible());
  // 議事録.docx is no image: the panes go, the launch confirmation comes.
  frame->RunCommand(vcmd::kPreviousDocument);
  EXPECT_EQ(viewer->currentItem().ItemNo, 6);
  EXPECT_FALSE(viewer->container()->imageView()->isVisible());
  EXPECT_TRUE(frame->ConfirmLaunchDialog()->isVisible());
  EXPECT_FALSE(enabled(vcmd::kFitWhole));
  frame->RunCommand(vcmd::kPreviousDocument);
  EXPECT_EQ(viewer->documentIndex(), 0);
  EXPECT_FALSE(frame->ConfirmLaunchDialog()->isVisible());
  EXPECT_FALSE(enabled(vcmd::kPreviousDocument));
  frame->RunCommand(vcmd::kPreviousDocument);  // does nothing
  EXPECT_EQ(viewer->documentIndex(), 0);
  EXPECT_EQ(frame->StatusPaneText(2400), QStringLiteral("400 x 560"));
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
}

TEST_F(ViewerFrameTest, TheSaveQuestionAndWhatItWrites) {
  viewer->OpenViewer(request(0, 4));
  InfoPane* info = viewer->container()->infoPane();
  AttachedTextPane* text = viewer->container()->textPane();
  const ItemInfo before = stored(4);

  // An unchanged page, when left, only gets its last-accessed date.
  viewer->OnNextDocument();
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(stored(4).LastAccessedDate, kToday);
  EXPECT_EQ(stored(4).LastModifiedDate, before.LastModifiedDate);

  // No: nothing is written, not even the last-accessed date.
  viewer->OnPreviousDocument();
  db.SetItemInfo([&] { ItemInfo i = stored(4); i.LastAccessedDate = 20200101; return i; }(), 0x200);
  info->creatorEdit()->setText(QStringLiteral("営業部"));
  info->creatorEdit()->setModified(true);
  boxes.script({platform::Answer::No});
  viewer->OnNextDocument();
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "文書が変更されています。\n保存しますか？");
  EXPECT_EQ(boxes.shown()[0].buttons, platform::Buttons::YesNo);
  std::string creator;
  db.GetAttribute(4, creator, "Creator");
  EXPECT_EQ(creator, "");
  EXPECT_EQ(stored(4).LastAccessedDate, 20200101);

  // Yes: the texts, the attached text file and mask 0x3A0.
  boxes.clear();
  viewer->OnPreviousDocument();
  info->creatorEdit()->setText(QStringLiteral("営業部"));
  info->creatorEdit()->setModified(true);
  text->setFocus();
  typeText(text, QStringLiteral("見積の控え"));
  boxes.script({platform::Answer::Yes});
  viewer->OnNextDocument();
  ASSERT_EQ(boxes.shown().size(), 1u);
  db.GetAttribute(4, creator, "Creator");
  EXPECT_EQ(creator, "営業部");
  const ItemInfo after = stored(4);
  EXPECT_EQ(after.TextExt, "TXT");
  EXPECT_EQ(after.LastModifiedDate, kToday);
  EXPECT_EQ(after.LastAccessedDate, kToday);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder + "/見積書.tif.TXT")));

  // Cancel on closing keeps the viewer, the page and its edits.
  boxes.clear();
  viewer->OnPreviousDocument();
  EXPECT_EQ(text->toPlainText(), QStringLiteral("見積の控え"));
  info->keywordEdit()->setText(QStringLiteral("控え"));
  info->keywordEdit()->setModified(true);
  boxes.script({platform::Answer::Cancel});
  EXPECT_FALSE(frame->CloseViewer(true));
  EXPECT_EQ(boxes.shown().back().buttons, platform::Buttons::YesNoCancel);
  EXPECT_TRUE(viewer->isOpen());
  EXPECT_TRUE(info->IsModified());
  EXPECT_TRUE(viewer->container()->imageView()->isVisible());
  boxes.script({platform::Answer::No});
  EXPECT_TRUE(frame->CloseViewer(true));
  EXPECT_FALSE(viewer->isOpen());
}

TEST_F(ViewerFrameTest, SettingsAreReadOnOpeningAndWrittenOnClosing) {
  auto profile = OpenAppProfile();
  profile->remove(BrowserKey(QStringLiteral("ViewerFrameMode")));
  profile->sync();
  viewer->OpenViewer(request(0, 4));
  EXPECT_EQ(viewer->container()->mode(), ViewerPaneWnd::kLayoutTile);
  EXPECT_TRUE(frame->GetViewerToolBar()->isVisible());
  frame->RunCommand(vcmd::kLayoutText);
  EXPECT_EQ(viewer->container()->mode(), ViewerPaneWnd::kLayoutText);
  EXPECT_TRUE(frame->Action(vcmd::kLayoutText)->isChecked());
  EXPECT_FALSE(enabled(vcmd::kFitWhole));  // no image pane in this layout
  frame->RunCommand(vcmd::kViewerToolBarToggle);
  EXPECT_TRUE(frame->CloseViewer(false));
  EXPECT_FALSE(frame->GetViewerToolBar()->isVisible());
  profile = OpenAppProfile();
  EXPECT_EQ(profile->value(BrowserKey(QStringLiteral("ViewerFrameMode"))).toInt(), 2);
  EXPECT_EQ(profile->value(BrowserKey(QStringLiteral("ViewerActiveFrame"))).toInt(), 3);
  EXPECT_EQ(profile->value(BrowserKey(QStringLiteral("ViewerToolBarShow"))).toInt(), 0);
  EXPECT_EQ(profile->value(BrowserKey(QStringLiteral("ViewerImageViewGrayScaling"))).toInt(), 2);
  viewer->OpenViewer(request(0, 4));
  EXPECT_EQ(viewer->container()->mode(), ViewerPaneWnd::kLayoutText);
  EXPECT_FALSE(frame->GetViewerToolBar()->isVisible());
}

TEST_F(ViewerFrameTest, ImageAndAnnotationMenusAndTheImageToolBarServeAnImagePage) {
  viewer->OpenViewer(request(0, 4));
  ImageView* image = viewer->container()->imageView();
  // The image tool bar holds the commands in their order, separators between groups.
  std::vector<int> ids;
  for (QAction* action : frame->GetImageToolBar()->actions())
    ids.push_back(action->isSeparator() ? 0 : action->objectName().mid(3).toInt(nullptr, 16));
  EXPECT_EQ(ids, (std::vector<int>{0xbc2, 0xbc6, 0xbcd, 0xbc3, 0xbc4, 0xbc5, 0, 0xbc8, 0xbc7, 0xbca, 0xbcb, 0xbcc, 0,
                                   0xbc9, 0, 0xbda, 0xbd9, 0xbd7, 0xbd8, 0xbd6, 0xbdb}));
  // The menu bar's fourth and fifth viewer menus.
  frame->ShowViewerMenus(true);
  std::vector<QString> titles;
  for (QAction* entry : frame->menuBar()->actions())
    if (entry->isVisible()) titles.push_back(entry->text());
  ASSERT_GE(titles.size(), 5u);
  EXPECT_EQ(titles[3], QStringLiteral("画像(&I)"));
  EXPECT_EQ(titles[4], QStringLiteral("注釈(&A)"));
  EXPECT_TRUE(viewer->imageMenu()->isEnabled());
  EXPECT_TRUE(viewer->annotationMenu()->isEnabled());

  // A button and its menu item are one tool: pressing one checks both.
  frame->Action(vcmd::kTrimButton)->trigger();
  EXPECT_EQ(image->tool(), ImageView::kToolTrim);
  EXPECT_TRUE(frame->Action(vcmd::kTrim)->isChecked());
  frame->Action(vcmd::kHighlightTool)->trigger();
  EXPECT_TRUE(frame->Action(vcmd::kHighlightButton)->isChecked());
  EXPECT_FALSE(frame->Action(vcmd::kTrimButton)->isChecked());
  EXPECT_EQ(frame->statusBar()->currentMessage(), QStringLiteral("領域を選択してください。"));
  EXPECT_TRUE(enabled(vcmd::kOcr));  // a region's text can be read
  // A trim done, the tool before it comes back, and the buttons show it at once.
  frame->Action(vcmd::kTrimButton)->trigger();
  image->SetTrimConfirmation([](std::int32_t) { return true; });
  ASSERT_TRUE(image->RegionToolCommand(ImageView::kToolTrim, QRect(0, 0, 300, 300)));
  EXPECT_FALSE(frame->Action(vcmd::kTrimButton)->isChecked());
  EXPECT_FALSE(frame->Action(vcmd::kTrim)->isChecked());
  EXPECT_TRUE(frame->Action(vcmd::kHighlightButton)->isChecked());
  // Undone once, the image's undo is offered as redo.
  ASSERT_TRUE(image->RotateBy(90));
  frame->RunCommand(vcmd::kEditUndo);
  viewer->UpdateCommandStates();
  EXPECT_EQ(frame->Action(vcmd::kEditUndo)->text(), QStringLiteral("やり直し(&U)"));
  EXPECT_TRUE(enabled(vcmd::kEditUndo));

  // The text layout and a page that is no image grey both menus.
  frame->RunCommand(vcmd::kLayoutText);
  EXPECT_FALSE(viewer->imageMenu()->isEnabled());
  EXPECT_FALSE(enabled(vcmd::kFitWhole));
  frame->RunCommand(vcmd::kLayoutTile);
  EXPECT_TRUE(viewer->annotationMenu()->isEnabled());
  viewer->OnSelChangeDocument(1);  // 議事録.docx in title order
  ASSERT_EQ(viewer->currentItem().ItemNo, 6);
  EXPECT_FALSE(viewer->imageMenu()->isEnabled());
  EXPECT_FALSE(viewer->annotationMenu()->isEnabled());
  EXPECT_FALSE(enabled(vcmd::kPrint));
}

TEST_F(ViewerFrameTest, ThePrintCommandPrintsTheShownPageAtItsPhysicalSize) {
  viewer->OpenViewer(request(0, 4));  // 400 x 560 at 200 dpi: 2 x 2.8 inches
  const std::string pdf = desktop.file("page.pdf");
  bool asked = false;
  viewer->SetPrinterSetup([&](QPrinter& printer) {
    asked = true;
    return false;  // cancelled
  });
  frame->RunCommand(vcmd::kPrint);
  EXPECT_TRUE(asked);
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdf)));
  viewer->SetPrinterSetup([&](QPrinter& printer) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    return true;
  });
  frame->RunCommand(vcmd::kPrint);
  QFile file(QString::fromStdString(pdf));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().startsWith("%PDF"));
  EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(ViewerFrameTest, RenamingThePageMovesItsFilesAndRenamingTheStackItsTitle) {
  ASSERT_TRUE(testsupport::writeFile(folder + "/見積書.tif.TXT", "memo"));
  ItemInfo withText = stored(4);
  withText.TextExt = "TXT";
  ASSERT_EQ(db.SetItemInfo(withText, fieldmask::kItemTextExt), 0);
  viewer->OpenViewer(request(0, 4));
  std::vector<std::string> answers;
  std::vector<QString> captions;
  viewer->SetTitleAsker([&](const std::string&, const QString& caption) -> std::optional<std::string> {
    captions.push_back(caption);
    if (answers.empty()) return std::nullopt;
    const std::string next = answers.front();
    answers.erase(answers.begin());
    return next;
  });
  // A title already in the folder is refused; the files stay.
  answers = {"案内"};
  frame->RunCommand(vcmd::kRenamePage);
  EXPECT_EQ(captions.back(), QStringLiteral("頁タイトルの変更"));
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_NE(boxes.texts()[0].find("同名のタイトル"), std::string::npos);
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder + "/見積書.tif")));

  answers = {"見積書2"};
  frame->RunCommand(vcmd::kRenameDocument);  // a single item: its page
  EXPECT_EQ(captions.back(), QStringLiteral("文書タイトルの変更"));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder + "/見積書.tif")));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder + "/見積書2.tif")));
  EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(folder + "/見積書2.tif.TXT")));
  EXPECT_EQ(stored(4).Title, "見積書2");
  EXPECT_EQ(stored(4).LastModifiedDate, kToday);
  EXPECT_EQ(stored(4).LastAccessedDate, kToday);
  EXPECT_EQ(viewer->documentCombo()->currentText(), QStringLiteral("見積書2.tif"));
  // The panes follow the file: a typed text is saved beside the new name.
  viewer->container()->textPane()->setPlainText(QStringLiteral("新しいメモ"));
  viewer->container()->textPane()->document()->setModified(true);
  boxes.script({platform::Answer::Yes});
  viewer->OnNextDocument();
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(folder + "/見積書.tif.TXT")));
  QFile saved(QString::fromStdString(folder + "/見積書2.tif.TXT"));
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_EQ(platform::qFromCp932(saved.readAll().toStdString()), QStringLiteral("新しいメモ"));

  viewer->OnSelChangeDocument(viewer->documents().size() - 1);  // the stack
  ASSERT_EQ(viewer->documents()[static_cast<std::size_t>(viewer->documentIndex())].first, 1);
  answers = {"請求書（控）"};
  frame->RunCommand(vcmd::kRenameDocument);
  StackInfo stack;
  db.GetStackInfo(1, stack);
  EXPECT_EQ(stack.Title, "請求書（控）");
  EXPECT_EQ(stack.LastModifiedDate, kToday);
  EXPECT_EQ(viewer->documentCombo()->currentText(), QStringLiteral("請求書（控）"));
}

// ---- the browser and the viewer in the main window ----------------------------

class ViewerInWindowTest : public ViewerFrameTest {
 protected:
  void SetUp() override {
    ViewerFrameTest::SetUp();
    db.CloseFolder();
    frame.reset();
    frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    ASSERT_TRUE(frame->OnCreate());
    frame->SetDocument(&document);
    view = new CFD3View(frame.get());
    view->AttachDocument(&document);
    view->AttachToFrame(frame.get());
    view->OnInitialUpdate();
    viewer = new ViewerFrame(frame.get(), view->GetViewerContainer());
    frame->SetViewerFace(viewer);
    viewer->SetRefreshThumbnail([this](int kind, int number) { view->RefreshThumbnail(kind, number); });
    view->AttachViewerToFrame();
    view->SetViewerOpener([this](int entryIndex, int page) {
      view->SwitchToViewerMode(entryIndex, page);
      return view->viewerShown();
    });
    bool restored = false;
    QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
    frame->resize(1100, 760);
    frame->show();
    ASSERT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
    view->BuildFolderTreeForDesktop(desktop.path() + "/");
    ASSERT_EQ(view->SelectFolderInTree(folder), 1);
    ASSERT_EQ(document.EntryList().GetCount(), 4);
  }
  void TearDown() override {
    viewer = nullptr;
    frame.reset();
    document.CloseFolderDatabase();
    platform::setFixedNowForTests(std::nullopt);
  }
  int entryOf(int kind, int number) { return document.EntryList().Find(kind, number); }

  CFD3Doc document;
  CFD3View* view = nullptr;
};

TEST_F(ViewerInWindowTest, SwitchingFacesHidesAndRestoresBarsMenusAndScrolling) {
  EXPECT_FALSE(view->OpenInViewer(-1, 0));
  QToolBar* main = frame->GetMainToolBar();
  frame->GetDesktopBar()->hide();
  ASSERT_TRUE(main->isVisible());
  QAbstractScrollArea* board = view->GetThumbnailPane();
  ASSERT_GT(board->verticalScrollBar()->maximum(), 40);
  board->verticalScrollBar()->setValue(40);
  const int scrolled = board->verticalScrollBar()->value();

  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 4), 0));
  EXPECT_TRUE(view->viewerShown());
  EXPECT_TRUE(view->GetViewerContainer()->isVisible());
  EXPECT_FALSE(main->isVisible());
  EXPECT_TRUE(frame->ViewerMenusShown());
  EXPECT_TRUE(frame->GetViewerToolBar()->isVisible());
  EXPECT_EQ(viewer->currentItem().ItemNo, 4);
  EXPECT_TRUE(viewer->container()->imageView()->hasImage());

  frame->RunCommand(cmd::kViewerBack);
  EXPECT_FALSE(view->viewerShown());
  EXPECT_FALSE(view->GetViewerContainer()->isVisible());
  EXPECT_TRUE(main->isVisible());
  EXPECT_FALSE(frame->GetDesktopBar()->isVisible());  // hidden before, hidden after
  EXPECT_FALSE(frame->GetViewerToolBar()->isVisible());
  EXPECT_FALSE(frame->ViewerMenusShown());
  EXPECT_EQ(board->verticalScrollBar()->value(), scrolled);
  EXPECT_EQ(frame->StatusPaneText(2403), QStringLiteral("4 個の文書"));
  ItemInfo info;
  document.Database().GetItemInfo(4, info);
  EXPECT_EQ(info.LastAccessedDate, kToday);
}

TEST_F(ViewerInWindowTest, TheListHandsOnItsSortAndGetsItsScrollPositionBack) {
  frame->RunCommand(cmd::kViewList);
  CListPane* list = view->GetListPane();
  ASSERT_EQ(view->paneMode(), CFD3View::kListMode);
  list->Fill(3, 0);  // official date, ascending
  list->Fill(3, 0);  // descending
  list->setColumnWidth(0, 2000);  // wide enough to scroll sideways
  QCoreApplication::processEvents();
  ASSERT_GT(list->horizontalScrollBar()->maximum(), 30);
  list->horizontalScrollBar()->setValue(30);
  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 4), 0));
  using Order = std::vector<std::pair<int, int>>;
  EXPECT_EQ(viewer->documents(), (Order{{1, 1}, {0, 4}, {0, 5}, {0, 6}}));
  EXPECT_EQ(viewer->documentIndex(), 1);
  list->horizontalScrollBar()->setValue(0);
  frame->RunCommand(cmd::kViewerBack);
  EXPECT_FALSE(view->viewerShown());
  EXPECT_EQ(list->horizontalScrollBar()->value(), 30);
}

TEST_F(ViewerInWindowTest, ClosingTheWindowAndEndingTheSessionAskTheViewer) {
  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 5), 0));
  viewer->container()->infoPane()->keywordEdit()->setText(QStringLiteral("案内"));
  viewer->container()->infoPane()->keywordEdit()->setModified(true);
  boxes.script({platform::Answer::Cancel});
  EXPECT_FALSE(frame->close());
  EXPECT_TRUE(frame->isVisible());
  EXPECT_TRUE(view->viewerShown());
  boxes.script({platform::Answer::Cancel});
  EXPECT_FALSE(frame->QueryEndSession());
  EXPECT_TRUE(view->viewerShown());
  boxes.script({platform::Answer::Yes});
  EXPECT_TRUE(frame->QueryEndSession());
  EXPECT_FALSE(view->viewerShown());
  // The session's end closed the folder; its catalogue holds the keyword.
  FolderDatabase reopened;
  ASSERT_EQ(reopened.OpenFolder(folder, true), 0);
  std::string keyword;
  reopened.GetAttribute(5, keyword, "Keyword");
  EXPECT_EQ(keyword, "案内");
}

TEST_F(ViewerInWindowTest, ScreenshotOfAJapanesePageWithItsRegistrationAndText) {
  const QImage page = viewertest::japanesePage(2480 / 3, 3508 / 3);
  ASSERT_TRUE(viewertest::writeTiff({page}, folder + "/見積書.tif", 100, true));
  ASSERT_TRUE(testsupport::writeFile(folder + "/見積書.tif.TXT",
                                     *platform::toCp932("御請求書\r\n株式会社ヴェルノール 御中\r\n"
                                                        "件名：文書管理システム導入費用\r\n合計金額 154,000円")));
  {
    ItemInfo info;
    document.Database().GetItemInfo(4, info);
    info.TextExt = "TXT";
    info.OfficialDate = 20261205;
    document.Database().SetItemInfo(info, 0x20 | 0x80);
    document.Database().SetCreator(4, "経理部 山田");
    document.Database().SetKeyword(4, "請求書 / 2026年12月");
    document.Database().SetComment(4, "１２月分の導入費用。\n支払期限は１月末。");
  }
  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 4), 0));
  viewer->container()->imageView()->OnCommand(vcmd::kFitWhole);
  QCoreApplication::processEvents();
  const QImage shot = frame->grab().toImage();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/viewer.png")));
  EXPECT_EQ(viewer->container()->textPane()->toPlainText().left(4), QStringLiteral("御請求書"));
  EXPECT_EQ(viewer->container()->infoPane()->creatorEdit()->text(), QStringLiteral("経理部 山田"));
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
}

// A region of the page read by the OCR control: its text goes to the
// attached text pane beside the page (or to the comment when so chosen).
TEST_F(ViewerInWindowTest, ARegionsRecognisedTextGoesBesideItsPage) {
  ASSERT_TRUE(platform::registerComponent(
      {ocrctl::kControlClassId, ocrctl::kControlProgId, ocrctl::kControlTypeName, ZEQOCR30_PATH}));
  const QImage page = viewertest::japanesePage(2480, 3508);
  ASSERT_TRUE(viewertest::writeTiff({page}, folder + "/見積書.tif", 300, true));
  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 4), 0));
  ImageView* image = viewer->container()->imageView();
  image->OnCommand(vcmd::kFitWhole);
  frame->RunCommand(vcmd::kOcrButton);
  EXPECT_EQ(image->tool(), ImageView::kToolOcr);
  EXPECT_TRUE(frame->Action(vcmd::kOcr)->isChecked());
  int dialogs = 0;
  image->SetOcrDialogRunner([&](QDialog& dialog) {
    ++dialogs;
    EXPECT_EQ(dialog.objectName(), QStringLiteral("dlg10470"));
    dialog.accept();
    return dialog.result();
  });
  // The lines below the heading: the addressee, the request and the subject.
  const int unit = 2480 / 40;
  ASSERT_TRUE(image->RegionToolCommand(ImageView::kToolOcr, QRect(unit * 2, unit * 6, 2480 - unit * 4, unit * 6)));
  EXPECT_EQ(dialogs, 1);
  const QString text = viewer->container()->textPane()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("文書管理システム"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("請求"))) << text.toStdString();
  EXPECT_FALSE(QFile::exists(QString::fromStdString(platform::workFolder(platform::workfolder::kTmp) + "/OCR.BMP")));
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(frame->grab().toImage().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/viewer_ocr.png")));
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
}

// The file menu's mail sends the shown page with its attached text; the
// launch confirmation's button opens a page the viewer cannot show in its
// own folder.
TEST_F(ViewerFrameTest, MailAndTheLaunchButtonStartTheShownPagesFile) {
  RecordedProgramStarts starts;
  const std::string mailer = desktop.path() + "/bin/mailer";
  QDir().mkpath(QString::fromStdString(desktop.path() + "/bin"));
  ASSERT_TRUE(testsupport::writeFile(mailer, "#!/bin/sh\nexit 0\n"));
  QFile::setPermissions(QString::fromStdString(mailer), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("MailCommand")), QString::fromStdString(mailer));
  ItemInfo item;
  ASSERT_EQ(db.GetItemInfo(4, item), 0);
  item.TextExt = "TXT";
  ASSERT_EQ(db.SetItemInfo(item, fieldmask::kItemTextExt), 0);
  ASSERT_TRUE(testsupport::writeFile(folder + "/見積書.tif.TXT", "text"));
  viewer->OpenViewer(request(0, 4));
  QAction* mail = frame->Action(vcmd::kMail);
  ASSERT_NE(mail, nullptr);
  EXPECT_TRUE(mail->isEnabled());
  mail->trigger();
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].program, QString::fromStdString(mailer));
  EXPECT_EQ(starts.starts()[0].arguments,
            (QStringList{"--attach", QString::fromStdString(folder + "/見積書.tif"), "--attach",
                         QString::fromStdString(folder + "/見積書.tif.TXT")}));
  // The page's file gone: told, nothing sent.
  ASSERT_TRUE(QFile::remove(QString::fromStdString(folder + "/見積書.tif")));
  mail->trigger();
  EXPECT_EQ(starts.starts().size(), 1u);
  ASSERT_FALSE(boxes.texts().empty());
  EXPECT_EQ(boxes.texts().back(), "ファイルが存在していません。");

  starts.clear();
  viewer->OpenViewer(request(0, 6));
  ASSERT_TRUE(frame->ConfirmLaunchDialog()->isVisible());
  auto* launch = frame->ConfirmLaunchDialog()->findChild<QPushButton*>(QStringLiteral("launchButton"));
  ASSERT_NE(launch, nullptr);
  QTest::mouseClick(launch, Qt::LeftButton);
  ASSERT_EQ(starts.starts().size(), 1u);
  EXPECT_EQ(starts.starts()[0].arguments, QStringList{QString::fromStdString(folder + "/議事録.docx")});
  EXPECT_EQ(starts.starts()[0].workingFolder, QString::fromStdString(folder));
}

}  // namespace

// Every key of every accelerator table, pressed where its table holds,
// reaches its own command and nothing else: the browser's keys on the
// tree, the board and the list, the title editor's while an editor is
// open, the viewer's while a page is shown.
TEST_F(ViewerInWindowTest, EveryKeyOfTheAcceleratorTablesReachesItsCommand) {
  std::vector<int> fired;
  for (const AcceleratorRow& row : AcceleratorRows())
    frame->SetCommandHandler(row.command, [&fired, id = row.command] { fired.push_back(id); });
  frame->activateWindow();
  ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == frame.get(); }));
  const auto pressAll = [&](CFD3Doc::AcceleratorTable table, QWidget* target, const char* where) {
    ASSERT_EQ(frame->accelerators(), table) << where;
    int rows = 0;
    for (const AcceleratorRow& row : AcceleratorRows()) {
      if (row.table != table) continue;
      ++rows;
      fired.clear();
      // The binding is tested here, not when each command may run.
      frame->Action(row.command)->setEnabled(true);
      QTest::keyClick(target, row.key.key(), row.key.keyboardModifiers());
      EXPECT_EQ(fired, std::vector<int>{row.command})
          << where << ": " << QKeySequence(row.key).toString().toStdString();
    }
    EXPECT_GT(rows, 0) << where;
  };

  view->GetFolderTree()->setFocus();
  pressAll(CFD3Doc::AcceleratorTable::Browser, view->GetFolderTree(), "tree");
  view->GetThumbnailPane()->setFocus();
  pressAll(CFD3Doc::AcceleratorTable::Browser, view->GetThumbnailPane(), "board");
  frame->RunCommand(cmd::kViewList);
  ASSERT_TRUE(view->GetListPane()->isVisible());
  view->GetListPane()->setFocus();
  pressAll(CFD3Doc::AcceleratorTable::Browser, view->GetListPane(), "list");

  QLineEdit editor(view);
  editor.show();
  editor.setFocus();
  document.SetTitleEditing(true);
  pressAll(CFD3Doc::AcceleratorTable::TitleEditing, &editor, "title editor");
  document.SetTitleEditing(false);
  editor.hide();

  frame->RunCommand(cmd::kViewThumbnail);
  ASSERT_TRUE(view->OpenInViewer(entryOf(1, 1), 2));
  ImageView* image = viewer->container()->imageView();
  image->setFocus();
  pressAll(CFD3Doc::AcceleratorTable::Viewer, image, "viewer");
  // The browser's keys that the viewer has none of stay quiet there.
  fired.clear();
  QTest::keyClick(image, Qt::Key_N, Qt::ControlModifier);
  QTest::keyClick(image, Qt::Key_F5);
  EXPECT_TRUE(fired.empty());
}

// The status bar's image information follows the image: a rotation on the
// board, a trim in the viewer, a change of selection, and an empty
// selection in the list.
TEST_F(ViewerInWindowTest, TheStatusBarsImageInformationFollowsTheImage) {
  const auto size = [&] { return frame->StatusPaneText(pane::kPane2400); };
  ThumbnailPaneWnd* board = view->GetThumbnailPane();
  board->SelectOnly(entryOf(0, 4));
  EXPECT_EQ(size(), QStringLiteral("400 x 560"));
  frame->RunCommand(cmd::kRotateRight);
  EXPECT_EQ(size(), QStringLiteral("560 x 400"));
  board->SelectOnly(entryOf(0, 6));  // not an image
  EXPECT_EQ(size(), QString());
  board->SelectOnly(entryOf(0, 5));
  EXPECT_EQ(size(), QStringLiteral("400 x 560"));

  frame->RunCommand(cmd::kViewList);
  CListPane* list = view->GetListPane();
  list->SelectOnlyRow(entryOf(0, 4));
  EXPECT_EQ(size(), QStringLiteral("560 x 400"));
  list->clearSelection();
  EXPECT_EQ(size(), QString());
  for (int pane : {pane::kPane2401, pane::kPane2402}) EXPECT_EQ(frame->StatusPaneText(pane), QString());

  frame->RunCommand(cmd::kViewThumbnail);
  ASSERT_TRUE(view->OpenInViewer(entryOf(0, 5), 0));
  EXPECT_EQ(size(), QStringLiteral("400 x 560"));
  ImageView* image = viewer->container()->imageView();
  ASSERT_TRUE(image->Trim(QRect(10, 20, 200, 150)));
  EXPECT_EQ(size(), QStringLiteral("200 x 150"));
  ASSERT_TRUE(image->Undo());
  EXPECT_EQ(size(), QStringLiteral("400 x 560"));
}
