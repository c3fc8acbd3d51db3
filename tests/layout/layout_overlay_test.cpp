// The layout results as overlay lists: frames and labels of a laid-out page,
// the table grid handed to the caller within its arrays, the template
// picture of the template image window, and the click that selects a field.
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_overlay.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using layout::layoutState;

namespace {

std::vector<VuOverlayItem> overlayOf(void* window) {
  const int n = GetDisplayOverlay(window, nullptr, 0);
  std::vector<VuOverlayItem> items(static_cast<std::size_t>(n));
  EXPECT_EQ(GetDisplayOverlay(window, items.data(), n), n);
  return items;
}

std::vector<const VuOverlayItem*> ofKind(const std::vector<VuOverlayItem>& items, int kind) {
  std::vector<const VuOverlayItem*> out;
  for (const auto& it : items)
    if (it.kind == kind) out.push_back(&it);
  return out;
}

class LayoutOverlay : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    layout::forget_display_overlays();
    LayoutLibraryTest::TearDown();
  }
  // A result field as the layout leaves it.
  userfld* resultField(int l, int t, int r, int b, int number, int sub = -1, int direction = 0) {
    userfld* f = layouttest::appendFieldAt(&layoutState().Sfld, l, t, r, b);
    f->number = static_cast<std::int16_t>(number);
    f->subNumber = static_cast<std::int16_t>(sub);
    f->params.setByte(ParamBlock::kDirection, static_cast<std::uint8_t>(direction));
    return f;
  }
  userfld* tableCell(int row, int column, int l, int t, int r, int b) {
    userfld* f = resultField(l, t, r, b, row, column);
    f->params.setByte(ParamBlock::kForm, 0xFF);
    append_line(&f->lines);
    return f;
  }
  void hline(int x1, int x2, int y) {
    Keisen* k = append_hline(&layoutState().hLines);
    k->a = static_cast<std::int16_t>(x1);
    k->b = static_cast<std::int16_t>(x2);
    k->c = static_cast<std::int16_t>(y);
  }
  void vline(int x, int y1, int y2) {
    Keisen* k = append_vline(&layoutState().vLines);
    k->a = static_cast<std::int16_t>(x);
    k->b = static_cast<std::int16_t>(y1);
    k->c = static_cast<std::int16_t>(y2);
  }
  // A described page, as GetLines and GetLayout leave it.
  void pageAnalysed() {
    layoutState().images[0].bytesPerRow = 300;
    layoutState().images[0].height = 3000;
  }
  int window_ = 0;
};

TEST_F(LayoutOverlay, ALaidOutPageListsAFrameAndANumberForEveryField) {
  const int dpi = 300;
  const int mm = testpages::libraryMm(1, dpi);
  testpages::PageBuilder builder(210 * mm, 150 * mm, dpi);
  const QString text = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。");
  builder.addText({20 * mm, 15 * mm}, text, 14, 20, 2);
  builder.addText({20 * mm, 50 * mm}, text, 10.5, 30, 5);
  builder.addText({20 * mm, 100 * mm}, text, 10.5, 30, 4);
  testpages::RenderedPage page = builder.render();
  ParamBlock params;
  userfld* list = nullptr;
  ASSERT_EQ(GetLayout(&window_, &params, page.bits.data(), &list, static_cast<short>(page.width),
                      static_cast<short>(page.height), static_cast<std::uint16_t>(dpi), nullptr, -1),
            1);
  free_userfld_ring(&list);
  const userfld* sfld = layoutState().Sfld;
  ASSERT_GE(layout::ringCount(sfld), 3);

  ASSERT_EQ(DisplayLayout(&window_, 4, 10, 20, nullptr, 1), 1);
  const auto items = overlayOf(&window_);
  const auto frames = ofKind(items, VuOverlayFrame);
  const auto labels = ofKind(items, VuOverlayText);
  ASSERT_EQ(frames.size(), static_cast<std::size_t>(layout::ringCount(sfld)));
  ASSERT_EQ(labels.size(), frames.size());
  std::size_t i = 0;
  for (const userfld* f = sfld->next; f != sfld; f = f->next, ++i) {
    EXPECT_EQ(frames[i]->x1, (f->left + 2) / 4 - 10);
    EXPECT_EQ(frames[i]->y1, (f->top + 2) / 4 - 20);
    EXPECT_EQ(frames[i]->x2, (f->right + 2) / 4 - 10);
    EXPECT_EQ(frames[i]->y2, (f->bottom + 2) / 4 - 20);
    EXPECT_EQ(frames[i]->colour, layout::kFrameColour);
    EXPECT_EQ(std::string(labels[i]->text), std::to_string(f->number));
    EXPECT_EQ(labels[i]->x1, f->left / 4 - 10);
    EXPECT_EQ(labels[i]->y1, f->top / 4 - 20);
  }
  // The state keeps the transform of the last call, as GetRecg reads it.
  EXPECT_EQ(layoutState().scale, 4);
  EXPECT_EQ(layoutState().xOffset, 10);

  // Flags 0 show nothing but still answer 1; other windows keep their own.
  int other = 0;
  ASSERT_EQ(DisplayLayout(&other, 8, 0, 0, nullptr, 1), 1);
  ASSERT_EQ(DisplayLayout(&window_, 4, 0, 0, nullptr, 0), 1);
  EXPECT_TRUE(overlayOf(&window_).empty());
  EXPECT_FALSE(overlayOf(&other).empty());

  // Deleting the last field takes the marks of the fields away everywhere
  // (DisplayLayout, with no fields left, could not replace them).
  while (!layout::ringEmpty(layoutState().Sfld)) ASSERT_EQ(DeleteFld(1, 0), 1);
  EXPECT_TRUE(overlayOf(&other).empty());
  EXPECT_EQ(DisplayLayout(&other, 8, 0, 0, nullptr, 1), 0);
}

TEST_F(LayoutOverlay, LabelsAndFramesFollowTheFieldsKind) {
  pageAnalysed();
  resultField(800, 800, 1600, 1200, 3);            // ordinary field
  resultField(2000, 800, 2400, 1600, 4, -1, 1);    // vertical writing: label at the right edge
  resultField(0, 0, 0, 0, 9);                      // an empty record: nothing at all
  resultField(800, 2000, 800, 2400, 5);            // no width: a frame one pixel wide
  tableCell(2, 3, 400, 2800, 800, 3000);           // table cell: row:column, moved
  tableCell(1, 1, 1200, 2800, 1600, 3000)->params.setByte(ParamBlock::kDirection, 1);
  ASSERT_EQ(DisplayLayout(&window_, 8, 0, 0, nullptr, 1), 1);
  const auto items = overlayOf(&window_);
  const auto frames = ofKind(items, VuOverlayFrame);
  const auto labels = ofKind(items, VuOverlayText);
  ASSERT_EQ(frames.size(), 5u);
  ASSERT_EQ(labels.size(), 5u);
  struct Expected {
    const char* text;
    int x, y;
  };
  const Expected expected[] = {
      {"3", 100, 100}, {"4", 300, 100}, {"5", 100, 250}, {"2:3", 52, 360}, {"1:1", 200 - 10, 360}};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    EXPECT_STREQ(labels[i]->text, expected[i].text);
    EXPECT_EQ(labels[i]->x1, expected[i].x) << expected[i].text;
    EXPECT_EQ(labels[i]->y1, expected[i].y) << expected[i].text;
  }
  EXPECT_EQ(frames[2]->x2 - frames[2]->x1, 1);
}

TEST_F(LayoutOverlay, InputFieldsAreXorBoxesSoThatASecondDrawingTakesThemAway) {
  pageAnalysed();
  resultField(0, 0, 80, 80, 1);
  layouttest::appendFieldAt(&layoutState().inputFields, 80, 160, 400, 320)->number = 7;
  ASSERT_EQ(DisplayLayout(&window_, 8, 0, 0, nullptr, 1), 1);
  const auto items = overlayOf(&window_);
  const auto boxes = ofKind(items, VuOverlayBox);
  ASSERT_EQ(boxes.size(), 2u);  // the filled box and the crossed box
  EXPECT_EQ(boxes[0]->mix, VuMixXor);
  EXPECT_EQ(boxes[0]->x1, 80 / 8 + 1);
  EXPECT_EQ(boxes[0]->y2, 320 / 8 - 2);
  EXPECT_EQ(boxes[0]->fill, layout::kFieldBoxColour);
  EXPECT_EQ(boxes[1]->fill, layout::kCrossBoxColour);
  for (const auto& it : items) {
    if (it.kind != VuOverlayFrame && std::string(it.text) != "1") {
      EXPECT_EQ(it.mix, VuMixXor);
    }
  }
}

TEST_F(LayoutOverlay, TheTableGridTakesTheLongestLineBetweenCentres) {
  // Three rows and two columns; there is no ruled line between rows 2 and 3.
  for (int row = 1; row <= 3; ++row)
    for (int column = 1; column <= 2; ++column)
      tableCell(row, column, column * 100, row * 100, column * 100 + 100, row * 100 + 100);
  hline(100, 300, 90);
  hline(100, 250, 95);   // shorter: not taken
  hline(100, 300, 190);
  hline(100, 300, 405);
  vline(95, 100, 400);
  vline(200, 100, 400);
  vline(310, 100, 400);
  short v[8];
  short h[8];
  std::fill(std::begin(v), std::end(v), short{-7});
  std::fill(std::begin(h), std::end(h), short{-7});
  ASSERT_EQ(GetLayoutHKeisen(v, 8, h, 8), 1);
  EXPECT_EQ(std::vector<short>(h, h + h[0] + 1), (std::vector<short>{3, 90, 190, 405}));
  EXPECT_EQ(std::vector<short>(v, v + v[0] + 1), (std::vector<short>{3, 95, 200, 310}));

  // Arrays shorter than the grid: -1, a count of 0, nothing past the end.
  short small[4] = {-7, -7, -7, -7};
  short enough[8];
  ASSERT_EQ(GetLayoutHKeisen(enough, 8, small, 3), -1);
  EXPECT_EQ(small[0], 0);
  EXPECT_EQ(small[3], -7);
  EXPECT_EQ(enough[0], 3);
  EXPECT_EQ(GetLayoutHKeisen(nullptr, 0, h, 8), -1);

  // The grid drawn: each horizontal line spans the first to the last column line.
  pageAnalysed();
  ASSERT_EQ(DisplayLayout(&window_, 1, 0, 0, nullptr, 2), 1);
  const auto grid = overlayOf(&window_);
  const auto lines = ofKind(grid, VuOverlayLine);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0]->x1, 95);
  EXPECT_EQ(lines[0]->x2, 310);
  EXPECT_EQ(lines[0]->colour, layout::kGridColour);

  // Rows without any column line: no grid (a count is not a position).
  free_vline_list(&layoutState().vLines);
  ASSERT_EQ(DisplayLayout(&window_, 1, 0, 0, nullptr, 2), 1);
  EXPECT_TRUE(overlayOf(&window_).empty());
}

TEST_F(LayoutOverlay, NoLayoutNoRuledLinesOrNoTableGiveNothing) {
  short v[4] = {-7, -7, -7, -7};
  short h[4] = {-7, -7, -7, -7};
  EXPECT_EQ(GetLayoutHKeisen(v, 4, h, 4), 0);
  EXPECT_EQ(DisplayLayout(&window_, 8, 0, 0, nullptr, 3), 0);
  resultField(0, 0, 100, 100, 1);
  EXPECT_EQ(GetLayoutHKeisen(v, 4, h, 4), 0);  // no ruled lines
  hline(0, 100, 50);
  EXPECT_EQ(GetLayoutHKeisen(v, 4, h, 4), 0);  // no table cell
  EXPECT_EQ(v[0], -7);
  EXPECT_EQ(h[0], -7);
}

TEST_F(LayoutOverlay, DispTemplateShowsTheInputFieldsOnlyWhileATemplateIsLoaded) {
  userfld* input = append_fld(&layoutState().inputFields);
  input->right = 800;
  input->bottom = 400;
  DispTemplate(&window_);
  EXPECT_TRUE(overlayOf(&window_).empty());
  layoutState().templateTouched = true;
  DispTemplate(&window_);
  const auto items = overlayOf(&window_);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].kind, VuOverlayBox);
  EXPECT_EQ(items[0].x2, 100);
  EXPECT_STREQ(items[1].text, "1");
}

// The template picture.
class TemplatePicture : public layouttest::LayoutLibraryTest {
 protected:
  userfld* field(int l, int t, int r, int b, int form) {
    userfld* f = layouttest::appendFieldAt(&ring_, l, t, r, b);
    f->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(form));
    return f;
  }
  void TearDown() override {
    free_fld_list(&ring_);
    free_hline_list(&h_);
    LayoutLibraryTest::TearDown();
  }
  std::vector<std::string> paperLabels(const layout::Overlay& items) {
    std::vector<std::string> out;
    for (const auto& it : items)
      if (it.kind == VuOverlayText && it.align == VuTextRightBaseline) out.emplace_back(it.text);
    return out;
  }
  userfld* ring_ = nullptr;
  Keisen* h_ = nullptr;
};

TEST_F(TemplatePicture, FieldsAreColouredByFormAndTheSelectedOneIsOutlined) {
  field(0, 0, 799, 399, 1);
  userfld* table = field(800, 0, 1599, 399, 0xFF);
  field(0, 400, 799, 799, 2);
  field(800, 400, 1599, 799, 0);
  layout::TemplatePictureInput in;
  in.fields = ring_;
  in.selected = table;
  in.hScroll = 10;
  const auto items = layout::template_picture(in);
  const auto boxes = ofKind(items, VuOverlayBox);
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_EQ(boxes[0]->fill, 0x7FBF7Fu);
  EXPECT_EQ(boxes[1]->fill, 0xBF7F7Fu);
  EXPECT_EQ(boxes[2]->fill, 0x7F7FBFu);
  EXPECT_EQ(boxes[3]->fill, 0x7F7F7Fu);
  EXPECT_EQ(boxes[1]->x1, 100 - 10);
  EXPECT_EQ(boxes[1]->x2, 200 - 10);
  const auto lines = ofKind(items, VuOverlayLine);
  const auto red = std::count_if(lines.begin(), lines.end(), [](const VuOverlayItem* l) { return l->penWidth == 2; });
  EXPECT_EQ(red, 4);
  const auto labels = ofKind(items, VuOverlayText);
  EXPECT_STREQ(labels[1]->text, "2");
  EXPECT_EQ(labels[1]->background, 0x0000FFu);
  EXPECT_EQ(labels[0]->background, 0x000000u);
}

TEST_F(TemplatePicture, PaperFramesFollowTheFieldsExtent) {
  struct Case {
    const char* name;
    int right, bottom;
    std::vector<std::string> labels;
  };
  const Case cases[] = {
      {"small template: both frames", 1000, 1000, {"A4横 400 DPI", "A4縦 400 DPI"}},
      {"wider than portrait: landscape only", 4000, 3000, {"A4横 400 DPI"}},
      {"taller than landscape: portrait only", 3000, 4000, {"A4縦 400 DPI"}},
      {"larger than A4: none", 5000, 5000, {}},
  };
  for (const Case& c : cases) {
    free_fld_list(&ring_);
    field(0, 0, c.right, c.bottom, 1);
    layout::TemplatePictureInput in;
    in.fields = ring_;
    EXPECT_EQ(paperLabels(layout::template_picture(in)), c.labels) << c.name;
  }
}

TEST_F(TemplatePicture, RuledLinesShorterThanTheMinimumAreNotDrawn) {
  field(0, 0, 100, 100, 1);
  for (const int length : {100, 99}) {
    Keisen* k = append_hline(&h_);
    k->a = 0;
    k->b = static_cast<std::int16_t>(length - 1);
    k->c = 50;
  }
  layout::TemplatePictureInput in;
  in.fields = ring_;
  in.hLines = h_;
  in.minHorizontalLength = 100;
  in.scale = 1;
  int solid = 0;
  for (const auto& it : layout::template_picture(in)) solid += it.kind == VuOverlayLine && it.dotted == 0;
  EXPECT_EQ(solid, 1);
}

TEST_F(TemplatePicture, AClickInsideAChildRectangleGoesOnToTheNextField) {
  userfld* outer = field(0, 0, 1000, 1000, 1);
  add_plain_fld(&outer->children, 100, 100, 300, 300);
  userfld* under = field(50, 50, 500, 500, 1);
  EXPECT_EQ(layout::field_at_point(ring_, 200, 200), under);
  EXPECT_EQ(layout::field_at_point(ring_, 700, 700), outer);
  EXPECT_EQ(layout::field_at_point(ring_, 1000, 500), nullptr);  // on the edge: not inside
}

}  // namespace
