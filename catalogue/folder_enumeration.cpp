// The First/Next/Post enumerations of a folder's catalogue, on the
// connection that FolderDatabase owns.
//
//   GetFirstStack, GetNextStack, PostStack                stack enumeration
//   GetFirstSingleItem, GetSingleItemNextInfo, PostSingleItem
//                                                         the item enumeration
//   GetFirstItem, GetFirstStackPage                       the item enumeration
//                                                         over all items, or over
//                                                         one stack's pages
//   GetStackFirstInfoEx/NextInfoEx/PostInfoEx             stacks with their cover
//                                                         page, page count and
//                                                         largest thumbnail size
//   GetSingleItemFirstInfoEx/NextInfoEx/PostInfoEx        single items with
//                                                         thumbnail date and size
//   SortFirst, SortNext, SortPost                         stacks and single items
//                                                         in one sorted list
//
// The enumerations keep their rows in the owned cursors, whose readers hold
// no engine statement, so a change made while one runs can never disturb it
// (the changing operations refuse with 20 all the same). Every GetFirst..
// opens its cursor afresh.
//
// The joined stack enumeration walks two readers side by side, both ordered
// by StackNo: the stack rows joined with their cover page, and the per-stack
// counts. A stack in the counts without its twin in the rows has no page at
// its current page number: the catalogue is inconsistent there. That stack
// gives 60 once and the walk steps past it, so that one damaged stack never
// hides the others.
//
// Titles sort in Shift-JIS byte order, ASCII case ignored, the order the
// program's users know from their other folders.

#include "catalogue/folder_enumeration.h"

#include "catalogue/catalogue_text.h"
#include "catalogue/item_row_copy.h"
#include "platform/sjis_codec.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string>

using catalogue::itemSelect;
using catalogue::stackSelect;

namespace {

constexpr EnumerationTexts kStackEnumeration{
    "DBがオープンされていません。: GetFirstStack",
    "DAOエラーです。: GetFirstStack",
    "MemoryException: GetFirstStack",
    dbresult::kNotOpen,
    "DBがオープンされていないか、FirstStackを呼び出していません。: GetNextStack",
    "DAOエラーです。: GetNextStack",
    "MemoryException: GetNextStack",
    dbresult::kEnumeration,
    "DBがオープンされていません。: PostStack",
};

constexpr EnumerationTexts kSingleItemEnumeration{
    "DBがオープンされていません。: GetFirstSingleItem",
    "DAOエラーです。: GetFirstSingleItem",
    "CMemoryException: GetFirstSingleItem",
    dbresult::kEnumeration,
    "DBがオープンされていません。: GetSingleItemNextInfo",
    "DAOエラーです。: GetSingleItemNextInfo",
    "MemoryException: GetSingleItemNextInfo",
    dbresult::kEnumeration,
    "DBがオープンされていません。: PostSingleItem",
};

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

constexpr const char* kSjisCollation = "BRINDEL_SJIS";

// Shift-JIS byte order with ASCII letters folded to upper case.
int compareSjis(void*, int leftSize, const void* left, int rightSize, const void* right) {
  auto key = [](const void* text, int size) {
    return platform::asciiUpper(platform::toCp932Lossy(
        std::string_view(static_cast<const char*>(text), static_cast<size_t>(size))));
  };
  const std::string a = key(left, leftSize);
  const std::string b = key(right, rightSize);
  const int common = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
  if (common != 0) return common;
  return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

const char* sortKeyColumn(std::uint32_t mask) {
  if (mask & sortmask::kTitle) return "Title COLLATE BRINDEL_SJIS";
  if (mask & sortmask::kOfficialDate) return "OfficialDate";
  if (mask & sortmask::kLastModifiedDate) return "LastModifiedDate";
  if (mask & sortmask::kLastAccessedDate) return "LastAccessedDate";
  return nullptr;
}

// SortFirst opens the cursor itself: it fills SortTRN first.
constexpr EnumerationTexts kSortEnumeration{
    "DBがオープンされていません。: SortFirst",
    "DAOエラーです。: GetFirstStack",
    "MemoryException: GetFirstStack",
    dbresult::kNotOpen,
    "SortFirstを呼び出していません。: SortNext",
    "DAOエラーです。: SortNext",
    "MemoryException: SortNext",
    dbresult::kNotOpen,
    "SortFirstを呼び出していません。: SortPost",
};

}  // namespace

void FolderEnumeration::stopAll() {
  // Item, stack, sorted, joined stack (both readers), joined item
  // enumeration: the readers hold no engine state, so ending one cannot fail.
  itemList_.stop();
  stackList_.stop();
  sortList_.stop();
  stackInfoEx_.stop();
  stackPageCountEx_.close();
  itemInfoEx_.stop();
}

// ---- stack enumeration ----------------------------------------------------

int FolderEnumeration::GetFirstStack() {
  return connection_.first(stackList_, kStackEnumeration,
                 [&](StackListRecordset& reader) { reader.open(OpenType::Snapshot, stackSelect("")); });
}

int FolderEnumeration::GetNextStack(StackInfo& info, int& end) {
  return connection_.next(
      stackList_, kStackEnumeration, end, [&] { info.StackNo = 0; },
      [&](const StackListRecordset& reader) {
        catalogue::copyStackRow(reader.current(), connection_.countPages(reader.current().StackNo), info);
        return dbresult::kOk;
      });
}

int FolderEnumeration::PostStack() { return connection_.post(stackList_, kStackEnumeration); }

// ---- single-item enumeration ----------------------------------------------

int FolderEnumeration::GetFirstSingleItem() {
  return connection_.first(itemList_, kSingleItemEnumeration, [&](ItemListRecordset& reader) {
    reader.open(OpenType::Snapshot, itemSelect(" WHERE StackNo IS NULL"));
  });
}

int FolderEnumeration::GetSingleItemNextInfo(ItemInfo& info, int& end) {
  return connection_.next(
      itemList_, kSingleItemEnumeration, end, [&] { info.ItemNo = 0; },
      [&](const ItemListRecordset& reader) {
        catalogue::copyItemListRow(reader, info);
        return dbresult::kOk;
      });
}

int FolderEnumeration::PostSingleItem() { return connection_.post(itemList_, kSingleItemEnumeration); }

// ---- the item enumeration over other statements ---------------------------

int FolderEnumeration::GetFirstItem() {
  static constexpr EnumerationTexts texts = itemEnumerationTexts(
      "DBがオープンされていません。: GetFirstSingleItem", "DAOエラーです。: GetFirstItem",
      "MemoryException: GetFirstItem");
  return connection_.first(itemList_, texts, [&](ItemListRecordset& reader) {
    reader.open(OpenType::Snapshot, "SELECT * FROM ItemMST");
  });
}

int FolderEnumeration::GetFirstStackPage(int stackNo) {
  static constexpr EnumerationTexts texts = itemEnumerationTexts(
      "DBがオープンされていません。: GetFirstStackPage", "DAOエラーです。: GetFirstStackPage",
      "MemoryException: GetFirstStackPage");
  return connection_.first(itemList_, texts, [&](ItemListRecordset& reader) {
    reader.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE StackNo = ? ORDER BY PageNo",
                stackNo);
  });
}

// ---- stacks with cover page, page count and thumbnail size ----------------

int FolderEnumeration::GetStackFirstInfoEx() {
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

int FolderEnumeration::GetStackNextInfoEx(StackInfo& stack, ItemInfo& cover, int& sizeX, int& sizeY,
                                       int& end) {
  StackPageCountAndMaxThumbSizeRecordset& counts = stackPageCountEx_;
  if (connection_.isOpen() && stackInfoEx_.running() && counts.isOpen() && !counts.isEOF() &&
      (stackInfoEx_.atEnd() || counts->StackNo < stackInfoEx_.row().StackMST_StackNo)) {
    // A stack without a page at its current page number: report it and step
    // past it, so that the next call reads the next stack.
    counts.moveNext();
    return connection_.fail(dbresult::kInconsistent, kInconsistentStackEx);
  }
  return connection_.next(
      stackInfoEx_, kStackEnumerationEx, end, [&] { stack.StackNo = 0; },
      [&](const StackInfoAndItemInfoRecordset& rows) {
        const StackInfoAndItemInfoFields& row = rows.current();
        if (!counts.isOpen() || counts.isEOF() || counts->StackNo != row.StackMST_StackNo) {
          // A row without its counts: step past it all the same.
          stackInfoEx_.advance();
          return connection_.fail(dbresult::kInconsistent, kInconsistentStackEx);
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

int FolderEnumeration::GetStackPostInfoEx() {
  if (const int code = connection_.post(stackInfoEx_, kStackEnumerationEx); code != dbresult::kOk)
    return code;
  stackPageCountEx_.close();
  return dbresult::kOk;
}

// ---- single items with thumbnail date and size ----------------------------

int FolderEnumeration::GetSingleItemFirstInfoEx() {
  return connection_.first(itemInfoEx_, kSingleItemEnumerationEx, [&](ItemInfoAndThumbSizeRecordset& reader) {
    reader.open(OpenType::Snapshot,
                "SELECT ItemMST.*, ThumbMST.ThumbDateTime, ThumbMST.ThumbSizeX, "
                "ThumbMST.ThumbSizeY FROM ItemMST LEFT JOIN ThumbMST ON ItemMST.ItemNo = "
                "ThumbMST.ItemNo WHERE ItemMST.StackNo IS NULL");
  });
}

int FolderEnumeration::GetSingleItemNextInfoEx(ItemInfo& info, QDateTime& thumbDate, int& sizeX,
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

int FolderEnumeration::GetSingleItemPostInfoEx() { return connection_.post(itemInfoEx_, kSingleItemEnumerationEx); }

// ---- the sorted enumeration -----------------------------------------------

int FolderEnumeration::SortFirst(std::uint32_t mask) {
  if (const int refused = connection_.checkWritable("DBがオープンされていません。: SortFirst",
                                                    "リードオンリーです。: SortFirst", nullptr))
    return refused;
  return connection_.guard("DAOエラーです。: GetFirstStack", "MemoryException: GetFirstStack", [&] {
    {
      Transaction transaction(connection_.db());
      connection_.db().execute("DELETE FROM SortTRN");
      connection_.db().execute(
          "INSERT INTO SortTRN(StackNo,Title,OfficialDate,LastModifiedDate,LastAccessedDate) "
          "SELECT StackNo,StackTitle,OfficialDate,LastModifiedDate,LastAccessedDate FROM StackMST");
      connection_.db().execute(
          "INSERT INTO SortTRN(ItemNo,Title,OfficialDate,LastModifiedDate,LastAccessedDate) "
          "SELECT ItemNo,ItemTitle,OfficialDate,LastModifiedDate,LastAccessedDate FROM ItemMST "
          "WHERE StackNo IS NULL");
      transaction.commit();
    }
    const char* key = sortKeyColumn(mask);
    if (!key) return connection_.fail(dbresult::kBadArgument, "sortするMaskが設定されてません。: SortFirst");
    const int rc = sqlite3_create_collation_v2(connection_.db().handle(), kSjisCollation, SQLITE_UTF8,
                                                           nullptr, compareSjis, nullptr);
    if (rc != SQLITE_OK) connection_.db().raise(rc);
    // Ties go by ItemNo (the stacks, without one, first), then by StackNo.
    sortList_.start([&](ItemTRNRecordset& reader) {
      reader.open(OpenType::Snapshot,
                              std::string("SELECT ItemNo,StackNo FROM SortTRN ORDER BY ") + key +
                                  ((mask & sortmask::kDescending) ? " DESC" : "") + ",ItemNo,StackNo");
    });
    return dbresult::kOk;
  });
}

int FolderEnumeration::SortNext(SortEntry& entry, int& end) {
  return connection_.next(
      sortList_, kSortEnumeration, end, [&] { entry.No = 0; },
      [&](const ItemTRNRecordset& reader) {
        if (!reader.isFieldNull("StackNo")) entry = {SortEntry::kStack, reader->StackNo};
        else entry = {SortEntry::kItem, reader->ItemNo};
        return dbresult::kOk;
      });
}

int FolderEnumeration::SortPost() { return connection_.post(sortList_, kSortEnumeration); }
