#include "catalogue/related_word_log.h"

#include "catalogue/related_word_dictionary.h"
#include "platform/sjis_codec.h"

#include <memory>

namespace {

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

std::string shown(std::uint8_t plainFlag, const std::string& word) { return plainFlag ? word : "$$" + word; }

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool ReadRelatedGroupLine(int index, std::string& line) {
  line.clear();
  std::uint8_t flag = 1;
  std::string word;
  if (GetRelatedGroup(index, flag, word) != relatedword::kDone) return false;
  line = shown(flag, word);
  while (GetNextRelatedWord(flag, word) == relatedword::kDone) line += " / " + shown(flag, word);
  return true;
}

std::vector<std::string> SplitRelatedGroupLine(const std::string& line) {
  std::vector<std::string> words;
  std::size_t start = 0;
  for (;;) {
    const auto at = line.find(" / ", start);
    const std::string word = trimmed(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (!word.empty()) words.push_back(word);
    if (at == std::string::npos) break;
    start = at + 3;
  }
  return words;
}

std::string RelatedRegistrationText(const std::vector<std::string>& words, const std::string& headword) {
  std::string text;
  bool hasHeadword = false;
  for (const std::string& word : words) {
    if (!text.empty()) text += ',';
    text += word;
    hasHeadword = hasHeadword || word == headword;
  }
  if (!hasHeadword) {
    if (!text.empty()) text += ',';
    text += headword;
  }
  return text;
}

bool RelatedWordLogWriter::writeRecord(char tag, std::uint16_t value, const std::string& bytes) {
  const unsigned char head[3] = {static_cast<unsigned char>(tag), static_cast<unsigned char>(value & 0xFF),
                                 static_cast<unsigned char>(value >> 8)};
  if (std::fwrite(head, 1, 3, log_) != 3) return false;
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), log_) != bytes.size()) return false;
  return std::fflush(log_) == 0;
}

bool RelatedWordLogWriter::writeHeadword(const std::string& headword) {
  if (wroteHeadword_ && headword == lastHeadword_) return true;
  if (!writeRecord('K', static_cast<std::uint16_t>(headword.size()), headword)) return false;
  wroteHeadword_ = true;
  lastHeadword_ = headword;
  return true;
}

bool RelatedWordLogWriter::WriteAdded(const std::string& headword, const std::string& text) {
  if (!log_) return false;
  return writeHeadword(headword) && writeRecord('A', static_cast<std::uint16_t>(text.size()), text);
}

bool RelatedWordLogWriter::WriteDeleted(const std::string& headword, int index) {
  if (!log_) return false;
  return writeHeadword(headword) && writeRecord('D', static_cast<std::uint16_t>(index), {});
}

RelatedReplayResult ReplayRelatedWordLog(const std::string& path,
                                         const std::function<void(const std::string&)>& status) {
  std::unique_ptr<std::FILE, FileCloser> log(std::fopen(path.c_str(), "rb"));
  if (!log) return RelatedReplayResult::kCannotOpen;
  std::string headword;
  for (;;) {
    unsigned char head[3];
    const std::size_t got = std::fread(head, 1, 3, log.get());
    if (got == 0 && std::feof(log.get())) return RelatedReplayResult::kDone;
    // A record cut short or of a kind the dialog never writes: the log is
    // damaged, and reading on would apply garbage to the dictionary.
    if (got != 3) return RelatedReplayResult::kFailed;
    const int value = head[1] | (head[2] << 8);
    std::string bytes;
    if (head[0] == 'K' || head[0] == 'A') {
      bytes.resize(static_cast<std::size_t>(value));
      if (value > 0 && std::fread(bytes.data(), 1, bytes.size(), log.get()) != bytes.size())
        return RelatedReplayResult::kFailed;
    }
    switch (head[0]) {
      case 'K':
        headword = bytes;
        LookupRelatedWords(headword);
        break;
      case 'A':
        if (status) status("追加 : " + platform::fromCp932(headword) + " : " + platform::fromCp932(bytes));
        if (AddRelatedGroup(bytes) != relatedword::kDone) return RelatedReplayResult::kFailed;
        LookupRelatedWords(headword);
        break;
      case 'D':
        if (status) status("削除 : " + platform::fromCp932(headword) + " : グループ " + std::to_string(value));
        if (DeleteRelatedGroup(value) != relatedword::kDone) return RelatedReplayResult::kFailed;
        LookupRelatedWords(headword);
        break;
      default: return RelatedReplayResult::kFailed;
    }
  }
}
