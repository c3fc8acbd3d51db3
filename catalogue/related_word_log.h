#pragma once
// What the related-word dialogs build on the dictionary engine: a group as
// one line of text, the text a group is registered with, and the work log
// of the maintenance dialog with its replay (the dictionary's repair).
//
//   ReadRelatedGroupLine     one found group as "word / $$word / ..."
//   SplitRelatedGroupLine    a line back into its words
//   RelatedRegistrationText  the words joined by "," with the headword last
//   RelatedWordLogWriter     K, A and D records of the maintenance dialog
//   ReplayRelatedWordLog     applies a log's records again, in order
//
// Every text here is Shift-JIS, as the engine takes it. Log records, integers
// little-endian:
//   "K" len16 headword   the headword of the records that follow
//   "A" len16 text       a group added with that registration text
//   "D" index16          group index (from 0) of the headword deleted

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

// The found group index as a line; false when a word cannot be read.
bool ReadRelatedGroupLine(int index, std::string& line);
// The words of a line, split at " / " and trimmed (the "$$" marks kept).
std::vector<std::string> SplitRelatedGroupLine(const std::string& line);
// words joined by ",", the headword appended when it is not among them.
std::string RelatedRegistrationText(const std::vector<std::string>& words, const std::string& headword);

class RelatedWordLogWriter {
 public:
  // log is not owned; null writes nothing.
  explicit RelatedWordLogWriter(std::FILE* log) : log_(log) {}
  bool IsOpen() const { return log_ != nullptr; }
  // A headword record first when the headword differs from the last written.
  bool WriteAdded(const std::string& headword, const std::string& text);
  bool WriteDeleted(const std::string& headword, int index);

 private:
  bool writeHeadword(const std::string& headword);
  bool writeRecord(char tag, std::uint16_t value, const std::string& bytes);

  std::FILE* log_;
  bool wroteHeadword_ = false;
  std::string lastHeadword_;
};

enum class RelatedReplayResult {
  kDone,        // every record applied
  kCannotOpen,  // the log could not be opened
  kFailed,      // an add or delete failed, or the log is damaged (unknown tag,
                // cut record): the records before stay applied
};

// Replays the log at path against the loaded dictionary. status receives the
// line shown for each add ("追加 : headword : text") and delete
// ("削除 : headword : グループ n"), in UTF-8.
RelatedReplayResult ReplayRelatedWordLog(const std::string& path,
                                         const std::function<void(const std::string&)>& status = {});
