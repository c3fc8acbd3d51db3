#include "formats/kpx_draw_reader.h"

#include "formats/file_bytes.h"
#include "platform/byte_order.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::string_view kSignature{"Kpx Draw\0", 9};
constexpr std::size_t kWidthAt = 24;
constexpr std::size_t kHeightAt = 28;
constexpr std::size_t kDpiAt = 32;
constexpr std::size_t kDataAt = 68;
constexpr std::size_t kBmpHeaderBytes = 62;  // file header, info header, two palette entries
constexpr double kInchesPerMetre = 39.37007874015748;
constexpr std::int32_t kMaxDpi = 65535;

std::int32_t readInt32(std::string_view bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  return static_cast<std::int32_t>(v);
}


void writeBmpHeader(std::uint8_t* p, std::uint32_t fileBytes, std::int32_t width,
                    std::int32_t height, std::int32_t dpi) {
  auto ppm = static_cast<std::uint32_t>(
      dpi > 0 && dpi <= kMaxDpi ? static_cast<std::int32_t>(dpi * kInchesPerMetre) : 0);
  p[0] = 'B';
  p[1] = 'M';
  platform::storeLe32(p + 2, fileBytes);
  platform::storeLe32(p + 6, 0);
  platform::storeLe32(p + 10, kBmpHeaderBytes);
  platform::storeLe32(p + 14, 40);
  platform::storeLe32(p + 18, static_cast<std::uint32_t>(width));
  platform::storeLe32(p + 22, static_cast<std::uint32_t>(-height));  // top row first
  platform::storeLe16(p + 26, 1);
  platform::storeLe16(p + 28, 1);
  platform::storeLe32(p + 30, 0);
  platform::storeLe32(p + 34, 0);
  platform::storeLe32(p + 38, ppm);
  platform::storeLe32(p + 42, ppm);
  platform::storeLe32(p + 46, 2);
  platform::storeLe32(p + 50, 2);
  platform::storeLe32(p + 54, 0x00FFFFFF);  // 0: white
  platform::storeLe32(p + 58, 0x00000000);  // 1: black
}

}  // namespace

int decodeKpxDraw(std::string_view file, std::vector<std::uint8_t>& bitmap,
                  const KpxDrawLimits& limits) {
  if (file.size() < kDataAt || file.substr(0, kSignature.size()) != kSignature)
    return kKpxDrawNotKpxDraw;
  std::int32_t width = readInt32(file, kWidthAt);
  std::int32_t height = readInt32(file, kHeightAt);
  std::int32_t dpi = readInt32(file, kDpiAt);
  if (width <= 0 || height <= 0) return kKpxDrawNotKpxDraw;
  if (width > limits.maxSide || height > limits.maxSide) return kKpxDrawOutOfMemory;

  // All sizes in 64 bits: with 32-bit sides the products overflow 32 bits.
  const std::uint64_t rowIn = (static_cast<std::uint64_t>(width) + 15) / 16 * 2;
  const std::uint64_t rowOut = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
  const std::uint64_t dataBytes = rowIn * static_cast<std::uint64_t>(height);
  const std::uint64_t bmpBytes = rowOut * static_cast<std::uint64_t>(height) + kBmpHeaderBytes;
  if (bmpBytes > limits.maxBitmapBytes || bmpBytes > UINT32_MAX) return kKpxDrawOutOfMemory;

  std::vector<std::uint8_t> out;
  try {
    out.assign(static_cast<std::size_t>(bmpBytes), 0);
  } catch (const std::bad_alloc&) {
    return kKpxDrawOutOfMemory;
  }
  writeBmpHeader(out.data(), static_cast<std::uint32_t>(bmpBytes), width, height, dpi);

  std::uint64_t produced = 0;
  auto emit = [&](std::uint8_t value, std::uint64_t count) {
    count = std::min(count, dataBytes - produced);
    while (count > 0) {
      std::uint64_t row = produced / rowIn;
      std::uint64_t col = produced % rowIn;
      std::uint64_t n = std::min(count, rowIn - col);
      std::memset(out.data() + kBmpHeaderBytes + row * rowOut + col, value, n);
      produced += n;
      count -= n;
    }
  };
  std::size_t pos = kDataAt;
  while (pos < file.size() && produced < dataBytes) {
    auto b = static_cast<std::uint8_t>(file[pos++]);
    if (b == 0x00 || b == 0xFF) {
      if (pos >= file.size()) break;
      emit(b, static_cast<std::uint8_t>(file[pos++]));
    } else {
      emit(b, 1);
    }
  }
  bitmap = std::move(out);
  return kKpxDrawOk;
}

int KpxDrawReader(std::vector<std::uint8_t>& bitmap, std::size_t& size, const std::string& path) {
  KpxDrawLimits limits;
  // Run-length pairs expand at most 255/2 times, so no useful file is larger
  // than the biggest bitmap it may describe.
  auto file = fileio::readFileBytes(path, limits.maxBitmapBytes + kDataAt);
  if (file.error == fileio::ReadError::CannotOpen) return kKpxDrawCannotOpen;
  if (file.error == fileio::ReadError::TooLarge) return kKpxDrawOutOfMemory;
  std::vector<std::uint8_t> result;
  int rc = decodeKpxDraw(file.bytes, result, limits);
  if (rc != kKpxDrawOk) return rc;
  bitmap = std::move(result);
  size = bitmap.size();
  return kKpxDrawOk;
}
