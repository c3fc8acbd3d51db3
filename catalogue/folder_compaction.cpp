// Compaction, backup and restore of a folder's catalogue file.
//
//   CompactFolder      renumber from 1, keep the result as info.bk, put a
//                      compacted copy in place as info.mdb
//   RestoreFromBackup  info.bk back as info.mdb (never over a catalogue that
//                      someone holds open)
//   RecoverInterruptedCompaction  the backup back where a compaction was cut
//                      between its renames
//
// Compaction runs at every open of a folder, so it must be quick and it must
// never lose the catalogue. The order of the file steps keeps a whole
// catalogue file in the folder at every moment, whatever kills the process:
//   1. renumber inside one transaction of info.mdb (a crash rolls back);
//   2. while info.mdb is still open and locked, VACUUM INTO a hidden work
//      file beside it, and flush that file to disk;
//   3. close, rename info.mdb over info.bk (atomic: the old backup stays
//      whole until the new one replaces it);
//   4. rename the work file to info.mdb (it cannot replace anything).
// Between 3 and 4 only info.bk exists, and it is whole; the next look at the
// folder (DoesFolderExist, OpenFolder) puts it back before anything else
// reads the folder. A failure in steps 1-2 leaves info.mdb as it was.

#include "catalogue/folder_compaction.h"

#include "catalogue/folder_database.h"

#include "platform/file_ops.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

namespace {

constexpr const char* kCompactWorkFileName = ".info.mdb.compact";
constexpr const char* kFileErrorMessage =
    "データベースファイルのコピーまたは削除に失敗しました。 : CompactFolder";

void (*gFileStepHook)() = nullptr;

void fileStep() {
  if (gFileStepHook) gFileStepHook();
}

std::string withoutTrailingSlash(const std::string& folder) {
  if (folder.size() > 1 && folder.back() == '/') return folder.substr(0, folder.size() - 1);
  return folder;
}

// errno of the failed step, 0 when the file's data reached the disk.
int syncFile(const std::string& path) {
  fileStep();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int error = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return error;
}

// Makes the renames of a folder durable; a failure only weakens that, so it
// is not reported.
void syncFolder(const std::string& folder) {
  fileStep();
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

int removeIfPresent(const std::string& path) {
  fileStep();
  if (::unlink(path.c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

// One table whose key column follows a renumbering: the statement that
// renumbers one key, and the keys present, so that no statement runs for
// keys the table does not hold (most items have no comment, keyword,
// creator or box).
struct Follower {
  const char* update;
  const char* present;  // nullptr: every number is present
};

std::vector<int> readNumbers(SqliteDatabase& db, const char* sql) {
  std::vector<int> numbers;
  Statement rows(db, sql);
  while (rows.step()) numbers.push_back(rows.intAt(0));
  return numbers;
}

// Gives the numbers new ones 1, 2, 3, ... in ascending order. Because the
// rows come in ascending order, the new number is always free when it is
// given, in the table and in every table that follows it.
void renumber(SqliteDatabase& db, const char* numbersSql, std::initializer_list<Follower> followers) {
  const std::vector<int> numbers = readNumbers(db, numbersSql);
  struct Prepared {
    std::unique_ptr<Statement> statement;
    bool all;
    std::unordered_set<int> present;
  };
  std::vector<Prepared> tables;
  for (const Follower& f : followers) {
    Prepared p{std::make_unique<Statement>(db, f.update), f.present == nullptr, {}};
    if (f.present)
      for (const int no : readNumbers(db, f.present)) p.present.insert(no);
    tables.push_back(std::move(p));
  }
  int next = 1;
  for (const int old : numbers) {
    if (old != next) {
      for (Prepared& table : tables) {
        if (!table.all && !table.present.count(old)) continue;
        table.statement->reset();
        table.statement->bindAll(next, old);
        table.statement->run();
      }
    }
    ++next;
  }
}

}  // namespace

int FolderCompaction::CompactFolder(FolderDatabase& database, const std::string& folder) {
  if (const int opened = database.OpenFolder(folder, false); opened != dbresult::kOk)
    return connection_.fail(opened, connection_.lastError().message + ":CompactFolder");
  const std::string folderPath = connection_.folderPath();
  const std::string work = platform::joinPath(folderPath, kCompactWorkFileName);

  // A work file left by a compaction that was cut short is of no use.
  if (const int error = removeIfPresent(work); error != 0) {
    database.CloseFolder();
    return connection_.failFile(error, kFileErrorMessage);
  }

  int result = connection_.guard("CDaoException : CompactFolder", "MemoryException : CompactFolder", [&] {
    Transaction transaction(connection_.db());
    renumber(connection_.db(), "SELECT ItemNo FROM ItemMST ORDER BY ItemNo",
             {{"UPDATE ItemMST set ItemNo = ? WHERE ItemNo = ?", nullptr},
              {"UPDATE CreatorMST set ItemNo = ? WHERE ItemNo = ?", "SELECT ItemNo FROM CreatorMST"},
              {"UPDATE KeywordMST set ItemNo = ? WHERE ItemNo = ?", "SELECT ItemNo FROM KeywordMST"},
              {"UPDATE CommentMST set ItemNo = ? WHERE ItemNo = ?", "SELECT ItemNo FROM CommentMST"},
              {"UPDATE ThumbMST set ItemNo = ? WHERE ItemNo = ?", "SELECT ItemNo FROM ThumbMST"},
              {"UPDATE AnnBoxMST set ItemNo = ? WHERE ItemNo = ?", "SELECT ItemNo FROM AnnBoxMST"}});
    renumber(connection_.db(), "SELECT StackNo FROM StackMST ORDER BY StackNo",
             {{"UPDATE StackMST set StackNo = ? WHERE StackNo = ?", nullptr},
              {"UPDATE ItemMST set StackNo = ? WHERE StackNo = ?",
               "SELECT StackNo FROM ItemMST WHERE StackNo IS NOT NULL"}});
    transaction.commit();
    return dbresult::kOk;
  });
  if (result == dbresult::kOk) {
    result = connection_.guard("CDaoError CompactDatabaseに失敗しました。 : CompactFolder",
                               "MemoryException CDaoError CompactDatabaseに失敗しました。 : CompactFolder", [&] {
                                 connection_.db().execute("VACUUM INTO ?", work);
                                 return dbresult::kOk;
                               });
  }
  if (result != dbresult::kOk) {
    // Nothing of the folder's files has changed: the catalogue is closed
    // again, so the next open does not find it open.
    const DbLastError failure = connection_.lastError();
    database.CloseFolder();
    connection_.lastError() = failure;
    removeIfPresent(work);
    return result;
  }
  if (const int closed = database.CloseFolder(); closed != dbresult::kOk) {
    removeIfPresent(work);
    return connection_.fail(closed, connection_.lastError().message + ":CompactFolder");
  }

  const std::string catalogue = FolderDatabase::CataloguePath(folderPath);
  const std::string backup = platform::joinPath(folderPath, kBackupFileName);
  // The engine does not flush a VACUUM INTO copy; it must be on disk before
  // it takes the catalogue's name.
  if (const int error = syncFile(work); error != 0) {
    removeIfPresent(work);
    return connection_.failFile(error, kFileErrorMessage);
  }
  // The journal of a cleanly closed catalogue holds nothing to roll back; it
  // must not stay beside the new file.
  removeIfPresent(catalogue + "-journal");
  fileStep();
  if (::rename(catalogue.c_str(), backup.c_str()) != 0) {
    const int error = errno;
    removeIfPresent(work);
    return connection_.failFile(error, kFileErrorMessage);
  }
  fileStep();
  if (const int error = platform::renameNoReplace(work, catalogue); error != 0) {
    // info.bk is whole; the caller puts it back.
    removeIfPresent(work);
    return connection_.failFile(error, kFileErrorMessage);
  }
  syncFolder(folderPath);
  return dbresult::kOk;
}

void FolderCompaction::SetFileStepHook(void (*hook)()) { gFileStepHook = hook; }

int FolderCompaction::RecoverInterruptedCompaction(const std::string& folder) {
  const std::string folderPath = withoutTrailingSlash(folder);
  struct stat st {};
  // Anything under the catalogue's name (a damaged file included) is for
  // the callers' own checks; only a missing catalogue beside a backup is
  // what a cut compaction leaves.
  if (::lstat(FolderDatabase::CataloguePath(folderPath).c_str(), &st) == 0 || errno != ENOENT) return dbresult::kOk;
  const std::string backup = platform::joinPath(folderPath, kBackupFileName);
  if (::stat(backup.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return dbresult::kOk;
  // The backup is whole at every moment of a compaction, and holds what the
  // work file holds; the work file may be a fragment of an older attempt.
  if (const int restored = RestoreFromBackup(folderPath); restored != dbresult::kOk) return restored;
  removeIfPresent(platform::joinPath(folderPath, kCompactWorkFileName));
  recoveryNotice_ = true;
  return dbresult::kOk;
}

int FolderCompaction::RestoreFromBackup(const std::string& folder) {
  const std::string folderPath = withoutTrailingSlash(folder);
  const std::string backup = platform::joinPath(folderPath, kBackupFileName);
  struct stat st {};
  if (::stat(backup.c_str(), &st) != 0) return dbresult::kOk;
  const std::string catalogue = FolderDatabase::CataloguePath(folderPath);
  // A catalogue that someone holds open is busy, not damaged: copied over,
  // the holder's later writes would go to a file without a name.
  if (FolderConnection::IsHeldOpen(catalogue)) return connection_.failFile(EBUSY, "コピーに失敗 : RestoreFromBackup");
  // A journal left by a transaction that a crash cut short belongs to the
  // file being replaced; applied to the backup it would corrupt it. It goes
  // first: should the copy then fail, the backup is still there to retry.
  if (const int error = removeIfPresent(catalogue + "-journal"); error != 0)
    return connection_.failFile(error, "コピーに失敗 : RestoreFromBackup");
  fileStep();
  if (const int error = platform::copyFileReplacing(backup, catalogue); error != 0)
    return connection_.failFile(error, "コピーに失敗 : RestoreFromBackup");
  return dbresult::kOk;
}
