// The bridge between the catalogue's annotation boxes of a page and the
// image view: read when a page is loaded, written back when it is saved,
// drawn over the page at the current zoom.

#include "viewer/image_view.h"

#include "catalogue/folder_database.h"
#include "platform/user_interaction.h"
#include "viewer/ann_box_wnd.h"
#include "viewer/annotation_tools.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPainter>
#include <QPolygon>

#include <cmath>

namespace {

constexpr int kMinOverlap = 8;  // pixels: a box must overlap the page by more in both directions


}  // namespace

void ImageView::LoadAnnotations() {
  destroyAnnotationWindows();
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
  syncAnnotationWindows();
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
  syncAnnotationWindows();
  viewport()->update();
  return static_cast<int>(annotations_.size()) - 1;
}

void ImageView::MoveAnnotation(int index, const QRect& imageRect) {
  if (index < 0 || index >= static_cast<int>(annotations_.size())) return;
  annotations_[static_cast<std::size_t>(index)].setRect(imageRect.normalized());
  annotationChanged_ = true;
  syncAnnotationWindows();
  viewport()->update();
}

void ImageView::DeleteAnnotation(int index) {
  if (index < 0 || index >= static_cast<int>(annotations_.size())) return;
  annotations_[static_cast<std::size_t>(index)].deleted = true;
  annotationChanged_ = true;
  syncAnnotationWindows();
  viewport()->update();
}

QFont ImageView::AnnotationFontAtZoom(const AnnBox& box) const {
  return AnnotationFont(box, xResolution(), ZoomPercent(zoom_));
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
        painter.fillRect(r, ColorFromRef(b.ForeColor));
        break;
      case 2:  // redaction
        painter.fillRect(r, ColorFromRef(b.ForeColor));
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
        painter.setPen(QPen(ColorFromRef(b.ForeColor), width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(from, to);
        const double angle = std::atan2(to.y() - from.y(), to.x() - from.x());
        const double head = 4.0 * width + 6.0;
        QPolygonF tip;
        tip << QPointF(to) << QPointF(to.x() - head * std::cos(angle - 0.4), to.y() - head * std::sin(angle - 0.4))
            << QPointF(to.x() - head * std::cos(angle + 0.4), to.y() - head * std::sin(angle + 0.4));
        painter.setBrush(ColorFromRef(b.ForeColor));
        painter.drawPolygon(tip);
        break;
      }
      default: {  // text box (0) and link box (4)
        if (b.AnnType == 0) {  // a link's text stands on the page itself
          painter.fillRect(r, ColorFromRef(b.BackColor));
          painter.setPen(QColor(0x80, 0x80, 0x80));
          painter.drawRect(r.adjusted(0, 0, -1, -1));
        }
        painter.setFont(AnnotationFontAtZoom(b));
        painter.setPen(ColorFromRef(b.ForeColor));
        const int flags = b.AnnType == 4 ? (Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine)
                                         : (Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap);
        painter.drawText(r.adjusted(2, 2, -2, -2), flags, QString::fromStdString(b.BoxString));
        break;
      }
    }
    painter.restore();
  }
  // The tracker of a box being moved or resized.
  for (const AnnBoxWnd* window : windows_) {
    if (window == nullptr || !window->tracking()) continue;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    painter.drawRect(window->trackerRect());
    painter.restore();
  }
}

// ---- the annotation windows -----------------------------------------------------------

AnnBox& ImageView::AnnotationBox(int index) { return annotations_.at(static_cast<std::size_t>(index)).box; }

AnnBoxWnd* ImageView::annotationWindow(int index) const {
  return index >= 0 && index < static_cast<int>(windows_.size()) ? windows_[static_cast<std::size_t>(index)] : nullptr;
}

void ImageView::destroyAnnotationWindows() {
  editing_ = nullptr;
  for (AnnBoxWnd* window : windows_) delete window;
  windows_.clear();
}

// One window per record, placed over its client rectangle; deleted ones hidden.
void ImageView::syncAnnotationWindows() {
  while (windows_.size() < annotations_.size()) {
    auto* window = new AnnBoxWnd(this, static_cast<int>(windows_.size()), viewport());
    windows_.push_back(window);
  }
  while (windows_.size() > annotations_.size()) {
    delete windows_.back();
    windows_.pop_back();
  }
  viewport()->setCursor(ToolCursor(tool_));
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    AnnBoxWnd* window = windows_[i];
    window->Place(ImageToClientRect(annotations_[i].rect()));
    window->setVisible(!annotations_[i].deleted && hasImage());
    // A hand over a link while the image is dragged: a double click opens it.
    if (tool_ == kToolDrag && annotations_[i].box.AnnType == 4)
      window->setCursor(Qt::PointingHandCursor);
    else if (tool_ == anntool::kSelect)
      window->setCursor(Qt::ArrowCursor);
    else
      window->unsetCursor();
  }
}

Qt::CursorShape ImageView::ToolCursor(int tool) {
  switch (tool) {
    case kToolDrag:
      return Qt::OpenHandCursor;
    case anntool::kSelect:
      return Qt::ArrowCursor;
    default:
      // The zoom, the region tools and the tools that draw a new annotation
      // all aim at a point.
      return Qt::CrossCursor;
  }
}

bool ImageView::viewportEvent(QEvent* event) {
  // A selected box lets go once the pointer is off the view with no button
  // held; a Leave into one of the boxes (children of the viewport) does not count.
  if (event->type() == QEvent::Leave && QApplication::mouseButtons() == Qt::NoButton &&
      !viewport()->rect().contains(viewport()->mapFromGlobal(QCursor::pos())))
    DeselectAnnotations();
  return QAbstractScrollArea::viewportEvent(event);
}

void ImageView::DeselectAnnotations(AnnBoxWnd* except) {
  for (AnnBoxWnd* window : windows_)
    if (window != except && window->selected()) window->Deselect();
}

void ImageView::MarkAnnotationChanged() {
  annotationChanged_ = true;
  viewport()->update();
}

void ImageView::SetAnnotationClientRect(int index, const QRect& client) {
  const QPoint topLeft = ClientToImagePoint(client.topLeft());
  const QPoint bottomRight = ClientToImagePoint(client.bottomRight() + QPoint(1, 1)) - QPoint(1, 1);
  MoveAnnotation(index, QRect(topLeft, bottomRight));
}

void ImageView::MoveAnnotationBy(int index, QPoint clientOffset) {
  if (index < 0 || index >= static_cast<int>(annotations_.size())) return;
  const int percent = ZoomPercent(zoom_);
  const QPoint offset(clientOffset.x() * 100 / percent, clientOffset.y() * 100 / percent);
  MoveAnnotation(index, annotations_[static_cast<std::size_t>(index)].rect().translated(offset));
}
