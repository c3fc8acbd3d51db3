// The full-text engine: the block scan with its overlap, the term variants
// and the fuzzy comparison.

#include "catalogue/fulltext_engine.h"

#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using namespace fulltext;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

class Engine : public ::testing::Test {
 protected:
  void SetUp() override {
    engine.SetSearchIgnorance('\r', 0);
    engine.SetSearchIgnorance('\n', 0);
  }
  int Find(const std::string& text, const std::string& expression) {
    const std::string path = dir.file("t.txt");
    testsupport::writeFile(path, text);
    if (engine.RegisterSearchString(expression) == 0) return -1;
    const int r = engine.DirectSearchFirst(path, record);
    engine.PostSearch();
    return r;
  }
  testsupport::TempDir dir;
  FulltextEngine engine;
  MatchRecord record;
};

TEST_F(Engine, TermAcrossTheBlockBorderIsFoundOnceInTheFirstBlock) {
  std::string text(kBlockBytes + 2000, '.');
  text.replace(kBlockBytes - 10, 20, "needle-across-border");
  const std::string path = dir.file("big.txt");
  testsupport::writeFile(path, text);
  ASSERT_EQ(engine.RegisterSearchString("needle-across-border"), 1);
  EXPECT_EQ(engine.DirectSearchFirst(path, record), 1);
  EXPECT_EQ(record.offset, kBlockBytes - 10);
  EXPECT_EQ(record.length, 20);
  EXPECT_EQ(record.score, 100);
  engine.PostSearch();
  // Block 1 on its own does not report what lies in its first 256 bytes.
  EXPECT_EQ(engine.ScanBlock(1, 0, path), 1);
  EXPECT_EQ(engine.Match().offset, kBlockBytes - 10);
  // A further call on the same block resumes after the hit.
  EXPECT_EQ(engine.ScanBlock(0, 0, path), 0);
  EXPECT_EQ(engine.ScanBlock(0, 1, path), 0);
}

TEST_F(Engine, TermAfterTheOverlapOfALaterBlockHasItsFileOffset) {
  std::string text(2 * kBlockBytes + 100, '.');
  text.replace(kBlockBytes + 5000, 6, "needle");
  EXPECT_EQ(Find(text, "needle"), 1);
  EXPECT_EQ(record.offset, kBlockBytes + 5000);
}

TEST_F(Engine, LaterBlockKeepsTheCharacterBoundaries) {
  // ア is 83 41: every other byte is an "A" that is no character. The walk
  // of block 1 must not start on one.
  const std::string text = "x" + [] {
    std::string s;
    for (int i = 0; i < 20000; ++i) s += sj("ア");
    return s;
  }();
  EXPECT_EQ(Find(text, "A"), 0);
  EXPECT_EQ(Find(text + "A", "A"), 1);
  EXPECT_EQ(record.offset, static_cast<std::int64_t>(text.size()));
}

TEST_F(Engine, EmptyAndMissingFilesAreNoHits) {
  EXPECT_EQ(Find("", "a"), 0);
  ASSERT_EQ(engine.RegisterSearchString("a"), 1);
  EXPECT_EQ(engine.DirectSearchFirst(dir.file("missing.txt"), record), 0);
}

TEST_F(Engine, LineBreaksInsideAWordAreIgnored) {
  EXPECT_EQ(Find(sj("東京\r\n都庁"), sj("東京都庁")), 1);
}

struct VariantCase {
  const char* name;
  std::string text;
  std::string term;
  int widths;
  int cases;
  int found;
};
void PrintTo(const VariantCase& c, std::ostream* os) { *os << c.name; }

class Variants : public Engine, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(Variants, FindOrNot) {
  const VariantCase& c = GetParam();
  engine.SetSearchParameter(0, 0, 128, 3, c.widths, c.cases, 100);
  EXPECT_EQ(Find(c.text, c.term), c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Variants,
    ::testing::Values(
        VariantCase{"full_width_text_half_width_term", sj("ＡＢＣ"), "ABC", 1, 0, 1},
        VariantCase{"full_width_off", sj("ＡＢＣ"), "ABC", 0, 0, 0},
        VariantCase{"half_width_kana_text", sj("ｱｲｳｶﾞ"), sj("アイウガ"), 1, 0, 1},
        VariantCase{"full_width_term_half_width_ascii_text", "xyz", sj("ｘｙｚ"), 1, 0, 1},
        VariantCase{"upper_text_lower_term", "ABC", "abc", 0, 1, 1},
        VariantCase{"case_off", "ABC", "abc", 0, 0, 0},
        VariantCase{"capitalised", "Tokyo", "TOKYO", 0, 1, 1},
        VariantCase{"full_width_letters_fold", sj("ａｂｃ"), sj("ＡＢＣ"), 0, 1, 1},
        VariantCase{"small_kana_in_text", sj("キャノン"), sj("キヤノン"), 0, 1, 1},
        VariantCase{"large_kana_in_text", sj("キヤノン"), sj("キャノン"), 0, 1, 1},
        VariantCase{"small_kana_off", sj("キャノン"), sj("キヤノン"), 0, 0, 0},
        VariantCase{"half_width_small_tsu", sj("ｶｯﾄ"), sj("ｶﾂﾄ"), 0, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Engine, VariantsAreOrderedLongestFirst) {
  engine.SetSearchParameter(0, 0, 128, 3, 1, 1, 100);
  ASSERT_EQ(engine.RegisterSearchString("ab #or# abcd"), 1);
  const auto& terms = engine.Slot(0).terms;
  for (std::size_t i = 1; i < terms.size(); ++i) EXPECT_GE(terms[i - 1].size(), terms[i].size());
}

TEST_F(Engine, ParseFailureRegistersNothing) {
  EXPECT_EQ(engine.RegisterSearchString("a b"), 0);
  EXPECT_EQ(engine.LastParseResult(), kSyntaxError);
}

TEST_F(Engine, FuzzyComparisonFindsNearSpellingsBySimilarity) {
  engine.SetSearchParameter(0, 0, 128, 3, 0, 0, 70);
  EXPECT_EQ(Find(sj("これは東京の都庁です"), sj("東京都庁")), 1);
  EXPECT_EQ(record.score, 100);
  EXPECT_EQ(Find(sj("これは東京の都です"), sj("東京都庁")), 1);
  EXPECT_EQ(record.score, 75);
  EXPECT_EQ(Find(sj("大阪府庁です"), sj("東京都庁")), 0);
  engine.SetSearchParameter(0, 0, 128, 3, 0, 0, 100);
  EXPECT_EQ(Find(sj("これは東京の都です"), sj("東京都庁")), 0);
}

TEST_F(Engine, OtherSlotsMustOccurInTheSameLine) {
  const std::string path = dir.file("lines.txt");
  testsupport::writeFile(path, "alpha beta\ngamma\n");
  ASSERT_EQ(engine.RegisterSearchString("alpha", "beta"), 1);
  EXPECT_EQ(engine.DirectSearchFirst(path, record), 1);
  engine.PostSearch();
  ASSERT_EQ(engine.RegisterSearchString("alpha", "gamma"), 1);
  EXPECT_EQ(engine.DirectSearchFirst(path, record), 0);
  engine.PostSearch();
}

TEST(SetSearchParameter, Clamps) {
  FulltextEngine e;
  e.SetSearchParameter(5, 7, 300, 2, 9, -1, 150);
  EXPECT_EQ(e.Parameter(1), 1);
  EXPECT_EQ(e.Parameter(2), 2);
  EXPECT_EQ(e.Parameter(3), 254);
  EXPECT_EQ(e.Parameter(5), 1);
  EXPECT_EQ(e.Parameter(6), 1);
  EXPECT_EQ(e.Parameter(7), 100);
  e.SetSearchParameter(0, 1, 0, 3, 0, 0, 0);
  EXPECT_EQ(e.Parameter(3), 0);
  EXPECT_EQ(e.Parameter(7), 0);
}

TEST(SetSearchIgnorance, HoldsAtMost128OfEachKind) {
  FulltextEngine e;
  for (int i = 0; i < 128; ++i) ASSERT_EQ(e.SetSearchIgnorance(static_cast<unsigned char>(i), 0), 1);
  EXPECT_EQ(e.SetSearchIgnorance('x', 0), 0);
  EXPECT_EQ(e.SetSearchIgnorance(0x81, 0x40), 1);
}

}  // namespace

namespace {

// Arbitrary bytes, lone lead bytes at block ends included, and arbitrary
// expressions never crash the parser or the scan.
TEST(EngineRobustness, ArbitraryTextsAndExpressions) {
  testsupport::TempDir dir;
  std::uint32_t seed = 12345;
  const auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return seed >> 8;
  };
  for (int round = 0; round < 40; ++round) {
    std::string text(static_cast<std::size_t>(next() % (3 * kBlockBytes)), '\0');
    for (char& c : text) c = static_cast<char>(next() & 0xFF);
    if (!text.empty() && round % 2 == 0) text.back() = static_cast<char>(0x82);
    const std::string path = dir.file("r.bin");
    testsupport::writeFile(path, text);
    std::string expression(static_cast<std::size_t>(next() % 40), '\0');
    for (char& c : expression) c = static_cast<char>(next() & 0xFF);
    FulltextEngine engine;
    engine.SetSearchParameter(0, 1, 128, static_cast<int>(next() % 4), 1, 1,
                              round % 3 == 0 ? 50 : 100);
    TermSlot slot;
    std::string operators;
    ParseSearchExpression(slot, operators, expression);
    for (const std::string& e : {expression, std::string("a #or# \x82"), std::string("*\x82\xA0*")}) {
      if (engine.RegisterSearchString(e) == 0) continue;
      MatchRecord record;
      const int r = engine.DirectSearchFirst(path, record);
      EXPECT_TRUE(r == 0 || r == 1);
      if (r == 1) {
        EXPECT_GE(record.offset, 0);
        EXPECT_LE(record.offset + record.length, static_cast<std::int64_t>(text.size()));
      }
      engine.PostSearch();
    }
  }
}

}  // namespace

namespace {

// The scan of a text in memory answers as the scan of the same bytes in a
// file, over texts of one to four blocks with the word at every kind of
// place (block borders, overlaps, split by line breaks, shifted by a byte),
// for each kind of term, both variant settings and a fuzzy similarity.
TEST_F(Engine, TextInMemoryIsScannedAsTheFileIs) {
  std::mt19937 random(11);
  const std::vector<std::string> pieces = {sj("研修"), sj("研"), sj("修"), sj("あ"), sj("ｹﾝｼｭｳ"), "\r\n",
                                           "x",       "X",     sj("会議室"), sj("ソフト"), "\x89"};
  const std::vector<std::string> expressions = {sj("*研修*"), sj("\"研修\""), sj("研修*"), sj("*研修"),
                                                sj("*会議室* #or# *ソフト*"), "*x*", sj("*ケンシュウ*")};
  int found = 0;
  int scans = 0;
  for (int round = 0; round < 60; ++round) {
    std::string text;
    const std::size_t size = static_cast<std::size_t>(random() % (4 * kBlockBytes));
    while (text.size() < size) {
      // Mostly hiragana; the pieces now and then, often near a border.
      const std::size_t border = (text.size() / kBlockBytes + 1) * kBlockBytes;
      if ((border - text.size() < 300 && random() % 16 == 0) || random() % 2000 == 0)
        text += pieces[random() % pieces.size()];
      else
        text += sj("か");
    }
    const std::string path = dir.file("t.txt");
    testsupport::writeFile(path, text);
    for (const std::string& expression : expressions)
      for (const int variants : {0, 1})
        for (const int similarity : {100, 80}) {
          engine.SetSearchParameter(1, 0, 128, 3, variants, variants, similarity);
          ASSERT_EQ(engine.RegisterSearchString(expression), 1);
          const int fromFile = engine.DirectSearchFirst(path, record);
          engine.PostSearch();
          found += fromFile;
          ++scans;
          EXPECT_EQ(engine.SearchText(text), fromFile)
              << "round " << round << " size " << text.size() << " expression " << platform::fromCp932(expression)
              << " variants " << variants << " similarity " << similarity;
        }
  }
  // Both answers occur often.
  EXPECT_GT(found, scans / 10);
  EXPECT_LT(found, scans * 9 / 10);
}

}  // namespace
