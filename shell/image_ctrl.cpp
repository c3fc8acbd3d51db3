#include "shell/image_ctrl.h"

#include "platform/byte_order.h"
#include "platform/global_memory.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {

constexpr short kPaletteFormat = 2;
constexpr std::size_t kRepairWindow = 1024;
constexpr std::uint16_t kOrientationTag = 274;
constexpr std::uint16_t kTypeShort = 3;

bool isTiffKind(short format) { return format == 27 || format == 28 || format == 29; }


}  // namespace

CImageCtrl::CImageCtrl(QWidget* parent) : CLead(parent) {}
CImageCtrl::~CImageCtrl() = default;

int CImageCtrl::ResetTiffOrientation(std::uint8_t* buffer, std::size_t length) {
  if (buffer == nullptr || length < 8) return 1;
  if (buffer[0] != 0x49 || buffer[1] != 0x49 || platform::loadLe16(buffer + 2) != 42) return 2;
  std::uint64_t offset = platform::loadLe32(buffer + 4);
  std::unordered_set<std::uint64_t> seen;
  while (offset + 2 <= length) {
    if (!seen.insert(offset).second) return 2;  // directories in a circle
    const std::uint16_t count = platform::loadLe16(buffer + offset);
    if (count == 0) return 2;
    for (std::uint32_t i = 0; i < count; ++i) {
      const std::uint64_t entry = offset + 2 + 12ull * i;
      if (entry + 12 > length) return 1;
      if (platform::loadLe16(buffer + entry) != kOrientationTag) continue;
      if (platform::loadLe16(buffer + entry + 2) != kTypeShort || platform::loadLe32(buffer + entry + 4) != 1) return 2;
      buffer[entry + 8] = 1;
      buffer[entry + 9] = 0;
      buffer[entry + 10] = 0;
      buffer[entry + 11] = 0;
      return 0;
    }
    const std::uint64_t next = offset + 2 + 12ull * count;
    if (next + 4 > length) return 1;
    offset = platform::loadLe32(buffer + next);
    if (offset == 0) return 3;
  }
  return 1;
}

short CImageCtrl::reduceForPaletteFormat(short bits) {
  // 0 and -1 keep the held depth where the palette format holds it (1 to 8
  // bits); a deeper image comes down to the format's 8.
  const short resolved = ResolveSaveBits(kPaletteFormat, bits);
  return ReduceColors(resolved >= 1 && resolved <= 8 ? resolved : 8, 1, 0, 0);
}

short CImageCtrl::SaveToFile(const std::string& path, short format, short bits, short quality, short multiPage) {
  if (format == kPaletteFormat) {
    if (short rc = reduceForPaletteFormat(bits); rc != 0) return rc;
  }
  const short rc = SaveFile(path, format, bits, quality, multiPage);
  if (rc != 0 || !isTiffKind(format)) return rc;
  const QString name = QString::fromStdString(path);
  QFileInfo status(name);
  if (!status.exists()) return 1;
  // The repair never fails the save: any file error keeps what was written.
  QFile file(name);
  if (!file.open(QIODevice::ReadWrite)) return 0;
  const qint64 length = std::min<qint64>(status.size(), static_cast<qint64>(kRepairWindow));
  std::vector<std::uint8_t> head(static_cast<std::size_t>(std::max<qint64>(length, 0)));
  if (file.read(reinterpret_cast<char*>(head.data()), length) != length) return 0;
  if (ResetTiffOrientation(head.data(), head.size()) == 0 && file.seek(0))
    file.write(reinterpret_cast<const char*>(head.data()), length);
  return 0;
}

short CImageCtrl::SaveToMemory(std::int32_t* handle, short format, short bits, short quality, std::int32_t* size) {
  if (format == kPaletteFormat) {
    if (short rc = reduceForPaletteFormat(bits); rc != 0) return rc;
  }
  const short rc = SaveMemory(handle, format, bits, quality, size);
  if (rc != 0 || !isTiffKind(format)) return rc;
  if (std::uint8_t* block = platform::globalLock(*handle); block != nullptr) {
    ResetTiffOrientation(block, platform::globalSize(*handle));
    platform::globalUnlock(*handle);
  }
  return rc;
}
