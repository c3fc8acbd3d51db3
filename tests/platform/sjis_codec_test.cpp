#include "platform/sjis_codec.h"

#include "platform/cp932_forms.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Cp932Codec, RoundTripsJapaneseAndAscii) {
  const std::string text = "請求書 No.12 ｶﾀｶﾅ ①髙﨑";  // NEC and IBM extensions included
  auto sjis = toCp932(text);
  ASSERT_TRUE(sjis);
  EXPECT_EQ(fromCp932(*sjis), text);
  EXPECT_EQ(toCp932("日本")->size(), 4u);
  EXPECT_EQ(*toCp932("ｱ"), "\xB1");
}

struct MappedChar {
  const char* name;
  const char* in;
  const char* out;
};

void PrintTo(const MappedChar& c, std::ostream* os) { *os << c.name; }

class Cp932Mapping : public ::testing::TestWithParam<MappedChar> {};

TEST_P(Cp932Mapping, RoundTripChangesAsWindowsDid) {
  auto sjis = toCp932(GetParam().in);
  ASSERT_TRUE(sjis);
  EXPECT_EQ(fromCp932(*sjis), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Measured, Cp932Mapping,
                         ::testing::Values(MappedChar{"WaveDash", "〜", "～"},
                                           MappedChar{"Minus", "−", "－"},
                                           MappedChar{"DoubleBar", "‖", "∥"},
                                           MappedChar{"Not", "¬", "￢"},
                                           MappedChar{"Yen", "¥", "\\"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Typed look-alikes become the characters CP932 stores, so that a title
// reads back as typed; a single-byte result (¥ as '\\') is no look-alike.
TEST(Cp932Codec, TypedLookAlikesBecomeTheStoredForms) {
  EXPECT_EQ(toCp932Forms("請求書〜12月分 −1‖¢£¬"), "請求書～12月分 －1∥￠￡￢");
  EXPECT_EQ(toCp932Forms("¥100 한"), "¥100 한");
  EXPECT_EQ(toCp932Forms("見積書～（控）"), "見積書～（控）");
  const std::string mapped = toCp932Forms("〜−‖¢£¬");
  const auto sjis = toCp932(mapped);
  ASSERT_TRUE(sjis);
  EXPECT_EQ(fromCp932(*sjis), mapped);
}

TEST(Cp932Codec, UnencodableCharactersAreRefusedOrReplaced) {
  EXPECT_FALSE(toCp932("abc😀"));
  EXPECT_FALSE(toCp932("한국"));
  EXPECT_EQ(cp932Length("a😀"), -1);
  EXPECT_EQ(toCp932Lossy("a😀b"), "a?b");
}

TEST(Cp932Codec, Cp932LengthCountsShiftJisBytes) {
  EXPECT_EQ(cp932Length(""), 0);
  EXPECT_EQ(cp932Length("abc"), 3);
  EXPECT_EQ(cp932Length("あいう"), 6);
  EXPECT_EQ(cp932Length("ｱｲｳ"), 3);  // half-width kana are one byte
}

TEST(Cp932Codec, DamagedInputDecodesWithReplacement) {
  EXPECT_EQ(fromCp932("a\x82"), "a\xEF\xBF\xBD");      // lead byte cut off
  EXPECT_EQ(fromCp932("\xA0z"), "\xEF\xBF\xBDz");        // undefined single byte
  EXPECT_EQ(fromCp932(std::string("x\0y", 3)), std::string("x\0y", 3));
}

TEST(Utf8Helpers, TruncateNeverCutsACharacter) {
  EXPECT_EQ(utf8Truncate("あいう", 7), "あい");
  EXPECT_EQ(utf8Truncate("あいう", 6), "あい");
  EXPECT_EQ(utf8Truncate("あいう", 2), "");
  EXPECT_EQ(utf8Truncate("abc", 10), "abc");
  EXPECT_TRUE(utf8IsValid("あa"));
  EXPECT_FALSE(utf8IsValid("\xE3\x81"));
  EXPECT_FALSE(utf8IsValid("\xFF"));
}

TEST(Utf8Helpers, UpperCasesAsciiOnly) {
  EXPECT_EQ(asciiUpper("abcあｚé"), "ABCあｚé");
  EXPECT_TRUE(asciiEqualsIgnoreCase("Info.MDB", "info.mdb"));
  EXPECT_FALSE(asciiEqualsIgnoreCase("ａ", "Ａ"));
  EXPECT_TRUE(isSjisLeadByte(0x81) && isSjisLeadByte(0x9F) && isSjisLeadByte(0xE0) &&
              isSjisLeadByte(0xFC));
  EXPECT_FALSE(isSjisLeadByte(0x80) || isSjisLeadByte(0xA0) || isSjisLeadByte(0xDF) ||
               isSjisLeadByte(0xFD));
}
