#include "browser/file_icon.h"

#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>

namespace {

constexpr size_t kBmpFileHeaderBytes = 14;
constexpr size_t kBmpInfoHeaderBytes = 40;

std::uint32_t readLe32(std::span<const std::uint8_t> b, size_t at) {
  return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
         static_cast<std::uint32_t>(b[at + 2]) << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

std::uint16_t readLe16(std::span<const std::uint8_t> b, size_t at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

int paletteEntriesFor(int bitsPerPixel, std::uint32_t coloursUsed) {
  if (coloursUsed != 0) return static_cast<int>(std::min<std::uint32_t>(coloursUsed, 256));
  switch (bitsPerPixel) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;  // 16, 24 and 32 bits carry their colours in the pixels
  }
}

// The stock icons are the program's own drawings, made once.
QPixmap drawStockIcon(int id) {
  const int size = id == FileIcon::kAnnotationIcon ? 16 : FileIcon::kIconSize;
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  if (id == FileIcon::kAnnotationIcon) {
    // A yellow note with a pencil stroke: the page carries annotations.
    p.setPen(QColor(120, 100, 0));
    p.setBrush(QColor(255, 230, 80));
    p.drawRect(1, 1, 13, 13);
    p.setPen(QPen(QColor(200, 0, 0), 2));
    p.drawLine(4, 11, 11, 4);
  } else {
    // A sheet with a folded corner; the broken picture crosses it out.
    QPainterPath sheet;
    sheet.moveTo(6, 2);
    sheet.lineTo(20, 2);
    sheet.lineTo(26, 8);
    sheet.lineTo(26, 30);
    sheet.lineTo(6, 30);
    sheet.closeSubpath();
    p.setPen(QColor(96, 96, 96));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    p.drawLine(20, 2, 20, 8);
    p.drawLine(20, 8, 26, 8);
    if (id == FileIcon::kBrokenPictureIcon) {
      p.setPen(QPen(QColor(220, 0, 0), 3));
      p.drawLine(9, 12, 23, 26);
      p.drawLine(23, 12, 9, 26);
    } else {
      p.setPen(QColor(150, 150, 150));
      for (int y = 13; y <= 25; y += 4) p.drawLine(10, y, 22, y);
    }
  }
  return pixmap;
}

}  // namespace

FileIcon::~FileIcon() { Free(); }

void FileIcon::Free() {
  bitmap_ = QImage();
  icon_ = QPixmap();
  upperOverlay_ = QPixmap();
  lowerOverlay_ = QPixmap();
  paletteEntries_ = 0;
  held_ = false;
  kind_ = 0;
}

QPixmap FileIcon::StockIcon(int resourceId) {
  static QHash<int, QPixmap> cache;
  auto it = cache.find(resourceId);
  if (it == cache.end()) it = cache.insert(resourceId, drawStockIcon(resourceId));
  return *it;
}

QIcon FileIcon::TypeIcon(const std::string& path) {
  static QHash<QString, QIcon> byMimeType;
  static const QMimeDatabase mimeTypes;
  const QMimeType type = mimeTypes.mimeTypeForFile(QString::fromStdString(path), QMimeDatabase::MatchExtension);
  auto it = byMimeType.find(type.name());
  if (it == byMimeType.end()) {
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
    it = byMimeType.insert(type.name(), icon);
  }
  return *it;
}

void FileIcon::LoadForFile(const std::string& path) {
  Free();
  const QIcon icon = TypeIcon(path);
  icon_ = icon.isNull() ? StockIcon(kUnknownFileIcon) : icon.pixmap(kIconSize, kIconSize);
  held_ = true;
}

void FileIcon::LoadDefaultIcon(int resourceId) {
  Free();
  icon_ = StockIcon(resourceId);
  held_ = true;
}

bool FileIcon::LoadFromFile(std::span<const std::uint8_t> bytes, bool overlay, const std::string& furtherPath) {
  Free();
  if (bytes.size() < kBmpFileHeaderBytes + kBmpInfoHeaderBytes || bytes[0] != 'B' || bytes[1] != 'M') return false;
  QImage image;
  if (!image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP")) return false;
  const int bits = readLe16(bytes, kBmpFileHeaderBytes + 14);
  const std::uint32_t coloursUsed = readLe32(bytes, kBmpFileHeaderBytes + 32);
  LoadFromImage(image, overlay, furtherPath);
  paletteEntries_ = paletteEntriesFor(bits, coloursUsed);
  return true;
}

void FileIcon::LoadFromImage(const QImage& image, bool overlay, const std::string& furtherPath) {
  Free();
  if (image.isNull()) return;
  // Drawn many times: keep it in the form the raster painter copies fastest.
  bitmap_ = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                          : QImage::Format_RGB32);
  paletteEntries_ = image.colorCount();
  held_ = true;
  setOverlays(overlay, furtherPath);
}

void FileIcon::setOverlays(bool overlay, const std::string& furtherPath) {
  if (overlay) upperOverlay_ = StockIcon(kAnnotationIcon);
  if (!furtherPath.empty()) {
    const QIcon icon = TypeIcon(furtherPath);
    lowerOverlay_ = icon.isNull() ? StockIcon(kUnknownFileIcon) : icon.pixmap(kIconSize, kIconSize);
  }
}

int FileIcon::Draw(QPainter& painter, int x, int y, int width, int height) const {
  if (!held_) return 0;
  if (bitmap_.isNull()) {
    painter.drawPixmap(x, y, icon_);
    return 1;
  }
  painter.drawImage(QPoint(x, y), bitmap_, QRect(0, 0, width, height));
  if (!upperOverlay_.isNull()) painter.drawPixmap(x + width - kOverlayInset, y + 4, upperOverlay_);
  if (!lowerOverlay_.isNull()) painter.drawPixmap(x + width - kOverlayInset, y + height - kOverlayInset, lowerOverlay_);
  return 1;
}

int FileIcon::GetWidth() const {
  if (!held_) return 0;
  return bitmap_.isNull() ? kIconSize : bitmap_.width();
}

int FileIcon::GetHeight() const {
  if (!held_) return 0;
  return bitmap_.isNull() ? kIconSize : bitmap_.height();
}
