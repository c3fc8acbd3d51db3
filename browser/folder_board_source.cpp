#include "browser/folder_board_source.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"

#include <QWidget>

#include <memory>

namespace {

std::uint32_t sortMaskOf(int key) {
  switch (key) {
    case 1: return sortmask::kTitle;
    case 7: return sortmask::kOfficialDate;
    case 9: return sortmask::kLastModifiedDate;
    case 11: return sortmask::kLastAccessedDate;
    default: return 0;
  }
}

}  // namespace

bool FolderBoardSource::openFolder() { return document_.OpenFolderDatabase(document_.EntryList().GetFolderPath()); }

int FolderBoardSource::EntryCount() const { return document_.EntryList().GetCount(); }

DisplayEntry* FolderBoardSource::Entry(int index) const {
  return index >= 0 && index < document_.EntryList().GetCount() ? document_.EntryList().GetAt(index) : nullptr;
}

std::string FolderBoardSource::EntryFolder(int) const { return document_.EntryList().GetFolderPath(); }

void FolderBoardSource::ReorderEntries(const std::vector<int>& newOrder) { document_.ReorderEntries(newOrder); }

bool FolderBoardSource::ReadRecords(int index, StackInfo& stack, ItemInfo& item) {
  const DisplayEntry* entry = Entry(index);
  return entry && openFolder() && document_.GetEntryRecords(*entry, stack, item);
}

bool FolderBoardSource::ReadThumbnail(int index, ItemInfo& item, ThumbInfo& thumb, bool& found) {
  found = false;
  const DisplayEntry* entry = Entry(index);
  if (!entry || !openFolder()) return false;
  const int code = entry->isStack() ? document_.Database().GetThumbInfoFromStackNo(entry->number, item, thumb)
                                    : document_.Database().GetThumbInfoFromItemNo(entry->number, item, thumb);
  ReportDbError(code);
  found = code == 0 && !thumb.ThumbData.empty();
  return code == 0;
}

bool FolderBoardSource::HasAnnotations(int, int itemNo) {
  int has = 0;
  return document_.Database().HasAnnBoxes(itemNo, has) == 0 && has != 0;
}

QSize FolderBoardSource::StackCell(int index) {
  const DisplayEntry* entry = Entry(index);
  int width = 0;
  int height = 0;
  if (entry && openFolder()) document_.MakeStackCell(*entry, document_.EntryList().GetFolderPath(), width, height);
  return {width, height};
}

bool FolderBoardSource::ReadStackPages(int index, std::vector<ItemInfo>& pages) {
  const DisplayEntry* entry = Entry(index);
  if (!entry || !entry->isStack() || !openFolder()) return false;
  StackInfo stack;
  int code = document_.Database().GetStackInfo(entry->number, stack);
  ReportDbError(code);
  if (code != 0) return false;
  for (int page = 1; page <= stack.PageCount; ++page) {
    ItemInfo item;
    code = document_.Database().Stack2Item(entry->number, page, item);
    ReportDbError(code);
    if (code != 0) return false;
    pages.push_back(item);
  }
  return true;
}

void FolderBoardSource::WritePositions(const std::vector<ItemInfo>& items, const std::vector<StackInfo>& stacks) {
  if (!openFolder()) return;
  if (!items.empty()) ReportDbError(document_.Database().SetItemInfos(items, fieldmask::kItemPosition));
  if (!stacks.empty()) ReportDbError(document_.Database().SetStackInfos(stacks, fieldmask::kStackPosition));
  document_.NotifyChanged(DocumentChange::Positions);
}

int FolderBoardSource::FindStack(int, const std::string& title, int& found, int& stackNo) {
  if (!openFolder()) return dbresult::kNotOpen;
  return document_.Database().FindStack(title, found, stackNo);
}

int FolderBoardSource::FindItem(int, const std::string& title, const std::string& ext, int& found, int& itemNo) {
  if (!openFolder()) return dbresult::kNotOpen;
  return document_.Database().FindItem(title, ext, found, itemNo);
}

int FolderBoardSource::SetStackInfo(int index, const StackInfo& stack, std::uint32_t mask) {
  if (!openFolder()) return dbresult::kNotOpen;
  const int code = document_.Database().SetStackInfo(stack, mask);
  if (code == 0) document_.NotifyEntryChanged(index, DocumentChange::Entries);
  return code;
}

int FolderBoardSource::SetItemInfo(int index, const ItemInfo& item, std::uint32_t mask) {
  if (!openFolder()) return dbresult::kNotOpen;
  const int code = document_.Database().SetItemInfo(item, mask);
  if (code == 0) document_.NotifyEntryChanged(index, DocumentChange::Entries);
  return code;
}

int FolderBoardSource::UnregisterEntry(int index) {
  const DisplayEntry* entry = Entry(index);
  if (!entry || !openFolder()) return dbresult::kNotOpen;
  if (entry->isStack()) return document_.Database().UnregisterStack(entry->number);
  DissolvedStack dissolved;
  return document_.Database().UnregisterItem(entry->number, dissolved);
}

void FolderBoardSource::RemoveEntry(int index) { document_.DeleteEntry(index); }

bool FolderBoardSource::SortedOrder(int key, std::vector<board::EntryKey>& order) {
  const std::uint32_t mask = sortMaskOf(key);
  if (mask == 0 || !openFolder()) return false;
  FolderDatabase& db = document_.Database();
  int code = db.SortFirst(mask);
  ReportDbError(code);
  if (code != 0) return false;
  for (int i = 0; i < EntryCount(); ++i) {
    SortEntry entry;
    int end = 0;
    code = db.SortNext(entry, end);
    ReportDbError(code);
    if (code != 0 || end) break;
    order.emplace_back(entry.Kind, entry.No);
  }
  ReportDbError(db.SortPost());
  return true;
}

CLead* FolderBoardSource::ImagingControl() {
  document_.CreateImageCtrl(false);
  return document_.imageCtrl();
}

void FolderBoardSource::ReportDbError(int code) {
  SetActiveFolderDatabase(&document_.Database());
  ShowLastDbError(code, false);
}

void FolderBoardSource::SetTitleEditing(bool editing) {
  if (onTitleEditing) onTitleEditing(editing);
}

void FolderBoardSource::ShowDocumentCount(int count) {
  if (onShowDocumentCount) onShowDocumentCount(count);
}

void FolderBoardSource::ShowItemInfo(int index) {
  if (onShowItemInfo) onShowItemInfo(index);
}
