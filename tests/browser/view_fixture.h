#pragma once
// A browser view on a program document, over a desktop folder "書類" with a
// catalogue, in a fresh environment; message boxes are recorded. Tests fill
// the catalogue (rows) and the folder (touch), then show the view.

#include "browser/board_operations.h"
#include "browser/fd3_view.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/shell/fresh_environment.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class BrowserViewFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ensureProgramFolder();
    InitModuleFolder();
    env.set("HOME", home.path());
    env.set("XDG_DATA_HOME", home.file("share"));
    root = desktop.path() + "/";
    folder = root + "書類";
    cataloguetest::makeCatalogueFolder(folder);
  }
  void TearDown() override {
    view.reset();
    document.CloseFolderDatabase();
  }
  // The view on the desktop with the folder selected in its tree.
  void show() {
    view = std::make_unique<CFD3View>();
    view->AttachDocument(&document);
    view->resize(900, 600);
    view->show();
    view->OnInitialUpdate();
    view->BuildFolderTreeForDesktop(root);
    ASSERT_EQ(view->SelectFolderInTree(folder), 1);
    board = view->GetThumbnailPane();
    ops = view->boardOperations();
  }
  void touch(const std::string& name, const std::string& text = "x") { std::ofstream(folder + "/" + name) << text; }
  bool exists(const std::string& name) const { return std::filesystem::exists(std::filesystem::u8path(folder + "/" + name)); }
  int entryOf(int kind, int number) const { return document.EntryList().Find(kind, number); }
  int itemNo(const std::string& title, const std::string& ext) {
    int found = 0, number = 0;
    EXPECT_EQ(document.Database().FindItem(title, ext, found, number), 0);
    return found ? number : 0;
  }
  int stackNo(const std::string& title) {
    int found = 0, number = 0;
    EXPECT_EQ(document.Database().FindStack(title, found, number), 0);
    return found ? number : 0;
  }
  std::vector<std::string> pageTitles(int stack) {
    StackInfo info;
    EXPECT_EQ(document.Database().GetStackInfo(stack, info), 0);
    std::vector<std::string> titles;
    for (int p = 1; p <= info.PageCount; ++p) {
      ItemInfo page;
      document.Database().Stack2Item(stack, p, page);
      titles.push_back(page.Title);
    }
    return titles;
  }

  FreshEnvironment env;
  testsupport::TempDir home;
  testsupport::TempDir desktop;
  platform::RecordingUserInteraction boxes;
  std::string root;
  std::string folder;
  CFD3Doc document;
  std::unique_ptr<CFD3View> view;
  ThumbnailPaneWnd* board = nullptr;
  BoardOperations* ops = nullptr;
};
