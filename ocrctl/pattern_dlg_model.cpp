#include "ocrctl/pattern_dlg_model.h"

#include "layout/vurcgj30.h"

#include <algorithm>
#include <cstring>

namespace ocrctl {

std::vector<PatternRecord> parsePatternSection(const std::vector<std::uint8_t>& section) {
  std::vector<PatternRecord> records;
  if (section.size() < 2) return records;
  const int stated = static_cast<std::int16_t>(section[0] | (section[1] << 8));
  const int present = static_cast<int>((section.size() - 2) / kPatternRecordBytes);
  const int count = std::clamp(stated, 0, present);
  records.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* r = section.data() + 2 + static_cast<std::size_t>(kPatternRecordBytes) * i;
    PatternRecord record;
    record.number = static_cast<std::int16_t>(r[0] | (r[1] << 8));
    record.code[0] = r[2];
    record.code[1] = r[3];
    record.flag = static_cast<std::uint16_t>(r[4] | (r[5] << 8));
    std::memcpy(record.image.data(), r + 6, kPatternImageBytes);
    records.push_back(record);
  }
  return records;
}

std::vector<std::uint8_t> packPatternSection(const std::vector<PatternRecord>& records) {
  std::vector<std::uint8_t> section(2 + static_cast<std::size_t>(kPatternRecordBytes) * records.size(), 0);
  section[0] = static_cast<std::uint8_t>(records.size());
  section[1] = static_cast<std::uint8_t>(records.size() >> 8);
  std::uint8_t* r = section.data() + 2;
  for (const PatternRecord& record : records) {
    r[0] = static_cast<std::uint8_t>(record.number);
    r[1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(record.number) >> 8);
    r[2] = record.code[0];
    r[3] = record.code[1];
    r[4] = static_cast<std::uint8_t>(record.flag);
    r[5] = static_cast<std::uint8_t>(record.flag >> 8);
    std::memcpy(r + 6, record.image.data(), kPatternImageBytes);
    r += kPatternRecordBytes;
  }
  return section;
}

PatternEngineCalls PatternEngineCalls::engine() {
  return {[](std::int16_t number) { return VuDeletePattern(number); },
          [](std::int16_t number, std::uint16_t valid) { return VuSetPatternValid(number, valid); }};
}

PatternManagement::PatternManagement(PatternStore& store, PatternEngineCalls engine)
    : store_(store), engine_(std::move(engine)) {}

void PatternManagement::attach() {
  std::vector<std::uint8_t> section;
  records_ = store_.readPatternImages(section) ? parsePatternSection(section) : std::vector<PatternRecord>{};
  engineRecords_ = records_;
  changed_ = false;
  engineAhead_ = false;
}

void PatternManagement::toggle(int row) {
  if (row < 0 || row >= count()) return;
  PatternRecord& record = records_[static_cast<std::size_t>(row)];
  record.flag = record.valid() ? 0 : 1;
  changed_ = true;
}

void PatternManagement::remove(int row) {
  if (row < 0 || row >= count()) return;
  records_.erase(records_.begin() + row);
  changed_ = true;
}

// The copy only ever loses records, so it is an ordered subsequence of what
// the engine knows: walking both finds each deletion and each flag that
// differs, and a pattern switched twice costs no call. The engine's answers
// are not looked at: a pattern it does not know is in step either way.
void PatternManagement::tellEngine() {
  std::size_t kept = 0;
  for (const PatternRecord& known : engineRecords_) {
    if (kept < records_.size() && records_[kept].number == known.number) {
      const PatternRecord& now = records_[kept++];
      if (now.valid() != known.valid() && engine_.setValid) engine_.setValid(now.number, now.flag);
    } else if (engine_.deletePattern) {
      engine_.deletePattern(known.number);
    }
  }
  engineRecords_ = records_;
  engineAhead_ = true;
}

bool PatternManagement::save() {
  if (changed_) tellEngine();
  changed_ = false;
  if (!engineAhead_) return true;
  const std::vector<std::uint8_t> section = packPatternSection(records_);
  if (!store_.savePatternFile(&section)) return false;
  engineAhead_ = false;
  fileTouched_ = true;
  return true;
}

PatternManagement::SwitchResult PatternManagement::switchTo(const std::string& path) {
  if (!save()) return SwitchResult::NotSaved;
  const std::string previous = store_.patternPath();
  std::vector<std::uint8_t> section;
  SwitchResult result = SwitchResult::Switched;
  store_.setPatternPath(path);
  if (!store_.loadPatternFile(&section, true)) {
    result = SwitchResult::FellBack;
    store_.setPatternPath(previous);
    section.clear();
    if (!store_.loadPatternFile(&section, true)) {
      result = SwitchResult::NoFile;
      section.clear();
    }
  }
  records_ = parsePatternSection(section);
  engineRecords_ = records_;
  changed_ = false;
  fileTouched_ = true;
  return result;
}

void PatternManagement::abandon() {
  // The engine was told of changes the file never received: it learns the
  // file's patterns again.
  if (engineAhead_) store_.loadPatternFile(nullptr, true);
  engineAhead_ = false;
  changed_ = false;
}

}  // namespace ocrctl
