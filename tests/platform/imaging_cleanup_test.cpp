// Despeckle and deskew on rendered Japanese pages.

#include "platform/imaging/image_ops.h"
#include "tests/platform/japanese_page.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace img = platform::imaging;

namespace {

int inkOf(Pix* pix) {
  l_int32 count = 0;
  pixCountPixels(pix, &count, nullptr);
  return count;
}

class CleanUp : public ::testing::TestWithParam<bool> {};  // vertical writing?

TEST_P(CleanUp, DespeckleRemovesIsolatedSpecksAndKeepsEveryStroke) {
  const bool vertical = GetParam();
  img::PixPtr text = imagingtest::toBinaryPix(imagingtest::renderJapanesePage(vertical, 0), 12);
  // Lightly scanned text has fragments as small as specks (broken thin
  // strokes, dakuten, dots): removing all small components would damage it.
  img::PixPtr tiny(pixSelectBySize(text.get(), 3, 3, 8, L_SELECT_IF_BOTH, L_SELECT_IF_LTE, nullptr));
  ASSERT_GT(inkOf(tiny.get()), 0) << "the page has small parts of characters";

  // Specks of 1-3 pixels in the open margins, a grid of them.
  img::PixPtr dirty(pixCopy(nullptr, text.get()));
  std::mt19937 random(7);
  int specks = 0;
  for (int y = 20; y < 160; y += 25) {
    for (int x = 20; x < pixGetWidth(dirty.get()) - 20; x += 37) {
      const int side = 1 + static_cast<int>(random() % 3);
      pixRasterop(dirty.get(), x, y, side, side, PIX_SET, nullptr, 0, 0);
      ++specks;
    }
  }
  ASSERT_GT(specks, 100);

  img::PixPtr clean = img::despeckle(dirty.get(), 300);
  ASSERT_TRUE(clean);
  img::PixPtr difference(pixXor(nullptr, clean.get(), text.get()));
  EXPECT_EQ(inkOf(difference.get()), 0) << "exactly the text is left: all specks gone, no stroke touched";
}

TEST_P(CleanUp, DeskewStraightensTurnedPages) {
  const bool vertical = GetParam();
  // A full page, and a short one: a few columns of vertical text measure
  // below the confidence of 3.0 that Leptonica's own deskew asks for.
  for (int lines : {1000, 4}) {
    for (double turned : {-2.5, -1.0, 0.6, 1.5, 3.0}) {
      SCOPED_TRACE(std::to_string(lines) + " lines turned by " + std::to_string(turned));
      img::PixPtr page = imagingtest::toBinaryPix(imagingtest::renderJapanesePage(vertical, turned, lines));
      float found = 0, confidence = 0;
      ASSERT_TRUE(img::findSkew(page.get(), found, confidence));
      if (vertical && lines == 4) {
        EXPECT_LT(confidence, 3.0f);
      }
      float applied = 0;
      img::PixPtr straight = img::deskew(page.get(), &applied);
      ASSERT_TRUE(straight);
      EXPECT_NEAR(applied, -turned, 0.2) << "confidence " << confidence;
      float residual = 0, after = 0;
      ASSERT_TRUE(img::findSkew(straight.get(), residual, after));
      EXPECT_LT(std::abs(residual), 0.2);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Writing, CleanUp, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Vertical" : "Horizontal");
                         });

TEST(CleanUpOfOtherPages, DeskewLeavesStraightBlankAndNoisyPagesAlone) {
  img::PixPtr straight = imagingtest::toBinaryPix(imagingtest::renderJapanesePage(false, 0));
  img::PixPtr blank(pixCreate(800, 600, 1));
  img::PixPtr noise(pixCreate(800, 600, 1));
  std::mt19937 random(3);
  for (int i = 0; i < 4000; ++i) pixSetPixel(noise.get(), random() % 800, random() % 600, 1);
  for (Pix* pix : {straight.get(), blank.get(), noise.get()}) {
    float applied = 1;
    img::PixPtr out = img::deskew(pix, &applied);
    ASSERT_TRUE(out);
    EXPECT_EQ(applied, 0.0f);
    l_int32 same = 0;
    pixEqual(out.get(), pix, &same);
    EXPECT_TRUE(same);
  }
}

}  // namespace
