// Rectangle rings: building, moving, copying, freeing two levels deep, and
// both sorts, with the ring invariants checked after each operation.
#include "layout/rect_rings.h"
#include "layout/library_state.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using layout::pools;
using layouttest::poolsBalanced;

namespace {

class RectRings : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    ASSERT_TRUE(pools().rects.configure({4, 1, 1}));
  }
  void TearDown() override {
    free_rect_set(&set_);
    LayoutLibraryTest::TearDown();
    pools().rects.configure({300, 3, 10});
  }
  ::testing::AssertionResult consistent() {
    return poolsBalanced({}, {set_.lists[0], set_.lists[1], set_.lists[2], set_.lists[3], set_.lists[4], set_.lists[5]});
  }
  rect_record* add(int list, int l, int t, int r, int b) {
    rect_record* rec = append_rect(&set_.lists[list]);
    EXPECT_NE(rec, nullptr);
    rec->left = static_cast<std::int16_t>(l);
    rec->top = static_cast<std::int16_t>(t);
    rec->right = static_cast<std::int16_t>(r);
    rec->bottom = static_cast<std::int16_t>(b);
    return rec;
  }
  std::vector<int> lefts(int list) {
    std::vector<int> out;
    rect_record* h = set_.lists[list];
    if (h == nullptr) return out;
    for (rect_record* r = h->next; r != h; r = r->next) out.push_back(r->left);
    return out;
  }
  RectListSet set_;
};

TEST_F(RectRings, NewRecordsCarryTheirMarks) {
  rect_record* r = add(0, 1, 2, 3, 4);
  EXPECT_EQ(r->label, -1);
  EXPECT_EQ(r->extra, 0);
  EXPECT_EQ(r->inner, nullptr);
  EXPECT_EQ(r->outer, nullptr);
  EXPECT_EQ(set_.lists[0]->label, -1);
  EXPECT_EQ(count_rects(nullptr), 0);
  EXPECT_EQ(count_rects(set_.lists[0]), 1);
}

TEST_F(RectRings, BlocksWithLinesAndComponentsFreeCompletely) {
  for (int b = 0; b < 3; ++b) {
    rect_record* block = add(0, b * 100, 0, b * 100 + 90, 50);
    for (int l = 0; l < 2; ++l) {
      rect_record* line = append_rect(&block->outer);
      line->right = 10;
      line->bottom = 10;
      for (int c = 0; c < 3; ++c) {
        rect_record* comp = append_rect(&line->inner);
        comp->right = 1;
        comp->bottom = 1;
        ASSERT_TRUE(consistent());
      }
    }
    // A record that carries both kinds of child ring.
    append_rect(&block->inner);
    ASSERT_TRUE(consistent());
  }
  rect_record* middle = set_.lists[0]->next->next;
  EXPECT_EQ(drop_rect(middle), set_.lists[0]->next);
  ASSERT_TRUE(consistent());
  free_rect_list(&set_.lists[0]);
  EXPECT_EQ(set_.lists[0], nullptr);
  EXPECT_EQ(pools().rects.inUse(), 0);
}

TEST_F(RectRings, MoveCopyAndInsertKeepOrder) {
  for (int i = 0; i < 3; ++i) add(0, i, 0, i, 0)->label = static_cast<std::int16_t>(i);
  add(1, 9, 0, 9, 0);
  ASSERT_EQ(move_rect_list(&set_.lists[0], &set_.lists[1]), 1);
  EXPECT_EQ(set_.lists[0], nullptr);
  EXPECT_EQ(lefts(1), (std::vector<int>{9, 0, 1, 2}));
  ASSERT_TRUE(consistent());

  set_.lists[1]->next->extra = 5;
  ASSERT_EQ(copy_rect_list(set_.lists[1], &set_.lists[2]), 1);
  EXPECT_EQ(lefts(2), lefts(1));
  EXPECT_EQ(set_.lists[2]->next->extra, 5);
  EXPECT_EQ(set_.lists[2]->prev->label, 2);
  ASSERT_TRUE(consistent());

  rect_record* copyTarget = set_.lists[3];
  EXPECT_EQ(copy_rect_list(nullptr, &copyTarget), 1);
  EXPECT_EQ(copyTarget, nullptr);

  rect_record* loose = alloc_rect();
  loose->left = 42;
  loose->right = 42;
  ASSERT_EQ(insert_node_tail(&set_.lists[4], loose), 1);
  EXPECT_EQ(lefts(4), (std::vector<int>{42}));
  ASSERT_TRUE(consistent());

  // Moving into a missing target makes its sentinel; a null source is a no-op.
  ASSERT_EQ(move_rect_list(&set_.lists[4], &set_.lists[5]), 1);
  EXPECT_EQ(lefts(5), (std::vector<int>{42}));
  EXPECT_EQ(move_rect_list(&set_.lists[4], &set_.lists[5]), 1);
  ASSERT_TRUE(consistent());
}

TEST_F(RectRings, MoveWithoutMemoryMovesNothing) {
  add(0, 1, 1, 1, 1);
  for (int i = 0; i < 2; ++i) alloc_rect();  // fill the block
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(move_rect_list(&set_.lists[0], &set_.lists[1]), -111);
  EXPECT_EQ(lefts(0), (std::vector<int>{1}));
  EXPECT_EQ(set_.lists[1], nullptr);
}

TEST_F(RectRings, ArraySortsAgreeWithTheStableSortsOnKeys) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 3, 17, 400}) {
    free_rect_set(&set_);
    for (int i = 0; i < n; ++i) {
      const int v = static_cast<int>(rng() % 50);
      add(0, v, 49 - v, v + static_cast<int>(rng() % 9), 60);
    }
    ASSERT_EQ(copy_rect_list(set_.lists[0], &set_.lists[1]), 1);
    ASSERT_EQ(qsort_rects_by_left(set_.lists[0]), 1);
    sort_rects_by_left(set_.lists[1]);
    EXPECT_EQ(lefts(0), lefts(1)) << n;
    ASSERT_TRUE(consistent());

    ASSERT_EQ(qsort_rects_by_top(set_.lists[0]), 1);
    std::vector<int> tops;
    if (set_.lists[0] != nullptr)
      for (rect_record* r = set_.lists[0]->next; r != set_.lists[0]; r = r->next) tops.push_back(r->top);
    EXPECT_TRUE(std::is_sorted(tops.begin(), tops.end())) << n;

    ASSERT_EQ(qsort_rects_by_right_desc(set_.lists[0]), 1);
    std::vector<int> rights;
    if (set_.lists[0] != nullptr)
      for (rect_record* r = set_.lists[0]->next; r != set_.lists[0]; r = r->next) rights.push_back(r->right);
    EXPECT_TRUE(std::is_sorted(rights.rbegin(), rights.rend())) << n;
    EXPECT_EQ(count_rects(set_.lists[0]), n);
    ASSERT_TRUE(consistent());
  }
}

TEST_F(RectRings, InsertionSortIsStable) {
  const int keys[] = {5, 3, 5, 1};
  for (int i = 0; i < 4; ++i) add(0, keys[i], keys[i], keys[i], keys[i])->label = static_cast<std::int16_t>(i);
  sort_rects_by_top(set_.lists[0]);
  std::vector<int> labels;
  for (rect_record* r = set_.lists[0]->next; r != set_.lists[0]; r = r->next) labels.push_back(r->label);
  EXPECT_EQ(labels, (std::vector<int>{3, 1, 0, 2}));
}

}  // namespace
