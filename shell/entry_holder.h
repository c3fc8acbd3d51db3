#pragma once
// The document's entry list: one DisplayEntry per stack or single item of the
// open folder, in the order the panes show them.

#include <memory>
#include <string>
#include <vector>

struct DisplayEntry {
  static constexpr int kMinCell = 77;  // pixels: the smallest thumbnail cell

  int kind = 0;    // 1 = stack, 0 = single item
  int number = 0;  // stack or item number; valid while the folder stays open
  int cellWidth = 0;
  int cellHeight = 0;
  int flags = 0;   // the panes' own use
  std::string title;  // stack title, or item title + "." + extension
  int officialDate = 0;
  int lastModifiedDate = 0;
  int lastAccessedDate = 0;

  bool isStack() const { return kind == 1; }
};

class CEntryHolder {
 public:
  CEntryHolder() { entries_.reserve(kGrowBy); }

  int GetCount() const { return static_cast<int>(entries_.size()); }
  // nullptr for an index outside 0..count-1; the first such index in the
  // program's run is reported to the user ("データが不正です。HOL(%d)").
  DisplayEntry* GetAt(int i) const;
  // The slot itself, so that a caller can replace the entry in place.
  std::unique_ptr<DisplayEntry>* ElementAt(int i);
  int Add(std::unique_ptr<DisplayEntry> entry);
  void DeleteAt(int i);
  void DeleteAll();
  void SetFolderPath(const std::string& path) { folderPath_ = path; }
  std::string GetFolderPath() const { return folderPath_; }
  // Index of the first entry of that kind and number, or -1.
  int Find(int kind, int number) const;

 private:
  static constexpr size_t kGrowBy = 50;
  bool checkIndex(int i) const;

  std::vector<std::unique_ptr<DisplayEntry>> entries_;
  std::string folderPath_;
};
