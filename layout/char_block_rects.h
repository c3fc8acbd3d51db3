// The character-block and child rectangles of a stored template field (the
// 870-byte field record of a per-template file, layout/template_field.h),
// turned back into the field's block ring and child ring.
//
//   read_stored_rects   appends both rings' records to a field
//
// Each area holds 50 rectangles of 8 bytes and is followed by its count
// word.  A count is read as untrusted: above 50 only the 50 rectangles the
// area holds are taken (a count of 60 once read 80 bytes past the block
// area, into the child rectangles and beyond).
#pragma once

#include "layout/records.h"

#include <cstdint>
#include <span>

namespace layout {

inline constexpr int kStoredRectsMax = 50;
inline constexpr std::size_t kStoredFieldBytes = 870;

// Block rectangles are taken when parameter byte 17 of the field is 1;
// child rectangles always.  1, or -111 when records run out.
short read_stored_rects(std::span<const std::uint8_t, kStoredFieldBytes> entry, userfld* field);

}  // namespace layout
