// Components into lines, lines into blocks, and table regions, on hand-built
// rings at 400 dpi (16 pixels to the millimetre).
#include "layout/line_steps.h"
#include "layout/row_index.h"
#include "layout/table_regions.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>
#include <vector>

namespace {

using layouttest::LayoutSteps;

// Answers every region judgement with one kind.
class ScriptedJudgement {
 public:
  explicit ScriptedJudgement(short kind) : saved_(layout::stepServices()) {
    answer_ = kind;
    layout::stepServices().classifyRegion = [](short* kind, const ImageDesc*, const Rect16*) -> short {
      *kind = answer_;
      return 1;
    };
  }
  ~ScriptedJudgement() { layout::stepServices() = saved_; }

 private:
  layout::StepServices saved_;
  static inline short answer_ = 13;
};

int children(const rect_record* r, bool lines = false) { return count_rects(lines ? r->outer : r->inner); }

class Lines : public LayoutSteps {
 protected:
  // Characters 64 px high, a line-join distance of 40 px.
  void measures() {
    ctx_.charWidth = ctx_.charHeight = 64;
    ctx_.gapX = 8;
    ctx_.gapY = 24;
    ctx_.lineHeight = 64;
    ctx_.lineGapH = 64;
  }
};

TEST_F(Lines, AComponentJoinsWithinAReachThatGrowsWithItsHeight) {
  struct Case {
    const char* name;
    int height;     // of both pieces
    int gap;        // from C's right edge to D's left edge
    int shiftDown;  // D lies this much lower
    bool tallSeparatorBetween;
    bool joins;
  };
  // d = 40; the reach is height * d / 64, between 24 and 60.
  const Case cases[] = {
      {"exactly d beyond the right edge: joins", 64, 40, 0, false, true},
      {"d + 1 beyond: stays apart", 64, 41, 0, false, false},
      {"twice the character height reaches 1.5 d", 128, 60, 0, false, true},
      {"twice the character height, 1.5 d + 1: apart", 128, 61, 0, false, false},
      {"a quarter of the height still reaches 0.6 d", 16, 24, 0, false, true},
      {"a quarter of the height, 0.6 d + 1: apart", 16, 25, 0, false, false},
      {"rows outside the middle band: apart", 64, 10, 39, false, false},
      {"rows just reaching the middle band: joins", 64, 10, 37, false, true},
      {"a tall separator between: apart", 64, 20, 0, true, false},
  };
  for (const Case& c : cases) {
    useDpi(400);
    measures();
    add(&ctx_.textList, 100, 100, 163, 100 + c.height - 1);
    add(&ctx_.textList, 163 + c.gap, 100 + c.shiftDown, 226 + c.gap, 100 + c.shiftDown + c.height - 1);
    if (c.tallSeparatorBetween) add(&ctx_.sepList, 170, 50, 171, 300, 2);
    ASSERT_EQ(build_lines(&ctx_, 40), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.joins ? 1 : 2) << c.name;
    if (c.joins) {
      EXPECT_EQ(children(ctx_.textList->next), 2) << c.name;
    }
    EXPECT_TRUE(layouttest::runValid(ctx_, &result_, true)) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(Lines, ALineInsideAnotherGivesItItsComponents) {
  measures();
  rect_record* outer = add(&ctx_.textList, 0, 0, 999, 99);
  add(&outer->inner, 0, 0, 999, 99);
  rect_record* inner = add(&ctx_.textList, 100, 10, 200, 90);
  add(&inner->inner, 100, 10, 150, 90);
  add(&inner->inner, 160, 10, 200, 90);
  rect_record* below = add(&ctx_.textList, 100, 50, 200, 100);  // reaches below: stays
  add(&below->inner, 100, 50, 200, 100);
  ASSERT_EQ(absorb_contained_lines(ctx_.textList), 1);
  EXPECT_EQ(count_rects(ctx_.textList), 2);
  EXPECT_EQ(children(ctx_.textList->next), 3);
}

TEST_F(Lines, ARegionAsHighAsALineNearItBecomesPartOfIt) {
  struct Case {
    const char* name;
    int gap;     // from the line's right edge to the region's left edge
    int height;  // of the region (the line is 100 high)
    bool joins;
  };
  const int e = mm(3);
  const Case cases[] = {
      {"as high, exactly 3 mm to the right", e, 100, true},
      {"as high, 3 mm and a pixel", e + 1, 100, false},
      {"20 % lower", 10, 120, true},   // 100 lies within 120 - 24 .. 120 + 24
      {"far higher", 10, 130, false},  // 100 < 130 - 26
  };
  for (const Case& c : cases) {
    measures();
    rect_record* line = add(&ctx_.textList, 100, 100, 599, 199);
    add(&line->inner, 100, 100, 599, 199);
    add(&ctx_.largeList, 599 + c.gap, 100, 699 + c.gap, 100 + c.height - 1, 10);
    ASSERT_EQ(attach_regions_to_lines(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.largeList), c.joins ? 0 : 1) << c.name;
    EXPECT_EQ(children(ctx_.textList->next), c.joins ? 2 : 1) << c.name;
    if (c.joins) {
      EXPECT_EQ(ctx_.textList->next->right, 699 + c.gap) << c.name;
    }
    free_context_lists(&ctx_);
  }
}

TEST_F(Lines, HeightClassesSetSmallLinesByNormalOnesApart) {
  measures();  // lh 64: small below 38, tall above 99
  ctx_.lineGapH = 40;
  add(&ctx_.textList, 0, 0, 999, 63);         // normal
  add(&ctx_.textList, 0, 70, 999, 100);       // small, a normal line starts above its bottom + lh
  add(&ctx_.textList, 0, 300, 999, 419);      // tall
  add(&ctx_.textList, 2000, 1000, 2100, 1020);  // small, alone
  ASSERT_EQ(classify_line_heights(&ctx_), 1);
  // The lone small line is classed by its height like any other.
  EXPECT_EQ(labels(ctx_.textList), (std::vector<short>{1, 2, 0, 1}));

  ctx_.params.setByte(ParamBlock::kForm, 0xFF);
  classify_line_heights(&ctx_);
  EXPECT_EQ(labels(ctx_.textList), (std::vector<short>{1, 1, 1, 1}));
}

TEST_F(Lines, LinesCrowdedWithSpecksGoWithTheirSpecks) {
  measures();  // pitch 72: a line 720 wide allows 50 specks
  for (const int specks : {50, 51}) {
    rect_record* line = add(&ctx_.textList, 0, 0, 719, 63);
    add(&line->inner, 0, 0, 719, 63);
    for (int i = 0; i < specks; ++i) add(&ctx_.speckList, i * 14, 10, i * 14 + 5, 15);
    add(&ctx_.speckList, 2000, 10, 2005, 15);
    ASSERT_EQ(drop_noisy_lines(&ctx_), 1);
    EXPECT_EQ(count_rects(ctx_.textList), specks == 51 ? 0 : 1) << specks;
    EXPECT_EQ(count_rects(ctx_.speckList), specks == 51 ? 1 : specks + 1) << specks;
    free_context_lists(&ctx_);
  }
}

TEST_F(Lines, BlocksGatherNearLinesOfOneHeightClassUnlessASeparatorCrosses) {
  struct Case {
    const char* name;
    int space;  // lower top - upper bottom + 1
    short secondClass;
    Rect16 separator;  // none when right == 0
    int blocks;
  };
  // t = 50; the union of the two lines is 1000 wide: its outer 3 % is 30 px.
  const Case cases[] = {
      {"white space of exactly t: one block", 50, 1, {}, 1},
      {"t + 1: two blocks", 51, 1, {}, 2},
      {"a tall line by normal lines: two blocks", 10, 0, {}, 2},
      {"a small line by a normal one: one block", 10, 2, {}, 1},
      {"a rule across the middle: two blocks", 10, 1, {100, 66, 899, 67}, 2},
      {"a short rule: one block", 10, 1, {100, 66, 499, 67}, 1},
      {"a tall rule through the middle: two blocks", 10, 1, {500, 0, 501, 400}, 2},
      {"a tall rule in the outer 3 % only: one block", 10, 1, {10, 0, 11, 400}, 1},
  };
  for (const Case& c : cases) {
    measures();
    rect_record* a = add(&ctx_.textList, 0, 0, 999, 63, 1);
    add(&a->inner, 0, 0, 999, 63);
    const int top = 63 + c.space - 1;
    rect_record* b = add(&ctx_.textList, 0, top, 999, top + 63, c.secondClass);
    add(&b->inner, 0, top, 999, top + 63);
    if (c.separator.right != 0)
      add(&ctx_.sepList, c.separator.left, c.separator.top, c.separator.right, c.separator.bottom, 1);
    ASSERT_EQ(build_blocks(&ctx_, 50), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.blocks) << c.name;
    if (c.blocks == 1) {
      EXPECT_EQ(children(ctx_.textList->next, true), 2) << c.name;
    }
    EXPECT_TRUE(layouttest::runValid(ctx_, &result_, true)) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(Lines, ABlockWhoseLinesLostTheirComponentsGoesWithThem) {
  rect_record* kept = add(&ctx_.textList, 0, 0, 10, 10);
  rect_record* line = add(&kept->outer, 0, 0, 10, 10);
  add(&line->inner, 5, 5, 20, 30);
  rect_record* empty = add(&ctx_.textList, 100, 100, 110, 110);
  rect_record* bare = add(&empty->outer, 100, 100, 110, 110);
  append_rect(&bare->inner);
  unlink_rect(bare->inner->next);  // a component ring with only its sentinel
  add(&empty->outer, 100, 100, 110, 110);  // a line without a component ring
  recompute_blocks(ctx_.textList);
  ASSERT_EQ(count_rects(ctx_.textList), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{5, 5, 20, 30}}));
  EXPECT_EQ(rects(ctx_.textList->next->outer), (std::vector<Rect16>{{5, 5, 20, 30}}));
}

// The lines as a plain rescan from the first record after every join gives
// them: the row index must not change a single one.
std::vector<std::vector<Rect16>> linesByPlainRescan(std::vector<Rect16> pieces, int d, int ch, int vg) {
  std::stable_sort(pieces.begin(), pieces.end(), [](const Rect16& x, const Rect16& y) { return x.top < y.top; });
  struct Line {
    Rect16 r;
    std::vector<Rect16> parts;
    bool gone = false;
  };
  std::vector<Line> ls;
  for (const auto& p : pieces) ls.push_back({p, {}, false});
  for (std::size_t i = 0; i < ls.size(); ++i) {
    if (ls[i].gone) continue;
    Line& c = ls[i];
    if (c.parts.empty()) c.parts.push_back(c.r);
    bool lower = true;
    for (std::size_t j = 0; j < ls.size();) {
      const int h = c.r.bottom - c.r.top + 1;
      int r = std::min(h * d / ch, d * 150 / 100);
      if (lower) r = std::max(r, d * 60 / 100);
      const int k = h * 20 / 100;
      const int b0 = (c.r.top + c.r.bottom - k) / 2;
      const int b1 = (c.r.top + c.r.bottom + k) / 2;
      if (ls[j].gone || j == i) {
        ++j;
        continue;
      }
      const Rect16 o = ls[j].r;
      if (o.top > c.r.bottom + 4 * vg) break;
      if (o.right >= c.r.left - r && o.left <= c.r.right + r && o.bottom >= b0 && o.top <= b1) {
        c.r = {std::min(c.r.left, o.left), std::min(c.r.top, o.top), std::max(c.r.right, o.right),
               std::max(c.r.bottom, o.bottom)};
        if (ls[j].parts.empty()) {
          c.parts.push_back(o);
        } else {
          c.parts.insert(c.parts.end(), ls[j].parts.begin(), ls[j].parts.end());
        }
        ls[j].gone = true;
        lower = false;
        j = 0;
        continue;
      }
      ++j;
    }
  }
  std::vector<std::vector<Rect16>> out;
  for (const auto& l : ls)
    if (!l.gone) {
      std::vector<Rect16> v{l.r};
      v.insert(v.end(), l.parts.begin(), l.parts.end());
      out.push_back(v);
    }
  return out;
}

TEST_F(Lines, TheRowIndexGivesTheLinesOfAPlainRescan) {
  measures();
  std::mt19937 random(30);
  std::vector<Rect16> pieces;
  for (int row = 0; row < 40; ++row) {
    for (int x = 0; x < 3000;) {
      const int w = 20 + static_cast<int>(random() % 60);
      const int h = 20 + static_cast<int>(random() % 90);
      const int y = row * 90 + static_cast<int>(random() % 30);
      pieces.push_back({static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                        static_cast<std::int16_t>(x + w - 1), static_cast<std::int16_t>(y + h - 1)});
      x += w + static_cast<int>(random() % 70);
    }
  }
  for (const auto& p : pieces) add(&ctx_.textList, p.left, p.top, p.right, p.bottom);
  const auto expected = linesByPlainRescan(pieces, 40, ctx_.charHeight, ctx_.gapY);
  ASSERT_EQ(build_lines(&ctx_, 40), 1);
  std::vector<std::vector<Rect16>> got;
  for (const rect_record* l = ctx_.textList->next; l != ctx_.textList; l = l->next) {
    std::vector<Rect16> v{{l->left, l->top, l->right, l->bottom}};
    for (const rect_record* c = l->inner->next; c != l->inner; c = c->next) v.push_back({c->left, c->top, c->right, c->bottom});
    got.push_back(v);
  }
  // Lines inside others were absorbed by build_lines: do the same to the
  // expectation before comparing sets of lines.
  auto inside = [](const Rect16& b, const Rect16& a) {
    return b.top >= a.top && b.top <= a.bottom && b.bottom <= a.bottom && b.left >= a.left && b.right <= a.right;
  };
  std::vector<std::vector<Rect16>> kept;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    bool absorbed = false;
    for (std::size_t j = 0; j < expected.size() && !absorbed; ++j)
      absorbed = i != j && inside(expected[i][0], expected[j][0]) &&
                 !(inside(expected[j][0], expected[i][0]) && j > i);
    if (!absorbed) kept.push_back({expected[i][0]});
  }
  std::vector<Rect16> gotRects;
  for (const auto& v : got) gotRects.push_back(v[0]);
  std::vector<Rect16> keptRects;
  for (const auto& v : kept) keptRects.push_back(v[0]);
  auto order = [](const Rect16& x, const Rect16& y) {
    return std::tie(x.top, x.left, x.bottom, x.right) < std::tie(y.top, y.left, y.bottom, y.right);
  };
  std::sort(gotRects.begin(), gotRects.end(), order);
  std::sort(keptRects.begin(), keptRects.end(), order);
  EXPECT_GT(pieces.size(), 1000u);
  EXPECT_LT(gotRects.size(), pieces.size() / 4);
  EXPECT_EQ(gotRects, keptRects);
  EXPECT_TRUE(layouttest::runValid(ctx_, &result_, true));
}

TEST(TableDecision, OverridesAndFrameStyles) {
  struct Case {
    const char* name;
    std::array<short, 8> f;
    bool table;
    short style;  // when a table
  };
  const Case cases[] = {
      {"one rule group in all: never a table", {1, 0, 0, 1, 0, 0, 0, 5}, false, 0},
      {"no rule, many white columns: never a table", {0, 3, 3, 9, 0, 3, 3, 9}, false, 0},
      {"two groups and f8 = 3: a table whatever the discriminants", {1, 9, 0, 9, 1, 9, 0, 3}, true, 3},
      {"two horizontal groups, f4 = 4: rules between rows", {2, 0, 0, 4, 0, 0, 0, 3}, true, 2},
      {"two horizontal groups, f4 = 5: no such rules", {2, 0, 0, 5, 0, 0, 0, 3}, true, 4},
      {"a grid: rules both ways", {2, 0, 0, 1, 2, 0, 0, 1}, true, 1},
      {"many white rows, few rules: not a table", {1, 5, 0, 9, 1, 0, 0, 1}, false, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(layout::tableScore(c.f) >= 0, c.table) << c.name;
    if (c.table) {
      EXPECT_EQ(layout::frameStyle(c.f), c.style) << c.name;
    }
  }
  // The discriminants in double precision: 0.21466 for the grid.
  EXPECT_NEAR(layout::tableScore({2, 0, 0, 1, 2, 0, 0, 1}), 0.21466, 1e-9);
}

class Tables : public LayoutSteps {
 protected:
  void SetUp() override {
    LayoutSteps::SetUp();
    ctx_.charWidth = ctx_.charHeight = 64;
  }
  // `h` horizontal and `v` vertical full-length rules strictly inside the
  // middle 80 % of the rectangle.
  void rules(const Rect16& r, int h, int v) {
    const int w = r.right - r.left + 1;
    const int hh = r.bottom - r.top + 1;
    for (int i = 1; i <= h; ++i) {
      const int y = r.top + hh * (i + 1) / (h + 3);
      add(&ctx_.sepList, r.left, y, r.right, y + 2, 1);
    }
    for (int i = 1; i <= v; ++i) {
      const int x = r.left + w * (i + 1) / (v + 3);
      add(&ctx_.sepList, x, r.top, x + 2, r.bottom, 2);
    }
  }
};

TEST_F(Tables, WithNoLinesTheBandCountsAreNeutral) {
  const Rect16 q{100, 100, 899, 899};
  short f[8] = {9, 9, 9, 9, 9, 9, 9, 9};
  ASSERT_EQ(measure_row_features(&f[0], &f[1], &f[2], &f[3], &q, &ctx_), 1);
  ASSERT_EQ(measure_column_features(&f[4], &f[5], &f[6], &f[7], &q, &ctx_), 1);
  EXPECT_EQ(std::vector<short>(f, f + 8), (std::vector<short>{0, 0, 0, 1, 0, 0, 0, 1}));
  // The same with an empty (created) line list.
  append_rect(&ctx_.textList);
  unlink_rect(ctx_.textList->next);
  ASSERT_EQ(measure_row_features(&f[0], &f[1], &f[2], &f[3], &q, &ctx_), 1);
  EXPECT_EQ(f[3], 1);
}

TEST_F(Tables, ASquareSeparatorCountsAsARuleBothWays) {
  const Rect16 q{100, 100, 199, 199};
  add(&ctx_.sepList, 105, 105, 195, 195, 1);
  EXPECT_EQ(count_hrule_groups(&q, &ctx_), 1);
  EXPECT_EQ(count_vrule_groups(&q, &ctx_), 1);
}

TEST_F(Tables, RulesOfOneRowGroupTogether) {
  const Rect16 q{0, 0, 999, 999};
  // Two halves of one rule 1 mm apart in height make one group; a third
  // piece 2 mm lower makes none on its own (too short).
  add(&ctx_.sepList, 10, 500, 500, 502, 1);
  add(&ctx_.sepList, 480, 516, 990, 518, 1);
  add(&ctx_.sepList, 10, 532, 500, 534, 1);
  EXPECT_EQ(count_hrule_groups(&q, &ctx_), 1);
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{1, 1, 1}));
}

TEST_F(Tables, WhiteBandsAreTheRowsThatLinesHardlyCover) {
  const Rect16 q{0, 0, 999, 399};
  add(&ctx_.textList, 0, 50, 999, 99);
  add(&ctx_.textList, 0, 200, 60, 249);    // 61 wide: under 7 % of 1000, white
  add(&ctx_.textList, 0, 300, 999, 349);
  rect_record* bands = nullptr;
  ASSERT_EQ(find_white_row_bands(&bands, ctx_.textList, &q), 1);
  EXPECT_EQ(rects(bands), (std::vector<Rect16>{{0, 0, 999, 49}, {0, 100, 999, 299}, {0, 350, 999, 399}}));
  free_rect_list(&bands);
  ASSERT_EQ(find_white_row_bands(&bands, nullptr, &q), 1);
  EXPECT_EQ(bands, nullptr);
}

TEST_F(Tables, NearTablesMergeAndTheLargerOneGivesTheFrameStyle) {
  struct Case {
    const char* name;
    int gap;           // between the facing edges
    int secondWidth;   // the first is 480 wide
    int tables;
    short style;       // of the first table after merging
  };
  const int five = mm(5);
  const Case cases[] = {
      {"exactly 5 mm apart, the second larger: its style", five, 640, 1, 2},
      {"5 mm and a pixel: two tables", five + 1, 640, 2, 1},
      {"equal areas: the first one's style", five, 480, 1, 1},
  };
  ScriptedJudgement text(13);
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.charWidth = ctx_.charHeight = 64;
    const Rect16 a{200, 200, 679, 679};
    const Rect16 b{static_cast<std::int16_t>(679 + c.gap), 200, static_cast<std::int16_t>(679 + c.gap + c.secondWidth - 1),
                   679};
    add(&ctx_.largeList, a.left, a.top, a.right, a.bottom, 10);
    add(&ctx_.largeList, b.left, b.top, b.right, b.bottom, 10);
    rules(a, 2, 2);  // a grid: style 1
    rules(b, 4, 0);  // rules between rows: style 2
    ASSERT_EQ(find_table_regions(&ctx_), 1) << c.name;
    EXPECT_EQ(count_rects(ctx_.largeList), c.tables) << c.name;
    ASSERT_GT(count_rects(ctx_.largeList), 0) << c.name;
    EXPECT_EQ(ctx_.largeList->next->label, 11) << c.name;
    EXPECT_EQ(ctx_.largeList->next->extra, c.style) << c.name;
    free_context_lists(&ctx_);
  }
}

TEST_F(Tables, ASmallerRegionInsideALargerOneIsJudgedFirst) {
  ScriptedJudgement figure(10);
  add(&ctx_.largeList, 0, 0, 1999, 1999, 10);
  add(&ctx_.largeList, 500, 500, 999, 999, 10);
  add(&ctx_.sepList, 600, 700, 900, 702, 1);   // inside the small one
  add(&ctx_.sepList, 1200, 700, 1900, 702, 1);  // inside the large one only
  ASSERT_EQ(find_table_regions(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.largeList), (std::vector<Rect16>{{500, 500, 999, 999}, {0, 0, 1999, 1999}}));
  EXPECT_EQ(labels(ctx_.largeList), (std::vector<short>{10, 10}));
  EXPECT_EQ(rects(ctx_.sepList), std::vector<Rect16>{});
}

TEST_F(Tables, RegionsThatTextCoversGoAndFreeOnesGetAFrame) {
  ctx_.charWidth = ctx_.charHeight = 64;
  add(&ctx_.largeList, 0, 0, 99, 99, 10);        // 71 % covered: goes
  add(&ctx_.largeList, 1000, 0, 1099, 99, 10);   // 70 % covered: stays
  add(&ctx_.largeList, 2000, 0, 2299, 299, 11);  // a table is never dropped
  add(&ctx_.textList, 0, 0, 70, 99);
  add(&ctx_.textList, 1000, 0, 1069, 99);
  add(&ctx_.textList, 2000, 0, 2299, 299);
  ASSERT_EQ(drop_text_regions(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.largeList), (std::vector<Rect16>{{1000, 0, 1099, 99}, {2000, 0, 2299, 299}}));

  free_context_lists(&ctx_);
  add(&ctx_.largeList, 0, 0, 299, 299, 10);      // free-standing: framed
  add(&ctx_.largeList, 1000, 0, 1299, 299, 10);  // a line runs out of it: not framed
  add(&ctx_.largeList, 2000, 0, 2299, 100, 10);  // lower than three characters
  add(&ctx_.textList, 1200, 100, 1500, 150);
  add(&ctx_.textList, 100, 100, 200, 150);       // inside the first one
  ASSERT_EQ(frame_regions(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList),
            (std::vector<Rect16>{{0, 0, 299, 0}, {0, 0, 0, 299}, {0, 299, 299, 299}, {299, 0, 299, 299}}));
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{8, 8, 8, 8}));
}

}  // namespace
