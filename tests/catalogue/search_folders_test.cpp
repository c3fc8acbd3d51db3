// The search folder collector: order, what is left out, the filters.

#include "catalogue/search_folders.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <QDir>

#include <cstdlib>

namespace {

std::vector<std::string> walk(SearchFolders& c, const std::string& root, bool sub) {
  std::vector<std::string> out;
  std::string f;
  for (int more = c.Begin(&root, sub, f); more == 1; more = c.Next(f)) out.push_back(f);
  return out;
}

class Collector : public ::testing::Test {
 protected:
  void SetUp() override {
    root = dir.path() + "/Desk";
    for (const char* sub : {"beta", "Alpha", "Alpha/zeta", "Alpha/Mid", "gamma", ".hidden",
                            "Program", "Program/db"})
      QDir().mkpath(QString::fromStdString(root + "/" + sub));
    QDir().mkpath(QString::fromStdString(dir.path() + "/outside"));
    ::symlink((dir.path() + "/outside").c_str(), (root + "/link").c_str());
    const char* old = std::getenv("BRINDEL_HOME");
    if (old) savedHome = old;
    // The desktop holds the program folder, which the walk never enters.
    ::setenv("BRINDEL_HOME", (root + "/Program").c_str(), 1);
    InitModuleFolder();
  }
  void TearDown() override {
    ::setenv("BRINDEL_HOME", savedHome.c_str(), 1);
    InitModuleFolder();
  }
  testsupport::TempDir dir;
  std::string root;
  std::string savedHome;
};

TEST_F(Collector, DepthFirstSortedSiblingsNamesAsListed) {
  SearchFolders c;
  const std::vector<std::string> expected = {root, root + "/Alpha", root + "/Alpha/Mid",
                                             root + "/Alpha/zeta", root + "/beta", root + "/gamma"};
  EXPECT_EQ(walk(c, root, true), expected);
  EXPECT_EQ(walk(c, root + "/", true), expected);
  EXPECT_EQ(walk(c, root, false), std::vector<std::string>{root});
}

TEST_F(Collector, FiltersByCleanUpMarkAndColour) {
  WriteFolderIni(root + "/Alpha/info.ini", std::to_string(0x1 | (3 << 8)));
  WriteFolderIni(root + "/beta/info.ini", std::to_string(3 << 8));
  SearchFolders c;
  c.SetRange(1, -1);
  EXPECT_EQ(walk(c, root, true), std::vector<std::string>{root + "/Alpha"});
  c.SetRange(0, 3);
  EXPECT_EQ(walk(c, root, true), (std::vector<std::string>{root + "/Alpha", root + "/beta"}));
  c.SetRange(1, 3);
  EXPECT_EQ(walk(c, root, false), std::vector<std::string>{});
}

TEST_F(Collector, NullRootWalksThePreviousListAgain) {
  SearchFolders c;
  std::string f;
  ASSERT_EQ(c.Begin(&root, true, f), 1);
  ASSERT_EQ(c.Next(f), 1);
  EXPECT_EQ(f, root + "/Alpha");
  EXPECT_EQ(c.Begin(nullptr, true, f), 1);
  EXPECT_EQ(f, root);
}

}  // namespace
