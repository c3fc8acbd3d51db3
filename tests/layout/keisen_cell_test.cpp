// The ruled-line cell round a point, as GetSelectedRect finds it.
#include "layout/keisen_lists.h"
#include "layout/library_state.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"

#include <gtest/gtest.h>

namespace {

class KeisenCell : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_hline_list(&h_);
    free_vline_list(&v_);
    LayoutLibraryTest::TearDown();
  }
  void hline(int left, int right, int y) {
    Keisen* k = append_hline(&h_);
    k->a = static_cast<std::int16_t>(left), k->b = static_cast<std::int16_t>(right), k->c = static_cast<std::int16_t>(y);
  }
  void vline(int x, int top, int bottom) {
    Keisen* k = append_vline(&v_);
    k->a = static_cast<std::int16_t>(x), k->b = static_cast<std::int16_t>(top), k->c = static_cast<std::int16_t>(bottom);
  }
  // A 3 x 2 table: rows at 100, 200, 300; columns at 50, 150, 250.
  void table() {
    for (int y : {100, 200, 300}) hline(50, 250, y);
    for (int x : {50, 150, 250}) vline(x, 100, 300);
  }
  Keisen* h_ = nullptr;
  Keisen* v_ = nullptr;
};

TEST_F(KeisenCell, FindsTheCellsOfATable) {
  table();
  struct Case {
    const char* name;
    int x, y;
    int found;
    Rect16 cell;
  };
  const Case cases[] = {
      {"upper left cell", 60, 150, 1, {50, 100, 150, 200}},
      {"lower right cell", 200, 250, 1, {150, 200, 250, 300}},
      {"above every line", 100, 50, 1, {50, 50, 250, 100}},
      {"below every line", 100, 350, 0, {}},
      {"right of the table", 400, 150, 0, {}},
  };
  for (const Case& c : cases) {
    Rect16 cell{};
    EXPECT_EQ(find_keisen_cell(c.x, c.y, h_, v_, &cell), c.found) << c.name;
    if (c.found) {
      EXPECT_EQ(cell.left, c.cell.left) << c.name;
      EXPECT_EQ(cell.top, c.cell.top) << c.name;
      EXPECT_EQ(cell.right, c.cell.right) << c.name;
      EXPECT_EQ(cell.bottom, c.cell.bottom) << c.name;
    }
  }
}

TEST_F(KeisenCell, PartialFramesFallBackToTheLinesThatExist) {
  hline(0, 400, 100);
  hline(0, 400, 200);
  Rect16 cell{};
  // No vertical ring at all: nothing between two horizontal lines.
  EXPECT_EQ(find_keisen_cell(100, 150, h_, nullptr, &cell), 0);
  vline(300, 0, 400);  // only a right edge
  ASSERT_EQ(find_keisen_cell(100, 150, h_, v_, &cell), 1);
  EXPECT_EQ(cell.left, 0);
  EXPECT_EQ(cell.right, 300);
  EXPECT_EQ(cell.top, 100);
  EXPECT_EQ(cell.bottom, 200);
  ASSERT_EQ(find_keisen_cell(350, 150, h_, v_, &cell), 1);  // only a left edge
  EXPECT_EQ(cell.left, 300);
  EXPECT_EQ(cell.right, 400);
  EXPECT_EQ(find_keisen_cell(1, 1, nullptr, v_, &cell), 0);
}

TEST_F(KeisenCell, SelectedRectUsesTheLibrarysLines) {
  table();
  auto& state = layout::layoutState();
  state.hLines = h_;
  state.vLines = v_;
  VuPoint point{0x10000 + 60, 150};  // only the low 16 bits count
  VuRect out{};
  EXPECT_NE(GetSelectedRect(&point, &out), 0);
  EXPECT_EQ(out.left, 50);
  EXPECT_EQ(out.bottom, 200);
  EXPECT_EQ(state.selectedCell.top, 100);
  VuPoint outside{900, 900};
  EXPECT_EQ(GetSelectedRect(&outside, &out), 0);
  state.hLines = nullptr;
  state.vLines = nullptr;
  EXPECT_EQ(count_hlines(h_), 3);
  EXPECT_EQ(count_vlines(nullptr), 0);
}

}  // namespace
