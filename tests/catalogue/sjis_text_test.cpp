#include "catalogue/sjis_text.h"

#include <gtest/gtest.h>

namespace {

// Shift-JIS bytes: "ａ" is 82 81, "表" is 95 5C (its trail byte is '\'),
// "ソ" is 83 5C, half-width katakana "ｱ" is B1.
const std::string kFullA = "\x82\x81";
const std::string kHyou = "\x95\x5C";
const std::string kSo = "\x83\x5C";
const std::string kHalfA = "\xB1";

TEST(GetLastChar, FollowsTheLeadByteWalk) {
  struct Case {
    std::string text, last;
  } cases[] = {
      {"", ""},
      {"abc", "c"},
      {"a" + kHyou, kHyou},        // trail byte '\' belongs to the character
      {kSo, kSo},
      {"dir\\", "\\"},             // a real trailing backslash
      {kHalfA + kHalfA, kHalfA},   // half-width katakana are single bytes
      {"ab\x82", "\x82"},          // a lone lead byte at the end stands alone
      {kHyou + "\\", "\\"},
      {"\x81\x81\x81", "\x81"},    // 81 81 is one character, the last 81 alone
  };
  for (const Case& c : cases) EXPECT_EQ(GetLastChar(c.text), c.last) << c.text;
  // The usual trailing-separator test must not be fooled by a trail byte.
  EXPECT_NE(GetLastChar("C:" + kHyou), "\\");
}

TEST(MakeUpperSjis, UpperCasesOnlySingleByteAsciiLetters) {
  EXPECT_EQ(MakeUpperSjis("abc.Txt"), "ABC.TXT");
  // Trail bytes in the a-z range stay: 82 81 ("ａ"), 88 61 ("亜"-row byte pair).
  EXPECT_EQ(MakeUpperSjis(kFullA + "x" + "\x88\x61" + "y"), kFullA + "X" + "\x88\x61" + "Y");
  EXPECT_EQ(MakeUpperSjis(kHalfA + "\xDF" + "z"), kHalfA + "\xDF" + "Z");
  EXPECT_EQ(MakeUpperSjis("\xE0\x7A" "a"), "\xE0\x7A" "A");
}

struct TokenCase {
  const char* name;
  std::string source;
  int slotCount, slotWidth, charLimit;
  unsigned flags;
  int result;
  std::vector<std::string> tokens;
};

class ParseTokenListCases : public ::testing::TestWithParam<TokenCase> {};

TEST_P(ParseTokenListCases, Splits) {
  const TokenCase& c = GetParam();
  int count = -1;
  std::vector<std::string> slots;
  EXPECT_EQ(ParseTokenList(c.source, count, &slots, c.slotCount, c.slotWidth, c.charLimit, c.flags),
            c.result);
  if (c.result == tokenlist::kOk) {
    slots.resize(static_cast<size_t>(count));
    EXPECT_EQ(slots, c.tokens);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ParseTokenListCases,
    ::testing::Values(
        TokenCase{"Empty", "", 4, 16, 0, 0, 0, {}},
        TokenCase{"QuotedTokenWithSpace", "a, \"b c\" ,d", 4, 16, 0, 0, 0, {"a", "b c", "d"}},
        TokenCase{"EmptyTokensSkipped", "a,,b", 4, 16, 0, 0, 0, {"a", "b"}},
        TokenCase{"TrailingBlanksTrimmed", "  x y  ,z\t", 4, 16, 0, 0, 0, {"x y", "z"}},
        TokenCase{"QuotedCommaKept", "\"a,b\",c", 4, 16, 0, 0, 0, {"a,b", "c"}},
        TokenCase{"UnclosedQuoteTakesTheRest", "a,\"b, c", 4, 16, 0, 0, 0, {"a", "b, c"}},
        TokenCase{"TextAfterClosingQuote", "\"b\" x,c", 4, 16, 0, 0, 3, {}},
        TokenCase{"QuoteInsideToken", "a\"b", 4, 16, 0, 0, 3, {}},
        TokenCase{"TooManyTokens", "a,b,c", 2, 16, 0, 0, 2, {}},
        TokenCase{"TooLongForSlot", "abcd", 4, 4, 0, 0, 1, {}},
        TokenCase{"FitsItsSlot", "abc", 4, 4, 0, 0, 0, {"abc"}},
        // Double-byte characters: two bytes, one character each.
        TokenCase{"SlotCountsShiftJisBytes", "日本", 4, 4, 0, 0, 1, {}},
        TokenCase{"CharacterLimitKept", "日本語", 4, 16, 3, 0, 0, {"日本語"}},
        TokenCase{"CharacterLimitPassed", "日本語", 4, 16, 2, 0, 4, {}},
        TokenCase{"ByteLimitIsTwiceTheCharacters", "abcd", 4, 16, 2, 0, 4, {}},
        TokenCase{"SpaceForbidden", "a b,c", 4, 16, 0, tokenlist::kNoSpaces, 5, {}}),
    [](const auto& info) { return info.param.name; });

TEST(ParseTokenList, CountsWithoutSlots) {
  int count = 0;
  EXPECT_EQ(ParseTokenList("a, b, c", count, nullptr, 10, 8, 0, 0), 0);
  EXPECT_EQ(count, 3);
}

TEST(Keywords, CountAndSplit) {
  const std::string list = "a / b / c";
  EXPECT_EQ(CountKeywords(""), 0);
  EXPECT_EQ(CountKeywords("ab"), 1);
  EXPECT_EQ(CountKeywords(list), 3);
  EXPECT_EQ(CountKeywords("日本 / 語"), 2);
  struct Case {
    std::string list;
    int index;
    int result;
    std::string entry;
  } cases[] = {
      {list, 0, 1, "a"},   {list, 2, 1, "c"},     {list, 3, 0, ""},   {"", 0, 0, ""},
      {"ab", 0, 1, "ab"},  {"ab", 1, 0, ""},      {"a / ", 1, 1, ""}, {"x/y / z", 0, 1, "x/y"},
      {"長い語 / 短", 1, 1, "短"},
  };
  for (const Case& c : cases) {
    std::string out = "";
    EXPECT_EQ(SplitKeywords(c.list, out, c.index), c.result) << c.list << " #" << c.index;
    EXPECT_EQ(out, c.entry) << c.list << " #" << c.index;
  }
  std::string appended = "x";
  SplitKeywords(list, appended, 1);
  EXPECT_EQ(appended, "xb");
}

}  // namespace
