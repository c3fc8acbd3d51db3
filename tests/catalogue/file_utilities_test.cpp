#include "catalogue/file_utilities.h"

#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "tests/support/test_env.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

using testsupport::TempDir;
using testsupport::fileExists;

void mkpath(const std::string& path) { QDir().mkpath(QString::fromStdString(path)); }
void touch(const std::string& path) {
  mkpath(platform::parentPath(path));
  testsupport::writeFile(path, "x");
}
QStringList entries(const std::string& folder) {
  return QDir(QString::fromStdString(folder))
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// ---- deleting -------------------------------------------------------------

TEST(DeleteFolderTree, EmptiesTheFolderKeepingNamesAsStored) {
  TempDir dir;
  const std::string root = dir.file("Root");
  // Names that differ only in case are different folders here: an
  // upper-cased path would miss "Sub" and hit "SUB".
  touch(root + "/Sub/Inner/File.TXT");
  touch(root + "/SUB/other.bmp");
  touch(root + "/top.Doc");
  const std::string outside = dir.file("outside");
  touch(outside + "/keep.txt");
  ASSERT_EQ(::symlink(outside.c_str(), (root + "/Sub/link").c_str()), 0);
  ::chmod((root + "/top.Doc").c_str(), 0444);

  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_TRUE(entries(root).isEmpty());
  EXPECT_TRUE(fileExists(outside + "/keep.txt")) << "followed a link out of the tree";
  EXPECT_FALSE(DeleteFolderTree(dir.file("missing")));
}

TEST(DeleteFolderTree, LeavesAFolderThatIsTheWorkingFolder) {
  TempDir dir;
  const std::string root = dir.file("root");
  touch(root + "/a/b/c.txt");
  const std::string saved = QDir::currentPath().toStdString();
  ASSERT_EQ(::chdir((root + "/a/b").c_str()), 0);
  EXPECT_TRUE(DeleteFolderTree(root));
  EXPECT_TRUE(entries(root).isEmpty());
  EXPECT_EQ(QDir::currentPath().toStdString(), root);
  ASSERT_EQ(::chdir(saved.c_str()), 0);
}

TEST(DeleteFileForce, ReportsWhatWasThere) {
  TempDir dir;
  const std::string file = dir.file("ro.txt");
  touch(file);
  ::chmod(file.c_str(), 0444);
  EXPECT_EQ(DeleteFileForce(file), 0);
  EXPECT_FALSE(fileExists(file));
  EXPECT_EQ(DeleteFileForce(file), 0);  // nothing there
  mkpath(dir.file("folder"));
  EXPECT_EQ(DeleteFileForce(dir.file("folder")), -1);
  EXPECT_TRUE(QDir(QString::fromStdString(dir.file("folder"))).exists());
  EXPECT_EQ(DeleteFileForce(dir.file("folder/missing/x")), 0);
}

TEST(ShellDelete, MovesToTheTrashOrDeletesForGood) {
  const QString trash =
      QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Trash";
  QDir(trash).removeRecursively();  // a fresh account has no trash yet
  TempDir dir;
  const std::string file = dir.file("paper.pdf");
  touch(file);
  EXPECT_EQ(ShellDelete(file, false), 0);
  EXPECT_FALSE(fileExists(file));
  EXPECT_TRUE(QFile::exists(trash + "/files/paper.pdf"));
  EXPECT_TRUE(QFile::exists(trash + "/info/paper.pdf.trashinfo"));

  const std::string folder = dir.file("folder");
  touch(folder + "/a/b.txt");
  EXPECT_EQ(ShellDelete(folder, true), 0);
  EXPECT_FALSE(fileExists(folder));
  EXPECT_FALSE(QFile::exists(trash + "/files/folder"));
  EXPECT_EQ(ShellDelete(folder, true), ENOENT);
  EXPECT_EQ(ShellDelete(folder, false), ENOENT);
}

// ---- names and paths ------------------------------------------------------

TEST(MakeUniqueFileName, PutsTheCounterBeforeTheExtension) {
  TempDir dir;
  touch(dir.file("photo.jpg"));
  touch(dir.file("photo2.jpg"));
  EXPECT_EQ(MakeUniqueFileName(dir.file("photo.jpg")), dir.file("photo3.jpg"));
  EXPECT_EQ(MakeUniqueFileName(dir.file("new.jpg")), dir.file("new2.jpg"));
  // A point only in a folder name is no extension.
  EXPECT_EQ(MakeUniqueFileName("/a/b.c/name"), "/a/b.c/name2");
  EXPECT_EQ(MakeUniqueFileName("/a/b.c/x.tar.gz"), "/a/b.c/x.tar2.gz");
}

TEST(SplitFileTitle, ReplacesTheExtension) {
  EXPECT_EQ(SplitFileTitle("/a/p.tif", ".BMP"), "/a/p.BMP");
  EXPECT_EQ(SplitFileTitle("/a/p", ".BMP"), "/a/p.BMP");
  EXPECT_EQ(SplitFileTitle("/a.b/p", ".JPG"), "/a.b/p.JPG");
  EXPECT_EQ(SplitFileTitle("/a/p.x.y", ".TIF"), "/a/p.x.TIF");
}

TEST(ResolveLongPath, GivesTheStoredNames) {
  TempDir dir;
  touch(dir.file("Data/Sub Folder/File.TXT"));
  const std::string base = dir.path();
  struct Case {
    std::string path;
    int result;
    std::string resolved;
  } cases[] = {
      {base + "/data/sub folder/file.txt", 0, base + "/Data/Sub Folder/File.TXT"},
      {base + "/Data/Sub Folder", 0, base + "/Data/Sub Folder"},
      {base + "/DATA", 0, base + "/Data"},
      {base + "/data/", 1, ""},
      {"/", 1, ""},
      {"", 1, ""},
      {"relative/path", 1, ""},
      {base + "//data", 1, ""},
      {base + "/data/missing", 1, ""},
  };
  for (const Case& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(ResolveLongPath(path, 4096), c.result) << c.path;
    EXPECT_EQ(path, c.result == 0 ? c.resolved : c.path) << c.path;
  }
}

TEST(ResolveLongPath, PrefersTheExactNameAndCreatesNothing) {
  TempDir dir;
  mkpath(dir.file("abc"));
  mkpath(dir.file("ABC"));
  std::string path = dir.file("ABC");
  EXPECT_EQ(ResolveLongPath(path, 4096), 0);
  EXPECT_EQ(path, dir.file("ABC"));
  path = dir.file("aBc");
  EXPECT_EQ(ResolveLongPath(path, 4096), 0);
  EXPECT_EQ(path, dir.file("ABC"));  // the first in byte order
  EXPECT_EQ(entries(dir.path()).size(), 2);
}

TEST(ResolveLongPath, RefusesAResultThatDoesNotFit) {
  TempDir dir;
  touch(dir.file("Folder/Name"));
  const std::string resolved = dir.file("Folder/Name");
  std::string path = dir.file("folder/name");
  EXPECT_EQ(ResolveLongPath(path, resolved.size()), 1);
  EXPECT_EQ(path, dir.file("folder/name"));
  EXPECT_EQ(ResolveLongPath(path, resolved.size() + 1), 0);
  EXPECT_EQ(path, resolved);
  // An inner folder with its slash must fit as well.
  path = dir.file("folder/name");
  EXPECT_EQ(ResolveLongPath(path, dir.file("Folder/").size()), 1);
}

// ---- the program's own folders --------------------------------------------

TEST(ReservedPath, ClassifiesTheProgramAndConfigFolders) {
  ASSERT_TRUE(platform::ensureProgramFolder());
  InitModuleFolder();
  const std::string program = platform::programFolder();
  const std::string config = platform::configFolder();
  ASSERT_EQ(GetModuleFolder(), program + "/");
  EXPECT_EQ(GetSamplesFolder(), platform::samplesFolder() + "/");
  const std::string bin = QCoreApplication::applicationDirPath().toStdString();
  TempDir other;
  struct Case {
    std::string path;
    int result;
  } cases[] = {
      {program, 1},
      {program + "/", 1},
      {platform::parentPath(program), 2},
      {program + "/db", 3},
      {program + "/not/made/yet", 3},
      {program + "/tmp/../db", 3},
      {bin, 1},
      {bin + "/sub", 3},
      {config, 4},
      {platform::parentPath(config), 5},
      {config + "/x", 6},
      {other.path(), 0},
      {program + "x", 0},  // a sibling whose name starts the same
      {"/" + std::string(5000, 'a'), -1},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyReservedPath(c.path), c.result) << c.path;
}

// ---- checks with a message ------------------------------------------------

TEST(CheckDiskFree, SixteenMebibytesIsStillEnough) {
  platform::RecordingUserInteraction boxes;
  EXPECT_FALSE(CheckDiskFreeBytes(16777216));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(CheckDiskFreeBytes(16777215));
  EXPECT_TRUE(CheckDiskFreeBytes(std::nullopt));
  EXPECT_TRUE(CheckDiskFree("/no/such/folder"));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"空き容量が不足しています。",
                                                     "ドライブ情報が取得できませんでした。",
                                                     "ドライブ情報が取得できませんでした。"}));
  EXPECT_EQ(boxes.shown()[0].buttons, platform::Buttons::Ok);
}

TEST(CheckTargetFolder, RefusesMissingAndHiddenFolders) {
  platform::RecordingUserInteraction boxes;
  TempDir dir;
  mkpath(dir.file("ok"));
  mkpath(dir.file(".hidden"));
  touch(dir.file("file"));
  EXPECT_FALSE(CheckTargetFolder(dir.file("ok/"), "移動"));
  EXPECT_FALSE(CheckTargetFolder("/", "移動"));
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_TRUE(CheckTargetFolder(dir.file("missing/"), "移動"));
  EXPECT_TRUE(CheckTargetFolder(dir.file("file/"), "コピー"));
  EXPECT_TRUE(CheckTargetFolder(dir.file(".hidden/"), "移動"));
  EXPECT_EQ(boxes.texts(), (std::vector<std::string>{
                               "移動先のフォルダを発見できませんでした。\n処理を中断します。",
                               "コピー先のフォルダを発見できませんでした。\n処理を中断します。",
                               "移動先のフォルダは扱えません。\n処理を中断します。"}));
}

TEST(IsDatabaseFileName, KnowsTheCatalogueFiles) {
  for (const char* name : {"info.mdb", "INFO.MDB", "Info.Ldb", "info.bk", "infos.mdb", "infos.ldb",
                           "search.mdb", "search.ldb", "info.ini", "info.mdb-journal"})
    EXPECT_TRUE(IsDatabaseFileName(name)) << name;
  for (const char* name : {"info.mdb.bak", "info", "myinfo.mdb", "info.txt", ""})
    EXPECT_FALSE(IsDatabaseFileName(name)) << name;
}

TEST(CanDrawTextInRect, OnlyNarrowWrappedEditTextIsRefused) {
  EXPECT_FALSE(CanDrawTextInRect(0, 0, 29, 10, 0x2010));
  EXPECT_TRUE(CanDrawTextInRect(0, 0, 30, 10, 0x2010));
  EXPECT_TRUE(CanDrawTextInRect(0, 0, 5, 10, 0x10));
  EXPECT_TRUE(CanDrawTextInRect(0, 0, 5, 10, 0x2000));
  EXPECT_FALSE(CanDrawTextInRect(10, 0, 20, 10, 0x2011));
}

}  // namespace
