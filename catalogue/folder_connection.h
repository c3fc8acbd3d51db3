#pragma once
// What the parts of a folder's catalogue share: the one connection to
// info.mdb, the folder it belongs to, and the last failure.
//
//   dbresult         the result codes of every catalogue operation
//   DbLastError      the last failure: code, message, the engine's fields
//   FolderConnection the connection with its folder and last failure, and
//                    the conventions every operation follows: fail records
//                    a failure and returns its code, guard turns engine and
//                    memory failures into codes, checkWritable refuses
//                    changes to a closed or read-only catalogue, and
//                    first/next/post run an enumeration's three operations
//                    around its cursor
//
// FolderDatabase owns one FolderConnection and hands it to each of its
// parts (FolderItems, FolderStacks, FolderAnnotations, ...), so that a part
// works on the open catalogue without knowing the others.

#include "catalogue/enumeration_cursor.h"
#include "catalogue/sqlite_database.h"

#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <utility>

// Result codes of every catalogue operation.
namespace dbresult {
inline constexpr int kOk = 0;
inline constexpr int kBadArgument = 10;      // or record not found
inline constexpr int kEnumeration = 20;      // enumeration running / not started
inline constexpr int kAlreadyOpen = 30;
inline constexpr int kNotOpen = 40;
inline constexpr int kReadOnly = 50;
inline constexpr int kInconsistent = 60;
inline constexpr int kOutOfMemory = 100;
inline constexpr int kEngine = 120;
inline constexpr int kCopyFailed = 140;
inline constexpr int kDuplicateItem = -20;   // silent: callers pick another title
}  // namespace dbresult

struct DbLastError {
  std::int32_t code = 0;
  std::string message;
  // The engine's fields; set with code 120 only.
  std::int32_t daoErrorCode = 0;
  std::string source;
  std::string description;
  std::string helpFile;
  std::int32_t helpContext = 0;
  // errno of a failed template copy; set with code 140 only.
  std::uint32_t systemError = 0;
};

class FolderConnection {
 public:
  FolderConnection() = default;
  FolderConnection(const FolderConnection&) = delete;
  FolderConnection& operator=(const FolderConnection&) = delete;

  SqliteDatabase& db() { return database_; }
  bool isOpen() const { return database_.isOpen(); }
  bool canUpdate() const { return database_.canUpdate(); }
  // Without trailing slash; empty when closed.
  const std::string& folderPath() const { return folderPath_; }
  void setFolderPath(std::string path) { folderPath_ = std::move(path); }
  DbLastError& lastError() { return lastError_; }
  const DbLastError& lastError() const { return lastError_; }

  // Records a failure and returns its code.
  int fail(int code, std::string message);
  // 120 with message and the engine's fields.
  int failEngine(const DbException& e, std::string message);
  // 140 with message and the system error of a failed file step.
  int failFile(int error, std::string message);
  // Runs body (which returns a result code), turning an engine failure into
  // 120 with daoMessage and the engine's fields, and running out of memory
  // into 100 with memoryMessage; nothing escapes.
  template <typename Body>
  int guard(const char* daoMessage, const char* memoryMessage, Body&& body);
  // 40 or 50 with the given message, else 0; with a loop message, also 20
  // while an item or stack enumeration runs.
  int checkWritable(const char* notOpen, const char* readOnly, const char* looping = nullptr);
  // How to ask whether an item or stack enumeration runs; the owner of the
  // enumerations tells.
  void setEnumerationProbe(std::function<bool()> running) { enumerationRunning_ = std::move(running); }
  bool enumerationRunning() const { return enumerationRunning_ && enumerationRunning_(); }

  // The three operations of an enumeration around its cursor. first (re)opens
  // it with open(reader); next hands the current row to fill (which returns a
  // result code) and steps on when fill succeeds, or at the end calls atEnd
  // and sets end to 1; post closes it.
  template <typename Reader, typename Open>
  int first(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts, Open&& open);
  template <typename Reader, typename Fill, typename AtEnd>
  int next(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts, int& end, AtEnd&& atEnd,
           Fill&& fill);
  template <typename Reader>
  int post(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts);

  // Another connection (of this or another process) holds the catalogue
  // file open.
  static bool IsHeldOpen(const std::string& cataloguePath);

  // Rows every part asks about.
  int countPages(int stackNo);
  bool stackExists(int stackNo);

 private:
  SqliteDatabase database_;
  std::string folderPath_;
  DbLastError lastError_;
  std::function<bool()> enumerationRunning_;
};

template <typename Body>
int FolderConnection::guard(const char* daoMessage, const char* memoryMessage, Body&& body) {
  try {
    return body();
  } catch (const DbException& e) {
    return failEngine(e, daoMessage);
  } catch (const std::bad_alloc&) {
    return fail(dbresult::kOutOfMemory, memoryMessage);
  }
}

template <typename Reader, typename Open>
int FolderConnection::first(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts, Open&& open) {
  if (!isOpen()) return fail(dbresult::kNotOpen, texts.firstNotOpen);
  return guard(texts.firstEngine, texts.firstMemory, [&] {
    cursor.start(open);
    return dbresult::kOk;
  });
}

template <typename Reader, typename Fill, typename AtEnd>
int FolderConnection::next(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts, int& end,
                           AtEnd&& atEnd, Fill&& fill) {
  if (!isOpen() || !cursor.running()) return fail(texts.nextNotRunningCode, texts.nextNotRunning);
  return guard(texts.nextEngine, texts.nextMemory, [&] {
    if (cursor.atEnd()) {
      atEnd();
      end = 1;
      return dbresult::kOk;
    }
    if (const int code = fill(cursor.reader()); code != dbresult::kOk) return code;
    end = 0;
    cursor.advance();
    return dbresult::kOk;
  });
}

template <typename Reader>
int FolderConnection::post(EnumerationCursor<Reader>& cursor, const EnumerationTexts& texts) {
  if (!isOpen() || (texts.postNeedsRunning && !cursor.running()))
    return fail(texts.postNotRunningCode, texts.postNotRunning);
  cursor.stop();
  return dbresult::kOk;
}
