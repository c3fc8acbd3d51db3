// Mails as people send them, through the reader and the text extraction
// that the full-text search uses: every text a mail carries must come out
// in valid Shift-JIS, and nothing else (headers, garbage) must.

#include "formats/charset_guess.h"
#include "formats/html_charset.h"
#include "formats/mht_reader.h"

#include "platform/sjis_codec.h"
#include "tests/formats/charset_fixtures.h"
#include "tests/support/test_env.h"

#include <QByteArray>

#include <gtest/gtest.h>

namespace {

using testsupport::iconvText;

std::string sjis(std::string_view utf8) { return platform::toCp932(utf8).value(); }
std::string b64(std::string_view bytes) {
  return QByteArray::fromStdString(std::string(bytes)).toBase64().toStdString();
}

// Valid Shift-JIS: iconv's strict CP932 reads every byte of it.
bool isValidShiftJis(const std::string& text) {
  try {
    iconvText(text, "UTF-8", "CP932");
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

struct MailCase {
  const char* name;
  std::string mail;
  std::vector<std::string> found;    // UTF-8 texts the extracted text holds
  std::vector<std::string> missing;  // UTF-8 texts it must not hold
};

std::vector<MailCase> mails() {
  const std::string simpleHeaders = "From: a@example.com\r\nTo: b@example.com\r\nSubject: test\r\nMIME-Version: 1.0\r\n";
  const std::string attached =
      "From: c@example.com\r\nSubject: inner subject\r\nMIME-Version: 1.0\r\n"
      "Content-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
      "--inner\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" +
      iconvText("添付されたメールの本文", "ISO-2022-JP") +
      "\r\n--inner\r\nContent-Type: text/html; charset=utf-8\r\n\r\n<p>inner html</p>\r\n--inner--\r\n";
  return {
      {"attached message",
       simpleHeaders + "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n--outer\r\n"
           "Content-Type: text/plain; charset=us-ascii\r\n\r\nouter text\r\n--outer\r\n"
           "Content-Type: message/rfc822\r\n\r\n" + attached + "\r\n--outer--\r\n",
       {"outer text", "添付されたメールの本文", "inner html"},
       {"inner subject", "c@example.com"}},
      {"attached message in base64",
       simpleHeaders + "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n--outer\r\n"
           "Content-Type: message/rfc822\r\nContent-Transfer-Encoding: base64\r\n\r\n" + b64(attached) +
           "\r\n--outer--\r\n",
       {"添付されたメールの本文"},
       {"inner subject"}},
      {"digest of messages without their own type",
       simpleHeaders + "Content-Type: multipart/digest; boundary=\"d\"\r\n\r\n--d\r\n\r\n"
           "From: one@example.com\r\nSubject: digest one\r\n\r\nbody of the first\r\n--d\r\n\r\n"
           "From: two@example.com\r\nSubject: digest two\r\nContent-Type: text/plain; charset=euc-jp\r\n\r\n" +
           iconvText("二通目の本文", "EUC-JP") + "\r\n--d--\r\n",
       {"body of the first", "二通目の本文"},
       {"digest one", "two@example.com"}},
      {"nested multipart reusing its parent's boundary",
       simpleHeaders + "Content-Type: multipart/mixed; boundary=\"same\"\r\n\r\n--same\r\n"
           "Content-Type: multipart/alternative; boundary=\"same\"\r\n\r\n--same\r\n"
           "Content-Type: text/plain\r\n\r\nalternative plain\r\n--same\r\n"
           "Content-Type: text/html\r\n\r\n<b>alternative html</b>\r\n--same--\r\n--same\r\n"
           "Content-Type: text/plain\r\n\r\nafter the inner one\r\n--same--\r\n",
       {"alternative plain", "alternative html", "after the inner one"},
       {}},
      {"boundary as RFC 2231 writes it",
       simpleHeaders + "Content-Type: multipart/mixed; boundary*=us-ascii'en'abc%2Ddef%3D\r\n\r\n--abc-def=\r\n"
           "Content-Type: text/plain\r\n\r\nextended boundary\r\n--abc-def=--\r\n",
       {"extended boundary"},
       {"--abc"}},
      {"boundary in RFC 2231 pieces",
       simpleHeaders + "Content-Type: multipart/mixed;\r\n boundary*0=\"first-\";\r\n boundary*1*=second%21\r\n\r\n"
           "--first-second!\r\nContent-Type: text/plain\r\n\r\npieced boundary\r\n--first-second!--\r\n",
       {"pieced boundary"},
       {"first-second"}},
      {"mbox From line before the headers",
       "From a@example.com Mon Jan  1 09:00:00 2024\r\n" + simpleHeaders +
           "Content-Type: text/plain; charset=utf-8\r\n\r\nメールボックスの一通\r\n",
       {"メールボックスの一通"},
       {}},
      {"type without subtype",
       simpleHeaders + "Content-Type: text; charset=utf-8\r\n\r\n副型のない本文\r\n",
       {"副型のない本文"},
       {}},
      {"no blank line after the headers",
       simpleHeaders + "Content-Type: multipart/mixed; boundary=b\r\n\r\n--b\r\n"
           "Content-Type: text/plain; charset=utf-8\r\n空行のない部分\r\n--b--\r\n",
       {"空行のない部分"},
       {}},
      {"no blank line after the message headers",
       simpleHeaders + "Content-Type: text/plain; charset=utf-8\r\n見出しに続く本文\r\n",
       {"見出しに続く本文"},
       {}},
      {"base64 declared, plain text given",
       simpleHeaders + "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n"
           "Plain words, never encoded: 平文です。\r\n",
       {"Plain words, never encoded: 平文です。"},
       {}},
      {"base64 with a mailing-list footer",
       simpleHeaders + "Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           b64("符号化された本文") + "\r\n_______________\r\nlist footer\r\n",
       {"符号化された本文", "list footer"},
       {}},
  };
}

// Reads the mail as the full-text search does: parts into files, each file
// into Shift-JIS text.
std::string extractedText(const std::string& mail, bool& ok) {
  testsupport::TempDir dir;
  EXPECT_TRUE(testsupport::writeFile(dir.file("mail.eml"), mail));
  std::vector<std::string> parts;
  ok = ExtractMhtParts(dir.file("mail.eml"), dir.path(), parts);
  std::string text;
  for (const std::string& part : parts) {
    EXPECT_TRUE(ConvertFileToShiftJis(part, dir.file("t.txt")));
    text += testsupport::readFile(dir.file("t.txt")) + "\n";
  }
  return text;
}

TEST(MailReader, ReadsWhatMailsCarry) {
  for (const MailCase& c : mails()) {
    SCOPED_TRACE(c.name);
    bool ok = false;
    const std::string text = extractedText(c.mail, ok);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(isValidShiftJis(text));
    for (const std::string& f : c.found) EXPECT_NE(text.find(sjis(f)), std::string::npos) << f;
    for (const std::string& m : c.missing) EXPECT_EQ(text.find(sjis(m)), std::string::npos) << m;
  }
}

// ---------------------------------------------------------------- charsets

struct CharsetCase {
  const char* name;
  std::string declared;  // the part's charset parameter, "" for none
  std::string bytes;     // the part's body
  std::string expected;  // UTF-8 of what the Shift-JIS text says
};

std::vector<CharsetCase> charsetCases() {
  const std::string japanese = "日本語の文書、カタカナ。";
  return {
      {"ISO-8859-1: what Shift-JIS lacks is ?", "iso-8859-1", iconvText("Café crème", "ISO-8859-1"), "Caf? cr?me"},
      {"ISO-8859-1 read as Windows does: its quotes", "ISO-8859-1", "\x93quoted\x94", "“quoted”"},
      {"ISO-8859-5: Cyrillic has Shift-JIS codes", "iso-8859-5", iconvText("Привет", "ISO-8859-5"), "Привет"},
      {"windows-1252", "windows-1252", iconvText("‘single’ – dash", "WINDOWS-1252"), "‘single’ ? dash"},
      {"KOI8-R", "koi8-r", iconvText("Мир", "KOI8-R"), "Мир"},
      {"labelled us-ascii, holding UTF-8", "us-ascii", japanese, japanese},
      {"labelled us-ascii, holding Latin-1", "us-ascii", iconvText("naïve café", "ISO-8859-1"), "na?ve caf?"},
      {"undeclared EUC-JP", "", iconvText(japanese, "EUC-JP"), japanese},
      {"undeclared Shift-JIS", "", sjis(japanese), japanese},
      {"undeclared ISO-2022-JP", "", iconvText(japanese, "ISO-2022-JP"), japanese},
      {"EUC-JP with cells only JIS X 0213 fills", "euc-jp", iconvText("漢", "EUC-JP") + "\xA9\xA1\xAD\xA1\xA2\xAF",
       "漢???"},
      {"ISO-2022-JP-2004 plane 1: JIS X 0208 cells and others", "iso-2022-jp",
       "\x1B$(Q\x34\x41\x29\x21\x1B(B", "漢?"},
      {"Shift-JIS with a broken pair", "shift_jis", sjis("前") + "\x85\x20" + sjis("後") + "\xFF", "前? 後?"},
      {"ISO-2022-JP with stray 8-bit bytes", "iso-2022-jp", "a\xE9" "b", "a?b"},
      {"an unknown charset name: the bytes tell", "x-unheard-of", iconvText(japanese, "EUC-JP"), japanese},
  };
}

TEST(MailReader, TextInAnyCharsetBecomesValidShiftJis) {
  for (const CharsetCase& c : charsetCases()) {
    SCOPED_TRACE(c.name);
    std::string mail = "Subject: x\r\nContent-Type: text/plain" +
                       (c.declared.empty() ? std::string() : "; charset=" + c.declared) +
                       "\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + c.bytes + "\r\n";
    bool ok = false;
    const std::string text = extractedText(mail, ok);
    ASSERT_TRUE(ok);
    EXPECT_TRUE(isValidShiftJis(text));
    const std::size_t first = text.find_first_not_of("\r\n");
    const std::size_t last = text.find_last_not_of("\r\n");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.substr(first, last + 1 - first), sjis(c.expected));
  }
}

// The table of JIS X 0208 cells agrees with glibc's EUC-JP, cell by cell.
TEST(CharsetGuess, JisX0208CellsAreThoseOfEucJp) {
  int agreed = 0;
  for (int row = 1; row <= 94; ++row)
    for (int cell = 1; cell <= 94; ++cell) {
      const std::string euc{static_cast<char>(row + 0xA0), static_cast<char>(cell + 0xA0)};
      bool known = true;
      try {
        iconvText(euc, "UTF-8", "EUC-JP");
      } catch (const std::exception&) {
        known = false;
      }
      EXPECT_EQ(mime::isJisX0208Cell(row, cell), known) << row << "-" << cell;
      agreed += known ? 1 : 0;
    }
  EXPECT_EQ(agreed, 6879);
}

TEST(CharsetGuess, TellsJapaneseCharsetsApartFromTheBytes) {
  const std::string texts[] = {
      "日本語の文書です。",
      "カタカナとひらがな、漢字の混じった文。",
      "ｶﾀｶﾅ半角と全角の混在した本文",
      "短い",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    EXPECT_EQ(mime::guessCharsetOfBytes(iconvText(text, "EUC-JP")), mime::kCharsetEucJp);
    EXPECT_EQ(mime::guessCharsetOfBytes(sjis(text)), mime::kCharsetShiftJis);
    EXPECT_EQ(mime::guessCharsetOfBytes(text), mime::kCharsetUtf8);
    // (ISO-2022-JP has no half-width katakana)
    if (text.find("ｶ") == std::string::npos) {
      EXPECT_EQ(mime::guessCharsetOfBytes(iconvText(text, "ISO-2022-JP")), mime::kCharsetIso2022Jp);
    }
  }
  EXPECT_EQ(mime::guessCharsetOfBytes("plain ASCII"), mime::kCharsetNone);
  EXPECT_EQ(mime::guessCharsetOfBytes(iconvText("Crème brûlée, s'il vous plaît", "ISO-8859-1")),
            mime::kCharsetIso8859);
  // A byte order mark says UTF-8, even before a broken sequence.
  EXPECT_EQ(mime::guessCharsetOfBytes("\xEF\xBB\xBF" + sjis("日本語")), mime::kCharsetUtf8);
}

// Plain texts: what is not Shift-JIS is converted; Shift-JIS, ASCII and
// what no Japanese charset reads are searched as they stand.
TEST(CharsetGuess, PlainTextsAreConvertedOnlyWhenTheyAreNotShiftJis) {
  const std::string text = "日本語の文書です。";
  std::string out;
  for (const std::string& other : {text, "\xEF\xBB\xBF" + text, iconvText(text, "EUC-JP"),
                                   iconvText(text, "ISO-2022-JP")}) {
    out.clear();
    EXPECT_TRUE(mime::plainTextToShiftJis(other, out));
    EXPECT_EQ(out, sjis(text));
  }
  for (const std::string& same : {sjis(text), std::string("plain ASCII"), sjis("ｶﾀｶﾅばかり") + "\xFF\xFE",
                                  iconvText("Crème brûlée", "ISO-8859-1")})
    EXPECT_FALSE(mime::plainTextToShiftJis(same, out));
}

}  // namespace
