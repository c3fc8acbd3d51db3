// Examining image files: the format code, size, depth, resolution and page
// count, from the headers alone. The format is recognised by its signature,
// never by the file name. Every length read from a header is checked against
// the bytes present before it is used.

#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/image.h"
#include "platform/imaging/tiff_codec.h"

#include <cctype>
#include <cstring>

namespace platform::imaging {
namespace {

using Bytes = std::span<const std::uint8_t>;

std::uint32_t be16(Bytes b, std::size_t at) { return (b[at] << 8) | b[at + 1]; }
std::uint32_t be32(Bytes b, std::size_t at) {
  return (static_cast<std::uint32_t>(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}
std::uint32_t le16(Bytes b, std::size_t at) { return b[at] | (b[at + 1] << 8); }

bool startsWith(Bytes b, const char* magic, std::size_t n) {
  return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

int dpiOr(int dpi) { return dpi >= 1 && dpi <= 100000 ? dpi : kDefaultDpi; }

short examineBmp(Bytes b, FileInfo& info) {
  BmpHeader h;
  if (short rc = parseBmpHeader(b, true, h); rc != kOk) return rc;
  using namespace format;
  info.format = h.compression == 1 || h.compression == 2 ? kBmpRle : h.infoSize == 12 ? kOs2Bmp : kBmp;
  info.width = h.width;
  info.height = h.height;
  info.bitsPerPixel = h.bits;
  info.xResolution = dpiOr(dpiFromPelsPerMeter(h.xPelsPerMeter));
  info.yResolution = dpiOr(dpiFromPelsPerMeter(h.yPelsPerMeter));
  info.pageCount = 1;
  static const char* const kNames[] = {"Uncompressed", "RLE8", "RLE4", "Bit fields"};
  info.compression = kNames[h.compression];
  info.grey = false;
  if (h.bits == 8) {
    info.grey = true;
    for (int i = 0; i < h.colours; ++i) {
      const std::uint8_t* e = b.data() + h.paletteOffset + static_cast<std::size_t>(i) * h.paletteEntrySize;
      if (e[0] != e[1] || e[1] != e[2]) info.grey = false;
    }
  }
  return kOk;
}

short examineJpeg(Bytes b, FileInfo& info) {
  std::size_t pos = 2;
  bool exif = false;
  int units = 0, xd = 0, yd = 0;
  while (true) {
    while (pos < b.size() && b[pos] == 0xFF && pos + 1 < b.size() && b[pos + 1] == 0xFF) ++pos;
    if (pos + 4 > b.size() || b[pos] != 0xFF) return kErrorCorrupt;
    const std::uint8_t marker = b[pos + 1];
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) {
      pos += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return kErrorCorrupt;  // no frame header before the scan
    const std::size_t len = be16(b, pos + 2);
    if (len < 2 || pos + 2 + len > b.size()) return kErrorCorrupt;
    Bytes seg = b.subspan(pos + 4, len - 2);
    if (marker == 0xE0 && seg.size() >= 12 && std::memcmp(seg.data(), "JFIF\0", 5) == 0) {
      units = seg[7];
      xd = static_cast<int>(be16(seg, 8));
      yd = static_cast<int>(be16(seg, 10));
    } else if (marker == 0xE1 && seg.size() >= 6 && std::memcmp(seg.data(), "Exif\0\0", 6) == 0) {
      exif = true;
    } else if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (seg.size() < 6) return kErrorCorrupt;
      const int height = static_cast<int>(be16(seg, 1));
      const int width = static_cast<int>(be16(seg, 3));
      const int components = seg[5];
      if (width == 0 || height == 0 || components == 0 || seg.size() < 6 + 3u * components) return kErrorCorrupt;
      int hs = 1, vs = 1;
      if (components >= 3) {
        hs = seg[7] >> 4;
        vs = seg[7] & 0x0F;
      }
      using namespace format;
      const bool quarter = (hs == 2 && vs == 2) || (hs == 4 && vs == 1);
      const bool half = hs == 2 && vs == 1;
      if (exif) info.format = quarter ? kExifJpeg411 : kExifJpeg;
      else info.format = quarter ? kJpeg411 : half ? kJpeg422 : kJpeg444;
      info.width = width;
      info.height = height;
      info.bitsPerPixel = components == 1 ? 8 : 24;
      info.grey = components == 1;
      info.pageCount = 1;
      info.compression = components == 1 ? "JPEG grey" : quarter ? (hs == 4 ? "JPEG 4:1:1" : "JPEG 4:2:0")
                                                      : half ? "JPEG 4:2:2" : "JPEG 4:4:4";
      if (units == 1 && xd > 0 && yd > 0) {
        info.xResolution = dpiOr(xd);
        info.yResolution = dpiOr(yd);
      } else if (units == 2 && xd > 0 && yd > 0) {
        info.xResolution = dpiOr(static_cast<int>(xd * 2.54 + 0.5));
        info.yResolution = dpiOr(static_cast<int>(yd * 2.54 + 0.5));
      }
      return kOk;
    }
    pos += 2 + len;
  }
}

short examinePng(Bytes b, FileInfo& info) {
  std::size_t pos = 8;
  bool header = false;
  while (pos + 12 <= b.size()) {
    const std::uint32_t len = be32(b, pos);
    if (len > b.size() - pos - 12) return header ? kOk : kErrorCorrupt;
    Bytes data = b.subspan(pos + 8, len);
    const char* type = reinterpret_cast<const char*>(b.data() + pos + 4);
    if (std::memcmp(type, "IHDR", 4) == 0) {
      if (len < 13) return kErrorCorrupt;
      const std::uint32_t w = be32(data, 0), h = be32(data, 4);
      const int depth = data[8], colourType = data[9];
      if (w == 0 || h == 0 || w > 1000000 || h > 1000000) return kErrorCorrupt;
      info.format = format::kPng;
      info.width = static_cast<int>(w);
      info.height = static_cast<int>(h);
      const int d8 = depth == 16 ? 8 : depth;
      switch (colourType) {
        case 0: info.bitsPerPixel = d8; info.grey = d8 == 8; break;
        case 2: info.bitsPerPixel = 24; break;
        case 3: info.bitsPerPixel = d8; break;
        case 4: case 6: info.bitsPerPixel = 32; break;
        default: return kErrorCorrupt;
      }
      info.pageCount = 1;
      info.compression = "Deflate";
      header = true;
    } else if (!header) {
      return kErrorCorrupt;
    } else if (std::memcmp(type, "pHYs", 4) == 0 && len >= 9 && data[8] == 1) {
      info.xResolution = dpiOr(dpiFromPelsPerMeter(static_cast<int>(std::min<std::uint32_t>(be32(data, 0), 1u << 30))));
      info.yResolution = dpiOr(dpiFromPelsPerMeter(static_cast<int>(std::min<std::uint32_t>(be32(data, 4), 1u << 30))));
    } else if (std::memcmp(type, "IDAT", 4) == 0 || std::memcmp(type, "IEND", 4) == 0) {
      break;
    }
    pos += 12 + len;
  }
  return header ? kOk : kErrorCorrupt;
}

// Skips a chain of GIF data sub-blocks; false when it runs off the end.
bool skipSubBlocks(Bytes b, std::size_t& pos) {
  while (pos < b.size()) {
    const std::size_t n = b[pos++];
    if (n == 0) return true;
    if (n > b.size() - pos) return false;
    pos += n;
  }
  return false;
}

short examineGif(Bytes b, FileInfo& info) {
  if (b.size() < 13) return kErrorCorrupt;
  info.format = format::kGif;
  info.width = static_cast<int>(le16(b, 6));
  info.height = static_cast<int>(le16(b, 8));
  const std::uint8_t packed = b[10];
  int bits = 0;
  std::size_t pos = 13;
  if (packed & 0x80) {
    bits = (packed & 7) + 1;
    pos += 3u * (1u << bits);
  }
  int images = 0;
  bool complete = false;
  while (pos < b.size() && !complete) {
    const std::uint8_t tag = b[pos++];
    if (tag == 0x3B) {
      complete = true;
    } else if (tag == 0x21) {
      if (pos >= b.size()) break;
      ++pos;  // label
      if (!skipSubBlocks(b, pos)) break;
    } else if (tag == 0x2C) {
      if (pos + 9 > b.size()) break;
      const std::uint8_t local = b[pos + 8];
      pos += 9;
      if (local & 0x80) {
        if (bits == 0) bits = (local & 7) + 1;
        pos += 3u * (1u << ((local & 7) + 1));
      }
      if (pos >= b.size()) break;
      ++pos;  // LZW minimum code size
      if (!skipSubBlocks(b, pos)) break;
      ++images;
    } else {
      break;
    }
  }
  // A damaged tail keeps the images that were whole before it.
  if (images == 0 || info.width == 0 || info.height == 0) return kErrorCorrupt;
  info.bitsPerPixel = bits == 0 ? 8 : bits;
  info.pageCount = images;
  info.compression = "LZW";
  return kOk;
}

short examinePnm(Bytes b, FileInfo& info) {
  const int kind = b[1] - '0';
  std::size_t pos = 2;
  auto number = [&](long& out) {
    while (pos < b.size()) {
      if (b[pos] == '#') {
        while (pos < b.size() && b[pos] != '\n') ++pos;
      } else if (std::isspace(b[pos])) {
        ++pos;
      } else {
        break;
      }
    }
    if (pos >= b.size() || !std::isdigit(b[pos])) return false;
    out = 0;
    while (pos < b.size() && std::isdigit(b[pos])) {
      out = out * 10 + (b[pos++] - '0');
      if (out > 10000000) return false;
    }
    return true;
  };
  long w = 0, h = 0, max = 1;
  if (!number(w) || !number(h)) return kErrorCorrupt;
  if (kind != 1 && kind != 4 && !number(max)) return kErrorCorrupt;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535 || max <= 0 || max > 65535) return kErrorCorrupt;
  info.format = format::kPnm;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bitsPerPixel = kind == 1 || kind == 4 ? 1 : kind == 2 || kind == 5 ? 8 : 24;
  info.grey = info.bitsPerPixel == 8;
  info.pageCount = 1;
  info.compression = kind <= 3 ? "ASCII" : "Binary";
  return kOk;
}

}  // namespace

short examineImage(std::span<const std::uint8_t> b, int page, FileInfo& info) {
  info = FileInfo{};
  short rc = kErrorFormat;
  if (startsWith(b, "BM", 2)) {
    rc = examineBmp(b, info);
  } else if (startsWith(b, "II*\0", 4) || startsWith(b, "MM\0*", 4)) {
    return examineTiff(b, page, info);
  } else if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) {
    rc = examineJpeg(b, info);
  } else if (startsWith(b, "\x89PNG\r\n\x1a\n", 8)) {
    rc = examinePng(b, info);
  } else if (startsWith(b, "GIF87a", 6) || startsWith(b, "GIF89a", 6)) {
    rc = examineGif(b, info);
  } else if (b.size() >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6' && std::isspace(b[2])) {
    rc = examinePnm(b, info);
  }
  if (rc != kOk) {
    info = FileInfo{};
    return rc;
  }
  if (page < 1 || page > info.pageCount) return kErrorPage;
  return kOk;
}

}  // namespace platform::imaging
