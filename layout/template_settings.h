// The settings of a template field as the template dialogs show them, and
// where each lives in the field's 32-byte parameter block.
//
//   area        領域: 自動 / 表 / 文章 / 図            form byte 3: 0, 255, 1, 2
//   columns     段組み: 自動 / 横一段 / 横多段 / 縦一段 / 縦多段
//                                                    direction byte 7, single-column bytes 12 and 18
//   language    認識言語: 日本語 / 英語                byte 5 (English also clears byte 15)
//   checks      罫線 and output check boxes           bytes 9, 10, 11, 13, 14, 15, 22
//   kinds       字種 text of the character-kind mask  bytes 24-25
//
// Pure functions over ParamBlock: the dialogs call them, the tests check the
// map as a table.
#pragma once

#include "layout/records.h"

#include <string>

namespace layout {

// Selection indexes of the combo boxes, in the order of their texts.
int area_index(const ParamBlock& params);
void set_area(ParamBlock& params, int index);
int columns_index(const ParamBlock& params);
void set_columns(ParamBlock& params, int index);
int language_index(const ParamBlock& params);
void set_language(ParamBlock& params, int index);

// The check boxes of a field, by control id.
enum class FieldCheck {
  HorizontalRules = 1016,     // checked: byte 10 = 0
  VerticalRules = 1017,       // checked: byte 11 = 0
  AutoRules = 1072,           // checked: byte 9 = 0 (shown checked when the form is 0 too)
  HorizontalDotted = 1021,    // checked: byte 13 = 1
  VerticalDotted = 1023,      // checked: byte 14 = 1
  BlankOutput = 1020,         // checked: byte 15 = 1
  BreakEveryLine = 1019,      // checked: byte 22 = 1; unchecking clears byte 15
  OneRegion = 1018,           // checked: byte 17 = 1 (the field is analysed as one user region)
};
bool field_check(const ParamBlock& params, FieldCheck check);
void set_field_check(ParamBlock& params, FieldCheck check, bool checked);

// "ひカ漢記数英" for the bits set (1, 2, 4, 32, 8, 16); a mask of 0 is every kind.
std::string char_kind_text(int mask);

}  // namespace layout
