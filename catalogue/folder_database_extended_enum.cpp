// An item, or a stack's cover page, with its thumbnail row.
//
//   GetThumbInfoFromStackNo, GetThumbInfoFromItemNo

#include "catalogue/folder_database.h"

#include "catalogue/item_row_copy.h"

namespace {

constexpr const char* kItemAndThumbByStack =
    "SELECT StackMST.StackNo AS No, ItemMST.*, ThumbMST.* FROM (StackMST INNER JOIN ItemMST ON "
    "(StackMST.CurPageNo = ItemMST.PageNo) AND (StackMST.StackNo = ItemMST.StackNo)) LEFT JOIN "
    "ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo WHERE StackMST.StackNo = ?";
constexpr const char* kItemAndThumbByItem =
    "SELECT ItemMST.ItemNo AS No, ItemMST.*, ThumbMST.* FROM ItemMST LEFT JOIN ThumbMST ON "
    "ItemMST.ItemNo = ThumbMST.ItemNo WHERE ItemMST.ItemNo = ?";

// The item and its thumbnail (sizes 0 and no picture when it has none).
void fillItemAndThumb(const ItemInfoAndThumbInfoFromNoRecordset& reader, ItemInfo& info,
                      ThumbInfo& thumb) {
  const auto& row = *reader;
  catalogue::copyItemRow(row.item, !reader.isFieldNull(ItemMSTColumns::stackNoField(true)), info);
  thumb = ThumbInfo{};
  thumb.ItemNo = row.item.ItemNo;
  if (reader.isFieldNull("ThumbMST.ItemNo")) return;
  thumb.ThumbDateTime = row.ThumbDateTime;
  thumb.ThumbSizeX = row.ThumbSizeX;
  thumb.ThumbSizeY = row.ThumbSizeY;
  thumb.ThumbData = row.ThumbData;
}

}  // namespace

// ---- an item with its thumbnail ------------------------------------------

int FolderDatabase::ReadItemAndThumb(const char* sql, int no, const std::string& operation,
                                     const std::string& notFound, ItemInfo& info,
                                     ThumbInfo& thumb) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: " + operation);
  const std::string daoMessage = "DAOエラーです。: " + operation;
  const std::string memoryMessage = "MemoryException: " + operation;
  return Guard(daoMessage.c_str(), memoryMessage.c_str(), [&] {
    ItemInfoAndThumbInfoFromNoRecordset reader(connection_.db());
    reader.open(OpenType::Snapshot, sql, no);
    if (reader.isEOF()) return SetError(dbresult::kBadArgument, notFound);
    fillItemAndThumb(reader, info, thumb);
    return dbresult::kOk;
  });
}

int FolderDatabase::GetThumbInfoFromStackNo(int stackNo, ItemInfo& info, ThumbInfo& thumb) {
  return ReadItemAndThumb(
      kItemAndThumbByStack, stackNo, "GetThumbInfoFromStackNo",
      "指定されたStackNo(" + std::to_string(stackNo) + ")がありません: GetThumbInfoFromStackNo",
      info, thumb);
}

int FolderDatabase::GetThumbInfoFromItemNo(int itemNo, ItemInfo& info, ThumbInfo& thumb) {
  return ReadItemAndThumb(
      kItemAndThumbByItem, itemNo, "GetThumbInfoFromItemNo",
      "指定されたItemNo(" + std::to_string(itemNo) + ")がありません: GetThumbInfoFromItemNo",
      info, thumb);
}
