// The vertical pipeline on rendered vertical pages (columns right to left,
// OpenType vertical forms, in one or two tiers, with a heading), against the
// renderer's truth, at 200, 300 and 400 dpi: the columns the steps built so
// far leave in the blocks, and the tier bands.
#include "layout/layout_pipelines.h"
#include "layout/library_state.h"
#include "layout/record_pool.h"
#include "layout/rect_rings.h"
#include "layout/vertical_gaps.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/region_runner.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace {

using testpages::BlockTruth;
using testpages::PageBuilder;
using testpages::RenderedPage;

class VerticalPages : public layouttest::LayoutLibraryTest {};

const QString kBody = QStringLiteral(
    "縦書きの文章は右の行から左の行へと読み進めます。段組みの紙面では上の段を読み終えてから下の段に移ります。"
    "見出しは本文より大きな文字で組まれ、本文の右に置かれます。「括弧」や句読点、長音ー記号も縦の形になります。");

struct Snapshot {
  int blocks = 0;
  std::vector<QRect> columns;
  std::vector<QRect> tierMarks;
};

// What the blocks hold once the steps built so far have run (just before
// the blocks become fields).
Snapshot& snapshot() {
  static Snapshot s;
  return s;
}

QRect qrect(const rect_record& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right, r.bottom)); }

void takeSnapshot(const layout::LayoutStep& step, short, const layout::LayoutRun& run) {
  if (std::string_view(step.name) != "vBlocks_to_fields") return;
  Snapshot& s = snapshot();
  const rect_record* blocks = run.ctx->textList;
  if (blocks != nullptr) {
    for (const rect_record* b = blocks->next; b != blocks; b = b->next) {
      ++s.blocks;
      if (b->outer == nullptr) continue;
      for (const rect_record* c = b->outer->next; c != b->outer; c = c->next) s.columns.push_back(qrect(*c));
    }
  }
  if (const rect_record* seps = run.ctx->sepList; seps != nullptr) {
    for (const rect_record* r = seps->next; r != seps; r = r->next) {
      if (r->label == layout::kKindGapMark) s.tierMarks.push_back(qrect(*r));
    }
  }
}

struct PageCase {
  const char* name;
  int tiers;
  bool heading;
};

// 10.5 pt body in `tiers` tiers of 10 columns of 18 characters, 10 mm of white
// between tiers, and a 16 pt heading of 8 characters right of the body.
RenderedPage verticalPage(const PageCase& c, int dpi) {
  const int mm = dpi * 4 / 100;
  PageBuilder builder(150 * mm, (c.tiers == 1 ? 110 : 200) * mm, dpi);
  const int right = 130 * mm;
  builder.addVerticalTiers({right - (c.heading ? 14 * mm : 0), 12 * mm}, kBody, 10.5, 18, 10, c.tiers, 10 * mm);
  if (c.heading) builder.addHeading({right - 9 * mm, 12 * mm}, QStringLiteral("縦書き見出しの例"), 16, true);
  return builder.render();
}

bool near(const QRect& a, const QRect& b, int slack) {
  return std::abs(a.left() - b.left()) <= slack && std::abs(a.top() - b.top()) <= slack &&
         std::abs(a.right() - b.right()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack;
}

TEST_F(VerticalPages, ColumnsTiersAndHeadingsOfRenderedPages) {
  const PageCase cases[] = {
      {"one tier", 1, false},
      {"two tiers", 2, false},
      {"one tier with a heading", 1, true},
      {"two tiers with a heading", 2, true},
  };
  for (const PageCase& c : cases) {
    for (const int dpi : {200, 300, 400}) {
      const std::string name = std::string(c.name) + " at " + std::to_string(dpi) + " dpi";
      RenderedPage page = verticalPage(c, dpi);
      std::vector<QRect> truth;
      for (const auto& block : page.blocks)
        for (const auto& line : block.lines) truth.push_back(line.rect);

      snapshot() = {};
      ParamBlock params;
      params.setByte(ParamBlock::kDirection, 1);
      layouttest::RegionRun run;
      layouttest::RegionOptions options;
      options.trace = takeSnapshot;
      layouttest::runRegion(run, page, params, nullptr, options);
      ASSERT_EQ(run.status, 1) << name;
      const Snapshot& s = snapshot();
      if (qEnvironmentVariableIsSet("LAYOUT_PAGES_DUMP")) {
        page.savePng(QStringLiteral("vertical_page_%1_%2.png").arg(c.tiers * 10 + (c.heading ? 1 : 0)).arg(dpi));
        std::printf("%s: %zu columns (truth %zu), %zu marks\n", name.c_str(), s.columns.size(), truth.size(),
                    s.tierMarks.size());
      }

      // Every column drawn is found, within a few pixels, and nothing else.
      const int slack = std::max(3, dpi / 100);
      EXPECT_EQ(s.columns.size(), truth.size()) << name;
      for (const QRect& t : truth) {
        const bool found = std::any_of(s.columns.begin(), s.columns.end(), [&](const QRect& r) { return near(r, t, slack); });
        EXPECT_TRUE(found) << name << ": column at " << t.x() << "," << t.y() << " " << t.width() << "x" << t.height();
      }

      // Between two tiers a band marked by a pair of kind-4 separators, inside
      // the white between them; none inside a tier.
      if (c.tiers == 2) {
        const BlockTruth* upper = nullptr;
        const BlockTruth* lower = nullptr;
        for (const auto& block : page.blocks) {
          if (block.tier == 0) upper = &block;
          if (block.tier == 1) lower = &block;
        }
        ASSERT_TRUE(upper != nullptr && lower != nullptr) << name;
        ASSERT_GE(s.tierMarks.size(), 2u) << name;
        for (const QRect& m : s.tierMarks) {
          EXPECT_GT(m.top(), upper->rect.bottom()) << name;
          EXPECT_LT(m.bottom(), lower->rect.top()) << name;
          EXPECT_GT(m.width(), upper->rect.width() / 2) << name;
        }
      } else {
        EXPECT_TRUE(s.tierMarks.empty()) << name;
      }
    }
  }
}

TEST_F(VerticalPages, AnAreaIsOneBlockUnlessItSplitsAlongX) {
  // A user area over six columns of one tier: with byte 11 = 0 the columns
  // group at 20 times the usual distance into one block; with 1 at distance
  // 0, so each column is a block of its own.  (The text has no punctuation:
  // a vertical full stop sits at the top of its cell and leaves a gap that
  // the characters' reach does not bridge; in a block the column's pieces
  // merge again, but not when every piece is a block of its own.)
  const int dpi = 300;
  const int mm = dpi * 4 / 100;
  PageBuilder builder(120 * mm, 110 * mm, dpi);
  builder.addVerticalTiers({100 * mm, 12 * mm}, QStringLiteral("縦書きの文章は右の行から左の行へと読み進めます"), 10.5,
                           18, 6, 1, 0);
  RenderedPage page = builder.render();
  const QRect body = page.blocks.at(0).rect.adjusted(-2 * mm, -2 * mm, 2 * mm, 2 * mm);
  const Rect16 area{static_cast<std::int16_t>(body.left()), static_cast<std::int16_t>(body.top()),
                    static_cast<std::int16_t>(body.right()), static_cast<std::int16_t>(body.bottom())};
  for (const int split : {0, 1}) {
    snapshot() = {};
    ParamBlock params;
    params.setByte(ParamBlock::kDirection, 1);
    params.setByte(ParamBlock::kForm, 0xFF);
    params.setByte(ParamBlock::kNoVerticalMargin, 1);
    params.setByte(ParamBlock::kNoHorizontalMargin, static_cast<std::uint8_t>(split));
    layouttest::RegionRun run;
    layouttest::RegionOptions options;
    options.trace = takeSnapshot;
    layouttest::runRegion(run, page, params, &area, options);
    ASSERT_EQ(run.status, 1) << "byte 11 = " << split;
    EXPECT_EQ(snapshot().columns.size(), 6u) << "byte 11 = " << split;
    EXPECT_EQ(snapshot().blocks, split == 0 ? 1 : 6) << "byte 11 = " << split;
  }
}

// A small vertical page in two tiers with a boxed note, and the rings
// checked after every step.
RenderedPage smallVerticalPage(int dpi) {
  const int mm = dpi * 4 / 100;
  PageBuilder builder(90 * mm, 110 * mm, dpi);
  builder.addVerticalTiers({80 * mm, 8 * mm}, kBody, 10.5, 10, 6, 2, 8 * mm);
  builder.addRule(QRect(8 * mm, 8 * mm, 30 * mm, 2), true);
  builder.addRule(QRect(8 * mm, 40 * mm, 30 * mm, 2), true);
  builder.addRule(QRect(8 * mm, 8 * mm, 2, 32 * mm), false);
  builder.addRule(QRect(38 * mm, 8 * mm, 2, 32 * mm + 2), false);
  builder.addVerticalTiers({34 * mm, 12 * mm}, kBody, 10.5, 6, 3, 1, 0);
  return builder.render();
}

ParamBlock verticalRulesParams() {
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 1);
  params.setByte(ParamBlock::kHorizontalRules, 1);
  params.setByte(ParamBlock::kVerticalRules, 1);
  return params;
}

TEST_F(VerticalPages, TheRingsStaySoundAfterEveryStep) {
  RenderedPage page = smallVerticalPage(300);
  layouttest::RegionRun run;
  layouttest::runRegion(run, page, verticalRulesParams(), nullptr, {true, true, layouttest::checkRingsAfterStep});
  EXPECT_EQ(run.status, 1);
}

TEST_F(VerticalPages, RunningOutOfMemoryAnywhereGivesNoMemoryAndLeavesNothingBehind) {
  RenderedPage page = smallVerticalPage(200);
  int window = 0;
  ASSERT_EQ(GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                     static_cast<std::uint16_t>(page.dpi), nullptr, nullptr),
            1);
  layout::pools().closeAll();
  ASSERT_TRUE(layout::pools().rects.configure({4, 1, 1}));
  ASSERT_TRUE(layout::pools().fields.configure({1, 1, 1}));
  bool finished = false;
  int failures = 0;
  for (long n = 0; n < 8000 && !finished; n += 1 + n / 200) {
    short status = 0;
    {
      layouttest::RegionRun run;
      layout::PoolFaults::remaining = n;
      layouttest::runRegion(run, page, verticalRulesParams(), nullptr, {false, true, nullptr});
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

// The whole vertical pipeline gives text fields in reading order: the heading
// (right of the body), then the upper tier, then the lower one; in each field
// the columns run right to left and the boxes top down, and every drawn
// column is there.
TEST_F(VerticalPages, RenderedPagesGiveFieldsInReadingOrder) {
  const PageCase cases[] = {
      {"one tier", 1, false},
      {"two tiers", 2, false},
      {"one tier with a heading", 1, true},
      {"two tiers with a heading", 2, true},
  };
  for (const PageCase& c : cases) {
    for (const int dpi : {200, 300, 400}) {
      const std::string name = std::string(c.name) + " at " + std::to_string(dpi) + " dpi";
      RenderedPage page = verticalPage(c, dpi);
      // The truth blocks in reading order.
      std::vector<const BlockTruth*> expected;
      for (const auto& block : page.blocks)
        if (block.heading) expected.push_back(&block);
      for (int tier = 0; tier < c.tiers; ++tier)
        for (const auto& block : page.blocks)
          if (!block.heading && block.tier == tier) expected.push_back(&block);
      std::size_t truthColumns = 0;
      for (const auto& block : page.blocks) truthColumns += block.lines.size();

      ParamBlock params;
      params.setByte(ParamBlock::kDirection, 1);
      layouttest::RegionRun run;
      layouttest::runRegion(run, page, params);
      ASSERT_EQ(run.status, 1) << name;
      ASSERT_NE(run.result.fields, nullptr) << name;

      std::vector<const BlockTruth*> order;
      std::size_t columns = 0;
      for (const userfld* f = run.result.fields->next; f != run.result.fields; f = f->next) {
        if (f->params.byte(ParamBlock::kFieldKind) != 13) continue;
        const QRect r(QPoint(f->left, f->top), QPoint(f->right, f->bottom));
        const BlockTruth* best = nullptr;
        long bestArea = 0;
        for (const auto& block : page.blocks) {
          const QRect common = r.intersected(block.rect);
          const long area = common.isEmpty() ? 0 : static_cast<long>(common.width()) * common.height();
          if (area > bestArea) bestArea = area, best = &block;
        }
        if (order.empty() || order.back() != best) order.push_back(best);
        int previousLeft = 1 << 20;
        for (const line_record* l = f->lines->next; l != f->lines; l = l->next) {
          ++columns;
          EXPECT_LT(l->left, previousLeft) << name << ": columns right to left";
          previousLeft = l->left;
          int previousTop = -1;
          for (const recg* b = l->boxes->next; b != l->boxes; b = b->next) {
            EXPECT_GE(b->top, previousTop) << name << ": boxes top down";
            previousTop = b->top;
          }
        }
      }
      EXPECT_EQ(order, expected) << name;
      EXPECT_EQ(columns, truthColumns) << name;
    }
  }
}
