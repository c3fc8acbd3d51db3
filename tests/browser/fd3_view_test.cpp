#include "browser/fd3_view.h"

#include "browser/folder_tree.h"
#include "browser/list_pane.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "shell/busy_flag.h"
#include "shell/command_ids.h"
#include "shell/fd3_doc.h"
#include "shell/main_frame.h"
#include "shell/progress_dialogs.h"
#include "tests/browser/fake_document.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QDir>
#include <QClipboard>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

class BrowserViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    root = desktop.path() + "/";
    view = std::make_unique<CFD3View>();
    view->SetDocument(&doc);
  }
  void store(const QString& key, const QVariant& value) { OpenAppProfile()->setValue(BrowserKey(key), value); }
  QVariant stored(const QString& key) { return OpenAppProfile()->value(BrowserKey(key)); }
  void showAt(int width, int height) {
    view->resize(width, height);
    view->show();
    QCoreApplication::processEvents();
  }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir desktop;
  std::string root;
  FakeDocument doc;
  std::unique_ptr<CFD3View> view;
};

TEST_F(BrowserViewTest, PanesKeepTheirPlacesAroundTheSeparator) {
  struct Case {
    int width, height, separatorIn, separatorOut;
  } cases[] = {{800, 600, 230, 230}, {800, 600, 700, 624}, {800, 600, 20, 176}, {300, 200, 230, 176}};
  showAt(800, 600);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width + c.separatorIn);
    view->resize(c.width, c.height);
    store(QStringLiteral("SeparatePos"), c.separatorIn);
    view->OnInitialUpdate();
    const int p = c.separatorOut;
    EXPECT_EQ(view->separatorPosition(), p);
    EXPECT_EQ(view->GetFolderTree()->geometry(), QRect(8, 8, p - 12, c.height - 16));
    EXPECT_EQ(view->GetThumbnailPane()->geometry(), QRect(p + 4, 8, c.width - p - 12, c.height - 16));
    EXPECT_EQ(view->GetListPane()->geometry(), view->GetThumbnailPane()->geometry());
    EXPECT_EQ(view->GetViewerContainer()->geometry(), QRect(0, 0, c.width, c.height));
  }
  EXPECT_FALSE(view->GetViewerContainer()->isVisible());
}

TEST_F(BrowserViewTest, DraggingTheSeparator) {
  showAt(800, 600);
  view->OnInitialUpdate();
  const int p = view->separatorPosition();
  // The grip zone: from 4 left of the separator to just before 4 right of
  // it, 8 pixels clear of the top and bottom edges.
  struct Press {
    QPoint at;
    bool drags;
  } presses[] = {{{p - 4, 100}, true}, {{p + 3, 100}, true}, {{p + 4, 100}, false},
                 {{p, 7}, false},      {{p, 592}, true},    {{p, 593}, false}};
  for (const Press& press : presses) {
    SCOPED_TRACE(press.at.x() * 1000 + press.at.y());
    QTest::mousePress(view.get(), Qt::LeftButton, {}, press.at);
    EXPECT_EQ(view->isDraggingSeparator(), press.drags);
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, press.at);
    EXPECT_EQ(view->separatorPosition(), press.drags ? press.at.x() : p);
    view->LayoutPanes(800, 600);
    if (press.drags) {
      store(QStringLiteral("SeparatePos"), p);
      view->OnInitialUpdate();
    }
  }

  QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(p, 300));
  QTest::mouseMove(view.get(), QPoint(400, 300));
  EXPECT_EQ(view->trackX(), 400);
  QTest::mouseMove(view.get(), QPoint(790, 300));
  EXPECT_EQ(view->trackX(), 800 - 176);
  QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(790, 300));
  EXPECT_EQ(view->separatorPosition(), 624);
  EXPECT_EQ(view->GetFolderTree()->width(), 612);

  // On a narrow view the drag is held at 124, and the layout at 176.
  view->resize(300, 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(view->separatorPosition(), 176);
  QTest::mousePress(view.get(), Qt::LeftButton, {}, QPoint(176, 100));
  ASSERT_TRUE(view->isDraggingSeparator());
  QTest::mouseMove(view.get(), QPoint(250, 100));
  EXPECT_EQ(view->trackX(), 124);
  QTest::mouseRelease(view.get(), Qt::LeftButton, {}, QPoint(250, 100));
  EXPECT_EQ(view->separatorPosition(), 176);
}

TEST_F(BrowserViewTest, LayoutSettingsAreKept) {
  struct Case {
    QVariant storedMode;
    int mode;
  } cases[] = {{2, 2}, {1, 1}, {0, 1}, {3, 1}, {QVariant(), 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.storedMode.toString().toStdString());
    store(QStringLiteral("SeparatePos"), 300);
    if (c.storedMode.isValid())
      store(QStringLiteral("RightMode"), c.storedMode);
    else
      OpenAppProfile()->remove(BrowserKey(QStringLiteral("RightMode")));
    auto v = std::make_unique<CFD3View>();
    FakeDocument d;
    v->SetDocument(&d);
    v->resize(800, 600);
    v->show();
    v->OnInitialUpdate();
    EXPECT_EQ(d.mode, c.mode);
    EXPECT_EQ(v->GetListPane()->isVisible(), c.mode == 2);
    EXPECT_EQ(v->GetThumbnailPane()->isVisible(), c.mode == 1);
    EXPECT_EQ(v->separatorPosition(), 300);
    v->LayoutPanes(800, 600);
    v.reset();  // writes both back
    EXPECT_EQ(stored(QStringLiteral("RightMode")).toInt(), c.mode);
    EXPECT_EQ(stored(QStringLiteral("SeparatePos")).toInt(), 300);
  }
  // Defaults when nothing is stored.
  QFile::remove(AppProfilePath());
  showAt(800, 600);
  view->OnInitialUpdate();
  EXPECT_EQ(view->separatorPosition(), 230);
  EXPECT_EQ(doc.mode, 1);
}

TEST_F(BrowserViewTest, SwitchingThePaneReloadsTheFolder) {
  fs::create_directories(root + "書類");
  showAt(800, 600);
  view->OnInitialUpdate();
  view->BuildFolderTreeForDesktop(root);
  EXPECT_EQ(view->SelectFolderInTree(root + "書類"), 1);
  EXPECT_EQ(doc.lastLoad(), root + "書類/");
  doc.loads.clear();

  view->OnViewList();
  EXPECT_EQ(doc.mode, 2);
  EXPECT_TRUE(view->GetListPane()->isVisible());
  EXPECT_FALSE(view->GetThumbnailPane()->isVisible());
  ASSERT_EQ(doc.loads.size(), 1u);
  EXPECT_EQ(doc.loads[0], std::make_pair(root + "書類/", 1));
  view->OnViewList();  // already there: nothing
  EXPECT_EQ(doc.loads.size(), 1u);
  view->OnViewThumbnail();
  EXPECT_EQ(doc.mode, 1);
  EXPECT_TRUE(view->GetThumbnailPane()->isVisible());
  EXPECT_EQ(doc.loads.size(), 2u);
}

TEST_F(BrowserViewTest, NewFolderCommandWorksOnTheSelectedFolder) {
  fs::create_directories(root + "書類");
  showAt(800, 600);
  view->OnInitialUpdate();
  view->BuildFolderTreeForDesktop(root);
  view->SelectFolderInTree(root + "書類");
  view->OnFileNewFolder();
  EXPECT_TRUE(waitUntil([&] { return fs::is_directory(root + "書類/新しいフォルダ"); }));
  EXPECT_TRUE(waitUntil([&] { return view->GetFolderTree()->isEditingLabel(); }));
}

TEST_F(BrowserViewTest, RefreshOfAVanishedFolderChangesNothing) {
  fs::create_directories(root + "gone");
  fs::create_directories(root + "here");
  showAt(800, 600);
  view->BuildFolderTreeForDesktop(root);
  view->SelectFolderInTree(root + "gone");
  fs::remove(root + "gone");
  doc.loads.clear();
  view->OnViewRefresh();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"フォルダを発見できませんでした。\n処理を中断します。"});
  EXPECT_TRUE(doc.loads.empty());
  EXPECT_FALSE(IsBusy());

  fs::create_directories(root + "here/new");
  EXPECT_EQ(view->SelectFolderInTree(root + "here"), 1);
  doc.loads.clear();
  view->OnViewRefresh();
  EXPECT_EQ(doc.rescans, 1);
  EXPECT_EQ(doc.loads, (std::vector<std::pair<std::string, int>>{{root + "here/", 1}}));
  EXPECT_EQ(view->GetFolderTree()->rootItem()->childCount(), 1);  // "gone" left the tree
  EXPECT_EQ(view->GetFolderTree()->currentItem()->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_FALSE(IsBusy());
}

// With the program's document: selecting opens the folder's catalogue, and
// renaming a folder above it moves the open folder with it.
TEST_F(BrowserViewTest, TheDocumentOpensTheSelectedFolderAndFollowsItsRename) {
  const std::string folder = root + "書類/請求書";
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem(cataloguetest::ItemRow{.itemNo = 1, .title = "見積"});
  }
  QImage page(40, 30, QImage::Format_RGB32);
  page.fill(Qt::white);
  ASSERT_TRUE(page.save(QString::fromStdString(folder + "/見積.bmp")));

  CFD3Doc document;
  auto v = std::make_unique<CFD3View>();
  v->AttachDocument(&document);
  v->resize(800, 600);
  v->show();
  v->OnInitialUpdate();
  v->BuildFolderTreeForDesktop(root);
  ASSERT_EQ(v->SelectFolderInTree(folder), 1);
  EXPECT_EQ(document.FolderPath(), folder);
  EXPECT_TRUE(document.Database().IsOpen());
  EXPECT_EQ(document.EntryList().GetCount(), 1);
  EXPECT_EQ(v->GetThumbnailPane()->tileCount(), 1);

  FolderTree* tree = v->GetFolderTree();
  EXPECT_TRUE(tree->EndLabelEdit(tree->rootItem()->child(0), QStringLiteral("文書")));
  const std::string moved = root + "文書/請求書";
  EXPECT_EQ(document.EntryList().GetFolderPath(), moved);
  EXPECT_EQ(document.FolderPath(), moved);
  EXPECT_TRUE(document.Database().IsOpen());
  EXPECT_EQ(document.EntryList().GetCount(), 1);
  EXPECT_EQ(tree->GetCurrentPath(), moved + "/");
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();

  // The view shows the document's changes in the active pane only.
  v->OnViewList();
  EXPECT_EQ(v->GetListPane()->rowCount(), 1);
  EXPECT_EQ(v->GetThumbnailPane()->tileCount(), 0);
  document.LoadFolder("", 0);
  EXPECT_EQ(v->GetListPane()->rowCount(), 0);
  EXPECT_EQ(tree->currentItem(), nullptr) << "no folder shown: none selected";
  v.reset();
  document.CloseFolderDatabase();
}

// The browser as the frame's central widget: the frame's restore builds the
// tree for the stored desktop and opens the stored folder.
class BrowserInFrameTest : public BrowserViewTest {
 protected:
  // With document, the program's document is the frame's and the view's;
  // otherwise the view works on the recording fake.
  std::unique_ptr<CMainFrame> startFrame(CFD3Doc* document = nullptr) {
    auto frame = std::make_unique<CMainFrame>();
    frame->PreCreateWindow();
    EXPECT_TRUE(frame->OnCreate());
    auto* v = new CFD3View(frame.get());
    if (document) {
      frame->SetDocument(document);
      v->AttachDocument(document);
    } else {
      v->SetDocument(&doc);
    }
    v->AttachToFrame(frame.get());
    v->OnInitialUpdate();
    bool restored = false;
    QObject::connect(frame.get(), &CMainFrame::restoredAfterStart, [&restored] { restored = true; });
    frame->show();
    EXPECT_TRUE(waitUntil([&] { return restored && !IsBusy(); }));
    return frame;
  }
};

TEST_F(BrowserInFrameTest, RestoreOpensTheStoredFolderAndCommandsReachTheView) {
  fs::create_directories(root + "書類/請求書");
  store(QStringLiteral("DesktopHistory0"), QString::fromStdString(root));
  store(QStringLiteral("CurrentFolderPath"), QString::fromStdString(root + "書類/請求書/"));
  store(QStringLiteral("RightMode"), 1);
  auto frame = startFrame();
  auto* v = qobject_cast<CFD3View*>(frame->centralWidget());
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetFolderTree()->GetCurrentPath(), root + "書類/請求書/");
  EXPECT_EQ(doc.lastLoad(), root + "書類/請求書/");

  auto* arrange = frame->findChild<QMenu*>(QStringLiteral("arrangeMenu"));
  ASSERT_NE(arrange, nullptr);
  EXPECT_TRUE(arrange->menuAction()->isEnabled());
  frame->RunCommand(cmd::kViewList);
  EXPECT_EQ(doc.mode, 2);
  EXPECT_FALSE(arrange->menuAction()->isEnabled());
  EXPECT_TRUE(frame->Action(cmd::kViewList)->isChecked());
  EXPECT_FALSE(frame->Action(cmd::kViewThumbnail)->isChecked());
  frame->close();
  frame.reset();
  EXPECT_EQ(stored(QStringLiteral("RightMode")).toInt(), 2);
}

// While a folder name is edited, the browser's keys reach the editor: Ctrl+N
// makes no folder, and Ctrl+Shift+Alt+C copies from the editor. The keys are
// back once the editor closes.
// Files added from outside while the user was in another program appear
// when they come back: the open folder is refreshed when its modification
// stamp changed meanwhile, and not otherwise, nor while other work runs.
// F5 refreshes at any time.
TEST_F(BrowserInFrameTest, ComingBackToAFolderChangedOnDiskRefreshesIt) {
  fs::create_directories(root + "書類");
  store(QStringLiteral("DesktopHistory0"), QString::fromStdString(root));
  store(QStringLiteral("CurrentFolderPath"), QString::fromStdString(root + "書類/"));
  auto frame = startFrame();
  auto* v = qobject_cast<CFD3View*>(frame->centralWidget());
  ASSERT_NE(v, nullptr);
  ASSERT_EQ(v->GetFolderTree()->GetCurrentPath(), root + "書類/");
  std::int64_t stamp = 1;
  v->SetFolderStamp([&](const std::string& folder) {
    EXPECT_EQ(folder, root + "書類");
    return std::optional<std::int64_t>(stamp);
  });
  const int before = doc.rescans;
  const auto leaveAndComeBack = [&](bool change) {
    v->OnApplicationStateChanged(Qt::ApplicationInactive);
    if (change) ++stamp;
    v->OnApplicationStateChanged(Qt::ApplicationActive);
  };
  leaveAndComeBack(false);
  EXPECT_EQ(doc.rescans, before);
  leaveAndComeBack(true);
  EXPECT_EQ(doc.rescans, before + 1);
  EXPECT_EQ(doc.lastLoad(), root + "書類/");
  EXPECT_FALSE(IsBusy());
  SetBusy(true);
  leaveAndComeBack(true);
  EXPECT_EQ(doc.rescans, before + 1);
  SetBusy(false);

  frame->activateWindow();
  v->GetFolderTree()->setFocus();
  ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == frame.get(); }));
  QTest::keyClick(v->GetFolderTree(), Qt::Key_F5);
  EXPECT_EQ(doc.rescans, before + 2);
  frame->close();
  frame.reset();
}

TEST_F(BrowserInFrameTest, AnOpenLabelEditorSuspendsTheBrowserShortcuts) {
  fs::create_directories(root + "書類");
  store(QStringLiteral("DesktopHistory0"), QString::fromStdString(root));
  CFD3Doc document;
  auto frame = startFrame(&document);
  auto* v = qobject_cast<CFD3View*>(frame->centralWidget());
  ASSERT_NE(v, nullptr);
  FolderTree* tree = v->GetFolderTree();
  ASSERT_EQ(v->SelectFolderInTree(root + "書類"), 1);
  frame->activateWindow();
  tree->setFocus();
  ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == frame.get() && tree->hasFocus(); }));
  QAction* newFolder = frame->Action(cmd::kFileNewFolder);
  EXPECT_EQ(newFolder->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));

  tree->editItem(tree->currentItem());
  auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("folderTreeEdit"));
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(waitUntil([&] { return editor->hasFocus(); }));
  EXPECT_TRUE(document.TitleEditing());
  EXPECT_EQ(frame->accelerators(), CFD3Doc::AcceleratorTable::TitleEditing);
  EXPECT_TRUE(newFolder->shortcut().isEmpty());
  QTest::keyClick(editor, Qt::Key_N, Qt::ControlModifier);
  QCoreApplication::processEvents();  // a command would have been queued
  EXPECT_FALSE(fs::exists(root + "書類/新しいフォルダ"));
  EXPECT_TRUE(tree->isEditingLabel());
  editor->setText(QStringLiteral("請求書"));
  editor->selectAll();
  QTest::keyClick(editor, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("請求書"));

  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_FALSE(tree->isEditingLabel());
  EXPECT_FALSE(document.TitleEditing());
  EXPECT_EQ(newFolder->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
  QTest::keyClick(tree, Qt::Key_N, Qt::ControlModifier);
  EXPECT_TRUE(waitUntil([&] { return fs::is_directory(root + "書類/新しいフォルダ"); }));
  frame->close();
  frame.reset();
  document.CloseFolderDatabase();
}

// A folder of more than 100 entries loads under a progress dialog, which
// disables the window; afterwards the keys go to the tree again, not to the
// desktop combo (where Down would switch the desktop).
TEST_F(BrowserInFrameTest, TheTreeKeepsTheFocusAcrossALoadWithItsProgressDialog) {
  const std::string folder = root + "大量";
  cataloguetest::makeCatalogueFolder(folder);
  {
    cataloguetest::CatalogueRows rows(folder);
    for (int i = 1; i <= 101; ++i) rows.addItem({.itemNo = i, .title = "p" + std::to_string(i), .ext = "doc"});
  }
  store(QStringLiteral("DesktopHistory0"), QString::fromStdString(root));
  CFD3Doc document;
  auto frame = startFrame(&document);
  setProgressMainWindow(frame.get());
  auto* v = qobject_cast<CFD3View*>(frame->centralWidget());
  ASSERT_NE(v, nullptr);
  FolderTree* tree = v->GetFolderTree();
  frame->activateWindow();
  tree->setFocus();
  ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == frame.get() && tree->hasFocus(); }));
  QTest::keyClick(tree, Qt::Key_Down);  // onto "大量": the load runs here
  ASSERT_EQ(document.EntryList().GetCount(), 101);
  EXPECT_TRUE(frame->isEnabled());
  EXPECT_TRUE(waitUntil([&] { return tree->hasFocus(); }))
      << "focus on " << (QApplication::focusWidget() ? QApplication::focusWidget()->metaObject()->className() : "nothing");
  EXPECT_FALSE(frame->DesktopCombo()->hasFocus());
  setProgressMainWindow(nullptr);
  frame->close();
  frame.reset();
  document.CloseFolderDatabase();
}

// Writes the browser with a three-level tree of Japanese folder names.
TEST_F(BrowserInFrameTest, ScreenshotOfTheBrowser) {
  for (const char* folder : {"経理/請求書/2024年度", "経理/請求書/2025年度", "経理/領収書", "人事/社員名簿",
                             "営業/見積書", "営業/契約書/締結済み"})
    fs::create_directories(root + folder);
  WriteFolderIni(root + "経理/info.ini", std::to_string(2 << 8 | 1));
  WriteFolderIni(root + "営業/info.ini", std::to_string(5 << 8));
  WriteFolderIni(root + "経理/領収書/info.ini", "1");
  store(QStringLiteral("DesktopHistory0"), QString::fromStdString(root));
  store(QStringLiteral("CurrentFolderPath"), QString::fromStdString(root + "経理/請求書/2024年度/"));
  auto frame = startFrame();
  frame->resize(1000, 640);
  auto* v = qobject_cast<CFD3View*>(frame->centralWidget());
  ASSERT_NE(v, nullptr);
  v->SelectFolderInTree(root + "営業/契約書");
  v->SelectFolderInTree(root + "経理/請求書/2024年度");
  QCoreApplication::processEvents();
  const QImage shot = frame->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/browser_tree.png")));
}

}  // namespace
