// Reads that fill the browser's views in one pass.
//
//   GetFirstItem, GetFirstStackPage     the item enumeration over all items,
//                                       or over one stack's pages in page order
//   GetStackFirstInfoEx/NextInfoEx/PostInfoEx
//                                       stacks with their cover page, page
//                                       count and largest thumbnail size
//   GetSingleItemFirstInfoEx/NextInfoEx/PostInfoEx
//                                       single items with thumbnail date and size
//   GetThumbInfoFromStackNo, GetThumbInfoFromItemNo
//                                       an item (or a stack's cover page) with
//                                       its thumbnail row
//
// The joined stack enumeration walks two readers side by side, both ordered
// by StackNo: the stack rows joined with their cover page, and the per-stack
// counts. A stack on one side without its twin on the other means the
// catalogue is inconsistent (a stack without its current page).

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
  catalogue::copyItemRow(row, row.ItemMST_ItemNo, row.StackNo, !reader.isFieldNull("StackNo"), catalogue::datesOf(row),
               info);
  thumb = ThumbInfo{};
  thumb.ItemNo = row.ItemMST_ItemNo;
  if (reader.isFieldNull("ThumbMST.ItemNo")) return;
  thumb.ThumbDateTime = row.ThumbDateTime;
  thumb.ThumbSizeX = row.ThumbSizeX;
  thumb.ThumbSizeY = row.ThumbSizeY;
  thumb.ThumbData = row.ThumbData;
}

}  // namespace

// ---- the item enumeration over other statements ---------------------------

int FolderDatabase::GetFirstItem() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetFirstSingleItem");
  return Guard("DAOエラーです。: GetFirstItem", "MemoryException: GetFirstItem", [&] {
    // Opened afresh each time: the enumeration may stand on another
    // statement, whose rows would not be all items.
    itemList_->open(OpenType::Snapshot, "SELECT * FROM ItemMST");
    return dbresult::kOk;
  });
}

int FolderDatabase::GetFirstStackPage(int stackNo) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetFirstStackPage");
  return Guard("DAOエラーです。: GetFirstStackPage", "MemoryException: GetFirstStackPage", [&] {
    itemList_->open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE StackNo = ? ORDER BY PageNo",
                    stackNo);
    return dbresult::kOk;
  });
}

// ---- stacks with cover page, page count and thumbnail size ----------------

int FolderDatabase::GetStackFirstInfoEx() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetStackFirstInfoEx");
  return Guard("DAOエラーです。: GetStackFirstInfoEx", "MemoryException: GetStackFirstInfoEx", [&] {
    if (!stackInfoEx_->isOpen())
      stackInfoEx_->open(OpenType::Snapshot,
                         "SELECT * FROM StackMST INNER JOIN ItemMST ON (StackMST.CurPageNo = "
                         "ItemMST.PageNo) AND (StackMST.StackNo = ItemMST.StackNo) ORDER BY "
                         "StackMST.StackNo");
    if (!stackPageCountEx_->isOpen())
      stackPageCountEx_->open(
          OpenType::Snapshot,
          "SELECT StackMST.StackNo, Count(ItemMST.ItemNo) AS PageCount, MAX(ThumbSizeX) AS X, "
          "MAX(ThumbSizeY) AS Y FROM (StackMST INNER JOIN ItemMST ON StackMST.StackNo = "
          "ItemMST.StackNo) LEFT JOIN ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo GROUP BY "
          "StackMST.StackNo ORDER BY StackMST.StackNo");
    stackInfoEx_->moveFirst();
    stackPageCountEx_->moveFirst();
    return dbresult::kOk;
  });
}

int FolderDatabase::GetStackNextInfoEx(StackInfo& stack, ItemInfo& cover, int& sizeX, int& sizeY,
                                       int& end) {
  if (!IsOpen() || !stackInfoEx_->isOpen() || !stackPageCountEx_->isOpen())
    return SetError(dbresult::kNotOpen,
                    "DBがオープンされていないか、FirstStackを呼び出していません。: GetStackNextInfoEx");
  if (stackInfoEx_->isEOF()) {
    stack.StackNo = 0;
    end = 1;
    return dbresult::kOk;
  }
  const StackInfoAndItemInfoFields& row = **stackInfoEx_;
  if (stackPageCountEx_->isEOF() || (*stackPageCountEx_)->StackNo != row.StackMST_StackNo)
    return SetError(dbresult::kInconsistent, "DBが壊れています。: GetStackNextInfoEx");
  const StackPageCountAndMaxThumbSizeFields& counts = **stackPageCountEx_;
  stack.StackNo = row.StackMST_StackNo;
  stack.Title = catalogue::cutToSjisBytes(row.StackTitle, catalogue::kTitleMaxBytes);
  stack.PageCount = counts.PageCount;
  stack.CurPageNo = row.CurPageNo;
  stack.StackPosX = row.StackPosX;
  stack.StackPosY = row.StackPosY;
  stack.OfficialDate = row.StackMST_OfficialDate;
  stack.LastModifiedDate = row.StackMST_LastModifiedDate;
  stack.LastAccessedDate = row.StackMST_LastAccessedDate;
  // MAX over pages without thumbnails is NULL, which reads 0.
  sizeX = counts.X;
  sizeY = counts.Y;
  catalogue::copyItemRow(row, row.ItemNo, row.ItemMST_StackNo, true,
               catalogue::RowDates{row.ItemMST_OfficialDate, row.ItemMST_LastModifiedDate, row.ItemMST_LastAccessedDate},
               cover);
  stackInfoEx_->moveNext();
  stackPageCountEx_->moveNext();
  end = 0;
  return dbresult::kOk;
}

int FolderDatabase::GetStackPostInfoEx() {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetStackPostInfoEx");
  stackInfoEx_->close();
  stackPageCountEx_->close();
  return dbresult::kOk;
}

// ---- single items with thumbnail date and size ----------------------------

int FolderDatabase::GetSingleItemFirstInfoEx() {
  if (!IsOpen())
    return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetSingleItemFirstInfoEx");
  return Guard("DAOエラーです。: GetSingleItemFirstInfoEx", "MemoryException: GetSingleItemFirstInfoEx",
               [&] {
                 itemInfoEx_->open(
                     OpenType::Snapshot,
                     "SELECT ItemMST.*, ThumbMST.ThumbDateTime, ThumbMST.ThumbSizeX, "
                     "ThumbMST.ThumbSizeY FROM ItemMST LEFT JOIN ThumbMST ON ItemMST.ItemNo = "
                     "ThumbMST.ItemNo WHERE ItemMST.StackNo IS NULL");
                 return dbresult::kOk;
               });
}

int FolderDatabase::GetSingleItemNextInfoEx(ItemInfo& info, QDateTime& thumbDate, int& sizeX,
                                            int& sizeY, int& end) {
  if (!IsOpen() || !itemInfoEx_->isOpen())
    return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetSingleItemNextInfoEx");
  if (itemInfoEx_->isEOF()) {
    info.ItemNo = 0;
    end = 1;
    return dbresult::kOk;
  }
  const ItemInfoAndThumbSizeFields& row = **itemInfoEx_;
  catalogue::copyItemRow(row, row.ItemNo, 0, false, catalogue::datesOf(row), info);
  // An item without a thumbnail: NULL date, sizes 0.
  thumbDate = row.ThumbDateTime;
  sizeX = row.ThumbSizeX;
  sizeY = row.ThumbSizeY;
  itemInfoEx_->moveNext();
  end = 0;
  return dbresult::kOk;
}

int FolderDatabase::GetSingleItemPostInfoEx() {
  if (!IsOpen())
    return SetError(dbresult::kNotOpen, "DBがオープンされていません。: GetSingleItemPostInfoEx");
  itemInfoEx_->close();
  return dbresult::kOk;
}

// ---- an item with its thumbnail ------------------------------------------

int FolderDatabase::ReadItemAndThumb(const char* sql, int no, const std::string& operation,
                                     const std::string& notFound, ItemInfo& info,
                                     ThumbInfo& thumb) {
  if (!IsOpen()) return SetError(dbresult::kNotOpen, "DBがオープンされていません。: " + operation);
  const std::string daoMessage = "DAOエラーです。: " + operation;
  const std::string memoryMessage = "MemoryException: " + operation;
  return Guard(daoMessage.c_str(), memoryMessage.c_str(), [&] {
    ItemInfoAndThumbInfoFromNoRecordset reader(database_);
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
