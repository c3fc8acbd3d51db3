#pragma once
// The copies of catalogue rows into records, shared by the enumerations and
// the lookups of a folder, and the statements of the plain item and stack
// readers.
//
//   copyItemRow        the row's item fields, cut to the record's limits
//                      (the item reader and the joined readers all carry the
//                      columns of ItemMST)
//   copyItemListRow    the same from the item reader's current row
//   copyStackRow       the stack fields of a row, with its counted pages
//   itemSelect, stackSelect   the readers' statements with a clause

#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/recordsets.h"

#include <string>

namespace catalogue {

// stacked: the row's StackNo is not NULL (a NULL reads 0).
inline void copyItemRow(const ItemMSTColumns& row, bool stacked, ItemInfo& info) {
  info.ItemNo = row.ItemNo;
  info.Title = cutToSjisBytes(titleOfFileName(row.ItemTitle), kTitleMaxBytes);
  info.Ext = cutToSjisBytes(row.ItemExt, kExtensionMaxBytes);
  info.ImageLevel = row.ImageLevel;
  info.OLELevel = row.OLELevel;
  info.FullTextLevel = row.FullTextLevel;
  info.TextExt = cutToSjisBytes(row.TextExt, kExtensionMaxBytes);
  info.OfficialDate = row.OfficialDate;
  info.LastModifiedDate = row.LastModifiedDate;
  info.LastAccessedDate = row.LastAccessedDate;
  info.SingleItemPosX = row.SingleItemPosX;
  info.SingleItemPosY = row.SingleItemPosY;
  info.Stacked = stacked ? 1 : 0;
  info.StackNo = stacked ? row.StackNo : 0;
  info.PageNo = stacked ? row.PageNo : 0;
}

inline void copyItemListRow(const ItemListRecordset& reader, ItemInfo& info) {
  copyItemRow(reader.current(), !reader.isFieldNull(ItemMSTColumns::stackNoField(false)), info);
}

inline void copyStackRow(const StackListFields& row, int pageCount, StackInfo& info) {
  info.StackNo = row.StackNo;
  info.Title = cutToSjisBytes(row.StackTitle, kTitleMaxBytes);
  info.PageCount = pageCount;
  info.CurPageNo = row.CurPageNo;
  info.StackPosX = row.StackPosX;
  info.StackPosY = row.StackPosY;
  info.OfficialDate = row.OfficialDate;
  info.LastModifiedDate = row.LastModifiedDate;
  info.LastAccessedDate = row.LastAccessedDate;
}

// where: "" or a clause that starts with a space.
inline std::string itemSelect(const char* where) {
  return std::string("SELECT ") + ItemMSTColumns::kSelectList + " FROM ItemMST" + where;
}
inline std::string stackSelect(const char* where) {
  return std::string(
             "SELECT StackNo,StackTitle,OfficialDate,LastModifiedDate,LastAccessedDate,CurPageNo,StackPosX,"
             "StackPosY FROM StackMST") +
         where;
}

}  // namespace catalogue
