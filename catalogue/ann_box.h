#pragma once
// AnnBox: one annotation box of an image item, as the viewer and the
// catalogue exchange it. The values of AnnType and AnnParam1-3, the unit of
// FontSize and the colours belong to the viewer; the catalogue stores and
// returns them unchanged. Texts are UTF-8 and hold the real characters (the
// catalogue's stored form of ' and | never shows here).

#include <cstdint>
#include <string>

struct AnnBox {
  std::int32_t AnnType = 0;
  std::int32_t ItemNo = 0;  // 0 in the record handed back at the end of an enumeration
  std::int32_t BoxLeft = 0;
  std::int32_t BoxTop = 0;
  std::int32_t BoxRight = 0;
  std::int32_t BoxBottom = 0;
  std::string FontName;
  std::int32_t FontSize = 0;
  std::int32_t FontBold = 0;       // weight
  std::int32_t FontItalic = 0;     // 0 no, other yes
  std::int32_t FontUnderline = 0;  // 0 no, other yes
  std::int32_t FontStrikeOut = 0;  // 0 no, other yes
  std::int32_t FontCharSet = 0;
  std::int32_t FontFamily = 0;
  std::int32_t ForeColor = 0;
  std::int32_t BackColor = 0;
  std::int32_t AnnParam1 = 0;
  std::int32_t AnnParam2 = 0;
  std::int32_t AnnParam3 = 0;
  std::string BoxString;

  friend bool operator==(const AnnBox&, const AnnBox&) = default;
};

// One entry of a catalogue: a single item or a stack.
struct EntryRef {
  static constexpr std::int32_t kItem = 0;
  static constexpr std::int32_t kStack = 1;
  std::int32_t Kind = kItem;
  std::int32_t No = 0;
};
