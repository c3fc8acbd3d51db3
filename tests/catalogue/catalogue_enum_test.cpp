// Enumeration, counts, lookups and reads of one row.

#include "tests/catalogue/catalogue_ops_fixture.h"

#include <set>

using namespace cataloguetest;

namespace {

class EnumerationTest : public CatalogueOpsTest {};

TEST_F(EnumerationTest, EmptyCatalogueEndsAtOnceAndCountsZero) {
  open();
  ASSERT_EQ(db.GetFirstStack(), 0);
  StackInfo stack;
  stack.StackNo = 99;
  int end = 0;
  ASSERT_EQ(db.GetNextStack(stack, end), 0);
  EXPECT_EQ(end, 1);
  EXPECT_EQ(stack.StackNo, 0);
  EXPECT_EQ(db.PostStack(), 0);
  int singles = -1, stacks = -1, total = -1;
  EXPECT_EQ(db.GetSingleItemCount(singles), 0);
  EXPECT_EQ(db.GetStackCount(stacks), 0);
  EXPECT_EQ(db.GetTotalItemCount(total), 0);
  EXPECT_EQ(singles + stacks + total, 0);
}

TEST_F(EnumerationTest, ListsStacksWithPageCountsAndOnlyUnstackedItems) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);
    rows.addStackWithPages(2, 4, 2);
    rows.addItem({.itemNo = 6, .title = "single", .ext = "doc"});
    rows.addItem({.itemNo = 7, .title = "another.part", .ext = "TIF"});
  });
  ASSERT_EQ(db.GetFirstStack(), 0);
  std::set<std::pair<int, int>> stacks;  // (number, pages)
  for (int end = 0;;) {
    StackInfo info;
    ASSERT_EQ(db.GetNextStack(info, end), 0);
    if (end) break;
    stacks.insert({info.StackNo, info.PageCount});
    EXPECT_EQ(info.Title, "stack" + std::to_string(info.StackNo));
  }
  EXPECT_EQ(stacks, (std::set<std::pair<int, int>>{{1, 3}, {2, 2}}));
  ASSERT_EQ(db.PostStack(), 0);

  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  std::set<std::string> names;
  for (int end = 0;;) {
    ItemInfo info;
    ASSERT_EQ(db.GetSingleItemNextInfo(info, end), 0);
    if (end) {
      EXPECT_EQ(info.ItemNo, 0);
      break;
    }
    EXPECT_EQ(info.Stacked, 0);
    EXPECT_EQ(info.StackNo, 0);
    EXPECT_EQ(info.PageNo, 0);
    names.insert(info.Title + "|" + info.Ext);
  }
  // The title is the stored name up to its last point.
  EXPECT_EQ(names, (std::set<std::string>{"single|doc", "another.part|TIF"}));
  ASSERT_EQ(db.PostSingleItem(), 0);

  int singles = 0, stackCount = 0, total = 0;
  db.GetSingleItemCount(singles);
  db.GetStackCount(stackCount);
  db.GetTotalItemCount(total);
  EXPECT_EQ(singles, 2);
  EXPECT_EQ(stackCount, 2);
  EXPECT_EQ(total, 7);
}

TEST_F(EnumerationTest, RepeatedFirstRestartsAndChangesWaitForPost) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addItem({.itemNo = 1, .title = "a"});
    rows.addItem({.itemNo = 2, .title = "b"});
  });
  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  ItemInfo info;
  int end = 0;
  db.GetSingleItemNextInfo(info, end);
  db.GetSingleItemNextInfo(info, end);
  ASSERT_EQ(db.GetFirstSingleItem(), 0);
  int seen = 0;
  for (db.GetSingleItemNextInfo(info, end); !end; db.GetSingleItemNextInfo(info, end)) ++seen;
  EXPECT_EQ(seen, 2);

  ItemInfo fresh = item("fresh");
  EXPECT_EQ(db.RegisterItem(fresh), 20);
  EXPECT_EQ(db.GetDbLastError().message, "GetFirst..(),GetNext..()のループ中です。: RegisterItem");
  ASSERT_EQ(db.PostSingleItem(), 0);
  EXPECT_EQ(db.RegisterItem(fresh), 0);
}

TEST_F(EnumerationTest, CallsOutOfOrderAreRefused) {
  open();
  StackInfo stack;
  ItemInfo item;
  int end = 0;
  struct Case {
    int expected;
    int actual;
    const char* message;
  } cases[] = {
      {40, db.GetNextStack(stack, end), "DBがオープンされていないか、FirstStackを呼び出していません。: GetNextStack"},
      {20, db.PostStack(), "DBがオープンされていません。: PostStack"},
      {20, db.GetSingleItemNextInfo(item, end), "DBがオープンされていません。: GetSingleItemNextInfo"},
      {20, db.PostSingleItem(), "DBがオープンされていません。: PostSingleItem"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.message;
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: PostSingleItem");

  ASSERT_EQ(db.CloseFolder(), 0);
  int count = 0;
  EXPECT_EQ(db.GetFirstStack(), 40);
  EXPECT_EQ(db.GetStackCount(count), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: GetStackCount");
}

// ---- lookups --------------------------------------------------------------

TEST_F(EnumerationTest, FindItemIgnoresAsciiCaseFindStackDoesNot) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addItem({.itemNo = 3, .title = "Report", .ext = "Doc"});
    rows.addItem({.itemNo = 4, .title = "ａ報告", .ext = "txt"});
    rows.addStack(5, "Minutes", 1);
  });
  struct Case {
    const char* title;
    const char* ext;
    int found;
    int itemNo;
  } items[] = {
      {"Report", "Doc", 1, 3}, {"REPORT", "doc", 1, 3}, {"report", "DOC", 1, 3},
      // Full-width letters are not ASCII: their case counts.
      {"Ａ報告", "txt", 0, 0}, {"ａ報告", "TXT", 1, 4}, {"Report", "docx", 0, 0},
  };
  for (const Case& c : items) {
    int found = -1, itemNo = -1;
    ASSERT_EQ(db.FindItem(c.title, c.ext, found, itemNo), 0) << c.title;
    EXPECT_EQ(found, c.found) << c.title << "." << c.ext;
    EXPECT_EQ(itemNo, c.itemNo) << c.title << "." << c.ext;
  }
  int found = -1, stackNo = 0;
  ASSERT_EQ(db.FindStack("Minutes", found, stackNo), 0);
  EXPECT_EQ(found, 1);
  EXPECT_EQ(stackNo, 5);
  ASSERT_EQ(db.FindStack("MINUTES", found, stackNo), 0);
  EXPECT_EQ(found, 0);
}

TEST_F(EnumerationTest, LookupsRefuseBadTitlesWithoutRunningAStatement) {
  open();
  const std::string longTitle(201, 'x');
  for (const std::string& bad : {std::string(), longTitle, std::string("it's"), std::string("a|b"),
                                 std::string("😀")}) {
    int found = -1, number = -1;
    EXPECT_EQ(db.FindStack(bad, found, number), 10) << bad;
    EXPECT_EQ(found, -1);
    EXPECT_EQ(db.FindItem(bad, "bmp", found, number), 10) << bad;
  }
  int found = 0, number = 0;
  EXPECT_EQ(db.FindItem("ok", "b|mp", found, number), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたItemTitle(b|mp)に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: FindItem");
}

// ---- reads of one row -----------------------------------------------------

TEST_F(EnumerationTest, ReadsAStackAnItemAndAPage) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(2, 10, 3);
    rows.addItem({.itemNo = 20, .title = "single", .ext = "jpg", .fullTextLevel = 2});
  });
  StackInfo stack;
  ASSERT_EQ(db.GetStackInfo(2, stack), 0);
  EXPECT_EQ(stack.PageCount, 3);
  EXPECT_EQ(stack.CurPageNo, 1);
  EXPECT_EQ(stack.Title, "stack2");

  ItemInfo page;
  ASSERT_EQ(db.Stack2Item(2, 3, page), 0);
  EXPECT_EQ(page.ItemNo, 12);
  EXPECT_EQ(page.Stacked, 1);
  EXPECT_EQ(page.StackNo, 2);
  EXPECT_EQ(page.PageNo, 3);
  EXPECT_EQ(page.Title, "s2p3");

  ItemInfo single;
  ASSERT_EQ(db.GetItemInfo(20, single), 0);
  EXPECT_EQ(single.FullTextLevel, 2);
  EXPECT_EQ(single.Ext, "jpg");
  EXPECT_EQ(single.Stacked, 0);

  for (int pageNo : {0, 4}) {
    EXPECT_EQ(db.Stack2Item(2, pageNo, page), 10);
  }
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(2)のページ数(4)が存在しません: Stack2Item");
  EXPECT_EQ(db.GetItemInfo(21, single), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたItemNo(21)が存在しません。: GetItemInfo");
  EXPECT_EQ(db.GetStackInfo(3, stack), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(3)のStackが存在しません。: GetStackInfo");
}

TEST_F(EnumerationTest, InconsistentStacksReadAsSixty) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 2);
    rows.db().execute("UPDATE StackMST SET CurPageNo = 3 WHERE StackNo = 1");
    rows.addStack(2, "empty", 1);
    rows.addStackWithPages(3, 5, 2);
    rows.db().execute("UPDATE StackMST SET CurPageNo = 0 WHERE StackNo = 3");
  });
  StackInfo stack;
  EXPECT_EQ(db.GetStackInfo(1, stack), 60);
  EXPECT_EQ(db.GetDbLastError().message, "データベース壊れました。: GetStackInfo");
  EXPECT_EQ(db.GetStackInfo(2, stack), 60);
  EXPECT_EQ(db.GetDbLastError().message,
            "データベースが壊れています。Itemの登録されていないStack: StackListCPStackInfo: GetStackInfo");
  EXPECT_EQ(db.GetStackInfo(3, stack), 60);
  // The enumeration lists them all the same, with their counts.
  ASSERT_EQ(db.GetFirstStack(), 0);
  int end = 0, listed = 0;
  for (db.GetNextStack(stack, end); !end; db.GetNextStack(stack, end)) ++listed;
  EXPECT_EQ(listed, 3);
}

TEST_F(EnumerationTest, LongStoredTextsAreCutWithoutSplittingACharacter) {
  // 100 two-byte characters fill 200 Shift-JIS bytes; the 101st is cut.
  std::string title;
  for (int i = 0; i < 101; ++i) title += "字";
  seedAndOpen([&](CatalogueRows& rows) {
    rows.addItem({.itemNo = 1, .title = title, .ext = "jpegfile2"});
  });
  ItemInfo info;
  ASSERT_EQ(db.GetItemInfo(1, info), 0);
  EXPECT_EQ(info.Title, title.substr(0, 100 * 3));
  EXPECT_EQ(info.Ext, "jpegfile");
}

}  // namespace
