#pragma once
// Windows and OS/2 bitmaps, read and written by our own code so that every
// size a header claims is checked against the bytes that are really there.
//
//   parseBmpHeader   the header fields of a BMP file or packed DIB
//   readBmp          decodes 1/4/8/16/24/32-bit bitmaps, RLE4 and RLE8; a
//                    32-bit bitmap whose alpha bytes say anything comes out
//                    as RGBA (all of them 0 is the common "unused" and opaque)
//   writeBmp         writes 1/4/8/16/24/32 bits, or RLE4/RLE8, with resolution
//
// A header that lies (palette size, row sizes, data offset, RLE runs beyond
// the image) makes the read fail with kErrorCorrupt; nothing is read outside
// the given bytes.

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform::imaging {

struct BmpHeader {
  std::uint32_t dataOffset = 0;   // from the start of the given bytes
  std::uint32_t infoSize = 0;     // 12 (OS/2 1.x), 40, 52, 56, 64, 108, 124
  int width = 0;
  int height = 0;                 // always positive
  bool topDown = false;
  int bits = 0;
  int compression = 0;            // 0 none, 1 RLE8, 2 RLE4, 3 bit fields
  int colours = 0;                // palette entries present (bits <= 8)
  std::size_t paletteOffset = 0;
  int paletteEntrySize = 4;
  std::uint32_t masks[3] = {0, 0, 0};
  std::uint32_t alphaMask = 0;    // bit fields of 32 bits with a header that has one
  int xPelsPerMeter = 0;
  int yPelsPerMeter = 0;
};

// `fileHeader`: the bytes start with the 14-byte "BM" file header; otherwise
// they are a packed DIB (the header follows at once, the palette after it).
short parseBmpHeader(std::span<const std::uint8_t> bytes, bool fileHeader, BmpHeader& header);
short readBmp(std::span<const std::uint8_t> bytes, bool fileHeader, PixPtr& out);

// bits: 1, 4, 8, 16, 24 or 32 (the PIX is converted as needed); rle writes
// RLE4 or RLE8 (4 or 8 bits). Without the file header: a packed DIB.
short writeBmp(Pix* pix, int bits, bool rle, bool fileHeader, std::vector<std::uint8_t>& out);

// pixels per metre <-> dots per inch, rounded
int dpiFromPelsPerMeter(int ppm);
int pelsPerMeterFromDpi(int dpi);

}  // namespace platform::imaging
