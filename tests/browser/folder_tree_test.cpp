#include "browser/folder_tree.h"

#include "browser/folder_icons.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "tests/browser/fake_document.h"
#include "tests/shell/wait_until.h"
#include "tests/support/test_env.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using platform::Answer;

namespace {

class FolderTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root = desktop.path() + "/";
    tree.SetDocument(&doc);
    // What the browser view does when the selection moves.
    QObject::connect(&tree, &FolderTree::folderSelected, [this] { doc.LoadFolder(tree.GetCurrentPath(), 1); });
    tree.resize(300, 400);
    tree.show();
  }

  void mkdirs(const std::string& relative) { fs::create_directories(root + relative); }
  bool isDir(const std::string& relative) { return fs::is_directory(root + relative); }
  void build() { tree.BuildForDesktop(desktop.path()); }

  static QStringList childTexts(const QTreeWidgetItem* item) {
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
    return texts;
  }
  QTreeWidgetItem* child(QTreeWidgetItem* parent, const char* text) {
    for (int i = 0; i < parent->childCount(); ++i)
      if (parent->child(i)->text(0) == QString::fromUtf8(text)) return parent->child(i);
    return nullptr;
  }
  // The item of a path below the desktop, selected through the tree.
  QTreeWidgetItem* select(const std::string& relative) {
    EXPECT_EQ(tree.SelectFolder(root + relative), 1) << relative;
    return tree.currentItem();
  }
  static std::string iniBytes(int value) {
    return *platform::toCp932("[ブリンデル]\r\nCleanUp=" + std::to_string(value) + "\r\n");
  }

  testsupport::TempDir desktop;
  std::string root;
  FakeDocument doc;
  FolderTree tree;
  platform::RecordingUserInteraction boxes;
};

TEST_F(FolderTreeTest, ShowsVisibleSubfoldersSortedAndReadsThemOnlyWhenExpanded) {
  mkdirs("書類/請求書/2024");
  mkdirs("beta");
  mkdirs("Alpha");
  mkdirs(".hidden/inner");
  mkdirs("only-hidden/.git");
  testsupport::writeFile(root + "file.txt", "x");
  // A link to the program folder inside the desktop is the program folder.
  platform::ensureProgramFolder();
  InitModuleFolder();
  fs::create_directory_symlink(platform::withoutTrailingSlash(platform::programFolder()), root + "program-link");
  build();

  QTreeWidgetItem* rootItem = tree.rootItem();
  ASSERT_NE(rootItem, nullptr);
  EXPECT_EQ(rootItem->text(0), QStringLiteral("デスクトップ"));
  EXPECT_EQ(rootItem->data(0, FolderTree::kItemDataRole).toInt(), 1);
  EXPECT_TRUE(rootItem->isExpanded());
  EXPECT_EQ(childTexts(rootItem), (QStringList{"Alpha", "beta", "only-hidden", "書類"}));
  EXPECT_EQ(child(rootItem, "only-hidden")->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
  QTreeWidgetItem* papers = child(rootItem, "書類");
  EXPECT_EQ(papers->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
  EXPECT_EQ(papers->childCount(), 0);  // not read before it expands

  tree.expandItem(papers);
  EXPECT_EQ(childTexts(papers), QStringList{"請求書"});
  EXPECT_EQ(tree.GetItemPath(papers->child(0)), root + "書類/請求書/");

  // Every expansion reads the disk again.
  mkdirs("書類/見積書");
  tree.collapseItem(papers);
  EXPECT_EQ(papers->childCount(), 0);
  tree.expandItem(papers);
  EXPECT_EQ(childTexts(papers), (QStringList{"見積書", "請求書"}));  // Shift-JIS order

  // The desktop item does not collapse.
  tree.collapseItem(rootItem);
  EXPECT_TRUE(rootItem->isExpanded());
  EXPECT_EQ(rootItem->childCount(), 4);
}

TEST_F(FolderTreeTest, SelectingAFolderOpensItInTheDocument) {
  mkdirs("書類/請求書");
  mkdirs("Mail");
  build();
  EXPECT_EQ(tree.SelectFolder(root + "書類/請求書"), 1);
  ASSERT_FALSE(doc.loads.empty());
  EXPECT_EQ(doc.loads.back(), std::make_pair(root + "書類/請求書/", 1));
  EXPECT_EQ(tree.GetCurrentPath(), root + "書類/請求書/");

  // A missing component is reported.
  EXPECT_EQ(tree.SelectFolder(root + "書類/nothing"), -1);
  EXPECT_EQ(tree.SelectFolder(root), 0);
  EXPECT_EQ(tree.currentItem(), tree.rootItem());
  EXPECT_EQ(doc.lastLoad(), root);
}

// Components compare exactly; a component that differs only in case finds
// its folder only when no folder has that exact name and one alone matches.
struct Selection {
  const char* name;
  const char* path;     // below the desktop
  int result;
  const char* selected;  // the selected folder below the desktop when 1
};

class FolderTreeSelection : public FolderTreeTest, public ::testing::WithParamInterface<Selection> {};

TEST_P(FolderTreeSelection, SelectsTheFolderOfThePath) {
  mkdirs("Docs/Mail");
  mkdirs("docs");
  mkdirs("Photos");
  build();
  EXPECT_EQ(tree.SelectFolder(root + GetParam().path), GetParam().result);
  if (GetParam().result == 1) {
    ASSERT_NE(tree.currentItem(), nullptr);
    EXPECT_EQ(tree.GetCurrentPath(), root + GetParam().selected + "/");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FolderTreeSelection,
    ::testing::Values(Selection{"ExactUpper", "Docs", 1, "Docs"},
                      Selection{"ExactLower", "docs/", 1, "docs"},
                      Selection{"CaseTwinsMakeAnOtherCaseAmbiguous", "DOCS", -1, ""},
                      Selection{"OneFolderMatchesCaseBlind", "PHOTOS/", 1, "Photos"},
                      Selection{"DeeperComponentsToo", "Docs/mail", 1, "Docs/Mail"}),
    [](const auto& info) { return std::string(info.param.name); });

// A path of another folder whose name is as long as the desktop's is not
// below the desktop.
TEST_F(FolderTreeTest, APathOutsideTheDesktopSelectsNothing) {
  testsupport::TempDir other;
  ASSERT_EQ(other.path().size(), desktop.path().size());
  mkdirs("sub");
  fs::create_directories(other.path() + "/sub");
  build();
  EXPECT_EQ(tree.SelectFolder(other.path() + "/sub"), -1);
  EXPECT_EQ(tree.SelectFolder(desktop.path() + "x/sub"), -1);
  EXPECT_EQ(tree.SelectFolder(root + "sub"), 1);
}

// A new folder whose name differs from a shown one only in case is a folder
// of its own and appears.
TEST_F(FolderTreeTest, ACaseTwinOfAShownFolderAppears) {
  mkdirs("Docs");
  build();
  mkdirs("docs");
  tree.Refresh();
  EXPECT_EQ(childTexts(tree.rootItem()), (QStringList{"Docs", "docs"}));
  EXPECT_EQ(tree.RefreshSelected(tree.rootItem()), 2);
  EXPECT_EQ(tree.rootItem()->childCount(), 2);
}

TEST_F(FolderTreeTest, CollapsingAroundTheSelectionOpensTheCollapsedFolder) {
  mkdirs("a/b/c");
  build();
  QTreeWidgetItem* c = select("a/b/c");
  ASSERT_NE(c, nullptr);
  QTreeWidgetItem* a = child(tree.rootItem(), "a");
  tree.collapseItem(a);
  EXPECT_EQ(tree.currentItem(), a);
  EXPECT_EQ(doc.lastLoad(), root + "a/");
  EXPECT_EQ(a->childCount(), 0);
  EXPECT_EQ(a->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

TEST_F(FolderTreeTest, NewFolderTakesTheFirstFreeNumberAndOpensItsLabel) {
  mkdirs("書類/新しいフォルダ");
  mkdirs("書類/新しいフォルダ (2)");
  build();
  QTreeWidgetItem* papers = select("書類");
  tree.SetContextItem(papers);
  tree.RunCommand(FolderTree::kCmdNewFolder);
  EXPECT_TRUE(isDir("書類/新しいフォルダ (3)"));
  EXPECT_TRUE(boxes.shown().empty());
  ASSERT_TRUE(tree.isEditingLabel());
  auto* editor = tree.findChild<QLineEdit*>(QStringLiteral("folderTreeEdit"));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QStringLiteral("新しいフォルダ (3)"));
  EXPECT_TRUE(doc.labelEditing);

  // The user names it at once.
  editor->setText(QStringLiteral("見積書"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return isDir("書類/見積書"); }));
  EXPECT_FALSE(isDir("書類/新しいフォルダ (3)"));
  EXPECT_NE(child(papers, "見積書"), nullptr);
  EXPECT_FALSE(doc.labelEditing);
}

TEST_F(FolderTreeTest, NewFolderFailureIsReported) {
  mkdirs("gone");
  build();
  tree.SetContextItem(select("gone"));
  fs::remove(root + "gone");
  tree.OnNewFolder();
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "フォルダの作成に失敗しました。");
  EXPECT_EQ(boxes.shown()[0].caption, "フォルダの新規作成");
}

struct LabelCase {
  const char* name;
  const char* typed;
  const char* folderAfter;  // the folder's name on disk afterwards
  const char* message;      // nullptr: accepted without a message
};

void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }

class FolderTreeLabelTest : public FolderTreeTest, public ::testing::WithParamInterface<LabelCase> {};

TEST_P(FolderTreeLabelTest, LabelRules) {
  const LabelCase& c = GetParam();
  mkdirs("old");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "old");
  const bool accepted = tree.EndLabelEdit(item, QString::fromUtf8(c.typed));
  EXPECT_EQ(accepted, c.message == nullptr);
  EXPECT_TRUE(isDir(c.folderAfter));
  EXPECT_EQ(item->text(0), QString::fromUtf8(c.folderAfter));
  if (c.message) {
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, c.message);
    EXPECT_EQ(boxes.shown()[0].caption, "名前の変更");
  } else {
    EXPECT_TRUE(boxes.shown().empty());
  }
}

const std::string kKanji86 = [] {
  std::string s;
  for (int i = 0; i < 86; ++i) s += "漢";  // 172 Shift-JIS bytes, 258 UTF-8 bytes
  return s;
}();

// Not the list of forbidden characters, which is not the reason.
const char kUnwritable[] = "フォルダ名に、このプログラムでは保存できない文字（ハングル、絵文字など）が含まれています。";

INSTANTIATE_TEST_SUITE_P(
    Rename, FolderTreeLabelTest,
    ::testing::Values(
        LabelCase{"BlanksAndPointsTrimmed", "  ..abc..  ", "abc", nullptr},
        LabelCase{"InnerPointsKept", "a.b", "a.b", nullptr},
        LabelCase{"JapaneseName", "　請求書", "　請求書", nullptr},
        LabelCase{"OnlyPoints", "...", "old", "フォルダ名を入力して下さい。"},
        LabelCase{"OnlyBlanks", "   ", "old", "フォルダ名を入力して下さい。"},
        LabelCase{"Slash", "a/b", "old", "フォルダ名には次の文字は使えません。\n\t\\ / : * ? \" < > |"},
        LabelCase{"Backslash", "a\\b", "old", "フォルダ名には次の文字は使えません。\n\t\\ / : * ? \" < > |"},
        LabelCase{"Colon", "a:b", "old", "フォルダ名には次の文字は使えません。\n\t\\ / : * ? \" < > |"},
        LabelCase{"Bar", "a|b", "old", "フォルダ名には次の文字は使えません。\n\t\\ / : * ? \" < > |"},
        LabelCase{"Emoji", "a😀", "old", kUnwritable},
        LabelCase{"Hangul", "서류", "old", kUnwritable},
        LabelCase{"UnwritableAndForbidden", "a😀:", "old", kUnwritable},
        LabelCase{"SameName", " old ", "old", nullptr}),
    [](const ::testing::TestParamInfo<LabelCase>& info) { return std::string(info.param.name); });

TEST_F(FolderTreeTest, NamesPastTheByteLimitsAreTooLong) {
  mkdirs("old");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "old");
  // 250 bytes fit a name, but with the desktop's path the folder's path
  // passes 259 Shift-JIS bytes; 86 kanji are 172 Shift-JIS bytes but 258
  // UTF-8 bytes, past the file system's 255 for one name.
  for (const std::string& name : {std::string(250, 'x'), kKanji86}) {
    boxes.clear();
    EXPECT_FALSE(tree.EndLabelEdit(item, QString::fromStdString(name)));
    ASSERT_EQ(boxes.texts(), std::vector<std::string>{"フォルダ名が長すぎます。"});
    EXPECT_TRUE(isDir("old"));
  }
  // A long name that fits both limits is taken.
  boxes.clear();
  const std::string fits(200, 'y');
  EXPECT_TRUE(tree.EndLabelEdit(item, QString::fromStdString(fits)));
  EXPECT_TRUE(isDir(fits));
}

TEST_F(FolderTreeTest, RenameOntoAnExistingNameLeavesBothIntact) {
  mkdirs("old/inner");
  mkdirs("taken/kept");
  mkdirs("Upper");
  testsupport::writeFile(root + "file", "data");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "old");
  struct Case {
    const char* typed;
    const char* message;
  } cases[] = {
      {"taken", "指定された名前のフォルダがすでに存在します。別の名前を指定してください。"},
      {"UPPER", "指定された名前のフォルダがすでに存在します。別の名前を指定してください。"},
      {"file", "指定された名前のファイルがすでに存在します。別の名前を指定してください。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    boxes.clear();
    EXPECT_FALSE(tree.EndLabelEdit(item, QString::fromUtf8(c.typed)));
    EXPECT_EQ(boxes.texts(), std::vector<std::string>{c.message});
  }
  EXPECT_TRUE(isDir("old/inner"));
  EXPECT_TRUE(isDir("taken/kept"));
  EXPECT_TRUE(isDir("Upper"));
  EXPECT_EQ(testsupport::readFile(root + "file"), "data");
  EXPECT_EQ(item->text(0), QStringLiteral("old"));

  // A change of case alone is a rename of the folder itself.
  boxes.clear();
  EXPECT_TRUE(tree.EndLabelEdit(item, QStringLiteral("OLD")));
  EXPECT_TRUE(isDir("OLD/inner"));
  EXPECT_TRUE(boxes.shown().empty());
}

// A renamed folder moves at once to where its new name sorts, keeping its
// open subfolders, and stays the current folder without a new load.
TEST_F(FolderTreeTest, ARenamedFolderMovesToItsSortedPlace) {
  mkdirs("b");
  mkdirs("c");
  mkdirs("a/inner");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "a");
  item->setExpanded(true);
  tree.setCurrentItem(item);
  int selections = 0;
  QObject::connect(&tree, &FolderTree::folderSelected, [&] { ++selections; });
  ASSERT_TRUE(tree.EndLabelEdit(item, QStringLiteral("d")));
  QStringList order;
  for (int i = 0; i < tree.rootItem()->childCount(); ++i) order << tree.rootItem()->child(i)->text(0);
  EXPECT_EQ(order, (QStringList{"b", "c", "d"}));
  EXPECT_EQ(tree.currentItem(), item);
  EXPECT_EQ(tree.GetCurrentPath(), root + "d/");
  EXPECT_TRUE(item->isExpanded());
  EXPECT_EQ(item->childCount(), 1);
  EXPECT_EQ(selections, 0);
  ASSERT_TRUE(tree.EndLabelEdit(item, QStringLiteral("bb")));
  EXPECT_EQ(tree.rootItem()->indexOfChild(item), 1);
}

TEST_F(FolderTreeTest, RefusedEditStartsAgainWithTheTypedText) {
  mkdirs("old");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "old");
  tree.setCurrentItem(item);
  tree.editItem(item);
  auto* editor = tree.findChild<QLineEdit*>(QStringLiteral("folderTreeEdit"));
  ASSERT_NE(editor, nullptr);
  editor->setText(QStringLiteral("a*b"));
  QTest::keyClick(editor, Qt::Key_Return);
  ASSERT_TRUE(waitUntil([&] { return !boxes.shown().empty() && tree.isEditingLabel(); }));
  editor = tree.findChild<QLineEdit*>(QStringLiteral("folderTreeEdit"));
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->text(), QStringLiteral("a*b"));
  EXPECT_TRUE(isDir("old"));
  QTest::keyClick(editor, Qt::Key_Escape);
  EXPECT_TRUE(waitUntil([&] { return !tree.isEditingLabel(); }));
  EXPECT_FALSE(doc.labelEditing);
  EXPECT_EQ(boxes.shown().size(), 1u);

  // The desktop's label is not edited.
  tree.editItem(tree.rootItem());
  EXPECT_FALSE(tree.isEditingLabel());
}

TEST_F(FolderTreeTest, RenamingAFolderAboveTheOpenFolderMovesEveryOpenPath) {
  mkdirs("書類/請求書/2024");
  build();
  select("書類/請求書/2024");
  ASSERT_EQ(doc.folderPath, root + "書類/請求書/2024");
  const size_t loadsBefore = doc.loads.size();
  QTreeWidgetItem* papers = child(tree.rootItem(), "書類");
  EXPECT_TRUE(tree.EndLabelEdit(papers, QStringLiteral("文書")));
  EXPECT_TRUE(isDir("文書/請求書/2024"));
  EXPECT_EQ(doc.closes, 1);
  EXPECT_EQ(tree.GetCurrentPath(), root + "文書/請求書/2024/");
  EXPECT_EQ(doc.folderPath, root + "文書/請求書/2024");
  EXPECT_GE(doc.reopenRequests, 1);
  ASSERT_EQ(doc.loads.size(), loadsBefore + 1);
  EXPECT_EQ(doc.loads.back().first, root + "文書/請求書/2024/");
  EXPECT_EQ(tree.GetItemPath(tree.currentItem()), root + "文書/請求書/2024/");

  // A sibling whose name starts alike is not below the renamed folder.
  mkdirs("ab");
  mkdirs("abc");
  tree.Refresh();
  select("abc");
  EXPECT_TRUE(tree.EndLabelEdit(child(tree.rootItem(), "ab"), QStringLiteral("xy")));
  EXPECT_EQ(doc.folderPath, root + "abc");
  EXPECT_EQ(tree.GetCurrentPath(), root + "abc/");
}

TEST_F(FolderTreeTest, DraggingAFolderOntoAnotherMovesItAndEveryOpenPathFollows) {
  mkdirs("書類/請求書/2024");
  mkdirs("保管");
  build();
  select("書類/請求書/2024");
  QTreeWidgetItem* papers = child(tree.rootItem(), "書類");
  QTreeWidgetItem* bills = child(papers, "請求書");
  QTreeWidgetItem* store = child(tree.rootItem(), "保管");
  ASSERT_TRUE(bills && store);
  // The drag gesture: press on 請求書, move past the drag distance, release on 保管.
  const QPoint from = tree.visualItemRect(bills).center();
  const QPoint to = tree.visualItemRect(store).center();
  QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, from);
  QMouseEvent moveEvent(QEvent::MouseMove, QPointF(to), tree.viewport()->mapToGlobal(QPointF(to)), Qt::NoButton,
                        Qt::LeftButton, {});
  QApplication::sendEvent(tree.viewport(), &moveEvent);
  ASSERT_TRUE(tree.isDraggingFolder());
  QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, to);
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_TRUE(isDir("保管/請求書/2024"));
  EXPECT_FALSE(isDir("書類/請求書"));
  // The press opened 請求書 itself; it is open at its new place.
  EXPECT_EQ(doc.closes, 1) << "the open folder's catalogue is closed before its folder moves";
  EXPECT_EQ(doc.folderPath, root + "保管/請求書");
  EXPECT_EQ(tree.GetItemPath(tree.currentItem()), root + "保管/請求書/");
  EXPECT_EQ(child(tree.rootItem(), "書類")->childCount(), 0);

  // A folder deep inside the moved one is open: every open path follows.
  select("保管/請求書/2024");
  ASSERT_TRUE(tree.MoveFolder(child(child(tree.rootItem(), "保管"), "請求書"), child(tree.rootItem(), "書類")));
  EXPECT_TRUE(isDir("書類/請求書/2024"));
  EXPECT_EQ(doc.folderPath, root + "書類/請求書/2024");
  EXPECT_EQ(tree.GetCurrentPath(), root + "書類/請求書/2024/");
  EXPECT_EQ(tree.GetItemPath(tree.currentItem()), root + "書類/請求書/2024/");
  EXPECT_EQ(doc.loads.back().first, root + "書類/請求書/2024/");
}

TEST_F(FolderTreeTest, AFolderStaysOnItselfItsParentItsSubfolderOrANameTaken) {
  mkdirs("a/b/c");
  mkdirs("x/B");
  build();
  select("a/b/c");
  QTreeWidgetItem* a = child(tree.rootItem(), "a");
  QTreeWidgetItem* b = child(a, "b");
  QTreeWidgetItem* c = child(b, "c");
  select("x");
  QTreeWidgetItem* x = tree.currentItem();
  struct Case {
    const char* what;
    QTreeWidgetItem* dragged;
    QTreeWidgetItem* target;
    std::vector<std::string> messages;
  } cases[] = {
      {"onto itself", b, b, {}},
      {"onto its parent", b, a, {}},
      {"onto its own subfolder", a, c, {"a を移動できません。受け側のフォルダは送り側フォルダのサブフォルダです。"}},
      {"a folder of its name (case ignored) is there", b, x, {"このフォルダにはすでに 'b' フォルダが存在します。"}},
      {"the desktop is never moved", tree.rootItem(), x, {}},
  };
  for (const Case& t : cases) {
    SCOPED_TRACE(t.what);
    boxes.clear();
    EXPECT_FALSE(tree.MoveFolder(t.dragged, t.target));
    EXPECT_EQ(boxes.texts(), t.messages);
    EXPECT_TRUE(isDir("a/b/c"));
    EXPECT_TRUE(isDir("x/B"));
  }
}

TEST_F(FolderTreeTest, DeleteGoesToTheTrashAfterConfirmation) {
  mkdirs("書類/古い/中身");
  mkdirs("書類/残す");
  build();
  QTreeWidgetItem* old = select("書類/古い/中身");
  old = old->parent();
  tree.SetContextItem(old);

  boxes.script({Answer::Cancel});
  tree.OnDeleteFolder(false);
  EXPECT_TRUE(isDir("書類/古い/中身"));
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "フォルダ '古い' とフォルダ内の全てのファイルを削除してもよろしいですか？");
  EXPECT_EQ(boxes.shown()[0].caption, "フォルダの削除の確認");
  EXPECT_EQ(doc.closes, 0);

  boxes.clear();
  tree.OnDeleteFolder(false);
  EXPECT_FALSE(fs::exists(root + "書類/古い"));
  const std::string trash =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() + "/Trash";
  EXPECT_TRUE(fs::is_directory(trash + "/files/古い/中身"));
  EXPECT_TRUE(fs::exists(trash + "/info/古い.trashinfo"));
  EXPECT_EQ(doc.closes, 1);  // the open folder lay inside
  EXPECT_EQ(tree.GetCurrentPath(), root + "書類/");
  EXPECT_EQ(doc.lastLoad(), root + "書類/");
  EXPECT_EQ(childTexts(tree.currentItem()), QStringList{"残す"});

  // For good, and the last child leaves its parent without an expand button.
  tree.SetContextItem(child(tree.currentItem(), "残す"));
  tree.OnDeleteFolder(true);
  EXPECT_FALSE(fs::exists(root + "書類/残す"));
  EXPECT_FALSE(fs::exists(trash + "/files/残す"));
  EXPECT_EQ(tree.currentItem()->childCount(), 0);
  EXPECT_EQ(tree.currentItem()->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicator);
}

TEST_F(FolderTreeTest, TheDesktopIsNotDeletedAndAFailedDeleteRefreshesTheTree) {
  mkdirs("a");
  build();
  tree.setCurrentItem(tree.rootItem());
  QTest::keyClick(&tree, Qt::Key_Delete);
  EXPECT_EQ(boxes.texts(), std::vector<std::string>{"デスクトップは削除できません。"});
  EXPECT_TRUE(tree.CreateContextMenu(tree.rootItem())
                  ->findChild<QAction*>(QStringLiteral("cmd805a"))
                  ->isEnabled() == false);

  // The folder vanished behind the tree's back: the delete fails.
  QTreeWidgetItem* a = select("a");
  tree.SetContextItem(a);
  fs::remove(root + "a");
  boxes.clear();
  const size_t loadsBefore = doc.loads.size();
  tree.OnDeleteFolder(true);
  EXPECT_EQ(boxes.texts().back(), "フォルダの削除に失敗しました。");
  EXPECT_EQ(tree.rootItem()->childCount(), 0);
  EXPECT_GT(doc.loads.size(), loadsBefore);
}

TEST_F(FolderTreeTest, ColourAndCleanUpMarkAreWrittenToInfoIni) {
  mkdirs("書類");
  build();
  QTreeWidgetItem* item = child(tree.rootItem(), "書類");
  tree.SetContextItem(item);
  const std::string ini = root + "書類/info.ini";

  tree.RunCommand(FolderTree::kCmdCleanUp);
  EXPECT_EQ(testsupport::readFile(ini), iniBytes(1));
  EXPECT_TRUE(tree.CreateContextMenu(item)->findChild<QAction*>(QStringLiteral("cmd8092"))->isChecked());

  int offered = -1;
  tree.SetColourChooser([&offered](QWidget*, int value) {
    offered = value;
    return 3;
  });
  tree.RunCommand(FolderTree::kCmdColour);
  EXPECT_EQ(offered, 1);
  EXPECT_EQ(testsupport::readFile(ini), iniBytes(0x301));  // the mark kept
  EXPECT_EQ(item->icon(0).pixmap(16).toImage(),
            FolderIcons::instance().pixmap(3 * 6 + 2).toImage());

  tree.RunCommand(FolderTree::kCmdCleanUp);
  EXPECT_EQ(testsupport::readFile(ini), iniBytes(0x300));  // the colour kept
  EXPECT_EQ(item->icon(0).pixmap(16).toImage(), FolderIcons::instance().pixmap(3 * 6).toImage());

  tree.SetColourChooser([](QWidget*, int) { return -1; });
  tree.RunCommand(FolderTree::kCmdColour);
  EXPECT_EQ(testsupport::readFile(ini), iniBytes(0x300));

  // The desktop keeps its own pictures; the tree reads the files back.
  tree.SetContextItem(tree.rootItem());
  tree.RunCommand(FolderTree::kCmdCleanUp);
  EXPECT_EQ(testsupport::readFile(root + "info.ini"), iniBytes(1));
  build();
  EXPECT_EQ(tree.rootItem()->icon(0).pixmap(16).toImage(), FolderIcons::instance().pixmap(5).toImage());
  EXPECT_EQ(child(tree.rootItem(), "書類")->icon(0).pixmap(16).toImage(),
            FolderIcons::instance().pixmap(3 * 6).toImage());
}

TEST_F(FolderTreeTest, AnUnwritableInfoIniIsReported) {
  mkdirs("ro/info.ini");  // a folder where the file should be
  build();
  tree.SetContextItem(child(tree.rootItem(), "ro"));
  tree.RunCommand(FolderTree::kCmdCleanUp);
  ASSERT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(boxes.shown()[0].text, "書き込みが出来ませんでした。\n処理を中断します。");
  EXPECT_EQ(boxes.shown()[0].caption, "Error");
  EXPECT_TRUE(fs::is_directory(root + "ro/info.ini"));
}

TEST_F(FolderTreeTest, RefreshFollowsTheDisk) {
  mkdirs("a/x");
  mkdirs("b");
  build();
  tree.expandItem(child(tree.rootItem(), "a"));
  fs::remove_all(root + "a/x");
  fs::remove_all(root + "b");
  mkdirs("c/y");
  tree.Refresh();
  EXPECT_EQ(childTexts(tree.rootItem()), (QStringList{"a", "c"}));
  QTreeWidgetItem* a = child(tree.rootItem(), "a");
  EXPECT_EQ(a->childCount(), 0);
  EXPECT_EQ(a->childIndicatorPolicy(), QTreeWidgetItem::DontShowIndicatorWhenChildless);
  EXPECT_EQ(child(tree.rootItem(), "c")->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);
}

// Twelve levels of folders in the default pane width: the tree scrolls
// sideways, and walking down through them keeps each current folder in view
// instead of jumping back to the desktop's column.
TEST_F(FolderTreeTest, DeepFoldersScrollSidewaysAndTheCurrentOneStaysInView) {
  std::string deep;
  for (int level = 1; level <= 12; ++level) deep += "第" + std::to_string(level) + "階層の書類/";
  mkdirs(deep);
  tree.resize(218, 400);  // the tree's width beside the default separator
  build();
  QTreeWidgetItem* deepest = select(deep);
  ASSERT_NE(deepest, nullptr);
  QScrollBar* bar = tree.horizontalScrollBar();
  QCoreApplication::processEvents();
  EXPECT_TRUE(bar->isVisible());
  EXPECT_GT(bar->maximum(), 0);

  const auto inView = [&](QTreeWidgetItem* item) {
    const QRect cell = tree.visualItemRect(item);
    const int textRight = cell.left() + tree.sizeHintForIndex(tree.indexFromItem(item)).width();
    return cell.left() >= 0 && (textRight <= tree.viewport()->width() || cell.left() <= tree.indentation());
  };
  EXPECT_TRUE(inView(deepest)) << tree.visualItemRect(deepest).left() << " at scroll " << bar->value();
  QDir().mkpath(BRINDEL_SCREENSHOT_DIR);
  EXPECT_TRUE(tree.grab().save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/folder_tree_deep.png")));

  tree.setCurrentItem(tree.rootItem());
  EXPECT_EQ(bar->value(), 0);
  for (int level = 1; level <= 12; ++level) {
    QTest::keyClick(&tree, Qt::Key_Down);
    EXPECT_TRUE(inView(tree.currentItem())) << "level " << level << " at scroll " << bar->value();
  }
  EXPECT_EQ(tree.currentItem(), deepest);
  EXPECT_GT(bar->value(), 0);
}

}  // namespace
