// The imaging control's operations on files written by other programs.

#include "shell/image_ctrl.h"

#include "platform/global_memory.h"
#include "platform/imaging/image.h"
#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace img = platform::imaging;
using imagingtest::convert;
using imagingtest::identify;
using imagingtest::run;

namespace {

struct ExamineCase {
  const char* name;
  const char* file;      // output name, with an ImageMagick format prefix where needed
  std::string args;      // convert arguments
  const char* then;      // a further command on the file (%f), or nullptr
  int format;
  int width;
  int height;
  int bits;
  int dpi;
  int pages;
};

std::ostream& operator<<(std::ostream& os, const ExamineCase& c) { return os << c.name; }

class ExamineTest : public ::testing::TestWithParam<ExamineCase> {};

TEST_P(ExamineTest, ReportsFormatSizeDepthResolutionAndPages) {
  const ExamineCase& c = GetParam();
  testsupport::TempDir dir;
  std::string file = c.file;
  std::string path = dir.file(file.substr(file.find(':') == std::string::npos ? 0 : file.find(':') + 1));
  std::string prefix = file.find(':') == std::string::npos ? "" : file.substr(0, file.find(':') + 1);
  ASSERT_TRUE(convert(c.args, prefix + path));
  if (c.then != nullptr) {
    std::string command = c.then;
    for (std::size_t at; (at = command.find("%f")) != std::string::npos;) command.replace(at, 2, path);
    ASSERT_TRUE(run(command));
  }
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.GetFileInfo(path, 1, 0), 0);
  EXPECT_EQ(ctrl.GetInfoFormat(), c.format);
  EXPECT_EQ(ctrl.GetDispid40(), c.width);
  EXPECT_EQ(ctrl.GetDispid41(), c.height);
  EXPECT_EQ(ctrl.GetBitsPerPixel(), c.bits);
  EXPECT_EQ(ctrl.GetXResolution(), c.dpi);
  EXPECT_EQ(ctrl.GetYResolution(), c.dpi);
  EXPECT_EQ(ctrl.GetDispid39(), c.pages);

  // The file also loads, with the same size.
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  EXPECT_EQ(ctrl.GetImageWidth(), c.width);
  EXPECT_EQ(ctrl.GetImageHeight(), c.height);
  EXPECT_FALSE(ctrl.heldImage().isNull());
}

const std::string kColour = imagingtest::colourPicture(120, 80);
const std::string kBilevel = imagingtest::bilevelPicture(120, 80) + " -type bilevel";
const std::string kDpi200 = " -units PixelsPerInch -density 200";

INSTANTIATE_TEST_SUITE_P(
    FilesOfOtherPrograms, ExamineTest,
    ::testing::Values(
        ExamineCase{"BmpBlackWhite", "BMP3:a.bmp", kBilevel + kDpi200, nullptr, 6, 120, 80, 1, 200, 1},
        ExamineCase{"BmpGrey", "BMP3:a.bmp", kColour + " -colorspace Gray -type palette -compress None" + kDpi200, nullptr, 6, 120, 80, 8, 200, 1},
        ExamineCase{"BmpColour", "BMP3:a.bmp", kColour + " -type truecolor" + kDpi200, nullptr, 6, 120, 80, 24, 200, 1},
        ExamineCase{"BmpRle8", "BMP3:a.bmp", kColour + " -colors 200 -type palette -compress RLE" + kDpi200, nullptr,
                    84, 120, 80, 8, 200, 1},
        ExamineCase{"BmpLargerThanItsHead", "BMP3:a.bmp", imagingtest::colourPicture(400, 300) + " -type truecolor" + kDpi200,
                    nullptr, 6, 400, 300, 24, 200, 1},
        ExamineCase{"BmpOs2NoResolution", "BMP2:a.bmp", kColour + " -type palette", nullptr, 14, 120, 80, 8, 150, 1},
        ExamineCase{"Jpeg444", "a.jpg", kColour + " -sampling-factor 1x1 -quality 90" + kDpi200, nullptr, 10, 120, 80,
                    24, 200, 1},
        ExamineCase{"Jpeg422", "a.jpg", kColour + " -sampling-factor 2x1" + kDpi200, nullptr, 23, 120, 80, 24, 200, 1},
        ExamineCase{"Jpeg420", "a.jpg", kColour + " -sampling-factor 2x2" + kDpi200, nullptr, 21, 120, 80, 24, 200, 1},
        ExamineCase{"JpegGrey", "a.jpg", kColour + " -colorspace Gray" + kDpi200, nullptr, 10, 120, 80, 8, 200, 1},
        ExamineCase{"PngColour", "PNG24:a.png", kColour + kDpi200, nullptr, 75, 120, 80, 24, 200, 1},
        ExamineCase{"PngBlackWhite", "a.png", kBilevel + kDpi200, nullptr, 75, 120, 80, 1, 200, 1},
        ExamineCase{"GifOnePage", "a.gif", kColour + " -colors 16", nullptr, 2, 120, 80, 4, 150, 1},
        ExamineCase{"GifTwoPages", "a.gif", "\\( " + kColour + " -colors 200 \\) \\( " + kBilevel + " \\)", nullptr, 2, 120, 80, 8,
                    150, 2},
        ExamineCase{"TiffUncompressed", "a.tif", kColour + " -compress None" + kDpi200, nullptr, 3, 120, 80, 24, 200, 1},
        ExamineCase{"TiffLzw", "a.tif", kColour + " -compress LZW" + kDpi200, nullptr, 17, 120, 80, 24, 200, 1},
        ExamineCase{"TiffPackBits", "a.tif", kColour + " -compress RLE" + kDpi200, nullptr, 87, 120, 80, 24, 200, 1},
        ExamineCase{"TiffJpeg", "a.tif", kColour + " -compress None" + kDpi200, "tiffcp -c jpeg -r 16 %f %f.j && mv %f.j %f", 22,
                    120, 80, 24, 200, 1},
        // CMYK is held as RGB: 24 bits, as loading reports it
        ExamineCase{"TiffCmyk", "a.tif", kColour + " -colorspace CMYK -compress None" + kDpi200, nullptr, 85, 120, 80, 24,
                    200, 1},
        ExamineCase{"TiffG4", "a.tif", kBilevel + " -compress Group4" + kDpi200, nullptr, 29, 120, 80, 1, 200, 1},
        ExamineCase{"TiffG3OneD", "a.tif", kBilevel + " -compress Group4" + kDpi200, "tiffcp -c g3:1d %f %f.g3 && mv %f.g3 %f",
                    27, 120, 80, 1, 200, 1},
        ExamineCase{"TiffG3TwoD", "a.tif", kBilevel + " -compress Group4" + kDpi200, "tiffcp -c g3:2d %f %f.g3 && mv %f.g3 %f",
                    28, 120, 80, 1, 200, 1},
        ExamineCase{"TiffTwoPages", "a.tif", "\\( " + kBilevel + " \\) \\( " + kBilevel + " \\) -compress Group4" + kDpi200,
                    nullptr, 29, 120, 80, 1, 200, 2},
        ExamineCase{"PnmGrey", "PGM:a.pgm", kColour + " -colorspace Gray", nullptr, img::format::kPnm, 120, 80, 8, 150, 1},
        ExamineCase{"PnmBlackWhite", "PBM:a.pbm", kBilevel, nullptr, img::format::kPnm, 120, 80, 1, 150, 1}),
    [](const ::testing::TestParamInfo<ExamineCase>& info) { return std::string(info.param.name); });

// tiffcp writes %f.g3 then moves it back; the command holds %f several times.
struct Fixture : ::testing::Test {
  testsupport::TempDir dir;
  std::string colourPng() {
    std::string path = dir.file("colour.png");
    EXPECT_TRUE(convert(imagingtest::colourPicture(120, 80) + kDpi200, "PNG24:" + path));
    return path;
  }
};

// ---------------------------------------------------------------- errors

TEST_F(Fixture, FilesThatAreNoImagesFailWithoutHoldingAnything) {
  CImageCtrl ctrl;
  const std::string text = dir.file("note.txt");
  ASSERT_TRUE(testsupport::writeFile(text, "just some words, not a picture"));
  const std::string truncated = dir.file("cut.bmp");
  std::string bmp = testsupport::readFile(colourPng());
  ASSERT_TRUE(convert(imagingtest::colourPicture(120, 80), "BMP3:" + truncated));
  std::string whole = testsupport::readFile(truncated);
  ASSERT_TRUE(testsupport::writeFile(truncated, whole.substr(0, whole.size() / 2)));

  for (const std::string& path : {text, truncated, dir.file("missing.png")}) {
    SCOPED_TRACE(path);
    EXPECT_NE(ctrl.GetFileInfo(path, 1, 0), 0);
    EXPECT_NE(ctrl.LoadFile(path, 0, 1, 1), 0);
    EXPECT_FALSE(ctrl.holdsImage());
  }
  const std::string png = colourPng();
  EXPECT_NE(ctrl.GetFileInfo(png, 2, 0), 0) << "a page the file does not have";
  EXPECT_NE(ctrl.SaveFile(dir.file("x.bmp"), 6, 24, 0, 0), 0) << "nothing held";
  ASSERT_EQ(ctrl.LoadFile(png, 0, 1, 1), 0);
  EXPECT_NE(ctrl.SaveFile(dir.file("x.cmp"), 5, 24, 0, 0), 0) << "a format this control cannot write";
  EXPECT_FALSE(testsupport::fileExists(dir.file("x.cmp")));
}

// ---------------------------------------------------------------- saving

struct SaveCase {
  const char* name;
  int format;
  int bits;
  const char* ext;
  const char* identifyFormat;  // ImageMagick's name for what it reads
  int expectBits;              // what examining our file reports; 0: a palette of at most 8 bits
  bool lossy;
  bool storesDpi = true;
};
std::ostream& operator<<(std::ostream& os, const SaveCase& c) { return os << c.name; }

class SaveTest : public Fixture, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SaveTest, WritesAFileOthersReadAndThatLoadsBack) {
  const SaveCase& c = GetParam();
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  const QImage before = ctrl.heldImage().convertToFormat(QImage::Format_RGB32);
  const std::string out = dir.file(std::string("out.") + c.ext);
  ASSERT_EQ(ctrl.SaveToFile(out, static_cast<short>(c.format), static_cast<short>(c.bits), 2, 0), 0);

  // (the first image: ImageMagick shows a Photoshop file's layer as a second)
  EXPECT_EQ(identify("%m %w %h", out + "[0]"), std::string(c.identifyFormat) + " 120 80");

  CImageCtrl back;
  ASSERT_EQ(back.GetFileInfo(out, 1, 0), 0);
  EXPECT_EQ(back.GetInfoFormat(), c.format);
  if (c.expectBits == 0) EXPECT_LE(back.GetBitsPerPixel(), 8);
  else EXPECT_EQ(back.GetBitsPerPixel(), c.expectBits);
  EXPECT_EQ(back.GetXResolution(), c.storesDpi ? 200 : 150) << "the resolution travels with the file";
  ASSERT_EQ(back.LoadFile(out, 0, 1, 1), 0);
  const QImage after = back.heldImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_EQ(after.size(), before.size());
  if (c.expectBits >= 24) {
    // the red square stays red, the black bar black
    const int tolerance = c.lossy ? 40 : 0;
    for (QPoint p : {QPoint(50, 30), QPoint(15, 8), QPoint(100, 70)}) {
      QColor a = before.pixelColor(p), b = after.pixelColor(p);
      EXPECT_NEAR(a.red(), b.red(), tolerance) << p.x() << "," << p.y();
      EXPECT_NEAR(a.green(), b.green(), tolerance);
      EXPECT_NEAR(a.blue(), b.blue(), tolerance);
    }
  } else if (c.expectBits == 1) {
    EXPECT_EQ(after.pixelColor(15, 8), QColor(Qt::black));
    EXPECT_EQ(after.pixelColor(100, 75), QColor(Qt::white));
  }
}

INSTANTIATE_TEST_SUITE_P(
    EachFormat, SaveTest,
    ::testing::Values(SaveCase{"Bmp24", 6, 24, "bmp", "BMP3", 24, false},
                      SaveCase{"Bmp8", 6, 8, "bmp", "BMP3", 8, false},
                      SaveCase{"Bmp4", 6, 4, "bmp", "BMP3", 4, false},
                      SaveCase{"Bmp1", 6, 1, "bmp", "BMP3", 1, false},
                      SaveCase{"BmpRle8", 84, 8, "bmp", "BMP3", 8, false},
                      SaveCase{"BmpRle4", 84, 4, "bmp", "BMP3", 4, false},
                      SaveCase{"Jpeg444", 10, 24, "jpg", "JPEG", 24, true},
                      SaveCase{"Jpeg420", 21, 24, "jpg", "JPEG", 24, true},
                      SaveCase{"Jpeg422", 23, 24, "jpg", "JPEG", 24, true},
                      SaveCase{"JpegGrey", 10, 0, "jpg", "JPEG", 8, true},
                      SaveCase{"Png", 75, 24, "png", "PNG", 24, false},
                      SaveCase{"Gif", 2, 8, "gif", "GIF", 0, false, false},
                      SaveCase{"Tiff", 3, 24, "tif", "TIFF", 24, false},
                      SaveCase{"TiffLzw", 17, 24, "tif", "TIFF", 24, false},
                      SaveCase{"TiffPackBits", 87, 24, "tif", "TIFF", 24, false},
                      SaveCase{"TiffJpeg", 11, 24, "tif", "TIFF", 24, true},
                      SaveCase{"TiffJpeg420", 22, 24, "tif", "TIFF", 24, true},
                      SaveCase{"TiffCmyk", 85, 24, "tif", "TIFF", 24, false},
                      SaveCase{"TiffHuffman", 25, 1, "tif", "TIFF", 1, false},
                      SaveCase{"TiffG3", 27, 1, "tif", "TIFF", 1, false},
                      SaveCase{"TiffG3TwoD", 28, 1, "tif", "TIFF", 1, false},
                      SaveCase{"TiffG4", 29, 1, "tif", "TIFF", 1, false},
                      SaveCase{"Pnm", img::format::kPnm, 24, "ppm", "PPM", 24, false, false},
                      SaveCase{"Pcx", 1, 24, "pcx", "PCX", 24, false},
                      SaveCase{"Targa", 4, 24, "tga", "TGA", 24, false, false},
                      SaveCase{"Photoshop", 76, 24, "psd", "PSD", 24, false, false},
                      SaveCase{"SunRaster", 55, 24, "ras", "SUN", 24, false, false},
                      SaveCase{"Cals", 50, 1, "cal", "CALS", 1, false}),
    [](const ::testing::TestParamInfo<SaveCase>& info) { return std::string(info.param.name); });

TEST_F(Fixture, PagesAreAddedToATiffFile) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  const std::string out = dir.file("pages.tif");
  ASSERT_EQ(ctrl.SaveToFile(out, 29, 1, 0, 0), 0);
  ASSERT_EQ(ctrl.Rotate(9000, 1, 0xFFFFFF), 0);
  ASSERT_EQ(ctrl.SaveToFile(out, 29, 1, 0, 1), 0);
  EXPECT_EQ(identify("%w %h;", out), "120 80;80 120;");
  CImageCtrl back;
  ASSERT_EQ(back.GetFileInfo(out, 2, 0), 0);
  EXPECT_EQ(back.GetDispid39(), 2);
  EXPECT_EQ(back.GetDispid40(), 80);
  ASSERT_EQ(back.LoadFile(out, 0, 2, 1), 0);
  EXPECT_EQ(back.GetImageWidth(), 80);

  // A page is never added to a file of another kind, which stays as it was.
  const std::string png = colourPng();
  const std::string before = testsupport::readFile(png);
  EXPECT_NE(ctrl.SaveToFile(png, 29, 1, 0, 1), 0);
  EXPECT_EQ(testsupport::readFile(png), before);
}

TEST_F(Fixture, PaletteFormatReducesTheHeldImageFirst) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  const std::string out = dir.file("few.gif");
  ASSERT_EQ(ctrl.SaveToFile(out, 2, 4, 0, 0), 0);
  EXPECT_EQ(ctrl.GetDispid12(), 4) << "the held image itself was reduced";
  EXPECT_LE(std::stoi(identify("%k", out)), 16);
}

// 0 bits: the held depth where the format holds it (grey for the formats that
// name grey depth 0); -1: as loaded, for every format.
struct DefaultDepthCase {
  const char* name;
  bool bilevelSource;
  int format;
  int bits;
  const char* ext;
  int expectBits;  // 0: a palette of at most 8 bits
};
std::ostream& operator<<(std::ostream& os, const DefaultDepthCase& c) { return os << c.name; }

class DefaultDepthTest : public Fixture, public ::testing::WithParamInterface<DefaultDepthCase> {};

TEST_P(DefaultDepthTest, ZeroAndMinusOneKeepTheDepthTheFormatHolds) {
  const DefaultDepthCase& c = GetParam();
  std::string source = colourPng();
  if (c.bilevelSource) {
    source = dir.file("bilevel.tif");
    ASSERT_TRUE(convert(imagingtest::bilevelPicture(120, 80) + " -type bilevel -compress Group4", source));
  }
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(source, 0, 1, 1), 0);
  const std::string out = dir.file(std::string("out.") + c.ext);
  ASSERT_EQ(ctrl.SaveToFile(out, static_cast<short>(c.format), static_cast<short>(c.bits), 2, 0), 0);
  CImageCtrl back;
  ASSERT_EQ(back.GetFileInfo(out, 1, 0), 0);
  if (c.expectBits == 0) EXPECT_LE(back.GetBitsPerPixel(), 8);
  else EXPECT_EQ(back.GetBitsPerPixel(), c.expectBits);
}

INSTANTIATE_TEST_SUITE_P(
    EachMeaning, DefaultDepthTest,
    ::testing::Values(DefaultDepthCase{"ZeroKeepsColourInBmp", false, 6, 0, "bmp", 24},
                      DefaultDepthCase{"MinusOneKeepsColourInBmp", false, 6, -1, "bmp", 24},
                      DefaultDepthCase{"ZeroKeepsBlackAndWhiteInTiff", true, 3, 0, "tif", 1},
                      DefaultDepthCase{"ZeroKeepsColourInPng", false, 75, 0, "png", 24},
                      DefaultDepthCase{"ZeroInGifIsItsNearestDepth", false, 2, 0, "gif", 0},
                      DefaultDepthCase{"MinusOneInGifIsItsNearestDepth", false, 2, -1, "gif", 0},
                      DefaultDepthCase{"ZeroKeepsBlackAndWhiteInGif", true, 2, 0, "gif", 1},
                      DefaultDepthCase{"ZeroInJpegIsGrey", false, 10, 0, "jpg", 8},
                      DefaultDepthCase{"MinusOneInJpegKeepsColour", false, 10, -1, "jpg", 24}),
    [](const ::testing::TestParamInfo<DefaultDepthCase>& info) { return std::string(info.param.name); });

TEST_F(Fixture, ExaminingAnotherFileLeavesTheHeldImagesResolution) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);  // 200 dpi
  const std::string other = dir.file("other.png");
  ASSERT_TRUE(convert(imagingtest::colourPicture(30, 20) + " -units PixelsPerInch -density 72", "PNG24:" + other));
  ASSERT_EQ(ctrl.GetFileInfo(other, 1, 0), 0);
  EXPECT_EQ(ctrl.GetXResolution(), 72) << "the examined file's values are reported";
  // Drawing into the held image and saving it keep the image's own 200 dpi.
  ASSERT_NE(ctrl.BeginDraw(), nullptr);
  ASSERT_EQ(ctrl.EndDraw(), 0);
  const std::string out = dir.file("drawn.bmp");
  ASSERT_EQ(ctrl.SaveToFile(out, 6, 24, 0, 0), 0);
  CImageCtrl back;
  ASSERT_EQ(back.GetFileInfo(out, 1, 0), 0);
  EXPECT_EQ(back.GetXResolution(), 200);
  EXPECT_EQ(back.GetYResolution(), 200);
}

// ---------------------------------------------------------------- geometry and depth

TEST_F(Fixture, RotatesByQuartersExactlyAndBySmallAnglesOnWhite) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  const QImage original = ctrl.heldImage();
  const QColor red = original.pixelColor(50, 30);  // inside the red square
  struct Quarter {
    int angle;
    QSize size;
    QPoint redAt;  // where (50, 30) of the 120 x 80 picture goes, turning clockwise
  };
  for (Quarter q : {Quarter{9000, {80, 120}, {80 - 1 - 30, 50}}, Quarter{18000, {120, 80}, {120 - 1 - 50, 80 - 1 - 30}},
                    Quarter{27000, {80, 120}, {30, 120 - 1 - 50}}}) {
    CImageCtrl turned;
    turned.SetImageHandle(ctrl.GetImageHandle());
    ASSERT_EQ(turned.Rotate(q.angle, 1, 0xFFFFFF), 0);
    const QImage shown = turned.heldImage();
    EXPECT_EQ(shown.size(), q.size) << q.angle;
    EXPECT_EQ(shown.pixelColor(q.redAt), red) << q.angle;
  }
  EXPECT_EQ(ctrl.heldImage().size(), QSize(120, 80)) << "turning a handed-over image leaves the source";

  ASSERT_EQ(ctrl.Rotate(500, 1, 0xFFFFFF), 0);
  const QImage tilted = ctrl.heldImage();
  EXPECT_GT(tilted.width(), 120);
  EXPECT_GT(tilted.height(), 80);
  EXPECT_EQ(tilted.pixelColor(0, 0), QColor(Qt::white)) << "the new corners are white";
  EXPECT_EQ(tilted.pixelColor(tilted.width() - 1, tilted.height() - 1), QColor(Qt::white));
}

TEST_F(Fixture, ReducesToBlackAndWhiteAndToGreyLevels) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  EXPECT_EQ(ctrl.GetDispid12(), 24);
  EXPECT_EQ(ctrl.GetDispid98(), 0);

  CImageCtrl grey;
  grey.SetImageHandle(ctrl.GetImageHandle());
  for (int i = 0; i < 256; ++i) grey.SetPaletteEntry(static_cast<short>(i), i * 0x010101);
  ASSERT_EQ(grey.ReduceColors(8, 16, 0, 256), 0);
  EXPECT_EQ(grey.GetDispid12(), 8);
  EXPECT_NE(grey.GetDispid98(), 0);
  const QColor g = grey.heldImage().pixelColor(50, 30);
  EXPECT_EQ(g.red(), g.green());
  EXPECT_EQ(g.green(), g.blue());

  grey.SetPaletteEntry(0, 0);
  grey.SetPaletteEntry(1, 0xFFFFFF);
  ASSERT_EQ(grey.ReduceColors(1, 16, 0, 0), 0);
  EXPECT_EQ(grey.GetDispid12(), 1);
  EXPECT_EQ(grey.heldImage().pixelColor(15, 8), QColor(Qt::black));
  EXPECT_EQ(grey.heldImage().pixelColor(110, 75), QColor(Qt::white));

  ASSERT_EQ(ctrl.ConvertToGrey(8), 0);
  EXPECT_NE(ctrl.GetDispid98(), 0);
}

TEST_F(Fixture, ResizesToTheAskedSize) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  for (short flags : {0, 2}) {
    CImageCtrl small;
    small.SetImageHandle(ctrl.GetImageHandle());
    ASSERT_EQ(small.ResizeImage(31, 17, flags), 0);
    EXPECT_EQ(small.GetImageWidth(), 31);
    EXPECT_EQ(small.GetImageHeight(), 17);
  }
  EXPECT_NE(ctrl.ResizeImage(0, 10, 2), 0);
}

TEST_F(Fixture, ImagesMoveBetweenInstancesByHandle) {
  CImageCtrl a, b, c;
  EXPECT_EQ(a.GetImageHandle(), 0);
  ASSERT_EQ(a.LoadFile(colourPng(), 0, 1, 1), 0);
  const std::int32_t handle = a.GetImageHandle();
  ASSERT_NE(handle, 0);
  EXPECT_EQ(a.GetImageHandle(), handle) << "stable while the image is held";
  b.SetImageHandle(handle);
  a.SetImageHandle(0);
  EXPECT_FALSE(a.holdsImage());
  ASSERT_TRUE(b.holdsImage());
  EXPECT_EQ(b.GetImageWidth(), 120);
  EXPECT_EQ(b.GetXResolution(), 200);

  // Once no instance holds it, the handle names nothing.
  b.SetImageHandle(0);
  c.SetImageHandle(handle);
  EXPECT_FALSE(c.holdsImage());
}

TEST_F(Fixture, ResolutionIsSetOnTheHeldImage) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  CImageCtrl other;
  other.SetImageHandle(ctrl.GetImageHandle());
  ctrl.SetXResolution(400);
  ctrl.SetYResolution(400);
  EXPECT_EQ(ctrl.GetXResolution(), 400);
  EXPECT_EQ(other.GetXResolution(), 200) << "a shared image is not changed under another instance";
  const std::string out = dir.file("r.bmp");
  ASSERT_EQ(ctrl.SaveToFile(out, 6, 24, 0, 0), 0);
  ASSERT_EQ(other.GetFileInfo(out, 1, 0), 0);
  EXPECT_EQ(other.GetXResolution(), 400);
}

// ---------------------------------------------------------------- memory, drawing

TEST_F(Fixture, ThumbnailDataGoesThroughMemoryBlocks) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  ASSERT_EQ(ctrl.ResizeImage(60, 40, 2), 0);
  std::int32_t handle = 0, size = 0;
  ASSERT_EQ(ctrl.SaveToMemory(&handle, 2, 8, 0, &size), 0);
  ASSERT_NE(handle, 0);
  ASSERT_GT(size, 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(platform::globalLock(handle)), 4), "GIF8");

  CImageCtrl back;
  ASSERT_EQ(back.LoadMemory(handle, 0, 1, 1, size), 0);
  EXPECT_EQ(back.GetImageWidth(), 60);
  EXPECT_EQ(back.GetDispid12(), 8);
  EXPECT_TRUE(platform::globalFree(handle));
}

TEST_F(Fixture, DibHandleHoldsAPackedBitmap) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  const std::int32_t dib = ctrl.GetDibHandle();
  ASSERT_NE(dib, 0);
  const std::uint8_t* p = platform::globalLock(dib);
  EXPECT_EQ(p[0], 40) << "BITMAPINFOHEADER first";
  EXPECT_EQ(p[4] | (p[5] << 8), 120);
  EXPECT_EQ(p[14], 24);
  EXPECT_EQ(platform::globalSize(dib), 40u + ((120 * 3 + 3) / 4 * 4) * 80u);
  platform::globalFree(dib);
}

TEST_F(Fixture, DrawsIntoTheImageAndOntoAPainter) {
  CImageCtrl ctrl;
  ASSERT_EQ(ctrl.CreateBlank(800, 800, 24), 0);
  QPainter* painter = ctrl.BeginDraw();
  ASSERT_NE(painter, nullptr);
  painter->fillRect(QRect(100, 100, 50, 50), Qt::blue);
  ASSERT_EQ(ctrl.EndDraw(), 0);
  EXPECT_EQ(ctrl.heldImage().pixelColor(120, 120), QColor(Qt::blue));
  EXPECT_EQ(ctrl.heldImage().pixelColor(10, 10), QColor(Qt::white));

  QImage page(200, 200, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter onPage(&page);
  ASSERT_EQ(ctrl.PrintImage(&onPage, 0, 0, 200, 200), 0);
  onPage.end();
  EXPECT_EQ(page.pixelColor(31, 31), QColor(Qt::blue)) << "drawn scaled to the rectangle";
}

TEST_F(Fixture, WindowShowsTheImageInItsDisplayRectangle) {
  CImageCtrl ctrl;
  ASSERT_TRUE(ctrl.Create("", 0, QRect(0, 0, 240, 160), nullptr, 2000));
  EXPECT_EQ(ctrl.objectName(), "ctl2000");
  EXPECT_FALSE(ctrl.isVisible()) << "created hidden";
  ctrl.SetBackColor(0x00808080);
  ASSERT_EQ(ctrl.LoadFile(colourPng(), 0, 1, 1), 0);
  ctrl.SetDisplayRect(0, 0, ctrl.GetImageWidth() * 1.5f, ctrl.GetImageHeight() * 1.5f);  // zoom 150 %
  ctrl.show();
  const QImage shot = ctrl.grab().toImage();
  const QString dir = QString::fromStdString(testsupport::privateRoot());
  EXPECT_TRUE(shot.save(dir + "/imaging_control.png"));
#ifdef BRINDEL_SCREENSHOT_DIR
  shot.save(QStringLiteral(BRINDEL_SCREENSHOT_DIR "/imaging_control.png"));
#endif
  EXPECT_EQ(shot.pixelColor(75, 45), QColor(Qt::red)) << "(50, 30) of the image at 150 %";
  EXPECT_EQ(shot.pixelColor(235, 155), QColor(0x80, 0x80, 0x80)) << "background beyond the image";
  ctrl.SetDispid2(false);
  EXPECT_EQ(ctrl.GetDispid23(), 180.0f);
}

TEST_F(Fixture, CleanUpStepsKeepTheImageSize) {
  CImageCtrl ctrl;
  const std::string path = dir.file("page.tif");
  ASSERT_TRUE(convert(imagingtest::bilevelPicture(300, 200) + " -type bilevel -compress Group4", path));
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  ASSERT_EQ(ctrl.GetDispid12(), 1);
  ASSERT_EQ(ctrl.Invert(), 0);
  EXPECT_EQ(ctrl.heldImage().pixelColor(0, 0), QColor(Qt::black)) << "inverted";
  ASSERT_EQ(ctrl.Invert(), 0);
  ASSERT_EQ(ctrl.Despeckle(), 0);
  ASSERT_EQ(ctrl.Deskew(), 0);
  EXPECT_EQ(ctrl.GetImageWidth(), 300);
  EXPECT_EQ(ctrl.GetImageHeight(), 200);
  EXPECT_EQ(ctrl.heldImage().pixelColor(20, 20), QColor(Qt::black));
}

}  // namespace
