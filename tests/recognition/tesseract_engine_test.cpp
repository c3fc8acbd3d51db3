// The Tesseract-backed engines as their callers use them: loading, refusing
// to work without language data, candidates, kind masks, user patterns and
// the English engine's entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/profile.h"
#include "platform/program_folder.h"
#include "recognition/character_codes.h"
#include "recognition/tesseract_english_engine.h"
#include "recognition/tesseract_japanese_engine.h"
#include "tests/recognition/fixture_lines.h"
#include "tests/recognition/line_driver.h"
#include "tests/support/test_env.h"

using namespace recognition;
using testsupport::FixtureFont;

namespace {

CharRect lineRect(const testsupport::LineImage& line) {
  return CharRect{static_cast<std::int16_t>(line.lineLeft), static_cast<std::int16_t>(line.lineTop),
                  static_cast<std::int16_t>(line.lineRight), static_cast<std::int16_t>(line.lineBottom)};
}

std::array<std::int32_t, 4> rect32(const CharRect& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(TesseractEngines, WithoutLanguageDataTheyRefuseEveryCall) {
  testsupport::TempDir dir;
  TesseractJapaneseEngine japanese(ReadingMode::LineContext, DataSearch::DictionaryFolderOnly);
  EXPECT_EQ(japanese.loadDictionaries(recogtest::dictionaryPaths(dir.path(), dir.path())), 0);
  const auto line = testsupport::renderTextLine("あ", FixtureFont::Sans, 11, 300, false);
  const EngineImage image = recogtest::engineImage(line);
  CellResult result;
  EXPECT_LT(japanese.setFieldParams(0, 0, 0), 1);
  EXPECT_LT(japanese.readCell(image, lineRect(line), result), 1);
  FieldLattice field;
  EXPECT_LT(japanese.resolveLattice(image, field), 1);
  std::uint16_t codes[8];
  const auto r = rect32(lineRect(line));
  EXPECT_EQ(japanese.candidates(line.bits.data(), line.width, line.height, r.data(), codes, 8), 0);

  TesseractEnglishEngine english(DataSearch::DictionaryFolderOnly);
  EXPECT_EQ(english.start(dir.path()), 0);
  std::uint8_t text[60];
  std::int32_t rects[40];
  EnglishRequest request{image, 0, 10, text, 10, 0, rects, 10};
  const EnglishField fieldOfOne{lineRect(line), {}, true};
  EXPECT_LT(english.recognizeFields({&fieldOfOne, 1}, request), 0);
  EXPECT_EQ(request.textFree, 0);
}

TEST(TesseractEngines, LanguageDataInTheDictionaryFolderIsFound) {
  testsupport::TempDir dir;
  const std::string installed = findLanguageData("", "jpn");
  ASSERT_FALSE(installed.empty());
  std::filesystem::create_directory(dir.file("tessdata"));
  for (const char* model : {"jpn", "jpn_vert"})
    std::filesystem::create_symlink(installed + "/" + model + ".traineddata",
                                    dir.file("tessdata") + "/" + model + ".traineddata");
  TesseractJapaneseEngine engine(ReadingMode::LineContext, DataSearch::DictionaryFolderOnly);
  EXPECT_EQ(engine.loadDictionaries(recogtest::dictionaryPaths(dir.path(), dir.path())), 1);
}

class LoadedEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(engine_.loadDictionaries(recogtest::dictionaryPaths(learning_.path(), learning_.path())), 1);
  }
  testsupport::TempDir learning_;
  TesseractJapaneseEngine engine_{ReadingMode::LineContext};
};

TEST_F(LoadedEngine, CandidatesOfARectangleAreShiftJisBestFirstWithinCapacity) {
  const auto line = testsupport::renderTextLine("漢", FixtureFont::Sans, 14, 300, false);
  const auto r = rect32(lineRect(line));
  std::uint16_t codes[8] = {};
  const int n = engine_.candidates(line.bits.data(), line.width, line.height, r.data(), codes, 3);
  ASSERT_GE(n, 1);
  EXPECT_LE(n, 3);
  EXPECT_EQ(codes[0], 0x8ABF);  // 漢, lead byte in the high half
  EXPECT_EQ(codes[3], 0);
}

TEST_F(LoadedEngine, TheKindMaskKeepsOnlyCandidatesOfThatKind) {
  const auto line = testsupport::renderTextLine("２０２４", FixtureFont::Sans, 11, 300, false);
  const std::string text = recogtest::readLine(engine_, line, LineDirection::Horizontal, kKindDigit);
  EXPECT_EQ(text, "２０２４");
  const std::string none = recogtest::readLine(engine_, line, LineDirection::Horizontal, kKindHiragana);
  EXPECT_EQ(none.find("２"), std::string::npos);
}

TEST_F(LoadedEngine, ASpeckTheLineReadingDidNotSeeIsNoCharacter) {
  const auto drawn = testsupport::renderTextLine("文書の管理", FixtureFont::Sans, 12, 300, false);
  // The same line with 200 white columns more on the right.
  testsupport::LineImage line = drawn;
  line.width = drawn.width + 200;
  line.bytesPerRow = (line.width + 15) / 16 * 2;
  line.bits.assign(static_cast<std::size_t>(line.bytesPerRow) * line.height, 0);
  for (int y = 0; y < line.height; ++y)
    std::copy_n(drawn.bits.begin() + static_cast<std::ptrdiff_t>(y) * drawn.bytesPerRow, drawn.bytesPerRow,
                line.bits.begin() + static_cast<std::ptrdiff_t>(y) * line.bytesPerRow);
  const CharRect text = lineRect(line);
  // A 3-pixel speck in the white after the text, inside the line's rows.
  const int x = drawn.width + 100, y = (text.top + text.bottom) / 2;
  for (int dy = 0; dy < 3; ++dy)
    for (int dx = 0; dx < 3; ++dx)
      line.bits[static_cast<std::size_t>(y + dy) * line.bytesPerRow + (x + dx) / 8] |=
          static_cast<std::uint8_t>(0x80 >> ((x + dx) % 8));
  const EngineImage image = recogtest::engineImage(line);
  ASSERT_EQ(engine_.setFieldParams(0, 0, 0), 1);
  CharRect whole = text;
  whole.right = static_cast<std::int16_t>(x + 2);
  ASSERT_EQ(engine_.beginLine(image, whole, LineDirection::Horizontal), 1);
  CellResult speck;
  ASSERT_EQ(engine_.readCell(image, CharRect{static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                                             static_cast<std::int16_t>(x + 2), static_cast<std::int16_t>(y + 2)},
                             speck),
            1);
  EXPECT_EQ(speck.count, 0);
  EXPECT_EQ(speck.certainty, 2);
  engine_.endLine();
}

// A mark Tesseract has no model for: a ring with a bar through it.
testsupport::LineImage ringWithBar(int size, int margin) {
  testsupport::LineImage img;
  img.dpi = 300;
  img.width = size + 2 * margin;
  img.height = size + 2 * margin;
  img.bytesPerRow = (img.width + 15) / 16 * 2;
  img.bits.assign(static_cast<std::size_t>(img.bytesPerRow) * img.height, 0);
  const double c = (size - 1) / 2.0, outer = size / 2.0, inner = outer - size / 8.0;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double d = std::hypot(x - c, y - c);
      const bool ring = d <= outer && d >= inner;
      const bool bar = std::abs(x - c) <= size / 14.0 && y >= size / 5 && y <= size - size / 5;
      if (ring || bar)
        img.bits[static_cast<std::size_t>(y + margin) * img.bytesPerRow + (x + margin) / 8] |=
            static_cast<std::uint8_t>(0x80 >> ((x + margin) % 8));
    }
  img.lineLeft = img.lineTop = margin;
  img.lineRight = img.lineBottom = margin + size - 1;
  return img;
}

TEST_F(LoadedEngine, ARegisteredPatternIsReadAndDeletingItRestoresTheModelsAnswer) {
  constexpr std::uint16_t kPostalMark = 0x81A7;  // 〒
  const auto taught = ringWithBar(40, 10);
  const auto later = ringWithBar(48, 6);
  const auto r = rect32(lineRect(later));
  std::uint16_t before[8] = {};
  const int n = engine_.candidates(later.bits.data(), later.width, later.height, r.data(), before, 8);
  ASSERT_TRUE(n == 0 || before[0] != kPostalMark);

  std::int16_t number = 0;
  const auto tr = rect32(lineRect(taught));
  ASSERT_EQ(engine_.registerPattern(&number, &kPostalMark, taught.bits.data(), taught.width, taught.height,
                                    tr.data()),
            1);
  EXPECT_TRUE(std::filesystem::exists(learning_.file("nimba10lrn.lin")));
  std::uint16_t after[8] = {};
  ASSERT_GE(engine_.candidates(later.bits.data(), later.width, later.height, r.data(), after, 8), 1);
  EXPECT_EQ(after[0], kPostalMark);
  CellResult cell;
  engine_.setFieldParams(0, 0, 0);
  ASSERT_EQ(engine_.readCell(recogtest::engineImage(later), lineRect(later), cell), 1);
  EXPECT_EQ(cell.best(), kPostalMark);
  EXPECT_EQ(cell.certainty, 1);

  // Patterns come back from the learning files.
  TesseractJapaneseEngine reloaded(ReadingMode::LineContext);
  ASSERT_EQ(reloaded.loadDictionaries(recogtest::dictionaryPaths(learning_.path(), learning_.path())), 1);
  std::uint16_t again[8] = {};
  ASSERT_GE(reloaded.candidates(later.bits.data(), later.width, later.height, r.data(), again, 8), 1);
  EXPECT_EQ(again[0], kPostalMark);

  EXPECT_EQ(engine_.setPatternValid(number, 0), 1);
  std::uint16_t invalid[8] = {};
  engine_.candidates(later.bits.data(), later.width, later.height, r.data(), invalid, 8);
  EXPECT_NE(invalid[0], kPostalMark);
  EXPECT_EQ(engine_.setPatternValid(number, 1), 1);
  EXPECT_EQ(engine_.deletePattern(number), 1);
  EXPECT_EQ(engine_.deletePattern(number), 0);
  std::uint16_t restored[8] = {};
  EXPECT_EQ(engine_.candidates(later.bits.data(), later.width, later.height, r.data(), restored, 8), n);
  EXPECT_EQ(restored[0], before[0]);
}

TEST_F(LoadedEngine, RegisteringRefusesBadCodesAndEmptyRectangles) {
  const auto mark = ringWithBar(40, 10);
  std::int16_t number = 0;
  const std::uint16_t notACode = 0x20FF;
  const std::uint16_t good = 0x81A7;
  const auto r = rect32(lineRect(mark));
  const std::int32_t blank[4] = {0, 0, 5, 5};
  EXPECT_EQ(engine_.registerPattern(&number, &notACode, mark.bits.data(), mark.width, mark.height, r.data()), 0);
  EXPECT_EQ(engine_.registerPattern(&number, &good, mark.bits.data(), mark.width, mark.height, blank), 0);
  EXPECT_EQ(engine_.registerPattern(nullptr, &good, mark.bits.data(), mark.width, mark.height, r.data()), 0);
}

std::string entriesText(const std::uint8_t* entries, int count) {
  std::string sjis;
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = entries + 6 * i;
    if (e[0]) sjis.push_back(static_cast<char>(e[0]));
    if (e[0] || e[1] >= 0x20) sjis.push_back(static_cast<char>(e[1]));
    else if (e[1] == 10) sjis.push_back('\n');
  }
  return sjis;
}

TEST(EnglishEngine, ReadsLinesIntoEntriesWithinOnePercent) {
  TesseractEnglishEngine engine;
  ASSERT_EQ(engine.start(""), 1);
  int errors = 0, length = 0;
  for (FixtureFont font : {FixtureFont::Sans, FixtureFont::Serif})
    for (int dpi : {200, 300, 400})
      for (std::string_view text : recogtest::kEnglishLines) {
        const auto line = testsupport::renderTextLine(text, font, 11, dpi, false);
        std::vector<std::uint8_t> entries(6 * 200);
        std::vector<std::int32_t> rects(4 * 200);
        EnglishRequest request{recogtest::engineImage(line), 0, 10, entries.data(), 200, 0, rects.data(), 200};
        const EnglishField field{lineRect(line), {lineRect(line)}, true};
        ASSERT_EQ(engine.recognizeFields({&field, 1}, request), 0);
        std::string read = entriesText(entries.data(), request.textFree);
        ASSERT_FALSE(read.empty());
        EXPECT_EQ(read.back(), '\n');  // the field terminator
        read.pop_back();
        const auto e = recogtest::characterErrors(std::string(text), read);
        if (e.errors) std::printf("  %d dpi: %s -> %s\n", dpi, std::string(text).c_str(), read.c_str());
        errors += e.errors;
        length += e.length;
        // Every character entry points at its rectangle, in order from 1.
        int index = 0;
        for (int i = 0; i < request.textFree; ++i) {
          if (entries[6 * i + 1] >= 0x20) {
            EXPECT_EQ(entries[6 * i + 2] | (entries[6 * i + 3] << 8), ++index);
          }
        }
        EXPECT_EQ(index, request.rectFree);
      }
  std::printf("English: %d errors in %d characters, CER %.2f %%\n", errors, length, 100.0 * errors / length);
  EXPECT_LE(double(errors) / length, 0.01);
}

TEST(EnglishEngine, AFullTextArrayEndsTheWritingWithoutAnError) {
  TesseractEnglishEngine engine;
  ASSERT_EQ(engine.start(""), 1);
  const auto line = testsupport::renderTextLine("Please return the form", FixtureFont::Sans, 11, 300, false);
  std::vector<std::uint8_t> entries(6 * 8, 0xEE);
  std::vector<std::int32_t> rects(4 * 8);
  EnglishRequest request{recogtest::engineImage(line), 0, 10, entries.data(), 6, 0, rects.data(), 8};
  const EnglishField field{lineRect(line), {}, true};
  EXPECT_EQ(engine.recognizeFields({&field, 1}, request), 0);
  EXPECT_LE(request.textFree, 4);
  EXPECT_EQ(entries[6 * 6], 0xEE);  // nothing beyond the room given
}

}  // namespace

namespace {

TEST(ReadingModeSetting, PerCellIsChosenInTheProgramIni) {
  EXPECT_EQ(configuredReadingMode(), ReadingMode::LineContext);
  std::filesystem::create_directories(platform::configFolder());
  ASSERT_TRUE(platform::writeProfileString(platform::programIniPath(), "Recognition", "ReadingMode", "percell"));
  EXPECT_EQ(configuredReadingMode(), ReadingMode::PerCell);
  auto engine = createJapaneseEngine();
  EXPECT_EQ(dynamic_cast<TesseractJapaneseEngine&>(*engine).mode(), ReadingMode::PerCell);
  ASSERT_TRUE(platform::deleteProfileKey(platform::programIniPath(), "Recognition", "ReadingMode"));
  EXPECT_EQ(configuredReadingMode(), ReadingMode::LineContext);
}

}  // namespace

namespace {

TEST_F(LoadedEngine, InLineContextPartsOfACharacterReadUnsureAndTheWholeReadsSure) {
  const auto line = testsupport::renderTextLine("行います", FixtureFont::Sans, 11, 300, false);
  const EngineImage image = recogtest::engineImage(line);
  const LatticeLine cut = recogtest::cutLine(line, LineDirection::Horizontal);
  // 行 is drawn in two parts side by side: the first two boxes.
  ASSERT_GE(cut.boxes.size(), 5u);
  const CharRect left = cut.boxes[0].rect, right = cut.boxes[1].rect;
  const CharRect whole{left.left, std::min(left.top, right.top), right.right, std::max(left.bottom, right.bottom)};
  ASSERT_EQ(engine_.setFieldParams(0, 0, 0), 1);
  ASSERT_EQ(engine_.beginLine(image, cut.rect, LineDirection::Horizontal), 1);
  CellResult part, joined;
  ASSERT_EQ(engine_.readCell(image, left, part), 1);
  ASSERT_EQ(engine_.readCell(image, whole, joined), 1);
  EXPECT_EQ(joined.best(), 0x8D73);  // 行
  EXPECT_EQ(joined.certainty, 1);
  EXPECT_EQ(part.certainty, 2);
  EXPECT_GT(part.distance, (joined.distance + 1000) / 2);  // the cutter joins the parts
  engine_.endLine();
}

}  // namespace
