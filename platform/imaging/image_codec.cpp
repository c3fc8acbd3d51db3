#include "platform/imaging/image_codec.h"

#include "platform/imaging/magick_codec.h"

#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/gif_png_readers.h"
#include "platform/imaging/jpeg_reader.h"
#include "platform/imaging/tiff_codec.h"

#include <leptonica/allheaders.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace platform::imaging {
namespace {

struct JpegError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void jpegErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<JpegError*>(info->err);
  std::longjmp(err->jump, 1);
}
void jpegSilent(j_common_ptr, int) {}

// Writes 8-bit grey or 24-bit colour rows. Kept free of C++ objects with
// destructors because libjpeg reports errors by longjmp.
bool writeJpegRaw(const std::uint8_t* rows, int width, int height, int components, int stride,
                  int quality, int hSample, int vSample, int xDpi, int yDpi, unsigned char** out,
                  unsigned long* outSize) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = jpegErrorExit;
  err.base.emit_message = jpegSilent;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, outSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (components == 3) {
    cinfo.comp_info[0].h_samp_factor = hSample;
    cinfo.comp_info[0].v_samp_factor = vSample;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.write_JFIF_header = TRUE;
  cinfo.density_unit = 1;
  cinfo.X_density = static_cast<UINT16>(xDpi > 0 && xDpi < 65536 ? xDpi : kDefaultDpi);
  cinfo.Y_density = static_cast<UINT16>(yDpi > 0 && yDpi < 65536 ? yDpi : kDefaultDpi);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rows + static_cast<std::size_t>(cinfo.next_scanline) * stride);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

short writeJpeg(Pix* source, int formatCode, int qualityFactor, std::vector<std::uint8_t>& out) {
  using namespace format;
  PixPtr pix;
  if (hasOnlyGreys(source)) {
    pix.reset(pixGetDepth(source) == 8 && pixGetColormap(source) == nullptr ? pixClone(source)
                                                                            : pixConvertTo8(source, 0));
  } else {
    pix.reset(pixConvertTo32(source));
  }
  if (!pix) return kErrorNoMemory;
  const int w = pixGetWidth(pix.get());
  const int h = pixGetHeight(pix.get());
  const int components = pixGetDepth(pix.get()) == 8 ? 1 : 3;
  const int stride = w * components;
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(stride) * h);
  l_uint32* data = pixGetData(pix.get());
  const int wpl = pixGetWpl(pix.get());
  for (int y = 0; y < h; ++y) {
    l_uint32* line = data + static_cast<std::size_t>(y) * wpl;
    std::uint8_t* dst = rows.data() + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < w; ++x) {
      if (components == 1) {
        dst[x] = static_cast<std::uint8_t>(GET_DATA_BYTE(line, x));
      } else {
        l_int32 r, g, b;
        extractRGBValues(line[x], &r, &g, &b);
        dst[3 * x] = static_cast<std::uint8_t>(r);
        dst[3 * x + 1] = static_cast<std::uint8_t>(g);
        dst[3 * x + 2] = static_cast<std::uint8_t>(b);
      }
    }
  }
  const bool quarter = formatCode == kJpeg411 || formatCode == kExifJpeg411;
  const bool half = formatCode == kJpeg422;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  bool ok = writeJpegRaw(rows.data(), w, h, components, stride, jpegQualityFromFactor(qualityFactor),
                         quarter || half ? 2 : 1, quarter ? 2 : 1, pixGetXRes(pix.get()), pixGetYRes(pix.get()),
                         &buffer, &size);
  if (ok) out.assign(buffer, buffer + size);
  std::free(buffer);
  return ok ? kOk : kErrorFileWrite;
}

short takeLeptonicaBytes(l_ok rc, l_uint8* data, size_t size, std::vector<std::uint8_t>& out) {
  if (rc != 0 || data == nullptr) {
    lept_free(data);
    return kErrorFileWrite;
  }
  out.assign(data, data + size);
  lept_free(data);
  return kOk;
}

}  // namespace

int jpegQualityFromFactor(int factor) {
  if (factor < 2) factor = 2;
  if (factor > 255) factor = 255;
  if (factor <= 120) return 95 - (factor - 2) * 45 / 118;
  return 50 - (factor - 120) * 40 / 135;
}

bool canWriteFormat(int code) {
  using namespace format;
  return isTiff(code) || isJpeg(code) || code == kBmp || code == kWindowsBmp || code == kOs2Bmp ||
         code == kBmpRle || code == kPng || code == kGif || code == kPnm || code == kEps ||
         magickCoderOf(code) != nullptr;
}

PixPtr flattenOntoWhite(Pix* pix) {
  if (pix == nullptr || pixGetDepth(pix) != 32 || pixGetSpp(pix) != 4) return clonePix(pix);
  PixPtr out(pixAlphaBlendUniform(pix, 0xFFFFFF00));
  if (out) pixSetSpp(out.get(), 3);
  return out;
}

// A 1-bit image whose palette is black and white (in either order) becomes
// a plain 1-bit image (1 = black): Leptonica's 1-bit operations read the
// bits so and would turn a palette of white and black upside down.
PixPtr plainBilevel(Pix* pix) {
  PIXCMAP* cmap = pixGetColormap(pix);
  if (pixGetDepth(pix) != 1 || cmap == nullptr || pixcmapGetCount(cmap) != 2) return clonePix(pix);
  l_int32 r0, g0, b0, r1, g1, b1;
  pixcmapGetColor(cmap, 0, &r0, &g0, &b0);
  pixcmapGetColor(cmap, 1, &r1, &g1, &b1);
  const bool black0 = (r0 | g0 | b0) == 0, white0 = (r0 & g0 & b0) == 255;
  const bool black1 = (r1 | g1 | b1) == 0, white1 = (r1 & g1 & b1) == 255;
  if (!((black0 && white1) || (white0 && black1))) return clonePix(pix);
  PixPtr out(pixCopy(nullptr, pix));
  if (!out) return nullptr;
  pixDestroyColormap(out.get());
  if (black0) pixInvert(out.get(), out.get());
  pixSetPadBits(out.get(), 0);
  return out;
}

PixPtr decodeImage(std::span<const std::uint8_t> bytes, int page, int code, int reduction) {
  using namespace format;
  PixPtr pix;
  if (isBmp(code)) {
    if (readBmp(bytes, true, pix) != kOk) return nullptr;
  } else if (isTiff(code)) {
    if (readTiff(bytes, page, pix) != kOk) return nullptr;
  } else if (code == kGif) {
    if (readGif(bytes, page, pix) != kOk) return nullptr;
  } else if (page != 1) {
    return nullptr;
  } else if (isJpeg(code)) {
    if (readJpeg(bytes, reduction, pix) != kOk) return nullptr;
  } else if (code == kPng) {
    if (pngHasTransparency(bytes)) {
      if (readPngFlattened(bytes, pix) != kOk) return nullptr;
    } else {
      pix.reset(pixReadMemPng(bytes.data(), bytes.size()));
    }
  } else if (magickCoderOf(code) != nullptr) {
    pix = decodeWithMagick(bytes, code);
  } else if (code == kPnm) {
    pix.reset(pixReadMemPnm(bytes.data(), bytes.size()));
    // Grey levels with a small maximum come as 1, 2 or 4 bits: grey is held in 8.
    const bool grey = bytes.size() > 1 && (bytes[1] == '2' || bytes[1] == '5');
    if (pix && grey && pixGetDepth(pix.get()) < 8) pix.reset(pixConvertTo8(pix.get(), 0));
  }
  if (pix && pixGetDepth(pix.get()) == 16) pix.reset(pixConvertTo8(pix.get(), 0));
  if (pix && pixGetSpp(pix.get()) == 4) pix = flattenOntoWhite(pix.get());
  if (pix) pix = plainBilevel(pix.get());
  return pix;
}

short encodeImage(Pix* pix, int code, int bits, int qualityFactor, std::span<const std::uint8_t> existing,
                  std::vector<std::uint8_t>& out) {
  using namespace format;
  if (pix == nullptr) return kErrorNoImage;
  if (isTiff(code)) return writeTiff(pix, code, bits, jpegQualityFromFactor(qualityFactor), existing, out);
  if (isJpeg(code)) return writeJpeg(pix, code, qualityFactor, out);
  if (code == kBmp || code == kWindowsBmp || code == kOs2Bmp) return writeBmp(pix, bits, false, true, out);
  if (code == kBmpRle) return writeBmp(pix, bits, true, true, out);
  if (code == kEps) return encodeEps(pix, out);
  if (magickCoderOf(code) != nullptr) return encodeWithMagick(pix, code, out);
  l_uint8* data = nullptr;
  size_t size = 0;
  l_ok rc = 1;
  if (code == kPng) rc = pixWriteMemPng(&data, &size, pix, 0.0f);
  else if (code == kGif) rc = pixWriteMemGif(&data, &size, pix);
  else if (code == kPnm) rc = pixWriteMemPnm(&data, &size, pix);
  else return kErrorWriteFormat;
  return takeLeptonicaBytes(rc, data, size, out);
}

}  // namespace platform::imaging
