#include "formats/mht_reader.h"

#include "formats/html_charset.h"
#include "platform/sjis_codec.h"
#include "tests/formats/charset_fixtures.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace {

using testsupport::iconvText;
using testsupport::readFile;
using testsupport::writeFile;

constexpr std::string_view kText = "日本語の本文です。";

std::string sjis(std::string_view utf8) { return platform::toCp932(utf8).value(); }

// Quoted-printable as browsers write it: every byte above 0x7E and "=" escaped,
// soft breaks before 76 columns.
std::string qp(std::string_view bytes) {
  std::string out;
  std::size_t column = 0;
  for (char ch : bytes) {
    auto c = static_cast<unsigned char>(ch);
    std::string piece;
    if (c == '\r' || c == '\n') {  // hard line breaks stay
      out += ch;
      column = 0;
      continue;
    }
    if (c == '=' || c >= 0x7F || c == 0x1B) {
      static const char* hex = "0123456789ABCDEF";
      piece = {'=', hex[c >> 4], hex[c & 15]};
    } else {
      piece = std::string(1, ch);
    }
    if (column + piece.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += piece;
    column += piece.size();
  }
  return out;
}

std::string html(std::string_view charset, std::string_view text) {
  return "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
         std::string(charset) + "\"></head>\r\n<body><p>" + std::string(text) + "</p></body></html>\r\n";
}

struct BrowserFixture {
  const char* name;
  std::string mht;
  std::vector<std::string> bodies;  // extracted files, charset comment included
};

std::vector<BrowserFixture> browserFixtures() {
  std::string utf8Page = html("utf-8", kText);
  std::string jisPage = iconvText(html("iso-2022-jp", kText), "ISO-2022-JP");
  std::string eucPage = iconvText(html("euc-jp", kText), "EUC-JP");
  std::string sjisPage = sjis(html("shift_jis", kText));
  const std::string gifPart =
      "Content-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n"
      "Content-Location: http://example.com/a.gif\r\n\r\nR0lGODlhAQABAAAAACw=\r\n";
  return {
      {"browser quoted-printable utf-8 with closing delimiter",
       "From: <Saved by Blink>\r\nSnapshot-Content-Location: http://example.com/\r\n"
       "Subject: =?utf-8?Q?x?=\r\nMIME-Version: 1.0\r\nContent-Type: multipart/related;\r\n"
       "\ttype=\"text/html\";\r\n\tboundary=\"----MultipartBoundary--abc----\"\r\n\r\n\r\n"
       "------MultipartBoundary--abc----\r\nContent-Type: text/html\r\nContent-ID: <frame-1@mhtml.blink>\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\nContent-Location: http://example.com/\r\n\r\n" +
           qp(utf8Page) + "\r\n------MultipartBoundary--abc----\r\n" + gifPart +
           "\r\n------MultipartBoundary--abc------\r\n",
       {utf8Page}},
      {"old browser iso-2022-jp and shift_jis parts, unquoted boundary, epilogue",
       "MIME-Version: 1.0\r\nContent-Type: multipart/related; boundary=NextPart_1; type=text/html\r\n\r\n"
       "This is a multi-part message in MIME format.\r\n\r\n--NextPart_1\r\n"
       "Content-Type: text/html;\r\n\tcharset=\"iso-2022-jp\"\r\nContent-Transfer-Encoding: quoted-printable\r\n\r\n" +
           qp(jisPage) + "\r\n--NextPart_1\r\nContent-Type: text/html; charset=Shift_JIS\r\n"
           "Content-Transfer-Encoding: base64\r\n\r\n" +
           QByteArray::fromStdString(sjisPage).toBase64().toStdString() +
           "\r\n--NextPart_1--\r\n\r\nepilogue --NextPart_1\r\n",
       {"<!-- MIME charset=iso-2022-jp -->\n" + jisPage, "<!-- MIME charset=shift_jis -->\n" + sjisPage}},
      {"mail with nested alternative in euc-jp, 8bit",
       "From: a@example.com\r\nSubject: test\r\nMIME-Version: 1.0\r\n"
       "Content-Type: multipart/mixed; boundary=\"outer\"\r\n\r\n--outer\r\n"
       "Content-Type: multipart/alternative; boundary=\"outer-inner\"\r\n\r\n--outer-inner\r\n"
       "Content-Type: text/plain; charset=x-euc\r\n\r\n" + iconvText(kText, "EUC-JP") +
           "\r\n--outer-inner\r\nContent-Type: text/html; charset=EUC-JP\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" +
           eucPage + "\r\n--outer-inner--\r\n\r\n--outer\r\n" + gifPart + "--outer--\r\n",
       {"<!-- MIME charset=euc-jp -->\n" + iconvText(kText, "EUC-JP"),
        "<!-- MIME charset=euc-jp -->\n" + eucPage}},
      {"single-part mail",
       "Subject: x\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + std::string(kText) + "\r\n",
       {"<!-- MIME charset=utf-8 -->\n" + std::string(kText) + "\r\n"}},
  };
}

TEST(MhtReader, ReadsWhatBrowsersAndMailersWrite) {
  for (const auto& fixture : browserFixtures()) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("in.mht"), fixture.mht));
    std::vector<std::string> parts;
    ASSERT_TRUE(ExtractMhtParts(dir.file("in.mht"), dir.path(), parts)) << fixture.name;
    ASSERT_EQ(parts.size(), fixture.bodies.size()) << fixture.name;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_EQ(parts[i], dir.file(std::to_string(i + 1) + ".htm"));
      EXPECT_EQ(readFile(parts[i]), fixture.bodies[i]) << fixture.name << " part " << i + 1;
      // What the full-text search then scans.
      ASSERT_TRUE(ConvertFileToShiftJis(parts[i], dir.file("t.txt")));
      EXPECT_NE(readFile(dir.file("t.txt")).find(sjis(kText.substr(0, 9))), std::string::npos)
          << fixture.name << " part " << i + 1;
    }
  }
}

TEST(MhtReader, DamagedFilesFailCleanly) {
  std::string good = browserFixtures()[0].mht;
  std::string deep = "Content-Type: multipart/mixed; boundary=b0\r\n\r\n";
  for (int i = 0; i < 100; ++i)
    deep += "--b" + std::to_string(i) + "\r\nContent-Type: multipart/mixed; boundary=b" +
            std::to_string(i + 1) + "\r\n\r\n";
  std::string many = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
  for (int i = 0; i < 1001; ++i) many += "--b\r\nContent-Type: text/plain\r\n\r\nx\r\n";
  const std::pair<const char*, std::string> cases[] = {
      {"empty", ""},
      {"no header", "\x89PNG\r\n\x1A\n binary"},
      {"multipart without boundary", "Content-Type: multipart/related\r\n\r\n--x\r\n"},
      {"boundary never found", "Content-Type: multipart/related; boundary=\"zz\"\r\n\r\n--z\r\nbody"},
      {"empty boundary", "Content-Type: multipart/related; boundary=\"\"\r\n\r\n--\r\n"},
      {"nested too deep", deep},
      {"too many parts", many},
  };
  for (const auto& [name, bytes] : cases) {
    testsupport::TempDir dir;
    ASSERT_TRUE(writeFile(dir.file("in.mht"), bytes));
    std::vector<std::string> parts;
    EXPECT_FALSE(ExtractMhtParts(dir.file("in.mht"), dir.path(), parts)) << name;
  }
  // Truncated anywhere: never a crash. A cut in a part's headers may leave
  // a part without type, which is text by default: two parts at most.
  for (std::size_t cut = 0; cut < good.size(); cut += 7) {
    std::size_t count = 0;
    mime::parseMhtTextParts(std::string_view(good).substr(0, cut), [&](const mime::MhtTextPart&) {
      ++count;
      return true;
    });
    EXPECT_LE(count, 2u);
  }
}

TEST(MhtReader, RefusesWhatItCannotOpenOrIsTooLarge) {
  testsupport::TempDir dir;
  std::vector<std::string> parts;
  EXPECT_FALSE(ExtractMhtParts(dir.file("missing.mht"), dir.path(), parts));
  EXPECT_FALSE(ExtractMhtParts(dir.path(), dir.path(), parts));
  // A sparse file larger than any page with its images is refused unread.
  int fd = ::open(dir.file("huge.mht").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, 600ll << 20), 0);
  ::close(fd);
  EXPECT_FALSE(ExtractMhtParts(dir.file("huge.mht"), dir.path(), parts));
  EXPECT_TRUE(parts.empty());
  // A part that cannot be written stops the reading.
  ASSERT_TRUE(writeFile(dir.file("in.mht"), browserFixtures()[3].mht));
  EXPECT_FALSE(ExtractMhtParts(dir.file("in.mht"), dir.file("no/folder"), parts));
}

}  // namespace
