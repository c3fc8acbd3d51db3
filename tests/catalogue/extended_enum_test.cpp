// The joined enumerations and lookups that fill the browser's views.

#include "catalogue/folder_database.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace {

using cataloguetest::CatalogueRows;
using cataloguetest::ItemRow;

class ExtendedEnumTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cataloguetest::makeCatalogueFolder(folder);
    CatalogueRows rows(folder);
    rows.db().executeScript("BEGIN;");
    // Stack 2: pages 1..3 are items 9, 8, 7 (page order against number
    // order), current page 2, thumbnails on two pages. Stack 5: items 3 and
    // 4, no thumbnails. Single items 1 (thumbnail) and 6 (none).
    rows.addStack(2, "two", 2);
    rows.addItem(ItemRow{9, "two-1", "bmp", 2, 1});
    rows.addItem(ItemRow{8, "two-2", "tif", 2, 2});
    rows.addItem(ItemRow{7, "two-3", "bmp", 2, 3});
    rows.addStack(5, "five", 1);
    rows.addItem(ItemRow{3, "five-1", "bmp", 5, 1});
    rows.addItem(ItemRow{4, "five-2", "bmp", 5, 2});
    rows.addItem(ItemRow{1, "single.one", "jpg"});
    rows.addItem(ItemRow{6, "single-six", "doc"});
    addThumb(rows, 9, 80, 60);
    addThumb(rows, 8, 100, 50);
    addThumb(rows, 1, 70, 90);
    rows.db().executeScript("COMMIT;");
  }
  static void addThumb(CatalogueRows& rows, int itemNo, int x, int y) {
    rows.db().execute(
        "INSERT INTO ThumbMST(ItemNo, ThumbDateTime, ThumbSizeX, ThumbSizeY, ThumbData) "
        "VALUES(?, '2026-12-10 11:12:13', ?, ?, ?)",
        itemNo, x, y, DbBytes{7, 7, static_cast<std::uint8_t>(itemNo)});
  }

  testsupport::TempDir temp;
  std::string folder = temp.file("folder");
  FolderDatabase db;
};

TEST_F(ExtendedEnumTest, StacksComeWithCoverPageCountAndLargestThumbnail) {
  ASSERT_EQ(db.OpenFolder(folder, true), 0);
  StackInfo stack;
  ItemInfo cover;
  int x = -1, y = -1, end = -1;
  EXPECT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 40);
  ASSERT_EQ(db.GetStackFirstInfoEx(), 0);

  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(stack.StackNo, 2);
  EXPECT_EQ(stack.Title, "two");
  EXPECT_EQ(stack.PageCount, 3);
  EXPECT_EQ(stack.CurPageNo, 2);
  EXPECT_EQ(stack.OfficialDate, 20261210);
  EXPECT_EQ(cover.ItemNo, 8);
  EXPECT_EQ(cover.Title, "two-2");
  EXPECT_EQ(cover.Ext, "tif");
  EXPECT_EQ(cover.Stacked, 1);
  EXPECT_EQ(cover.StackNo, 2);
  EXPECT_EQ(cover.PageNo, 2);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 60);

  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(stack.StackNo, 5);
  EXPECT_EQ(stack.PageCount, 2);
  EXPECT_EQ(cover.ItemNo, 3);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(y, 0);

  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(stack.StackNo, 0);
  }
  // A repeated first call starts again.
  ASSERT_EQ(db.GetStackFirstInfoEx(), 0);
  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(stack.StackNo, 2);
  EXPECT_EQ(db.GetStackPostInfoEx(), 0);
  EXPECT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 40);
  EXPECT_EQ(db.GetDbLastError().message,
            "DBがオープンされていないか、FirstStackを呼び出していません。: GetStackNextInfoEx");
}

TEST_F(ExtendedEnumTest, AStackWhoseCurrentPageIsMissingIsReportedOnceAndSkipped) {
  {
    CatalogueRows rows(folder);
    rows.db().execute("UPDATE StackMST SET CurPageNo = 4 WHERE StackNo = 2");
  }
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ASSERT_EQ(db.GetStackFirstInfoEx(), 0);
  StackInfo stack;
  ItemInfo cover;
  int x = 0, y = 0, end = 0;
  EXPECT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 60);
  EXPECT_EQ(db.GetDbLastError().message, "DBが壊れています。: GetStackNextInfoEx");
  // The walk goes on with the next stack, in step with its counts.
  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(end, 0);
  EXPECT_EQ(stack.StackNo, 5);
  EXPECT_EQ(stack.PageCount, 2);
  EXPECT_EQ(cover.ItemNo, 3);
  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(end, 1);
  EXPECT_EQ(db.CloseFolder(), 0);
}

TEST_F(ExtendedEnumTest, ABrokenLastStackIsReportedBeforeTheEnd) {
  {
    CatalogueRows rows(folder);
    rows.db().execute("UPDATE StackMST SET CurPageNo = 0 WHERE StackNo = 5");
  }
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ASSERT_EQ(db.GetStackFirstInfoEx(), 0);
  StackInfo stack;
  ItemInfo cover;
  int x = 0, y = 0, end = 0;
  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(stack.StackNo, 2);
  EXPECT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 60);
  ASSERT_EQ(db.GetStackNextInfoEx(stack, cover, x, y, end), 0);
  EXPECT_EQ(end, 1);
}

TEST_F(ExtendedEnumTest, SingleItemsComeWithThumbnailDateAndSize) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ASSERT_EQ(db.GetSingleItemFirstInfoEx(), 0);
  std::map<int, std::tuple<std::string, std::string, bool, int, int>> seen;
  for (;;) {
    ItemInfo item;
    QDateTime made;
    int x = -1, y = -1, end = -1;
    ASSERT_EQ(db.GetSingleItemNextInfoEx(item, made, x, y, end), 0);
    if (end) {
      EXPECT_EQ(item.ItemNo, 0);
      break;
    }
    EXPECT_EQ(item.Stacked, 0);
    seen[item.ItemNo] = {item.Title, item.Ext, made.isValid(), x, y};
  }
  EXPECT_EQ(db.GetSingleItemPostInfoEx(), 0);
  using Row = std::tuple<std::string, std::string, bool, int, int>;
  EXPECT_EQ(seen, (std::map<int, Row>{{1, Row{"single.one", "jpg", true, 70, 90}},
                                      {6, Row{"single-six", "doc", false, 0, 0}}}));
}

TEST_F(ExtendedEnumTest, LookupsGiveTheItemWithItsThumbnail) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ItemInfo item;
  ThumbInfo thumb;
  ASSERT_EQ(db.GetThumbInfoFromStackNo(2, item, thumb), 0);
  EXPECT_EQ(item.ItemNo, 8);
  EXPECT_EQ(item.PageNo, 2);
  EXPECT_EQ(thumb.ItemNo, 8);
  EXPECT_EQ(thumb.ThumbSizeX, 100);
  EXPECT_EQ(thumb.ThumbData, (DbBytes{7, 7, 8}));
  EXPECT_EQ(thumb.ThumbDateTime.toString("yyyy-MM-dd HH:mm:ss"), "2026-12-10 11:12:13");

  ASSERT_EQ(db.GetThumbInfoFromStackNo(5, item, thumb), 0);
  EXPECT_EQ(item.ItemNo, 3);
  EXPECT_EQ(thumb.ItemNo, 3);
  EXPECT_EQ(thumb.ThumbSizeX, 0);
  EXPECT_TRUE(thumb.ThumbData.empty());

  ASSERT_EQ(db.GetThumbInfoFromItemNo(1, item, thumb), 0);
  EXPECT_EQ(item.Title, "single.one");
  EXPECT_EQ(item.Stacked, 0);
  EXPECT_EQ(thumb.ThumbSizeY, 90);
  ASSERT_EQ(db.GetThumbInfoFromItemNo(7, item, thumb), 0);
  EXPECT_EQ(item.Stacked, 1);
  EXPECT_EQ(item.PageNo, 3);
  EXPECT_EQ(thumb.ThumbSizeX, 0);

  EXPECT_EQ(db.GetThumbInfoFromStackNo(3, item, thumb), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(3)がありません: GetThumbInfoFromStackNo");
  EXPECT_EQ(db.GetThumbInfoFromItemNo(2, item, thumb), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたItemNo(2)がありません: GetThumbInfoFromItemNo");
}

TEST_F(ExtendedEnumTest, TheItemEnumerationOverAllItemsOrOneStacksPages) {
  auto walk = [&] {
    std::vector<int> numbers;
    for (;;) {
      ItemInfo item;
      int end = 0;
      EXPECT_EQ(db.GetSingleItemNextInfo(item, end), 0);
      if (end) break;
      numbers.push_back(item.ItemNo);
    }
    return numbers;
  };
  EXPECT_EQ(db.GetFirstItem(), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: GetFirstSingleItem");
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  ASSERT_EQ(db.GetFirstItem(), 0);
  auto all = walk();
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (std::vector<int>{1, 3, 4, 6, 7, 8, 9}));
  // Another stack's pages while the enumeration still runs: those pages.
  ASSERT_EQ(db.GetFirstStackPage(2), 0);
  EXPECT_EQ(walk(), (std::vector<int>{9, 8, 7}));
  ASSERT_EQ(db.GetFirstStackPage(5), 0);
  EXPECT_EQ(walk(), (std::vector<int>{3, 4}));
  EXPECT_EQ(db.PostSingleItem(), 0);
}

// Every first-operation opens its statement afresh: a restart never hands
// out the rows of the statement that ran before it on the same reader.
TEST_F(ExtendedEnumTest, EveryFirstOperationReopensItsEnumeration) {
  ASSERT_EQ(db.OpenFolder(folder, false), 0);
  auto walkItems = [&] {
    std::vector<int> numbers;
    ItemInfo item;
    for (int end = 0; db.GetSingleItemNextInfo(item, end) == 0 && !end;) numbers.push_back(item.ItemNo);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
  };
  ASSERT_EQ(db.GetFirstStackPage(2), 0);
  ItemInfo first;
  int end = 0;
  ASSERT_EQ(db.GetSingleItemNextInfo(first, end), 0);
  // Not posted: the single items come next, not the stack's pages.
  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  EXPECT_EQ(walkItems(), (std::vector<int>{1, 6}));
  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  EXPECT_EQ(walkItems(), (std::vector<int>{1, 6}));
  ASSERT_EQ(db.GetFirstItem(), 0);
  EXPECT_EQ(walkItems(), (std::vector<int>{1, 3, 4, 6, 7, 8, 9}));
  EXPECT_EQ(db.PostSingleItem(), 0);
}

}  // namespace
