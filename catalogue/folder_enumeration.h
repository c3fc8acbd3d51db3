#pragma once
// The First/Next/Post enumerations of a folder's catalogue, on the
// connection that FolderDatabase owns: GetFirst.. once, GetNext.. until the
// end flag is 1, Post... A repeated GetFirst.. restarts at the first row.

#include "catalogue/catalogue_records.h"
#include "catalogue/enumeration_cursor.h"
#include "catalogue/folder_connection.h"
#include "catalogue/recordsets.h"

#include <QDateTime>

#include <cstdint>

class FolderEnumeration {
 public:
  explicit FolderEnumeration(FolderConnection& connection)
      : connection_(connection),
        itemList_(connection.db()),
        stackList_(connection.db()),
        sortList_(connection.db()),
        stackInfoEx_(connection.db()),
        stackPageCountEx_(connection.db()),
        itemInfoEx_(connection.db()) {}

  int GetFirstStack();
  int GetNextStack(StackInfo& info, int& end);
  int PostStack();
  int GetFirstSingleItem();
  int GetSingleItemNextInfo(ItemInfo& info, int& end);
  // Ends the item enumeration, whichever first-operation opened it.
  int PostSingleItem();
  // The item enumeration (read with GetSingleItemNextInfo, ended with
  // PostSingleItem) over all items, or over one stack's pages in page order.
  int GetFirstItem();
  int GetFirstStackPage(int stackNo);

  // Stacks with their cover page (the current page), page count and the
  // largest thumbnail size of their pages (0, 0 without thumbnails).
  int GetStackFirstInfoEx();
  int GetStackNextInfoEx(StackInfo& stack, ItemInfo& cover, int& sizeX, int& sizeY, int& end);
  int GetStackPostInfoEx();
  // Single items with their thumbnail's date and size (null, 0, 0 without).
  int GetSingleItemFirstInfoEx();
  int GetSingleItemNextInfoEx(ItemInfo& info, QDateTime& thumbDate, int& sizeX, int& sizeY, int& end);
  int GetSingleItemPostInfoEx();

  // Stacks and single items together in the order of a sort mask (sortmask::).
  int SortFirst(std::uint32_t mask);
  int SortNext(SortEntry& entry, int& end);
  int SortPost();

  // An item or stack enumeration runs: changes are refused meanwhile.
  bool running() const { return itemList_.running() || stackList_.running(); }
  // Ends every enumeration (the catalogue closes).
  void stopAll();

 private:
  FolderConnection& connection_;
  EnumerationCursor<ItemListRecordset> itemList_;
  EnumerationCursor<StackListRecordset> stackList_;
  EnumerationCursor<ItemTRNRecordset> sortList_;
  EnumerationCursor<StackInfoAndItemInfoRecordset> stackInfoEx_;
  // Walks beside stackInfoEx_, opened and closed with it.
  StackPageCountAndMaxThumbSizeRecordset stackPageCountEx_;
  EnumerationCursor<ItemInfoAndThumbSizeRecordset> itemInfoEx_;
};
