// The 870-byte field entry of a template file, byte for byte.
#include "layout/field_rings.h"
#include "layout/template_field.h"
#include "tests/layout/layout_fixture.h"

#include <gtest/gtest.h>

namespace {

int word(const TemplateFieldEntry& e, int at) {
  return static_cast<std::int16_t>(e[static_cast<std::size_t>(at)] | (e[static_cast<std::size_t>(at) + 1] << 8));
}

class TemplateField : public layouttest::LayoutLibraryTest {};

TEST_F(TemplateField, EntryCarriesRectanglesBlocksChildrenAndSettings) {
  userfld* list = nullptr;
  ASSERT_EQ(add_plain_fld(&list, 10, 20, 300, -40), 1);
  userfld* f = list->next;
  f->number = 3;
  f->subNumber = 2;
  ParamBlock& p = f->params;
  p.setByte(1, 0x11);
  p.setByte(ParamBlock::kForm, 255);
  p.setWord(ParamBlock::kLanguageWord, 1);
  p.setByte(7, 3);
  p.setByte(8, 13);
  p.setByte(9, 0x99);
  for (int i = 10; i <= 16; ++i) p.setByte(i, static_cast<std::uint8_t>(i));
  p.setByte(ParamBlock::kCharBlocks, 1);
  p.setByte(18, 4);
  p.setByte(20, 0x20);
  p.setByte(21, 0x21);
  p.setByte(22, 1);
  p.setWord(ParamBlock::kCharKindMask, 0x0506);
  for (int i = 0; i < 52; ++i) {
    recg* b = append_recg(&f->blocks);
    b->left = static_cast<std::int16_t>(i);
    b->bottom = -2;
  }
  add_plain_fld(&f->children, 1, 2, 3, 4);

  TemplateFieldEntry e;
  e.fill(0xEE);
  ASSERT_EQ(fld_to_template_field(f, &e), 1);
  EXPECT_EQ(word(e, 0), 10);
  EXPECT_EQ(word(e, 2), -40);
  EXPECT_EQ(word(e, 4), 300);
  EXPECT_EQ(word(e, 6), 20);
  EXPECT_EQ(word(e, 408), 50);  // at most fifty blocks
  EXPECT_EQ(word(e, 8 + 8 * 49), 49);
  EXPECT_EQ(word(e, 8 + 8 * 49 + 6), -2);
  EXPECT_EQ(word(e, 810), 1);
  EXPECT_EQ(word(e, 410), 1);
  EXPECT_EQ(word(e, 416), 4);
  EXPECT_EQ(word(e, 418), 0);
  EXPECT_EQ(word(e, 812), 3);
  EXPECT_EQ(word(e, 814), 2);
  EXPECT_EQ(word(e, 816), 1);
  EXPECT_EQ(word(e, 818), 4);
  EXPECT_EQ(e[820], 1);
  EXPECT_EQ(e[821], 0x11);
  EXPECT_EQ(e[822], 1);
  EXPECT_EQ(e[823], 255);
  EXPECT_EQ(e[824], 0);
  EXPECT_EQ(e[825], 3);
  EXPECT_EQ(e[826], 13);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(e[static_cast<std::size_t>(827 + i)], 10 + i);
  EXPECT_EQ(e[834], 1);
  EXPECT_EQ(e[835], 1);
  EXPECT_EQ(word(e, 836), 0x0506);
  EXPECT_EQ(e[838], 0x99);
  EXPECT_EQ(e[839], 0x20);
  EXPECT_EQ(e[840], 0x21);
  for (int i = 841; i < 870; ++i) EXPECT_EQ(e[static_cast<std::size_t>(i)], 0) << i;

  f->params.setByte(ParamBlock::kCharBlocks, 0);
  ASSERT_EQ(fld_to_template_field(f, &e), 1);
  EXPECT_EQ(word(e, 408), 0);
  EXPECT_EQ(word(e, 8), 0);
  free_fld_list(&list);
}

}  // namespace
