#include "platform/profile.h"
#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

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
