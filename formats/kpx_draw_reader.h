#pragma once
// KpxDrawReader: a "Kpx Draw" drawing file as a 1-bit BMP file image.
//
// File: the signature "Kpx Draw" and a zero byte, width, height and dpi as
// little-endian signed 32-bit values at 24, 28 and 32, then from 68 the rows
// top first, (width + 15) / 16 * 2 bytes each, run-length coded: 0x00 n and
// 0xFF n stand for n such bytes, any other byte for itself. Rows the data
// does not reach stay white.
//
// The BMP is top-down (negative height), palette white then black, so the
// decoded bytes are copied as they are. The imaging layer loads it from
// memory like any BMP file.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr int kKpxDrawOk = 0;
constexpr int kKpxDrawNotKpxDraw = -1;   // no signature, or a header that cannot be a drawing
constexpr int kKpxDrawOutOfMemory = -2;  // also: more than the caps allow
constexpr int kKpxDrawCannotOpen = -10;

struct KpxDrawLimits {
  std::int32_t maxSide = 65535;                  // pixels, each of width and height
  std::uint64_t maxBitmapBytes = 256ull << 20;   // the whole BMP file image
};

// Decodes a file image held in memory into `bitmap` (replaced only on success).
int decodeKpxDraw(std::string_view file, std::vector<std::uint8_t>& bitmap,
                  const KpxDrawLimits& limits = {});

// Reads the file at `path`. On success `bitmap` holds the whole BMP file
// image and `size` its length; on failure both are left as they were.
int KpxDrawReader(std::vector<std::uint8_t>& bitmap, std::size_t& size, const std::string& path);
