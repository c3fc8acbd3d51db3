#pragma once
// The copy of an item row into an ItemInfo, shared by the item reader and
// the joined readers, whose rows carry the same fields under other names.
//
//   copyItemRow   the row's item fields, cut to the record's limits
//   datesOf       the three dates of a row that names them plainly

#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"

namespace catalogue {

struct RowDates {
  int official, lastModified, lastAccessed;
};

template <typename Row>
RowDates datesOf(const Row& row) {
  return {row.OfficialDate, row.LastModifiedDate, row.LastAccessedDate};
}

// stacked: the row's StackNo is not NULL. The number and the dates come
// apart because joined rows name them by table.
template <typename Row>
void copyItemRow(const Row& row, int itemNo, int stackNo, bool stacked, RowDates dates,
                 ItemInfo& info) {
  info.ItemNo = itemNo;
  info.Title = cutToSjisBytes(titleOfFileName(row.ItemTitle), kTitleMaxBytes);
  info.Ext = cutToSjisBytes(row.ItemExt, kExtensionMaxBytes);
  info.ImageLevel = row.ImageLevel;
  info.OLELevel = row.OLELevel;
  info.FullTextLevel = row.FullTextLevel;
  info.TextExt = cutToSjisBytes(row.TextExt, kExtensionMaxBytes);
  info.OfficialDate = dates.official;
  info.LastModifiedDate = dates.lastModified;
  info.LastAccessedDate = dates.lastAccessed;
  info.SingleItemPosX = row.SingleItemPosX;
  info.SingleItemPosY = row.SingleItemPosY;
  info.Stacked = stacked ? 1 : 0;
  info.StackNo = stacked ? stackNo : 0;
  info.PageNo = stacked ? row.PageNo : 0;
}

}  // namespace catalogue
