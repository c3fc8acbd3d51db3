// A started library with one layout context, for the tests of single layout
// steps on hand-built rings.
#pragma once

#include "layout/field_rings.h"
#include "layout/layout_context.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"
#include "layout/rect_rings.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"
#include "tests/layout/test_pages.h"

#include <ostream>
#include <vector>

inline bool operator==(const Rect16& a, const Rect16& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const Rect16& r, std::ostream* os) {
  *os << "(" << r.left << "," << r.top << ")-(" << r.right << "," << r.bottom << ")";
}

namespace layouttest {

class LayoutSteps : public LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    rectBlocks_ = layout::pools().rects.config();
    useDpi(400);
  }
  void TearDown() override {
    EXPECT_TRUE(runValid(ctx_, &result_));
    free_context_lists(&ctx_);
    free_fld_list(&result_.fields);
    free_fld_list(&result_.ruleFields);
    free_keisen_pair(&rules_);
    LayoutLibraryTest::TearDown();
    layout::pools().rects.configure(rectBlocks_);
  }

  // An A4 page of the given resolution, without bits.
  void useDpi(int dpi, int widthPx = 0, int heightPx = 0) {
    dpi_ = dpi;
    clear_layout_context(&ctx_);
    if (widthPx == 0) widthPx = testpages::libraryMm(210, dpi);
    if (heightPx == 0) heightPx = testpages::libraryMm(297, dpi);
    ctx_.page = ImageDesc{nullptr, static_cast<std::uint16_t>(paddedRowBytes(widthPx)),
                          static_cast<std::uint16_t>(heightPx), static_cast<std::uint16_t>(dpi)};
    scale_layout_params(1, dpi);
  }
  int mm(double v) const { return testpages::libraryMm(v, dpi_); }

  static rect_record* add(rect_record** list, int l, int t, int r, int b, short label = -1) {
    rect_record* rec = append_rect(list);
    rec->left = static_cast<std::int16_t>(l);
    rec->top = static_cast<std::int16_t>(t);
    rec->right = static_cast<std::int16_t>(r);
    rec->bottom = static_cast<std::int16_t>(b);
    rec->label = label;
    return rec;
  }
  static std::vector<Rect16> rects(const rect_record* head) {
    std::vector<Rect16> out;
    if (head != nullptr)
      for (const rect_record* r = head->next; r != head; r = r->next) out.push_back({r->left, r->top, r->right, r->bottom});
    return out;
  }
  static std::vector<short> labels(const rect_record* head) {
    std::vector<short> out;
    if (head != nullptr)
      for (const rect_record* r = head->next; r != head; r = r->next) out.push_back(r->label);
    return out;
  }
  // A row of `n` characters `w` x `h` at (x, y), `pitch` apart.
  void addRow(int x, int y, int n, int w, int h, int pitch) {
    for (int i = 0; i < n; ++i) add(&ctx_.textList, x + i * pitch, y, x + i * pitch + w - 1, y + h - 1);
  }

  layout::PoolConfig rectBlocks_{};
  int dpi_ = 400;
  layctx ctx_;
  layout::ResultLists result_;
  KeisenPair rules_;
};

}  // namespace layouttest
