// The cell decisions of one horizontal line, against an engine that answers
// by rule: merges, measures, small marks, pairs, splits and the lattice.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "recognition/line_cells.h"
#include "tests/recognition/rule_engine.h"

namespace {
using namespace recognition;
using recogtest::InkImage;
using recogtest::reading;
using recogtest::rect;
using recogtest::RuleEngine;

struct MergeCase {
  const char* name;
  bool close;  // merge_close_components, else merge_line_components
  CharRect a, b;
  std::size_t expected;
};

TEST(LineMerges, JoinOrKeepByOverlapAndSize) {
  // s = 100: reach 25, widest union 120, speck gap 8, big overlap 7.
  const MergeCase cases[] = {
      {"nested boxes always merge", false, rect(0, 0, 99, 99), rect(10, 0, 50, 99), 1},
      {"disjoint boxes stay", false, rect(0, 0, 40, 99), rect(60, 0, 100, 99), 2},
      {"big boxes with a small overlap stay", false, rect(0, 0, 60, 99), rect(50, 0, 100, 99), 2},
      {"big boxes with an overlap of the reach merge", false, rect(0, 0, 60, 99), rect(30, 0, 100, 99), 1},
      {"a small piece overlapping merges", false, rect(0, 0, 60, 99), rect(55, 0, 70, 9), 1},
      {"a union wider than a character stays", false, rect(0, 0, 80, 99), rect(70, 0, 130, 9), 2},
      {"a speck close by merges", true, rect(0, 0, 50, 99), rect(55, 0, 60, 5), 1},
      {"a speck farther than the gap stays", true, rect(0, 0, 50, 99), rect(70, 0, 75, 5), 2},
      {"two characters just touching stay", true, rect(0, 0, 50, 99), rect(48, 0, 100, 99), 2},
      {"two boxes overlapping deeply merge", true, rect(0, 0, 50, 99), rect(40, 0, 100, 99), 1},
  };
  for (const MergeCase& c : cases) {
    std::vector<CharRect> boxes{c.a, c.b};
    if (c.close) merge_close_components(boxes, 100);
    else merge_line_components(boxes, 100);
    EXPECT_EQ(boxes.size(), c.expected) << c.name;
    if (boxes.size() == 1) {
      EXPECT_EQ(boxes.front(), unite(c.a, c.b)) << c.name;
    }
  }
}

TEST(LineMerges, RepeatUntilStableAndKeepLeftOrder) {
  // The third box reaches the first only once the second has widened it.
  std::vector<CharRect> boxes{rect(100, 0, 140, 99), rect(0, 0, 99, 99), rect(20, 0, 30, 99)};
  merge_line_components(boxes, 100);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], rect(0, 0, 99, 99));
  EXPECT_EQ(boxes[1].left, 100);
}

std::vector<CellBox> cellsOf(std::initializer_list<std::pair<CharRect, CellResult>> list) {
  std::vector<CellBox> out;
  for (const auto& [r, res] : list) out.push_back(CellBox{r, res, kMarkUndecided, {}});
  return out;
}

TEST(LineMeasuresTest, FewBoxesTakeTheLineHeightAndSignsNeverSetTheWidth) {
  const CharRect line = rect(0, 0, 999, 99);
  const LineMeasures scaled{50, 50, 10, 60};
  // Seven boxes: the line's height.
  std::vector<CellBox> seven;
  for (int i = 0; i < 7; ++i) seven.push_back(CellBox{rect(i * 70, 10, i * 70 + 54, 89), reading(0x88A0, 500), -1, {}});
  const LineMeasures m7 = measure_line_characters(seven, line, scaled, false, 400);
  EXPECT_EQ(m7.width, 100);
  EXPECT_EQ(m7.height, 100);
  EXPECT_EQ(m7.gap, 10);
  EXPECT_EQ(m7.pitch, 60);
  // Eight boxes, of which the widest are "１" and "ー": the kanji decide.
  std::vector<CellBox> eight = seven;
  eight.push_back(CellBox{rect(490, 10, 559, 89), reading(0x815B, 500), -1, {}});  // ー, 70 wide
  eight[2].rect = rect(140, 10, 199, 89);
  eight[2].result = reading(0x8250, 500);  // １, 60 wide
  const LineMeasures m8 = measure_line_characters(eight, line, scaled, false, 400);
  EXPECT_EQ(m8.width, 55);
  EXPECT_EQ(m8.height, 80);
  EXPECT_EQ(m8.gap, 17);
  EXPECT_EQ(m8.pitch, 72);
  // One box: its own size, half its width as gap.
  const LineMeasures m1 = measure_line_characters({seven.front()}, line, scaled, false, 400);
  EXPECT_EQ(m1.width, 55);
  EXPECT_EQ(m1.height, 80);
  EXPECT_EQ(m1.gap, 27);
  EXPECT_EQ(m1.pitch, 82);
}

struct CommaCase {
  int leftUnion, rightUnion;
  int expected;  // -1 joins left, 1 joins right, 0 stays
};

TEST(SmallMarks, ACommaJoinsTheNeighbourThatReadsBetterAndTheRightOneOnATie) {
  const CharRect left = rect(0, 10, 79, 90), comma = rect(90, 85, 100, 98), right = rect(110, 10, 189, 90);
  const CommaCase cases[] = {{600, 600, 1}, {500, 600, -1}, {700, 500, 1}, {1200, 1100, 0}, {1060, 990, 1}};
  for (const CommaCase& c : cases) {
    InkImage ink(300, 100);
    RuleEngine engine;
    engine.answer(unite(left, comma), reading(0x88A0, c.leftUnion));
    engine.answer(unite(comma, right), reading(0x88A1, c.rightUnion));
    CellReader reader(engine, ink.image());
    LineCut cut{rect(0, 0, 299, 99), {80, 80, 10, 90},
                cellsOf({{left, reading(0x88A2, 600)}, {comma, reading(0x8143, 1500)}, {right, reading(0x88A3, 600)}})};
    ASSERT_EQ(attach_small_marks(reader, cut), 1);
    const std::string what = std::to_string(c.leftUnion) + "/" + std::to_string(c.rightUnion);
    if (c.expected == 0) {
      ASSERT_EQ(cut.boxes.size(), 3u) << what;
      EXPECT_EQ(cut.boxes[1].mark, kMarkSmall) << what;
    } else {
      ASSERT_EQ(cut.boxes.size(), 2u) << what;
      const CellBox& joined = c.expected < 0 ? cut.boxes[0] : cut.boxes[1];
      EXPECT_EQ(joined.rect, c.expected < 0 ? unite(left, comma) : unite(comma, right)) << what;
    }
  }
}

TEST(PairJoins, TwoHalvesJoinOnlyWhenTheUnionReadsBetterThanTheirMeanAndIsNotHopeless) {
  const CharRect a = rect(0, 0, 45, 99), b = rect(50, 0, 95, 99);
  for (const auto& [unionDistance, joined] : {std::pair{1300, false}, std::pair{800, true}, std::pair{1199, false}}) {
    InkImage ink(200, 100);
    RuleEngine engine;
    engine.answer(unite(a, b), reading(0x88A0, unionDistance, unionDistance < 1000 ? 1 : 2));
    CellReader reader(engine, ink.image());
    LineCut cut{rect(0, 0, 199, 99), {100, 100, 10, 110},
                cellsOf({{a, reading(0x88A1, 1200, 2)}, {b, reading(0x88A2, 1200, 2)}})};
    ASSERT_EQ(merge_component_pairs(reader, cut), 1);
    ASSERT_EQ(cut.boxes.size(), joined ? 1u : 2u) << unionDistance;
    if (joined) {
      EXPECT_EQ(cut.boxes[0].mark, kMarkJoined);
    }
  }
}

TEST(LineCutting, ALineOfOneBoxIsMarkedWholeAndReadOnce) {
  InkImage ink(200, 100);
  ink.fill(20, 10, 80, 90);
  RuleEngine engine;
  engine.rule = [](const CharRect&) { return reading(0x88A0, 600); };
  CellReader reader(engine, ink.image());
  LineCut cut{rect(0, 0, 199, 99), {}, cellsOf({{rect(20, 10, 80, 90), {}}})};
  ASSERT_EQ(cut_line_cells(reader, cut, {60, 60, 10, 70}, false), 1);
  ASSERT_EQ(cut.boxes.size(), 1u);
  EXPECT_EQ(cut.boxes[0].mark, kMarkIsolated);
  EXPECT_EQ(cut.boxes[0].rect, rect(20, 10, 80, 90));
  EXPECT_EQ(engine.reads.size(), 1u);
}

TEST(LineCutting, EveryRectangleGoesToTheEngineAtMostOncePerLine) {
  // Unsure readings everywhere make every step ask: unions, splits, lattice.
  InkImage ink(600, 100);
  std::vector<CellBox> boxes;
  for (int i = 0; i < 9; ++i) {
    const int l = i * 50;
    ink.fill(l, 20, l + 30, 80);
    boxes.push_back(CellBox{rect(l, 20, l + 30, 80), {}, kMarkUndecided, {}});
  }
  ink.fill(460, 20, 590, 80);  // a wide, touching run at the end
  boxes.push_back(CellBox{rect(460, 20, 590, 80), {}, kMarkUndecided, {}});
  ink.fill(452, 85, 456, 92);  // a dot low in the line
  boxes.insert(boxes.end() - 1, CellBox{rect(452, 85, 456, 92), {}, kMarkUndecided, {}});
  RuleEngine engine;
  engine.rule = [](const CharRect& r) { return reading(0x88A0, 900 + r.width() * 3 % 400, 2); };
  CellReader reader(engine, ink.image());
  LineCut cut{rect(0, 0, 599, 99), {}, boxes};
  ASSERT_EQ(cut_line_cells(reader, cut, {40, 60, 10, 50}, false), 1);
  std::set<std::tuple<int, int, int, int>> seen;
  for (const CharRect& r : engine.reads)
    EXPECT_TRUE(seen.insert({r.left, r.top, r.right, r.bottom}).second)
        << "read twice: " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
  EXPECT_GT(engine.reads.size(), boxes.size());
}

TEST(LineCutting, AnEngineFailureEndsTheLineWithItsStatus) {
  InkImage ink(100, 100);
  RuleEngine engine;
  engine.readStatus = -5;
  CellReader reader(engine, ink.image());
  LineCut cut{rect(0, 0, 99, 99), {}, cellsOf({{rect(10, 10, 50, 90), {}}})};
  EXPECT_EQ(cut_line_cells(reader, cut, {40, 40, 10, 50}, false), -5);
}

struct SplitCase {
  SplitMode mode;
  SplitDirection direction;
  int pieceDistance, restDistance;
  std::size_t pieces;
};

TEST(Splits, APieceMustReadWellAndHalfModeAlsoWantsAGoodRest) {
  // Two 40-pixel characters touching along their whole height: the cut
  // candidates are the pitch positions.
  const SplitCase cases[] = {
      {SplitMode::Whole, SplitDirection::Forward, 500, 1500, 2},
      {SplitMode::Whole, SplitDirection::Forward, 1500, 500, 0},
      {SplitMode::Half, SplitDirection::Forward, 500, 1500, 0},
      {SplitMode::Half, SplitDirection::Forward, 500, 500, 2},
      {SplitMode::Whole, SplitDirection::Backward, 500, 1500, 2},
  };
  for (const SplitCase& c : cases) {
    InkImage ink(100, 50);
    ink.fill(0, 0, 79, 39);
    RuleEngine engine;
    const bool forward = c.direction == SplitDirection::Forward;
    engine.answer(forward ? rect(0, 0, 40, 39) : rect(40, 0, 79, 39), reading(0x88A0, c.pieceDistance));
    engine.answer(forward ? rect(41, 0, 79, 39) : rect(0, 0, 39, 39), reading(0x88A1, c.restDistance));
    CellReader reader(engine, ink.image());
    const CellBox box{rect(0, 0, 79, 39), reading(0, 1500, 2), kMarkUndecided, {}};
    std::vector<CellBox> pieces;
    ASSERT_EQ(split_component(reader, box, c.direction, 1000, 40, 40, 14, c.mode, pieces), 1);
    ASSERT_EQ(pieces.size(), c.pieces) << static_cast<int>(c.mode) << " " << c.pieceDistance << "/" << c.restDistance;
    if (pieces.size() == 2) {
      EXPECT_LT(pieces[0].rect.left, pieces[1].rect.left);
    }
  }
}

TEST(Splits, CutCandidatesFallOnTheThinColumns) {
  InkImage ink(120, 60);
  ink.fill(0, 0, 49, 59);
  ink.fill(50, 28, 54, 31);  // a thin bridge
  ink.fill(55, 0, 110, 59);
  const std::vector<int> cuts = find_cut_candidates(ink.image(), rect(0, 0, 110, 59), 0);
  ASSERT_FALSE(cuts.empty());
  for (const int c : cuts) EXPECT_TRUE(c >= 49 && c <= 55) << c;
}

TEST(Lattice, SevenCloseBoxesGiveEveryGroupOfTheirSixtyFourPatterns) {
  struct Case {
    int charWidth;
    int alternativeDistance;
    std::size_t alternatives;
  };
  // L = width * 150 %: 150 holds all seven boxes (span 82); 15 not even two.
  for (const Case& c : {Case{100, 900, 21}, Case{10, 900, 0}, Case{100, 1800, 0}}) {
    InkImage ink(200, 40);
    RuleEngine engine;
    engine.rule = [&](const CharRect&) { return reading(0x88A0, c.alternativeDistance, 2); };
    CellReader reader(engine, ink.image());
    LineCut cut{rect(0, 0, 199, 39), {c.charWidth, 30, 2, c.charWidth + 2}, {}};
    for (int i = 0; i < 7; ++i) cut.boxes.push_back(CellBox{rect(i * 12, 5, i * 12 + 9, 30), reading(0, 1500, 2), -1, {}});
    ASSERT_EQ(resolve_undecided_runs(reader, cut), 1);
    std::size_t total = 0;
    for (const CellBox& b : cut.boxes) total += b.alternatives.size();
    EXPECT_EQ(total, c.alternatives) << c.charWidth << " " << c.alternativeDistance;
    if (c.alternatives == 21) {
      for (int i = 0; i < 7; ++i) EXPECT_EQ(cut.boxes[static_cast<std::size_t>(i)].alternatives.size(), 6u - i);
      EXPECT_EQ(cut.boxes[0].alternatives.back().nextBox, 7);
    }
  }
}

TEST(Lattice, ALongUndecidedRunIsCutEveryTwentyOneBoxes) {
  InkImage ink(1200, 40);
  RuleEngine engine;
  CellReader reader(engine, ink.image());
  LineCut cut{rect(0, 0, 1199, 39), {10, 30, 2, 12}, {}};
  for (int i = 0; i < 45; ++i) cut.boxes.push_back(CellBox{rect(i * 25, 5, i * 25 + 9, 30), reading(0, 1500, 2), -1, {}});
  ASSERT_EQ(resolve_undecided_runs(reader, cut), 1);
  for (int i = 0; i < 45; ++i) {
    const int mark = cut.boxes[static_cast<std::size_t>(i)].mark;
    if (i == 20 || i == 41) {
      EXPECT_EQ(mark, kMarkIsolated) << i;
    }
    else EXPECT_NE(mark, kMarkIsolated) << i;
  }
}

}  // namespace
