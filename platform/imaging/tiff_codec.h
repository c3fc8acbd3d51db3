#pragma once
// TIFF through libtiff, in memory: examining (compression, photometric and
// subsampling decide the format code), decoding a page and writing one in
// the compression a format code names, optionally appended to an existing
// file's bytes. libtiff checks the directory offsets; its messages are kept
// off the terminal.

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>
#include <vector>

namespace platform::imaging {

short examineTiff(std::span<const std::uint8_t> bytes, int page, FileInfo& info);
short readTiff(std::span<const std::uint8_t> bytes, int page, PixPtr& out);
// quality: libjpeg quality 1-100 for the JPEG kinds. `existing`: bytes of a
// TIFF file to which the page is appended, or empty for a new file.
short writeTiff(Pix* pix, int formatCode, int bits, int jpegQuality,
                std::span<const std::uint8_t> existing, std::vector<std::uint8_t>& out);

}  // namespace platform::imaging
