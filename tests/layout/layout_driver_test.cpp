// The layout driver and the caller's copies of its result: the reduced
// image, the margins, the output walk, user regions, and whole pages through
// GetLayout (rendered pages, metamorphic checks).
#include "layout/field_rings.h"
#include "layout/later_steps.h"
#include "layout/layout_driver.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testpages::PageBuilder;
using testpages::RenderedPage;

class LayoutDriver : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_fld_list(&source_);
    free_fld_list(&target_);
    free_fld_list(&input_);
    layouttest::LayoutLibraryTest::TearDown();
  }
  static userfld* field(userfld** head, int l, int t, int r, int b, int kind, int number = 1, int sub = -1,
                        int state = 1) {
    userfld* f = append_fld(head);
    f->left = static_cast<std::int16_t>(l);
    f->top = static_cast<std::int16_t>(t);
    f->right = static_cast<std::int16_t>(r);
    f->bottom = static_cast<std::int16_t>(b);
    f->number = static_cast<std::int16_t>(number);
    f->subNumber = static_cast<std::int16_t>(sub);
    f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(kind));
    f->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(state));
    return f;
  }
  userfld* source_ = nullptr;
  userfld* target_ = nullptr;
  userfld* input_ = nullptr;
};

TEST_F(LayoutDriver, ReducedImageAndMargins) {
  struct Case {
    int width, height;
    int outBytes, outRows;
  };
  for (const Case c : {Case{1030, 64, 16, 8}, Case{1030, 12, 16, 1}, Case{64, 7, 2, 0}}) {
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(paddedRowBytes(c.width) * c.height), 0xFF);
    const ImageDesc page{bits.data(), static_cast<std::uint16_t>(paddedRowBytes(c.width)),
                         static_cast<std::uint16_t>(c.height), 400};
    std::vector<std::uint8_t> storage;
    ImageDesc out;
    ASSERT_TRUE(reduce_by_8(page, c.width, &storage, &out));
    EXPECT_EQ(out.bytesPerRow, c.outBytes);
    EXPECT_EQ(out.height, c.outRows);
    if (c.outRows > 0) {
      EXPECT_EQ(storage[static_cast<std::size_t>((c.outRows - 1) * c.outBytes)], 0);  // last row white
      if (c.outRows > 1) {
        EXPECT_EQ(storage[0], 0xFF);
      }
    }
  }
  EXPECT_EQ(region_margin(400), 16);
  EXPECT_EQ(region_margin(300), 12);
  EXPECT_EQ(region_margin(200), 8);
}

TEST_F(LayoutDriver, OrdinaryFieldsAreCopiedOneForOne) {
  EXPECT_EQ(copy_layout_to_fields(source_, 1, nullptr, &target_, 1), 0);
  EXPECT_EQ(target_, nullptr);
  userfld* text = field(&source_, 10, 10, 100, 50, layout::kFieldText);
  append_line(&text->lines);
  field(&source_, 10, 60, 100, 90, layout::kFieldFigure);
  ASSERT_EQ(copy_layout_to_fields(source_, 1, nullptr, &target_, 1), 0);
  ASSERT_EQ(layout::ringCount(target_), 2);
  EXPECT_EQ(target_->next->origin, 1);
  EXPECT_EQ(target_->next->params.signedByte(ParamBlock::kForm), 1);
  EXPECT_EQ(target_->next->lines, nullptr);
  EXPECT_EQ(target_->prev->params.signedByte(ParamBlock::kForm), 2);  // placed unchanged
  free_fld_list(&target_);
  ASSERT_EQ(copy_layout_to_fields(source_, 0, nullptr, &target_, 1), 0);
  EXPECT_EQ(layout::ringCount(target_), 1);  // copy-all 0 leaves the figure out
}

TEST_F(LayoutDriver, ATableAreaBecomesOneFieldAndChildrenAreClipped) {
  field(&source_, 100, 100, 1000, 1000, layout::kFieldTable, 1, -1, 0xFF);  // the frame
  field(&source_, 200, 200, 400, 300, layout::kFieldCell, 1, 1, 0xFF);
  field(&source_, 500, 200, 700, 300, layout::kFieldCell, 1, 2, 0xFF);
  field(&source_, 200, 400, 400, 500, layout::kFieldCell, 2, 1, 0xFF);
  field(&source_, 2000, 100, 2500, 300, layout::kFieldCell, 1, 1, 0xFF);  // the next table
  for (const int seed : {1, 0}) {
    free_fld_list(&target_);
    ASSERT_EQ(copy_layout_to_fields(source_, 1, nullptr, &target_, seed), 0);
    ASSERT_EQ(layout::ringCount(target_), 2);
    const userfld* copy = target_->next;
    EXPECT_EQ(copy->params.signedByte(ParamBlock::kForm), -1);
    if (seed == 1) {
      EXPECT_EQ(copy->left, 100);
      EXPECT_EQ(copy->bottom, 1000);
    } else {
      EXPECT_EQ(copy->left, 200);
      EXPECT_EQ(copy->right, 700);
      EXPECT_EQ(copy->bottom, 500);
    }
  }
  int marked = 0;
  for (const userfld* f = source_->next; f != source_; f = f->next) marked += f->params.signedByte(ParamBlock::kForm) == -1;
  EXPECT_EQ(marked, 5);

  // The user region that strictly encloses the run gives its rectangle, and
  // its sub-rectangles come along clipped to it.
  userfld* region = field(&input_, 50, 50, 1100, 1100, 0, 0, 0, 0xFF);
  add_plain_fld(&region->children, 0, 0, 300, 300);
  free_fld_list(&target_);
  ASSERT_EQ(copy_layout_to_fields(source_, 1, input_, &target_, 0), 0);
  const userfld* copy = target_->next;
  EXPECT_EQ(copy->left, 50);
  EXPECT_EQ(copy->right, 1100);
  ASSERT_EQ(layout::ringCount(copy->children), 1);
  EXPECT_EQ(copy->children->next->left, 50);
  EXPECT_EQ(copy->children->next->right, 300);
}

// A page through GetLayout: fields out, in reading order.
class GetLayoutPages : public layouttest::LayoutLibraryTest {
 protected:
  struct Out {
    short status;
    std::vector<QRect> rects;
    std::vector<int> kinds;
  };
  Out layout(RenderedPage& page, userfld** list = nullptr, bool rules = false) {
    userfld* own = nullptr;
    if (list == nullptr) list = &own;
    free_fld_list(&layout::layoutState().Sfld);
    free_fld_list(&layout::layoutState().ruleFields);
    ParamBlock params;
    params.setByte(ParamBlock::kHorizontalRules, rules ? 1 : 0);
    params.setByte(ParamBlock::kVerticalRules, rules ? 1 : 0);
    params.setByte(ParamBlock::kLanguageAuto, rules ? 1 : 0);
    int window = 0;
    Out out;
    out.status = GetLayout(&window, &params, page.bits.data(), list, static_cast<short>(page.width),
                           static_cast<short>(page.height), static_cast<std::uint16_t>(page.dpi), nullptr, -1);
    if (*list != nullptr)
      for (const userfld* f = (*list)->next; f != *list; f = f->next) {
        out.rects.push_back(QRect(QPoint(f->left, f->top), QPoint(f->right, f->bottom)));
        out.kinds.push_back(f->params.byte(ParamBlock::kFieldKind));
      }
    free_userfld_ring(&own);
    return out;
  }
  static RenderedPage twoColumns(int dpi, int shiftMm = 0) {
    const int mm = testpages::libraryMm(1, dpi);
    PageBuilder builder(210 * mm, 160 * mm, dpi);
    const QString text = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字を測ります。");
    builder.addText({(20 + shiftMm) * mm, (15 + shiftMm) * mm}, text, 14, 30, 2);  // heading across
    for (const int x : {15, 110}) {
      builder.addText({(x + shiftMm) * mm, (40 + shiftMm) * mm}, text, 10.5, 22, 5);
      builder.addText({(x + shiftMm) * mm, (80 + shiftMm) * mm}, text, 10.5, 22, 4);
    }
    return builder.render();
  }
};

TEST_F(GetLayoutPages, ATwoColumnPageGivesTextFieldsInReadingOrder) {
  RenderedPage page = twoColumns(400);
  const Out out = layout(page);
  ASSERT_EQ(out.status, 1);
  ASSERT_EQ(page.blocks.size(), 5u);
  ASSERT_EQ(out.rects.size(), 5u);
  for (std::size_t i = 0; i < out.rects.size(); ++i) {
    EXPECT_EQ(out.kinds[i], layout::kFieldText);
    // Heading, then the left column top to bottom, then the right one: the
    // renderer's block order.
    const QRect truth = page.blocks[i].rect;
    EXPECT_GT(out.rects[i].intersected(truth).width() * out.rects[i].intersected(truth).height(),
              truth.width() * truth.height() * 8 / 10)
        << "field " << i;
  }
}

TEST_F(GetLayoutPages, ShiftedContentShiftsEveryFieldAndResolutionKeepsTheFields) {
  RenderedPage base = twoColumns(400);
  RenderedPage shifted = twoColumns(400, 5);
  const Out a = layout(base);
  const Out b = layout(shifted);
  ASSERT_EQ(a.rects.size(), b.rects.size());
  const int offset = testpages::libraryMm(5, 400);
  for (std::size_t i = 0; i < a.rects.size(); ++i) {
    EXPECT_EQ(b.rects[i], a.rects[i].translated(offset, offset)) << "field " << i;
    EXPECT_EQ(b.kinds[i], a.kinds[i]);
  }
  for (const int dpi : {200, 300}) {
    RenderedPage page = twoColumns(dpi);
    const Out c = layout(page);
    ASSERT_EQ(c.rects.size(), a.rects.size()) << dpi;
    for (std::size_t i = 0; i < c.rects.size(); ++i) {
      EXPECT_EQ(c.kinds[i], a.kinds[i]);
      const QRect scaled(a.rects[i].left() * dpi / 400, a.rects[i].top() * dpi / 400, a.rects[i].width() * dpi / 400,
                         a.rects[i].height() * dpi / 400);
      EXPECT_GT(c.rects[i].intersected(scaled).width(), scaled.width() * 8 / 10) << dpi << " field " << i;
    }
  }
}

TEST_F(GetLayoutPages, UserRegionsOfForm2AndEarlierCopies) {
  RenderedPage page = twoColumns(300);
  // Records that are copies of an earlier result: nothing is made.
  userfld* list = nullptr;
  userfld* copy = create_userfld(&list);
  copy->left = 10;
  copy->right = 100;
  copy->top = 10;
  copy->bottom = 100;
  copy->origin = 1;
  Out out = layout(page, &list);
  EXPECT_EQ(out.status, 1);
  ASSERT_EQ(out.rects.size(), 1u);
  EXPECT_EQ(layout::ringCount(layout::layoutState().Sfld), 0);

  // A region placed unchanged comes out as one figure field of its own.
  copy->origin = 0;
  copy->params.setByte(ParamBlock::kForm, 2);
  out = layout(page, &list);
  EXPECT_EQ(out.status, 1);
  ASSERT_EQ(out.rects.size(), 1u);
  EXPECT_EQ(out.rects[0], QRect(QPoint(10, 10), QPoint(100, 100)));
  EXPECT_EQ(out.kinds[0], layout::kFieldFigure);
  EXPECT_EQ(list->next->origin, 1);
  free_userfld_ring(&list);
}

TEST_F(GetLayoutPages, ATableAreaIsAnalysedInsideItsMarginAndStartsWithAFrame) {
  RenderedPage page = twoColumns(400);
  userfld* list = nullptr;
  userfld* area = create_userfld(&list);
  const int mm = testpages::libraryMm(1, 400);
  area->left = static_cast<std::int16_t>(14 * mm);
  area->top = static_cast<std::int16_t>(39 * mm);
  area->right = static_cast<std::int16_t>(100 * mm);
  area->bottom = static_cast<std::int16_t>(70 * mm);
  area->params.setByte(ParamBlock::kForm, 0xFF);
  const QRect areaRect(QPoint(area->left, area->top), QPoint(area->right, area->bottom));
  const Out out = layout(page, &list);
  EXPECT_EQ(out.status, 1);
  const userfld* sfld = layout::layoutState().Sfld;
  ASSERT_NE(sfld, nullptr);
  ASSERT_FALSE(layout::ringEmpty(sfld));
  EXPECT_EQ(sfld->next->params.byte(ParamBlock::kFieldKind), layout::kFieldTable);  // the frame first
  ASSERT_EQ(out.rects.size(), 1u);  // the area's cells come back as one field
  // The frame seeds the box; cells seen in the 16-pixel margin may widen it.
  EXPECT_TRUE(out.rects[0].contains(areaRect));
  EXPECT_TRUE(areaRect.adjusted(-16, -16, 16, 16).contains(out.rects[0]));
  free_userfld_ring(&list);
}

// A ruled table under a paragraph: the table region found on the page is
// analysed as a table of its own, and its cells take its place in the result
// in row order; the line fields of both runs are numbered again from 1.
TEST_F(GetLayoutPages, ATableRegionOfThePageBecomesItsCellsInPlace) {
  const int dpi = 300;
  const int mm = testpages::libraryMm(1, dpi);
  PageBuilder builder(210 * mm, 297 * mm, dpi);
  builder.addText({20 * mm, 15 * mm}, QStringLiteral("表の前に置いた段落の文章です。表の中の文字も読みます。"), 10.5, 30, 3);
  const int left = 20 * mm, top = 50 * mm, w = 170 * mm, rowH = 12 * mm, rows = 8;
  for (int r = 0; r <= rows; ++r) builder.addRule(QRect(left, top + r * rowH, w + 2, 2), true);
  builder.addRule(QRect(left, top, 2, rows * rowH + 2), false);
  builder.addRule(QRect(left + w, top, 2, rows * rowH + 2), false);
  for (int r = 0; r < rows; ++r) {
    builder.addText({left + 3 * mm, top + r * rowH + 3 * mm}, QStringLiteral("項目の名前と内容"), 10.5, 8, 1);
    builder.addText({left + w - 12 * mm, top + r * rowH + 3 * mm}, QString::number(10 + r * 7), 10.5, 2, 1);
  }
  RenderedPage page = builder.render();
  int window = 0;  // the ruled lines come first, as the OCR control asks for them
  ASSERT_EQ(GetLines(&window, page.bits.data(), static_cast<short>(page.width), static_cast<short>(page.height),
                     static_cast<std::uint16_t>(dpi), nullptr, nullptr),
            1);
  const Out out = layout(page, nullptr, true);
  ASSERT_EQ(out.status, 1);
  const userfld* sfld = layout::layoutState().Sfld;
  ASSERT_NE(sfld, nullptr);
  std::vector<std::pair<int, int>> cells;
  bool textFirst = false;
  for (const userfld* f = sfld->next; f != sfld; f = f->next) {
    const int kind = f->params.byte(ParamBlock::kFieldKind);
    EXPECT_NE(kind, layout::kFieldTable) << "the table region is replaced";
    if (kind == layout::kFieldText && cells.empty()) textFirst = true;
    if (kind != layout::kFieldCell) continue;
    cells.emplace_back(f->number, f->subNumber);
    EXPECT_TRUE(QRect(left - 16, top - 16, w + 32, rows * rowH + 32)
                    .contains(QRect(QPoint(f->left, f->top), QPoint(f->right, f->bottom))));
  }
  EXPECT_TRUE(textFirst);
  std::vector<std::pair<int, int>> grid;
  for (int r = 1; r <= rows; ++r) grid.insert(grid.end(), {{r, 1}, {r, 2}});
  EXPECT_EQ(cells, grid);
  const userfld* rules = layout::layoutState().ruleFields;
  ASSERT_NE(rules, nullptr);
  int n = 0;
  for (const userfld* f = rules->next; f != rules; f = f->next) {
    EXPECT_EQ(f->number, ++n);
    EXPECT_EQ(f->subNumber, -1);
  }
  EXPECT_GE(n, 1);
}

}  // namespace
