// Skew correction of a whole page, of a rectangle, and through the exports,
// on pages rendered at known skews.
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/skew_correction.h"
#include "layout/skew_estimate.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/skew_pages.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <cmath>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

class SkewCorrection : public layouttest::LayoutLibraryTest {};

}  // namespace

TEST_F(SkewCorrection, CodesAndTheRotationMade) {
  struct Case {
    const char* name;
    double degrees;
    short code;
    double reported;  // the angle out: the rotation made (code 2) or the estimate
    bool changes;
  };
  const Case cases[] = {
      {"3 degrees: one rotation", 3.0, 2, 3.0, true},
      {"-2 degrees", -2.0, 2, -2.0, true},
      {"7.5 degrees: 5 and 2.5", 7.5, 2, 7.5, true},
      {"5.2 degrees: 5, the 0.2 left", 5.2, 2, 5.0, true},
      {"-5.2 degrees", -5.2, 2, -5.0, true},
      {"0.3 degrees: too small", 0.3, 1, 0.3, false},
      {"-0.3 degrees", -0.3, 1, -0.3, false},
      {"9.5 degrees: too large", 9.5, 4, 9.5, false},
      {"-9.5 degrees", -9.5, 4, -9.5, false},
  };
  for (const Case& c : cases) {
    RenderedPage page = skewpages::textPage(c.degrees, false);
    const auto before = page.bits;
    ImageDesc d = page.desc();
    double angle = 99;
    EXPECT_EQ(auto_rotate_page_work(&d, 1, 3, 0, &angle), c.code) << c.name;
    // A whole step is exact; an estimate is within a tenth or two (this
    // small page cuts the lines short at 9.5 degrees).
    const double tolerance = c.code == 2 && std::fabs(c.reported) == 5.0 ? 1e-9 : c.code == 4 ? 0.3 : 0.15;
    EXPECT_NEAR(angle, c.reported, tolerance) << c.name;
    EXPECT_EQ(page.bits != before, c.changes) << c.name;
    if (c.code == 2) {
      // Straightened: a second look finds nothing to correct.
      double again = 99;
      EXPECT_EQ(auto_rotate_page_work(&d, 1, 3, 0, &again), 1) << c.name;
      EXPECT_LT(std::fabs(again), 0.4) << c.name;
    }
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << c.name;
  }
}

TEST_F(SkewCorrection, NothingToGoByLeavesThePageAndAngleZero) {
  RenderedPage page = blankPage(1200, 1600, 300);
  ImageDesc d = page.desc();
  double angle = 99;
  EXPECT_EQ(auto_rotate_page_work(&d, 1, 3, 0, &angle), 0);
  EXPECT_EQ(angle, 0);
  EXPECT_EQ(auto_rotate_page(&d, -1, 0), 0);
  // Other modes do nothing.
  RenderedPage skewed = skewpages::textPage(3.0, false);
  const auto before = skewed.bits;
  ImageDesc s = skewed.desc();
  EXPECT_EQ(auto_rotate_page_work(&s, 1, 3, 1, &angle), 1);
  EXPECT_EQ(skewed.bits, before);
  ImageDesc none = d;
  none.bits = nullptr;
  EXPECT_EQ(auto_rotate_page_work(&none, 1, 3, 0, &angle), 3);
  const Rect16 area{0, 0, 100, 100};
  EXPECT_EQ(auto_rotate_rect(&none, &area, 1, 3, &angle), 3);
}

TEST_F(SkewCorrection, MemoryFailureIsReportedWithThePageUntouched) {
  RenderedPage page = skewpages::textPage(3.0, false);
  const auto before = page.bits;
  ImageDesc d = page.desc();
  double angle = 99;
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(auto_rotate_page_work(&d, 1, 3, 0, &angle), -1);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(angle, 0);
  EXPECT_EQ(page.bits, before);
}

namespace {

// A page whose middle holds a block of text skewed on its own, with text
// around it that must not move.
struct BlockPage {
  RenderedPage page;
  Rect16 area;
};

BlockPage blockPage(double degrees) {
  const int mm = 12;
  RenderedPage block = skewpages::textPage(degrees, false);
  BlockPage out{blankPage(200 * mm, 260 * mm, 300), {}};
  // Paste the skewed block at byte column 16, row 300; fence it with rules.
  const int x0 = 128, y0 = 300;
  for (int y = 0; y < block.height; ++y)
    for (int b = 0; b < block.bytesPerRow; ++b)
      out.page.bits[static_cast<std::size_t>(y0 + y) * out.page.bytesPerRow + x0 / 8 + b] =
          block.bits[static_cast<std::size_t>(y) * block.bytesPerRow + b];
  out.area = Rect16{static_cast<std::int16_t>(x0), static_cast<std::int16_t>(y0),
                    static_cast<std::int16_t>(x0 + block.bytesPerRow * 8 - 1), static_cast<std::int16_t>(y0 + block.height - 1)};
  skewpages::fillBox(out.page, 40, 100, 2000, 4);
  skewpages::fillBox(out.page, 40, y0 + block.height + 40, 2000, 4);
  skewpages::fillBox(out.page, 40, 100, 4, 2800);
  return out;
}

bool sameOutside(const RenderedPage& a, const RenderedPage& b, const Rect16& area) {
  for (int y = 0; y < a.height; ++y)
    for (int x = 0; x < a.bytesPerRow * 8; ++x) {
      const bool inside = x >= area.left / 8 * 8 && x <= area.right / 8 * 8 + 7 && y >= area.top && y <= area.bottom;
      if (!inside && a.pixel(x, y) != b.pixel(x, y)) return false;
    }
  return true;
}

}  // namespace

TEST_F(SkewCorrection, ARectangleIsCutOutStraightenedAndPutBack) {
  for (const double degrees : {3.0, -5.2, 7.5}) {
    BlockPage p = blockPage(degrees);
    const RenderedPage before = p.page;
    ImageDesc d = p.page.desc();
    double angle = 0;
    EXPECT_EQ(auto_rotate_rect(&d, &p.area, 1, 0, &angle), 2) << degrees;
    // Without the 0.4 stop the whole estimate is turned.
    EXPECT_NEAR(angle, degrees, 0.15) << degrees;
    EXPECT_NE(p.page.bits, before.bits);
    EXPECT_TRUE(sameOutside(p.page, before, p.area)) << degrees;
    // Corners given in the other order name the same rectangle.
    const Rect16 reversed{p.area.right, p.area.bottom, p.area.left, p.area.top};
    EXPECT_EQ(auto_rotate_rect(&d, &reversed, 1, 0, &angle), 1) << degrees;
    EXPECT_TRUE(sameOutside(p.page, before, p.area)) << degrees;
  }
}

TEST_F(SkewCorrection, RectangleCodesBelowAndAboveTheLimits) {
  for (const auto& [degrees, code] : {std::pair{0.3, 1}, std::pair{-9.5, 4}}) {
    BlockPage p = blockPage(degrees);
    const auto before = p.page.bits;
    ImageDesc d = p.page.desc();
    double angle = 0;
    EXPECT_EQ(auto_rotate_rect(&d, &p.area, 1, 0, &angle), code) << degrees;
    EXPECT_EQ(p.page.bits, before) << degrees;
  }
}

TEST_F(SkewCorrection, TheExportsStraightenTheHeldPageAndReportTheRotation) {
  layout::layoutState().dpi = 300;  // as the page's preparation leaves it
  RenderedPage page = skewpages::textPage(7.5, false);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  short tenths = 0, cx = 0, cy = 0;
  EXPECT_EQ(AutoRotateEx(page.bits.data(), 0, static_cast<short>(page.width), static_cast<short>(page.height), &params,
                         0, nullptr, &tenths, &cx, &cy),
            2);
  EXPECT_NEAR(tenths, 75, 1);
  EXPECT_EQ(cx, page.bytesPerRow / 2 * 8);
  EXPECT_EQ(cy, page.height / 2);
  EXPECT_EQ(AutoRotate(page.bits.data(), 0, static_cast<short>(page.width), static_cast<short>(page.height), &params, 0,
                       nullptr),
            1);
  // The rectangle mode of the export.
  BlockPage p = blockPage(-2.0);
  EXPECT_EQ(AutoRotateEx(p.page.bits.data(), 0, static_cast<short>(p.page.width), static_cast<short>(p.page.height),
                         &params, 0, &p.area, &tenths, &cx, &cy),
            2);
  EXPECT_NEAR(tenths, -20, 1);
  EXPECT_EQ(AutoRotate(p.page.bits.data(), 0, static_cast<short>(p.page.width), static_cast<short>(p.page.height),
                       &params, 0, &p.area),
            1);
}

TEST_F(SkewCorrection, HalvesAreCorrectedOneAfterTheOther) {
  RenderedPage page = skewpages::textPage(2.0, false);
  ImageDesc d = page.desc();
  EXPECT_EQ(auto_rotate_halves(&d, 1, 0), 2);
  RenderedPage blank = blankPage(1200, 1600, 300);
  ImageDesc b = blank.desc();
  EXPECT_EQ(auto_rotate_halves(&b, 1, 0), 0);
}
