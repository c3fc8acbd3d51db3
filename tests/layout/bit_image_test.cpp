// Quarter turns, filling, cutting out and pasting 1-bit images; every
// operation stays inside its buffers whatever rectangle or position it gets.
#include "layout/bit_image.h"
#include "tests/layout/test_pages.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

using testpages::blankPage;
using testpages::RenderedPage;

namespace {

struct OwnedImage {
  ImageDesc desc;
  ~OwnedImage() { std::free(desc.bits); }
  bool pixel(int x, int y) const { return (desc.bits[std::size_t(y) * desc.bytesPerRow + x / 8] & (0x80 >> (x % 8))) != 0; }
};

void setPixel(RenderedPage& p, int x, int y) {
  p.bits[std::size_t(y) * p.bytesPerRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

RenderedPage randomPage(int width, int height, unsigned seed) {
  RenderedPage p = blankPage(width, height, 300);
  std::mt19937 rng(seed);
  for (auto& b : p.bits) b = static_cast<std::uint8_t>(rng());
  return p;
}

bool turnFourTimes(ImageDesc current, std::vector<std::unique_ptr<OwnedImage>>& keep) {
  for (int turn = 0; turn < 4; ++turn) {
    auto next = std::make_unique<OwnedImage>();
    if (rotate_right(&current, &next->desc) != 1) return false;
    current = next->desc;
    keep.push_back(std::move(next));
  }
  return true;
}

TEST(QuarterTurn, EveryPixelLandsWhereATurnPutsIt) {
  for (auto [w, h] : {std::pair{16, 16}, {24, 17}, {40, 8}, {8, 3}, {56, 29}}) {
    RenderedPage src = randomPage(w, h, static_cast<unsigned>(w * 100 + h));
    ImageDesc s = src.desc();
    OwnedImage dst{};
    ASSERT_EQ(rotate_right(&s, &dst.desc), 1);
    const int dstWidth = dst.desc.bytesPerRow * 8;
    EXPECT_EQ(dst.desc.bytesPerRow, (h + 15) / 16 * 2) << w << "x" << h;
    EXPECT_EQ(dst.desc.height, src.bytesPerRow * 8);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < src.bytesPerRow * 8; ++x)
        ASSERT_EQ(dst.pixel(dstWidth - 1 - y, x), src.pixel(x, y)) << w << "x" << h << " at " << x << "," << y;
    // The padding columns on the left stay white.
    for (int y = 0; y < dst.desc.height; ++y)
      for (int x = 0; x < dstWidth - h; ++x) ASSERT_FALSE(dst.pixel(x, y));
  }
}

TEST(QuarterTurn, SeventeenRowsGiveFourBytesAndKeepTheLastRow) {
  RenderedPage src = blankPage(16, 17, 300);
  setPixel(src, 5, 16);
  ImageDesc s = src.desc();
  OwnedImage dst{};
  ASSERT_EQ(rotate_right(&s, &dst.desc), 1);
  EXPECT_EQ(dst.desc.bytesPerRow, 4);
  EXPECT_EQ(dst.desc.height, 16);
  EXPECT_TRUE(dst.pixel(32 - 1 - 16, 5));
}

TEST(QuarterTurn, FourTurnsAreTheIdentity) {
  // Heights that are multiples of 16 keep the size through the turns.
  for (auto [w, h] : {std::pair{32, 32}, {48, 16}, {21, 32}, {64, 48}}) {
    RenderedPage src = randomPage(w, h, 3);
    std::vector<std::unique_ptr<OwnedImage>> keep;
    ASSERT_TRUE(turnFourTimes(src.desc(), keep));
    const ImageDesc& current = keep.back()->desc;
    ASSERT_EQ(current.bytesPerRow, src.bytesPerRow);
    ASSERT_EQ(current.height, src.height);
    EXPECT_EQ(std::vector<std::uint8_t>(current.bits, current.bits + src.bits.size()), src.bits) << w << "x" << h;
  }
}

TEST(QuarterTurn, FourTurnsOfAnOddSizeKeepTheImageInTheCorner) {
  // 21 x 13 pixels: each turn pads the new rows to 16 bits, so after four
  // turns the picture sits, whole, somewhere inside a larger image.
  RenderedPage src = blankPage(21, 13, 300);
  std::mt19937 rng(5);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 21; ++x)
      if (rng() % 3 == 0) setPixel(src, x, y);
  std::vector<std::unique_ptr<OwnedImage>> keep;
  ASSERT_TRUE(turnFourTimes(src.desc(), keep));
  const OwnedImage& out = *keep.back();
  long inkIn = src.blackCount();
  long inkOut = 0;
  for (int y = 0; y < out.desc.height; ++y)
    for (int x = 0; x < out.desc.bytesPerRow * 8; ++x) inkOut += out.pixel(x, y);
  EXPECT_EQ(inkOut, inkIn);
  bool found = false;
  for (int dy = 0; dy + 13 <= out.desc.height && !found; ++dy)
    for (int dx = 0; dx + 21 <= out.desc.bytesPerRow * 8 && !found; ++dx) {
      bool same = true;
      for (int y = 0; y < 13 && same; ++y)
        for (int x = 0; x < 21 && same; ++x) same = out.pixel(dx + x, dy + y) == src.pixel(x, y);
      found = same;
    }
  EXPECT_TRUE(found);
}

TEST(FillBlack, FillsTheClampedOrderedRectangleOnly) {
  struct Case {
    const char* name;
    Rect16 rect;
    int expectedBlack;
  };
  const Case cases[] = {
      {"one byte", {2, 1, 5, 1}, 4},
      {"across bytes", {6, 0, 17, 0}, 12},
      {"reversed corners", {17, 2, 6, 1}, 24},
      {"reaching past the edges", {-5, -5, 100, 1}, 64},
      {"wholly right of the image", {40, 0, 50, 3}, 0},
      {"wholly above", {0, -9, 5, -1}, 0},
  };
  for (const Case& c : cases) {
    RenderedPage p = blankPage(32, 4, 300);
    ImageDesc d = p.desc();
    fill_black(&d, &c.rect);
    EXPECT_EQ(p.blackCount(), c.expectedBlack) << c.name;
  }
  RenderedPage p = blankPage(32, 4, 300);
  ImageDesc d = p.desc();
  Rect16 r{6, 0, 17, 0};
  fill_black(&d, &r);
  EXPECT_FALSE(p.pixel(5, 0));
  EXPECT_TRUE(p.pixel(6, 0));
  EXPECT_TRUE(p.pixel(17, 0));
  EXPECT_FALSE(p.pixel(18, 0));
}

TEST(CropBytes, TakesTheWholeBytesOfTheRectangle) {
  RenderedPage p = randomPage(32, 6, 9);
  ImageDesc d = p.desc();
  OwnedImage out{};
  Rect16 r{3, 0, 12, 0};
  ASSERT_EQ(crop_bytes(&d, &r, &out.desc), 1);
  EXPECT_EQ(out.desc.bytesPerRow, 2);
  EXPECT_EQ(out.desc.height, 1);
  EXPECT_EQ(out.desc.bits[0], p.bits[0]);
  EXPECT_EQ(out.desc.bits[1], p.bits[1]);
  OwnedImage clamped{};
  Rect16 big{20, 5, -3, 2};
  ASSERT_EQ(crop_bytes(&d, &big, &clamped.desc), 1);
  EXPECT_EQ(clamped.desc.bytesPerRow, 3);
  EXPECT_EQ(clamped.desc.height, 4);
  EXPECT_EQ(clamped.desc.bits[0], p.bits[std::size_t(2) * p.bytesPerRow]);
}

TEST(PasteBytes, CopiesWhatFitsAndNothingOutside) {
  struct Case {
    const char* name;
    BytePos pos;
    int expectedBlack;
  };
  // A 16 x 4 all-black source into a 32 x 8 destination.
  const Case cases[] = {
      {"inside", {8, 2}, 64},
      {"wider than the room left", {24, 0}, 32},
      {"lower than the room left", {0, 6}, 32},
      {"negative position pastes at the edge", {-20, -3}, 64},
      {"beyond the right edge", {40, 0}, 0},
      {"beyond the bottom", {0, 9}, 0},
  };
  for (const Case& c : cases) {
    RenderedPage src = blankPage(16, 4, 300);
    std::fill(src.bits.begin(), src.bits.end(), 0xFF);
    RenderedPage dst = blankPage(32, 8, 300);
    ImageDesc s = src.desc();
    ImageDesc d = dst.desc();
    EXPECT_EQ(paste_bytes(&s, &d, c.pos), 1) << c.name;
    EXPECT_EQ(dst.blackCount(), c.expectedBlack) << c.name;
  }
  RenderedPage dst = blankPage(32, 8, 300);
  ImageDesc d = dst.desc();
  ImageDesc none{};
  EXPECT_EQ(paste_bytes(&none, &d, {0, 0}), 0);
}

}  // namespace

namespace {

// The test pages turned by the renderer and by the library agree, and the
// renderer's truth boxes move with the ink.
TEST(QuarterTurn, MatchesTheRenderersTurnedPages) {
  testpages::PageBuilder builder(301, 203, 300);  // neither side a multiple of 8
  builder.addText({20, 30}, QStringLiteral("回転の試験"), 9, 5, 2);
  RenderedPage upright = builder.render();
  RenderedPage turned = builder.render(0, 1);
  ASSERT_EQ(turned.width, 203);
  ASSERT_EQ(turned.height, 301);
  ImageDesc s = upright.desc();
  OwnedImage mine{};
  ASSERT_EQ(rotate_right(&s, &mine.desc), 1);
  const int shift = mine.desc.bytesPerRow * 8 - upright.height;  // padding columns on the left
  long differing = 0;
  for (int y = 0; y < turned.height; ++y)
    for (int x = 0; x < turned.width; ++x) differing += turned.pixel(x, y) != mine.pixel(x + shift, y);
  EXPECT_EQ(differing, 0);
  const QRect box = turned.blocks[0].rect;
  for (int y = 0; y < turned.height; ++y)
    for (int x = 0; x < turned.width; ++x)
      if (turned.pixel(x, y)) {
        ASSERT_TRUE(box.adjusted(-1, -1, 1, 1).contains(x, y)) << x << "," << y;
      }
}

}  // namespace
