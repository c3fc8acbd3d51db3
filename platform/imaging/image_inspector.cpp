// Examining image files: the format code, size, depth, resolution and page
// count, from the headers alone. The format is recognised by its signature,
// never by the file name. Every length read from a header is checked against
// the bytes present before it is used.

#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/gif_png_readers.h"
#include "platform/imaging/image.h"
#include "platform/imaging/magick_codec.h"
#include "platform/imaging/tiff_codec.h"

#include <cctype>
#include <cstdio>
#include <string>
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

// Resolution in pixels per metre, as BMP and PNG state it.
void takePerMetre(std::uint32_t x, std::uint32_t y, FileInfo& info) {
  constexpr double kInchesPerMetre = 39.3700787;
  takeStatedDpi(x / kInchesPerMetre, y / kInchesPerMetre, info.xResolution, info.yResolution);
}

// The resolution an Exif block (APP1 "Exif\0\0" and a TIFF structure)
// states in its first directory: tags XResolution and YResolution
// (RATIONAL) with ResolutionUnit (2 inch, the default; 3 centimetre).
bool exifResolution(Bytes tiff, double& xDpi, double& yDpi) {
  if (tiff.size() < 8) return false;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return false;
  auto u16 = [&](std::size_t at) { return little ? le16(tiff, at) : be16(tiff, at); };
  auto u32 = [&](std::size_t at) {
    return little ? le16(tiff, at) | (le16(tiff, at + 2) << 16) : be32(tiff, at);
  };
  if (u16(2) != 42) return false;
  const std::size_t ifd = u32(4);
  if (ifd > tiff.size() - 2) return false;
  const std::size_t count = u16(ifd);
  double x = 0, y = 0;
  int unit = 2;
  auto rational = [&](std::size_t entry, double& out) {
    const std::size_t at = u32(entry + 8);
    if (u16(entry + 2) != 5 || at > tiff.size() - 8) return;
    const std::uint32_t den = u32(at + 4);
    if (den != 0) out = static_cast<double>(u32(at)) / den;
  };
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t entry = ifd + 2 + 12 * i;
    if (entry > tiff.size() - 12) break;
    switch (u16(entry)) {
      case 282: rational(entry, x); break;
      case 283: rational(entry, y); break;
      case 296: unit = static_cast<int>(u16(entry + 8)); break;
      default: break;
    }
  }
  if (unit == 3) {
    x *= 2.54;
    y *= 2.54;
  } else if (unit != 2) {
    return false;  // no unit: an aspect ratio
  }
  xDpi = x;
  yDpi = y;
  return true;
}

short examineBmp(Bytes b, FileInfo& info) {
  BmpHeader h;
  if (short rc = parseBmpHeader(b, true, h); rc != kOk) return rc;
  using namespace format;
  info.format = h.compression == 1 || h.compression == 2 ? kBmpRle : h.infoSize == 12 ? kOs2Bmp : kBmp;
  info.width = h.width;
  info.height = h.height;
  // 32 bits are held as 24: alpha is composed onto white when loading.
  info.bitsPerPixel = h.bits == 32 ? 24 : h.bits;
  if (h.xPelsPerMeter > 0 && h.yPelsPerMeter > 0)
    takePerMetre(static_cast<std::uint32_t>(h.xPelsPerMeter), static_cast<std::uint32_t>(h.yPelsPerMeter), info);
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
  double exifX = 0, exifY = 0;
  bool exifDensity = false;
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
      exifDensity = exifDensity || exifResolution(seg.subspan(6), exifX, exifY);
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
      // JFIF's density when it states one in a unit, else what Exif states;
      // a density without unit is only an aspect ratio.
      const double perUnit = units == 1 ? 1.0 : units == 2 ? 2.54 : 0.0;
      if (!takeStatedDpi(xd * perUnit, yd * perUnit, info.xResolution, info.yResolution) && exifDensity)
        takeStatedDpi(exifX, exifY, info.xResolution, info.yResolution);
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
      // Transparency is composed onto white when loading: grey stays grey
      // (8 bits), colour becomes 24 bits, a palette keeps its depth.
      const bool flattened = pngHasTransparency(b);
      switch (colourType) {
        case 0: info.bitsPerPixel = flattened ? 8 : d8; info.grey = info.bitsPerPixel == 8; break;
        case 2: case 6: info.bitsPerPixel = 24; break;
        case 3: info.bitsPerPixel = d8; break;
        case 4: info.bitsPerPixel = 8; info.grey = true; break;
        default: return kErrorCorrupt;
      }
      info.pageCount = 1;
      info.compression = "Deflate";
      header = true;
    } else if (!header) {
      return kErrorCorrupt;
    } else if (std::memcmp(type, "pHYs", 4) == 0 && len >= 9 && data[8] == 1) {
      takePerMetre(be32(data, 0), be32(data, 4), info);
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

// The depth of a page is that of its frame's colour table (the frame's own,
// else the global one), as the page is loaded.
short examineGif(Bytes b, int page, FileInfo& info) {
  if (b.size() < 13) return kErrorCorrupt;
  info.format = format::kGif;
  info.width = static_cast<int>(le16(b, 6));
  info.height = static_cast<int>(le16(b, 8));
  const std::uint8_t packed = b[10];
  int globalBits = 0;
  int pageBits = 0;
  std::size_t pos = 13;
  if (packed & 0x80) {
    globalBits = (packed & 7) + 1;
    pos += 3u * (1u << globalBits);
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
      const int frameBits = (local & 0x80) ? (local & 7) + 1 : globalBits;
      if (local & 0x80) pos += 3u * (1u << frameBits);
      if (pos >= b.size()) break;
      ++pos;  // LZW minimum code size
      if (!skipSubBlocks(b, pos)) break;
      if (++images == page) pageBits = frameBits;
    } else {
      break;
    }
  }
  // A damaged tail keeps the images that were whole before it.
  if (images == 0 || info.width == 0 || info.height == 0) return kErrorCorrupt;
  info.bitsPerPixel = gifDepthOfColours(pageBits == 0 ? 256 : 1 << pageBits);
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

// ZSoft PCX: a 128-byte header (manufacturer 10, version, encoding, bits
// per plane, window, resolution, planes).
short examinePcx(Bytes b, FileInfo& info) {
  if (b.size() < 128) return kErrorCorrupt;
  const int bitsPerPlane = b[3], planes = b[65];
  if ((bitsPerPlane != 1 && bitsPerPlane != 2 && bitsPerPlane != 4 && bitsPerPlane != 8) || planes < 1 || planes > 4)
    return kErrorCorrupt;
  const long w = static_cast<long>(le16(b, 8)) - le16(b, 4) + 1;
  const long h = static_cast<long>(le16(b, 10)) - le16(b, 6) + 1;
  if (w <= 0 || h <= 0) return kErrorCorrupt;
  info.format = format::kPcx;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  // Held as black and white, else as colour (a palette may hold anything).
  info.bitsPerPixel = bitsPerPlane * planes == 1 ? 1 : 24;
  info.pageCount = 1;
  info.compression = b[2] == 1 ? "RLE" : "None";
  takeStatedDpi(le16(b, 12), le16(b, 14), info.xResolution, info.yResolution);
  return kOk;
}

// Adobe Photoshop: "8BPS", version 1, channels, height, width, depth, mode.
short examinePsd(Bytes b, FileInfo& info) {
  if (b.size() < 26 || be16(b, 4) != 1) return kErrorCorrupt;
  const std::uint32_t channels = be16(b, 12), h = be32(b, 14), w = be32(b, 18), depth = be16(b, 22),
                      mode = be16(b, 24);
  if (channels < 1 || channels > 56 || w < 1 || h < 1 || w > 300000 || h > 300000) return kErrorCorrupt;
  if (depth != 1 && depth != 8 && depth != 16 && depth != 32) return kErrorCorrupt;
  info.format = format::kPhotoshop;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bitsPerPixel = mode == 0 ? 1 : mode == 1 || mode == 2 ? 8 : 24;
  info.grey = mode == 1;
  info.pageCount = 1;
  info.compression = "Photoshop";
  return kOk;
}

// Sun Raster: magic, width, height, depth, length, type, map type, map length.
short examineSun(Bytes b, FileInfo& info) {
  if (b.size() < 32) return kErrorCorrupt;
  const std::uint32_t w = be32(b, 4), h = be32(b, 8), depth = be32(b, 12), type = be32(b, 20);
  if (w < 1 || h < 1 || w > 65535 || h > 65535 || (depth != 1 && depth != 8 && depth != 24 && depth != 32) ||
      type > 3)
    return kErrorCorrupt;
  info.format = format::kSunRaster;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  const bool greyLevels = depth == 8 && be32(b, 24) == 0;  // no colour map
  info.bitsPerPixel = depth == 1 ? 1 : greyLevels ? 8 : 24;
  info.grey = greyLevels;
  info.pageCount = 1;
  info.compression = type == 2 ? "RLE" : "None";
  return kOk;
}

// CALS Raster type 1: 128-byte text records ("rtype: 1", "rpelcnt: w,h",
// "rdensty: dpi") before Group 4 data at byte 2048.
short examineCals(Bytes b, FileInfo& info) {
  if (b.size() <= 2048) return kErrorCorrupt;
  const std::string header(reinterpret_cast<const char*>(b.data()), 2048);
  auto value = [&](const char* key) -> std::string {
    const std::size_t at = header.find(key);
    if (at == std::string::npos || at % 128 != 0) return {};
    const std::size_t end = header.find_first_of("\r\n", at);
    return header.substr(at + std::strlen(key), (end == std::string::npos ? 2048 : end) - at - std::strlen(key));
  };
  long w = 0, h = 0, dpi = 0;
  if (std::sscanf(value("rpelcnt:").c_str(), "%ld,%ld", &w, &h) != 2 || w <= 0 || h <= 0 || w > 65535 || h > 65535)
    return kErrorCorrupt;
  std::sscanf(value("rdensty:").c_str(), "%ld", &dpi);
  info.format = format::kCals;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bitsPerPixel = 1;
  info.pageCount = 1;
  info.compression = "CCITT Group 4";
  if (dpi > 0) takeStatedDpi(dpi, dpi, info.xResolution, info.yResolution);
  return kOk;
}

// TARGA has no signature: its 18-byte header is taken only when every field
// holds a value the format allows and the kind of image matches the depth.
short examineTga(Bytes b, FileInfo& info) {
  if (b.size() < 18) return kErrorFormat;
  const int mapType = b[1], type = b[2], depth = b[16], mapEntryBits = b[7];
  const std::uint32_t w = le16(b, 12), h = le16(b, 14), mapLength = le16(b, 5);
  const bool mapped = type == 1 || type == 9, truecolour = type == 2 || type == 10, grey = type == 3 || type == 11;
  if (!(mapped || truecolour || grey) || mapType > 1 || w == 0 || h == 0 || (b[17] & 0xC0) != 0) return kErrorFormat;
  if (mapped && (mapType != 1 || depth != 8)) return kErrorFormat;
  if (grey && (mapType != 0 || depth != 8)) return kErrorFormat;
  if (truecolour && depth != 15 && depth != 16 && depth != 24 && depth != 32) return kErrorFormat;
  if (mapType == 1 && (mapLength == 0 || (mapEntryBits != 15 && mapEntryBits != 16 && mapEntryBits != 24 &&
                                          mapEntryBits != 32)))
    return kErrorFormat;
  if (mapType == 0 && (mapLength != 0 || mapEntryBits != 0)) return kErrorFormat;
  const std::uint64_t start = 18u + b[0] + static_cast<std::uint64_t>(mapLength) * ((mapEntryBits + 7) / 8);
  const bool rle = type >= 9;
  if (!rle && b.size() < start + static_cast<std::uint64_t>(w) * h * ((depth + 7) / 8)) return kErrorFormat;
  if (rle && b.size() <= start) return kErrorFormat;
  info.format = format::kTarga;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bitsPerPixel = grey ? 8 : 24;
  info.grey = grey;
  info.pageCount = 1;
  info.compression = rle ? "RLE" : "None";
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
    rc = examineGif(b, page, info);
  } else if (b.size() >= 3 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6' && std::isspace(b[2])) {
    rc = examinePnm(b, info);
  } else if (startsWith(b, "8BPS", 4)) {
    rc = examinePsd(b, info);
  } else if (startsWith(b, "\x59\xA6\x6A\x95", 4)) {
    rc = examineSun(b, info);
  } else if (startsWith(b, "srcdocid:", 9) || startsWith(b, "version:", 8)) {
    rc = examineCals(b, info);
  } else if (b.size() >= 3 && b[0] == 0x0A && b[1] <= 5 && b[2] <= 1) {
    rc = examinePcx(b, info);
  } else {
    rc = examineTga(b, info);
  }
  if (rc != kOk) {
    info = FileInfo{};
    return rc;
  }
  if (page < 1 || page > info.pageCount) return kErrorPage;
  return kOk;
}

}  // namespace platform::imaging
