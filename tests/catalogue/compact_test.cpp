// Compaction, backup and restore of a folder's catalogue file.

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "platform/paths.h"
#include "tests/support/test_env.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;
using testsupport::fileExists;

// Everything that hangs on one item, keyed by its title, so that a check
// after renumbering sees whether each row followed its item.
struct ItemPicture {
  int itemNo = 0;
  int stackNo = 0;
  int pageNo = 0;
  std::string stackTitle;
  std::string comment, keyword, creator, thumb, boxes;
  bool operator==(const ItemPicture&) const = default;
};

std::string one(SqliteDatabase& db, const std::string& sql, int no) {
  Statement s(db, sql);
  s.bindAll(no);
  return s.step() ? s.textAt(0) : std::string("-");
}

std::map<std::string, ItemPicture> picture(SqliteDatabase& db) {
  std::map<std::string, ItemPicture> result;
  Statement items(db,
                  "SELECT ItemNo, ItemTitle, IFNULL(ItemMST.StackNo, 0), IFNULL(PageNo, 0), "
                  "IFNULL(StackTitle, '') FROM ItemMST LEFT JOIN StackMST USING (StackNo)");
  while (items.step()) {
    ItemPicture p;
    p.itemNo = items.intAt(0);
    p.stackNo = items.intAt(2);
    p.pageNo = items.intAt(3);
    p.stackTitle = items.textAt(4);
    p.comment = one(db, "SELECT Comment FROM CommentMST WHERE ItemNo = ?", p.itemNo);
    p.keyword = one(db, "SELECT Keyword FROM KeywordMST WHERE ItemNo = ?", p.itemNo);
    p.creator = one(db, "SELECT Creator FROM CreatorMST WHERE ItemNo = ?", p.itemNo);
    p.thumb = one(db, "SELECT CAST(ThumbData AS TEXT) FROM ThumbMST WHERE ItemNo = ?", p.itemNo);
    p.boxes = one(db, "SELECT group_concat(BoxString, ',') FROM AnnBoxMST WHERE ItemNo = ?", p.itemNo);
    result[items.textAt(1)] = p;
  }
  return result;
}

std::map<std::string, ItemPicture> pictureOf(const std::string& file) {
  SqliteDatabase db;
  db.openShared(file);
  return picture(db);
}

void addDependents(CatalogueRows& rows, int itemNo, const std::string& tag) {
  auto& db = rows.db();
  db.execute("INSERT INTO CommentMST(ItemNo, Comment) VALUES(?, ?)", itemNo, "comment " + tag);
  db.execute("INSERT INTO KeywordMST(ItemNo, Keyword) VALUES(?, ?)", itemNo, "keyword " + tag);
  db.execute("INSERT INTO CreatorMST(ItemNo, Creator) VALUES(?, ?)", itemNo, "creator " + tag);
  const std::string data = "thumb " + tag;
  db.execute("INSERT INTO ThumbMST(ItemNo, ThumbSizeX, ThumbSizeY, ThumbData) VALUES(?, 80, 60, ?)",
             itemNo, DbBytes(data.begin(), data.end()));
  for (const char* n : {"a", "b"})
    db.execute("INSERT INTO AnnBoxMST(ItemNo, BoxString) VALUES(?, ?)", itemNo,
               "box " + tag + n);
}

class CompactFolderTest : public ::testing::Test {
 protected:
  void SetUp() override { cataloguetest::makeCatalogueFolder(folder); }
  std::string file(const char* name) const { return platform::joinPath(folder, name); }
  // Items 3, 7, 8 (7 and 8 pages of stack 5, 3 single) and stack 2 with
  // items 10 and 12; each item with every kind of dependent row.
  void writeGappedCatalogue() {
    CatalogueRows rows(folder);
    rows.db().executeScript("BEGIN;");
    rows.addStack(2, "two", 2);
    rows.addStack(5, "five", 1);
    rows.addItem(ItemRow{3, "three", "bmp"});
    rows.addItem(ItemRow{7, "seven", "bmp", 5, 1});
    rows.addItem(ItemRow{8, "eight", "bmp", 5, 2});
    rows.addItem(ItemRow{10, "ten", "bmp", 2, 1});
    rows.addItem(ItemRow{12, "twelve", "bmp", 2, 2});
    for (auto [no, tag] : {std::pair{3, "three"}, {7, "seven"}, {8, "eight"}, {10, "ten"}, {12, "twelve"}})
      addDependents(rows, no, tag);
    rows.db().executeScript("COMMIT;");
  }

  testsupport::TempDir temp;
  std::string folder = temp.file("folder");
  FolderDatabase db;
};

TEST_F(CompactFolderTest, RenumbersFromOneAndEveryRowFollowsItsItem) {
  writeGappedCatalogue();
  auto before = pictureOf(file("info.mdb"));

  ASSERT_EQ(db.CompactFolder(folder), 0) << db.GetDbLastError().message;
  EXPECT_FALSE(db.IsOpen());

  auto expected = before;
  const std::map<std::string, std::tuple<int, int>> renumbered = {
      {"three.bmp", {1, 0}}, {"seven.bmp", {2, 2}}, {"eight.bmp", {3, 2}},
      {"ten.bmp", {4, 1}},   {"twelve.bmp", {5, 1}}};
  for (auto& [title, p] : expected) {
    p.itemNo = std::get<0>(renumbered.at(title));
    p.stackNo = std::get<1>(renumbered.at(title));
  }
  EXPECT_EQ(pictureOf(file("info.mdb")), expected);
  // The backup is the renumbered catalogue as it stood before compaction.
  EXPECT_EQ(pictureOf(file("info.bk")), expected);
  EXPECT_FALSE(fileExists(file(".info.mdb.compact")));

  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(db));
  Statement stacks(db.Engine(), "SELECT StackNo, StackTitle, CurPageNo FROM StackMST ORDER BY StackNo");
  ASSERT_TRUE(stacks.step());
  EXPECT_EQ(stacks.intAt(0), 1);
  EXPECT_EQ(stacks.textAt(1), "two");
  EXPECT_EQ(stacks.intAt(2), 2);
  ASSERT_TRUE(stacks.step());
  EXPECT_EQ(stacks.intAt(0), 2);
  EXPECT_EQ(stacks.textAt(1), "five");
}

TEST_F(CompactFolderTest, CompactsEmptyGaplessAndSlashEndedFolders) {
  // Empty catalogue, with the folder given with a trailing slash.
  ASSERT_EQ(db.CompactFolder(folder + "/"), 0) << db.GetDbLastError().message;
  EXPECT_TRUE(fileExists(file("info.mdb")));
  EXPECT_TRUE(fileExists(file("info.bk")));

  {
    CatalogueRows rows(folder);
    rows.addItem(ItemRow{1, "a"});
    rows.addStackWithPages(1, 2, 3);
  }
  const auto before = pictureOf(file("info.mdb"));
  ASSERT_EQ(db.CompactFolder(folder), 0);
  EXPECT_EQ(pictureOf(file("info.mdb")), before);
  // Each compaction replaces the earlier backup.
  EXPECT_EQ(pictureOf(file("info.bk")), before);
}

TEST_F(CompactFolderTest, ShrinksTheFileAfterDeletions) {
  {
    CatalogueRows rows(folder);
    const DbBytes big(64 * 1024, 7);
    rows.db().executeScript("BEGIN;");
    for (int no = 1; no <= 20; ++no) {
      rows.addItem(ItemRow{no, "i" + std::to_string(no)});
      rows.db().execute("INSERT INTO ThumbMST(ItemNo, ThumbData) VALUES(?, ?)", no, big);
    }
    rows.db().execute("DELETE FROM ThumbMST WHERE ItemNo > 2");
    rows.db().executeScript("COMMIT;");
  }
  const auto sizeBefore = std::filesystem::file_size(file("info.mdb"));
  ASSERT_EQ(db.CompactFolder(folder), 0);
  EXPECT_LT(std::filesystem::file_size(file("info.mdb")), sizeBefore / 4);
  EXPECT_EQ(std::filesystem::file_size(file("info.bk")), sizeBefore);
}

TEST_F(CompactFolderTest, FailedRenumberingLeavesTheCatalogueClosedAndUnchanged) {
  writeGappedCatalogue();
  {
    // A renumbering statement that the engine refuses half way.
    CatalogueRows rows(folder);
    rows.db().executeScript(
        "CREATE TRIGGER refuse BEFORE UPDATE ON ThumbMST WHEN OLD.ItemNo = 10 "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
  const auto before = pictureOf(file("info.mdb"));
  EXPECT_EQ(db.CompactFolder(folder), 120);
  EXPECT_EQ(db.GetDbLastError().message, "CDaoException : CompactFolder");
  EXPECT_FALSE(db.IsOpen());
  EXPECT_EQ(pictureOf(file("info.mdb")), before);
  EXPECT_FALSE(fileExists(file("info.bk")));
  // Closed, so the next open works.
  EXPECT_EQ(db.OpenFolder(folder, false), 0);
}

TEST_F(CompactFolderTest, RefusesAnOpenObjectAndAMissingCatalogue) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  EXPECT_EQ(db.CompactFolder(folder), 30);
  EXPECT_EQ(db.GetDbLastError().message, "すでにDBがオープンされています。:OpenFolder:CompactFolder");
  EXPECT_TRUE(db.IsOpen());
  db.CloseFolder();

  FolderDatabase other;
  EXPECT_EQ(other.CompactFolder(temp.file("nowhere")), 120);
  EXPECT_EQ(other.GetDbLastError().message, "DAOのエラーです。:OpenFolder:CompactFolder");
  EXPECT_FALSE(other.IsOpen());
}

TEST_F(CompactFolderTest, AFileErrorGives140AndKeepsAWholeCatalogue) {
  writeGappedCatalogue();
  // A backup name taken by a folder with something in it cannot be replaced.
  std::filesystem::create_directories(file("info.bk") + std::string("/x"));
  EXPECT_EQ(db.CompactFolder(folder), 140);
  EXPECT_EQ(db.GetDbLastError().message,
            "データベースファイルのコピーまたは削除に失敗しました。 : CompactFolder");
  EXPECT_NE(db.GetDbLastError().systemError, 0u);
  EXPECT_FALSE(db.IsOpen());
  EXPECT_FALSE(fileExists(file(".info.mdb.compact")));
  EXPECT_EQ(pictureOf(file("info.mdb")).size(), 5u);
  EXPECT_EQ(db.OpenFolder(folder, false), 0);
}

TEST_F(CompactFolderTest, AWorkFileLeftByACrashIsReplaced) {
  writeGappedCatalogue();
  ASSERT_TRUE(testsupport::writeFile(file(".info.mdb.compact"), "half a database"));
  ASSERT_EQ(db.CompactFolder(folder), 0) << db.GetDbLastError().message;
  EXPECT_EQ(pictureOf(file("info.mdb")).size(), 5u);
  EXPECT_FALSE(fileExists(file(".info.mdb.compact")));
}

// ---- RestoreFromBackup ----------------------------------------------------

TEST_F(CompactFolderTest, RestoreWithoutBackupChangesNothing) {
  const std::string before = testsupport::readFile(file("info.mdb"));
  EXPECT_EQ(db.RestoreFromBackup(folder), 0);
  EXPECT_EQ(testsupport::readFile(file("info.mdb")), before);
  EXPECT_FALSE(fileExists(file("info.bk")));
}

TEST_F(CompactFolderTest, RestorePutsTheBackupBackAndReportsAFailedCopy) {
  writeGappedCatalogue();
  ASSERT_EQ(db.CompactFolder(folder), 0);
  const auto backup = pictureOf(file("info.bk"));
  ASSERT_EQ(::unlink(file("info.mdb").c_str()), 0);
  EXPECT_EQ(db.RestoreFromBackup(folder), 0);
  EXPECT_EQ(pictureOf(file("info.mdb")), backup);

  // A catalogue name taken by a folder: the copy cannot land.
  ASSERT_EQ(::unlink(file("info.mdb").c_str()), 0);
  std::filesystem::create_directories(file("info.mdb") + std::string("/x"));
  EXPECT_EQ(db.RestoreFromBackup(folder), 140);
  EXPECT_EQ(db.GetDbLastError().code, 140);
  EXPECT_NE(db.GetDbLastError().systemError, 0u);
}

// Putting the backup over a catalogue that another holder has open would
// send the holder's later writes to a file that no longer has a name.
TEST_F(CompactFolderTest, RestoreRefusesACatalogueThatIsHeldOpen) {
  writeGappedCatalogue();
  ASSERT_EQ(db.CompactFolder(folder), 0);
  FolderDatabase holder;
  ASSERT_EQ(holder.OpenFolder(folder, false), 0);
  ASSERT_EQ(holder.SetComment(1, "written while held"), 0);

  EXPECT_EQ(db.RestoreFromBackup(folder), 140);
  EXPECT_EQ(db.GetDbLastError().systemError, static_cast<std::uint32_t>(EBUSY));
  ASSERT_EQ(holder.SetComment(2, "written after the refusal"), 0);
  ASSERT_EQ(holder.CloseFolder(), 0);

  const auto after = pictureOf(file("info.mdb"));
  EXPECT_EQ(after.at("three.bmp").comment, "written while held");
  EXPECT_EQ(after.at("seven.bmp").comment, "written after the refusal");
}

// A compaction cut short between its two renames leaves info.bk (whole) and
// no info.mdb, perhaps with the work file. The first look at the folder puts
// the catalogue back, so that nothing takes the folder for one without a
// catalogue and makes a fresh one that a later compaction would rename over
// the backup.
struct Interrupted {
  const char* name;
  const char* workFile;  // what lies under the work file's name, or nullptr
  std::function<int(FolderDatabase&, const std::string&)> look;
};

class InterruptedCompaction : public CompactFolderTest, public ::testing::WithParamInterface<Interrupted> {};

TEST_P(InterruptedCompaction, IsRecoveredAtTheFirstLook) {
  writeGappedCatalogue();
  ASSERT_EQ(db.CompactFolder(folder), 0);
  const auto expected = pictureOf(file("info.mdb"));
  // The state between the renames: the compacted copy has not taken the
  // catalogue's name yet.
  const std::string workFile = GetParam().workFile ? GetParam().workFile : "";
  if (workFile == "whole") {
    ASSERT_EQ(::rename(file("info.mdb").c_str(), file(".info.mdb.compact").c_str()), 0);
  } else {
    ASSERT_EQ(::unlink(file("info.mdb").c_str()), 0);
    if (!workFile.empty()) {
      ASSERT_TRUE(testsupport::writeFile(file(".info.mdb.compact"), workFile));
    }
  }

  FolderDatabase looker;
  EXPECT_EQ(GetParam().look(looker, folder), 0) << looker.GetDbLastError().message;
  EXPECT_TRUE(looker.TakeRecoveryNotice());
  EXPECT_FALSE(looker.TakeRecoveryNotice()) << "the notice is given once";
  if (looker.IsOpen()) looker.CloseFolder();
  ASSERT_TRUE(fileExists(file("info.mdb")));
  EXPECT_FALSE(fileExists(file(".info.mdb.compact")));
  EXPECT_EQ(pictureOf(file("info.mdb")), expected);
  EXPECT_EQ(pictureOf(file("info.bk")), expected) << "the backup stays";
  EXPECT_EQ(db.CompactFolder(folder), 0);
  EXPECT_EQ(pictureOf(file("info.bk")), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Looks, InterruptedCompaction,
    ::testing::Values(
        Interrupted{"DoesFolderExistWithoutWorkFile", nullptr,
                    [](FolderDatabase& db, const std::string& folder) {
                      int exists = 0, version = 0;
                      const int code = db.DoesFolderExist(folder, exists, version);
                      return code != 0 ? code : exists == 1 ? 0 : -1;
                    }},
        Interrupted{"DoesFolderExistWithWholeWorkFile", "whole",
                    [](FolderDatabase& db, const std::string& folder) {
                      int exists = 0, version = 0;
                      const int code = db.DoesFolderExist(folder, exists, version);
                      return code != 0 ? code : exists == 1 ? 0 : -1;
                    }},
        Interrupted{"OpenFolderWithPartialWorkFile", "half a database",
                    [](FolderDatabase& db, const std::string& folder) { return db.OpenFolder(folder, false); }},
        Interrupted{"CompactFolder", nullptr,
                    [](FolderDatabase& db, const std::string& folder) { return db.CompactFolder(folder); }}),
    [](const auto& info) { return std::string(info.param.name); });

// A transaction that a crash cut short leaves a journal that would undo its
// pages on the next open. Replacing the file by the backup must not let
// that journal loose on the backup.
TEST_F(CompactFolderTest, RestoreIsNotUndoneByAJournalOfTheReplacedFile) {
  {
    // Enough rows that the change spills out of the engine's cache before
    // any commit.
    CatalogueRows rows(folder);
    rows.db().executeScript("BEGIN;");
    for (int no = 1; no <= 2000; ++no)
      rows.addItem(ItemRow{no, "old" + std::to_string(no) + std::string(100, 'x')});
    rows.db().executeScript("COMMIT;");
  }
  ASSERT_EQ(db.CompactFolder(folder), 0);
  // The backup now holds the old titles; info.mdb gets a journal that is hot.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    sqlite3* raw = nullptr;
    sqlite3_open(file("info.mdb").c_str(), &raw);
    sqlite3_exec(raw, "PRAGMA cache_size = 1; BEGIN; UPDATE ItemMST SET ItemTitle = 'new' || ItemNo;",
                 nullptr, nullptr, nullptr);
    ::_exit(0);  // no commit, no rollback: the journal stays hot
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(fileExists(file("info.mdb-journal")));

  ASSERT_EQ(db.RestoreFromBackup(folder), 0);
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  Statement check(db.Engine(), "PRAGMA integrity_check");
  ASSERT_TRUE(check.step());
  EXPECT_EQ(check.textAt(0), "ok");
  Statement count(db.Engine(), "SELECT count(*) FROM ItemMST WHERE ItemTitle LIKE 'old%'");
  ASSERT_TRUE(count.step());
  EXPECT_EQ(count.intAt(0), 2000);
}

}  // namespace
