#include "platform/file_ops.h"
#include "platform/paths.h"

#include "tests/support/child_process.h"
#include "tests/support/test_env.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

TEST(RenameNoReplace, NeverReplacesAnExistingTarget) {
  TempDir dir;
  writeFile(dir.file("a"), "A");
  writeFile(dir.file("b"), "B");
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("b")), EEXIST);
  EXPECT_EQ(readFile(dir.file("a")), "A");
  EXPECT_EQ(readFile(dir.file("b")), "B");
  // Names that differ only in case are different files here.
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("A")), 0);
  EXPECT_EQ(readFile(dir.file("A")), "A");
  EXPECT_FALSE(testsupport::fileExists(dir.file("a")));
  EXPECT_EQ(platform::renameNoReplace(dir.file("missing"), dir.file("c")), ENOENT);
}

// File systems that refuse the no-replace flag, hard links, or both: the
// system's calls with some of them answering as such a file system does.
class RenameFallback : public ::testing::Test {
 protected:
  void SetUp() override {
    calls = platform::systemRenameCalls();
    platform::setRenameCalls(&calls);
  }
  void TearDown() override { platform::setRenameCalls(nullptr); }
  void refuseFlag() {
    calls.renameNoReplace = [this](const char*, const char*) {
      used.push_back("renameat2");
      return EINVAL;
    };
  }
  void refuseLinks(int error) {
    calls.link = [this, error](const char*, const char*) {
      used.push_back("link");
      return error;
    };
  }
  void recordRename() {
    const auto system = platform::systemRenameCalls().rename;
    calls.rename = [this, system](const char* from, const char* to) {
      used.push_back("rename");
      return system(from, to);
    };
  }

  platform::RenameCalls calls;
  std::vector<std::string> used;
  TempDir dir;
};

TEST_F(RenameFallback, WithoutTheFlagAHardLinkTakesItsPlace) {
  refuseFlag();
  recordRename();
  writeFile(dir.file("a"), "A");
  writeFile(dir.file("b"), "B");
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("b")), EEXIST);
  EXPECT_EQ(readFile(dir.file("b")), "B");
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("c")), 0);
  EXPECT_EQ(readFile(dir.file("c")), "A");
  EXPECT_FALSE(testsupport::fileExists(dir.file("a")));
  EXPECT_EQ(used, (std::vector<std::string>{"renameat2", "renameat2"})) << "no plain rename was needed";
}

TEST_F(RenameFallback, AFolderRenamesWhereTheFlagIsRefused) {
  // A real hard link of a folder is refused (EPERM) on every file system.
  refuseFlag();
  recordRename();
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(dir.file("folder"))));
  writeFile(dir.file("folder/inside"), "x");
  EXPECT_EQ(platform::renameNoReplace(dir.file("folder"), dir.file("renamed")), 0);
  EXPECT_EQ(readFile(dir.file("renamed/inside")), "x");
  EXPECT_EQ(used, (std::vector<std::string>{"renameat2", "rename"}));
}

TEST_F(RenameFallback, WithoutHardLinksTheTargetIsCheckedThenRenamed) {
  for (int linkError : {EPERM, EOPNOTSUPP, ENOSYS}) {
    SCOPED_TRACE(linkError);
    refuseFlag();
    refuseLinks(linkError);
    recordRename();
    used.clear();
    writeFile(dir.file("a"), "A");
    writeFile(dir.file("b"), "B");
    EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("b")), EEXIST);
    EXPECT_EQ(readFile(dir.file("a")), "A");
    EXPECT_EQ(readFile(dir.file("b")), "B");
    EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("c")), 0);
    EXPECT_EQ(readFile(dir.file("c")), "A");
    EXPECT_EQ(platform::renameNoReplace(dir.file("missing"), dir.file("d")), ENOENT);
    EXPECT_EQ(used, (std::vector<std::string>{"renameat2", "link", "renameat2", "link", "rename",
                                              "renameat2", "link", "rename"}));
    ::unlink(dir.file("b").c_str());
    ::unlink(dir.file("c").c_str());
  }
}

TEST_F(RenameFallback, OtherFailuresAreReportedAsTheyCome) {
  writeFile(dir.file("a"), "A");
  // The flag refused, the link failing for want of room: no further try.
  refuseFlag();
  refuseLinks(ENOSPC);
  recordRename();
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("c")), ENOSPC);
  EXPECT_EQ(used, (std::vector<std::string>{"renameat2", "link"}));
  // The old name cannot go after the link: the link is taken back.
  calls.link = platform::systemRenameCalls().link;
  calls.unlink = [](const char* path) {
    return std::string(path).ends_with("/a") ? EACCES : platform::systemRenameCalls().unlink(path);
  };
  EXPECT_EQ(platform::renameNoReplace(dir.file("a"), dir.file("c")), EACCES);
  EXPECT_EQ(readFile(dir.file("a")), "A");
  EXPECT_FALSE(testsupport::fileExists(dir.file("c")));
}

// Only names of the program's own partial-copy pattern are taken for
// leftovers; a user's file never is.
TEST(PartialCopy, OnlyItsOwnPatternNamesALeftover) {
  const std::pair<const char*, const char*> names[] = {
      {".x.doc.part.a1B2c3", "x.doc"},
      {".請求書.pdf.part.Zz09aa", "請求書.pdf"},
      {".a.doc.TXT.part.AAAAAA", "a.doc.TXT"},
      {"x.doc.part.a1B2c3", nullptr},   // not hidden
      {".x.doc.part.a1B2c", nullptr},   // five characters
      {".x.doc.part.a1B2c!", nullptr},  // not of mkostemp's alphabet
      {".x.doc.part.a1B2c3.bak", nullptr},
      {".part.a1B2c3", nullptr},
      {"..part.a1B2c3", nullptr},
      {".bashrc", nullptr},
      {"report.part", nullptr},
      {".x.doc.XXXXXX", nullptr},  // another temporary, not a copy's
  };
  for (const auto& [name, target] : names) {
    const auto got = platform::partialCopyTarget(name);
    if (target)
      EXPECT_EQ(got.value_or("<none>"), target) << name;
    else
      EXPECT_FALSE(got) << name;
  }
}

TEST_F(RenameFallback, APlacedCopyStaysLinkedToItsPartialNameUntilReleased) {
  writeFile(dir.file("from"), "content");
  std::string partial;
  ASSERT_EQ(platform::makePartialCopy(dir.file("from"), dir.file("to.doc"), partial), 0);
  EXPECT_EQ(platform::partialCopyTarget(platform::fileNameOf(partial)).value_or(""), "to.doc");
  writeFile(dir.file("taken"), "user's");
  EXPECT_EQ(platform::placePartialCopy(partial, dir.file("taken")), EEXIST);
  EXPECT_EQ(readFile(dir.file("taken")), "user's");
  ASSERT_EQ(platform::placePartialCopy(partial, dir.file("to.doc")), 0);
  struct stat placed {}, kept {};
  ASSERT_EQ(::stat(dir.file("to.doc").c_str(), &placed), 0);
  ASSERT_EQ(::stat(partial.c_str(), &kept), 0);
  EXPECT_EQ(placed.st_ino, kept.st_ino);
  platform::releasePartialCopy(partial);
  EXPECT_FALSE(testsupport::fileExists(partial));
  EXPECT_EQ(readFile(dir.file("to.doc")), "content");
  // Without hard links the partial copy is renamed into place.
  refuseLinks(EPERM);
  ASSERT_EQ(platform::makePartialCopy(dir.file("from"), dir.file("other.doc"), partial), 0);
  ASSERT_EQ(platform::placePartialCopy(partial, dir.file("other.doc")), 0);
  EXPECT_FALSE(testsupport::fileExists(partial));
  EXPECT_EQ(readFile(dir.file("other.doc")), "content");
}

TEST(CopyFileReplacing, ReplacesWholeWithNewFilePermissions) {
  TempDir dir;
  writeFile(dir.file("source"), std::string(200000, 's'));
  ::chmod(dir.file("source").c_str(), 0444);
  writeFile(dir.file("target"), "old");
  EXPECT_EQ(platform::copyFileReplacing(dir.file("source"), dir.file("target")), 0);
  EXPECT_EQ(readFile(dir.file("target")), std::string(200000, 's'));
  struct stat st {};
  ASSERT_EQ(::stat(dir.file("target").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IWUSR) << "the copy took the source's read-only mode";
  EXPECT_EQ(platform::copyFileReplacing(dir.file("missing"), dir.file("target")), ENOENT);
  EXPECT_EQ(readFile(dir.file("target")), std::string(200000, 's'));
}

}  // namespace

namespace {

// Whatever lies under a file's name, the guarded reader returns at once:
// a FIFO with no writer, a device without end, a folder; a regular file is
// read whole within its cap, or its head.
TEST(GuardedReader, ReadsOnlyRegularFilesAndNeverWaits) {
  TempDir dir;
  ASSERT_TRUE(writeFile(dir.file("plain"), "0123456789"));
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(dir.file("fifo").c_str(), dir.file("link-to-fifo").c_str()), 0);
  ASSERT_EQ(::symlink("/dev/zero", dir.file("zero").c_str()), 0);
  struct Case {
    const char* name;
    std::string path;
    int whole;  // readFileCapped with a cap of 8 bytes
    int head;   // readFileHead of 4 bytes
  };
  const Case cases[] = {
      {"a regular file over the cap", dir.file("plain"), EFBIG, 0},
      {"a FIFO", dir.file("fifo"), EISDIR, EISDIR},
      {"a link to a FIFO", dir.file("link-to-fifo"), EISDIR, EISDIR},
      {"a device without end", dir.file("zero"), EISDIR, EISDIR},
      {"a folder", dir.path(), EISDIR, EISDIR},
      {"nothing", dir.file("missing"), ENOENT, ENOENT},
  };
  for (const Case& c : cases) {
    const auto end = testsupport::runInChild([&] {
      std::string whole, head;
      std::vector<std::uint8_t> bytes;
      return platform::readFileCapped(c.path, 8, &whole) == c.whole &&
             platform::readFileCapped(c.path, 8, &bytes) == c.whole &&
             platform::readFileHead(c.path, 4, &head) == c.head && (c.head != 0 || head == "0123");
    });
    EXPECT_EQ(end, testsupport::ChildEnd::True) << c.name;
  }
  std::string bytes;
  EXPECT_EQ(platform::readFileCapped(dir.file("plain"), 10, &bytes), 0);
  EXPECT_EQ(bytes, "0123456789");
  EXPECT_FALSE(platform::isRegularFile(dir.file("fifo")));
  EXPECT_TRUE(platform::isRegularFile(dir.file("plain")));
}

// A copy into a folder takes only a regular file: a FIFO would hold it, a
// device would fill the disk.
TEST(GuardedReader, ACopyRefusesWhatIsNoRegularFile) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
  const auto end = testsupport::runInChild([&] {
    return platform::copyFileReplacing(dir.file("fifo"), dir.file("a")) == EISDIR &&
           platform::copyFileReplacing("/dev/zero", dir.file("b")) == EISDIR;
  });
  EXPECT_EQ(end, testsupport::ChildEnd::True);
  EXPECT_FALSE(testsupport::fileExists(dir.file("a")));
  EXPECT_FALSE(testsupport::fileExists(dir.file("b")));
}

}  // namespace
