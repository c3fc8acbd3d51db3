#include "platform/imaging/image_ops.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform::imaging {
namespace {

PixPtr own(Pix* pix) { return PixPtr(pix); }

bool paletteIsBlackWhite(const std::array<std::uint32_t, 256>& p) {
  return (p[0] & 0xFFFFFF) == 0 && (p[1] & 0xFFFFFF) == 0xFFFFFF;
}
bool paletteIsGreyRamp(const std::array<std::uint32_t, 256>& p) {
  for (std::uint32_t i = 0; i < 256; ++i)
    if ((p[i] & 0xFFFFFF) != i * 0x010101u) return false;
  return true;
}

PixPtr toBinary(Pix* pix, bool dither) {
  if (pixGetDepth(pix) == 1 && pixGetColormap(pix) == nullptr) return clonePix(pix);
  if (!dither) return own(pixConvertTo1(pix, 128));
  PixPtr grey = toGrey8(pix);
  return grey ? own(pixDitherToBinary(grey.get())) : nullptr;
}

// Grey image quantised to `levels` grey levels in a palette of 2^bits entries.
PixPtr greyLevels(Pix* pix, int bits) {
  PixPtr grey = toGrey8(pix);
  if (!grey) return nullptr;
  const int levels = 1 << bits;
  if (bits == 8) return grey;
  if (bits == 2) return own(pixThresholdTo2bpp(grey.get(), levels, 1));
  if (bits <= 4) return own(pixThresholdTo4bpp(grey.get(), levels, 1));
  return own(pixThresholdOn8bpp(grey.get(), levels, 1));
}

}  // namespace

PixPtr toGrey8(Pix* pix) {
  if (pixGetDepth(pix) == 8 && pixGetColormap(pix) == nullptr) return clonePix(pix);
  return own(pixConvertTo8(pix, 0));
}

PixPtr convertToBits(Pix* pix, int bits, bool dither) {
  if (pix == nullptr) return nullptr;
  const int d = pixGetDepth(pix);
  switch (bits) {
    case 0:
      return toGrey8(pix);
    case 1:
      return toBinary(pix, dither);
    case 16: case 24: case 32:
      return d == 32 ? clonePix(pix) : own(pixConvertTo32(pix));
    default:
      break;
  }
  if (bits < 2 || bits > 8) return nullptr;
  if (d != 32 && d != 16 && d <= bits) return clonePix(pix);  // already no deeper than asked
  if (hasOnlyGreys(pix)) return greyLevels(pix, bits);
  PixPtr colour = d == 32 ? clonePix(pix) : own(pixConvertTo32(pix));
  if (!colour) return nullptr;
  return own(pixMedianCutQuantGeneral(colour.get(), dither ? 1 : 0, 0, 1 << bits, 0, 1, 1));
}

PixPtr reduceWithPalette(Pix* pix, int bits, const std::array<std::uint32_t, 256>& palette, bool dither) {
  if (pix == nullptr) return nullptr;
  if (bits == 1 && paletteIsBlackWhite(palette)) return toBinary(pix, dither);
  if (bits == 8 && paletteIsGreyRamp(palette)) return toGrey8(pix);
  if (bits < 1 || bits > 8) return convertToBits(pix, bits, dither);
  PixPtr colour = pixGetDepth(pix) == 32 ? clonePix(pix) : own(pixConvertTo32(pix));
  if (!colour) return nullptr;
  const int depth = bits == 1 ? 1 : bits == 2 ? 2 : bits <= 4 ? 4 : 8;
  PIXCMAP* cmap = pixcmapCreate(depth);
  for (int i = 0; i < (1 << depth); ++i) {
    std::uint32_t c = palette[static_cast<std::size_t>(i)];
    pixcmapAddColor(cmap, (c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
  }
  PixPtr out = own(pixOctcubeQuantFromCmap(colour.get(), cmap, depth, 4, L_EUCLIDEAN_DISTANCE));
  pixcmapDestroy(&cmap);
  return out;
}

PixPtr invertImage(Pix* pix) {
  if (pixGetColormap(pix) != nullptr) {
    // invert the palette entries themselves
    PixPtr out = own(pixCopy(nullptr, pix));
    if (out) {
      PIXCMAP* cmap = pixGetColormap(out.get());
      for (int i = 0; i < pixcmapGetCount(cmap); ++i) {
        l_int32 r, g, b;
        pixcmapGetColor(cmap, i, &r, &g, &b);
        pixcmapResetColor(cmap, i, 255 - r, 255 - g, 255 - b);
      }
    }
    return out;
  }
  return own(pixInvert(nullptr, pix));
}

PixPtr rotateImage(Pix* pix, int hundredths, bool enlarge, std::uint32_t fill) {
  int a = hundredths % 36000;
  if (a < 0) a += 36000;
  if (a % 9000 == 0) return own(pixRotateOrth(pix, a / 9000));
  const float radians = static_cast<float>(a / 100.0 * M_PI / 180.0);
  const int incolor = (fill & 0xFFFFFF) == 0 ? L_BRING_IN_BLACK : L_BRING_IN_WHITE;
  const int type = pixGetDepth(pix) == 1 ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP;
  const int w = enlarge ? pixGetWidth(pix) : 0;
  const int h = enlarge ? pixGetHeight(pix) : 0;
  // Shear rotation is only good for small angles; larger ones go by sampling.
  const int binaryType = std::abs(radians) < 0.35f || std::abs(radians - 2 * M_PI) < 0.35f ? type : L_ROTATE_SAMPLING;
  return own(pixRotate(pix, radians, pixGetDepth(pix) == 1 ? binaryType : type, incolor, w, h));
}

PixPtr resizeImage(Pix* pix, int width, int height, bool smooth) {
  if (pix == nullptr || width <= 0 || height <= 0) return nullptr;
  PixPtr src = clonePix(pix);
  const int d = pixGetDepth(pix);
  if (d == 1 && !smooth) {
    // Halve with "any ink" so that thin strokes survive the sampling.
    while (pixGetWidth(src.get()) / 2 >= width && pixGetHeight(src.get()) / 2 >= height) {
      PixPtr half = own(pixReduceRankBinary2(src.get(), 1, nullptr));
      if (!half) break;
      src = std::move(half);
    }
  }
  const float sx = static_cast<float>(width) / pixGetWidth(src.get());
  const float sy = static_cast<float>(height) / pixGetHeight(src.get());
  PixPtr out;
  if (!smooth || d == 1) {
    out = own(pixScaleBySampling(src.get(), sx, sy));
  } else {
    PixPtr plain = pixGetColormap(src.get()) != nullptr ? own(pixRemoveColormap(src.get(), REMOVE_CMAP_BASED_ON_SRC))
                                                        : clonePix(src.get());
    if (!plain) return nullptr;
    if (pixGetDepth(plain.get()) < 8) plain = own(pixConvertTo8(plain.get(), 0));
    out = own(pixScaleGeneral(plain.get(), sx, sy, 0.0f, 0));
  }
  if (out && (pixGetWidth(out.get()) != width || pixGetHeight(out.get()) != height))
    out = own(pixResizeToMatch(out.get(), nullptr, width, height));
  if (out) pixCopyResolution(out.get(), pix);
  return out;
}

PixPtr createBlank(int width, int height, int bits) {
  if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > (1ll << 28)) return nullptr;
  const int depth = bits <= 1 ? 1 : bits <= 8 ? 8 : 32;
  PixPtr pix = own(pixCreate(width, height, depth));
  if (!pix) return nullptr;
  if (depth == 1) pixClearAll(pix.get());  // 0 is white
  else pixSetAll(pix.get());
  return pix;
}

PixPtr despeckle(Pix* pix, int dpi) {
  if (pix == nullptr) return nullptr;
  if (dpi <= 0) dpi = kDefaultDpi;
  const int maxSide = std::max(1, static_cast<int>(kMaxSpeckMm * dpi / 25.4));
  const int margin = std::max(1, static_cast<int>(std::lround(kSpeckIsolationMm * dpi / 25.4)));
  PixPtr bin = toBinary(pix, false);
  if (!bin) return nullptr;
  PixPtr small = own(pixSelectBySize(bin.get(), maxSide, maxSide, 8, L_SELECT_IF_BOTH, L_SELECT_IF_LTE, nullptr));
  if (!small) return nullptr;
  PixPtr big = own(pixSubtract(nullptr, bin.get(), small.get()));
  PixPtr near = own(pixDilateBrick(nullptr, big.get(), 2 * margin + 1, 2 * margin + 1));
  PixPtr seed = own(pixAnd(nullptr, small.get(), near.get()));
  PixPtr kept = own(pixSeedfillBinary(nullptr, seed.get(), small.get(), 8));
  PixPtr removed = own(pixSubtract(nullptr, small.get(), kept.get()));
  if (!removed) return nullptr;
  if (pixGetDepth(pix) == 1 && pixGetColormap(pix) == nullptr) return own(pixSubtract(nullptr, pix, removed.get()));
  PixPtr out = own(pixCopy(nullptr, pix));
  if (!out) return nullptr;
  if (pixGetColormap(out.get()) != nullptr) {
    pixSetMaskedCmap(out.get(), removed.get(), 0, 0, 255, 255, 255);
  } else {
    pixSetMasked(out.get(), removed.get(), pixGetDepth(out.get()) == 32 ? 0xFFFFFF00 : 0xFFFFFFFF);
  }
  return out;
}

bool findSkew(Pix* pix, float& degrees, float& confidence) {
  degrees = 0;
  confidence = 0;
  PixPtr bin = toBinary(pix, false);
  if (!bin) return false;
  // Lines of horizontal text, and the columns of vertical text turned into
  // lines; a turn by a quarter keeps the sign of the skew.
  float rowDegrees = 0, rowConfidence = 0;
  const bool rows = pixFindSkew(bin.get(), &rowDegrees, &rowConfidence) == 0;
  PixPtr turned = own(pixRotate90(bin.get(), 1));
  float columnDegrees = 0, columnConfidence = 0;
  const bool columns = turned && pixFindSkew(turned.get(), &columnDegrees, &columnConfidence) == 0;
  if (!rows && !columns) return false;
  if (columns && (!rows || columnConfidence > rowConfidence)) {
    degrees = columnDegrees;
    confidence = columnConfidence;
  } else {
    degrees = rowDegrees;
    confidence = rowConfidence;
  }
  return true;
}

PixPtr deskew(Pix* pix, float* appliedDegrees) {
  if (appliedDegrees != nullptr) *appliedDegrees = 0;
  float degrees = 0, confidence = 0;
  if (!findSkew(pix, degrees, confidence) || confidence < kDeskewMinConfidence ||
      std::abs(degrees) < kDeskewMinDegrees)
    return clonePix(pix);
  const float radians = static_cast<float>(degrees * M_PI / 180.0);
  const int type = pixGetDepth(pix) == 1 ? L_ROTATE_SHEAR : L_ROTATE_AREA_MAP;
  PixPtr out = own(pixRotate(pix, radians, type, L_BRING_IN_WHITE, 0, 0));
  if (out && appliedDegrees != nullptr) *appliedDegrees = degrees;
  return out;
}

QImage toQImage(Pix* source) {
  if (source == nullptr) return {};
  PixPtr pix = clonePix(source);
  int d = pixGetDepth(pix.get());
  // 1 bit keeps its two colours below (Leptonica's 1-to-8 conversion would
  // put white and black in place of a palette's own entries).
  if (d == 16 || d == 2 || d == 4) {
    pix = own(pixConvertTo8(pix.get(), pixGetColormap(pix.get()) != nullptr));
    if (!pix) return {};
    d = 8;
  }
  const int w = pixGetWidth(pix.get());
  const int h = pixGetHeight(pix.get());
  QImage image;
  if (d == 32) {
    const bool alpha = pixGetSpp(pix.get()) == 4;
    image = QImage(w, h, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return {};
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < h; ++y) {
      const l_uint32* src = data + static_cast<std::size_t>(y) * wpl;
      auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < w; ++x) {
        l_uint32 p = src[x];
        dst[x] = ((alpha ? (p & 0xFF) : 0xFFu) << 24) | (p >> 8);
      }
    }
  } else {
    PixPtr swapped = own(pixEndianByteSwapNew(pix.get()));
    if (!swapped) return {};
    PIXCMAP* cmap = pixGetColormap(pix.get());
    if (d == 1) {
      image = QImage(w, h, QImage::Format_Mono);
      if (cmap != nullptr) {
        QVector<QRgb> table;
        for (int i = 0; i < 2; ++i) {
          l_int32 r = 0, g = 0, b = 0;
          if (i < pixcmapGetCount(cmap)) pixcmapGetColor(cmap, i, &r, &g, &b);
          table.push_back(qRgb(r, g, b));
        }
        image.setColorTable(table);
      } else {
        image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
      }
    } else if (cmap != nullptr) {
      image = QImage(w, h, QImage::Format_Indexed8);
      QVector<QRgb> table;
      for (int i = 0; i < pixcmapGetCount(cmap); ++i) {
        l_int32 r, g, b;
        pixcmapGetColor(cmap, i, &r, &g, &b);
        table.push_back(qRgb(r, g, b));
      }
      while (table.size() < 256) table.push_back(qRgb(0, 0, 0));
      image.setColorTable(table);
    } else {
      image = QImage(w, h, QImage::Format_Grayscale8);
    }
    if (image.isNull()) return {};
    const int rowBytes = (w * d + 7) / 8;
    l_uint32* data = pixGetData(swapped.get());
    const int wpl = pixGetWpl(swapped.get());
    for (int y = 0; y < h; ++y)
      std::memcpy(image.scanLine(y), data + static_cast<std::size_t>(y) * wpl, static_cast<std::size_t>(rowBytes));
  }
  const int xres = pixGetXRes(pix.get());
  const int yres = pixGetYRes(pix.get());
  if (xres > 0) image.setDotsPerMeterX(static_cast<int>(std::lround(xres / 0.0254)));
  if (yres > 0) image.setDotsPerMeterY(static_cast<int>(std::lround(yres / 0.0254)));
  return image;
}

PixPtr fromQImage(const QImage& source) {
  if (source.isNull()) return nullptr;
  const int w = source.width();
  const int h = source.height();
  PixPtr pix;
  if (source.format() == QImage::Format_Grayscale8) {
    pix = own(pixCreate(w, h, 8));
    if (!pix) return nullptr;
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < h; ++y) {
      const uchar* src = source.constScanLine(y);
      l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
      for (int x = 0; x < w; ++x) SET_DATA_BYTE(line, x, src[x]);
    }
  } else {
    const QImage rgb = source.convertToFormat(source.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    pix = own(pixCreate(w, h, 32));
    if (!pix) return nullptr;
    if (source.hasAlphaChannel()) pixSetSpp(pix.get(), 4);
    l_uint32* data = pixGetData(pix.get());
    const int wpl = pixGetWpl(pix.get());
    for (int y = 0; y < h; ++y) {
      const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
      l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
      for (int x = 0; x < w; ++x) line[x] = (src[x] << 8) | static_cast<l_uint32>(qAlpha(src[x]));
    }
  }
  const int xres = static_cast<int>(std::lround(source.dotsPerMeterX() * 0.0254));
  const int yres = static_cast<int>(std::lround(source.dotsPerMeterY() * 0.0254));
  pixSetResolution(pix.get(), xres, yres);
  return pix;
}

}  // namespace platform::imaging
