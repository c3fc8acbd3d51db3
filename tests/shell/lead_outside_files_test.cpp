// The imaging control on files as other programs write them: transparency,
// depths that examining and loading must agree on, pages of a GIF, and
// image data that cannot be decoded.

#include "shell/image_ctrl.h"

#include "platform/imaging/image.h"
#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

namespace img = platform::imaging;
using imagingtest::convert;

namespace {

// A grey sheet with a black bar (5,5)-(20,12); the grey is made transparent.
const std::string kGreySheet = "-size 40x30 xc:gray50 -fill black -draw 'rectangle 5,5 20,12'";
const std::string kTransparentGrey = kGreySheet + " -transparent gray50";
// A red sheet with a black bar and a half-transparent blue patch (25,20)-(35,25);
// the red is made transparent.
const std::string kTransparentRed =
    "-size 40x30 xc:red -fill black -draw 'rectangle 5,5 20,12' -transparent red "
    "-fill 'rgba(0,0,255,0.5)' -draw 'rectangle 25,20 35,25'";

struct HeldCase {
  const char* name;
  const char* file;   // with an ImageMagick format prefix where needed
  std::string args;
  int bits;           // examined and held
  bool grey;
  bool halfBlue;      // the half-transparent patch is there
};
std::ostream& operator<<(std::ostream& os, const HeldCase& c) { return os << c.name; }

class HeldAsExamined : public ::testing::TestWithParam<HeldCase> {};

QColor at(CImageCtrl& ctrl, int x, int y) { return ctrl.heldImage().pixelColor(x, y); }

void expectNear(QColor actual, QColor expected, int tolerance, const char* what) {
  EXPECT_NEAR(actual.red(), expected.red(), tolerance) << what;
  EXPECT_NEAR(actual.green(), expected.green(), tolerance) << what;
  EXPECT_NEAR(actual.blue(), expected.blue(), tolerance) << what;
}

// Documents are paper: what is transparent is white, what is partly
// transparent is composed onto white, and the depth reported by examining
// is the depth of what loading holds.
TEST_P(HeldAsExamined, TransparencyIsPaperAndDepthsAgree) {
  const HeldCase& c = GetParam();
  testsupport::TempDir dir;
  const std::string file = c.file;
  const std::size_t colon = file.find(':');
  const std::string path = dir.file(colon == std::string::npos ? file : file.substr(colon + 1));
  ASSERT_TRUE(convert(c.args, colon == std::string::npos ? path : file.substr(0, colon + 1) + path));

  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.GetFileInfo(path, 1, 0), 0);
  EXPECT_EQ(ctrl.GetBitsPerPixel(), c.bits) << "examined";
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  EXPECT_EQ(ctrl.GetDispid12(), c.bits) << "held";
  EXPECT_EQ(ctrl.GetDispid98() != 0, c.grey);
  expectNear(at(ctrl, 30, 15), Qt::white, 3, "transparent: paper");
  expectNear(at(ctrl, 10, 8), Qt::black, 3, "opaque ink stays");
  if (c.halfBlue) expectNear(at(ctrl, 30, 22), QColor(127, 127, 255), 4, "half-transparent blue on paper");

  // Saved in black and white (G4) and as a bitmap, the page stays a page.
  for (auto [format, bits] : {std::pair{29, 1}, std::pair{6, 0}}) {
    const std::string out = dir.file("out" + std::to_string(format));
    ASSERT_EQ(ctrl.SaveToFile(out, static_cast<short>(format), static_cast<short>(bits), 0, 0), 0);
    CImageCtrl back;
    ASSERT_EQ(back.LoadFile(out, 0, 1, 1), 0);
    expectNear(at(back, 30, 15), Qt::white, 3, "saved: paper");
    expectNear(at(back, 10, 8), Qt::black, 3, "saved: ink");
  }
}

INSTANTIATE_TEST_SUITE_P(
    OutsideFiles, HeldAsExamined,
    ::testing::Values(
        HeldCase{"GreyPngWithTransparencyChunk", "a.png", kTransparentGrey + " -define png:color-type=0", 8, true, false},
        HeldCase{"GreyPngWithAlpha", "a.png", kTransparentGrey + " -define png:color-type=4", 8, true, false},
        HeldCase{"RgbPngWithTransparencyChunk", "a.png", kTransparentRed.substr(0, kTransparentRed.find(" -fill 'rgba")) +
                 " -define png:color-type=2", 24, false, false},
        HeldCase{"RgbaPng", "PNG32:a.png", kTransparentRed, 24, false, true},
        // black and the transparent red: a palette of greys once the red is paper
        HeldCase{"PalettePngWithTransparency", "PNG8:a.png", kTransparentRed.substr(0, kTransparentRed.find(" -fill 'rgba")),
                 8, true, false},
        HeldCase{"GifWithTransparentIndex", "a.gif", kTransparentRed.substr(0, kTransparentRed.find(" -fill 'rgba")), 1,
                 false, false},
        HeldCase{"BmpWithAlpha", "BMP:a.bmp", kTransparentRed + " -define bmp:format=bmp4", 24, false, true},
        HeldCase{"TiffWithAlpha", "a.tif", kTransparentRed + " -compress LZW", 24, false, true},
        HeldCase{"TiffGrey16Bits", "a.tif", "-size 40x30 xc:white -fill black -draw 'rectangle 5,5 20,12' -colorspace Gray -depth 16",
                 8, true, false},
        HeldCase{"JpegCmyk", "a.jpg", "-size 40x30 xc:white -fill black -draw 'rectangle 5,5 20,12' -colorspace CMYK -quality 95",
                 24, false, false}),
    [](const ::testing::TestParamInfo<HeldCase>& info) { return std::string(info.param.name); });

// Our own 32-bit bitmap says nothing with its fourth byte: it stays opaque.
TEST(HeldImage, BitmapWithUnusedFourthByteIsOpaque) {
  testsupport::TempDir dir;
  ASSERT_TRUE(convert("-size 40x30 xc:red -fill black -draw 'rectangle 5,5 20,12'", "PNG24:" + dir.file("a.png")));
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(dir.file("a.png"), 0, 1, 1), 0);
  ASSERT_EQ(ctrl.SaveToFile(dir.file("a.bmp"), 6, 32, 0, 0), 0);
  CImageCtrl back;
  ASSERT_EQ(back.GetFileInfo(dir.file("a.bmp"), 1, 0), 0);
  EXPECT_EQ(back.GetBitsPerPixel(), 24);
  ASSERT_EQ(back.LoadFile(dir.file("a.bmp"), 0, 1, 1), 0);
  expectNear(at(back, 30, 15), Qt::red, 0, "red stays red");
}

// Every page that examining counts loads, in the depth examined for it.
TEST(HeldImage, EveryPageOfAGifLoads) {
  testsupport::TempDir dir;
  const std::string path = dir.file("pages.gif");
  ASSERT_TRUE(convert("\\( -size 40x30 xc:white -fill black -draw 'rectangle 5,5 20,12' -type bilevel \\) "
                      "\\( -size 40x30 xc:white -fill red -draw 'circle 20,15 26,15' -fill blue "
                      "-draw 'rectangle 0,0 3,3' -colors 8 \\)",
                      path));
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.GetFileInfo(path, 1, 0), 0);
  ASSERT_EQ(ctrl.GetDispid39(), 2);
  const QColor expected[] = {Qt::black, Qt::red};
  const QPoint where[] = {QPoint(10, 8), QPoint(20, 15)};
  for (int page = 1; page <= 2; ++page) {
    SCOPED_TRACE(page);
    ASSERT_EQ(ctrl.GetFileInfo(path, page, 0), 0);
    const int examined = ctrl.GetBitsPerPixel();
    ASSERT_EQ(ctrl.LoadFile(path, 0, page, 1), 0);
    EXPECT_EQ(ctrl.GetDispid12(), examined);
    expectNear(at(ctrl, where[page - 1].x(), where[page - 1].y()), expected[page - 1], 3, "the page's own picture");
    expectNear(at(ctrl, 35, 25), Qt::white, 3, "paper");
  }
  EXPECT_NE(ctrl.GetFileInfo(path, 3, 0), 0);
  EXPECT_NE(ctrl.LoadFile(path, 0, 3, 1), 0);
}

// Image data that cannot be decoded fails the load with the engine's
// "corrupt" code and leaves nothing held, although the headers examine well.
TEST(HeldImage, DataThatCannotBeDecodedFailsAtLoad) {
  testsupport::TempDir dir;
  const std::string picture = "-size 300x200 plasma:fractal -seed 7";
  ASSERT_TRUE(convert(picture + " -quality 90", dir.file("whole.jpg")));
  ASSERT_TRUE(convert(picture + " -quality 90 -interlace JPEG", dir.file("progressive.jpg")));
  ASSERT_TRUE(convert(picture + " -compress LZW", dir.file("whole.tif")));
  const std::string jpeg = testsupport::readFile(dir.file("whole.jpg"));
  const std::string progressive = testsupport::readFile(dir.file("progressive.jpg"));
  const std::string tiff = testsupport::readFile(dir.file("whole.tif"));
  std::string garbled = jpeg;
  const std::size_t scan = garbled.find("\xFF\xDA");
  ASSERT_NE(scan, std::string::npos);
  for (std::size_t i = scan + 300; i < scan + 400; ++i) garbled[i] = static_cast<char>(i % 7 == 0 ? 0xFF : i * 37);
  std::string garbledTiff = tiff;
  for (std::size_t i = 40; i < 240; ++i) garbledTiff[i] = static_cast<char>(0xFF);

  const std::pair<const char*, std::string> damaged[] = {
      {"JPEG cut in half", jpeg.substr(0, jpeg.size() / 2)},
      {"JPEG with garbled entropy-coded data", garbled},
      {"progressive JPEG without its last scans", progressive.substr(0, progressive.size() * 2 / 3)},
      {"LZW TIFF with garbled strip data", garbledTiff},
  };
  CImageCtrl ctrl;
  for (const auto& [name, bytes] : damaged) {
    SCOPED_TRACE(name);
    const std::string path = dir.file("damaged");
    ASSERT_TRUE(testsupport::writeFile(path, bytes));
    ASSERT_EQ(ctrl.GetFileInfo(path, 1, 0), 0) << "the headers are whole";
    EXPECT_EQ(ctrl.LoadFile(path, 0, 1, 1), img::kErrorCorrupt);
    EXPECT_FALSE(ctrl.holdsImage());
  }

  // A JPEG that lacks only its end marker has every row: it loads.
  const std::string path = dir.file("no-end.jpg");
  ASSERT_TRUE(testsupport::writeFile(path, jpeg.substr(0, jpeg.size() - 2)));
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  EXPECT_EQ(ctrl.GetImageWidth(), 300);
}

}  // namespace
