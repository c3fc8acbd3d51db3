#include "catalogue/full_width.h"

#include "platform/sjis_codec.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

using Sjis = std::array<std::uint8_t, 2>;

// Full-width forms of the single bytes, indexed by byte; a zero lead byte
// marks a byte without one. Built once from readable text through the codec.
struct SingleByteTable {
  std::array<Sjis, 256> forms{};
};

Sjis encodeOne(std::string_view utf8) {
  const std::string sjis = platform::toCp932(utf8).value_or(std::string());
  if (sjis.size() != 2) return {0, 0};
  return {static_cast<std::uint8_t>(sjis[0]), static_cast<std::uint8_t>(sjis[1])};
}

// Splits UTF-8 text into its characters.
std::vector<std::string> characters(std::string_view utf8) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    out.emplace_back(utf8.substr(i, n));
    i += n;
  }
  return out;
}

const SingleByteTable& singleBytes() {
  static const SingleByteTable table = [] {
    SingleByteTable t;
    t.forms[0x09] = encodeOne("　");
    t.forms[0x20] = encodeOne("　");
    // 0x21 to 0x7E: the full-width ASCII block, with the forms that
    // Japanese text uses for the quote, backslash, tilde and hyphen.
    for (int b = 0x21; b <= 0x7E; ++b) {
      const char32_t wide = U'\xFF01' + static_cast<char32_t>(b - 0x21);
      std::string utf8;
      utf8 += static_cast<char>(0xE0 | (wide >> 12));
      utf8 += static_cast<char>(0x80 | ((wide >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (wide & 0x3F));
      t.forms[b] = encodeOne(utf8);
    }
    t.forms[0x22] = encodeOne("”");
    t.forms[0x27] = encodeOne("’");
    t.forms[0x5C] = encodeOne("￥");
    t.forms[0x60] = encodeOne("｀");
    t.forms[0x7E] = encodeOne("￣");
    t.forms[0x2D] = encodeOne("－");
    const auto kana = characters(
        "。「」、・ヲァィゥェォャュョッ－アイウエオカキクケコサシスセソタチツテトナニヌネノ"
        "ハヒフヘホマミムメモヤユヨラリルレロワン゛");
    for (std::size_t i = 0; i < kana.size(); ++i) t.forms[0xA1 + i] = encodeOne(kana[i]);
    return t;
  }();
  return table;
}

// Voiced katakana from a half-width katakana and its voicing mark.
std::optional<Sjis> voicedPair(std::uint8_t kana, std::uint8_t mark) {
  struct Row {
    std::uint8_t first, last, mark;
    const char* forms;
  };
  static const Row rows[] = {
      {0xB6, 0xBA, 0xDE, "ガギグゲゴ"}, {0xBB, 0xBF, 0xDE, "ザジズゼゾ"},
      {0xC0, 0xC4, 0xDE, "ダヂヅデド"}, {0xCA, 0xCE, 0xDE, "バビブベボ"},
      {0xCA, 0xCE, 0xDF, "パピプペポ"}, {0xB3, 0xB3, 0xDE, "ヴ"},
  };
  for (const Row& row : rows) {
    if (mark != row.mark || kana < row.first || kana > row.last) continue;
    return encodeOne(characters(row.forms)[kana - row.first]);
  }
  return std::nullopt;
}

}  // namespace

std::string ToFullWidth(std::string_view source) {
  static const Sjis longSound = encodeOne("ー");
  const SingleByteTable& table = singleBytes();
  std::string out;
  out.reserve(source.size() * 2);
  bool previousKatakana = false;
  auto put = [&out](Sjis c) {
    out += static_cast<char>(c[0]);
    out += static_cast<char>(c[1]);
  };
  for (std::size_t i = 0; i < source.size();) {
    const auto b = static_cast<std::uint8_t>(source[i]);
    if (platform::isSjisLeadByte(b) && i + 1 < source.size()) {
      out.append(source.substr(i, 2));
      previousKatakana = b == 0x83;
      i += 2;
      continue;
    }
    if (i + 1 < source.size()) {
      if (auto voiced = voicedPair(b, static_cast<std::uint8_t>(source[i + 1]))) {
        put(*voiced);
        previousKatakana = true;
        i += 2;
        continue;
      }
    }
    const Sjis form = table.forms[b];
    if (form[0] != 0) {
      if (previousKatakana && (b == 0xB0 || b == 0x2D)) {
        put(longSound);
        previousKatakana = false;
      } else {
        put(form);
        previousKatakana = form[0] == 0x83 && form[1] <= 0x9D;
      }
    } else {
      out += static_cast<char>(b);
      previousKatakana = false;
    }
    ++i;
  }
  return out;
}
