// The template dialogs' field settings and their parameter bytes.
#include "layout/template_settings.h"

#include <gtest/gtest.h>

#include <vector>

using layout::FieldCheck;

namespace {

TEST(TemplateSettings, ComboChoicesWriteTheirBytesAndReadBackTheSame) {
  struct Case {
    const char* name;
    int index;
    std::vector<std::pair<int, int>> bytes;  // (byte, value)
  };
  const Case columns[] = {
      {"自動", 0, {{7, 3}, {12, 0}, {18, 0}}},    {"横一段", 1, {{7, 0}, {12, 1}, {18, 1}}},
      {"横多段", 2, {{7, 0}, {12, 0}, {18, 0}}},  {"縦一段", 3, {{7, 1}, {12, 1}, {18, 1}}},
      {"縦多段", 4, {{7, 1}, {12, 0}, {18, 0}}},
  };
  for (const Case& c : columns) {
    ParamBlock p;
    p.bytes.fill(0x55);
    layout::set_columns(p, c.index);
    for (auto [byte, value] : c.bytes) EXPECT_EQ(p.byte(byte), value) << c.name << " byte " << byte;
    EXPECT_EQ(layout::columns_index(p), c.index) << c.name;
  }
  const Case areas[] = {{"自動", 0, {{3, 0}}}, {"表", 1, {{3, 255}}}, {"文章", 2, {{3, 1}}}, {"図", 3, {{3, 2}}}};
  for (const Case& c : areas) {
    ParamBlock p;
    layout::set_area(p, c.index);
    for (auto [byte, value] : c.bytes) EXPECT_EQ(p.byte(byte), value) << c.name;
    EXPECT_EQ(layout::area_index(p), c.index) << c.name;
  }
  ParamBlock unknown;
  unknown.setByte(ParamBlock::kForm, 7);
  EXPECT_EQ(layout::area_index(unknown), 0);
}

TEST(TemplateSettings, EnglishAndNoLineBreaksTurnBlankOutputOff) {
  ParamBlock p;
  layout::set_field_check(p, FieldCheck::BlankOutput, true);
  layout::set_language(p, 1);
  EXPECT_EQ(p.byte(5), 1);
  EXPECT_FALSE(layout::field_check(p, FieldCheck::BlankOutput));
  layout::set_language(p, 0);
  layout::set_field_check(p, FieldCheck::BlankOutput, true);
  layout::set_field_check(p, FieldCheck::BreakEveryLine, false);
  EXPECT_EQ(p.byte(22), 0);
  EXPECT_EQ(p.byte(15), 0);
}

TEST(TemplateSettings, ChecksMapToTheirBytes) {
  struct Case {
    FieldCheck check;
    int byte;
    int whenChecked;
  };
  const Case cases[] = {{FieldCheck::HorizontalRules, 10, 0}, {FieldCheck::VerticalRules, 11, 0},
                        {FieldCheck::AutoRules, 9, 0},        {FieldCheck::HorizontalDotted, 13, 1},
                        {FieldCheck::VerticalDotted, 14, 1},  {FieldCheck::BlankOutput, 15, 1},
                        {FieldCheck::BreakEveryLine, 22, 1},  {FieldCheck::OneRegion, 17, 1}};
  for (const Case& c : cases) {
    ParamBlock p;
    layout::set_field_check(p, c.check, true);
    EXPECT_EQ(p.byte(c.byte), c.whenChecked) << static_cast<int>(c.check);
    EXPECT_TRUE(layout::field_check(p, c.check)) << static_cast<int>(c.check);
    layout::set_field_check(p, c.check, false);
    EXPECT_EQ(p.byte(c.byte), 1 - c.whenChecked) << static_cast<int>(c.check);
    EXPECT_FALSE(layout::field_check(p, c.check)) << static_cast<int>(c.check);
  }
  // 罫線自動 shows checked only for an automatic area.
  ParamBlock table;
  layout::set_area(table, 1);
  layout::set_field_check(table, FieldCheck::AutoRules, true);
  EXPECT_FALSE(layout::field_check(table, FieldCheck::AutoRules));
}

TEST(TemplateSettings, CharacterKindTextFollowsItsFixedOrder) {
  EXPECT_EQ(layout::char_kind_text(0), "ひカ漢記数英");
  EXPECT_EQ(layout::char_kind_text(1 | 32 | 8), "ひ記数");
  EXPECT_EQ(layout::char_kind_text(16 | 4), "漢英");
}

}  // namespace
