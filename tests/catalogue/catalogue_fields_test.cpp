// Field-mask updates and the sorted enumeration.

#include "tests/catalogue/catalogue_ops_fixture.h"

#include <vector>

using namespace cataloguetest;
namespace fm = fieldmask;

namespace {

class FieldMaskTest : public CatalogueOpsTest {
 protected:
  void SetUp() override {
    CatalogueOpsTest::SetUp();
    seedAndOpen([](CatalogueRows& rows) {
      for (int no : {1, 2, 3}) rows.addItem({.itemNo = no, .title = "t" + std::to_string(no)});
      rows.addStackWithPages(1, 10, 2);
      rows.addStackWithPages(2, 20, 2);
    });
  }
  static ItemInfo record(int itemNo) {
    ItemInfo info = item("new", "txt");
    info.ItemNo = itemNo;
    return info;
  }
  std::string itemRow(int itemNo) {
    return query("SELECT ItemTitle,ItemExt,TextExt,ImageLevel,OLELevel,FullTextLevel,"
                 "SingleItemPosX,SingleItemPosY,OfficialDate,LastModifiedDate,LastAccessedDate "
                 "FROM ItemMST WHERE ItemNo = ?",
                 itemNo);
  }
};

struct ItemMaskCase {
  const char* name;
  std::uint32_t mask;
  std::string row;  // the row of item 1 afterwards
};

class ItemMask : public FieldMaskTest, public ::testing::WithParamInterface<ItemMaskCase> {};

TEST_P(ItemMask, WritesTheSelectedFieldsOnly) {
  ItemInfo info = record(1);
  info.TextExt = "TXT";
  info.ImageLevel = 4;
  info.OLELevel = 5;
  info.FullTextLevel = 6;
  info.SingleItemPosX = 70;
  info.SingleItemPosY = 80;
  info.OfficialDate = 20270101;
  info.LastModifiedDate = 20270202;
  info.LastAccessedDate = 20270303;
  ASSERT_EQ(db.SetItemInfo(info, GetParam().mask), 0) << db.GetDbLastError().message;
  EXPECT_EQ(itemRow(1), GetParam().row);
  EXPECT_EQ(itemRow(2), "t2.bmp,bmp,,1,0,0,0,0,20261210,20261210,20261210");
}

// Before: t1.bmp,bmp,(no text ext),1,0,0,0,0 and all three dates 20261210.
INSTANTIATE_TEST_SUITE_P(
    Masks, ItemMask,
    ::testing::Values(
        ItemMaskCase{"Title", 0x1, "new.txt,txt,,1,0,0,0,0,20261210,20261210,20261210"},
        ItemMaskCase{"TitleAndPosition", 0x41, "new.txt,txt,,1,0,0,70,80,20261210,20261210,20261210"},
        ItemMaskCase{"Levels", 0x1C, "t1.bmp,bmp,,4,5,6,0,0,20261210,20261210,20261210"},
        ItemMaskCase{"TextExtAndDates", 0x3A0, "t1.bmp,bmp,TXT,1,0,0,0,0,20270101,20270202,20270303"},
        ItemMaskCase{"StackBitsIgnored", 0xFC00 | 0x200,
                     "t1.bmp,bmp,,1,0,0,0,0,20261210,20261210,20270303"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FieldMaskTest, StackMaskWritesTitleCurrentPagePositionAndDates) {
  StackInfo info;
  info.StackNo = 1;
  info.Title = "改題";
  info.CurPageNo = 2;
  info.StackPosX = 11;
  info.StackPosY = 12;
  info.OfficialDate = 1;
  info.LastModifiedDate = 2;
  info.LastAccessedDate = 3;
  ASSERT_EQ(db.SetStackInfo(info, 0xC400 | 0x1), 0);
  EXPECT_EQ(query("SELECT StackTitle,CurPageNo,StackPosX,OfficialDate,LastModifiedDate,"
                  "LastAccessedDate FROM StackMST WHERE StackNo = 1"),
            "改題,1,0,20261210,2,3");
  ASSERT_EQ(db.SetStackInfo(info, 0x3800), 0);
  EXPECT_EQ(query("SELECT StackTitle,CurPageNo,StackPosX,StackPosY,OfficialDate FROM StackMST "
                  "WHERE StackNo = 1"),
            "改題,2,11,12,1");
}

TEST_F(FieldMaskTest, ACurrentPageOutsideTheStackIsRefused) {
  StackInfo info;
  info.StackNo = 1;
  const std::string before = query("SELECT CurPageNo FROM StackMST WHERE StackNo = 1");
  for (int page : {0, -1, 3, 60}) {
    info.CurPageNo = page;
    EXPECT_EQ(db.SetStackInfo(info, fieldmask::kStackCurPageNo), 10) << page;
    EXPECT_EQ(db.SetStackInfos({&info, 1}, fieldmask::kStackCurPageNo), 10) << page;
  }
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたCurPageNo(60)はStackNo(1)のページにありません。: SetStackInfo's MASK");
  EXPECT_EQ(query("SELECT CurPageNo FROM StackMST WHERE StackNo = 1"), before);
  info.CurPageNo = 2;
  EXPECT_EQ(db.SetStackInfo(info, fieldmask::kStackCurPageNo), 0);
}

struct BadText {
  const char* name;
  std::string title;
  std::string ext;
  std::string textExt;
  std::uint32_t mask;
  std::string offending;
};

class ItemTextRule : public FieldMaskTest, public ::testing::WithParamInterface<BadText> {};

TEST_P(ItemTextRule, RefusesAndWritesNothing) {
  const std::string before = dump();
  ItemInfo info = record(1);
  info.Title = GetParam().title;
  info.Ext = GetParam().ext;
  info.TextExt = GetParam().textExt;
  EXPECT_EQ(db.SetItemInfo(info, GetParam().mask | 0x200), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたItemTitle(" + GetParam().offending +
                ")に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: SetItemInfo MASK");
  EXPECT_EQ(dump(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ItemTextRule,
    ::testing::Values(BadText{"Title201", std::string(201, 'a'), "txt", "", 0x1, std::string(201, 'a')},
                      BadText{"TitleEmpty", "", "txt", "", 0x1, ""},
                      BadText{"TitleNumberSign", "a#b", "txt", "", 0x1, "a#b"},
                      BadText{"TitleBar", "a|b", "txt", "", 0x1, "a|b"},
                      BadText{"ExtEmpty", "a", "", "", 0x1, ""},
                      BadText{"ExtTooLong", "a", "abcdefghi", "", 0x1, "abcdefghi"},
                      BadText{"TextExtQuote", "a", "txt", "T'X", 0x20, "T'X"},
                      BadText{"TextExtTooLong", "a", "txt", "TXTTXTTXT", 0x20, "TXTTXTTXT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FieldMaskTest, MissingRowsAndEmptyMasksAreRefused) {
  const std::string before = dump();
  ItemInfo info = record(99);
  EXPECT_EQ(db.SetItemInfo(info, 0x200), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたItemNo(99)が存在しません。: SetItemInfo MASK");
  StackInfo stack;
  stack.StackNo = 99;
  EXPECT_EQ(db.SetStackInfo(stack, 0x8000), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(99)が存在しません。: SetStackInfo MASK");
  info.ItemNo = 1;
  EXPECT_EQ(db.SetItemInfo(info, 0), 10);
  EXPECT_EQ(db.GetDbLastError().message, "項目が一つも指定されていません。: SetItemInfo MASK");
  EXPECT_EQ(db.SetItemInfo(info, 0x2), 10);
  EXPECT_EQ(db.SetStackInfos({}, 0x8000), 10);
  EXPECT_EQ(db.GetDbLastError().message, "項目が一つも指定されていません。: SetStackInfo's MASK");
  EXPECT_EQ(dump(), before);
}

TEST_F(FieldMaskTest, ManyRowsAreAllOrNothing) {
  std::vector<ItemInfo> infos = {record(1), record(2), record(99)};
  for (auto& info : infos) info.LastAccessedDate = 20300101;
  const std::string before = dump();
  EXPECT_EQ(db.SetItemInfos(infos, 0x200), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたItemNo(99)が存在しません。: SetItemInfo's MASK");
  EXPECT_EQ(dump(), before);

  infos[2].ItemNo = 3;
  infos[1].Title = "bad?";
  EXPECT_EQ(db.SetItemInfos(infos, 0x201), 10);
  EXPECT_EQ(dump(), before);

  infos[1].Title = "b";
  infos[0].Title = "a";
  infos[2].Title = "c";
  ASSERT_EQ(db.SetItemInfos(infos, 0x201), 0);
  EXPECT_EQ(query("SELECT group_concat(ItemTitle || '@' || LastAccessedDate) FROM ItemMST "
                  "WHERE ItemNo <= 3"),
            "a.txt@20300101,b.txt@20300101,c.txt@20300101");

  std::vector<StackInfo> stacks(2);
  stacks[0].StackNo = 1;
  stacks[1].StackNo = 2;
  stacks[0].Title = "ok";
  stacks[1].Title = "";
  EXPECT_EQ(db.SetStackInfos(stacks, 0x400), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたStackTitle()に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: SetStackInfo's MASK");
  stacks[1].Title = "fine";
  ASSERT_EQ(db.SetStackInfos(stacks, 0x400), 0);
  EXPECT_EQ(query("SELECT group_concat(StackTitle) FROM (SELECT StackTitle FROM StackMST ORDER BY StackNo)"), "ok,fine");
  EXPECT_TRUE(sound());
}

TEST_F(FieldMaskTest, Guards) {
  ItemInfo info = record(1);
  reopen(true);
  EXPECT_EQ(db.SetItemInfo(info, 0x200), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: SetItemInfo MASK");
  EXPECT_EQ(db.SortFirst(0x100), 50);
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.SetStackInfos({}, 0x400), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオーブンされていません。: SetStackInfo's MASK");
}

// ---- the sorted enumeration -----------------------------------------------

class SortTest : public CatalogueOpsTest {
 protected:
  // Entries as "s3" (stack 3) and "i7" (item 7).
  std::string sorted(std::uint32_t mask) {
    EXPECT_EQ(db.SortFirst(mask), 0) << db.GetDbLastError().message;
    std::string out;
    SortEntry entry;
    for (int end = 0;;) {
      EXPECT_EQ(db.SortNext(entry, end), 0);
      if (end) break;
      if (!out.empty()) out += " ";
      out += (entry.Kind == SortEntry::kStack ? "s" : "i") + std::to_string(entry.No);
    }
    EXPECT_EQ(db.SortPost(), 0);
    return out;
  }
};

TEST_F(SortTest, OrdersStacksAndSingleItemsTogether) {
  seedAndOpen([](CatalogueRows& rows) {
    // Singles: 7 "b.bmp" (date 3), 8 "A.bmp" (date 1), 9 "c.bmp" (date 2),
    // 4 "あ.bmp" (date 2); stacks 1 "B" (date 2) over items 1, 2 and
    // 2 "か" (date 3) over items 5, 6.
    rows.addItem({.itemNo = 7, .title = "b", .date = 3});
    rows.addItem({.itemNo = 8, .title = "A", .date = 1});
    rows.addItem({.itemNo = 9, .title = "c", .date = 2});
    rows.addItem({.itemNo = 4, .title = "あ", .date = 2});
    rows.addStackWithPages(1, 1, 2);
    rows.addStackWithPages(2, 5, 2);
    rows.db().execute("UPDATE StackMST SET StackTitle = 'B', OfficialDate = 2 WHERE StackNo = 1");
    rows.db().execute("UPDATE StackMST SET StackTitle = 'か', OfficialDate = 3 WHERE StackNo = 2");
  });
  // Case-blind, Shift-JIS order (kana after ASCII); ties by ItemNo with the
  // stacks (no ItemNo) first.
  EXPECT_EQ(sorted(0x100), "i8 s1 i7 i9 i4 s2");
  EXPECT_EQ(sorted(0x101), "s2 i4 i9 i7 s1 i8");
  EXPECT_EQ(sorted(0x200), "i8 s1 i4 i9 s2 i7");
  EXPECT_EQ(sorted(0x201), "s2 i7 s1 i4 i9 i8");
  // The first key bit decides.
  EXPECT_EQ(sorted(0x300), sorted(0x100));
}

TEST_F(SortTest, TitlesGoInShiftJisByteOrder) {
  // Shift-JIS puts 亜 (0x889F) before 一 (0x88EA) and half-width kana
  // (0xA1-0xDF) after the first-level kanji; Unicode puts 一 first.
  seedAndOpen([](CatalogueRows& rows) {
    rows.addItem({.itemNo = 1, .title = "一"});
    rows.addItem({.itemNo = 2, .title = "亜"});
    rows.addItem({.itemNo = 3, .title = "ｶ"});
    rows.addItem({.itemNo = 4, .title = "z"});
  });
  EXPECT_EQ(sorted(0x100), "i4 i2 i1 i3");
}

TEST_F(SortTest, EndRepeatsAndMisuseIsReported) {
  seedAndOpen([](CatalogueRows& rows) { rows.addItem({.itemNo = 1, .title = "only"}); });
  SortEntry entry;
  int end = 0;
  EXPECT_EQ(db.SortNext(entry, end), 40);
  EXPECT_EQ(db.GetDbLastError().message, "SortFirstを呼び出していません。: SortNext");
  EXPECT_EQ(db.SortPost(), 40);
  EXPECT_EQ(db.GetDbLastError().message, "SortFirstを呼び出していません。: SortPost");

  EXPECT_EQ(db.SortFirst(0x1), 10);
  EXPECT_EQ(db.GetDbLastError().message, "sortするMaskが設定されてません。: SortFirst");
  // SortTRN has been refilled all the same.
  EXPECT_EQ(query("SELECT ItemNo,StackNo,Title FROM SortTRN"), "1,-,only.bmp");

  ASSERT_EQ(db.SortFirst(0x400), 0);
  ASSERT_EQ(db.SortNext(entry, end), 0);
  EXPECT_EQ(end, 0);
  for (int i = 0; i < 3; ++i) {
    entry.No = 5;
    ASSERT_EQ(db.SortNext(entry, end), 0);
    EXPECT_EQ(end, 1);
    EXPECT_EQ(entry.No, 0);
  }
  // It runs beside the other enumerations, and changes may follow it.
  ASSERT_EQ(db.GetFirstStack(), 0);
  EXPECT_EQ(db.PostStack(), 0);
  EXPECT_EQ(db.SortPost(), 0);
}

}  // namespace
