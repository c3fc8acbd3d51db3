// Grouping pixels into components and judging regions as text or figure,
// on small drawn images, random images against a flood fill, and pages
// rendered from the CJK font.
#include "layout/pixel_groups.h"
#include "layout/rect_rings.h"
#include "layout/field_rings.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <tuple>
#include <vector>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

using Box = std::tuple<int, int, int, int>;

void setPixel(RenderedPage& p, int x, int y) {
  p.bits[static_cast<std::size_t>(y) * p.bytesPerRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

std::multiset<Box> boxes(const rect_record* head) {
  std::multiset<Box> out;
  if (head == nullptr) return out;
  for (const rect_record* r = head->next; r != head; r = r->next) out.insert({r->left, r->top, r->right, r->bottom});
  return out;
}

// Reference: 8-connected flood fill over the rectangle.
std::multiset<Box> floodFill(const RenderedPage& p, Rect16 area, int minimumSize) {
  std::multiset<Box> out;
  std::vector<char> seen(static_cast<std::size_t>(p.width) * p.height, 0);
  for (int y = area.top; y <= area.bottom; ++y) {
    for (int x = area.left; x <= area.right; ++x) {
      if (!p.pixel(x, y) || seen[static_cast<std::size_t>(y) * p.width + x]) continue;
      int l = x, t = y, r = x, b = y;
      std::vector<std::pair<int, int>> stack{{x, y}};
      seen[static_cast<std::size_t>(y) * p.width + x] = 1;
      while (!stack.empty()) {
        auto [cx, cy] = stack.back();
        stack.pop_back();
        l = std::min(l, cx), r = std::max(r, cx), t = std::min(t, cy), b = std::max(b, cy);
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = cx + dx, ny = cy + dy;
            if (nx < area.left || nx > area.right || ny < area.top || ny > area.bottom) continue;
            auto& s = seen[static_cast<std::size_t>(ny) * p.width + nx];
            if (!s && p.pixel(nx, ny)) {
              s = 1;
              stack.push_back({nx, ny});
            }
          }
      }
      if ((r - l) + (b - t) + 2 >= minimumSize) out.insert({l, t, r, b});
    }
  }
  return out;
}

class PixelGroups : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_rect_list(&ring_);
    LayoutLibraryTest::TearDown();
  }
  rect_record* ring_ = nullptr;
};

TEST_F(PixelGroups, CornerTouchAndUShapeMakeOneComponent) {
  RenderedPage p = blankPage(40, 20, 400);
  setPixel(p, 3, 3);
  setPixel(p, 4, 4);  // touches only at a corner
  // A U whose arms meet only in the bottom row.
  for (int y = 5; y <= 15; ++y) {
    setPixel(p, 20, y);
    setPixel(p, 30, y);
  }
  for (int x = 20; x <= 30; ++x) setPixel(p, x, 15);
  ImageDesc d = p.desc();
  Rect16 all{0, 0, 39, 19};
  ASSERT_EQ(group_pixels(&ring_, &d, &all, 1, 0), 1);
  EXPECT_EQ(boxes(ring_), (std::multiset<Box>{{3, 3, 4, 4}, {20, 5, 30, 15}}));
  EXPECT_TRUE(layouttest::poolsBalanced({}, {ring_}));
}

TEST_F(PixelGroups, DegenerateRectangleAddsNothing) {
  RenderedPage p = blankPage(32, 8, 400);
  setPixel(p, 5, 2);
  ImageDesc d = p.desc();
  Rect16 column{5, 0, 5, 7};
  EXPECT_EQ(group_pixels(&ring_, &d, &column, 1, 0), 1);
  EXPECT_EQ(ring_, nullptr);
  Rect16 outside{100, 100, 200, 200};
  EXPECT_EQ(group_pixels(&ring_, &d, &outside, 1, 0), 1);
  EXPECT_EQ(ring_, nullptr);
}

TEST_F(PixelGroups, MatchesAFloodFillOnRandomImages) {
  struct Case {
    const char* name;
    int width, height;
    Rect16 area;
    double density;
    int minimumSize;
  };
  const Case cases[] = {
      {"sparse, whole image", 101, 37, {0, 0, 100, 36}, 0.08, 0},
      {"dense, whole image", 64, 64, {0, 0, 63, 63}, 0.45, 0},
      {"area not on byte edges", 99, 50, {3, 2, 90, 47}, 0.3, 0},
      {"edges reaching past the image", 50, 30, {-5, -5, 200, 200}, 0.2, 0},
      {"minimum size drops specks", 80, 40, {0, 0, 79, 39}, 0.25, 5},
      {"wide runs", 200, 20, {0, 0, 199, 19}, 0.9, 0},
  };
  std::mt19937 rng(11);
  for (const Case& c : cases) {
    RenderedPage p = blankPage(c.width, c.height, 400);
    std::bernoulli_distribution ink(c.density);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        if (ink(rng)) setPixel(p, x, y);
    ImageDesc d = p.desc();
    free_rect_list(&ring_);
    ASSERT_EQ(group_pixels(&ring_, &d, &c.area, 1, c.minimumSize), 1) << c.name;
    Rect16 clipped{std::max<std::int16_t>(c.area.left, 0), std::max<std::int16_t>(c.area.top, 0),
                   std::min<std::int16_t>(c.area.right, static_cast<std::int16_t>(p.bytesPerRow * 8 - 1)),
                   std::min<std::int16_t>(c.area.bottom, static_cast<std::int16_t>(c.height - 1))};
    EXPECT_EQ(boxes(ring_), floodFill(p, clipped, c.minimumSize)) << c.name;
    EXPECT_TRUE(layouttest::poolsBalanced({}, {ring_})) << c.name;
  }
}

TEST_F(PixelGroups, ReducedImageRectanglesComeBackInPagePixels) {
  RenderedPage p = blankPage(32, 16, 50);
  for (int x = 4; x <= 9; ++x) setPixel(p, x, 3);
  ImageDesc d = p.desc();
  Rect16 area{0, 0, 255, 127};  // page pixels; the image is reduced by 8
  ASSERT_EQ(group_pixels(&ring_, &d, &area, 8, 16), 1);
  EXPECT_EQ(boxes(ring_), (std::multiset<Box>{{32, 24, 72, 24}}));
  free_rect_list(&ring_);
  ASSERT_EQ(group_pixels(&ring_, &d, &area, 8, 64), 1);  // 64 / 8 = 8 > 5 + 0 + 2
  EXPECT_EQ(ring_, nullptr);
}

TEST_F(PixelGroups, FailureWithoutMemoryLeavesNoRecordBehind) {
  RenderedPage p = blankPage(64, 8, 400);
  for (int x = 0; x < 64; x += 3) setPixel(p, x, 4);
  ImageDesc d = p.desc();
  Rect16 all{0, 0, 63, 7};
  // The group pool opens (two allocations); the first rectangle then fails.
  layout::PoolFaults::remaining = 2;
  EXPECT_EQ(group_pixels(&ring_, &d, &all, 1, 0), -111);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(ring_, nullptr);
  EXPECT_TRUE(layouttest::poolsBalanced({}, {}));
}

TEST_F(PixelGroups, ComponentsOfRenderedTextFitTheGlyphs) {
  const int dpi = 300;
  testpages::PageBuilder builder(1200, 700, dpi);
  builder.addText({60, 60}, QStringLiteral("漢字かなカナ文書整理"), 10.5, 10, 4);
  RenderedPage page = builder.render();
  ImageDesc d = page.desc();
  Rect16 all{0, 0, static_cast<std::int16_t>(page.width - 1), static_cast<std::int16_t>(page.height - 1)};
  ASSERT_EQ(group_pixels(&ring_, &d, &all, 1, 0), 1);
  std::vector<QRect> glyphs;
  for (const auto& line : page.blocks[0].lines)
    for (const auto& g : line.glyphs) glyphs.push_back(g.rect);
  ASSERT_EQ(glyphs.size(), 40u);
  // Every component lies in one glyph, and the components of a glyph cover its ink box.
  std::vector<QRect> unions(glyphs.size());
  for (rect_record* r = ring_->next; r != ring_; r = r->next) {
    const QRect box(QPoint(r->left, r->top), QPoint(r->right, r->bottom));
    auto owner = std::find_if(glyphs.begin(), glyphs.end(), [&](const QRect& g) { return g.contains(box); });
    ASSERT_NE(owner, glyphs.end()) << "component outside every glyph";
    auto& u = unions[static_cast<std::size_t>(owner - glyphs.begin())];
    u = u.united(box);
  }
  for (std::size_t i = 0; i < glyphs.size(); ++i) EXPECT_EQ(unions[i], glyphs[i]) << i;
}

TEST_F(PixelGroups, ExcludedChildRectanglesDropWhatLiesWhollyInside) {
  auto add = [&](int l, int t, int r, int b) {
    rect_record* rec = append_rect(&ring_);
    rec->left = static_cast<std::int16_t>(l), rec->top = static_cast<std::int16_t>(t);
    rec->right = static_cast<std::int16_t>(r), rec->bottom = static_cast<std::int16_t>(b);
    append_rect(&rec->inner);
  };
  add(10, 10, 20, 20);   // inside
  add(15, 15, 40, 20);   // crosses the edge
  add(100, 100, 110, 110);
  userfld* children = nullptr;
  add_plain_fld(&children, 5, 5, 30, 30);
  drop_excluded_groups(children, ring_);
  EXPECT_EQ(boxes(ring_), (std::multiset<Box>{{15, 15, 40, 20}, {100, 100, 110, 110}}));
  drop_excluded_groups(nullptr, ring_);
  EXPECT_EQ(count_rects(ring_), 2);
  EXPECT_TRUE(layouttest::poolsBalanced({children}, {ring_}));
  free_fld_list(&children);
}

// Text against figures at the three resolutions the library meets.
TEST_F(PixelGroups, ClassifyTellsRenderedTextFromDrawnFigures) {
  for (int dpi : {200, 300, 400}) {
    const int mm = dpi * 4 / 100;
    testpages::PageBuilder builder(120 * mm, 160 * mm, dpi);
    builder.addText({5 * mm, 5 * mm}, QStringLiteral("文書をファイルに整理する仕組みです。"), 10.5, 18, 8);
    builder.addText({110 * mm, 5 * mm}, QStringLiteral("縦書きの文章も読めます"), 12, 12, 5, true);
    builder.addText({5 * mm, 60 * mm}, QStringLiteral("Layout analysis of pages"), 10, 24, 3);
    builder.addFigure(QRect(5 * mm, 80 * mm, 40 * mm, 30 * mm), testpages::FigureKind::Photo);
    builder.addFigure(QRect(50 * mm, 80 * mm, 30 * mm, 30 * mm), testpages::FigureKind::Solid);
    builder.addFigure(QRect(5 * mm, 115 * mm, 40 * mm, 40 * mm), testpages::FigureKind::Hatched);
    builder.addFigure(QRect(50 * mm, 115 * mm, 40 * mm, 40 * mm), testpages::FigureKind::Drawing);
    RenderedPage page = builder.render();
    ImageDesc d = page.desc();
    auto judge = [&](QRect r) {
      Rect16 rect{static_cast<std::int16_t>(r.left()), static_cast<std::int16_t>(r.top()),
                  static_cast<std::int16_t>(r.right()), static_cast<std::int16_t>(r.bottom())};
      short kind = 0;
      EXPECT_EQ(classify_region(&kind, &d, &rect), 1);
      return kind;
    };
    for (std::size_t b = 0; b < page.blocks.size(); ++b)
      EXPECT_EQ(judge(page.blocks[b].rect), layout::kKindText) << dpi << " dpi, text block " << b;
    for (std::size_t f = 0; f < page.figures.size(); ++f)
      EXPECT_EQ(judge(page.figures[f].rect), layout::kKindFigure) << dpi << " dpi, figure " << f;
  }
}

TEST_F(PixelGroups, FigureBlocksKeepFigureSizedBlobsGrownByTheirNeighbours) {
  const int dpi = 400;
  const int mm = dpi * 4 / 100;  // 16 px
  RenderedPage p = blankPage(10, 10, dpi);
  ImageDesc d = p.desc();
  auto add = [&](int l, int t, int r, int b) {
    rect_record* rec = append_rect(&ring_);
    rec->left = static_cast<std::int16_t>(l), rec->top = static_cast<std::int16_t>(t);
    rec->right = static_cast<std::int16_t>(r), rec->bottom = static_cast<std::int16_t>(b);
  };
  add(0, 0, 70 * mm, 70 * mm);                     // larger than 60 mm both ways: dropped
  add(100, 100, 100 + 20 * mm, 100 + 20 * mm);     // a figure
  add(100 + 19 * mm, 110, 100 + 30 * mm, 110 + 6 * mm);  // touches it, 6 mm tall: absorbed
  add(100 + 5 * mm, 100 + 5 * mm, 100 + 6 * mm, 100 + 7 * mm);  // inside, under 5 mm tall: dropped
  add(2000, 2000, 2000 + 5 * mm, 2000 + 5 * mm);   // small, alone: dropped
  ASSERT_EQ(keep_figure_blocks(ring_, &d), 1);
  EXPECT_EQ(boxes(ring_), (std::multiset<Box>{{100, 100, 100 + 30 * mm, 100 + 20 * mm}}));
  EXPECT_EQ(ring_->next->label, layout::kKindFigure);
}

}  // namespace
