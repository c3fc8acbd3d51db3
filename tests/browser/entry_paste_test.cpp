// Copy and paste of documents through the entry clipboard on real folders.

#include "browser/entry_paste.h"
#include "browser/fd3_view.h"
#include "browser/thumbnail_item_wnd.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Source folder 元: items a.doc, x.bmp, k.TXT titled "q.r"; stack 束 of
// p1.bmp, p2.bmp. Target folder 先 (open in the view) holds two items.
class EntryPasteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    env.set("HOME", home.path());
    root = desktop.path() + "/";
    source = root + "元";
    target = root + "先";
    cataloguetest::makeCatalogueFolder(source);
    cataloguetest::makeCatalogueFolder(target);
    {
      cataloguetest::CatalogueRows rows(source);
      rows.addItem({.itemNo = 1, .title = "a", .ext = "doc"});
      rows.addItem({.itemNo = 2, .title = "x", .ext = "bmp"});
      rows.addItem({.itemNo = 3, .title = "q.r", .ext = "TXT"});
      rows.addStack(10, "束", 1);
      rows.addItem({.itemNo = 4, .title = "p1", .ext = "bmp", .stackNo = 10, .pageNo = 1});
      rows.addItem({.itemNo = 5, .title = "p2", .ext = "bmp", .stackNo = 10, .pageNo = 2});
    }
    {
      cataloguetest::CatalogueRows rows(target);
      rows.addItem({.itemNo = 1, .title = "x.bmp", .ext = "TXT"});
      rows.addItem({.itemNo = 2, .title = "q", .ext = "r"});
    }
    for (const char* f : {"a.doc", "x.bmp", "q.r.TXT", "p1.bmp", "p2.bmp"}) std::ofstream(source + "/" + f) << f;
    for (const char* f : {"x.bmp.TXT", "q.r"}) std::ofstream(target + "/" + f) << f;
    view = std::make_unique<CFD3View>();
    view->AttachDocument(&document);
    view->resize(900, 600);
    view->show();
    view->OnInitialUpdate();
    view->BuildFolderTreeForDesktop(root);
    ASSERT_EQ(view->SelectFolderInTree(target), 1);
    paste = view->entryClipboard();
  }
  void TearDown() override {
    view.reset();
    document.CloseFolderDatabase();
  }
  std::string block(std::initializer_list<ClipboardEntry> entries) {
    return EncodeEntryBlock(std::vector<ClipboardEntry>(entries), entries.size());
  }
  std::vector<std::string> titles() {
    std::vector<std::string> out;
    for (int i = 0; i < document.EntryList().GetCount(); ++i) out.push_back(document.EntryList().GetAt(i)->title);
    std::sort(out.begin(), out.end());
    return out;
  }

  FreshEnvironment env;
  testsupport::TempDir home;
  testsupport::TempDir desktop;
  platform::RecordingUserInteraction boxes;
  std::string root, source, target;
  CFD3Doc document;
  std::unique_ptr<CFD3View> view;
  EntryClipboardCommands* paste = nullptr;
};

TEST_F(EntryPasteTest, PasteRulesRefuseClashesAndMissingDocumentsWithTheirMessages) {
  const std::string from = source + "/";
  paste->PasteBlock(block({{from, 0, "x", "bmp"},     // clashes with x.bmp.TXT
                           {from, 0, "q.r", "TXT"},   // clashes with q.r
                           {from, 0, "gone", "doc"},  // not in the catalogue
                           {root + "無い/", 1, "束", ""},
                           {from, 0, "a", "doc"}}));
  const std::vector<std::string> expected{
      "フォルダ「 先 」内に同名の文書「 x.bmp 」が存在します。\n貼り付けを中止します。",
      "フォルダ「 先 」内に同名の文書「 q.r.TXT 」が存在します。\n貼り付けを中止します。",
      "文書「 gone.doc 」を貼り付けようとしましたが、コピーした文書を発見できませんでした。",
      "文書「 束 」を貼り付けようとしましたが、コピーした文書を発見できませんでした。",
  };
  EXPECT_EQ(boxes.texts(), expected);
  EXPECT_EQ(titles(), (std::vector<std::string>{"a.doc", "q.r", "x.bmp.TXT"}));
  EXPECT_TRUE(fs::exists(target + "/a.doc"));
  EXPECT_TRUE(fs::exists(source + "/a.doc"));
}

TEST_F(EntryPasteTest, AStackWithAMissingPageIsSkippedWhole) {
  fs::remove(source + "/p2.bmp");
  paste->PasteBlock(block({{source + "/", 1, "束", ""}}));
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "文書「 束 」を貼り付けようとしましたが、コピーした文書を発見できませんでした。");
  EXPECT_FALSE(fs::exists(target + "/p1.bmp"));
  EXPECT_EQ(document.EntryList().GetCount(), 2);
}

TEST_F(EntryPasteTest, AtTheLimitOneItemPastesAndATwoPageStackEndsThePaste) {
  // The target holds 2: with a limit of 3 one item still fits (1999 + 1 of 2000).
  paste->folderLimit = [] { return 3; };
  paste->PasteBlock(block({{source + "/", 0, "a", "doc"}, {source + "/", 1, "束", ""}, {source + "/", 0, "x", "bmp"}}));
  ASSERT_EQ(boxes.texts().size(), 1u);
  EXPECT_EQ(boxes.texts()[0], "データの登録は、各フォルダ 3 件までです");
  EXPECT_EQ(titles(), (std::vector<std::string>{"a.doc", "q.r", "x.bmp.TXT"}));
  EXPECT_FALSE(fs::exists(target + "/p1.bmp"));
}

TEST_F(EntryPasteTest, CopyWritesTheSelectionAndPasteIntoTheSameFolderDuplicates) {
  view->GetThumbnailPane()->OnSelectAll();
  paste->Copy(view->GetThumbnailPane()->SelectedEntryIndices());
  ASSERT_TRUE(EntryClipboardCommands::ClipboardHoldsEntries());
  std::vector<std::pair<int, int>> duplicated;
  paste->duplicate = [&](int kind, int number) {
    duplicated.emplace_back(kind, number);
    return false;
  };
  paste->Paste();
  EXPECT_TRUE(boxes.texts().empty());
  EXPECT_EQ(duplicated.size(), 2u);
}

}  // namespace
