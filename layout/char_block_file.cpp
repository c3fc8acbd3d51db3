// Character-kind blocks in per-template file bytes; see char_block_file.h.
#include "layout/char_block_file.h"

#include "platform/byte_order.h"

namespace layout {

bool readTemplateFileHeader(std::span<const std::uint8_t> bytes, TemplateFileHeader* out) {
  if (bytes.size() < 8) return false;
  out->attributeLength = platform::loadLe16(bytes.data());
  out->horizontalLines = platform::loadLe16(bytes.data() + 2);
  out->verticalLines = platform::loadLe16(bytes.data() + 4);
  out->fieldRecords = platform::loadLe16(bytes.data() + 6);
  return true;
}

std::size_t charBlocksOffset(const TemplateFileHeader& h) {
  return kTemplateFileHeaderBytes + h.attributeLength + 8u * h.horizontalLines + 8u * h.verticalLines +
         kTemplateFieldRecordBytes * h.fieldRecords;
}

CharBlockFind findCharBlock(std::span<const std::uint8_t> bytes, int runIndex, CharBlockPlace* out) {
  TemplateFileHeader header;
  if (!readTemplateFileHeader(bytes, &header)) return CharBlockFind::ShortHeader;
  std::size_t at = charBlocksOffset(header);
  while (at <= bytes.size() && bytes.size() - at >= kCharBlockHeaderBytes) {
    const std::uint8_t* p = bytes.data() + at;
    const int index = static_cast<std::int16_t>(platform::loadLe16(p));
    const int rows = static_cast<std::int16_t>(platform::loadLe16(p + 2));
    const int columns = static_cast<std::int16_t>(platform::loadLe16(p + 4));
    if (index < 0 || rows < 0 || columns < 0) break;
    const std::size_t gridBytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
    if (bytes.size() - at - kCharBlockHeaderBytes < gridBytes) break;
    if (index == runIndex) {
      out->offset = at;
      out->length = kCharBlockHeaderBytes + gridBytes;
      out->rows = rows;
      out->columns = columns;
      out->grid = bytes.subspan(at + kCharBlockHeaderBytes, gridBytes);
      return CharBlockFind::Found;
    }
    at += kCharBlockHeaderBytes + gridBytes;
  }
  return CharBlockFind::NotFound;
}

void appendCharBlock(std::string* out, int runIndex, int rows, int columns, const std::uint8_t* grid) {
  std::uint8_t head[kCharBlockHeaderBytes];
  platform::storeLe16(head, static_cast<std::uint16_t>(runIndex));
  platform::storeLe16(head + 2, static_cast<std::uint16_t>(rows));
  platform::storeLe16(head + 4, static_cast<std::uint16_t>(columns));
  out->append(reinterpret_cast<const char*>(head), sizeof head);
  out->append(reinterpret_cast<const char*>(grid), static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns));
}

}  // namespace layout
