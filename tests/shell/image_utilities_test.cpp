// Title rules, BMP resolution, thumbnail cells and the format tables.

#include "shell/image_utilities.h"

#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "tests/shell/imaging_fixtures.h"
#include "tests/support/test_env.h"

#include <gtest/gtest.h>

namespace {

using imagingtest::convert;

TEST(TitleRules, FindInvalidTitleChar) {
  struct Case {
    const char* name;
    std::string title;
    int result;
  } cases[] = {
      {"empty", "", -1},
      {"200 bytes", std::string(200, 'a'), 0},
      {"201 bytes", std::string(201, 'a'), -2},
      {"100 kanji are 200 bytes", [] { std::string s; for (int i = 0; i < 100; ++i) s += "漢"; return s; }(), 0},
      {"hash", "a#b", 2},
      {"each of the set", "ab\"", 3},
      {"after a kanji counts its two bytes", "漢:", 3},
      {"a trail byte that looks like a bracket", "ソ表", 0},  // 0x83 0x5C and 0x95 0x5C
      {"no Shift-JIS code", "a😀", kTitleNotShiftJis},
      {"Hangul", "서류", kTitleNotShiftJis},
      {"long before unwritable", std::string(201, 'a') + "😀", -2},
  };
  for (const Case& c : cases) EXPECT_EQ(FindInvalidTitleChar(c.title), c.result) << c.name;
}

TEST(TitleRules, CheckTitleRunsItsTestsInOrder) {
  struct Case {
    const char* name;
    std::string title, extension, folder;
    int result;
  } cases[] = {
      {"valid", "見積書", "doc", "/tmp", 0},
      {"empty title first", "", "", "", -1},
      {"long title", std::string(201, 'a'), "", "", -2},
      {"empty extension", "a", "", "", -3},
      {"long extension", "a", "abcdefghi", "", -4},
      {"eight-byte extension", "a", "abcdefgh", "", 0},
      {"path too long", std::string(150, 'a'), "doc", std::string(101, 'f'), -5},
      {"path just fits", std::string(150, 'a'), "doc", std::string(100, 'f'), 0},
      {"name over Linux's 255 bytes", [] { std::string s; for (int i = 0; i < 90; ++i) s += "漢"; return s; }(),
       "doc", "", -5},
      {"forbidden in the title", "a*b", "doc", "", 2},
      {"forbidden in the extension", "ab", "d:c", "", 1002},
      {"title before extension", "a<", "d>c", "", 2},
      {"emoji in the title", "a😀*", "doc", "", kTitleNotShiftJis},
      {"Hangul in the extension", "a", "서", "", kTitleNotShiftJis},
  };
  for (const Case& c : cases) EXPECT_EQ(CheckTitle(c.title, c.extension, c.folder), c.result) << c.name;
}

TEST(TitleRules, ImportTitleCheckTellsWhy) {
  platform::RecordingUserInteraction boxes;
  EXPECT_TRUE(CheckImportTitle("report.doc", 1));
  EXPECT_TRUE(boxes.shown().empty());

  EXPECT_FALSE(CheckImportTitle("a?b.doc", 1));
  EXPECT_FALSE(CheckImportTitle("report.toolongext", 1));
  EXPECT_FALSE(CheckImportTitle(std::string(197, 'a') + ".tif", 3)) << "the page suffix makes it too long";
  EXPECT_TRUE(CheckImportTitle(std::string(197, 'a') + ".tif", 1));
  EXPECT_FALSE(CheckImportTitle("noextension", 1));
  EXPECT_FALSE(CheckImportTitle("写真😀.jpg", 1));
  ASSERT_EQ(boxes.texts().size(), 5u);
  EXPECT_EQ(boxes.texts()[0], "文書名に  '*?][#|\"\\/:<>  は使えません。\nこのファイルはインポートできません。");
  EXPECT_EQ(boxes.texts()[1], "拡張子が長すぎます。\nこのファイルはインポートできません。");
  EXPECT_EQ(boxes.texts()[2], "ファイル名が長すぎます。\nこのファイルはインポートできません。");
  EXPECT_EQ(boxes.texts()[3], "不正なファイル名です。\nこのファイルはインポートできません。\nnoextension");
  EXPECT_EQ(boxes.texts()[4],
            "文書名に、このプログラムでは保存できない文字（ハングル、絵文字など）が含まれています。\n"
            "このファイルはインポートできません。");
  EXPECT_EQ(boxes.shown()[0].icon, platform::Icon::Warning);
}

std::string bmpHeader(std::uint32_t infoSize, std::int32_t pelsPerMeter) {
  std::string h(54, '\0');
  h[0] = 'B', h[1] = 'M';
  auto put32 = [&](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  put32(14, infoSize);
  put32(38, static_cast<std::uint32_t>(pelsPerMeter));
  return h;
}

TEST(Sizes, GetBmpResolution) {
  testsupport::TempDir dir;
  struct Case {
    const char* name;
    std::string bytes;
    int dpi;
  } cases[] = {
      {"96 dpi", bmpHeader(40, 3780), 96},
      {"none stored", bmpHeader(40, 0), 0},
      {"1500 dpi is out of range", bmpHeader(40, 59055), 0},
      {"1200 dpi is the last in range", bmpHeader(40, 47244), 1200},
      {"below 50 dpi", bmpHeader(40, 1900), 0},
      {"negative", bmpHeader(40, -3780), 0},
      {"other header size", bmpHeader(108, 3780), 0},
      {"shorter than 54 bytes", bmpHeader(40, 3780).substr(0, 53), 0},
  };
  for (const Case& c : cases) {
    const std::string path = dir.file("r.bmp");
    ASSERT_TRUE(testsupport::writeFile(path, c.bytes));
    EXPECT_EQ(GetBmpResolution(path), c.dpi) << c.name;
  }
  EXPECT_EQ(GetBmpResolution(dir.file("missing.bmp")), 0);
}

TEST(Sizes, ComputeThumbnailCell) {
  struct Case {
    const char* name;
    int width, height, xDpi, yDpi, cellW, cellH;
  } cases[] = {
      {"A4 at 300 dpi", 2480, 3508, 300, 300, 103, 146},
      {"A4 landscape at 300 dpi", 3508, 2480, 300, 300, 146, 103},
      {"0 dpi counts as 400", 3308, 4677, 0, 0, 103, 146},
      {"one resolution out of range makes both 400", 3308, 4677, 300, 2000, 103, 146},
      {"small image grows to 77", 100, 50, 300, 300, 77, 38},
      {"tall small image grows to 77 high", 50, 100, 300, 300, 38, 77},
      {"large image shrinks to 210", 10000, 5000, 100, 100, 210, 105},
      {"sliver gets 3 pixels", 5000, 10, 300, 300, 210, 3},
      {"zero width", 0, 3508, 300, 300, 77, 77},
      {"zero height", 2480, 0, 300, 300, 77, 77},
      {"both zero", 0, 0, 0, 0, 77, 77},
      {"a one-pixel line stays within the tile", 1, 100000, 400, 400, 3, 210},
  };
  for (const Case& c : cases) {
    int w = -1, h = -1;
    ComputeThumbnailCell(c.width, c.height, w, h, c.xDpi, c.yDpi);
    EXPECT_EQ(w, c.cellW) << c.name;
    EXPECT_EQ(h, c.cellH) << c.name;
  }
}

TEST(FormatTables, NamesExtensionsAndDepths) {
  EXPECT_EQ(GetImageFormatName(29), "TIFF G4圧縮");
  EXPECT_EQ(GetImageFormatName(74), "Windows BMP");
  EXPECT_EQ(GetImageFormatName(83), "FlashPix JPEG圧縮");
  EXPECT_EQ(GetImageFormatName(101), "Exif JPEG (4:1:1)");
  EXPECT_EQ(GetImageFormatName(7), "");
  EXPECT_EQ(GetImageFormatName(102), "");
  int named = 0;
  for (int code = -5; code < 300; ++code) named += GetImageFormatName(code).empty() ? 0 : 1;
  EXPECT_EQ(named, 64) << "the table's 64 codes and no other";

  struct Ext {
    int code;
    const char* ext;
  } exts[] = {{2, "gif"}, {95, "tif"}, {26, "cmp"}, {84, "bmp"}, {23, "jpg"}, {64, "eps"}, {79, "ica"},
              {83, "fpx"}, {101, "exf"}, {70, "wfx"}, {0, "dflt"}, {102, "dflt"}};
  for (const Ext& e : exts) EXPECT_EQ(GetImageFormatExtension(e.code, "dflt"), e.ext) << e.code;

  struct Depth {
    int code, bits;
    const char* name;
  } depths[] = {{6, 0, "グレースケール"}, {6, 1, "白黒"}, {2, 3, "3bit カラー"}, {6, 8, "256色"},
                {10, 8, "グレースケール"}, {89, 8, "グレースケール"}, {3, 16, "16bit カラー"},
                {3, 24, "24bit カラー"}, {3, 32, "32bit カラー"}, {3, 12, ""}};
  for (const Depth& d : depths) EXPECT_EQ(GetColorDepthName(d.code, d.bits), d.name) << d.code << "/" << d.bits;
}

TEST(FormatTables, ApplySaveFormatSettingsByColourClass) {
  struct Case {
    const char* name;
    int format, bits;
    int setting;  // the one setting of the class
    int outFormat, outBits, outQuality;
    const char* outExt;
  } cases[] = {
      {"black and white, G3", 6, 1, 1, 27, 1, 0, "tif"},
      {"black and white, G4", 6, 1, 2, 29, 1, 0, "tif"},
      {"black and white, PNG", 6, 1, 3, 75, 1, 0, "png"},
      {"grey by bits 0", 6, 0, 1, 10, 8, 2, "jpg"},
      {"grey by JPEG code", 10, 8, 2, 11, 8, 2, "tif"},
      {"palette of 8 bits", 6, 8, 1, 17, 8, 0, "tif"},
      {"palette of 4 bits as PNG", 6, 4, 2, 75, 4, 0, "png"},
      {"palette of 8 bits as PNG", 2, 8, 2, 75, 8, 0, "png"},
      {"palette setting 3 leaves it", 6, 8, 3, 6, 8, 5, "bmp"},
      {"colour as JPEG", 6, 24, 1, 10, 24, 2, "jpg"},
      {"colour, unconverted", 6, 24, 0, 6, 24, 5, "bmp"},
  };
  for (const Case& c : cases) {
    ImageStorageSettings settings;
    for (int& s : settings.autoCompression) s = c.setting;
    int format = c.format, bits = c.bits, quality = 5;
    std::string ext = "bmp";
    ApplySaveFormatSettings(format, bits, quality, ext, settings);
    EXPECT_EQ(format, c.outFormat) << c.name;
    EXPECT_EQ(bits, c.outBits) << c.name;
    EXPECT_EQ(quality, c.outQuality) << c.name;
    EXPECT_EQ(ext, c.outExt) << c.name;
  }
}

struct RulesFixture : ::testing::Test {
  testsupport::TempDir dir;
  CImageCtrl ctrl;
  std::string make(const std::string& args, const std::string& name) {
    const std::string path = dir.file(name.substr(name.find(':') + 1));
    EXPECT_TRUE(convert(args, name.find(':') == std::string::npos ? path : name.substr(0, name.find(':') + 1) + path));
    return path;
  }
};

TEST_F(RulesFixture, SaveRulesOnExaminedFiles) {
  const std::string colour = imagingtest::colourPicture(40, 30);
  struct Case {
    const char* name;
    std::string path;
    int format, bits, quality;
    const char* ext;
    bool keep;
  };
  const Case cases[] = {
      {"BMP of 24 bits is kept", make(colour + " -type truecolor -density 300 -units PixelsPerInch", "BMP3:a.bmp"), 6, 24, 0,
       "bmp", true},
      {"OS/2 bitmap becomes a Windows one", make(colour + " -type palette", "BMP2:b.bmp"), 6, 8, 0, "bmp", false},
      {"JPEG gets quality 2", make(colour + " -sampling-factor 2x2", "c.jpg"), 21, 24, 2, "jpg", true},
      {"G4 TIFF is 1 bit", make(imagingtest::bilevelPicture(40, 30) + " -type bilevel -compress Group4", "d.tif"), 29,
       1, 0, "tif", true},
      {"CMYK TIFF is 24 bits", make(colour + " -colorspace CMYK -compress None", "e.tif"), 85, 24, 0, "tif", true},
      {"PNM is stored as TIFF", make(colour, "PPM:f.ppm"), 3, 24, 0, "tif", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_EQ(ctrl.GetFileInfo(c.path, 1, 0), 0);
    int format = -1, bits = -1, quality = -1;
    std::string ext = GetImageFormatExtension(ctrl.GetInfoFormat(), "");
    bool keep = true;
    GetSaveFormatRules(ctrl, c.path, format, bits, quality, &ext, keep, 400);
    EXPECT_EQ(format, c.format);
    EXPECT_EQ(bits, c.bits);
    EXPECT_EQ(quality, c.quality);
    EXPECT_EQ(ext, c.ext);
    EXPECT_EQ(keep, c.keep);
  }
}

TEST_F(RulesFixture, BitmapWithoutResolutionTakesTheSetting) {
  const std::string path = make(imagingtest::colourPicture(40, 30) + " -type truecolor -density 0", "BMP3:a.bmp");
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  ASSERT_EQ(ctrl.GetFileInfo(path, 1, 0), 0);
  EXPECT_EQ(ctrl.GetXResolution(), 150) << "a BMP without resolution reports 150";
  int format, bits, quality;
  bool keep = true;
  GetSaveFormatRules(ctrl, path, format, bits, quality, nullptr, keep, 400);
  EXPECT_EQ(ctrl.GetXResolution(), 400);
  EXPECT_EQ(ctrl.GetYResolution(), 400);
  std::string formatName, depthName;
  GetImageDescription(ctrl, path, formatName, depthName);
  EXPECT_EQ(formatName, "Windows BMP");
  EXPECT_EQ(depthName, "24bit カラー");
}

TEST_F(RulesFixture, ImportStorageOfAGreyImage) {
  const std::string path = make(imagingtest::colourPicture(40, 30) + " -colorspace Gray -type palette -compress None", "BMP3:g.bmp");
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  ImageStorageSettings settings;  // grey -> JPEG
  StorageChoice choice = ChooseImportStorage(ctrl, path, ImportSource::ImageFile, settings);
  EXPECT_EQ(choice.format, 10);
  EXPECT_EQ(choice.bitsPerPixel, 8);
  EXPECT_EQ(choice.quality, 2);
  EXPECT_EQ(choice.extension, "jpg");
  EXPECT_FALSE(choice.keepSource);
  EXPECT_EQ(ctrl.GetDispid12(), 8);

  settings.autoCompression[1] = 0;
  choice = ChooseImportStorage(ctrl, path, ImportSource::ImageFile, settings);
  EXPECT_EQ(choice.format, 6);
  EXPECT_TRUE(choice.keepSource) << "neither format nor depth changed: the file is copied as it is";
  choice = ChooseImportStorage(ctrl, path, ImportSource::UniPage, settings);
  EXPECT_FALSE(choice.keepSource);
}

TEST_F(RulesFixture, IsImportableImage) {
  const std::string colour = imagingtest::colourPicture(40, 30);
  const std::string text = dir.file("a.txt");
  ASSERT_TRUE(testsupport::writeFile(text, "plain words"));
  const std::string pdfNamed = make(colour, "PNG:b.PDF");
  struct Case {
    const char* name;
    std::string path;
    std::uint32_t result;
  } cases[] = {
      {"PNG", make(colour, "c.png"), kImportableImageClass},
      {"G4 TIFF", make(imagingtest::bilevelPicture(40, 30) + " -type bilevel -compress Group4", "d.tif"),
       kImportableImageClass},
      {"single-page GIF", make(colour, "e.gif"), kImportableImageClass},
      {"multi-page GIF", make("\\( " + colour + " \\) \\( " + colour + " -negate \\)", "f.gif"), 0},
      {"named .PDF", pdfNamed, 0},
      {"not an image", text, 0},
      {"PNM has no importable code", make(colour, "PPM:g.ppm"), 0},
  };
  for (const Case& c : cases) EXPECT_EQ(IsImportableImage(ctrl, c.path), c.result) << c.name;
}

TEST_F(RulesFixture, ScanCorrectionsRotateThenInvert) {
  const std::string path = make(imagingtest::bilevelPicture(120, 80) + " -type bilevel", "BMP3:s.bmp");
  ASSERT_EQ(ctrl.LoadFile(path, 0, 1, 1), 0);
  ApplyScanCorrections(ctrl, ScanCorrections{});
  EXPECT_EQ(ctrl.GetImageWidth(), 120) << "all off: nothing done";

  ScanCorrections c;
  c.spin = 1;
  c.spinR = 1;  // right 90
  c.invert = 1;
  ApplyScanCorrections(ctrl, c);
  EXPECT_EQ(ctrl.GetImageWidth(), 80);
  EXPECT_EQ(ctrl.GetImageHeight(), 120);
  EXPECT_EQ(ctrl.heldImage().pixelColor(0, 0), QColor(Qt::black)) << "white paper inverted";
}

}  // namespace
