// The list pane over a real document: rows, sorting, column widths, rename
// and delete; and the list's texts without widgets.

#include "browser/list_pane.h"
#include "browser/list_rows.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/command_ids.h"
#include "shell/document_observer.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMainWindow>
#include <QTest>

#include <iconv.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;
using cataloguetest::CatalogueRows;
using namespace listpane;

namespace {

constexpr int kToday = 20261224;

std::string sjisByIconv(const std::string& utf8) {
  iconv_t cd = iconv_open("CP932", "UTF-8");
  std::string in = utf8;
  std::string out(in.size() * 2 + 4, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

// The rows follow the document as the view makes them follow it.
class ListObserver : public DocumentObserver {
 public:
  explicit ListObserver(CListPane& pane) : pane_(pane) {}
  void EntriesCleared(DocumentChanges) override { pane_.DeleteAllRows(); }
  void EntryAdded(int index, const StackInfo* stack, const ItemInfo* item) override {
    pane_.UpdateEntry(index, stack, item);
  }
  void EntryRemoved(int index) override { pane_.DeleteRow(index); }
  void DocumentChanged(DocumentChanges changes) override {
    if (changes.testFlag(DocumentChange::Entries)) pane_.Fill(-1, 1);
  }

 private:
  CListPane& pane_;
};

class ListPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    folder = platform::joinPath(dir.path(), "書類");
    cataloguetest::makeCatalogueFolder(folder);
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
    pane = std::make_unique<CListPane>();
    pane->resize(600, 400);
    pane->SetDocument(&doc);
    pane->onShowDocumentCount = [this](int count) { shownCount = count; };
    observer = std::make_unique<ListObserver>(*pane);
    doc.AddObserver(observer.get());
  }
  void TearDown() override {
    doc.RemoveObserver(observer.get());
    platform::setFixedNowForTests(std::nullopt);
    doc.CloseFolderDatabase();
  }
  void load() { doc.LoadFolder(folder + "/", 1); }
  void touch(const std::string& name) { ASSERT_TRUE(testsupport::writeFile(platform::joinPath(folder, name), "x")); }
  std::vector<std::string> column(int c) const {
    std::vector<std::string> texts;
    for (int r = 0; r < pane->rowCount(); ++r) texts.push_back(pane->CellText(r, c));
    return texts;
  }
  // Every row names its own entry: the entry's title is the row's.
  void expectRowsMatchEntries() {
    for (int r = 0; r < pane->rowCount(); ++r) {
      const DisplayEntry* e = doc.EntryList().GetAt(pane->EntryOfRow(r));
      ASSERT_NE(e, nullptr);
      const std::string shown = pane->CellText(r, kTitle);
      EXPECT_TRUE(e->title == shown || e->title.rfind(shown + ".", 0) == 0) << e->title << " / " << shown;
    }
  }

  FreshEnvironment env;
  testsupport::TempDir dir;
  std::string folder;
  QMainWindow window;
  CFD3Doc doc;
  std::unique_ptr<CListPane> pane;
  std::unique_ptr<ListObserver> observer;
  platform::RecordingUserInteraction boxes;
  int shownCount = -1;
};

}  // namespace

TEST(ListRows, SortKeysAndDates) {
  struct Case {
    int column;
    const char* text;
    const char* key;
  } cases[] = {
      {kPages, "", "000000"},          {kPages, "12", "000012"},
      {kIssueDate, "2026/1/5", "2026/01/05"}, {kIssueDate, "26/12/24", "0026/12/24"},
      {kIssueDate, "no date", "no date"},     {kTitle, "見積", "見積"},
  };
  for (const Case& c : cases) EXPECT_EQ(ListSortKey(c.column, c.text), c.key) << c.text;
  EXPECT_EQ(FormatListDate(20261224), "2026/12/24");
  EXPECT_EQ(FormatListDate(0), "0000/00/00");
}

TEST(ListRows, TitlesOrderByTheirShiftJisBytesAsciiCaseBlind) {
  const std::vector<std::string> titles = {"見積", "abc", "ABD", "あいう", "アイウ", "zz", "Abc", "漢字", "1番"};
  std::vector<std::string> sorted = titles;
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
    return CompareSortKeys(PrepareSortKey(a), PrepareSortKey(b)) < 0;
  });
  // The expected order from iconv's bytes: upper-cased ASCII first, then the bytes.
  std::vector<std::string> expected = titles;
  const auto upper = [](std::string s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
      out += (c >= 'a' && c <= 'z') ? char(c - 32) : char(c);
      if (lead && i + 1 < s.size()) out += s[++i];
    }
    return out;
  };
  std::sort(expected.begin(), expected.end(), [&](const std::string& a, const std::string& b) {
    const std::string sa = sjisByIconv(a), sb = sjisByIconv(b);
    const auto ua = upper(sa), ub = upper(sb);
    const auto bytes = [](const std::string& s) { return std::vector<unsigned char>(s.begin(), s.end()); };
    return ua != ub ? bytes(ua) < bytes(ub) : bytes(sa) < bytes(sb);
  });
  EXPECT_EQ(sorted, expected);
  const auto abc = std::find(sorted.begin(), sorted.end(), "Abc");
  ASSERT_NE(abc, sorted.end());
  EXPECT_EQ(*(abc + 1), "abc") << "case-only differences sit together, upper case first";
}

TEST(ListRows, ElidingNeverSplitsACharacter) {
  const std::string title = "日本語のとても長いタイトル";
  for (std::size_t limit = 0; limit < 40; ++limit) {
    const std::string shown = ElideCellText(title, [limit](const std::string& t) { return t.size() <= limit; });
    ASSERT_TRUE(QString::fromStdString(shown).toUtf8().toStdString() == shown);
    if (shown == title) continue;
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    const std::string kept = shown.substr(0, shown.size() - 3);
    EXPECT_EQ(title.compare(0, kept.size(), kept), 0);
    EXPECT_FALSE(QString::fromUtf8(kept.data(), kept.size()).contains(QChar::ReplacementCharacter)) << limit;
  }
}

TEST_F(ListPaneTest, RowsShowTitlesPagesAndDatesAndSortByAnyColumn) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "見積", .ext = "bmp", .date = 20261201});
    rows.addItem({.itemNo = 2, .title = "abc", .ext = "txt", .date = 20250105});
    rows.addStackWithPages(1, 3, 3);
    rows.db().execute("UPDATE StackMST SET StackTitle = 'Stack', OfficialDate = 20240303 WHERE StackNo = 1");
  }
  load();
  ASSERT_EQ(pane->rowCount(), 3);
  EXPECT_EQ(shownCount, 3);
  EXPECT_EQ(pane->sortColumn(), kTitle);
  EXPECT_FALSE(pane->descending());
  EXPECT_EQ(column(kTitle), (std::vector<std::string>{"abc", "Stack", "見積"}));
  const int stackRow = 1;
  EXPECT_EQ(pane->CellText(stackRow, kPages), "3");
  EXPECT_FALSE(pane->CellText(stackRow, kPageTitle).empty());
  EXPECT_EQ(pane->CellText(stackRow, kIssueDate), "2024/03/03");
  EXPECT_EQ(pane->CellText(0, kPages), "");
  EXPECT_EQ(pane->CellText(0, kPageTitle), "");
  EXPECT_EQ(pane->CellText(0, kIssueDate), "2025/01/05");

  pane->Fill(kTitle, 0);
  EXPECT_TRUE(pane->descending());
  EXPECT_EQ(column(kTitle), (std::vector<std::string>{"見積", "Stack", "abc"}));
  pane->Fill(kIssueDate, 0);
  EXPECT_FALSE(pane->descending()) << "another column starts ascending";
  EXPECT_EQ(column(kIssueDate), (std::vector<std::string>{"2024/03/03", "2025/01/05", "2026/12/01"}));
  pane->Fill(kPages, 0);
  EXPECT_EQ(column(kPages), (std::vector<std::string>{"", "", "3"})) << "single items' key is 000000";
  pane->Fill(-1, 1);
  EXPECT_EQ(column(kPages), (std::vector<std::string>{"", "", "3"})) << "-1 keeps column and direction";
  expectRowsMatchEntries();
}

TEST_F(ListPaneTest, DeletingMiddleRowsKeepsRowsOnTheirEntries) {
  {
    CatalogueRows rows(folder);
    for (int i = 1; i <= 5; ++i) rows.addItem({.itemNo = i, .title = "d" + std::to_string(i), .ext = "bmp"});
  }
  for (int i = 1; i <= 5; ++i) touch("d" + std::to_string(i) + ".bmp");
  load();
  ASSERT_EQ(pane->rowCount(), 5);
  pane->Fill(kTitle, 0);  // descending: rows and entries in other orders
  pane->clearSelection();
  for (int r : {1, 3}) pane->topLevelItem(r)->setSelected(true);
  const std::string gone1 = pane->CellText(1, kTitle), gone2 = pane->CellText(3, kTitle);
  boxes.script({platform::Answer::Ok});
  pane->OnDelete(true);
  ASSERT_EQ(pane->rowCount(), 3);
  EXPECT_EQ(doc.EntryList().GetCount(), 3);
  EXPECT_EQ(column(kTitle), (std::vector<std::string>{"d5", "d3", "d1"}));
  EXPECT_FALSE(fs::exists(platform::joinPath(folder, gone1 + ".bmp")));
  EXPECT_FALSE(fs::exists(platform::joinPath(folder, gone2 + ".bmp")));
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "d3.bmp")));
  expectRowsMatchEntries();
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown().front().text, "文書を削除します。\nよろしいですか？");

  pane->clearSelection();
  boxes.clear();
  pane->OnDelete(false);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown().front().text, "文書が選択されていません。");
}

TEST_F(ListPaneTest, RenameCodesShowTheirMessagesAndTheEditOpensAgain) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "alpha", .ext = "bmp"});
    rows.addItem({.itemNo = 2, .title = "beta", .ext = "bmp"});
    rows.db().execute("UPDATE ItemMST SET TextExt = 'TXT' WHERE ItemNo = 1");
  }
  touch("alpha.bmp");
  touch("alpha.bmp.TXT");
  touch("beta.bmp");
  load();
  window.show();
  pane->show();
  struct Case {
    std::string text;
    const char* message;
  } refused[] = {
      {"Beta", "フォルダ内に同名のタイトル「 Beta.bmp 」が存在します。\n別のタイトルを指定してください。"},
      {"  ", "タイトルを入力して下さい。"},
      {"a:b", "タイトルには \"\\/:<>'*?][#| を含めないでください。"},
      {std::string(201, 'x'), "タイトルが長すぎます。"},
  };
  for (const Case& c : refused) {
    boxes.clear();
    const std::string text = c.text;
    EXPECT_FALSE(pane->EndLabelEdit(0, text)) << text;
    ASSERT_EQ(boxes.shown().size(), 1u) << text;
    EXPECT_EQ(boxes.shown().front().text, c.message);
    EXPECT_EQ(boxes.shown().front().caption, "タイトルの変更");
    QApplication::processEvents();
    EXPECT_TRUE(pane->IsEditing()) << "the edit opens again on the row";
    ASSERT_NE(pane->findChild<QLineEdit*>(QStringLiteral("ListPaneEdit")), nullptr);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QApplication::processEvents();
  }
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "alpha.bmp")));

  // A file in the way of the attached text: nothing is renamed, and another
  // title may avoid it.
  touch("gamma.bmp.TXT");
  boxes.clear();
  EXPECT_FALSE(pane->EndLabelEdit(0, "gamma"));
  EXPECT_EQ(boxes.shown().front().text,
            "フォルダ内に同名のファイル「 gamma.bmp.TXT 」が存在します。\n別のタイトルを指定してください。");
  QApplication::processEvents();
  EXPECT_TRUE(pane->IsEditing());
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "alpha.bmp")));
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "alpha.bmp.TXT")));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QApplication::processEvents();

  // A read-only file keeps its name and its row.
  const std::string alpha = platform::joinPath(folder, "alpha.bmp");
  ::chmod(alpha.c_str(), 0444);
  boxes.clear();
  EXPECT_FALSE(pane->EndLabelEdit(0, "delta"));
  if (::geteuid() != 0) {
    EXPECT_EQ(boxes.shown().front().text, "このファイルは書き込み禁止です。");
    QApplication::processEvents();
    EXPECT_FALSE(pane->IsEditing()) << "another title would not help";
  }
  ::chmod(alpha.c_str(), 0644);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QApplication::processEvents();

  // Only the case changes: still a rename; both files follow, the catalogue last.
  boxes.clear();
  EXPECT_TRUE(pane->EndLabelEdit(0, "Alpha"));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_EQ(pane->CellText(0, kTitle), "Alpha");
  EXPECT_EQ(pane->CellText(0, kModifiedDate), "2026/12/24");
  EXPECT_TRUE(fs::exists(platform::joinPath(folder, "Alpha.bmp.TXT")));
  ItemInfo item;
  ASSERT_EQ(doc.Database().GetItemInfo(1, item), 0);
  EXPECT_EQ(item.Title, "Alpha");
  EXPECT_EQ(item.LastModifiedDate, kToday);
  EXPECT_EQ(doc.EntryList().GetAt(pane->EntryOfRow(0))->title, "Alpha.bmp");
}

TEST_F(ListPaneTest, ColumnWidthsAreKeptAcrossARestart) {
  pane->setColumnWidth(kTitle, 222);
  pane->setColumnWidth(kAccessedDate, 91);
  pane.reset();
  CListPane again;
  EXPECT_EQ(again.columnWidth(kTitle), 222);
  EXPECT_EQ(again.columnWidth(kAccessedDate), 91);
  EXPECT_EQ(again.columnWidth(kPageTitle), again.DefaultColumnWidth(kPageTitle));
}

// Without stored widths every heading fits, and every date column shows a
// whole date in the Japanese face.
TEST_F(ListPaneTest, DefaultWidthsFitHeadingsAndWholeDates) {
  for (int c = 0; c < kColumnCount; ++c) {
    SCOPED_TRACE(c);
    EXPECT_GE(pane->columnWidth(c), CListPane::kDefaultWidths[c]);
    EXPECT_GT(pane->columnWidth(c), pane->header()->fontMetrics().horizontalAdvance(pane->headerItem()->text(c)));
    if (c >= kIssueDate) {
      EXPECT_GT(pane->columnWidth(c), pane->fontMetrics().horizontalAdvance(QStringLiteral("2026/12/31")) + 8);
    }
  }
}

TEST_F(ListPaneTest, Screenshot) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "見積書_株式会社サンプル商事様_二〇二六年十二月分の請求明細", .ext = "bmp",
                  .date = 20261201});
    rows.addItem({.itemNo = 2, .title = "会議メモ", .ext = "txt", .fullTextLevel = 3, .date = 20261115});
    rows.addItem({.itemNo = 3, .title = "Report", .ext = "pdf", .date = 20250105});
    rows.addStackWithPages(1, 4, 3);
    rows.db().execute("UPDATE StackMST SET StackTitle = '領収書の束' WHERE StackNo = 1");
  }
  load();
  pane->topLevelItem(1)->setSelected(true);
  pane->show();
  QApplication::processEvents();
  QDir().mkpath(QStringLiteral(BRINDEL_SCREENSHOT_DIR));
  const QString path = QStringLiteral(BRINDEL_SCREENSHOT_DIR "/list_pane.png");
  ASSERT_TRUE(pane->grab().save(path));
}

TEST_F(ListPaneTest, ContextMenusGreyWhatCannotRun) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "one", .ext = "bmp"});
    rows.addStackWithPages(1, 2, 2);
  }
  load();
  const auto enabled = [](QMenu* menu, const char* text) {
    for (QAction* a : menu->actions())
      if (a->text() == QString::fromUtf8(text)) return a->isEnabled();
    ADD_FAILURE() << text;
    return false;
  };
  std::unique_ptr<QMenu> view(pane->BuildContextMenu(-1, nullptr));
  EXPECT_TRUE(enabled(view.get(), "タイトル順"));
  EXPECT_FALSE(enabled(view.get(), "貼り付け"));
  pane->selectAll();
  const int itemRow = pane->CellText(0, kTitle) == "one" ? 0 : 1;
  std::unique_ptr<QMenu> item(pane->BuildContextMenu(itemRow, nullptr));
  EXPECT_EQ(item->objectName(), "ListRightClick SingleItem");
  EXPECT_FALSE(enabled(item.get(), "プロパティ")) << "two rows selected";
  pane->SelectOnlyRow(pane->EntryOfRow(1 - itemRow));
  std::unique_ptr<QMenu> stack(pane->BuildContextMenu(1 - itemRow, nullptr));
  EXPECT_EQ(stack->objectName(), "ListRightClick Stack");
  EXPECT_TRUE(enabled(stack.get(), "頁並べ替え ..."));
  int ran = 0;
  pane->runCommand = [&ran](int id) { ran = id; };
  for (QAction* a : stack->actions())
    if (a->text() == QStringLiteral("プロパティ")) a->trigger();
  EXPECT_EQ(ran, cmd::kProperties);
}
