// FolderDatabase: the reading side.
//
//   GetFirstStack, GetNextStack, PostStack                stack enumeration
//   GetFirstSingleItem, GetSingleItemNextInfo, PostSingleItem
//                                                         single-item enumeration
//   GetSingleItemCount, GetStackCount, GetTotalItemCount  the counts
//   FindStack, FindItem                                   lookups by title
//   GetStackInfo, GetItemInfo, Stack2Item                 reads of one row
//   ItemListCPItemInfo, StackListCPStackInfo              row-to-record copies
//
// The enumerations keep their rows in the owned readers, which hold no
// engine statement, so a change made while one runs can never disturb it
// (the changing operations refuse with 20 all the same).

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "catalogue/item_row_copy.h"
#include "platform/sjis_codec.h"

#include <string>

namespace {

// The columns of the item and stack readers, named as they bind.
constexpr const char* kItemColumns =
    "ItemNo,ItemTitle,ItemExt,ImageLevel,OLELevel,FullTextLevel,TextExt,OfficialDate,"
    "LastModifiedDate,LastAccessedDate,StackNo,PageNo,SingleItemPosX,SingleItemPosY";
constexpr const char* kStackColumns =
    "StackNo,StackTitle,OfficialDate,LastModifiedDate,LastAccessedDate,CurPageNo,StackPosX,"
    "StackPosY";

std::string itemSelect(const char* where) {
  return std::string("SELECT ") + kItemColumns + " FROM ItemMST" + where;
}
std::string stackSelect(const char* where) {
  return std::string("SELECT ") + kStackColumns + " FROM StackMST" + where;
}

}  // namespace

// ---- row copies -----------------------------------------------------------

void FolderDatabase::ItemListCPItemInfo(const ItemListRecordset& reader, ItemInfo& info) {
  const ItemListFields& row = reader.current();
  catalogue::copyItemRow(row, row.ItemNo, row.StackNo, !reader.isFieldNull("StackNo"),
                         catalogue::datesOf(row), info);
}

int FolderDatabase::CountPages(int stackNo) {
  CountRecordset count(database_);
  count.open(OpenType::Snapshot, "SELECT Count(*) AS Count FROM ItemMST WHERE StackNo = ?", stackNo);
  return count.isEOF() ? 0 : count->Count;
}

void FolderDatabase::FillStackInfo(const StackListFields& row, StackInfo& info) {
  info.StackNo = row.StackNo;
  info.Title = catalogue::cutToSjisBytes(row.StackTitle, catalogue::kTitleMaxBytes);
  info.PageCount = CountPages(row.StackNo);
  info.CurPageNo = row.CurPageNo;
  info.StackPosX = row.StackPosX;
  info.StackPosY = row.StackPosY;
  info.OfficialDate = row.OfficialDate;
  info.LastModifiedDate = row.LastModifiedDate;
  info.LastAccessedDate = row.LastAccessedDate;
}

int FolderDatabase::StackListCPStackInfo(const StackListRecordset& reader, StackInfo& info) {
  FillStackInfo(reader.current(), info);
  if (info.PageCount == 0)
    return SetError(dbresult::kInconsistent,
                    "データベースが壊れています。Itemの登録されていないStack: StackListCPStackInfo");
  return dbresult::kOk;
}

// ---- stack enumeration ----------------------------------------------------

int FolderDatabase::GetFirstStack() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetFirstStack");
  return Guard("DAOエラーです。: GetFirstStack", "MemoryException: GetFirstStack", [&] {
    if (stackList_->isOpen()) stackList_->moveFirst();
    else stackList_->open(OpenType::Snapshot, stackSelect(""));
    return dbresult::kOk;
  });
}

int FolderDatabase::GetNextStack(StackInfo& info, int& end) {
  if (!IsOpen() || !stackList_->isOpen())
    return SetError(dbresult::kNotOpen,
                    "DBがオープンされていないか、FirstStackを呼び出していません。: GetNextStack");
  return Guard("DAOエラーです。: GetNextStack", "MemoryException: GetNextStack", [&] {
    if (stackList_->isEOF()) {
      info.StackNo = 0;
      end = 1;
      return dbresult::kOk;
    }
    FillStackInfo(stackList_->current(), info);
    end = 0;
    stackList_->moveNext();
    return dbresult::kOk;
  });
}

int FolderDatabase::PostStack() {
  if (!IsOpen() || !stackList_->isOpen())
    return SetError(dbresult::kEnumeration, "DBがオープンされていません。: PostStack");
  stackList_->close();
  return dbresult::kOk;
}

// ---- single-item enumeration ----------------------------------------------

int FolderDatabase::GetFirstSingleItem() {
  if (!IsOpen())
    return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetFirstSingleItem");
  return Guard("DAOエラーです。: GetFirstSingleItem", "CMemoryException: GetFirstSingleItem", [&] {
    if (itemList_->isOpen()) itemList_->moveFirst();
    else itemList_->open(OpenType::Snapshot, itemSelect(" WHERE StackNo IS NULL"));
    return dbresult::kOk;
  });
}

int FolderDatabase::GetSingleItemNextInfo(ItemInfo& info, int& end) {
  if (!IsOpen() || !itemList_->isOpen())
    return SetError(dbresult::kEnumeration, "DBがオープンされていません。: GetSingleItemNextInfo");
  if (itemList_->isEOF()) {
    info.ItemNo = 0;
    end = 1;
    return dbresult::kOk;
  }
  ItemListCPItemInfo(*itemList_, info);
  end = 0;
  itemList_->moveNext();
  return dbresult::kOk;
}

int FolderDatabase::PostSingleItem() {
  if (!IsOpen() || !itemList_->isOpen())
    return SetError(dbresult::kEnumeration, "DBがオープンされていません。: PostSingleItem");
  itemList_->close();
  return dbresult::kOk;
}

// ---- counts ---------------------------------------------------------------

int FolderDatabase::ReadCount(const std::string& operation, const char* sql, int& count) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: " + operation);
  return Guard(("DAOエラーです。: " + operation).c_str(), ("MemoryException: " + operation).c_str(),
               [&] {
                 CountRecordset rows(database_);
                 rows.open(OpenType::Snapshot, sql);
                 count = rows.isEOF() ? 0 : rows->Count;
                 return dbresult::kOk;
               });
}

int FolderDatabase::GetSingleItemCount(int& count) {
  return ReadCount("GetSingleItemCount",
                   "SELECT Count(*) AS Count FROM ItemMST WHERE StackNo IS NULL", count);
}

int FolderDatabase::GetStackCount(int& count) {
  return ReadCount("GetStackCount", "SELECT Count(*) AS Count FROM StackMST", count);
}

int FolderDatabase::GetTotalItemCount(int& count) {
  return ReadCount("GetTotalItemCount", "SELECT Count(*) AS Count FROM ItemMST", count);
}

// ---- lookups --------------------------------------------------------------

int FolderDatabase::FindStack(const std::string& title, int& found, int& stackNo) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: FindStack");
  if (!catalogue::isValidTitle(title))
    return SetError(dbresult::kBadArgument,
                    catalogue::invalidTitleMessage("StackTitle", title, "FindStack"));
  return Guard("DAOエラー : FindStack", "MemoryException : FindStack", [&] {
    // The column compares case-blind; a stack title must match exactly.
    StackListRecordset rows(database_);
    rows.open(OpenType::Snapshot, stackSelect(" WHERE StackTitle = ?"), title);
    found = 0;
    for (; !rows.isEOF(); rows.moveNext()) {
      if (rows->StackTitle == title) {
        found = 1;
        stackNo = rows->StackNo;
        break;
      }
    }
    return dbresult::kOk;
  });
}

int FolderDatabase::FindItem(const std::string& title, const std::string& ext, int& found,
                             int& itemNo) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: FindItem");
  if (!catalogue::isValidTitle(title))
    return SetError(dbresult::kBadArgument,
                    catalogue::invalidTitleMessage("ItemTitle", title, "FindItem"));
  if (!catalogue::isValidExtension(ext))
    return SetError(dbresult::kBadArgument,
                    catalogue::invalidTitleMessage("ItemTitle", ext, "FindItem"));
  return Guard("DAOエラーです。: FindItem", "MemoryException : FindItem", [&] {
    const std::string name = platform::asciiUpper(title + "." + ext);
    ItemListRecordset rows(database_);
    rows.open(OpenType::Snapshot, itemSelect(" WHERE ItemTitle = ?"), name);
    found = 0;
    itemNo = 0;
    for (; !rows.isEOF(); rows.moveNext()) {
      if (platform::asciiUpper(rows->ItemTitle) == name) {
        found = 1;
        itemNo = rows->ItemNo;
        break;
      }
    }
    return dbresult::kOk;
  });
}

// ---- reads of one row -----------------------------------------------------

int FolderDatabase::GetStackInfo(int stackNo, StackInfo& info) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetStackInfo");
  return Guard("DAOエラーです。: GetStackInfo", "MemoryException: GetStackInfo", [&] {
    StackListRecordset rows(database_);
    rows.open(OpenType::Snapshot, stackSelect(" WHERE StackNo = ?"), stackNo);
    if (rows.isEOF())
      return SetError(dbresult::kBadArgument, "指定されたStackNo(" + std::to_string(stackNo) +
                                                  ")のStackが存在しません。: GetStackInfo");
    if (StackListCPStackInfo(rows, info) != dbresult::kOk)
      return SetError(dbresult::kInconsistent, lastError_.message + ": GetStackInfo");
    // A current page outside 1..n cannot be shown.
    if (info.CurPageNo < 1 || info.CurPageNo > info.PageCount)
      return SetError(dbresult::kInconsistent, "データベース壊れました。: GetStackInfo");
    return dbresult::kOk;
  });
}

int FolderDatabase::GetItemInfo(int itemNo, ItemInfo& info) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetItemInfo");
  return Guard("DAOエラーです。: GetItemInfo", "MemoryException : GetItemInfo", [&] {
    ItemListRecordset rows(database_);
    rows.open(OpenType::Snapshot, itemSelect(" WHERE ItemNo = ?"), itemNo);
    if (rows.isEOF())
      return SetError(dbresult::kBadArgument,
                      "指定されたItemNo(" + std::to_string(itemNo) + ")が存在しません。: GetItemInfo");
    ItemListCPItemInfo(rows, info);
    return dbresult::kOk;
  });
}

int FolderDatabase::Stack2Item(int stackNo, int pageNo, ItemInfo& info) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: Stack2Item");
  return Guard("DAOエラーです: Stack2Item", "MemoryException: Stack2Item", [&] {
    ItemListRecordset rows(database_);
    rows.open(OpenType::Snapshot, itemSelect(" WHERE StackNo = ? AND PageNo = ?"), stackNo, pageNo);
    if (rows.isEOF())
      return SetError(dbresult::kBadArgument, "指定されたStackNo(" + std::to_string(stackNo) +
                                                  ")のページ数(" + std::to_string(pageNo) +
                                                  ")が存在しません: Stack2Item");
    ItemListCPItemInfo(rows, info);
    return dbresult::kOk;
  });
}
