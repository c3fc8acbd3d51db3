// Stored character-block and child rectangles; see char_block_rects.h.
#include "layout/char_block_rects.h"

#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "platform/byte_order.h"

#include <algorithm>

namespace layout {

namespace {

constexpr std::size_t kBlockRects = 8;
constexpr std::size_t kBlockCount = 408;
constexpr std::size_t kChildRects = 410;
constexpr std::size_t kChildCount = 810;

std::int16_t s16(const std::uint8_t* p) { return static_cast<std::int16_t>(platform::loadLe16(p)); }

int storedCount(std::span<const std::uint8_t, kStoredFieldBytes> entry, std::size_t at) {
  return std::clamp<int>(s16(entry.data() + at), 0, kStoredRectsMax);
}

template <typename R>
void setRect(R* r, const std::uint8_t* p) {
  r->left = s16(p);
  r->top = s16(p + 2);
  r->right = s16(p + 4);
  r->bottom = s16(p + 6);
}

}  // namespace

short read_stored_rects(std::span<const std::uint8_t, kStoredFieldBytes> entry, userfld* field) {
  if (field->params.byte(ParamBlock::kCharBlocks) == 1) {
    const int blocks = storedCount(entry, kBlockCount);
    for (int i = 0; i < blocks; ++i) {
      recg* r = append_recg(&field->blocks);
      if (r == nullptr) return kStatusNoMemory;
      setRect(r, entry.data() + kBlockRects + 8 * static_cast<std::size_t>(i));
    }
  }
  const int children = storedCount(entry, kChildCount);
  for (int i = 0; i < children; ++i) {
    userfld* c = append_fld(&field->children);
    if (c == nullptr) return kStatusNoMemory;
    setRect(c, entry.data() + kChildRects + 8 * static_cast<std::size_t>(i));
  }
  return kStatusDone;
}

}  // namespace layout
