// Registration and removal of items and stacks.

#include "tests/catalogue/catalogue_ops_fixture.h"

using namespace cataloguetest;

namespace {

class RegistrationTest : public CatalogueOpsTest {};

TEST_F(RegistrationTest, NumbersFollowTheLargestAndTheRowHoldsTheRecord) {
  open();
  EXPECT_EQ(add("first"), 1);
  ItemInfo info = item("見積書", "xls");
  info.ImageLevel = 0;
  info.OLELevel = 2;
  info.FullTextLevel = 1;
  info.TextExt = "TXT";
  info.OfficialDate = 20260401;
  info.SingleItemPosX = 30;
  info.SingleItemPosY = 40;
  info.StackNo = 9;  // ignored for a single item
  ASSERT_EQ(db.RegisterItem(info), 0);
  EXPECT_EQ(info.ItemNo, 2);
  EXPECT_EQ(info.StackNo, 0);
  EXPECT_EQ(query("SELECT ItemTitle,ItemExt,ImageLevel,OLELevel,FullTextLevel,TextExt,"
                  "OfficialDate,StackNo,PageNo,SingleItemPosX,SingleItemPosY FROM ItemMST "
                  "WHERE ItemNo = 2"),
            "見積書.xls,xls,0,2,1,TXT,20260401,-,-,30,40");
  ItemInfo back;
  ASSERT_EQ(db.GetItemInfo(2, back), 0);
  EXPECT_EQ(back, info);
  EXPECT_TRUE(sound());
}

TEST_F(RegistrationTest, NumberAfterGapsIsTheLargestPlusOne) {
  seedAndOpen([](CatalogueRows& rows) {
    for (int no : {1, 2, 5}) rows.addItem({.itemNo = no, .title = "t" + std::to_string(no)});
  });
  EXPECT_EQ(add("next"), 6);
}

TEST_F(RegistrationTest, DuplicateFileNamesAreRefusedCaseBlindAndSilently) {
  open();
  add("Report", "doc");
  ItemInfo earlier = item("x", "b|mp");
  ASSERT_EQ(db.RegisterItem(earlier), 10);
  const DbLastError before = db.GetDbLastError();
  for (auto [title, ext] : {std::pair{"Report", "doc"}, {"REPORT", "DOC"}, {"report", "Doc"}}) {
    ItemInfo twin = item(title, ext);
    EXPECT_EQ(db.RegisterItem(twin), -20) << title << "." << ext;
    EXPECT_EQ(twin.ItemNo, 0);
  }
  EXPECT_EQ(db.GetDbLastError().code, before.code);
  EXPECT_EQ(db.GetDbLastError().message, before.message);
  EXPECT_EQ(query("SELECT count(*) FROM ItemMST"), "1");
  // Another extension, or a full-width letter, is another name.
  EXPECT_GT(add("Report", "docx"), 0);
  EXPECT_GT(add("Ｒeport", "doc"), 0);
  EXPECT_TRUE(sound());
}

struct TitleCase {
  const char* name;
  std::string title;
  std::string ext;
  int expected;
};

std::string repeat(const char* piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

class RegisterTitleRule : public CatalogueOpsTest,
                          public ::testing::WithParamInterface<TitleCase> {};

TEST_P(RegisterTitleRule, AcceptsOrRefuses) {
  open();
  ItemInfo info = item(GetParam().title, GetParam().ext);
  EXPECT_EQ(db.RegisterItem(info), GetParam().expected) << db.GetDbLastError().message;
  EXPECT_EQ(query("SELECT count(*) FROM ItemMST"), GetParam().expected == 0 ? "1" : "0");
}

// Lengths count Shift-JIS bytes: a kanji is two bytes there (three in UTF-8),
// a half-width katakana one.
INSTANTIATE_TEST_SUITE_P(
    Titles, RegisterTitleRule,
    ::testing::Values(
        TitleCase{"Ascii200", std::string(200, 'a'), "bmp", 0},
        TitleCase{"Ascii201", std::string(201, 'a'), "bmp", 10},
        TitleCase{"Kanji100Is200Bytes", repeat("書", 100), "bmp", 0},
        TitleCase{"Kanji100AndOneAscii", repeat("書", 100) + "a", "bmp", 10},
        TitleCase{"Kanji99AndTwoAscii", repeat("書", 99) + "ab", "bmp", 0},
        TitleCase{"HalfWidthKana200", repeat("ｱ", 200), "bmp", 0},
        TitleCase{"HalfWidthKana201", repeat("ｱ", 201), "bmp", 10},
        TitleCase{"Empty", "", "bmp", 10},
        TitleCase{"Apostrophe", "it's", "bmp", 10},
        TitleCase{"NumberSign", "#1", "bmp", 10},
        TitleCase{"Colon", "a:b", "bmp", 10},
        TitleCase{"NoShiftJisCode", "😀", "bmp", 10},
        TitleCase{"Extension8", "t", "abcdefgh", 0},
        TitleCase{"Extension9", "t", "abcdefghi", 10},
        TitleCase{"ExtensionEmpty", "t", "", 10},
        TitleCase{"ExtensionQuote", "t", "b'); DROP TABLE ItemMST; --", 10},
        TitleCase{"ExtensionSlash", "t", "a/b", 10},
        TitleCase{"ExtensionKanji4", "t", "画像形式", 0},
        // The rule looks at the Shift-JIS form: ¥ is written 0x5C, a backslash.
        TitleCase{"YenSignIsABackslashInShiftJis", "a¥b", "bmp", 10},
        TitleCase{"Tab", "a\tb", "bmp", 10},
        TitleCase{"LineFeed", "a\nb", "bmp", 10},
        TitleCase{"Nul", std::string("a\0b", 3), "bmp", 10},
        TitleCase{"PointInTitle", "a.b", "bmp", 0},
        TitleCase{"PointInExtension", "t", "tar.gz", 10}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistrationTest, RefusalsAndTheirMessages) {
  open();
  ItemInfo stacked = item("page");
  stacked.Stacked = 1;
  EXPECT_EQ(db.RegisterItem(stacked), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたItemがStackに積まれた設定になっています。: RegisterItem");
  ItemInfo bad = item("a*b");
  EXPECT_EQ(db.RegisterItem(bad), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "指定されたItemTitle(a*b)に \"\\/:<>'*?][#| が含まれているか、空文字列か文字列が長すぎます。: RegisterItem");
  EXPECT_EQ(query("SELECT count(*) FROM ItemMST"), "0");

  reopen(true);
  ItemInfo fine = item("fine");
  EXPECT_EQ(db.RegisterItem(fine), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。 : RegisterItem");
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.RegisterItem(fine), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。 : RegisterItem");
}

// ---- removal --------------------------------------------------------------

class RemovalTest : public CatalogueOpsTest {
 protected:
  // Attribute, thumbnail and box rows for an item.
  static void hang(CatalogueRows& rows, int itemNo) {
    rows.db().execute("INSERT INTO CommentMST(ItemNo,Comment) VALUES(?,'c')", itemNo);
    rows.db().execute("INSERT INTO KeywordMST(ItemNo,Keyword) VALUES(?,'k')", itemNo);
    rows.db().execute("INSERT INTO CreatorMST(ItemNo,Creator) VALUES(?,'w')", itemNo);
    rows.db().execute("INSERT INTO ThumbMST(ItemNo,ThumbSizeX,ThumbSizeY) VALUES(?,1,1)", itemNo);
    rows.db().execute("INSERT INTO AnnBoxMST(ItemNo,AnnType) VALUES(?,1)", itemNo);
    rows.db().execute("INSERT INTO AnnBoxMST(ItemNo,AnnType) VALUES(?,2)", itemNo);
  }
  std::string dependentRows() {
    return query(
        "SELECT group_concat(ItemNo) FROM (SELECT ItemNo FROM CommentMST UNION ALL SELECT ItemNo "
        "FROM KeywordMST UNION ALL SELECT ItemNo FROM CreatorMST UNION ALL SELECT ItemNo FROM "
        "ThumbMST UNION ALL SELECT ItemNo FROM AnnBoxMST ORDER BY 1)");
  }
};

TEST_F(RemovalTest, RemovingAnItemTakesItsRowsAndNothingElse) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addItem({.itemNo = 1, .title = "a"});
    rows.addItem({.itemNo = 2, .title = "b"});
    hang(rows, 1);
    hang(rows, 2);
  });
  DissolvedStack dissolved{7, 7};
  ASSERT_EQ(db.UnregisterItem(1, dissolved), 0);
  EXPECT_EQ(dissolved.Dissolved, 0);
  EXPECT_EQ(query("SELECT ItemNo FROM ItemMST"), "2");
  EXPECT_EQ(dependentRows(), "2,2,2,2,2,2");
  EXPECT_TRUE(sound());
  EXPECT_EQ(db.UnregisterItem(1, dissolved), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたItemNo(1)が存在しません。: UnregisterItem");
}

struct PageRemoval {
  const char* name;
  int pages;
  int curPage;
  int removedPage;
  std::string pagesAfter;  // item numbers in page order
  std::string curPageAfter;
  int dissolved;
};

class RemovePage : public RemovalTest, public ::testing::WithParamInterface<PageRemoval> {};

TEST_P(RemovePage, ClosesTheGap) {
  const PageRemoval& c = GetParam();
  seedAndOpen([&](CatalogueRows& rows) {
    rows.addStackWithPages(4, 1, c.pages);  // items 1..pages
    rows.db().execute("UPDATE StackMST SET CurPageNo = ?", c.curPage);
    hang(rows, c.removedPage);
  });
  DissolvedStack dissolved;
  ASSERT_EQ(db.UnregisterItem(c.removedPage, dissolved), 0);
  EXPECT_EQ(dissolved.Dissolved, c.dissolved);
  EXPECT_EQ(dissolved.StackNo, c.dissolved ? 4 : 0);
  EXPECT_EQ(pagesOf(4), c.pagesAfter);
  EXPECT_EQ(query("SELECT CurPageNo FROM StackMST"), c.curPageAfter);
  EXPECT_EQ(dependentRows(), "-");
  EXPECT_TRUE(sound());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RemovePage,
    ::testing::Values(
        PageRemoval{"MiddleOfThreeCurrentLast", 3, 3, 2, "1,3", "2", 0},
        PageRemoval{"FirstOfThreeCurrentFirst", 3, 1, 1, "2,3", "1", 0},
        PageRemoval{"LastOfFourCurrentSecond", 4, 2, 4, "1,2,3", "2", 0},
        PageRemoval{"OneOfTwoDissolves", 2, 1, 1, "-", "", 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RemovalTest, DissolvedStackLeavesItsOtherPageSingle) {
  seedAndOpen([](CatalogueRows& rows) { rows.addStackWithPages(4, 1, 2); });
  DissolvedStack dissolved;
  ASSERT_EQ(db.UnregisterItem(2, dissolved), 0);
  EXPECT_EQ(query("SELECT ItemNo,StackNo,PageNo FROM ItemMST"), "1,-,-");
  EXPECT_EQ(query("SELECT count(*) FROM StackMST"), "0");
}

TEST_F(RemovalTest, RemovingAStackTakesItsPagesAndTheirRows) {
  seedAndOpen([](CatalogueRows& rows) {
    rows.addStackWithPages(1, 1, 3);
    rows.addStackWithPages(2, 4, 2);
    for (int no : {1, 3, 4}) hang(rows, no);
  });
  ASSERT_EQ(db.UnregisterStack(1), 0);
  EXPECT_EQ(query("SELECT group_concat(ItemNo) FROM ItemMST"), "4,5");
  EXPECT_EQ(query("SELECT StackNo FROM StackMST"), "2");
  EXPECT_EQ(dependentRows(), "4,4,4,4,4,4");
  EXPECT_TRUE(sound());
}

TEST_F(RemovalTest, MissingStackIsABadArgumentAndChangesNothing) {
  seedAndOpen([](CatalogueRows& rows) { rows.addStackWithPages(1, 1, 2); });
  const std::string before = dump();
  EXPECT_EQ(db.UnregisterStack(9), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定されたStackNo(9)が存在しません。: UnregisterStack");
  EXPECT_EQ(dump(), before);
}

TEST_F(RemovalTest, GuardsComeFirst) {
  seedAndOpen([](CatalogueRows& rows) { rows.addStackWithPages(1, 1, 2); });
  DissolvedStack dissolved;
  ASSERT_EQ(db.GetFirstStack(), 0);
  EXPECT_EQ(db.UnregisterItem(1, dissolved), 20);
  EXPECT_EQ(db.UnregisterStack(1), 20);
  EXPECT_EQ(db.GetDbLastError().message, "GetFirst..(),GetNext..()のループ中です。: UnregisterStack");
  reopen(true);
  EXPECT_EQ(db.UnregisterItem(1, dissolved), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: UnregisterItem");
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.UnregisterStack(1), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: UnregisterStack");
}

}  // namespace
