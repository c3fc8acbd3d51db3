#include "platform/file_ops.h"

#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

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
