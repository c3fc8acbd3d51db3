// A process killed at any step of opening a folder (with its compaction) or
// of moving entries between two catalogues never costs an entry: afterwards
// the document opens each folder by its own road (CheckFolderDatabase,
// OpenFolderDatabase, LoadFolder) and finds every entry (a move may leave one
// in both folders, never in neither).
//
// The kill points are the operation's own steps: a first run of the child
// lists every change it makes to a file; each round then restores the
// starting files and runs the child again, killing it just before one of
// those steps. Every structural step (creating, truncating or deleting a
// file, the file steps of compaction and recovery) is a kill point, and
// writes are sampled evenly, so the rounds are the same on any machine.

#include "catalogue/folder_database.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/import_fixtures.h"
#include "tests/support/test_env.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

// Writes kept as kill points; every other step always is one.
constexpr int kSampledWrites = 40;

struct ChildRun {
  bool killed = false;
  int exitCode = -1;
  std::string output;
};

ChildRun runChild(const QStringList& arguments) {
  QProcess child;
  child.start(QStringLiteral(DOCUMENT_CRASH_CHILD), arguments);
  EXPECT_TRUE(child.waitForFinished(120000));
  ChildRun run;
  run.killed = child.exitStatus() == QProcess::CrashExit;
  run.exitCode = child.exitCode();
  run.output = child.readAllStandardOutput().toStdString();
  return run;
}

// The steps (1-based) to kill before: every one that is not a write, and
// writes spread evenly over the run.
std::vector<long> killPoints(const std::string& stepKinds) {
  std::vector<long> writes, points;
  long n = 0;
  for (const char kind : stepKinds) {
    if (kind == '\n') continue;
    ++n;
    (kind == 'w' ? writes : points).push_back(n);
  }
  const std::size_t stride = std::max<std::size_t>(1, writes.size() / kSampledWrites);
  for (std::size_t i = 0; i < writes.size(); i += stride) points.push_back(writes[i]);
  std::sort(points.begin(), points.end());
  return points;
}

void resetFolder(const std::string& folder, const std::string& catalogue, const std::string& backup) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(catalogue, FolderDatabase::CataloguePath(folder));
  if (!backup.empty()) std::filesystem::copy_file(backup, platform::joinPath(folder, "info.bk"));
}

std::string integrity(SqliteDatabase& db) {
  Statement check(db, "PRAGMA integrity_check");
  return check.step() ? check.textAt(0) : "";
}

// Each item's title with what hangs on it, as one line.
std::multiset<std::string> itemLines(SqliteDatabase& db) {
  std::multiset<std::string> lines;
  Statement items(db,
                  "SELECT ItemTitle || '|' || IFNULL(StackTitle, '') || '|' || IFNULL(PageNo, 0) "
                  "|| '|' || IFNULL(Comment, '') || '|' || IFNULL(length(ThumbData), 0) "
                  "FROM ItemMST LEFT JOIN StackMST USING (StackNo) "
                  "LEFT JOIN CommentMST USING (ItemNo) LEFT JOIN ThumbMST USING (ItemNo)");
  while (items.step()) lines.insert(items.textAt(0));
  return lines;
}

// Stacks and single items with gaps of `step` in their numbers; every item
// with a comment and a thumbnail.
void fillCatalogue(const std::string& folder, const std::string& prefix, int singles, int stacks, int step) {
  CatalogueRows rows(folder);
  std::mt19937 random(7);
  Transaction fill(rows.db());
  int itemNo = step;
  auto addDependents = [&](int no, const std::string& title) {
    rows.db().execute("INSERT INTO CommentMST(ItemNo, Comment) VALUES(?, ?)", no, "c " + title);
    DbBytes thumb(1024 + random() % 1024, static_cast<std::uint8_t>(no));
    rows.db().execute("INSERT INTO ThumbMST(ItemNo, ThumbSizeX, ThumbSizeY, ThumbData) VALUES(?, 80, 80, ?)",
                      no, thumb);
  };
  for (int i = 0; i < singles; ++i, itemNo += step) {
    const std::string title = prefix + "single" + std::to_string(i);
    rows.addItem(ItemRow{itemNo, title, "doc"});
    addDependents(itemNo, title);
  }
  for (int s = 1; s <= stacks; ++s) {
    const int stackNo = s * step;
    rows.addStack(stackNo, prefix + "stack" + std::to_string(s), 2);
    for (int page = 1; page <= 3; ++page, itemNo += step) {
      const std::string title = prefix + "s" + std::to_string(s) + "p" + std::to_string(page);
      rows.addItem(ItemRow{itemNo, title, "doc", stackNo, page});
      addDependents(itemNo, title);
    }
  }
  fill.commit();
}

std::multiset<std::string> linesOf(const std::string& catalogue) {
  SqliteDatabase db;
  db.openShared(catalogue);
  return itemLines(db);
}

// What the document shows of a folder after a crash, and the rows behind it.
struct Opened {
  std::multiset<std::string> entries;  // entry titles
  std::multiset<std::string> lines;
  bool recoveryTold = false;
};

::testing::AssertionResult openThroughTheDocument(const std::string& folder, Opened& opened) {
  platform::RecordingUserInteraction answers;
  CFD3Doc doc;
  doc.LoadFolder(folder + "/", 0);
  for (const std::string& text : answers.texts()) {
    if (text.find("データベースが壊れています") != std::string::npos)
      return ::testing::AssertionFailure() << "taken for damaged: " << text;
    if (text.find("バックアップからデータベースを元に戻しました") != std::string::npos)
      opened.recoveryTold = true;
    else
      return ::testing::AssertionFailure() << "unexpected message: " << text;
  }
  if (!doc.Database().IsOpen()) return ::testing::AssertionFailure() << "the folder did not open";
  if (const std::string check = integrity(doc.Database().Engine()); check != "ok")
    return ::testing::AssertionFailure() << "integrity: " << check;
  if (auto sound = cataloguetest::catalogueInvariantsHold(doc.Database()); !sound) return sound;
  for (int i = 0; i < doc.EntryList().GetCount(); ++i) opened.entries.insert(doc.EntryList().GetAt(i)->title);
  opened.lines = itemLines(doc.Database().Engine());
  return ::testing::AssertionSuccess();
}

// What the entry list of a folder with these rows shows.
std::multiset<std::string> entriesOf(const std::string& catalogue) {
  std::multiset<std::string> titles;
  SqliteDatabase db;
  db.openShared(catalogue);
  Statement rows(db,
                 "SELECT StackTitle FROM StackMST UNION ALL "
                 "SELECT ItemTitle FROM ItemMST WHERE StackNo IS NULL");
  while (rows.step()) titles.insert(rows.textAt(0));
  return titles;
}

class DocumentCrashTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::ensureProgramFolder()); }
  testsupport::TempDir temp;
};

TEST_F(DocumentCrashTest, AKilledOpenOfAFolderNeverLosesAnEntry) {
  // The starting catalogue, with gaps in every number, and an older backup.
  const std::string source = temp.file("source");
  cataloguetest::makeCatalogueFolder(source);
  fillCatalogue(source, "", 30, 6, 2);
  const std::string pristine = temp.file("pristine.mdb");
  const std::string oldBackup = temp.file("old.bk");
  std::filesystem::copy_file(FolderDatabase::CataloguePath(source), pristine);
  std::filesystem::copy_file(platform::joinPath(cataloguetest::templateDbFolder(), "info.mdb"), oldBackup);
  const std::multiset<std::string> expectedLines = linesOf(pristine);
  const std::multiset<std::string> expectedEntries = entriesOf(pristine);
  ASSERT_EQ(expectedLines.size(), 48u);
  ASSERT_EQ(expectedEntries.size(), 36u);

  const std::string folder = temp.file("folder");
  const QString folderArg = QString::fromStdString(folder);
  resetFolder(folder, pristine, oldBackup);
  const ChildRun whole = runChild({"open", folderArg, "0"});
  ASSERT_FALSE(whole.killed);
  ASSERT_EQ(whole.exitCode, 0);
  const std::vector<long> points = killPoints(whole.output);
  ASSERT_GT(points.size(), 10u) << whole.output;

  int recovered = 0;
  for (std::size_t round = 0; round < points.size(); ++round) {
    const long killAt = points[round];
    SCOPED_TRACE("killed before step " + std::to_string(killAt));
    resetFolder(folder, pristine, round % 2 ? oldBackup : "");
    const ChildRun run = runChild({"open", folderArg, QString::number(killAt)});
    ASSERT_TRUE(run.killed) << "the child ended before step " << killAt << " with " << run.exitCode;

    Opened opened;
    ASSERT_TRUE(openThroughTheDocument(folder, opened));
    EXPECT_EQ(opened.entries, expectedEntries);
    EXPECT_EQ(opened.lines, expectedLines);
    recovered += opened.recoveryTold;
    // Whatever the crash left behind does not stand in the next open's way.
    Opened again;
    ASSERT_TRUE(openThroughTheDocument(folder, again));
    EXPECT_FALSE(again.recoveryTold);
    EXPECT_EQ(again.entries, expectedEntries);
  }
  std::printf("open with compaction: %zu steps, %zu kill points, %d recovered from the backup\n",
              std::count(whole.output.begin(), whole.output.end(), '\n'), points.size(), recovered);
}

TEST_F(DocumentCrashTest, AKilledMoveLeavesEveryEntryInOneFolderOrBoth) {
  const std::string sourceStart = temp.file("sourceStart");
  const std::string targetStart = temp.file("targetStart");
  cataloguetest::makeCatalogueFolder(sourceStart);
  cataloguetest::makeCatalogueFolder(targetStart);
  fillCatalogue(sourceStart, "a", 6, 2, 1);
  fillCatalogue(targetStart, "b", 2, 1, 1);
  std::set<std::string> expectedLines, expectedEntries;
  for (const std::string& start : {sourceStart, targetStart}) {
    for (const std::string& line : linesOf(FolderDatabase::CataloguePath(start))) expectedLines.insert(line);
    for (const std::string& title : entriesOf(FolderDatabase::CataloguePath(start))) expectedEntries.insert(title);
  }
  ASSERT_EQ(expectedLines.size(), 6u + 6u + 2u + 3u);

  const std::string source = temp.file("source");
  const std::string target = temp.file("target");
  const QStringList folders{QString::fromStdString(source), QString::fromStdString(target)};
  auto reset = [&] {
    resetFolder(source, FolderDatabase::CataloguePath(sourceStart), "");
    resetFolder(target, FolderDatabase::CataloguePath(targetStart), "");
  };
  reset();
  const ChildRun whole = runChild(QStringList{"move"} + folders + QStringList{"0"});
  ASSERT_FALSE(whole.killed);
  ASSERT_EQ(whole.exitCode, 0);
  const std::vector<long> points = killPoints(whole.output);
  ASSERT_GT(points.size(), 10u);

  int duplicated = 0;
  for (const long killAt : points) {
    SCOPED_TRACE("killed before step " + std::to_string(killAt));
    reset();
    const ChildRun run = runChild(QStringList{"move"} + folders + QStringList{QString::number(killAt)});
    ASSERT_TRUE(run.killed) << "the child ended before step " << killAt << " with " << run.exitCode;

    std::multiset<std::string> lines, entries;
    for (const std::string& folder : {source, target}) {
      Opened opened;
      ASSERT_TRUE(openThroughTheDocument(folder, opened)) << folder;
      lines.insert(opened.lines.begin(), opened.lines.end());
      entries.insert(opened.entries.begin(), opened.entries.end());
    }
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expectedLines);
    EXPECT_EQ(std::set<std::string>(entries.begin(), entries.end()), expectedEntries);
    duplicated += lines.size() > expectedLines.size();
  }
  std::printf("move: %zu steps, %zu kill points, %d left an entry in both folders\n",
              std::count(whole.output.begin(), whole.output.end(), '\n'), points.size(), duplicated);
}

// Where each document of a folder lies: its file name, when both its row
// and its file are there; a row without its file is "<title> without file".
std::set<std::string> documentsIn(const std::string& folder) {
  std::set<std::string> found;
  SqliteDatabase db;
  db.openShared(FolderDatabase::CataloguePath(folder));
  Statement items(db, "SELECT ItemTitle FROM ItemMST");  // the file name
  while (items.step()) {
    const std::string name = items.textAt(0);
    found.insert(std::filesystem::exists(platform::joinPath(folder, name)) ? name : name + " without file");
  }
  return found;
}

TEST_F(DocumentCrashTest, AMoveOf50DocumentsKilledAnywhereLosesNoneAndBothFoldersOpen) {
  const std::string sourceStart = temp.file("sourceStart");
  const std::string targetStart = temp.file("targetStart");
  cataloguetest::makeCatalogueFolder(sourceStart);
  cataloguetest::makeCatalogueFolder(targetStart);
  std::vector<std::string> names;
  {
    CatalogueRows rows(sourceStart);
    for (int i = 0; i < 50; ++i) {
      const std::string title = "d" + std::to_string(100 + i);
      rows.addItem(ItemRow{i + 1, title, "doc"});
      // A stored thumbnail: opening the folder makes none.
      DbBytes thumb(256, static_cast<std::uint8_t>(i));
      rows.db().execute("INSERT INTO ThumbMST(ItemNo, ThumbSizeX, ThumbSizeY, ThumbData) VALUES(?, 80, 80, ?)", i + 1,
                        thumb);
      names.push_back(title + ".doc");
    }
  }
  const std::string source = temp.file("source");
  const std::string target = temp.file("target");
  const QStringList folders{QString::fromStdString(source), QString::fromStdString(target)};
  auto reset = [&] {
    resetFolder(source, FolderDatabase::CataloguePath(sourceStart), "");
    resetFolder(target, FolderDatabase::CataloguePath(targetStart), "");
    for (const std::string& name : names) testsupport::writeFile(platform::joinPath(source, name), name);
  };
  reset();
  const ChildRun whole = runChild(QStringList{"transfer"} + folders + QStringList{"0"});
  ASSERT_FALSE(whole.killed);
  ASSERT_EQ(whole.exitCode, 0);
  EXPECT_TRUE(documentsIn(source).empty());
  EXPECT_EQ(documentsIn(target), std::set<std::string>(names.begin(), names.end()));
  // Kill points spread over the whole move, file steps among them.
  const std::vector<long> all = killPoints(whole.output);
  std::vector<long> points;
  const std::size_t stride = std::max<std::size_t>(1, all.size() / 24);
  for (std::size_t i = 0; i < all.size(); i += stride) points.push_back(all[i]);
  ASSERT_GE(points.size(), 20u);

  int inBoth = 0;
  for (const long killAt : points) {
    SCOPED_TRACE("killed before step " + std::to_string(killAt));
    reset();
    const ChildRun run = runChild(QStringList{"transfer"} + folders + QStringList{QString::number(killAt)});
    ASSERT_TRUE(run.killed) << "the child ended before step " << killAt << " with " << run.exitCode;
    for (const std::string& folder : {source, target}) {
      Opened opened;
      ASSERT_TRUE(openThroughTheDocument(folder, opened)) << folder;
    }
    const std::set<std::string> left = documentsIn(source);
    const std::set<std::string> arrived = documentsIn(target);
    for (const std::string& name : names) {
      const bool here = left.count(name) != 0;
      const bool there = arrived.count(name) != 0;
      EXPECT_TRUE(here || there) << name << " is in neither folder";
      inBoth += here && there;
    }
    bool someInBoth = false;
    for (const std::string& name : names) someInBoth = someInBoth || (left.count(name) && arrived.count(name));
    for (const std::set<std::string>* folder : {&left, &arrived})
      for (const std::string& document : *folder)
        EXPECT_EQ(document.find(" without file"), std::string::npos) << document;
    // Opening the folders removed what the killed copy left (its hidden
    // partial copies, a copy placed without its row), so the same move,
    // tried again, carries the rest over.
    for (const auto& file : std::filesystem::directory_iterator(target))
      EXPECT_EQ(file.path().filename().string().find(".part."), std::string::npos) << file.path();
    if (someInBoth) continue;  // the user sees that document in both folders: no retry of it
    const ChildRun retry = runChild(QStringList{"transfer"} + folders + QStringList{"0"});
    ASSERT_FALSE(retry.killed);
    EXPECT_EQ(retry.exitCode, 0) << "the retry of the move failed";
    EXPECT_TRUE(documentsIn(source).empty());
    EXPECT_EQ(documentsIn(target), std::set<std::string>(names.begin(), names.end()));
  }
  std::printf("transfer: %zu kill points, %d left a document in both folders\n", points.size(), inBoth);
}

// Every item of the catalogue (but the fixture's, named from prefix, which
// have no files) with its document file beside it.
::testing::AssertionResult everyItemHasItsFile(const std::string& folder, const std::string& prefix) {
  SqliteDatabase db;
  db.openShared(FolderDatabase::CataloguePath(folder));
  Statement items(db, "SELECT ItemTitle FROM ItemMST");  // the file name
  while (items.step())
    if (!items.textAt(0).starts_with(prefix) &&
        !std::filesystem::exists(platform::joinPath(folder, items.textAt(0))))
      return ::testing::AssertionFailure() << "entry without its file: " << items.textAt(0);
  return ::testing::AssertionSuccess();
}

TEST_F(DocumentCrashTest, AKilledImportKeepsEveryCommittedEntryAndNoEntryWithoutItsFile) {
  const std::string start = temp.file("start");
  cataloguetest::makeCatalogueFolder(start);
  fillCatalogue(start, "old", 3, 1, 1);
  const std::set<std::string> before = [&] {
    const auto lines = linesOf(FolderDatabase::CataloguePath(start));
    return std::set<std::string>(lines.begin(), lines.end());
  }();
  const std::string source = temp.file("incoming");
  std::filesystem::create_directories(source);
  for (const char* name : {"memo1.txt", "memo2.txt", "memo3.txt", "report.doc"})
    ASSERT_TRUE(testsupport::writeFile(platform::joinPath(source, name), name));
  ASSERT_TRUE(importtest::writeG4Tiff(platform::joinPath(source, "scan.tif"), 2, 200, 200));
  const std::string folder = temp.file("folder");
  const QStringList args{QStringLiteral("import"), QString::fromStdString(source), QString::fromStdString(folder)};
  auto reset = [&] { resetFolder(folder, FolderDatabase::CataloguePath(start), ""); };
  reset();
  const ChildRun whole = runChild(args + QStringList{"0"});
  ASSERT_FALSE(whole.killed);
  ASSERT_EQ(whole.exitCode, 0);
  Opened all;
  ASSERT_TRUE(openThroughTheDocument(folder, all));
  ASSERT_EQ(all.lines.size(), before.size() + 6u);  // four files and two pages
  const std::vector<long> points = killPoints(whole.output);
  ASSERT_GT(points.size(), 10u);

  int withImports = 0;
  for (const long killAt : points) {
    SCOPED_TRACE("killed before step " + std::to_string(killAt));
    reset();
    const ChildRun run = runChild(args + QStringList{QString::number(killAt)});
    ASSERT_TRUE(run.killed) << "the child ended before step " << killAt << " with " << run.exitCode;
    Opened opened;
    ASSERT_TRUE(openThroughTheDocument(folder, opened));
    ASSERT_TRUE(everyItemHasItsFile(folder, "old"));
    for (const std::string& line : before) EXPECT_EQ(opened.lines.count(line), 1u) << line;
    // What the import committed is there whole: both pages of the scan or none.
    const auto pages = std::count_if(opened.lines.begin(), opened.lines.end(),
                                     [](const std::string& line) { return line.starts_with("scanの"); });
    EXPECT_TRUE(pages == 0 || pages == 2) << pages;
    withImports += opened.lines.size() > before.size();
  }
  std::printf("import: %zu steps, %zu kill points, %d kept imported entries\n",
              std::count(whole.output.begin(), whole.output.end(), '\n'), points.size(), withImports);
}

}  // namespace
