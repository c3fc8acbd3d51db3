#pragma once
// A board source that keeps its entries and records in memory and records
// what the board writes.

#include "browser/thumbnail_board_source.h"
#include "catalogue/catalogue_records.h"
#include "platform/sjis_codec.h"
#include "shell/entry_holder.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

class FakeBoardSource : public ThumbnailBoardSource {
 public:
  struct Record {
    DisplayEntry entry;
    StackInfo stack;
    ItemInfo item;  // the single item, or the stack's current page
    ThumbInfo thumb;
  };

  std::string folder;
  std::vector<Record> records;
  std::vector<std::pair<std::vector<ItemInfo>, std::vector<StackInfo>>> positionWrites;
  std::vector<std::pair<StackInfo, std::uint32_t>> stackWrites;
  std::vector<std::pair<ItemInfo, std::uint32_t>> itemWrites;
  std::vector<board::EntryKey> catalogueOrder;  // empty: no catalogue order
  std::vector<bool> titleEditing;
  std::vector<int> infoShown;
  int itemWriteResult = 0;

  int addItem(int number, const std::string& title, const std::string& ext, board::Point at = {}) {
    Record r;
    r.entry.kind = 0;
    r.entry.number = number;
    r.entry.title = title + "." + ext;
    r.entry.cellWidth = r.entry.cellHeight = 77;
    r.item.ItemNo = number;
    r.item.Title = title;
    r.item.Ext = ext;
    r.item.SingleItemPosX = at.x;
    r.item.SingleItemPosY = at.y;
    records.push_back(r);
    return static_cast<int>(records.size()) - 1;
  }
  int addStack(int number, const std::string& title, int pages, int current, board::Point at = {}) {
    Record r;
    r.entry.kind = 1;
    r.entry.number = number;
    r.entry.title = title;
    r.entry.cellWidth = r.entry.cellHeight = 77;
    r.stack.StackNo = number;
    r.stack.Title = title;
    r.stack.PageCount = pages;
    r.stack.CurPageNo = current;
    r.stack.StackPosX = at.x;
    r.stack.StackPosY = at.y;
    r.item.ItemNo = 1000 + number;
    r.item.Title = title + "の頁";
    r.item.Ext = "bmp";
    r.item.Stacked = 1;
    r.item.StackNo = number;
    r.item.PageNo = current;
    records.push_back(r);
    return static_cast<int>(records.size()) - 1;
  }

  int EntryCount() const override { return static_cast<int>(records.size()); }
  DisplayEntry* Entry(int index) const override {
    return index >= 0 && index < EntryCount() ? &const_cast<Record&>(records[static_cast<size_t>(index)]).entry
                                              : nullptr;
  }
  std::string EntryFolder(int) const override { return folder; }
  void ReorderEntries(const std::vector<int>& order) override {
    std::vector<Record> sorted;
    for (int from : order) sorted.push_back(records[static_cast<size_t>(from)]);
    records = std::move(sorted);
  }
  bool ReadRecords(int index, StackInfo& stack, ItemInfo& item) override {
    if (!Entry(index)) return false;
    stack = records[static_cast<size_t>(index)].stack;
    item = records[static_cast<size_t>(index)].item;
    return true;
  }
  bool ReadThumbnail(int index, ItemInfo& item, ThumbInfo& thumb, bool& found) override {
    if (!Entry(index)) return false;
    item = records[static_cast<size_t>(index)].item;
    thumb = records[static_cast<size_t>(index)].thumb;
    found = !thumb.ThumbData.empty();
    return true;
  }
  bool HasAnnotations(int, int) override { return false; }
  QSize StackCell(int) override { return {77, 77}; }
  std::vector<ItemInfo> stackPages;  // the pages any stack lists
  bool ReadStackPages(int, std::vector<ItemInfo>& pages) override {
    pages = stackPages;
    return !pages.empty();
  }
  void WritePositions(const std::vector<ItemInfo>& items, const std::vector<StackInfo>& stacks) override {
    positionWrites.emplace_back(items, stacks);
  }
  int FindStack(int, const std::string& title, int& found, int& stackNo) override {
    found = 0;
    for (const Record& r : records)
      if (r.entry.kind == 1 && platform::asciiEqualsIgnoreCase(r.stack.Title, title)) {
        found = 1;
        stackNo = r.stack.StackNo;
      }
    return 0;
  }
  int FindItem(int, const std::string& title, const std::string& ext, int& found, int& itemNo) override {
    found = 0;
    for (const Record& r : records)
      if (platform::asciiEqualsIgnoreCase(r.item.Title, title) && platform::asciiEqualsIgnoreCase(r.item.Ext, ext)) {
        found = 1;
        itemNo = r.item.ItemNo;
      }
    return 0;
  }
  int SetStackInfo(int index, const StackInfo& stack, std::uint32_t mask) override {
    stackWrites.emplace_back(stack, mask);
    StackInfo& s = records[static_cast<size_t>(index)].stack;
    if (mask & fieldmask::kStackTitle) s.Title = stack.Title;
    if (mask & fieldmask::kStackCurPageNo) {
      s.CurPageNo = stack.CurPageNo;
      records[static_cast<size_t>(index)].item.PageNo = stack.CurPageNo;
      records[static_cast<size_t>(index)].item.Title = s.Title + "の" + std::to_string(stack.CurPageNo) + "頁";
    }
    return 0;
  }
  int SetItemInfo(int index, const ItemInfo& item, std::uint32_t mask) override {
    itemWrites.emplace_back(item, mask);
    if (itemWriteResult != 0) return itemWriteResult;
    if (mask & fieldmask::kItemTitle) records[static_cast<size_t>(index)].item.Title = item.Title;
    return 0;
  }
  // Removal drops the record; what the catalogue would unregister is kept.
  std::vector<int> unregistered;
  int UnregisterEntry(int index) override {
    unregistered.push_back(records[static_cast<size_t>(index)].entry.number);
    return 0;
  }
  void RemoveEntry(int index) override { records.erase(records.begin() + index); }
  bool SortedOrder(int, std::vector<board::EntryKey>& order) override {
    if (catalogueOrder.empty()) return false;
    order = catalogueOrder;
    return true;
  }
  CLead* ImagingControl() override { return nullptr; }
  void ReportDbError(int) override {}
  void SetTitleEditing(bool editing) override { titleEditing.push_back(editing); }
  void ShowDocumentCount(int) override {}
  void ShowItemInfo(int index) override { infoShown.push_back(index); }
};
