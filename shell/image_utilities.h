#pragma once
// Title and extension rules, the resolution of a BMP file, the size of a
// thumbnail cell, and the imaging control's format tables: the free
// functions that the document, import, export, the title dialogs and the
// views share.
//
//   FindInvalidTitleChar, CheckTitle, CheckImportTitle     title rules
//   GetBmpResolution, ComputeThumbnailCell                 sizes
//   IsImportableImage                                      image or plain document
//   GetImageFormatName, GetImageFormatExtension, GetColorDepthName
//   GetSaveFormatRules, ApplySaveFormatSettings, ChooseImportStorage,
//   GetImageDescription                                    storage forms
//   ApplyScanCorrections                                   rotate, invert, despeckle, deskew
//   ScaleToThumbnail                                       a page's thumbnail record
//
// Titles are UTF-8; every byte limit and position counts Shift-JIS bytes.
// A character without a Shift-JIS code (Hangul, emoji) is refused with a
// result of its own, so that the user is told the real reason.

#include <cstdint>
#include <functional>
#include <string>

class CLead;
class CImageCtrl;
struct ThumbInfo;

inline constexpr int kTitleMaxBytes = 200;
inline constexpr int kExtensionMaxBytes = 8;
inline constexpr int kThumbnailMinCell = 77;
inline constexpr std::uint32_t kImportableImageClass = 0x01010201;
// Results of the title checks; a positive result is 1 + the byte position of
// the first forbidden character (kForbiddenInExtension + 1 + position for
// one in the extension).
inline constexpr int kTitleValid = 0;
inline constexpr int kTitleEmpty = -1;
inline constexpr int kTitleTooLong = -2;
inline constexpr int kExtensionEmpty = -3;
inline constexpr int kExtensionTooLong = -4;
inline constexpr int kNameTooLongForPath = -5;
// The title or the extension holds a character that Shift-JIS cannot write.
inline constexpr int kTitleNotShiftJis = -6;
inline constexpr int kForbiddenInExtension = 1000;

// kTitleValid, kTitleEmpty, kTitleTooLong (over 200 bytes), kTitleNotShiftJis,
// or the position
// of the first forbidden character.
int FindInvalidTitleChar(const std::string& title);
// The title checks in this order: kTitleEmpty, kTitleTooLong,
// kExtensionEmpty, kExtensionTooLong, kNameTooLongForPath, kTitleNotShiftJis, a forbidden
// character in the title, then in the extension; kTitleValid.
int CheckTitle(const std::string& title, const std::string& extension, const std::string& folder);
// The import's check of a file name for `pages` pages; tells the user why a
// name is refused and returns false then.
bool CheckImportTitle(const std::string& fileName, int pages);

// The resolution (dpi) that a BMP file states in its info header, of any
// version that has one; 0 when it states none or one outside 50-1200.
int GetBmpResolution(const std::string& path);
void ComputeThumbnailCell(int width, int height, int& cellWidth, int& cellHeight, int xDpi, int yDpi);

std::uint32_t IsImportableImage(CLead& imageCtrl, const std::string& path);

std::string GetImageFormatName(int code);
std::string GetImageFormatExtension(int code, const std::string& fallback);
std::string GetColorDepthName(int code, int bitsPerPixel);

// The frame's settings these rules read (defaults as the frame's).
struct ImageStorageSettings {
  int bmpResolution = 400;                // KankyoBmpRes
  int autoCompression[4] = {2, 1, 1, 1};  // KankyoAutoCmp1 .. KankyoAutoCmp4
};

void GetSaveFormatRules(CLead& imageCtrl, const std::string& path, int& format, int& bitsPerPixel, int& quality,
                        std::string* extension, bool& keepSource, int bmpResolution);
void ApplySaveFormatSettings(int& format, int& bitsPerPixel, int& quality, std::string& extension,
                             const ImageStorageSettings& settings);

enum class ImportSource { ImageFile, UniPage, KpxDraw };
struct StorageChoice {
  int format = 0;
  int bitsPerPixel = 0;
  int quality = 0;
  std::string extension;
  bool keepSource = true;
};
// For the page held by `imageCtrl`, loaded from `path`; may turn a grey
// image into 256 grey levels.
StorageChoice ChooseImportStorage(CLead& imageCtrl, const std::string& path, ImportSource source,
                                  const ImageStorageSettings& settings);

void GetImageDescription(CLead& imageCtrl, const std::string& path, std::string& formatName,
                         std::string& depthName, int bmpResolution = 400);

struct ScanCorrections {
  int spin = 0;       // KankyoScanSpin
  int spinR = 0;      // KankyoScanSpinR: 0 left 90, 1 right 90, 2 180
  int invert = 0;     // KankyoScanInvert
  int despeckle = 0;  // KankyoScanDespeckle
  int deskew = 0;     // KankyoScanDeskew
};
void ApplyScanCorrections(CLead& imageCtrl, const ScanCorrections& corrections);

// Scales the page held by `imageCtrl` down to its thumbnail cell and fills
// `thumb` (cell size, GIF bytes, date; the item number is the caller's).
// `stage(from, to)`, when given, is told the share of a progress bar each
// step covers. False when the scaled page cannot be saved as a GIF.
bool ScaleToThumbnail(CImageCtrl& imageCtrl, ThumbInfo& thumb, const std::function<void(int, int)>& stage = {});
