// Vertical lines: the field's boxes merged top to bottom, the cell decisions
// on page rectangles, two half-width digits side by side, and the line scale
// of a field without a reference thickness.
#include <gtest/gtest.h>

#include "recognition/line_cells.h"
#include "tests/recognition/rule_engine.h"

namespace {
using namespace recognition;
using recogtest::InkImage;
using recogtest::reading;
using recogtest::rect;
using recogtest::RuleEngine;

TEST(VerticalMerges, JoinOrKeepAlongTheColumn) {
  // s = 100: reach 20, longest union 105, speck gap 10, big overlap 7.
  struct Case {
    const char* name;
    bool close;
    CharRect a, b;
    std::size_t expected;
  };
  const Case cases[] = {
      {"a box inside the other's rows merges, however wide", false, rect(0, 0, 99, 99), rect(0, 10, 99, 50), 1},
      {"rows apart stay", false, rect(0, 0, 99, 40), rect(0, 60, 99, 100), 2},
      {"a partial overlap within 105 % merges", false, rect(0, 0, 99, 60), rect(40, 55, 55, 104), 1},
      {"a partial overlap beyond 105 % stays", false, rect(0, 0, 99, 60), rect(40, 55, 55, 105), 2},
      {"big boxes overlapping by the reach merge", false, rect(0, 0, 99, 60), rect(0, 41, 99, 120), 1},
      {"a speck less than a tenth below merges", true, rect(0, 0, 99, 50), rect(40, 59, 45, 64), 1},
      {"a speck farther below stays", true, rect(0, 0, 99, 50), rect(40, 62, 45, 67), 2},
      {"two characters just touching stay", true, rect(0, 0, 99, 50), rect(0, 48, 99, 100), 2},
  };
  for (const Case& c : cases) {
    std::vector<CharRect> boxes{c.a, c.b};
    if (c.close) merge_close_components_v(boxes, 100);
    else merge_line_components_v(boxes, 100);
    EXPECT_EQ(boxes.size(), c.expected) << c.name;
    if (boxes.size() == 1) {
      EXPECT_EQ(boxes.front(), unite(c.a, c.b)) << c.name;
    }
  }
  // Afterwards the boxes run by top edge, equal tops in their earlier order.
  std::vector<CharRect> boxes{rect(0, 200, 99, 290), rect(0, 0, 40, 90), rect(50, 0, 99, 30)};
  merge_line_components_v(boxes, 100);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], rect(0, 0, 99, 90));
  EXPECT_EQ(boxes[1].top, 200);
}

TEST(LineScale, AFieldWithoutReferenceThicknessIsMeasuredByTheLine) {
  struct Case {
    int line, reference;
    std::optional<int> k;
  };
  for (const Case c : {Case{60, 40, 150}, Case{60, 0, 100}, Case{0, 0, std::nullopt}, Case{60, -5, 100}}) {
    EXPECT_EQ(line_scale(c.line, c.reference), c.k) << c.line << "/" << c.reference;
  }
  const FieldMeasures noReference{50, 80, 10, 0};
  EXPECT_EQ(estimated_line_height_v(60, noReference), 80) << "k = 100: the field's character height";
  EXPECT_EQ(scale_line_measures_v(60, noReference)->pitch, 90);
  EXPECT_FALSE(scale_line_measures_v(0, noReference).has_value());
  EXPECT_FALSE(estimated_line_width(0, noReference).has_value());
  // The vertical measures scale along the column by the character height.
  const std::optional<LineMeasures> m = scale_line_measures_v(100, FieldMeasures{50, 80, 10, 50});
  ASSERT_TRUE(m.has_value());
  EXPECT_EQ(m->width, 100);
  EXPECT_EQ(m->height, 160);
  EXPECT_EQ(m->gap, 20);
  EXPECT_EQ(m->pitch, 180);
}

// ---- two digits side by side --------------------------------------------

struct DigitCase {
  const char* name;
  bool inkInGap;
  std::uint16_t rightCode;
  std::size_t cells;
};

TEST(TwoDigits, APairOfHalfWidthDigitsBecomesTwoCells) {
  const DigitCase cases[] = {
      {"a clean white column between one and two", false, 0x8251, 2},
      {"ink in the gap keeps the blob whole", true, 0x8251, 1},
      {"a digit and a letter stay whole", false, 0x8261, 1},
  };
  for (const DigitCase& c : cases) {
    // A column 60 wide at x 0-59; the blob in rows 100-149: "1" at x 10-24,
    // "2" at x 35-50, white columns 25-34 between them.
    InkImage ink(60, 300);
    ink.fill(10, 102, 24, 147);
    ink.fill(35, 100, 50, 149);
    if (c.inkInGap) ink.fill(29, 120, 30, 124);
    RuleEngine engine;
    CellResult one = reading(0x88A0, 700);  // the digit comes second among the candidates
    one.candidates[1] = 0x8250;
    one.count = 2;
    engine.answer(rect(10, 102, 24, 147), one);
    engine.answer(rect(35, 100, 50, 149), reading(c.rightCode, 650));
    CellReader reader(engine, ink.image(), LineDirection::Vertical);
    // The turned frame: along the column is x.
    LineCut cut{turned(rect(0, 0, 59, 299)), {60, 60, 10, 70},
                {CellBox{turned(rect(10, 100, 50, 149)), reading(0, 1500, 2), kMarkUndecided, {}}}};
    ASSERT_EQ(split_two_digits(reader, cut), 1) << c.name;
    ASSERT_EQ(cut.boxes.size(), c.cells) << c.name;
    if (c.cells == 2) {
      EXPECT_EQ(turned(cut.boxes[0].rect), rect(10, 102, 24, 147)) << "the left part first";
      EXPECT_EQ(cut.boxes[0].result.best(), 0x8250);
      EXPECT_EQ(cut.boxes[1].result.best(), 0x8251);
      EXPECT_EQ(cut.boxes[0].mark, kMarkDigitPair);
      EXPECT_EQ(cut.boxes[1].mark, kMarkDigitPair);
    }
  }
}

TEST(TwoDigits, OnlyUnsureBoxesAboutACharacterLongAreTried) {
  // Line character height 60: a blob of 30 (50 %) or 72 (120 %) rows is not tried.
  for (const auto& [rows, certainty, tried] : {std::tuple{40, 2, true}, std::tuple{30, 2, false},
                                              std::tuple{72, 2, false}, std::tuple{40, 1, false}}) {
    InkImage ink(60, 300);
    ink.fill(10, 100, 24, 100 + rows - 1);
    ink.fill(35, 100, 50, 100 + rows - 1);
    RuleEngine engine;
    CellReader reader(engine, ink.image(), LineDirection::Vertical);
    LineCut cut{turned(rect(0, 0, 59, 299)), {60, 60, 10, 70},
                {CellBox{turned(rect(10, 100, 50, 100 + rows - 1)), reading(0x88A0, 1200, certainty), kMarkUndecided, {}}}};
    ASSERT_EQ(split_two_digits(reader, cut), 1);
    EXPECT_EQ(!engine.reads.empty(), tried) << rows << " rows, certainty " << certainty;
  }
}

// ---- the cell decisions of a vertical line -------------------------------

TEST(VerticalLineCutting, SmallMarksJoinAboveOrBelowByReading) {
  // A column x 0-99; characters in rows 0-79 and 110-189, a small mark at
  // the right edge between them.
  const CharRect above = rect(10, 0, 89, 79), mark = rect(80, 88, 95, 100), below = rect(10, 110, 89, 189);
  struct Case {
    const char* name;
    CellResult upper, lower;  // the unions with the box above and below
    int expected;             // -1 joins above, 1 below, 0 stays
  };
  const Case cases[] = {
      {"the better reading wins", reading(0x88A0, 500), reading(0x88A1, 600), -1},
      {"on equal distances the one below", reading(0x88A0, 600), reading(0x88A1, 600), 1},
      {"a sure union above the pieces' mean still joins", reading(0x88A0, 950, 1), reading(0, 1500, 2), -1},
      {"hopeless unions leave it alone", reading(0, 1200, 2), reading(0, 1100, 2), 0},
  };
  for (const Case& c : cases) {
    InkImage ink(100, 200);
    RuleEngine engine;
    engine.answer(unite(above, mark), c.upper);
    engine.answer(unite(mark, below), c.lower);
    CellReader reader(engine, ink.image(), LineDirection::Vertical);
    LineCut cut{turned(rect(0, 0, 99, 199)), {80, 80, 10, 90},
                {CellBox{turned(above), reading(0x88A2, 900), kMarkUndecided, {}},
                 CellBox{turned(mark), reading(0x8142, 1000), kMarkUndecided, {}},
                 CellBox{turned(below), reading(0x88A3, 900), kMarkUndecided, {}}}};
    ASSERT_EQ(attach_small_marks(reader, cut, verticalLineParameters()), 1) << c.name;
    if (c.expected == 0) {
      EXPECT_EQ(cut.boxes.size(), 3u) << c.name;
      continue;
    }
    ASSERT_EQ(cut.boxes.size(), 2u) << c.name;
    const CharRect joined = turned(c.expected < 0 ? cut.boxes[0].rect : cut.boxes[1].rect);
    EXPECT_EQ(joined, c.expected < 0 ? unite(above, mark) : unite(mark, below)) << c.name;
  }
}

TEST(VerticalLineCutting, CellsComeBackTopDownInPageRectangles) {
  // Three characters down a column, each read surely; the engine must only
  // ever see rectangles inside the column.
  InkImage ink(100, 400);
  std::vector<CellBox> boxes;
  for (int i = 0; i < 3; ++i) {
    ink.fill(10, i * 100 + 10, 89, i * 100 + 89);
    boxes.push_back(CellBox{rect(10, i * 100 + 10, 89, i * 100 + 89), {}, kMarkUndecided, {}});
  }
  RuleEngine engine;
  engine.rule = [](const CharRect& r) { return reading(static_cast<std::uint16_t>(0x88A0 + r.top / 100), 500); };
  CellReader reader(engine, ink.image(), LineDirection::Vertical);
  LineCut cut{rect(0, 0, 99, 399), {}, boxes};
  ASSERT_EQ(cut_line_cells_v(reader, cut, {80, 80, 20, 100}, false), 1);
  ASSERT_EQ(cut.boxes.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cut.boxes[static_cast<std::size_t>(i)].rect, boxes[static_cast<std::size_t>(i)].rect);
    EXPECT_EQ(cut.boxes[static_cast<std::size_t>(i)].result.best(), 0x88A0 + i);
  }
  EXPECT_EQ(cut.line, rect(0, 0, 99, 399));
  for (const CharRect& r : engine.reads) EXPECT_TRUE(r.left >= 0 && r.right <= 99) << r.left << "," << r.top;
  const LatticeLine lattice = toLattice(cut, LineDirection::Vertical);
  EXPECT_EQ(lattice.direction, LineDirection::Vertical);
  EXPECT_EQ(lattice.boxes.front().rect, boxes.front().rect);
}

}  // namespace
