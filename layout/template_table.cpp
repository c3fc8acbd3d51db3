// Byte layouts of the template files, their bounded reading and their
// replacing writes; see template_table.h.  Nothing here touches the record
// pools, so the readers can be fuzzed on their own.
//
// template.tbl (11 848 bytes): title (20), capacity (22), count (24),
// reserved to 148, slot bytes (148), eleven arrays of 300 words (448),
// 300 entries of 16 bytes (7048).  The table of earlier versions is the same
// without the 20-byte title.
#include "layout/template_table.h"

#include "layout/layout_status.h"
#include "platform/byte_order.h"


#include <algorithm>
#include <cstring>

namespace layout {

namespace {

constexpr std::size_t kCapacityAt = 20;
constexpr std::size_t kCountAt = 22;
constexpr std::size_t kSlotsAt = 148;
constexpr std::size_t kFeaturesAt = 448;
constexpr std::size_t kEntriesAt = 7048;

using platform::loadLe16;
using platform::storeLe16;

std::int16_t s16(const std::uint8_t* p) { return static_cast<std::int16_t>(loadLe16(p)); }

void putLine(std::uint8_t* b, const TemplateLine& l) {
  storeLe16(b, static_cast<std::uint16_t>(l.a));
  storeLe16(b + 2, static_cast<std::uint16_t>(l.b));
  storeLe16(b + 4, static_cast<std::uint16_t>(l.c));
  storeLe16(b + 6, static_cast<std::uint16_t>(l.valid));
}

TemplateLine getLine(const std::uint8_t* p) { return {s16(p), s16(p + 2), s16(p + 4), s16(p + 6)}; }

// Fills the table from bytes laid out like the current table shifted by
// `shift` (0 for the current table, -20 for the old one); `size` bytes exist.
short decodeTableBody(std::span<const std::uint8_t> bytes, std::ptrdiff_t shift, TemplateTable* table) {
  auto at = [&](std::size_t offset) { return static_cast<std::size_t>(static_cast<std::ptrdiff_t>(offset) + shift); };
  TemplateTable t;
  if (bytes.size() < at(kSlotsAt)) return kStatusFileRead;
  const std::uint16_t capacity = loadLe16(&bytes[at(kCapacityAt)]);
  const std::uint16_t count = loadLe16(&bytes[at(kCountAt)]);
  if (capacity != kTemplateCapacity || count > kTemplateCapacity) return kStatusFileRead;
  t.count = count;
  auto byteAt = [&](std::size_t offset) -> std::uint8_t { return offset < bytes.size() ? bytes[offset] : 0; };
  for (int s = 0; s < kTemplateCapacity; ++s) t.slotBytes[static_cast<std::size_t>(s)] = static_cast<std::int8_t>(byteAt(at(kSlotsAt) + static_cast<std::size_t>(s)));
  for (int k = 0; k < kTemplateFeatureCount; ++k) {
    for (int s = 0; s < kTemplateCapacity; ++s) {
      const std::size_t o = at(kFeaturesAt) + static_cast<std::size_t>(k * kTemplateCapacity + s) * 2;
      t.features[static_cast<std::size_t>(k)][static_cast<std::size_t>(s)] =
          static_cast<std::uint16_t>(byteAt(o) | (byteAt(o + 1) << 8));
    }
  }
  for (int s = 0; s < kTemplateCapacity; ++s) {
    for (std::size_t i = 0; i < kTemplateEntryBytes; ++i) {
      t.entries[static_cast<std::size_t>(s)][i] =
          static_cast<char>(byteAt(at(kEntriesAt) + static_cast<std::size_t>(s) * kTemplateEntryBytes + i));
    }
  }
  *table = t;
  return kStatusDone;
}

}  // namespace

bool TemplateTable::registered(int slot) const {
  if (slot < 0 || slot >= count) return false;
  const std::int8_t b = slotBytes[static_cast<std::size_t>(slot)];
  return b == kSlotActive || b == kSlotInactive;
}

std::string TemplateTable::entry(int slot) const {
  if (slot < 0 || slot >= kTemplateCapacity) return {};
  const auto& e = entries[static_cast<std::size_t>(slot)];
  return std::string(e.data(), strnlen(e.data(), e.size()));
}

std::vector<std::uint8_t> encode_template_table(const TemplateTable& table) {
  std::vector<std::uint8_t> out(kTemplateTableBytes, 0);
  std::memcpy(out.data(), kTemplateTableTitle, sizeof kTemplateTableTitle);
  storeLe16(&out[kCapacityAt], kTemplateCapacity);
  storeLe16(&out[kCountAt], table.count);
  for (int s = 0; s < kTemplateCapacity; ++s) {
    const auto us = static_cast<std::size_t>(s);
    out[kSlotsAt + us] = static_cast<std::uint8_t>(table.slotBytes[us]);
    for (int k = 0; k < kTemplateFeatureCount; ++k) {
      storeLe16(&out[kFeaturesAt + static_cast<std::size_t>(k * kTemplateCapacity + s) * 2],
                table.features[static_cast<std::size_t>(k)][us]);
    }
    std::memcpy(&out[kEntriesAt + us * kTemplateEntryBytes], table.entries[us].data(), kTemplateEntryBytes);
  }
  return out;
}

bool template_table_has_title(std::span<const std::uint8_t> bytes) {
  if (bytes.size() < kTemplateHeaderBytes) return false;
  return std::memcmp(bytes.data(), kTemplateTableTitle, sizeof kTemplateTableTitle) == 0;
}

short decode_template_table(std::span<const std::uint8_t> bytes, TemplateTable* table) {
  if (bytes.size() != kTemplateTableBytes || !template_table_has_title(bytes)) return kStatusFileRead;
  return decodeTableBody(bytes, 0, table);
}

short decode_old_template_table(std::span<const std::uint8_t> bytes, TemplateTable* table) {
  if (bytes.size() > kOldTemplateTableBytes) return kStatusFileRead;
  return decodeTableBody(bytes, -static_cast<std::ptrdiff_t>(kTemplateHeaderBytes), table);
}

std::vector<std::uint8_t> encode_template_file(const TemplateFile& file) {
  const std::size_t lines = 8 * (file.hlines.size() + file.vlines.size());
  std::vector<std::uint8_t> out(kTemplateFileHeaderBytes + file.attribute.size() + lines +
                                    kTemplateFieldBytes * file.fields.size() + file.charBlocks.size(),
                                0);
  storeLe16(&out[0], static_cast<std::uint16_t>(file.attribute.size()));
  storeLe16(&out[2], static_cast<std::uint16_t>(file.hlines.size()));
  storeLe16(&out[4], static_cast<std::uint16_t>(file.vlines.size()));
  storeLe16(&out[6], static_cast<std::uint16_t>(file.fields.size()));
  std::uint8_t* at = out.data() + kTemplateFileHeaderBytes;
  std::memcpy(at, file.attribute.data(), file.attribute.size());
  at += file.attribute.size();
  for (const auto* list : {&file.hlines, &file.vlines}) {
    for (const TemplateLine& l : *list) {
      putLine(at, l);
      at += 8;
    }
  }
  for (const TemplateFieldEntry& f : file.fields) {
    std::memcpy(at, f.data(), f.size());
    at += f.size();
  }
  if (!file.charBlocks.empty()) std::memcpy(at, file.charBlocks.data(), file.charBlocks.size());
  return out;
}

TemplateFieldEntry convert_old_template_record(std::span<const std::uint8_t> r, TemplateRecordKind kind) {
  TemplateFieldEntry e{};
  // The 32-bit version stored every coordinate as a 32-bit value; its low
  // word is the coordinate.
  const bool wide = kind == TemplateRecordKind::Old32;
  const std::size_t coord = wide ? 4 : 2;
  for (std::size_t i = 0; i < 4 + 200; ++i) {
    std::memcpy(&e[i * 2], &r[i * coord], 2);
  }
  const std::size_t tail = wide ? 816 : 408;
  const std::uint16_t blocks = std::min<std::uint16_t>(loadLe16(&r[tail]), 50);
  storeLe16(&e[408], blocks);
  std::memcpy(&e[812], &r[tail + 2], 8);    // number, sub-number, language word, bytes 18-19
  std::memcpy(&e[820], &r[tail + 10], 4);   // parameter bytes 0-3
  e[824] = r[tail + 14];                    // parameter byte 4
  std::memcpy(&e[825], &r[tail + 15], 10);  // direction, kind, parameter bytes 10-17
  e[835] = r[tail + 25];                    // line ends
  e[836] = r[tail + 26];                    // character-kind mask, low byte
  return e;
}

short decode_template_file(std::span<const std::uint8_t> bytes, TemplateFile* file, TemplateRecordKind kind) {
  if (bytes.size() < kTemplateFileHeaderBytes || bytes.size() > kTemplateFileMaxBytes) return kStatusFileRead;
  const std::size_t L = loadLe16(&bytes[0]);
  const std::size_t H = loadLe16(&bytes[2]);
  const std::size_t V = loadLe16(&bytes[4]);
  const std::size_t N = loadLe16(&bytes[6]);
  const std::size_t recordBytes = kind == TemplateRecordKind::Current ? kTemplateFieldBytes
                                  : kind == TemplateRecordKind::Old16 ? kOldRecordBytes16
                                                                      : kOldRecordBytes32;
  if (L > kTemplateAttributeMax) return kStatusFileRead;
  const std::size_t linesAt = kTemplateFileHeaderBytes + L;
  const std::size_t fieldsAt = linesAt + 8 * (H + V);
  const std::size_t blocksAt = fieldsAt + recordBytes * N;
  if (blocksAt > bytes.size()) return kStatusFileRead;
  TemplateFile f;
  f.attribute.assign(reinterpret_cast<const char*>(&bytes[kTemplateFileHeaderBytes]), L);
  f.hlines.reserve(H);
  f.vlines.reserve(V);
  for (std::size_t i = 0; i < H; ++i) f.hlines.push_back(getLine(&bytes[linesAt + 8 * i]));
  for (std::size_t i = 0; i < V; ++i) f.vlines.push_back(getLine(&bytes[linesAt + 8 * (H + i)]));
  f.fields.resize(N);
  for (std::size_t i = 0; i < N; ++i) {
    const std::uint8_t* r = &bytes[fieldsAt + recordBytes * i];
    if (kind == TemplateRecordKind::Current) {
      std::memcpy(f.fields[i].data(), r, kTemplateFieldBytes);
    } else {
      f.fields[i] = convert_old_template_record({r, recordBytes}, kind);
    }
  }
  f.charBlocks.assign(bytes.begin() + static_cast<std::ptrdiff_t>(blocksAt), bytes.end());
  *file = std::move(f);
  return kStatusDone;
}

std::array<std::uint8_t, kTemplateNameRecordBytes> encode_template_name(const TemplateName& name) {
  std::array<std::uint8_t, kTemplateNameRecordBytes> r{};
  platform::storeLe32(&r[0], static_cast<std::uint32_t>(name.number));
  platform::storeLe32(&r[4], static_cast<std::uint32_t>(name.flag));
  std::memcpy(&r[8], name.name.data(), std::min(name.name.size(), kTemplateNameChars - 1));
  return r;
}

TemplateName decode_template_name(std::span<const std::uint8_t, kTemplateNameRecordBytes> r) {
  TemplateName n;
  n.number = static_cast<std::int32_t>(platform::loadLe32(&r[0]));
  n.flag = static_cast<std::int16_t>(loadLe16(&r[4]));  // only the low word counts
  const char* text = reinterpret_cast<const char*>(&r[8]);
  // A name fills at most 79 bytes: callers keep it with its NUL in 80.
  n.name.assign(text, strnlen(text, kTemplateNameChars - 1));
  return n;
}

std::string template_folder_path(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string template_table_path(const std::string& folder) { return template_folder_path(folder, "template.tbl"); }

std::string template_names_path(const std::string& folder) { return template_folder_path(folder, "template.tnm"); }

}  // namespace layout
