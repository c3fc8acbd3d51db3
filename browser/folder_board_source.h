#pragma once
// The folder board's source: the document's entry list and the open
// folder's catalogue, as ThumbnailBoardSource. The status bar and the
// browser's keys are reached through the hooks the view sets.

#include "browser/thumbnail_board_source.h"

#include <functional>

class CFD3Doc;

class FolderBoardSource : public ThumbnailBoardSource {
 public:
  explicit FolderBoardSource(CFD3Doc& document) : document_(document) {}

  std::function<void(int)> onShowDocumentCount;
  std::function<void(int)> onShowItemInfo;
  std::function<void(bool)> onTitleEditing;

  int EntryCount() const override;
  DisplayEntry* Entry(int index) const override;
  std::string EntryFolder(int index) const override;
  void ReorderEntries(const std::vector<int>& newOrder) override;
  bool ReadRecords(int index, StackInfo& stack, ItemInfo& item) override;
  bool ReadThumbnail(int index, ItemInfo& item, ThumbInfo& thumb, bool& found) override;
  bool HasAnnotations(int index, int itemNo) override;
  QSize StackCell(int index) override;
  bool ReadStackPages(int index, std::vector<ItemInfo>& pages) override;
  void WritePositions(const std::vector<ItemInfo>& items, const std::vector<StackInfo>& stacks) override;
  int FindStack(int index, const std::string& title, int& found, int& stackNo) override;
  int FindItem(int index, const std::string& title, const std::string& ext, int& found, int& itemNo) override;
  int SetStackInfo(int index, const StackInfo& stack, std::uint32_t mask) override;
  int SetItemInfo(int index, const ItemInfo& item, std::uint32_t mask) override;
  int UnregisterEntry(int index) override;
  void RemoveEntry(int index) override;
  bool SortedOrder(int key, std::vector<board::EntryKey>& order) override;
  CLead* ImagingControl() override;
  void ReportDbError(int code) override;
  void SetTitleEditing(bool editing) override;
  void ShowDocumentCount(int count) override;
  void ShowItemInfo(int index) override;

 private:
  // The entry list's folder, opened (kept when already open).
  bool openFolder();

  CFD3Doc& document_;
};
