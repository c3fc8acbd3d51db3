#include "platform/imaging/image.h"

#include "platform/imaging/image_codec.h"

#include <leptonica/allheaders.h>

#include <QLoggingCategory>
#include <QString>

#include <climits>
#include <unordered_map>

namespace platform::imaging {

void unregisterImageHandle(std::int32_t handle);

namespace {
Q_LOGGING_CATEGORY(lcLeptonica, "brindel.leptonica")

// Leptonica's own reports: its notes ("Quantizing in gray") are no news to
// the user and stay unsaid; warnings and errors go to the program's log
// instead of a terminal the user never sees. Set once, for the process,
// when the library is loaded.
void toLog(const char* text) {
  QString line = QString::fromLocal8Bit(text).trimmed();
  if (!line.isEmpty()) qCWarning(lcLeptonica).noquote() << line;
}
const bool kLeptonicaReportsSet = [] {
  setMsgSeverity(L_SEVERITY_WARNING);
  leptSetStderrHandler(toLog);
  return true;
}();
}  // namespace

void PixDeleter::operator()(Pix* pix) const {
  if (pix != nullptr) pixDestroy(&pix);
}

PixPtr clonePix(Pix* pix) { return PixPtr(pix == nullptr ? nullptr : pixClone(pix)); }

namespace format {
bool isTiff(int code) {
  switch (code) {
    case kTiff: case kTiffJpeg444: case kTiffLzw: case kTiffJpeg411: case kTiffJpeg422:
    case kTiffCcitt: case kTiffG3OneD: case kTiffG3TwoD: case kTiffG4: case kTiffCmyk:
    case kTiffLzwCmyk: case kTiffPackBits: case kTiffPackBitsCmyk: case kTiffYcc:
    case kTiffLzwYcc: case kTiffPackBitsYcc: case kExifTiffRgb: case kExifTiffYcc:
      return true;
    default:
      return false;
  }
}
bool isJpeg(int code) {
  return code == kJpeg444 || code == kJpeg411 || code == kJpeg422 || code == kExifJpeg ||
         code == kExifJpeg411;
}
bool isBmp(int code) {
  return code == kBmp || code == kOs2Bmp || code == kWindowsBmp || code == kBmpRle;
}
bool namesGreyDepthZero(int code) {
  switch (code) {
    case 5: case 10: case 11: case 16: case 20: case 21: case 22: case 23: case 24:
    case 80: case 82: case 83: case 89:
      return true;
    default:
      return false;
  }
}
}  // namespace format

bool takeStatedDpi(double xDpi, double yDpi, int& xOut, int& yOut) {
  auto plausible = [](double dpi) { return dpi >= kMinStatedDpi && dpi <= kMaxStatedDpi; };
  if (!plausible(xDpi) || !plausible(yDpi)) return false;
  xOut = static_cast<int>(xDpi + 0.5);
  yOut = static_cast<int>(yDpi + 0.5);
  return true;
}

int reportedBits(Pix* pix) {
  int d = pixGetDepth(pix);
  if (d == 32) return pixGetSpp(pix) == 4 ? 32 : 24;
  return d;
}

bool isGreyPix(Pix* pix) {
  if (pixGetDepth(pix) != 8) return false;
  PIXCMAP* cmap = pixGetColormap(pix);
  if (cmap == nullptr) return true;
  l_int32 colour = 0;
  pixcmapHasColor(cmap, &colour);
  return colour == 0;
}

bool hasOnlyGreys(Pix* pix) {
  int d = pixGetDepth(pix);
  if (d == 32) return false;
  PIXCMAP* cmap = pixGetColormap(pix);
  if (cmap == nullptr) return true;
  l_int32 colour = 0;
  pixcmapHasColor(cmap, &colour);
  return colour == 0;
}

// ---------------------------------------------------------------- Image

std::shared_ptr<Image> Image::fromPix(PixPtr pix) {
  if (!pix) return nullptr;
  std::shared_ptr<Image> image(new Image());
  image->setFromPix(pix.get());
  image->pix_ = std::move(pix);
  return image;
}

std::shared_ptr<Image> Image::fromEncoded(std::shared_ptr<const std::vector<std::uint8_t>> bytes,
                                          int page, const FileInfo& info) {
  std::shared_ptr<Image> image(new Image());
  image->smallest_ = decodeImage(*bytes, page, info.format, kSmallestReduction);
  if (!image->smallest_) return nullptr;
  image->encoded_ = std::move(bytes);
  image->page_ = page;
  image->format_ = info.format;
  image->width_ = info.width;
  image->height_ = info.height;
  image->xRes_ = info.xResolution;
  image->yRes_ = info.yResolution;
  // Only JPEG is kept encoded: its decode is 8-bit grey or 24-bit colour.
  image->bits_ = info.bitsPerPixel == 8 ? 8 : 24;
  image->grey_ = info.bitsPerPixel == 8;
  return image;
}

void Image::setFromPix(Pix* pix) {
  width_ = pixGetWidth(pix);
  height_ = pixGetHeight(pix);
  int xr = pixGetXRes(pix);
  int yr = pixGetYRes(pix);
  xRes_ = xr > 0 ? xr : kDefaultDpi;
  yRes_ = yr > 0 ? yr : kDefaultDpi;
  bits_ = reportedBits(pix);
  grey_ = isGreyPix(pix);
}

Image::~Image() {
  // The table holds weak references only; a dead image leaves it here.
  if (handle_ != 0) unregisterImageHandle(handle_);
}

Pix* Image::pix() const {
  std::lock_guard lock(mutex_);
  if (!pix_ && encoded_) {
    pix_ = decodeImage(*encoded_, page_, format_, 1);
  }
  if (pix_) pixSetResolution(pix_.get(), xRes_, yRes_);
  return pix_.get();
}

PixPtr Image::pixForReduction(int w, int h) const {
  {
    std::lock_guard lock(mutex_);
    if (!pix_ && encoded_ && format::isJpeg(format_) && w > 0 && h > 0) {
      if (smallest_ && pixGetWidth(smallest_.get()) >= w && pixGetHeight(smallest_.get()) >= h) {
        PixPtr reduced(pixCopy(nullptr, smallest_.get()));
        if (reduced) pixSetResolution(reduced.get(), xRes_, yRes_);
        return reduced;
      }
      int reduction = 1;
      for (int r : {8, 4, 2}) {
        if ((width_ + r - 1) / r >= w && (height_ + r - 1) / r >= h) {
          reduction = r;
          break;
        }
      }
      if (reduction > 1) {
        PixPtr reduced = decodeImage(*encoded_, page_, format_, reduction);
        if (reduced) {
          pixSetResolution(reduced.get(), xRes_, yRes_);
          return reduced;
        }
      }
    }
  }
  return clonePix(pix());
}

std::shared_ptr<Image> Image::withResolution(int xDpi, int yDpi) const {
  std::shared_ptr<Image> image(new Image());
  {
    std::lock_guard lock(mutex_);
    if (pix_) image->pix_.reset(pixCopy(nullptr, pix_.get()));
    image->encoded_ = encoded_;
    image->smallest_ = clonePix(smallest_.get());
  }
  image->page_ = page_;
  image->format_ = format_;
  image->width_ = width_;
  image->height_ = height_;
  image->bits_ = bits_;
  image->grey_ = grey_;
  image->xRes_ = xDpi;
  image->yRes_ = yDpi;
  if (image->pix_) pixSetResolution(image->pix_.get(), xDpi, yDpi);
  return image;
}

// ---------------------------------------------------------------- handle table

namespace {
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::int32_t, std::weak_ptr<Image>> images;
  std::int32_t next = 1;
};
HandleTable& handles() {
  static HandleTable table;
  return table;
}
}  // namespace

void unregisterImageHandle(std::int32_t handle) {
  HandleTable& t = handles();
  std::lock_guard lock(t.mutex);
  t.images.erase(handle);
}

std::int32_t registerImage(const std::shared_ptr<Image>& image) {
  if (!image) return 0;
  HandleTable& t = handles();
  std::lock_guard lock(t.mutex);
  if (image->handle_ != 0) return image->handle_;
  while (t.next <= 0 || t.images.count(t.next) != 0) t.next = t.next <= 0 ? 1 : t.next + 1;
  std::int32_t h = t.next;
  t.next = h == INT32_MAX ? 1 : h + 1;
  t.images.emplace(h, image);
  image->handle_ = h;
  return h;
}

std::shared_ptr<Image> findImage(std::int32_t handle) {
  if (handle == 0) return nullptr;
  HandleTable& t = handles();
  std::lock_guard lock(t.mutex);
  auto it = t.images.find(handle);
  return it == t.images.end() ? nullptr : it->second.lock();
}

}  // namespace platform::imaging
