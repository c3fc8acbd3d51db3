// The full-text wrapper: which file of an item is searched, web pages and
// mails in their text, the extraction programs, and what is deleted after.

#include "catalogue/fulltext_search.h"

#include "catalogue/office_archive_text.h"

#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <QFont>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>
#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <utility>
#include <vector>

namespace {

using testsupport::fileExists;
using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }
std::size_t officeMemberLimit() { return officetext::kMaxMemberBytes; }

ItemInfo item(const std::string& title, const std::string& ext, int imageLevel, int fullTextLevel,
              const std::string& textExt = {}) {
  ItemInfo i;
  i.ItemNo = 1;
  i.Title = title;
  i.Ext = ext;
  i.ImageLevel = imageLevel;
  i.FullTextLevel = fullTextLevel;
  i.TextExt = textExt;
  return i;
}

class Fulltext : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(search.Init(dir.path())); }
  int Hit(const ItemInfo& i) {
    int hit = -1;
    EXPECT_TRUE(search.SearchItemFile(dir.path(), i, hit)) << search.LastError();
    return hit;
  }
  testsupport::TempDir dir;
  FulltextSearch search;
};

TEST(JoinWords, ByMode) {
  const std::vector<std::string> w = {"abc", "de"};
  EXPECT_EQ(FulltextSearch::JoinWords(w, fulltextmode::kContains), "*abc* #or# *de*");
  EXPECT_EQ(FulltextSearch::JoinWords(w, fulltextmode::kExact), "\"abc\" #or# \"de\"");
  EXPECT_EQ(FulltextSearch::JoinWords(w, fulltextmode::kPrefix), "abc* #or# de*");
  EXPECT_EQ(FulltextSearch::JoinWords(w, fulltextmode::kSuffix), "*abc #or# *de");
  EXPECT_EQ(FulltextSearch::JoinWords(w, 99), " #or# ");
  EXPECT_EQ(FulltextSearch::JoinWords({}, 0), "");
  EXPECT_EQ(FulltextSearch::JoinWords({"say \"hi\""}, 0), "\"say \"\"hi\"\"\"");
}

TEST(FulltextInit, RefusesAnEmptyOrTooLongLibraryFolder) {
  FulltextSearch s;
  EXPECT_FALSE(s.Init(""));
  EXPECT_EQ(s.LastError(), "DllPathが長すぎます。");
  EXPECT_FALSE(s.Init("/" + std::string(260, 'x')));
  EXPECT_EQ(s.LastError(), "DllPathが長すぎます。");
  EXPECT_TRUE(s.Init("/" + std::string(259, 'x')));
}

TEST_F(Fulltext, AttachedTextOfAnImageIsSearchedAndKept) {
  writeFile(dir.file("p.bmp.TXT"), sj("請求書の金額"));
  ASSERT_TRUE(search.RegisterString({"金額"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("p", "bmp", 1, 1, "TXT")), 1);
  EXPECT_TRUE(fileExists(dir.file("p.bmp.TXT")));
  ASSERT_TRUE(search.RegisterString({"住所"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("p", "bmp", 1, 1, "TXT")), 0);
}

TEST_F(Fulltext, ImageWithoutTextIsNeverAHit) {
  writeFile(dir.file("p.bmp"), "金額");
  ASSERT_TRUE(search.RegisterString({"a"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("p", "bmp", 1, 0)), 0);
}

TEST_F(Fulltext, DocumentItselfAtLevelThree) {
  writeFile(dir.file("memo.txt"), sj("会議の議事録"));
  ASSERT_TRUE(search.RegisterString({"議事録"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("memo", "txt", 0, 3)), 1);
  EXPECT_TRUE(fileExists(dir.file("memo.txt")));
}

TEST_F(Fulltext, WebPageIsSearchedInItsTextWithoutTags) {
  writeFile(dir.file("page.HTM"),
            "<html><head><meta charset=\"utf-8\"></head><body>見積<b>書</b> <a href=\"x\">link</a>"
            "</body></html>");
  ASSERT_TRUE(search.RegisterString({"見積書"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("page", "HTM", 0, 1)), 1);
  ASSERT_TRUE(search.RegisterString({"href"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("page", "HTM", 0, 1)), 0);
  EXPECT_FALSE(fileExists(search.WorkTextPath()));
}

const char* kMail =
    "From: a@example.com\r\n"
    "Subject: test\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"b1\"\r\n"
    "\r\n"
    "--b1\r\n"
    "Content-Type: text/plain; charset=\"utf-8\"\r\n"
    "Content-Transfer-Encoding: base64\r\n"
    "\r\n"
    "5pys5paH44Gu44OG44Kt44K544OI\r\n"  // 本文のテキスト
    "--b1\r\n"
    "Content-Type: text/html; charset=\"iso-2022-jp\"\r\n"
    "\r\n"
    "<p>\x1b$B;qNA\x1b(B</p>\r\n"  // 資料
    "--b1--\r\n";

TEST_F(Fulltext, MailAndMimeHtmlAreSearchedInEveryTextPart) {
  writeFile(dir.file("m.eml"), kMail);
  writeFile(dir.file("m.mht"), kMail);
  for (const char* ext : {"eml", "mht"}) {
    ASSERT_TRUE(search.RegisterString({"テキスト"}, fulltextmode::kContains));
    EXPECT_EQ(Hit(item("m", ext, 0, 1)), 1) << ext;
    ASSERT_TRUE(search.RegisterString({"資料"}, fulltextmode::kContains));
    EXPECT_EQ(Hit(item("m", ext, 0, 1)), 1) << ext;
    ASSERT_TRUE(search.RegisterString({"p"}, fulltextmode::kExact));
    EXPECT_EQ(Hit(item("m", ext, 0, 1)), 0) << ext;
  }
}

TEST_F(Fulltext, ExtractorOutputIsSearched) {
  const std::string fake = dir.file("fake-catdoc");
  writeFile(fake, "#!/bin/sh\n[ \"$1\" = -d ] || exit 3\nprintf '契約書の本文'\n");
  ::chmod(fake.c_str(), 0755);
  search.SetExtractorPrograms(fake, fake);
  writeFile(dir.file("c.doc"), "binary");
  ASSERT_TRUE(search.RegisterString({"契約書"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("c", "doc", 0, 1)), 1);
  EXPECT_EQ(search.NoTextCount(), 0);
  EXPECT_TRUE(fileExists(dir.file("c.doc")));
  EXPECT_FALSE(fileExists(search.WorkTextPath()));
}

TEST_F(Fulltext, NoExtractorMeansNoTextReportedNeverAHit) {
  search.SetExtractorPrograms(dir.file("no-such-catdoc"), dir.file("no-such-xls2csv"));
  writeFile(dir.file("c.doc"), "契約書");
  writeFile(dir.file("s.xls"), "契約書");
  writeFile(dir.file("p.pdf"), "契約書");
  ASSERT_TRUE(search.RegisterString({"契約書"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("c", "doc", 0, 1)), 0);
  EXPECT_EQ(Hit(item("s", "xls", 0, 1)), 0);
  EXPECT_EQ(Hit(item("p", "pdf", 0, 1)), 0);
  EXPECT_EQ(search.NoTextCount(), 3);
  EXPECT_NE(search.LastNoTextReason().find("p.pdf"), std::string::npos);
}

TEST_F(Fulltext, FailingExtractorIsNoText) {
  const std::string fake = dir.file("failing");
  writeFile(fake, "#!/bin/sh\necho 契約書\nexit 1\n");
  ::chmod(fake.c_str(), 0755);
  search.SetExtractorPrograms(fake, fake);
  writeFile(dir.file("c.doc"), "x");
  ASSERT_TRUE(search.RegisterString({"契約書"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("c", "doc", 0, 1)), 0);
  EXPECT_EQ(search.NoTextCount(), 1);
}

// A zip archive of the given members, made with libzip.
void writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& members) {
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(archive, nullptr);
  for (const auto& [name, body] : members) {
    zip_source_t* source = zip_source_buffer(archive, body.data(), body.size(), 0);
    ASSERT_NE(source, nullptr);
    ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8), 0);
  }
  ASSERT_EQ(zip_close(archive), 0);
}

const char* kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
const char* kA =
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"";
const char* kText = "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"";

struct OfficeCase {
  const char* name;
  const char* ext;
  std::vector<std::pair<std::string, std::string>> members;
  std::vector<std::string> found;     // each a hit
  std::vector<std::string> notFound;  // each no hit
};

class OfficeArchive : public Fulltext, public ::testing::WithParamInterface<OfficeCase> {};

TEST_P(OfficeArchive, TextOfTheDocumentIsSearched) {
  const OfficeCase& c = GetParam();
  writeZip(dir.file(std::string("d.") + c.ext), c.members);
  for (const std::string& word : c.found) {
    ASSERT_TRUE(search.RegisterString({word}, fulltextmode::kContains));
    EXPECT_EQ(Hit(item("d", c.ext, 0, 1)), 1) << word;
  }
  for (const std::string& word : c.notFound) {
    ASSERT_TRUE(search.RegisterString({word}, fulltextmode::kContains));
    EXPECT_EQ(Hit(item("d", c.ext, 0, 1)), 0) << word;
  }
  EXPECT_EQ(search.NoTextCount(), 0) << search.LastNoTextReason();
  EXPECT_FALSE(fileExists(search.WorkTextPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, OfficeArchive,
    ::testing::Values(
        OfficeCase{"Docx",
                   "docx",
                   {{"[Content_Types].xml", "<Types/>"},
                    {"word/document.xml",
                     std::string("<w:document ") + kW +
                         "><w:body><w:p><w:r><w:t>契約</w:t></w:r><w:r><w:t xml:space=\"preserve\">書の"
                         "</w:t></w:r><w:r><w:delText>削除済み</w:delText></w:r></w:p>"
                         "<w:p><w:r><w:t>本文</w:t></w:r></w:p></w:body></w:document>"},
                    {"word/footer1.xml", std::string("<w:ftr ") + kW + "><w:p><w:r><w:t>社外秘</w:t></w:r></w:p></w:ftr>"}},
                   {"契約書の", "本文", "社外秘"},
                   {"削除済み", "w:t"}},
        OfficeCase{"Xlsx",
                   "xlsx",
                   {{"xl/sharedStrings.xml",
                     "<sst><si><t>見積書</t><rPh sb=\"0\" eb=\"3\"><t>ミツモリショ</t></rPh></si>"
                     "<si><r><t>合計</t></r><r><t>金額</t></r></si></sst>"},
                    {"xl/worksheets/sheet1.xml",
                     "<worksheet><sheetData><row><c t=\"s\"><v>1</v></c><c><v>98765</v></c>"
                     "<c t=\"inlineStr\"><is><t>備考欄</t></is></c></row></sheetData></worksheet>"}},
                   {"見積書", "合計金額", "98765", "備考欄"},
                   {"ミツモリ", "98765備考"}},
        OfficeCase{"Pptx",
                   "pptx",
                   {{"ppt/slides/slide10.xml", std::string("<p:sld ") + kA + "><a:p><a:r><a:t>最後</a:t></a:r></a:p></p:sld>"},
                    {"ppt/slides/slide2.xml", std::string("<p:sld ") + kA + "><a:p><a:r><a:t>二枚目</a:t></a:r></a:p></p:sld>"},
                    {"ppt/slides/_rels/slide2.xml.rels", "<Relationships>関係</Relationships>"}},
                   {"二枚目", "最後"},
                   {"関係"}},
        OfficeCase{"OpenDocument",
                   "odt",
                   {{"mimetype", "application/vnd.oasis.opendocument.text"},
                    {"content.xml",
                     std::string("<office:document-content ") + kText +
                         " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">"
                         "<office:body><office:text><text:h>議事録</text:h>"
                         "<text:p>出席<text:s text:c=\"2\"/>者</text:p></office:text></office:body>"
                         "</office:document-content>"},
                    {"styles.xml", "<styles>様式</styles>"}},
                   {"議事録", "出席"},
                   {"出席者", "様式"}}),
    [](const ::testing::TestParamInfo<OfficeCase>& info) { return std::string(info.param.name); });

TEST_F(Fulltext, DamagedOrOversizedArchiveIsNoText) {
  writeFile(dir.file("broken.docx"), "PK\x03\x04 not really a zip");
  writeZip(dir.file("bad.xlsx"), {{"xl/sharedStrings.xml", "<sst><si><t>見積書</t></sst>"}});
  writeZip(dir.file("empty.pptx"), {{"docProps/app.xml", "<Properties/>"}});
  // Inflates past the limit from a few kilobytes.
  writeZip(dir.file("bomb.odt"), {{"content.xml", "<a>" + std::string(officeMemberLimit() + 1, ' ') + "見積書</a>"}});
  ASSERT_TRUE(search.RegisterString({"見積書"}, fulltextmode::kContains));
  for (const auto& [title, ext] : std::vector<std::pair<std::string, std::string>>{
           {"broken", "docx"}, {"bad", "xlsx"}, {"empty", "pptx"}, {"bomb", "odt"}}) {
    search.ResetNoTextCount();
    EXPECT_EQ(Hit(item(title, ext, 0, 1)), 0) << title;
    EXPECT_EQ(search.NoTextCount(), 1) << title;
    EXPECT_NE(search.LastNoTextReason().find(title + "." + ext), std::string::npos) << search.LastNoTextReason();
  }
}

TEST_F(Fulltext, PdfTextComesFromPdftotext) {
  if (::access("/usr/bin/pdftotext", X_OK) != 0) GTEST_SKIP() << "poppler-utils is not installed";
  search.SetPdfExtractorProgram("/usr/bin/pdftotext");
  {
    QPdfWriter pdf(QString::fromStdString(dir.file("-p.pdf")));
    QPainter painter(&pdf);
    painter.setFont(QFont(QStringLiteral("Noto Sans CJK JP"), 14));
    painter.drawText(QPointF(200, 400), QStringLiteral("納品書の控え"));
  }
  ASSERT_TRUE(search.RegisterString({"納品書"}, fulltextmode::kContains));
  // A name that reads like an option is still the document.
  EXPECT_EQ(Hit(item("-p", "pdf", 0, 1)), 1) << search.LastNoTextReason();
  ASSERT_TRUE(search.RegisterString({"請求書"}, fulltextmode::kContains));
  EXPECT_EQ(Hit(item("-p", "pdf", 0, 1)), 0);
  EXPECT_EQ(search.NoTextCount(), 0);
  EXPECT_TRUE(fileExists(dir.file("-p.pdf")));

  search.SetPdfExtractorProgram(dir.file("no-such-pdftotext"));
  EXPECT_EQ(Hit(item("-p", "pdf", 0, 1)), 0);
  EXPECT_EQ(search.NoTextCount(), 1);
  EXPECT_NE(search.LastNoTextReason().find("pdftotext is not installed"), std::string::npos);
}

TEST_F(Fulltext, WordWithoutShiftJisFormIsRefused) {
  EXPECT_FALSE(search.RegisterString({"😀"}, fulltextmode::kContains));
  EXPECT_EQ(search.LastError(), "RegisterSearchStringでのエラー");
}

}  // namespace
