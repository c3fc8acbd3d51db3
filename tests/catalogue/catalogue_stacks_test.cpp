// Stacking: unstacking, merging and reordering pages.

#include "tests/catalogue/catalogue_ops_fixture.h"

#include <algorithm>
#include <vector>

using namespace cataloguetest;

namespace {

class StackingTest : public CatalogueOpsTest {
 protected:
  static StackInfo newStack(const std::string& title) {
    StackInfo info;
    info.Title = title;
    info.StackPosX = 5;
    info.StackPosY = 6;
    info.OfficialDate = info.LastModifiedDate = info.LastAccessedDate = 20261210;
    return info;
  }
};

MergeElement itemElement(int no) { return {0, no}; }
MergeElement stackElement(int no) { return {MergeElement::kStack, no}; }

// ---- MergeN ---------------------------------------------------------------

struct MergeCase {
  const char* name;
  std::vector<MergeElement> elements;
  std::string pages;  // item numbers of the new stack in page order
};

class Merge : public StackingTest, public ::testing::WithParamInterface<MergeCase> {};

// Items 7 and 9 single, stack 3 holds items 1..3, stack 4 holds items 4 and 5.
TEST_P(Merge, KeepsPageOrder) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(3, 1, 3);
    rows.addStackWithPages(4, 4, 2);
    rows.addItem({.itemNo = 7, .title = "seven"});
    rows.addItem({.itemNo = 9, .title = "nine"});
  });
  StackInfo info = newStack("merged");
  ASSERT_EQ(db.MergeN(info, GetParam().elements), 0) << db.GetDbLastError().message;
  EXPECT_EQ(info.StackNo, 5);
  EXPECT_EQ(info.CurPageNo, 1);
  EXPECT_EQ(pagesOf(5), GetParam().pages);
  EXPECT_EQ(info.PageCount, static_cast<int>(std::count(GetParam().pages.begin(),
                                                        GetParam().pages.end(), ',')) + 1);
  EXPECT_EQ(query("SELECT StackTitle,CurPageNo,StackPosX,StackPosY,OfficialDate FROM StackMST "
                  "WHERE StackNo = 5"),
            "merged,1,5,6,20261210");
  for (const MergeElement& e : GetParam().elements) {
    if (e.Kind == MergeElement::kStack) {
      EXPECT_EQ(query("SELECT count(*) FROM StackMST WHERE StackNo = ?", e.No), "0");
    }
  }
  EXPECT_TRUE(sound());
}

INSTANTIATE_TEST_SUITE_P(
    Elements, Merge,
    ::testing::Values(
        MergeCase{"ItemStackItem", {itemElement(7), stackElement(3), itemElement(9)}, "7,1,2,3,9"},
        MergeCase{"TwoItems", {itemElement(9), itemElement(7)}, "9,7"},
        MergeCase{"TwoStacks", {stackElement(4), stackElement(3)}, "4,5,1,2,3"},
        MergeCase{"StackThenItems",
                  {stackElement(3), itemElement(9), stackElement(4), itemElement(7)},
                  "1,2,3,9,4,5,7"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StackingTest, MergeMayTakeTheTitleOfAMergedStack) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 2);
    rows.addStackWithPages(2, 3, 2);
  });
  StackInfo info = newStack("stack1");
  const MergeElement elements[] = {stackElement(1), stackElement(2)};
  ASSERT_EQ(db.MergeN(info, elements), 0);
  EXPECT_EQ(query("SELECT StackNo,StackTitle FROM StackMST"), "3,stack1");
}

struct BadMerge {
  const char* name;
  std::vector<MergeElement> elements;
  std::string title;
  std::string message;
};

class MergeRefusal : public StackingTest, public ::testing::WithParamInterface<BadMerge> {};

TEST_P(MergeRefusal, ChangesNothing) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(3, 1, 3);
    rows.addItem({.itemNo = 7, .title = "seven"});
    rows.addItem({.itemNo = 9, .title = "nine"});
  });
  const std::string before = dump();
  StackInfo info = newStack(GetParam().title);
  EXPECT_EQ(db.MergeN(info, GetParam().elements), 10);
  EXPECT_EQ(db.GetDbLastError().message, GetParam().message);
  EXPECT_EQ(info.StackNo, 0);
  EXPECT_EQ(dump(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Elements, MergeRefusal,
    ::testing::Values(
        BadMerge{"OneElement", {itemElement(7)}, "t", "指定された要素数(1)が足りません。: MergeN"},
        BadMerge{"MissingItemLast", {itemElement(7), stackElement(3), itemElement(8)}, "t",
                 "指定されたItemNo(8)が存在しません。: MergeN"},
        BadMerge{"MissingStack", {itemElement(7), stackElement(4)}, "t",
                 "指定されたStackNo(4)が存在しません。: MergeN"},
        BadMerge{"PageOfAStack", {itemElement(7), itemElement(2)}, "t",
                 "指定されたItemNo(2)はStackに積まれています。: MergeN"},
        BadMerge{"SameItemTwice", {itemElement(7), itemElement(9), itemElement(7)}, "t",
                 "指定された要素(7)が重複しています。: MergeN"},
        BadMerge{"BadTitle", {itemElement(7), itemElement(9)}, "a|b",
                 "指定されたStackTitle(a|b)に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: MergeN"},
        BadMerge{"TitleOf201Bytes", {itemElement(7), itemElement(9)}, std::string(201, 's'),
                 "指定されたStackTitle(" + std::string(201, 's') +
                     ")に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: MergeN"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Unstack1 / UnstackAll ------------------------------------------------

struct UnstackCase {
  const char* name;
  int pages;
  int curPage;
  std::string pagesAfter;
  std::string curPageAfter;
  std::string singles;
  int dissolved;
};

class UnstackOne : public StackingTest, public ::testing::WithParamInterface<UnstackCase> {};

TEST_P(UnstackOne, TakesTheCurrentPageOut) {
  const UnstackCase& c = GetParam();
  seedAndOpen([&](CatalogueRows& rows) {
    rows.addStackWithPages(2, 1, c.pages);
    rows.db().execute("UPDATE StackMST SET CurPageNo = ?", c.curPage);
  });
  DissolvedStack dissolved;
  ASSERT_EQ(db.Unstack1(2, dissolved), 0);
  EXPECT_EQ(dissolved.Dissolved, c.dissolved);
  EXPECT_EQ(dissolved.StackNo, c.dissolved ? 2 : 0);
  EXPECT_EQ(pagesOf(2), c.pagesAfter);
  EXPECT_EQ(query("SELECT CurPageNo FROM StackMST"), c.curPageAfter);
  EXPECT_EQ(query("SELECT group_concat(ItemNo) FROM ItemMST WHERE StackNo IS NULL AND PageNo IS NULL"),
            c.singles);
  EXPECT_TRUE(sound());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, UnstackOne,
    ::testing::Values(UnstackCase{"FirstOfThree", 3, 1, "2,3", "1", "1", 0},
                      UnstackCase{"LastOfThree", 3, 3, "1,2", "2", "3", 0},
                      UnstackCase{"SecondOfFour", 4, 2, "1,3,4", "2", "2", 0},
                      UnstackCase{"TwoPagesDissolve", 2, 2, "-", "", "1,2", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StackingTest, UnstackAllMakesEveryPageSingle) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);
    rows.addStackWithPages(2, 4, 2);
  });
  ASSERT_EQ(db.UnstackAll(1), 0);
  EXPECT_EQ(query("SELECT group_concat(ItemNo) FROM ItemMST WHERE StackNo IS NULL"), "1,2,3");
  EXPECT_EQ(query("SELECT group_concat(StackNo) FROM StackMST"), "2");
  // Titles stay as they were.
  EXPECT_EQ(query("SELECT ItemTitle FROM ItemMST WHERE ItemNo = 2"), "s1p2.bmp");
  EXPECT_TRUE(sound());
}

TEST_F(StackingTest, MissingStacksAreBadArguments) {
  open();
  const std::string before = dump();
  DissolvedStack dissolved;
  EXPECT_EQ(db.UnstackAll(8), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(8)が存在しません。: UnstackAll");
  EXPECT_EQ(db.Unstack1(8, dissolved), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(8)が存在しません。: Unstack1");
  const std::int32_t order[] = {1, 2};
  EXPECT_EQ(db.ReorderAll(8, {order, 0}), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(8)が存在しません。: ReorderAll");
  EXPECT_EQ(dump(), before);
}

// ---- ReorderAll -----------------------------------------------------------

struct ReorderCase {
  const char* name;
  std::vector<std::int32_t> order;
  int expected;
  std::string pagesAfter;  // item numbers in page order, or the message
};

class Reorder : public StackingTest, public ::testing::WithParamInterface<ReorderCase> {};

TEST_P(Reorder, AppliesAPermutationOnly) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);  // items 1, 2, 3 as pages 1, 2, 3
    rows.addStackWithPages(2, 4, 2);
  });
  const std::string before = dump();
  ASSERT_EQ(db.ReorderAll(1, GetParam().order), GetParam().expected);
  if (GetParam().expected == 0) {
    EXPECT_EQ(pagesOf(1), GetParam().pagesAfter);
    EXPECT_EQ(pagesOf(2), "4,5");
    EXPECT_TRUE(sound());
  } else {
    EXPECT_EQ(db.GetDbLastError().message, GetParam().pagesAfter);
    EXPECT_EQ(dump(), before);
  }
}

// Element i is the new number of page i + 1: [3, 1, 2] makes old page 1 the
// third, old 2 the first, old 3 the second.
INSTANTIATE_TEST_SUITE_P(
    Orders, Reorder,
    ::testing::Values(
        ReorderCase{"Rotate", {3, 1, 2}, 0, "2,3,1"},
        ReorderCase{"Reverse", {3, 2, 1}, 0, "3,2,1"},
        ReorderCase{"Identity", {1, 2, 3}, 0, "1,2,3"},
        ReorderCase{"Repeated", {1, 1, 2}, 10, "指定された配列にPage(3)が見つかりません。: ReorderAll"},
        ReorderCase{"OutOfRange", {1, 2, 4}, 10, "指定された配列にPage(3)が見つかりません。: ReorderAll"},
        ReorderCase{"WrongCount", {2, 1}, 10, "指定されたPageCount(2)が間違っています。: ReorderAll"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StackingTest, ReorderKeepsTheCurrentPageNumber) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);
    rows.db().execute("UPDATE StackMST SET CurPageNo = 2");
  });
  const std::int32_t order[] = {2, 3, 1};
  ASSERT_EQ(db.ReorderAll(1, order), 0);
  EXPECT_EQ(query("SELECT CurPageNo FROM StackMST"), "2");
}

TEST_F(StackingTest, GuardsOfAllFour) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);
    rows.addItem({.itemNo = 7, .title = "seven"});
  });
  DissolvedStack dissolved;
  StackInfo info = newStack("t");
  const MergeElement elements[] = {itemElement(7), stackElement(1)};
  const std::int32_t order[] = {1, 2, 3};
  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  EXPECT_EQ(db.UnstackAll(1), 20);
  EXPECT_EQ(db.Unstack1(1, dissolved), 20);
  EXPECT_EQ(db.MergeN(info, elements), 20);
  EXPECT_EQ(db.ReorderAll(1, order), 20);
  EXPECT_EQ(db.GetDbLastError().message, "GetFirst..(),GetNext..()のループ中です。: ReorderAll");
  reopen(true);
  EXPECT_EQ(db.UnstackAll(1), 50);
  EXPECT_EQ(db.Unstack1(1, dissolved), 50);
  EXPECT_EQ(db.MergeN(info, elements), 50);
  EXPECT_EQ(db.ReorderAll(1, order), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: ReorderAll");
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.MergeN(info, elements), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: MergeN");
}

}  // namespace
