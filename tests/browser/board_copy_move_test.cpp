// Documents of the folder board carried into another folder of the tree.

#include "browser/board_copy_move.h"
#include "browser/fd3_view.h"
#include "browser/folder_tree.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidgetItem>
#include <QUrl>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class BoardCopyMoveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    env.set("HOME", home.path());
    root = desktop.path() + "/";
    folder = root + "書類";
    other = root + "移動先";
    cataloguetest::makeCatalogueFolder(folder);
    fs::create_directories(other);  // no catalogue yet
    {
      cataloguetest::CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
      rows.addItem({.itemNo = 2, .title = "b", .ext = "doc"});
      rows.addItem({.itemNo = 3, .title = "c", .ext = "doc"});
      rows.addStack(10, "束", 1);
      for (int p = 1; p <= 3; ++p)
        rows.addItem({.itemNo = 3 + p, .title = "p" + std::to_string(p), .ext = "bmp", .stackNo = 10, .pageNo = p});
    }
    for (const char* f : {"a.doc", "b.doc", "c.doc", "p1.bmp", "p2.bmp", "p3.bmp"}) std::ofstream(folder + "/" + f) << f;
    view = std::make_unique<CFD3View>();
    view->AttachDocument(&document);
    view->resize(900, 600);
    view->show();
    view->OnInitialUpdate();
    view->BuildFolderTreeForDesktop(root);
    ASSERT_EQ(view->SelectFolderInTree(folder), 1);
    board = view->GetThumbnailPane();
    mover = view->boardCopyMove();
  }
  void TearDown() override {
    view.reset();
    document.CloseFolderDatabase();
  }
  void select(std::initializer_list<std::string> titles) {
    board->SelectOnly(-1);
    for (const std::string& title : titles) {
      bool found = false;
      for (int i = 0; i < document.EntryList().GetCount(); ++i)
        if (document.EntryList().GetAt(i)->title == title) {
          board->Tile(i)->SetSelected(true);
          found = true;
        }
      ASSERT_TRUE(found) << title;
    }
  }
  std::vector<std::string> titles() {
    std::vector<std::string> out;
    for (int i = 0; i < document.EntryList().GetCount(); ++i) out.push_back(document.EntryList().GetAt(i)->title);
    std::sort(out.begin(), out.end());
    return out;
  }
  // The target's documents as "a.doc@0,0" etc., sorted.
  std::vector<std::string> targetItems() {
    FolderDatabase db;
    std::vector<std::string> out;
    if (db.OpenFolder(other, true) != 0) return {"<no catalogue>"};
    db.GetFirstItem();
    for (;;) {
      ItemInfo item;
      int end = 0;
      if (db.GetSingleItemNextInfo(item, end) != 0 || end) break;
      out.push_back(item.Title + "." + item.Ext + "@" + std::to_string(item.SingleItemPosX) + "," +
                    std::to_string(item.SingleItemPosY));
    }
    db.PostSingleItem();
    std::sort(out.begin(), out.end());
    return out;
  }

  FreshEnvironment env;
  testsupport::TempDir home;
  testsupport::TempDir desktop;
  platform::RecordingUserInteraction boxes;
  std::string root, folder, other;
  CFD3Doc document;
  std::unique_ptr<CFD3View> view;
  ThumbnailPaneWnd* board = nullptr;
  BoardCopyMove* mover = nullptr;
};

TEST_F(BoardCopyMoveTest, DroppingOnTheShownFolderOrCancellingChangesNothing) {
  select({"a.doc"});
  mover->CopyMoveToFolder(folder, "書類", false);
  EXPECT_TRUE(boxes.texts().empty());
  boxes.script({platform::Answer::Cancel});
  mover->CopyMoveToFolder(other, "移動先", false);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "選択した文書を「 移動先 」に移動します。\nよろしいですか？");
  EXPECT_EQ(document.EntryList().GetCount(), 4);
  EXPECT_FALSE(fs::exists(other + "/a.doc"));
}

TEST_F(BoardCopyMoveTest, AMoveOfThreeWithTheMiddleFileMissingMovesTheOtherTwo) {
  fs::remove(folder + "/b.doc");
  select({"a.doc", "b.doc", "c.doc"});
  boxes.script({platform::Answer::Ok});
  mover->CopyMoveToFolder(other, "移動先", false);
  ASSERT_EQ(boxes.texts().size(), 2u);
  EXPECT_EQ(boxes.texts()[1], "登録されているファイル「 b.doc 」を発見できませんでした。\nこの文書は移動できません。");
  // The target got a catalogue of its own and the two documents, unplaced.
  EXPECT_EQ(targetItems(), (std::vector<std::string>{"a.doc@0,0", "c.doc@0,0"}));
  EXPECT_TRUE(fs::exists(other + "/a.doc"));
  EXPECT_FALSE(fs::exists(folder + "/a.doc"));
  EXPECT_EQ(titles(), (std::vector<std::string>{"b.doc", "束"}));
  EXPECT_EQ(board->tileCount(), 2);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
}

TEST_F(BoardCopyMoveTest, TheLimitStopsTheDocumentThatPassesItAndAllAfter) {
  mover->folderLimit = [] { return 2; };
  select({"束", "a.doc"});
  const auto indexOf = [&](const std::string& title) {
    for (int i = 0; i < document.EntryList().GetCount(); ++i)
      if (document.EntryList().GetAt(i)->title == title) return i;
    return -1;
  };
  const bool itemFirst = indexOf("a.doc") < indexOf("束");
  boxes.script({platform::Answer::Ok});
  mover->CopyMoveToFolder(other, "移動先", true);
  EXPECT_EQ(boxes.texts().back(), "これ以上登録できません。\n1フォルダ内には 2 ファイルまで登録可能です。");
  // The three-page stack passes the limit; nothing after it is carried over.
  EXPECT_EQ(targetItems(), itemFirst ? std::vector<std::string>{"a.doc@0,0"} : std::vector<std::string>{});
  EXPECT_EQ(document.EntryList().GetCount(), 4);
}

TEST_F(BoardCopyMoveTest, ACopyKeepsTheBoardAndRefusesANameTakenInTheTarget) {
  select({"a.doc", "束"});
  boxes.script({platform::Answer::Ok});
  mover->CopyMoveToFolder(other, "移動先", true);
  EXPECT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(targetItems(), (std::vector<std::string>{"a.doc@0,0", "p1.bmp@0,0", "p2.bmp@0,0", "p3.bmp@0,0"}));
  EXPECT_TRUE(fs::exists(folder + "/a.doc"));
  EXPECT_EQ(document.EntryList().GetCount(), 4);
  // Again: both are there now.
  boxes.script({platform::Answer::Ok});
  mover->CopyMoveToFolder(other, "移動先", true);
  ASSERT_EQ(boxes.texts().size(), 4u);
  std::vector<std::string> refusals{boxes.texts()[2], boxes.texts()[3]};
  std::sort(refusals.begin(), refusals.end());
  EXPECT_EQ(refusals, (std::vector<std::string>{
                          "コピー先のフォルダ「 移動先 」に同名の文書「 a.doc 」が存在します。\nコピーを中止します。",
                          "コピー先のフォルダ「 移動先 」に同名の文書「 束 」が存在します。\nコピーを中止します。"}));
}

TEST_F(BoardCopyMoveTest, FilesDroppedOnAFolderOfTheTreeAreImportedThere) {
  FolderTree* tree = view->GetFolderTree();
  QTreeWidgetItem* item = nullptr;
  for (QTreeWidgetItem* each : tree->findItems("移動先", Qt::MatchExactly | Qt::MatchRecursive)) item = each;
  ASSERT_NE(item, nullptr);
  const QPoint at = tree->visualItemRect(item).center();
  const std::string outside = home.file("new.txt");
  std::ofstream(outside) << "new";
  auto data = std::make_unique<QMimeData>();
  data->setUrls({QUrl::fromLocalFile(QString::fromStdString(outside))});
  QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tree->viewport(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent dropped(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(tree->viewport(), &dropped);
  const std::vector<std::string> imported = targetItems();
  ASSERT_EQ(imported.size(), 1u);
  EXPECT_EQ(imported[0].substr(0, 8), "new.txt@");
  // The board still shows the folder selected in the tree.
  EXPECT_EQ(document.EntryList().GetCount(), 4);
}

}  // namespace
