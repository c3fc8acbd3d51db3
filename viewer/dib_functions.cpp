#include "viewer/dib_functions.h"

#include <QIODevice>
#include <QImage>
#include <QPainter>

#include <cstring>

namespace {

std::uint32_t u32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::int32_t s32(const std::uint8_t* p) { return static_cast<std::int32_t>(u32(p)); }
std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

bool isInfoHeader(const std::uint8_t* header) { return u32(header) == kDibInfoHeaderSize; }
int bitCount(const std::uint8_t* header) { return isInfoHeader(header) ? u16(header + 14) : u16(header + 10); }
int headerSize(const std::uint8_t* header) {
  return static_cast<int>(isInfoHeader(header) ? kDibInfoHeaderSize : kDibCoreHeaderSize);
}
std::int64_t rowBytes(const std::uint8_t* header) {
  return ((static_cast<std::int64_t>(DIBWidth(header)) * bitCount(header) + 31) / 32) * 4;
}
int colourCount(const std::uint8_t* header) {
  if (isInfoHeader(header) && u32(header + 32) != 0) return static_cast<int>(u32(header + 32));
  switch (bitCount(header)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

// The checks that make the walks of the other functions safe.
bool headerIsSound(const std::uint8_t* block, std::size_t size) {
  if (size < 4) return false;
  const std::uint32_t declared = u32(block);
  if (declared != kDibInfoHeaderSize && declared != kDibCoreHeaderSize) return false;
  if (size < declared) return false;
  const int bits = bitCount(block);
  const int planes = isInfoHeader(block) ? u16(block + 12) : u16(block + 8);
  if (planes != 1) return false;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (DIBWidth(block) <= 0 || DIBHeight(block) == 0) return false;
  if (isInfoHeader(block)) {
    if (u32(block + 16) != 0) return false;  // compressed rows cannot be checked
    const std::uint32_t used = u32(block + 32);
    const std::uint32_t most = bits <= 8 ? (1u << bits) : 0;
    if (used > most || used > 256) return false;
  }
  const std::int64_t height = std::abs(static_cast<std::int64_t>(DIBHeight(block)));
  const std::int64_t end = headerSize(block) + DIBColorTableSize(block) + rowBytes(block) * height;
  return end <= static_cast<std::int64_t>(size);
}

}  // namespace

platform::GlobalHandle ReadDIBFile(QIODevice& file) {
  std::uint8_t fileHeader[kDibFileHeaderSize];
  if (file.read(reinterpret_cast<char*>(fileHeader), kDibFileHeaderSize) != kDibFileHeaderSize) return 0;
  if (u16(fileHeader) != kDibFileType) return 0;
  const qint64 length = file.size();
  if (length <= kDibFileHeaderSize) return 0;
  const platform::GlobalHandle block = platform::globalAlloc(static_cast<std::size_t>(length));
  if (block == 0) return 0;
  std::uint8_t* bytes = platform::globalLock(block);
  const qint64 wanted = length - kDibFileHeaderSize;
  const bool complete = file.read(reinterpret_cast<char*>(bytes), wanted) == wanted;
  platform::globalUnlock(block);
  if (!complete || !headerIsSound(bytes, static_cast<std::size_t>(wanted))) {
    platform::globalFree(block);
    return 0;
  }
  return block;
}

int DIBWidth(const std::uint8_t* header) { return isInfoHeader(header) ? s32(header + 4) : u16(header + 4); }

int DIBHeight(const std::uint8_t* header) { return isInfoHeader(header) ? s32(header + 8) : u16(header + 6); }

int DIBColorTableSize(const std::uint8_t* header) {
  if (isInfoHeader(header)) {
    if (u32(header + 32) != 0) return static_cast<int>(u32(header + 32)) * 4;
    switch (bitCount(header)) {
      case 1: return 8;
      case 4: return 64;
      case 8: return 1024;
      default: return 0;
    }
  }
  switch (bitCount(header)) {
    case 1: return 2 * 3;
    case 4: return 16 * 3;
    case 8: return 256 * 3;
    default: return 0;
  }
}

const std::uint8_t* DIBBits(const std::uint8_t* header) {
  return header + headerSize(header) + DIBColorTableSize(header);
}

int CreateDIBPalette(platform::GlobalHandle dib, QVector<QRgb>& palette) {
  palette.clear();
  const std::uint8_t* header = platform::globalLock(dib);
  if (header == nullptr) return 0;
  const int count = colourCount(header);
  const int entry = isInfoHeader(header) ? 4 : 3;
  const std::uint8_t* table = header + headerSize(header);
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* e = table + i * entry;  // blue, green, red
    palette.push_back(qRgb(e[2], e[1], e[0]));
  }
  platform::globalUnlock(dib);
  return count > 0 ? 1 : 0;
}

bool DIBPaintStretches(const QRect& dest, const QRect& source) { return dest.size() != source.size(); }

int PaintDIB(QPainter& painter, const QRect& dest, platform::GlobalHandle dib, const QRect& source,
             const QVector<QRgb>* palette) {
  const std::uint8_t* header = platform::globalLock(dib);
  if (header == nullptr) return 0;
  const int width = DIBWidth(header);
  const int height = DIBHeight(header);
  const int rows = std::abs(height);
  const int bits = bitCount(header);
  QImage::Format format = QImage::Format_Invalid;
  switch (bits) {
    case 1: format = QImage::Format_Mono; break;
    case 4:
    case 8: format = QImage::Format_Indexed8; break;
    case 16: format = QImage::Format_RGB555; break;
    case 24: format = QImage::Format_BGR888; break;
    case 32: format = QImage::Format_RGB32; break;
    default: break;
  }
  QImage image(width, rows, format == QImage::Format_Invalid ? QImage::Format_RGB32 : format);
  const std::int64_t stride = rowBytes(header);
  const std::uint8_t* pixels = DIBBits(header);
  for (int y = 0; y < rows; ++y) {
    // Rows run upwards unless the height is negative.
    const std::uint8_t* row = pixels + stride * (height > 0 ? rows - 1 - y : y);
    uchar* out = image.scanLine(y);
    if (bits == 4) {
      for (int x = 0; x < width; ++x) out[x] = (x % 2 == 0) ? (row[x / 2] >> 4) : (row[x / 2] & 0x0F);
    } else if (bits == 16) {
      for (int x = 0; x < width; ++x) reinterpret_cast<quint16*>(out)[x] = u16(row + 2 * x);
    } else {
      std::memcpy(out, row, static_cast<std::size_t>(std::min<std::int64_t>(stride, image.bytesPerLine())));
    }
  }
  if (bits <= 8) {
    QVector<QRgb> table;
    if (palette != nullptr && !palette->isEmpty()) {
      table = *palette;
    } else {
      CreateDIBPalette(dib, table);
    }
    table.resize(1 << bits);
    image.setColorTable(table);
  }
  platform::globalUnlock(dib);
  if (DIBPaintStretches(dest, source))
    painter.drawImage(dest, image, source);
  else
    painter.drawImage(dest.topLeft(), image, source);
  return rows;
}
