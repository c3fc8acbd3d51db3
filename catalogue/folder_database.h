#pragma once
// One folder's catalogue: the file info.mdb in the folder directory.
//
//   FolderDatabase   opens one folder's catalogue at a time, exclusively;
//                    every operation returns a result code (dbresult::) and
//                    keeps the last failure in a DbLastError record (both in
//                    folder_connection.h, with the connection its parts share)
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
#include "catalogue/catalogue_records.h"
#include "catalogue/enumeration_cursor.h"
#include "catalogue/folder_annotations.h"
#include "catalogue/folder_compaction.h"
#include "catalogue/folder_enumeration.h"
#include "catalogue/folder_items.h"
#include "catalogue/folder_stacks.h"
#include "catalogue/folder_connection.h"
#include "catalogue/recordsets.h"
#include "catalogue/sqlite_database.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

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

  bool IsOpen() const { return connection_.isOpen(); }
  // The engine's own can-update property of the open catalogue.
  bool CanUpdate() const { return connection_.canUpdate(); }
  // Without trailing slash; empty when closed (and after a failed open,
  // the folder that was asked for).
  const std::string& FolderPath() const { return connection_.folderPath(); }
  DbLastError GetDbLastError() const { return connection_.lastError(); }
  // The failure was the engine finding the catalogue held by another
  // connection (of this or another process): the catalogue is in use, not
  // damaged.
  static bool IsInUse(const DbLastError& error);
  // The failure was the engine finding the catalogue file damaged.
  static bool IsDamaged(const DbLastError& error);
  // The open connection, for the search database and for tests that look at
  // rows directly; catalogue changes go through the operations.
  SqliteDatabase& Engine() { return connection_.db(); }

  // The path of a folder's catalogue: one trailing slash dropped, "info.mdb"
  // appended.
  static std::string CataloguePath(const std::string& folder);

  // ---- the caller's transactions -------------------------------------------
 public:
  // Groups the operations that follow into one transaction of the caller's
  // (an import of many files waits for the disk once, at the commit). Each
  // operation inside still runs in a transaction of its own nested in it: a
  // failing one undoes only itself, and the caller decides whether the rest
  // is kept. Transactions nest; they end in the reverse order of their
  // start. CloseFolder rolls back those still open.
  // 40 when closed, 120 from the engine.
  int BeginTransaction();
  // 10 without a transaction of the caller's; 120 from the engine (the
  // transaction is then rolled back).
  int CommitTransaction();
  int RollbackTransaction();
  // Transactions begun and not yet ended.
  int TransactionDepth() const { return static_cast<int>(callerTransactions_.size()); }

 private:
  int EndTransaction(bool commit, const std::string& operation);

  // ---- compaction, backup and restore (FolderCompaction) -------------------
 public:
  static constexpr const char* kBackupFileName = FolderCompaction::kBackupFileName;
  // Renumbers items and stacks from 1 without gaps, keeps that catalogue as
  // info.bk and puts a compacted copy in its place as info.mdb. The object
  // must be closed; it is closed again on return, failures included. At no
  // moment is there neither a whole info.mdb nor a whole info.bk.
  int CompactFolder(const std::string& folder) { return compaction_.CompactFolder(*this, folder); }
  // Puts info.bk back as info.mdb (no open catalogue needed). 0 also when
  // there is no backup; 140 with the system error when the copy fails, and
  // with EBUSY, copying nothing, while someone holds the catalogue open.
  int RestoreFromBackup(const std::string& folder) { return compaction_.RestoreFromBackup(folder); }
  // True once after DoesFolderExist, OpenFolder or CompactFolder found the
  // folder as a compaction cut short leaves it (info.bk without info.mdb)
  // and put the backup back; the caller tells the user.
  bool TakeRecoveryNotice() { return compaction_.TakeRecoveryNotice(); }
  // Called before each step by which compaction and recovery change the
  // folder's files (unlink, rename, sync, copy), so that the crash tests can
  // stop the process between any two of them. Never set in the program.
  static void SetFileStepHook(void (*hook)()) { FolderCompaction::SetFileStepHook(hook); }

 private:
  // Removes what a copy into this folder that was killed left: hidden
  // partial copies, and a copy placed under its name that no row records
  // (platform::placePartialCopy tells it from the user's files).
  void RemoveLeftoverCopies();

  // ---- annotation boxes (FolderAnnotations) --------------------------------
 public:
  // Deletes all boxes of the item.
  int AddAnnBox(int itemNo) { return annotations_.AddAnnBox(itemNo); }
  // Adds one box row; box is not changed.
  int AddAnnBoxAdd(const AnnBox& box) { return annotations_.AddAnnBoxAdd(box); }
  // Replaces all boxes of the item in one transaction: the old set stays
  // whole when any part fails.
  int SaveAnnBoxes(int itemNo, std::span<const AnnBox> boxes) { return annotations_.SaveAnnBoxes(itemNo, boxes); }
  // has = 1 when the item has at least one box.
  int HasAnnBoxes(int itemNo, int& has) { return annotations_.HasAnnBoxes(itemNo, has); }
  // The item's boxes: First, Next until box.ItemNo is 0, Post.
  int GetAnnBoxFirst(int itemNo) { return annotations_.GetAnnBoxFirst(itemNo); }
  int GetAnnBoxNext(AnnBox& box) { return annotations_.GetAnnBoxNext(box); }
  int GetAnnBoxPost() { return annotations_.GetAnnBoxPost(); }

  // ---- copying entries between catalogues ----------------------------------
 public:
  // Copies an entry (kind 0: single item, else stack with all its pages)
  // with its attributes, boxes and thumbnails into target under new numbers;
  // result gets the new entry's kind (0 item, 1 stack) and number.
  int DupTo(int kind, int no, FolderDatabase& target, EntryRef& result);
  // DupTo, then removes the entry here. The copy is committed before the
  // removal starts, so a failure leaves the entry in both, never in none.
  int MoveTo(int kind, int no, FolderDatabase& target, EntryRef& result);
  // Copies one item within this catalogue as a single item named
  // title.ext; newItemNo gets its number.
  int DupToThisItem(int itemNo, const std::string& title, const std::string& ext, int& newItemNo);

  // ---- extended enumerators (FolderEnumeration) and lookups ----------------
 public:
  // The item enumeration (read with GetSingleItemNextInfo, ended with
  // PostSingleItem) over all items, or over one stack's pages in page order.
  int GetFirstItem() { return enumeration_.GetFirstItem(); }
  int GetFirstStackPage(int stackNo) { return enumeration_.GetFirstStackPage(stackNo); }
  // Stacks with their cover page (the current page), page count and the
  // largest thumbnail size of their pages (0, 0 without thumbnails).
  int GetStackFirstInfoEx() { return enumeration_.GetStackFirstInfoEx(); }
  int GetStackNextInfoEx(StackInfo& stack, ItemInfo& cover, int& sizeX, int& sizeY, int& end) {
    return enumeration_.GetStackNextInfoEx(stack, cover, sizeX, sizeY, end);
  }
  int GetStackPostInfoEx() { return enumeration_.GetStackPostInfoEx(); }
  // Single items with their thumbnail's date and size (null, 0, 0 without).
  int GetSingleItemFirstInfoEx() { return enumeration_.GetSingleItemFirstInfoEx(); }
  int GetSingleItemNextInfoEx(ItemInfo& info, QDateTime& thumbDate, int& sizeX, int& sizeY, int& end) {
    return enumeration_.GetSingleItemNextInfoEx(info, thumbDate, sizeX, sizeY, end);
  }
  int GetSingleItemPostInfoEx() { return enumeration_.GetSingleItemPostInfoEx(); }
  // A stack's cover page, or an item, with its thumbnail row (sizes 0 and no
  // picture when it has none).
  int GetThumbInfoFromStackNo(int stackNo, ItemInfo& info, ThumbInfo& thumb);
  int GetThumbInfoFromItemNo(int itemNo, ItemInfo& info, ThumbInfo& thumb);

 private:
  int ReadItemAndThumb(const char* sql, int no, const std::string& operation,
                       const std::string& notFound, ItemInfo& info, ThumbInfo& thumb);

 private:
  // Records a failure and returns its code.
  int SetError(int code, std::string message) { return connection_.fail(code, std::move(message)); }
  template <typename Body>
  int Guard(const char* daoMessage, const char* memoryMessage, Body&& body) {
    return connection_.guard(daoMessage, memoryMessage, std::forward<Body>(body));
  }
  // Ends every running enumeration in the order CloseFolder gives.
  int EndRunningEnumerations();
  // An item or stack enumeration is running (changes are refused with 20).
  bool EnumerationRunning() const { return enumeration_.running(); }

  // The connection, its folder and the last failure, shared with the parts.
  FolderConnection connection_;
  // The parts, each over connection_.
  FolderAnnotations annotations_{connection_};
  FolderCompaction compaction_{connection_};
  FolderItems items_{connection_};
  FolderStacks stacks_{connection_};
  FolderEnumeration enumeration_{connection_};

  // The caller's transactions, innermost last.
  std::vector<std::unique_ptr<Transaction>> callerTransactions_;

  // ---- catalogue operations: enumeration, lookup, registration, stacking,
  // attributes, field updates, the sorted enumeration, thumbnails ----------
 public:
  // Stack and single-item enumerations (FolderEnumeration): GetFirst.. once,
  // GetNext.. until the end flag is 1, Post... A repeated GetFirst.. restarts
  // at the first row.
  int GetFirstStack() { return enumeration_.GetFirstStack(); }
  int GetNextStack(StackInfo& info, int& end) { return enumeration_.GetNextStack(info, end); }
  int PostStack() { return enumeration_.PostStack(); }
  int GetFirstSingleItem() { return enumeration_.GetFirstSingleItem(); }
  int GetSingleItemNextInfo(ItemInfo& info, int& end) { return enumeration_.GetSingleItemNextInfo(info, end); }
  // Ends the item enumeration, whichever first-operation opened it.
  int PostSingleItem() { return enumeration_.PostSingleItem(); }

  int GetSingleItemCount(int& count);
  int GetStackCount(int& count);
  int GetTotalItemCount(int& count);
  // empty = 1 when the catalogue holds no row of an entry, an attribute, a
  // thumbnail or a box; 0 otherwise. 60 when it holds rows but neither a
  // single item nor a stack (pages of a stack that is missing): such a
  // catalogue is inconsistent, not empty.
  int IsEmptyCatalogue(int& empty);

  // Stack titles compare exactly; item file names ignore the case of ASCII
  // letters.
  int FindStack(const std::string& title, int& found, int& stackNo);
  int FindItem(const std::string& title, const std::string& ext, int& found, int& itemNo);
  int GetStackInfo(int stackNo, StackInfo& info);
  int GetItemInfo(int itemNo, ItemInfo& info);
  int Stack2Item(int stackNo, int pageNo, ItemInfo& info);

  // Row-to-record copies of the item and stack readers.
  static void ItemListCPItemInfo(const ItemListRecordset& reader, ItemInfo& info);
  int StackListCPStackInfo(const StackListRecordset& reader, StackInfo& info);

  // Registration and removal (FolderItems).
  // Adds one single item; info.ItemNo becomes its number. -20 (no message)
  // when an item of that file name exists, ASCII case ignored.
  int RegisterItem(ItemInfo& info) { return items_.RegisterItem(info); }
  // Removes an item with its thumbnail, boxes and attributes; closes the gap
  // in its stack, dissolving a stack left with one page.
  int UnregisterItem(int itemNo, DissolvedStack& dissolved) { return items_.UnregisterItem(itemNo, dissolved); }
  int UnregisterStack(int stackNo) { return items_.UnregisterStack(stackNo); }

  // Stacking (FolderStacks).
  int UnstackAll(int stackNo) { return stacks_.UnstackAll(stackNo); }
  // Takes the current page out of the stack as a single item.
  int Unstack1(int stackNo, DissolvedStack& dissolved) { return stacks_.Unstack1(stackNo, dissolved); }
  // One new stack of the given items and stacks, pages in element order.
  int MergeN(StackInfo& info, std::span<const MergeElement> elements) { return stacks_.MergeN(info, elements); }
  // order[i] is the new page number of the page now numbered i + 1.
  int ReorderAll(int stackNo, std::span<const std::int32_t> order) { return stacks_.ReorderAll(stackNo, order); }

  int SetComment(int itemNo, const std::string& text);
  int SetKeyword(int itemNo, const std::string& text);
  int SetCreator(int itemNo, const std::string& text);
  // kind: "Comment", "Keyword" or "Creator".
  int SetAttribute(int itemNo, const std::string& text, const std::string& kind);
  int GetAttribute(int itemNo, std::string& text, const std::string& kind);

  // Writes the fields that mask selects (fieldmask::) of one or many rows.
  int SetItemInfo(const ItemInfo& info, std::uint32_t mask);
  int SetStackInfo(const StackInfo& info, std::uint32_t mask);
  int SetItemInfos(std::span<const ItemInfo> infos, std::uint32_t mask);
  int SetStackInfos(std::span<const StackInfo> infos, std::uint32_t mask);

  // Stacks and single items together in the order of a sort mask (sortmask::).
  int SortFirst(std::uint32_t mask) { return enumeration_.SortFirst(mask); }
  int SortNext(SortEntry& entry, int& end) { return enumeration_.SortNext(entry, end); }
  int SortPost() { return enumeration_.SortPost(); }

  int GetThumbInfo(int itemNo, ThumbInfo& thumb, int& found);
  int SetThumbInfo(const ThumbInfo& thumb);
  int UnregisterThumb(int itemNo);
  int GetThumbSizeDate(int itemNo, int& sizeX, int& sizeY, QDateTime& made, int& found);

  // One row's SET list with its values (inside the field updates only).
  struct RowUpdate;

 private:
  // 40, 50 or (with a loop message) 20 with the given message, else 0.
  int CheckWritable(const char* notOpen, const char* readOnly, const char* looping) {
    return connection_.checkWritable(notOpen, readOnly, looping);
  }
  int ReadCount(const std::string& operation, const char* sql, int& count);
  // Runs the updates of one table in one transaction; every row must exist.
  int UpdateRows(const char* table, const char* keyColumn, const std::vector<RowUpdate>& rows,
                 const std::string& tag);
  int SetItemRows(std::span<const ItemInfo> infos, std::uint32_t mask, const std::string& tag,
                  const std::string& ruleTag);
  int SetStackRows(std::span<const StackInfo> infos, std::uint32_t mask, const std::string& tag);
};

// A transaction of the caller's on a FolderDatabase for one scope: rolled
// back when the scope is left without Commit.
class CatalogueTransaction {
 public:
  explicit CatalogueTransaction(FolderDatabase& database)
      : database_(database), result_(database.BeginTransaction()) {}
  ~CatalogueTransaction() {
    if (result_ == dbresult::kOk && !ended_) database_.RollbackTransaction();
  }
  CatalogueTransaction(const CatalogueTransaction&) = delete;
  CatalogueTransaction& operator=(const CatalogueTransaction&) = delete;
  // BeginTransaction's code.
  int result() const { return result_; }
  int Commit() {
    ended_ = true;
    return database_.CommitTransaction();
  }

 private:
  FolderDatabase& database_;
  int result_;
  bool ended_ = false;
};

// The reporter: 0 shows nothing; a negative code with silentNegative shows
// nothing; otherwise shows the last message of the active document's
// catalogue in an OK message box. Returns code. The whole message goes to
// the log; the box leaves out the names of the operations it carries.
int ShowLastDbError(int code, bool silentNegative);
// message without the trailing operation names (": CompactFolder",
// ":OpenFolder:CompactFolder"), which say nothing to the user.
std::string DbMessageForUser(const std::string& message);
// The catalogue whose message ShowLastDbError shows (the document's own);
// nullptr when no document holds one. Not owned.
void SetActiveFolderDatabase(const FolderDatabase* database);
