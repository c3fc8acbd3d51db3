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

// The truth lines in the order the result fields read them: each line of
// each field, then the truth lines it covers (most of their ink) from left
// to right, as a line that runs from a label on into its value.
std::vector<int> readingOrderOfLines(const RenderedPage& page, const userfld* fields) {
  std::vector<QRect> truth;
  for (const auto& block : page.blocks)
    for (const auto& line : block.lines) truth.push_back(line.rect);
  std::vector<int> order;
  for (const userfld* f = fields->next; f != fields; f = f->next) {
    if (f->lines == nullptr) continue;
    for (const line_record* l = f->lines->next; l != f->lines; l = l->next) {
      const QRect rect(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
      std::vector<int> covered;
      for (int i = 0; i < static_cast<int>(truth.size()); ++i) {
        const QRect common = rect.intersected(truth[i]);
        if (2 * common.width() * common.height() >= truth[i].width() * truth[i].height()) covered.push_back(i);
      }
      std::sort(covered.begin(), covered.end(), [&](int a, int b) { return truth[a].left() < truth[b].left(); });
      for (int i : covered)
        if (std::find(order.begin(), order.end(), i) == order.end()) order.push_back(i);
    }
  }
  return order;
}

void addCell(PageBuilder& b, QPoint topLeft, const QString& text) {
  b.addShapedLine({topLeft.x(), topLeft.y() + 38}, text, 10.5, false);
}

// Every case draws its text in the order it is to be read.
TEST_F(LayoutPages, FormsReadRowByRowAndTextColumnsColumnByColumn) {
  struct Case {
    const char* name;
    std::function<void(PageBuilder&, int mm)> draw;
  };
  static const QString labels[] = {QStringLiteral("氏名"), QStringLiteral("住所"), QStringLiteral("電話番号"),
                                   QStringLiteral("会員番号")};
  static const QString values[] = {QStringLiteral("山田太郎"), QStringLiteral("東京都千代田区一番町"),
                                   QStringLiteral("03-1234-5678"), QStringLiteral("A-20931")};
  const Case cases[] = {
      {"labels beside their values",
       [](PageBuilder& b, int mm) {
         for (int r = 0; r < 4; ++r) {
           addCell(b, {10 * mm, (10 + 10 * r) * mm}, labels[r]);
           addCell(b, {45 * mm, (10 + 10 * r) * mm}, values[r]);
         }
       }},
      {"rows far apart, two pairs a row",
       [](PageBuilder& b, int mm) {
         for (int r = 0; r < 2; ++r)
           for (int c = 0; c < 2; ++c) {
             addCell(b, {(10 + 85 * c) * mm, (12 + 14 * r) * mm}, labels[2 * r + c]);
             addCell(b, {(35 + 85 * c) * mm, (12 + 14 * r) * mm}, values[2 * r + c]);
           }
       }},
      {"a ruled table of items and amounts",
       [](PageBuilder& b, int mm) {
         const int left = 10 * mm, top = 8 * mm, rowH = 11 * mm;
         const int edges[] = {0, 50 * mm, 75 * mm, 110 * mm};
         for (int r = 0; r <= 4; ++r) b.addRule(QRect(left, top + r * rowH, edges[3] + 2, 2), true);
         for (const int x : edges) b.addRule(QRect(left + x, top, 2, 4 * rowH + 2), false);
         const QString cells[4][3] = {{QStringLiteral("品名"), QStringLiteral("数量"), QStringLiteral("金額")},
                                      {QStringLiteral("用紙"), QStringLiteral("4"), QStringLiteral("620")},
                                      {QStringLiteral("封筒"), QStringLiteral("7"), QStringLiteral("1330")},
                                      {QStringLiteral("合計"), QStringLiteral("11"), QStringLiteral("1950")}};
         for (int r = 0; r < 4; ++r)
           for (int c = 0; c < 3; ++c) addCell(b, {left + edges[c] + 3 * mm, top + r * rowH + 3 * mm}, cells[r][c]);
       }},
      {"two columns of prose whose lines line up",
       [](PageBuilder& b, int mm) {
         b.addText({10 * mm, 10 * mm}, kJapanese, 10.5, 15, 5);
         b.addText({95 * mm, 10 * mm}, kJapanese, 10.5, 15, 5);
       }},
  };
  for (const Case& c : cases) {
    const int mm = 300 * 4 / 100;
    PageBuilder builder(180 * mm, 70 * mm, 300);
    c.draw(builder, mm);
    RenderedPage page = builder.render();
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 3);
    params.setByte(ParamBlock::kHorizontalRules, 1);
    params.setByte(ParamBlock::kVerticalRules, 1);
    layouttest::RegionRun run;
    layouttest::runRegion(run, page, params);
    ASSERT_EQ(run.status, 1) << c.name;
    ASSERT_NE(run.result.fields, nullptr) << c.name;
    std::vector<int> expected;
    for (const auto& block : page.blocks)
      for (std::size_t i = 0; i < block.lines.size(); ++i) expected.push_back(static_cast<int>(expected.size()));
    EXPECT_EQ(readingOrderOfLines(page, run.result.fields), expected) << c.name;
  }
}

}  // namespace
