#pragma once
// The image engine behind the imaging control: one image kind over
// Leptonica's PIX, shared between control instances by integer handles.
//
//   PixPtr            owner of a PIX
//   result codes      kOk and the failure codes of the engine (never 0)
//   format codes      the control's numbers for file formats
//   FileInfo          what examining a file reports
//   Image             an image, decoded when first needed; never changed once
//                     shared (operations make a new one)
//   registerImage / findImage   the process-wide table of image handles
//
// A JPEG loaded from a file keeps the file's bytes and decodes them in full
// on the first use. A JPEG that is only to be made smaller is decoded at a
// reduced scale (libjpeg's 1/2, 1/4 and 1/8 decoding), which keeps
// thumbnails of large photographs cheap. Loading already decodes it at 1/8,
// so that data that cannot be decoded fails the load and not some later
// operation; that small decode is kept and serves the thumbnails of large
// images.

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

struct Pix;

namespace platform::imaging {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;
PixPtr clonePix(Pix* pix);  // a new reference to the same pixels

// Result codes. 0 is success; every failure is non-zero.
inline constexpr short kOk = 0;
inline constexpr short kErrorNoMemory = 20001;
inline constexpr short kErrorFileNotFound = 20010;
inline constexpr short kErrorFileRead = 20011;
inline constexpr short kErrorFileWrite = 20012;
inline constexpr short kErrorFormat = 20013;        // not a format the engine reads
inline constexpr short kErrorCorrupt = 20014;       // header or data do not hold together
inline constexpr short kErrorPage = 20015;          // no such page
inline constexpr short kErrorNoImage = 20016;       // the control holds no image
inline constexpr short kErrorBadArgument = 20017;
inline constexpr short kErrorWriteFormat = 20018;   // a format the engine cannot write

// Format codes of the control.
namespace format {
inline constexpr int kNone = 0;
inline constexpr int kGif = 2;
inline constexpr int kTiff = 3;
inline constexpr int kBmp = 6;
inline constexpr int kJpeg444 = 10;
inline constexpr int kTiffJpeg444 = 11;
inline constexpr int kOs2Bmp = 14;
inline constexpr int kTiffLzw = 17;
inline constexpr int kJpeg411 = 21;
inline constexpr int kTiffJpeg411 = 22;
inline constexpr int kJpeg422 = 23;
inline constexpr int kTiffJpeg422 = 24;
inline constexpr int kTiffCcitt = 25;
inline constexpr int kTiffG3OneD = 27;
inline constexpr int kTiffG3TwoD = 28;
inline constexpr int kTiffG4 = 29;
inline constexpr int kWindowsBmp = 74;
inline constexpr int kPng = 75;
inline constexpr int kBmpRle = 84;
inline constexpr int kTiffCmyk = 85;
inline constexpr int kTiffLzwCmyk = 86;
inline constexpr int kTiffPackBits = 87;
inline constexpr int kTiffPackBitsCmyk = 88;
inline constexpr int kTiffYcc = 93;
inline constexpr int kTiffLzwYcc = 94;
inline constexpr int kTiffPackBitsYcc = 95;
inline constexpr int kExifTiffRgb = 96;
inline constexpr int kExifTiffYcc = 97;
inline constexpr int kExifJpeg = 98;
inline constexpr int kExifJpeg411 = 101;
// Portable anymap has no code among the control's named formats; it gets one
// of its own above them.
inline constexpr int kPnm = 102;

bool isTiff(int code);
bool isJpeg(int code);  // a JPEG file (not TIFF with JPEG compression)
bool isBmp(int code);
// The codes whose depths are grey levels or colour (JPEG kinds, CMP,
// FlashPix, EPS, DICOM grey): for them 8 bits of grey are named depth 0.
bool namesGreyDepthZero(int code);
}  // namespace format

// A resolution the file does not record is reported as this many dpi.
inline constexpr int kDefaultDpi = 150;
// What a file states outside this range is no resolution but a ratio or a
// slip (1 x 1 dpi, 0.01 dpi): it is reported as kDefaultDpi.
inline constexpr double kMinStatedDpi = 20.0;
inline constexpr double kMaxStatedDpi = 10000.0;
// Sets both resolutions from a stated pair in dpi; false (and nothing set)
// when either lies outside the range above.
bool takeStatedDpi(double xDpi, double yDpi, int& xOut, int& yOut);

struct FileInfo {
  int format = format::kNone;
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;   // 1, 2, 4, 8, 16, 24, 32
  int xResolution = kDefaultDpi;
  int yResolution = kDefaultDpi;
  int pageCount = 0;
  bool grey = false;      // 8 bits of grey levels rather than a colour palette
  std::string compression;
};

// Examines file bytes; kOk and `info` filled, or a failure code. Pages from 1.
short examineImage(std::span<const std::uint8_t> bytes, int page, FileInfo& info);

class Image {
 public:
  // Takes a decoded image; the resolution is read from the PIX.
  static std::shared_ptr<Image> fromPix(PixPtr pix);
  // Keeps the bytes of a JPEG file described by `info`; decodes on demand.
  // nullptr when its image data cannot be decoded.
  static std::shared_ptr<Image> fromEncoded(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                            int page, const FileInfo& info);
  ~Image();
  Image(const Image&) = delete;
  Image& operator=(const Image&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  int xResolution() const { return xRes_; }
  int yResolution() const { return yRes_; }
  // Bits per pixel as the control reports them: 1, 2, 4, 8, 16 or 24 (32 with alpha).
  int bitsPerPixel() const { return bits_; }
  bool isGrey() const { return grey_; }

  // The decoded pixels (nullptr when the bytes cannot be decoded); the
  // resolution is set on the PIX. Decoded once and kept.
  Pix* pix() const;
  // Pixels for making an image of w x h or smaller: possibly a reduced
  // decode, never smaller than w x h. A new reference the caller owns.
  PixPtr pixForReduction(int w, int h) const;

  // The same pixels under another resolution.
  std::shared_ptr<Image> withResolution(int xDpi, int yDpi) const;

  // Handle in the process-wide table, 0 while unregistered.
  std::int32_t handle() const { return handle_; }

 private:
  Image() = default;
  void setFromPix(Pix* pix);

  mutable std::mutex mutex_;
  mutable PixPtr pix_;
  std::shared_ptr<const std::vector<std::uint8_t>> encoded_;
  PixPtr smallest_;  // the encoded image decoded at kSmallestReduction
  static constexpr int kSmallestReduction = 8;
  int page_ = 1;
  int format_ = format::kNone;
  int width_ = 0;
  int height_ = 0;
  int xRes_ = kDefaultDpi;
  int yRes_ = kDefaultDpi;
  int bits_ = 0;
  bool grey_ = false;
  std::int32_t handle_ = 0;

  friend std::int32_t registerImage(const std::shared_ptr<Image>& image);
};

// The handle of an image, registering it on first use. Handles live as long
// as the image does.
std::int32_t registerImage(const std::shared_ptr<Image>& image);
// The image of a handle, or nullptr when none lives under it.
std::shared_ptr<Image> findImage(std::int32_t handle);

// Depth the control reports for a PIX (24 for 32-bit RGB, 32 with alpha).
int reportedBits(Pix* pix);
bool isGreyPix(Pix* pix);
// No colour at all: 1-bit, grey levels, or a palette of greys.
bool hasOnlyGreys(Pix* pix);

}  // namespace platform::imaging
