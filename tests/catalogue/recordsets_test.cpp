#include "catalogue/recordsets.h"

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

using namespace cataloguetest;

namespace {

// A catalogue with stack 1 (items 1-2, current page 2, page 2 has a
// thumbnail) and single item 3 without a thumbnail.
class RecordsetTest : public ::testing::Test {
 protected:
  testsupport::TempDir dir;
  std::string folder = dir.file("f");
  FolderDatabase db;

  void SetUp() override {
    makeCatalogueFolder(folder);
    {
      CatalogueRows rows(folder);
      rows.addStack(1, "stack", 2);
      rows.addItem(ItemRow{.itemNo = 1, .title = "p1", .stackNo = 1, .pageNo = 1});
      rows.addItem(ItemRow{.itemNo = 2, .title = "p2", .ext = "tif", .stackNo = 1, .pageNo = 2});
      rows.addItem(ItemRow{.itemNo = 3, .title = "single", .ext = "doc", .date = 20250101});
      rows.db().execute("UPDATE StackMST SET OfficialDate = 20240101, SearchHit = 1");
      rows.db().execute(
          "INSERT INTO ThumbMST (ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
          "VALUES (?, ?, ?, ?, ?)",
          2, QDateTime(QDate(2026, 12, 10), QTime(9, 30, 5)), 80, 60, DbBytes{0x47, 0x00, 0xFF});
    }
    ASSERT_EQ(db.OpenFolder(folder, false), 0);
  }
};

TEST_F(RecordsetTest, ItemListReadsARowAndTellsNullNumbers) {
  ItemListRecordset items(db.Engine());
  EXPECT_EQ(ItemListRecordset::defaultType(), OpenType::Dynaset);
  EXPECT_STREQ(ItemListRecordset::defaultSource(), "[ItemMST]");
  items.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE ItemNo = ?", 3);
  ASSERT_FALSE(items.isEOF());
  EXPECT_EQ(items->ItemTitle, "single.doc");
  EXPECT_EQ(items->ItemExt, "doc");
  EXPECT_EQ(items->OfficialDate, 20250101);
  EXPECT_EQ(items->StackNo, 0);
  EXPECT_TRUE(items.isFieldNull("StackNo"));
  EXPECT_TRUE(items.isFieldNull("PageNo"));
  EXPECT_FALSE(items.isFieldNull("ItemNo"));
  items.moveNext();
  EXPECT_TRUE(items.isEOF());
}

TEST_F(RecordsetTest, JoinedStatementsFillQualifiedFields) {
  StackInfoAndItemInfoRecordset stacks(db.Engine());
  stacks.open(OpenType::Snapshot,
              "SELECT * FROM StackMST INNER JOIN ItemMST ON (StackMST.CurPageNo = ItemMST.PageNo) "
              "AND (StackMST.StackNo = ItemMST.StackNo) ORDER BY StackMST.StackNo");
  ASSERT_EQ(stacks.recordCount(), 1u);
  EXPECT_EQ(stacks->StackMST_StackNo, 1);
  EXPECT_EQ(stacks->item.StackNo, 1);
  EXPECT_EQ(stacks->item.ItemNo, 2);  // the cover page is the current page
  EXPECT_EQ(stacks->StackMST_OfficialDate, 20240101);
  EXPECT_EQ(stacks->item.OfficialDate, 20261210);
  EXPECT_TRUE(stacks->StackMST_SearchHit);
  EXPECT_FALSE(stacks->item.SearchHit);
  EXPECT_EQ(stacks->item.ItemTitle, "p2.tif");

  StackPageCountAndMaxThumbSizeRecordset counts(db.Engine());
  counts.open(OpenType::Snapshot,
              "SELECT StackMST.StackNo, Count(ItemMST.ItemNo) AS PageCount, MAX(ThumbSizeX) AS X, "
              "MAX(ThumbSizeY) AS Y FROM (StackMST INNER JOIN ItemMST ON StackMST.StackNo = "
              "ItemMST.StackNo) LEFT JOIN ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo GROUP BY "
              "StackMST.StackNo ORDER BY StackMST.StackNo");
  ASSERT_EQ(counts.recordCount(), 1u);
  EXPECT_EQ(counts->PageCount, 2);
  EXPECT_EQ(counts->X, 80);
  EXPECT_EQ(counts->Y, 60);

  ItemInfoAndThumbInfoFromNoRecordset cover(db.Engine());
  cover.open(OpenType::Snapshot,
             "SELECT StackMST.StackNo AS No, ItemMST.*, ThumbMST.* FROM (StackMST INNER JOIN "
             "ItemMST ON (StackMST.CurPageNo = ItemMST.PageNo) AND (StackMST.StackNo = "
             "ItemMST.StackNo)) LEFT JOIN ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo WHERE "
             "StackMST.StackNo = ?",
             1);
  ASSERT_EQ(cover.recordCount(), 1u);
  EXPECT_EQ(cover->No, 1);
  EXPECT_EQ(cover->item.ItemNo, 2);
  EXPECT_EQ(cover->ThumbMST_ItemNo, 2);
  EXPECT_EQ(cover->ThumbDateTime, QDateTime(QDate(2026, 12, 10), QTime(9, 30, 5)));
  EXPECT_EQ(cover->ThumbData, (DbBytes{0x47, 0x00, 0xFF}));
}

TEST_F(RecordsetTest, ALeftJoinWithoutThumbnailReadsEmptyValues) {
  ItemInfoAndThumbSizeRecordset items(db.Engine());
  items.open(OpenType::Snapshot,
             "SELECT ItemMST.*, ThumbMST.ThumbDateTime, ThumbMST.ThumbSizeX, ThumbMST.ThumbSizeY "
             "FROM ItemMST LEFT JOIN ThumbMST ON ItemMST.ItemNo = ThumbMST.ItemNo WHERE "
             "ItemMST.StackNo IS NULL");
  ASSERT_EQ(items.recordCount(), 1u);
  EXPECT_EQ(items->item.ItemNo, 3);
  EXPECT_EQ(items->ThumbSizeX, 0);
  EXPECT_TRUE(items->ThumbDateTime.isNull());
  EXPECT_TRUE(items.isFieldNull("ThumbSizeY"));
}

TEST_F(RecordsetTest, ValuesAreBoundNotPastedIntoTheStatement) {
  const std::string hostile = "x' OR '1'='1";
  ItemListRecordset items(db.Engine());
  items.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE ItemTitle = ?", hostile);
  EXPECT_TRUE(items.isEOF());
  // Titles compare ASCII-case-blind, as names do everywhere in the program.
  items.open(OpenType::Snapshot, "SELECT * FROM ItemMST WHERE ItemTitle = ?", "SINGLE.DOC");
  ASSERT_FALSE(items.isEOF());
  EXPECT_EQ(items->ItemNo, 3);
}

TEST_F(RecordsetTest, AStatementWithoutAFieldIsAnEngineError) {
  CountRecordset count(db.Engine());
  EXPECT_THROW(count.open(OpenType::Snapshot, "SELECT Count(*) AS Number FROM ItemMST"), DbException);
  EXPECT_FALSE(count.isOpen());
  EXPECT_THROW(count.open(OpenType::Snapshot, "SELECT * FROM NoSuchTable"), DbException);
  count.open(OpenType::Snapshot, "SELECT Count(*) AS Count FROM ItemMST");
  EXPECT_TRUE(count.isOpen());
  EXPECT_EQ(count->Count, 3);
}

TEST_F(RecordsetTest, AReaderDoesNotHoldBackChangesOfItsConnection) {
  ItemListRecordset items(db.Engine());
  items.open(OpenType::Dynaset, "SELECT * FROM ItemMST ORDER BY ItemNo");
  {
    Transaction change(db.Engine());
    db.Engine().execute("DELETE FROM ItemMST WHERE ItemNo = ?", 3);
    change.commit();
  }
  int seen = 0;
  for (; !items.isEOF(); items.moveNext()) ++seen;
  EXPECT_EQ(seen, 3);
  EXPECT_EQ(db.CloseFolder(), 0);
}

TEST(CatalogueInvariants, NameEachBrokenRule) {
  struct Case {
    const char* name;
    const char* change;  // applied to a good catalogue
    const char* fault;   // part of the expected report
  } cases[] = {
      {"gap in pages", "UPDATE ItemMST SET PageNo = 4 WHERE ItemNo = 3", "pages are not 1..3"},
      {"one page", "DELETE FROM ItemMST WHERE StackNo = 1 AND PageNo > 1", "has 1 page"},
      {"current page too high", "UPDATE StackMST SET CurPageNo = 4", "CurPageNo 4 outside 1..3"},
      {"current page zero", "UPDATE StackMST SET CurPageNo = 0", "CurPageNo 0 outside"},
      {"page of missing stack", "UPDATE ItemMST SET StackNo = 9, PageNo = 1 WHERE ItemNo = 4",
       "missing stack 9"},
      {"page number without stack", "UPDATE ItemMST SET PageNo = 1 WHERE ItemNo = 4",
       "only one of StackNo and PageNo"},
  };
  for (const Case& c : cases) {
    testsupport::TempDir dir;
    makeCatalogueFolder(dir.path());
    CatalogueRows rows(dir.path());
    rows.addStackWithPages(1, 1, 3);
    rows.addItem(ItemRow{.itemNo = 4});
    ASSERT_TRUE(catalogueInvariantsHold(rows.db()));
    rows.db().execute(c.change);
    const auto result = catalogueInvariantsHold(rows.db());
    EXPECT_FALSE(result) << c.name;
    EXPECT_NE(std::string(result.message()).find(c.fault), std::string::npos)
        << c.name << ": " << result.message();
  }
}

}  // namespace
