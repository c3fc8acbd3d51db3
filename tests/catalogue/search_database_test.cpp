// The cross-folder search over a generated desktop: each field and mode,
// dates, file kinds, full text, narrowing, the hit walk with the accessors,
// a damaged folder, the folder the browser holds open, failures.

#include "catalogue/search_database.h"

#include "catalogue/catalogue_text.h"
#include "formats/mime_codecs.h"
#include "platform/file_ops.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>

#include <set>

#include <unistd.h>

namespace {

using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

struct Row {
  int no = 0;
  std::string title = {};
  std::string ext = {};
  int imageLevel = 0;
  int fullText = 0;
  std::string textExt = {};
  int date = 20260101;
  int stack = 0;
  int page = 0;
};

const char* kMail =
    "From: a@example.com\r\nSubject: t\r\nMIME-Version: 1.0\r\n"
    "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
    "--b1\r\nContent-Type: text/plain; charset=\"utf-8\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    "5pys5paH44Gu44OG44Kt44K544OI\r\n--b1--\r\n";  // 本文のテキスト

class Desktop : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/desk";
    QDir().mkpath(QString::fromStdString(root));
    ASSERT_EQ(platform::copyFileReplacing(cataloguetest::templateDbFolder() + "/infos.mdb",
                                          root + "/infos.mdb"),
              0);
    // Alpha: singles, a stack, attributes, a web page, an image with text.
    Folder("Alpha",
           {{1, "invoice", "pdf"},
            {2, "photo", "jpg", 1, 1, "TXT", 20250505},
            {3, "page1", "bmp", 1, 0, "", 20200101, 1, 1},
            {4, "page2", "bmp", 1, 0, "", 20200101, 1, 2},
            {5, "a_b", "txt"},
            {6, "axb", "txt"},
            {7, "web", "htm", 0, 1}});
    Stack("Alpha", 1, "Report", 2, 20240101);
    Attribute("Alpha", "CreatorMST", "Creator", 1, "O'Neil");
    Attribute("Alpha", "KeywordMST", "Keyword", 1, "tax / 2026");
    Attribute("Alpha", "CommentMST", "Comment", 1, "100% paid");
    Attribute("Alpha", "CommentMST", "Comment", 6, "1000 paid");
    Attribute("Alpha", "CommentMST", "Comment", 5, "pipe|line");
    Attribute("Alpha", "CreatorMST", "Creator", 6, "ONeil");
    writeFile(root + "/Alpha/photo.jpg.TXT", sj("領収書の金額"));
    writeFile(root + "/Alpha/web.htm", "<html><body><b>見積</b>書</body></html>");
    // Alpha/sub: a mail and an archive.
    Folder("Alpha/sub", {{1, "mail", "eml", 0, 1}, {2, "arch", "mht", 0, 1}});
    writeFile(root + "/Alpha/sub/mail.eml", kMail);
    writeFile(root + "/Alpha/sub/arch.mht", kMail);
    Folder("beta", {{1, "Invoice2", "txt", 0, 3}});
    writeFile(root + "/beta/Invoice2.txt", sj("請求書"));
    Folder(".hidden", {{1, "invoice", "pdf"}});
    // Only catalogue files: not part of any result.
    cataloguetest::makeCatalogueFolder(root + "/empty");
    writeFile(root + "/empty/info.ini", "[x]\r\n");
    // Documents and a damaged catalogue.
    QDir().mkpath(QString::fromStdString(root + "/damaged"));
    writeFile(root + "/damaged/info.mdb", std::string(4096, 'x'));
    writeFile(root + "/damaged/invoice.pdf", "x");
    ASSERT_TRUE(search.Open(root, dir.path() + "/textlib")) << search.LastError();
    search.SetFolderCollector(&collector);
  }

  void Folder(const std::string& name, const std::vector<Row>& rows) {
    const std::string folder = root + "/" + name;
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows c(folder);
    Transaction t(c.db());
    for (const Row& r : rows) {
      c.db().execute(
          "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, "
          "TextExt, OfficialDate, LastModifiedDate, LastAccessedDate, StackNo, PageNo, "
          "SingleItemPosX, SingleItemPosY) VALUES (?, ?, ?, ?, 0, ?, ?, ?, ?, ?, NULLIF(?, 0), "
          "NULLIF(?, 0), 0, 0)",
          r.no, r.title + "." + r.ext, r.ext, r.imageLevel, r.fullText, r.textExt, r.date,
          r.date + 1, r.date + 2, r.stack, r.page);
      if (!testsupport::fileExists(folder + "/" + r.title + "." + r.ext))
        writeFile(folder + "/" + r.title + "." + r.ext, "document");
    }
    t.commit();
  }
  void Stack(const std::string& name, int no, const std::string& title, int cur, int date) {
    cataloguetest::CatalogueRows c(root + "/" + name);
    c.db().execute(
        "INSERT INTO StackMST (StackNo, StackTitle, OfficialDate, LastModifiedDate, "
        "LastAccessedDate, CurPageNo, StackPosX, StackPosY) VALUES (?, ?, ?, ?, ?, ?, 0, 0)",
        no, title, date, date, date, cur);
  }
  void Attribute(const std::string& name, const std::string& table, const std::string& column,
                 int item, const std::string& text) {
    cataloguetest::CatalogueRows c(root + "/" + name);
    c.db().execute("INSERT INTO " + table + " (ItemNo, " + column + ") VALUES (?, ?)", item,
                   catalogue::toStoredAttribute(text));
  }

  // "folder:S:title" for stacks, "folder:I:title" for single items.
  std::set<std::string> Hits() {
    std::set<std::string> out;
    EXPECT_TRUE(search.GetFirstHit());
    SearchHit hit;
    int atEnd = 0;
    while (search.GetNextHit(hit, atEnd) && atEnd == 0) {
      const std::string folder = hit.FolderPath.substr(root.size() + 1);
      out.insert(folder + (hit.IsStack ? ":S:" + hit.Stack.Title : ":I:" + hit.Item.Title));
    }
    search.PostHit();
    return out;
  }
  std::set<std::string> Find(unsigned fields, const std::vector<std::string>& words, int mode,
                             bool negate = false) {
    EXPECT_TRUE(search.SetWordFilter(fields, words, mode, negate)) << search.LastError();
    EXPECT_TRUE(search.Search(root, true)) << search.LastError();
    return Hits();
  }

  testsupport::TempDir dir;
  std::string root;
  SearchFolders collector;
  SearchDatabase search;
};

using Set = std::set<std::string>;

TEST_F(Desktop, NoConditionsFindEverythingOutsideHiddenAndDamagedFolders) {
  EXPECT_EQ(Find(0, {}, 0),
            (Set{"Alpha:I:invoice", "Alpha:I:photo", "Alpha:S:Report", "Alpha:I:a_b",
                 "Alpha:I:axb", "Alpha:I:web", "Alpha/sub:I:mail", "Alpha/sub:I:arch",
                 "beta:I:Invoice2"}));
  EXPECT_EQ(search.GetHitCount(), 9);
  EXPECT_EQ(search.SkippedFolderCount(), 1);
  EXPECT_EQ(search.SkippedFolders(), std::vector<std::string>{root + "/damaged"});
  // The folder of only catalogue files never entered the result.
  std::string path;
  for (int no = 1; no <= 5; ++no) {
    if (search.GetFolderPath(no, path)) {
      EXPECT_EQ(path.find("empty"), std::string::npos);
    }
  }
}

struct FieldCase {
  const char* name;
  unsigned fields;
  std::vector<std::string> words;
  int mode;
  bool negate;
  Set expected;
};
void PrintTo(const FieldCase& c, std::ostream* os) { *os << c.name; }

class Fields : public Desktop, public ::testing::WithParamInterface<FieldCase> {};

TEST_P(Fields, Find) {
  const FieldCase& c = GetParam();
  EXPECT_EQ(Find(c.fields, c.words, c.mode, c.negate), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Fields,
    ::testing::Values(
        FieldCase{"title_contains_any_case", searchfield::kTitle, {"INVOICE"}, searchmode::kContains,
                  false, {"Alpha:I:invoice", "beta:I:Invoice2"}},
        FieldCase{"title_exact_file_name", searchfield::kTitle, {"invoice.pdf"}, searchmode::kExact,
                  false, {"Alpha:I:invoice"}},
        FieldCase{"title_prefix", searchfield::kTitle, {"pho"}, searchmode::kPrefix, false,
                  {"Alpha:I:photo"}},
        FieldCase{"title_suffix", searchfield::kTitle, {"2.txt"}, searchmode::kSuffix, false,
                  {"beta:I:Invoice2"}},
        FieldCase{"stack_title_gives_the_stack", searchfield::kTitle, {"Report"}, searchmode::kExact,
                  false, {"Alpha:S:Report"}},
        FieldCase{"page_title_gives_the_whole_stack", searchfield::kTitle, {"page2"},
                  searchmode::kPrefix, false, {"Alpha:S:Report"}},
        FieldCase{"two_words_or", searchfield::kTitle, {"web", "arch"}, searchmode::kPrefix, false,
                  {"Alpha:I:web", "Alpha/sub:I:arch"}},
        FieldCase{"creator_with_apostrophe", searchfield::kCreator, {"O'Neil"}, searchmode::kExact,
                  false, {"Alpha:I:invoice"}},
        FieldCase{"apostrophe_matches_only_itself", searchfield::kCreator, {"'"},
                  searchmode::kContains, false, {"Alpha:I:invoice"}},
        FieldCase{"keyword_contains", searchfield::kKeyword, {"2026"}, searchmode::kContains, false,
                  {"Alpha:I:invoice"}},
        FieldCase{"percent_matches_only_itself", searchfield::kComment, {"0%"},
                  searchmode::kContains, false, {"Alpha:I:invoice"}},
        FieldCase{"underscore_matches_only_itself", searchfield::kTitle, {"a_b"},
                  searchmode::kPrefix, false, {"Alpha:I:a_b"}},
        FieldCase{"bar_matches_only_itself", searchfield::kComment, {"|"}, searchmode::kContains,
                  false, {"Alpha:I:a_b"}},
        FieldCase{"fields_are_joined_by_or", searchfield::kComment | searchfield::kTitle, {"paid", "web"},
                  searchmode::kContains, false, {"Alpha:I:invoice", "Alpha:I:axb", "Alpha:I:web"}},
        FieldCase{"negated", searchfield::kTitle, {"a"}, searchmode::kContains, true,
                  {"Alpha:I:invoice", "Alpha:I:photo", "Alpha:I:web", "beta:I:Invoice2"}},
        FieldCase{"full_text_attached_text", searchfield::kFullText, {"金額"}, searchmode::kContains,
                  false, {"Alpha:I:photo"}},
        FieldCase{"full_text_web_page_without_tags", searchfield::kFullText, {"見積書"},
                  searchmode::kContains, false, {"Alpha:I:web"}},
        FieldCase{"full_text_mail_and_archive", searchfield::kFullText, {"テキスト"},
                  searchmode::kContains, false, {"Alpha/sub:I:mail", "Alpha/sub:I:arch"}},
        FieldCase{"full_text_document_itself", searchfield::kFullText, {"請求書"},
                  searchmode::kContains, false, {"beta:I:Invoice2"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Desktop, DateKindsMatchTheItemOrItsStack) {
  search.SetWordFilter(0, {}, 0, false);
  search.SetDateFilter(searchdate::kOfficial, 20240101, 20241231);
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"Alpha:S:Report"});
  search.SetDateFilter(searchdate::kLastModified, 20250506, 20250506);
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"Alpha:I:photo"});
  search.SetDateFilter(searchdate::kLastAccessed, 20250507, 20250507);
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"Alpha:I:photo"});
  search.SetDateFilter(searchdate::kOfficial, 20250101, 20251231);
  ASSERT_TRUE(search.Search(root, false));
  EXPECT_EQ(Hits(), Set{});
}

TEST_F(Desktop, FileKinds) {
  search.SetWordFilter(0, {}, 0, false);
  search.SetFileFilter(searchfile::kImages, {});
  ASSERT_TRUE(search.Search(root + "/Alpha", false));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:photo", "Alpha:S:Report"}));
  search.SetFileFilter(searchfile::kNotImages, {});
  ASSERT_TRUE(search.Search(root + "/Alpha", false));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "Alpha:I:a_b", "Alpha:I:axb", "Alpha:I:web"}));
  search.SetFileFilter(searchfile::kExtensions, {"PDF", "htm"});
  ASSERT_TRUE(search.Search(root + "/Alpha", false));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "Alpha:I:web"}));
  EXPECT_FALSE(search.SetFileFilter(searchfile::kExtensions, std::vector<std::string>(17, "txt")));
  ASSERT_TRUE(search.Search(root + "/Alpha", false));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "Alpha:I:web"}));
}

TEST_F(Desktop, NarrowKeepsDateAndFileConditionsForPagesOfEarlierStacks) {
  ASSERT_TRUE(search.SetWordFilter(0, {}, 0, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(search.GetHitCount(), 9);
  // Pages are dated 2020; the stack is a hit of the earlier result, and its
  // pages still have to pass the file condition.
  search.SetFileFilter(searchfile::kNotImages, {});
  ASSERT_TRUE(search.NarrowSearch(root, true));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "Alpha:I:a_b", "Alpha:I:axb", "Alpha:I:web",
                         "Alpha/sub:I:mail", "Alpha/sub:I:arch", "beta:I:Invoice2"}));
  EXPECT_EQ(search.HitStackCount(), 0);
  EXPECT_EQ(search.Engine().execute("DELETE FROM HitStack"), 0);
}

TEST_F(Desktop, NarrowToASmallerRangeDropsFoldersAndCountsOnlyKeptOnes) {
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"i"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "Alpha/sub:I:mail", "beta:I:Invoice2"}));
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"invoice"}, searchmode::kContains, false));
  ASSERT_TRUE(search.NarrowSearch(root + "/beta", false));
  EXPECT_EQ(Hits(), Set{"beta:I:Invoice2"});
  EXPECT_EQ(search.GetHitCount(), 1);
}

TEST_F(Desktop, HitWalkAndAccessorsUseSeparateCatalogues) {
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"Report", "invoice"}, searchmode::kPrefix,
                                   false));
  ASSERT_TRUE(search.Search(root, true));
  ASSERT_TRUE(search.GetFirstHit());
  SearchHit hit;
  int atEnd = 1;
  ASSERT_TRUE(search.GetNextHit(hit, atEnd));
  ASSERT_EQ(atEnd, 0);
  EXPECT_EQ(hit.IsStack, 1);
  EXPECT_EQ(hit.Stack.Title, "Report");
  EXPECT_EQ(hit.Stack.PageCount, 2);
  EXPECT_EQ(hit.Item.Title, "page2");  // the cover page
  const int alpha = hit.FolderNo;
  // An accessor on another folder, then on the walk's folder, in the middle
  // of the walk.
  int betaNo = 0;
  std::string path;
  for (int no = 1; no <= 4; ++no)
    if (search.GetFolderPath(no, path) && path == root + "/beta") betaNo = no;
  ASSERT_NE(betaNo, 0);
  ItemInfo info;
  ASSERT_TRUE(search.GetFolderItemInfo(betaNo, 1, info));
  EXPECT_EQ(info.Title, "Invoice2");
  ASSERT_TRUE(search.SetFolderComment(betaNo, 1, "checked"));
  std::string text;
  ASSERT_TRUE(search.GetFolderComment(betaNo, 1, text));
  EXPECT_EQ(text, "checked");
  ASSERT_TRUE(search.GetFolderCreator(alpha, 1, text));
  EXPECT_EQ(text, "O'Neil");
  ASSERT_TRUE(search.SetFolderStackPageInfo(alpha, 1, 1, [] {
    ItemInfo i;
    i.OfficialDate = 20300101;
    return i;
  }(), fieldmask::kItemOfficialDate));
  ASSERT_TRUE(search.FolderStack2Item(alpha, 1, 1, info));
  EXPECT_EQ(info.OfficialDate, 20300101);
  // The walk goes on in its folder.
  ASSERT_TRUE(search.GetNextHit(hit, atEnd));
  ASSERT_EQ(atEnd, 0);
  EXPECT_EQ(hit.Item.Title, "invoice");
  ASSERT_TRUE(search.GetNextHit(hit, atEnd));
  ASSERT_EQ(atEnd, 0);
  EXPECT_EQ(hit.Item.Title, "Invoice2");
  ASSERT_TRUE(search.GetNextHit(hit, atEnd));
  EXPECT_EQ(atEnd, 1);
  search.PostHit();
  EXPECT_FALSE(search.GetFolderItemInfo(99, 1, info));
}

TEST_F(Desktop, FolderHeldOpenByTheBrowserIsSearchedThroughItsConnection) {
  FolderDatabase browser;
  ASSERT_EQ(browser.OpenFolder(root + "/beta", false), dbresult::kOk);
  // Without the hand-over the locked folder cannot be attached.
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"invoice"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"Alpha:I:invoice"});
  EXPECT_EQ(search.SkippedFolderCount(), 2);
  search.SetOpenFolder(&browser);
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "beta:I:Invoice2"}));
  EXPECT_EQ(search.SkippedFolderCount(), 1);
  ASSERT_TRUE(search.SetWordFilter(searchfield::kFullText, {"請求書"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"beta:I:Invoice2"});
  // Edits of a hit in that folder go through the browser's catalogue.
  int betaNo = 0;
  std::string path;
  for (int no = 1; no <= 4; ++no)
    if (search.GetFolderPath(no, path) && path == root + "/beta") betaNo = no;
  ASSERT_TRUE(search.SetFolderKeyword(betaNo, 1, "paid"));
  std::string keyword;
  ASSERT_EQ(browser.GetAttribute(1, keyword, "Keyword"), dbresult::kOk);
  EXPECT_EQ(keyword, "paid");
  search.SetOpenFolder(nullptr);
}

class CancelAfter : public SearchProgress {
 public:
  explicit CancelAfter(int pumps) : left_(pumps) {}
  bool PumpAndCancelled() override { return --left_ < 0; }
  void SetFoundCount(int count) override { found = count; }
  int found = -1;

 private:
  int left_;
};

TEST_F(Desktop, CancelDuringTheFirstFolderLeavesNoFolder) {
  CancelAfter progress(0);
  search.SetProgress(&progress);
  ASSERT_TRUE(search.SetWordFilter(0, {}, 0, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_TRUE(search.WasCancelled());
  EXPECT_EQ(Hits(), Set{});
  search.SetProgress(nullptr);
}

TEST_F(Desktop, EngineFailureIsReportedAsFailure) {
  search.Engine().executeScript("DROP TABLE HitItem;");
  ASSERT_TRUE(search.SetWordFilter(0, {}, 0, false));
  EXPECT_FALSE(search.Search(root, true));
  EXPECT_FALSE(search.LastError().empty());
  EXPECT_FALSE(search.NarrowSearch(root, true));
}

TEST_F(Desktop, FullTextWithoutExtractorCountsNoTextItems) {
  Folder("docs", {{1, "contract", "doc", 0, 1}, {2, "sheet", "xls", 0, 1}, {3, "scan", "pdf", 0, 1}});
  search.Fulltext().SetExtractorPrograms(dir.file("none1"), dir.file("none2"));
  ASSERT_TRUE(search.SetWordFilter(searchfield::kFullText, {"document"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root + "/docs", false));
  EXPECT_EQ(Hits(), Set{});
  EXPECT_EQ(search.NoTextCount(), 3);
}

TEST_F(Desktop, FoldersTheHitBoardReadIsSearchedAgain) {
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"invoice"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "beta:I:Invoice2"}));
  // The board reads and edits its hits through the accessors, which keep
  // their folder open (and locked once written); the next searches, new
  // and narrowing, still read it.
  const auto touchBeta = [&] {
    std::string path;
    ItemInfo info;
    int touched = 0;
    for (int no = 1; no <= 10; ++no)
      if (search.GetFolderPath(no, path) && path == root + "/beta") {
        EXPECT_TRUE(search.GetFolderItemInfo(no, 1, info));
        EXPECT_TRUE(search.SetFolderComment(no, 1, "seen"));
        ++touched;
      }
    EXPECT_EQ(touched, 1);
  };
  touchBeta();
  ASSERT_TRUE(search.SetWordFilter(searchfield::kFullText, {"請求書"}, searchmode::kContains, false));
  ASSERT_TRUE(search.NarrowSearch(root, true));
  EXPECT_EQ(Hits(), Set{"beta:I:Invoice2"});
  touchBeta();
  ASSERT_TRUE(search.ClearWorkTables());
  ASSERT_TRUE(search.Search(root, true));
  EXPECT_EQ(Hits(), Set{"beta:I:Invoice2"});
  EXPECT_EQ(search.SkippedFolders(), std::vector<std::string>{root + "/damaged"});
}

TEST_F(Desktop, ColumnNamesOfAForeignCatalogueNeverReachAStatement) {
  const std::string evil = dir.file("evil.db");
  {
    cataloguetest::CatalogueRows c(root + "/beta");
    // A column whose name closes the column list and runs statements of
    // its own when it is pasted into SQL.
    c.db().executeScript("ALTER TABLE ItemMST ADD COLUMN \"a\"\" INT); ATTACH DATABASE '" + evil +
                         "' AS evil; CREATE TABLE evil.t(x); --\" INT;");
  }
  FolderDatabase browser;
  ASSERT_EQ(browser.OpenFolder(root + "/beta", false), dbresult::kOk);
  search.SetOpenFolder(&browser);
  ASSERT_TRUE(search.SetWordFilter(searchfield::kTitle, {"invoice"}, searchmode::kContains, false));
  ASSERT_TRUE(search.Search(root, true)) << search.LastError();
  EXPECT_EQ(Hits(), (Set{"Alpha:I:invoice", "beta:I:Invoice2"}));
  EXPECT_FALSE(testsupport::fileExists(evil));
  search.SetOpenFolder(nullptr);
}

// Records what the progress dialog is told, and cancels after a number of
// pumps (never, with -1).
class RecordingProgress : public SearchProgress {
 public:
  explicit RecordingProgress(int pumps = -1) : left_(pumps) {}
  bool PumpAndCancelled() override { return left_ >= 0 && --left_ < 0; }
  void SetFoundCount(int count) override { found.push_back(count); }
  void SetFolder(const std::string& folder) override { folders.push_back(folder); }
  std::vector<int> found;
  std::vector<std::string> folders;

 private:
  int left_;
};

// A folder of many texts is searched on several threads: hits, the found
// counts the dialog shows, the texts without text and a cancel in the
// middle all come as one thread gives them.
TEST_F(Desktop, ManyTextsOnManyThreadsGiveWhatOneThreadGives) {
  std::vector<Row> rows;
  QDir().mkpath(QString::fromStdString(root + "/many"));
  for (int i = 1; i <= 400; ++i) {
    const std::string title = "t" + std::to_string(i);
    if (i % 50 == 0) {
      rows.push_back({i, title, "doc", 0, 1});  // no extractor: no text
      continue;
    }
    rows.push_back({i, title, "bmp", 1, 0, "TXT"});
    writeFile(root + "/many/" + title + ".bmp.TXT", sj(i % 7 == 0 ? "今日は研修です" : "今日は休みです"));
  }
  Folder("many", rows);
  search.Fulltext().SetExtractorPrograms(dir.file("none1"), dir.file("none2"));
  struct Outcome {
    Set hits;
    std::vector<int> found;
    int noText = 0;
    bool operator==(const Outcome&) const = default;
  };
  std::vector<std::string> folders;
  const auto run = [&](unsigned threads, int cancelAfter) {
    search.Fulltext().SetThreadLimit(threads);
    RecordingProgress progress(cancelAfter);
    search.SetProgress(&progress);
    EXPECT_TRUE(search.SetWordFilter(searchfield::kFullText, {"研修"}, searchmode::kContains, false));
    EXPECT_TRUE(search.Search(root + "/many", false)) << search.LastError();
    search.SetProgress(nullptr);
    folders = progress.folders;
    return Outcome{Hits(), progress.found, search.NoTextCount()};
  };
  const Outcome one = run(1, -1);
  EXPECT_EQ(one.hits.size(), 56u);  // 57 multiples of 7, less 350, which has no text
  ASSERT_GE(one.found.size(), 56u);
  for (int k = 0; k < 56; ++k) EXPECT_EQ(one.found[static_cast<std::size_t>(k)], k + 1);
  EXPECT_EQ(one.noText, 8);
  EXPECT_EQ(folders, std::vector<std::string>{root + "/many"});
  EXPECT_EQ(run(4, -1), one);
  const Outcome cancelledOne = run(1, 150);
  EXPECT_LT(cancelledOne.hits.size(), one.hits.size());
  EXPECT_GT(cancelledOne.hits.size(), 0u);
  EXPECT_EQ(run(4, 150), cancelledOne);
}

// Texts written on Linux are UTF-8; older ones Shift-JIS or EUC-JP. Each
// is found by its Japanese words, as a document and as an attached text.
TEST_F(Desktop, TextsAreReadInTheirOwnCharset) {
  const std::string utf8 = "議事録：今日は研修です。";
  const std::string euc = "\xb5\xc4\xbb\xf6\xcf\xbf\xa1\xa7\xba\xa3\xc6\xfc\xa4\xcf\xb8\xa6\xbd\xa4\xa4\xc7\xa4\xb9\xa1\xa3";
  const std::vector<std::pair<std::string, std::string>> texts = {
      {"utf8", utf8},
      {"bom", "\xEF\xBB\xBF" + utf8},
      {"bom_broken", "\xEF\xBB\xBF" + utf8 + "\xFF"},
      {"euc", euc},
      {"sjis", sj(utf8)},
  };
  std::vector<Row> rows;
  Set expected;
  int no = 0;
  QDir().mkpath(QString::fromStdString(root + "/texts"));
  for (const auto& [name, bytes] : texts) {
    writeFile(root + "/texts/doc_" + name + ".txt", bytes);
    rows.push_back({++no, "doc_" + name, "txt", 0, 3});
    writeFile(root + "/texts/ocr_" + name + ".bmp.TXT", bytes);
    rows.push_back({++no, "ocr_" + name, "bmp", 1, 0, "TXT"});
    expected.insert("texts:I:doc_" + name);
    expected.insert("texts:I:ocr_" + name);
  }
  // A page that names no charset follows the same rule.
  writeFile(root + "/texts/page.htm", "<html><body>" + utf8 + "</body></html>");
  rows.push_back({++no, "page", "htm", 0, 1});
  expected.insert("texts:I:page");
  Folder("texts", rows);
  for (const char* word : {"研修", "議事録"})
    EXPECT_EQ(Find(searchfield::kFullText, {word}, searchmode::kContains), expected) << word;
  // Bytes of the UTF-8 form are not taken for Shift-JIS characters.
  EXPECT_EQ(Find(searchfield::kFullText, {"縺"}, searchmode::kContains), Set{});
}

// ---- mail bodies ----------------------------------------------------------

// 今回の納期は来週です。 in each charset a mail may use.
struct MailCharset {
  const char* name;
  std::string bytes;
};
const std::vector<MailCharset>& MailCharsets() {
  static const std::vector<MailCharset> list = {
      {"iso-2022-jp", "\x1b$B:#2s$NG<4|$OMh=5$G$9!#\x1b(B"},
      {"shift_jis", sj("今回の納期は来週です。")},
      {"euc-jp",
       "\xba\xa3\xb2\xf3\xa4\xce\xc7\xbc\xb4\xfc\xa4\xcf\xcd\xe8\xbd\xb5\xa4\xc7\xa4\xb9\xa1\xa3"},
      {"utf-8", "今回の納期は来週です。"},
  };
  return list;
}

// Quoted-printable as mail programs write it: "=" and 8-bit bytes as
// =XX, lines of at most 76 characters with soft breaks, which may fall
// inside an escape sequence or a character.
std::string QuotedPrintable(const std::string& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  std::size_t line = 0;
  for (const unsigned char c : bytes) {
    std::string piece(1, static_cast<char>(c));
    if (c == '=' || c >= 0x80 || c < 0x20) piece = std::string("=") + kHex[c >> 4] + kHex[c & 15];
    if (line + piece.size() > 20) {
      out += "=\r\n";
      line = 0;
    }
    out += piece;
    line += piece.size();
  }
  return out;
}

std::string EncodedBody(const std::string& bytes, const std::string& encoding) {
  if (encoding == "quoted-printable") return QuotedPrintable(bytes);
  if (encoding == "base64") return mime::base64EncodeLines(bytes);
  return bytes;
}

TEST_F(Desktop, EveryBodyPartOfAMailIsSearched) {
  std::vector<Row> rows;
  Set expected;
  int no = 0;
  const auto add = [&](const std::string& title, const std::string& ext, const std::string& bytes) {
    writeFile(root + "/mails/" + title + "." + ext, bytes);
    rows.push_back({++no, title, ext, 0, 1});
    expected.insert("mails:I:" + title);
  };
  QDir().mkpath(QString::fromStdString(root + "/mails"));
  for (const MailCharset& charset : MailCharsets())
    for (const std::string encoding : {"7bit", "8bit", "quoted-printable", "base64"}) {
      if (encoding == "7bit" && charset.name != std::string("iso-2022-jp")) continue;
      const std::string part = "Content-Type: text/plain; charset=\"" + std::string(charset.name) +
                               "\"\r\nContent-Transfer-Encoding: " + encoding + "\r\n\r\n" +
                               EncodedBody(charset.bytes, encoding) + "\r\n";
      const std::string head = "From: a@example.com\r\nSubject: =?ISO-2022-JP?B?GyRCN29MPhsoQg==?=\r\n"
                               "MIME-Version: 1.0\r\n";
      const std::string title = std::string(charset.name) + "_" + encoding;
      add("plain_" + title, "eml", head + part);
      add("html_" + title, "mht",
          head + "Content-Type: multipart/related; boundary=\"r\"\r\n\r\n--r\r\n" +
              "Content-Type: text/html; charset=\"" + charset.name + "\"\r\nContent-Transfer-Encoding: " +
              encoding + "\r\n\r\n" + EncodedBody("<p>" + charset.bytes + "</p>", encoding) + "\r\n--r--\r\n");
      // A forwarded mail: the body stands in the attached message.
      add("forwarded_" + title, "eml",
          head + "Content-Type: multipart/mixed; boundary=\"o\"\r\n\r\n--o\r\n"
                 "Content-Type: text/plain; charset=\"us-ascii\"\r\n\r\nsee below\r\n--o\r\n"
                 "Content-Type: message/rfc822\r\n\r\n" + head + part + "--o--\r\n");
    }
  Folder("mails", rows);
  EXPECT_EQ(Find(searchfield::kFullText, {"納期"}, searchmode::kContains), expected);
  EXPECT_EQ(Find(searchfield::kFullText, {"件名"}, searchmode::kContains), Set{});
}

// ---- full text of every kind of item, by the trail bytes of the words ----

// Words chosen for the range their trail bytes fall in: ASCII capitals,
// the punctuation between the cases, lower-case letters, the punctuation
// after them, the bytes above ASCII, half-width katakana, and the top range.
struct TrailWord {
  const char* range;
  const char* word;
};
constexpr TrailWord kTrailWords[] = {
    {"40_5A", "研修"},   {"40_5A", "機械"}, {"5B_60", "表示"},   {"5B_60", "納期"},
    {"61_7A", "会議室"}, {"61_7A", "電話"}, {"7B_7E", "大掃除"}, {"7B_7E", "日本"},
    {"80_A0", "冷蔵庫"}, {"80_A0", "請求"}, {"A1_DF", "温"},     {"A1_DF", "温泉"},
    {"E0_FC", "説明"},   {"E0_FC", "案内"},
};
void PrintTo(const TrailWord& w, std::ostream* os) { *os << w.range << " " << w.word; }

// The text of each place of a word: at the start, in the middle, at the
// end, and across the border of the first block (it starts on the last
// byte of block 0). Hiragana around it ends a word on both sides.
std::vector<std::pair<std::string, std::string>> PlacedTexts(const std::string& word) {
  const std::string no = sj("の");
  std::string filler;
  while (filler.size() < 200) filler += sj("あいうえお");
  std::string before = "x";
  while (before.size() < 30719) before += sj("か");
  return {{"start", word + no + filler},
          {"middle", filler + no + word + no + filler},
          {"end", filler + no + word},
          {"border", before + word + no + filler}};
}

std::string MailOf(const std::string& type, const std::string& body) {
  return "From: a@example.com\r\nSubject: x\r\nMIME-Version: 1.0\r\nContent-Type: " + type +
         "; charset=\"shift_jis\"\r\nContent-Transfer-Encoding: 8bit\r\n\r\n" + body + "\r\n";
}

class TrailBytes : public Desktop, public ::testing::WithParamInterface<TrailWord> {
 protected:
  // Each kind of item at each place, and two texts that hold the word's
  // bytes only across character boundaries.
  std::set<std::string> MakeFolder() {
    const std::string folder = "words";
    const std::string word = sj(GetParam().word);
    QDir().mkpath(QString::fromStdString(root + "/" + folder));
    std::vector<Row> rows;
    std::set<std::string> expected;
    int no = 0;
    for (const auto& [place, text] : PlacedTexts(word)) {
      const auto add = [&](const std::string& title, const std::string& ext, int imageLevel, int level,
                           const std::string& textExt, const std::string& file, const std::string& bytes) {
        writeFile(root + "/" + folder + "/" + file, bytes);
        rows.push_back({++no, title, ext, imageLevel, level, textExt});
        expected.insert(folder + ":I:" + title);
      };
      add("doc_" + place, "txt", 0, 3, "", "doc_" + place + ".txt", text);
      add("ocr_" + place, "bmp", 1, 0, "TXT", "ocr_" + place + ".bmp.TXT", text);
      add("web_" + place, "htm", 0, 1, "", "web_" + place + ".htm", "<html><body>" + text + "</body></html>");
      add("arch_" + place, "mht", 0, 1, "", "arch_" + place + ".mht", MailOf("text/html", text));
      add("mail_" + place, "eml", 0, 1, "", "mail_" + place + ".eml", MailOf("text/plain", text));
    }
    // A double-byte character whose trail byte is the word's first byte,
    // then the rest of the word: the bytes are there, the word is not.
    const std::string shifted = sj("あ") + "\x89" + word + sj("あ");
    writeFile(root + "/" + folder + "/shifted.txt", shifted);
    rows.push_back({++no, "shifted", "txt", 0, 3});
    writeFile(root + "/" + folder + "/shifted.bmp.TXT", shifted);
    rows.push_back({++no, "shifted", "bmp", 1, 0, "TXT"});
    Folder(folder, rows);
    return expected;
  }
};

TEST_P(TrailBytes, FoundInEveryKindOfItemInEveryModeAndSetting) {
  const std::set<std::string> expected = MakeFolder();
  for (const int mode : {searchmode::kExact, searchmode::kPrefix, searchmode::kSuffix, searchmode::kContains})
    for (const int caseFolding : {1, 0})
      for (const int widthVariants : {1, 0}) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode << " case folding " << caseFolding
                                          << " width variants " << widthVariants);
        ASSERT_TRUE(search.SetFulltextParameter(widthVariants, caseFolding, 100));
        ASSERT_TRUE(search.SetWordFilter(searchfield::kFullText, {GetParam().word}, mode, false));
        ASSERT_TRUE(search.Search(root + "/words", false)) << search.LastError();
        EXPECT_EQ(Hits(), expected);
        EXPECT_EQ(search.GetHitCount(), static_cast<int>(expected.size()));
      }
}

INSTANTIATE_TEST_SUITE_P(Words, TrailBytes, ::testing::ValuesIn(kTrailWords), [](const auto& info) {
  return std::string(info.param.range) + "_" + std::to_string(info.index);
});

}  // namespace

namespace {

TEST(WorkCatalogue, IsCopiedIntoTheProgramFolderOnce) {
  ASSERT_TRUE(platform::ensureProgramFolder());
  const std::string path = platform::programFolder() + "/infos.mdb";
  ::unlink(path.c_str());
  {
    SearchDatabase search;
    ASSERT_TRUE(search.OpenWorkCatalogue()) << search.LastError();
    EXPECT_TRUE(testsupport::fileExists(path));
    search.Engine().execute("INSERT INTO FolderMST (FolderNo, FolderPath, \"Check\") VALUES (7, 'x', 0)");
  }
  SearchDatabase again;
  ASSERT_TRUE(again.OpenWorkCatalogue());
  std::string folder;
  EXPECT_TRUE(again.GetFolderPath(7, folder));
  EXPECT_EQ(folder, "x");
}

}  // namespace
