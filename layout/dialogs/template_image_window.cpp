#include "layout/dialogs/template_image_window.h"

#include "layout/dialogs/overlay_painter.h"
#include "layout/parameter_tables.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace layout::dialogs {

TemplateImageWindow::TemplateImageWindow(QWidget* parent) : QAbstractScrollArea(parent) {
  setObjectName(QStringLiteral("ctl1030"));
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setSingleStep(kLineStep);
    bar->setPageStep(kPageStep);
  }
  viewport()->setAutoFillBackground(true);
  viewport()->setBackgroundRole(QPalette::Base);
  setImageScrollBars();
}

void TemplateImageWindow::setTemplate(const userfld* fields, const KeisenPair& lines) {
  fields_ = fields;
  lines_ = lines;
  selected_ = nullptr;
  viewport()->update();
}

void TemplateImageWindow::setSelected(const userfld* field) {
  selected_ = field;
  viewport()->update();
}

void TemplateImageWindow::setScale(int scale) {
  scale_ = std::max(1, scale);
  setImageScrollBars();
  viewport()->update();
}

void TemplateImageWindow::setImageScrollBars() {
  const QSize client = viewport()->size();
  const int width = std::max(0, kExtent / scale_ - client.width());
  const int height = std::max(0, kExtent / scale_ - client.height());
  // QScrollBar clamps its value into the new range itself.
  horizontalScrollBar()->setRange(0, width);
  verticalScrollBar()->setRange(0, height);
}

Overlay TemplateImageWindow::picture() const {
  TemplatePictureInput in;
  in.fields = fields_;
  in.hLines = lines_.horizontal;
  in.vLines = lines_.vertical;
  in.selected = selected_;
  in.scale = scale_;
  in.hScroll = horizontalScrollBar()->value();
  in.vScroll = verticalScrollBar()->value();
  in.minHorizontalLength = parameterTables().set3(1);
  in.minVerticalLength = parameterTables().set3(2);
  return template_picture(in);
}

bool TemplateImageWindow::selectAt(QPoint p) {
  if (fields_ == nullptr) return false;
  const int x = (p.x() + horizontalScrollBar()->value()) * scale_;
  const int y = (p.y() + verticalScrollBar()->value()) * scale_;
  const userfld* field = field_at_point(fields_, x, y);
  if (field == nullptr) return false;
  selected_ = field;
  viewport()->update();
  emit fieldSelected(field);
  return true;
}

void TemplateImageWindow::paintEvent(QPaintEvent*) {
  if (fields_ == nullptr) return;
  QPainter painter(viewport());
  painter.setFont(font());
  const Overlay items = picture();
  paintOverlay(painter, items.data(), items.size());
}

void TemplateImageWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    selectAt(event->position().toPoint());
    setFocus(Qt::MouseFocusReason);
  }
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void TemplateImageWindow::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  setImageScrollBars();
}

void TemplateImageWindow::scrollContentsBy(int, int) { viewport()->update(); }

}  // namespace layout::dialogs
