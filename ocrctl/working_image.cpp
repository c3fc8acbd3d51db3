#include "ocrctl/working_image.h"

#include "ocrctl/result_codes.h"
#include "platform/byte_order.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace ocrctl {

namespace {

using code::kNoMemory;
using code::kUnsupported;
constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kInfoHeader = 40;
// The grey level at and above which a pixel is ink (255 = black).
constexpr int kInkLevel = 128;

int roundUp(int v, int to) { return (v + to - 1) / to * to; }

}  // namespace

bool takeBitonal(const std::uint8_t* rows, std::size_t stride, int width, int height, BitImage& out) {
  if (rows == nullptr || width <= 0 || height <= 0 || width > kMaxPageSide || height > kMaxPageSide) return false;
  const std::size_t sourceBytes = static_cast<std::size_t>((width + 7) / 8);
  if (stride < sourceBytes) return false;
  BitImage image;
  image.width = roundUp(width, kWorkingAlign);
  image.height = roundUp(height, kWorkingAlign);
  try {
    image.bits.assign(static_cast<std::size_t>(image.rowBytes()) * image.height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // The bits past the picture's width in its last byte are cleared: a
  // reader may leave anything there.
  const std::uint8_t lastMask = width % 8 == 0 ? 0xFF : static_cast<std::uint8_t>(0xFF << (8 - width % 8));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* to = image.bits.data() + static_cast<std::size_t>(y) * image.rowBytes();
    std::memcpy(to, rows + static_cast<std::size_t>(y) * stride, sourceBytes);
    to[sourceBytes - 1] &= lastMask;
  }
  out = std::move(image);
  return true;
}

short dibToBitonal(std::span<const std::uint8_t> block, Bitonal& out) {
  std::size_t at = 0;
  if (block.size() >= 2 && block[0] == 'B' && block[1] == 'M') at = kFileHeader;
  if (block.size() < at + kInfoHeader) return kUnsupported;
  const std::uint8_t* h = block.data() + at;
  const std::uint32_t headerSize = platform::loadLe32(h);
  const auto width = static_cast<std::int32_t>(platform::loadLe32(h + 4));
  const auto rawHeight = static_cast<std::int32_t>(platform::loadLe32(h + 8));
  const int depth = platform::loadLe16(h + 14);
  const std::uint32_t compression = platform::loadLe32(h + 16);
  const auto xPelsPerMeter = static_cast<std::int32_t>(platform::loadLe32(h + 24));
  const std::uint32_t colorsUsed = platform::loadLe32(h + 32);
  if (headerSize < kInfoHeader || headerSize > block.size() - at) return kUnsupported;
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24) return kUnsupported;
  if (compression != 0) return kUnsupported;  // run-length DIBs are not taken
  // A negative height is a top-down DIB.
  const bool topDown = rawHeight < 0;
  if (rawHeight == INT32_MIN) return kUnsupported;
  const int height = topDown ? -rawHeight : rawHeight;
  if (width <= 0 || height <= 0 || width > kMaxPageSide || height > kMaxPageSide) return kUnsupported;

  std::uint32_t paletteEntries = 0;
  if (depth <= 8) {
    paletteEntries = colorsUsed != 0 ? colorsUsed : (1u << depth);
    if (paletteEntries > (1u << depth)) return kUnsupported;
  }
  const std::size_t paletteAt = at + headerSize;
  const std::size_t pixelsAt = paletteAt + 4u * paletteEntries;
  // The row length comes from the width and depth, never from biSizeImage,
  // which writers may leave 0.
  const std::size_t stride = (static_cast<std::size_t>(width) * depth + 31) / 32 * 4;
  if (pixelsAt > block.size() || (block.size() - pixelsAt) / stride < static_cast<std::size_t>(height))
    return kUnsupported;
  const std::uint8_t* palette = block.data() + paletteAt;
  const std::uint8_t* pixels = block.data() + pixelsAt;
  auto sourceRow = [&](int y) {
    return pixels + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
  };

  Bitonal result;
  result.width = width;
  result.height = height;
  result.sourceDepth = depth;
  if (xPelsPerMeter > 0) result.dpi = static_cast<int>((static_cast<std::int64_t>(xPelsPerMeter) * 254 / 100 + 50) / 100);
  result.stride = static_cast<std::size_t>((width + 7) / 8);
  try {
    result.rows.assign(result.stride * static_cast<std::size_t>(height), 0);
    if (depth == 1) {
      // Entry 0 black (blue 0) means a 0 bit is ink: invert so that 1 is ink.
      const bool invert = paletteEntries == 0 || palette[0] == 0;
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = sourceRow(y);
        std::uint8_t* to = result.rows.data() + result.stride * static_cast<std::size_t>(y);
        for (std::size_t i = 0; i < result.stride; ++i) to[i] = invert ? static_cast<std::uint8_t>(~from[i]) : from[i];
      }
    } else {
      std::vector<std::uint8_t> grey(256, 0);
      for (std::uint32_t i = 0; i < paletteEntries; ++i) {
        const std::uint8_t* q = palette + 4 * i;
        grey[i] = static_cast<std::uint8_t>(((77 * q[2] + 150 * q[1] + 29 * q[0]) >> 8) ^ 255);
      }
      for (int y = 0; y < height; ++y) {
        const std::uint8_t* from = sourceRow(y);
        std::uint8_t* to = result.rows.data() + result.stride * static_cast<std::size_t>(y);
        for (int x = 0; x < width; ++x) {
          int level = 0;
          if (depth == 24) {
            const std::uint8_t* p = from + 3 * static_cast<std::size_t>(x);
            level = ((77 * p[2] + 150 * p[1] + 29 * p[0]) >> 8) ^ 255;
          } else if (depth == 8) {
            level = grey[from[x]];
          } else {
            const std::uint8_t b = from[x / 2];
            level = grey[x % 2 == 0 ? b >> 4 : b & 0x0F];
          }
          if (level >= kInkLevel) to[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
      }
    }
  } catch (const std::bad_alloc&) {
    return kNoMemory;
  }
  out = std::move(result);
  return 0;
}

std::vector<std::uint8_t> packDib(const BitImage& image, int dpi) {
  if (image.empty()) return {};
  const std::size_t stride = static_cast<std::size_t>((image.rowBytes() + 3) / 4 * 4);
  std::vector<std::uint8_t> dib(48 + stride * static_cast<std::size_t>(image.height), 0);
  std::uint8_t* h = dib.data();
  platform::storeLe32(h, 40);
  platform::storeLe32(h + 4, static_cast<std::uint32_t>(image.width));
  platform::storeLe32(h + 8, static_cast<std::uint32_t>(image.height));
  platform::storeLe16(h + 12, 1);
  platform::storeLe16(h + 14, 1);
  platform::storeLe32(h + 20, static_cast<std::uint32_t>(stride * static_cast<std::size_t>(image.height)));
  const auto perMeter = static_cast<std::uint32_t>(dpi * 10000 / 254);
  platform::storeLe32(h + 24, perMeter);
  platform::storeLe32(h + 28, perMeter);
  platform::storeLe32(h + 32, 2);
  // Colour table: black, then white.
  dib[44] = dib[45] = dib[46] = 0xFF;
  std::uint8_t* rows = dib.data() + 48;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* from = image.bits.data() + static_cast<std::size_t>(y) * image.rowBytes();
    std::uint8_t* to = rows + stride * static_cast<std::size_t>(image.height - 1 - y);
    for (int i = 0; i < image.rowBytes(); ++i) to[i] = static_cast<std::uint8_t>(~from[i]);
  }
  return dib;
}

DisplayImage displayImage(const BitImage& image, int scale) {
  DisplayImage out;
  if (image.empty() || (scale != 2 && scale != 4 && scale != 8 && scale != 16)) return out;
  const int outWidth = image.width / scale;
  out.rowBytes = (outWidth + 15) / 16 * 2;
  out.rows = image.height / scale;
  out.bits.assign(static_cast<std::size_t>(out.rowBytes) * out.rows, 0);
  for (int r = 0; r < out.rows; ++r) {
    const std::uint8_t* src = image.bits.data() + static_cast<std::size_t>(r) * scale * image.rowBytes();
    std::uint8_t* dst = out.bits.data() + static_cast<std::size_t>(r) * out.rowBytes;
    for (int x = 0; x < outWidth; ++x) {
      bool ink = false;
      if (scale >= 8) {
        // Whole source bytes: 8 pixels at scale 8, both bytes of 16 at
        // scale 16, so a thin stroke in either half still shows.
        const int bytes = scale / 8;
        for (int k = 0; k < bytes && !ink; ++k) ink = src[x * bytes + k] != 0;
      } else {
        for (int k = 0; k < scale && !ink; ++k) ink = image.pixel(x * scale + k, r * scale);
      }
      if (ink) dst[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return out;
}

bool turnImage(BitImage& image, int angle) {
  if (image.empty()) return false;
  const int w = image.width;
  const int h = image.height;
  if (angle == 180) {
    BitImage turned;
    turned.width = w;
    turned.height = h;
    turned.bits.assign(image.bits.size(), 0);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if (image.pixel(x, y)) turned.setPixel(w - 1 - x, h - 1 - y);
    image = std::move(turned);
    return true;
  }
  if (angle != 90 && angle != 270) return false;
  BitImage turned;
  turned.width = h;
  turned.height = w;
  try {
    turned.bits.assign(static_cast<std::size_t>(turned.rowBytes()) * turned.height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (!image.pixel(x, y)) continue;
      if (angle == 90)
        turned.setPixel(y, w - 1 - x);
      else
        turned.setPixel(h - 1 - y, x);
    }
  }
  image = std::move(turned);
  return true;
}

}  // namespace ocrctl
