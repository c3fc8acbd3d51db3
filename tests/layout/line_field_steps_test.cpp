// Dotted lines and ruled lines of an area on hand-built rings at 400 dpi
// (16 pixels to the millimetre).
#include "layout/keisen_lists.h"
#include "layout/line_field_steps.h"
#include "tests/layout/step_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using layouttest::LayoutSteps;

class LineFieldSteps : public LayoutSteps {
 protected:
  // Dots 8 x 8 every 24 px along a row (or column) from `start`; the last
  // dot is stretched so that the run covers exactly `length` pixels.
  void addDots(int start, int across, int length, bool horizontal) {
    for (int at = start; at < start + length; at += 24) {
      const int end = std::min(at + 7, start + length - 1);
      const int last = at + 24 >= start + length ? start + length - 1 : end;
      if (horizontal) {
        add(&ctx_.speckList, at, across, last, across + 7);
      } else {
        add(&ctx_.speckList, across, at, across + 7, last);
      }
    }
  }
  std::vector<userfld> lineFields() const {
    std::vector<userfld> out;
    if (result_.ruleFields != nullptr)
      for (userfld* f = result_.ruleFields->next; f != result_.ruleFields; f = f->next) out.push_back(*f);
    return out;
  }
  Keisen* addH(int left, int right, int row) {
    Keisen* k = append_hline(&rules_.horizontal);
    k->a = static_cast<std::int16_t>(left);
    k->b = static_cast<std::int16_t>(right);
    k->c = static_cast<std::int16_t>(row);
    return k;
  }
  Keisen* addV(int column, int top, int bottom) {
    Keisen* k = append_vline(&rules_.vertical);
    k->a = static_cast<std::int16_t>(column);
    k->b = static_cast<std::int16_t>(top);
    k->c = static_cast<std::int16_t>(bottom);
    return k;
  }
};

TEST_F(LineFieldSteps, ADottedLineIsLongerThanTenMillimetres) {
  struct Case {
    const char* name;
    int length;
    bool horizontal;
    int lines;
  };
  const Case cases[] = {
      {"horizontal dots over 10 mm exactly: no line", 160, true, 0},
      {"horizontal dots over 10 mm + 1 px: a line", 161, true, 1},
      {"vertical dots over 10 mm exactly: no line", 160, false, 0},
      {"vertical dots over 10 mm + 1 px: a line", 161, false, 1},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.params.setByte(c.horizontal ? ParamBlock::kHorizontalRules : ParamBlock::kVerticalRules, 1);
    addDots(100, 500, c.length, c.horizontal);
    addRow(100, 1000, 3, 48, 48, 60);  // text elsewhere stays
    ASSERT_EQ(find_dotted_lines(&ctx_, &result_.ruleFields), 1) << c.name;
    const auto fields = lineFields();
    ASSERT_EQ(static_cast<int>(fields.size()), c.lines) << c.name;
    EXPECT_EQ(count_rects(ctx_.sepList), c.lines) << c.name;
    EXPECT_EQ(count_rects(ctx_.speckList), c.lines == 1 ? 0 : count_rects(ctx_.speckList)) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), 3) << c.name;
    if (c.lines == 1) {
      const userfld& f = fields[0];
      EXPECT_EQ(f.params.byte(ParamBlock::kFieldKind), 22) << c.name;
      EXPECT_EQ(f.number, 1) << c.name;
      const Rect16 expected = c.horizontal ? Rect16{100, 500, 260, 507} : Rect16{500, 100, 507, 260};
      EXPECT_EQ((Rect16{f.left, f.top, f.right, f.bottom}), expected) << c.name;
      EXPECT_EQ(labels(ctx_.sepList).at(0), c.horizontal ? 1 : 2) << c.name;
    }
    EXPECT_TRUE(layouttest::runValid(ctx_, &result_)) << c.name;
    free_context_lists(&ctx_);
    free_fld_list(&result_.ruleFields);
  }
}

TEST_F(LineFieldSteps, BothDirectionsRemoveTheirDotsAndNumberTheWholeRing) {
  ctx_.params.setByte(ParamBlock::kHorizontalRules, 1);
  ctx_.params.setByte(ParamBlock::kVerticalRules, 1);
  add_plain_fld(&result_.ruleFields, 0, 0, 10, 1);  // a field already there
  addDots(100, 500, 400, true);
  addDots(1000, 1200, 400, false);
  ASSERT_EQ(find_dotted_lines(&ctx_, &result_.ruleFields), 1);
  EXPECT_EQ(count_rects(ctx_.speckList), 0);
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{1, 2}));
  const auto fields = lineFields();
  ASSERT_EQ(fields.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(fields[static_cast<std::size_t>(i)].number, i + 1);
}

TEST_F(LineFieldSteps, NoDottedLinesAreSoughtUnlessAsked) {
  addDots(100, 500, 400, true);
  ASSERT_EQ(find_dotted_lines(&ctx_, &result_.ruleFields), 1);
  EXPECT_EQ(result_.ruleFields, nullptr);
  EXPECT_EQ(ctx_.sepList, nullptr);
}

TEST_F(LineFieldSteps, ARuleThroughTextGoesAboveItsShare) {
  struct Case {
    const char* name;
    signed char form;
    int length;     // of the rule
    int characters; // 48 px wide, 48 high, across the rule's row
    bool kept;
  };
  // Outside table forms the share is 8 %; in a table form 40 % below 50 mm.
  const Case cases[] = {
      {"100 mm through two characters (6 %): kept", 0, 1600, 2, true},
      {"100 mm through three characters (9 %): dropped", 0, 1600, 3, false},
      {"table, 40 mm through five characters (37.5 %): kept", -1, 640, 5, true},
      {"table, 40 mm through six characters (45 %): dropped", -1, 640, 6, false},
      {"table, 60 mm is a long line: kept whatever it crosses", -1, 960, 15, true},
  };
  for (const Case& c : cases) {
    useDpi(400);
    ctx_.params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(c.form));
    addRow(200, 476, c.characters, 48, 48, 60);  // across row 500
    add(&ctx_.textList, 300, 495, 311, 505);      // ink of the rule, 11 px high: goes with a kept rule
    sort_rects_by_top(ctx_.textList);
    addH(200, 200 + c.length - 1, 500);
    mark_all_keisen(&rules_);
    const Rect16 area{0, 0, 3000, 3000};
    ASSERT_EQ(drop_components_on_keisen(&rules_, &ctx_, &area), 1);
    EXPECT_EQ(rules_.horizontal->next->valid, c.kept ? 1 : 0) << c.name;
    EXPECT_EQ(count_rects(ctx_.textList), c.characters + (c.kept ? 0 : 1)) << c.name;
    free_context_lists(&ctx_);
    free_keisen_pair(&rules_);
  }
}

TEST_F(LineFieldSteps, RulesOutsideTheAreaGoAndKeptOnesAreClipped) {
  addH(50, 900, 300);    // crosses the area: clipped to 100..800
  addH(50, 900, 950);    // below the area: dropped
  addV(400, 50, 2000);   // clipped to 200..900
  addV(1000, 250, 600);  // right of the area: dropped
  mark_all_keisen(&rules_);
  const Rect16 area{100, 200, 800, 900};
  ASSERT_EQ(drop_components_on_keisen(&rules_, &ctx_, &area), 1);
  ASSERT_EQ(keisen_to_separators(&rules_, &ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{100, 300, 800, 301}, {400, 200, 401, 900}}));
  EXPECT_EQ(labels(ctx_.sepList), (std::vector<short>{1, 2}));

  ASSERT_EQ(add_line_fields(&rules_, &result_.ruleFields), 1);
  const auto fields = lineFields();
  ASSERT_EQ(fields.size(), 2u);
  EXPECT_EQ((Rect16{fields[0].left, fields[0].top, fields[0].right, fields[0].bottom}), (Rect16{100, 300, 800, 301}));
  EXPECT_EQ(fields[0].origin, 1);
  EXPECT_EQ(fields[1].origin, 2);
  for (std::size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(fields[i].number, static_cast<short>(i + 1));
    EXPECT_EQ(fields[i].subNumber, -1);
    EXPECT_EQ(fields[i].params.byte(ParamBlock::kFieldKind), 20);
  }
}

TEST_F(LineFieldSteps, NearSeparatorsMergeIntoAThreePixelBand) {
  struct Case {
    const char* name;
    int apart;  // white rows between two wide separators
    int expected;
  };
  const Case cases[] = {
      {"2 mm apart: the test is strict, two", 32, 2},
      {"1.9 mm apart: one", 30, 1},
  };
  for (const Case& c : cases) {
    useDpi(400);
    add(&ctx_.sepList, 0, 100, 800, 101, 1);
    add(&ctx_.sepList, 0, 101 + c.apart, 800, 102 + c.apart, 1);
    ASSERT_EQ(merge_separators(&ctx_), 1);
    ASSERT_EQ(count_rects(ctx_.sepList), c.expected) << c.name;
    if (c.expected == 1) {
      const Rect16 band = rects(ctx_.sepList)[0];
      EXPECT_EQ(band.bottom - band.top, 2) << c.name;
      EXPECT_EQ(band.top, (100 + 102 + c.apart) / 2) << c.name;
    }
    free_context_lists(&ctx_);
  }
  add(&ctx_.sepList, 100, 0, 101, 800, 2);
  add(&ctx_.sepList, 120, 840, 121, 1600, 2);  // 1.25 mm across, 2.5 mm along: merged
  ASSERT_EQ(merge_separators(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.sepList), (std::vector<Rect16>{{110, 0, 112, 1600}}));
}

TEST_F(LineFieldSteps, ThinPiecesAlongLongSeparatorsGoInTableForms) {
  add(&ctx_.sepList, 100, 200, 102, 1000, 2);  // 50 mm tall
  add(&ctx_.sepList, 300, 100, 900, 101, 1);   // wide, 37.5 mm
  add(&ctx_.textList, 95, 500, 104, 600);      // 10 px wide (0.7 mm = 11): goes
  add(&ctx_.textList, 90, 700, 105, 800);      // 16 px wide: stays
  add(&ctx_.textList, 400, 95, 500, 104);      // 10 px high along the wide one: goes
  sort_rects_by_top(ctx_.textList);
  ASSERT_EQ(drop_pieces_along_separators(&ctx_), 1);
  EXPECT_EQ(rects(ctx_.textList), (std::vector<Rect16>{{90, 700, 105, 800}}));
}

TEST_F(LineFieldSteps, UnderlinesOfLatinWordsAreMarkedAndDropped) {
  auto page = testpages::blankPage(1200, 800, 400);
  for (int x = 100; x <= 400; ++x) page.bits[static_cast<std::size_t>(520) * page.bytesPerRow + x / 8] |= 0x80 >> (x % 8);
  ctx_.page = page.desc();
  ctx_.charHeight = 48;
  rect_record* word = add(&ctx_.textList, 102, 470, 398, 515);
  add(&ctx_.largeList, 600, 300, 900, 380, 10);  // a word the classification took for a region
  addH(100, 400, 520);                           // solid on the image: the word's underline
  addH(598, 902, 385);                           // not on the image
  addV(50, 100, 700);                            // outside the area
  mark_all_keisen(&rules_);
  const Rect16 area{60, 60, 1100, 750};
  ASSERT_EQ(find_underlines(&rules_, &ctx_, &area), 1);
  EXPECT_EQ(word->extra, 1);
  EXPECT_EQ(rules_.horizontal->next->valid, 0);
  EXPECT_EQ(rules_.horizontal->next->next->valid, 1) << "not solid on the page";
  EXPECT_EQ(rules_.vertical->next->valid, 0);
  EXPECT_EQ(count_rects(ctx_.largeList), 1);
  EXPECT_EQ(is_solid_hline(rules_.horizontal->next, &ctx_.page), 1);
  ctx_.page.bits = nullptr;
}

TEST_F(LineFieldSteps, CopiesOfTheLibraryRulesAreTheirOwn) {
  KeisenPair library;
  Keisen* h = append_hline(&library.horizontal);
  h->a = 1;
  h->b = 100;
  h->c = 7;
  ASSERT_EQ(copy_keisen_lists(&library, &rules_), 1);
  ASSERT_EQ(count_hlines(rules_.horizontal), 1);
  EXPECT_NE(rules_.horizontal->next, h);
  EXPECT_EQ(rules_.horizontal->next->c, 7);
  EXPECT_EQ(rules_.vertical, nullptr);
  layout::PoolFaults::remaining = 0;
  KeisenPair failed;
  EXPECT_EQ(copy_keisen_lists(&library, &failed), -111);
  layout::PoolFaults::remaining = -1;
  free_keisen_pair(&failed);
  free_keisen_pair(&library);
}

}  // namespace
