// Character-kind blocks in the bytes of a per-template file, apart from the
// library's rings and files, so that the reader can be tried on any input.
//
//   readTemplateFileHeader  L, H, V and N from the first eight bytes
//   charBlocksOffset        where the blocks begin: 32 + L + 8H + 8V + 870N
//   findCharBlock           the block of a run index, walking from there
//   appendCharBlock         one block's bytes
//
// A block is: word run index, word rows R, word columns C, then R x C mask
// bytes row by row.  A negative index, a negative size or the end of the
// bytes ends the sequence; a block whose grid runs past the end is not
// there.  Nothing is read that is not inside the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace layout {

inline constexpr std::size_t kTemplateFileHeaderBytes = 32;
inline constexpr std::size_t kTemplateFieldRecordBytes = 870;
inline constexpr std::size_t kCharBlockHeaderBytes = 6;

struct TemplateFileHeader {
  std::uint16_t attributeLength = 0;
  std::uint16_t horizontalLines = 0;
  std::uint16_t verticalLines = 0;
  std::uint16_t fieldRecords = 0;
};

// False when fewer than eight bytes are there.
bool readTemplateFileHeader(std::span<const std::uint8_t> bytes, TemplateFileHeader* out);
std::size_t charBlocksOffset(const TemplateFileHeader& header);

struct CharBlockPlace {
  std::size_t offset = 0;   // of the block's index word
  std::size_t length = 0;   // header and grid
  int rows = 0;
  int columns = 0;
  std::span<const std::uint8_t> grid;
};

enum class CharBlockFind { Found, NotFound, ShortHeader };

CharBlockFind findCharBlock(std::span<const std::uint8_t> bytes, int runIndex, CharBlockPlace* out);

// rows x columns bytes of grid are taken.
void appendCharBlock(std::string* out, int runIndex, int rows, int columns, const std::uint8_t* grid);

}  // namespace layout
