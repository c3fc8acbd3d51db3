// A process killed at any moment of a compaction or of a move between two
// catalogues never costs an entry: afterwards each folder opens, from its
// info.mdb or through its backup, and every entry is still there (a move
// may leave one in both catalogues, never in neither).
//
// Each round restores the starting files, runs the operation in a child
// process, kills it (SIGKILL) after a random delay within the operation's
// duration, then recovers as the document does and checks.

#include "catalogue/folder_database.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;
using testsupport::fileExists;
using Clock = std::chrono::steady_clock;

constexpr int kRounds = 40;

// Runs body in a child process; kills it after delay unless it ended
// before. True when the child was killed.
bool runAndKill(const std::function<int()>& body, std::chrono::microseconds delay) {
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ::_exit(body());
  std::this_thread::sleep_for(delay);
  const bool killed = ::kill(child, SIGKILL) == 0;
  int status = 0;
  ::waitpid(child, &status, 0);
  return killed && WIFSIGNALED(status);
}

std::chrono::microseconds timeOnceInChild(const std::function<int()>& body) {
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

// The shortest of three runs, each after reset: kill delays up to it fall
// within the operation.
std::chrono::microseconds timeInChild(const std::function<int()>& body,
                                      const std::function<void()>& reset) {
  std::chrono::microseconds shortest = std::chrono::microseconds::max();
  for (int i = 0; i < 3; ++i) {
    reset();
    shortest = std::min(shortest, timeOnceInChild(body));
  }
  return shortest;
}

// Every leftover of an earlier round goes; the folder gets catalogue (and
// backup when given) back.
void resetFolder(const std::string& folder, const std::string& catalogue, const std::string& backup) {
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(catalogue, FolderDatabase::CataloguePath(folder));
  if (!backup.empty()) std::filesystem::copy_file(backup, platform::joinPath(folder, "info.bk"));
}

// Opens the folder as the document would after a crash: info.mdb when it
// opens, else through the backup. The catalogue is left open in db.
::testing::AssertionResult openAfterCrash(FolderDatabase& db, const std::string& folder,
                                          int& restored) {
  if (db.OpenFolder(folder, false) == 0) return ::testing::AssertionSuccess();
  if (db.RestoreFromBackup(folder) != 0)
    return ::testing::AssertionFailure() << "restore failed: " << db.GetDbLastError().message;
  ++restored;
  if (db.OpenFolder(folder, false) != 0)
    return ::testing::AssertionFailure() << "no whole catalogue: " << db.GetDbLastError().message;
  return ::testing::AssertionSuccess();
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

void fillCatalogue(const std::string& folder, const std::string& prefix, int singles, int stacks,
                   int step) {
  CatalogueRows rows(folder);
  std::mt19937 random(7);
  rows.db().executeScript("BEGIN;");
  int itemNo = step;
  auto addDependents = [&](int no, const std::string& title) {
    rows.db().execute("INSERT INTO CommentMST(ItemNo, Comment) VALUES(?, ?)", no, "c " + title);
    DbBytes thumb(8 * 1024 + random() % 2048, static_cast<std::uint8_t>(no));
    rows.db().execute("INSERT INTO ThumbMST(ItemNo, ThumbData) VALUES(?, ?)", no, thumb);
  };
  for (int i = 0; i < singles; ++i, itemNo += step) {
    const std::string title = prefix + "single" + std::to_string(i);
    rows.addItem(ItemRow{itemNo, title});
    addDependents(itemNo, title + ".bmp");
  }
  for (int s = 1; s <= stacks; ++s) {
    const int stackNo = s * step;
    rows.addStack(stackNo, prefix + "stack" + std::to_string(s), 2);
    for (int page = 1; page <= 3; ++page, itemNo += step) {
      const std::string title = prefix + "s" + std::to_string(s) + "p" + std::to_string(page);
      rows.addItem(ItemRow{itemNo, title, "bmp", stackNo, page});
      addDependents(itemNo, title + ".bmp");
    }
  }
  rows.db().executeScript("COMMIT;");
}

class CrashTest : public ::testing::Test {
 protected:
  testsupport::TempDir temp;
  std::mt19937 random{20261210};
};

TEST_F(CrashTest, AKilledCompactionNeverLosesTheCatalogue) {
  // The starting catalogue, with gaps in every number, and an older backup.
  const std::string source = temp.file("source");
  cataloguetest::makeCatalogueFolder(source);
  fillCatalogue(source, "", 120, 20, 2);
  const std::string pristine = temp.file("pristine.mdb");
  const std::string oldBackup = temp.file("old.bk");
  std::filesystem::copy_file(FolderDatabase::CataloguePath(source), pristine);
  std::filesystem::copy_file(platform::joinPath(cataloguetest::templateDbFolder(), "info.mdb"),
                             oldBackup);
  std::multiset<std::string> expected;
  {
    SqliteDatabase db;
    db.openShared(pristine);
    expected = itemLines(db);
  }
  ASSERT_EQ(expected.size(), 180u);

  const std::string folder = temp.file("folder");
  auto compact = [&] {
    FolderDatabase db;
    return db.CompactFolder(folder) == 0 ? 0 : 1;
  };
  const auto duration = timeInChild(compact, [&] { resetFolder(folder, pristine, oldBackup); });

  int killed = 0, restored = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    resetFolder(folder, pristine, round % 2 ? oldBackup : "");
    // Every other round aims at the last fifth, where the copy is flushed and
    // the files change hands.
    const auto span = round % 2 ? duration.count() / 5 + 1 : duration.count() + 1;
    const auto delay = std::chrono::microseconds(duration.count() + 1 - span + random() % span);
    killed += runAndKill(compact, delay);

    FolderDatabase db;
    ASSERT_TRUE(openAfterCrash(db, folder, restored));
    EXPECT_EQ(integrity(db.Engine()), "ok");
    EXPECT_EQ(itemLines(db.Engine()), expected);
    EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(db));
    ASSERT_EQ(db.CloseFolder(), 0);
    // Whatever the crash left behind does not stand in the next compaction's way.
    ASSERT_EQ(db.CompactFolder(folder), 0) << db.GetDbLastError().message;
  }
  // The delays must have hit the operation, not only its end.
  EXPECT_GT(killed, kRounds / 4);
  std::printf("compaction (%lld us): %d of %d rounds killed, %d opened through the backup\n",
              static_cast<long long>(duration.count()), killed, kRounds, restored);
}

TEST_F(CrashTest, AKilledMoveLeavesEveryEntryInOneCatalogueOrBoth) {
  const std::string sourceStart = temp.file("sourceStart");
  const std::string targetStart = temp.file("targetStart");
  cataloguetest::makeCatalogueFolder(sourceStart);
  cataloguetest::makeCatalogueFolder(targetStart);
  fillCatalogue(sourceStart, "a", 8, 3, 1);
  fillCatalogue(targetStart, "b", 3, 1, 1);
  std::set<std::string> expected;
  for (const std::string& folder : {sourceStart, targetStart}) {
    SqliteDatabase db;
    db.openShared(FolderDatabase::CataloguePath(folder));
    for (const std::string& line : itemLines(db)) expected.insert(line);
  }
  ASSERT_EQ(expected.size(), 8u + 9u + 3u + 3u);

  const std::string source = temp.file("source");
  const std::string target = temp.file("target");
  auto moveAll = [&] {
    FolderDatabase from, to;
    if (from.OpenFolder(source, false) != 0 || to.OpenFolder(target, false) != 0) return 1;
    // A killed process leaves its writes in the system's cache, so waiting
    // for the disk at each commit would only slow the rounds down.
    from.Engine().executeScript("PRAGMA synchronous = OFF;");
    to.Engine().executeScript("PRAGMA synchronous = OFF;");
    std::vector<EntryRef> entries;
    {
      Statement rows(from.Engine(),
                     "SELECT 0, ItemNo FROM ItemMST WHERE StackNo IS NULL UNION ALL "
                     "SELECT 1, StackNo FROM StackMST");
      while (rows.step()) entries.push_back({rows.intAt(0), rows.intAt(1)});
    }
    for (const EntryRef& entry : entries) {
      EntryRef made;
      if (from.MoveTo(entry.Kind, entry.No, to, made) != 0) return 2;
    }
    return 0;
  };
  auto reset = [&] {
    resetFolder(source, FolderDatabase::CataloguePath(sourceStart), "");
    resetFolder(target, FolderDatabase::CataloguePath(targetStart), "");
  };
  const auto duration = timeInChild(moveAll, reset);

  int killed = 0, restored = 0, duplicated = 0;
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    reset();
    const auto delay = std::chrono::microseconds(random() % (duration.count() + 1));
    killed += runAndKill(moveAll, delay);

    std::multiset<std::string> found;
    for (const std::string& folder : {source, target}) {
      FolderDatabase db;
      ASSERT_TRUE(openAfterCrash(db, folder, restored));
      EXPECT_EQ(integrity(db.Engine()), "ok");
      EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(db));
      for (const std::string& line : itemLines(db.Engine())) found.insert(line);
    }
    EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), expected);
    duplicated += found.size() > expected.size();
  }
  EXPECT_GT(killed, kRounds / 4);
  std::printf("move (%lld us): %d of %d rounds killed, %d left an entry in both catalogues\n",
              static_cast<long long>(duration.count()), killed, kRounds, duplicated);
}

}  // namespace
