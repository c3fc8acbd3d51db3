// The full-text wrapper: which file of an item is searched, web pages and
// mails in their text, the extraction programs, and what is deleted after.

#include "catalogue/fulltext_search.h"

#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testsupport::fileExists;
using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

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

TEST_F(Fulltext, WordWithoutShiftJisFormIsRefused) {
  EXPECT_FALSE(search.RegisterString({"😀"}, fulltextmode::kContains));
  EXPECT_EQ(search.LastError(), "RegisterSearchStringでのエラー");
}

}  // namespace
