// Comments, keywords and creators.

#include "tests/catalogue/catalogue_ops_fixture.h"

using namespace cataloguetest;

namespace {

class AttributeTest : public CatalogueOpsTest {
 protected:
  void SetUp() override {
    CatalogueOpsTest::SetUp();
    seedAndOpen([](CatalogueRows& rows) { rows.addItem({.itemNo = 1, .title = "doc"}); });
  }
};

struct LengthCase {
  const char* kind;
  int limit;
};

class AttributeLength : public AttributeTest, public ::testing::WithParamInterface<LengthCase> {
 protected:
  int set(const std::string& text) {
    const std::string kind = GetParam().kind;
    if (kind == "Comment") return db.SetComment(1, text);
    if (kind == "Keyword") return db.SetKeyword(1, text);
    return db.SetCreator(1, text);
  }
};

// Limits count Shift-JIS bytes: a kanji counts two.
TEST_P(AttributeLength, LimitInShiftJisBytes) {
  const int limit = GetParam().limit;
  const std::string kind = GetParam().kind;
  std::string atLimit = "x";
  for (int i = 0; i < (limit - 1) / 2; ++i) atLimit += "語";
  if (limit % 2 == 0) atLimit += "y";
  ASSERT_EQ(set(atLimit), 0) << atLimit.size();
  std::string back;
  ASSERT_EQ(db.GetAttribute(1, back, kind), 0);
  EXPECT_EQ(back, atLimit);

  const std::string over = atLimit + "z";
  EXPECT_EQ(set(over), 10);
  EXPECT_EQ(db.GetDbLastError().message,
            "設定された" + kind + "(" + over + ")が長すぎます。: SetAttribute");
  ASSERT_EQ(db.GetAttribute(1, back, kind), 0);
  EXPECT_EQ(back, atLimit);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AttributeLength,
                         ::testing::Values(LengthCase{"Comment", 255}, LengthCase{"Keyword", 128},
                                           LengthCase{"Creator", 50}),
                         [](const auto& info) { return std::string(info.param.kind); });

TEST_F(AttributeTest, ApostrophesAndBarsRoundTripThroughTheirStoredForm) {
  const std::string text = "O'Brien | 報告 'x'|y";
  ASSERT_EQ(db.SetKeyword(1, text), 0);
  EXPECT_EQ(query("SELECT Keyword FROM KeywordMST WHERE ItemNo = 1"),
            "O\x01"
            "Brien \x02 報告 \x01x\x01\x02y");
  std::string back;
  ASSERT_EQ(db.GetAttribute(1, back, "Keyword"), 0);
  EXPECT_EQ(back, text);
}

TEST_F(AttributeTest, SetTwiceKeepsOneRowAndEmptyRemovesIt) {
  ASSERT_EQ(db.SetComment(1, "first"), 0);
  ASSERT_EQ(db.SetComment(1, "second"), 0);
  EXPECT_EQ(query("SELECT ItemNo,Comment FROM CommentMST"), "1,second");
  ASSERT_EQ(db.SetComment(1, ""), 0);
  EXPECT_EQ(query("SELECT count(*) FROM CommentMST"), "0");
  std::string back = "stale";
  ASSERT_EQ(db.GetAttribute(1, back, "Comment"), 0);
  EXPECT_EQ(back, "");
}

TEST_F(AttributeTest, KindsAreKeptApart) {
  ASSERT_EQ(db.SetComment(1, "c"), 0);
  ASSERT_EQ(db.SetCreator(1, "w"), 0);
  std::string keyword = "stale", creator;
  ASSERT_EQ(db.GetAttribute(1, keyword, "Keyword"), 0);
  ASSERT_EQ(db.GetAttribute(1, creator, "Creator"), 0);
  EXPECT_EQ(keyword, "");
  EXPECT_EQ(creator, "w");
}

TEST_F(AttributeTest, UnknownKindNeverReachesAStatement) {
  const std::string before = dump();
  EXPECT_EQ(db.SetAttribute(1, "x", "Comment(ItemNo) VALUES(1,'x'); --"), 10);
  std::string text;
  EXPECT_EQ(db.GetAttribute(1, text, "ItemMST"), 10);
  EXPECT_EQ(db.GetDbLastError().message, "指定された属性(ItemMST)はありません。: GetAttribute");
  EXPECT_EQ(dump(), before);
}

TEST_F(AttributeTest, Guards) {
  ASSERT_EQ(db.GetFirstStack(), 0);
  EXPECT_EQ(db.SetComment(1, "x"), 20);
  EXPECT_EQ(db.GetDbLastError().message, "GetFirst..(),GetNext..()のループ中です。: SetAttribute");
  reopen(true);
  EXPECT_EQ(db.SetCreator(1, "x"), 50);
  EXPECT_EQ(db.GetDbLastError().message, "リードオンリーです。: SetAttribute");
  std::string text;
  EXPECT_EQ(db.GetAttribute(1, text, "Creator"), 0);
  ASSERT_EQ(db.CloseFolder(), 0);
  EXPECT_EQ(db.GetAttribute(1, text, "Creator"), 40);
  EXPECT_EQ(db.GetDbLastError().message, "DBがオープンされていません。: GetAttribute");
}

}  // namespace
