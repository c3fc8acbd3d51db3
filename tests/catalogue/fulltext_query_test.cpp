// The full-text query parser: result codes, operator strings, term kinds,
// and where a term of each kind is accepted.

#include "catalogue/fulltext_query.h"

#include "platform/sjis_codec.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

using namespace fulltext;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

std::string joinedTerms(int count) {
  std::string e;
  for (int i = 0; i < count; ++i) e += (i ? " #or# t" : "t") + std::to_string(i);
  return e;
}

struct ParseCase {
  const char* name;
  std::string expression;
  int result;
  std::string operators;  // checked when result is 1
  std::vector<std::string> terms;  // after the kinds, when given
};
void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.name; }

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, GivesCodeOperatorsAndTerms) {
  const ParseCase& c = GetParam();
  TermSlot slot;
  std::string operators = "stale";
  EXPECT_EQ(ParseSearchExpression(slot, operators, c.expression), c.result);
  if (c.result != kParsed) return;
  if (!c.operators.empty()) {
    EXPECT_EQ(operators, c.operators);
  }
  if (c.terms.empty()) return;
  AssignTermKinds(slot, kAnywhere);
  EXPECT_EQ(slot.terms, c.terms);
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, ParseTable,
    ::testing::Values(
        ParseCase{"spaces_only", "   \t ", kEmptyExpression, "", {}},
        ParseCase{"two_terms_without_operator", "a b", kSyntaxError, "", {}},
        ParseCase{"or_upper", "a #OR# b", kParsed, "00R01", {"a", "b"}},
        ParseCase{"or_mixed_case", "a #Or# b", kParsed, "00R01", {"a", "b"}},
        ParseCase{"operator_needs_a_space_before_it", "a#OR#b", kParsed, "00", {"a#OR#b"}},
        ParseCase{"nested_parentheses", "a #OR# (b #or# c)", kParsed, "00R(01R02)", {"a", "b", "c"}},
        ParseCase{"unclosed_quote", "\"ab", kUnbalancedQuote, "", {}},
        ParseCase{"doubled_quote_inside_phrase", "\"a\"\"b\"", kParsed, "00", {"a\"b"}},
        ParseCase{"single_quote_inside_plain_term", "ab\"c", kUnbalancedQuote, "", {}},
        ParseCase{"doubled_quote_inside_plain_term", "ab\"\"c", kParsed, "00", {"ab\"c"}},
        ParseCase{"unbalanced_parenthesis", "(a #or# b", kUnbalancedParentheses, "", {}},
        ParseCase{"sixty_terms", joinedTerms(60), kParsed, "", {}},
        ParseCase{"sixty_one_terms", joinedTerms(61), kTooManyTerms, "", {}},
        ParseCase{"term_of_129_bytes_then_operator", std::string(129, 'x') + " #OR# b", kParsed,
                  "00R01", {}},
        ParseCase{"term_of_130_bytes_then_operator", std::string(130, 'x') + " #OR# b", kSyntaxError,
                  "", {}},
        ParseCase{"term_of_131_bytes_at_the_end", std::string(129, 'x') + sj("あ"), kParsed, "00", {}},
        ParseCase{"phrase_of_128_bytes", "\"" + std::string(128, 'x') + "\"", kParsed, "00", {}},
        ParseCase{"phrase_of_129_bytes", "\"" + std::string(129, 'x') + "\"", kSyntaxError, "", {}},
        ParseCase{"lone_star", "*", kLoneWildcard, "", {}},
        ParseCase{"star_kinds_are_stripped", "*ab* #or# ab* #or# *ab", kParsed, "00R01R02",
                  {"ab", "ab", "ab"}},
        ParseCase{"dollar_terms_are_removed", "$$x #or# y", kParsed, "00R01", {"y"}},
        ParseCase{"operator_before_lead_byte", "a #OR#" + sj("あ"), kParsed, "00R01", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TermKinds, MarksGiveKinds) {
  TermSlot slot;
  std::string ops;
  ASSERT_EQ(ParseSearchExpression(slot, ops, "\"q\" #or# s* #or# *e #or# *a* #or# p"), kParsed);
  AssignTermKinds(slot, kWordStart);
  EXPECT_EQ(slot.kinds, (std::vector<TermKind>{kWholeWord, kWordStart, kWordEnd, kAnywhere, kWordStart}));
}

MatchText textOf(const std::string& s, const std::vector<unsigned char>* ignored = nullptr,
                 bool fold = false) {
  MatchText t;
  t.data = reinterpret_cast<const unsigned char*>(s.c_str());
  t.length = s.size();
  t.ignoredBytes = ignored;
  t.caseFold = fold;
  return t;
}

struct AcceptCase {
  const char* name;
  std::string text;
  std::string term;
  TermKind kind;
  bool found;
};
void PrintTo(const AcceptCase& c, std::ostream* os) { *os << c.name; }

class AcceptTable : public ::testing::TestWithParam<AcceptCase> {};

TEST_P(AcceptTable, FindsTermByItsKind) {
  const AcceptCase& c = GetParam();
  const MatchText t = textOf(c.text);
  EXPECT_EQ(FindTermInLine(t, 0, c.text.size(), c.term, c.kind), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, AcceptTable,
    ::testing::Values(
        AcceptCase{"whole_word_alone", "x abc y", "abc", kWholeWord, true},
        AcceptCase{"whole_word_letter_before", "xabc", "abc", kWholeWord, false},
        AcceptCase{"whole_word_letter_after", "abcd", "abc", kWholeWord, false},
        AcceptCase{"whole_word_hiragana_after", "abc" + sj("です"), "abc", kWholeWord, true},
        AcceptCase{"whole_word_kanji_inside_kanji", sj("東京都"), sj("京"), kWholeWord, false},
        AcceptCase{"whole_word_digits_are_their_own_class", "abc123", "abc", kWholeWord, true},
        AcceptCase{"start_matches_start_of_longer_word", "abcdef", "abc", kWordStart, true},
        AcceptCase{"start_not_after_a_letter", "xabcdef", "abc", kWordStart, false},
        AcceptCase{"end_matches_end_of_word", "xxabc.", "abc", kWordEnd, true},
        AcceptCase{"end_not_before_a_letter", "xxabcd", "abc", kWordEnd, false},
        AcceptCase{"anywhere_inside_a_word", "xabcx", "abc", kAnywhere, true},
        AcceptCase{"katakana_long_sound_is_katakana", sj("データー"), sj("データ"), kWholeWord, false},
        AcceptCase{"double_byte_never_matches_across_characters", sj("ア") + "A", "A", kAnywhere, true},
        AcceptCase{"trail_byte_is_not_a_start", sj("ア"), "A", kAnywhere, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MatchTermAt, PassesOverIgnoredBytesInsideAMatchOnly) {
  const std::vector<unsigned char> ignored = {'\r', '\n'};
  const std::string text = "ab\r\ncd";
  EXPECT_EQ(MatchTermAt(textOf(text, &ignored), 0, "abcd"), 6);
  EXPECT_EQ(MatchTermAt(textOf(text, nullptr), 0, "abcd"), -1);
  const std::string leading = "\nab";
  EXPECT_EQ(MatchTermAt(textOf(leading, &ignored), 0, "ab"), -1);
}

TEST(MatchTermAt, FoldsAsciiCaseOnRequestAndSkipsTermSpaces) {
  EXPECT_EQ(MatchTermAt(textOf("ABC"), 0, "abc"), -1);
  EXPECT_EQ(MatchTermAt(textOf("ABC", nullptr, true), 0, "abc"), 3);
  EXPECT_EQ(MatchTermAt(textOf("abcd"), 0, "ab cd"), 4);
  EXPECT_EQ(MatchTermAt(textOf("ab cd"), 0, "ab cd"), 5);
}

TEST(CharClass, Table) {
  const auto cls = [](const std::string& s) {
    return CharClass(reinterpret_cast<const unsigned char*>(s.data()), s.size());
  };
  EXPECT_EQ(cls(sj("あ")), 0);
  EXPECT_EQ(cls(sj("ア")), 1);
  EXPECT_EQ(cls(sj("ー")), 1);
  EXPECT_EQ(cls(sj("亜")), 2);
  EXPECT_EQ(cls(sj("々")), 2);
  EXPECT_EQ(cls(sj("Ａ")), 3);
  EXPECT_EQ(cls(sj("＿Ａ")), 3);
  EXPECT_EQ(cls(sj("＿")), 5);
  EXPECT_EQ(cls(sj("０")), 4);
  EXPECT_EQ(cls(sj("、")), 5);
  EXPECT_EQ(cls(sj("ｱ")), 11);
  EXPECT_EQ(cls("a"), 13);
  EXPECT_EQ(cls("7"), 14);
  EXPECT_EQ(cls("-"), 15);
}

}  // namespace
