// The maintenance dialog's work log: records as written, and the replay that
// repairs a dictionary from them, including damaged logs.

#include "catalogue/related_word_dictionary.h"
#include "catalogue/related_word_log.h"

#include "platform/sjis_codec.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using testsupport::readFile;
using testsupport::writeFile;

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value(); }

std::string record(char tag, int value, const std::string& bytes = {}) {
  return std::string{tag, static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)} + bytes;
}
// A headword or added record with its true length.
std::string text(char tag, const std::string& bytes) { return record(tag, static_cast<int>(bytes.size()), bytes); }

class RelatedWordLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), 100));
    ASSERT_EQ(LoadRelatedWordDictionary(dir.path()), relatedword::kDone);
  }
  void TearDown() override { ReleaseRelatedWordDictionary(); }

  std::vector<std::string> lines(const std::string& headword) {
    std::vector<std::string> out;
    const int found = LookupRelatedWords(sj(headword));
    for (int i = 0; i < found; ++i) {
      std::string line;
      EXPECT_TRUE(ReadRelatedGroupLine(i, line));
      out.push_back(platform::fromCp932(line));
    }
    return out;
  }

  testsupport::TempDir dir;
};

TEST_F(RelatedWordLog, WriterPutsAHeadwordRecordOnlyWhenTheHeadwordChanges) {
  const std::string path = dir.file("log");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  {
    RelatedWordLogWriter writer(file);
    EXPECT_TRUE(writer.WriteDeleted("dog", 2));
    EXPECT_TRUE(writer.WriteAdded("dog", "puppy,dog"));
    EXPECT_TRUE(writer.WriteAdded("cat", "kitten,cat"));
  }
  std::fclose(file);
  EXPECT_EQ(readFile(path), record('K', 3, "dog") + record('D', 2) + record('A', 9, "puppy,dog") +
                                record('K', 3, "cat") + record('A', 10, "kitten,cat"));
  EXPECT_FALSE(RelatedWordLogWriter(nullptr).WriteAdded("dog", "a,dog"));
}

TEST_F(RelatedWordLog, GroupLinesAndRegistrationTexts) {
  ASSERT_EQ(AddRelatedGroup(sj("自動車,$$クルマ,カー")), relatedword::kDone);
  EXPECT_EQ(lines("自動車"), std::vector<std::string>{"自動車 / $$クルマ / カー"});
  EXPECT_EQ(SplitRelatedGroupLine(" a / $$b / c/d / "), (std::vector<std::string>{"a", "$$b", "c/d"}));
  EXPECT_EQ(RelatedRegistrationText({"a", "b"}, "h"), "a,b,h");
  EXPECT_EQ(RelatedRegistrationText({"h", "b"}, "h"), "h,b");
}

TEST_F(RelatedWordLog, ReplayAppliesAddsAndDeletesOfTheCurrentHeadword) {
  const std::string log = text('K', sj("自動車")) + text('A', sj("自動車,クルマ")) +
                          text('A', sj("自動車,カー")) + record('D', 0);
  writeFile(dir.file("jf0"), log);
  std::vector<std::string> status;
  EXPECT_EQ(ReplayRelatedWordLog(dir.file("jf0"), [&](const std::string& s) { status.push_back(s); }),
            RelatedReplayResult::kDone);
  EXPECT_EQ(lines("自動車"), std::vector<std::string>{"自動車 / カー"});
  EXPECT_EQ(status, (std::vector<std::string>{"追加 : 自動車 : 自動車,クルマ", "追加 : 自動車 : 自動車,カー",
                                              "削除 : 自動車 : グループ 0"}));
}

TEST_F(RelatedWordLog, DamagedOrMissingLogsStopTheReplayKeepingWhatWasApplied) {
  const std::string good = text('K', sj("自動車")) + text('A', sj("自動車,クルマ"));
  struct Case {
    const char* name;
    std::string tail;
    RelatedReplayResult result;
  };
  const std::vector<Case> cases = {
      {"unknown tag", record('X', 1, "z") + text('A', sj("自動車,カー")), RelatedReplayResult::kFailed},
      {"cut text", record('A', 40, sj("自動車,カー")), RelatedReplayResult::kFailed},
      {"cut header", std::string("A\x05"), RelatedReplayResult::kFailed},
      {"delete of no group", record('D', 7), RelatedReplayResult::kFailed},
      {"complete", "", RelatedReplayResult::kDone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CreateEmptyRelatedWordDictionary(dir.path(), 100));
    ASSERT_EQ(LoadRelatedWordDictionary(dir.path()), relatedword::kDone);
    writeFile(dir.file("jf0"), good + c.tail);
    EXPECT_EQ(ReplayRelatedWordLog(dir.file("jf0")), c.result);
    EXPECT_EQ(lines("自動車"), std::vector<std::string>{"自動車 / クルマ"});
  }
  EXPECT_EQ(ReplayRelatedWordLog(dir.file("none")), RelatedReplayResult::kCannotOpen);
}

}  // namespace
