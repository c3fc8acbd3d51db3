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

#include <functional>
#include <memory>

#include <gtest/gtest.h>

#include <unistd.h>

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;
using platform::Answer;
using platform::joinPath;

namespace {

// Records every notification the document sends, in order, as text.
class RecordingObserver : public DocumentObserver, public DocumentViews {
 public:
  std::vector<std::string> calls;
  bool viewerShown = false;

  static std::string flags(DocumentChanges changes) {
    std::string text;
    const std::pair<DocumentChange, const char*> names[] = {
        {DocumentChange::Entries, "entries"},     {DocumentChange::Positions, "positions"},
        {DocumentChange::Selection, "selection"}, {DocumentChange::Folder, "folder"},
        {DocumentChange::CatalogueReopened, "reopened"}, {DocumentChange::Editing, "editing"},
        {DocumentChange::ScrollReset, "reset"}};
    for (const auto& [flag, name] : names)
      if (changes.testFlag(flag)) text += std::string(text.empty() ? "" : "|") + name;
    return text;
  }

  void EntriesCleared(DocumentChanges changes) override { calls.push_back("cleared " + flags(changes)); }
  void EntryAdded(int index, const StackInfo* stack, const ItemInfo* item) override {
    calls.push_back("add " + std::to_string(index) + (stack ? " stack" : " item") + (item ? "+page" : ""));
  }
  void EntryRemoved(int index) override { calls.push_back("removed " + std::to_string(index)); }
  void EntryChanged(int index, DocumentChanges changes) override {
    calls.push_back("entry " + std::to_string(index) + " " + flags(changes));
  }
  void DocumentChanged(DocumentChanges changes) override { calls.push_back("changed " + flags(changes)); }

  bool ViewerShown() const override { return viewerShown; }
};

// Keeps what the document showed of its progress: one line per display
// begun, and the last detail line of each.
class RecordingProgressSink : public ProgressSink {
 public:
  struct Shown {
    std::string title, message, lastDetail;
    bool open = true;
  };
  std::vector<Shown> shown;

  std::unique_ptr<ProgressReporter> BeginProgress(const std::string& title, const std::string& message) override {
    shown.push_back({title, message, {}});
    return std::make_unique<Reporter>(*this, shown.size() - 1);
  }

 private:
  class Reporter : public ProgressReporter {
   public:
    Reporter(RecordingProgressSink& sink, std::size_t index) : sink_(sink), index_(index) {}
    ~Reporter() override { sink_.shown[index_].open = false; }
    bool PumpAndCheckCancel() override { return false; }
    void SetProgressDetail(const std::string& text) override { sink_.shown[index_].lastDetail = text; }

   private:
    RecordingProgressSink& sink_;
    std::size_t index_;
  };
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
    doc.SetProgressSink(&progress);
    doc.AddObserver(&views);
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
  }

  testsupport::TempDir dir;
  std::string folder;
  QMainWindow window;
  RecordingObserver views;
  RecordingProgressSink progress;
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

  ASSERT_EQ(doc.EntryList().GetCount(), 3);
  const DisplayEntry* stack = doc.EntryList().GetAt(0);
  EXPECT_EQ(stack->kind, 1);
  EXPECT_EQ(stack->number, 1);
  EXPECT_EQ(stack->cellWidth, 120) << "the stack's cell is its largest page thumbnail";
  EXPECT_EQ(stack->cellHeight, 90);
  const DisplayEntry* item = doc.EntryList().GetAt(1);
  EXPECT_EQ(item->kind, 0);
  EXPECT_EQ(item->title, "見積書.doc");
  EXPECT_EQ(item->officialDate, 20261201);
  EXPECT_EQ(item->cellWidth, 103);
  EXPECT_EQ(doc.EntryList().GetAt(2)->cellWidth, 77) << "cells are never below 77 pixels";
  EXPECT_EQ(doc.EntryList().GetFolderPath(), folder);
  EXPECT_EQ(doc.imageCtrl(), nullptr) << "stored thumbnails need no decoding of pages";
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(views.calls,
            (std::vector<std::string>{"cleared entries|folder|reset", "add 0 stack+page", "add 1 item+page",
                                      "add 2 item+page", "changed entries|folder|reopened|reset"}));
}

TEST_F(DocumentTest, AFolderWithOneBrokenStackLoadsEveryOtherStack) {
  {
    CatalogueRows rows(folder);
    rows.addStackWithPages(1, 1, 2);
    rows.addStackWithPages(2, 3, 2);
    rows.addStackWithPages(3, 5, 2);
    rows.addStackWithPages(4, 7, 2);
    rows.addItem({.itemNo = 9, .title = "memo", .ext = "txt"});
    // Two stacks whose current page is not one of their pages.
    rows.db().execute("UPDATE StackMST SET CurPageNo = 60 WHERE StackNo IN (2, 4)");
  }
  platform::RecordingUserInteraction recorder;
  doc.LoadFolder(folder + "/", 0);

  std::vector<std::pair<int, int>> loaded;
  for (int i = 0; i < doc.EntryList().GetCount(); ++i)
    loaded.emplace_back(doc.EntryList().GetAt(i)->kind, doc.EntryList().GetAt(i)->number);
  EXPECT_EQ(loaded, (std::vector<std::pair<int, int>>{{1, 1}, {1, 3}, {0, 9}}));
  ASSERT_EQ(recorder.shown().size(), 1u) << "the damage is told once";
  EXPECT_EQ(recorder.shown()[0].text, "DBが壊れています。");
}

// Every road out of a load ends with one DocumentChanged that carries the
// load's flags and what it met on its way; views lay themselves out there.
TEST_F(DocumentTest, EveryLoadIsBracketedForTheObservers) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
  }
  const std::string other = joinPath(dir.path(), "other");
  cataloguetest::makeCatalogueFolder(other);
  platform::RecordingUserInteraction recorder;
  struct Step {
    const char* name;
    std::function<void()> run;
    std::vector<std::string> calls;
  } steps[] = {
      {"first load of a folder", [&] { doc.LoadFolder(folder + "/", 1); },
       {"cleared entries|folder|reset", "add 0 item+page", "changed entries|folder|reopened|reset"}},
      {"reload of the open folder", [&] { doc.LoadFolder(folder + "/", 0); },
       {"cleared entries", "add 0 item+page", "changed entries"}},
      {"reload after a reopen was asked for",
       [&] {
         doc.RequestReopen();
         doc.LoadFolder(folder + "/", 0);
       },
       {"cleared entries", "add 0 item+page", "changed entries|reopened"}},
      {"no folder", [&] { doc.LoadFolder("", 0); }, {"cleared entries|folder", "changed entries|folder"}},
      {"a folder that is gone", [&] { doc.LoadFolder(joinPath(dir.path(), "gone") + "/", 0); },
       {"cleared entries|folder", "changed entries|folder"}},
      {"a folder without a catalogue", [&] { doc.LoadFolder(dir.path() + "/", 1); },
       {"cleared entries|folder|reset", "changed entries|folder|reset"}},
      {"renamed on disk, then reloaded",
       [&] {
         doc.SetFolderPath(other);
         doc.LoadFolder(other + "/", 0);
       },
       {"changed folder", "cleared entries", "changed entries|reopened"}},
  };
  for (Step& step : steps) {
    views.calls.clear();
    step.run();
    EXPECT_EQ(views.calls, step.calls) << step.name;
  }
  EXPECT_EQ(doc.EntryList().GetFolderPath(), other);
  EXPECT_EQ(recorder.texts(), std::vector<std::string>{"指定されたフォルダにアクセスできませんでした。"});
}

TEST_F(DocumentTest, EntryOperationsTellTheObservers) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
    rows.addItem({.itemNo = 2, .title = "b", .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  RecordingObserver second;
  doc.AddObserver(&second);
  doc.AddObserver(&second);  // once is enough
  views.calls.clear();

  auto entry = std::make_unique<DisplayEntry>();
  entry->number = 7;
  EXPECT_EQ(doc.AppendEntry(std::move(entry), nullptr, nullptr), 2);
  doc.DeleteEntry(0);
  doc.DeleteEntry(5);  // no such entry: nothing
  doc.NotifyEntryChanged(1, DocumentChange::Positions);
  doc.SelectEntry(0, 7);
  doc.SelectEntry(0, 99);  // no such entry: nothing
  doc.NotifyChanged(DocumentChange::Entries);
  const std::vector<std::string> expected{"add 2 item",       "removed 0",       "entry 1 positions",
                                          "entry 1 selection", "changed entries"};
  EXPECT_EQ(views.calls, expected);
  EXPECT_EQ(second.calls, expected);
  ASSERT_EQ(doc.EntryList().GetCount(), 2);
  EXPECT_EQ(doc.EntryList().GetAt(1)->number, 7);

  doc.RemoveObserver(&second);
  views.calls.clear();
  doc.NotifyChanged(DocumentChange::Positions);
  EXPECT_EQ(second.calls.size(), expected.size());
  EXPECT_EQ(views.calls, std::vector<std::string>{"changed positions"});
}

// An observer that leaves in the middle of a notification is not called
// again, and one registered after it still is.
TEST_F(DocumentTest, AnObserverMayLeaveInsideACallback) {
  struct Leaving : RecordingObserver {
    CFD3Doc* doc = nullptr;
    DocumentObserver* alsoRemove = nullptr;
    void DocumentChanged(DocumentChanges changes) override {
      RecordingObserver::DocumentChanged(changes);
      doc->RemoveObserver(this);
      doc->RemoveObserver(alsoRemove);
    }
  };
  Leaving leaving;
  RecordingObserver removed, after;
  leaving.doc = &doc;
  leaving.alsoRemove = &removed;
  doc.AddObserver(&leaving);
  doc.AddObserver(&removed);
  doc.AddObserver(&after);
  doc.NotifyChanged(DocumentChange::Folder);
  doc.NotifyChanged(DocumentChange::Folder);
  EXPECT_EQ(leaving.calls.size(), 1u);
  EXPECT_TRUE(removed.calls.empty());
  EXPECT_EQ(after.calls.size(), 2u);
}

// The shortcuts in force: the viewer's while it is shown, none of the
// browser's while an in-place editor is open.
TEST_F(DocumentTest, EditorsAndTheViewerChooseTheAcceleratorTable) {
  using Table = CFD3Doc::AcceleratorTable;
  EXPECT_EQ(doc.GetDefaultAccelerator(), Table::Browser);
  doc.SetTitleEditing(true);
  doc.SetTitleEditing(true);  // no change: no notification
  EXPECT_EQ(doc.GetDefaultAccelerator(), Table::TitleEditing);
  views.viewerShown = true;
  EXPECT_EQ(doc.GetDefaultAccelerator(), Table::Viewer);
  views.viewerShown = false;
  doc.SetTitleEditing(false);
  EXPECT_EQ(doc.GetDefaultAccelerator(), Table::Browser);
  EXPECT_EQ(views.calls, (std::vector<std::string>{"changed editing", "changed editing"}));
}

TEST_F(DocumentTest, MoreThanAHundredEntriesShowTheLoadingProgress) {
  {
    CatalogueRows rows(folder);
    for (int i = 1; i <= 100; ++i) rows.addItem({.itemNo = i, .title = "p" + std::to_string(i), .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  EXPECT_TRUE(progress.shown.empty()) << "100 entries load without a progress display";
  doc.CloseFolderDatabase();
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 101, .title = "p101", .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(doc.EntryList().GetCount(), 101);
  ASSERT_EQ(progress.shown.size(), 1u);
  EXPECT_EQ(progress.shown[0].title, "表示");
  EXPECT_EQ(progress.shown[0].message, "アイテムの表示中...");
  EXPECT_EQ(progress.shown[0].lastDetail, "101 件中 101 件目") << "the count reaches the last entry";
  EXPECT_FALSE(progress.shown[0].open) << "the display is gone when the load ends";
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
  ASSERT_EQ(doc.EntryList().GetCount(), 1);
  ThumbInfo thumb;
  int found = 0;
  ASSERT_EQ(doc.Database().GetThumbInfo(1, thumb, found), 0);
  ASSERT_EQ(found, 1);
  EXPECT_EQ(std::string(thumb.ThumbData.begin(), thumb.ThumbData.begin() + 3), "GIF");
  EXPECT_GT(thumb.ThumbSizeX, 0);
  EXPECT_EQ(doc.EntryList().GetAt(0)->cellWidth, std::max(thumb.ThumbSizeX, 77)) << "the cell is the thumbnail's";
  EXPECT_EQ(doc.EntryList().GetAt(0)->cellHeight, std::max(thumb.ThumbSizeY, 77));
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
  ASSERT_EQ(doc.Database().GetItemInfo(1, info), 0) << "compaction renumbered 5 to 1";
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  EXPECT_TRUE(doc.Database().IsOpen());
  const auto backupTime = QFileInfo(QString::fromStdString(joinPath(folder, "info.bk"))).lastModified();
  doc.RequestReopen();
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  EXPECT_FALSE(doc.ReopenRequested());
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
  doc.Database().CloseFolder();
  ASSERT_TRUE(testsupport::writeFile(joinPath(folder, "info.mdb"), "this is not a catalogue"));
  CFD3Doc fresh;
  fresh.AddObserver(&views);
  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::Yes});
  fresh.LoadFolder(folder + "/", 0);
  ASSERT_GE(recorder.shown().size(), 2u);
  EXPECT_EQ(recorder.shown()[1].text, "データベースが壊れています。\nバックアップを使用しますか？");
  ASSERT_EQ(fresh.EntryList().GetCount(), 1);
  EXPECT_EQ(fresh.EntryList().GetAt(0)->title, "大事な書類.doc");
}

// A whole header over damaged pages used to open as an empty folder that
// took new rows into broken pages: it is damage, and the backup is offered.
TEST_F(DocumentTest, ACatalogueDamagedInsideIsRestoredFromItsBackupAndKept) {
  {
    CatalogueRows rows(folder);
    for (int no = 1; no <= 30; ++no)
      rows.addItem({.itemNo = no, .title = "書類" + std::to_string(no), .ext = "doc"});
  }
  ASSERT_TRUE(doc.OpenFolderDatabase(folder));  // compaction leaves a good info.bk
  doc.Database().CloseFolder();
  cataloguetest::damageTableInside(folder, "ItemMST");
  const std::string damaged = testsupport::readFile(joinPath(folder, "info.mdb"));

  CFD3Doc fresh;
  fresh.AddObserver(&views);
  platform::RecordingUserInteraction recorder;
  recorder.script({Answer::Ok, Answer::Yes});
  fresh.LoadFolder(folder + "/", 0);
  ASSERT_EQ(recorder.shown().size(), 2u) << recorder.shown().back().text;
  EXPECT_NE(recorder.shown()[0].text.find("エラー内容"), std::string::npos);
  EXPECT_EQ(recorder.shown()[1].text, "データベースが壊れています。\nバックアップを使用しますか？");
  EXPECT_EQ(fresh.EntryList().GetCount(), 30);
  EXPECT_EQ(testsupport::readFile(joinPath(folder, "info.mdb.damaged")), damaged)
      << "the damaged catalogue is kept beside the restored one";
}

// The compaction meets damage the engine reports: the folder is not opened
// for new rows, and the user is told instead of shown an empty folder.
TEST_F(DocumentTest, DamageFoundByTheCompactionIsToldAndNotOpened) {
  {
    CatalogueRows rows(folder);
    for (int no = 1; no <= 30; ++no)
      rows.addItem({.itemNo = no, .title = "書類" + std::to_string(no), .ext = "doc"});
  }
  cataloguetest::damageTableInside(folder, "ItemMST");
  platform::RecordingUserInteraction recorder;
  EXPECT_FALSE(doc.OpenFolderDatabase(folder));
  ASSERT_EQ(recorder.texts().size(), 1u);
  EXPECT_EQ(recorder.texts()[0].find("CompactFolder"), std::string::npos) << "no operation names shown";
  EXPECT_FALSE(doc.Database().IsOpen());
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

TEST_F(DocumentTest, GetEntryRecordsReadsTheStackAndItsCurrentPage) {
  {
    CatalogueRows rows(folder);
    rows.addStackWithPages(1, 1, 3);
    rows.addItem({.itemNo = 4, .title = "x", .ext = "doc"});
  }
  doc.LoadFolder(folder + "/", 0);
  StackInfo stack;
  ItemInfo item;
  ASSERT_TRUE(doc.GetEntryRecords(*doc.EntryList().GetAt(0), stack, item));
  EXPECT_EQ(stack.PageCount, 3);
  EXPECT_EQ(item.StackNo, 1);
  EXPECT_EQ(item.PageNo, stack.CurPageNo);
}

// ---- the catalogue's life cycle through the document -------------------------

namespace {

std::vector<std::string> entryTitles(const CFD3Doc& doc) {
  std::vector<std::string> titles;
  for (int i = 0; i < doc.EntryList().GetCount(); ++i) titles.push_back(doc.EntryList().GetAt(i)->title);
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
  ASSERT_EQ(recorder.texts().size(), 1u);
  EXPECT_EQ(recorder.texts()[0],
            "指定されたフォルダは他のプログラムで使用中のため、開けませんでした。\n"
            "そのプログラムを終了してから、もう一度開いてください。");
  EXPECT_EQ(doc.EntryList().GetCount(), 0);

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
  ASSERT_EQ(doc.EntryList().GetCount(), 4);
  DissolvedStack dissolved;
  ASSERT_EQ(doc.Database().UnregisterItem(2, dissolved), 0);
  doc.DeleteEntry(1);
  doc.CloseFolderDatabase();  // as renaming the folder does

  ASSERT_TRUE(doc.OpenFolderDatabase(folder));
  for (int i = 0; i < doc.EntryList().GetCount(); ++i) {
    StackInfo stack;
    ItemInfo item;
    ASSERT_TRUE(doc.GetEntryRecords(*doc.EntryList().GetAt(i), stack, item));
    EXPECT_EQ(item.Title + "." + item.Ext, doc.EntryList().GetAt(i)->title);
  }
  EXPECT_TRUE(recorder.shown().empty()) << recorder.shown().front().text;

  // Loading the folder afresh may compact: its entries are made after.
  doc.CloseFolderDatabase();
  doc.LoadFolder(folder + "/", 0);
  EXPECT_EQ(entryTitles(doc), (std::vector<std::string>{"t1.doc", "t3.doc", "t4.doc"}));
  EXPECT_EQ(doc.EntryList().GetAt(2)->number, 3) << "renumbered when loaded afresh";
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
  EXPECT_EQ(recorder.texts(), (std::vector<std::string>{"データベース壊れました。"}));
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
  doc.Database().Engine().executeScript("PRAGMA query_only = ON;");
  platform::RecordingUserInteraction recorder;
  auto cells = [&] {
    std::vector<std::pair<int, int>> sizes;
    for (int i = 0; i < doc.EntryList().GetCount(); ++i)
      sizes.emplace_back(doc.EntryList().GetAt(i)->cellWidth, doc.EntryList().GetAt(i)->cellHeight);
    return sizes;
  };
  std::vector<std::pair<int, int>> unstored;
  for (int load = 0; load < 2; ++load) {
    recorder.clear();
    doc.LoadFolder(folder + "/", 0);
    ASSERT_EQ(doc.EntryList().GetCount(), 5);
    EXPECT_EQ(recorder.shown().size(), 1u) << "load " << load;
    unstored = cells();
  }
  // Where thumbnails can be stored, the cells come out the same.
  doc.Database().Engine().executeScript("PRAGMA query_only = OFF;");
  recorder.clear();
  doc.LoadFolder(folder + "/", 0);
  EXPECT_TRUE(recorder.shown().empty());
  EXPECT_EQ(cells(), unstored);
  ThumbInfo thumb;
  int found = 0;
  ASSERT_EQ(doc.Database().GetThumbInfo(5, thumb, found), 0);
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
