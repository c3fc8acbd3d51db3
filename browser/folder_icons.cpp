#include "browser/folder_icons.h"

#include "catalogue/folder_settings.h"
#include "shell/color_choice_dlg.h"

#include <QPainter>
#include <QPainterPath>

namespace {

void drawFolder(QPainter& p, const QColor& colour, bool open) {
  const QColor edge = colour.darker(170);
  p.setPen(edge);
  p.setBrush(colour.darker(115));
  p.drawRect(QRectF(1.5, 2.5, 5, 2));  // tab
  p.setBrush(colour);
  if (!open) {
    p.drawRect(QRectF(1.5, 4.5, 13, 9));
  } else {
    p.drawRect(QRectF(1.5, 4.5, 12, 9));
    QPainterPath flap;
    flap.moveTo(3.5, 7.5);
    flap.lineTo(15.5, 7.5);
    flap.lineTo(13.5, 13.5);
    flap.lineTo(1.5, 13.5);
    flap.closeSubpath();
    p.setBrush(colour.lighter(125));
    p.drawPath(flap);
  }
}

void drawDesktop(QPainter& p, const QColor& colour) {
  p.setPen(QColor(60, 60, 60));
  p.setBrush(QColor(90, 90, 90));
  p.drawRect(QRectF(0.5, 1.5, 15, 10));
  p.setBrush(colour);
  p.setPen(Qt::NoPen);
  p.drawRect(QRectF(2, 3, 12, 7));
  p.setBrush(QColor(90, 90, 90));
  p.drawRect(QRectF(6, 12, 4, 2));
  p.drawRect(QRectF(3, 14, 10, 1.5));
}

// The clean-up mark: a white tick on a dark disc at the lower right.
void drawMark(QPainter& p) {
  p.setPen(QColor(255, 255, 255));
  p.setBrush(QColor(20, 90, 40));
  p.drawEllipse(QRectF(8.5, 8.5, 7, 7));
  QPen tick(Qt::white, 1.4);
  p.setPen(tick);
  p.drawLine(QPointF(10.2, 12.2), QPointF(11.7, 13.7));
  p.drawLine(QPointF(11.7, 13.7), QPointF(14.0, 10.2));
}

}  // namespace

const FolderIcons& FolderIcons::instance() {
  static const FolderIcons icons;
  return icons;
}

FolderIcons::FolderIcons() {
  for (int c = 0; c < kFolderColourCount; ++c) {
    const QColor colour = FolderColour(c);
    for (int k = 0; k < kImagesPerColour; ++k) {
      QPixmap pixmap(kSize, kSize);
      pixmap.fill(Qt::transparent);
      QPainter p(&pixmap);
      p.setRenderHint(QPainter::Antialiasing);
      if (k < 4)
        drawFolder(p, colour, k % 2 == 1);
      else
        drawDesktop(p, colour);
      if (k == 2 || k == 3 || k == 5) drawMark(p);
      p.end();
      pixmaps_[c * kImagesPerColour + k] = pixmap;
    }
  }
}

const QPixmap& FolderIcons::pixmap(int index) const {
  return pixmaps_[index >= 0 && index < kImageCount ? index : 0];
}

QIcon FolderIcons::icon(int image, int selectedImage) const {
  const int key = image * 64 + selectedImage;
  if (auto it = icons_.constFind(key); it != icons_.constEnd()) return *it;
  QIcon icon;
  icon.addPixmap(pixmap(image), QIcon::Normal);
  icon.addPixmap(pixmap(selectedImage), QIcon::Selected);
  icons_.insert(key, icon);
  return icon;
}

QIcon FolderIcons::iconForValue(bool desktop, int cleanUpValue) const {
  // Colours beyond the nine the program offers (a hand-edited info.ini)
  // show as the default colour, keeping the mark.
  if (((cleanUpValue >> 8) & 15) >= kFolderColourCount) cleanUpValue &= kFolderCleanUpBit;
  int image = 0;
  int selectedImage = 0;
  GetFolderIconIndex(desktop, cleanUpValue, image, selectedImage);
  return icon(image, selectedImage);
}
