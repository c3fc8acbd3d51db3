// The entry clipboard block: its bytes, and reading it as outside input.

#include "browser/entry_clipboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace entryblock;

TEST(EntryClipboardBlock, HasItsGoldenBytes) {
  const std::string block = EncodeEntryBlock({{"/d/書類/", 0, "見積", "tif"}, {"/d/", 1, "束", ""}}, 3);
  ASSERT_EQ(block.size(), 4u + 3 * 480);
  EXPECT_EQ(block.substr(0, 4), std::string("\x02\x00\x00\x00", 4));
  // Entry 0: folder in Shift-JIS (書類 = 8F 91 97 DE), kind 0, title 見積 (8C A9 90 CF), "tif".
  EXPECT_EQ(block.substr(4, 9), std::string("/d/\x8f\x91\x97\xde/\0", 9));
  EXPECT_EQ(block.substr(4 + 264, 4), std::string(4, '\0'));
  EXPECT_EQ(block.substr(4 + 268, 5), std::string("\x8c\xa9\x90\xcf\0", 5));
  EXPECT_EQ(block.substr(4 + 469, 4), std::string("tif\0", 4));
  // Entry 1: a stack, kind 1, no extension.
  EXPECT_EQ(block.substr(484 + 264, 4), std::string("\x01\x00\x00\x00", 4));
  EXPECT_EQ(block.substr(484 + 268, 3), std::string("\x91\xa9\0", 3));
  EXPECT_EQ(block[484 + 469], '\0');
  // The unused third slot is all zero.
  EXPECT_EQ(block.substr(964), std::string(480, '\0'));

  std::vector<ClipboardEntry> back;
  ASSERT_TRUE(DecodeEntryBlock(block, back));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].folder, "/d/書類/");
  EXPECT_EQ(back[0].title, "見積");
  EXPECT_EQ(back[0].ext, "tif");
  EXPECT_EQ(back[1].kind, 1);
  EXPECT_EQ(back[1].title, "束");
}

TEST(EntryClipboardBlock, IsReadAsUntrustedInput) {
  std::vector<ClipboardEntry> out;
  const std::string good = EncodeEntryBlock({{"/d/", 0, "a", "doc"}}, 1);
  struct Case {
    const char* what;
    std::string block;
    bool usable;
    std::size_t entries;
  };
  std::string bigCount = good;
  bigCount[0] = 2;  // more entries than the block holds
  std::string negative = good;
  negative[3] = '\x80';
  std::string noNul = good;  // a title filling its slot without an end
  for (std::size_t i = 0; i < kTitleSize; ++i) noNul[4 + kTitleOffset + i] = 'x';
  std::string kind7 = good;  // any non-zero kind is a stack
  kind7[4 + kKindOffset] = 7;
  std::string relative = EncodeEntryBlock({{"d/", 0, "a", "doc"}}, 1);
  std::string upward = EncodeEntryBlock({{"/d/../etc/", 0, "a", "doc"}}, 1);
  std::string slashTitle = EncodeEntryBlock({{"/d/", 0, "../a", "doc"}}, 1);
  const Case cases[] = {
      {"too short", std::string(3, '\0'), false, 0},
      {"count past the end", bigCount, false, 0},
      {"negative count", negative, false, 0},
      {"unterminated title is cut to 200 bytes", noNul, true, 1},
      {"kind 7", kind7, true, 1},
      {"relative folder", relative, true, 0},
      {"folder stepping up", upward, true, 0},
      {"title with a separator", slashTitle, true, 0},
      {"good", good, true, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeEntryBlock(c.block, out), c.usable) << c.what;
    EXPECT_EQ(out.size(), c.entries) << c.what;
  }
  ASSERT_TRUE(DecodeEntryBlock(noNul, out));
  EXPECT_EQ(out[0].title, std::string(200, 'x'));
  ASSERT_TRUE(DecodeEntryBlock(kind7, out));
  EXPECT_EQ(out[0].kind, 1);
  EXPECT_EQ(out[0].ext, "");
}

}  // namespace
