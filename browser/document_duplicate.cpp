#include "browser/document_duplicate.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "shell/image_utilities.h"

#include <filesystem>
#include <system_error>

namespace duplicate {

namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::u8path(path), error) || fs::is_symlink(fs::u8path(path), error);
}

bool itemFound(FolderDatabase& db, const std::string& title, const std::string& ext) {
  int found = 0, itemNo = 0;
  db.FindItem(title, ext, found, itemNo);
  return found != 0;
}

// Copies from to a new file to; never replaces a file.
bool copyNew(const std::string& from, const std::string& to) {
  std::error_code error;
  return fs::copy_file(fs::u8path(from), fs::u8path(to), fs::copy_options::none, error) && !error;
}

void removeFile(const std::string& path) {
  std::error_code error;
  fs::remove(fs::u8path(path), error);
}

bool equalsTxt(const std::string& ext) {
  return ext.size() == 3 && (ext[0] | 0x20) == 't' && (ext[1] | 0x20) == 'x' && (ext[2] | 0x20) == 't';
}

}  // namespace

std::string CopySuffix(int n) { return n == 1 ? std::string("のコピー") : "のコピーその" + std::to_string(n); }

Result FindCopyTitle(FolderDatabase& db, const std::string& folder, const ItemInfo& source, std::string& title) {
  for (int n = 1; n <= kMaxAttempts; ++n) {
    const std::string candidate = source.Title + CopySuffix(n);
    const std::string file = folder + candidate + "." + source.Ext;
    if (exists(file)) continue;
    if (!source.TextExt.empty() && exists(file + "." + source.TextExt)) continue;
    if (itemFound(db, candidate, source.Ext)) continue;
    if (itemFound(db, candidate + "." + source.Ext, "TXT")) continue;
    if (equalsTxt(source.Ext)) {
      const std::size_t point = source.Title.rfind('.');
      if (point != std::string::npos &&
          itemFound(db, source.Title.substr(0, point), source.Title.substr(point + 1) + CopySuffix(n)))
        continue;
    }
    const int check = CheckTitle(candidate, source.Ext, std::string());
    if (check == kTitleTooLong || check == kNameTooLongForPath) return Result::NameTooLong;
    if (check == kTitleValid) {
      title = candidate;
      return Result::Done;
    }
  }
  return Result::NoFreeTitle;
}

Result DuplicateItemRecord(FolderDatabase& db, const std::string& folder, const ItemInfo& source, int posX,
                           int posY, ItemInfo& copy, int& dbCode) {
  dbCode = 0;
  std::string title;
  if (const Result found = FindCopyTitle(db, folder, source, title); found != Result::Done) return found;
  int newItemNo = 0;
  dbCode = db.DupToThisItem(source.ItemNo, title, source.Ext, newItemNo);
  if (dbCode != 0) return Result::CatalogueFailed;
  copy = source;
  copy.ItemNo = newItemNo;
  copy.Title = title;
  copy.SingleItemPosX = posX;
  copy.SingleItemPosY = posY;
  copy.Stacked = copy.StackNo = copy.PageNo = 0;
  const auto undoRow = [&] {
    DissolvedStack dissolved;
    db.UnregisterItem(newItemNo, dissolved);
  };
  dbCode = db.SetItemInfo(copy, fieldmask::kItemPosition);
  if (dbCode != 0) {
    undoRow();
    return Result::CatalogueFailed;
  }
  const std::string from = folder + source.Title + "." + source.Ext;
  const std::string to = folder + title + "." + source.Ext;
  if (!copyNew(from, to)) {
    undoRow();
    return Result::FileCopyFailed;
  }
  if (!source.TextExt.empty() && !copyNew(from + "." + source.TextExt, to + "." + source.TextExt)) {
    removeFile(to);
    undoRow();
    return Result::FileCopyFailed;
  }
  return Result::Done;
}

}  // namespace duplicate
