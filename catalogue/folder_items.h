#pragma once
// Registration and removal of a folder's items and stacks, on the
// connection that FolderDatabase owns. Each runs in one transaction.

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_connection.h"

class FolderItems {
 public:
  explicit FolderItems(FolderConnection& connection) : connection_(connection) {}

  // Adds one single item; info.ItemNo becomes its number. -20 (no message)
  // when an item of that file name exists, ASCII case ignored.
  int RegisterItem(ItemInfo& info);
  // Removes an item with its thumbnail, boxes and attributes; closes the gap
  // in its stack, dissolving a stack left with one page.
  int UnregisterItem(int itemNo, DissolvedStack& dissolved);
  int UnregisterStack(int stackNo);

 private:
  FolderConnection& connection_;
};
