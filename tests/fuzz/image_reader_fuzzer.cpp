// libFuzzer target: the image engine's own readers (the header inspection of
// every format, the BMP and TIFF decoders), with a cap on the claimed size
// so that a lying header cannot make a run slow.
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
    img::PixPtr pix = img::decodeImage(bytes, 1, info.format, 1);
    if (pix && img::format::isBmp(info.format) &&
        (pixGetWidth(pix.get()) != info.width || pixGetHeight(pix.get()) != info.height))
      __builtin_trap();
  }
  img::BmpHeader header;
  if (img::parseBmpHeader(bytes, false, header) == img::kOk &&
      static_cast<std::uint64_t>(header.width) * header.height <= (4u << 20)) {
    img::PixPtr dib;
    img::readBmp(bytes, false, dib);
  }
  return 0;
}
