#include "catalogue/catalogue_records.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/document_views.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QMainWindow>

#include <gtest/gtest.h>

#include <unistd.h>

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;
using platform::Answer;
using platform::joinPath;

namespace {

// Records every call the document makes on the panes, in order.
class RecordingViews : public DocumentViews, public ThumbnailPaneSink, public ListPaneSink, public FolderTreeSink {
 public:
  std::vector<std::string> calls;
  bool arranges = false;
  bool sawLoadingDialog = false;

  ThumbnailPaneSink* thumbnailPane() override { return this; }
  ListPaneSink* listPane() override { return this; }
  FolderTreeSink* folderTree() override { return this; }

  void SetRedraw(bool on) override { calls.push_back(on ? "redraw on" : "redraw off"); }
  void RedrawNow() override { calls.push_back("redraw now"); }
  void RemoveAllItems() override { calls.push_back("remove all"); }
  void AddItem(int index, const StackInfo* stack, const ItemInfo* item) override {
    calls.push_back("add " + std::to_string(index) + (stack ? " stack" : " item") + (item ? "+page" : ""));
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == "dlg10571" && w->isVisible() && w->windowTitle() == QStringLiteral("表示"))
        sawLoadingDialog = true;
  }
  void PlaceNewItems() override { calls.push_back("place"); }
  bool ArrangesAutomatically() const override { return arranges; }
  void ArrangeItems(int arrangement, int layoutFlag, int) override {
    calls.push_back("arrange " + std::to_string(arrangement) + " " + std::to_string(layoutFlag));
  }
  void UpdateScrollExtent(int layoutFlag, int) override { calls.push_back("extent " + std::to_string(layoutFlag)); }
  void ScrollEntryIntoView(int index) override { calls.push_back("scroll " + std::to_string(index)); }
  void SelectOnly(int index) override { calls.push_back("select " + std::to_string(index)); }
  void DeleteAllRows() override { calls.push_back("rows cleared"); }
  void UpdateEntry(int index, const StackInfo* stack, const ItemInfo*) override {
    calls.push_back("row " + std::to_string(index) + (stack ? " stack" : " item"));
  }
  void Fill(int first, int) override { calls.push_back("fill " + std::to_string(first)); }
  void SelectOnlyRow(int index) override { calls.push_back("select row " + std::to_string(index)); }
  void ClearSelection() override { calls.push_back("tree cleared"); }
};

void storeThumbSize(CatalogueRows& rows, int itemNo, int width, int height) {
  rows.db().execute(
      "INSERT INTO ThumbMST (ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) VALUES (?, ?, ?, ?, ?)",
      itemNo, QDateTime::currentDateTime(), width, height, DbBytes{'G', 'I', 'F'});
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = joinPath(dir.path(), "請求書");
    cataloguetest::makeCatalogueFolder(folder);
    ASSERT_TRUE(platform::ensureProgramFolder());  // the empty catalogue a damaged one is replaced by
    doc.SetViews(&views);
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
  }

  testsupport::TempDir dir;
  std::string folder;
  QMainWindow window;
  RecordingViews views;
  CFD3Doc doc;
};

}  // namespace

TEST_F(DocumentTest, LoadFolderFillsEntriesAndDrivesThePaneInOrder) {
  {
    CatalogueRows rows(folder);
    rows.addStackWithPages(1, 1, 2);  // items 1, 2
    rows.addItem({.itemNo = 3, .title = "見積書", .ext = "doc", .date = 20261201});
    rows.addItem({.itemNo = 4, .title = "memo", .ext = "txt"});
    storeThumbSize(rows, 1, 40, 30);
    storeThumbSize(rows, 2, 120, 90);
    storeThumbSize(rows, 3, 103, 103);
    storeThumbSize(rows, 4, 32, 32);
  }
  platform::RecordingUserInteraction recorder;
  doc.LoadFolder(folder + "/", 1);

  ASSERT_EQ(doc.entries.GetCount(), 3);
  const DisplayEntry* stack = doc.entries.GetAt(0);
  EXPECT_EQ(stack->kind, 1);
  EXPECT_EQ(stack->number, 1);
  EXPECT_EQ(stack->cellWidth, 120) << "the stack's cell is its largest page thumbnail";
  EXPECT_EQ(stack->cellHeight, 90);
  const DisplayEntry* item = doc.entries.GetAt(1);
  EXPECT_EQ(item->kind, 0);
  EXPECT_EQ(item->title, "見積書.doc");
  EXPECT_EQ(item->officialDate, 20261201);
  EXPECT_EQ(item->cellWidth, 103);
  EXPECT_EQ(doc.entries.GetAt(2)->cellWidth, 77) << "cells are never below 77 pixels";
  EXPECT_EQ(doc.entries.GetFolderPath(), folder);
  EXPECT_EQ(doc.imageCtrl(), nullptr) << "stored thumbnails need no decoding of pages";
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(views.calls, (std::vector<std::string>{"redraw off", "remove all", "redraw on", "redraw now",
                                                   "redraw off", "add 0 stack+page", "add 1 item+page",
                                                   "add 2 item+page", "place", "extent 1", "redraw on",
                                                   "redraw now"}));
}

TEST_F(DocumentTest, ListModeAndArrangingBoard) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
  }
  doc.paneMode = 0;
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(views.calls, (std::vector<std::string>{"rows cleared", "row 0 item", "fill -1"}));
  views.calls.clear();
  doc.paneMode = CFD3Doc::kThumbnailMode;
  views.arranges = true;
  doc.LoadFolder(folder + "/", 1);
  EXPECT_NE(std::find(views.calls.begin(), views.calls.end(), "arrange 13 1"), views.calls.end());
  views.calls.clear();
  doc.LoadFolder("", 0);
  EXPECT_EQ(doc.entries.GetCount(), 0);
  EXPECT_EQ(views.calls.back(), "tree cleared");
}

TEST_F(DocumentTest, MoreThanAHundredEntriesShowTheLoadingDialog) {
  {
    CatalogueRows rows(folder);
    for (int i = 1; i <= 100; ++i) rows.addItem({.itemNo = i, .title = "p" + std::to_string(i), .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  EXPECT_FALSE(views.sawLoadingDialog) << "100 entries load without a dialog";
  doc.CloseFolderDatabase();
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 101, .title = "p101", .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(doc.entries.GetCount(), 101);
  EXPECT_TRUE(views.sawLoadingDialog);
}

TEST_F(DocumentTest, ImageWithoutStoredThumbnailIsThumbnailedOnce) {
  QImage page(400, 300, QImage::Format_RGB32);
  page.fill(Qt::white);
  ASSERT_TRUE(page.save(QString::fromStdString(joinPath(folder, "scan.bmp"))));
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "scan", .ext = "bmp"});
    rows.db().execute("UPDATE ItemMST SET ImageLevel = 1");
  }
  doc.LoadFolder(folder + "/", 0);
  ASSERT_EQ(doc.entries.GetCount(), 1);
  ThumbInfo thumb;
  int found = 0;
  ASSERT_EQ(doc.db.GetThumbInfo(1, thumb, found), 0);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(std::string(thumb.ThumbData.begin(), thumb.ThumbData.begin() + 3), "GIF");
  EXPECT_GT(thumb.ThumbSizeX, 0);
  EXPECT_EQ(doc.entries.GetAt(0)->cellWidth, std::max(thumb.ThumbSizeX, 77)) << "the cell is the thumbnail's";
  EXPECT_EQ(doc.entries.GetAt(0)->cellHeight, std::max(thumb.ThumbSizeY, 77));
  QImage gif;
  ASSERT_TRUE(gif.loadFromData(thumb.ThumbData.data(), static_cast<int>(thumb.ThumbData.size()), "GIF"));
  EXPECT_EQ(gif.width(), thumb.ThumbSizeX);

  doc.CloseFolderDatabase();
  doc.DestroyImageCtrl();
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(doc.imageCtrl(), nullptr) << "the second load uses the stored thumbnail";
}

TEST_F(DocumentTest, SameFolderIsNotCompactedAgainUnlessReopenIsRequested) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 5, .title = "a", .ext = "doc"});
  }
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  ItemInfo info;
  ASSERT_EQ(doc.db.GetItemInfo(1, info), 0) << "compaction renumbered 5 to 1";
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  EXPECT_TRUE(doc.db.IsOpen());
  const auto backupTime = QFileInfo(QString::fromStdString(joinPath(folder, "info.bk"))).lastModified();
  doc.reopenRequested = 1;
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  EXPECT_EQ(doc.reopenRequested, 0);
  EXPECT_EQ(QFileInfo(QString::fromStdString(joinPath(folder, "info.bk"))).lastModified(), backupTime)
      << "a reopen of the same folder does not compact";
}

TEST_F(DocumentTest, LeavingAnEmptyFolderDeletesItsCatalogue) {
  const std::string other = joinPath(dir.path(), "other");
  cataloguetest::makeCatalogueFolder(other);
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  ASSERT_TRUE(testsupport::fileExists(joinPath(folder, "info.bk")));
  ASSERT_TRUE(doc.OpenFolderDatabase(other));
  EXPECT_FALSE(testsupport::fileExists(joinPath(folder, "info.mdb")));
  EXPECT_FALSE(testsupport::fileExists(joinPath(folder, "info.bk")));
}

TEST_F(DocumentTest, DamagedCatalogueIsRestoredFromItsBackupAfterYes) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "大事な書類", .ext = "doc"});
  }
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));  // compaction leaves a good info.bk
  doc.db.CloseFolder();
  ASSERT_TRUE(testsupport::writeFile(joinPath(folder, "info.mdb"), "this is not a catalogue"));
  CFD3Doc fresh;
  fresh.SetViews(&views);
  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::Yes});
  fresh.LoadFolder(folder + "/", 0);
  ASSERT_GE(recorder.shown().size(), 2u);
  EXPECT_EQ(recorder.shown()[1].text, "データベースが壊れています。\nバックアップを使用しますか？");
  ASSERT_EQ(fresh.entries.GetCount(), 1);
  EXPECT_EQ(fresh.entries.GetAt(0)->title, "大事な書類.doc");
}

TEST_F(DocumentTest, DamagedCatalogueWithoutBackupIsKeptAsideBeforeReinitialising) {
  ASSERT_TRUE(testsupport::writeFile(joinPath(folder, "info.mdb"), "damaged bytes"));
  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::Yes, Answer::Ok});
  int exists = 0;
  EXPECT_EQ(doc.CheckFolderDatabase(folder, exists), 0);
  EXPECT_EQ(exists, 1);
  EXPECT_EQ(testsupport::readFile(joinPath(folder, "info.mdb.damaged")), "damaged bytes");
  ASSERT_EQ(recorder.shown().size(), 3u);
  EXPECT_NE(recorder.shown()[2].text.find("バックアップが使用できません\n初期化します。"), std::string::npos);
  EXPECT_NE(recorder.shown()[2].text.find("info.mdb.damaged"), std::string::npos);
  EXPECT_TRUE(doc.OpenFolderDatabase(folder)) << "the folder works again, empty";
}

TEST_F(DocumentTest, NoAnswerKeepsTheDamagedCatalogue) {
  ASSERT_TRUE(testsupport::writeFile(joinPath(folder, "info.mdb"), "damaged bytes"));
  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::No});
  int exists = 0;
  EXPECT_NE(doc.CheckFolderDatabase(folder, exists), 0);
  EXPECT_EQ(testsupport::readFile(joinPath(folder, "info.mdb")), "damaged bytes");
}

TEST_F(DocumentTest, CatalogueOfAnotherVersionIsRefused) {
  {
    CatalogueRows rows(folder);
    rows.db().execute("UPDATE SysEnv SET DatabaseVersion = 20000");
  }
  platform::RecordingUserInteraction recorder;
  int exists = 1;
  EXPECT_EQ(doc.CheckFolderDatabase(folder, exists), CFD3Doc::kWrongVersion);
  EXPECT_EQ(exists, 0);
  ASSERT_EQ(recorder.shown().size(), 1u);
  EXPECT_EQ(recorder.shown()[0].text, "データベースのバージョンが違います。\n処理を中断します。");
}

TEST_F(DocumentTest, MissingFolderIsNotACatalogue) {
  int exists = 1;
  EXPECT_EQ(doc.CheckFolderDatabase(joinPath(dir.path(), "none"), exists), 10);
  EXPECT_EQ(exists, 0);
}

TEST_F(DocumentTest, GetEntryRecordsAndSelectEntry) {
  {
    CatalogueRows rows(folder);
    rows.addStackWithPages(1, 1, 3);
    rows.addItem({.itemNo = 4, .title = "x", .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  StackInfo stack;
  ItemInfo item;
  ASSERT_TRUE(doc.GetEntryRecords(*doc.entries.GetAt(0), stack, item));
  EXPECT_EQ(stack.PageCount, 3);
  EXPECT_EQ(item.StackNo, 1);
  EXPECT_EQ(item.PageNo, stack.CurPageNo);
  views.calls.clear();
  doc.SelectEntry(0, 4);
  EXPECT_EQ(views.calls, (std::vector<std::string>{"scroll 1", "select 1"}));
  views.calls.clear();
  doc.SelectEntry(0, 99);
  EXPECT_TRUE(views.calls.empty());
}

// ---- the catalogue's life cycle through the document -------------------------

namespace {

std::vector<std::string> entryTitles(const CFD3Doc& doc) {
  std::vector<std::string> titles;
  for (int i = 0; i < doc.entries.GetCount(); ++i) titles.push_back(doc.entries.GetAt(i)->title);
  return titles;
}

void addDocItems(const std::string& folder, std::initializer_list<const char*> titles) {
  CatalogueRows rows(folder);
  int no = 0;
  for (const char* title : titles) rows.addItem({.itemNo = ++no, .title = title, .ext = "doc"});
}

}  // namespace

// Another holder of the catalogue makes it busy, not damaged: the folder is
// not accessible now, and nothing is restored over the holder's file.
TEST_F(DocumentTest, ACatalogueHeldElsewhereIsInUseNotDamaged) {
  addDocItems(folder, {"a"});
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));  // leaves a backup
  doc.CloseFolderDatabase();
  FolderDatabase holder;
  ASSERT_EQ(holder.OpenFolder(folder, false), 0);

  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::Yes, Answer::Ok, Answer::Ok});
  int exists = 1;
  EXPECT_EQ(doc.CheckFolderDatabase(folder, exists), 120);
  EXPECT_EQ(exists, 0);
  EXPECT_TRUE(recorder.shown().empty()) << recorder.shown().front().text;
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"指定されたフォルダにアクセスできませんでした。"}));
  EXPECT_EQ(doc.entries.GetCount(), 0);

  ASSERT_EQ(holder.SetComment(1, "written by the holder"), 0);
  ASSERT_EQ(holder.CloseFolder(), 0);
  std::string comment;
  ASSERT_EQ(holder.OpenFolder(folder, false), 0);
  ASSERT_EQ(holder.GetAttribute(1, comment, "Comment"), 0);
  EXPECT_EQ(comment, "written by the holder");
}

// A compaction cut short between its renames leaves info.bk alone. The
// folder opens with every entry, and the user hears what happened.
TEST_F(DocumentTest, AFolderLeftByACutCompactionOpensWithEveryEntry) {
  addDocItems(folder, {"a", "b", "c"});
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  doc.CloseFolderDatabase();
  ASSERT_EQ(::unlink(joinPath(folder, "info.mdb").c_str()), 0);

  platform::RecordingUserInteraction recorder;
  CFD3Doc fresh;
  fresh.SetViews(&views);
  fresh.LoadFolder(folder + "/", 0);
  EXPECT_EQ(entryTitles(fresh), (std::vector<std::string>{"a.doc", "b.doc", "c.doc"}));
  ASSERT_EQ(recorder.shown().size(), 1u);
  EXPECT_NE(recorder.shown()[0].text.find("バックアップ"), std::string::npos) << recorder.shown()[0].text;
  EXPECT_TRUE(testsupport::fileExists(joinPath(folder, "info.bk")));
}

// Entries on screen carry catalogue numbers; a reopen of their folder (after
// a rename closed it) must not renumber under them.
TEST_F(DocumentTest, AReopenUnderLiveEntriesDoesNotRenumber) {
  addDocItems(folder, {"t1", "t2", "t3", "t4"});
  platform::RecordingUserInteraction recorder;
  doc.LoadFolder(folder + "/", 0);
  ASSERT_EQ(doc.entries.GetCount(), 4);
  DissolvedStack dissolved;
  ASSERT_EQ(doc.db.UnregisterItem(2, dissolved), 0);
  doc.entries.DeleteAt(1);
  doc.CloseFolderDatabase();  // as renaming the folder does

  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  for (int i = 0; i < doc.entries.GetCount(); ++i) {
    StackInfo stack;
    ItemInfo item;
    ASSERT_TRUE(doc.GetEntryRecords(*doc.entries.GetAt(i), stack, item));
    EXPECT_EQ(item.Title + "." + item.Ext, doc.entries.GetAt(i)->title);
  }
  EXPECT_TRUE(recorder.shown().empty()) << recorder.shown().front().text;

  // Loading the folder afresh may compact: its entries are made after.
  doc.CloseFolderDatabase();
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(entryTitles(doc), (std::vector<std::string>{"t1.doc", "t3.doc", "t4.doc"}));
  EXPECT_EQ(doc.entries.GetAt(2)->number, 3) << "renumbered when loaded afresh";
}

// Rows that are neither single items nor stacks (pages of a stack that is
// missing) are not an empty folder: the catalogue is reported, not deleted.
TEST_F(DocumentTest, LeavingAnInconsistentCatalogueKeepsIt) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "page of a lost stack", .stackNo = 5, .pageNo = 1});
  }
  const std::string other = joinPath(dir.path(), "other");
  cataloguetest::makeCatalogueFolder(other);
  platform::RecordingUserInteraction recorder;
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  ASSERT_TRUE(doc.OpenFolderDatabase(other));
  EXPECT_TRUE(testsupport::fileExists(joinPath(folder, "info.mdb")));
  EXPECT_TRUE(testsupport::fileExists(joinPath(folder, "info.bk")));
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"データベース壊れました。: IsEmptyCatalogue"}));
}

// A catalogue that cannot store thumbnails (a read-only folder) says so once
// per load, not once per image; the cells still come from the images.
TEST_F(DocumentTest, AFailureToStoreThumbnailsIsReportedOncePerLoad) {
  QImage page(400, 300, QImage::Format_RGB32);
  page.fill(Qt::white);
  {
    CatalogueRows rows(folder);
    for (int n = 1; n <= 5; ++n) {
      const std::string title = "scan" + std::to_string(n);
      ASSERT_TRUE(page.save(QString::fromStdString(joinPath(folder, title + ".bmp"))));
      rows.addItem({.itemNo = n, .title = title, .ext = "bmp"});
    }
    rows.db().execute("UPDATE ItemMST SET ImageLevel = 1");
  }
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  doc.db.Engine().executeScript("PRAGMA query_only = ON;");
  platform::RecordingUserInteraction recorder;
  auto cells = [&] {
    std::vector<std::pair<int, int>> sizes;
    for (int i = 0; i < doc.entries.GetCount(); ++i)
      sizes.emplace_back(doc.entries.GetAt(i)->cellWidth, doc.entries.GetAt(i)->cellHeight);
    return sizes;
  };
  std::vector<std::pair<int, int>> unstored;
  for (int load = 0; load < 2; ++load) {
    recorder.clear();
    doc.LoadFolder(folder + "/", 0);
    ASSERT_EQ(doc.entries.GetCount(), 5);
    EXPECT_EQ(recorder.shown().size(), 1u) << "load " << load;
    unstored = cells();
  }
  // Where thumbnails can be stored, the cells come out the same.
  doc.db.Engine().executeScript("PRAGMA query_only = OFF;");
  recorder.clear();
  doc.LoadFolder(folder + "/", 0);
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(cells(), unstored);
  ThumbInfo thumb;
  int found = 0;
  ASSERT_EQ(doc.db.GetThumbInfo(5, thumb, found), 0);
  EXPECT_EQ(found, 1);
}

// Folders whose names differ only in case are different folders.
TEST_F(DocumentTest, TheOpenFolderIsComparedExactly) {
  platform::RecordingUserInteraction recorder;
  const std::string upper = joinPath(dir.path(), "Docs");
  const std::string lower = joinPath(dir.path(), "docs");
  cataloguetest::makeCatalogueFolder(upper);
  addDocItems(upper, {"kept"});
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(lower)));
  ASSERT_TRUE(doc.OpenFolderDatabase(upper));
  int exists = 1;
  EXPECT_EQ(doc.CheckFolderDatabase(lower, exists), 0);
  EXPECT_EQ(exists, 0) << "docs has no catalogue";
  EXPECT_EQ(doc.CheckFolderDatabase(upper, exists), 0);
  EXPECT_EQ(exists, 1);
}
