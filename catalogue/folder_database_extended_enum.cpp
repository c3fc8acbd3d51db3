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
// counts. A stack in the counts without its twin in the rows has no page at
// its current page number: the catalogue is inconsistent there. That stack
// gives 60 once and the walk steps past it, so that one damaged stack never
// hides the others.

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

// The item enumeration's texts when GetFirstItem or GetFirstStackPage opened
// it; its next and post operations are GetSingleItemNextInfo and
// PostSingleItem.
constexpr EnumerationTexts itemEnumerationTexts(const char* notOpen, const char* engine,
                                                const char* memory) {
  return {notOpen,
          engine,
          memory,
          dbresult::kEnumeration,
          "DBがオープンされていません。: GetSingleItemNextInfo",
          "DAOエラーです。: GetSingleItemNextInfo",
          "MemoryException: GetSingleItemNextInfo",
          dbresult::kEnumeration,
          "DBがオープンされていません。: PostSingleItem"};
}

constexpr EnumerationTexts kStackEnumerationEx{
    "DBがオープンされていません。: GetStackFirstInfoEx",
    "DAOエラーです。: GetStackFirstInfoEx",
    "MemoryException: GetStackFirstInfoEx",
    dbresult::kNotOpen,
    "DBがオープンされていないか、FirstStackを呼び出していません。: GetStackNextInfoEx",
    "DAOエラーです。: GetStackNextInfoEx",
    "MemoryException: GetStackNextInfoEx",
    dbresult::kNotOpen,
    "DBがオープンされていません。: GetStackPostInfoEx",
    false,
};

constexpr EnumerationTexts kSingleItemEnumerationEx{
    "DBがオープンされていません。: GetSingleItemFirstInfoEx",
    "DAOエラーです。: GetSingleItemFirstInfoEx",
    "MemoryException: GetSingleItemFirstInfoEx",
    dbresult::kNotOpen,
    "DBがオープンされていません。: GetSingleItemNextInfoEx",
    "DAOエラーです。: GetSingleItemNextInfoEx",
    "MemoryException: GetSingleItemNextInfoEx",
    dbresult::kNotOpen,
    "DBがオープンされていません。: GetSingleItemPostInfoEx",
    false,
};

constexpr const char* kInconsistentStackEx = "DBが壊れています。: GetStackNextInfoEx";

}  // namespace

// ---- the item enumeration over other statements ---------------------------

int FolderDatabase::GetFirstItem() {
  static constexpr EnumerationTexts texts = itemEnumerationTexts(
      "DBがオープンされていません。: GetFirstSingleItem", "DAOエラーです。: GetFirstItem",
      "MemoryException: GetFirstItem");
  return connection_.first(itemList_, texts, [&](ItemListRecordset& reader) {
    reader.open(OpenType::Snapshot, "SELECT * FROM ItemMST");
  });
}

int FolderDatabase::GetFirstStackPage(int stackNo) {
  static constexpr EnumerationTexts texts = itemEnumerationTexts(
      "DBがオープンされていません。: GetFirstStackPage", "DAOエラーです。: GetFirstStackPage",
      "MemoryException: GetFirstStackPage");
  return connection_.first(itemList_, texts, [&](ItemListRecordset& reader) {
    reader.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE StackNo = ? ORDER BY PageNo",
                stackNo);
  });
}

// ---- stacks with cover page, page count and thumbnail size ----------------

int FolderDatabase::GetStackFirstInfoEx() {
  return connection_.first(stackInfoEx_, kStackEnumerationEx, [&](StackInfoAndItemInfoRecordset& rows) {
    rows.open(OpenType::Snapshot,
              "SELECT * FROM StackMST INNER JOIN ItemMST ON (StackMST.CurPageNo = "
              "ItemMST.PageNo) AND (StackMST.StackNo = ItemMST.StackNo) ORDER BY "
              "StackMST.StackNo");
    stackPageCountEx_.open(
        OpenType::Snapshot,
        "SELECT StackMST.StackNo, Count(ItemMST.ItemNo) AS PageCount, MAX(ThumbSizeX) AS X, "
        "MAX(ThumbSizeY) AS Y FROM (StackMST INNER JOIN ItemMST ON StackMST.StackNo = "
        "ItemMST.StackNo) LEFT JOIN ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo GROUP BY "
        "StackMST.StackNo ORDER BY StackMST.StackNo");
  });
}

int FolderDatabase::GetStackNextInfoEx(StackInfo& stack, ItemInfo& cover, int& sizeX, int& sizeY,
                                       int& end) {
  StackPageCountAndMaxThumbSizeRecordset& counts = stackPageCountEx_;
  if (IsOpen() && stackInfoEx_.running() && counts.isOpen() && !counts.isEOF() &&
      (stackInfoEx_.atEnd() || counts->StackNo < stackInfoEx_.row().StackMST_StackNo)) {
    // A stack without a page at its current page number: report it and step
    // past it, so that the next call reads the next stack.
    counts.moveNext();
    return SetError(dbresult::kInconsistent, kInconsistentStackEx);
  }
  return connection_.next(
      stackInfoEx_, kStackEnumerationEx, end, [&] { stack.StackNo = 0; },
      [&](const StackInfoAndItemInfoRecordset& rows) {
        const StackInfoAndItemInfoFields& row = rows.current();
        if (!counts.isOpen() || counts.isEOF() || counts->StackNo != row.StackMST_StackNo) {
          // A row without its counts: step past it all the same.
          stackInfoEx_.advance();
          return SetError(dbresult::kInconsistent, kInconsistentStackEx);
        }
        stack.StackNo = row.StackMST_StackNo;
        stack.Title = catalogue::cutToSjisBytes(row.StackTitle, catalogue::kTitleMaxBytes);
        stack.PageCount = counts->PageCount;
        stack.CurPageNo = row.CurPageNo;
        stack.StackPosX = row.StackPosX;
        stack.StackPosY = row.StackPosY;
        stack.OfficialDate = row.StackMST_OfficialDate;
        stack.LastModifiedDate = row.StackMST_LastModifiedDate;
        stack.LastAccessedDate = row.StackMST_LastAccessedDate;
        // MAX over pages without thumbnails is NULL, which reads 0.
        sizeX = counts->X;
        sizeY = counts->Y;
        catalogue::copyItemRow(row.item, true, cover);
        counts.moveNext();
        return dbresult::kOk;
      });
}

int FolderDatabase::GetStackPostInfoEx() {
  if (const int code = connection_.post(stackInfoEx_, kStackEnumerationEx); code != dbresult::kOk)
    return code;
  stackPageCountEx_.close();
  return dbresult::kOk;
}

// ---- single items with thumbnail date and size ----------------------------

int FolderDatabase::GetSingleItemFirstInfoEx() {
  return connection_.first(itemInfoEx_, kSingleItemEnumerationEx, [&](ItemInfoAndThumbSizeRecordset& reader) {
    reader.open(OpenType::Snapshot,
                "SELECT ItemMST.*, ThumbMST.ThumbDateTime, ThumbMST.ThumbSizeX, "
                "ThumbMST.ThumbSizeY FROM ItemMST LEFT JOIN ThumbMST ON ItemMST.ItemNo = "
                "ThumbMST.ItemNo WHERE ItemMST.StackNo IS NULL");
  });
}

int FolderDatabase::GetSingleItemNextInfoEx(ItemInfo& info, QDateTime& thumbDate, int& sizeX,
                                            int& sizeY, int& end) {
  return connection_.next(
      itemInfoEx_, kSingleItemEnumerationEx, end, [&] { info.ItemNo = 0; },
      [&](const ItemInfoAndThumbSizeRecordset& reader) {
        const ItemInfoAndThumbSizeFields& row = reader.current();
        catalogue::copyItemRow(row.item, false, info);
        // An item without a thumbnail: NULL date, sizes 0.
        thumbDate = row.ThumbDateTime;
        sizeX = row.ThumbSizeX;
        sizeY = row.ThumbSizeY;
        return dbresult::kOk;
      });
}

int FolderDatabase::GetSingleItemPostInfoEx() { return connection_.post(itemInfoEx_, kSingleItemEnumerationEx); }

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
