#include "formats/kpx_draw_reader.h"

#include "tests/support/test_env.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string le32(std::int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((static_cast<std::uint32_t>(v) >> (8 * i)) & 0xFF);
  return s;
}

std::string kpxFile(std::int32_t width, std::int32_t height, std::int32_t dpi, std::string_view data) {
  std::string f(68, '\x55');  // bytes nobody reads are not zero either
  std::memcpy(f.data(), "Kpx Draw\0", 9);
  f.replace(24, 4, le32(width));
  f.replace(28, 4, le32(height));
  f.replace(32, 4, le32(dpi));
  return f + std::string(data);
}

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct PixDeleter {
  void operator()(PIX* p) const { pixDestroy(&p); }
};

TEST(KpxDrawReader, DecodesRunsIntoATopDownOneBitBmp) {
  testsupport::TempDir dir;
  // 40 pixels: 6 bytes a row in the file, 8 in the BMP.
  const std::string data = std::string("\x81\x42\x0F\xF0\x55\xAA", 6)  // literal bytes
                           + std::string("\xFF\x06", 2)                 // a black row
                           + std::string("\x00\x02\x3C\xFF\x03", 5);    // white, literal, black
  ASSERT_TRUE(testsupport::writeFile(dir.file("d.kpx"), kpxFile(40, 3, 200, data)));
  std::vector<std::uint8_t> bmp;
  std::size_t size = 0;
  ASSERT_EQ(KpxDrawReader(bmp, size, dir.file("d.kpx")), kKpxDrawOk);
  ASSERT_EQ(size, 62u + 3 * 8);
  ASSERT_EQ(bmp.size(), size);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  EXPECT_EQ(u32At(bmp, 2), size);
  EXPECT_EQ(u32At(bmp, 10), 62u);
  EXPECT_EQ(static_cast<std::int32_t>(u32At(bmp, 22)), -3);
  EXPECT_EQ(u32At(bmp, 38), 7874u);  // 200 dpi in pixels per metre, truncated
  EXPECT_EQ(u32At(bmp, 54), 0x00FFFFFFu);
  EXPECT_EQ(u32At(bmp, 58), 0u);
  const std::uint8_t rows[3][8] = {{0x81, 0x42, 0x0F, 0xF0, 0x55, 0xAA, 0, 0},
                                   {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0},
                                   {0x00, 0x00, 0x3C, 0xFF, 0xFF, 0xFF, 0, 0}};
  EXPECT_EQ(std::memcmp(bmp.data() + 62, rows, sizeof rows), 0);

  // The imaging layer reads it as any BMP: pixel value 1 is black.
  std::unique_ptr<PIX, PixDeleter> pix(pixReadMem(bmp.data(), bmp.size()));
  ASSERT_TRUE(pix);
  EXPECT_EQ(pixGetWidth(pix.get()), 40);
  EXPECT_EQ(pixGetHeight(pix.get()), 3);
  EXPECT_EQ(pixGetXRes(pix.get()), 200);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 40; ++x) {
      l_uint32 v = 0;
      pixGetPixel(pix.get(), x, y, &v);
      bool isBlack = v == 1;
      if (PIXCMAP* cmap = pixGetColormap(pix.get())) {
        l_int32 r = 0, g = 0, b = 0;
        pixcmapGetColor(cmap, static_cast<l_int32>(v), &r, &g, &b);
        isBlack = r == 0;
      }
      bool black = (rows[y][x / 8] >> (7 - x % 8)) & 1;
      EXPECT_EQ(isBlack, black) << x << "," << y;
    }
}

TEST(KpxDrawReader, RowsTheDataDoesNotReachStayWhite) {
  std::vector<std::uint8_t> bmp;
  // 16 pixels: 2 bytes a row. A run across rows, then runs far past the end.
  ASSERT_EQ(decodeKpxDraw(kpxFile(16, 4, 0, std::string("\xFF\x05\xFF\xFF\x00", 5)), bmp), kKpxDrawOk);
  const std::uint8_t expected[4][4] = {{0xFF, 0xFF, 0, 0}, {0xFF, 0xFF, 0, 0}, {0xFF, 0xFF, 0, 0}, {0xFF, 0xFF, 0, 0}};
  EXPECT_EQ(std::memcmp(bmp.data() + 62, expected, sizeof expected), 0);
  EXPECT_EQ(u32At(bmp, 38), 0u) << "no resolution";

  ASSERT_EQ(decodeKpxDraw(kpxFile(16, 3, 300, "\xFF\x03"), bmp), kKpxDrawOk);
  const std::uint8_t early[3][4] = {{0xFF, 0xFF, 0, 0}, {0xFF, 0, 0, 0}, {0, 0, 0, 0}};
  EXPECT_EQ(std::memcmp(bmp.data() + 62, early, sizeof early), 0);
}

TEST(KpxDrawReader, RefusesBadHeadersAndLeavesTheCallersBitmap) {
  const struct {
    const char* name;
    std::string file;
    int expected;
  } cases[] = {
      {"other signature", "Kpx Drew" + kpxFile(8, 8, 0, "").substr(8), kKpxDrawNotKpxDraw},
      {"signature without its zero", "Kpx Draw!" + kpxFile(8, 8, 0, "").substr(9), kKpxDrawNotKpxDraw},
      {"truncated header", kpxFile(8, 8, 0, "").substr(0, 40), kKpxDrawNotKpxDraw},
      {"zero width", kpxFile(0, 8, 0, "ab"), kKpxDrawNotKpxDraw},
      {"negative height", kpxFile(8, -8, 0, "ab"), kKpxDrawNotKpxDraw},
      {"most negative width", kpxFile(INT32_MIN, 8, 0, "ab"), kKpxDrawNotKpxDraw},
      {"width + 15 past 32 bits", kpxFile(INT32_MAX, 1, 0, "ab"), kKpxDrawOutOfMemory},
      {"largest sides", kpxFile(65535, 65535, 0, "ab"), kKpxDrawOutOfMemory},
      {"side past the cap", kpxFile(65536, 1, 0, "ab"), kKpxDrawOutOfMemory},
      {"bitmap past the cap", kpxFile(60000, 40000, 0, "ab"), kKpxDrawOutOfMemory},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> bmp{1, 2, 3};
    EXPECT_EQ(decodeKpxDraw(c.file, bmp), c.expected) << c.name;
    EXPECT_EQ(bmp, (std::vector<std::uint8_t>{1, 2, 3})) << c.name;
  }
  // A bad resolution loses only the resolution.
  std::vector<std::uint8_t> bmp;
  EXPECT_EQ(decodeKpxDraw(kpxFile(8, 1, INT32_MIN, "\x01"), bmp), kKpxDrawOk);
  EXPECT_EQ(u32At(bmp, 38), 0u);

  testsupport::TempDir dir;
  std::vector<std::uint8_t> kept{9};
  std::size_t size = 1;
  EXPECT_EQ(KpxDrawReader(kept, size, dir.file("missing.kpx")), kKpxDrawCannotOpen);
  EXPECT_EQ(KpxDrawReader(kept, size, dir.path()), kKpxDrawCannotOpen);
  ASSERT_TRUE(testsupport::writeFile(dir.file("bad.kpx"), "Kpx Draw"));
  EXPECT_EQ(KpxDrawReader(kept, size, dir.file("bad.kpx")), kKpxDrawNotKpxDraw);
  EXPECT_EQ(kept, std::vector<std::uint8_t>{9});
  EXPECT_EQ(size, 1u);
}

}  // namespace
