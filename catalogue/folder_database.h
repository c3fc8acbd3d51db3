#pragma once
// One folder's catalogue: the file info.mdb in the folder directory.
//
//   FolderDatabase   opens one folder's catalogue at a time, exclusively;
//                    every operation returns a result code (below) and keeps
//                    the last failure in a DbLastError record
//   DbLastError      the last failure: code, message, the engine's fields
//   ShowLastDbError  shows the message of the active document's catalogue
//   SetActiveFolderDatabase  tells the reporter which catalogue that is
//
// Life cycle: closed → OpenFolder → open → CloseFolder (or destructor) →
// closed. DoesFolderExist and InitFolder work on a closed object only.
// While open, the owned recordsets exist; an enumeration runs while its
// recordset is open.
//
// Exclusive use: the catalogue file stays locked while it is open, so a
// second FolderDatabase of this or another process cannot open it (120).
// A read-only open refuses every change with 50.

#include "catalogue/ann_box.h"
#include "catalogue/recordsets.h"
#include "catalogue/sqlite_database.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

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

// The catalogue version that SysEnv.DatabaseVersion holds in every catalogue
// this program makes.
inline constexpr int kCatalogueDatabaseVersion = 10000;

class FolderDatabase {
 public:
  static constexpr const char* kCatalogueFileName = "info.mdb";

  FolderDatabase();
  ~FolderDatabase();
  FolderDatabase(const FolderDatabase&) = delete;
  FolderDatabase& operator=(const FolderDatabase&) = delete;

  // Tests whether the directory folder holds a catalogue of this system and
  // upgrades one of the first format. isCatalogue is 0 first, 1 when valid
  // (version then holds SysEnv.DatabaseVersion). Leaves the object closed.
  int DoesFolderExist(const std::string& folder, int& isCatalogue, int& version);
  // Gives target a catalogue by copying source's (the "db" folder holds the
  // empty template) over it.
  int InitFolder(const std::string& source, const std::string& target);
  int OpenFolder(const std::string& folder, bool readOnly);
  int CloseFolder();

  bool IsOpen() const { return database_.isOpen(); }
  // The engine's own can-update property of the open catalogue.
  bool CanUpdate() const { return database_.canUpdate(); }
  // Without trailing slash; empty when closed (and after a failed open,
  // the folder that was asked for).
  const std::string& FolderPath() const { return folderPath_; }
  DbLastError GetDbLastError() const { return lastError_; }
  // The open connection, for the search database and for tests that look at
  // rows directly; catalogue changes go through the operations.
  SqliteDatabase& Engine() { return database_; }

  // The path of a folder's catalogue: one trailing slash dropped, "info.mdb"
  // appended.
  static std::string CataloguePath(const std::string& folder);

  // ---- compaction, backup and restore --------------------------------------
 public:
  static constexpr const char* kBackupFileName = "info.bk";
  // Renumbers items and stacks from 1 without gaps, keeps that catalogue as
  // info.bk and puts a compacted copy in its place as info.mdb. The object
  // must be closed; it is closed again on return, failures included. At no
  // moment is there neither a whole info.mdb nor a whole info.bk.
  int CompactFolder(const std::string& folder);
  // Puts info.bk back as info.mdb (no open catalogue needed). 0 also when
  // there is no backup; 140 with the system error when the copy fails.
  int RestoreFromBackup(const std::string& folder);

  // ---- annotation boxes ----------------------------------------------------
 public:
  // Deletes all boxes of the item.
  int AddAnnBox(int itemNo);
  // Adds one box row; box is not changed.
  int AddAnnBoxAdd(const AnnBox& box);
  // Replaces all boxes of the item in one transaction: the old set stays
  // whole when any part fails.
  int SaveAnnBoxes(int itemNo, std::span<const AnnBox> boxes);
  // has = 1 when the item has at least one box.
  int HasAnnBoxes(int itemNo, int& has);
  // The item's boxes: First, Next until box.ItemNo is 0, Post.
  int GetAnnBoxFirst(int itemNo);
  int GetAnnBoxNext(AnnBox& box);
  int GetAnnBoxPost();

 private:
  // Records a failure and returns its code.
  int SetError(int code, std::string message);
  int SetEngineError(const DbException& e, std::string message);
  // Runs body (which returns a result code), turning an engine failure into
  // 120 with daoMessage and the engine's fields, and running out of memory
  // into 100 with memoryMessage; nothing escapes.
  template <typename Body>
  int Guard(const char* daoMessage, const char* memoryMessage, Body&& body);
  void CreateRecordsets();
  void DeleteRecordsets();
  // Ends every running enumeration in the order CloseFolder gives.
  int EndRunningEnumerations();
  // An item or stack enumeration is running (changes are refused with 20).
  bool EnumerationRunning() const;

  SqliteDatabase database_;
  std::string folderPath_;
  DbLastError lastError_;
  std::unique_ptr<ItemListRecordset> itemList_;
  std::unique_ptr<StackListRecordset> stackList_;
  std::unique_ptr<ItemTRNRecordset> sortList_;
  std::unique_ptr<AnnBoxRecordset> annBoxList_;
  std::unique_ptr<StackInfoAndItemInfoRecordset> stackInfoEx_;
  std::unique_ptr<StackPageCountAndMaxThumbSizeRecordset> stackPageCountEx_;
  std::unique_ptr<ItemInfoAndThumbSizeRecordset> itemInfoEx_;
};

// The reporter: 0 shows nothing; a negative code with silentNegative shows
// nothing; otherwise shows the last message of the active document's
// catalogue in an OK message box. Returns code.
int ShowLastDbError(int code, bool silentNegative);
// The catalogue whose message ShowLastDbError shows (the document's own);
// nullptr when no document holds one. Not owned.
void SetActiveFolderDatabase(const FolderDatabase* database);

template <typename Body>
int FolderDatabase::Guard(const char* daoMessage, const char* memoryMessage, Body&& body) {
  try {
    return body();
  } catch (const DbException& e) {
    return SetEngineError(e, daoMessage);
  } catch (const std::bad_alloc&) {
    return SetError(dbresult::kOutOfMemory, memoryMessage);
  }
}
