#pragma once
// The image formats that ImageMagick's Magick++ reads and writes for us:
// ZSoft PCX, TARGA, Adobe Photoshop, Sun Raster and CALS Raster; Apple PICT
// and raw fax (Group 3 one-dimensional, Group 4) are written only, since
// their files carry no signature to know them by. Encapsulated PostScript
// is written through Leptonica (ImageMagick's PostScript coders are switched
// off by Debian's policy, and reading PostScript needs an interpreter).
//
//   magickCoderOf   the Magick++ coder of a format code, or nullptr
//   decodeWithMagick   file bytes of such a format -> PIX
//   encodeWithMagick   PIX -> file bytes of such a format
//   encodeEps          PIX -> Encapsulated PostScript
//
// Method: a PIX crosses to Magick++ as 8-bit RGB (or grey) pixels and comes
// back the same way; the depth the caller converted the PIX to chooses the
// image type written (1 bit: bilevel, a palette: that many colours, grey,
// else true colour). Magick++ never throws across this boundary: every
// failure becomes the engine's error code. Images are limited in pixels
// before they are decoded (kMaxMagickPixels), so a small hostile file cannot
// ask for gigabytes.

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform::imaging {

namespace format {
inline constexpr int kPcx = 1;
inline constexpr int kTarga = 4;
inline constexpr int kEps = 16;
inline constexpr int kCals = 50;
inline constexpr int kSunRaster = 55;
inline constexpr int kPict = 56;
inline constexpr int kFaxG3OneD = 66;
inline constexpr int kFaxG4 = 68;
inline constexpr int kPhotoshop = 76;
}  // namespace format

inline constexpr std::uint64_t kMaxMagickPixels = 200ull * 1000 * 1000;

const char* magickCoderOf(int formatCode);
PixPtr decodeWithMagick(std::span<const std::uint8_t> bytes, int formatCode);
short encodeWithMagick(Pix* pix, int formatCode, std::vector<std::uint8_t>& out);
short encodeEps(Pix* pix, std::vector<std::uint8_t>& out);

}  // namespace platform::imaging
