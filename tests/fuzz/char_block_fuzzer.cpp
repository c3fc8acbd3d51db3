// libFuzzer target: the character-kind blocks at the end of per-template
// files.  A block found lies inside the bytes, and a file with that block
// written anew holds it again where it was found.
#include "layout/char_block_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  for (int index = 0; index < 4; ++index) {
    layout::CharBlockPlace place;
    if (layout::findCharBlock(bytes, index, &place) != layout::CharBlockFind::Found) continue;
    if (place.offset + place.length > size ||
        place.grid.size() != static_cast<std::size_t>(place.rows) * static_cast<std::size_t>(place.columns)) {
      __builtin_trap();
    }
    std::string rewritten(reinterpret_cast<const char*>(data), place.offset);
    layout::appendCharBlock(&rewritten, index, place.rows, place.columns, place.grid.data());
    rewritten.append(reinterpret_cast<const char*>(data) + place.offset + place.length,
                     size - place.offset - place.length);
    if (rewritten != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
  }
  return 0;
}
