// Copying and moving entries between catalogues, and duplicating an item
// within one.

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

// One item's rows as text: item fields, stack, attributes, boxes, thumbnail.
std::string describeItem(SqliteDatabase& db, int itemNo) {
  Statement s(db,
              "SELECT ItemTitle || ',' || ItemExt || ',' || IFNULL(TextExt, '') || ',' || "
              "ImageLevel || ',' || OLELevel || ',' || FullTextLevel || ',' || OfficialDate || "
              "',' || LastModifiedDate || ',' || LastAccessedDate || ',' || SingleItemPosX || ',' "
              "|| SingleItemPosY || ',' || IFNULL(PageNo, '-') "
              "|| ',' || IFNULL((SELECT Comment FROM CommentMST c WHERE c.ItemNo = i.ItemNo), '-') "
              "|| ',' || IFNULL((SELECT Keyword FROM KeywordMST k WHERE k.ItemNo = i.ItemNo), '-') "
              "|| ',' || IFNULL((SELECT Creator FROM CreatorMST r WHERE r.ItemNo = i.ItemNo), '-') "
              "|| ',' || IFNULL((SELECT group_concat(BoxString || '/' || AnnType || '/' || "
              "FontItalic || '/' || FontName, ';') FROM (SELECT * FROM AnnBoxMST b WHERE "
              "b.ItemNo = i.ItemNo ORDER BY ID)), '-') "
              "|| ',' || IFNULL((SELECT hex(ThumbData) || '/' || ThumbSizeX || '/' || "
              "ThumbDateTime FROM ThumbMST t WHERE t.ItemNo = i.ItemNo), '-') "
              "FROM ItemMST i WHERE ItemNo = ?");
  s.bindAll(itemNo);
  return s.step() ? s.textAt(0) : "missing";
}

int count(SqliteDatabase& db, const std::string& sql) {
  Statement s(db, sql);
  return s.step() ? s.intAt(0) : -1;
}

class TransferTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cataloguetest::makeCatalogueFolder(sourceFolder);
    cataloguetest::makeCatalogueFolder(targetFolder);
    CatalogueRows rows(sourceFolder);
    auto& db = rows.db();
    db.executeScript("BEGIN;");
    // Single item 4 with everything; single item 9 with nothing; stack 6
    // of pages 11, 12, 13 whose current page is 2.
    rows.addItem(ItemRow{4, "four", "bmp"});
    rows.addItem(ItemRow{9, "nine", "doc"});
    rows.addStack(6, "six", 2);
    for (int page = 1; page <= 3; ++page)
      rows.addItem(ItemRow{10 + page, "six" + std::to_string(page), "tif", 6, page});
    for (int no : {4, 11, 12, 13}) {
      const std::string tag = std::to_string(no);
      db.execute("INSERT INTO CommentMST(ItemNo, Comment) VALUES(?, ?)", no, "it\x01s " + tag);
      db.execute("INSERT INTO KeywordMST(ItemNo, Keyword) VALUES(?, ?)", no, "k" + tag);
      db.execute("INSERT INTO CreatorMST(ItemNo, Creator) VALUES(?, ?)", no, "c" + tag);
      for (const char* box : {"first", "second"})
        db.execute(
            "INSERT INTO AnnBoxMST(ItemNo, AnnType, FontItalic, FontName, BoxString) "
            "VALUES(?, 2, 1, 'F\x02', ?)",
            no, box + tag);
      db.execute(
          "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
          "VALUES(?, '2026-12-10 09:08:07', 77, 99, ?)",
          no, DbBytes{1, 2, 0, static_cast<std::uint8_t>(no)});
    }
    db.executeScript("COMMIT;");
  }
  void openBoth() {
    ASSERT_EQ(source.OpenFolder(sourceFolder, false), 0);
    ASSERT_EQ(target.OpenFolder(targetFolder, false), 0);
  }

  testsupport::TempDir temp;
  std::string sourceFolder = temp.file("source");
  std::string targetFolder = temp.file("target");
  FolderDatabase source, target;
};

TEST_F(TransferTest, AStackCopiedIntoAnEmptyCatalogueGetsNumberOneAndItsPages) {
  openBoth();
  EntryRef made;
  ASSERT_EQ(source.DupTo(1, 6, target, made), 0) << source.GetDbLastError().message;
  EXPECT_EQ(made.Kind, EntryRef::kStack);
  EXPECT_EQ(made.No, 1);
  auto& to = target.Engine();
  EXPECT_EQ(count(to, "SELECT count(*) FROM StackMST WHERE StackNo = 1 AND StackTitle = 'six' "
                      "AND CurPageNo = 2"),
            1);
  for (int page = 1; page <= 3; ++page) {
    SCOPED_TRACE(page);
    EXPECT_EQ(count(to, "SELECT StackNo FROM ItemMST WHERE ItemNo = " + std::to_string(page)), 1);
    EXPECT_EQ(describeItem(to, page), describeItem(source.Engine(), 10 + page));
  }
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(target));
  // The source keeps its stack.
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM ItemMST WHERE StackNo = 6"), 3);
}

TEST_F(TransferTest, ItemsTakeTheNextNumbersAndOnlyTheRowsTheyHave) {
  {
    CatalogueRows rows(targetFolder);
    rows.addItem(ItemRow{7, "existing"});
    rows.addStack(3, "three", 1);
    rows.addItem(ItemRow{8, "p1", "bmp", 3, 1});
    rows.addItem(ItemRow{20, "p2", "bmp", 3, 2});
  }
  openBoth();
  EntryRef made;
  ASSERT_EQ(source.DupTo(0, 4, target, made), 0);
  EXPECT_EQ(made.Kind, EntryRef::kItem);
  EXPECT_EQ(made.No, 21);
  EXPECT_EQ(describeItem(target.Engine(), 21), describeItem(source.Engine(), 4));
  EXPECT_EQ(count(target.Engine(), "SELECT count(*) FROM ItemMST WHERE ItemNo = 21 AND StackNo IS NULL"), 1);

  ASSERT_EQ(source.DupTo(0, 9, target, made), 0);
  EXPECT_EQ(made.No, 22);
  EXPECT_EQ(describeItem(target.Engine(), 22), describeItem(source.Engine(), 9));
  for (const char* table : {"CommentMST", "KeywordMST", "CreatorMST", "AnnBoxMST", "ThumbMST"})
    EXPECT_EQ(count(target.Engine(), std::string("SELECT count(*) FROM ") + table + " WHERE ItemNo = 22"), 0)
        << table;

  ASSERT_EQ(source.DupTo(1, 6, target, made), 0);
  EXPECT_EQ(made.No, 4);
  EXPECT_EQ(count(target.Engine(), "SELECT min(ItemNo) FROM ItemMST WHERE StackNo = 4"), 23);
}

TEST_F(TransferTest, RefusalsChangeNothing) {
  EntryRef made{9, 9};
  EXPECT_EQ(source.DupTo(0, 4, target, made), 40);
  EXPECT_EQ(source.GetDbLastError().message, "DBがオープンされていません。: DupTo");
  ASSERT_EQ(source.OpenFolder(sourceFolder, false), 0);
  EXPECT_EQ(source.DupTo(0, 4, source, made), 20);
  EXPECT_EQ(source.GetDbLastError().message, "同一Folderが指定されました。: DupTo");
  EXPECT_EQ(source.DupTo(0, 4, target, made), 20);
  EXPECT_EQ(source.GetDbLastError().message, "移動先のDBがオープンされていません。: DupTo");
  ASSERT_EQ(target.OpenFolder(targetFolder, true), 0);
  EXPECT_EQ(source.DupTo(0, 4, target, made), 50);
  EXPECT_EQ(source.GetDbLastError().message, "移動先がリードオンリーです。: DupTo");
  ASSERT_EQ(target.CloseFolder(), 0);
  ASSERT_EQ(target.OpenFolder(targetFolder, false), 0);

  EXPECT_EQ(source.DupTo(0, 99, target, made), 10);
  EXPECT_EQ(source.GetDbLastError().message, "指定されたItemNo(99)が存在しません。: MoveTo");
  EXPECT_EQ(source.DupTo(1, 98, target, made), 10);
  EXPECT_EQ(source.GetDbLastError().message, "指定されたStackNo(98)が存在しません。: MoveTo");
  EXPECT_EQ(made.Kind, 9);
  EXPECT_EQ(count(target.Engine(), "SELECT count(*) FROM ItemMST"), 0);
}

TEST_F(TransferTest, AFailedCopyLeavesTheTargetAsItWas) {
  {
    CatalogueRows rows(targetFolder);
    rows.db().executeScript(
        "CREATE TRIGGER refuse BEFORE INSERT ON ThumbMST WHEN hex(NEW.ThumbData) = '0102000D' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
  openBoth();
  EntryRef made;
  EXPECT_EQ(source.DupTo(1, 6, target, made), 120);
  EXPECT_EQ(source.GetDbLastError().message, "DAOエラーです。: DupTo");
  for (const char* table : {"StackMST", "ItemMST", "CommentMST", "AnnBoxMST", "ThumbMST"})
    EXPECT_EQ(count(target.Engine(), std::string("SELECT count(*) FROM ") + table), 0) << table;
}

TEST_F(TransferTest, DupToThisItemMakesASingleItemOfAPage) {
  ASSERT_EQ(source.OpenFolder(sourceFolder, false), 0);
  int newNo = 0;
  ASSERT_EQ(source.DupToThisItem(12, "copy of six2", "tif", newNo), 0)
      << source.GetDbLastError().message;
  EXPECT_EQ(newNo, 14);
  auto& db = source.Engine();
  std::string expected = describeItem(db, 12);
  expected.replace(0, std::string("six2.tif").size(), "copy of six2.tif");
  expected.replace(expected.find(",2,it"), 2, ",-");  // no page number
  EXPECT_EQ(describeItem(db, 14), expected);
  EXPECT_EQ(count(db, "SELECT count(*) FROM ItemMST WHERE ItemNo = 14 AND StackNo IS NULL"), 1);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(source));

  EXPECT_EQ(source.DupToThisItem(99, "x", "bmp", newNo), 10);
  EXPECT_EQ(source.GetDbLastError().message, "指定されたItemNoが存在しません。: DupToThisItem");
  EXPECT_EQ(count(db, "SELECT count(*) FROM ItemMST"), 6);
}

TEST_F(TransferTest, DupToThisItemHasTheGuardsOfTheOtherChanges) {
  int newNo = 0;
  EXPECT_EQ(source.DupToThisItem(4, "x", "bmp", newNo), 40);
  EXPECT_EQ(source.GetDbLastError().message, "DBがオープンされていません。: DupToThisItem");
  ASSERT_EQ(source.OpenFolder(sourceFolder, true), 0);
  EXPECT_EQ(source.DupToThisItem(4, "x", "bmp", newNo), 50);
  EXPECT_EQ(source.GetDbLastError().message, "リードオンリーです。: DupToThisItem");
  ASSERT_EQ(source.CloseFolder(), 0);
  ASSERT_EQ(source.OpenFolder(sourceFolder, false), 0);
  ASSERT_EQ(source.GetFirstSingleItem(), 0);
  EXPECT_EQ(source.DupToThisItem(4, "x", "bmp", newNo), 20);
  EXPECT_EQ(source.GetDbLastError().message, "GetFirst..(),GetNext..()のループ中です。: DupToThisItem");
  ASSERT_EQ(source.PostSingleItem(), 0);
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM ItemMST"), 5);
}

TEST_F(TransferTest, MoveToRemovesTheEntryOnlyAfterTheCopy) {
  openBoth();
  EntryRef made;
  ASSERT_EQ(source.MoveTo(1, 6, target, made), 0) << source.GetDbLastError().message;
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM ItemMST WHERE ItemNo > 10"), 0);
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM StackMST"), 0);
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM AnnBoxMST WHERE ItemNo > 10"), 0);
  EXPECT_EQ(count(target.Engine(), "SELECT count(*) FROM ItemMST WHERE StackNo = 1"), 3);
  ASSERT_EQ(source.MoveTo(0, 4, target, made), 0);
  EXPECT_EQ(made.No, 4);
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM ItemMST"), 1);
  EXPECT_EQ(count(target.Engine(), "SELECT count(*) FROM ItemMST"), 4);

  // A failed copy: nothing moves, and the text says where.
  EXPECT_EQ(source.MoveTo(0, 4, target, made), 10);
  EXPECT_EQ(source.GetDbLastError().message, "指定されたItemNo(4)が存在しません。: MoveTo:MoveTo");
}

TEST_F(TransferTest, MoveToReportsAFailedRemovalAndKeepsBothCopies) {
  {
    CatalogueRows rows(sourceFolder);
    rows.db().executeScript(
        "CREATE TRIGGER refuse BEFORE DELETE ON ItemMST BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
  openBoth();
  EntryRef made;
  EXPECT_EQ(source.MoveTo(0, 4, target, made), 120);
  EXPECT_EQ(count(source.Engine(), "SELECT count(*) FROM ItemMST WHERE ItemNo = 4"), 1);
  EXPECT_EQ(describeItem(target.Engine(), 1), describeItem(source.Engine(), 4));
}

TEST_F(TransferTest, MoveToRefusesAReadOnlyOrLoopingSource) {
  ASSERT_EQ(target.OpenFolder(targetFolder, false), 0);
  EntryRef made;
  EXPECT_EQ(source.MoveTo(0, 4, target, made), 40);
  EXPECT_EQ(source.GetDbLastError().message, "DBがオープンされていません。: MoveTo");
  ASSERT_EQ(source.OpenFolder(sourceFolder, true), 0);
  EXPECT_EQ(source.MoveTo(0, 4, target, made), 50);
  EXPECT_EQ(source.GetDbLastError().message, "リードオンリーです。: MoveTo");
  // A read-only source may still be copied from.
  EXPECT_EQ(source.DupTo(0, 4, target, made), 0);
  ASSERT_EQ(source.CloseFolder(), 0);
  ASSERT_EQ(source.OpenFolder(sourceFolder, false), 0);
  ASSERT_EQ(source.GetFirstStack(), 0);
  EXPECT_EQ(source.MoveTo(0, 4, target, made), 20);
  ASSERT_EQ(source.PostStack(), 0);
  ASSERT_EQ(target.GetFirstSingleItem(), 0);
  EXPECT_EQ(source.DupTo(0, 4, target, made), 20);
  EXPECT_EQ(source.GetDbLastError().message, "移動先がGetFirst..(),GetNext..()のループ中です。: DupTo");
  EXPECT_EQ(count(target.Engine(), "SELECT count(*) FROM ItemMST"), 1);
}

}  // namespace
