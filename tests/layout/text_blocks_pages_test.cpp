// Lines, blocks and table regions of rendered pages, against the renderer's
// truth.  The pipeline runs whole; a step trace keeps what the block list
// holds once the block cleaning is done, and the regions once tables are
// recognised.
#include "layout/layout_pipelines.h"
#include "layout/table_regions.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

struct Snapshot {
  struct Block {
    QRect rect;
    std::vector<QRect> lines;
    int underlined = 0;  // components marked as underlined
  };
  std::vector<Block> blocks;
  struct Region {
    QRect rect;
    short kind;
    short style;
  };
  std::vector<Region> regions;
};

Snapshot g_snapshot;

QRect qrect(const rect_record& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

void keep(const layout::LayoutStep& step, short, const layout::LayoutRun& run) {
  if (std::strcmp(step.name, "find_table_regions") == 0) {
    g_snapshot.regions.clear();
    if (const rect_record* h = run.ctx->largeList; h != nullptr)
      for (const rect_record* r = h->next; r != h; r = r->next) g_snapshot.regions.push_back({qrect(*r), r->label, r->extra});
  }
  if (std::strcmp(step.name, "drop_flat_lines") == 0 || std::strcmp(step.name, "drop_speckled_lines") == 0) {
    g_snapshot.blocks.clear();
    const rect_record* h = run.ctx->textList;
    if (h == nullptr) return;
    for (const rect_record* b = h->next; b != h; b = b->next) {
      Snapshot::Block block{qrect(*b), {}, 0};
      if (b->outer != nullptr)
        for (const rect_record* l = b->outer->next; l != b->outer; l = l->next) {
          block.lines.push_back(qrect(*l));
          if (l->inner != nullptr)
            for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) block.underlined += c->extra == 1;
        }
      g_snapshot.blocks.push_back(block);
    }
  }
}

class TextBlockPages : public layouttest::LayoutLibraryTest {
 protected:
  Snapshot run(RenderedPage& page, const ParamBlock& params) {
    g_snapshot = {};
    layouttest::RegionRun r;
    layouttest::runRegion(r, page, params, nullptr, {true, true, keep});
    EXPECT_EQ(r.status, 1);
    return g_snapshot;
  }
};

const QString kJapanese = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字を測ります。");

// The block that covers most of `truth`, or null.
const Snapshot::Block* blockOver(const Snapshot& s, const QRect& truth) {
  const Snapshot::Block* best = nullptr;
  long bestArea = 0;
  for (const auto& b : s.blocks) {
    const QRect common = b.rect.intersected(truth);
    const long area = static_cast<long>(common.width()) * common.height();
    if (area > bestArea) {
      bestArea = area;
      best = &b;
    }
  }
  return best;
}

TEST_F(TextBlockPages, ATwoColumnJapanesePageGivesOneBlockPerParagraphPerColumn) {
  const int dpi = 400;
  const int mm = testpages::libraryMm(1, dpi);
  PageBuilder builder(210 * mm, 200 * mm, dpi);
  // Two paragraphs in each column, a blank line and more between them.
  for (const int x : {15 * mm, 110 * mm}) {
    builder.addText({x, 20 * mm}, kJapanese, 10.5, 22, 6);
    builder.addText({x, 60 * mm}, kJapanese, 10.5, 22, 5);
  }
  RenderedPage page = builder.render();
  ParamBlock params;
  const Snapshot s = run(page, params);
  ASSERT_EQ(page.blocks.size(), 4u);
  EXPECT_EQ(s.blocks.size(), 4u);
  for (const auto& truth : page.blocks) {
    const Snapshot::Block* b = blockOver(s, truth.rect);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->lines.size(), truth.lines.size()) << "paragraph at " << truth.rect.x() << "," << truth.rect.y();
    const int slack = mm;  // the truth's boxes are cells, the block's the ink
    EXPECT_NEAR(b->rect.left(), truth.rect.left(), slack);
    EXPECT_NEAR(b->rect.top(), truth.rect.top(), slack);
    EXPECT_NEAR(b->rect.right(), truth.rect.right(), 2 * slack);
    EXPECT_NEAR(b->rect.bottom(), truth.rect.bottom(), slack);
  }
}

TEST_F(TextBlockPages, ARuledTableBecomesATableRegionWithItsFrameStyle) {
  struct Case {
    const char* name;
    bool columnRules;
    short style;
  };
  const Case cases[] = {
      {"rules between rows and columns", true, 1},
      {"rules between rows only", false, 2},
  };
  for (const Case& c : cases) {
    const int dpi = 300;
    const int mm = testpages::libraryMm(1, dpi);
    PageBuilder builder(210 * mm, 150 * mm, dpi);
    const int left = 20 * mm, top = 20 * mm, colW = 40 * mm, rowH = 12 * mm, rows = 8, cols = 4;
    for (int r = 0; r <= rows; ++r) builder.addRule(QRect(left, top + r * rowH, cols * colW + 2, 2), true);
    for (int k = 0; k <= cols; ++k) {
      if (c.columnRules || k == 0 || k == cols) builder.addRule(QRect(left + k * colW, top, 2, rows * rowH + 2), false);
    }
    for (int r = 0; r < rows; ++r)
      for (int k = 0; k < cols; ++k)
        builder.addText({left + k * colW + 3 * mm, top + r * rowH + 3 * mm}, kJapanese.mid(r * 3 + k, 4), 10.5, 4, 1);
    builder.addText({left, top + rows * rowH + 10 * mm}, kJapanese, 10.5, 30, 3);
    RenderedPage page = builder.render();
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 0);
    const Snapshot s = run(page, params);
    const QRect table(QPoint(left, top), QPoint(left + cols * colW + 1, top + rows * rowH + 1));
    int tables = 0;
    for (const auto& r : s.regions) {
      if (r.kind != layout::kKindTableRegion) continue;
      ++tables;
      EXPECT_EQ(r.style, c.style) << c.name;
      EXPECT_GT(r.rect.intersected(table).width() * 10, table.width() * 9) << c.name;
      EXPECT_GT(r.rect.intersected(table).height() * 10, table.height() * 9) << c.name;
    }
    EXPECT_EQ(tables, 1) << c.name;
    // The paragraph under the table stays a block of its own.
    const Snapshot::Block* b = blockOver(s, page.blocks.back().rect);
    ASSERT_NE(b, nullptr) << c.name;
    EXPECT_EQ(b->lines.size(), 3u) << c.name;
  }
}

TEST_F(TextBlockPages, UnderlinedEnglishWordsStayInTheirLines) {
  const int dpi = 300;
  const int mm = testpages::libraryMm(1, dpi);
  PageBuilder builder(210 * mm, 120 * mm, dpi);
  const QString text = QStringLiteral("Layout analysis finds the blocks, lines and words of a page before recognition. ");
  builder.addText({20 * mm, 20 * mm}, text, 11, 60, 6, false, 1.5, QStringLiteral("DejaVu Serif"));
  RenderedPage probe = builder.render();
  // Underline a word in every other line, just below its ink.
  for (std::size_t i = 0; i < probe.blocks[0].lines.size(); i += 2) {
    const auto& glyphs = probe.blocks[0].lines[i].glyphs;
    QRect word;
    for (std::size_t g = 10; g < glyphs.size() && g < 16; ++g) word = word.united(glyphs[g].rect);
    builder.addRule(QRect(word.left(), probe.blocks[0].lines[i].rect.bottom() + 3, word.width(), 2), true);
  }
  RenderedPage page = builder.render();
  ParamBlock params;
  params.setByte(ParamBlock::kLanguageAuto, 1);
  const Snapshot s = run(page, params);
  // One block; the underlines neither start lines of their own nor tie two
  // lines together.  (Latin lines may still stand in pieces at wide word
  // spaces here: the later joins of split lines put them together.)
  ASSERT_EQ(s.blocks.size(), 1u);
  const auto& truth = page.blocks[0].lines;
  std::vector<int> covered(truth.size(), 0);
  for (const QRect& line : s.blocks[0].lines) {
    int rows = 0;
    for (std::size_t i = 0; i < truth.size(); ++i) {
      if (line.top() >= truth[i].rect.top() - 2 && line.bottom() <= truth[i].rect.bottom() + 2) {
        ++rows;
        covered[i] += line.width();
      }
    }
    EXPECT_EQ(rows, 1) << "line at " << line.x() << "," << line.y() << " " << line.width() << "x" << line.height();
  }
  for (std::size_t i = 0; i < truth.size(); ++i) {
    EXPECT_GT(covered[i] * 100, truth[i].rect.width() * 95) << "text line " << i;
  }
}

// A capital three lines high leading a paragraph: the fields keep it as a
// line of its own and give each of the three lines beside it a line.
TEST_F(TextBlockPages, ADropCapitalStaysOneLineAndTheLinesBesideItStaySeparate) {
  const int dpi = 400;
  const int mm = testpages::libraryMm(1, dpi);
  PageBuilder builder(210 * mm, 120 * mm, dpi);
  builder.addText({20 * mm, 20 * mm}, QStringLiteral("田"), 44, 1, 1);
  builder.addText({38 * mm, 20 * mm}, kJapanese, 10.5, 36, 3);
  builder.addText({20 * mm, 40 * mm}, kJapanese, 10.5, 40, 4);
  RenderedPage page = builder.render();
  ASSERT_EQ(page.blocks.size(), 3u);
  layouttest::RegionRun r;
  layouttest::runRegion(r, page, ParamBlock{});
  ASSERT_EQ(r.status, 1);
  std::vector<QRect> lines;
  if (r.result.fields != nullptr)
    for (const userfld* f = r.result.fields->next; f != r.result.fields; f = f->next)
      if (f->lines != nullptr)
        for (const line_record* l = f->lines->next; l != f->lines; l = l->next)
          lines.emplace_back(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
  const auto foundOver = [&](const QRect& truth) {
    return std::count_if(lines.begin(), lines.end(), [&](const QRect& l) {
      const QRect common = l.intersected(truth);
      const long both = static_cast<long>(common.width()) * common.height();
      const long either = static_cast<long>(l.width()) * l.height() + static_cast<long>(truth.width()) * truth.height() -
                          both;
      return both * 10 >= either * 7;  // IoU at least 0.7
    });
  };
  const QRect capital = page.blocks[0].lines[0].rect;
  EXPECT_EQ(foundOver(capital), 1) << "the capital";
  for (const auto& row : page.blocks[1].lines) EXPECT_EQ(foundOver(row.rect), 1) << "row at " << row.rect.y();
  EXPECT_EQ(lines.size(), 1u + 3u + 4u);
}

}  // namespace
