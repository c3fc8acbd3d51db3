// Editing the result field list by field number: numbering with merge runs,
// deleting, moving, changing settings, and splicing region results in.
#include "layout/field_list_editing.h"
#include "layout/field_rings.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/vulay30.h"
#include "tests/layout/layout_fixture.h"
#include "tests/layout/ring_checker.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using layout::layoutState;

namespace {

// One record of a test ring: id, kind byte, state byte, number, sub-number.
struct Rec {
  int id;
  int kind = 13;
  int state = 0;
  int number = 0;
  int sub = 0;
};

constexpr int kFrame = 0x32;

Rec plain(int id, int number = 0, int sub = 0) { return {id, 13, 0, number, sub}; }
Rec frame(int id) { return {id, kFrame, 0, 0, 0}; }
Rec member(int id, int number, int sub) { return {id, 13, 0, number, sub}; }
Rec merging(int id, int number, int sub) { return {id, 13, -1, number, sub}; }
Rec skipped(int id) { return {id, 13, -9, 0, 0}; }

void build(userfld** head, const std::vector<Rec>& recs) {
  for (const Rec& r : recs) {
    userfld* f = append_fld(head);
    ASSERT_NE(f, nullptr);
    f->extra = static_cast<std::uint16_t>(r.id);
    f->params.setByte(ParamBlock::kFieldKind, static_cast<std::uint8_t>(r.kind));
    f->params.setByte(ParamBlock::kForm, static_cast<std::uint8_t>(r.state));
    f->number = static_cast<std::int16_t>(r.number);
    f->subNumber = static_cast<std::int16_t>(r.sub);
    f->right = 10;
    f->bottom = 10;
  }
}

std::vector<int> ids(const userfld* head) {
  std::vector<int> out;
  if (head != nullptr)
    for (const userfld* f = head->next; f != head; f = f->next) out.push_back(f->extra);
  return out;
}

// plain 1 | frame 2 + members 3 (1,1), 4 (1,2), 5 (2,1) | plain 6 (keys 1,0 end the run)
std::vector<Rec> plainRunPlain() {
  return {plain(1), frame(2), member(3, 1, 1), member(4, 1, 2), member(5, 2, 1), plain(6, 1, 0)};
}

class FieldListEditing : public layouttest::LayoutLibraryTest {
 protected:
  void TearDown() override {
    free_fld_list(&other_);
    free_Sfld_all(nullptr);
    LayoutLibraryTest::TearDown();
  }
  userfld*& sfld() { return layoutState().Sfld; }
  ::testing::AssertionResult consistent() {
    return layouttest::poolsBalanced({sfld(), layoutState().ruleFields, other_});
  }
  userfld* other_ = nullptr;
};

TEST_F(FieldListEditing, NumberingCountsAMergeRunAsOneField) {
  struct Case {
    const char* name;
    std::vector<Rec> ring;
    int fields;
  };
  const Case cases[] = {
      {"three plain fields", {plain(1), plain(2), plain(3)}, 3},
      {"plain, frame with three members, plain", plainRunPlain(), 3},
      {"a negative sub-number ends a run and is the next field",
       {frame(1), member(2, 1, 1), member(3, 1, -1), plain(4, 0, 0)}, 3},
      {"equal keys stay in the run", {frame(1), member(2, 1, 1), member(3, 1, 1), member(4, 1, 1)}, 1},
      {"a falling number ends the run", {frame(1), member(2, 2, 0), member(3, 1, 5)}, 2},
      {"a merging record is a member of its own run", {merging(1, 1, 0), member(2, 1, 1), plain(3, 0, 0)}, 2},
      {"a merging record whose keys fail is a run of one", {merging(1, 1, -1), member(2, 1, 1)}, 2},
      {"a skipped record opens a run and ends the one before", {skipped(1), member(2, 1, 0), skipped(3)}, 2},
      {"a frame alone at the end", {plain(1), frame(2)}, 2},
  };
  for (const Case& c : cases) {
    userfld* ring = nullptr;
    build(&ring, c.ring);
    EXPECT_EQ(count_userfld(ring), c.fields) << c.name;
    free_fld_list(&ring);
  }
  EXPECT_EQ(count_userfld(nullptr), 0);
}

TEST_F(FieldListEditing, DeleteFldRemovesWholeFieldsByNumber) {
  struct Case {
    const char* name;
    std::vector<Rec> ring;
    int n;
    short result;
    std::vector<int> left;  // ids remaining; empty: Sfld freed (when result is 1)
  };
  const Case cases[] = {
      {"the run, field 2, goes with its four records", plainRunPlain(), 2, 1, {1, 6}},
      {"the last field", plainRunPlain(), 3, 1, {1, 2, 3, 4, 5}},
      {"a number above the count", plainRunPlain(), 4, 0, {1, 2, 3, 4, 5, 6}},
      {"number 0", plainRunPlain(), 0, 0, {1, 2, 3, 4, 5, 6}},
      {"the only field", {plain(1)}, 1, 1, {}},
      {"a one-field ring keeps its field for another number", {plain(1)}, 2, 0, {1}},
  };
  for (const Case& c : cases) {
    build(&sfld(), c.ring);
    append_fld(&layoutState().ruleFields);
    // A field that goes takes its lines, blocks and children along.
    for (userfld* f = sfld()->next; f != sfld(); f = f->next) {
      line_record* line = append_line(&f->lines);
      append_recg(&line->boxes);
      append_recg(&f->blocks);
      append_fld(&f->children);
    }
    EXPECT_EQ(DeleteFld(static_cast<std::uint16_t>(c.n), 0), c.result) << c.name;
    if (c.result == 1 && c.left.empty()) {
      EXPECT_EQ(sfld(), nullptr) << c.name;
      EXPECT_EQ(layoutState().ruleFields, nullptr) << c.name;
    } else {
      EXPECT_EQ(ids(sfld()), c.left) << c.name;
    }
    EXPECT_TRUE(consistent()) << c.name;
    free_Sfld_all(nullptr);
  }
  EXPECT_EQ(DeleteFld(1, 0), 0);  // no Sfld
}

TEST_F(FieldListEditing, EmptyRingHasNothingToDelete) {
  sfld() = layout::ringMake(layout::pools().fields);
  EXPECT_EQ(DeleteFld(1, 0), 0);
  EXPECT_NE(sfld(), nullptr);
}

TEST_F(FieldListEditing, ExchangeFldMovesFieldBToTheNumberOfA) {
  struct Case {
    const char* name;
    std::vector<Rec> ring;
    int a, b;
    short result;
    std::vector<int> order;
  };
  const std::vector<Rec> three = {plain(1), plain(2), plain(3)};
  const Case cases[] = {
      {"a = 3, b = 1", three, 3, 1, 1, {2, 3, 1}},
      {"a = 1, b = 3", three, 1, 3, 1, {3, 1, 2}},
      {"a = b changes nothing", three, 2, 2, 1, {1, 2, 3}},
      {"neighbours swap", three, 1, 2, 1, {2, 1, 3}},
      {"a missing field", three, 1, 4, 0, {1, 2, 3}},
      {"a run moves whole", plainRunPlain(), 1, 2, 1, {2, 3, 4, 5, 1, 6}},
      {"a run is passed whole", plainRunPlain(), 3, 1, 1, {2, 3, 4, 5, 6, 1}},
  };
  for (const Case& c : cases) {
    build(&sfld(), c.ring);
    EXPECT_EQ(ExchangeFld(static_cast<short>(c.a), static_cast<std::uint16_t>(c.b)), c.result) << c.name;
    EXPECT_EQ(ids(sfld()), c.order) << c.name;
    EXPECT_TRUE(consistent()) << c.name;
    free_Sfld_all(nullptr);
  }
  EXPECT_EQ(ExchangeFld(1, 2), 0);
}

TEST_F(FieldListEditing, ChangeFldFormCopiesOneSettingIntoTheField) {
  userfld source{};
  source.params.setWord(ParamBlock::kLanguageWord, 1);
  source.params.setByte(ParamBlock::kBlankOutput, 1);
  source.params.setByte(ParamBlock::kLineEnds, 7);
  source.params.setWord(ParamBlock::kCharKindMask, 0x0C);
  source.params.setByte(ParamBlock::kDirection, 1);  // never copied
  struct Case {
    const char* name;
    int selector;
    int byte;
    int value;
  };
  const Case cases[] = {
      {"language", 1, ParamBlock::kLanguageWord, 1},
      {"blank output", 2, ParamBlock::kBlankOutput, 1},
      {"nothing for 3", 3, -1, 0},
      {"line ends", 4, ParamBlock::kLineEnds, 7},
      {"character kinds", 5, ParamBlock::kCharKindMask, 0x0C},
      {"nothing for 6", 6, -1, 0},
  };
  for (const Case& c : cases) {
    build(&sfld(), plainRunPlain());
    const ParamBlock before = sfld()->next->params;
    EXPECT_EQ(ChangeFldForm(&source, 1, static_cast<std::uint16_t>(c.selector)), 1) << c.name;
    const ParamBlock& after = sfld()->next->params;
    for (int i = 0; i < 32; ++i) {
      const bool target = c.byte >= 0 && (i == c.byte || (i == c.byte + 1 && c.byte != ParamBlock::kBlankOutput &&
                                                            c.byte != ParamBlock::kLineEnds));
      if (!target) {
        EXPECT_EQ(after.byte(i), before.byte(i)) << c.name << " byte " << i;
      }
    }
    if (c.byte >= 0) {
      EXPECT_EQ(after.byte(c.byte), c.value) << c.name;
    }
    free_Sfld_all(nullptr);
  }
  // In a run every member changes, the frame that opens it does not.
  build(&sfld(), plainRunPlain());
  EXPECT_EQ(ChangeFldForm(&source, 2, 4), 1);
  std::vector<int> lineEnds;
  for (userfld* f = sfld()->next; f != sfld(); f = f->next) lineEnds.push_back(f->params.byte(ParamBlock::kLineEnds));
  EXPECT_EQ(lineEnds, (std::vector<int>{0, 0, 7, 7, 7, 0}));
  free_Sfld_all(nullptr);
  build(&sfld(), {merging(1, 1, 0), member(2, 1, 1), plain(3)});
  EXPECT_EQ(ChangeFldForm(&source, 1, 4), 1);
  EXPECT_EQ(sfld()->next->params.byte(ParamBlock::kLineEnds), 7);
  EXPECT_EQ(sfld()->prev->params.byte(ParamBlock::kLineEnds), 0);
  EXPECT_EQ(ChangeFldForm(&source, 9, 4), 0);
  free_Sfld_all(nullptr);
  EXPECT_EQ(ChangeFldForm(&source, 1, 4), 0);
}

TEST_F(FieldListEditing, RegionResultsAreSplicedInAfterAField) {
  struct Case {
    const char* name;
    std::vector<Rec> target;
    int n;
    std::vector<int> order;
  };
  const Case cases[] = {
      {"position 0 puts them first", {plain(1), plain(2)}, 0, {10, 11, 1, 2}},
      {"after field 1", {plain(1), plain(2)}, 1, {1, 10, 11, 2}},
      {"after a whole run", plainRunPlain(), 2, {1, 2, 3, 4, 5, 10, 11, 6}},
      {"a missing field puts them first", {plain(1)}, 5, {10, 11, 1}},
      {"into an empty list", {}, 0, {10, 11}},
  };
  for (const Case& c : cases) {
    build(&sfld(), c.target);
    userfld* source = nullptr;
    build(&source, {plain(10), plain(11)});
    EXPECT_EQ(copy_userfld_list(&source, &sfld(), c.n), 1) << c.name;
    EXPECT_EQ(source, nullptr) << c.name;
    EXPECT_EQ(ids(sfld()), c.order) << c.name;
    EXPECT_TRUE(consistent()) << c.name;
    free_Sfld_all(nullptr);
  }
  userfld* none = nullptr;
  EXPECT_EQ(copy_userfld_list(&none, &sfld(), 0), 1);
  EXPECT_EQ(sfld(), nullptr);
  userfld* empty = layout::ringMake(layout::pools().fields);
  EXPECT_EQ(copy_userfld_list(&empty, &sfld(), 0), 1);
  EXPECT_EQ(empty, nullptr);
  EXPECT_TRUE(consistent());
}

TEST_F(FieldListEditing, SplicingWithoutMemoryKeepsTheSource) {
  userfld* source = nullptr;
  build(&source, {plain(10)});
  // Fill the current block so that a new sentinel needs a new block.
  std::vector<userfld*> spare;
  while (layout::pools().fields.inUse() % 30 != 0) spare.push_back(alloc_fld());
  layout::PoolFaults::remaining = 0;
  EXPECT_EQ(copy_userfld_list(&source, &sfld(), 0), -111);
  layout::PoolFaults::remaining = -1;
  EXPECT_EQ(ids(source), (std::vector<int>{10}));
  for (userfld* f : spare) free_fld_node(f);
  free_fld_list(&source);
}

TEST_F(FieldListEditing, FieldEndsAndPassThroughFields) {
  EXPECT_EQ(find_fld_end(1), nullptr);
  build(&sfld(), plainRunPlain());
  EXPECT_EQ(find_fld_end(2)->extra, 5);
  EXPECT_EQ(find_fld_end(1)->extra, 1);
  EXPECT_EQ(find_fld_end(7), sfld());
  free_Sfld_all(nullptr);
  build(&sfld(), {plain(1), {2, 10, 0, 0, 0}, plain(3)});
  EXPECT_EQ(delete_passthrough_fld(1), 0);
  EXPECT_EQ(delete_passthrough_fld(2), 1);
  EXPECT_EQ(ids(sfld()), (std::vector<int>{1, 3}));
  EXPECT_TRUE(consistent());
}

TEST_F(FieldListEditing, ResultCopiesOwnTheirSubLists) {
  build(&sfld(), {plain(1)});
  userfld* original = sfld()->next;
  line_record* line = append_line(&original->lines);
  line->right = 40;
  recg* box = append_recg(&line->boxes);
  box->code = 0x1234;
  box->candidates[3] = 77;
  append_recg(&line->chars)->right = 5;
  append_recg(&original->blocks)->left = 3;
  build(&original->children, {plain(9)});
  original->params.setByte(ParamBlock::kDirection, 1);

  userfld* copy = copy_fld_deep(original, &other_);
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->lines, original->lines);
  EXPECT_EQ(copy->lines->next->right, 40);
  EXPECT_EQ(copy->lines->next->boxes->next->code, 0x1234);
  EXPECT_EQ(copy->lines->next->boxes->next->candidates[3], 77);
  EXPECT_EQ(copy->blocks->next->left, 3);
  EXPECT_EQ(copy->children->next->extra, 9);
  EXPECT_EQ(copy->params.byte(ParamBlock::kDirection), 1);
  EXPECT_TRUE(consistent());
  // Deleting the field in Sfld leaves the copy whole.
  EXPECT_EQ(DeleteFld(1, 0), 1);
  EXPECT_EQ(copy->lines->next->boxes->next->code, 0x1234);
  EXPECT_TRUE(consistent());
}

}  // namespace
