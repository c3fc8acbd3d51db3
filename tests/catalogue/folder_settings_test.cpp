#include "catalogue/folder_settings.h"

#include "platform/profile.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "tests/support/child_process.h"
#include "tests/support/test_env.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::TempDir;

const std::string kHeader = "[" + *platform::toCp932("ブリンデル") + "]\r\n";

TEST(FolderIni, WritesExactlyTheTwoLines) {
  TempDir dir;
  const std::string path = dir.file("info.ini");
  testsupport::writeFile(path, "old content that is longer than the new one\r\n");
  ASSERT_TRUE(WriteFolderIni(path, "257"));
  EXPECT_EQ(testsupport::readFile(path), kHeader + "CleanUp=257\r\n");
  EXPECT_EQ(ReadFolderIni(path, -1), 257);
}

TEST(FolderIni, ReadsTheValueOrTheDefault) {
  TempDir dir;
  const std::string path = dir.file("info.ini");
  struct Case {
    const char* name;
    std::string bytes;
    int value;
  } cases[] = {
      {"plain", kHeader + "CleanUp=257\r\n", 257},
      {"no line end", kHeader + "CleanUp=3", 3},
      {"not a number", kHeader + "CleanUp=x1\r\n", 0},
      {"leading digits", kHeader + "CleanUp=12ab\r\n", 12},
      {"negative", kHeader + "CleanUp=-5\r\n", -5},
      {"key on a later line", kHeader + "Other=1\r\nCleanUp=9\r\n", 9},
      {"no header", "CleanUp=9\r\n", -1},
      {"key before header", "\r\nCleanUp=9\r\n" + kHeader, -1},
      {"key not after a line break", kHeader + "XCleanUp=9\r\n", -1},
      {"key beyond 1024 bytes", kHeader + std::string(1100, ';') + "\r\nCleanUp=9\r\n", -1},
      {"empty file", "", -1},
  };
  for (const Case& c : cases) {
    testsupport::writeFile(path, c.bytes);
    EXPECT_EQ(ReadFolderIni(path, -1), c.value) << c.name;
  }
  EXPECT_EQ(ReadFolderIni(dir.file("missing.ini"), 42), 42);
}

// A FIFO (or a device) named info.ini in a folder anyone may fill must
// not hold the program: it reads as no file.
TEST(FolderIni, AFifoInItsPlaceReadsAsMissing) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("info.ini").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.file("zero.ini").c_str()), 0);
  EXPECT_EQ(testsupport::runInChild([&] {
              return ReadFolderIni(dir.file("info.ini"), 42) == 42 && ReadFolderIni(dir.file("zero.ini"), 7) == 7;
            }),
            testsupport::ChildEnd::True);
}

TEST(FolderIni, AReadOnlyFileKeepsItsMark) {
  TempDir dir;
  const std::string path = dir.file("info.ini");
  ASSERT_TRUE(WriteFolderIni(path, "1"));
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(ReadFolderIni(path, 0), 1);
  // Whatever the rights of the process, the file is never opened for writing.
  const int watch = inotify_init1(IN_NONBLOCK);
  ASSERT_GE(watch, 0);
  ASSERT_GE(inotify_add_watch(watch, path.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);
  EXPECT_EQ(ReadFolderIni(path, 0), 1);
  alignas(inotify_event) char events[4096];
  const ssize_t got = ::read(watch, events, sizeof events);
  ASSERT_GT(got, 0);
  for (ssize_t at = 0; at < got;) {
    const auto* event = reinterpret_cast<const inotify_event*>(events + at);
    EXPECT_FALSE(event->mask & IN_CLOSE_WRITE) << "opened for writing";
    at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
  }
  ::close(watch);
  // A reader holding the file open does not stop another reader either.
  QFile holder(QString::fromStdString(path));
  ASSERT_TRUE(holder.open(QIODevice::ReadOnly));
  EXPECT_EQ(ReadFolderIni(path, 0), 1);
}

TEST(FolderIni, WriteFailsWhereNoFileCanBeMade) {
  TempDir dir;
  EXPECT_FALSE(WriteFolderIni(dir.file("missing/info.ini"), "1"));
}

TEST(FolderIconIndex, ColourGroupAndState) {
  struct Case {
    bool other;
    int value, image, selected;
  } cases[] = {
      {false, 0, 0, 1},      {false, 1, 2, 3},      {false, 0x301, 20, 21},
      {true, 0x301, 23, 23}, {true, 0x300, 22, 22}, {false, 0xF00, 90, 91},
      {false, 0x1F01, 92, 93},  // bits above 11 are not part of the colour
  };
  for (const Case& c : cases) {
    int image = -1, selected = -1;
    GetFolderIconIndex(c.other, c.value, image, selected);
    EXPECT_EQ(image, c.image) << std::hex << c.value;
    EXPECT_EQ(selected, c.selected) << std::hex << c.value;
  }
}

class CmdLineSetting : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::ensureProgramFolder()); }
};

TEST_F(CmdLineSetting, ALongCommandLineComesBackWhole) {
  const std::string longLine = "brindel /Import " + std::string(600, 'x') + " 日本語のフォルダ";
  for (const std::string& text :
       {longLine, std::string("\"/a b/c\" \"/Import\""), std::string("  spaced  "), std::string()}) {
    ASSERT_EQ(SetCmdLineSetting(text), 0);
    EXPECT_EQ(GetCmdLineSetting(), text);
  }
}

TEST_F(CmdLineSetting, ReportsWhatCannotBeStored) {
  ASSERT_EQ(SetCmdLineSetting("kept"), 0);
  EXPECT_EQ(SetCmdLineSetting("two\nlines"), -1);
  EXPECT_EQ(SetCmdLineSetting("emoji 😀"), -1);
  EXPECT_EQ(GetCmdLineSetting(), "kept");
  // An INI file that cannot be replaced: the folder is in its way.
  const std::string ini = platform::programIniPath();
  QFile::remove(QString::fromStdString(ini));
  ASSERT_EQ(::mkdir(ini.c_str(), 0700), 0);
  EXPECT_EQ(SetCmdLineSetting("/Import"), -1);
  ::rmdir(ini.c_str());
}

}  // namespace
