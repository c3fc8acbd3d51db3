#include "formats/zrv_uni_reader.h"

#include "tests/support/test_env.h"

#include <tiffio.h>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>

namespace {

using testsupport::fileExists;
using testsupport::readFile;

const std::string kSignature("$$ZRV Uni\0\0\0", 12);

// A record with a zero-terminated value, or without one.
std::string rec(std::string_view tag, std::string_view value) {
  return "_" + std::string(tag) + std::string(value) + std::string(1, '\0');
}
std::string rec(std::string_view tag) { return "_" + std::string(tag); }
std::string row(std::string_view bytes) { return rec("DL", std::to_string(bytes.size())) + std::string(bytes); }

// 20 x 10 pixels, black and white, 200 dpi: 1200 units per inch, 6 a pixel.
const std::string kBwHeader = kSignature + rec("MU", "1200") + rec("Rs", "200,200") + rec("Sz", "120,60") +
                              rec("Co", "1") + rec("BP") + rec("BD") + rec("DS");

struct TiffCloser {
  void operator()(TIFF* t) const { TIFFClose(t); }
};

struct TiffInfo {
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 0, samples = 0, photometric = 0;
  float xres = 0, yres = 0;
  std::vector<std::string> rows;
};

TiffInfo readTiff(const std::string& path) {
  TiffInfo info;
  std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(path.c_str(), "r"));
  if (!tif) return info;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &info.width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &info.height);
  TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &info.bits);
  TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &info.samples);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &info.photometric);
  TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &info.xres);
  TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &info.yres);
  std::string line(static_cast<std::size_t>(TIFFScanlineSize(tif.get())), '\0');
  for (std::uint32_t y = 0; y < info.height; ++y) {
    if (TIFFReadScanline(tif.get(), line.data(), y) < 0) return {};
    info.rows.push_back(line);
  }
  return info;
}

// The directory of a 20 x 10 black-and-white page at 200 dpi, byte by byte.
std::string expectedBwHeader() {
  std::string h = std::string("II*\0\x08\0\0\0", 8) + std::string("\x0E\0", 2);
  auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t value) {
    const unsigned char e[12] = {
        static_cast<unsigned char>(tag), static_cast<unsigned char>(tag >> 8),
        static_cast<unsigned char>(type), 0, static_cast<unsigned char>(count), 0, 0, 0,
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    h.append(reinterpret_cast<const char*>(e), 12);
  };
  entry(254, 4, 1, 0);
  entry(256, 4, 1, 20);
  entry(257, 4, 1, 10);
  entry(258, 3, 1, 1);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, 0);
  entry(273, 4, 1, 206);
  entry(277, 3, 1, 1);
  entry(278, 4, 1, 10);
  entry(279, 4, 1, 30);
  entry(282, 5, 1, 190);
  entry(283, 5, 1, 198);
  entry(284, 3, 1, 1);
  entry(296, 3, 1, 2);
  h += std::string(4, '\0');  // no next directory: offset 182
  h += std::string(8, '\0');  // BitsPerSample room and padding: 190
  h += std::string("\xC8\0\0\0\x01\0\0\0\xC8\0\0\0\x01\0\0\0", 16);
  return h;
}

TEST(ZrvUniReader, WritesOneTiffPerPageWithRowsClampedToThePage) {
  testsupport::TempDir dir;
  const std::string file =
      kBwHeader +
      // page 1: a row, a short row, two blank rows, a row longer than the row, then the end
      row("\xF0\x0F\x81") + row("\x7E") + rec("WL", "2") + row("\x11\x22\x33\x44\x55") + rec("EP") +
      // page 2, introduced by _DS again: more blank rows than the page holds, a row past the end
      rec("DS") + rec("WL", "20") + row("\xFF\xFF\xFF") + rec("EP");
  ASSERT_TRUE(testsupport::writeFile(dir.file("in.zrv"), file));
  ASSERT_EQ(ZrvUniReader(dir.file("in.zrv"), dir.file("NTFORMAT")), 2);
  EXPECT_FALSE(fileExists(dir.file("NTFORMAT-3.tif")));

  std::string page1 = readFile(dir.file("NTFORMAT-1.tif"));
  ASSERT_EQ(page1.size(), 206u + 30u);
  EXPECT_EQ(page1.substr(0, 206), expectedBwHeader());
  std::string rows = std::string("\xF0\x0F\x81\x7E\0\0", 6) + std::string(6, '\0') + "\x11\x22\x33" +
                     std::string(15, '\0');
  EXPECT_EQ(page1.substr(206), rows);

  TiffInfo info = readTiff(dir.file("NTFORMAT-2.tif"));
  EXPECT_EQ(info.width, 20u);
  EXPECT_EQ(info.height, 10u);
  EXPECT_EQ(info.bits, 1);
  EXPECT_EQ(info.photometric, PHOTOMETRIC_MINISWHITE);
  EXPECT_EQ(info.xres, 200.0f);
  EXPECT_EQ(info.rows, std::vector<std::string>(10, std::string(3, '\0')));
}

TEST(ZrvUniReader, PixelSizeFollowsUnitResolutionAndTurn) {
  const struct {
    const char* name;
    std::string header;
    std::uint32_t width, height;
    float xres, yres;
  } cases[] = {
      {"whole units per pixel", rec("MU", "1200") + rec("Rs", "200,400") + rec("Sz", "120,60"), 20, 20, 200, 400},
      {"unit not a multiple of the resolution", rec("MU", "1000") + rec("Rs", "300,300") + rec("Sz", "300,600"), 90, 180, 300, 300},
      // A page of 10 x 5 inches in 254ths of an inch comes out exact at
      // every resolution.
      {"254 units at 200 dpi", rec("MU", "254") + rec("Rs", "200,200") + rec("Sz", "2540,1270"), 2000, 1000, 200, 200},
      {"254 units at 300 dpi", rec("MU", "254") + rec("Rs", "300,300") + rec("Sz", "2540,1270"), 3000, 1500, 300, 300},
      {"254 units at 400 dpi", rec("MU", "254") + rec("Rs", "400,400") + rec("Sz", "2540,1270"), 4000, 2000, 400, 400},
      {"turned page", rec("MU", "1200") + rec("Rs", "200,100") + rec("Sz", "120,60") + rec("Ro", "1"), 5, 20, 100, 200},
      {"resolution finer than the unit", rec("MU", "100") + rec("Rs", "300,200") + rec("Sz", "4,2"), 12, 4, 300, 200},
  };
  for (const auto& c : cases) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::writeFile(dir.file("in.zrv"), kSignature + c.header + rec("DS") + rec("EP")));
    ASSERT_EQ(ZrvUniReader(dir.file("in.zrv"), dir.file("p")), 1) << c.name;
    TiffInfo info = readTiff(dir.file("p-1.tif"));
    EXPECT_EQ(info.width, c.width) << c.name;
    EXPECT_EQ(info.height, c.height) << c.name;
    EXPECT_EQ(info.xres, c.xres) << c.name;
    EXPECT_EQ(info.yres, c.yres) << c.name;
  }
}

TEST(ZrvUniReader, ColourPagesAreRgbPaddedWhite) {
  testsupport::TempDir dir;
  const std::string file = kSignature + rec("MU", "600") + rec("Rs", "300,300") + rec("Sz", "4,6") +
                           rec("Co", "2") + rec("DS") + row("\x10\x20\x30\x40\x50\x60\x70") + rec("EP");
  ASSERT_TRUE(testsupport::writeFile(dir.file("in.zrv"), file));
  ASSERT_EQ(ZrvUniReader(dir.file("in.zrv"), dir.file("c")), 1);
  TiffInfo info = readTiff(dir.file("c-1.tif"));
  EXPECT_EQ(info.width, 2u);
  EXPECT_EQ(info.height, 3u);
  EXPECT_EQ(info.bits, 8);
  EXPECT_EQ(info.samples, 3);
  EXPECT_EQ(info.photometric, PHOTOMETRIC_RGB);
  EXPECT_EQ(info.rows, (std::vector<std::string>{"\x10\x20\x30\x40\x50\x60", std::string(6, '\xFF'),
                                                 std::string(6, '\xFF')}));
}

TEST(ZrvUniReader, BadFilesFailCleanlyAndLeaveNoPartialPage) {
  const std::string page = row("\xF0\x0F\x81") + rec("EP");
  const struct {
    const char* name;
    std::string file;
    int expected;
    int pagesLeft;
  } cases[] = {
      {"other signature", "$$ZRV Unx" + kBwHeader.substr(9) + page, 0, 0},
      {"shorter than the signature", "$$ZRV", 0, 0},
      {"signature without its zero", "$$ZRV Uni!!!" + kBwHeader.substr(12) + page, 0, 0},
      {"zero unit", kSignature + rec("MU", "0") + rec("Rs", "200,200") + rec("Sz", "120,60") + rec("DS") + page, 0, 0},
      {"zero resolution", kSignature + rec("MU", "1200") + rec("Rs", "200,0") + rec("Sz", "120,60") + rec("DS") + page, 0, 0},
      {"negative size", kSignature + rec("MU", "1200") + rec("Rs", "200,200") + rec("Sz", "-120,60") + rec("DS") + page, 0, 0},
      {"no unit", kSignature + rec("Rs", "200,200") + rec("Sz", "120,60") + rec("DS") + page, 0, 0},
      {"size below one pixel", kSignature + rec("MU", "1200") + rec("Rs", "200,200") + rec("Sz", "5,60") + rec("DS") + page, 0, 0},
      {"page far too large", kSignature + rec("MU", "1") + rec("Rs", "1000,1000") + rec("Sz", "60,60") + rec("DS") + page, 0, 0},
      {"number out of range", kSignature + rec("MU", "99999999999999") + rec("DS") + page, 0, 0},
      {"not a number", kSignature + rec("MU", "12a") + rec("DS") + page, 0, 0},
      {"value without its end", kSignature + "_MU1200", 0, 0},
      {"header ends early", kSignature + rec("MU", "1200") + rec("Rs", "200,200"), 0, 0},
      {"page record in the header", kSignature + rec("MU", "1200") + row("ab") + rec("DS") + page, 0, 0},
      {"no page data", kBwHeader, -1, 0},
      {"_A in a page", kBwHeader + row("abc") + rec("A") + page, -1, 0},
      {"_E in a page", kBwHeader + rec("E") + page, -1, 0},
      {"_W in a page", kBwHeader + rec("W") + page, -1, 0},
      {"negative row count", kBwHeader + rec("DL", "-3") + "abc" + rec("EP"), -1, 0},
      {"row data cut short", kBwHeader + rec("DL", "300") + "abc", -1, 0},
      {"first page without its end", kBwHeader + row("abc"), -1, 0},
      {"second page cut short", kBwHeader + page + row("abc") + rec("WL", "1"), -2, 1},
  };
  for (const auto& c : cases) {
    testsupport::TempDir dir;
    ASSERT_TRUE(testsupport::writeFile(dir.file("in.zrv"), c.file));
    EXPECT_EQ(ZrvUniReader(dir.file("in.zrv"), dir.file("p")), c.expected) << c.name;
    for (int n = 1; n <= 2; ++n)
      EXPECT_EQ(fileExists(dir.file("p-" + std::to_string(n) + ".tif")), n <= c.pagesLeft) << c.name << " page " << n;
  }
  testsupport::TempDir dir;
  EXPECT_EQ(ZrvUniReader(dir.file("missing.zrv"), dir.file("p")), 0);
  EXPECT_EQ(ZrvUniReader(dir.path(), dir.file("p")), 0);
  ASSERT_EQ(::mkfifo(dir.file("pipe.zrv").c_str(), 0600), 0);
  EXPECT_EQ(ZrvUniReader(dir.file("pipe.zrv"), dir.file("p")), 0);
  ASSERT_TRUE(testsupport::writeFile(dir.file("in.zrv"), kBwHeader + page));
  EXPECT_EQ(ZrvUniReader(dir.file("in.zrv"), dir.file("no/folder/p")), -1);
}

// Pages kept in memory, as the imaging layer may take them.
class MemoryPages : public ZrvPageSink {
 public:
  bool beginPage(int) override {
    current.clear();
    return true;
  }
  bool write(std::string_view bytes) override {
    current += bytes;
    return true;
  }
  bool endPage() override {
    pages.push_back(current);
    return true;
  }
  void abandonPage() override { current.clear(); }
  std::vector<std::string> pages;
  std::string current;
};

TEST(ZrvUniReader, ManyBlankPagesStopAtTheCaps) {
  std::string file = kBwHeader;
  for (int i = 0; i < 50; ++i) file += rec("EP");  // each one a whole page from 3 bytes
  {
    MemoryPages sink;
    ZrvUniLimits limits;
    limits.maxPages = 10;
    EXPECT_EQ(readZrvUni(file, sink, limits), -11);
    EXPECT_EQ(sink.pages.size(), 10u);
  }
  {
    MemoryPages sink;
    ZrvUniLimits limits;
    limits.maxTotalBytes = 4 * (206 + 30) + 100;
    EXPECT_EQ(readZrvUni(file, sink, limits), -5);
    EXPECT_EQ(sink.pages.size(), 4u);
  }
  MemoryPages sink;
  EXPECT_EQ(readZrvUni(file, sink), 50);
}

}  // namespace
