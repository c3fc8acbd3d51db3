#pragma once
// Operations on decoded images. Each takes a PIX and returns a new one
// (nullptr when out of memory); the source is never changed.
//
//   convertToBits      depth for saving: 0 grey, 1 black and white, 2-8
//                      palette (grey levels for grey images), 16/24/32 colour
//   reduceWithPalette  nearest entries of a given palette (grey ramps and
//                      black/white pairs take the fast paths)
//   toGrey8, invertImage, rotateImage, resizeImage, createBlank
//   despeckle          removes isolated specks only (see below)
//   findSkew / deskew  skew from Leptonica's sweep-and-search, corrected only
//                      above our own confidence threshold
//   toQImage / fromQImage   for drawing with QPainter
//
// Despeckle: a speck is a connected ink component no larger than
// kMaxSpeckMm on either side, with no other (non-speck) ink within
// kSpeckIsolationMm. Thin strokes, dots of i and j, dakuten and broken
// strokes of Japanese characters all lie close to other ink and stay; only
// dirt on the open paper goes. Removing every small component instead was
// measured to break thin strokes of vertical Japanese text.
//
// Deskew: the skew is measured along text lines and, for vertical writing,
// along the columns (the page turned by a quarter), keeping the surer of the
// two. Leptonica's own deskew refuses corrections below a confidence of 3.0,
// which pages of Japanese text often do not reach (2.2-2.8 measured on
// scans, 1.6-2.4 on a few rendered columns of vertical text, where the angle
// is still right within 0.15 degrees); we accept kDeskewMinConfidence, above
// what blank and noisy pages give, and ignore angles under kDeskewMinDegrees.

#include "platform/imaging/image.h"

#include <QImage>

#include <array>
#include <cstdint>

namespace platform::imaging {

inline constexpr double kMaxSpeckMm = 0.3;
inline constexpr double kSpeckIsolationMm = 0.6;
inline constexpr float kDeskewMinConfidence = 1.5f;
inline constexpr float kDeskewMinDegrees = 0.1f;

PixPtr convertToBits(Pix* pix, int bits, bool dither);
// palette entries as 0x00RRGGBB
PixPtr reduceWithPalette(Pix* pix, int bits, const std::array<std::uint32_t, 256>& palette, bool dither);
PixPtr toGrey8(Pix* pix);
PixPtr invertImage(Pix* pix);
// angle in hundredths of a degree, clockwise; `enlarge` keeps the whole image
// on a larger canvas filled with white (fill 0xFFFFFF) or black (0).
PixPtr rotateImage(Pix* pix, int hundredths, bool enlarge, std::uint32_t fill);
// smooth: resample (area mapping / interpolation); else nearest pixel, where
// 1-bit images are first halved keeping every stroke
PixPtr resizeImage(Pix* pix, int width, int height, bool smooth);
PixPtr createBlank(int width, int height, int bits);
PixPtr despeckle(Pix* pix, int dpi);
// false when no skew could be measured
bool findSkew(Pix* pix, float& degrees, float& confidence);
PixPtr deskew(Pix* pix, float* appliedDegrees = nullptr);

QImage toQImage(Pix* pix);
PixPtr fromQImage(const QImage& image);

}  // namespace platform::imaging
