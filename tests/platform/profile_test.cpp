#include "platform/profile.h"
#include "platform/sjis_codec.h"
#include "tests/support/child_process.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace platform;
using testsupport::readFile;
using testsupport::writeFile;

TEST(Profile, ReadsCp932FileCaseBlind) {
  testsupport::TempDir dir;
  const std::string ini = dir.file("x.ini");
  ASSERT_TRUE(writeFile(ini, *toCp932("; comment\r\n[Browser]\r\nTitle = \"請求書\" \r\nCount=42abc\r\n"
                                      "[Other]\r\nTitle=other\r\n")));
  EXPECT_EQ(getProfileString(ini, "browser", "TITLE", "def"), "請求書");
  EXPECT_EQ(getProfileString(ini, "Other", "Title", "def"), "other");
  EXPECT_EQ(getProfileString(ini, "Browser", "Missing", "def"), "def");
  EXPECT_EQ(getProfileString(ini, "Nope", "Title", "def"), "def");
  EXPECT_EQ(getProfileInt(ini, "Browser", "Count", 7), 42);
  EXPECT_EQ(getProfileInt(ini, "Browser", "Title", 7), 0);
  EXPECT_EQ(getProfileInt(ini, "Browser", "Missing", 7), 7);
  EXPECT_EQ(getProfileString(dir.file("none.ini"), "A", "B", "d"), "d");
}

TEST(Profile, BufferSizeCutsInShiftJisBytesWithoutSplittingACharacter) {
  testsupport::TempDir dir;
  const std::string ini = dir.file("x.ini");
  ASSERT_TRUE(writeProfileString(ini, "S", "K", "あいうabc"));
  EXPECT_EQ(getProfileString(ini, "S", "K", "", 6), "あい");    // room for 5 bytes
  EXPECT_EQ(getProfileString(ini, "S", "K", "", 8), "あいうa");
  EXPECT_EQ(getProfileString(ini, "S", "K", ""), "あいうabc");
}

TEST(Profile, WritesKeepOtherContentAndUseCp932CrLf) {
  testsupport::TempDir dir;
  const std::string ini = dir.file("x.ini");
  ASSERT_TRUE(writeFile(ini, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"));
  ASSERT_TRUE(writeProfileString(ini, "a", "z", "日本"));
  ASSERT_TRUE(writeProfileString(ini, "B", "Y", "3"));
  ASSERT_TRUE(writeProfileString(ini, "C", "w", "4"));
  EXPECT_EQ(readFile(ini), "[A]\r\nx=1\r\nz=" + *toCp932("日本") + "\r\n\r\n[B]\r\nY=3\r\n[C]\r\nw=4\r\n");
  ASSERT_TRUE(deleteProfileKey(ini, "A", "X"));
  ASSERT_TRUE(deleteProfileSection(ini, "b"));
  EXPECT_EQ(profileSectionNames(ini), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(profileKeys(ini, "A"), (std::vector<std::string>{"z"}));
}

TEST(Profile, FailedWriteIsReported) {
  EXPECT_FALSE(writeProfileString("/nonexistent-dir/x.ini", "S", "K", "v"));
}

// Request files and other programs' INI files are read where they lie: a
// FIFO there reads as a missing file at once, and a file that is there but
// cannot be read is never replaced by a write that did not see it.
TEST(Profile, WhatIsNoRegularFileIsNeitherWaitedOnNorReplaced) {
  testsupport::TempDir dir;
  const std::string fifo = dir.file("request.ini");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(testsupport::runInChild([&] {
              return getProfileString(fifo, "Command", "ImportObjCount", "none") == "none" &&
                     getProfileInt(fifo, "Command", "ImportObjCount", -3) == -3 && profileSectionNames(fifo).empty() &&
                     !writeProfileString(fifo, "S", "K", "v");
            }),
            testsupport::ChildEnd::True);
  struct stat st {};
  ASSERT_EQ(::stat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "the FIFO was replaced";
}
