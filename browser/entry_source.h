#pragma once
// The entries that the entry commands work on and the catalogue rows behind
// them. The folder's panes hold the open folder's entries (FolderBoardSource
// over the document); the search dialog's hit board holds hits from many
// folders, so every call names the entry it is about and the owner picks
// the folder (and the catalogue) that entry lives in.
//
//   entries   EntryCount, Entry, EntryFolder
//   records   ReadRecords, ReadStackPages, FindStack, FindItem, SetStackInfo,
//             SetItemInfo
//   removal   UnregisterEntry, RemoveEntry
//   errors    ReportDbError

#include <cstdint>
#include <string>
#include <vector>

struct DisplayEntry;
struct ItemInfo;
struct StackInfo;

class EntrySource {
 public:
  virtual ~EntrySource() = default;

  virtual int EntryCount() const = 0;
  virtual DisplayEntry* Entry(int index) const = 0;
  // The folder that holds entry index's files, without a trailing slash.
  virtual std::string EntryFolder(int index) const = 0;

  // The stack record (stacks only) and the item record: the single item or
  // the stack's current page. False when they could not be read.
  virtual bool ReadRecords(int index, StackInfo& stack, ItemInfo& item) = 0;
  // The item records of a stack's pages in page order. False when they
  // could not be read (or the owner cannot list pages).
  virtual bool ReadStackPages(int /*index*/, std::vector<ItemInfo>& /*pages*/) { return false; }
  // The catalogue's codes: 0 success. The entry tells the owner which
  // folder (and, on the hit board, which record kind) is meant.
  virtual int FindStack(int index, const std::string& title, int& found, int& stackNo) = 0;
  virtual int FindItem(int index, const std::string& title, const std::string& ext, int& found, int& itemNo) = 0;
  virtual int SetStackInfo(int index, const StackInfo& stack, std::uint32_t mask) = 0;
  virtual int SetItemInfo(int index, const ItemInfo& item, std::uint32_t mask) = 0;
  // Removes the catalogue rows of entry index (a stack with its pages); the
  // catalogue's code. The files are the caller's.
  virtual int UnregisterEntry(int index) = 0;
  // Entry index leaves the list (and every pane that shows it); the
  // entries after it move up by one.
  virtual void RemoveEntry(int index) = 0;

  // Shows the message of a catalogue code that is not 0 (the owner knows
  // which catalogue's message it is).
  virtual void ReportDbError(int code) = 0;
};
