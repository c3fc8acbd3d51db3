// PCX, TARGA, Photoshop, Sun Raster, CALS, PICT and raw fax through
// Magick++; EPS through Leptonica.

#include "platform/imaging/magick_codec.h"

#include <Magick++.h>
#include <leptonica/allheaders.h>

#include <cstring>
#include <mutex>
#include <string>

namespace platform::imaging {
namespace {

// Magick++ is set up once per process, before its first image.
void initialiseMagick() {
  static std::once_flag once;
  std::call_once(once, [] { Magick::InitializeMagick(nullptr); });
}

// The rows of a PIX as 8-bit RGB, or grey when the PIX holds grey levels.
bool pixRows(Pix* pix, bool& grey, std::vector<std::uint8_t>& rows, int& w, int& h) {
  const int depth = pixGetDepth(pix);
  grey = pixGetColormap(pix) == nullptr && depth <= 8;
  PixPtr converted(grey ? pixConvertTo8(pix, 0) : pixConvertTo32(pix));
  if (!converted) return false;
  w = pixGetWidth(converted.get());
  h = pixGetHeight(converted.get());
  const int channels = grey ? 1 : 3;
  rows.resize(static_cast<std::size_t>(w) * h * channels);
  for (int y = 0; y < h; ++y) {
    l_uint32* line = pixGetData(converted.get()) + static_cast<std::size_t>(y) * pixGetWpl(converted.get());
    std::uint8_t* out = rows.data() + static_cast<std::size_t>(y) * w * channels;
    for (int x = 0; x < w; ++x) {
      if (grey) {
        out[x] = static_cast<std::uint8_t>(GET_DATA_BYTE(line, x));
      } else {
        l_int32 r, g, b;
        extractRGBValues(line[x], &r, &g, &b);
        out[3 * x] = static_cast<std::uint8_t>(r);
        out[3 * x + 1] = static_cast<std::uint8_t>(g);
        out[3 * x + 2] = static_cast<std::uint8_t>(b);
      }
    }
  }
  return true;
}

}  // namespace

const char* magickCoderOf(int formatCode) {
  switch (formatCode) {
    case format::kPcx: return "PCX";
    case format::kTarga: return "TGA";
    case format::kSunRaster: return "SUN";
    case format::kPhotoshop: return "PSD";
    case format::kCals: return "CALS";
    case format::kPict: return "PICT";
    case format::kFaxG3OneD: return "G3";
    case format::kFaxG4: return "G4";
    default: return nullptr;
  }
}

PixPtr decodeWithMagick(std::span<const std::uint8_t> bytes, int formatCode) {
  const char* coder = magickCoderOf(formatCode);
  if (coder == nullptr || bytes.empty()) return nullptr;
  initialiseMagick();
  try {
    Magick::Blob blob(bytes.data(), bytes.size());
    Magick::Image image;
    image.magick(coder);
    image.ping(blob);
    const std::uint64_t pixels = static_cast<std::uint64_t>(image.columns()) * image.rows();
    if (pixels == 0 || pixels > kMaxMagickPixels) return nullptr;
    image.read(blob);
    // Documents are paper: what is transparent is composed onto white.
    image.backgroundColor(Magick::Color("white"));
    image.alphaChannel(MagickCore::RemoveAlphaChannel);
    const int w = static_cast<int>(image.columns());
    const int h = static_cast<int>(image.rows());
    // What is held follows the examination of the same bytes: black and
    // white, grey levels, or colour.
    FileInfo info;
    if (examineImage(bytes, 1, info) != kOk || info.width != w || info.height != h) return nullptr;
    const bool bilevel = info.bitsPerPixel == 1;
    const bool grey = bilevel || info.bitsPerPixel == 8;
    std::vector<std::uint8_t> rows(static_cast<std::size_t>(w) * h * (grey ? 1 : 3));
    image.write(0, 0, static_cast<size_t>(w), static_cast<size_t>(h), grey ? "I" : "RGB", MagickCore::CharPixel,
                rows.data());
    PixPtr pix(pixCreate(w, h, bilevel ? 1 : grey ? 8 : 32));
    if (!pix) return nullptr;
    for (int y = 0; y < h; ++y) {
      l_uint32* line = pixGetData(pix.get()) + static_cast<std::size_t>(y) * pixGetWpl(pix.get());
      const std::uint8_t* in = rows.data() + static_cast<std::size_t>(y) * w * (grey ? 1 : 3);
      for (int x = 0; x < w; ++x) {
        if (bilevel) {
          if (in[x] < 128) SET_DATA_BIT(line, x);  // 1 is black
        } else if (grey) {
          SET_DATA_BYTE(line, x, in[x]);
        } else {
          composeRGBPixel(in[3 * x], in[3 * x + 1], in[3 * x + 2], &line[x]);
        }
      }
    }
    if (!grey) pixSetSpp(pix.get(), 3);
    const double xres = image.xResolution(), yres = image.yResolution();
    if (xres > 0 && yres > 0) {
      const bool perCm = image.resolutionUnits() == MagickCore::PixelsPerCentimeterResolution;
      double x = xres * (perCm ? 2.54 : 1.0), y = yres * (perCm ? 2.54 : 1.0);
      int xDpi = 0, yDpi = 0;
      if (takeStatedDpi(x, y, xDpi, yDpi)) pixSetResolution(pix.get(), xDpi, yDpi);
    }
    return pix;
  } catch (const std::exception&) {
    return nullptr;
  }
}

short encodeWithMagick(Pix* pix, int formatCode, std::vector<std::uint8_t>& out) {
  const char* coder = magickCoderOf(formatCode);
  if (coder == nullptr) return kErrorWriteFormat;
  if (pix == nullptr) return kErrorNoImage;
  bool grey = false;
  int w = 0, h = 0;
  std::vector<std::uint8_t> rows;
  if (!pixRows(pix, grey, rows, w, h)) return kErrorNoMemory;
  initialiseMagick();
  try {
    Magick::Image image(static_cast<size_t>(w), static_cast<size_t>(h), grey ? "I" : "RGB", MagickCore::CharPixel,
                        rows.data());
    const int depth = pixGetDepth(pix);
    if (depth == 1) {
      image.type(MagickCore::BilevelType);
    } else if (pixGetColormap(pix) != nullptr) {
      image.quantizeColors(static_cast<size_t>(1) << std::min(depth, 8));
      image.quantizeDither(false);
      image.quantize();
      image.type(MagickCore::PaletteType);
    } else if (grey) {
      image.type(MagickCore::GrayscaleType);
    } else {
      image.type(MagickCore::TrueColorType);
    }
    const l_int32 xres = pixGetXRes(pix), yres = pixGetYRes(pix);
    if (xres > 0 && yres > 0) {
      image.resolutionUnits(MagickCore::PixelsPerInchResolution);
      image.density(Magick::Geometry(static_cast<size_t>(xres), static_cast<size_t>(yres)));
    }
    image.depth(depth == 1 ? 1 : 8);
    image.magick(coder);
    Magick::Blob blob;
    image.write(&blob);
    const auto* data = static_cast<const std::uint8_t*>(blob.data());
    if (data == nullptr || blob.length() == 0) return kErrorFileWrite;
    out.assign(data, data + blob.length());
    return kOk;
  } catch (const std::exception&) {
    return kErrorFileWrite;
  }
}

short encodeEps(Pix* pix, std::vector<std::uint8_t>& out) {
  if (pix == nullptr) return kErrorNoImage;
  // PostScript takes grey or RGB samples.
  PixPtr samples = pixGetColormap(pix) != nullptr || pixGetDepth(pix) == 1 ? PixPtr(pixConvertTo8(pix, 0)) : clonePix(pix);
  if (!samples) return kErrorNoMemory;
  const l_int32 res = pixGetXRes(pix) > 0 ? pixGetXRes(pix) : kDefaultDpi;
  l_uint8* data = nullptr;
  size_t size = 0;
  if (pixWriteMemPS(&data, &size, samples.get(), nullptr, res, 1.0f) != 0 || data == nullptr) {
    lept_free(data);
    return kErrorFileWrite;
  }
  std::string text(reinterpret_cast<const char*>(data), size);
  lept_free(data);
  // One page with its bounding box: the first line says it is encapsulated.
  const std::size_t firstLineEnd = text.find('\n');
  if (text.compare(0, 2, "%!") != 0 || firstLineEnd == std::string::npos ||
      text.find("%%BoundingBox:") == std::string::npos)
    return kErrorFileWrite;
  text.replace(0, firstLineEnd, "%!PS-Adobe-3.0 EPSF-3.0");
  out.assign(text.begin(), text.end());
  return kOk;
}

}  // namespace platform::imaging
