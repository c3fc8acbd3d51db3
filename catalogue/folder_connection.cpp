#include "catalogue/folder_connection.h"

#include "catalogue/recordsets.h"

#include <sqlite3.h>

#include <sys/stat.h>

int FolderConnection::fail(int code, std::string message) {
  lastError_.code = code;
  lastError_.message = std::move(message);
  return code;
}

int FolderConnection::failEngine(const DbException& e, std::string message) {
  lastError_.daoErrorCode = e.engineCode();
  lastError_.source = DbException::kSource;
  lastError_.description = e.description();
  lastError_.helpFile.clear();
  lastError_.helpContext = 0;
  return fail(dbresult::kEngine, std::move(message));
}

int FolderConnection::failFile(int error, std::string message) {
  lastError_.systemError = static_cast<std::uint32_t>(error);
  return fail(dbresult::kCopyFailed, std::move(message));
}

int FolderConnection::checkWritable(const char* notOpen, const char* readOnly, const char* looping) {
  if (!isOpen()) return fail(dbresult::kNotOpen, notOpen);
  if (!canUpdate()) return fail(dbresult::kReadOnly, readOnly);
  if (looping && enumerationRunning()) return fail(dbresult::kEnumeration, looping);
  return dbresult::kOk;
}

int FolderConnection::countPages(int stackNo) {
  CountRecordset count(database_);
  count.open(OpenType::Snapshot, "SELECT Count(*) AS Count FROM ItemMST WHERE StackNo = ?", stackNo);
  return count.isEOF() ? 0 : count->Count;
}

bool FolderConnection::stackExists(int stackNo) {
  Statement stack(database_, "SELECT 1 FROM StackMST WHERE StackNo = ?");
  stack.bind(1, stackNo);
  return stack.step();
}

bool FolderConnection::IsHeldOpen(const std::string& cataloguePath) {
  struct stat st {};
  if (::stat(cataloguePath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
  SqliteDatabase probe;
  try {
    probe.openExclusive(cataloguePath, true);
  } catch (const DbException& e) {
    const int code = e.engineCode() & 0xFF;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
  } catch (const std::bad_alloc&) {
  }
  return false;
}
