#include "platform/imaging/jpeg_reader.h"

#include <leptonica/allheaders.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

#include <jerror.h>

namespace platform::imaging {
namespace {

struct ReaderError {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  bool damaged;
  bool endOfFile;
};

void readerErrorExit(j_common_ptr info) {
  auto* err = reinterpret_cast<ReaderError*>(info->err);
  std::longjmp(err->jump, 1);
}

// Warnings (level -1) that mean rows were made up rather than decoded. The
// end of the file alone is not one: the decoder reads ahead, so a file that
// only lacks its end marker meets it after the last data it needs (where
// data was missing, the decoder also reports hitting the marker).
void readerMessage(j_common_ptr info, int level) {
  auto* err = reinterpret_cast<ReaderError*>(info->err);
  if (level != -1) return;
  switch (err->base.msg_code) {
    case JWRN_JPEG_EOF:
      err->endOfFile = true;
      break;
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION:
      err->damaged = true;
      break;
    default:
      break;
  }
}

// Adobe's programs store 255 - ink.
int inkOf(int stored, bool inverted) { return inverted ? 255 - stored : stored; }

void putRow(Pix* pix, int y, const JSAMPLE* row, int components, bool adobe) {
  l_uint32* line = pixGetData(pix) + static_cast<std::size_t>(y) * pixGetWpl(pix);
  const int w = pixGetWidth(pix);
  if (components == 1) {
    for (int x = 0; x < w; ++x) SET_DATA_BYTE(line, x, row[x]);
    return;
  }
  for (int x = 0; x < w; ++x) {
    const JSAMPLE* p = row + static_cast<std::size_t>(x) * components;
    l_int32 r, g, b;
    if (components == 4) {
      // what is left of white after each ink and the black
      const int k = 255 - inkOf(p[3], adobe);
      r = (255 - inkOf(p[0], adobe)) * k / 255;
      g = (255 - inkOf(p[1], adobe)) * k / 255;
      b = (255 - inkOf(p[2], adobe)) * k / 255;
    } else {
      r = p[0];
      g = p[1];
      b = p[2];
    }
    composeRGBPixel(r, g, b, line + x);
  }
}

// Kept free of C++ objects with destructors because libjpeg reports errors
// by longjmp; what is allocated after setjmp is reached through volatiles.
Pix* decodeRaw(const std::uint8_t* data, std::size_t size, int reduction, short* rc) {
  jpeg_decompress_struct cinfo;
  ReaderError err;
  Pix* volatile pix = nullptr;
  JSAMPLE* volatile row = nullptr;
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = readerErrorExit;
  err.base.emit_message = readerMessage;
  err.damaged = false;
  err.endOfFile = false;
  *rc = kErrorCorrupt;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    Pix* failed = pix;
    pixDestroy(&failed);
    std::free(row);
    return nullptr;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(reduction);
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK: case JCS_YCCK: cinfo.out_color_space = JCS_CMYK; break;
    default: cinfo.out_color_space = JCS_RGB; break;
  }
  jpeg_start_decompress(&cinfo);
  // A progressive file reads all its scans here; one cut short lacks scans.
  if (err.damaged || (err.endOfFile && cinfo.progressive_mode)) std::longjmp(err.jump, 1);
  const int w = static_cast<int>(cinfo.output_width);
  const int h = static_cast<int>(cinfo.output_height);
  const int components = cinfo.output_components;
  const bool adobe = cinfo.saw_Adobe_marker != 0;
  pix = pixCreate(w, h, components == 1 ? 8 : 32);
  row = static_cast<JSAMPLE*>(std::malloc(static_cast<std::size_t>(w) * components));
  if (pix == nullptr || row == nullptr) {
    *rc = kErrorNoMemory;
    std::longjmp(err.jump, 1);
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {row};
    const int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1 || err.damaged) std::longjmp(err.jump, 1);
    putRow(pix, y, row, components, adobe);
  }
  // Every row is decoded: a missing end marker after them loses nothing.
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::free(row);
  *rc = kOk;
  return pix;
}

}  // namespace

short readJpeg(std::span<const std::uint8_t> bytes, int reduction, PixPtr& out) {
  if (reduction != 1 && reduction != 2 && reduction != 4 && reduction != 8) return kErrorBadArgument;
  short rc = kErrorCorrupt;
  PixPtr pix(decodeRaw(bytes.data(), bytes.size(), reduction, &rc));
  if (!pix) return rc;
  out = std::move(pix);
  return kOk;
}

}  // namespace platform::imaging
