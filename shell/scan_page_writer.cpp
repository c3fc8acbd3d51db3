#include "shell/scan_page_writer.h"

#include "platform/byte_order.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kFileHeaderSize = 14;
// Larger than any page a scanner gives (A3 at 1200 dpi in colour is about
// 0.8 GB); a header beyond it is garbage, not a page.
constexpr std::uint64_t kMaxPixelBytes = 0x40000000;


struct PageLayout {
  std::uint32_t headerSize = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t bitCount = 0;
  std::uint32_t paletteEntries = 0;
  std::uint64_t outRow = 0;
  std::uint64_t srcRow = 0;
};

std::optional<PageLayout> layoutOf(std::span<const std::uint8_t> block, bool newTwain) {
  if (block.size() < kInfoHeaderSize) return std::nullopt;
  const std::uint8_t* h = block.data();
  PageLayout l;
  l.headerSize = platform::loadLe32(h);
  const auto width = static_cast<std::int32_t>(platform::loadLe32(h + 4));
  const auto height = static_cast<std::int32_t>(platform::loadLe32(h + 8));
  l.bitCount = platform::loadLe16(h + 14);
  const std::uint32_t compression = platform::loadLe32(h + 16);
  const std::uint32_t statedSize = platform::loadLe32(h + 20);
  const std::uint32_t used = platform::loadLe32(h + 32);
  if (l.headerSize < kInfoHeaderSize || l.headerSize > block.size()) return std::nullopt;
  if (width <= 0 || height <= 0 || compression != 0) return std::nullopt;
  static constexpr std::uint16_t kDepths[] = {1, 4, 8, 16, 24, 32};
  if (std::find(std::begin(kDepths), std::end(kDepths), l.bitCount) == std::end(kDepths)) return std::nullopt;
  l.width = static_cast<std::uint32_t>(width);
  l.height = static_cast<std::uint32_t>(height);
  l.paletteEntries = l.bitCount == 1 ? 2 : l.bitCount == 8 ? 256 : used;
  // A 4-bit page that states no count has the full 16 entries.
  if (l.bitCount == 4 && l.paletteEntries == 0) l.paletteEntries = 16;
  if (l.paletteEntries > 256) return std::nullopt;
  const std::uint64_t pixelsAt = std::uint64_t{l.headerSize} + 4ull * l.paletteEntries;
  if (pixelsAt > block.size()) return std::nullopt;
  l.outRow = (std::uint64_t{l.width} * l.bitCount + 31) / 32 * 4;
  if (l.outRow * l.height > kMaxPixelBytes) return std::nullopt;
  if (newTwain) {
    l.srcRow = l.outRow;
  } else if (statedSize != 0) {
    l.srcRow = statedSize / l.height;
  } else {
    l.srcRow = (block.size() - pixelsAt) / l.height;
  }
  if (l.srcRow == 0) return std::nullopt;
  return l;
}

}  // namespace

std::optional<std::uint64_t> FreeSpaceOf(const std::string& folder) {
  QString path = QString::fromStdString(folder);
  // The folder may not exist yet; its drive is that of its nearest parent.
  while (!path.isEmpty() && !QFileInfo::exists(path)) {
    const QString parent = QFileInfo(path).path();
    if (parent == path) break;
    path = parent;
  }
  QStorageInfo storage(path);
  if (!storage.isValid() || !storage.isReady()) return std::nullopt;
  const qint64 free = storage.bytesAvailable();
  if (free < 0) return std::nullopt;
  return static_cast<std::uint64_t>(free);
}

ScanPageResult WriteScannedPage(std::span<const std::uint8_t> block, const std::string& path, bool newTwain,
                                const FreeSpaceProbe& freeSpace) {
  const std::optional<PageLayout> layout = layoutOf(block, newTwain);
  if (!layout) return ScanPageResult::BadHeader;
  const PageLayout& l = *layout;

  const std::string folder = QFileInfo(QString::fromStdString(path)).path().toStdString();
  const std::optional<std::uint64_t> free = freeSpace ? freeSpace(folder) : FreeSpaceOf(folder);
  if (!free) return ScanPageResult::NoDriveInfo;
  if (*free < block.size() + kScanSpaceReserve) return ScanPageResult::NoSpace;

  const std::uint64_t imageSize = l.outRow * l.height;
  const std::uint64_t paletteBytes = 4ull * l.paletteEntries;
  const std::uint64_t offset = kFileHeaderSize + kInfoHeaderSize + paletteBytes;
  std::vector<std::uint8_t> head(static_cast<std::size_t>(offset), 0);
  head[0] = 'B';
  head[1] = 'M';
  platform::storeLe32(head.data() + 2, static_cast<std::uint32_t>(offset + imageSize));
  platform::storeLe32(head.data() + 10, static_cast<std::uint32_t>(offset));
  std::uint8_t* info = head.data() + kFileHeaderSize;
  std::memcpy(info, block.data(), kInfoHeaderSize);
  platform::storeLe32(info, kInfoHeaderSize);
  platform::storeLe16(info + 12, 1);
  platform::storeLe32(info + 20, static_cast<std::uint32_t>(imageSize));
  platform::storeLe32(info + 32, l.paletteEntries);
  std::memcpy(info + kInfoHeaderSize, block.data() + l.headerSize, static_cast<std::size_t>(paletteBytes));

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return ScanPageResult::CannotCreate;
  bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
  std::vector<std::uint8_t> row(static_cast<std::size_t>(l.outRow));
  const std::uint64_t pixelsAt = l.headerSize + paletteBytes;
  for (std::uint32_t y = 0; ok && y < l.height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    const std::uint64_t from = pixelsAt + std::uint64_t{y} * l.srcRow;
    if (from < block.size()) {
      const std::uint64_t n = std::min({l.srcRow, l.outRow, block.size() - from});
      std::memcpy(row.data(), block.data() + from, static_cast<std::size_t>(n));
    }
    ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
  }
  if (std::fclose(file) != 0) ok = false;
  if (!ok) {
    std::remove(path.c_str());
    return ScanPageResult::CannotCreate;
  }
  return ScanPageResult::Written;
}
