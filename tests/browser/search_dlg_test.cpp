// The search dialog: its condition checks and date periods, the history
// lists, and searching a generated desktop through the real engine with the
// hits on the hit board.

#include "browser/board_menus.h"
#include "browser/board_properties.h"
#include "browser/search_conditions.h"
#include "browser/board_export.h"
#include "browser/search_dlg.h"
#include "browser/page_print.h"
#include "browser/search_related_dlg.h"
#include "browser/thumbnail_pane_wnd.h"
#include "browser/title_change_dlg.h"
#include "shell/export_dlg.h"
#include "shell/image_ctrl.h"
#include "shell/registration_info_dlg.h"
#include "shell/import_dialogs.h"

#include "platform/clock.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/app_profile.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/pdf_output.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPrinter>
#include <QRegularExpression>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

namespace {

using testsupport::writeFile;

constexpr int kToday = 20260331;

class Conditions : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/desk";
    QDir().mkpath(QString::fromStdString(root + "/sub"));
  }
  testsupport::TempDir dir;
  std::string root;
};

TEST_F(Conditions, ValidationTableGivesEachMessageAndItsPage) {
  struct Case {
    const char* name;
    std::function<void(SearchConditions&)> change;
    int page;
    std::string message;
  };
  const std::string retype = "\n入力し直してください。";
  const std::vector<Case> cases = {
      {"valid", [](SearchConditions&) {}, -1, ""},
      {"no field", [](SearchConditions& c) { c.words = "a"; c.fullText = c.title = c.creator = c.keyword = c.comment = false; },
       0, "検索語の対象項目が指定されていません。" + retype},
      {"forbidden", [](SearchConditions& c) { c.words = "a?b"; }, 0,
       "検索文字列中に使用できない文字  '*?][#|)(\"  が存在します。" + retype},
      {"wide asterisk", [](SearchConditions& c) { c.words = "a＊b"; }, 0,
       "検索文字列中に使用できない文字  ＊  が存在します。" + retype},
      {"many characters", [](SearchConditions& c) { c.words = std::string(65, 'a'); }, 0,
       "検索文字列が長すぎます。(全角半角あわせて64文字まで)" + retype},
      {"many", [](SearchConditions& c) {
         c.words.clear();
         for (int i = 0; i < 31; ++i) c.words += "w" + std::to_string(i) + ",";
       }, 0, "検索文字列が多すぎます。(30個まで)" + retype},
      {"space", [](SearchConditions& c) { c.words = "a b"; }, 0, "検索文字列にスペースは使えません。" + retype},
      {"only commas", [](SearchConditions& c) { c.words = ",,"; }, 0, "検索文字列中に有効な文字がありません。" + retype},
      {"similarity", [](SearchConditions& c) { c.similarity = 49; }, 0, "類似度は 50 ～ 100 の間で入力してください。"},
      {"similarity unused", [](SearchConditions& c) { c.similarity = 49; c.fullText = false; }, -1, ""},
      {"folder outside", [](SearchConditions& c) { c.folder = "/tmp"; }, 1, "検索対象フォルダが不正です。" + retype},
      {"folder escapes", [](SearchConditions& c) { c.folder = "デスクトップ/../.."; }, 1,
       "検索対象フォルダが不正です。" + retype},
      {"folder missing", [](SearchConditions& c) { c.folder = "デスクトップ/none"; }, 1,
       "検索対象フォルダを発見出来ませんでした。" + retype},
      {"sub folder", [](SearchConditions& c) { c.folder = "デスクトップ\\sub\\"; }, -1, ""},
      {"no extension", [](SearchConditions& c) { c.fileKind = 3; c.extensions = "  "; }, 1,
       "対象ファイル項目で指定された拡張子が不正です。" + retype},
      {"bad extension char", [](SearchConditions& c) { c.fileKind = 3; c.extensions = "a/b"; }, 1,
       "対象ファイル項目で指定された拡張子中に使用できない文字  '?][#|\"\\/:<>  が存在します。" + retype},
      {"star star", [](SearchConditions& c) { c.fileKind = 3; c.extensions = "*.*"; }, 1, "拡張子が不正です。" + retype},
      {"long extension", [](SearchConditions& c) { c.fileKind = 3; c.extensions = "abcdefghi"; }, 1,
       "拡張子が長すぎます。(半角8文字まで)" + retype},
      {"no date", [](SearchConditions& c) { c.dateKind = 1; }, 2, "検索日付が不正です。" + retype},
      {"month without day", [](SearchConditions& c) { c.dateKind = 1; c.startMonth = "3"; c.endDay = "1"; }, 2,
       "検索日付が不正です。" + retype},
      {"30 February", [](SearchConditions& c) { c.dateKind = 2; c.startYear = "2026"; c.startMonth = "2"; c.startDay = "30"; },
       2, "検索日付が不正です。" + retype},
      {"reversed", [](SearchConditions& c) {
         c.dateKind = 3;
         c.startYear = "2026"; c.startMonth = "3"; c.startDay = "5";
         c.endYear = "2026"; c.endMonth = "3"; c.endDay = "4";
       }, 2, "検索開始日が検索終了日よりも新しくなっています。" + retype},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    SearchConditions c;
    c.folder = kDesktopName;
    k.change(c);
    std::string message;
    EXPECT_EQ(CheckSearchConditions(c, root, kToday, message), k.page);
    if (k.page >= 0) {
      EXPECT_EQ(message, k.message);
    }
  }
}

TEST_F(Conditions, DatesAreCompletedBeforeTheyAreChecked) {
  SearchConditions c;
  c.folder = kDesktopName;
  c.dateKind = 1;
  c.startDay = "5";  // day only: this year and month
  c.endYear = "98";
  c.endMonth = "12";
  c.endDay = "31";
  std::string message;
  // 1998 lies before the completed start: the order check catches it.
  EXPECT_EQ(CheckSearchConditions(c, root, kToday, message), 2);
  EXPECT_EQ(c.startYear, "2026");
  EXPECT_EQ(c.startMonth, "3");
  EXPECT_EQ(c.endYear, "1998");
  EXPECT_EQ(CompleteYear(49), 2049);
  EXPECT_EQ(CompleteYear(50), 1950);
  EXPECT_EQ(c.DatePeriodStart(), 20260305);
}

TEST(DateRanges, RelativePeriodsFromAFixedToday) {
  struct Case {
    int period;
    bool before;
    int today;
    int start;
    int end;
  };
  const Case cases[] = {
      {3, false, 20260331, 20260228, 20260331},  // one month back from the 31st of March
      {3, false, 20240331, 20240229, 20240331},  // a leap year's February
      {6, false, 20240229, 20230228, 20240229},  // a year back from the 29th of February
      {1, false, 20260302, 20260227, 20260302},
      {2, true, 20260105, 0, 20251229},
      {4, false, 20260115, 20251015, 20260115},
      {5, true, 20260831, 0, 20260228},
      {0, false, 20260831, 0, 0},
  };
  for (const Case& k : cases) {
    const DateRange r = GetDateRange(k.period, k.before, k.today);
    EXPECT_EQ(r.startYear * 10000 + r.startMonth * 100 + r.startDay, k.start) << k.period << " " << k.today;
    EXPECT_EQ(r.endYear * 10000 + r.endMonth * 100 + r.endDay, k.end) << k.period << " " << k.today;
  }
}

TEST(Extensions, ListIsWrittenAsPatternsAndStarStarRefused) {
  std::vector<std::string> patterns;
  std::string message;
  ASSERT_EQ(NormalizeExtensions("jpg, .bmp, *.tif", patterns, message), 0) << message;
  EXPECT_EQ(patterns, (std::vector<std::string>{"*.jpg", "*.bmp", "*.tif"}));
  EXPECT_NE(NormalizeExtensions("*.*", patterns, message), 0);
  EXPECT_EQ(message, "拡張子が不正です。\n入力し直してください。");
  std::string many;
  for (int i = 0; i < 17; ++i) many += "e" + std::to_string(i) + ",";
  EXPECT_NE(NormalizeExtensions(many, patterns, message), 0);
  EXPECT_EQ(message, "拡張子が多すぎます。(16個まで)\n入力し直してください。");
}

TEST(History, AtMostTenNewestFirstAndARepeatMovesToTheTop) {
  std::vector<std::string> list;
  for (int i = 0; i < 12; ++i) PushHistory(list, "w" + std::to_string(i));
  ASSERT_EQ(list.size(), 10u);
  EXPECT_EQ(list.front(), "w11");
  EXPECT_EQ(list.back(), "w2");
  PushHistory(list, "w5");
  EXPECT_EQ(list.size(), 10u);
  EXPECT_EQ(list.front(), "w5");
  EXPECT_EQ(std::count(list.begin(), list.end(), "w5"), 1);
  PushHistory(list, "");
  EXPECT_EQ(list.front(), "w5");
}

TEST(FolderText, CurrentFolderBelowTheDesktop) {
  EXPECT_EQ(FolderTextFor("/d/desk", "/d/desk/a/b"), "デスクトップ/a/b");
  EXPECT_EQ(FolderTextFor("/d/desk", "/d/desk"), "デスクトップ");
  EXPECT_EQ(FolderTextFor("/d/desk", "/d/desktop2"), "デスクトップ");
}

// ---- the dialog over a generated desktop ----------------------------------

class SearchDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::setFixedNowForTests(QDateTime(QDate(2026, 3, 31), QTime(10, 0)));
    root = dir.path() + "/desk";
    QDir().mkpath(QString::fromStdString(root));
    const std::string work = platform::joinPath(platform::programFolder(), "infos.mdb");
    QDir().mkpath(QString::fromStdString(platform::programFolder()));
    ASSERT_EQ(platform::copyFileReplacing(cataloguetest::templateDbFolder() + "/infos.mdb", work), 0);
    OpenAppProfile()->clear();
    Folder("A", 0, 8);
    Folder("A/inner", 100, 4);
    Folder("B", 200, 3);
  }
  void TearDown() override { platform::setFixedNowForTests(std::nullopt); }

  // count single items, titles "report<n>" (even n) or "memo<n>".
  void Folder(const std::string& name, int first, int count) {
    const std::string folder = root + "/" + name;
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows c(folder);
    for (int n = first; n < first + count; ++n) {
      const std::string title = (n % 2 == 0 ? "report" : "memo") + std::to_string(n);
      c.db().execute(
          "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, "
          "TextExt, OfficialDate, LastModifiedDate, LastAccessedDate, SingleItemPosX, SingleItemPosY) "
          "VALUES (?, ?, 'pdf', 0, 0, 0, '', 20260101, 20260101, 20260101, 0, 0)",
          n - first + 1, title);
      writeFile(folder + "/" + title + ".pdf", "document");
    }
  }

  std::unique_ptr<CSearchDlg> Open(int hitMax = 100, bool tidyUp = false) {
    CSearchDlg::Setup setup;
    setup.desktopRoot = root;
    setup.currentFolder = root;
    setup.searchHitMax = hitMax;
    setup.tidyUp = tidyUp;
    auto dlg = std::make_unique<CSearchDlg>(setup);
    EXPECT_TRUE(dlg->OpenSearchDatabase()) << dlg->database().LastError();
    dlg->ResetConditions();
    return dlg;
  }

  void Type(CSearchDlg& dlg, const char* words) {
    dlg.Conditions().words = words;
    dlg.Conditions().fullText = false;
    dlg.LoadPages();
  }

  testsupport::TempDir dir;
  std::string root;
  platform::RecordingUserInteraction boxes;
};

TEST_F(SearchDialog, SearchThenNarrowThenClearWithCaptionsAndEnabling) {
  auto dlg = Open();
  dlg->show();
  EXPECT_EQ(dlg->searchButton()->text(), "新規検索(&S)");
  Type(*dlg, "report");
  dlg->OnSearch();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_EQ(dlg->hitCount(), 8);  // 4 + 2 + 2 even-numbered reports
  EXPECT_EQ(dlg->hitPane()->tileCount(), 8);
  EXPECT_EQ(dlg->searchButton()->text(), "絞り込み検索(&S)");
  EXPECT_TRUE(dlg->searchButton()->isEnabled());

  // Narrowing keeps only hits of the first search that also match.
  Type(*dlg, "report10");
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 2);  // report100 and report102
  EXPECT_EQ(dlg->hitPane()->tileCount(), dlg->hitCount());

  // A narrowing without hits leaves the search button disabled until a clear.
  Type(*dlg, "memo");
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 0);
  EXPECT_FALSE(dlg->searchButton()->isEnabled());
  dlg->OnNewSearch();
  EXPECT_EQ(dlg->searchButton()->text(), "新規検索(&S)");
  EXPECT_TRUE(dlg->searchButton()->isEnabled());
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 7);  // memo1..7 odd in A (4), 101, 103 (2), 201 (1)
}
TEST_F(SearchDialog, AFolderShownOnTheBoardIsSearchedAgainAfterAClear) {
  cataloguetest::makeCatalogueFolder(root + "/P");
  {
    cataloguetest::CatalogueRows c(root + "/P");
    int no = 0;
    for (const char* title : {"佐藤", "山田太郎"}) {
      c.db().execute(
          "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, TextExt, "
          "OfficialDate, LastModifiedDate, LastAccessedDate, SingleItemPosX, SingleItemPosY) "
          "VALUES (?, ?, 'pdf', 0, 0, 0, '', 20260101, 20260101, 20260101, 0, 0)",
          ++no, std::string(title) + ".pdf");
      writeFile(root + "/P/" + title + ".pdf", "document");
    }
  }
  auto dlg = Open();
  dlg->show();
  Type(*dlg, "佐藤");
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 1);
  // The board draws its tile from the hit's folder.
  dlg->grab();
  dlg->OnNewSearch();
  Type(*dlg, "山田太郎");
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 1);
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
}

TEST_F(SearchDialog, FoldersThatCannotBeReadAreNamed) {
  QDir().mkpath(QString::fromStdString(root + "/broken"));
  writeFile(root + "/broken/info.mdb", std::string(4096, 'x'));
  writeFile(root + "/broken/report9.pdf", "document");
  auto dlg = Open();
  dlg->show();
  Type(*dlg, "report");
  dlg->OnSearch();
  EXPECT_EQ(dlg->hitCount(), 8);
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts().front(), "1個のフォルダは読み込めなかったため検索していません。\n" + root + "/broken");
}

TEST_F(SearchDialog, TypedWordsAreNeverCompletedFromTheHistory) {
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("SearchWordHistory0")), QStringLiteral("report100"));
  OpenAppProfile()->setValue(BrowserKey(QStringLiteral("SearchExtentHistory0")), QStringLiteral("pdf,jpg"));
  auto dlg = Open();
  dlg->show();
  QComboBox* words = dlg->wordCombo();
  ASSERT_EQ(words->itemText(0), "report100");
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  words->setEditText(QString());
  words->lineEdit()->setFocus();
  ASSERT_TRUE(words->lineEdit()->hasFocus());
  QTest::keyClicks(words->lineEdit(), "report1");
  EXPECT_EQ(words->currentText(), "report1");
  // Enter searches what was typed: report100 and report102 of A/inner.
  QTest::keyClick(words->lineEdit(), Qt::Key_Return);
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
  EXPECT_EQ(words->currentText(), "report1");
  EXPECT_EQ(dlg->hitCount(), 2);
  EXPECT_EQ(words->itemText(0), "report1");
  EXPECT_EQ(words->itemText(1), "report100");
  EXPECT_EQ(words->count(), 2);
  dlg->Conditions().fileKind = 3;
  dlg->LoadPages();
  auto* extensions = dlg->findChild<QComboBox*>(QStringLiteral("ctl10339"));
  ASSERT_NE(extensions, nullptr);
  ASSERT_TRUE(extensions->isEnabled());
  extensions->setEditText(QString());
  QTest::keyClicks(extensions->lineEdit(), "pd");
  EXPECT_EQ(extensions->currentText(), "pd");
}

TEST_F(SearchDialog, HitMaxCapsTheTilesAndReopeningShowsTheSameHits) {
  {
    auto dlg = Open(3);
    dlg->show();
    Type(*dlg, "report");
    dlg->OnSearch();
    EXPECT_EQ(dlg->hitPane()->tileCount(), 3);
    EXPECT_EQ(dlg->hitCount(), 8);  // the total, not the tiles
    dlg->SaveHistory(CSearchDlg::kEnded);
  }
  auto again = Open(3);
  again->show();
  EXPECT_EQ(again->hitPane()->tileCount(), 3);
  EXPECT_EQ(again->hitCount(), 8);
  EXPECT_EQ(again->searchButton()->text(), "絞り込み検索(&S)");
  EXPECT_FALSE(again->newSearch());
  EXPECT_EQ(again->wordCombo()->itemText(0), "report");  // history kept
}

TEST_F(SearchDialog, HitMaxOver1000IsRefusedAndAnEmptyOneStopsTheSearch) {
  auto dlg = Open(100);
  dlg->show();
  QLineEdit* edit = dlg->hitMaxEdit();
  edit->setFocus();
  edit->end(false);
  QTest::keyClicks(edit, "1");
  EXPECT_EQ(edit->text(), "100");
  edit->clear();
  dlg->OnSearch();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"最大表示数が未入力です。"});
}

TEST_F(SearchDialog, FaultyConditionShowsItsMessageAndActivatesItsPage) {
  auto dlg = Open();
  dlg->show();
  dlg->Conditions().dateKind = 1;
  dlg->LoadPages();
  dlg->OnSearch();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"検索日付が不正です。\n入力し直してください。"});
  EXPECT_EQ(dlg->pages()->currentIndex(), 2);
  EXPECT_EQ(dlg->hitPane()->tileCount(), 0);
}

TEST_F(SearchDialog, TidyUpWithNothingInRangeTellsAndClosesItself) {
  auto dlg = Open(100, true);
  dlg->show();
  EXPECT_EQ(dlg->windowTitle(), "文書整理");
  for (int i = 0; i < 5 && dlg->isVisible(); ++i) QCoreApplication::processEvents();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"整理対象の文書はありませんでした。"});
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), CSearchDlg::kEnded);
}

TEST_F(SearchDialog, Screenshot) {
  auto dlg = Open();
  dlg->resize(640, 620);
  dlg->show();
  Type(*dlg, "report");
  dlg->OnSearch();
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(dlg->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/search_dialog.png")));
}

// ---- page-level dialogs and printing ---------------------------------------

TEST_F(SearchDialog, RelatedWordsAndExtensionDialogsFillTheirFields) {
  auto dlg = Open();
  dlg->show();
  Type(*dlg, "a, b");
  dlg->relatedRunner = [](RelatedWordsDlg& related) {
    EXPECT_EQ(related.searchList()->count(), 2);
    related.searchList()->addItem(QStringLiteral("c"));
    related.accept();
    return related.result();
  };
  dlg->relatedButton()->click();
  EXPECT_EQ(dlg->wordCombo()->currentText(), "a, b, c");
  dlg->Conditions().fileKind = 3;
  dlg->Conditions().extensions = "*.bmp";
  dlg->LoadPages();
  dlg->extensionRunner = [](ExtensionFilterDlg& filter) {
    EXPECT_EQ(filter.chosen()->count(), 1);
    filter.candidates()->setCurrentRow(1);
    filter.OnAdd();
    filter.accept();
    return filter.result();
  };
  dlg->extensionButton()->click();
  EXPECT_EQ(dlg->extensionCombo()->currentText(), "*.bmp, *.tif");
}

using testsupport::pdfPages;
using testsupport::pdfPrinter;

class HitPrinting : public SearchDialog {
 protected:
  // A stack of three image pages and a listed document, in folder "S".
  void SetUp() override {
    SearchDialog::SetUp();
    const std::string folder = root + "/S";
    cataloguetest::makeCatalogueFolder(folder);
    cataloguetest::CatalogueRows c(folder);
    c.addStack(1, "scan", 1);
    for (int page = 1; page <= 3; ++page) {
      const std::string title = "scan" + std::to_string(page);
      c.db().execute(
          "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, TextExt, "
          "OfficialDate, LastModifiedDate, LastAccessedDate, StackNo, PageNo, SingleItemPosX, SingleItemPosY) "
          "VALUES (?, ?, 'png', 1, 0, 0, '', 20260101, 20260101, 20260101, 1, ?, 0, 0)",
          page, title, page);
      QImage image(300 + 100 * page, 200, QImage::Format_RGB32);
      image.fill(Qt::white);
      image.setDotsPerMeterX(0);  // no resolution stated: printed at the default
      image.setDotsPerMeterY(0);
      ASSERT_TRUE(image.save(QString::fromStdString(folder + "/" + title + ".png")));
    }
    c.db().execute(
        "INSERT INTO ItemMST (ItemNo, ItemTitle, ItemExt, ImageLevel, OLELevel, FullTextLevel, TextExt, "
        "OfficialDate, LastModifiedDate, LastAccessedDate, SingleItemPosX, SingleItemPosY) "
        "VALUES (4, 'scanletter', 'doc', 0, 0, 0, '', 20260101, 20260101, 20260101, 0, 0)");
    writeFile(folder + "/scanletter.doc", "letter");
  }

  std::unique_ptr<CSearchDlg> Searched(const PagePrintSettings& print) {
    CSearchDlg::Setup setup;
    setup.desktopRoot = root;
    setup.currentFolder = root;
    setup.print = print;
    auto dlg = std::make_unique<CSearchDlg>(setup);
    EXPECT_TRUE(dlg->OpenSearchDatabase());
    dlg->ResetConditions();
    dlg->show();
    Type(*dlg, "scan");
    dlg->OnSearch();
    EXPECT_EQ(dlg->hitCount(), 2);
    dlg->printCommand = [this](const QString& program, const QStringList& arguments, const QString&) {
      commands << program + " " + arguments.join(u' ');
      return true;
    };
    return dlg;
  }
  QStringList commands;
};

TEST_F(HitPrinting, AStackOfThreeImagePagesPrintsThreeSheets) {
  PagePrintSettings print;
  auto dlg = Searched(print);
  const std::string pdf = dir.path() + "/hits.pdf";
  dlg->printSetup = [&](QPrinter& printer) {
    EXPECT_EQ(printer.toPage(), 3);
    pdfPrinter(printer, pdf);
    return true;
  };
  const int stack = dlg->hits().Find(1, 1);
  ASSERT_GE(stack, 0);
  dlg->hitPane()->SelectOnly(stack);
  dlg->OnPrint();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_EQ(dlg->printedSheets(), 3);
  EXPECT_EQ(pdfPages(pdf), 3);
  EXPECT_TRUE(commands.isEmpty());
}

TEST_F(HitPrinting, WithOnlyListedFilesTheDocumentGoesToThePrintCommandAndImagesAreSkipped) {
  PagePrintSettings print;
  print.printImages = false;
  print.printListed = true;
  print.patterns = {QStringLiteral("*.DOC")};
  auto dlg = Searched(print);
  bool setUp = false;
  dlg->printSetup = [&](QPrinter& printer) {
    setUp = true;
    pdfPrinter(printer, dir.path() + "/none.pdf");
    return true;
  };
  // The stack alone holds nothing printable under these settings.
  dlg->hitPane()->SelectOnly(dlg->hits().Find(1, 1));
  EXPECT_FALSE(dlg->HasPrintableSelection(false, true));
  dlg->OnPrint();
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"文書を選択してください"});
  EXPECT_FALSE(setUp);
  dlg->hitPane()->OnSelectAll();
  dlg->OnPrint();
  EXPECT_EQ(dlg->printedSheets(), 0);
  ASSERT_EQ(commands.size(), 1);
  EXPECT_EQ(commands.front(), "lp " + QString::fromStdString(root) + "/S/scanletter.doc");
}

TEST_F(HitPrinting, AReversedRangeIsWalkedDownwardsAndUnreadablePagesAreSkipped) {
  const std::string folder = root + "/S/";
  PagePrintSettings print;
  print.printListed = true;
  print.patterns = {QStringLiteral("*.doc")};
  std::vector<PrintListEntry> pages = {{folder + "scan1.png", true},
                                     {folder + "scanletter.doc", false},
                                     {folder + "gone.png", true},
                                     {folder + "scan3.png", true},
                                     {folder + "other.txt", false}};
  QStringList order;
  const PrintCommandRunner run = [&](const QString&, const QStringList& arguments, const QString&) {
    order << QFileInfo(arguments.front()).fileName();
    return false;  // no command takes it: the user is told, and the walk goes on
  };
  QPrinter printer(QPrinter::HighResolution);
  const std::string pdf = dir.path() + "/range.pdf";
  pdfPrinter(printer, pdf);
  CImageCtrl ctrl;
  EXPECT_EQ(PrintPageRange(printer, pages, 5, 1, print, ctrl, run), 2);
  EXPECT_EQ(pdfPages(pdf), 2);
  EXPECT_EQ(order, QStringList{"scanletter.doc"});  // other.txt is not listed
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{
                               "このファイルはアプリケーションに関連付けられていないので印刷できません\n" + folder +
                               "scanletter.doc"});
}

TEST_F(HitPrinting, TileMenuShowsTheHitInTheViewerOrItsFolder) {
  auto dlg = Searched(PagePrintSettings());
  const int stack = dlg->hits().Find(1, 1);
  auto menu = dlg->hitPane()->BuildTileMenu(stack);
  ASSERT_TRUE(menu);
  ASSERT_NE(MenuAction(*menu, tilecmd::kOcr), nullptr);
  EXPECT_FALSE(MenuAction(*menu, tilecmd::kOcr)->isEnabled());
  dlg->hitPane()->OnTileCommand(tilecmd::kShowInViewer, stack);
  EXPECT_EQ(dlg->result(), CSearchDlg::kShowInViewer);
  EXPECT_EQ(dlg->chosen().folder, root + "/S");
  EXPECT_EQ(dlg->chosen().kind, 1);
  EXPECT_EQ(dlg->chosen().number, 1);
  EXPECT_FALSE(dlg->isVisible());
}

TEST_F(HitPrinting, PropertiesOfAHitAreReadAndWrittenThroughItsFolder) {
  auto dlg = Searched(PagePrintSettings());
  const int letter = dlg->hits().Find(0, 4);
  ASSERT_GE(letter, 0);
  dlg->hitPane()->SelectOnly(letter);
  auto menu = dlg->hitPane()->BuildTileMenu(letter);
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kProperties)->isEnabled());
  QString shownPath;
  SetPropertyDialogRunner([&](QDialog& dialog) {
    auto& item = dynamic_cast<ItemPropertyDlg&>(dialog);
    shownPath = item.filePath;
    item.creator = QStringLiteral("作成者A");
    return int(QDialog::Accepted);
  });
  dlg->hitPane()->OnTileCommand(tilecmd::kProperties, letter);
  SetPropertyDialogRunner(nullptr);
  EXPECT_EQ(shownPath.toStdString(), root + "/S/scanletter.doc");
  const int folderNo = dlg->hits().GetAt(letter)->flags;
  std::string creator;
  ASSERT_TRUE(dlg->database().GetFolderCreator(folderNo, 4, creator));
  EXPECT_EQ(creator, "作成者A");
  ItemInfo item;
  ASSERT_TRUE(dlg->database().GetFolderItemInfo(folderNo, 4, item));
  EXPECT_EQ(item.LastAccessedDate, kToday);
  EXPECT_EQ(item.LastModifiedDate, kToday);
  EXPECT_EQ(dlg->hits().GetAt(letter)->lastModifiedDate, kToday);
}

TEST_F(HitPrinting, AHitStacksTitleIsChangedInItsOwnFolder) {
  auto dlg = Searched(PagePrintSettings());
  const int stack = dlg->hits().Find(1, 1);
  ASSERT_GE(stack, 0);
  dlg->hitPane()->SelectOnly(stack);
  auto menu = dlg->hitPane()->BuildTileMenu(stack);
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kRenameDialog)->isEnabled());
  dlg->titleRunner = [](TitleChangeDlg& dialog) {
    EXPECT_TRUE(dialog.loaded());
    dialog.baseTitleRunner = [](int) { return std::optional<std::string>("B"); };
    dialog.OnBulkChange();
    dialog.stackTitleEdit()->setText(QStringLiteral("束"));
    dialog.accept();
    return dialog.result();
  };
  dlg->hitPane()->OnTileCommand(tilecmd::kRenameDialog, stack);
  const int folderNo = dlg->hits().GetAt(stack)->flags;
  StackInfo info;
  ASSERT_TRUE(dlg->database().GetFolderStackInfo(folderNo, 1, info));
  EXPECT_EQ(info.Title, "束");
  EXPECT_EQ(dlg->hits().GetAt(stack)->title, "束");
  EXPECT_TRUE(QFile::exists(QString::fromStdString(root + "/S/Bの1頁目.png")));
  EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/S/scan1.png")));
}

TEST_F(HitPrinting, AHitStacksPagesAreReorderedInItsOwnFolder) {
  auto dlg = Searched(PagePrintSettings());
  const int stack = dlg->hits().Find(1, 1);
  ASSERT_GE(stack, 0);
  dlg->hitPane()->SelectOnly(stack);
  auto menu = dlg->hitPane()->BuildTileMenu(stack);
  EXPECT_TRUE(MenuAction(*menu, tilecmd::kReorderPages)->isEnabled());
  std::vector<std::string> offered;
  dlg->reorderRunner = [&](const std::vector<ItemInfo>& pages) -> std::optional<std::vector<int>> {
    for (const ItemInfo& page : pages) offered.push_back(page.Title);
    return std::vector<int>{2, 0, 1};
  };
  dlg->hitPane()->OnTileCommand(tilecmd::kReorderPages, stack);
  EXPECT_EQ(offered, (std::vector<std::string>{"scan1", "scan2", "scan3"}));
  const int folderNo = dlg->hits().GetAt(stack)->flags;
  std::vector<std::string> titles;
  for (int page = 1; page <= 3; ++page) {
    ItemInfo item;
    ASSERT_TRUE(dlg->database().FolderStack2Item(folderNo, 1, page, item));
    titles.push_back(item.Title);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"scan3", "scan1", "scan2"}));
  StackInfo info;
  ASSERT_TRUE(dlg->database().GetFolderStackInfo(folderNo, 1, info));
  EXPECT_EQ(info.LastModifiedDate, kToday);
}

TEST_F(HitPrinting, SelectedHitsAreExportedFromTheirOwnFolder) {
  auto dlg = Searched(PagePrintSettings());
  testsupport::TempDir out;
  std::vector<std::string> proposed;
  SetExportDialogRunner([&](CDlgExport2& dialog) {
    proposed.push_back(dialog.fileNameEdit()->text().toStdString());
    dialog.formatList()->setCurrentIndex(dialog.formatList()->findData(0));
    dialog.fileNameEdit()->setText(QString::fromStdString(out.path()) + "/" + dialog.fileNameEdit()->text());
    dialog.accept();
    return dialog.result();
  });
  const int letter = dlg->hits().Find(0, 4);
  ASSERT_GE(letter, 0);
  dlg->hitPane()->SelectOnly(letter);
  dlg->hitPane()->OnTileCommand(tilecmd::kExport, letter);
  SetExportDialogRunner(nullptr);
  ASSERT_EQ(proposed.size(), 1u);
  EXPECT_EQ(testsupport::readFile(out.path() + "/scanletter.doc"), "letter");
}

// The copy commands of the hit board copy into the hit's own folder (the
// browser has none open here) and show the copies on the board.
TEST_F(HitPrinting, HitsAreDuplicatedInTheirOwnFolderAndShownOnTheBoard) {
  auto dlg = Searched(PagePrintSettings());
  const std::string folder = root + "/S/";
  const int stack = dlg->hits().Find(1, 1);
  const int letter = dlg->hits().Find(0, 4);
  ASSERT_GE(stack, 0);
  ASSERT_GE(letter, 0);
  const int folderNo = dlg->hits().GetAt(stack)->flags;

  dlg->hitPane()->SelectOnly(stack);
  auto menu = dlg->hitPane()->BuildTileMenu(stack);
  for (int command : {tilecmd::kDuplicateAllPages, tilecmd::kDuplicatePage})
    EXPECT_TRUE(MenuAction(*menu, command)->isEnabled()) << command;
  dlg->hitPane()->OnTileCommand(tilecmd::kDuplicatePage, stack);
  ASSERT_EQ(dlg->hits().GetCount(), 3);
  const DisplayEntry* page = dlg->hits().GetAt(2);
  EXPECT_EQ(page->kind, 0);
  EXPECT_EQ(page->flags, folderNo);
  EXPECT_EQ(page->title, "scan1のコピー.png");
  EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + "scan1のコピー.png")));

  dlg->hitPane()->OnTileCommand(tilecmd::kDuplicateAllPages, stack);
  ASSERT_EQ(dlg->hits().GetCount(), 4);
  const DisplayEntry* copiedStack = dlg->hits().GetAt(3);
  EXPECT_EQ(copiedStack->kind, 1);
  EXPECT_EQ(copiedStack->title, "scanのコピー");
  StackInfo info;
  ASSERT_TRUE(dlg->database().GetFolderStackInfo(folderNo, copiedStack->number, info));
  EXPECT_EQ(info.PageCount, 3);
  for (const char* file : {"scan1のコピーその2.png", "scan2のコピー.png", "scan3のコピー.png"})
    EXPECT_TRUE(QFile::exists(QString::fromStdString(folder + file))) << file;

  dlg->hitPane()->SelectOnly(letter);
  dlg->hitPane()->OnTileCommand(tilecmd::kDuplicate, letter);
  ASSERT_EQ(dlg->hits().GetCount(), 5);
  EXPECT_EQ(dlg->hits().GetAt(4)->title, "scanletterのコピー.doc");
  EXPECT_EQ(testsupport::readFile(folder + "scanletterのコピー.doc"), "letter");
  EXPECT_EQ(dlg->hitPane()->tileCount(), 5);
  EXPECT_TRUE(boxes.texts().empty());
  dlg->resize(640, 620);
  QCoreApplication::processEvents();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(dlg->grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/hit_board_copies.png")));
}

// The hit board's delete asks as the folder's panes do and deletes each
// hit's document from its own folder, its tile from the board.
TEST_F(HitPrinting, HitsAreDeletedFromTheirOwnFolder) {
  auto dlg = Searched(PagePrintSettings());
  const std::string folder = root + "/S/";
  const int letter = dlg->hits().Find(0, 4);
  ASSERT_GE(letter, 0);
  const int folderNo = dlg->hits().GetAt(letter)->flags;

  // The menu's delete reaches the question; Cancel keeps everything.
  boxes.script({platform::Answer::Cancel});
  dlg->hitPane()->SelectOnly(letter);
  dlg->hitPane()->OnTileCommand(tilecmd::kDelete, letter);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"文書をごみ箱に移動します。\nよろしいですか？"});
  EXPECT_EQ(dlg->hits().GetCount(), 2);

  boxes.clear();
  boxes.script({platform::Answer::Ok});
  dlg->hitPane()->OnSelectAll();
  dlg->OnHitDelete(true);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"文書を削除します。\nよろしいですか？"});
  EXPECT_EQ(dlg->hits().GetCount(), 0);
  EXPECT_EQ(dlg->hitPane()->tileCount(), 0);
  EXPECT_EQ(dlg->hitCount(), 0);
  for (const char* file : {"scan1.png", "scan2.png", "scan3.png", "scanletter.doc"})
    EXPECT_FALSE(QFile::exists(QString::fromStdString(folder + file))) << file;
  ItemInfo item;
  StackInfo stack;
  EXPECT_FALSE(dlg->database().GetFolderItemInfo(folderNo, 4, item));
  EXPECT_FALSE(dlg->database().GetFolderStackInfo(folderNo, 1, stack));
}

// A folder at its limit takes no copy, and says so.
TEST_F(HitPrinting, AFullFolderRefusesTheHitsCopy) {
  CSearchDlg::Setup setup;
  setup.desktopRoot = root;
  setup.currentFolder = root;
  setup.folderMax = 4;
  CSearchDlg dlg(setup);
  ASSERT_TRUE(dlg.OpenSearchDatabase());
  dlg.ResetConditions();
  dlg.show();
  Type(dlg, "scan");
  dlg.OnSearch();
  const int letter = dlg.hits().Find(0, 4);
  ASSERT_GE(letter, 0);
  dlg.hitPane()->SelectOnly(letter);
  dlg.hitPane()->OnTileCommand(tilecmd::kDuplicate, letter);
  EXPECT_EQ(dlg.hits().GetCount(), 2);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(root + "/S/scanletterのコピー.doc")));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"データの登録は、各フォルダ 4 件までです"}));
}

}  // namespace
