// Mixed-direction pages: judging a field's direction from its characters,
// and joining horizontal fields before they are laid out again.
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/mixed_fields.h"
#include "layout/ring.h"
#include "layout/vulay30.h"
#include "tests/layout/step_fixture.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class MixedFields : public layouttest::LayoutSteps {
 protected:
  // A text field (form 1) whose characters are `n` squares of 48 px, in one
  // row (horizontal) or one column, 12 px apart.
  userfld* textField(int left, int top, int n, bool row, int direction = 1) {
    userfld* f = append_fld(&result_.fields);
    f->params.setByte(ParamBlock::kForm, 1);
    f->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
    f->measures[0] = 48;
    f->measures[1] = 48;
    line_record* line = append_line(&f->lines);
    for (int i = 0; i < n; ++i) {
      recg* c = append_recg(&line->boxes);
      c->left = static_cast<std::int16_t>(left + (row ? i * 60 : 0));
      c->top = static_cast<std::int16_t>(top + (row ? 0 : i * 60));
      c->right = static_cast<std::int16_t>(c->left + 47);
      c->bottom = static_cast<std::int16_t>(c->top + 47);
    }
    f->left = line->left = static_cast<std::int16_t>(left);
    f->top = line->top = static_cast<std::int16_t>(top);
    f->right = line->right = static_cast<std::int16_t>(left + (row ? (n - 1) * 60 : 0) + 47);
    f->bottom = line->bottom = static_cast<std::int16_t>(top + (row ? 0 : (n - 1) * 60) + 47);
    return f;
  }
  userfld* plainField(int l, int t, int r, int b, int direction) {
    userfld* f = append_fld(&result_.fields);
    f->params.setByte(ParamBlock::kForm, 1);
    f->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
    f->measures[0] = 48;
    f->measures[1] = 48;
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    return f;
  }
  std::vector<Rect16> rects() const {
    std::vector<Rect16> out;
    for (const userfld* f = result_.fields->next; f != result_.fields; f = f->next)
      out.push_back({f->left, f->top, f->right, f->bottom});
    return out;
  }
};

TEST_F(MixedFields, EachFieldIsJudgedFromItsOwnCharacters) {
  struct Case {
    const char* name;
    int n;
    bool row;
    bool lines;
    int direction;
  };
  const Case cases[] = {
      {"one column of ten characters", 10, false, true, 1},
      {"one row of ten characters", 10, true, true, 0},
      {"a field without lines", 0, false, false, 1},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    userfld* f = c.lines ? textField(100, 100, c.n, c.row, 3) : plainField(100, 100, 400, 200, 3);
    ASSERT_EQ(decide_field_direction(f, ctx_.page), 1) << c.name;
    EXPECT_EQ(f->params.byte(ParamBlock::kDirection), c.direction) << c.name;
  }
}

TEST_F(MixedFields, NearHorizontalFieldsJoinAndTakeSmallNeighboursIn) {
  // Two headings 1 mm (16 px) apart join; a third 200 px below stays apart.
  plainField(100, 100, 600, 150, 0);
  plainField(617, 100, 900, 150, 0);
  plainField(100, 350, 900, 400, 0);
  merge_hFields_near(result_.fields);
  EXPECT_EQ(rects(), (std::vector<Rect16>{{100, 100, 900, 150}, {100, 350, 900, 400}}));

  struct Case {
    const char* name;
    Rect16 vertical;
    bool absorbed;
  };
  const Case cases[] = {
      {"two vertical characters beside a wide line", {1010, 100, 1050, 200}, true},
      {"a vertical passage of several columns", {1010, 100, 1200, 500}, false},
      {"a small vertical field out of reach", {1100, 100, 1140, 200}, false},
  };
  for (const Case& c : cases) {
    free_fld_list(&result_.fields);
    plainField(0, 100, 1000, 150, 0);
    plainField(c.vertical.left, c.vertical.top, c.vertical.right, c.vertical.bottom, 1);
    absorb_near_fields(result_.fields);
    EXPECT_EQ(count_fld(result_.fields), c.absorbed ? 1 : 2) << c.name;
  }
}

// A vertical page with a horizontal title (direction byte 2): the title
// comes out as a horizontal field of one wide line, the body as vertical
// columns, and the fields are numbered 1..n.
TEST_F(MixedFields, AHorizontalTitleOfAVerticalPageIsLaidOutAgainAsHorizontal) {
  const int dpi = 300;
  const int mm = testpages::libraryMm(1, dpi);
  testpages::PageBuilder builder(210 * mm, 200 * mm, dpi);
  builder.addHeading({30 * mm, 15 * mm}, QStringLiteral("横書きの表題と縦書きの本文"), 16, false);
  builder.addVerticalTiers({195 * mm, 35 * mm}, QStringLiteral("縦書きの文章は右の行から左の行へと読み進めます"), 10.5,
                           18, 16, 1, 0);
  testpages::RenderedPage page = builder.render();
  free_fld_list(&layout::layoutState().Sfld);
  free_fld_list(&layout::layoutState().ruleFields);
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 2);
  userfld* list = nullptr;
  int window = 0;
  ASSERT_EQ(GetLayout(&window, &params, page.bits.data(), &list, static_cast<short>(page.width),
                      static_cast<short>(page.height), static_cast<std::uint16_t>(dpi), nullptr, -1),
            1);
  free_userfld_ring(&list);
  const userfld* sfld = layout::layoutState().Sfld;
  ASSERT_NE(sfld, nullptr);
  const QRect title = page.blocks[0].heading ? page.blocks[0].rect : page.blocks.back().rect;
  int titleFields = 0;
  int verticalColumns = 0;
  for (const userfld* f = sfld->next; f != sfld; f = f->next) {
    if (f->params.byte(ParamBlock::kFieldKind) != 13 || f->lines == nullptr) continue;
    const QRect r(QPoint(f->left, f->top), QPoint(f->right, f->bottom));
    for (const line_record* l = f->lines->next; l != f->lines; l = l->next) {
      const bool wide = l->right - l->left > l->bottom - l->top;
      if (r.intersects(title)) {
        EXPECT_TRUE(wide) << "the title is read as a horizontal line";
      } else {
        verticalColumns += wide ? 0 : 1;
      }
    }
    titleFields += r.intersects(title) ? 1 : 0;
  }
  EXPECT_EQ(titleFields, 1);
  EXPECT_EQ(verticalColumns, 16);
  std::int16_t n = 0;
  for (const userfld* f = sfld->next; f != sfld; f = f->next) EXPECT_EQ(f->number, ++n);
  free_fld_list(&layout::layoutState().Sfld);
  free_fld_list(&layout::layoutState().ruleFields);
}

}  // namespace
