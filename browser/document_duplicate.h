#pragma once
// Copies of documents within their own folder: the free copy title
// ("memoのコピー", "memoのコピーその2", ...) and the copy itself, catalogue row
// and files together. A copy is made whole or not at all: when a file cannot
// be copied after the row was made, the row and the files copied so far go
// again, so the catalogue never names a file that is not there.

#include <cstdint>
#include <string>

class FolderDatabase;
struct ItemInfo;

namespace duplicate {

inline constexpr int kMaxAttempts = 999;

enum class Result {
  Done,
  NameTooLong,   // the copy title would be too long: "複製するにはファイル名が長すぎます。"
  NoFreeTitle,   // 999 titles taken: "複製に失敗しました。"
  CatalogueFailed,  // the catalogue refused the copy (code in dbCode)
  FileCopyFailed,   // a file could not be copied; nothing of the copy is left
};

// "のコピー" for 1, "のコピーその<n>" from 2.
std::string CopySuffix(int n);

// The first free copy title of source in folder (with a trailing slash):
// no file of the name or of its attached text lies there, the catalogue
// holds no item of the name nor one whose attached text it would be, and
// the title rule accepts it.
Result FindCopyTitle(FolderDatabase& db, const std::string& folder, const ItemInfo& source, std::string& title);

// Copies the single item source (a page is copied as a single item) under
// a free copy title at (posX, posY): catalogue row first, then the document
// file and the attached text file, never over an existing file. copy gets
// the new record.
Result DuplicateItemRecord(FolderDatabase& db, const std::string& folder, const ItemInfo& source, int posX,
                           int posY, ItemInfo& copy, int& dbCode);

}  // namespace duplicate
