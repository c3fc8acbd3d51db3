#include "platform/imaging/tiff_codec.h"

#include <leptonica/allheaders.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace platform::imaging {
namespace {

// A growable memory file for libtiff.
struct MemFile {
  std::vector<std::uint8_t> bytes;
  std::uint64_t pos = 0;
};

tmsize_t memRead(thandle_t h, void* data, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (n <= 0 || f->pos >= f->bytes.size()) return 0;
  std::uint64_t count = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), f->bytes.size() - f->pos);
  std::memcpy(data, f->bytes.data() + f->pos, count);
  f->pos += count;
  return static_cast<tmsize_t>(count);
}
tmsize_t memWrite(thandle_t h, void* data, tmsize_t n) {
  auto* f = static_cast<MemFile*>(h);
  if (n <= 0) return 0;
  std::uint64_t end = f->pos + static_cast<std::uint64_t>(n);
  if (end > (1ull << 32)) return 0;
  if (end > f->bytes.size()) f->bytes.resize(end);
  std::memcpy(f->bytes.data() + f->pos, data, static_cast<std::size_t>(n));
  f->pos = end;
  return n;
}
toff_t memSeek(thandle_t h, toff_t off, int whence) {
  auto* f = static_cast<MemFile*>(h);
  std::uint64_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->bytes.size() : 0;
  std::uint64_t target = base + off;
  if (target > (1ull << 32)) return static_cast<toff_t>(-1);
  f->pos = target;
  return target;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemFile*>(h)->bytes.size(); }
int memMap(thandle_t, void**, toff_t*) { return 0; }
void memUnmap(thandle_t, void*, toff_t) {}

int quietHandler(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
  void operator()(TIFF* t) const {
    if (t != nullptr) TIFFClose(t);
  }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

TiffPtr openTiff(MemFile& file, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, quietHandler, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, quietHandler, nullptr);
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, 1 << 30);
  TIFF* t = TIFFClientOpenExt("memory", mode, &file, memRead, memWrite, memSeek, memClose, memSize,
                              memMap, memUnmap, options);
  TIFFOpenOptionsFree(options);
  return TiffPtr(t);
}

// The page's resolution in dpi, or kDefaultDpi for both when it states none
// (or no unit, or an implausible one).
void readResolution(TIFF* t, int& x, int& y) {
  float xValue = 0, yValue = 0;
  std::uint16_t unit = RESUNIT_INCH;
  x = y = kDefaultDpi;
  if (TIFFGetField(t, TIFFTAG_XRESOLUTION, &xValue) != 1 || TIFFGetField(t, TIFFTAG_YRESOLUTION, &yValue) != 1)
    return;
  TIFFGetFieldDefaulted(t, TIFFTAG_RESOLUTIONUNIT, &unit);
  const double perUnit = unit == RESUNIT_CENTIMETER ? 2.54 : unit == RESUNIT_INCH ? 1.0 : 0.0;
  takeStatedDpi(xValue * perUnit, yValue * perUnit, x, y);
}

int countPages(TIFF* t) {
  int n = 0;
  // libtiff refuses directory loops; cap the walk all the same
  do {
    ++n;
  } while (n < 100000 && TIFFReadDirectory(t) == 1);
  return n;
}

// How a page is decoded, and so the depth it is held in. Bilevel, palette
// and grey levels of up to 8 bits are read row by row; anything else goes
// through libtiff's RGBA reading, with alpha composed onto white, and comes
// out as 8-bit grey when the page is grey (16-bit grey included), else as
// 24-bit colour (RGB, CMYK and YCbCr alike).
struct PageLayout {
  std::uint16_t bps = 1;
  std::uint16_t spp = 1;
  std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
  bool tiled = false;

  explicit PageLayout(TIFF* t) {
    TIFFGetFieldDefaulted(t, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(t, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetField(t, TIFFTAG_PHOTOMETRIC, &photometric);
    tiled = TIFFIsTiled(t) != 0;
  }
  bool grey() const { return photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK; }
  bool rowByRow() const {
    return spp == 1 && !tiled && (bps == 1 || bps == 2 || bps == 4 || bps == 8) &&
           (grey() || photometric == PHOTOMETRIC_PALETTE);
  }
  int heldBits() const {
    if (rowByRow()) return photometric == PHOTOMETRIC_PALETTE ? bps : bps == 1 ? 1 : 8;
    return grey() ? 8 : 24;
  }
  bool heldGrey() const { return heldBits() == 8 && grey(); }
};

}  // namespace

short examineTiff(std::span<const std::uint8_t> bytes, int page, FileInfo& info) {
  MemFile file;
  file.bytes.assign(bytes.begin(), bytes.end());
  TiffPtr t = openTiff(file, "rm");
  if (!t) return kErrorCorrupt;
  int pages = countPages(t.get());
  if (page < 1 || page > pages) return kErrorPage;
  if (TIFFSetDirectory(t.get(), static_cast<tdir_t>(page - 1)) != 1) return kErrorCorrupt;
  std::uint32_t w = 0, h = 0;
  std::uint16_t compression = COMPRESSION_NONE;
  if (TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w) != 1 || TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h) != 1)
    return kErrorCorrupt;
  if (w == 0 || h == 0 || w > 1000000 || h > 1000000) return kErrorCorrupt;
  TIFFGetFieldDefaulted(t.get(), TIFFTAG_COMPRESSION, &compression);
  const PageLayout layout(t.get());
  const std::uint16_t photometric = layout.photometric;

  const bool cmyk = photometric == PHOTOMETRIC_SEPARATED;
  const bool ycc = photometric == PHOTOMETRIC_YCBCR;
  using namespace format;
  int code = kTiff;
  std::string text;
  switch (compression) {
    case COMPRESSION_NONE:
      code = cmyk ? kTiffCmyk : ycc ? kTiffYcc : kTiff;
      text = "Uncompressed";
      break;
    case COMPRESSION_LZW:
      code = cmyk ? kTiffLzwCmyk : ycc ? kTiffLzwYcc : kTiffLzw;
      text = "LZW";
      break;
    case COMPRESSION_PACKBITS:
      code = cmyk ? kTiffPackBitsCmyk : ycc ? kTiffPackBitsYcc : kTiffPackBits;
      text = "PackBits";
      break;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
      code = kTiffCcitt;
      text = "CCITT Huffman RLE";
      break;
    case COMPRESSION_CCITTFAX3: {
      std::uint32_t options = 0;
      TIFFGetField(t.get(), TIFFTAG_GROUP3OPTIONS, &options);
      bool twoD = (options & GROUP3OPT_2DENCODING) != 0;
      code = twoD ? kTiffG3TwoD : kTiffG3OneD;
      text = twoD ? "CCITT Group 3 2D" : "CCITT Group 3 1D";
      break;
    }
    case COMPRESSION_CCITTFAX4:
      code = kTiffG4;
      text = "CCITT Group 4";
      break;
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG: {
      std::uint16_t sh = 1, sv = 1;
      if (ycc) TIFFGetFieldDefaulted(t.get(), TIFFTAG_YCBCRSUBSAMPLING, &sh, &sv);
      code = sh == 2 && sv == 2 ? kTiffJpeg411 : sh == 2 ? kTiffJpeg422 : kTiffJpeg444;
      text = sh == 2 && sv == 2 ? "JPEG 4:2:0" : sh == 2 ? "JPEG 4:2:2" : "JPEG";
      break;
    }
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
      text = "Deflate";
      break;
    default:
      text = "Other";
      break;
  }
  info.format = code;
  info.width = static_cast<int>(w);
  info.height = static_cast<int>(h);
  info.bitsPerPixel = layout.heldBits();
  info.grey = layout.heldGrey();
  readResolution(t.get(), info.xResolution, info.yResolution);
  info.pageCount = pages;
  info.compression = text;
  return kOk;
}

short readTiff(std::span<const std::uint8_t> bytes, int page, PixPtr& out) {
  MemFile file;
  file.bytes.assign(bytes.begin(), bytes.end());
  TiffPtr t = openTiff(file, "rm");
  if (!t) return kErrorCorrupt;
  if (page < 1 || TIFFSetDirectory(t.get(), static_cast<tdir_t>(page - 1)) != 1) return kErrorPage;
  std::uint32_t w = 0, h = 0;
  if (TIFFGetField(t.get(), TIFFTAG_IMAGEWIDTH, &w) != 1 || TIFFGetField(t.get(), TIFFTAG_IMAGELENGTH, &h) != 1)
    return kErrorCorrupt;
  if (w == 0 || h == 0 || w > 65535 || h > 65535 || static_cast<std::uint64_t>(w) * h > (1ull << 28))
    return kErrorCorrupt;
  const PageLayout layout(t.get());
  const std::uint16_t bps = layout.bps;
  const std::uint16_t photometric = layout.photometric;
  int xres = kDefaultDpi, yres = kDefaultDpi;
  readResolution(t.get(), xres, yres);

  PixPtr pix;
  if (layout.rowByRow()) {
    pix.reset(pixCreate(static_cast<int>(w), static_cast<int>(h), bps));
    if (!pix) return kErrorNoMemory;
    const tmsize_t lineBytes = TIFFScanlineSize(t.get());
    const int wpl = pixGetWpl(pix.get());
    if (lineBytes <= 0 || lineBytes > static_cast<tmsize_t>(wpl) * 4) return kErrorCorrupt;
    l_uint32* data = pixGetData(pix.get());
    for (std::uint32_t y = 0; y < h; ++y) {
      if (TIFFReadScanline(t.get(), data + static_cast<std::size_t>(y) * wpl, y, 0) < 0) return kErrorCorrupt;
    }
    pixEndianByteSwap(pix.get());
    // Leptonica's 1-bit and grey conventions: 1 = black, 0 = black
    if ((bps == 1 && photometric == PHOTOMETRIC_MINISBLACK) || (bps > 1 && photometric == PHOTOMETRIC_MINISWHITE))
      pixInvert(pix.get(), pix.get());
    if (bps < 8 && bps > 1 && photometric != PHOTOMETRIC_PALETTE) {
      // grey levels of 2 or 4 bits: expand to 8-bit grey
      pix.reset(pixConvertTo8(pix.get(), 0));
    }
    if (photometric == PHOTOMETRIC_PALETTE) {
      std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
      if (TIFFGetField(t.get(), TIFFTAG_COLORMAP, &r, &g, &b) != 1) return kErrorCorrupt;
      PIXCMAP* cmap = pixcmapCreate(bps);
      for (int i = 0; i < (1 << bps); ++i) pixcmapAddColor(cmap, r[i] >> 8, g[i] >> 8, b[i] >> 8);
      pixSetColormap(pix.get(), cmap);
    }
    pixSetPadBits(pix.get(), 0);
  } else {
    const bool grey = layout.heldGrey();
    pix.reset(pixCreate(static_cast<int>(w), static_cast<int>(h), grey ? 8 : 32));
    if (!pix) return kErrorNoMemory;
    std::vector<std::uint32_t> raster(static_cast<std::size_t>(w) * h);
    // Stop at the first damaged strip or tile: a page with made-up rows
    // must not pass for a whole one.
    if (TIFFReadRGBAImageOriented(t.get(), w, h, raster.data(), ORIENTATION_TOPLEFT, 1) != 1) return kErrorCorrupt;
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (std::uint32_t y = 0; y < h; ++y) {
      l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
      const std::uint32_t* src = raster.data() + static_cast<std::size_t>(y) * w;
      for (std::uint32_t x = 0; x < w; ++x) {
        // libtiff hands out alpha premultiplied: onto white is colour + (255 - alpha)
        const std::uint32_t p = src[x];
        const std::uint32_t paper = 255 - TIFFGetA(p);
        const l_int32 r = static_cast<l_int32>(std::min(255u, TIFFGetR(p) + paper));
        if (grey) {
          SET_DATA_BYTE(line, static_cast<int>(x), r);
          continue;
        }
        const l_int32 g = static_cast<l_int32>(std::min(255u, TIFFGetG(p) + paper));
        const l_int32 b = static_cast<l_int32>(std::min(255u, TIFFGetB(p) + paper));
        composeRGBPixel(r, g, b, line + x);
      }
    }
  }
  pixSetResolution(pix.get(), xres, yres);
  out = std::move(pix);
  return kOk;
}

short writeTiff(Pix* source, int code, int bits, int jpegQuality, std::span<const std::uint8_t> existing,
                std::vector<std::uint8_t>& out) {
  if (source == nullptr) return kErrorNoImage;
  using namespace format;
  std::uint16_t compression = COMPRESSION_NONE;
  bool cmyk = false;
  bool bilevel = false;
  std::uint16_t sh = 1, sv = 1;
  std::uint32_t g3options = 0;
  switch (code) {
    case kTiffLzw: case kTiffLzwYcc: compression = COMPRESSION_LZW; break;
    case kTiffLzwCmyk: compression = COMPRESSION_LZW; cmyk = true; break;
    case kTiffPackBits: case kTiffPackBitsYcc: compression = COMPRESSION_PACKBITS; break;
    case kTiffPackBitsCmyk: compression = COMPRESSION_PACKBITS; cmyk = true; break;
    case kTiffCmyk: cmyk = true; break;
    case kTiffCcitt: compression = COMPRESSION_CCITTRLE; bilevel = true; break;
    case kTiffG3OneD: compression = COMPRESSION_CCITTFAX3; bilevel = true; break;
    case kTiffG3TwoD: compression = COMPRESSION_CCITTFAX3; bilevel = true; g3options = GROUP3OPT_2DENCODING; break;
    case kTiffG4: compression = COMPRESSION_CCITTFAX4; bilevel = true; break;
    case kTiffJpeg444: compression = COMPRESSION_JPEG; break;
    case kTiffJpeg411: compression = COMPRESSION_JPEG; sh = sv = 2; break;
    case kTiffJpeg422: compression = COMPRESSION_JPEG; sh = 2; break;
    default: break;
  }

  PixPtr pix = clonePix(source);
  int d = pixGetDepth(pix.get());
  if (bilevel && d != 1) {
    pix.reset(pixConvertTo1(pix.get(), 128));
  } else if (compression == COMPRESSION_JPEG || cmyk) {
    // JPEG holds grey or colour, CMYK colour only
    if (cmyk || !hasOnlyGreys(pix.get())) pix.reset(pixConvertTo32(pix.get()));
    else if (d != 8 || pixGetColormap(pix.get()) != nullptr) pix.reset(pixConvertTo8(pix.get(), 0));
  } else if (d == 16) {
    pix.reset(pixConvertTo8(pix.get(), 0));
  }
  if (!pix) return kErrorNoMemory;
  d = pixGetDepth(pix.get());

  MemFile file;
  file.bytes.assign(existing.begin(), existing.end());
  TiffPtr t = openTiff(file, existing.empty() ? "w" : "a");
  if (!t) return kErrorCorrupt;
  const int w = pixGetWidth(pix.get());
  const int h = pixGetHeight(pix.get());
  PIXCMAP* cmap = pixGetColormap(pix.get());
  const bool alpha = d == 32 && pixGetSpp(pix.get()) == 4 && !cmyk && compression != COMPRESSION_JPEG;
  TIFF* tif = t.get();
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(w));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(h));
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
  int xres = pixGetXRes(pix.get());
  int yres = pixGetYRes(pix.get());
  if (xres > 0 && yres > 0) {
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(xres));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(yres));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  }
  if (d == 32) {
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    if (cmyk) {
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 4);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
      TIFFSetField(tif, TIFFTAG_INKSET, INKSET_CMYK);
    } else if (compression == COMPRESSION_JPEG) {
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
      TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, sh, sv);
    } else {
      TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, alpha ? 4 : 3);
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
      if (alpha) {
        std::uint16_t type = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &type);
      }
    }
  } else {
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, d);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    if (cmap != nullptr) {
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
    } else {
      TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, d == 1 ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK);
    }
  }
  if (compression == COMPRESSION_CCITTFAX3) TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, g3options);
  if (compression == COMPRESSION_JPEG) {
    TIFFSetField(tif, TIFFTAG_JPEGQUALITY, jpegQuality);
    if (d == 32) TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u);
  } else if (compression == COMPRESSION_CCITTFAX4 || compression == COMPRESSION_CCITTFAX3 ||
             compression == COMPRESSION_CCITTRLE) {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<std::uint32_t>(h));
  } else {
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  }
  std::vector<std::uint16_t> red, green, blue;
  if (cmap != nullptr) {
    const int n = 1 << d;
    red.assign(n, 0);
    green.assign(n, 0);
    blue.assign(n, 0);
    for (int i = 0; i < std::min(n, pixcmapGetCount(cmap)); ++i) {
      l_int32 r, g, b;
      pixcmapGetColor(cmap, i, &r, &g, &b);
      red[i] = static_cast<std::uint16_t>(r * 257);
      green[i] = static_cast<std::uint16_t>(g * 257);
      blue[i] = static_cast<std::uint16_t>(b * 257);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, red.data(), green.data(), blue.data());
  }

  const tmsize_t lineBytes = TIFFScanlineSize(tif);
  std::vector<std::uint8_t> line(static_cast<std::size_t>(std::max<tmsize_t>(lineBytes, 4)) + 8);
  l_uint32* data = pixGetData(pix.get());
  const int wpl = pixGetWpl(pix.get());
  for (int y = 0; y < h; ++y) {
    l_uint32* src = data + static_cast<std::size_t>(y) * wpl;
    if (d == 32) {
      const int samples = cmyk || alpha ? 4 : 3;
      for (int x = 0; x < w; ++x) {
        l_int32 r, g, b;
        extractRGBValues(src[x], &r, &g, &b);
        std::uint8_t* p = line.data() + static_cast<std::size_t>(x) * samples;
        if (cmyk) {
          int k = 255 - std::max({r, g, b});
          int den = 255 - k;
          p[0] = static_cast<std::uint8_t>(den == 0 ? 0 : (den - r) * 255 / den);
          p[1] = static_cast<std::uint8_t>(den == 0 ? 0 : (den - g) * 255 / den);
          p[2] = static_cast<std::uint8_t>(den == 0 ? 0 : (den - b) * 255 / den);
          p[3] = static_cast<std::uint8_t>(k);
        } else {
          p[0] = static_cast<std::uint8_t>(r);
          p[1] = static_cast<std::uint8_t>(g);
          p[2] = static_cast<std::uint8_t>(b);
          if (alpha) p[3] = static_cast<std::uint8_t>(GET_DATA_BYTE(src + x, L_ALPHA_CHANNEL));
        }
      }
    } else {
      for (tmsize_t i = 0; i < lineBytes; ++i) line[i] = static_cast<std::uint8_t>(GET_DATA_BYTE(src, static_cast<int>(i)));
    }
    if (TIFFWriteScanline(tif, line.data(), static_cast<std::uint32_t>(y), 0) < 0) return kErrorFileWrite;
  }
  if (TIFFWriteDirectory(tif) != 1) return kErrorFileWrite;
  t.reset();
  out = std::move(file.bytes);
  return kOk;
}

}  // namespace platform::imaging
