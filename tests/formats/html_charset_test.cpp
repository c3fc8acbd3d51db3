#include "formats/html_charset.h"

#include "platform/sjis_codec.h"
#include "tests/formats/charset_fixtures.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

namespace {

using testsupport::iconvText;

// Kana, kanji, punctuation, full-width letters and the wave dash, which
// JIS tables and Windows map differently.
constexpr std::string_view kJapanese = "日本語の文書、カタカナ。ＡＢＣ〜！";

std::string sjis(std::string_view utf8) { return platform::toCp932(utf8).value(); }

TEST(HtmlCharset, DetectionFollowsTheDeclarationThenTheBytes) {
  const struct {
    const char* name;
    std::string html;
    mime::HtmlCharset expected;
  } cases[] = {
      {"meta euc-jp", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=EUC-JP\">", mime::kCharsetEucJp},
      {"meta x-euc-jp", "<META content=\"text/html; charset=x-euc-jp\">", mime::kCharsetEucJp},
      {"meta iso-2022-jp", "<meta charset=\"iso-2022-jp\">", mime::kCharsetIso2022Jp},
      {"meta shift_jis", "<meta charset=Shift_JIS>", mime::kCharsetShiftJis},
      {"meta x-sjis", "<meta charset=x-sjis>", mime::kCharsetShiftJis},
      {"meta iso-8859-1", "<meta charset=iso-8859-1>", mime::kCharsetIso8859},
      {"html5 utf-8", "<meta charset=\"utf-8\">\n" + std::string(kJapanese), mime::kCharsetUtf8},
      {"comment of an extracted part", "<!-- MIME charset=euc-jp -->\n<p>x", mime::kCharsetEucJp},
      {"euc-jp ends the scan", "<meta charset=shift_jis>\n<meta charset=euc-jp>\n<meta charset=utf-8>", mime::kCharsetEucJp},
      {"shift_jis does not", "<meta charset=shift_jis>\n<meta charset=iso-8859-1>", mime::kCharsetIso8859},
      {"charset outside a meta line", "<p>charset=euc-jp</p>", mime::kCharsetNone},
      {"undeclared JIS escapes", "<p>" + iconvText(kJapanese, "ISO-2022-JP") + "</p>", mime::kCharsetIso2022Jp},
      {"undeclared UTF-8", "<p>" + std::string(kJapanese) + "</p>", mime::kCharsetUtf8},
      {"undeclared Shift-JIS", "<p>" + sjis(kJapanese) + "</p>", mime::kCharsetShiftJis},
      {"undeclared EUC-JP", "<p>" + iconvText(kJapanese, "EUC-JP") + "</p>", mime::kCharsetEucJp},
      {"undeclared Latin-1", "<p>" + iconvText("Café crème brûlée à la façon", "ISO-8859-1") + "</p>", mime::kCharsetIso8859},
      {"MIME header wins over the meta line", "<!-- MIME charset=euc-jp -->\n<meta charset=utf-8>", mime::kCharsetEucJp},
      {"plain ASCII", "<p>hello</p>", mime::kCharsetNone},
  };
  for (const auto& c : cases) EXPECT_EQ(mime::detectHtmlCharset(c.html), c.expected) << c.name;
}

TEST(HtmlCharset, JapaneseCharsetsConvertToWhatWindowsWouldStore) {
  EXPECT_EQ(mime::iso2022JpToShiftJis(iconvText(kJapanese, "ISO-2022-JP")), sjis(kJapanese));
  EXPECT_EQ(mime::eucJpToShiftJis(iconvText(kJapanese, "EUC-JP")), sjis(kJapanese));
  // Half-width katakana: SS2 in EUC-JP, ESC ( I in JIS.
  EXPECT_EQ(mime::eucJpToShiftJis(iconvText("ｶﾀｶﾅ", "EUC-JP")), sjis("ｶﾀｶﾅ"));
  EXPECT_EQ(mime::iso2022JpToShiftJis("\x1B(I6@6E\x1B(B"), sjis("ｶﾀｶﾅ"));
  EXPECT_EQ(mime::toShiftJis(kJapanese, mime::kCharsetUtf8), sjis(kJapanese));
  EXPECT_EQ(mime::toShiftJis("as is \x82\xA0", mime::kCharsetShiftJis), "as is \x82\xA0");
}

TEST(HtmlCharset, BrokenJapaneseTextBecomesQuestionMarksNotGarbage) {
  EXPECT_EQ(mime::eucJpToShiftJis("a\xA4"), "a?");                  // lead byte at the end
  EXPECT_EQ(mime::eucJpToShiftJis("\x8F\xB0\xA1z"), "?z");          // JIS X 0212: no Shift-JIS code
  EXPECT_EQ(mime::eucJpToShiftJis("\x8E\x41"), "?A");               // SS2 without katakana
  EXPECT_EQ(mime::iso2022JpToShiftJis("\x1B$B\x30"), "?");          // half a character
  EXPECT_EQ(mime::iso2022JpToShiftJis("\x1B$B\x30\x21\r\n\x1B(Bx"), "\x88\x9F\r\nx");
  EXPECT_EQ(mime::iso2022JpToShiftJis("\x1B"), "\x1B");
}

TEST(HtmlCharset, ConvertedPageDeclaresShiftJis) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"<meta content=\"text/html; charset=x-euc-jp\">\r\n", "<meta content=\"text/html; charset=shift_jis\">\r\n"},
      {"<META CHARSET=\"ISO-2022-JP\">\n<p>iso-2022-jp</p>", "<META CHARSET=\"shift_jis\">\n<p>iso-2022-jp</p>"},
      {"<meta charset=euc-jp><meta charset=x-euc>", "<meta charset=shift_jis><meta charset=x-euc>"},
      {"<p>euc-jp</p>", "<p>euc-jp</p>"},
  };
  for (const auto& c : cases) EXPECT_EQ(mime::replaceMetaCharset(c.in), c.out);
}

TEST(HtmlCharset, PageTextLosesItsTagsEvenAcrossLines) {
  std::string html = iconvText(
      "<html><head><meta charset=\"euc-jp\"><title>題名</title></head>\n"
      "<body><p class=\"x\n y\">本文&amp;<b>太字</b></p><img\nsrc=\"a.gif\">後</body></html>\n",
      "EUC-JP");
  EXPECT_EQ(mime::htmlTextToShiftJis(html), sjis("題名\n本文&amp;太字後\n"));
}

TEST(HtmlCharset, ConvertFileToShiftJisWritesTheTextFile) {
  testsupport::TempDir dir;
  ASSERT_TRUE(testsupport::writeFile(dir.file("page.htm"), "<meta charset=utf-8><p>日本</p>"));
  ASSERT_TRUE(ConvertFileToShiftJis(dir.file("page.htm"), dir.file("page.txt")));
  EXPECT_EQ(testsupport::readFile(dir.file("page.txt")), sjis("日本"));
  EXPECT_FALSE(ConvertFileToShiftJis(dir.file("missing.htm"), dir.file("out.txt")));
  EXPECT_FALSE(ConvertFileToShiftJis(dir.path(), dir.file("out.txt")));
  EXPECT_FALSE(ConvertFileToShiftJis(dir.file("page.htm"), dir.file("no/such/folder/out.txt")));
}

}  // namespace
