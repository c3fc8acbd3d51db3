#pragma once
// A rendered test page as a 1-bit Leptonica image at the page's resolution,
// the form in which the evaluation harnesses hand pages to Tesseract and
// Leptonica. The caller destroys it.

#include "tests/support/page_renderer.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

inline Pix* PixOfPage(const testpages::RenderedPage& page) {
  Pix* pix = pixCreate(page.width, page.height, 1);
  pixSetResolution(pix, page.dpi, page.dpi);
  auto* bytes = reinterpret_cast<std::uint8_t*>(pixGetData(pix));
  const int wpl = pixGetWpl(pix);
  for (int y = 0; y < page.height; ++y)
    std::memcpy(bytes + static_cast<std::size_t>(y) * wpl * 4,
                page.bits.data() + static_cast<std::size_t>(y) * page.bytesPerRow,
                static_cast<std::size_t>(std::min(page.bytesPerRow, wpl * 4)));
  // Leptonica keeps its words in host order, the page's bytes are big-endian.
  pixEndianByteSwap(pix);
  return pix;
}
