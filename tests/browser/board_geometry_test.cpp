#include "browser/board_geometry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

using namespace board;

namespace {

constexpr int kBar = 16;

std::vector<Size> sameBoxes(int count, Size box) { return std::vector<Size>(static_cast<size_t>(count), box); }

int bottomOf(const std::vector<Point>& anchors, const std::vector<Size>& boxes) {
  return BoardExtent(anchors, boxes).h;
}

}  // namespace

// ---- rows ----------------------------------------------------------------------

struct RowCase {
  const char* name;
  std::vector<Size> boxes;
  int width, height;
  std::vector<Point> anchors;
  bool vertical;
};

class ArrangeRowsTest : public ::testing::TestWithParam<RowCase> {};

TEST_P(ArrangeRowsTest, TilesGoInRowsTenPixelsApart) {
  const RowCase& c = GetParam();
  const ArrangeResult result = ArrangeTiles(c.boxes, c.width, c.height, kBar, kBar);
  EXPECT_EQ(result.anchors, c.anchors);
  EXPECT_EQ(result.verticalBarAssumed, c.vertical);
}

INSTANTIATE_TEST_SUITE_P(
    Arrangement, ArrangeRowsTest,
    ::testing::Values(
        RowCase{"ThreeInARowThenANewRow", sameBoxes(4, {100, 150}), 350, 1000,
                {{60, 10}, {170, 10}, {280, 10}, {60, 170}}, false},
        // A tile whose right edge meets the row width stays in the row.
        RowCase{"ExactFitStaysInTheRow", sameBoxes(3, {100, 50}), 330, 1000, {{60, 10}, {170, 10}, {280, 10}}, false},
        RowCase{"OnePixelShortStartsARow", sameBoxes(3, {100, 50}), 329, 1000, {{60, 10}, {170, 10}, {60, 70}}, false},
        // A tile wider than the client stands alone at x = 10, and the next
        // tile starts a row of its own.
        RowCase{"WiderThanTheClientAlone", {{80, 50}, {500, 60}, {80, 50}}, 300, 1000,
                {{50, 10}, {260, 70}, {50, 140}}, false},
        RowCase{"RowHeightIsTheTallestTile", {{100, 50}, {100, 120}, {100, 50}}, 230, 1000,
                {{60, 10}, {170, 10}, {60, 140}}, false},
        // Too tall for the client: laid out again narrower by the bar's width.
        RowCase{"TallBoardAssumesAVerticalBar", sameBoxes(3, {100, 150}), 230, 300,
                {{60, 10}, {60, 170}, {60, 330}}, true},
        RowCase{"HeightThatFitsNeedsNoBar", sameBoxes(2, {100, 135}), 230, 155, {{60, 10}, {170, 10}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ArrangeTiles, AWideRowCostsTheHorizontalBarsHeight) {
  // 155 px fit without bars; a too-wide row shows a horizontal bar, which
  // leaves 139 px, so a vertical bar is assumed and the row is redone.
  const std::vector<Size> boxes{{400, 135}};
  const ArrangeResult result = ArrangeTiles(boxes, 300, 155, kBar, kBar);
  EXPECT_TRUE(result.verticalBarAssumed);
  EXPECT_EQ(result.rowWidth, 300 - kBar);
  EXPECT_EQ(result.anchors, (std::vector<Point>{{210, 10}}));
}

TEST(ArrangeTiles, ABoardPastThe32000PixelLimitIsWidenedUntilItFits) {
  const std::vector<Size> boxes = sameBoxes(2000, {90, 140});
  const ArrangeResult result = ArrangeTiles(boxes, 500, 400, kBar, kBar);
  EXPECT_LE(bottomOf(result.anchors, boxes), kMaxBoardHeight);
  EXPECT_GT(result.rowWidth, 500);
  // Rows are longer than the window now.
  EXPECT_GT(BoardExtent(result.anchors, boxes).w, 500);
  // The widened layout keeps the row rule: gaps of 10, first tile at x = 10.
  EXPECT_EQ(result.anchors[0], (Point{55, 10}));
  EXPECT_EQ(result.anchors[1], (Point{155, 10}));
}

TEST(ArrangeTiles, OneRowThatIsTooTallIsNotWidenedForever) {
  const std::vector<Size> boxes{{100, 40000}, {100, 40000}};
  const ArrangeResult result = ArrangeTiles(boxes, 300, 400, kBar, kBar);
  EXPECT_EQ(result.anchors, (std::vector<Point>{{60, 10}, {170, 10}}));
}

// ---- scroll bars -----------------------------------------------------------------

struct BarCase {
  const char* name;
  Size extent;
  bool horizontal, vertical;
  int usableWidth, usableHeight;
};

class ScrollBarDecisionTest : public ::testing::TestWithParam<BarCase> {};

// The client is 400 x 300 without bars (no bar shown now); a bar is 16 px.
TEST_P(ScrollBarDecisionTest, BarsFollowTheExtent) {
  const BarCase& c = GetParam();
  const ScrollBarDecision d = DecideScrollBars(c.extent, {400, 300}, false, false, kBar, kBar);
  EXPECT_EQ(d.horizontal, c.horizontal);
  EXPECT_EQ(d.vertical, c.vertical);
  EXPECT_EQ(d.usableWidth, c.usableWidth);
  EXPECT_EQ(d.usableHeight, c.usableHeight);
  // The same answer when the bars are shown at the moment.
  const ScrollBarDecision shown = DecideScrollBars(c.extent, {400 - kBar, 300 - kBar}, true, true, kBar, kBar);
  EXPECT_EQ(shown.horizontal, c.horizontal);
  EXPECT_EQ(shown.vertical, c.vertical);
  EXPECT_EQ(shown.usableWidth, c.usableWidth);
  EXPECT_EQ(shown.usableHeight, c.usableHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Extents, ScrollBarDecisionTest,
    ::testing::Values(BarCase{"FitsEvenWithBothBars", {384, 284}, false, false, 400, 300},
                      BarCase{"FitsOnlyWithoutBars", {400, 300}, false, false, 400, 300},
                      BarCase{"WiderThanTheFullClient", {401, 100}, true, false, 400, 284},
                      BarCase{"WiderOnlyThanTheClientLessABar", {390, 100}, false, false, 400, 300},
                      BarCase{"TallerThanTheFullClient", {100, 301}, false, true, 384, 300},
                      BarCase{"TallerOnlyThanTheClientLessABar", {100, 290}, false, false, 400, 300},
                      // Within a bar both ways: neither bar is needed.
                      BarCase{"WithinABarBothWays", {390, 290}, false, false, 400, 300},
                      // Too tall, and a little too wide once the vertical bar is there.
                      BarCase{"TallAndWithinABarWide", {390, 500}, true, true, 384, 284},
                      BarCase{"WideAndWithinABarTall", {500, 290}, true, true, 384, 284},
                      BarCase{"BothFarTooLarge", {900, 900}, true, true, 384, 284},
                      BarCase{"WideAndShort", {900, 100}, true, false, 400, 284}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScrollPosition, IsKeptInsideTheExtent) {
  const ScrollBarDecision d = DecideScrollBars({1000, 2000}, {400, 300}, false, false, kBar, kBar);
  EXPECT_EQ(ClampScrollPosition({5000, 5000}, {1000, 2000}, d), (Point{1000 - 384 + 10, 2000 - 284 + 10}));
  EXPECT_EQ(ClampScrollPosition({-5, 40}, {1000, 2000}, d), (Point{0, 40}));
  const ScrollBarDecision none = DecideScrollBars({100, 100}, {400, 300}, false, false, kBar, kBar);
  EXPECT_EQ(ClampScrollPosition({50, 60}, {100, 100}, none), (Point{0, 0}));
}

// ---- visual order ----------------------------------------------------------------

struct OrderCase {
  const char* name;
  std::vector<Point> anchors;
  std::vector<int> order;
};

class VisualOrderTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(VisualOrderTest, RowsOfCloseTopsThenLeftToRight) {
  const OrderCase& c = GetParam();
  EXPECT_EQ(VisualOrder(c.anchors), c.order);
}

INSTANTIATE_TEST_SUITE_P(
    Key13, VisualOrderTest,
    ::testing::Values(OrderCase{"Tops16ApartAreOneRow", {{300, 116}, {100, 100}}, {1, 0}},
                      OrderCase{"Tops17ApartAreTwoRows", {{100, 117}, {300, 100}}, {1, 0}},
                      OrderCase{"LowerRowComesAfterWhateverItsX", {{10, 200}, {500, 10}, {300, 12}}, {2, 1, 0}},
                      // a near b, b near c, a not near c: the row starts at a and
                      // takes b; c starts the next row.
                      OrderCase{"ChainOfTops", {{300, 0}, {200, 10}, {100, 20}}, {1, 0, 2}},
                      OrderCase{"ChainGivenInAnotherOrder", {{100, 20}, {200, 10}, {300, 0}}, {1, 2, 0}},
                      OrderCase{"EqualPlacesKeepTheirOrder", {{50, 50}, {50, 50}, {50, 50}}, {0, 1, 2}},
                      OrderCase{"NoTiles", {}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(VisualOrder, TheSameTilesComeOutInTheSamePlacesWhateverTheirOrder) {
  std::vector<Point> anchors{{10, 0}, {40, 10}, {20, 20}, {30, 30}, {15, 16}, {5, 33}, {25, 45}};
  const auto placed = [](const std::vector<Point>& a) {
    std::vector<Point> out;
    for (int i : VisualOrder(a)) out.push_back(a[static_cast<size_t>(i)]);
    return out;
  };
  const std::vector<Point> expected = placed(anchors);
  std::sort(anchors.begin(), anchors.end(), [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
  do {
    ASSERT_EQ(placed(anchors), expected);
  } while (std::next_permutation(anchors.begin(), anchors.end(),
                                 [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; }));
}

// ---- placing new tiles -------------------------------------------------------------

TEST(PlaceUnplacedTiles, WithNothingPlacedRowsStartAtTenTen) {
  const PlacementResult r = PlaceUnplacedTiles(sameBoxes(4, {100, 150}), 0, 350);
  EXPECT_EQ(r.anchors, (std::vector<Point>{{60, 10}, {170, 10}, {280, 10}, {60, 170}}));
  EXPECT_FALSE(r.widened);
}

TEST(PlaceUnplacedTiles, NewRowsStartTenBelowThePlacedTiles) {
  const PlacementResult r = PlaceUnplacedTiles({{100, 50}, {600, 50}}, 500, 350);
  EXPECT_EQ(r.anchors, (std::vector<Point>{{60, 510}, {310, 570}}));  // the wide one alone at x = 10
}

TEST(PlaceUnplacedTiles, RowsThatWouldPass32000AreWidenedOnce) {
  const std::vector<Size> boxes = sameBoxes(1000, {90, 140});
  const PlacementResult r = PlaceUnplacedTiles(boxes, 20000, 300);
  // Three tiles a row at 300 px: 334 rows of 150 px from 20010 pass 32000.
  EXPECT_TRUE(r.widened);
  const int firstBottom = 20010 + 334 * 150 - 10;
  EXPECT_EQ(r.rowWidth, static_cast<int>(static_cast<long long>(300) * firstBottom / (30000 - 20010)));
  EXPECT_EQ(r.anchors.front(), (Point{55, 20010}));

  const PlacementResult low = PlaceUnplacedTiles(boxes, 31000, 300);
  EXPECT_EQ(low.rowWidth, 30000);  // from 30000 on the rows are as wide as they get
}

// ---- dragged tiles -----------------------------------------------------------------

TEST(DraggedAnchor, MovesWithThePictureAndStaysOnTheBoard) {
  // Picture at (40, 64) client, dropped at (140, 84), scrolled by (0, 100).
  EXPECT_EQ(DraggedAnchor({50, 20}, {40, 64}, {140, 84}, {0, 100}, 120), (Point{150, 140}));
  // Its left half would leave the board: anchor x = half the box width.
  EXPECT_EQ(DraggedAnchor({50, 20}, {40, 64}, {-30, 84}, {0, 0}, 121), (Point{60, 40}));
  // Above the board: anchor y = 0.
  EXPECT_EQ(DraggedAnchor({50, 20}, {40, 64}, {40, -80}, {0, 10}, 100), (Point{50, 0}));
}

// ---- catalogue order ---------------------------------------------------------------

TEST(OrderFromEnumeration, KeepsEntriesTheEnumerationMissedAtTheEnd) {
  const std::vector<EntryKey> entries{{0, 1}, {1, 1}, {0, 2}, {0, 3}, {1, 2}};
  // Stack 1 and item 3 are missing; an unknown key and a repeat are passed over.
  const std::vector<EntryKey> sorted{{0, 2}, {0, 9}, {1, 2}, {0, 1}, {0, 2}};
  EXPECT_EQ(OrderFromEnumeration(entries, sorted), (std::vector<int>{2, 4, 0, 1, 3}));
  EXPECT_EQ(OrderFromEnumeration(entries, {}), (std::vector<int>{0, 1, 2, 3, 4}));
}
