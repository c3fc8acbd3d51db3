#include "platform/program_folder.h"
#include "platform/paths.h"
#include "tests/support/test_env.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

#include <sys/stat.h>

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

// Catalogues, settings and work files are the user's alone: the program
// folder and the settings folder are made 0700 whatever the umask, and one
// that an earlier version made under the umask is closed as well.
TEST(ProgramFolder, TheProgramAndSettingsFoldersArePrivate) {
  testsupport::TempDir root;
  const std::string program = root.file("data/brindel");
  const std::string configHome = root.file("config");
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const std::string savedConfig = oldConfig ? oldConfig : "";
  const std::string savedHome = std::getenv("BRINDEL_HOME");
  setenv("BRINDEL_HOME", program.c_str(), 1);
  setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
  const mode_t oldMask = ::umask(022);
  auto modeOf = [](const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
  };
  std::string error;
  EXPECT_TRUE(ensureProgramFolder(&error)) << error;
  EXPECT_EQ(modeOf(program), 0700);
  EXPECT_EQ(modeOf(root.file("data")), 0700) << "a folder made on the way";
  EXPECT_EQ(modeOf(configFolder()), 0700);
  ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
  EXPECT_TRUE(ensureProgramFolder(&error)) << error;
  EXPECT_EQ(modeOf(program), 0700);
  ::umask(oldMask);
  setenv("BRINDEL_HOME", savedHome.c_str(), 1);
  if (oldConfig) setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
}
