#include "platform/program_folder.h"
#include "platform/paths.h"
#include "tests/support/test_env.h"

#include <QFile>

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

// The first desktop lies where the user keeps documents: the XDG documents
// folder when the user dirs name one, else ~/Documents; ours overrides both.
TEST(ProgramFolder, SamplesFolderIsAmongTheUsersDocuments) {
  const std::string root = testsupport::privateRoot();
  const std::string userDirs = joinPath(root, "home/.config/user-dirs.dirs");
  unsetenv("BRINDEL_SAMPLES");
  EXPECT_EQ(samplesFolder(), joinPath(root, "home/Documents/ブリンデル"));
  ASSERT_TRUE(testsupport::writeFile(userDirs, "XDG_DOCUMENTS_DIR=\"$HOME/書類\"\n"));
  EXPECT_EQ(samplesFolder(), joinPath(root, "home/書類/ブリンデル"));
  QFile::remove(QString::fromStdString(userDirs));
  setenv("BRINDEL_SAMPLES", "/elsewhere/desk/", 1);
  EXPECT_EQ(samplesFolder(), "/elsewhere/desk");
  unsetenv("BRINDEL_SAMPLES");
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
