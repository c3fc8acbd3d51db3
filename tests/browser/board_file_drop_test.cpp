// Files dropped on the thumbnail board from another program: imported into
// the open folder near the drop point, names that are missing or folders
// told and skipped, the folder reloaded; and the board after an import of
// every kind of file, as a screenshot.

#include "browser/board_file_drop.h"
#include "browser/fd3_view.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/command_ids.h"
#include "shell/import_command.h"
#include "shell/main_frame.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/shell/import_fixtures.h"
#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QAction>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace {

class BoardDropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    folder = desktop.path() + "/受信";
    source = desktop.path() + "/外";
    cataloguetest::makeCatalogueFolder(folder);
    QDir().mkpath(QString::fromStdString(source));
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    view = std::make_unique<CFD3View>();
    view->AttachDocument(&document);
    document.SetMainWindow(view.get());
    view->resize(900, 600);
    view->show();
    view->OnInitialUpdate();
    view->BuildFolderTreeForDesktop(desktop.path() + "/");
    ASSERT_EQ(view->SelectFolderInTree(folder), 1);
    board = view->GetThumbnailPane();
  }
  void TearDown() override {
    view.reset();
    document.CloseFolderDatabase();
  }

  // Drops the files on the board's viewport at a point of its own.
  void drop(QPoint at, const std::vector<std::string>& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const std::string& path : paths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
    data->setUrls(urls);
    QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(board->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent dropped(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(board->viewport(), &dropped);
    EXPECT_TRUE(dropped.isAccepted());
  }

  // title.ext -> stored position of every single item.
  std::map<std::string, QPoint> positions() {
    std::map<std::string, QPoint> found;
    FolderDatabase& db = document.Database();
    if (db.GetFirstSingleItem() != 0) return found;
    for (;;) {
      ItemInfo info;
      int end = 0;
      if (db.GetSingleItemNextInfo(info, end) != 0 || end) break;
      found[info.Title + "." + info.Ext] = QPoint(info.SingleItemPosX, info.SingleItemPosY);
    }
    db.PostSingleItem();
    return found;
  }

  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  testsupport::TempDir desktop;
  std::string folder;
  std::string source;
  CFD3Doc document;
  std::unique_ptr<CFD3View> view;
  ThumbnailPaneWnd* board = nullptr;
};

TEST(BoardFileDropPositions, EachNameStepsTwentyPixelsFromAnAnchorAboveThePoint) {
  // A drop at (300, 200) on a board scrolled to (0, 100).
  const QPoint boardPoint(300, 300);
  EXPECT_EQ(BoardFileDrop::PositionFor(boardPoint, 0), QPoint(300, 260));
  EXPECT_EQ(BoardFileDrop::PositionFor(boardPoint, 1), QPoint(320, 280));
  EXPECT_EQ(BoardFileDrop::PositionFor(boardPoint, 2), QPoint(340, 300));
  // Near the top edge the anchor stays on the board.
  EXPECT_EQ(BoardFileDrop::PositionFor(QPoint(5, 10), 0), QPoint(5, 0));
  EXPECT_EQ(BoardFileDrop::PositionFor(QPoint(5, 10), 1), QPoint(25, 0));
}

TEST_F(BoardDropTest, DroppedFilesAreImportedWhereTheyCoverNoOtherDocument) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    ASSERT_TRUE(testsupport::writeFile(source + "/" + name, name));
  drop(QPoint(300, 200), {source + "/a.txt", source + "/b.txt", source + "/c.txt"});
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
  const auto placed = positions();
  // The first where it was dropped; the next two, which would cover it, in
  // the first free places of the board.
  EXPECT_EQ(placed.at("a.txt"), QPoint(300, 160));
  EXPECT_EQ(placed.at("b.txt"), QPoint(50, 10));
  EXPECT_EQ(placed.at("c.txt"), QPoint(140, 10));
  EXPECT_EQ(board->tileCount(), 3);
  // A drop onto a document goes beside the others instead.
  ASSERT_TRUE(testsupport::writeFile(source + "/d.txt", "d"));
  drop(QPoint(50, 10), {source + "/d.txt"});
  EXPECT_EQ(positions().at("d.txt"), QPoint(230, 10));
  EXPECT_EQ(board->tileCount(), 4);
  // On free ground near the top edge the drop stays on the board.
  ASSERT_TRUE(testsupport::writeFile(source + "/e.txt", "e"));
  drop(QPoint(500, 10), {source + "/e.txt"});
  EXPECT_EQ(positions().at("e.txt"), QPoint(500, 0));
}

TEST_F(BoardDropTest, FoldersAndMissingNamesAreToldAndSkipped) {
  QDir().mkpath(QString::fromStdString(source + "/f1"));
  QDir().mkpath(QString::fromStdString(source + "/f2"));
  ASSERT_TRUE(testsupport::writeFile(source + "/x.txt", "x"));
  drop(QPoint(100, 100), {source + "/f1", source + "/gone.txt", source + "/f2", source + "/x.txt"});
  const std::vector<std::string> told = boxes.texts();
  ASSERT_EQ(told.size(), 2u);
  EXPECT_EQ(told[0], "「 " + source + "/f1 」をインポートしようとしました。\nフォルダはインポートできません。");
  EXPECT_EQ(told[1], "「 " + source + "/gone.txt 」をインポートしようとしましたが、発見できませんでした。");
  const auto placed = positions();
  ASSERT_EQ(placed.size(), 1u);
  // The fourth name keeps the fourth place, whatever was skipped before it.
  EXPECT_EQ(placed.at("x.txt"), QPoint(160, 120));
}

TEST_F(BoardDropTest, ADropWithoutAnOpenFolderIsRefused) {
  ASSERT_TRUE(testsupport::writeFile(source + "/x.txt", "x"));
  document.LoadFolder("", 0);
  BoardFileDrop* handler = board->findChild<BoardFileDrop*>();
  ASSERT_NE(handler, nullptr);
  handler->OnDropFiles(QPoint(10, 10), {source + "/x.txt"});
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "インポート先のフォルダを発見できませんでした。\n処理を中断します。");
}

TEST_F(BoardDropTest, TheBoardAfterImportingEveryKindOfFile) {
  ASSERT_TRUE(importtest::writeG4Tiff(source + "/契約書.tif", 3, 850, 1100, 100));
  ASSERT_TRUE(importtest::writeImage(source + "/写真.jpg", "JPG", QColor(30, 90, 200)));
  ASSERT_TRUE(importtest::writeImage(source + "/グラフ.png", "PNG", QColor(200, 60, 40)));
  ASSERT_TRUE(importtest::writeImage(source + "/図面.bmp", "BMP", QColor(40, 150, 60)));
  ASSERT_TRUE(importtest::writeHtmlPage(source, "お知らせ.htm"));
  ASSERT_TRUE(importtest::writeMail(source + "/見積の件.eml"));
  ASSERT_TRUE(importtest::writeCompoundDoc(source + "/議事録.doc"));
  ASSERT_TRUE(testsupport::writeFile(source + "/メモ.txt", "覚え書き"));
  ASSERT_TRUE(testsupport::writeFile(source + "/data.xyz", "?"));
  std::vector<ImportLoopFile> files;
  for (const char* name : {"契約書.tif", "写真.jpg", "グラフ.png", "図面.bmp", "お知らせ.htm", "見積の件.eml",
                           "議事録.doc", "メモ.txt", "data.xyz"})
    files.push_back({source + "/" + name, std::nullopt});
  EXPECT_EQ(ImportFileLoop(document, folder, files, view.get()), 9);
  EXPECT_TRUE(boxes.shown().empty()) << boxes.texts().front();
  ASSERT_EQ(board->tileCount(), 9);
  board->ArrangeItems(ThumbnailPaneWnd::kSortVisual, 1, 0);
  QCoreApplication::processEvents();
  const QImage shot = board->grab().toImage();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/import_board.png")));
  for (int i = 0; i < board->tileCount(); ++i) EXPECT_TRUE(board->Tile(i)->picture().IsHeld()) << i;
}

TEST(ImportCommand, IsEnabledWhileAFolderIsOpen) {
  FreshEnvironment env;
  platform::RecordingUserInteraction boxes;
  platform::ensureProgramFolder();
  testsupport::TempDir desktop;
  const std::string folder = desktop.path() + "/棚";
  cataloguetest::makeCatalogueFolder(folder);
  CFD3Doc document;
  CMainFrame frame;
  frame.PreCreateWindow();
  ASSERT_TRUE(frame.OnCreate());
  auto* view = new CFD3View(&frame);
  frame.SetDocument(&document);
  view->AttachDocument(&document);
  view->AttachToFrame(&frame);
  QAction* import = frame.Action(cmd::kImport);
  ASSERT_NE(import, nullptr);
  EXPECT_EQ(import->text(), QStringLiteral("インポート(&I)..."));
  EXPECT_FALSE(import->isEnabled());
  document.LoadFolder(folder + "/", 0);
  EXPECT_TRUE(import->isEnabled());
  document.LoadFolder("", 0);
  EXPECT_FALSE(import->isEnabled());
  document.CloseFolderDatabase();
}

}  // namespace
