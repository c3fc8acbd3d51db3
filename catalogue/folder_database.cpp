#include "catalogue/folder_database.h"

#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"

#include <sqlite3.h>

#include <dirent.h>
#include <sys/stat.h>

#include <QLoggingCategory>
#include <QString>

#include <cerrno>
#include <new>
#include <set>
#include <utility>
#include <vector>

namespace {

Q_LOGGING_CATEGORY(lcCatalogue, "brindel.catalogue")

const FolderDatabase* gActiveDatabase = nullptr;

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// A catalogue whose header is whole may still be damaged inside (a torn
// write, a disk error): read as it is, it would show an empty or partial
// folder and take new rows into broken pages. The quick check reads every
// page once, which a compaction does anyway, and skips only the index-to-
// table cross checks.
void checkIntegrity(SqliteDatabase& db) {
  Statement check(db, "PRAGMA quick_check(1)");
  if (!check.step()) throw DbException(SQLITE_CORRUPT, "quick_check gave no answer");
  const std::string verdict = check.textAt(0);
  if (verdict != "ok") throw DbException(SQLITE_CORRUPT, verdict);
}

// The columns the program reads and writes, table by table: a catalogue
// that lacks one is not one the program can use.
void checkSchema(SqliteDatabase& db) {
  static const std::vector<std::pair<const char*, std::vector<const char*>>> kColumns = {
      {"ItemMST",
       {"ItemNo", "ItemTitle", "ItemExt", "ImageLevel", "OLELevel", "FullTextLevel", "TextExt", "OfficialDate",
        "LastModifiedDate", "LastAccessedDate", "StackNo", "PageNo", "SingleItemPosX", "SingleItemPosY",
        "SearchHit"}},
      {"StackMST",
       {"StackNo", "StackTitle", "OfficialDate", "LastModifiedDate", "LastAccessedDate", "CurPageNo",
        "StackPosX", "StackPosY", "SearchHit"}},
      {"ThumbMST", {"ItemNo", "ThumbDateTime", "ThumbSizeX", "ThumbSizeY", "ThumbData"}},
      {"AnnBoxMST",
       {"ID", "ItemNo", "AnnType", "BoxTop", "BoxLeft", "BoxBottom", "BoxRight", "FontName", "FontSize",
        "FontBold", "FontItalic", "FontUnderline", "FontStrikeOut", "FontCharSet", "FontFamily", "AnnParam1",
        "AnnParam2", "AnnParam3", "ForeColor", "BackColor", "BoxString"}},
      {"CommentMST", {"ItemNo", "Comment"}},
      {"KeywordMST", {"ItemNo", "Keyword"}},
      {"CreatorMST", {"ItemNo", "Creator"}},
      {"ItemTRN", {"ItemNo", "StackNo"}},
      {"SortTRN", {"ItemNo", "StackNo", "Title", "OfficialDate", "LastModifiedDate", "LastAccessedDate"}},
      {"SysEnv", {"DatabaseVersion", "ApplicationVersion"}},
  };
  std::set<std::string> present;
  Statement columns(db,
                    "SELECT m.name || '.' || lower(c.name) FROM sqlite_master AS m, pragma_table_info(m.name) AS c "
                    "WHERE m.type = 'table'");
  while (columns.step()) present.insert(columns.textAt(0));
  for (const auto& [table, names] : kColumns)
    for (const char* name : names) {
      const std::string wanted = std::string(table) + "." + QString::fromLatin1(name).toLower().toStdString();
      if (!present.count(wanted))
        throw DbException(SQLITE_CORRUPT, "the catalogue has no column " + std::string(table) + "." + name);
    }
}

// One trailing slash goes, as the catalogue's folder paths are kept.
std::string withoutOneTrailingSlash(const std::string& folder) {
  if (folder.size() > 1 && folder.back() == '/') return folder.substr(0, folder.size() - 1);
  return folder;
}

}  // namespace

FolderDatabase::FolderDatabase() {
  connection_.setEnumerationProbe([this] { return EnumerationRunning(); });
}

FolderDatabase::~FolderDatabase() {
  if (IsOpen()) CloseFolder();
  if (gActiveDatabase == this) gActiveDatabase = nullptr;
}

std::string FolderDatabase::CataloguePath(const std::string& folder) {
  return platform::joinPath(withoutOneTrailingSlash(folder), kCatalogueFileName);
}

// ---- DoesFolderExist ------------------------------------------------------

int FolderDatabase::DoesFolderExist(const std::string& folder, int& isCatalogue, int& version) {
  isCatalogue = 0;
  if (IsOpen())
    return SetError(dbresult::kAlreadyOpen, "すでにデータベースがオープンされています。:DoesFolderExist");
  if (folder.empty()) return SetError(dbresult::kBadArgument, "文字列が、空文字列です。:DoesFolderExist");
  if (!isDirectory(folder))
    return SetError(dbresult::kBadArgument, "指定されたディレクトリが在りません。:DoesFolderExist");
  if (const int recovered = compaction_.RecoverInterruptedCompaction(folder); recovered != dbresult::kOk)
    return SetError(recovered, connection_.lastError().message + ":DoesFolderExist");
  const std::string path = CataloguePath(folder);
  if (!isRegularFile(path)) return dbresult::kOk;

  // The database is closed again on every path, failures included, so that
  // a caller can repair the folder and test it again.
  const int result = Guard("DAOのエラーです。:DoesFolderExist", "MemoryException :DoesFolderExist", [&] {
    connection_.db().openExclusive(path, false);
    checkIntegrity(connection_.db());
    VersionRecordset versionRows(connection_.db());
    versionRows.open(OpenType::Snapshot, "SELECT * FROM SysEnv");
    if (versionRows.isEOF()) {
      versionRows.close();
      connection_.db().close();
      return SetError(dbresult::kBadArgument, "FDDBのデータベースではありません。:DoesFolderExist");
    }
    checkSchema(connection_.db());
    version = versionRows->DatabaseVersion;
    if (versionRows->ApplicationVersion == "1.0") {
      // The first format kept no full-text level for web pages and mails.
      Transaction upgrade(connection_.db());
      connection_.db().execute(
          "UPDATE ItemMST SET FullTextLevel = 1 WHERE ItemExt IN('html','htm','mht','mhtml','eml')");
      connection_.db().execute("UPDATE SysEnv SET ApplicationVersion = ?", "3.0");
      upgrade.commit();
    }
    versionRows.close();
    connection_.db().close();
    isCatalogue = 1;
    return dbresult::kOk;
  });
  connection_.db().close();
  return result;
}

// ---- InitFolder -----------------------------------------------------------

int FolderDatabase::InitFolder(const std::string& source, const std::string& target) {
  if (source.empty() || target.empty() || source == target ||
      withoutOneTrailingSlash(source) == withoutOneTrailingSlash(target))
    return SetError(dbresult::kBadArgument,
                    "指定されたFolderが空文字列か、または一致しています:InitFolder");
  int exists = 0, version = 0;
  const int tested = DoesFolderExist(source, exists, version);
  if (tested != dbresult::kOk) return SetError(tested, connection_.lastError().message + ":InitFolder");
  if (!exists)
    return SetError(dbresult::kBadArgument, "コピー元 (" + source + ") が在りません:InitFolder");
  if (!isDirectory(target))
    return SetError(dbresult::kBadArgument, "コピー先 (" + target + ") が在りません: InitFolder");

  const std::string to = CataloguePath(target);
  // A catalogue that someone holds open is not replaced under them: their
  // later changes would go to a file that no longer has a name.
  if (FolderConnection::IsHeldOpen(to)) {
    connection_.lastError().systemError = EBUSY;
    return SetError(dbresult::kCopyFailed, "コピーに失敗");
  }
  const int error = platform::copyFileReplacing(CataloguePath(source), to);
  if (error != 0) {
    connection_.lastError().systemError = static_cast<std::uint32_t>(error);
    return SetError(dbresult::kCopyFailed, "コピーに失敗");
  }
  return dbresult::kOk;
}

bool FolderDatabase::IsInUse(const DbLastError& error) {
  const int code = error.daoErrorCode & 0xFF;
  return error.code == dbresult::kEngine && (code == SQLITE_BUSY || code == SQLITE_LOCKED);
}

bool FolderDatabase::IsDamaged(const DbLastError& error) {
  const int code = error.daoErrorCode & 0xFF;
  return error.code == dbresult::kEngine && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB);
}

// ---- OpenFolder / CloseFolder ---------------------------------------------

int FolderDatabase::OpenFolder(const std::string& folder, bool readOnly) {
  if (folder.empty()) return SetError(dbresult::kBadArgument, "空文字列が指定されました :OpenFolder");
  if (IsOpen()) return SetError(dbresult::kAlreadyOpen, "すでにDBがオープンされています。:OpenFolder");
  connection_.setFolderPath(withoutOneTrailingSlash(folder));
  const std::string& folderPath = connection_.folderPath();
  if (const int recovered = compaction_.RecoverInterruptedCompaction(folderPath); recovered != dbresult::kOk)
    return SetError(recovered, connection_.lastError().message + ":OpenFolder");
  return Guard("DAOのエラーです。:OpenFolder", "MemoryException :OpenFolder", [&] {
    connection_.db().openExclusive(CataloguePath(folderPath), readOnly);
    try {
      // Held exclusively now: no copy into this folder is under way.
      if (!readOnly) RemoveLeftoverCopies();
    } catch (...) {
      connection_.db().close();
      throw;
    }
    return dbresult::kOk;
  });
}

void FolderDatabase::RemoveLeftoverCopies() {
  const std::string& folderPath = connection_.folderPath();
  std::vector<std::pair<std::string, std::string>> leftovers;  // partial name, the name it was made for
  if (DIR* dir = ::opendir(folderPath.c_str())) {
    while (const dirent* entry = ::readdir(dir))
      if (auto target = platform::partialCopyTarget(entry->d_name)) leftovers.emplace_back(entry->d_name, *target);
    ::closedir(dir);
  }
  if (leftovers.empty()) return;
  // The files the rows name, whatever their case: one of them is never
  // removed, whoever made it.
  std::set<std::string> named;
  Statement rows(connection_.db(), "SELECT ItemTitle, ItemExt, TextExt FROM ItemMST");
  while (rows.step()) {
    // ItemTitle holds the file name; the attached text adds TextExt to it.
    // Keeping more names than needed only ever keeps a file.
    const std::string name = rows.textAt(0);
    named.insert(platform::asciiUpper(name));
    if (!rows.textAt(1).empty()) named.insert(platform::asciiUpper(name + "." + rows.textAt(1)));
    if (!rows.textAt(2).empty()) named.insert(platform::asciiUpper(name + "." + rows.textAt(2)));
  }
  for (const auto& [partialName, targetName] : leftovers) {
    const std::string partial = platform::joinPath(folderPath, partialName);
    const std::string target = platform::joinPath(folderPath, targetName);
    struct stat partialStat {}, targetStat {};
    if (::lstat(partial.c_str(), &partialStat) != 0 || !S_ISREG(partialStat.st_mode)) continue;
    // Still linked to the partial name, the placed file is the copy a
    // killed transfer made and never recorded.
    if (::lstat(target.c_str(), &targetStat) == 0 && S_ISREG(targetStat.st_mode) &&
        targetStat.st_dev == partialStat.st_dev && targetStat.st_ino == partialStat.st_ino &&
        !named.count(platform::asciiUpper(targetName))) {
      qCInfo(lcCatalogue).noquote() << "removing an unrecorded copy" << QString::fromStdString(target);
      ::unlink(target.c_str());
    }
    qCInfo(lcCatalogue).noquote() << "removing a partial copy" << QString::fromStdString(partial);
    ::unlink(partial.c_str());
  }
}

int FolderDatabase::CloseFolder() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "すでにDBがクローズされています: CloseFolder");
  return Guard("DAOのエラーです。: CloseFolder", "MemoryException: CloseFolder", [&] {
    if (const int ended = EndRunningEnumerations(); ended != dbresult::kOk) return ended;
    // What the caller began and never committed is undone, innermost first.
    while (!callerTransactions_.empty()) callerTransactions_.pop_back();
    connection_.db().close();
    connection_.setFolderPath({});
    return dbresult::kOk;
  });
}

// ---- emptiness ------------------------------------------------------------

int FolderDatabase::IsEmptyCatalogue(int& empty) {
  empty = 0;
  int rows = 0;
  const int counted = ReadCount("IsEmptyCatalogue",
                                "SELECT (SELECT Count(*) FROM ItemMST) + (SELECT Count(*) FROM StackMST) + "
                                "(SELECT Count(*) FROM ThumbMST) + (SELECT Count(*) FROM AnnBoxMST) + "
                                "(SELECT Count(*) FROM CommentMST) + (SELECT Count(*) FROM KeywordMST) + "
                                "(SELECT Count(*) FROM CreatorMST) AS Count",
                                rows);
  if (counted != dbresult::kOk) return counted;
  if (rows == 0) {
    empty = 1;
    return dbresult::kOk;
  }
  int singles = 0, stacks = 0;
  if (const int code = GetSingleItemCount(singles); code != dbresult::kOk) return code;
  if (const int code = GetStackCount(stacks); code != dbresult::kOk) return code;
  if (singles == 0 && stacks == 0)
    return SetError(dbresult::kInconsistent, "データベース壊れました。: IsEmptyCatalogue");
  return dbresult::kOk;
}

// ---- the caller's transactions -------------------------------------------

int FolderDatabase::BeginTransaction() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: BeginTransaction");
  return Guard("DAOのエラーです。: BeginTransaction", "MemoryException : BeginTransaction", [&] {
    callerTransactions_.push_back(std::make_unique<Transaction>(connection_.db()));
    return dbresult::kOk;
  });
}

int FolderDatabase::CommitTransaction() { return EndTransaction(true, "CommitTransaction"); }

int FolderDatabase::RollbackTransaction() { return EndTransaction(false, "RollbackTransaction"); }

int FolderDatabase::EndTransaction(bool commit, const std::string& operation) {
  if (callerTransactions_.empty())
    return SetError(dbresult::kBadArgument, "トランザクションが開始されていません。: " + operation);
  // The transaction leaves the list whatever the outcome: a failed commit
  // rolls it back as it is destroyed.
  std::unique_ptr<Transaction> transaction = std::move(callerTransactions_.back());
  callerTransactions_.pop_back();
  return Guard(("DAOのエラーです。: " + operation).c_str(), ("MemoryException : " + operation).c_str(), [&] {
    if (commit)
      transaction->commit();
    else
      transaction->rollback();
    return dbresult::kOk;
  });
}

int FolderDatabase::EndRunningEnumerations() {
  // The readers hold no engine state, so ending one cannot fail.
  enumeration_.stopAll();
  annotations_.stop();
  return dbresult::kOk;
}

// ---- the reporter ---------------------------------------------------------

void SetActiveFolderDatabase(const FolderDatabase* database) { gActiveDatabase = database; }

int ShowLastDbError(int code, bool silentNegative) {
  if (code == 0) return 0;
  if (silentNegative && code < 0) return code;
  // Always the message of the document's own catalogue, also when the
  // failing object was another one: callers with their own instance format
  // their own message.
  if (gActiveDatabase) {
    const std::string& message = gActiveDatabase->GetDbLastError().message;
    qCWarning(lcCatalogue).noquote() << "catalogue error" << code << QString::fromStdString(message);
    platform::messageBox(DbMessageForUser(message), platform::Buttons::Ok, platform::Icon::Warning);
  }
  return code;
}

std::string DbMessageForUser(const std::string& message) {
  // Operation names are ASCII identifiers, joined with a colon as the
  // failure passed up through them; nothing else in a message ends so.
  const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  const auto isIdentifier = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
  };
  std::size_t end = message.size();
  for (;;) {
    std::size_t at = end;
    while (at > 0 && isSpace(message[at - 1])) --at;
    const std::size_t nameEnd = at;
    while (at > 0 && isIdentifier(message[at - 1])) --at;
    // An identifier does not start with a digit.
    if (at == nameEnd || (message[at] >= '0' && message[at] <= '9')) break;
    while (at > 0 && isSpace(message[at - 1])) --at;
    if (at == 0 || message[at - 1] != ':') break;
    --at;
    while (at > 0 && isSpace(message[at - 1])) --at;
    end = at;
  }
  return end == 0 ? message : message.substr(0, end);
}
