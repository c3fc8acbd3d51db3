// libFuzzer target: the image engine's own readers (the header inspection of
// every format, the decoders of every page), with a cap on the claimed size
// so that a lying header cannot make a run slow. A decoded page must be what
// examining reported: its size, its depth, and nothing transparent.
#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/image.h"
#include "platform/imaging/image_codec.h"

#include <leptonica/allheaders.h>

#include <cstddef>
#include <cstdint>
#include <span>

namespace img = platform::imaging;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = (setMsgSeverity(L_SEVERITY_NONE), true);
  (void)quiet;
  std::span<const std::uint8_t> bytes(data, size);
  img::FileInfo info;
  if (img::examineImage(bytes, 1, info) == img::kOk &&
      static_cast<std::uint64_t>(info.width) * info.height <= (4u << 20)) {
    // Every page that examining reports decodes into what it reported, or fails.
    const int pages = info.pageCount < 3 ? info.pageCount : 3;
    for (int page = 1; page <= pages; ++page) {
      if (img::examineImage(bytes, page, info) != img::kOk) continue;
      img::PixPtr pix = img::decodeImage(bytes, page, info.format, 1);
      if (!pix) continue;
      if (pixGetWidth(pix.get()) != info.width || pixGetHeight(pix.get()) != info.height) __builtin_trap();
      if (pixGetSpp(pix.get()) == 4) __builtin_trap();  // nothing held is transparent
      const bool bitmap16 = img::format::isBmp(info.format) && info.bitsPerPixel == 16;
      if (!bitmap16 && img::reportedBits(pix.get()) != info.bitsPerPixel) __builtin_trap();
    }
    if (img::format::isJpeg(info.format)) img::decodeImage(bytes, 1, info.format, 8);
  }
  img::BmpHeader header;
  if (img::parseBmpHeader(bytes, false, header) == img::kOk &&
      static_cast<std::uint64_t>(header.width) * header.height <= (4u << 20)) {
    img::PixPtr dib;
    img::readBmp(bytes, false, dib);
  }
  return 0;
}
