#pragma once
// What the thumbnail board asks of its owner. The board never owns its
// entries: tile i shows entry i of the owner's list, and the owner keeps the
// records. The folder board's owner is the document (through
// FolderBoardSource); the search dialog's hit board has its own.
//
//   entries      (EntrySource) EntryCount, Entry, EntryFolder, ReadRecords,
//                ReadStackPages, FindStack, FindItem, SetStackInfo, SetItemInfo,
//                UnregisterEntry, RemoveEntry, ReportDbError
//   order        ReorderEntries, SortedOrder (the catalogue's own order;
//                false: the board sorts)
//   pictures     ReadThumbnail, HasAnnotations, StackCell
//   writing      WritePositions
//   the program  ImagingControl, SetTitleEditing, ShowDocumentCount, ShowItemInfo

#include "browser/board_geometry.h"
#include "browser/entry_source.h"

#include <QSize>

#include <cstdint>
#include <string>
#include <vector>

class CLead;
struct DisplayEntry;
struct ItemInfo;
struct StackInfo;
struct ThumbInfo;

class ThumbnailBoardSource : public EntrySource {
 public:
  // Puts the entries in a new order: newOrder[k] is the old index of the
  // entry that becomes entry k.
  virtual void ReorderEntries(const std::vector<int>& newOrder) = 0;

  // The item (or the stack's current page) and its thumbnail row; found is
  // cleared when it has none. False when the records could not be read.
  virtual bool ReadThumbnail(int index, ItemInfo& item, ThumbInfo& thumb, bool& found) = 0;
  virtual bool HasAnnotations(int index, int itemNo) = 0;
  // The largest thumbnail over a stack's pages.
  virtual QSize StackCell(int index) = 0;

  // Board positions of moved documents, one call per kind (folder board).
  virtual void WritePositions(const std::vector<ItemInfo>& items, const std::vector<StackInfo>& stacks) = 0;

  // The order of the entries by a sort key (1 title, 7 issue date, 9
  // modified, 11 accessed) as the catalogue enumerates them. False when the
  // owner has no catalogue order: the board then sorts the entries itself.
  virtual bool SortedOrder(int key, std::vector<board::EntryKey>& order) = 0;

  // The imaging control that renders pictures from files; may be null.
  virtual CLead* ImagingControl() = 0;
  // Set while a title is edited in place (the browser's keys give way).
  virtual void SetTitleEditing(bool editing) = 0;
  virtual void ShowDocumentCount(int count) = 0;
  // The status-bar information of entry index; -1 clears it.
  virtual void ShowItemInfo(int index) = 0;
};
