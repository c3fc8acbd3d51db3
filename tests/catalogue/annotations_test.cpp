// Annotation boxes in the catalogue.

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

AnnBox makeBox(int itemNo, const std::string& text) {
  AnnBox box;
  box.AnnType = 3;
  box.ItemNo = itemNo;
  box.BoxLeft = 10;
  box.BoxTop = 20;
  box.BoxRight = 110;
  box.BoxBottom = 220;
  box.FontName = "Noto Sans CJK JP";
  box.FontSize = 120;
  box.FontBold = 700;
  box.FontCharSet = 128;
  box.FontFamily = 49;
  box.ForeColor = 0x0000FF;
  box.BackColor = -1;
  box.AnnParam1 = 1;
  box.AnnParam2 = -2;
  box.AnnParam3 = 3;
  box.BoxString = text;
  return box;
}

class AnnBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cataloguetest::makeCatalogueFolder(folder);
    CatalogueRows rows(folder);
    rows.addItem(ItemRow{1, "one"});
    rows.addItem(ItemRow{2, "two"});
  }
  std::vector<AnnBox> readBoxes(int itemNo) {
    std::vector<AnnBox> boxes;
    EXPECT_EQ(db.GetAnnBoxFirst(itemNo), 0) << db.GetDbLastError().message;
    for (;;) {
      AnnBox box;
      EXPECT_EQ(db.GetAnnBoxNext(box), 0);
      if (box.ItemNo == 0) break;
      boxes.push_back(box);
    }
    EXPECT_EQ(db.GetAnnBoxPost(), 0);
    return boxes;
  }

  testsupport::TempDir temp;
  std::string folder = temp.file("folder");
  FolderDatabase db;
};

TEST_F(AnnBoxTest, TextsWithApostropheAndBarRoundTripInTheirStoredForm) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  AnnBox box = makeBox(1, "it's a|b 'quoted' 日本語|");
  box.FontName = "O'Font|X";
  box.FontItalic = 5;
  box.FontStrikeOut = 1;
  const AnnBox given = box;
  ASSERT_EQ(db.AddAnnBox(1), 0);
  ASSERT_EQ(db.AddAnnBoxAdd(box), 0) << db.GetDbLastError().message;
  EXPECT_EQ(box, given);  // the caller's record keeps its text

  Statement stored(db.Engine(), "SELECT FontName, BoxString FROM AnnBoxMST");
  ASSERT_TRUE(stored.step());
  EXPECT_EQ(stored.textAt(0), "O\x01" "Font\x02X");
  EXPECT_EQ(stored.textAt(1), "it\x01s a\x02" "b \x01quoted\x01 日本語\x02");

  const auto boxes = readBoxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  AnnBox expected = given;
  expected.FontItalic = 1;  // yes/no columns come back as 1
  EXPECT_EQ(boxes[0], expected);
}

TEST_F(AnnBoxTest, SavingTwiceLeavesOneSetInOrder) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  const std::vector<AnnBox> first = {makeBox(1, "a"), makeBox(1, "b")};
  const std::vector<AnnBox> second = {makeBox(1, "c"), makeBox(1, "d"), makeBox(1, "e")};
  ASSERT_EQ(db.SaveAnnBoxes(1, first), 0);
  ASSERT_EQ(db.SaveAnnBoxes(1, second), 0);
  // The step-by-step way of saving gives the same.
  ASSERT_EQ(db.AddAnnBox(2), 0);
  for (const AnnBox& b : first) ASSERT_EQ(db.AddAnnBoxAdd(makeBox(2, b.BoxString)), 0);
  ASSERT_EQ(db.AddAnnBox(2), 0);
  for (const AnnBox& b : second) ASSERT_EQ(db.AddAnnBoxAdd(makeBox(2, b.BoxString)), 0);

  for (int item : {1, 2}) {
    std::vector<std::string> texts;
    for (const AnnBox& b : readBoxes(item)) {
      EXPECT_EQ(b.ItemNo, item);
      texts.push_back(b.BoxString);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"c", "d", "e"})) << item;
  }
}

TEST_F(AnnBoxTest, AFailedSaveKeepsTheOldBoxes) {
  {
    CatalogueRows rows(folder);
    rows.db().executeScript(
        "CREATE TRIGGER refuse BEFORE INSERT ON AnnBoxMST WHEN NEW.BoxString = 'bad' "
        "BEGIN SELECT RAISE(ABORT, 'refused'); END;");
  }
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ASSERT_EQ(db.SaveAnnBoxes(1, std::vector<AnnBox>{makeBox(1, "old")}), 0);
  const std::vector<AnnBox> failing = {makeBox(1, "new"), makeBox(1, "bad")};
  EXPECT_EQ(db.SaveAnnBoxes(1, failing), 120);
  EXPECT_EQ(db.GetDbLastError().message, "DAOエラーです。: AddAnnBox");
  const auto boxes = readBoxes(1);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].BoxString, "old");
}

TEST_F(AnnBoxTest, EnumerationOrderAndEndMarker) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  AnnBox box;
  EXPECT_EQ(db.GetAnnBoxNext(box), 20);
  EXPECT_EQ(db.GetDbLastError().message, "GetAnnBoxFirstが呼ばれていません。: GetAnnBoxNext");
  EXPECT_EQ(db.GetAnnBoxPost(), 20);

  ASSERT_EQ(db.GetAnnBoxFirst(2), 0);
  EXPECT_EQ(db.GetAnnBoxFirst(2), 20);
  EXPECT_EQ(db.GetDbLastError().message, "すでにオープンされています。: AddAnnBox");
  box = makeBox(7, "kept");
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(db.GetAnnBoxNext(box), 0);
    EXPECT_EQ(box.ItemNo, 0);
    EXPECT_EQ(box.BoxString, "kept");
  }
  EXPECT_EQ(db.GetAnnBoxPost(), 0);
  EXPECT_EQ(db.GetAnnBoxPost(), 20);
}

TEST_F(AnnBoxTest, ReadingNeedsAnOpenCatalogueOnlyAndChangesAWritableOne) {
  {
    FolderDatabase writer;
    ASSERT_EQ(writer.OpenFolder(folder, false), 0);
    ASSERT_EQ(writer.AddAnnBoxAdd(makeBox(1, "x")), 0);
  }
  int has = -1;
  EXPECT_EQ(db.HasAnnBoxes(1, has), 40);
  EXPECT_EQ(db.GetAnnBoxFirst(1), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: AddAnnBox");
  EXPECT_EQ(db.AddAnnBoxAdd(makeBox(1, "y")), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: AddAnnBoxAdd");

  ASSERT_EQ(db.OpenFolder(folder, true), 0);
  EXPECT_EQ(db.HasAnnBoxes(1, has), 0);
  EXPECT_EQ(has, 1);
  EXPECT_EQ(db.HasAnnBoxes(2, has), 0);
  EXPECT_EQ(has, 0);
  EXPECT_EQ(readBoxes(1).size(), 1u);
  EXPECT_EQ(db.AddAnnBox(1), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: AddAnnBox");
  EXPECT_EQ(db.AddAnnBoxAdd(makeBox(1, "y")), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: AddAnnBoxAdd");
  EXPECT_EQ(db.SaveAnnBoxes(1, std::vector<AnnBox>{}), 50);
  EXPECT_EQ(readBoxes(1).size(), 1u);
}

}  // namespace
