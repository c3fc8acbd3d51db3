#include "layout/template_settings.h"

#include <array>

namespace layout {
namespace {

constexpr int kByteAutoRules = 9;
constexpr int kByteColumnsFlag = 18;  // the single-column byte that 段組み reads back
constexpr std::array<std::uint8_t, 4> kForms{0, 0xFF, 1, 2};

struct ColumnBytes {
  std::uint8_t direction, single, columnsFlag;
};
constexpr std::array<ColumnBytes, 5> kColumns{{{3, 0, 0}, {0, 1, 1}, {0, 0, 0}, {1, 1, 1}, {1, 0, 0}}};

struct KindBit {
  int bit;
  const char* text;
};
constexpr std::array<KindBit, 6> kKinds{{{1, "ひ"}, {2, "カ"}, {4, "漢"}, {32, "記"}, {8, "数"}, {16, "英"}}};

int byteOf(FieldCheck check) {
  switch (check) {
    case FieldCheck::HorizontalRules: return ParamBlock::kNoVerticalMargin;    // byte 10
    case FieldCheck::VerticalRules: return ParamBlock::kNoHorizontalMargin;    // byte 11
    case FieldCheck::AutoRules: return kByteAutoRules;
    case FieldCheck::HorizontalDotted: return ParamBlock::kHorizontalRules;    // byte 13
    case FieldCheck::VerticalDotted: return ParamBlock::kVerticalRules;        // byte 14
    case FieldCheck::BlankOutput: return ParamBlock::kBlankOutput;
    case FieldCheck::BreakEveryLine: return ParamBlock::kLineEnds;
    case FieldCheck::OneRegion: return ParamBlock::kCharBlocks;  // byte 17
  }
  return 0;
}

// Checks that mean "off" in their byte.
bool checkedMeansZero(FieldCheck check) {
  return check == FieldCheck::HorizontalRules || check == FieldCheck::VerticalRules || check == FieldCheck::AutoRules;
}

}  // namespace

int area_index(const ParamBlock& p) {
  for (std::size_t i = 0; i < kForms.size(); ++i)
    if (p.byte(ParamBlock::kForm) == kForms[i]) return static_cast<int>(i);
  return 0;
}

void set_area(ParamBlock& p, int index) {
  if (index >= 0 && index < static_cast<int>(kForms.size())) p.setByte(ParamBlock::kForm, kForms[static_cast<std::size_t>(index)]);
}

int columns_index(const ParamBlock& p) {
  const int direction = p.byte(ParamBlock::kDirection);
  const bool single = p.byte(kByteColumnsFlag) == 1;
  if (direction == 0) return single ? 1 : 2;
  if (direction == 1) return single ? 3 : 4;
  return 0;
}

void set_columns(ParamBlock& p, int index) {
  if (index < 0 || index >= static_cast<int>(kColumns.size())) return;
  const ColumnBytes& c = kColumns[static_cast<std::size_t>(index)];
  p.setByte(ParamBlock::kDirection, c.direction);
  p.setByte(ParamBlock::kSingleBlock, c.single);
  p.setByte(kByteColumnsFlag, c.columnsFlag);
}

int language_index(const ParamBlock& p) { return p.byte(ParamBlock::kLanguageWord) == 1 ? 1 : 0; }

void set_language(ParamBlock& p, int index) {
  if (index != 0 && index != 1) return;
  p.setByte(ParamBlock::kLanguageWord, static_cast<std::uint8_t>(index));
  // Latin text has no blanks to put out between characters.
  if (index == 1) p.setByte(ParamBlock::kBlankOutput, 0);
}

bool field_check(const ParamBlock& p, FieldCheck check) {
  const int value = p.byte(byteOf(check));
  if (check == FieldCheck::AutoRules) return value == 0 && p.byte(ParamBlock::kForm) == 0;
  return checkedMeansZero(check) ? value == 0 : value == 1;
}

void set_field_check(ParamBlock& p, FieldCheck check, bool checked) {
  const bool zero = checkedMeansZero(check) ? checked : !checked;
  p.setByte(byteOf(check), zero ? 0 : 1);
  // Without a break after every line there are no line ends for blanks.
  if (check == FieldCheck::BreakEveryLine && !checked) p.setByte(ParamBlock::kBlankOutput, 0);
}

std::string char_kind_text(int mask) {
  std::string text;
  for (const KindBit& k : kKinds)
    if (mask == 0 || (mask & k.bit) != 0) text += k.text;
  return text;
}

}  // namespace layout
