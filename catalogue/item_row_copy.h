#pragma once
// The copy of an item row into an ItemInfo, shared by the item reader and
// the joined readers, which all carry the columns of ItemMST.
//
//   copyItemRow   the row's item fields, cut to the record's limits

#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/recordsets.h"

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

}  // namespace catalogue
