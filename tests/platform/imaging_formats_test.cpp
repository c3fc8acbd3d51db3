// The formats written and read through Magick++ (PCX, TARGA, Photoshop, Sun
// Raster) and the Encapsulated PostScript writer: what we write is examined
// and read back as it was held, files that ImageMagick's own program wrote
// are read, and damaged files fail cleanly.

#include "platform/imaging/image.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/magick_codec.h"
#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <leptonica/allheaders.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace img = platform::imaging;

namespace {

using Bytes = std::vector<std::uint8_t>;

img::PixPtr picture(int depth) {
  img::PixPtr pix(pixCreate(41, 27, 32));
  pixSetSpp(pix.get(), 3);
  for (int y = 0; y < 27; ++y)
    for (int x = 0; x < 41; ++x) {
      l_uint32 v;
      composeRGBPixel(x * 6, y * 9, x < 20 ? 30 : 220, &v);
      pixSetPixel(pix.get(), x, y, v);
    }
  pixSetResolution(pix.get(), 200, 200);
  if (depth == 1) return img::PixPtr(pixConvertTo1(pix.get(), 128));
  if (depth == 8) return img::PixPtr(pixConvertRGBToGray(pix.get(), 0.3f, 0.5f, 0.2f));
  return pix;
}

// The largest difference of one channel between two pictures of one size.
int largestDifference(Pix* a, Pix* b) {
  img::PixPtr ca(pixConvertTo32(a)), cb(pixConvertTo32(b));
  if (pixGetWidth(ca.get()) != pixGetWidth(cb.get()) || pixGetHeight(ca.get()) != pixGetHeight(cb.get())) return 999;
  int largest = 0;
  for (int y = 0; y < pixGetHeight(ca.get()); ++y)
    for (int x = 0; x < pixGetWidth(ca.get()); ++x) {
      l_uint32 p, q;
      pixGetPixel(ca.get(), x, y, &p);
      pixGetPixel(cb.get(), x, y, &q);
      l_int32 r1, g1, b1, r2, g2, b2;
      extractRGBValues(p, &r1, &g1, &b1);
      extractRGBValues(q, &r2, &g2, &b2);
      largest = std::max({largest, std::abs(r1 - r2), std::abs(g1 - g2), std::abs(b1 - b2)});
    }
  return largest;
}

// ImageMagick writes PCX and Sun Raster in colour whatever the picture; a
// black-and-white page comes back as colour then.
struct FormatCase {
  const char* name;
  int code;
  int depth;     // of the PIX written
  int heldBits;  // as examined and held after reading back
};

class WrittenFormats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(WrittenFormats, WrittenFilesAreExaminedAndReadBackAsHeld) {
  const FormatCase& c = GetParam();
  ASSERT_TRUE(img::canWriteFormat(c.code));
  img::PixPtr pix = picture(c.depth);
  Bytes bytes;
  ASSERT_EQ(img::encodeImage(pix.get(), c.code, c.depth == 32 ? 24 : c.depth, 2, {}, bytes), img::kOk);
  img::FileInfo info;
  ASSERT_EQ(img::examineImage(bytes, 1, info), img::kOk);
  EXPECT_EQ(info.format, c.code);
  EXPECT_EQ(info.width, 41);
  EXPECT_EQ(info.height, 27);
  EXPECT_EQ(info.bitsPerPixel, c.heldBits);
  EXPECT_EQ(img::examineImage(bytes, 2, info), img::kErrorPage);
  img::PixPtr back = img::decodeImage(bytes, 1, c.code, 1);
  ASSERT_TRUE(back);
  EXPECT_EQ(img::reportedBits(back.get()), c.heldBits);
  // The pixels come back as they were written.
  EXPECT_LE(largestDifference(pix.get(), back.get()), 0) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Formats, WrittenFormats,
                         ::testing::Values(FormatCase{"PcxColour", img::format::kPcx, 32, 24},
                                           FormatCase{"PcxBilevel", img::format::kPcx, 1, 24},
                                           FormatCase{"TargaColour", img::format::kTarga, 32, 24},
                                           FormatCase{"TargaGrey", img::format::kTarga, 8, 8},
                                           FormatCase{"PhotoshopColour", img::format::kPhotoshop, 32, 24},
                                           FormatCase{"PhotoshopGrey", img::format::kPhotoshop, 8, 8},
                                           FormatCase{"SunRasterColour", img::format::kSunRaster, 32, 24},
                                           FormatCase{"SunRasterBilevel", img::format::kSunRaster, 1, 24},
                                           FormatCase{"CalsBilevel", img::format::kCals, 1, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WrittenFormats, EncapsulatedPostScriptHasItsHeaderAndBoundingBox) {
  for (int depth : {1, 8, 32}) {
    img::PixPtr pix = picture(depth);
    Bytes bytes;
    ASSERT_EQ(img::encodeImage(pix.get(), img::format::kEps, 0, 2, {}, bytes), img::kOk) << depth;
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("%!PS-Adobe-3.0 EPSF-3.0\n", 0), 0u) << depth;
    // 41 x 27 pixels at 200 dpi: 14.76 x 9.72 points.
    EXPECT_NE(text.find("%%BoundingBox:"), std::string::npos) << depth;
    EXPECT_NE(text.find("showpage"), std::string::npos) << depth;
  }
}

// Formats without a signature are written for other programs, and what
// ImageMagick makes of the file is the picture written.
TEST(WrittenFormats, PictAndRawFaxAreWrittenForOthersToRead) {
  testsupport::TempDir dir;
  // ImageMagick is told each file's format by a prefix: these files carry
  // nothing it could know them by.
  struct Case {
    int code;
    int depth;
    const char* magickFormat;
    const char* name;
  };
  for (const Case& c : {Case{img::format::kPict, 32, "PICT", "a.pct"}, Case{img::format::kFaxG3OneD, 1, "G3", "b.fax"},
                        Case{img::format::kFaxG4, 1, "G4", "c.g4"}}) {
    ASSERT_TRUE(img::canWriteFormat(c.code));
    img::PixPtr pix = picture(c.depth);
    Bytes bytes;
    ASSERT_EQ(img::encodeImage(pix.get(), c.code, c.depth == 32 ? 24 : 1, 2, {}, bytes), img::kOk) << c.code;
    ASSERT_FALSE(bytes.empty());
    const std::string path = dir.file(c.name);
    testsupport::writeFile(path, std::string(bytes.begin(), bytes.end()));
    const std::string target = std::string(c.magickFormat) + ":" + path;
    // Raw fax states no size: the reader is told it.
    if (c.code == img::format::kPict)
      EXPECT_EQ(imagingtest::identify("%w %h", target), "41 27");
    else
      EXPECT_TRUE(imagingtest::run("identify -size 41x27 '" + target + "'")) << c.code;
  }
}

// Files written by ImageMagick's own program, not by us.
TEST(ReadFormats, FilesOfAnotherWriterAreRead) {
  testsupport::TempDir dir;
  struct Made {
    const char* target;
    const char* extra;
    int code;
    int bits;
  };
  const Made made[] = {{"a.pcx", "", img::format::kPcx, 24},
                       {"b.tga", " -compress RLE", img::format::kTarga, 24},
                       {"c.tga", " -colorspace Gray", img::format::kTarga, 8},
                       {"d.psd", "", img::format::kPhotoshop, 24},
                       {"e.ras", "", img::format::kSunRaster, 24},
                       {"f.pcx", " -monochrome", img::format::kPcx, 24},
                       {"g.cals", " -monochrome", img::format::kCals, 1}};
  for (const Made& m : made) {
    const std::string file = dir.file(m.target);
    ASSERT_TRUE(imagingtest::convert(imagingtest::colourPicture(64, 48) + m.extra, file)) << m.target;
    const std::string content = testsupport::readFile(file);
    const Bytes bytes(content.begin(), content.end());
    img::FileInfo info;
    ASSERT_EQ(img::examineImage(bytes, 1, info), img::kOk) << m.target;
    EXPECT_EQ(info.format, m.code) << m.target;
    EXPECT_EQ(info.bitsPerPixel, m.bits) << m.target;
    img::PixPtr pix = img::decodeImage(bytes, 1, info.format, 1);
    ASSERT_TRUE(pix) << m.target;
    EXPECT_EQ(pixGetWidth(pix.get()), 64);
    EXPECT_EQ(pixGetHeight(pix.get()), 48);
    EXPECT_EQ(img::reportedBits(pix.get()), m.bits) << m.target;
  }
}

TEST(ReadFormats, DamagedFilesFailCleanly) {
  std::mt19937 random(20261211);
  for (int code : {img::format::kPcx, img::format::kTarga, img::format::kPhotoshop, img::format::kSunRaster}) {
    img::PixPtr pix = picture(32);
    Bytes seed;
    ASSERT_EQ(img::encodeImage(pix.get(), code, 24, 2, {}, seed), img::kOk);
    for (int round = 0; round < 200; ++round) {
      Bytes bytes = seed;
      if (round % 2 == 0) bytes.resize(random() % bytes.size());
      for (int i = 0; i < 3; ++i)
        if (!bytes.empty()) bytes[random() % std::min<std::size_t>(bytes.size(), 64)] = static_cast<std::uint8_t>(random());
      img::FileInfo info;
      if (img::examineImage(bytes, 1, info) != img::kOk) continue;
      img::PixPtr back = img::decodeImage(bytes, 1, info.format, 1);
      if (!back) continue;
      EXPECT_EQ(pixGetWidth(back.get()), info.width) << code;
      EXPECT_EQ(pixGetHeight(back.get()), info.height) << code;
    }
  }
  // A header that asks for more pixels than are allowed is refused before
  // anything is decoded.
  Bytes huge(32, 0);
  const std::uint8_t sun[] = {0x59, 0xA6, 0x6A, 0x95, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF, 0, 0, 0, 24};
  std::copy(std::begin(sun), std::end(sun), huge.begin());
  img::FileInfo info;
  ASSERT_EQ(img::examineImage(huge, 1, info), img::kOk);
  EXPECT_FALSE(img::decodeImage(huge, 1, info.format, 1));
}

}  // namespace
