// The document commands run from the list's rows (duplicate, page order,
// stack title, copy and paste) and the duplicate's progress and cancel.

#include "browser/entry_commands.h"
#include "browser/thumbnail_board_source.h"
#include "browser/entry_paste.h"
#include "browser/list_pane.h"
#include "browser/title_change_dlg.h"
#include "platform/clock.h"
#include "shell/command_ids.h"
#include "tests/browser/view_fixture.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>

namespace {

class ListCommandsTest : public BrowserViewFixture {
 protected:
  void SetUp() override {
    BrowserViewFixture::SetUp();
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
  }
  void TearDown() override {
    BrowserViewFixture::TearDown();
    platform::setFixedNowForTests(std::nullopt);
  }
  // memo.jpg and the stack 束 of p1..p<pages>.bmp.
  void memoAndStack(int pages) {
    {
      cataloguetest::CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "memo", .ext = "jpg"});
      rows.addStack(10, "束", 1);
      for (int p = 1; p <= pages; ++p)
        rows.addItem({.itemNo = 1 + p, .title = "p" + std::to_string(p), .stackNo = 10, .pageNo = p});
    }
    touch("memo.jpg");
    for (int p = 1; p <= pages; ++p) touch("p" + std::to_string(p) + ".bmp");
  }
  CListPane* showList() {
    show();
    view->OnViewList();
    return view->GetListPane();
  }
  // Each row shows its own entry's title, and there is one row per entry.
  void expectRowsOnTheirEntries(const CListPane& list) {
    ASSERT_EQ(list.rowCount(), document.EntryList().GetCount());
    for (int r = 0; r < list.rowCount(); ++r) {
      const std::string shown = list.CellText(r, listpane::kTitle);
      const std::string title = document.EntryList().GetAt(list.EntryOfRow(r))->title;
      EXPECT_TRUE(title == shown || title.rfind(shown + ".", 0) == 0) << title << " / " << shown;
    }
  }
  int rowOf(const CListPane& list, int kind, int number) { return list.RowOfEntry(entryOf(kind, number)); }
};

TEST_F(ListCommandsTest, DuplicatePageOrderAndStackTitleWorkOnTheSelectedRows) {
  memoAndStack(3);
  CListPane* list = showList();
  ASSERT_EQ(list->rowCount(), 2);

  list->selectAll();
  view->OnEditDuplicate();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  const int memoCopy = itemNo("memoのコピー", "jpg");
  ASSERT_NE(memoCopy, 0);
  ASSERT_NE(stackNo("束のコピー"), 0);
  EXPECT_EQ(pageTitles(stackNo("束のコピー")), (std::vector<std::string>{"p1のコピー", "p2のコピー", "p3のコピー"}));
  ItemInfo copy;
  ASSERT_EQ(document.Database().GetItemInfo(memoCopy, copy), 0);
  EXPECT_EQ(copy.SingleItemPosX, 0) << "a copy made in the list has no place on a board";
  EXPECT_EQ(copy.SingleItemPosY, 0);
  expectRowsOnTheirEntries(*list);
  EXPECT_EQ(list->rowCount(), 4);

  // Page order of the stack's row; its row shows the new modified date.
  const int stack = stackNo("束");
  list->SelectOnlyRow(entryOf(1, stack));
  ops->reorderDialog = [](const std::vector<ItemInfo>&) { return std::optional<std::vector<int>>({2, 0, 1}); };
  view->OnEditReorderPages();
  EXPECT_EQ(pageTitles(stack), (std::vector<std::string>{"p3", "p1", "p2"}));
  EXPECT_EQ(list->CellText(rowOf(*list, 1, stack), listpane::kModifiedDate), "2026/12/24");

  // The stack menu's title entry opens the title dialog; the row follows.
  std::unique_ptr<QMenu> menu(list->BuildContextMenu(rowOf(*list, 1, stack), nullptr));
  const auto actions = menu->actions();
  const auto entry = std::find_if(actions.begin(), actions.end(), [](QAction* a) {
    return a->data().toInt() == CListPane::kStackTitleCommand;
  });
  ASSERT_NE(entry, actions.end());
  EXPECT_EQ((*entry)->text(), QStringLiteral("タイトルの変更 ..."));
  EXPECT_TRUE((*entry)->isEnabled());
  ops->titleDialogRunner = [](TitleChangeDlg& dialog) {
    dialog.stackTitleEdit()->setText(QStringLiteral("新しい束"));
    dialog.accept();
    return dialog.result();
  };
  view->OnListStackTitle();
  EXPECT_EQ(list->CellText(rowOf(*list, 1, stack), listpane::kTitle), "新しい束");
  expectRowsOnTheirEntries(*list);
}

TEST_F(ListCommandsTest, RowsCopiedAndPastedIntoTheirOwnFolderAreDuplicated) {
  memoAndStack(2);
  CListPane* list = showList();
  list->selectAll();
  view->entryClipboard()->Copy(list->SelectedEntryIndices());
  ASSERT_TRUE(EntryClipboardCommands::ClipboardHoldsEntries());
  view->entryClipboard()->Paste();
  EXPECT_TRUE(boxes.texts().empty()) << boxes.texts().front();
  EXPECT_NE(itemNo("memoのコピー", "jpg"), 0);
  EXPECT_TRUE(exists("memoのコピー.jpg"));
  EXPECT_EQ(pageTitles(stackNo("束のコピー")), (std::vector<std::string>{"p1のコピー", "p2のコピー"}));
  expectRowsOnTheirEntries(*list);
  EXPECT_EQ(list->rowCount(), 4);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
}

TEST_F(ListCommandsTest, RowsCopiedToAFolderStayAndMovedRowsLeaveTheList) {
  memoAndStack(2);
  touch("z.doc");
  {
    cataloguetest::CatalogueRows rows(folder);
    rows.addItem({.itemNo = 9, .title = "z", .ext = "doc"});
  }
  const std::string copies = root + "控え";
  const std::string moved = root + "移動先";
  std::filesystem::create_directories(std::filesystem::u8path(copies));
  std::filesystem::create_directories(std::filesystem::u8path(moved));
  CListPane* list = showList();
  // Rows by title (memo, z, 束) are not in the entries' order (the stack
  // comes first): the carried entries must still leave from the highest
  // index down.
  ASSERT_GT(list->EntryOfRow(0), list->EntryOfRow(2));
  list->selectAll();
  boxes.script({platform::Answer::Ok});
  list->MoveOrCopyToFolder(copies, true);
  EXPECT_EQ(boxes.texts().front(), "選択した文書を「 控え 」にコピーします。\nよろしいですか？");
  EXPECT_EQ(list->rowCount(), 3);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(copies + "/memo.jpg")));
  EXPECT_TRUE(exists("memo.jpg"));

  list->clearSelection();
  for (int r = 0; r < list->rowCount(); ++r)
    if (document.EntryList().GetAt(list->EntryOfRow(r))->title != "z.doc") list->topLevelItem(r)->setSelected(true);
  boxes.script({platform::Answer::Ok});
  list->MoveOrCopyToFolder(moved, false);
  EXPECT_FALSE(exists("memo.jpg"));
  EXPECT_FALSE(exists("p1.bmp"));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(moved + "/p2.bmp")));
  ASSERT_EQ(document.EntryList().GetCount(), 1);
  EXPECT_EQ(document.EntryList().GetAt(0)->title, "z.doc");
  ASSERT_EQ(list->rowCount(), 1);
  expectRowsOnTheirEntries(*list);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
}

// Cancels at the pump numbered cancelAt (from 1); records the texts shown.
class FakeProgress : public BoardOperations::Progress {
 public:
  explicit FakeProgress(int cancelAt) : cancelAt_(cancelAt) {}
  void SetTexts(const std::string& file, const std::string& text) override { texts.push_back(file + "|" + text); }
  bool PumpAndCheckCancel() override { return ++pumps_ == cancelAt_; }
  std::vector<std::string> texts;

 private:
  int cancelAt_;
  int pumps_ = 0;
};

TEST_F(ListCommandsTest, ACancelledStackDuplicateKeepsThePagesCopiedSoFar) {
  struct Case {
    int cancelAt;                          // pump before page cancelAt
    std::vector<std::string> stackPages;   // of 束のコピー; empty: no stack
    bool singlePageLeft;
  } cases[] = {
      {4, {"p1のコピー", "p2のコピー", "p3のコピー"}, false},
      {2, {}, true},
      {1, {}, false},
  };
  memoAndStack(6);
  show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cancelAt);
    FakeProgress progress(c.cancelAt);
    const int entries = document.EntryList().GetCount();
    EXPECT_EQ(ops->DuplicateStack(entryOf(1, stackNo("束")), BoardOperations::kDuplicateOffset, true, true, &progress), 1);
    EXPECT_EQ(progress.texts.front(), "p1.bmp|文書「 束 」：全 6 ファイル中 1 ファイル目");
    const int copyStack = stackNo("束のコピー");
    if (c.stackPages.empty()) {
      EXPECT_EQ(copyStack, 0);
    } else {
      EXPECT_EQ(pageTitles(copyStack), c.stackPages);
      StackInfo info;
      ASSERT_EQ(document.Database().GetStackInfo(copyStack, info), 0);
      EXPECT_EQ(info.CurPageNo, 1);
    }
    EXPECT_EQ(itemNo("p1のコピー", "bmp") != 0 && c.stackPages.empty(), c.singlePageLeft);
    EXPECT_EQ(document.EntryList().GetCount(), entries + (c.stackPages.empty() && !c.singlePageLeft ? 0 : 1));
    EXPECT_EQ(board->tileCount(), document.EntryList().GetCount());
    EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(document.Database()));
    // Leave the folder as it was for the next case.
    for (int i = document.EntryList().GetCount() - 1; i >= entries; --i) ASSERT_TRUE(EntryCommands(*board->source()).DeleteEntry(i, false).done());
  }
}

}  // namespace
