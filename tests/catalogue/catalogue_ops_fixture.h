#pragma once
// The fixture of the catalogue-operation tests: a folder with an empty
// catalogue, rows seeded before it opens, plain-text views of table
// contents, a full dump for before/after comparisons, and the catalogue's
// invariants checked after each changing operation.

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <string>

namespace cataloguetest {

class CatalogueOpsTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string folder = dir.file("folder");
  FolderDatabase db;

  void SetUp() override { makeCatalogueFolder(folder); }

  // Writes rows into the closed catalogue, then opens it.
  template <typename Seed>
  void seedAndOpen(Seed seed, bool readOnly = false) {
    {
      CatalogueRows rows(folder);
      Transaction once(rows.db());  // one disk sync for the whole seed
      seed(rows);
      once.commit();
    }
    ASSERT_EQ(db.OpenFolder(folder, readOnly), 0) << db.GetDbLastError().message;
  }
  void open(bool readOnly = false) {
    seedAndOpen([](CatalogueRows&) {}, readOnly);
  }
  void reopen(bool readOnly = false) {
    ASSERT_EQ(db.CloseFolder(), 0);
    ASSERT_EQ(db.OpenFolder(folder, readOnly), 0);
  }

  // The rows of a statement as "a,b;c,d" (NULL as "-").
  template <typename... Args>
  std::string query(const std::string& sql, const Args&... args) {
    Statement statement(db.Engine(), sql);
    statement.bindAll(args...);
    std::string out;
    while (statement.step()) {
      if (!out.empty()) out += ";";
      for (int c = 0; c < statement.columnCount(); ++c) {
        if (c) out += ",";
        out += statement.isNull(c) ? "-" : statement.textAt(c);
      }
    }
    return out;
  }
  // The item numbers of a stack in page order, e.g. "7,4,5".
  std::string pagesOf(int stackNo) {
    return query(
        "SELECT group_concat(ItemNo) FROM (SELECT ItemNo FROM ItemMST WHERE StackNo = ? "
        "ORDER BY PageNo)",
        stackNo);
  }

  static ItemInfo item(const std::string& title, const std::string& ext = "bmp") {
    ItemInfo info;
    info.Title = title;
    info.Ext = ext;
    info.ImageLevel = 1;
    info.OfficialDate = info.LastModifiedDate = info.LastAccessedDate = 20261210;
    return info;
  }
  // Registers a single item and gives its number.
  int add(const std::string& title, const std::string& ext = "bmp") {
    ItemInfo info = item(title, ext);
    EXPECT_EQ(db.RegisterItem(info), 0) << db.GetDbLastError().message;
    return info.ItemNo;
  }

  // Every table's rows in rowid order, values quoted as SQL would.
  std::string dump();
  // The stack invariants, plus: no attribute, thumbnail or box row without
  // its item, and no two items of one file name (ASCII case ignored).
  ::testing::AssertionResult sound();
};

}  // namespace cataloguetest
