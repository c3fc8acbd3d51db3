// Field, line and recognition rings: every operation leaves the rings
// circular and doubly linked, rectangles normalised and every pool record
// accounted for; pools are tiny here so that every growth path runs.
#include "layout/field_rings.h"
#include "layout/layout_hooks.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"

#include <gtest/gtest.h>

#include <vector>

using layout::pools;
using layouttest::poolsBalanced;

namespace {

class FieldRings : public layouttest::LayoutLibraryTest {
 protected:
  void SetUp() override {
    LayoutLibraryTest::SetUp();
    ASSERT_TRUE(pools().fields.configure({2, 1, 1}));
    ASSERT_TRUE(pools().lines.configure({1, 1, 1}));
    ASSERT_TRUE(pools().recgs.configure({3, 1, 2}));
  }
  void TearDown() override {
    free_fld_list(&a_);
    free_fld_list(&b_);
    LayoutLibraryTest::TearDown();
    pools().fields.configure({30, 3, 2});
    pools().lines.configure({30, 2, 2});
    pools().recgs.configure({30, 2, 2});
  }
  ::testing::AssertionResult consistent() { return poolsBalanced({a_, b_, layout::layoutState().Sfld}); }

  userfld* addField(userfld** head, int l, int t, int r, int b) {
    EXPECT_EQ(add_fld_rect(head, l, t, r, b, 1, nullptr, nullptr), 1);
    return (*head)->prev;
  }

  userfld* a_ = nullptr;
  userfld* b_ = nullptr;
};

std::vector<int> numbers(const userfld* head) {
  std::vector<int> out;
  if (head == nullptr) return out;
  for (const userfld* f = head->next; f != head; f = f->next) out.push_back(f->number);
  return out;
}

TEST_F(FieldRings, BuildMoveAndFreeKeepRingsAndPoolsConsistent) {
  for (int i = 0; i < 5; ++i) {
    addField(&a_, 10 * i, 0, 10 * i + 5, 20);
    ASSERT_TRUE(consistent()) << "after field " << i;
  }
  // A field with lines, character boxes and a joined character.
  userfld* f = a_->next->next;
  for (int l = 0; l < 3; ++l) {
    line_record* line = append_line(&f->lines);
    ASSERT_NE(line, nullptr);
    line->right = 100;
    line->bottom = 10;
    ASSERT_TRUE(consistent()) << "after line " << l;
    for (int c = 0; c < 4; ++c) {
      recg* box = append_recg(&line->boxes);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(box->code, -1);
      box->right = 9;
      box->bottom = 9;
      ASSERT_TRUE(consistent());
    }
  }
  // An undecided character with a chain of pieces, and a joined one.
  recg* undecided = f->lines->next->boxes->next;
  recg* pieceA = alloc_recg();
  recg* pieceB = alloc_recg();
  undecided->sub = pieceA;
  pieceA->sub = pieceB;
  recg* joined = f->lines->next->boxes->prev;
  joined->code = kRecgJoined;
  recg* partA = alloc_recg();
  recg* partB = alloc_recg();
  joined->sub = partA;
  partA->next = partB;
  partB->next = joined;
  ASSERT_TRUE(consistent());

  // Children and character blocks of another field.
  userfld* g = a_->prev;
  addField(&g->children, 1, 1, 2, 2);
  append_recg(&g->blocks);
  ASSERT_TRUE(consistent());

  // Unlink one field, then move the rest onto another list.
  userfld* second = a_->next->next;
  ASSERT_EQ(second, f);
  userfld* first = a_->next;
  unlink_fld(first);
  ASSERT_TRUE(consistent());
  addField(&b_, 0, 0, 1, 1);
  EXPECT_EQ(move_fld_list(&a_, &b_), 1);
  EXPECT_EQ(a_, nullptr);
  EXPECT_EQ(count_fld(b_), 5);
  ASSERT_TRUE(consistent());

  // Free the field with everything below it.
  ASSERT_EQ(b_->next->next, f);
  layout::ringUnlink(f);
  free_fld_tree(f);
  ASSERT_TRUE(consistent());
  free_fld_list(&b_);
  EXPECT_EQ(b_, nullptr);
  ASSERT_TRUE(consistent());
  EXPECT_EQ(pools().fields.inUse(), 0);
  EXPECT_EQ(pools().lines.inUse(), 0);
  EXPECT_EQ(pools().recgs.inUse(), 0);
}

TEST_F(FieldRings, MoveFromAnEmptySourceFreesItsSentinelOnly) {
  addField(&a_, 0, 0, 1, 1);
  unlink_fld(a_->next);
  ASSERT_NE(a_, nullptr);
  EXPECT_EQ(move_fld_list(&a_, &b_), 1);
  EXPECT_EQ(a_, nullptr);
  EXPECT_EQ(b_, nullptr);
  EXPECT_EQ(pools().fields.inUse(), 0);
  userfld* none = nullptr;
  EXPECT_EQ(move_fld_list(&none, &b_), 1);
}

TEST_F(FieldRings, MoveFailsWithoutMemoryAndKeepsTheSource) {
  addField(&a_, 0, 0, 1, 1);
  addField(&a_, 2, 2, 3, 3);
  // The pool has one record left in its block; the target needs no more
  // than that, so exhaust it first.
  userfld* spare = alloc_fld();
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(move_fld_list(&a_, &b_), -111);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(count_fld(a_), 2);
  EXPECT_EQ(b_, nullptr);
  free_fld_node(spare);
  ASSERT_TRUE(consistent());
}

TEST_F(FieldRings, RectanglesAreStoredNormalised) {
  addField(&a_, 50, 40, 10, 5);
  EXPECT_EQ(a_->next->left, 10);
  EXPECT_EQ(a_->next->top, 5);
  EXPECT_EQ(a_->next->right, 50);
  EXPECT_EQ(a_->next->bottom, 40);
  EXPECT_EQ(add_plain_fld(&a_, 9, 9, 1, 1), 1);
  EXPECT_EQ(a_->prev->number, -1);
  EXPECT_EQ(a_->prev->left, 1);
}

TEST_F(FieldRings, StableSortsKeepEqualKeysInOrder) {
  for (int key : {5, 3, 5, 1}) {
    userfld* f = addField(&a_, key, key, key + 1, key + 1);
    f->number = static_cast<std::int16_t>(10 * key + count_fld(a_));
  }
  sort_fld_by_top(a_);
  EXPECT_EQ(numbers(a_), (std::vector<int>{14, 32, 51, 53}));
  ASSERT_TRUE(consistent());
  sort_fld_by_right_desc(a_);
  EXPECT_EQ(numbers(a_), (std::vector<int>{51, 53, 32, 14}));
  sort_fld_by_right(a_);
  EXPECT_EQ(numbers(a_), (std::vector<int>{14, 32, 51, 53}));

  for (int i = 0; i < 3; ++i) addField(&b_, 7, 7, 8, 8)->number = static_cast<std::int16_t>(i);
  sort_fld_by_left(b_);
  EXPECT_EQ(numbers(b_), (std::vector<int>{0, 1, 2}));

  recg* ring = nullptr;
  for (int key : {4, 2, 4, 2, 0}) {
    recg* r = append_recg(&ring);
    r->left = r->right = static_cast<std::int16_t>(key);
    r->code = static_cast<std::int16_t>(100 + key * 10 + count_fld(a_));
    r->candidateCount = static_cast<std::int16_t>(layout::ringCount(ring));
  }
  sort_recg_by_left(ring);
  std::vector<int> order;
  for (recg* r = ring->next; r != ring; r = r->next) order.push_back(r->candidateCount);
  EXPECT_EQ(order, (std::vector<int>{5, 2, 4, 1, 3}));
  free_recg_list(&ring);
  ASSERT_TRUE(consistent());
}

TEST_F(FieldRings, PageFieldMarginsFollowThePageSize) {
  struct Case {
    const char* name;
    int dpi, bytesPerRow, height;
    Rect16 expected;
  };
  const Case cases[] = {
      {"A4 at 400 dpi: 1.5 mm is 24 px", 400, 414, 4677, {24, 24, 414 * 8 - 24, 4677 - 24}},
      {"narrower than 40 mm: no side margin", 400, 78, 4677, {0, 24, 78 * 8, 4677 - 24}},
      {"lower than 20 mm: no top margin", 400, 414, 300, {24, 0, 414 * 8 - 24, 300}},
      {"200 dpi: 12 px", 200, 208, 2338, {12, 12, 208 * 8 - 12, 2338 - 12}},
  };
  for (const Case& c : cases) {
    ImageDesc page{nullptr, static_cast<std::uint16_t>(c.bytesPerRow), static_cast<std::uint16_t>(c.height),
                   static_cast<std::uint16_t>(c.dpi)};
    ParamBlock params;
    params.setByte(ParamBlock::kForm, 3);
    userfld* head = nullptr;
    ASSERT_EQ(add_page_fld(&head, &params, &page), 1) << c.name;
    const userfld* f = head->next;
    EXPECT_EQ(f->left, c.expected.left) << c.name;
    EXPECT_EQ(f->top, c.expected.top) << c.name;
    EXPECT_EQ(f->right, c.expected.right) << c.name;
    EXPECT_EQ(f->bottom, c.expected.bottom) << c.name;
    EXPECT_EQ(f->number, 1) << c.name;
    EXPECT_EQ(f->params.byte(ParamBlock::kForm), 3) << c.name;
    free_fld_list(&head);
  }
}

short analysisThatRewritesTheBlock(userfld* field, const ImageDesc*) {
  field->params.setByte(ParamBlock::kDirection, 2);
  recg* r = append_recg(&field->blocks);
  return r == nullptr ? -111 : 1;
}

TEST_F(FieldRings, UserRegionAnalysisRunsOnRequestAndTheCallersBlockIsKept) {
  layout::hooks().analyseUserRegion = analysisThatRewritesTheBlock;
  ParamBlock params;
  params.setByte(ParamBlock::kDirection, 3);
  EXPECT_EQ(add_fld_rect(&a_, 0, 0, 10, 10, 1, &params, nullptr), 1);
  EXPECT_EQ(a_->next->blocks, nullptr);  // byte 17 clear: no analysis
  params.setByte(ParamBlock::kCharBlocks, 1);
  EXPECT_EQ(add_fld_rect(&a_, 0, 0, 10, 10, 1, &params, nullptr), 1);
  EXPECT_EQ(layout::ringCount(a_->prev->blocks), 1);
  EXPECT_EQ(a_->prev->params.byte(ParamBlock::kDirection), 3);
  layout::hooks().analyseUserRegion = nullptr;
  ASSERT_TRUE(consistent());
}

TEST_F(FieldRings, PointSearchIgnoresBordersAndKindNumbering) {
  addField(&a_, 10, 10, 20, 20);
  addField(&a_, 0, 0, 100, 100);
  EXPECT_EQ(find_fld_at_point(15, 15, a_), a_->next);
  EXPECT_EQ(find_fld_at_point(10, 15, a_), a_->prev);  // on the first one's border
  EXPECT_EQ(find_fld_at_point(100, 50, a_), nullptr);
  EXPECT_EQ(find_fld_at_point(1, 1, nullptr), nullptr);

  for (userfld* f = a_->next; f != a_; f = f->next) f->params.setByte(ParamBlock::kFieldKind, 13);
  addField(&a_, 1, 1, 2, 2)->params.setByte(ParamBlock::kFieldKind, 10);
  a_->prev->number = 77;
  number_fld_kind(a_, 13);
  EXPECT_EQ(numbers(a_), (std::vector<int>{1, 2, 77}));
  EXPECT_EQ(a_->next->subNumber, -1);
  EXPECT_EQ(count_fld(nullptr), 0);
}

TEST_F(FieldRings, HostListExportsReturnEveryRecordToThePool) {
  userfld* host = nullptr;
  for (int i = 0; i < 3; ++i) {
    userfld* f = create_userfld(&host);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->origin, 0);
  }
  const long before = pools().fields.inUse();
  free_userfld_all(&host);
  EXPECT_EQ(host, nullptr);
  EXPECT_EQ(pools().fields.inUse(), before - 4);

  auto& state = layout::layoutState();
  addField(&state.Sfld, 0, 0, 5, 5);
  append_line(&state.Sfld->next->lines);
  addField(&state.ruleFields, 0, 0, 5, 0);
  userfld* seen = nullptr;
  EXPECT_EQ(getRcgS_fld(&seen), 1);
  EXPECT_EQ(seen, state.Sfld);
  free_Sfld_all(nullptr);
  EXPECT_EQ(state.Sfld, nullptr);
  EXPECT_EQ(state.ruleFields, nullptr);
  EXPECT_EQ(getRcgS_fld(&seen), 1);
  EXPECT_EQ(seen, nullptr);
  ASSERT_TRUE(consistent());
}

TEST_F(FieldRings, FreeSfldAllTakesTheHostRingWithoutItsSubLists) {
  userfld* host = nullptr;
  create_userfld(&host);
  create_userfld(&host);
  addField(&layout::layoutState().Sfld, 0, 0, 5, 5);
  free_Sfld_all(&host);
  EXPECT_EQ(host, nullptr);
  EXPECT_EQ(layout::layoutState().Sfld, nullptr);
  EXPECT_TRUE(consistent());
}

}  // namespace
