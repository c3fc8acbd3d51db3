// The working image: taking pictures, DIBs in and out, display reductions, turns.
#include "ocrctl/working_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace ocrctl;

namespace {

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A packed DIB: header, palette (B, G, R, 0 each), rows as given (already
// in the DIB's row order and stride).
std::vector<std::uint8_t> makeDib(int width, int height, int depth, std::vector<std::uint32_t> palette,
                                  const std::vector<std::uint8_t>& rows, std::uint32_t sizeImage = 0,
                                  std::uint32_t compression = 0) {
  std::vector<std::uint8_t> dib(40 + 4 * palette.size(), 0);
  put32(dib, 0, 40);
  put32(dib, 4, static_cast<std::uint32_t>(width));
  put32(dib, 8, static_cast<std::uint32_t>(height));
  dib[12] = 1;
  dib[14] = static_cast<std::uint8_t>(depth);
  put32(dib, 16, compression);
  put32(dib, 20, sizeImage);
  put32(dib, 24, 15748);  // 400 dpi
  put32(dib, 32, static_cast<std::uint32_t>(palette.size()));
  for (std::size_t i = 0; i < palette.size(); ++i) put32(dib, 40 + 4 * i, palette[i]);
  dib.insert(dib.end(), rows.begin(), rows.end());
  return dib;
}

BitImage pageWithDots(int w, int h, std::initializer_list<std::pair<int, int>> dots) {
  BitImage image;
  image.width = w;
  image.height = h;
  image.bits.assign(static_cast<std::size_t>(image.rowBytes()) * h, 0);
  for (auto [x, y] : dots) image.setPixel(x, y);
  return image;
}

}  // namespace

TEST(WorkingImage, PictureIsPaddedTo32PixelsWithGarbageBeyondTheWidthCleared) {
  // 33 pixels wide: the reader's row holds junk after pixel 33.
  const std::uint8_t rows[2 * 8] = {0x80, 0, 0, 0, 0xFF, 0xFF, 0xAA, 0xAA,
                                    0,    0, 0, 0, 0x80, 0xFF, 0xFF, 0xFF};
  BitImage image;
  ASSERT_TRUE(takeBitonal(rows, 8, 33, 2, image));
  EXPECT_EQ(image.width, 64);
  EXPECT_EQ(image.height, 32);
  EXPECT_TRUE(image.pixel(0, 0));
  EXPECT_TRUE(image.pixel(32, 0));
  EXPECT_TRUE(image.pixel(32, 1));
  for (int x = 33; x < 64; ++x) EXPECT_FALSE(image.pixel(x, 0) || image.pixel(x, 1)) << x;
  for (int y = 2; y < 32; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_FALSE(image.pixel(x, y));
  EXPECT_FALSE(takeBitonal(rows, 8, 0, 2, image));
  EXPECT_FALSE(takeBitonal(rows, 2, 33, 2, image));  // stride shorter than a row
}

TEST(WorkingImage, OneBitDibsAreInkOneWhicheverColourComesFirst) {
  // 10 x 2, bottom-up rows of 4 bytes; the top row has the leftmost pixel "on".
  const std::vector<std::uint8_t> rows = {0x00, 0x00, 0, 0,  0x80, 0x00, 0, 0};
  Bitonal whiteFirst;
  ASSERT_EQ(dibToBitonal(makeDib(10, 2, 1, {0xFFFFFF, 0x000000}, rows), whiteFirst), 0);
  EXPECT_EQ(whiteFirst.rows[0], 0x80);  // set bit = black = ink, kept
  EXPECT_EQ(whiteFirst.rows[whiteFirst.stride], 0x00);
  EXPECT_EQ(whiteFirst.dpi, 400);
  Bitonal blackFirst;
  ASSERT_EQ(dibToBitonal(makeDib(10, 2, 1, {0x000000, 0xFFFFFF}, rows), blackFirst), 0);
  EXPECT_EQ(blackFirst.rows[0], 0x7F);  // inverted
}

TEST(WorkingImage, DibRowsComeFromWidthAndDepthAndTopDownDibsAreUpright) {
  // An 8-bit grey DIB, 5 x 2, whose writer left biSizeImage 0: rows are
  // 8 bytes (5 rounded to 4 bytes), never biSizeImage / height.
  std::vector<std::uint32_t> grey(256);
  for (std::uint32_t i = 0; i < 256; ++i) grey[i] = i | (i << 8) | (i << 16);
  std::vector<std::uint8_t> rows(16, 255);
  rows[8 + 4] = 0;  // bottom-up: the second stored row is the top row; pixel 4 black
  Bitonal bottomUp;
  ASSERT_EQ(dibToBitonal(makeDib(5, 2, 8, grey, rows), bottomUp), 0);
  EXPECT_EQ(bottomUp.rows[0], 0x08);
  EXPECT_EQ(bottomUp.rows[1], 0x00);

  auto topDown = makeDib(5, 2, 8, grey, rows);
  put32(topDown, 8, static_cast<std::uint32_t>(-2));
  Bitonal upright;
  ASSERT_EQ(dibToBitonal(topDown, upright), 0);
  EXPECT_EQ(upright.rows[0], 0x00);
  EXPECT_EQ(upright.rows[1], 0x08);

  // 24 bits: blue, green, red per pixel.
  std::vector<std::uint8_t> colour(8, 0xFF);
  colour[3] = colour[4] = colour[5] = 0;  // pixel 1 black
  Bitonal rgb;
  ASSERT_EQ(dibToBitonal(makeDib(2, 1, 24, {}, colour), rgb), 0);
  EXPECT_EQ(rgb.rows[0], 0x40);
  // A "BM" file header in front is passed over.
  auto withFile = makeDib(2, 1, 24, {}, colour);
  withFile.insert(withFile.begin(), {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0});
  Bitonal behindHeader;
  ASSERT_EQ(dibToBitonal(withFile, behindHeader), 0);
  EXPECT_EQ(behindHeader.rows[0], 0x40);
}

TEST(WorkingImage, DamagedDibsAreRefusedNotRead) {
  const std::vector<std::uint8_t> rows(8, 0);
  struct Case {
    const char* name;
    std::vector<std::uint8_t> dib;
  };
  auto truncated = makeDib(32, 2, 1, {0, 0xFFFFFF}, rows);
  truncated.resize(truncated.size() - 1);
  auto hugePalette = makeDib(8, 1, 8, {0}, rows);
  put32(hugePalette, 32, 0x7FFFFFFF);
  auto hugeHeader = makeDib(8, 1, 1, {0, 0}, rows);
  put32(hugeHeader, 0, 0xFFFFFFF0);
  const Case cases[] = {
      {"header cut short", std::vector<std::uint8_t>(30, 0)},
      {"rows cut short", truncated},
      {"16 bits", makeDib(2, 1, 16, {}, rows)},
      {"run-length", makeDib(8, 1, 8, {0}, rows, 0, 1)},
      {"zero width", makeDib(0, 1, 1, {0, 0}, rows)},
      {"palette beyond the depth", hugePalette},
      {"header size beyond the block", hugeHeader},
  };
  for (const Case& c : cases) {
    Bitonal out;
    EXPECT_EQ(dibToBitonal(c.dib, out), -1111) << c.name;
  }
}

TEST(WorkingImage, PackedDibIsStableAndReadsBackAsTheSamePage) {
  const BitImage page = pageWithDots(64, 32, {{0, 0}, {63, 31}, {17, 5}});
  const auto first = packDib(page, 400);
  EXPECT_EQ(first, packDib(page, 400));
  ASSERT_EQ(first.size(), 48u + 8 * 32);
  Bitonal back;
  ASSERT_EQ(dibToBitonal(first, back), 0);
  BitImage again;
  ASSERT_TRUE(takeBitonal(back.rows.data(), back.stride, back.width, back.height, again));
  EXPECT_EQ(again.bits, page.bits);
  EXPECT_EQ(back.dpi, 400);
}

TEST(WorkingImage, DisplayReductionKeepsThinStrokesAtEveryScale) {
  // A one-pixel dot in the second byte of a 16-pixel group, on a sampled row.
  const BitImage page = pageWithDots(64, 32, {{13, 0}});
  for (int scale : {2, 4, 8, 16}) {
    const DisplayImage d = displayImage(page, scale);
    ASSERT_EQ(d.rows, 32 / scale) << scale;
    EXPECT_EQ(d.rowBytes, (64 / scale + 15) / 16 * 2) << scale;
    const int x = 13 / scale;
    EXPECT_NE(d.bits[static_cast<std::size_t>(x / 8)] & (0x80 >> (x % 8)), 0) << scale;
  }
  EXPECT_TRUE(displayImage(page, 3).bits.empty());
}

TEST(WorkingImage, QuarterTurnsMoveEachPixelAndUndoEachOther) {
  const BitImage page = pageWithDots(64, 32, {{5, 3}, {63, 0}});
  BitImage turned = page;
  ASSERT_TRUE(turnImage(turned, 90));  // counter-clockwise: (x, y) -> (y, W - 1 - x)
  EXPECT_EQ(turned.width, 32);
  EXPECT_EQ(turned.height, 64);
  EXPECT_TRUE(turned.pixel(3, 58));
  EXPECT_TRUE(turned.pixel(0, 0));
  ASSERT_TRUE(turnImage(turned, 270));
  EXPECT_EQ(turned.bits, page.bits);
  ASSERT_TRUE(turnImage(turned, 180));
  EXPECT_TRUE(turned.pixel(58, 28));
  ASSERT_TRUE(turnImage(turned, 180));
  EXPECT_EQ(turned.bits, page.bits);
  EXPECT_FALSE(turnImage(turned, 45));
}
