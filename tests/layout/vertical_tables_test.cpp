// Vertical pages that carry a ruled table and a picture beside text under
// headings of two characters, through GetLines and GetLayout as the OCR
// control runs them: the table comes out as its cells in reading order, the
// picture as a figure that no text field overlaps, the headings as columns.
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/record_pool.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/ring_checker.h"
#include "tests/support/vertical_table_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;
using testpages::VerticalTablePage;

class VerticalTables : public layouttest::LayoutLibraryTest {};

QRect rectOf(const userfld& f) { return QRect(QPoint(f.left, f.top), QPoint(f.right, f.bottom)); }

QRect inkOf(const testpages::BlockTruth& block) {
  QRect r;
  for (const auto& line : block.lines)
    for (const auto& g : line.glyphs) r = r.united(g.rect);
  return r;
}

struct TablePage {
  RenderedPage page;
  VerticalTablePage layout;
};

TablePage tablePage(int dpi, int variant, const QString& family) {
  const int mm = dpi * 4 / 100;
  PageBuilder builder(150 * mm, 150 * mm, dpi);
  TablePage p;
  p.layout = testpages::addVerticalTablePage(builder, mm, 150, variant, family);
  p.page = builder.render();
  return p;
}

// The fields of GetLayout (the library's own list) for a page whose ruled
// lines GetLines found first.
const userfld* layoutOf(RenderedPage& page, int direction) {
  int window = 0;
  EXPECT_EQ(GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                     static_cast<std::uint16_t>(page.dpi), nullptr, nullptr),
            1);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  // The control deletes the areas of the page before: Sfld starts empty.
  free_fld_list(&layout::layoutState().Sfld);
  free_fld_list(&layout::layoutState().ruleFields);
  userfld* list = nullptr;
  EXPECT_EQ(GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width),
                      static_cast<short>(page.height), static_cast<std::uint16_t>(page.dpi), nullptr, -1),
            1);
  free_userfld_ring(&list);
  return layout::layoutState().Sfld;
}

TEST_F(VerticalTables, CellsComeInReadingOrderAndThePictureStaysAPicture) {
  struct Case {
    int dpi;
    int variant;
    QString family;
  };
  const Case cases[] = {
      {200, 0, QStringLiteral("Noto Sans CJK JP")},  {300, 1, QStringLiteral("Noto Serif CJK JP")},
      {300, 2, QStringLiteral("Noto Sans CJK JP")},  {400, 0, QStringLiteral("Noto Serif CJK JP")},
      {400, 1, QStringLiteral("Noto Sans CJK JP")},
  };
  for (const Case& c : cases) {
    const std::string name = c.family.toStdString() + ", texts " + std::to_string(c.variant) + ", " +
                             std::to_string(c.dpi) + " dpi";
    TablePage p = tablePage(c.dpi, c.variant, c.family);
    const userfld* fields = layoutOf(p.page, 1);
    ASSERT_NE(fields, nullptr) << name;

    std::vector<const userfld*> cells, figures, texts;
    for (const userfld* f = fields->next; f != fields; f = f->next) {
      const int kind = f->params.byte(ParamBlock::kFieldKind);
      EXPECT_NE(kind, '2') << name << ": a table region left unexpanded";
      if (kind == 11) cells.push_back(f);
      if (kind == 10) figures.push_back(f);
      if (kind == 11 || kind == 13) texts.push_back(f);
    }

    // Nine cells, column by column from the right, each column from the
    // top, each inside its own frame and covering its text; numbered by
    // column and row.
    const std::vector<const testpages::BlockTruth*> truthCells = testpages::cellBlocks(p.page, p.layout);
    ASSERT_EQ(truthCells.size(), 9u);
    ASSERT_EQ(cells.size(), 9u) << name;
    for (std::size_t i = 0; i < cells.size(); ++i) {
      const QRect found = rectOf(*cells[i]);
      EXPECT_TRUE(p.layout.cells[i].contains(found)) << name << ": cell " << i;
      EXPECT_TRUE(found.adjusted(-2, -2, 2, 2).contains(inkOf(*truthCells[i]))) << name << ": cell " << i;
      EXPECT_EQ(cells[i]->number, static_cast<int>(i / 3) + 1) << name << ": cell " << i;
      EXPECT_EQ(cells[i]->subNumber, static_cast<int>(i % 3) + 1) << name << ": cell " << i;
      EXPECT_EQ(cells[i]->params.byte(ParamBlock::kDirection), 1) << name << ": cell " << i;
      ASSERT_NE(cells[i]->lines, nullptr) << name << ": cell " << i;
      EXPECT_EQ(cells[i]->lines->next->next, cells[i]->lines) << name << ": cell " << i << " is one column";
    }

    // The picture is one figure field (to a pixel of the image reduced by 8
    // that regions are found on), and no text field reaches into it.
    ASSERT_EQ(figures.size(), 1u) << name;
    EXPECT_TRUE(rectOf(*figures[0]).adjusted(-8, -8, 8, 8).contains(p.layout.picture)) << name;
    EXPECT_TRUE(p.layout.picture.adjusted(-8, -8, 8, 8).contains(rectOf(*figures[0]))) << name;
    for (const userfld* t : texts) EXPECT_FALSE(rectOf(*t).intersects(p.layout.picture)) << name;

    // Each heading of two characters is one column of its own.
    for (const auto& block : p.page.blocks) {
      if (!block.heading) continue;
      const QRect ink = inkOf(block);
      bool found = false;
      for (const userfld* t : texts)
        for (const line_record* l = t->lines->next; l != t->lines; l = l->next) {
          const QRect column(QPoint(l->left, l->top), QPoint(l->right, l->bottom));
          found = found || (column.adjusted(-2, -2, 2, 2).contains(ink) && ink.adjusted(-2, -2, 2, 2).contains(column));
        }
      EXPECT_TRUE(found) << name << ": heading at " << ink.x() << "," << ink.y();
    }
  }
}

TEST_F(VerticalTables, TheRingsStaySoundAndRunningOutOfMemoryLeavesNothingBehind) {
  TablePage p = tablePage(200, 0, testpages::kCjkFamily);
  int window = 0;
  ASSERT_EQ(GetLines(&window, p.page.bits.data(), static_cast<short>(p.page.width), static_cast<short>(p.page.height),
                     static_cast<std::uint16_t>(p.page.dpi), nullptr, nullptr),
            1);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  {
    layouttest::RegionRun run;
    layouttest::runRegion(run, p.page, params, nullptr, {false, true, layouttest::checkRingsAfterStep});
    ASSERT_EQ(run.status, 1);
  }
  layout::pools().closeAll();
  ASSERT_TRUE(layout::pools().rects.configure({4, 1, 1}));
  ASSERT_TRUE(layout::pools().fields.configure({1, 1, 1}));
  bool finished = false;
  int failures = 0;
  for (long n = 0; n < 20000 && !finished; n += 1 + n / 100) {
    short status = 0;
    {
      layouttest::RegionRun run;
      layout::PoolFaults::remaining = n;
      layouttest::runRegion(run, p.page, params, nullptr, {false, true, nullptr});
      layout::PoolFaults::remaining = -1;
      status = run.status;
      ASSERT_TRUE(status == 1 || status == -111) << "after " << n << " allocations: " << status;
      EXPECT_TRUE(layouttest::runValid(run.ctx, &run.result)) << "after " << n << " allocations";
    }
    EXPECT_TRUE(layouttest::poolsBalanced({}, {})) << "after " << n << " allocations";
    if (status == -111) ++failures;
    finished = status == 1;
  }
  EXPECT_TRUE(finished);
  EXPECT_GT(failures, 10);
  layout::pools().closeAll();
  layout::pools().fields.configure({30, 3, 2});
}

}  // namespace
