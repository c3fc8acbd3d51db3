#include "recognition/character_codes.h"

#include "platform/sjis_codec.h"

namespace recognition {
namespace {

// U+0021..U+007E → U+FF01..U+FF5E, space → U+3000.
std::string widened(std::string_view utf8) {
  if (utf8.size() != 1) return std::string(utf8);
  const unsigned char c = static_cast<unsigned char>(utf8[0]);
  char32_t wide = 0;
  if (c == ' ') wide = 0x3000;
  else if (c >= 0x21 && c <= 0x7E) wide = 0xFF01 + (c - 0x21);
  else return std::string(utf8);
  std::string out;
  out.push_back(static_cast<char>(0xE0 | (wide >> 12)));
  out.push_back(static_cast<char>(0x80 | ((wide >> 6) & 0x3F)));
  out.push_back(static_cast<char>(0x80 | (wide & 0x3F)));
  return out;
}

}  // namespace

std::uint16_t sjisCode(std::string_view utf8Symbol, bool fullWidth) {
  if (utf8Symbol.empty()) return 0;
  const std::string text = fullWidth ? widened(utf8Symbol) : std::string(utf8Symbol);
  const auto sjis = platform::toCp932(text);
  if (!sjis) return 0;
  const auto& s = *sjis;
  if (s.size() == 1 && !platform::isSjisLeadByte(static_cast<unsigned char>(s[0])))
    return static_cast<unsigned char>(s[0]);
  if (s.size() == 2 && platform::isSjisLeadByte(static_cast<unsigned char>(s[0])))
    return static_cast<std::uint16_t>((static_cast<unsigned char>(s[0]) << 8) |
                                      static_cast<unsigned char>(s[1]));
  return 0;
}

std::string utf8OfCode(std::uint16_t code) {
  std::string sjis;
  if (code > 0xFF) sjis.push_back(static_cast<char>(code >> 8));
  sjis.push_back(static_cast<char>(code & 0xFF));
  return platform::fromCp932(sjis);
}

std::uint16_t kindOfCode(std::uint16_t code) {
  if (code >= 0x824F && code <= 0x8258) return kKindDigit;
  if (code >= 0x8260 && code <= 0x829A) return kKindLatin;
  if (code < 0x80) {
    if (code >= '0' && code <= '9') return kKindDigit;
    if ((code >= 'A' && code <= 'Z') || (code >= 'a' && code <= 'z')) return kKindLatin;
    return kKindSymbol;
  }
  if (code >= 0x829F && code <= 0x82F1) return kKindHiragana;
  if ((code >= 0x8340 && code <= 0x8396) || code == 0x815B) return kKindKatakana;  // ー goes with kana
  if (code == 0x8158 || code >= 0x889F) return kKindKanji;                      // 々 repeats a kanji
  return kKindSymbol;
}

}  // namespace recognition
