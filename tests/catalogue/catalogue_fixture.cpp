#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include "catalogue/recordsets.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <map>
#include <set>
#include <sstream>

namespace cataloguetest {

std::string templateDbFolder() {
  // Opening a catalogue locks it exclusively, and test processes run side by
  // side: each process works on its own copy of the installed templates, so
  // that one process testing a template never makes another's open fail.
  static const std::string folder = [] {
    const std::string installed = platform::joinPath(platform::resourceFolder(), platform::workfolder::kDb);
    const std::string root = testsupport::privateRoot();
    if (root.empty()) return installed;
    const std::string copy = platform::joinPath(root, "templates", platform::workfolder::kDb);
    QDir().mkpath(QString::fromStdString(copy));
    for (const char* name : {"info.mdb", "infos.mdb"})
      if (platform::copyFileReplacing(platform::joinPath(installed, name), platform::joinPath(copy, name)) != 0)
        throw std::runtime_error("cannot copy the template " + std::string(name));
    return copy;
  }();
  return folder;
}

void damageTableInside(const std::string& folder, const std::string& table) {
  const std::string path = FolderDatabase::CataloguePath(folder);
  long long pageSize = 0;
  long long rootPage = 0;
  {
    SqliteDatabase db;
    db.openShared(path);
    Statement size(db, "PRAGMA page_size");
    if (size.step()) pageSize = size.intAt(0);
    Statement root(db, "SELECT rootpage FROM sqlite_master WHERE type = 'table' AND name = ?");
    root.bindAll(table);
    if (root.step()) rootPage = root.intAt(0);
  }
  if (pageSize <= 0 || rootPage <= 1) throw std::runtime_error("no table " + table + " in " + path);
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadWrite) || !file.seek((rootPage - 1) * pageSize) ||
      file.write(QByteArray(static_cast<int>(pageSize), '\xA5')) != pageSize)
    throw std::runtime_error("cannot damage " + path);
}

void makeCatalogueFolder(const std::string& folder) {
  QDir().mkpath(QString::fromStdString(folder));
  const int error = platform::copyFileReplacing(
      platform::joinPath(templateDbFolder(), FolderDatabase::kCatalogueFileName),
      FolderDatabase::CataloguePath(folder));
  if (error != 0) throw std::runtime_error("cannot copy the empty catalogue into " + folder);
}

CatalogueRows::CatalogueRows(const std::string& folder) {
  db_.openShared(FolderDatabase::CataloguePath(folder));
}

void CatalogueRows::addItem(const ItemRow& row) {
  db_.execute(
      "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, "
      "TextExt, OfficialDate, LastModifiedDate, LastAccessedDate, StackNo, PageNo, "
      "SingleItemPosX, SingleItemPosY) VALUES (?, ?, ?, 1, 0, ?, '', ?, ?, ?, NULLIF(?, 0), NULLIF(?, 0), 0, 0)",
      row.itemNo, row.title + "." + row.ext, row.ext, row.fullTextLevel, row.date, row.date,
      row.date, row.stackNo, row.stackNo ? row.pageNo : 0);
}

void CatalogueRows::addStack(int stackNo, const std::string& title, int curPageNo) {
  db_.execute(
      "INSERT INTO StackMST (StackNo, StackTitle, OfficialDate, LastModifiedDate, "
      "LastAccessedDate, CurPageNo, StackPosX, StackPosY) VALUES (?, ?, 20261210, 20261210, "
      "20261210, ?, 0, 0)",
      stackNo, title, curPageNo);
}

void CatalogueRows::addStackWithPages(int stackNo, int firstItemNo, int pageCount) {
  addStack(stackNo, "stack" + std::to_string(stackNo), 1);
  for (int page = 1; page <= pageCount; ++page) {
    ItemRow row;
    row.itemNo = firstItemNo + page - 1;
    row.title = "s" + std::to_string(stackNo) + "p" + std::to_string(page);
    row.stackNo = stackNo;
    row.pageNo = page;
    addItem(row);
  }
}

::testing::AssertionResult catalogueInvariantsHold(SqliteDatabase& db) {
  std::ostringstream faults;
  std::map<int, int> curPage;  // stack → CurPageNo
  {
    StackListRecordset stacks(db);
    stacks.open(OpenType::Snapshot, "SELECT * FROM StackMST");
    for (; !stacks.isEOF(); stacks.moveNext()) curPage[stacks->StackNo] = stacks->CurPageNo;
  }
  std::map<int, std::multiset<int>> pages;  // stack → its page numbers
  {
    ItemListRecordset items(db);
    items.open(OpenType::Snapshot, "SELECT * FROM ItemMST");
    for (; !items.isEOF(); items.moveNext()) {
      const bool stackNull = items.isFieldNull("StackNo");
      const bool pageNull = items.isFieldNull("PageNo");
      if (stackNull != pageNull)
        faults << "item " << items->ItemNo << " has only one of StackNo and PageNo; ";
      if (stackNull) continue;
      if (!curPage.count(items->StackNo))
        faults << "item " << items->ItemNo << " is a page of missing stack " << items->StackNo
               << "; ";
      pages[items->StackNo].insert(items->PageNo);
    }
  }
  for (const auto& [stackNo, current] : curPage) {
    const auto& numbers = pages[stackNo];
    const int n = static_cast<int>(numbers.size());
    if (n < 2) faults << "stack " << stackNo << " has " << n << " page(s); ";
    int expected = 1;
    for (int page : numbers) {
      if (page != expected) {
        faults << "stack " << stackNo << " pages are not 1.." << n << "; ";
        break;
      }
      ++expected;
    }
    if (current < 1 || current > n)
      faults << "stack " << stackNo << " CurPageNo " << current << " outside 1.." << n << "; ";
  }
  const std::string text = faults.str();
  if (text.empty()) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << text;
}

::testing::AssertionResult catalogueInvariantsHold(FolderDatabase& database) {
  if (!database.IsOpen()) return ::testing::AssertionFailure() << "catalogue not open";
  return catalogueInvariantsHold(database.Engine());
}

}  // namespace cataloguetest
