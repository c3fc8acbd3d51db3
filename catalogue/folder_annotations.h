#pragma once
// The annotation boxes of a folder's image items, on the connection that
// FolderDatabase owns (folder_annotations.cpp tells how they are stored).
//
//   AddAnnBox, AddAnnBoxAdd   delete an item's boxes; add one box
//   SaveAnnBoxes              both in one transaction
//   HasAnnBoxes               whether an item has any box
//   GetAnnBoxFirst/Next/Post  the boxes of one item
//   stop                      ends the box enumeration (the catalogue closes)

#include "catalogue/ann_box.h"
#include "catalogue/enumeration_cursor.h"
#include "catalogue/folder_connection.h"
#include "catalogue/recordsets.h"

#include <span>

class FolderAnnotations {
 public:
  explicit FolderAnnotations(FolderConnection& connection) : connection_(connection), boxes_(connection.db()) {}

  // Deletes all boxes of the item.
  int AddAnnBox(int itemNo);
  // Adds one box row; box is not changed.
  int AddAnnBoxAdd(const AnnBox& box);
  // Replaces all boxes of the item in one transaction: the old set stays
  // whole when any part fails.
  int SaveAnnBoxes(int itemNo, std::span<const AnnBox> boxes);
  // has = 1 when the item has at least one box.
  int HasAnnBoxes(int itemNo, int& has);
  // The item's boxes: First, Next until box.ItemNo is 0, Post.
  int GetAnnBoxFirst(int itemNo);
  int GetAnnBoxNext(AnnBox& box);
  int GetAnnBoxPost();

  void stop() { boxes_.stop(); }

 private:
  FolderConnection& connection_;
  EnumerationCursor<AnnBoxRecordset> boxes_;
};
