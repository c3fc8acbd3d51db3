#include "platform/program_folder.h"
#include "platform/paths.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace platform;

TEST(ProgramFolder, FoldersFollowTheEnvironment) {
  const std::string root = testsupport::privateRoot();
  EXPECT_EQ(programFolder(), joinPath(root, "program"));
  EXPECT_EQ(configFolder(), joinPath(root, "home/.config/Velnor"));
  EXPECT_EQ(programIniPath(), joinPath(root, "home/.config/Velnor/brindel.ini"));
  EXPECT_EQ(workFolder(workfolder::kOcrOcx), joinPath(root, "program/ocrocx"));
}

TEST(ProgramFolder, SeedsMissingResourcesAndKeepsExistingFiles) {
  testsupport::TempDir share;
  ASSERT_TRUE(testsupport::writeFile(share.file("synonym.idx"), "template"));
  QDir().mkpath(QString::fromStdString(share.file("db")));
  ASSERT_TRUE(testsupport::writeFile(share.file("db/info.mdb"), "empty catalogue"));
  testsupport::TempDir home;
  setenv("BRINDEL_SHARE", share.path().c_str(), 1);
  setenv("BRINDEL_HOME", home.path().c_str(), 1);
  ASSERT_TRUE(testsupport::writeFile(home.file("synonym.idx"), "user's own"));

  std::string error;
  ASSERT_TRUE(ensureProgramFolder(&error)) << error;
  EXPECT_EQ(testsupport::readFile(home.file("synonym.idx")), "user's own");
  EXPECT_EQ(testsupport::readFile(home.file("db/info.mdb")), "empty catalogue");
  for (const char* sub : {"tmp", "scanout", "scantmp", "ocrin", "ocrocx", "textlib"})
    EXPECT_TRUE(testsupport::fileExists(home.file(sub))) << sub;
  ASSERT_TRUE(ensureProgramFolder(&error)) << "second run is harmless: " << error;
  setenv("BRINDEL_HOME", joinPath(testsupport::privateRoot(), "program").c_str(), 1);
  unsetenv("BRINDEL_SHARE");
}
