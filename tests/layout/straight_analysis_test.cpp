// A skewed page is laid out on a straightened copy and reported on the
// caller's own image; a level page goes the way it always went.
#include "layout/field_rings.h"
#include "layout/layout_driver.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/straight_analysis.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <QRect>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

TEST(StraightFrame, MapsBothWaysAndTheCanvasHoldsTheWholePage) {
  for (const double degrees : {0.5, -3.0, 6.0, -9.0}) {
    SCOPED_TRACE(degrees);
    const auto frame = layout::StraightFrame::make(degrees, 2480, 3508);
    EXPECT_GE(frame.canvasWidth, 2480);
    EXPECT_GE(frame.canvasHeight, 3508);
    for (const auto& [x, y] : {std::pair{0.0, 0.0}, {2479.0, 0.0}, {0.0, 3507.0}, {2479.0, 3507.0}, {1000.5, 17.0}}) {
      double sx = 0, sy = 0, cx = 0, cy = 0;
      frame.toStraight(x, y, &sx, &sy);
      EXPECT_TRUE(sx >= -0.5 && sy >= -0.5 && sx <= frame.canvasWidth && sy <= frame.canvasHeight) << sx << "," << sy;
      frame.toCaller(sx, sy, &cx, &cy);
      EXPECT_NEAR(cx, x, 1e-6);
      EXPECT_NEAR(cy, y, 1e-6);
    }
    // A level line on the canvas is a line descending (for positive
    // degrees) to the right on the caller's page.
    double lx = 0, ly = 0, rx = 0, ry = 0;
    frame.toCaller(100, 500, &lx, &ly);
    frame.toCaller(1100, 500, &rx, &ry);
    EXPECT_NEAR(std::atan2(ry - ly, rx - lx) * 180 / M_PI, degrees, 1e-6);
  }
}

class StraightLayout : public layouttest::LayoutLibraryTest {
 protected:
  struct Lines {
    short status = 0;
    std::vector<QRect> fields, lines;
  };
  static RenderedPage prose(double skew) {
    const int mm = testpages::libraryMm(1, 300);
    PageBuilder builder(170 * mm, 110 * mm, 300);
    builder.addText({15 * mm, 12 * mm},
                    QStringLiteral("会議の議事録は三日以内に提出してください。添付資料の番号と日付を確認のうえ保存します。"),
                    10.5, 34, 9);
    return builder.render(skew);
  }
  // The program's road: GetLines, then GetLayout with the control's defaults.
  static Lines layoutOf(RenderedPage& page) {
    free_fld_list(&layout::layoutState().Sfld);
    free_fld_list(&layout::layoutState().ruleFields);
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 3);
    params.setByte(ParamBlock::kNoVerticalMargin, 1);
    params.setByte(ParamBlock::kNoHorizontalMargin, 1);
    params.setByte(ParamBlock::kLineEnds, 1);
    int window = 0;
    std::uint16_t h = 0, v = 0;
    const auto w = static_cast<short>(page.width);
    const auto ht = static_cast<short>(page.height);
    const auto dpi = static_cast<std::uint16_t>(page.dpi);
    EXPECT_EQ(GetLines(&window, page.bits.data(), w, ht, dpi, &h, &v), 1);
    userfld* list = nullptr;
    Lines out;
    out.status = GetLayout(&window, &params, page.bits.data(), &list, w, ht, dpi, nullptr, -1);
    if (list != nullptr)
      for (const userfld* f = list->next; f != list; f = f->next)
        out.fields.push_back(QRect(QPoint(f->left, f->top), QPoint(f->right, f->bottom)));
    if (userfld* s = layout::layoutState().Sfld; s != nullptr)
      for (const userfld* f = s->next; f != s; f = f->next)
        if (f->lines != nullptr)
          for (const line_record* l = f->lines->next; l != f->lines; l = l->next)
            out.lines.push_back(QRect(QPoint(l->left, l->top), QPoint(l->right, l->bottom)));
    free_userfld_ring(&list);
    return out;
  }
};

TEST_F(StraightLayout, LevelPagesTakeThePathTheyAlwaysTook) {
  // The second page's few lines of long vowel marks make the estimate read
  // a skew of most of a degree that is not there.
  const int mm200 = testpages::libraryMm(1, 200);
  PageBuilder marks(180 * mm200, 90 * mm200, 200);
  marks.addText({10 * mm200, 10 * mm200}, QStringLiteral("コンピューターのデータをサーバーへコピーして、メールでユーザーに送ります。"),
                10.5, 28, 5, false, 1.6, QStringLiteral("Noto Serif CJK JP"));
  RenderedPage pages[] = {prose(0), marks.render()};
  for (RenderedPage& page : pages) {
    SCOPED_TRACE(page.dpi);
    const Lines viaExport = layoutOf(page);
    EXPECT_EQ(layout::straightened_degrees(), 0.0);
    ASSERT_EQ(viaExport.status, 1);
    // The same page through the layout alone, without the skew look.
    free_fld_list(&layout::layoutState().Sfld);
    free_fld_list(&layout::layoutState().ruleFields);
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 3);
    params.setByte(ParamBlock::kNoVerticalMargin, 1);
    params.setByte(ParamBlock::kNoHorizontalMargin, 1);
    params.setByte(ParamBlock::kLineEnds, 1);
    userfld* list = nullptr;
    short status = 0;
    {
      layout::ImageCallFrame frame(nullptr, page.bits.data(), page.width, page.height, page.dpi);
      status = layout_page(&list, &params, nullptr, -1);
    }
    ASSERT_EQ(status, 1);
    std::vector<QRect> plain;
    for (const userfld* f = list->next; f != list; f = f->next)
      plain.push_back(QRect(QPoint(f->left, f->top), QPoint(f->right, f->bottom)));
    free_userfld_ring(&list);
    EXPECT_EQ(viaExport.fields, plain);
  }
}

TEST_F(StraightLayout, ASkewedPageKeepsEveryLineOnTheCallersImage) {
  RenderedPage level = prose(0);
  const Lines levelLines = layoutOf(level);
  ASSERT_EQ(levelLines.lines.size(), 9u);
  for (const double skew : {1.5, -3.0, 6.0}) {
    SCOPED_TRACE(skew);
    RenderedPage page = prose(skew);
    const std::vector<std::uint8_t> before = page.bits;
    const Lines out = layoutOf(page);
    ASSERT_EQ(out.status, 1);
    EXPECT_EQ(page.bits, before) << "the caller's image is not touched";
    // The renderer turns counter-clockwise for a positive angle: the lines
    // then climb to the right.
    EXPECT_NEAR(layout::straightened_degrees(), -skew, 0.2);
    EXPECT_EQ(out.lines.size(), levelLines.lines.size());
    layouttest::Reachable counted;
    EXPECT_TRUE(layouttest::fieldTreeValid(layout::layoutState().Sfld, counted));
    // Together the lines (and the fields) hold the page's ink.
    long ink = 0, inLines = 0, inFields = 0;
    for (int y = 0; y < page.height; ++y)
      for (int x = 0; x < page.width; ++x) {
        if (!page.pixel(x, y)) continue;
        ++ink;
        const QPoint p(x, y);
        inLines += std::any_of(out.lines.begin(), out.lines.end(), [&](const QRect& r) { return r.contains(p); });
        inFields += std::any_of(out.fields.begin(), out.fields.end(), [&](const QRect& r) { return r.contains(p); });
      }
    EXPECT_GE(inLines * 100, ink * 99);
    EXPECT_EQ(inFields, ink);
  }
}

}  // namespace
