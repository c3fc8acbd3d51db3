#include "catalogue/related_word_dictionary.h"

#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdint>
#include <functional>

namespace {

using testsupport::readFile;
using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

std::int32_t int32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes.at(offset + static_cast<std::size_t>(i)));
  return static_cast<std::int32_t>(v);
}

std::int16_t int16At(const std::string& bytes, std::size_t offset) {
  return static_cast<std::int16_t>(static_cast<std::uint8_t>(bytes.at(offset)) |
                                   (static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8));
}

// Slot of a double-byte character, computed here from the file format.
std::size_t slotOf(const std::string& sjisChar) {
  const auto h = static_cast<std::uint8_t>(sjisChar[0]), t = static_cast<std::uint8_t>(sjisChar[1]);
  const int base = (h & 0xF0) == 0x80 ? 0 : (h & 0xF0) == 0x90 ? 4096 : (h & 0xF0) == 0xE0 ? 8192 : 12288;
  return static_cast<std::size_t>((h & 0x0F) * 256 + t + base);
}

struct Posting {
  std::int32_t capacity, free, count;
  std::vector<std::int32_t> groups;  // all capacity entries
};

Posting postingOf(const std::string& idx, const std::string& sjisChar) {
  const std::int32_t block = int32At(idx, 16 + 4 * slotOf(sjisChar));
  if (block == 0) return {0, 0, 0, {}};
  Posting p{int32At(idx, static_cast<std::size_t>(block)), int32At(idx, static_cast<std::size_t>(block) + 4),
            int32At(idx, static_cast<std::size_t>(block) + 8), {}};
  for (std::int32_t i = 0; i < p.capacity; ++i)
    p.groups.push_back(int32At(idx, static_cast<std::size_t>(block) + 12 + 4 * static_cast<std::size_t>(i)));
  return p;
}

// Group text of group g as stored: length and descrambled text.
std::pair<std::int16_t, std::string> recordOf(const std::string& bdy, int g) {
  const auto offset = static_cast<std::size_t>(int32At(bdy, 4 + 4 * static_cast<std::size_t>(g)));
  const std::int16_t length = int16At(bdy, offset);
  std::string text = bdy.substr(offset + 2, static_cast<std::size_t>(length < 0 ? -length : length));
  for (std::size_t i = 0; i < text.size(); ++i)
    text[i] = static_cast<char>(static_cast<std::uint8_t>(text[i]) ^ relatedword::kScrambleKey[i % 24]);
  return {length, text};
}

class RelatedWordDictionary : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), capacity())); }
  void TearDown() override {
    if (RelatedWordDictionaryOpened()) CloseRelatedWordDictionary();
    ReleaseRelatedWordDictionary();
  }
  virtual int capacity() const { return 100; }

  void open() { ASSERT_EQ(OpenRelatedWordDictionary(dir.path()), 1); }
  std::string idx() const { return readFile(dir.file("synonym.idx")); }
  std::string bdy() const { return readFile(dir.file("synonym.bdy")); }
  // Words of found group index, in UTF-8, with the plain flag as "$$" in front.
  std::vector<std::string> wordsOf(int index) {
    std::vector<std::string> out;
    std::uint8_t plain = 9;
    std::string word;
    for (auto r = GetRelatedGroup(index, plain, word); r == 1; r = GetNextRelatedWord(plain, word))
      out.push_back((plain ? "" : "$$") + platform::fromCp932(word));
    EXPECT_TRUE(word.empty());
    return out;
  }

  testsupport::TempDir dir;
  platform::RecordingUserInteraction recorder;
};

TEST_F(RelatedWordDictionary, EmptyDictionaryHasTheFileLayout) {
  const std::string i = idx(), b = bdy();
  ASSERT_EQ(i.size(), 65552u);
  EXPECT_EQ(int32At(i, 0), 65552);
  EXPECT_EQ(int32At(i, 8), 100);
  EXPECT_EQ(int32At(i, 12), 0);
  EXPECT_EQ(i.find_first_not_of('\0', 16), std::string::npos);
  EXPECT_EQ(int32At(b, 0), static_cast<std::int32_t>(b.size()));
  EXPECT_GE(b.size(), 4u + 4u * 100u);
  open();
  EXPECT_TRUE(RelatedWordDictionaryOpened());
  EXPECT_TRUE(recorder.shown().empty());
}

TEST_F(RelatedWordDictionary, AddWritesPostingsAndScrambledRecord) {
  open();
  const std::string emptyBody = bdy();
  ASSERT_EQ(AddRelatedGroup(sj("自動車, クルマ,ｶｰ")), 1);
  const std::string i = idx(), b = bdy();
  EXPECT_EQ(int32At(i, 12), 1);
  // 自 動 車 ク ル マ カ: seven blocks of 30 entries; "ー" gets none, and
  // the half-width long-sound mark after a katakana is "ー".
  EXPECT_EQ(int32At(i, 0), 65552 + 7 * (3 + 30) * 4);
  EXPECT_EQ(i.size(), static_cast<std::size_t>(int32At(i, 0)));
  const Posting first = postingOf(i, sj("自"));
  EXPECT_EQ(int32At(i, 16 + 4 * slotOf(sj("自"))), 65552);
  EXPECT_EQ(first.capacity, 30);
  EXPECT_EQ(first.free, 29);
  EXPECT_EQ(first.count, 1);
  EXPECT_EQ(first.groups, std::vector<std::int32_t>(30, 0));
  EXPECT_EQ(postingOf(i, sj("カ")).count, 1);
  EXPECT_EQ(int32At(i, 16 + 4 * slotOf(sj("ー"))), 0);

  const auto headerEnd = static_cast<std::int32_t>(emptyBody.size());
  EXPECT_EQ(int32At(b, 4), headerEnd);
  const auto [length, text] = recordOf(b, 0);
  EXPECT_EQ(platform::fromCp932(text), "自動車,クルマ,カー");
  EXPECT_EQ(length, static_cast<std::int16_t>(text.size()));
  EXPECT_EQ(int32At(b, 0), headerEnd + 2 + length);
  EXPECT_NE(b.substr(static_cast<std::size_t>(headerEnd) + 2, 4), text.substr(0, 4));  // scrambled on disk
}

TEST_F(RelatedWordDictionary, FullPostingBlockMovesToTheEndAndGrows) {
  open();
  for (int n = 0; n < 31; ++n)
    ASSERT_EQ(AddRelatedGroup(sj("山,") + sj("語" + std::string(1, static_cast<char>('a' + n % 26))) +
                              std::string(static_cast<std::size_t>(n / 26), 'z')),
              1);
  const std::string i = idx();
  const Posting p = postingOf(i, sj("山"));
  EXPECT_EQ(p.capacity, 45);
  EXPECT_EQ(p.count, 31);
  EXPECT_EQ(p.free, 14);
  for (int g = 0; g < 31; ++g) EXPECT_EQ(p.groups[static_cast<std::size_t>(g)], g);
  EXPECT_EQ(p.groups[31], 0);
  // The copy went to the end of the file; the full block stays where it was.
  // 28 blocks of 30 entries were written before it: 山, 語 and ａ to ｚ.
  EXPECT_EQ(int32At(i, 16 + 4 * slotOf(sj("山"))), 65552 + 28 * (3 + 30) * 4);
  EXPECT_EQ(int32At(i, 65552), 30);
  EXPECT_EQ(int32At(i, 65552 + 4), 0);
  EXPECT_EQ(int32At(i, 65552 + 8), 30);
}

// An add that fails at any of its writes (a full disk) leaves the groups
// already added as they were, and the next add does not overwrite them: the
// full block of 山 moves, so its slot must not name the new block before the
// end of data has moved past it.
TEST_F(RelatedWordDictionary, AddFailingAtAnyWriteLosesNoGroup) {
  struct WriteFailureOff {
    ~WriteFailureOff() { relatedword::FailWritesAfter(-1); }
  } off;
  for (int writes = 0;; ++writes) {
    ReleaseRelatedWordDictionary();
    ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), capacity()));
    ASSERT_EQ(LoadRelatedWordDictionary(dir.path()), relatedword::kDone);
    for (int n = 0; n < 30; ++n)
      ASSERT_EQ(AddRelatedGroup(sj("山,語" + std::string(1, static_cast<char>('a' + n % 26)) +
                                   std::string(static_cast<std::size_t>(n / 26), 'z'))),
                relatedword::kDone);
    relatedword::FailWritesAfter(writes);
    const bool added = AddRelatedGroup(sj("山,川")) == relatedword::kDone;
    relatedword::FailWritesAfter(-1);
    ASSERT_EQ(AddRelatedGroup(sj("海,空")), relatedword::kDone) << "after " << writes << " writes";
    EXPECT_EQ(LookupRelatedWords(sj("山")), added ? 31 : 30) << "after " << writes << " writes";
    EXPECT_EQ(LookupRelatedWords(sj("語a")), 1) << "after " << writes << " writes";
    EXPECT_EQ(LookupRelatedWords(sj("川")), added ? 1 : 0) << "after " << writes << " writes";
    EXPECT_EQ(LookupRelatedWords(sj("海")), 1) << "after " << writes << " writes";
    if (added) break;
  }
}

TEST_F(RelatedWordDictionary, LookupFollowsConversionAndWildcardRules) {
  open();
  ASSERT_EQ(AddRelatedGroup(sj("自動車,クルマ,ｶｰ")), 1);              // 0
  ASSERT_EQ(AddRelatedGroup("abc,xyz"), 1);                             // 1
  ASSERT_EQ(AddRelatedGroup(sj("ａｂｃ,ｑｑ")), 1);                   // 2
  ASSERT_EQ(AddRelatedGroup("ABC,UPPER"), 1);                           // 3
  ASSERT_EQ(AddRelatedGroup(sj("$$旧字,新字")), 1);                     // 4
  ASSERT_EQ(AddRelatedGroup(sj("自動,オート")), 1);                     // 5

  struct Row {
    std::string headword;
    std::vector<std::vector<std::string>> groups;
  };
  const std::vector<Row> rows = {
      {sj("クルマ"), {{"自動車", "クルマ", "カー"}}},
      {sj("ｶｰ"), {{"自動車", "クルマ", "カー"}}},
      {sj("ｸﾙﾏ"), {{"自動車", "クルマ", "カー"}}},
      {sj("*クルマ*"), {{"*自動車*", "*クルマ*", "*カー*"}}},
      {sj("クルマ*"), {{"自動車*", "クルマ*", "カー*"}}},
      {sj("*クルマ"), {{"*自動車", "*クルマ", "*カー"}}},
      {"abc", {{"ａｂｃ", "ｘｙｚ"}, {"ａｂｃ", "ｑｑ"}}},  // not the upper-case group
      {sj("自動"), {{"自動", "オート"}}},                      // whole words only
      {sj("旧字"), {{"$$旧字", "新字"}}},
      {sj("クルミ"), {}},  // ミ occurs in no group
      {sj("ーカ"), {}},    // "ー" first adds no condition
      {"*", {}},
      {"**", {}},
      {std::string(61, 'a'), {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(platform::fromCp932(row.headword));
    ASSERT_EQ(LookupRelatedWords(row.headword), static_cast<std::int16_t>(row.groups.size()));
    for (std::size_t g = 0; g < row.groups.size(); ++g) EXPECT_EQ(wordsOf(static_cast<int>(g)), row.groups[g]);
    std::uint8_t plain = 0;
    std::string word = "x";
    EXPECT_EQ(GetRelatedGroup(static_cast<int>(row.groups.size()), plain, word), 0);
    EXPECT_TRUE(word.empty());
  }
}

TEST_F(RelatedWordDictionary, LookupReturnsTheLowest32Groups) {
  open();
  for (int n = 0; n < 34; ++n) ASSERT_EQ(AddRelatedGroup(sj("海,海" + std::to_string(n))), 1);
  ASSERT_EQ(LookupRelatedWords(sj("海")), 32);
  EXPECT_EQ(wordsOf(31), (std::vector<std::string>{"海", "海３１"}));
}

TEST_F(RelatedWordDictionary, DeleteMarksTheRecordAndHidesTheGroup) {
  open();
  ASSERT_EQ(AddRelatedGroup(sj("花,フラワー")), 1);
  ASSERT_EQ(AddRelatedGroup(sj("花,華")), 1);
  ASSERT_EQ(LookupRelatedWords(sj("花")), 2);
  const std::int16_t length = recordOf(bdy(), 0).first;
  EXPECT_EQ(DeleteRelatedGroup(0), 1);
  EXPECT_EQ(recordOf(bdy(), 0).first, -length);
  EXPECT_EQ(DeleteRelatedGroup(0), 0);  // already deleted
  EXPECT_EQ(DeleteRelatedGroup(2), 0);  // outside the found list
  ASSERT_EQ(LookupRelatedWords(sj("花")), 1);
  EXPECT_EQ(wordsOf(0), (std::vector<std::string>{"花", "華"}));
  // Postings stay: the index still names the deleted group.
  EXPECT_EQ(postingOf(idx(), sj("花")).count, 2);
}

TEST_F(RelatedWordDictionary, AddRefusesBadGroups) {
  open();
  const std::string before = idx() + bdy();
  EXPECT_EQ(AddRelatedGroup(sj("ひとつ")), 0);
  EXPECT_EQ(AddRelatedGroup(sj(",,ひとつ,,")), 0);
  EXPECT_EQ(AddRelatedGroup(""), 0);
  EXPECT_EQ(AddRelatedGroup(std::string(10240, 'a')), 0);
  EXPECT_EQ(AddRelatedGroup(std::string(62, 'a') + ",b"), 0);  // wider than 60 and more text
  EXPECT_EQ(idx() + bdy(), before);
  // Wider than 60 only with its last character is taken; a word is cut at 126 bytes.
  EXPECT_EQ(AddRelatedGroup("b," + std::string(61, 'a')), 1);
  EXPECT_EQ(recordOf(bdy(), 0).second.size(), 2u + 1u + 122u);
  EXPECT_EQ(AddRelatedGroup(std::string(200, '$') + ",b"), 1);
  EXPECT_EQ(recordOf(bdy(), 1).second.size(), 126u + 1u + 2u);
}

TEST_F(RelatedWordDictionary, NotLoadedOperationsDoNothing) {
  std::uint8_t plain = 0;
  std::string word;
  EXPECT_EQ(LookupRelatedWords(sj("花")), 0);
  EXPECT_EQ(AddRelatedGroup(sj("花,華")), 0);
  EXPECT_EQ(DeleteRelatedGroup(0), 0);
  EXPECT_EQ(GetRelatedGroup(0, plain, word), 0);
  EXPECT_EQ(GetNextRelatedWord(plain, word), 0);
}

class SmallRelatedWordDictionary : public RelatedWordDictionary {
  int capacity() const override { return 3; }
};

TEST_F(SmallRelatedWordDictionary, FullDictionaryRefusesWithMinusTwo) {
  open();
  EXPECT_EQ(AddRelatedGroup(sj("一,壱")), 1);
  EXPECT_EQ(AddRelatedGroup(sj("二,弐")), 1);
  EXPECT_EQ(AddRelatedGroup(sj("三,参")), -2);
  EXPECT_EQ(int32At(idx(), 12), 2);
}

TEST_F(RelatedWordDictionary, LoadFailuresReportAndLeaveTheFlagClear) {
  struct Case {
    const char* name;
    std::function<void(const testsupport::TempDir&)> damage;
    std::int16_t code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"no body", [](auto& d) { std::remove(d.file("synonym.bdy").c_str()); }, -2,
       "警告：関連語辞書が見つかりません"},
      {"short body", [](auto& d) { writeFile(d.file("synonym.bdy"), "ab"); }, -3, "警告：関連語辞書を開けません"},
      {"body end 0", [](auto& d) { writeFile(d.file("synonym.bdy"), std::string(8, '\0')); }, -4,
       "警告：関連語辞書を開けません"},
      {"no index", [](auto& d) { std::remove(d.file("synonym.idx").c_str()); }, -5,
       "警告：関連語辞書を開けません"},
      {"count at capacity",
       [](auto& d) {
         std::string i = readFile(d.file("synonym.idx"));
         i[12] = 100;
         writeFile(d.file("synonym.idx"), i);
       },
       -11, "警告：関連語辞書を開けません"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    testsupport::TempDir fresh;
    ASSERT_TRUE(CreateEmptyRelatedWordDictionary(fresh.path(), 100));
    c.damage(fresh);
    recorder.clear();
    EXPECT_EQ(OpenRelatedWordDictionary(fresh.path()), c.code);
    EXPECT_FALSE(RelatedWordDictionaryOpened());
    EXPECT_EQ(recorder.texts(), std::vector<std::string>{c.message});
    EXPECT_EQ(LookupRelatedWords(sj("花")), 0);
  }
}

TEST_F(RelatedWordDictionary, WorkLogIsAppendedToTheArchiveAtClose) {
  const std::string jf0 = dir.file("Synonym.jf0"), jf1 = dir.file("Synonym.jf1");
  open();
  ASSERT_NE(RelatedWordLogFile(), nullptr);
  EXPECT_EQ(RelatedWordArchivePath(), jf0);
  EXPECT_EQ(readFile(jf1), "");
  std::fputs("first run", RelatedWordLogFile());
  EXPECT_EQ(CloseRelatedWordDictionary(), 1);
  EXPECT_EQ(readFile(jf0), "first run");

  open();
  std::fputs("+second", RelatedWordLogFile());
  EXPECT_EQ(CloseRelatedWordDictionary(), 1);
  EXPECT_EQ(readFile(jf0), "first run+second");

  open();  // nothing logged: the archive is left alone
  EXPECT_EQ(CloseRelatedWordDictionary(), 1);
  EXPECT_EQ(readFile(jf0), "first run+second");
  EXPECT_TRUE(recorder.shown().empty());
}

TEST_F(RelatedWordDictionary, LogLeftByACrashIsArchivedBeforeTheNewRun) {
  writeFile(dir.file("Synonym.jf0"), "old|");
  writeFile(dir.file("Synonym.jf1"), "crashed run");
  open();
  EXPECT_EQ(readFile(dir.file("Synonym.jf0")), "old|crashed run");
  EXPECT_EQ(readFile(dir.file("Synonym.jf1")), "");
}

TEST_F(RelatedWordDictionary, LogHeldElsewhereStartsWithoutLog) {
  writeFile(dir.file("Synonym.jf1"), "held");
  const int fd = ::open(dir.file("Synonym.jf1").c_str(), O_RDWR);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(OpenRelatedWordDictionary(dir.path()), 100);
  ::close(fd);
  EXPECT_TRUE(RelatedWordDictionaryOpened());
  EXPECT_EQ(RelatedWordLogFile(), nullptr);
  EXPECT_EQ(recorder.texts(), std::vector<std::string>{"エラー：関連語バックアップ用のファイルを作成できません\n"
                                                       "辞書編集に関する作業記録の保管は行いません"});
  EXPECT_EQ(readFile(dir.file("Synonym.jf1")), "held");  // another run's log is not touched
  EXPECT_EQ(AddRelatedGroup(sj("花,華")), 1);
  EXPECT_EQ(CloseRelatedWordDictionary(), 1);
}

}  // namespace
