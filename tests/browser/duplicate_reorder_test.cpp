// Duplicating documents and reordering a stack's pages on a real folder
// catalogue behind the board.

#include "browser/board_operations.h"
#include "browser/document_duplicate.h"
#include "browser/fd3_view.h"
#include "browser/page_reorder_dlg.h"
#include "browser/sort_drag_list_ctrl.h"
#include "browser/thumbnail_pane_wnd.h"
#include "browser/title_change_dlg.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"
#include "tests/browser/view_fixture.h"

#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class DuplicateReorderTest : public BrowserViewFixture {
 protected:
  void SetUp() override {
    BrowserViewFixture::SetUp();
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
  }
  void TearDown() override {
    BrowserViewFixture::TearDown();
    platform::setFixedNowForTests(std::nullopt);
  }
  int tileOf(int kind, int number) const { return entryOf(kind, number); }
  void giveText(int item) {
    ItemInfo info;
    ASSERT_EQ(document.Database().GetItemInfo(item, info), 0);
    info.TextExt = "TXT";
    ASSERT_EQ(document.Database().SetItemInfo(info, fieldmask::kItemTextExt), 0);
  }
  void expectInStep() {
    EXPECT_EQ(board->tileCount(), document.EntryList().GetCount());
    EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
  }
};

TEST(CopySuffix, FirstThenNumberedFromTwo) {
  EXPECT_EQ(duplicate::CopySuffix(1), "のコピー");
  EXPECT_EQ(duplicate::CopySuffix(2), "のコピーその2");
  EXPECT_EQ(duplicate::CopySuffix(999), "のコピーその999");
}

TEST_F(DuplicateReorderTest, MemoIsCopiedWithItsTextThenTheNextCopyIsNumberTwo) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "memo", .ext = "jpg"});
  }
  touch("memo.jpg", "picture");
  touch("memo.jpg.TXT", "text");
  show();
  giveText(itemNo("memo", "jpg"));
  const int memo = tileOf(0, itemNo("memo", "jpg"));
  board->SelectOnly(memo);
  ops->DuplicateSelected();
  EXPECT_TRUE(boxes.shown().empty()) << (boxes.shown().empty() ? "" : boxes.shown()[0].text);
  ASSERT_NE(itemNo("memoのコピー", "jpg"), 0);
  EXPECT_TRUE(exists("memoのコピー.jpg"));
  EXPECT_TRUE(exists("memoのコピー.jpg.TXT"));
  {
    std::ifstream copied(folder + "/memoのコピー.jpg.TXT");
    std::string text;
    copied >> text;
    EXPECT_EQ(text, "text");
  }
  ItemInfo copy;
  ASSERT_EQ(document.Database().GetItemInfo(itemNo("memoのコピー", "jpg"), copy), 0);
  EXPECT_EQ(copy.TextExt, "TXT");
  EXPECT_EQ(board->tileCount(), 2);

  board->SelectOnly(memo);
  ops->DuplicateSelected();
  EXPECT_NE(itemNo("memoのコピーその2", "jpg"), 0);
  EXPECT_TRUE(exists("memoのコピーその2.jpg"));
  EXPECT_TRUE(exists("memoのコピーその2.jpg.TXT"));
  EXPECT_EQ(board->tileCount(), 3);
  expectInStep();
}

TEST_F(DuplicateReorderTest, AFileOfTheCopyNameOutsideTheCatalogueMovesTheCopyOn) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "memo", .ext = "jpg"});
  }
  touch("memo.jpg");
  show();
  touch("memoのコピー.jpg", "someone else's");
  board->SelectOnly(tileOf(0, itemNo("memo", "jpg")));
  ops->DuplicateSelected();
  EXPECT_EQ(itemNo("memoのコピー", "jpg"), 0);
  EXPECT_NE(itemNo("memoのコピーその2", "jpg"), 0);
  std::ifstream untouched(folder + "/memoのコピー.jpg");
  std::string text;
  std::getline(untouched, text);
  EXPECT_EQ(text, "someone else's");
}

// The attached text is missing: the copy cannot be made whole, so neither
// its row nor the copied document file stays.
TEST_F(DuplicateReorderTest, ADuplicateWhoseCopyFailsLeavesNoRowAndNoFile) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "memo", .ext = "jpg"});
  }
  touch("memo.jpg");
  show();
  giveText(itemNo("memo", "jpg"));
  board->SelectOnly(tileOf(0, itemNo("memo", "jpg")));
  EXPECT_EQ(ops->DuplicateItem(tileOf(0, itemNo("memo", "jpg")), BoardOperations::kDuplicateOffset, true, true), 1);
  EXPECT_EQ(itemNo("memoのコピー", "jpg"), 0);
  EXPECT_FALSE(exists("memoのコピー.jpg"));
  EXPECT_EQ(board->tileCount(), 1);
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"複製に失敗しました。"}));
  expectInStep();
}

TEST_F(DuplicateReorderTest, AFolderAtItsLimitRefusesBeforeCopying) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 1, .title = "p1", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 2, .title = "p2", .stackNo = 10, .pageNo = 2});
  }
  touch("p1.bmp");
  touch("p2.bmp");
  show();
  ops->folderMax = 3;  // room for one more item, not for two pages
  EXPECT_EQ(ops->DuplicateStack(tileOf(1, stackNo("束")), BoardOperations::kDuplicateOffset, true, true), 1);
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"データの登録は、各フォルダ 3 件までです"}));
  EXPECT_EQ(itemNo("p1のコピー", "bmp"), 0);
  EXPECT_FALSE(exists("p1のコピー.bmp"));
}

TEST_F(DuplicateReorderTest, AStackIsCopiedPageByPageAndStackedAgain) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 2);
    for (int p = 1; p <= 3; ++p)
      rows.addItem({.itemNo = p, .title = "p" + std::to_string(p), .stackNo = 10, .pageNo = p});
  }
  for (int p = 1; p <= 3; ++p) touch("p" + std::to_string(p) + ".bmp");
  show();
  board->SelectOnly(tileOf(1, stackNo("束")));
  ops->DuplicateSelected();
  EXPECT_TRUE(boxes.shown().empty());
  const int copy = stackNo("束のコピー");
  ASSERT_NE(copy, 0);
  EXPECT_EQ(pageTitles(copy), (std::vector<std::string>{"p1のコピー", "p2のコピー", "p3のコピー"}));
  StackInfo info;
  ASSERT_EQ(document.Database().GetStackInfo(copy, info), 0);
  EXPECT_EQ(info.CurPageNo, 2);
  for (int p = 1; p <= 3; ++p) EXPECT_TRUE(exists("p" + std::to_string(p) + "のコピー.bmp"));
  EXPECT_EQ(board->tileCount(), 2);
  expectInStep();

  // The one-page copy of the stack's current page is a single item.
  board->SelectOnly(tileOf(1, stackNo("束")));
  EXPECT_EQ(ops->DuplicateItem(tileOf(1, stackNo("束")), BoardOperations::kDuplicateOffset, true, true), 0);
  EXPECT_NE(itemNo("p2のコピーその2", "bmp"), 0);
  expectInStep();
}

// ---- page order ---------------------------------------------------------------------

TEST_F(DuplicateReorderTest, DraggingTwoNonAdjacentRowsToTheTopKeepsTheirOrder) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    for (int p = 1; p <= 4; ++p)
      rows.addItem({.itemNo = p, .title = "p" + std::to_string(p), .stackNo = 10, .pageNo = p});
  }
  for (int p = 1; p <= 4; ++p) touch("p" + std::to_string(p) + ".bmp");
  show();
  ops->reorderDialog = [](const std::vector<ItemInfo>& pages) -> std::optional<std::vector<int>> {
    PageReorderDlg dialog(pages, true, nullptr);
    dialog.show();
    SortDragListCtrl& list = *dialog.list();
    EXPECT_EQ(list.topLevelItem(0)->text(0), QStringLiteral("p1.bmp"));
    list.topLevelItem(1)->setSelected(true);
    list.topLevelItem(3)->setSelected(true);
    QWidget* viewport = list.viewport();
    const QPoint from = list.visualItemRect(list.topLevelItem(3)).center();
    const QRect first = list.visualItemRect(list.topLevelItem(0));
    QTest::mousePress(viewport, Qt::LeftButton, {}, from);
    QTest::mouseMove(viewport, from + QPoint(0, -20));
    QTest::mouseMove(viewport, QPoint(20, first.top() + 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, first.top() + 1));
    dialog.accept();
    return dialog.ResultOrder();
  };
  const int stack = stackNo("束");
  ops->ReorderStackPages(tileOf(1, stack));
  EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"p2", "p4", "p1", "p3"}));
  StackInfo info;
  ASSERT_EQ(document.Database().GetStackInfo(stack, info), 0);
  EXPECT_EQ(info.LastModifiedDate, 20261224);
  EXPECT_EQ(info.LastAccessedDate, 20261224);
  expectInStep();
}

TEST_F(DuplicateReorderTest, CancelOrAnIncompleteOrderStoresNothing) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 1, .title = "p1", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 2, .title = "p2", .stackNo = 10, .pageNo = 2});
  }
  touch("p1.bmp");
  touch("p2.bmp");
  show();
  const int stack = stackNo("束");
  StackInfo before;
  ASSERT_EQ(document.Database().GetStackInfo(stack, before), 0);
  using Answer = std::optional<std::vector<int>>;
  for (const Answer& answer : {Answer(), Answer(std::vector<int>{1}), Answer(std::vector<int>{1, 1})}) {
    ops->reorderDialog = [answer](const std::vector<ItemInfo>&) { return answer; };
    ops->ReorderStackPages(tileOf(1, stack));
    EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"p1", "p2"}));
    StackInfo after;
    ASSERT_EQ(document.Database().GetStackInfo(stack, after), 0);
    EXPECT_EQ(after.LastModifiedDate, before.LastModifiedDate);
  }
  ops->reorderDialog = [](const std::vector<ItemInfo>&) { return std::optional<std::vector<int>>(std::vector<int>{1, 0}); };
  ops->ReorderStackPages(tileOf(1, stack));
  EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"p2", "p1"}));
}

// ---- titles ---------------------------------------------------------------------------

TEST_F(DuplicateReorderTest, BulkChangeNamesPagesFromTheBaseAndKeepsAReadOnlyPage) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    for (int p = 1; p <= 3; ++p)
      rows.addItem({.itemNo = p, .title = "p" + std::to_string(p), .stackNo = 10, .pageNo = p});
    rows.addStack(11, "A", 1);
    rows.addItem({.itemNo = 4, .title = "q1", .stackNo = 11, .pageNo = 1});
    rows.addItem({.itemNo = 5, .title = "q2", .stackNo = 11, .pageNo = 2});
  }
  for (const char* name : {"p1.bmp", "p2.bmp", "p3.bmp", "q1.bmp", "q2.bmp"}) touch(name);
  touch("p1.bmp.TXT", "text");
  ASSERT_EQ(::chmod((folder + "/p2.bmp").c_str(), 0444), 0);
  show();
  giveText(itemNo("p1", "bmp"));
  const int stack = stackNo("束");
  std::vector<std::string> shownInDialog;
  ops->titleDialogRunner = [&](TitleChangeDlg& dialog) {
    EXPECT_TRUE(dialog.loaded());
    dialog.baseTitleRunner = [](int) { return std::optional<std::string>("A"); };
    dialog.OnBulkChange();
    shownInDialog = dialog.rowTitles();
    EXPECT_EQ(dialog.stackTitleEdit()->text(), QStringLiteral("Aその2"));
    dialog.accept();
    return dialog.result();
  };
  board->SelectOnly(tileOf(1, stack));
  ops->ChangeTitle(tileOf(1, stack));
  EXPECT_EQ(shownInDialog, (std::vector<std::string>{"Aの1頁目", "p2", "Aの3頁目"}));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"書き込み禁止により、\n変更できない頁がありました。"}));
  EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"Aの1頁目", "p2", "Aの3頁目"}));
  StackInfo info;
  ASSERT_EQ(document.Database().GetStackInfo(stack, info), 0);
  EXPECT_EQ(info.Title, "Aその2");
  EXPECT_TRUE(exists("Aの1頁目.bmp"));
  EXPECT_TRUE(exists("Aの1頁目.bmp.TXT")) << "the attached text follows its document";
  EXPECT_FALSE(exists("p1.bmp"));
  EXPECT_FALSE(exists("p1.bmp.TXT"));
  EXPECT_TRUE(exists("p2.bmp"));
  EXPECT_TRUE(exists("Aの3頁目.bmp"));
  EXPECT_EQ(document.EntryList().GetAt(tileOf(1, stack))->title, "Aその2");
  expectInStep();
}

TEST_F(DuplicateReorderTest, APlainPageNameHeldOnlyByAnotherPageOfTheStackIsTakenOnTheFurtherPass) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 1, .title = "Aの2頁目", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 2, .title = "x", .stackNo = 10, .pageNo = 2});
  }
  touch("Aの2頁目.bmp", "first");
  touch("x.bmp", "second");
  show();
  const int stack = stackNo("束");
  std::vector<std::string> shownInDialog;
  ops->titleDialogRunner = [&](TitleChangeDlg& dialog) {
    dialog.baseTitleRunner = [](int) { return std::optional<std::string>("A"); };
    dialog.OnBulkChange();
    shownInDialog = dialog.rowTitles();
    dialog.accept();
    return dialog.result();
  };
  ops->ChangeTitle(tileOf(1, stack));
  EXPECT_EQ(shownInDialog, (std::vector<std::string>{"Aの1頁目", "Aの2頁目"}));
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"Aの1頁目", "Aの2頁目"}));
  std::ifstream second(folder + "/Aの2頁目.bmp");
  std::string text;
  second >> text;
  EXPECT_EQ(text, "second") << "page 2's own file bears the name";
  EXPECT_TRUE(exists("Aの1頁目.bmp"));
  expectInStep();
}

TEST_F(DuplicateReorderTest, PageEditsAreCheckedInTheList) {
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addStack(10, "束", 1);
    rows.addItem({.itemNo = 1, .title = "Page", .stackNo = 10, .pageNo = 1});
    rows.addItem({.itemNo = 2, .title = "p2", .stackNo = 10, .pageNo = 2});
  }
  touch("Page.bmp");
  touch("p2.bmp");
  show();
  TitleChangeDlg dialog(document.Database(), folder, stackNo("束"));
  ASSERT_TRUE(dialog.loaded());
  QListWidgetItem* second = dialog.pageList()->item(1);
  const struct {
    std::string text;
    std::string message;
  } refused[] = {{std::string(201, 'x'), "頁名が長すぎます。"},
                 {"  ", "頁名を入力してください。"},
                 {"a:b", "\"\\/:<>'*?][#|の文字はタイトルには使用できません。"},
                 {"PAGE", "同名のタイトルが存在します。"}};
  for (const auto& c : refused) {
    boxes.clear();
    second->setText(QString::fromStdString(c.text));
    EXPECT_EQ(second->text(), QStringLiteral("p2")) << c.text;
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{c.message})) << c.text;
  }
  boxes.clear();
  second->setText(QStringLiteral("  二頁 "));
  EXPECT_EQ(second->text(), QStringLiteral("二頁"));
  EXPECT_TRUE(boxes.shown().empty());
  dialog.accept();
  EXPECT_EQ(pageTitles(stackNo("束")), (std::vector<std::string>{"Page", "二頁"}));
  EXPECT_TRUE(exists("二頁.bmp"));
}

}  // namespace
