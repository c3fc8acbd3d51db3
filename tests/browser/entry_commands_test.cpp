// The entry commands on a real folder catalogue: what each command does to
// files, rows and entries, and that the board and the list, which both call
// them, end the same way.

#include "browser/entry_commands.h"
#include "browser/folder_board_source.h"
#include "browser/list_pane.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "tests/browser/view_fixture.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QMainWindow>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using cataloguetest::CatalogueRows;

namespace {

constexpr int kToday = 20261224;

// A folder of three documents: "alpha.bmp" with an attached text, "taken.bmp"
// and the stack "束" of two pages (items 3 and 4), and a second stack "別束".
class EntryCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::ensureProgramFolder());
    folder = platform::joinPath(dir.path(), "書類");
    cataloguetest::makeCatalogueFolder(folder);
    {
      CatalogueRows rows(folder);
      rows.addItem({.itemNo = 1, .title = "alpha", .ext = "bmp"});
      rows.addItem({.itemNo = 2, .title = "taken", .ext = "bmp"});
      rows.addStack(1, "束", 1);
      rows.addItem({.itemNo = 3, .title = "page1", .ext = "bmp", .stackNo = 1, .pageNo = 1});
      rows.addItem({.itemNo = 4, .title = "page2", .ext = "bmp", .stackNo = 1, .pageNo = 2});
      rows.addStack(2, "別束", 1);
      rows.addItem({.itemNo = 5, .title = "other1", .ext = "bmp", .stackNo = 2, .pageNo = 1});
      rows.addItem({.itemNo = 6, .title = "other2", .ext = "bmp", .stackNo = 2, .pageNo = 2});
      rows.db().execute("UPDATE ItemMST SET TextExt = 'TXT' WHERE ItemNo = 1");
    }
    for (const char* name : {"alpha.bmp", "alpha.bmp.TXT", "taken.bmp", "page1.bmp", "page2.bmp", "other1.bmp",
                             "other2.bmp"})
      ASSERT_TRUE(testsupport::writeFile(file(name), "x"));
    doc.SetMainWindow(&window);
    CFD3Doc::SetFatalExitHandler([](int code) { FAIL() << "program would end with " << code; });
    platform::setFixedNowForTests(QDateTime(QDate(2026, 12, 24), QTime(10, 0)));
    doc.LoadFolder(folder + "/", 1);
  }
  void TearDown() override {
    platform::setFixedNowForTests(std::nullopt);
    doc.CloseFolderDatabase();
  }
  std::string file(const std::string& name) const { return platform::joinPath(folder, name); }
  bool exists(const std::string& name) const { return fs::exists(fs::u8path(file(name))); }
  int entryOf(int kind, int number) const { return doc.EntryList().Find(kind, number); }
  ItemInfo item(int number) {
    ItemInfo info;
    EXPECT_EQ(doc.Database().GetItemInfo(number, info), 0);
    return info;
  }
  StackInfo stack(int number) {
    StackInfo info;
    EXPECT_EQ(doc.Database().GetStackInfo(number, info), 0);
    return info;
  }

  FreshEnvironment env;
  testsupport::TempDir dir;
  std::string folder;
  QMainWindow window;
  CFD3Doc doc;
  FolderBoardSource source{doc};
  EntryCommands commands{source};
  platform::RecordingUserInteraction boxes;
};

}  // namespace

// ---- renaming ------------------------------------------------------------------------

TEST_F(EntryCommandsTest, ARenamedDocumentTakesItsTextAlongAndRowAndEntryFollow) {
  const int index = entryOf(0, 1);
  const CommandResult result = commands.RenameDocument(index, "  beta ");
  ASSERT_EQ(result.status, CommandStatus::Done) << result.message;
  EXPECT_EQ(result.changed, std::vector<int>{index});
  EXPECT_TRUE(exists("beta.bmp"));
  EXPECT_TRUE(exists("beta.bmp.TXT"));
  EXPECT_FALSE(exists("alpha.bmp"));
  const ItemInfo renamed = item(1);
  EXPECT_EQ(renamed.Title, "beta");
  EXPECT_EQ(renamed.Ext, "bmp");
  EXPECT_EQ(renamed.LastModifiedDate, kToday);
  EXPECT_EQ(renamed.LastAccessedDate, kToday);
  const DisplayEntry* entry = doc.EntryList().GetAt(index);
  EXPECT_EQ(entry->title, "beta.bmp");
  EXPECT_EQ(entry->lastModifiedDate, kToday);
  EXPECT_TRUE(boxes.shown().empty()) << "the command tells nobody; the pane shows its result";
}

TEST_F(EntryCommandsTest, RenamingAStacksPageDatesTheStackAndKeepsItsTitle) {
  const int index = entryOf(1, 1);
  ASSERT_EQ(commands.RenameDocument(index, "表紙").status, CommandStatus::Done);
  EXPECT_TRUE(exists("表紙.bmp"));
  EXPECT_EQ(item(3).Title, "表紙");
  EXPECT_EQ(stack(1).Title, "束");
  EXPECT_EQ(stack(1).LastModifiedDate, kToday);
  EXPECT_EQ(doc.EntryList().GetAt(index)->title, "束");
}

TEST_F(EntryCommandsTest, ARenamedStackKeepsItsFiles) {
  const int index = entryOf(1, 1);
  ASSERT_EQ(commands.RenameStack(index, "請求").status, CommandStatus::Done);
  EXPECT_EQ(stack(1).Title, "請求");
  EXPECT_EQ(stack(1).LastAccessedDate, kToday);
  EXPECT_EQ(doc.EntryList().GetAt(index)->title, "請求");
  EXPECT_TRUE(exists("page1.bmp"));
}

TEST_F(EntryCommandsTest, TheSameTitleAgainChangesNothing) {
  EXPECT_EQ(commands.RenameDocument(entryOf(0, 1), " alpha ").status, CommandStatus::Cancelled);
  EXPECT_EQ(commands.RenameStack(entryOf(1, 1), "束\t").status, CommandStatus::Cancelled);
  EXPECT_EQ(item(1).LastModifiedDate, 20261210);
}

// Wrong input is refused with a message and may be corrected; nothing changes.
struct Refusal {
  const char* name;
  bool stack;
  std::string typed;
  const char* message;
};

class RenameRefusalTest : public EntryCommandsTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RenameRefusalTest, IsRefusedAndChangesNothing) {
  const Refusal& r = GetParam();
  ASSERT_TRUE(testsupport::writeFile(file("inway.bmp.TXT"), "someone else's"));
  ASSERT_TRUE(testsupport::writeFile(file("ondisk.bmp"), "not catalogued"));
  const int index = r.stack ? entryOf(1, 1) : entryOf(0, 1);
  const CommandResult result = r.stack ? commands.RenameStack(index, r.typed) : commands.RenameDocument(index, r.typed);
  EXPECT_EQ(result.status, CommandStatus::Refused);
  EXPECT_EQ(result.message, r.message);
  EXPECT_TRUE(exists("alpha.bmp"));
  EXPECT_TRUE(exists("alpha.bmp.TXT"));
  EXPECT_EQ(item(1).Title, "alpha");
  EXPECT_EQ(stack(1).Title, "束");
  EXPECT_EQ(testsupport::readFile(file("inway.bmp.TXT")), "someone else's");
}

INSTANTIATE_TEST_SUITE_P(
    Titles, RenameRefusalTest,
    ::testing::Values(
        Refusal{"Empty", false, "  ", "タイトルを入力して下さい。"},
        Refusal{"TooLong", false, std::string(201, 'x'), "タイトルが長すぎます。"},
        Refusal{"Forbidden", false, "a:b", "タイトルには \"\\/:<>'*?][#| を含めないでください。"},
        Refusal{"TakenCaseBlind", false, "TAKEN",
                "フォルダ内に同名のタイトル「 TAKEN.bmp 」が存在します。\n別のタイトルを指定してください。"},
        Refusal{"FileOnDisk", false, "ondisk",
                "フォルダ内に同名のファイル「 ondisk.bmp 」が存在します。\n別のタイトルを指定してください。"},
        Refusal{"AttachedTextInTheWay", false, "inway",
                "フォルダ内に同名のファイル「 inway.bmp.TXT 」が存在します。\n別のタイトルを指定してください。"},
        Refusal{"StackEmpty", true, "", "タイトルを入力して下さい。"},
        Refusal{"StackForbidden", true, "a|b", "タイトルには \"\\/:<>'*?][#| を含めないでください。"},
        Refusal{"StackTaken", true, "別束",
                "フォルダ内に同名のタイトル「 別束 」が存在します。\n別のタイトルを指定してください。"}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(EntryCommandsTest, AReadOnlyFileFailsAndAnotherTitleWouldNotHelp) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  ::chmod(file("alpha.bmp").c_str(), 0444);
  const CommandResult result = commands.RenameDocument(entryOf(0, 1), "beta");
  EXPECT_EQ(result.status, CommandStatus::Failed);
  EXPECT_EQ(result.message, "このファイルは書き込み禁止です。");
  EXPECT_TRUE(exists("alpha.bmp"));
  EXPECT_EQ(item(1).Title, "alpha");
}

// ---- the board and the list end alike ------------------------------------------------

namespace {

// What a rename left behind, as the user and the disk see it.
struct RenameEnd {
  std::vector<std::string> messages;
  bool editingAgain = false;
  bool renamed = false;       // the catalogue holds the typed title
  bool oldFileThere = false;

  bool operator==(const RenameEnd& o) const {
    return messages == o.messages && editingAgain == o.editingAgain && renamed == o.renamed &&
           oldFileThere == o.oldFileThere;
  }
};

void PrintTo(const RenameEnd& end, std::ostream* os) {
  *os << "{";
  for (const std::string& m : end.messages) *os << "\"" << m << "\" ";
  *os << (end.editingAgain ? "editing again, " : "closed, ") << (end.renamed ? "renamed, " : "not renamed, ")
      << (end.oldFileThere ? "old file there}" : "old file gone}");
}

struct PaneCase {
  const char* name;
  const char* typed;  // "%": the document's own title in its place
  bool readOnly;
  bool editingAgain;
};

class PanesRenameAlike : public BrowserViewFixture, public ::testing::WithParamInterface<PaneCase> {
 protected:
  std::string typedFor(const std::string& title) const {
    std::string typed = GetParam().typed;
    if (const auto at = typed.find('%'); at != std::string::npos) typed.replace(at, 1, title);
    return typed;
  }
  RenameEnd endOf(const std::string& title, int number, bool editing) {
    ItemInfo info;
    EXPECT_EQ(document.Database().GetItemInfo(number, info), 0);
    return {boxes.texts(), editing, info.Title == typedFor(title), exists(title + ".bmp")};
  }
};

}  // namespace

TEST_P(PanesRenameAlike, BoardAndListEndAlike) {
  if (GetParam().readOnly && ::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "onboard", .ext = "bmp"});
    rows.addItem({.itemNo = 2, .title = "inlist", .ext = "bmp"});
    rows.addItem({.itemNo = 3, .title = "taken", .ext = "bmp"});
  }
  for (const char* name : {"onboard.bmp", "inlist.bmp", "taken.bmp"}) touch(name);
  if (GetParam().readOnly) {
    ::chmod((folder + "/onboard.bmp").c_str(), 0444);
    ::chmod((folder + "/inlist.bmp").c_str(), 0444);
  }
  show();

  boxes.clear();
  board->BeginTitleEdit(entryOf(0, 1), ThumbnailPaneWnd::kLowerCaption);
  ASSERT_NE(board->openTitleEdit(), nullptr);
  board->openTitleEdit()->setText(QString::fromStdString(typedFor("onboard")));
  QTest::keyClick(board->openTitleEdit(), Qt::Key_Return);
  QApplication::processEvents();
  const RenameEnd onBoard = endOf("onboard", 1, board->openTitleEdit() != nullptr);
  if (board->openTitleEdit()) QTest::keyClick(board->openTitleEdit(), Qt::Key_Escape);
  QApplication::processEvents();

  boxes.clear();
  view->OnViewList();
  CListPane* list = view->GetListPane();
  list->EndLabelEdit(list->RowOfEntry(entryOf(0, 2)), typedFor("inlist"));
  QApplication::processEvents();
  const RenameEnd inList = endOf("inlist", 2, list->IsEditing());
  if (list->IsEditing()) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QApplication::processEvents();

  EXPECT_EQ(onBoard, inList);
  EXPECT_EQ(onBoard.editingAgain, GetParam().editingAgain);
}

INSTANTIATE_TEST_SUITE_P(Cases, PanesRenameAlike,
                         ::testing::Values(PaneCase{"Accepted", "%2", false, false},
                                           PaneCase{"Taken", "taken", false, true},
                                           PaneCase{"Empty", " ", false, true},
                                           PaneCase{"ReadOnly", "%2", true, false}),
                         [](const ::testing::TestParamInfo<PaneCase>& info) { return std::string(info.param.name); });

// ---- deleting ------------------------------------------------------------------------

TEST_F(EntryCommandsTest, DeletedDocumentsLeaveRowsFilesAndEntriesAndTheRestMoveUp) {
  const int alpha = entryOf(0, 1);
  const int bundle = entryOf(1, 1);
  const CommandResult result = commands.DeleteEntries({alpha, bundle}, false);
  ASSERT_EQ(result.status, CommandStatus::Done) << result.message;
  EXPECT_EQ(result.changed, (std::vector<int>{std::max(alpha, bundle), std::min(alpha, bundle)}))
      << "the last index first, so that the others stay put";
  for (const char* name : {"alpha.bmp", "alpha.bmp.TXT", "page1.bmp", "page2.bmp"}) EXPECT_FALSE(exists(name)) << name;
  EXPECT_TRUE(exists("taken.bmp"));
  ItemInfo gone;
  EXPECT_NE(doc.Database().GetItemInfo(1, gone), 0);
  EXPECT_NE(doc.Database().GetItemInfo(3, gone), 0);
  StackInfo stackGone;
  EXPECT_NE(doc.Database().GetStackInfo(1, stackGone), 0);
  ASSERT_EQ(doc.EntryList().GetCount(), 2);
  EXPECT_GE(entryOf(0, 2), 0);
  EXPECT_GE(entryOf(1, 2), 0);
  EXPECT_TRUE(cataloguetest::catalogueInvariantsHold(doc.Database()));
}

TEST_F(EntryCommandsTest, ADeleteAsksFirstAndNothingSelectedIsSaid) {
  EXPECT_FALSE(EntryCommands::ConfirmDelete(0, false));
  boxes.script({platform::Answer::Cancel, platform::Answer::Ok});
  EXPECT_FALSE(EntryCommands::ConfirmDelete(2, false));
  EXPECT_TRUE(EntryCommands::ConfirmDelete(2, true));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"文書が選択されていません。", "文書をごみ箱に移動します。\nよろしいですか？",
                                                     "文書を削除します。\nよろしいですか？"}));
  for (const auto& box : boxes.shown()) EXPECT_EQ(box.caption, "文書の削除");
}

namespace {

struct DeleteCase {
  const char* name;
  bool selected;
  platform::Answer answer;
};

class PanesDeleteAlike : public BrowserViewFixture, public ::testing::WithParamInterface<DeleteCase> {};

}  // namespace

// The same request on the board and on the list asks the same and leaves the
// folder alike: each pane deletes its own document of two.
TEST_P(PanesDeleteAlike, BoardAndListEndAlike) {
  {
    CatalogueRows rows(folder);
    rows.addItem({.itemNo = 1, .title = "onboard", .ext = "doc"});
    rows.addItem({.itemNo = 2, .title = "inlist", .ext = "doc"});
  }
  touch("onboard.doc");
  touch("inlist.doc");
  show();
  const DeleteCase& c = GetParam();

  boxes.clear();
  boxes.script({c.answer});
  board->SelectOnly(c.selected ? entryOf(0, 1) : -1);
  ops->DeleteSelected(true);
  const std::vector<std::string> boardAsked = boxes.texts();
  const bool boardDeleted = !exists("onboard.doc");
  EXPECT_EQ(board->tileCount(), document.EntryList().GetCount());

  boxes.clear();
  boxes.script({c.answer});
  view->OnViewList();
  CListPane* list = view->GetListPane();
  list->clearSelection();
  if (c.selected) list->SelectOnlyRow(entryOf(0, 2));
  list->OnDelete(true);
  EXPECT_EQ(boxes.texts(), boardAsked);
  EXPECT_EQ(!exists("inlist.doc"), boardDeleted);
  EXPECT_EQ(list->rowCount(), document.EntryList().GetCount());
  EXPECT_EQ(document.EntryList().GetCount(), boardDeleted ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, PanesDeleteAlike,
                         ::testing::Values(DeleteCase{"NothingSelected", false, platform::Answer::Ok},
                                           DeleteCase{"Cancelled", true, platform::Answer::Cancel},
                                           DeleteCase{"Deleted", true, platform::Answer::Ok}),
                         [](const ::testing::TestParamInfo<DeleteCase>& info) { return std::string(info.param.name); });
