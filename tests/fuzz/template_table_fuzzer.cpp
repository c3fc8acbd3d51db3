// libFuzzer target: the template table (current and earlier layout) and the
// names file's records. Whatever is accepted must encode and read back the
// same.
#include "layout/template_table.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

bool sameTable(const layout::TemplateTable& a, const layout::TemplateTable& b) {
  return a.count == b.count && a.slotBytes == b.slotBytes && a.features == b.features && a.entries == b.entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  layout::TemplateTable table;
  short status = 0;
  switch (data[0] % 3) {
    case 0:
      status = layout::decode_template_table(bytes, &table);
      break;
    case 1:
      status = layout::decode_old_template_table(bytes, &table);
      break;
    default: {
      for (std::size_t at = 0; at + layout::kTemplateNameRecordBytes <= bytes.size();
           at += layout::kTemplateNameRecordBytes) {
        const auto name = layout::decode_template_name(
            std::span<const std::uint8_t, layout::kTemplateNameRecordBytes>(&bytes[at], layout::kTemplateNameRecordBytes));
        if (name.name.size() >= layout::kTemplateNameChars) __builtin_trap();
        const auto again = layout::decode_template_name(layout::encode_template_name(name));
        if (again.name != name.name || again.number != name.number || again.flag != name.flag) __builtin_trap();
      }
      return 0;
    }
  }
  if (status != 1) return 0;
  if (table.count > layout::kTemplateCapacity) __builtin_trap();
  for (int s = 0; s < table.count; ++s) {
    if (table.entry(s).size() > layout::kTemplateEntryBytes) __builtin_trap();
  }
  const auto encoded = layout::encode_template_table(table);
  layout::TemplateTable again;
  if (encoded.size() != layout::kTemplateTableBytes || layout::decode_template_table(encoded, &again) != 1 ||
      !sameTable(table, again)) {
    __builtin_trap();
  }
  return 0;
}
