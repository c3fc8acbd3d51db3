// Skew estimation: the direction search on points, both methods on pages
// rendered from the CJK font at known skews, and the cases where the
// estimate must abstain.
#include "layout/layout_status.h"
#include "layout/rect_rings.h"
#include "layout/skew_estimate.h"
#include "layout/skew_fit.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/skew_pages.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

class SkewEstimate : public layouttest::LayoutLibraryTest {};

std::vector<SkewPoint> pointsAlong(double degrees, int count) {
  std::vector<SkewPoint> points;
  const double slope = std::tan(degrees * M_PI / 180.0);
  for (int i = 0; i < count; ++i) {
    const int x = 100 + i * 20;
    points.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(std::lround(500 + x * slope))});
  }
  return points;
}

}  // namespace

TEST(SkewFit, LevelPointsGiveTheEntryAtNinetyDegrees) {
  const auto points = pointsAlong(0, 60);
  double angle = 1;
  ASSERT_EQ(fit_skew_angle(&angle, points.data(), static_cast<int>(points.size()), 80.0, 100.0, 0.1), 1);
  EXPECT_NEAR(angle, -0.0000573, 1e-6);
}

// Each tenth of a degree from 80 to 100 is tried once: lines at +10 degrees
// are found as such, not as the last direction before it.
TEST(SkewFit, BothEndsOfTheSearchAreTried) {
  for (const double degrees : {10.0, -10.0, 9.9, 4.3, -7.6}) {
    const auto points = pointsAlong(degrees, 200);
    double angle = 0;
    ASSERT_EQ(fit_skew_angle(&angle, points.data(), static_cast<int>(points.size()), 80.0, 100.0, 0.1), 1);
    EXPECT_NEAR(angle, degrees, 0.051) << degrees;
  }
}

TEST(SkewFit, EqualPeaksKeepTheSmallerAngle) {
  // One point is a peak of one in every direction: the first direction wins.
  const SkewPoint one{300, 400};
  double angle = 0;
  ASSERT_EQ(fit_skew_angle(&angle, &one, 1, 80.0, 100.0, 0.1), 1);
  EXPECT_NEAR(angle, -10.0, 1e-3);
}

TEST_F(SkewEstimate, RenderedLinesGiveTheirSlope) {
  struct Case {
    const char* name;
    double degrees;
    bool vertical;
    short direction;  // as the region's byte: 0, 1, or 3 to vote
  };
  const Case cases[] = {
      {"horizontal, down to the right", 2.0, false, 0},
      {"horizontal, up to the right", -3.0, false, 0},
      {"horizontal, half a degree", 0.5, false, 3},
      {"horizontal, large", -7.5, false, 3},
      {"vertical", 2.0, true, 1},
      {"vertical, voted", -1.0, true, 3},
  };
  for (const Case& c : cases) {
    RenderedPage page = skewpages::textPage(c.degrees, c.vertical);
    ImageDesc d = page.desc();
    double angle = 0;
    ASSERT_EQ(estimate_skew_components(&d, 1, &angle, c.direction), 1) << c.name;
    EXPECT_NEAR(angle, c.degrees, 0.15) << c.name;
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << c.name;
  }
}

TEST_F(SkewEstimate, RulesOfAFormGiveTheirSlopeByContours) {
  for (const double degrees : {3.0, -1.5}) {
    RenderedPage page = skewpages::formPage(degrees, false);
    ImageDesc d = page.desc();
    double angle = 0;
    ASSERT_EQ(estimate_skew_contours(&d, 1, &angle), 1) << degrees;
    EXPECT_NEAR(angle, degrees, 0.15) << degrees;
    // A table region goes by its rules first.
    ASSERT_EQ(estimate_skew(&d, 1, &angle, -1, 0), 1);
    EXPECT_NEAR(angle, degrees, 0.15) << degrees;
  }
}

TEST_F(SkewEstimate, ABlankPageGivesNoEstimate) {
  RenderedPage page = blankPage(1200, 1600, 300);
  ImageDesc d = page.desc();
  double angle = 0;
  EXPECT_EQ(estimate_skew_contours(&d, 1, &angle), 0);
  EXPECT_EQ(estimate_skew_components(&d, 1, &angle, 0), 0);
  EXPECT_EQ(estimate_skew_components(&d, 1, &angle, 3), 0);
  EXPECT_EQ(estimate_skew(&d, 1, &angle, -1, 3), 0);
  EXPECT_EQ(estimate_skew(&d, 1, &angle, 1, 3), 0);
  EXPECT_TRUE(layouttest::poolsBalanced({}, {}));
}

TEST_F(SkewEstimate, NineCharacterSizedShapesAreTooFewToJudge) {
  // 1600 x 1600 pixels at 300 dpi: four columns of 400 pixels (30 mm is 360)
  // and eight rows of 200; each shape (4 mm square) sits well inside a cell
  // of its own.
  RenderedPage page = blankPage(1600, 1600, 300);
  auto shapeInCell = [&page](int i) { skewpages::fillBox(page, (i % 4) * 400 + 150, (i / 4) * 200 + 60, 48, 48); };
  for (int i = 0; i < 9; ++i) shapeInCell(i);
  ImageDesc d = page.desc();
  double angle = 0;
  EXPECT_EQ(estimate_skew(&d, 1, &angle, 1, 0), 0);
  EXPECT_EQ(estimate_skew(&d, 1, &angle, -1, 0), 0);
  // A tenth shape is enough for the component method.
  shapeInCell(9);
  EXPECT_EQ(estimate_skew_components(&d, 1, &angle, 0), 1);
}

TEST_F(SkewEstimate, RunningOutOfRecordsIsReportedAndLeavesNothingBehind) {
  RenderedPage page = skewpages::textPage(2.0, false);
  ImageDesc d = page.desc();
  const auto before = page.bits;
  double angle = 0;
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(estimate_skew_components(&d, 1, &angle, 0), -1);
  EXPECT_EQ(estimate_skew(&d, 1, &angle, 1, 3), -1);
  layout::PoolFaults::remaining = -1;
  EXPECT_TRUE(layouttest::poolsBalanced({}, {}));
  EXPECT_EQ(page.bits, before);
}

TEST_F(SkewEstimate, AnOutlineKeepsAtMostItsFirst20480Codes) {
  // A rule 11000 pixels long has an outline of about 22000 steps.
  RenderedPage page = blankPage(12000, 40, 300);
  skewpages::fillBox(page, 200, 15, 11000, 6);
  ImageDesc d = page.desc();
  const Rect16 strip{0, 0, 11999, 39};
  std::vector<SkewContour> contours;
  ASSERT_EQ(trace_strip_contours(&d, &strip, 1, &contours), 1);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_EQ(contours[0].codes.size(), static_cast<std::size_t>(layout::kMaxChainCodes));
  EXPECT_EQ(contours[0].x, 200);
  EXPECT_EQ(contours[0].y, 15);
}

TEST_F(SkewEstimate, ShortAndSmallOutlinesAreNotSampled) {
  // A 7 mm rule has an outline shorter than the shortest usable one (20 mm);
  // an 8 mm frame is a small shape (and nothing inside it starts an outline
  // of its own); a 60 mm rule is kept.
  const int mm = 12;
  RenderedPage page = blankPage(100 * mm, 20 * mm, 300);
  skewpages::fillBox(page, 5 * mm, 5 * mm, 7 * mm, 4);
  skewpages::fillBox(page, 25 * mm, 2 * mm, 8 * mm, 3);
  skewpages::fillBox(page, 25 * mm, 10 * mm, 8 * mm, 3);
  skewpages::fillBox(page, 25 * mm, 2 * mm, 3, 8 * mm);
  skewpages::fillBox(page, 33 * mm - 3, 2 * mm, 3, 8 * mm);
  skewpages::fillBox(page, 30 * mm, 5 * mm, 2 * mm, 3);
  skewpages::fillBox(page, 38 * mm, 8 * mm, 60 * mm, 4);
  ImageDesc d = page.desc();
  const Rect16 strip{0, 0, static_cast<std::int16_t>(100 * mm - 1), static_cast<std::int16_t>(20 * mm - 1)};
  std::vector<SkewContour> contours;
  ASSERT_EQ(trace_strip_contours(&d, &strip, 1, &contours), 1);
  ASSERT_EQ(contours.size(), 1u);
  EXPECT_EQ(contours[0].x, 38 * mm);
}

TEST_F(SkewEstimate, NearComponentsMergeAndFarOnesStay) {
  rect_record* list = nullptr;
  auto add = [&](int l, int t, int r, int b) {
    rect_record* rec = append_rect(&list);
    ASSERT_NE(rec, nullptr);
    rec->left = static_cast<std::int16_t>(l);
    rec->top = static_cast<std::int16_t>(t);
    rec->right = static_cast<std::int16_t>(r);
    rec->bottom = static_cast<std::int16_t>(b);
  };
  add(40, 0, 50, 10);    // far to the right
  add(0, 0, 10, 10);
  add(12, 3, 20, 12);    // 2 pixels right of the second: merges
  add(0, 16, 10, 20);    // 4 pixels below the merged pair: stays
  merge_near_components(list, 24, 2);
  std::vector<std::vector<int>> got;
  for (rect_record* r = list->next; r != list; r = r->next) got.push_back({r->left, r->top, r->right, r->bottom});
  const std::vector<std::vector<int>> want = {{40, 0, 50, 10}, {0, 0, 20, 12}, {0, 16, 10, 20}};
  EXPECT_EQ(got, want);
  free_rect_list(&list);
}
