// FolderDatabase: counts, lookups and reads of one row.
//
//   GetSingleItemCount, GetStackCount, GetTotalItemCount  the counts
//   FindStack, FindItem                                   lookups by title
//   GetStackInfo, GetItemInfo, Stack2Item                 reads of one row
//   ItemListCPItemInfo, StackListCPStackInfo              row-to-record copies

#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "catalogue/item_row_copy.h"
#include "platform/sjis_codec.h"

#include <string>

using catalogue::itemSelect;
using catalogue::stackSelect;

// ---- row copies -----------------------------------------------------------

void FolderDatabase::ItemListCPItemInfo(const ItemListRecordset& reader, ItemInfo& info) {
  catalogue::copyItemListRow(reader, info);
}

int FolderDatabase::StackListCPStackInfo(const StackListRecordset& reader, StackInfo& info) {
  const StackListFields& row = reader.current();
  catalogue::copyStackRow(row, connection_.countPages(row.StackNo), info);
  if (info.PageCount == 0)
    return SetError(dbresult::kInconsistent,
                    "データベースが壊れています。Itemの登録されていないStack: StackListCPStackInfo");
  return dbresult::kOk;
}

// ---- counts ---------------------------------------------------------------

int FolderDatabase::ReadCount(const std::string& operation, const char* sql, int& count) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: " + operation);
  return Guard(("DAOエラーです。: " + operation).c_str(), ("MemoryException: " + operation).c_str(),
               [&] {
                 CountRecordset rows(connection_.db());
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
    StackListRecordset rows(connection_.db());
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
    ItemListRecordset rows(connection_.db());
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
    StackListRecordset rows(connection_.db());
    rows.open(OpenType::Snapshot, stackSelect(" WHERE StackNo = ?"), stackNo);
    if (rows.isEOF())
      return SetError(dbresult::kBadArgument, "指定されたStackNo(" + std::to_string(stackNo) +
                                                  ")のStackが存在しません。: GetStackInfo");
    if (StackListCPStackInfo(rows, info) != dbresult::kOk)
      return SetError(dbresult::kInconsistent, connection_.lastError().message + ": GetStackInfo");
    // A current page outside 1..n cannot be shown.
    if (info.CurPageNo < 1 || info.CurPageNo > info.PageCount)
      return SetError(dbresult::kInconsistent, "データベース壊れました。: GetStackInfo");
    return dbresult::kOk;
  });
}

int FolderDatabase::GetItemInfo(int itemNo, ItemInfo& info) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetItemInfo");
  return Guard("DAOエラーです。: GetItemInfo", "MemoryException : GetItemInfo", [&] {
    ItemListRecordset rows(connection_.db());
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
    ItemListRecordset rows(connection_.db());
    rows.open(OpenType::Snapshot, itemSelect(" WHERE StackNo = ? AND PageNo = ?"), stackNo, pageNo);
    if (rows.isEOF())
      return SetError(dbresult::kBadArgument, "指定されたStackNo(" + std::to_string(stackNo) +
                                                  ")のページ数(" + std::to_string(pageNo) +
                                                  ")が存在しません: Stack2Item");
    ItemListCPItemInfo(rows, info);
    return dbresult::kOk;
  });
}
