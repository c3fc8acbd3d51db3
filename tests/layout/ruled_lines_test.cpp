// Ruled-line extraction on rendered pages, the exchange block with the host,
// and the cell search over the lines found.
#include "layout/keisen_lists.h"
#include "layout/library_state.h"
#include "layout/parameter_tables.h"
#include "layout/ruled_lines.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

using testpages::RenderedPage;
using testpages::libraryMm;

namespace {

class RuledLines : public layouttest::LayoutLibraryTest {
 protected:
  short getLines(RenderedPage& page) {
    return GetLines(&window_, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                    static_cast<std::uint16_t>(page.dpi), &horizontal_, &vertical_);
  }
  std::vector<Keisen> lines(Keisen* head) {
    std::vector<Keisen> out;
    if (head != nullptr)
      for (Keisen* k = head->next; k != head; k = k->next) out.push_back(*k);
    return out;
  }
  int window_ = 0;
  std::uint16_t horizontal_ = 0;
  std::uint16_t vertical_ = 0;
};

// A table of `rows` x `columns` cells with rules `thickness` pixels thick.
void addTable(testpages::PageBuilder& b, QPoint origin, int columns, int rows, int cellWidth, int cellHeight,
              int thickness) {
  for (int r = 0; r <= rows; ++r)
    b.addRule(QRect(origin.x(), origin.y() + r * cellHeight, columns * cellWidth + thickness, thickness), true);
  for (int c = 0; c <= columns; ++c)
    b.addRule(QRect(origin.x() + c * cellWidth, origin.y(), thickness, rows * cellHeight + thickness), false);
}

TEST_F(RuledLines, EveryRuleOfADrawnTableIsFound) {
  for (int dpi : {200, 300, 400}) {
    for (int thickness : {1, 2, 3}) {
      const int mm = dpi * 4 / 100;
      testpages::PageBuilder builder(150 * mm, 120 * mm, dpi);
      // Cells 30 x 8 mm: the shortest rule, a column's, is 8 mm long per cell
      // and 24 mm over the table.
      addTable(builder, {20 * mm + 3, 15 * mm + 5}, 3, 3, 30 * mm, 8 * mm, thickness);
      builder.addText({22 * mm, 17 * mm}, QStringLiteral("あいうえお"), 10, 5, 1);
      RenderedPage page = builder.render();
      ASSERT_EQ(getLines(page), 1);
      const auto h = lines(layout::layoutState().hLines);
      const auto v = lines(layout::layoutState().vLines);
      const std::string where = std::to_string(dpi) + " dpi, " + std::to_string(thickness) + " px";
      ASSERT_EQ(horizontal_, 4) << where;
      ASSERT_EQ(vertical_, 4) << where;
      ASSERT_EQ(h.size(), 4u);
      ASSERT_EQ(v.size(), 4u);
      std::size_t hi = 0, vi = 0;
      for (const auto& rule : page.rules) {
        const QRect r = rule.rect;
        if (rule.horizontal) {
          const Keisen& k = h[hi++];
          EXPECT_GE(k.c, r.top() - 2) << where;
          EXPECT_LE(k.c, r.bottom() + 2) << where;
          // Ends are found on whole bytes inside the rule.
          EXPECT_GE(k.a, r.left()) << where;
          EXPECT_LE(k.a, r.left() + 8) << where;
          EXPECT_LE(k.b, r.right()) << where;
          EXPECT_GE(k.b, r.right() - 8) << where;
          EXPECT_EQ(k.valid, 1);
        } else {
          const Keisen& k = v[vi++];
          EXPECT_GE(k.a, r.left() - 2) << where;
          EXPECT_LE(k.a, r.right() + 2) << where;
          EXPECT_NEAR(k.b, r.top(), 2) << where;
          EXPECT_NEAR(k.c, r.bottom(), 2) << where;
        }
      }
    }
  }
}

TEST_F(RuledLines, DottedLinesAndTextGiveNoRules) {
  for (int dpi : {200, 300, 400}) {
    const int mm = dpi * 4 / 100;
    testpages::PageBuilder builder(150 * mm, 120 * mm, dpi);
    for (int x = 20 * mm; x < 120 * mm; x += 6) builder.addRule(QRect(x, 30 * mm, 3, 2), true);
    for (int y = 40 * mm; y < 100 * mm; y += 6) builder.addRule(QRect(130 * mm, y, 2, 3), false);
    builder.addText({20 * mm, 50 * mm}, QStringLiteral("文書の罫線を探す仕組みです。"), 10.5, 26, 6);
    builder.addText({20 * mm, 90 * mm}, QStringLiteral("大きな見出し"), 24, 6, 1);
    RenderedPage page = builder.render();
    ASSERT_EQ(getLines(page), 1);
    EXPECT_EQ(horizontal_, 0) << dpi;
    EXPECT_EQ(vertical_, 0) << dpi;
    EXPECT_EQ(layout::layoutState().hLines, nullptr);
    EXPECT_EQ(layout::layoutState().vLines, nullptr);
  }
}

TEST_F(RuledLines, LinesNearThePageBorderAreTheEdgeNotARule) {
  const int dpi = 400;
  const int mm = 16;
  struct Case {
    const char* name;
    QRect rule;
    bool horizontal;
    bool kept;
  };
  const int w = 150 * mm, hgt = 120 * mm;
  const Case cases[] = {
      {"4 mm from the top", QRect(20 * mm, 4 * mm, 60 * mm, 2), true, false},
      {"6 mm from the top", QRect(20 * mm, 6 * mm, 60 * mm, 2), true, true},
      {"4 mm from the bottom", QRect(20 * mm, hgt - 4 * mm, 60 * mm, 2), true, false},
      {"4 mm from the left", QRect(4 * mm, 20 * mm, 2, 60 * mm), false, false},
      {"6 mm from the left", QRect(6 * mm, 20 * mm, 2, 60 * mm), false, true},
      {"4 mm from the right", QRect(w - 4 * mm, 20 * mm, 2, 60 * mm), false, false},
  };
  for (const Case& c : cases) {
    testpages::PageBuilder builder(w, hgt, dpi);
    builder.addRule(c.rule, c.horizontal);
    RenderedPage page = builder.render();
    ASSERT_EQ(getLines(page), 1);
    EXPECT_EQ((c.horizontal ? horizontal_ : vertical_) == 1, c.kept) << c.name;
  }
}

TEST_F(RuledLines, RunsGapsAndMergingAtByteLevel) {
  const int dpi = 400;  // runs need 10 solid bytes, lines 128 pixels, gaps of 2 bytes are bridged
  struct Piece {
    int row, first, last;  // bytes
  };
  struct Case {
    const char* name;
    std::vector<Piece> pieces;
    int expectedLines;
  };
  const Case cases[] = {
      {"a solid bar of 17 bytes is a line", {{200, 40, 56}}, 1},
      {"a bar of 16 bytes (128 pixels) is the shortest line", {{200, 40, 55}}, 1},
      {"a bar of 15 bytes is too short", {{200, 40, 54}}, 0},
      {"9-byte pieces across a 2-byte gap are one run", {{200, 40, 48}, {200, 51, 59}}, 1},
      {"9-byte pieces across a 3-byte gap are two short runs", {{200, 40, 48}, {200, 52, 60}}, 0},
      {"overlapping pieces on neighbouring rows merge", {{200, 40, 55}, {201, 44, 60}}, 1},
      {"such pieces farther apart than the reach stay two", {{200, 40, 57}, {206, 44, 60}}, 2},
  };
  for (const Case& c : cases) {
    RenderedPage page = testpages::blankPage(1200, 400, dpi);
    for (const Piece& piece : c.pieces)
      for (int b = piece.first; b <= piece.last; ++b)
        page.bits[static_cast<std::size_t>(piece.row) * page.bytesPerRow + b] = 0xFF;
    ASSERT_EQ(getLines(page), 1);
    EXPECT_EQ(horizontal_, c.expectedLines) << c.name;
  }
  // The merged line spans both pieces; its right end is its last pixel.
  RenderedPage page = testpages::blankPage(1200, 400, dpi);
  for (int b = 40; b <= 55; ++b) page.bits[static_cast<std::size_t>(200) * page.bytesPerRow + b] = 0xFF;
  for (int b = 44; b <= 60; ++b) page.bits[static_cast<std::size_t>(201) * page.bytesPerRow + b] = 0xFF;
  ASSERT_EQ(getLines(page), 1);
  ASSERT_EQ(horizontal_, 1);
  const Keisen* k = layout::layoutState().hLines->next;
  EXPECT_EQ(k->a, 320);
  EXPECT_EQ(k->b, 61 * 8 - 1);
  EXPECT_EQ(k->c, 201);
  // A bar whose bytes have seven black pixels each is not solid.
  RenderedPage dotted = testpages::blankPage(1200, 400, dpi);
  for (int b = 40; b < 60; ++b) dotted.bits[static_cast<std::size_t>(200) * dotted.bytesPerRow + b] = 0xFE;
  ASSERT_EQ(getLines(dotted), 1);
  EXPECT_EQ(horizontal_, 0);
}

// The shortest line at 400 dpi is 128 pixels, counted from its first pixel
// to its last, both included.
TEST_F(RuledLines, AVerticalLineOfTheShortestLengthIsKept) {
  struct Case {
    int rows;
    int expectedLines;
  };
  for (const Case c : {Case{128, 1}, Case{127, 0}}) {
    RenderedPage page = testpages::blankPage(1200, 800, 400);
    for (int y = 300; y < 300 + c.rows; ++y) page.bits[static_cast<std::size_t>(y) * page.bytesPerRow + 60] = 0x18;
    ASSERT_EQ(getLines(page), 1);
    EXPECT_EQ(vertical_, c.expectedLines) << c.rows << " rows";
    if (vertical_ == 1) {
      EXPECT_EQ(layout::layoutState().vLines->next->b, 300);
      EXPECT_EQ(layout::layoutState().vLines->next->c, 300 + c.rows - 1);
    }
  }
}

TEST_F(RuledLines, AVerticalLineToTheBottomKeepsItsColumn) {
  RenderedPage page = testpages::blankPage(1200, 800, 400);
  for (int y = 300; y < 800; ++y)
    page.bits[static_cast<std::size_t>(y) * page.bytesPerRow + 60] = 0x18;  // pixels 483-484
  ASSERT_EQ(getLines(page), 1);
  ASSERT_EQ(vertical_, 1);
  const Keisen* k = layout::layoutState().vLines->next;
  EXPECT_EQ(k->a, 483);
  EXPECT_EQ(k->b, 300);
  EXPECT_EQ(k->c, 799);
}

TEST_F(RuledLines, ParametersAtFourHundredDpi) {
  scale_param_set1(1, 400);
  const auto& t = layout::parameterTables().set1;
  EXPECT_EQ(t(3), 10);   // shortest run, bytes
  EXPECT_EQ(t(6), 128);  // shortest line
  EXPECT_EQ(t(1), 2);    // gap, bytes
  EXPECT_EQ(t(17), 8);   // raised to at least 8
  EXPECT_EQ(t(14), 16);
  scale_param_set1(2, 400);
  EXPECT_EQ(t(14), 16);  // x k x m stays a full-page length
  EXPECT_EQ(t(6), 64);
}

// A global-memory block of the given records, as the host hands it over.
platform::GlobalHandle recordBlock(const std::vector<std::array<std::int32_t, 4>>& records) {
  std::vector<std::uint8_t> bytes(records.size() * 16);
  if (!records.empty()) std::memcpy(bytes.data(), records.data(), bytes.size());
  return platform::globalAllocCopy(bytes);
}

TEST_F(RuledLines, TheExchangeBlockCarriesEveryLine) {
  auto& state = layout::layoutState();
  Keisen* k = append_hline(&state.hLines);
  k->a = 10, k->b = 20, k->c = 300;
  Keisen* v = append_vline(&state.vLines);
  v->a = 50, v->b = 60, v->c = 400;
  std::uint16_t count = 99;
  const platform::GlobalHandle block = GetKeisenData(&count);
  ASSERT_NE(block, 0);
  ASSERT_EQ(count, 2);
  ASSERT_EQ(platform::globalSize(block), 32u);
  std::int32_t values[8];
  std::memcpy(values, platform::globalLock(block), sizeof values);
  platform::globalUnlock(block);
  EXPECT_EQ((std::vector<int>(values, values + 8)), (std::vector<int>{10, 300, 20, 300, 50, 60, 50, 400}));
  EXPECT_TRUE(platform::globalFree(block)) << "the host frees the block by its handle";

  // Back again, with a diagonal record and one with a negative left that are skipped.
  const platform::GlobalHandle records =
      recordBlock({{10, 300, 20, 300}, {5, 5, 9, 9}, {-1, 7, 8, 7}, {50, 60, 50, 400}});
  EXPECT_EQ(SaveKeisenData(records, 4), 0);
  EXPECT_EQ(count_hlines(state.hLines), 1);
  EXPECT_EQ(count_vlines(state.vLines), 1);
  EXPECT_EQ(state.vLines->next->c, 400);
  platform::globalFree(records);

  const platform::GlobalHandle diagonal = recordBlock({{1, 2, 3, 4}});
  EXPECT_EQ(SaveKeisenData(diagonal, 1), 0);
  EXPECT_EQ(count_hlines(state.hLines) + count_vlines(state.vLines), 0);
  platform::globalFree(diagonal);
  count = 7;
  EXPECT_EQ(GetKeisenData(&count), 0);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(SaveKeisenData(0, 3), -1);
  EXPECT_EQ(SaveKeisenData(diagonal, 1), -1) << "a freed block is no block";
}

// Coordinates beyond 16 bits would wrap round to another place on the page;
// such records are no lines. A count larger than the block reads only the
// records the block holds.
TEST_F(RuledLines, SavedRecordsOutsideTheLineRangeOrTheBlockAreSkipped) {
  auto& state = layout::layoutState();
  const platform::GlobalHandle block = recordBlock({
      {10, 65636, 300, 65636},  // y wraps to 100
      {40000, 20, 40000, 900},  // x wraps to -25536
      {10, 20, 70000, 20},      // right end wraps
      {10, 32767, 300, 32767},  // the largest row is a line
      {60, 20, 60, 900},
  });
  EXPECT_EQ(SaveKeisenData(block, 9), 0);
  ASSERT_EQ(count_hlines(state.hLines), 1);
  EXPECT_EQ(state.hLines->next->c, 32767);
  ASSERT_EQ(count_vlines(state.vLines), 1);
  EXPECT_EQ(state.vLines->next->a, 60);
  platform::globalFree(block);
}

TEST_F(RuledLines, CellsOfAFoundTableAreSelected) {
  const int dpi = 300, mm = 12;
  testpages::PageBuilder builder(150 * mm, 120 * mm, dpi);
  addTable(builder, {20 * mm, 20 * mm}, 2, 2, 40 * mm, 15 * mm, 2);
  RenderedPage page = builder.render();
  ASSERT_EQ(getLines(page), 1);
  VuPoint point{20 * mm + 50 * mm, 20 * mm + 20 * mm};  // second column, second row
  VuRect cell{};
  ASSERT_NE(GetSelectedRect(&point, &cell), 0);
  EXPECT_NEAR(cell.left, 60 * mm, 2);
  EXPECT_NEAR(cell.top, 35 * mm, 2);
  EXPECT_NEAR(cell.right, 100 * mm, 2);
  EXPECT_NEAR(cell.bottom, 50 * mm, 2);
}

TEST_F(RuledLines, RunningOutOfMemoryIsReported) {
  testpages::PageBuilder builder(1800, 1400, 300);
  addTable(builder, {240, 240}, 3, 3, 360, 240, 2);
  RenderedPage page = builder.render();
  layout::PoolFaults::remaining = 3;  // a sentinel and two lines
  EXPECT_EQ(getLines(page), -111);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(horizontal_, 0);
  EXPECT_EQ(vertical_, 0);
  EXPECT_EQ(layout::layoutState().hLines, nullptr);
  ASSERT_EQ(getLines(page), 1);
  EXPECT_EQ(horizontal_, 4);
  EXPECT_EQ(vertical_, 4);
}

}  // namespace
