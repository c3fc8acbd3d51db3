// The engine's own decisions without Tesseract: the path through a cut
// lattice, placing line symbols on ink, user patterns, and codes.
#include <gtest/gtest.h>

#include "recognition/cell_image.h"
#include "recognition/character_codes.h"
#include "recognition/lattice_path.h"
#include "recognition/line_alignment.h"
#include "recognition/user_patterns.h"
#include "tests/support/test_env.h"

using namespace recognition;

namespace {

CharRect rect(int l, int t, int r, int b) {
  return CharRect{static_cast<std::int16_t>(l), static_cast<std::int16_t>(t), static_cast<std::int16_t>(r),
                  static_cast<std::int16_t>(b)};
}

CellResult reading(std::uint16_t code, int distance) {
  CellResult r;
  r.candidates[0] = code;
  r.count = 1;
  r.distance = static_cast<std::int16_t>(distance);
  r.certainty = distance < 1000 ? 1 : 2;
  return r;
}

// Two boxes (the halves of "は") and their union as an alternative.
LatticeLine twoHalves(int leftDistance, int rightDistance, int unionDistance) {
  LatticeLine line;
  line.rect = rect(0, 0, 99, 39);
  line.boxes.push_back(LatticeBox{rect(0, 0, 9, 39), reading(0x8179, leftDistance), {}});      // 【
  line.boxes.push_back(LatticeBox{rect(12, 0, 39, 39), reading(0x82E6, rightDistance), {}});   // よ
  line.boxes[0].alternatives.push_back(LatticeAlternative{rect(0, 0, 39, 39), reading(0x82CD, unionDistance), 2});
  return line;
}

std::vector<std::uint16_t> codes(const std::vector<RecognizedChar>& chars) {
  std::vector<std::uint16_t> out;
  for (const RecognizedChar& c : chars) out.push_back(c.result.best());
  return out;
}

TEST(LatticePath, JoinsPartsWhenTheUnionReadsAboutAsWell) {
  struct Row {
    const char* name;
    int left, right, joined;
    std::vector<std::uint16_t> expected;
  };
  const Row rows[] = {
      {"union as good as its confident parts", 550, 550, 550, {0x82CD}},
      {"union clearly better", 1400, 1300, 600, {0x82CD}},
      {"union far worse than two good parts", 550, 560, 1900, {0x8179, 0x82E6}},
  };
  for (const Row& row : rows) {
    const LatticeLine line = twoHalves(row.left, row.right, row.joined);
    EXPECT_EQ(codes(bestPath(2, latticeSteps(line))), row.expected) << row.name;
  }
}

TEST(LatticePath, LineStepsWinWithTheirBonusAndBoxesWithoutReadingEmitNothing) {
  LatticeLine line = twoHalves(550, 550, 550);
  line.boxes.push_back(LatticeBox{rect(50, 30, 52, 32), CellResult{}, {}});  // a speck, nothing read
  std::vector<PathStep> steps = latticeSteps(line);
  // A line reading that sees two characters where the lattice offers one.
  steps.push_back(PathStep{0, 2, {{rect(0, 0, 9, 39), reading(0x82A0, 600)}, {rect(12, 0, 39, 39), reading(0x82A2, 600)}}, 600});
  EXPECT_EQ(codes(bestPath(3, steps)), (std::vector<std::uint16_t>{0x82A0, 0x82A2}));
}

TEST(LatticePath, MalformedAlternativesAreIgnored) {
  LatticeLine line = twoHalves(550, 550, 300);
  line.boxes[0].alternatives[0].nextBox = 0;  // points backwards
  line.boxes[1].alternatives.push_back(LatticeAlternative{rect(12, 0, 39, 39), reading(0x82A0, 100), 7});
  EXPECT_EQ(codes(bestPath(2, latticeSteps(line))), (std::vector<std::uint16_t>{0x8179, 0x82E6}));
  EXPECT_TRUE(bestPath(0, {}).empty());
}

TEST(LineAlignment, SymbolsFindTheirInkDespiteShiftedReportedBoxes) {
  // Four characters 40 wide at 0, 50, 100, 150; the second in two parts.
  std::vector<InkSegment> segments = {{rect(0, 0, 39, 39)},   {rect(50, 0, 62, 39)}, {rect(66, 0, 89, 39)},
                                      {rect(100, 0, 139, 39)}, {rect(150, 0, 189, 39)}};
  // Reported boxes: the first stretched over everything, the rest shifted.
  std::vector<CharRect> boxes = {rect(0, 0, 189, 39), rect(75, 0, 115, 39), rect(125, 0, 160, 39),
                                 rect(170, 0, 200, 39)};
  std::vector<bool> placed;
  alignSymbols(segments, LineDirection::Horizontal, 40, {}, boxes, placed);
  EXPECT_EQ(placed, (std::vector<bool>{true, true, true, true}));
  EXPECT_EQ(boxes[0], rect(0, 0, 39, 39));
  EXPECT_EQ(boxes[1], rect(50, 0, 89, 39));
  EXPECT_EQ(boxes[2], rect(100, 0, 139, 39));
  EXPECT_EQ(boxes[3], rect(150, 0, 189, 39));
}

TEST(LineAlignment, AnInsertedKanaIsNotPutOnAStrokeOfItsNeighbour) {
  // "か" with its separate dot, then "ぬ"; the reading says か め ぬ.
  std::vector<InkSegment> segments = {{rect(0, 0, 35, 39)}, {rect(39, 5, 49, 25)}, {rect(57, 0, 96, 39)}};
  std::vector<CharRect> boxes = {rect(0, 0, 35, 39), rect(39, 0, 49, 39), rect(57, 0, 96, 39)};
  const std::vector<SymbolTraits> traits = {{0.45, 0.99}, {0.45, 0.96}, {0.45, 0.98}};
  std::vector<bool> placed;
  alignSymbols(segments, LineDirection::Horizontal, 48, traits, boxes, placed);
  EXPECT_EQ(placed, (std::vector<bool>{true, false, true}));
  EXPECT_EQ(boxes[0], rect(0, 0, 49, 39));
}

TEST(CharacterCodes, AsciiBecomesFullWidthAndUnencodableIsDropped) {
  EXPECT_EQ(sjisCode("A", true), 0x8260);
  EXPECT_EQ(sjisCode("1", true), 0x8250);
  EXPECT_EQ(sjisCode("A", false), 'A');
  EXPECT_EQ(sjisCode("あ", true), 0x82A0);
  EXPECT_EQ(sjisCode("😀", true), 0);
  EXPECT_EQ(sjisCode("ab", false), 0);
  EXPECT_EQ(utf8OfCode(0x8250), "１");
  EXPECT_EQ(kindOfCode(0x82A0), kKindHiragana);
  EXPECT_EQ(kindOfCode(0x8341), kKindKatakana);
  EXPECT_EQ(kindOfCode(0x88EA), kKindKanji);
  EXPECT_EQ(kindOfCode(0x8250), kKindDigit);
  EXPECT_EQ(kindOfCode(0x8260), kKindLatin);
  EXPECT_EQ(kindOfCode(0x8142), kKindSymbol);
}

// A 1-bit image with a filled rectangle and a cross, for the pattern tests.
struct Canvas {
  int width = 64, height = 48;
  std::vector<std::uint8_t> bits = std::vector<std::uint8_t>(8 * 48, 0);
  void set(int x, int y) { bits[y * 8 + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8)); }
  EngineImage image() const { return EngineImage{bits.data(), 8, 48, 300}; }
};

Canvas cross(int x0, int y0, int size) {
  Canvas c;
  for (int i = 0; i < size; ++i)
    for (int t = -1; t <= 1; ++t) {
      c.set(x0 + i, y0 + size / 2 + t);
      c.set(x0 + size / 2 + t, y0 + i);
    }
  return c;
}

TEST(UserPatterns, NearestValidPatternMatchesAndSurvivesTheLearningFiles) {
  const Canvas plus = cross(4, 4, 21);
  const Canvas bigPlus = cross(30, 10, 30);  // the same shape, larger, elsewhere
  Canvas bar;
  for (int y = 4; y < 40; ++y)
    for (int x = 10; x < 14; ++x) bar.set(x, y);
  const auto plusCell = normalizePattern(plus.image(), rect(0, 0, 29, 29));
  ASSERT_TRUE(plusCell);

  UserPatterns patterns;
  const std::int16_t n = patterns.add(0x817B, *plusCell);  // ＋
  ASSERT_EQ(patterns.match(*normalizePattern(bigPlus.image(), rect(28, 8, 63, 47))).size(), 1u);
  EXPECT_TRUE(patterns.match(*normalizePattern(bar.image(), rect(0, 0, 63, 47))).empty());

  testsupport::TempDir dir;
  ASSERT_TRUE(patterns.save(dir.file("lrn.lin"), dir.file("lrnspl.lin")));
  UserPatterns loaded;
  ASSERT_TRUE(loaded.load(dir.file("lrn.lin"), dir.file("lrnspl.lin")));
  ASSERT_EQ(loaded.patterns().size(), 1u);
  EXPECT_EQ(loaded.patterns()[0].number, n);
  EXPECT_EQ(loaded.match(*plusCell).front().code, 0x817B);
  EXPECT_GT(loaded.add(0x8160, *plusCell), n);  // numbers are not reused

  EXPECT_TRUE(loaded.setValid(n, false));
  EXPECT_EQ(loaded.match(*plusCell).front().code, 0x8160);
  EXPECT_TRUE(loaded.remove(n));
  EXPECT_FALSE(loaded.remove(n));
  EXPECT_FALSE(normalizePattern(bar.image(), rect(40, 40, 60, 47)));  // no ink there
}

TEST(UserPatterns, MissingFilesAreEmptyAndDamagedOnesFail) {
  testsupport::TempDir dir;
  UserPatterns patterns;
  EXPECT_TRUE(patterns.load(dir.file("none.lin"), dir.file("nonespl.lin")));
  EXPECT_TRUE(patterns.patterns().empty());
  ASSERT_TRUE(testsupport::writeFile(dir.file("bad.lin"), "BRLPAT1"));
  EXPECT_FALSE(patterns.load(dir.file("bad.lin"), dir.file("nonespl.lin")));
  ASSERT_TRUE(testsupport::writeFile(dir.file("bad.lin"), std::string("BRLPAT1\0", 8) + "xyz"));
  EXPECT_FALSE(patterns.load(dir.file("bad.lin"), dir.file("nonespl.lin")));
}

TEST(CellImage, RectanglesAreClippedToTheImage) {
  const Canvas c = cross(4, 4, 21);
  EXPECT_EQ(clipToImage(c.image(), rect(-5, -5, 100, 100)), rect(0, 0, 63, 47));
  EXPECT_TRUE(clipToImage(c.image(), rect(70, 0, 80, 10)).empty());
  EXPECT_EQ(inkBounds(c.image(), rect(0, 0, 63, 47)), rect(4, 4, 24, 24));
}

}  // namespace
