#include "shell/lead.h"

#include "platform/file_ops.h"
#include "platform/global_memory.h"
#include "platform/imaging/bmp_codec.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/image_ops.h"

#include <QFile>
#include <QPaintEvent>
#include <QPainter>
#include <QSaveFile>

#include <leptonica/allheaders.h>

#include <cerrno>
#include <cmath>

namespace img = platform::imaging;

namespace {

constexpr std::size_t kWholeFileLimit = std::size_t{1} << 31;

// 0x00BBGGRR -> 0x00RRGGBB
std::uint32_t rgbFromColorRef(std::int32_t colour) {
  auto c = static_cast<std::uint32_t>(colour);
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// The whole file, or its first `limit` bytes, through the guarded reader:
// a document's name may stand for a FIFO or a device.
short readFileBytes(const std::string& path, std::shared_ptr<std::vector<std::uint8_t>>& out,
                    std::size_t limit = kWholeFileLimit) {
  auto bytes = std::make_shared<std::vector<std::uint8_t>>();
  const int error = limit >= kWholeFileLimit ? platform::readFileCapped(path, kWholeFileLimit, bytes.get())
                                             : platform::readFileHead(path, limit, bytes.get());
  if (error == ENOENT || error == ENOTDIR) return img::kErrorFileNotFound;
  if (error != 0) return img::kErrorFileRead;
  out = std::move(bytes);
  return img::kOk;
}

short readWholeFile(const std::string& path, std::shared_ptr<std::vector<std::uint8_t>>& out) {
  return readFileBytes(path, out);
}

// Examining needs the headers only, except for TIFF and GIF, whose pages
// are counted through the whole file: a large file that is no image (every
// import asks) costs one read of its head.
constexpr qint64 kHeadBytes = 64 * 1024;

}  // namespace

CLead::CLead(QWidget* parent) : QWidget(parent) {
  setVisible(false);
}

CLead::~CLead() {
  if (drawPainter_) drawPainter_->end();
}

bool CLead::Create(const std::string& windowName, unsigned /*style*/, const QRect& rect, QWidget* parent,
                   int childId) {
  setParent(parent);
  setObjectName(QStringLiteral("ctl%1").arg(childId));
  setWindowTitle(QString::fromStdString(windowName));
  setGeometry(rect);
  setVisible(false);
  return true;
}

// ---------------------------------------------------------------- properties

void CLead::SetBackColor(std::int32_t colour) {
  back_ = QColor::fromRgb(rgbFromColorRef(colour));
  update();
}

std::int32_t CLead::GetImageHandle() { return img::registerImage(image_); }

void CLead::SetImageHandle(std::int32_t handle) { takeImage(img::findImage(handle)); }

void CLead::SetDispid2(bool repaint) {
  repaint_ = repaint;
  if (repaint) update();
}

float CLead::GetImageWidth() const { return image_ ? static_cast<float>(image_->width()) : 0.0f; }
float CLead::GetImageHeight() const { return image_ ? static_cast<float>(image_->height()) : 0.0f; }
short CLead::GetDispid12() const { return image_ ? static_cast<short>(image_->bitsPerPixel()) : 0; }
short CLead::GetDispid98() const { return image_ && image_->isGrey() ? 1 : 0; }

void CLead::SetDispid23(float width) {
  dest_.setWidth(width);
  if (repaint_) update();
}
void CLead::SetDispid24(float height) {
  dest_.setHeight(height);
  if (repaint_) update();
}

void CLead::SetXResolution(short dpi) {
  xRes_ = dpi;
  if (image_ && image_->xResolution() != dpi) image_ = image_->withResolution(dpi, image_->yResolution());
}
void CLead::SetYResolution(short dpi) {
  yRes_ = dpi;
  if (image_ && image_->yResolution() != dpi) image_ = image_->withResolution(image_->xResolution(), dpi);
}

void CLead::SetPaletteEntry(short index, std::int32_t colour) {
  if (index >= 0 && index < 256) palette_[static_cast<std::size_t>(index)] = rgbFromColorRef(colour);
}

// ---------------------------------------------------------------- held image

Pix* CLead::heldPix() const { return image_ ? image_->pix() : nullptr; }

void CLead::takeImage(std::shared_ptr<img::Image> image) {
  image_ = std::move(image);
  displayCache_ = QImage();
  if (image_) {
    xRes_ = image_->xResolution();
    yRes_ = image_->yResolution();
    source_ = dest_ = QRectF(0, 0, image_->width(), image_->height());
  } else {
    source_ = dest_ = QRectF();
  }
  if (repaint_) update();
}

short CLead::replaceImage(img::PixPtr pix) {
  if (!pix) return img::kErrorNoMemory;
  takeImage(img::Image::fromPix(std::move(pix)));
  return img::kOk;
}

QImage CLead::heldImage() const {
  if (!image_) return {};
  if (displayCache_.isNull()) displayCache_ = img::toQImage(image_->pix());
  return displayCache_;
}

void CLead::paintEvent(QPaintEvent* event) {
  if (!repaint_) return;
  QPainter painter(this);
  painter.fillRect(event->rect(), back_);
  if (!image_) return;
  const QImage shown = heldImage();
  if (!shown.isNull()) painter.drawImage(dest_, shown, source_);
}

// ---------------------------------------------------------------- methods

short CLead::Despeckle() {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  return replaceImage(img::despeckle(pix, image_->xResolution()));
}

short CLead::ConvertToGrey(short bits) {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  if (bits != 8) return img::kErrorBadArgument;
  return replaceImage(img::toGrey8(pix));
}

short CLead::Invert() {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  return replaceImage(img::invertImage(pix));
}

short CLead::ResolveSaveBits(short format, short bits) const {
  if (bits > 0) return bits;
  if (bits == 0 && img::format::namesGreyDepthZero(format)) return 0;
  Pix* pix = heldPix();
  return pix ? static_cast<short>(img::reportedBits(pix)) : bits;
}

short CLead::encodeHeld(short format, short bits, short quality, std::span<const std::uint8_t> existing,
                        std::vector<std::uint8_t>& out) {
  if (!image_) return img::kErrorNoImage;
  if (!img::canWriteFormat(format)) return img::kErrorWriteFormat;
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorCorrupt;
  if (bits < -1 || bits > 32) return img::kErrorBadArgument;
  bits = ResolveSaveBits(format, bits);
  img::PixPtr converted;
  const int held = img::reportedBits(pix);
  if (bits == 0 || (bits != held && !(pixGetDepth(pix) == 32 && (bits == 16 || bits >= 24)))) {
    converted = img::convertToBits(pix, bits, false);
  } else {
    converted = img::clonePix(pix);
  }
  if (!converted) return img::kErrorNoMemory;
  pixSetResolution(converted.get(), image_->xResolution(), image_->yResolution());
  return img::encodeImage(converted.get(), format, bits, quality, existing, out);
}

short CLead::SaveFile(const std::string& path, short format, short bits, short quality, short multiPage) {
  std::vector<std::uint8_t> existing;
  if (multiPage != 0 && img::format::isTiff(format) && QFile::exists(QString::fromStdString(path))) {
    std::shared_ptr<std::vector<std::uint8_t>> bytes;
    if (short rc = readWholeFile(path, bytes); rc != img::kOk) return rc;
    img::FileInfo info;
    if (img::examineImage(*bytes, 1, info) != img::kOk || !img::format::isTiff(info.format))
      return img::kErrorFormat;  // pages are only added to a TIFF file
    existing = std::move(*bytes);
  }
  std::vector<std::uint8_t> out;
  if (short rc = encodeHeld(format, bits, quality, existing, out); rc != img::kOk) return rc;
  // Written beside the target and renamed, so a failed save leaves the old file.
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return img::kErrorFileWrite;
  if (file.write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size())) !=
      static_cast<qint64>(out.size()))
    return img::kErrorFileWrite;
  return file.commit() ? img::kOk : img::kErrorFileWrite;
}

short CLead::Rotate(std::int32_t hundredths, short flags, std::int32_t fillColour) {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  return replaceImage(img::rotateImage(pix, hundredths, (flags & 1) != 0, rgbFromColorRef(fillColour)));
}

short CLead::Deskew() {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  return replaceImage(img::deskew(pix));
}

short CLead::CreateBlank(float width, float height, short bits) {
  img::PixPtr pix = img::createBlank(static_cast<int>(width), static_cast<int>(height), bits);
  if (!pix) return width < 1 || height < 1 ? img::kErrorBadArgument : img::kErrorNoMemory;
  pixSetResolution(pix.get(), img::kDefaultDpi, img::kDefaultDpi);
  return replaceImage(std::move(pix));
}

short CLead::PrintImage(QPainter* painter, float left, float top, float width, float height) {
  if (painter == nullptr || !painter->isActive()) return img::kErrorBadArgument;
  if (!image_) return img::kErrorNoImage;
  const QImage shown = heldImage();
  if (shown.isNull()) return img::kErrorNoMemory;
  painter->save();
  painter->setRenderHint(QPainter::SmoothPixmapTransform, true);
  painter->drawImage(QRectF(left, top, width, height), shown);
  painter->restore();
  return img::kOk;
}

QPainter* CLead::BeginDraw() {
  if (!image_ || drawPainter_) return drawPainter_.get();
  drawTarget_ = heldImage().convertToFormat(QImage::Format_RGB32);
  if (drawTarget_.isNull()) return nullptr;
  drawPainter_ = std::make_unique<QPainter>(&drawTarget_);
  return drawPainter_.get();
}

short CLead::EndDraw() {
  if (!drawPainter_) return img::kErrorBadArgument;
  drawPainter_->end();
  drawPainter_.reset();
  img::PixPtr pix = img::fromQImage(drawTarget_);
  drawTarget_ = QImage();
  if (!pix) return img::kErrorNoMemory;
  // The drawn image keeps the held image's resolution, whatever file was
  // examined meanwhile.
  if (image_) pixSetResolution(pix.get(), image_->xResolution(), image_->yResolution());
  else pixSetResolution(pix.get(), xRes_, yRes_);
  return replaceImage(std::move(pix));
}

short CLead::ConvertToBits(short bits, std::int32_t /*colour*/) {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  return replaceImage(img::convertToBits(pix, bits, false));
}

short CLead::ResizeImage(float width, float height, short flags) {
  Pix* pix = nullptr;
  if (!image_) return img::kErrorNoImage;
  const int w = static_cast<int>(width);
  const int h = static_cast<int>(height);
  if (w < 1 || h < 1) return img::kErrorBadArgument;
  img::PixPtr source = image_->pixForReduction(w, h);
  pix = source.get();
  if (pix == nullptr) return img::kErrorCorrupt;
  img::PixPtr out = img::resizeImage(pix, w, h, flags != 0);
  if (out) pixSetResolution(out.get(), image_->xResolution(), image_->yResolution());
  return replaceImage(std::move(out));
}

short CLead::loadBytes(std::shared_ptr<const std::vector<std::uint8_t>> bytes, short bits, int page) {
  if (page < 1) page = 1;
  img::FileInfo info;
  short rc = img::examineImage(*bytes, page, info);
  if (rc != img::kOk) return rc;
  info_ = info;
  infoBits_ = info.bitsPerPixel;
  if (img::format::isJpeg(info.format) && bits == 0) {
    // Decoded when first needed, at a reduced scale when only made smaller.
    std::shared_ptr<img::Image> image = img::Image::fromEncoded(std::move(bytes), page, info);
    if (!image) return img::kErrorCorrupt;
    takeImage(std::move(image));
    return img::kOk;
  }
  img::PixPtr pix = img::decodeImage(*bytes, page, info.format, 1);
  if (!pix) return img::kErrorCorrupt;
  if (bits != 0) {
    pix = img::convertToBits(pix.get(), bits, false);
    if (!pix) return img::kErrorNoMemory;
  }
  pixSetResolution(pix.get(), info.xResolution, info.yResolution);
  return replaceImage(std::move(pix));
}

short CLead::LoadFile(const std::string& path, short bits, std::int32_t page, std::int32_t /*pageCount*/) {
  std::shared_ptr<std::vector<std::uint8_t>> bytes;
  if (short rc = readWholeFile(path, bytes); rc != img::kOk) return rc;
  return loadBytes(std::move(bytes), bits, page);
}

std::int32_t CLead::GetDibHandle() {
  Pix* pix = heldPix();
  if (pix == nullptr) return 0;
  std::vector<std::uint8_t> dib;
  if (img::writeBmp(pix, image_->bitsPerPixel(), false, false, dib) != img::kOk) return 0;
  return platform::globalAllocCopy(dib);
}

short CLead::ReduceColors(short bits, short paletteMode, short ditherMode, short /*colours*/) {
  Pix* pix = heldPix();
  if (pix == nullptr) return img::kErrorNoImage;
  if (bits < 1 || bits > 32) return img::kErrorBadArgument;
  const bool dither = ditherMode != 0;
  // Palette mode 16 takes the palette of SetPaletteEntry; others make one.
  img::PixPtr out = paletteMode == 16 ? img::reduceWithPalette(pix, bits, palette_, dither)
                                      : img::convertToBits(pix, bits, dither);
  return replaceImage(std::move(out));
}

short CLead::SetSourceRect(float left, float top, float width, float height) {
  source_ = QRectF(left, top, width, height);
  if (repaint_) update();
  return img::kOk;
}

short CLead::SetDisplayRect(float left, float top, float width, float height) {
  dest_ = QRectF(left, top, width, height);
  if (repaint_) update();
  return img::kOk;
}

short CLead::GetFileInfo(const std::string& path, std::int32_t page, std::int32_t /*flags*/) {
  std::shared_ptr<std::vector<std::uint8_t>> bytes;
  if (short rc = readFileBytes(path, bytes, static_cast<std::size_t>(kHeadBytes)); rc != img::kOk) return rc;
  img::FileInfo info;
  short rc = img::examineImage(*bytes, page < 1 ? 1 : page, info);
  const bool wholeNeeded = rc == img::kOk ? img::format::isTiff(info.format) || info.format == img::format::kGif
                                          : rc != img::kErrorFormat;
  if (wholeNeeded && bytes->size() == static_cast<std::size_t>(kHeadBytes)) {
    if (rc = readWholeFile(path, bytes); rc != img::kOk) return rc;
    rc = img::examineImage(*bytes, page < 1 ? 1 : page, info);
  }
  if (rc != img::kOk) return rc;
  info_ = info;
  infoBits_ = info.bitsPerPixel;
  xRes_ = info.xResolution;
  yRes_ = info.yResolution;
  return img::kOk;
}

bool CLead::IsOperationAvailable(short /*what*/) { return image_ != nullptr; }

short CLead::SaveMemory(std::int32_t* handle, short format, short bits, short quality, std::int32_t* size) {
  if (handle == nullptr || size == nullptr) return img::kErrorBadArgument;
  *handle = 0;
  *size = 0;
  std::vector<std::uint8_t> out;
  if (short rc = encodeHeld(format, bits, quality, {}, out); rc != img::kOk) return rc;
  const platform::GlobalHandle block = platform::globalAllocCopy(out);
  if (block == 0) return img::kErrorNoMemory;
  *handle = block;
  *size = static_cast<std::int32_t>(out.size());
  return img::kOk;
}

short CLead::LoadMemory(std::int32_t handle, short bits, std::int32_t page, std::int32_t /*pageCount*/,
                        std::int32_t size) {
  const std::uint8_t* data = platform::globalLock(handle);
  if (data == nullptr || size <= 0) return img::kErrorBadArgument;
  const std::size_t length = std::min(static_cast<std::size_t>(size), platform::globalSize(handle));
  auto bytes = std::make_shared<std::vector<std::uint8_t>>(data, data + length);
  platform::globalUnlock(handle);
  return loadBytes(std::move(bytes), bits, page);
}

short CLead::ClearRegion() { return image_ ? img::kOk : img::kErrorNoImage; }

short CLead::RotateDegrees(short degrees) {
  return Rotate(static_cast<std::int32_t>(degrees) * 100, 1, 0xFFFFFF);
}

short CLead::SetLoadFilters(short, short, const std::string& filters) {
  filters_ = filters;
  return img::kOk;
}

short CLead::SetExtraFilters(const std::string&) { return img::kOk; }
