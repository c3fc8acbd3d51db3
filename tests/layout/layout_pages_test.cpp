// The measures, the writing direction, the language and the line fields of
// rendered pages, against the renderer's truth.
#include "layout/line_field_steps.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

class LayoutPages : public layouttest::LayoutLibraryTest {};

int medianGlyphHeight(const RenderedPage& page) {
  std::vector<int> heights;
  for (const auto& block : page.blocks)
    for (const auto& line : block.lines)
      for (const auto& g : line.glyphs) heights.push_back(g.rect.height());
  std::sort(heights.begin(), heights.end());
  return heights.empty() ? 0 : heights[heights.size() / 2];
}

const QString kJapanese = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。");
const QString kEnglish = QStringLiteral("Layout analysis of a page with English text, quick brown fox jumps.");

TEST_F(LayoutPages, MeasuresDirectionAndLanguageOfRenderedPages) {
  struct Case {
    const char* name;
    int dpi;
    std::function<void(PageBuilder&, int mm)> draw;
    std::uint8_t direction;
    short latin;  // -1: not judged here (the evaluation harness reports it)
  };
  const Case cases[] = {
      {"10.5 pt Japanese at 300 dpi", 300,
       [](PageBuilder& b, int mm) { b.addText({20 * mm, 20 * mm}, kJapanese, 10.5, 30, 12); }, 0, 0},
      {"10.5 pt Japanese at 400 dpi", 400,
       [](PageBuilder& b, int mm) { b.addText({20 * mm, 20 * mm}, kJapanese, 10.5, 30, 12); }, 0, 0},
      {"vertical Japanese at 300 dpi", 300,
       [](PageBuilder& b, int mm) { b.addText({150 * mm, 20 * mm}, kJapanese, 10.5, 30, 12, true); }, 2, 0},
      {"English at 300 dpi", 300,
       [](PageBuilder& b, int mm) {
         b.addText({20 * mm, 20 * mm}, kEnglish, 10, 60, 12, false, 1.4, QStringLiteral("DejaVu Serif"));
       },
       0, -1},
  };
  for (const Case& c : cases) {
    const int mm = c.dpi * 4 / 100;
    PageBuilder builder(210 * mm, 297 * mm / 2, c.dpi);
    c.draw(builder, mm);
    RenderedPage page = builder.render();
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 3);
    params.setByte(ParamBlock::kLanguageAuto, 1);
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params);
    ASSERT_EQ(run.status, 1) << c.name;
    EXPECT_EQ(run.ctx.params.byte(ParamBlock::kDirection), c.direction) << c.name;
    if (c.latin >= 0) {
      EXPECT_EQ(run.ctx.params.word(ParamBlock::kLanguageWord), c.latin) << c.name;
    }
    if (c.latin == 0) {
      const int ink = medianGlyphHeight(page);
      EXPECT_NEAR(run.ctx.charHeight, ink, ink * 0.15) << c.name;
    }
  }
}

TEST_F(LayoutPages, ATableWithADottedLeaderGivesLineFieldsWhereTheyWereDrawn) {
  const int dpi = 300;
  const int mm = dpi * 4 / 100;
  PageBuilder builder(150 * mm, 120 * mm, dpi);
  const QRect top(20 * mm, 20 * mm, 100 * mm, 2);
  const QRect bottom(20 * mm, 60 * mm, 100 * mm + 2, 2);
  const QRect left(20 * mm, 20 * mm, 2, 40 * mm);
  const QRect right(120 * mm, 20 * mm, 2, 40 * mm + 2);
  const QRect middle(20 * mm, 40 * mm, 100 * mm, 2);
  for (const QRect& r : {top, bottom, middle}) builder.addRule(r, true);
  for (const QRect& r : {left, right}) builder.addRule(r, false);
  builder.addText({24 * mm, 24 * mm}, QStringLiteral("第一章"), 10.5, 3, 1);
  builder.addText({106 * mm, 24 * mm}, QStringLiteral("12"), 10.5, 2, 1);
  builder.addDottedLine({40 * mm, 29 * mm}, 60 * mm, true, mm / 3, mm);
  builder.addText({24 * mm, 44 * mm}, QStringLiteral("第二章の本文"), 10.5, 6, 1);
  RenderedPage page = builder.render();

  ParamBlock params;
  params.setByte(ParamBlock::kHorizontalRules, 1);
  layouttest::RegionRun run;
  layouttest::runRegion(run, page, params);
  ASSERT_EQ(run.status, 1);
  std::vector<const userfld*> ruled;
  std::vector<const userfld*> dotted;
  for (const userfld* f = run.result.ruleFields->next; f != run.result.ruleFields; f = f->next) {
    (f->params.byte(ParamBlock::kFieldKind) == layout::kFieldDottedLine ? dotted : ruled).push_back(f);
  }
  auto near = [](const userfld* f, const QRect& r, bool horizontal) {
    const int slack = 2;
    if (horizontal) {
      return std::abs(f->top - r.top()) <= slack && std::abs(f->left - r.left()) <= slack &&
             std::abs(f->right - r.right()) <= slack;
    }
    return std::abs(f->left - r.left()) <= slack && std::abs(f->top - r.top()) <= slack &&
           std::abs(f->bottom - r.bottom()) <= slack;
  };
  ASSERT_EQ(dotted.size(), 1u);
  const QRect leader = page.dotted[0].rect;
  EXPECT_TRUE(near(dotted[0], leader, true) && std::abs(dotted[0]->bottom - leader.bottom()) <= 2)
      << dotted[0]->left << "," << dotted[0]->top << " " << dotted[0]->right << "," << dotted[0]->bottom;
  ASSERT_EQ(ruled.size(), 5u);
  for (const auto& rule : page.rules) {
    const bool found = std::any_of(ruled.begin(), ruled.end(), [&](const userfld* f) {
      return f->origin == (rule.horizontal ? 1 : 2) && near(f, rule.rect, rule.horizontal);
    });
    EXPECT_TRUE(found) << "rule at " << rule.rect.x() << "," << rule.rect.y();
  }
}

}  // namespace
