#pragma once
// Shift-JIS codes of recognised symbols and their character kinds.
//
//   sjisCode          one UTF-8 symbol as a 16-bit Shift-JIS code (lead byte high)
//   utf8OfCode        back to UTF-8
//   kindOfCode        the character-kind bit of a code
//   CharacterKind     the kind bits of the field settings
//
// The Japanese engine answers in full-width codes: the line cutter and the
// blank insertion test full-width letters and digits, and the driver turns
// them to half width when the user asks. Tesseract answers ASCII for
// full-width letters, digits and signs, so they are widened here.

#include <cstdint>
#include <string>
#include <string_view>

namespace recognition {

enum CharacterKind : std::uint16_t {
  kKindHiragana = 1,
  kKindKatakana = 2,
  kKindKanji = 4,
  kKindDigit = 8,
  kKindLatin = 16,
  kKindSymbol = 32,
  kAllKinds = 63,
};

// 0 when the symbol is not exactly one character with a CP932 code.
std::uint16_t sjisCode(std::string_view utf8Symbol, bool fullWidth);
std::string utf8OfCode(std::uint16_t code);
std::uint16_t kindOfCode(std::uint16_t code);

}  // namespace recognition
