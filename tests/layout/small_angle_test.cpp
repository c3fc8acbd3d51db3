// Turning a page by a small angle with two shears.
#include "layout/bit_image.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <QPoint>

#include <cmath>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

void setPixel(RenderedPage& p, int x, int y) {
  p.bits[std::size_t(y) * p.bytesPerRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

QRect inkBox(const RenderedPage& p) {
  QRect box;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.bytesPerRow * 8; ++x)
      if (p.pixel(x, y)) box = box.united(QRect(x, y, 1, 1));
  return box;
}

TEST(SmallAngle, OnlyAnglesUpToAboutSixDegreesTurn) {
  struct Case {
    double degrees;
    bool changes;
  };
  const Case cases[] = {{0.0, false}, {5.0, true}, {6.0, true}, {7.0, false}, {-7.0, false}, {-1.0, true}};
  for (const Case& c : cases) {
    RenderedPage p = blankPage(400, 300, 300);
    for (int x = 20; x < 380; ++x) setPixel(p, x, 40);
    const auto before = p.bits;
    ImageDesc d = p.desc();
    rotate_small_angle(&d, c.degrees);
    EXPECT_EQ(p.bits != before, c.changes) << c.degrees;
  }
}

TEST(SmallAngle, TheCentreStaysAndPositiveTurnsCounterClockwise) {
  RenderedPage p = blankPage(800, 400, 300);
  const int cx = p.bytesPerRow / 2 * 8;
  const int cy = p.height / 2;
  for (int x = 100; x < 700; ++x) setPixel(p, x, cy);
  ImageDesc d = p.desc();
  rotate_small_angle(&d, 3.0);
  EXPECT_TRUE(p.pixel(cx, cy));
  // Counter-clockwise as displayed: the right end rises, the left end falls.
  int rightY = -1, leftY = -1;
  for (int y = 0; y < p.height; ++y) {
    if (p.pixel(690, y)) rightY = y;
    if (p.pixel(110, y)) leftY = y;
  }
  ASSERT_GE(rightY, 0);
  ASSERT_GE(leftY, 0);
  EXPECT_LT(rightY, cy - 10);
  EXPECT_GT(leftY, cy + 10);
  // tan(3 degrees) x 290 pixels is about 15 rows.
  EXPECT_NEAR(cy - rightY, 15, 2);
}

TEST(SmallAngle, ACornerPixelLeavesTheImage) {
  RenderedPage p = blankPage(800, 30, 300);  // 100 bytes wide
  setPixel(p, 0, 0);
  ImageDesc d = p.desc();
  rotate_small_angle(&d, -5.0);  // the left column moves up (400 - 8) / 11 = 35 rows
  EXPECT_EQ(p.blackCount(), 0);
}

TEST(SmallAngle, ShearsLongerThanTheImageStayInsideIt) {
  // 3200 pixels wide and 6 rows high: the outer columns move far more than
  // the height, and the rows far more than... nothing may be written outside.
  RenderedPage p = blankPage(3200, 6, 400);
  std::fill(p.bits.begin(), p.bits.end(), 0xFF);
  ImageDesc d = p.desc();
  rotate_small_angle(&d, -5.5);
  rotate_small_angle(&d, 5.5);
  EXPECT_LT(p.blackCount(), 3200L * 6);
  RenderedPage tall = blankPage(16, 3000, 400);
  std::fill(tall.bits.begin(), tall.bits.end(), 0xFF);
  ImageDesc t = tall.desc();
  rotate_small_angle(&t, 5.5);
  EXPECT_LT(tall.blackCount(), 16L * 3000);
}

TEST(SmallAngle, TurningBackRestoresTheText) {
  const int dpi = 300;
  testpages::PageBuilder builder(1600, 1200, dpi);
  builder.addText({200, 200}, QStringLiteral("画像を少しだけ回転して戻す試験です"), 12, 16, 8);
  RenderedPage original = builder.render();
  const QRect before = inkBox(original);
  for (double angle : {1.0, 3.0, 5.0}) {
    RenderedPage p = original;
    ImageDesc d = p.desc();
    rotate_small_angle(&d, angle);
    EXPECT_NE(p.bits, original.bits) << angle;
    rotate_small_angle(&d, -angle);
    const QRect after = inkBox(p);
    // Two shears are a turn only to first order: the error grows with
    // tan^2 of the angle and the distance from the centre, plus a row or a
    // pixel of rounding per shear.
    const double t = std::tan(angle * 3.14159265 / 180.0);
    const double far = std::hypot(800.0 - before.left(), 600.0 - before.top());
    const int tolerance = static_cast<int>(std::ceil(t * t * far)) + 2;
    EXPECT_LE(std::abs(after.left() - before.left()), tolerance) << angle;
    EXPECT_LE(std::abs(after.top() - before.top()), tolerance) << angle;
    EXPECT_LE(std::abs(after.right() - before.right()), tolerance) << angle;
    EXPECT_LE(std::abs(after.bottom() - before.bottom()), tolerance) << angle;
    long same = 0;
    for (int y = before.top(); y <= before.bottom(); ++y)
      for (int x = before.left(); x <= before.right(); ++x) same += original.pixel(x, y) && p.pixel(x, y);
    // Most ink comes back on its own pixel; the rest is off by a little.
    EXPECT_GT(static_cast<double>(same) / original.blackCount(), 0.5) << angle;
    EXPECT_NEAR(static_cast<double>(p.blackCount()) / original.blackCount(), 1.0, 0.05) << angle;
  }
}

}  // namespace

namespace {

// A page rendered with a skew comes back upright when turned by the opposite
// angle, and the renderer's truth box of the skewed block holds its ink.
TEST(SmallAngle, SkewedTestPagesComeBackUpright) {
  testpages::PageBuilder builder(1600, 1200, 300);
  builder.addText({300, 400}, QStringLiteral("傾いた頁を元に戻す"), 12, 9, 4);
  const RenderedPage upright = builder.render();
  RenderedPage skewed = builder.render(2.0);
  const QRect truth = skewed.blocks[0].rect;
  const QRect ink = inkBox(skewed);
  EXPECT_TRUE(truth.adjusted(-2, -2, 2, 2).contains(ink)) << "truth box misses ink";
  EXPECT_GT(ink.height(), inkBox(upright).height() + 10);  // a skewed block is taller
  ImageDesc d = skewed.desc();
  rotate_small_angle(&d, -2.0);
  const QRect back = inkBox(skewed);
  const QRect expected = inkBox(upright);
  EXPECT_NEAR(back.top(), expected.top(), 4);
  EXPECT_NEAR(back.bottom(), expected.bottom(), 4);
  EXPECT_NEAR(back.left(), expected.left(), 4);
  EXPECT_NEAR(back.right(), expected.right(), 4);
}

}  // namespace
