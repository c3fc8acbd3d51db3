#include "catalogue/full_width.h"

#include "platform/sjis_codec.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

struct Case {
  const char* name;
  std::string source;  // Shift-JIS
  std::string expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class ToFullWidthTable : public ::testing::TestWithParam<Case> {};

TEST_P(ToFullWidthTable, Converts) {
  const std::string out = ToFullWidth(GetParam().source);
  EXPECT_EQ(out, GetParam().expected) << platform::fromCp932(out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToFullWidthTable,
    ::testing::Values(
        Case{"ascii_keeps_case", "aZ09", sj("ａＺ０９")},
        Case{"ascii_specials", "\"'\\`~-", sj("”’￥｀￣－")},
        Case{"tab_and_space", "\t ", sj("　　")},
        Case{"voiced_pairs", sj("ｶﾞｺﾞﾄﾞﾊﾟﾎﾟｳﾞ"), sj("ガゴドパポヴ")},
        Case{"voicing_mark_alone", sj("ｱﾞ"), sj("ア゛")},
        Case{"long_sound_after_katakana", sj("ｱｰｶ-"), sj("アーカー")},
        Case{"long_sound_after_double_byte_katakana", sj("ア") + sj("ｰ"), sj("アー")},
        Case{"long_sound_without_katakana", sj("ｰa-"), sj("－ａ－")},
        Case{"long_sound_after_long_sound", sj("ｱｰｰ"), sj("アー－")},
        Case{"punctuation_kana", sj("｡｢｣､･ｦﾝ"), sj("。「」、・ヲン")},
        Case{"double_byte_copied", sj("漢字ｶﾅ"), sj("漢字カナ")},
        Case{"bytes_without_form_copied", std::string("\x80\x01", 2), std::string("\x80\x01", 2)},
        Case{"cut_lead_byte_copied", std::string("a\x88", 2), sj("ａ") + "\x88"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
