// Carrying documents between folders: the check before anything changes,
// file copies that never replace, and a move that loses nothing on failure.

#include "shell/entry_copy.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <string>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

void writeFile(const std::string& path, const std::string& text) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text.data(), static_cast<qint64>(text.size()));
}

std::string readFile(const std::string& path) {
  QFile file(QString::fromStdString(path));
  return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
}

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

// Source: item 1 a.tif with attached text, item 2 b.doc, stack 5 "st" of
// pages 11 p1.tif, 12 p2.tif, 13 p3.tif. Files are written for all of them.
class EntryCopyTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string src = dir.file("src");
  std::string dst = dir.file("dst");
  FolderDatabase source, target;

  void SetUp() override {
    cataloguetest::makeCatalogueFolder(src);
    cataloguetest::makeCatalogueFolder(dst);
    {
      CatalogueRows rows(src);
      rows.addItem(ItemRow{1, "a", "tif"});
      rows.addItem(ItemRow{2, "b", "doc"});
      rows.addStack(5, "st", 1);
      for (int p = 1; p <= 3; ++p) rows.addItem(ItemRow{10 + p, "p" + std::to_string(p), "tif", 5, p});
      rows.db().execute("UPDATE ItemMST SET TextExt = 'txt', SingleItemPosX = 30, SingleItemPosY = 40 WHERE ItemNo = 1");
    }
    for (const char* name : {"a.tif", "a.tif.txt", "b.doc", "p1.tif", "p2.tif", "p3.tif"})
      writeFile(src + "/" + name, std::string("data of ") + name);
    openBoth();
  }
  void openBoth(bool sourceReadOnly = false) {
    source.CloseFolder();
    target.CloseFolder();
    ASSERT_EQ(source.OpenFolder(src, sourceReadOnly), 0);
    ASSERT_EQ(target.OpenFolder(dst, false), 0);
  }
  int count(FolderDatabase& db) {
    int n = 0;
    EXPECT_EQ(db.GetTotalItemCount(n), 0);
    return n;
  }
  int check(int kind, int no, std::string& name, const std::string& targetFolder) {
    return entrycopy::CheckEntryCopy(source, kind, no, target, name, src, targetFolder);
  }
};

TEST_F(EntryCopyTest, CheckReportsEachReasonWithItsName) {
  std::string name;
  EXPECT_EQ(check(0, 1, name, dst), entrycopy::kCanCopy);
  EXPECT_EQ(check(1, 5, name, dst), entrycopy::kCanCopy);
  EXPECT_EQ(check(0, 99, name, dst), entrycopy::kUnreadable);

  // The attached text missing in the source.
  QFile::remove(QString::fromStdString(src + "/a.tif.txt"));
  EXPECT_EQ(check(0, 1, name, dst), entrycopy::kFileMissing);
  EXPECT_EQ(name, "a.tif.txt");
  writeFile(src + "/a.tif.txt", "t");

  // A file of the attached-text name in the target, in other letter case, is a
  // collision; it is never touched.
  writeFile(dst + "/A.TIF.TXT", "theirs");
  EXPECT_EQ(check(0, 1, name, dst), entrycopy::kFileExists);
  EXPECT_EQ(name, "a.tif.txt");
  EXPECT_EQ(readFile(dst + "/A.TIF.TXT"), "theirs");

  // A stack of that title in the target: 1 before any page is looked at.
  {
    target.CloseFolder();
    CatalogueRows rows(dst);
    rows.addStack(7, "st", 1);
    rows.addItem(ItemRow{21, "x1", "tif", 7, 1});
    rows.addItem(ItemRow{22, "p2", "tif", 7, 2});
    ASSERT_EQ(target.OpenFolder(dst, false), 0);
  }
  EXPECT_EQ(check(1, 5, name, dst), entrycopy::kStackExists);
  EXPECT_EQ(name, "st");
  ASSERT_EQ(target.SetStackInfo([] { StackInfo s; s.StackNo = 7; s.Title = "other"; return s; }(), fieldmask::kStackTitle), 0);
  EXPECT_EQ(check(1, 5, name, dst), entrycopy::kItemExists);
  EXPECT_EQ(name, "p2.tif");
}

TEST_F(EntryCopyTest, PathLengthLimitCountsFolderTitleExtensionAndSix) {
  // "b" + "doc" + 6 = 10: a folder of 249 bytes is accepted, 250 refused.
  std::string name;
  EXPECT_EQ(check(0, 2, name, std::string(249, 'd')), entrycopy::kCanCopy);
  EXPECT_EQ(check(0, 2, name, std::string(250, 'd')), entrycopy::kPathTooLong);
  EXPECT_EQ(name, "b.doc");
}

TEST_F(EntryCopyTest, MoveCarriesFilesAndRowsAndClearsThePosition) {
  const auto result = entrycopy::TransferEntry(source, 0, 1, target, src, dst, false);
  ASSERT_EQ(result.outcome, entrycopy::Outcome::Done);
  EXPECT_EQ(readFile(dst + "/a.tif"), "data of a.tif");
  EXPECT_EQ(readFile(dst + "/a.tif.txt"), "data of a.tif.txt");
  EXPECT_FALSE(exists(src + "/a.tif"));
  EXPECT_FALSE(exists(src + "/a.tif.txt"));
  ItemInfo moved;
  ASSERT_EQ(target.GetItemInfo(result.target.No, moved), 0);
  EXPECT_EQ(moved.Title, "a");
  EXPECT_EQ(moved.SingleItemPosX, 0);
  EXPECT_EQ(moved.SingleItemPosY, 0);
  EXPECT_EQ(count(source), 4);
  EXPECT_EQ(QDir(QString::fromStdString(dst)).entryList({"*.part*"}).size(), 0);
}

TEST_F(EntryCopyTest, CopyNeverReplacesAndAFailedStackLeavesNothingBehind) {
  // Page 2 of the stack cannot be read: the page 1 already copied goes again.
  QFile::remove(QString::fromStdString(src + "/p2.tif"));
  auto result = entrycopy::TransferEntry(source, 1, 5, target, src, dst, true);
  EXPECT_EQ(result.outcome, entrycopy::Outcome::FilesFailed);
  EXPECT_EQ(result.failedName, "p2.tif");
  EXPECT_FALSE(exists(dst + "/p1.tif"));
  EXPECT_EQ(count(target), 0);

  // A file that lies in the target already is never replaced.
  writeFile(dst + "/b.doc", "theirs");
  result = entrycopy::TransferEntry(source, 0, 2, target, src, dst, true);
  EXPECT_EQ(result.outcome, entrycopy::Outcome::FilesFailed);
  EXPECT_EQ(readFile(dst + "/b.doc"), "theirs");
  EXPECT_EQ(count(target), 0);
  EXPECT_TRUE(exists(src + "/b.doc"));
}

TEST_F(EntryCopyTest, AMoveWhoseSourceRowsCannotGoKeepsTheSourceAndLeavesNoOrphan) {
  // A source catalogue that refuses to change: the rows reach the target,
  // the source's removal fails, and everything is taken back.
  openBoth(true);
  const auto result = entrycopy::TransferEntry(source, 1, 5, target, src, dst, false);
  EXPECT_EQ(result.outcome, entrycopy::Outcome::SourceKept);
  EXPECT_EQ(count(target), 0);
  for (const char* name : {"p1.tif", "p2.tif", "p3.tif"}) {
    EXPECT_TRUE(exists(src + "/" + name)) << name;
    EXPECT_FALSE(exists(dst + "/" + name)) << name;
  }
  EXPECT_EQ(count(source), 5);
}

}  // namespace
