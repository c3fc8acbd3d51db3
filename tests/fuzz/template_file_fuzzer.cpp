// libFuzzer target: per-template "@N" files with the current 870-byte field
// records and the 467- and 875-byte records of earlier versions. Whatever is
// accepted must stay within its counts and read back the same once written.
#include "layout/template_table.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const layout::TemplateRecordKind kinds[] = {layout::TemplateRecordKind::Current, layout::TemplateRecordKind::Old16,
                                              layout::TemplateRecordKind::Old32};
  layout::TemplateFile file;
  if (layout::decode_template_file(bytes, &file, kinds[data[0] % 3]) != 1) return 0;
  if (file.attribute.size() > layout::kTemplateAttributeMax || file.charBlocks.size() > bytes.size()) __builtin_trap();
  for (const auto& f : file.fields) {
    // Converted records never carry more than 50 character blocks.
    if (data[0] % 3 != 0 && (f[408] | (f[409] << 8)) > 50) __builtin_trap();
  }
  const auto encoded = layout::encode_template_file(file);
  layout::TemplateFile again;
  if (layout::decode_template_file(encoded, &again) != 1 || again.attribute != file.attribute ||
      again.fields != file.fields || again.charBlocks != file.charBlocks ||
      again.hlines.size() != file.hlines.size() || again.vlines.size() != file.vlines.size()) {
    __builtin_trap();
  }
  return 0;
}
