#pragma once
// FileIcon: the picture of a thumbnail tile. It holds either a bitmap (a
// stored thumbnail or a page rendered from its file) or an icon (the file
// type's icon, or one of the program's stock icons), and for a bitmap up to
// two small overlay icons (the item has annotations; the file of a further
// document). One picture at a time: every load frees the previous one.
//
//   LoadForFile       the icon of the file's type, icon 135 when it has none
//   LoadDefaultIcon   a stock icon by its number (134, 135, 140)
//   LoadFromFile      a BMP file image (header, colour table, bits)
//   LoadFromImage     a picture already decoded
//   Draw              at (x, y): an icon in its own size, a bitmap unscaled
//   StockIcon         the program's stock icons, drawn once
//
// Type icons come from the desktop's icon theme through the MIME database;
// they are looked up once per MIME type, since a board asks for thousands.

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include <cstdint>
#include <span>
#include <string>

class QPainter;

class FileIcon {
 public:
  static constexpr int kIconSize = 32;
  static constexpr int kOverlayInset = 36;  // overlays stand this far in from the right and bottom
  static constexpr int kAnnotationIcon = 134;
  static constexpr int kUnknownFileIcon = 135;
  static constexpr int kBrokenPictureIcon = 140;

  FileIcon() = default;
  virtual ~FileIcon();
  FileIcon(const FileIcon&) = delete;
  FileIcon& operator=(const FileIcon&) = delete;

  void LoadForFile(const std::string& path);
  void LoadDefaultIcon(int resourceId);
  // bytes: a whole BMP file. overlay: the item has annotations (icon 134
  // top right); furtherPath, when not empty: its type icon bottom right.
  // False (nothing held) when the bytes are no BMP.
  bool LoadFromFile(std::span<const std::uint8_t> bytes, bool overlay, const std::string& furtherPath);
  void LoadFromImage(const QImage& image, bool overlay, const std::string& furtherPath);

  // The result of the drawing, 0 when nothing is held.
  int Draw(QPainter& painter, int x, int y, int width, int height) const;

  int GetWidth() const;
  int GetHeight() const;
  int GetKind() const { return held_ ? kind_ : 0; }
  bool IsHeld() const { return held_; }
  bool HoldsBitmap() const { return held_ && !bitmap_.isNull(); }
  // Entries of the held bitmap's palette: colours-used, or 2, 16, 256 for 1,
  // 4 and 8 bits when that is 0; none for 16, 24 and 32 bits.
  int PaletteEntryCount() const { return paletteEntries_; }
  void Free();

  static QPixmap StockIcon(int resourceId);
  // The type icon of a file, null when the theme has none.
  static QIcon TypeIcon(const std::string& path);

 private:
  void setOverlays(bool overlay, const std::string& furtherPath);

  QImage bitmap_;
  QPixmap icon_;
  QPixmap upperOverlay_;
  QPixmap lowerOverlay_;
  int paletteEntries_ = 0;
  bool held_ = false;
  int kind_ = 0;
};
