// The control's TIFF codec against libtiff, in both directions.
#include "ocrctl/tiff_codec.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>
#include <tiffio.h>

#include <cstring>

using namespace ocrctl::tiff;

namespace {

constexpr int kW = 100;
constexpr int kH = 50;
constexpr int kRowBytes = (kW + 7) / 8;

// Runs of every length class: short, 64+, a full white row, single pixels.
std::vector<std::uint8_t> pattern() {
  std::vector<std::uint8_t> rows(static_cast<std::size_t>(kRowBytes) * kH, 0);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) {
      const bool ink = (y % 7 == 0 && x > 5) || (x % 13 == y % 13) || (y == 20 && x < 70) || x == kW - 1;
      if (ink && y != 30) rows[static_cast<std::size_t>(y) * kRowBytes + x / 8] |= 0x80 >> (x % 8);
    }
  }
  return rows;
}

struct Variant {
  const char* name;
  std::uint16_t order;
  int compression;
};
const Variant kVariants[] = {
    {"II none", kIntel, 1},       {"MM none", kMotorola, 1},  {"II MH", kIntel, 2},
    {"MM MH", kMotorola, 2},      {"II PackBits", kIntel, 32773}, {"MM PackBits", kMotorola, 32773},
};

}  // namespace

TEST(TiffCodec, OurFilesReadByLibtiff) {
  testsupport::TempDir dir;
  const auto rows = pattern();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    const std::string path = dir.file("ours.tif");
    {
      TiffFile file;
      ASSERT_EQ(file.create(path, v.order), kOk);
      file.init(4096);
      file.width = kW;
      file.height = kH;
      file.compression = v.compression;
      ASSERT_EQ(file.writeIfd(), kOk);
      ASSERT_EQ(file.writeRows(0, 0, 20, rows.data(), kRowBytes), kOk);
      ASSERT_EQ(file.writeRows(0, 20, kH - 20, rows.data() + 20 * kRowBytes, kRowBytes), kOk);
    }
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(tif, nullptr);
    EXPECT_EQ(TIFFIsBigEndian(tif) != 0, v.order == kMotorola);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(TIFFScanlineSize(tif)));
    for (int y = 0; y < kH; ++y) {
      ASSERT_EQ(TIFFReadScanline(tif, line.data(), static_cast<std::uint32_t>(y)), 1) << y;
      ASSERT_EQ(std::memcmp(line.data(), rows.data() + static_cast<std::size_t>(y) * kRowBytes, kRowBytes), 0) << y;
    }
    TIFFClose(tif);
  }
}

TEST(TiffCodec, LibtiffFilesReadByUs) {
  testsupport::TempDir dir;
  const auto rows = pattern();
  for (const Variant& v : kVariants) {
    SCOPED_TRACE(v.name);
    const std::string path = dir.file("theirs.tif");
    TIFF* tif = TIFFOpen(path.c_str(), v.order == kMotorola ? "wb" : "wl");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kW);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kH);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, v.compression == 2 ? COMPRESSION_CCITTRLE : v.compression);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16);  // several strips
    for (int y = 0; y < kH; ++y)
      ASSERT_EQ(TIFFWriteScanline(tif, const_cast<std::uint8_t*>(rows.data()) + static_cast<std::size_t>(y) * kRowBytes,
                                  static_cast<std::uint32_t>(y)), 1);
    TIFFClose(tif);

    TiffFile file;
    ASSERT_EQ(file.open(path), kOk);
    file.init(4096);
    ASSERT_EQ(file.readIfd(0), kOk);
    EXPECT_EQ(file.width, kW);
    EXPECT_EQ(file.rowsPerStrip, 16);
    std::vector<std::uint8_t> back(rows.size());
    ASSERT_EQ(file.readRows(0, 0, kH, back.data(), kRowBytes), kOk);
    EXPECT_EQ(back, rows);
  }
}

TEST(TiffCodec, BilevelLoaderRoundsTo64AndRejectsWhatItCannotRead) {
  testsupport::TempDir dir;
  const auto rows = pattern();
  const std::string path = dir.file("page.tif");
  {
    TiffFile file;
    ASSERT_EQ(file.create(path, kMotorola), kOk);
    file.init(4096);
    file.width = kW;
    file.height = kH;
    file.photometric = 1;  // black is zero: the loader turns it round
    file.compression = 32773;
    std::vector<std::uint8_t> inverted(rows);
    for (auto& b : inverted) b = static_cast<std::uint8_t>(~b);
    ASSERT_EQ(file.writeIfd(), kOk);
    ASSERT_EQ(file.writeRows(0, 0, kH, inverted.data(), kRowBytes), kOk);
  }
  platform::GlobalHandle block = 0;
  int w = 0, h = 0;
  ASSERT_EQ(loadTiffBilevel(path, &block, &w, &h), 0);
  EXPECT_EQ(w, 128);
  EXPECT_EQ(h, 64);
  const std::uint8_t* bits = platform::globalLock(block);
  for (int y = 0; y < 64; ++y) {
    for (int x = 0; x < 128; ++x) {
      const bool expected = y < kH && x < kW && (rows[static_cast<std::size_t>(y) * kRowBytes + x / 8] & (0x80 >> (x % 8)));
      ASSERT_EQ((bits[static_cast<std::size_t>(y) * 16 + x / 8] & (0x80 >> (x % 8))) != 0, expected) << x << "," << y;
    }
  }
  platform::globalFree(block);

  // Version word not 42.
  std::string bytes = testsupport::readFile(path);
  bytes[3] = 43;
  testsupport::writeFile(dir.file("v43.tif"), bytes);
  TiffFile file;
  EXPECT_EQ(file.open(dir.file("v43.tif")), kNotTiff);
  EXPECT_EQ(loadTiffBilevel(dir.file("v43.tif"), &block, &w, &h), -1102);
  EXPECT_EQ(loadTiffBilevel("", &block, &w, &h), -1101);

  // LZW: not among ours.
  TIFF* tif = TIFFOpen(dir.file("lzw.tif").c_str(), "w");
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, kW);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, kH);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  for (int y = 0; y < kH; ++y)
    TIFFWriteScanline(tif, const_cast<std::uint8_t*>(rows.data()) + static_cast<std::size_t>(y) * kRowBytes,
                      static_cast<std::uint32_t>(y));
  TIFFClose(tif);
  ASSERT_EQ(file.open(dir.file("lzw.tif")), kOk);
  file.init(4096);
  ASSERT_EQ(file.readIfd(0), kOk);
  std::vector<std::uint8_t> back(rows.size());
  EXPECT_EQ(file.readRows(0, 0, 1, back.data(), kRowBytes), kCompression);
  EXPECT_EQ(loadTiffBilevel(dir.file("lzw.tif"), &block, &w, &h), -1105);

  // Cut short: a read error, not a crash.
  bytes = testsupport::readFile(path);
  testsupport::writeFile(dir.file("short.tif"), bytes.substr(0, bytes.size() / 2));
  EXPECT_NE(loadTiffBilevel(dir.file("short.tif"), &block, &w, &h), 0);
}

TEST(TiffCodec, PackBitsRunsAndTheEntryTableLimit) {
  const std::vector<std::uint8_t> same(200, 0xAB);
  const auto encoded = packBitsEncodeRow(same.data(), same.size());
  EXPECT_EQ(encoded, (std::vector<std::uint8_t>{static_cast<std::uint8_t>(-127), 0xAB, static_cast<std::uint8_t>(-71), 0xAB}));
  const std::vector<std::uint8_t> mixed = {1, 2, 3, 3, 3, 4};
  const auto m = packBitsEncodeRow(mixed.data(), mixed.size());
  std::vector<std::uint8_t> back(mixed.size());
  const std::uint8_t* p = m.data();
  ASSERT_TRUE(packBitsDecodeRow(p, m.data() + m.size(), back.data(), back.size()));
  EXPECT_EQ(back, mixed);
  // A repeat that would overrun the row is refused.
  const std::vector<std::uint8_t> overrun = {static_cast<std::uint8_t>(-9), 7};
  p = overrun.data();
  EXPECT_FALSE(packBitsDecodeRow(p, overrun.data() + overrun.size(), back.data(), back.size()));

  TiffFile file;
  file.init(4096);
  for (int tag = 1; tag <= 341; ++tag) ASSERT_EQ(file.setTag(static_cast<std::uint16_t>(tag * 2), kShort, 1), kOk);
  EXPECT_EQ(file.setTag(1, kShort, 1), kNoFileOrFull);
  EXPECT_EQ(file.entries().size(), 341u);
  EXPECT_EQ(file.setTag(2, kShort, 5), kOk) << "an existing tag is overwritten";
  EXPECT_EQ(file.entries().front().tag, 2);
}
