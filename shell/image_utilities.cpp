#include "shell/image_utilities.h"

#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"
#include "platform/global_memory.h"
#include "platform/imaging/image.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/lead.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <map>

namespace {

constexpr const char* kForbiddenSet1 = "'*?][#|";
constexpr const char* kForbiddenSet2 = "\"\\/:<>";
constexpr int kPathLimitBytes = 255;
constexpr int kNameMaxBytes = 255;  // a Linux file name, in its UTF-8 bytes

bool isOneOf(int value, std::initializer_list<int> values) {
  return std::find(values.begin(), values.end(), value) != values.end();
}
bool inRange(int value, int low, int high) { return value >= low && value <= high; }

int sjisLength(const std::string& utf8) { return static_cast<int>(platform::toCp932Lossy(utf8).size()); }

void importRefused(const std::string& text) {
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning);
}

enum class ColourClass { BlackWhite, Grey, Palette, FullColour };

ColourClass classOf(int format, int bits) {
  if (bits == 1) return ColourClass::BlackWhite;
  const bool greyCode = isOneOf(format, {10, 11, 16}) || inRange(format, 20, 24) || inRange(format, 80, 83);
  if (bits == 0 || (bits == 8 && greyCode)) return ColourClass::Grey;
  if (inRange(bits, 2, 8)) return ColourClass::Palette;
  return ColourClass::FullColour;
}

void applySettingsForClass(ColourClass cls, int& format, int& bits, int& quality, std::string& extension,
                           const ImageStorageSettings& settings) {
  auto set = [&](int f, int b, int q, const char* e) {
    format = f;
    bits = b;
    quality = q;
    extension = e;
  };
  switch (cls) {
    case ColourClass::BlackWhite:
      switch (settings.autoCompression[0]) {
        case 1: set(27, 1, 0, "tif"); break;
        case 2: set(29, 1, 0, "tif"); break;
        case 3: set(75, 1, 0, "png"); break;
        default: break;
      }
      break;
    case ColourClass::Grey:
      switch (settings.autoCompression[1]) {
        case 1: set(10, 8, 2, "jpg"); break;
        case 2: set(11, 8, 2, "tif"); break;
        case 3: set(75, 8, 0, "png"); break;
        default: break;
      }
      break;
    case ColourClass::Palette:
      switch (settings.autoCompression[2]) {
        case 1: set(17, bits, 0, "tif"); break;
        case 2: set(75, bits < 5 ? 4 : 8, 0, "png"); break;
        default: break;
      }
      break;
    case ColourClass::FullColour:
      switch (settings.autoCompression[3]) {
        case 1: set(10, 24, 2, "jpg"); break;
        case 2: set(11, 24, 2, "tif"); break;
        case 3: set(75, 24, 0, "png"); break;
        default: break;
      }
      break;
  }
}

}  // namespace

// ---------------------------------------------------------------- titles

int FindInvalidTitleChar(const std::string& title) {
  const int check = catalogue::checkNameText(title, kTitleMaxBytes, false);
  if (check < 0) return check;
  if (!platform::toCp932(title)) return kTitleNotShiftJis;
  return check;
}

int CheckTitle(const std::string& title, const std::string& extension, const std::string& folder) {
  // The catalogue's own rule, so that a name the dialogs accept is one the
  // catalogue stores.
  const int titleCheck = catalogue::checkNameText(title, kTitleMaxBytes, false);
  if (titleCheck < 0) return titleCheck;
  const int extensionCheck = catalogue::checkNameText(extension, kExtensionMaxBytes, true);
  if (extensionCheck == -1) return kExtensionEmpty;
  if (extensionCheck == -2) return kExtensionTooLong;
  if (sjisLength(title) + sjisLength(extension) + sjisLength(folder) + 2 > kPathLimitBytes) return kNameTooLongForPath;
  // The file is named title.extension in UTF-8, which Linux limits to 255 bytes.
  if (title.size() + 1 + extension.size() > static_cast<std::size_t>(kNameMaxBytes)) return kNameTooLongForPath;
  if (!platform::toCp932(title) || !platform::toCp932(extension)) return kTitleNotShiftJis;
  if (titleCheck != 0) return titleCheck;
  if (extensionCheck != 0) return kForbiddenInExtension + extensionCheck;
  return kTitleValid;
}

bool CheckImportTitle(const std::string& fileName, int pages) {
  const std::size_t point = fileName.rfind('.');
  std::string title = point == std::string::npos ? fileName : fileName.substr(0, point);
  const std::string extension = point == std::string::npos ? std::string() : fileName.substr(point + 1);
  if (pages > 1) title += "の" + std::to_string(pages) + "頁目";
  const int result = CheckTitle(title, extension, std::string());
  if (result == kTitleValid) return true;
  if (result == kTitleTooLong) {
    importRefused("ファイル名が長すぎます。\nこのファイルはインポートできません。");
  } else if (result == kExtensionTooLong) {
    importRefused("拡張子が長すぎます。\nこのファイルはインポートできません。");
  } else if (result == kTitleNotShiftJis) {
    importRefused("文書名に、このプログラムでは保存できない文字（ハングル、絵文字など）が含まれています。\n"
                  "このファイルはインポートできません。");
  } else if (result > 0) {
    importRefused(std::string("文書名に  ") + kForbiddenSet1 + kForbiddenSet2 +
                  "  は使えません。\nこのファイルはインポートできません。");
  } else {
    importRefused("不正なファイル名です。\nこのファイルはインポートできません。\n" + fileName);
  }
  return false;
}

// ---------------------------------------------------------------- sizes

int GetBmpResolution(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  unsigned char header[54];
  if (file.read(reinterpret_cast<char*>(header), sizeof header) != static_cast<qint64>(sizeof header)) return 0;
  auto le32 = [&](int at) {
    return static_cast<std::uint32_t>(header[at]) | (static_cast<std::uint32_t>(header[at + 1]) << 8) |
           (static_cast<std::uint32_t>(header[at + 2]) << 16) | (static_cast<std::uint32_t>(header[at + 3]) << 24);
  };
  // Every info header from the 40-byte one on (52, 56, 64 for OS/2 2.x,
  // 108, 124) opens with the same fields and holds the resolution at the
  // same place; the 12-byte core header and short OS/2 headers state none.
  const std::uint32_t headerSize = le32(14);
  if (headerSize < 40 || headerSize > 124) return 0;
  const auto ppm = static_cast<std::int32_t>(le32(38));
  if (ppm == 0) return 0;
  const int dpi = static_cast<int>(ppm * 0.0254000508001016 + 0.5);
  return dpi < 50 || dpi > 1200 ? 0 : dpi;
}

void ComputeThumbnailCell(int width, int height, int& cellWidth, int& cellHeight, int xDpi, int yDpi) {
  constexpr int kMaxCell = 210;
  constexpr int kMinSide = 3;
  constexpr double kCellPerDot = 0.08;  // one cell pixel per 0.08 inch of paper
  if (width <= 0 || height <= 0) {
    // nothing to scale: the smallest cell, never a division by zero
    cellWidth = cellHeight = kThumbnailMinCell;
    return;
  }
  if (!inRange(xDpi, 50, 1000) || !inRange(yDpi, 50, 1000)) xDpi = yDpi = 400;
  const double rx = width / (xDpi * kCellPerDot);
  const double ry = height / (yDpi * kCellPerDot);
  int w = static_cast<int>(rx);
  int h = static_cast<int>(ry);
  // Scales so that the side with the larger ratio becomes `side`.
  auto fitLarger = [&](double side) {
    double dx, dy;
    if (rx >= ry) {
      dx = width / side;
      dy = yDpi * dx / xDpi;
    } else {
      dy = height / side;
      dx = xDpi * dy / yDpi;
    }
    w = static_cast<int>(width / dx);
    h = static_cast<int>(height / dy);
  };
  if (w < kThumbnailMinCell && h < kThumbnailMinCell) fitLarger(kThumbnailMinCell);
  if (w > kMaxCell || h > kMaxCell) fitLarger(kMaxCell);
  if (w < kMinSide) {
    const double dx = width / static_cast<double>(kMinSide);
    const double dy = yDpi * dx / xDpi;
    w = static_cast<int>(width / dx);
    h = static_cast<int>(height / dy);
  } else if (h < kMinSide) {
    const double dy = height / static_cast<double>(kMinSide);
    const double dx = xDpi * dy / yDpi;
    w = static_cast<int>(width / dx);
    h = static_cast<int>(height / dy);
  }
  // A sliver raised to 3 pixels must not make the other side endless.
  cellWidth = std::clamp(w, 1, kMaxCell);
  cellHeight = std::clamp(h, 1, kMaxCell);
}

// ---------------------------------------------------------------- format tables

std::uint32_t IsImportableImage(CLead& imageCtrl, const std::string& path) {
  if (path.size() >= 4 && platform::asciiEqualsIgnoreCase(path.substr(path.size() - 4), ".PDF")) return 0;
  if (imageCtrl.GetFileInfo(path, 1, 0) != 0) return 0;
  const int code = imageCtrl.GetInfoFormat();
  const bool image = isOneOf(code, {1, 3, 6, 10, 11, 15, 16, 17, 55, 63, 64, 101}) || inRange(code, 21, 25) ||
                     inRange(code, 27, 29) || inRange(code, 74, 76) || inRange(code, 80, 88) ||
                     inRange(code, 93, 98);
  if (image) return kImportableImageClass;
  if (code == 2 && imageCtrl.GetDispid39() == 1) return kImportableImageClass;
  return 0;
}

std::string GetImageFormatName(int code) {
  static const std::map<int, const char*> kNames = {
      {1, "ZSoft PCX"}, {2, "CompuServe GIF"}, {3, "TIFF"}, {4, "TARGA"}, {5, "LEAD圧縮形式"},
      {20, "LEAD圧縮形式"}, {6, "Windows BMP"}, {74, "Windows BMP"}, {10, "JPEG (4:4:4)"},
      {11, "TIFF JPEG圧縮 (4:4:4)"}, {14, "OS/2 BMP version 1.x"}, {15, "Windows Meta File"},
      {16, "Encapsulated PostScript"}, {17, "TIFF LZW圧縮"}, {21, "JPEG (4:1:1)"},
      {22, "TIFF JPEG圧縮 (4:1:1)"}, {23, "JPEG (4:2:2)"}, {24, "TIFF JPEG圧縮 (4:2:2)"},
      {25, "TIFF CCITT圧縮"}, {26, "LEAD 1bit圧縮"}, {27, "TIFF G3 1次元圧縮"}, {28, "TIFF G3 2次元圧縮"},
      {29, "TIFF G4圧縮"}, {50, "CALS Raster"}, {51, "MacPaint"}, {52, "GEM Image"}, {53, "Microsoft Paint"},
      {54, "Word Perfect"}, {55, "Sun Raster"}, {56, "MacPict"}, {57, "Kodak PhotoCD"}, {63, "EPS TIFF"},
      {64, "EPS WMF"}, {66, "FAX G3 1次元圧縮"}, {67, "FAX G3 2次元圧縮"}, {68, "FAX G4圧縮"},
      {69, "Winfax G3 1次元圧縮"}, {70, "Winfax G4圧縮"}, {71, "IOCA G3 1次元圧縮"}, {72, "IOCA G3 2次元圧縮"},
      {73, "IOCA G4圧縮"}, {75, "Portable Network Graphics"}, {76, "Adobe Photoshop 3.0"},
      {77, "IOCA G3 1次元圧縮 MO:DCAなし"}, {78, "IOCA G3 2次元圧縮 MO:DCAなし"}, {79, "IOCA G4圧縮 MO:DCAなし"},
      {80, "FlashPix 圧縮なし"}, {81, "FlashPix 単色圧縮"}, {82, "FlashPix JPEG圧縮"}, {83, "FlashPix JPEG圧縮"},
      {84, "BMP RLE圧縮"}, {85, "TIFF (CMYK)"}, {86, "TIFF LZW圧縮 (CMYK)"}, {87, "TIFF RLE圧縮"},
      {88, "TIFF RLE圧縮 (CMYK)"}, {89, "DICOM Gray"}, {90, "DICOM Color"}, {93, "TIFF (YCbCr)"},
      {94, "TIFF LZW圧縮 (YCbCr)"}, {95, "TIFF RLE圧縮 (YCbCr)"}, {96, "Exif TIFF (RGB)"},
      {97, "Exif TIFF (YCbCr)"}, {98, "Exif JPEG"}, {101, "Exif JPEG (4:1:1)"},
  };
  auto it = kNames.find(code);
  return it == kNames.end() ? std::string() : std::string(it->second);
}

std::string GetImageFormatExtension(int code, const std::string& fallback) {
  if (code == 1) return "pcx";
  if (code == 2) return "gif";
  if (isOneOf(code, {3, 11, 17, 22, 24, 25, 27, 28, 29, 85, 86, 87, 88, 93, 94, 95})) return "tif";
  if (code == 4) return "tga";
  if (isOneOf(code, {5, 20, 26})) return "cmp";
  if (isOneOf(code, {6, 14, 74, 84})) return "bmp";
  if (isOneOf(code, {10, 21, 23})) return "jpg";
  if (code == 15) return "wmf";
  if (isOneOf(code, {16, 63, 64})) return "eps";
  if (code == 50) return "cal";
  if (code == 51) return "mac";
  if (code == 52) return "img";
  if (code == 53) return "msp";
  if (code == 54) return "wpg";
  if (code == 55) return "ras";
  if (code == 56) return "pct";
  if (code == 57) return "pcd";
  if (isOneOf(code, {66, 67, 68})) return "fax";
  if (isOneOf(code, {69, 70})) return "wfx";
  if (isOneOf(code, {71, 72, 73, 77, 78, 79})) return "ica";
  if (code == 75) return "png";
  if (code == 76) return "psd";
  if (inRange(code, 80, 83)) return "fpx";
  if (isOneOf(code, {89, 90})) return "dic";
  if (isOneOf(code, {96, 97, 98, 101})) return "exf";
  return fallback;
}

std::string GetColorDepthName(int code, int bits) {
  if (bits == 8 && platform::imaging::format::namesGreyDepthZero(code)) bits = 0;
  switch (bits) {
    case 0: return "グレースケール";
    case 1: return "白黒";
    case 8: return "256色";
    case 16: case 24: case 32: return std::to_string(bits) + "bit カラー";
    default: break;
  }
  if (inRange(bits, 2, 7)) return std::to_string(bits) + "bit カラー";
  return std::string();
}

// ---------------------------------------------------------------- storage forms

void GetSaveFormatRules(CLead& imageCtrl, const std::string& path, int& format, int& bits, int& quality,
                        std::string* extension, bool& keepSource, int bmpResolution) {
  format = imageCtrl.GetInfoFormat();
  bits = imageCtrl.GetBitsPerPixel();
  quality = 0;
  auto keepOr = [&](std::initializer_list<int> kept, int otherwise) {
    if (!isOneOf(bits, kept)) {
      bits = otherwise;
      keepSource = false;
    }
  };
  auto asTiff = [&]() {
    format = 3;
    if (extension != nullptr) *extension = "tif";
    if (bits == 32) bits = 24;
    keepSource = false;
  };
  auto bitmapRule = [&](int code) {
    if (GetBmpResolution(path) == 0) {
      imageCtrl.SetXResolution(static_cast<short>(bmpResolution));
      imageCtrl.SetYResolution(static_cast<short>(bmpResolution));
    }
    if (code == 84) keepOr({4, 8}, 8);
    else keepOr({1, 4, 8, 16, 24, 32}, 24);
  };
  const int code = format;
  if (isOneOf(code, {1, 56, 75})) {
    keepOr({1, 4, 8, 24}, 24);
  } else if (code == 2) {
    if (!inRange(bits, 1, 8)) {
      bits = 8;
      keepSource = false;
    }
  } else if (isOneOf(code, {3, 17, 87})) {
    if (bits == 32) {
      bits = 24;
      keepSource = false;
    }
  } else if (code == 4) {
    keepOr({8, 16, 24, 32}, 24);
  } else if (code == 5) {
    format = 20;
    quality = 65535;
  } else if (code == 6 || code == 84) {
    bitmapRule(code);
  } else if (code == 10 || code == 11) {
    quality = 2;
    keepOr({8, 24}, 24);
  } else if (code == 14 || code == 74) {
    format = 6;
    keepSource = false;
    bitmapRule(6);
  } else if (code == 15) {
    format = 3;
    bits = 24;
    if (extension != nullptr) *extension = "tif";
    keepSource = false;
  } else if (code == 16) {
    bits = 8;
  } else if (isOneOf(code, {21, 22, 23, 24, 98, 101})) {
    quality = 2;
    bits = 24;
  } else if (inRange(code, 25, 29) || inRange(code, 50, 53) || inRange(code, 69, 73) || inRange(code, 77, 79)) {
    bits = 1;
  } else if (code == 54) {
    keepOr({1, 4, 8}, 8);
  } else if (code == 55) {
    keepOr({1, 4, 8, 24, 32}, 24);
  } else if (isOneOf(code, {57, 63, 64})) {
    asTiff();
  } else if (code == 76) {
    keepOr({1, 8, 24}, 24);
  } else if (code == 80 || code == 82) {
    keepOr({8, 24}, 24);
  } else if (isOneOf(code, {81, 85, 86, 88}) || inRange(code, 93, 97)) {
    bits = 24;
  } else if (code == 89 || code == 90) {
    // unchanged
  } else {
    asTiff();
  }
}

void ApplySaveFormatSettings(int& format, int& bits, int& quality, std::string& extension,
                             const ImageStorageSettings& settings) {
  applySettingsForClass(classOf(format, bits), format, bits, quality, extension, settings);
}

StorageChoice ChooseImportStorage(CLead& imageCtrl, const std::string& path, ImportSource source,
                                  const ImageStorageSettings& settings) {
  StorageChoice choice;
  int startFormat = 0;
  int startBits = 0;
  if (source == ImportSource::KpxDraw) {
    choice.format = 6;
    choice.bitsPerPixel = 1;
    choice.quality = 0;
    choice.keepSource = false;
    startFormat = 6;
    startBits = 1;
  } else {
    imageCtrl.GetFileInfo(path, 1, 0);
    startFormat = imageCtrl.GetInfoFormat();
    startBits = imageCtrl.GetBitsPerPixel();
    choice.keepSource = source == ImportSource::ImageFile;
    choice.extension = GetImageFormatExtension(startFormat, "");
    GetSaveFormatRules(imageCtrl, path, choice.format, choice.bitsPerPixel, choice.quality, &choice.extension,
                       choice.keepSource, settings.bmpResolution);
  }
  if (choice.bitsPerPixel == 8 && imageCtrl.GetDispid98() != 0) {
    for (int i = 0; i < 256; ++i) imageCtrl.SetPaletteEntry(static_cast<short>(i), i * 0x010101);
    imageCtrl.ReduceColors(8, 0x10, 0, 256);
    applySettingsForClass(ColourClass::Grey, choice.format, choice.bitsPerPixel, choice.quality, choice.extension,
                          settings);
  } else {
    ApplySaveFormatSettings(choice.format, choice.bitsPerPixel, choice.quality, choice.extension, settings);
  }
  choice.keepSource = choice.keepSource && choice.format == startFormat && choice.bitsPerPixel == startBits;
  return choice;
}

void GetImageDescription(CLead& imageCtrl, const std::string& path, std::string& formatName, std::string& depthName,
                         int bmpResolution) {
  int format = 0, bits = 0, quality = 0;
  bool keepSource = true;
  GetSaveFormatRules(imageCtrl, path, format, bits, quality, nullptr, keepSource, bmpResolution);
  formatName = GetImageFormatName(format);
  depthName = GetColorDepthName(format, bits);
}

// ---------------------------------------------------------------- scan corrections

void ApplyScanCorrections(CLead& imageCtrl, const ScanCorrections& c) {
  if (c.spin == 0 && c.invert == 0 && c.despeckle == 0 && c.deskew == 0) return;
  constexpr std::int32_t kWhite = 0xFFFFFF;
  if (c.spin != 0) {
    switch (c.spinR) {
      case 0: imageCtrl.Rotate(27000, 1, kWhite); break;
      case 1: imageCtrl.Rotate(9000, 1, kWhite); break;
      case 2: imageCtrl.Rotate(18000, 1, kWhite); break;
      default: break;
    }
  }
  if (c.invert != 0 && imageCtrl.GetDispid12() == 1) imageCtrl.Invert();
  if (c.despeckle != 0) imageCtrl.Despeckle();
  if (c.deskew != 0) imageCtrl.Deskew();
}

bool ScaleToThumbnail(CImageCtrl& imageCtrl, ThumbInfo& thumb, const std::function<void(int, int)>& stage) {
  constexpr short kGif = 2;
  auto step = [&](int from, int to) {
    if (stage) stage(from, to);
  };
  int cellWidth = 0;
  int cellHeight = 0;
  ComputeThumbnailCell(static_cast<int>(imageCtrl.GetImageWidth()), static_cast<int>(imageCtrl.GetImageHeight()),
                       cellWidth, cellHeight, imageCtrl.GetXResolution(), imageCtrl.GetYResolution());
  if (imageCtrl.GetDispid12() == 1) {
    // Scaling a 1-bit page straight to the cell loses thin strokes: scale to
    // four times the cell, go to grey, then resample.
    step(86, 95);
    imageCtrl.ResizeImage(static_cast<float>(cellWidth * 4), static_cast<float>(cellHeight * 4), 0);
    step(95, 97);
    imageCtrl.ConvertToGrey(8);
    step(97, 99);
  } else {
    step(86, 99);
  }
  imageCtrl.ResizeImage(static_cast<float>(cellWidth), static_cast<float>(cellHeight), 2);
  step(99, 99);

  std::int32_t handle = 0;
  std::int32_t size = 0;
  if (imageCtrl.SaveToMemory(&handle, kGif, 8, 0, &size) != 0 || handle == 0) return false;
  thumb.ThumbDateTime = QDateTime::currentDateTime();
  thumb.ThumbSizeX = cellWidth;
  thumb.ThumbSizeY = cellHeight;
  thumb.ThumbData.clear();
  const auto block = static_cast<platform::GlobalHandle>(handle);
  if (const std::uint8_t* bytes = platform::globalLock(block)) {
    thumb.ThumbData.assign(bytes, bytes + platform::globalSize(block));
    platform::globalUnlock(block);
  }
  platform::globalFree(block);
  return !thumb.ThumbData.empty();
}
