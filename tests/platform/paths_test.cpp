#include "platform/paths.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Paths, JoinAndSplit) {
  EXPECT_EQ(joinPath("/a", "b"), "/a/b");
  EXPECT_EQ(joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(joinPath("/a", "/b"), "/a/b");
  EXPECT_EQ(joinPath("", "b"), "b");
  EXPECT_EQ(joinPath("/a", "b", "c.txt"), "/a/b/c.txt");
  EXPECT_EQ(parentPath("/a/b/c"), "/a/b");
  EXPECT_EQ(parentPath("/a/b/"), "/a");
  EXPECT_EQ(parentPath("/a"), "/");
  EXPECT_EQ(parentPath("c"), "");
  EXPECT_EQ(fileNameOf("/a/書類.doc"), "書類.doc");
  EXPECT_EQ(fileNameOf("/a/b/"), "b");
}

TEST(Paths, StemAndExtension) {
  EXPECT_EQ(stemOf("a.doc.TXT"), "a.doc");
  EXPECT_EQ(extensionOf("a.doc.TXT"), "TXT");
  EXPECT_EQ(extensionOf("README"), "");
  EXPECT_EQ(stemOf(".profile"), ".profile");
  EXPECT_EQ(extensionOf(".profile"), "");
}

TEST(Paths, NameLengthLimitIsInBytes) {
  EXPECT_TRUE(isNameLengthValid(std::string(255, 'a')));
  EXPECT_FALSE(isNameLengthValid(std::string(256, 'a')));
  std::string kana;
  for (int i = 0; i < 85; ++i) kana += "あ";  // 255 bytes
  EXPECT_TRUE(isNameLengthValid(kana));
  EXPECT_FALSE(isNameLengthValid(kana + "a"));
  EXPECT_FALSE(isNameLengthValid(""));
}
