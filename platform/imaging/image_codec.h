#pragma once
// Decoding and encoding whole images by format code.
//
//   decodeImage   file bytes -> PIX (page from 1; reduction 1, 2, 4, 8 for JPEG),
//                 transparency composed onto white: what is held is never
//                 transparent, since documents are paper
//   flattenOntoWhite   an RGBA PIX composed onto white (others as they are)
//   encodeImage   PIX -> file bytes in a format code; TIFF kinds may append a page
//   jpegQualityFromFactor   the control's quality factor -> libjpeg quality
//
// BMP and TIFF go through our own code (bmp_codec, tiff_codec), JPEG is
// read and written by our own libjpeg code (jpeg_reader; chroma subsampling
// per format code when writing), GIF frames and transparent PNG by ours
// over giflib and libpng (gif_png_readers); other PNG and PNM reading goes
// through Leptonica.

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform::imaging {

PixPtr flattenOntoWhite(Pix* pix);
PixPtr decodeImage(std::span<const std::uint8_t> bytes, int page, int formatCode, int reduction);

// `bits` as the caller converted the PIX to (it only decides between 16, 24
// and 32 bits for bitmaps). `existing`: a TIFF file's bytes to append to.
short encodeImage(Pix* pix, int formatCode, int bits, int qualityFactor,
                  std::span<const std::uint8_t> existing, std::vector<std::uint8_t>& out);

// 2 (the callers' "low compression") gives 95, 120 gives 50, 255 gives 10;
// 0 and 1 count as 2.
int jpegQualityFromFactor(int factor);

bool canWriteFormat(int formatCode);

}  // namespace platform::imaging
