// The template table, per-template files and names file as the library uses
// them: registration, reading into rings, names, navigation, copies and the
// conversion of earlier tables.  See template_table.h.
#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"
#include "layout/template_table.h"
#include "platform/byte_order.h"
#include "platform/file_ops.h"
#include "platform/sjis_codec.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

namespace layout {

namespace {

constexpr std::size_t kNamesFileMaxBytes = kTemplateCapacity * kTemplateNameRecordBytes;

std::int16_t entryWord(const TemplateFieldEntry& e, int at) {
  return static_cast<std::int16_t>(platform::loadLe16(&e[static_cast<std::size_t>(at)]));
}

// A table entry names a file in the folder: only the digits that
// registration writes are accepted, so a crafted table cannot point a read
// or a conversion outside the folder.
bool entryIsFileNumber(const std::string& entry) {
  return !entry.empty() && std::all_of(entry.begin(), entry.end(), [](char c) { return c >= '0' && c <= '9'; });
}

short readTable(const std::string& path, TemplateTable* table) {
  std::vector<std::uint8_t> bytes;
  const short status = read_file_bounded(path, kTemplateTableBytes, &bytes);
  if (status != kStatusDone) return status;
  return decode_template_table(bytes, table);
}

short appendLines(const std::vector<TemplateLine>& stored, Keisen** head) {
  for (const TemplateLine& l : stored) {
    Keisen* k = append_hline(head);
    if (k == nullptr) return kStatusNoMemory;
    k->a = l.a;
    k->b = l.b;
    k->c = l.c;
    k->valid = l.valid;
  }
  return kStatusDone;
}

std::string sjis(const char* utf8) { return platform::toCp932Lossy(utf8); }

}  // namespace

TemplateContext& templateContext() {
  static TemplateContext context;
  return context;
}

void reset_template_context() { templateContext() = TemplateContext{}; }

void begin_template_call(const char* folder, int width, int height) {
  auto& state = layoutState();
  std::string f = folder != nullptr ? folder : "";
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  state.templateFolder = f;
  state.templateTablePath = template_table_path(f);
  state.templateTouched = false;
  ImageDesc& half = state.images[1];
  half.bytesPerRow = static_cast<std::uint16_t>(width / 16);
  half.height = static_cast<std::uint16_t>(height / 2);
  TemplateContext& ctx = templateContext();
  ctx.folder = state.templateFolder;
  ctx.tablePath = state.templateTablePath;
}

bool template_file_name(std::string* path, const std::string& folder, int number) {
  if (number < 0 || number > 999999) return false;
  *path = template_file_path(folder, number);
  return !path->empty();
}

short read_file_bounded(const std::string& path, std::size_t capacity, std::vector<std::uint8_t>* bytes) {
  const int error = platform::readFileCapped(path, capacity, bytes);
  if (error == 0) return kStatusDone;
  // Missing or not ours to open, against a file that is there but cannot
  // be read whole (or is larger than anything it may hold).
  return error == ENOENT || error == EACCES || error == EPERM || error == ENOTDIR || error == EISDIR
             ? kStatusFileOpen
             : kStatusFileRead;
}

short write_file_replacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  switch (platform::writeFileReplacing(path, bytes)) {
    case platform::ReplaceStage::Done:
      return kStatusDone;
    case platform::ReplaceStage::Create:
      return kStatusFileOpen;
    default:
      return kStatusFileWrite;
  }
}

bool valid_hline(const Keisen& line) { return line.b - line.a + 1 >= parameterTables().set3(1); }
bool valid_vline(const Keisen& line) { return line.c - line.b + 1 >= parameterTables().set3(2); }

TemplateFeatures compute_template_features(const KeisenPair& lines, const ImageDesc& page, const userfld* fields) {
  std::vector<const Keisen*> h;
  std::vector<const Keisen*> v;
  if (lines.horizontal != nullptr) {
    for (const Keisen* k = lines.horizontal->next; k != lines.horizontal; k = k->next) {
      if (valid_hline(*k)) h.push_back(k);
    }
  }
  if (lines.vertical != nullptr) {
    for (const Keisen* k = lines.vertical->next; k != lines.vertical; k = k->next) {
      if (valid_vline(*k)) v.push_back(k);
    }
  }
  const int width = page.bytesPerRow * 8;
  const int middle = width / 2;
  const int tx = parameterTables().set1(14);
  const int ty = parameterTables().set1(27);
  unsigned hLength = 0, vLength = 0, crossing = 0, intersections = 0;
  std::set<int> hBands, vBands;
  for (const Keisen* k : h) {
    hLength += static_cast<unsigned>(k->b - k->a + 1);
    if (k->a < middle && middle < k->b) ++crossing;
    if (k->c >= 0 && k->c < page.height) hBands.insert(k->c / 50);
    for (const Keisen* w : v) {
      if (k->a - tx <= w->a && w->a <= k->b + tx && w->b - ty <= k->c && k->c <= w->c + ty) ++intersections;
    }
  }
  for (const Keisen* k : v) {
    vLength += static_cast<unsigned>(k->c - k->b + 1);
    if (k->a >= 0 && k->a < width) vBands.insert(k->a / 50);
  }
  TemplateFeatures f{};
  auto word = [](std::size_t v) { return static_cast<std::uint16_t>(v); };
  f[kFeatureHLines] = word(h.size());
  f[kFeatureVLines] = word(v.size());
  f[kFeatureLines] = word(h.size() + v.size());
  f[kFeatureHLength] = word(hLength >> 3);
  f[kFeatureVLength] = word(vLength >> 3);
  f[kFeatureLength] = word((hLength >> 3) + (vLength >> 3));
  f[kFeatureCrossCentre] = word(crossing);
  f[kFeatureIntersections] = word(intersections);
  f[kFeatureHBands] = word(hBands.size());
  f[kFeatureVBands] = word(vBands.size());
  f[kFeatureFieldCount] = word(static_cast<std::size_t>(count_fld(fields)));
  return f;
}

short settle_template_rings(short status, userfld* ring, KeisenPair pair, userfld** fields, KeisenPair* lines) {
  if (status != kStatusDone) {
    free_fld_list(&ring);
    free_keisen_pair(&pair);
    return status;
  }
  free_fld_list(fields);
  *fields = ring;
  free_keisen_pair(lines);
  *lines = pair;
  return kStatusDone;
}

short template_field_to_fld(const TemplateFieldEntry& e, userfld** ring) {
  userfld* f = append_fld(ring);
  if (f == nullptr) return kStatusNoMemory;
  f->left = entryWord(e, 0);
  f->top = entryWord(e, 2);
  f->right = entryWord(e, 4);
  f->bottom = entryWord(e, 6);
  f->number = entryWord(e, 812);
  f->subNumber = entryWord(e, 814);
  ParamBlock& p = f->params;
  p.setWord(ParamBlock::kLanguageWord, entryWord(e, 816));
  p.setWord(ParamBlock::kTierCount, entryWord(e, 818));
  for (int i = 0; i < 5; ++i) p.setByte(i, e[static_cast<std::size_t>(820 + i)]);
  p.setByte(ParamBlock::kDirection, e[825]);
  p.setByte(ParamBlock::kFieldKind, e[826]);
  for (int i = 0; i < 8; ++i) p.setByte(10 + i, e[static_cast<std::size_t>(827 + i)]);
  p.setByte(ParamBlock::kLineEnds, e[835]);
  p.setWord(ParamBlock::kCharKindMask, entryWord(e, 836));
  p.setByte(9, e[838]);
  p.setByte(20, e[839]);
  p.setByte(21, e[840]);
  const int blocks = std::min<int>(entryWord(e, 408), 50);
  if (p.byte(ParamBlock::kCharBlocks) == 1) {
    for (int i = 0; i < blocks; ++i) {
      recg* r = append_recg(&f->blocks);
      if (r == nullptr) return kStatusNoMemory;
      r->left = entryWord(e, 8 + 8 * i);
      r->top = entryWord(e, 10 + 8 * i);
      r->right = entryWord(e, 12 + 8 * i);
      r->bottom = entryWord(e, 14 + 8 * i);
    }
  }
  const int children = entryWord(e, 810);
  if (children >= 1 && children <= 50) {
    for (int i = 0; i < children; ++i) {
      userfld* c = append_fld(&f->children);
      if (c == nullptr) return kStatusNoMemory;
      c->left = entryWord(e, 410 + 8 * i);
      c->top = entryWord(e, 412 + 8 * i);
      c->right = entryWord(e, 414 + 8 * i);
      c->bottom = entryWord(e, 416 + 8 * i);
    }
  }
  return kStatusDone;
}

short create_template_table(const TemplateContext& ctx) {
  return write_file_replacing(ctx.tablePath, encode_template_table(TemplateTable{}));
}

short open_template_table(const std::string& tablePath, TemplateTable* table) { return readTable(tablePath, table); }

short register_template(TemplateContext& ctx, const userfld* fields, const KeisenPair& lines, const ImageDesc& page,
                        std::int8_t slotValue) {
  scale_param_set3(page.dpi);
  if (count_fld(fields) == 0) return kStatusNoFieldList;
  TemplateTable table;
  if (access(ctx.tablePath.c_str(), F_OK) == 0) {
    const short status = readTable(ctx.tablePath, &table);
    if (status != kStatusDone) return status;
  }
  // Without this check the 301st template's slot byte landed inside the
  // first feature array.
  if (table.count >= kTemplateCapacity) return kStatusTemplateTableFull;
  const int number = table.count;

  TemplateFile file;
  file.attribute = ctx.attribute.substr(0, kTemplateAttributeMax);
  auto store = [](const Keisen* head, bool horizontal, std::vector<TemplateLine>* out) {
    if (head == nullptr) return;
    for (const Keisen* k = head->next; k != head; k = k->next) {
      if (horizontal ? valid_hline(*k) : valid_vline(*k)) out->push_back({k->a, k->b, k->c, k->valid});
    }
  };
  store(lines.horizontal, true, &file.hlines);
  store(lines.vertical, false, &file.vlines);
  for (const userfld* f = fields->next; f != fields; f = f->next) {
    TemplateFieldEntry entry;
    fld_to_template_field(f, &entry);
    file.fields.push_back(entry);
  }
  std::string path;
  if (!template_file_name(&path, ctx.folder, number)) return kStatusFile125;
  std::string blocks;
  if (write_char_blocks(fields, &blocks) != kStatusDone) return kStatusFileWrite;
  file.charBlocks.assign(blocks.begin(), blocks.end());
  const short written = write_file_replacing(path, encode_template_file(file));
  if (written != kStatusDone) return written;

  // The table is committed last: until it is, the new file belongs to no
  // template and a failure leaves the table as it was.
  const TemplateFeatures features = compute_template_features(lines, page, fields);
  table.count = static_cast<std::uint16_t>(number + 1);
  table.slotBytes[static_cast<std::size_t>(number)] = slotValue;
  for (int k = 0; k < kTemplateFeatureCount; ++k) {
    table.features[static_cast<std::size_t>(k)][static_cast<std::size_t>(number)] = features[static_cast<std::size_t>(k)];
  }
  auto& entry = table.entries[static_cast<std::size_t>(number)];
  entry.fill(0);
  std::snprintf(entry.data(), entry.size(), "%06d", number);
  const short committed = write_file_replacing(ctx.tablePath, encode_template_table(table));
  if (committed != kStatusDone) {
    unlink(path.c_str());
    return committed == kStatusFileOpen ? kStatusFileOpen : kStatusFileWrite;
  }
  ctx.fileNumber = number;
  return kStatusDone;
}

short read_template_file(userfld** fields, KeisenPair* lines, int number, const std::string& folder,
                         std::string* attribute, const TemplateTable& table) {
  if (number < 0 || number >= table.count) return kStatusFileRead;
  const std::string entry = table.entry(number);
  if (!entryIsFileNumber(entry)) return kStatusFileRead;
  std::vector<std::uint8_t> bytes;
  short status = read_file_bounded(template_folder_path(folder, "@N" + entry), kTemplateFileMaxBytes, &bytes);
  if (status != kStatusDone) return status;
  TemplateFile file;
  status = decode_template_file(bytes, &file);
  if (status != kStatusDone) return status;

  // Built aside and swapped in, so a failure leaves the caller's rings whole.
  userfld* ring = nullptr;
  KeisenPair pair;
  status = appendLines(file.hlines, &pair.horizontal);
  if (status == kStatusDone) status = appendLines(file.vlines, &pair.vertical);
  for (std::size_t i = 0; i < file.fields.size() && status == kStatusDone; ++i) {
    status = template_field_to_fld(file.fields[i], &ring);
  }
  if (settle_template_rings(status, ring, pair, fields, lines) != kStatusDone) return status;
  if (attribute != nullptr) *attribute = file.attribute;
  return kStatusDone;
}

int read_template_names(const std::string& folder, std::vector<TemplateName>* names) {
  TemplateTable table;
  const short status = readTable(template_table_path(folder), &table);
  if (status != kStatusDone) return status;
  if (table.count == 0) return kStatusFileRead;
  std::vector<TemplateName> out;
  std::vector<std::uint8_t> bytes;
  const std::string path = template_names_path(folder);
  const short read = read_file_bounded(path, kNamesFileMaxBytes, &bytes);
  if (read == kStatusDone) {
    for (int s = 0; s < table.count; ++s) {
      if (table.slotBytes[static_cast<std::size_t>(s)] == kSlotDeleted) continue;
      const std::size_t at = static_cast<std::size_t>(s) * kTemplateNameRecordBytes;
      if (at + kTemplateNameRecordBytes > bytes.size()) return kStatusFileRead;
      out.push_back(decode_template_name(std::span<const std::uint8_t, kTemplateNameRecordBytes>(&bytes[at],
                                                                                               kTemplateNameRecordBytes)));
    }
  } else if (read == kStatusFileOpen) {
    std::vector<std::uint8_t> file;
    const std::string pattern = sjis("管理番号%dのﾃﾝﾌﾟﾚｰﾄ*");
    for (int s = 0; s < table.count; ++s) {
      char name[kTemplateNameChars];
      std::snprintf(name, sizeof name, pattern.c_str(), s);
      const TemplateName record{s, 0, name};
      const auto r = encode_template_name(record);
      file.insert(file.end(), r.begin(), r.end());
      if (table.slotBytes[static_cast<std::size_t>(s)] != kSlotDeleted) out.push_back(record);
    }
    if (write_file_replacing(path, file) != kStatusDone) return kStatusFileWrite;
  } else {
    return kStatusFileRead;
  }
  const int n = static_cast<int>(out.size());
  *names = std::move(out);
  return n;
}

int read_template_name(const std::string& folder, int number, std::string* name) {
  std::vector<std::uint8_t> bytes;
  if (read_file_bounded(template_names_path(folder), kNamesFileMaxBytes, &bytes) != kStatusDone) return -1;
  if (number < 0) return 0;
  const std::size_t at = static_cast<std::size_t>(number) * kTemplateNameRecordBytes;
  if (at + kTemplateNameRecordBytes > bytes.size()) return 0;
  const TemplateName record =
      decode_template_name(std::span<const std::uint8_t, kTemplateNameRecordBytes>(&bytes[at], kTemplateNameRecordBytes));
  if (name != nullptr) *name = record.name;
  return record.flag;
}

short write_template_name(const std::string& folder, const std::string& name, int number, int flag) {
  if (number < 0 || number >= kTemplateCapacity) return kStatusFileWrite;
  const std::string path = template_names_path(folder);
  std::vector<std::uint8_t> bytes;
  const short read = read_file_bounded(path, kNamesFileMaxBytes, &bytes);
  if (read == kStatusFileRead) return kStatusFileRead;
  if (read == kStatusFileOpen) {
    const std::string base = sjis("テンプレート");
    for (int i = 0; i < number; ++i) {
      const auto r = encode_template_name({i, 0, base + " " + std::to_string(i)});
      bytes.insert(bytes.end(), r.begin(), r.end());
    }
  }
  const std::size_t at = static_cast<std::size_t>(number) * kTemplateNameRecordBytes;
  if (bytes.size() < at + kTemplateNameRecordBytes) bytes.resize(at + kTemplateNameRecordBytes, 0);
  const auto r = encode_template_name({number, flag, name});
  std::copy(r.begin(), r.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return write_file_replacing(path, bytes);
}

short count_registered_templates(int* count, int* registered, const TemplateTable& table) {
  *count = table.count;
  *registered = 0;
  if (table.count == 0) return kStatusNothing;
  for (int s = 0; s < table.count; ++s) {
    if (table.registered(s)) ++*registered;
  }
  return kStatusDone;
}

int step_template(const std::string& folder, int current, int direction, const std::function<void(int)>& errorHook) {
  auto report = [&](int message) {
    if (errorHook) errorHook(message);
  };
  const std::string path = template_table_path(folder);
  std::vector<std::uint8_t> bytes;
  if (read_file_bounded(path, kTemplateTableBytes, &bytes) != kStatusDone || !template_table_has_title(bytes)) {
    report(kMsgTemplateOpen);
    return kStatusFileOpen;
  }
  TemplateTable table;
  if (decode_template_table(bytes, &table) != kStatusDone) {
    report(kMsgTemplateRead);
    return -1;
  }
  const int count = table.count;
  if (current < 0 || current > count - 1) return -2;
  if (direction == 0 || direction == 1) {
    if (direction == 1 && current == count - 1) return -1;
    for (int s = current + direction; s < count; ++s) {
      if (table.registered(s)) return s;
    }
    return -2;
  }
  if (direction == -1) {
    for (int s = current - 1; s >= 0; --s) {
      if (table.registered(s)) return s;
    }
    return -1;
  }
  return -1;
}

short copy_fld_list(const userfld* source, userfld** destination) {
  if (source == nullptr || source->next == source) return -1;
  for (const userfld* f = source->next; f != source; f = f->next) {
    userfld* copy = append_fld(destination);
    if (copy == nullptr) return kStatusNoMemory;
    copy->left = f->left;
    copy->top = f->top;
    copy->right = f->right;
    copy->bottom = f->bottom;
    // A table cell's row and column: the template stores them with the field,
    // and its character-kind grid is laid out by them.
    copy->number = f->number;
    copy->subNumber = f->subNumber;
    copy->params = f->params;
    if (f->children == nullptr) continue;
    for (const userfld* c = f->children->next; c != f->children; c = c->next) {
      userfld* child = append_fld(&copy->children);
      if (child == nullptr) return kStatusNoMemory;
      child->left = c->left;
      child->top = c->top;
      child->right = c->right;
      child->bottom = c->bottom;
    }
  }
  return kStatusDone;
}

short copy_valid_lines(const Keisen* horizontal, const Keisen* vertical, KeisenPair* destination) {
  free_keisen_pair(destination);
  auto copy = [](const Keisen* head, bool h, Keisen** out) -> bool {
    if (head == nullptr) return true;
    for (const Keisen* k = head->next; k != head; k = k->next) {
      if (!(h ? valid_hline(*k) : valid_vline(*k))) continue;
      Keisen* line = append_hline(out);
      if (line == nullptr) return false;
      line->a = k->a;
      line->b = k->b;
      line->c = k->c;
      line->valid = k->valid;
    }
    return true;
  };
  if (!copy(horizontal, true, &destination->horizontal) || !copy(vertical, false, &destination->vertical)) {
    return kStatusNoMemory;
  }
  return 0;
}

short check_template_table(const std::string& folder, const ConvertConfirm& confirm) {
  std::FILE* f = std::fopen(template_table_path(folder).c_str(), "rb");
  if (f == nullptr) return kStatusFileOpen;
  std::uint8_t header[kTemplateHeaderBytes];
  const std::size_t got = std::fread(header, 1, sizeof header, f);
  std::fclose(f);
  if (got != sizeof header) return kStatusFileRead;
  if (template_table_has_title(header)) return 0;
  int mode = 2;
  if (!confirm || !confirm(folder, &mode)) return 1;
  // The caller learns whether the conversion worked: a failed one left the
  // old table, which is not usable.
  return convert_template_table(mode, folder);
}

short convert_template_table(int mode, const std::string& folder) {
  const std::string tablePath = template_table_path(folder);
  std::vector<std::uint8_t> bytes;
  short status = read_file_bounded(tablePath, kOldTemplateTableBytes, &bytes);
  if (status != kStatusDone) return status;
  TemplateTable table;
  status = decode_old_template_table(bytes, &table);
  if (status != kStatusDone) return status;
  const std::string newPath = template_folder_path(folder, "template.new");
  status = write_file_replacing(newPath, encode_template_table(table));
  if (status != kStatusDone) return status;

  const TemplateRecordKind kind = mode == 1 ? TemplateRecordKind::Old16 : TemplateRecordKind::Old32;
  short firstFailure = kStatusDone;
  for (int s = 0; s < table.count; ++s) {
    const std::string entry = table.entry(s);
    short fileStatus = kStatusFileOpen;
    std::vector<std::uint8_t> old;
    TemplateFile file;
    if (entryIsFileNumber(entry)) {
      fileStatus = read_file_bounded(template_folder_path(folder, "@@" + entry), kTemplateFileMaxBytes, &old);
    }
    if (fileStatus == kStatusDone) fileStatus = decode_template_file(old, &file, kind);
    if (fileStatus == kStatusDone) {
      fileStatus = write_file_replacing(template_folder_path(folder, "@N" + entry), encode_template_file(file));
    }
    // One unreadable file does not stop the others; the result reports it.
    if (fileStatus != kStatusDone && firstFailure == kStatusDone) firstFailure = fileStatus;
  }
  if (std::rename(tablePath.c_str(), template_folder_path(folder, "lumOld.tbl").c_str()) != 0) return kStatusFileWrite;
  if (std::rename(newPath.c_str(), tablePath.c_str()) != 0) return kStatusFileWrite;
  return firstFailure == kStatusDone ? 0 : firstFailure;
}

}  // namespace layout
