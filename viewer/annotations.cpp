// The bridge between the catalogue's annotation boxes of a page and the
// image view: read when a page is loaded, written back when it is saved,
// drawn over the page at the current zoom.

#include "viewer/image_view.h"

#include "catalogue/folder_database.h"
#include "platform/user_interaction.h"
#include "viewer/annotation_tools.h"

#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace {

constexpr int kMinOverlap = 8;  // pixels: a box must overlap the page by more in both directions

QColor fromColorRef(std::int32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

}  // namespace

void ImageView::LoadAnnotations() {
  annotations_.clear();
  loadedAnnotations_ = 0;
  if (db_ == nullptr || itemNo_ == 0) return;
  if (db_->GetAnnBoxFirst(itemNo_) == 0) {
    for (;;) {
      AnnBox box;
      if (db_->GetAnnBoxNext(box) != 0 || box.ItemNo == 0) break;
      Annotation a;
      a.box = box;
      a.backupRect = a.rect();
      a.backupFontSize = box.FontSize;
      annotations_.push_back(std::move(a));
    }
    db_->GetAnnBoxPost();
  }
  loadedAnnotations_ = static_cast<int>(annotations_.size());
  viewport()->update();
}

// All boxes of the page are replaced in one transaction; a failure is told
// and the page stays marked as changed, the stored boxes as they were.
bool ImageView::saveAnnotations() {
  if (!annotationChanged_ || db_ == nullptr || itemNo_ == 0) return false;
  const QRect page(QPoint(0, 0), imageSize());
  std::vector<AnnBox> boxes;
  for (const Annotation& a : annotations_) {
    if (a.deleted) continue;
    const QRect common = a.rect().intersected(page);
    if (common.width() <= kMinOverlap || common.height() <= kMinOverlap) continue;
    AnnBox box = a.box;
    box.ItemNo = itemNo_;
    boxes.push_back(std::move(box));
  }
  if (db_->SaveAnnBoxes(itemNo_, boxes) != 0) {
    platform::messageBox("注釈を保存できませんでした。", platform::Buttons::Ok, platform::Icon::Warning);
    return false;
  }
  annotationChanged_ = false;
  return true;
}

int ImageView::AddAnnotation(const AnnBox& box) {
  Annotation a;
  a.box = box;
  a.box.ItemNo = itemNo_;
  a.backupRect = a.rect();
  a.backupFontSize = box.FontSize;
  annotations_.push_back(std::move(a));
  annotationChanged_ = true;
  // An image change made before the annotation can no longer be undone.
  undoState_ = kNoUndo;
  viewport()->update();
  return static_cast<int>(annotations_.size()) - 1;
}

void ImageView::MoveAnnotation(int index, const QRect& imageRect) {
  if (index < 0 || index >= static_cast<int>(annotations_.size())) return;
  annotations_[static_cast<std::size_t>(index)].setRect(imageRect.normalized());
  annotationChanged_ = true;
  viewport()->update();
}

void ImageView::DeleteAnnotation(int index) {
  if (index < 0 || index >= static_cast<int>(annotations_.size())) return;
  annotations_[static_cast<std::size_t>(index)].deleted = true;
  annotationChanged_ = true;
  viewport()->update();
}

void ImageView::paintAnnotations(QPainter& painter) {
  const int percent = ZoomPercent(zoom_);
  for (const Annotation& a : annotations_) {
    if (a.deleted) continue;
    const QRect r = ImageToClientRect(a.rect());
    const AnnBox& b = a.box;
    painter.save();
    switch (b.AnnType) {
      case 1:  // highlight: multiplied, so the ink stays visible
        painter.setCompositionMode(QPainter::CompositionMode_Multiply);
        painter.fillRect(r, fromColorRef(b.ForeColor));
        break;
      case 2:  // redaction
        painter.fillRect(r, fromColorRef(b.ForeColor));
        break;
      case 3: {  // pointer: AnnParam1 the corner of the tip (1 upper left ... 4 lower right), AnnParam2 the width
        const QRect inner = r.adjusted(kPointerMargin * percent / 100, kPointerMargin * percent / 100,
                                       -kPointerMargin * percent / 100, -kPointerMargin * percent / 100);
        QPoint from = inner.topLeft(), to = inner.bottomRight();
        switch (b.AnnParam1) {
          case 1: from = inner.bottomRight(); to = inner.topLeft(); break;
          case 2: from = inner.bottomLeft(); to = inner.topRight(); break;
          case 3: from = inner.topRight(); to = inner.bottomLeft(); break;
          default: break;
        }
        const int width = std::max(1, b.AnnParam2 * percent / 100);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(fromColorRef(b.ForeColor), width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(from, to);
        const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
        const double head = 4.0 * width + 6.0;
        QPolygonF tip;
        tip << QPointF(to) << QPointF(to.x() - head * std::cos(angle - 0.4), to.y() - head * std::sin(angle - 0.4))
            << QPointF(to.x() - head * std::cos(angle + 0.4), to.y() - head * std::sin(angle + 0.4));
        painter.setBrush(fromColorRef(b.ForeColor));
        painter.drawPolygon(tip);
        break;
      }
      default: {  // text box (0) and link box (4)
        painter.fillRect(r, fromColorRef(b.BackColor));
        painter.setPen(QColor(0x80, 0x80, 0x80));
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        QFont font(QString::fromStdString(b.FontName));
        // FontSize is in tenths of a point on the page: its pixels follow
        // the image's resolution and the zoom.
        const int dpi = xResolution() > 0 ? xResolution() : 150;
        font.setPixelSize(std::max(1, static_cast<int>(std::abs(b.FontSize) * static_cast<long long>(dpi) * percent /
                                                        (10LL * 72 * 100))));
        font.setBold(b.FontBold >= 600);
        font.setItalic(b.FontItalic != 0);
        font.setUnderline(b.FontUnderline != 0 || b.AnnType == 4);
        font.setStrikeOut(b.FontStrikeOut != 0);
        painter.setFont(font);
        painter.setPen(fromColorRef(b.ForeColor));
        const int flags = b.AnnType == 4 ? (Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine)
                                         : (Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        painter.drawText(r.adjusted(2, 2, -2, -2), flags, QString::fromStdString(b.BoxString));
        break;
      }
    }
    painter.restore();
  }
}
