// The page renderer's own promises: vertical forms in vertical lines, truth
// boxes that hold every inked pixel, tiers and headings marked in the truth.
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

TEST(PageRenderer, VerticalLinesUseTheVerticalFormsOfPunctuation) {
  // The full stop sits low at the left in horizontal writing and high at
  // the right in vertical writing, against the cell of the character before.
  for (const bool vertical : {false, true}) {
    PageBuilder builder(600, 600, 300);
    builder.addText({200, 100}, QStringLiteral("国。"), 24, 2, 1, vertical);
    const RenderedPage page = builder.render();
    ASSERT_EQ(page.blocks.at(0).lines.at(0).glyphs.size(), 2u);
    const QRect kanji = page.blocks[0].lines[0].glyphs[0].rect;
    const QRect stop = page.blocks[0].lines[0].glyphs[1].rect;
    const QPoint centre = stop.center();
    if (vertical) {
      EXPECT_GT(stop.top(), kanji.bottom());                       // below the kanji
      EXPECT_GT(centre.x(), kanji.center().x()) << "right half";   // turned to the right
      EXPECT_LT(centre.y() - kanji.bottom(), kanji.height() / 2) << "top half of its cell";
    } else {
      EXPECT_GT(stop.left(), kanji.right());
      EXPECT_GT(centre.y(), kanji.center().y()) << "low in the line";
    }
  }
}

TEST(PageRenderer, TruthBoxesHoldEveryInkedPixelAndMarkTiersAndHeadings) {
  PageBuilder builder(1200, 1400, 300);
  builder.addVerticalTiers({1000, 100}, QStringLiteral("縦書きの段組み、「見出し」ー。"), 10.5, 12, 5, 2, 120);
  builder.addHeading({1040, 100}, QStringLiteral("見出し"), 16, true);
  const RenderedPage page = builder.render();
  ASSERT_EQ(page.blocks.size(), 3u);
  EXPECT_EQ(page.blocks[0].tier, 0);
  EXPECT_EQ(page.blocks[1].tier, 1);
  EXPECT_TRUE(page.blocks[2].heading);
  EXPECT_GT(page.blocks[1].rect.top() - page.blocks[0].rect.bottom(), 120);
  long inside = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      if (!page.pixel(x, y)) continue;
      bool covered = false;
      for (const auto& b : page.blocks)
        for (const auto& l : b.lines)
          for (const auto& g : l.glyphs) covered = covered || g.rect.contains(x, y);
      inside += covered ? 1 : 0;
    }
  }
  EXPECT_EQ(inside, page.blackCount());
}

}  // namespace
