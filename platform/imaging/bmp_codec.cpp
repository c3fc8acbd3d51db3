#include "platform/imaging/bmp_codec.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::imaging {
namespace {

constexpr int kMaxSide = 65535;
constexpr std::uint64_t kMaxPixels = 1ull << 28;  // 268 megapixels

std::uint16_t u16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}
void put16(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  v[at] = x & 0xFF;
  v[at + 1] = (x >> 8) & 0xFF;
}
void put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = (x >> (8 * i)) & 0xFF;
}

std::size_t strideOf(int width, int bits) {
  return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
}

// Position and width of a colour mask, for 16- and 32-bit bit fields.
struct Channel {
  int shift = 0;
  int width = 0;
  std::uint32_t mask = 0;
  std::uint8_t expand(std::uint32_t pixel) const {
    if (width == 0) return 0;
    std::uint32_t v = (pixel & mask) >> shift;
    std::uint32_t max = (width >= 32) ? 0xFFFFFFFFu : ((1u << width) - 1);
    return static_cast<std::uint8_t>((static_cast<std::uint64_t>(v) * 255 + max / 2) / max);
  }
};
Channel channelOf(std::uint32_t mask) {
  Channel c;
  c.mask = mask;
  if (mask == 0) return c;
  while (((mask >> c.shift) & 1) == 0) ++c.shift;
  while (c.shift + c.width < 32 && ((mask >> (c.shift + c.width)) & 1) != 0) ++c.width;
  return c;
}

// Decodes RLE8 / RLE4 data into one index per pixel (rows top-down).
// Runs that leave the image or the data stop the decode with a failure.
bool decodeRle(std::span<const std::uint8_t> data, const BmpHeader& h, std::vector<std::uint8_t>& idx) {
  const int w = h.width;
  const int ht = h.height;
  idx.assign(static_cast<std::size_t>(w) * ht, 0);
  const bool four = h.compression == 2;
  int x = 0;
  int y = 0;  // bottom-up row counter
  std::size_t p = 0;
  auto put = [&](std::uint8_t v) {
    if (x < w && y < ht) {
      int row = h.topDown ? y : ht - 1 - y;
      idx[static_cast<std::size_t>(row) * w + x] = v;
    }
    ++x;
  };
  while (p + 1 < data.size()) {
    std::uint8_t count = data[p];
    std::uint8_t value = data[p + 1];
    p += 2;
    if (count > 0) {
      if (x + count > w) return false;
      for (int i = 0; i < count; ++i) put(four ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++y;
      if (y > ht) return false;
    } else if (value == 1) {  // end of bitmap
      return true;
    } else if (value == 2) {  // delta
      if (p + 1 >= data.size()) return false;
      x += data[p];
      y += data[p + 1];
      p += 2;
      if (x > w || y > ht) return false;
    } else {  // absolute run of `value` pixels
      int n = value;
      std::size_t bytes = four ? (static_cast<std::size_t>(n) + 1) / 2 : n;
      if (p + bytes > data.size() || x + n > w) return false;
      for (int i = 0; i < n; ++i) {
        std::uint8_t b = data[p + (four ? i / 2 : i)];
        put(four ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
      }
      p += bytes + (bytes & 1);
    }
  }
  // data ended without an end-of-bitmap mark: keep what was decoded
  return y > 0 || x > 0;
}

}  // namespace

int dpiFromPelsPerMeter(int ppm) {
  if (ppm <= 0) return 0;
  return static_cast<int>(ppm * 0.0254000508001016 + 0.5);
}
int pelsPerMeterFromDpi(int dpi) {
  if (dpi <= 0) return 0;
  return static_cast<int>(std::lround(dpi / 0.0254));
}

short parseBmpHeader(std::span<const std::uint8_t> b, bool fileHeader, BmpHeader& h) {
  h = BmpHeader{};
  std::size_t base = 0;
  if (fileHeader) {
    if (b.size() < 14 + 12 || b[0] != 'B' || b[1] != 'M') return kErrorFormat;
    h.dataOffset = u32(b, 10);
    base = 14;
  } else if (b.size() < 12) {
    return kErrorFormat;
  }
  h.infoSize = u32(b, base);
  if (h.infoSize == 12) {
    h.width = u16(b, base + 4);
    h.height = u16(b, base + 6);
    h.bits = u16(b, base + 10);
    h.paletteEntrySize = 3;
  } else if (h.infoSize >= 40 && h.infoSize <= 124) {
    if (b.size() < base + h.infoSize) return kErrorCorrupt;
    std::int32_t width = static_cast<std::int32_t>(u32(b, base + 4));
    std::int32_t height = static_cast<std::int32_t>(u32(b, base + 8));
    if (width <= 0 || height == 0 || height == INT32_MIN) return kErrorCorrupt;
    h.width = width;
    h.topDown = height < 0;
    h.height = height < 0 ? -height : height;
    h.bits = u16(b, base + 14);
    h.compression = static_cast<int>(u32(b, base + 16));
    h.xPelsPerMeter = static_cast<std::int32_t>(u32(b, base + 24));
    h.yPelsPerMeter = static_cast<std::int32_t>(u32(b, base + 28));
    std::uint32_t used = u32(b, base + 32);
    if (h.bits <= 8) {
      std::uint32_t max = 1u << std::min(h.bits, 8);
      h.colours = static_cast<int>(used == 0 || used > max ? max : used);
    }
    if (h.compression == 3) {
      std::size_t at = base + 40;
      if (h.infoSize >= 52 || b.size() >= at + 12) {
        if (b.size() < at + 12) return kErrorCorrupt;
        for (int i = 0; i < 3; ++i) h.masks[i] = u32(b, at + 4 * i);
      }
      if (h.infoSize >= 56) h.alphaMask = u32(b, base + 52);
    }
  } else {
    return kErrorFormat;
  }
  if (h.infoSize == 12 && h.bits <= 8) h.colours = 1 << std::min(h.bits, 8);
  if (h.width <= 0 || h.height <= 0 || h.width > kMaxSide || h.height > kMaxSide ||
      static_cast<std::uint64_t>(h.width) * h.height > kMaxPixels)
    return kErrorCorrupt;
  switch (h.bits) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return kErrorCorrupt;
  }
  bool compressionFits = h.compression == 0 || (h.compression == 1 && h.bits == 8) ||
                         (h.compression == 2 && h.bits == 4) ||
                         (h.compression == 3 && (h.bits == 16 || h.bits == 32));
  if (!compressionFits) return kErrorCorrupt;
  if (h.compression == 3 && (h.masks[0] == 0 || h.masks[1] == 0 || h.masks[2] == 0)) return kErrorCorrupt;
  h.paletteOffset = base + h.infoSize + (h.compression == 3 && h.infoSize == 40 ? 12 : 0);
  if (h.colours > 0) {
    std::size_t end = h.paletteOffset + static_cast<std::size_t>(h.colours) * h.paletteEntrySize;
    if (end > b.size()) return kErrorCorrupt;
  }
  if (!fileHeader) {
    h.dataOffset = static_cast<std::uint32_t>(h.paletteOffset +
                                              static_cast<std::size_t>(h.colours) * h.paletteEntrySize);
  }
  if (h.dataOffset > b.size()) return kErrorCorrupt;
  if (h.compression == 0 || h.compression == 3) {
    std::uint64_t need = static_cast<std::uint64_t>(strideOf(h.width, h.bits)) * h.height;
    if (need > b.size() - h.dataOffset) return kErrorCorrupt;
  }
  return kOk;
}

short readBmp(std::span<const std::uint8_t> b, bool fileHeader, PixPtr& out) {
  BmpHeader h;
  if (short rc = parseBmpHeader(b, fileHeader, h); rc != kOk) return rc;
  const int w = h.width;
  const int ht = h.height;
  const std::size_t stride = strideOf(w, h.bits);
  auto rowAt = [&](int y) {  // y counted from the top
    int fileRow = h.topDown ? y : ht - 1 - y;
    return b.data() + h.dataOffset + static_cast<std::size_t>(fileRow) * stride;
  };

  if (h.bits <= 8) {
    // Palette: a full table of 2^bits entries so that every index is valid,
    // entries beyond the stored ones black.
    std::uint32_t palette[256] = {};
    for (int i = 0; i < h.colours; ++i) {
      const std::uint8_t* e = b.data() + h.paletteOffset + static_cast<std::size_t>(i) * h.paletteEntrySize;
      palette[i] = (static_cast<std::uint32_t>(e[2]) << 16) | (e[1] << 8) | e[0];
    }
    std::vector<std::uint8_t> idx;
    if (h.compression == 1 || h.compression == 2) {
      if (!decodeRle(b.subspan(h.dataOffset), h, idx)) return kErrorCorrupt;
    }
    const int depth = h.bits;
    const bool blackWhite = depth == 1 && palette[0] == 0 && palette[1] == 0xFFFFFF;
    const bool whiteBlack = depth == 1 && palette[0] == 0xFFFFFF && palette[1] == 0;
    PixPtr pix(pixCreate(w, ht, depth));
    if (!pix) return kErrorNoMemory;
    if (!blackWhite && !whiteBlack) {
      PIXCMAP* cmap = pixcmapCreate(depth);
      for (int i = 0; i < (1 << depth); ++i)
        pixcmapAddColor(cmap, (palette[i] >> 16) & 0xFF, (palette[i] >> 8) & 0xFF, palette[i] & 0xFF);
      pixSetColormap(pix.get(), cmap);
    }
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < ht; ++y) {
      l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
      if (!idx.empty()) {
        const std::uint8_t* src = idx.data() + static_cast<std::size_t>(y) * w;
        for (int x = 0; x < w; ++x) {
          if (depth == 4) SET_DATA_QBIT(line, x, src[x] & 0x0F);
          else SET_DATA_BYTE(line, x, src[x]);
        }
        continue;
      }
      const std::uint8_t* src = rowAt(y);
      const std::size_t rowBytes = (static_cast<std::size_t>(w) * depth + 7) / 8;
      for (std::size_t i = 0; i < rowBytes; ++i) {
        // Leptonica: 1 = black; a black-and-white palette has black at 0
        std::uint8_t v = blackWhite ? static_cast<std::uint8_t>(~src[i]) : src[i];
        SET_DATA_BYTE(line, static_cast<int>(i), v);
      }
    }
    if (depth == 1 && (blackWhite || whiteBlack)) {
      // clear the padding bits beyond the width that the inversion set
      pixSetPadBits(pix.get(), 0);
    }
    pixSetResolution(pix.get(), dpiFromPelsPerMeter(h.xPelsPerMeter), dpiFromPelsPerMeter(h.yPelsPerMeter));
    out = std::move(pix);
    return kOk;
  }

  PixPtr pix(pixCreate(w, ht, 32));
  if (!pix) return kErrorNoMemory;
  l_uint32* data = pixGetData(pix.get());
  const int wpl = pixGetWpl(pix.get());
  Channel r, g, bl, alpha;
  if (h.bits == 32) alpha = channelOf(h.compression == 3 ? h.alphaMask : 0xFF000000u);
  bool anyAlpha = false;
  if (h.compression == 3) {
    r = channelOf(h.masks[0]);
    g = channelOf(h.masks[1]);
    bl = channelOf(h.masks[2]);
  } else if (h.bits == 16) {
    r = channelOf(0x7C00);
    g = channelOf(0x03E0);
    bl = channelOf(0x001F);
  } else {
    r = channelOf(0xFF0000);
    g = channelOf(0x00FF00);
    bl = channelOf(0x0000FF);
  }
  for (int y = 0; y < ht; ++y) {
    const std::uint8_t* src = rowAt(y);
    l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
    for (int x = 0; x < w; ++x) {
      std::uint32_t px;
      if (h.bits == 24) {
        const std::uint8_t* s = src + 3 * x;
        px = (static_cast<std::uint32_t>(s[2]) << 16) | (s[1] << 8) | s[0];
      } else if (h.bits == 16) {
        px = u16(std::span<const std::uint8_t>(src, 2 * static_cast<std::size_t>(w)), 2 * x);
      } else {
        px = u32(std::span<const std::uint8_t>(src, 4 * static_cast<std::size_t>(w)), 4 * x);
      }
      const std::uint8_t a = alpha.width == 0 ? 255 : alpha.expand(px);
      anyAlpha = anyAlpha || a != 0;
      l_uint32 value;
      composeRGBAPixel(r.expand(px), g.expand(px), bl.expand(px), a, &value);
      line[x] = value;
    }
  }
  if (alpha.width != 0 && anyAlpha) pixSetSpp(pix.get(), 4);
  pixSetResolution(pix.get(), dpiFromPelsPerMeter(h.xPelsPerMeter), dpiFromPelsPerMeter(h.yPelsPerMeter));
  out = std::move(pix);
  return kOk;
}

namespace {

// Encodes one row of indices as RLE8 or RLE4 runs (encoded mode only).
void encodeRleRow(const std::vector<std::uint8_t>& row, bool four, std::vector<std::uint8_t>& out) {
  std::size_t x = 0;
  while (x < row.size()) {
    std::size_t n = 1;
    if (four) {
      // runs of a repeating pair of pixels
      while (x + n < row.size() && n < 255 && row[x + n] == row[x + (n % 2)]) ++n;
      std::uint8_t hi = row[x];
      std::uint8_t lo = x + 1 < row.size() ? row[x + 1] : 0;
      out.push_back(static_cast<std::uint8_t>(n));
      out.push_back(static_cast<std::uint8_t>((hi << 4) | (lo & 0x0F)));
    } else {
      while (x + n < row.size() && n < 255 && row[x + n] == row[x]) ++n;
      out.push_back(static_cast<std::uint8_t>(n));
      out.push_back(row[x]);
    }
    x += n;
  }
  out.push_back(0);
  out.push_back(0);
}

}  // namespace

short writeBmp(Pix* source, int bits, bool rle, bool fileHeader, std::vector<std::uint8_t>& out) {
  if (source == nullptr) return kErrorNoImage;
  PixPtr pix = clonePix(source);
  int d = pixGetDepth(pix.get());
  // Callers reduce colours before writing; this only brings the PIX to a
  // depth that a bitmap can hold.
  if (d == 2 || d == 16 || (rle && d == 1)) {
    pix.reset(pixConvertTo8(pix.get(), pixGetColormap(pix.get()) != nullptr));
    if (!pix) return kErrorNoMemory;
    d = 8;
  }
  if (d <= 8) bits = d;
  else if (bits != 16 && bits != 32) bits = 24;
  if (rle && bits != 4 && bits != 8) rle = false;

  const int w = pixGetWidth(pix.get());
  const int ht = pixGetHeight(pix.get());
  const int colours = bits <= 8 ? 1 << bits : 0;
  const std::size_t stride = strideOf(w, bits);
  const std::size_t headerBytes = (fileHeader ? 14 : 0) + 40 + static_cast<std::size_t>(colours) * 4;

  std::vector<std::uint8_t> pixels;
  PIXCMAP* cmap = pixGetColormap(pix.get());
  l_uint32* data = pixGetData(pix.get());
  const int wpl = pixGetWpl(pix.get());
  std::vector<std::uint8_t> row(w);
  if (rle) {
    for (int fy = 0; fy < ht; ++fy) {
      l_uint32* line = data + static_cast<std::size_t>(ht - 1 - fy) * wpl;
      for (int x = 0; x < w; ++x)
        row[x] = static_cast<std::uint8_t>(bits == 4 ? GET_DATA_QBIT(line, x) : GET_DATA_BYTE(line, x));
      encodeRleRow(row, bits == 4, pixels);
    }
    pixels.push_back(0);
    pixels.push_back(1);
  } else {
    pixels.assign(stride * ht, 0);
    for (int fy = 0; fy < ht; ++fy) {
      l_uint32* line = data + static_cast<std::size_t>(ht - 1 - fy) * wpl;
      std::uint8_t* dst = pixels.data() + static_cast<std::size_t>(fy) * stride;
      if (bits <= 8) {
        const std::size_t rowBytes = (static_cast<std::size_t>(w) * bits + 7) / 8;
        for (std::size_t i = 0; i < rowBytes; ++i) {
          std::uint8_t v = static_cast<std::uint8_t>(GET_DATA_BYTE(line, static_cast<int>(i)));
          dst[i] = (bits == 1 && cmap == nullptr) ? static_cast<std::uint8_t>(~v) : v;
        }
        if (bits == 1 && cmap == nullptr && w % 8 != 0) dst[rowBytes - 1] &= static_cast<std::uint8_t>(0xFF << (8 - w % 8));
      } else {
        for (int x = 0; x < w; ++x) {
          l_int32 r, g, b;
          extractRGBValues(line[x], &r, &g, &b);
          if (bits == 16) {
            std::uint16_t v = static_cast<std::uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
            dst[2 * x] = v & 0xFF;
            dst[2 * x + 1] = v >> 8;
          } else if (bits == 24) {
            dst[3 * x] = static_cast<std::uint8_t>(b);
            dst[3 * x + 1] = static_cast<std::uint8_t>(g);
            dst[3 * x + 2] = static_cast<std::uint8_t>(r);
          } else {
            dst[4 * x] = static_cast<std::uint8_t>(b);
            dst[4 * x + 1] = static_cast<std::uint8_t>(g);
            dst[4 * x + 2] = static_cast<std::uint8_t>(r);
            dst[4 * x + 3] = 0;
          }
        }
      }
    }
  }

  out.assign(headerBytes, 0);
  std::size_t at = 0;
  if (fileHeader) {
    out[0] = 'B';
    out[1] = 'M';
    put32(out, 2, static_cast<std::uint32_t>(headerBytes + pixels.size()));
    put32(out, 10, static_cast<std::uint32_t>(headerBytes));
    at = 14;
  }
  put32(out, at, 40);
  put32(out, at + 4, static_cast<std::uint32_t>(w));
  put32(out, at + 8, static_cast<std::uint32_t>(ht));
  put16(out, at + 12, 1);
  put16(out, at + 14, static_cast<std::uint32_t>(bits));
  put32(out, at + 16, rle ? (bits == 8 ? 1u : 2u) : 0u);
  put32(out, at + 20, static_cast<std::uint32_t>(pixels.size()));
  put32(out, at + 24, static_cast<std::uint32_t>(pelsPerMeterFromDpi(pixGetXRes(pix.get()))));
  put32(out, at + 28, static_cast<std::uint32_t>(pelsPerMeterFromDpi(pixGetYRes(pix.get()))));
  put32(out, at + 32, static_cast<std::uint32_t>(colours));
  std::size_t pal = at + 40;
  for (int i = 0; i < colours; ++i) {
    l_int32 r = 0, g = 0, b = 0;
    if (cmap != nullptr) {
      if (i < pixcmapGetCount(cmap)) pixcmapGetColor(cmap, i, &r, &g, &b);
    } else if (bits == 1) {
      r = g = b = i == 0 ? 0 : 255;
    } else {
      r = g = b = i * 255 / (colours - 1);
    }
    out[pal + 4 * i] = static_cast<std::uint8_t>(b);
    out[pal + 4 * i + 1] = static_cast<std::uint8_t>(g);
    out[pal + 4 * i + 2] = static_cast<std::uint8_t>(r);
  }
  out.insert(out.end(), pixels.begin(), pixels.end());
  return kOk;
}

}  // namespace platform::imaging
