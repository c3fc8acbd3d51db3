#pragma once
// Helpers for catalogue tests and benchmarks: folders with a catalogue made
// from the empty template, rows written straight into a closed catalogue,
// and the catalogue invariants checked after an operation.
//
//   templateDbFolder()        the "db" folder that holds the empty templates
//   makeCatalogueFolder()     a folder with a copy of the empty catalogue
//   CatalogueRows             writes items and stacks into a catalogue file
//   catalogueInvariantsHold() pages of a stack numbered 1..n, at least two
//                             pages per stack, CurPageNo in 1..n, every page
//                             in an existing stack

#include "catalogue/folder_database.h"
#include "catalogue/sqlite_database.h"

#include <gtest/gtest.h>

#include <string>

namespace cataloguetest {

std::string templateDbFolder();
// Creates folder (and its parents) and copies the empty catalogue into it.
void makeCatalogueFolder(const std::string& folder);

struct ItemRow {
  int itemNo = 0;
  std::string title = "item";  // without extension
  std::string ext = "bmp";
  int stackNo = 0;             // 0: a single item
  int pageNo = 0;
  int fullTextLevel = 0;
  int date = 20261210;
};

// Writes rows into a catalogue that no FolderDatabase holds open.
class CatalogueRows {
 public:
  explicit CatalogueRows(const std::string& folder);
  void addItem(const ItemRow& row);
  void addStack(int stackNo, const std::string& title, int curPageNo);
  // A stack of pageCount pages with item numbers firstItemNo, firstItemNo+1, ...
  void addStackWithPages(int stackNo, int firstItemNo, int pageCount);
  SqliteDatabase& db() { return db_; }

 private:
  SqliteDatabase db_;
};

// Overwrites the root page of table in the closed catalogue of folder with
// bytes no page holds, leaving the file's header and every other page whole:
// damage that opening the file does not notice.
void damageTableInside(const std::string& folder, const std::string& table);

::testing::AssertionResult catalogueInvariantsHold(SqliteDatabase& db);
::testing::AssertionResult catalogueInvariantsHold(FolderDatabase& database);

}  // namespace cataloguetest
