#pragma once
// JPEG decoding through libjpeg, for the held image.
//
//   readJpeg   file bytes -> 8-bit grey or 32-bit RGB PIX; reduction 1, 2, 4
//              or 8 decodes at that fraction of the size (libjpeg's scaled
//              IDCT), which is how thumbnails of large photographs stay cheap
//
// Data that cannot be decoded fails the read (kErrorCorrupt): a file cut
// short, a scan that ends before its image does, entropy-coded data that no
// longer decodes. libjpeg would fill such rows with grey and go on; a page
// that silently loses its lower half must not pass for a whole one.
// Harmless oddities (stray bytes between markers, an unknown JFIF revision)
// are ignored as every other reader ignores them.
//
// CMYK and YCCK files come out as RGB; the inverted CMYK that Adobe's
// programs write (with their APP14 marker) is recognised.

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>

namespace platform::imaging {

short readJpeg(std::span<const std::uint8_t> bytes, int reduction, PixPtr& out);

}  // namespace platform::imaging
