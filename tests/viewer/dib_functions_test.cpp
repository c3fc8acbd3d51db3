// The DIB functions: the reader refuses anything but a sound BMP, the
// palette follows the colour table, and painting copies or stretches.

#include "viewer/dib_functions.h"

#include "platform/global_memory.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void put16(std::vector<std::uint8_t>& b, std::size_t at, int v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::int64_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A BMP file: 14-byte file header, 40-byte info header, colour table, rows.
std::vector<std::uint8_t> bmpFile(int width, int height, int bits, int clrUsed = 0) {
  const int colours = clrUsed != 0 ? clrUsed : (bits <= 8 ? 1 << bits : 0);
  const int stride = ((width * bits + 31) / 32) * 4;
  const std::size_t size = 14 + 40 + static_cast<std::size_t>(colours) * 4 + static_cast<std::size_t>(stride) * height;
  std::vector<std::uint8_t> b(size, 0);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, static_cast<std::int64_t>(size));
  put32(b, 10, 14 + 40 + colours * 4);
  put32(b, 14, 40);
  put32(b, 18, width);
  put32(b, 22, height);
  put16(b, 26, 1);
  put16(b, 28, bits);
  put32(b, 46, clrUsed);
  for (int i = 0; i < colours; ++i) {
    const std::size_t at = 54 + static_cast<std::size_t>(i) * 4;
    b[at] = static_cast<std::uint8_t>(i);          // blue
    b[at + 1] = static_cast<std::uint8_t>(255 - i);  // green
    b[at + 2] = static_cast<std::uint8_t>(i / 2);    // red
  }
  return b;
}

platform::GlobalHandle read(const std::vector<std::uint8_t>& bytes) {
  QByteArray data(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  return ReadDIBFile(buffer);
}

TEST(DibFunctions, ReaderRefusesWhatIsNoSoundBitmap) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  auto notBm = bmpFile(4, 4, 8);
  notBm[0] = 'P';
  auto shortHeader = bmpFile(4, 4, 8);
  shortHeader.resize(10);
  auto oddHeader = bmpFile(4, 4, 8);
  put32(oddHeader, 14, 41);
  auto tooManyColours = bmpFile(4, 4, 1, 3);  // 3 > 2^1
  auto over256 = bmpFile(4, 4, 8, 300);
  auto rowsOutside = bmpFile(4, 4, 24);
  put32(rowsOutside, 22, 4000);  // more rows than the block holds
  auto truncated = bmpFile(16, 16, 8);
  truncated.resize(truncated.size() - 40);
  auto badBits = bmpFile(4, 4, 8);
  put16(badBits, 28, 7);
  auto compressed = bmpFile(4, 4, 8);
  put32(compressed, 30, 1);
  const Case cases[] = {{"not BM", notBm},           {"shorter than the file header", shortHeader},
                        {"header of 41 bytes", oddHeader}, {"more colours than 1 bit holds", tooManyColours},
                        {"more than 256 colours", over256}, {"rows beyond the block", rowsOutside},
                        {"file cut short", truncated},    {"bit count 7", badBits},
                        {"run-length rows", compressed}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(read(c.bytes), 0);
  }
}

TEST(DibFunctions, SizesAndPaletteFollowTheHeader) {
  const platform::GlobalHandle eight = read(bmpFile(5, 3, 8));
  ASSERT_NE(eight, 0);
  const std::uint8_t* header = platform::globalLock(eight);
  EXPECT_EQ(DIBWidth(header), 5);
  EXPECT_EQ(DIBHeight(header), 3);
  EXPECT_EQ(DIBColorTableSize(header), 1024);
  EXPECT_EQ(DIBBits(header) - header, 40 + 1024);
  QVector<QRgb> palette;
  EXPECT_EQ(CreateDIBPalette(eight, palette), 1);
  ASSERT_EQ(palette.size(), 256);
  EXPECT_EQ(palette[10], qRgb(5, 245, 10));
  platform::globalFree(eight);

  // biClrUsed names the table's size.
  const platform::GlobalHandle sixteen = read(bmpFile(2, 2, 8, 16));
  ASSERT_NE(sixteen, 0);
  EXPECT_EQ(DIBColorTableSize(platform::globalLock(sixteen)), 64);
  EXPECT_EQ(CreateDIBPalette(sixteen, palette), 1);
  EXPECT_EQ(palette.size(), 16);
  platform::globalFree(sixteen);

  // A 24-bit DIB has no colour table and no palette.
  const platform::GlobalHandle rgb = read(bmpFile(3, 3, 24));
  ASSERT_NE(rgb, 0);
  EXPECT_EQ(DIBColorTableSize(platform::globalLock(rgb)), 0);
  EXPECT_EQ(CreateDIBPalette(rgb, palette), 0);
  EXPECT_TRUE(palette.isEmpty());
  platform::globalFree(rgb);
}

TEST(DibFunctions, PaintCopiesEqualSizesAndStretchesOthers) {
  EXPECT_FALSE(DIBPaintStretches(QRect(10, 10, 4, 2), QRect(0, 0, 4, 2)));
  EXPECT_TRUE(DIBPaintStretches(QRect(0, 0, 8, 4), QRect(0, 0, 4, 2)));

  // A 24-bit DIB, 2 x 2, bottom-up: the first row in the file is the lowest.
  auto bytes = bmpFile(2, 2, 24);
  const std::size_t rows = 54;
  const std::uint8_t bottom[] = {0, 0, 255, 0, 255, 0};  // red, green (BGR)
  const std::uint8_t top[] = {255, 0, 0, 255, 255, 255};  // blue, white
  std::memcpy(bytes.data() + rows, bottom, 6);
  std::memcpy(bytes.data() + rows + 8, top, 6);
  const platform::GlobalHandle dib = read(bytes);
  ASSERT_NE(dib, 0);
  QImage target(4, 4, QImage::Format_RGB32);
  target.fill(Qt::black);
  {
    QPainter painter(&target);
    EXPECT_EQ(PaintDIB(painter, QRect(1, 1, 2, 2), dib, QRect(0, 0, 2, 2), nullptr), 2);
  }
  EXPECT_EQ(target.pixel(1, 1), qRgb(0, 0, 255));
  EXPECT_EQ(target.pixel(2, 1), qRgb(255, 255, 255));
  EXPECT_EQ(target.pixel(1, 2), qRgb(255, 0, 0));
  EXPECT_EQ(target.pixel(2, 2), qRgb(0, 255, 0));
  EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 0));
  {
    QPainter painter(&target);
    EXPECT_EQ(PaintDIB(painter, QRect(0, 0, 4, 4), dib, QRect(0, 0, 2, 2), nullptr), 2);
  }
  EXPECT_EQ(target.pixel(0, 0), qRgb(0, 0, 255));
  EXPECT_EQ(target.pixel(3, 3), qRgb(0, 255, 0));
  platform::globalFree(dib);
  QImage untouched(2, 2, QImage::Format_RGB32);
  QPainter painter(&untouched);
  EXPECT_EQ(PaintDIB(painter, QRect(0, 0, 2, 2), 0, QRect(0, 0, 2, 2), nullptr), 0);
}

}  // namespace
