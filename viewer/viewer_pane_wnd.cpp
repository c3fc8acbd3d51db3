#include "viewer/viewer_pane_wnd.h"

#include "viewer/attached_text_pane.h"
#include "viewer/image_view.h"
#include "viewer/info_pane.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdlib>

ViewerPaneWnd::ViewerPaneWnd(QWidget* parent) : QWidget(parent) {
  image_ = new ImageView(this);
  info_ = new InfoPane(this);
  text_ = new AttachedTextPane(this);
  text_->setObjectName(QStringLiteral("ctl%1").arg(kTextPaneId));
  info_->setObjectName(QStringLiteral("ctl%1").arg(kInfoPaneId));
  image_->setObjectName(QStringLiteral("ctl%1").arg(kImagePaneId));
  for (QWidget* pane : std::initializer_list<QWidget*>{image_, info_, text_}) pane->hide();
  connect(image_, &ImageView::activated, this, [this] { SetActivePane(kPaneImage); });
  connect(info_, &InfoPane::activated, this, [this] { SetActivePane(kPaneInfo); });
  connect(text_, &AttachedTextPane::activated, this, [this] { SetActivePane(kPaneText); });
  setMouseTracking(true);
}

QWidget* ViewerPaneWnd::paneWidget(int pane) const {
  switch (pane) {
    case kPaneImage: return image_;
    case kPaneInfo: return info_;
    case kPaneText: return text_;
    default: return nullptr;
  }
}

void ViewerPaneWnd::SetMode(int layout) {
  if (layout < kLayoutImage || layout > kLayoutTile) layout = kLayoutTile;
  if (layout == layout_) return;
  layout_ = layout;
  if (shown_) ShowPanes(true);
  update();
}

void ViewerPaneWnd::ShowPanes(bool show) {
  shown_ = show;
  if (!show) {
    for (QWidget* pane : std::initializer_list<QWidget*>{image_, info_, text_}) pane->hide();
    return;
  }
  switch (layout_) {
    case kLayoutImage: active_ = kPaneImage; break;
    case kLayoutText: active_ = kPaneText; break;
    case kLayoutInfo: active_ = kPaneInfo; break;
    default: break;
  }
  image_->setVisible(layout_ == kLayoutImage || layout_ == kLayoutTile);
  text_->setVisible(layout_ == kLayoutText || layout_ == kLayoutTile);
  info_->setVisible(layout_ == kLayoutInfo || layout_ == kLayoutTile);
  LayoutPanes();
  update();
}

void ViewerPaneWnd::SetActivePane(int pane) {
  if (pane < kPaneImage || pane > kPaneText || pane == active_) return;
  active_ = pane;
  if (layout_ == kLayoutTile) {
    if (QWidget* widget = paneWidget(pane); widget && !widget->hasFocus()) widget->setFocus();
    update();
  }
  emit activePaneChanged(active_);
}

void ViewerPaneWnd::SetSplitPositions(int posX, int posY) {
  posX_ = posX;
  posY_ = posY;
  LayoutPanes();
}

int ViewerPaneWnd::minBottomGap() const { return 6 * (info_->textHeight() + 2); }

void ViewerPaneWnd::LayoutPanes() {
  const QRect client = rect();
  if (layout_ != kLayoutTile) {
    QWidget* pane = layout_ == kLayoutImage ? static_cast<QWidget*>(image_)
                    : layout_ == kLayoutText ? static_cast<QWidget*>(text_)
                                             : static_cast<QWidget*>(info_);
    pane->setGeometry(client.adjusted(kMargin, kMargin, -kMargin, -kMargin));
    if (layout_ == kLayoutText && shown_) text_->setFocus();
    return;
  }
  const int width = client.width();
  const int height = client.height();
  if (width == 0 || height == 0) return;
  int x = width * posX_ / 1000;
  int y = height * posY_ / 1000;
  // The lower bound first; only a value above it is held to the upper one,
  // so on a narrow client the lower bound wins.
  if (x < kMinLeft) {
    x = kMinLeft;
    posX_ = x * 1000 / width;
  } else if (x > width - kMinLeft) {
    x = width - kMinLeft;
    posX_ = x * 1000 / width;
  }
  if (y < kMinTop) {
    y = kMinTop;
    posY_ = y * 1000 / height;
  } else if (y > height - minBottomGap()) {
    y = height - minBottomGap();
    posY_ = y * 1000 / height;
  }
  barX_ = x;
  barY_ = y;
  image_->setGeometry(QRect(QPoint(kMargin, kMargin), QPoint(x - 4, height - kMargin)).adjusted(0, 0, -1, -1));
  text_->setGeometry(QRect(QPoint(x + 4, kMargin), QPoint(width - kMargin, y - 4)).adjusted(0, 0, -1, -1));
  info_->setGeometry(QRect(QPoint(x + 4, y + 4), QPoint(width - kMargin, height - kMargin)).adjusted(0, 0, -1, -1));
  update();
}

QColor ViewerPaneWnd::frameColour(int pane) const {
  if (layout_ != kLayoutTile || !shown_) return {};
  return pane == active_ ? QColor(255, 0, 0) : palette().color(QPalette::Button);
}

QRect ViewerPaneWnd::trackerRect() const {
  QRect r;
  if (dragX_) r = r.united(QRect(QPoint(trackX_ - 3, 9), QPoint(trackX_ + 3, height() - 9)));
  if (dragY_) r = r.united(QRect(QPoint(barX_ + 3, trackY_ - 3), QPoint(width() - 9, trackY_ + 3)));
  return r;
}

void ViewerPaneWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  if (layout_ == kLayoutTile && shown_) {
    for (int pane : {kPaneImage, kPaneInfo, kPaneText}) {
      QWidget* widget = paneWidget(pane);
      if (!widget->isVisible()) continue;
      painter.setPen(frameColour(pane));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(widget->geometry().adjusted(-1, -1, 0, 0));
    }
  }
  if (dragging()) {
    painter.setPen(QColor(0x80, 0x80, 0x80));
    painter.setBrush(Qt::darkGray);
    if (dragX_) painter.drawRect(QRect(QPoint(trackX_ - 3, 9), QPoint(trackX_ + 3, height() - 9)));
    if (dragY_) painter.drawRect(QRect(QPoint(barX_ + 3, trackY_ - 3), QPoint(width() - 9, trackY_ + 3)));
  }
}

void ViewerPaneWnd::resizeEvent(QResizeEvent*) { LayoutPanes(); }

void ViewerPaneWnd::updateCursor(QPoint at) {
  if (layout_ != kLayoutTile) {
    unsetCursor();
    return;
  }
  const bool nearX = std::abs(at.x() - barX_) <= kGrip;
  const bool nearY = std::abs(at.y() - barY_) <= kGrip;
  if (nearX && nearY)
    setCursor(Qt::SizeAllCursor);
  else if (nearX)
    setCursor(Qt::SizeHorCursor);
  else if (nearY)
    setCursor(Qt::SizeVerCursor);
  else
    unsetCursor();
}

void ViewerPaneWnd::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || layout_ != kLayoutTile) return;
  const QPoint at = event->position().toPoint();
  const bool nearX = std::abs(at.x() - barX_) <= kGrip;
  const bool nearY = std::abs(at.y() - barY_) <= kGrip;
  if (nearX && nearY) {
    dragX_ = dragY_ = true;
  } else if (nearX && at.y() >= kMargin && at.y() <= height() - kMargin) {
    dragX_ = true;
  } else if (nearY && at.x() >= barX_ + 4 && at.x() <= width() - kMargin) {
    dragY_ = true;
  } else {
    return;
  }
  trackX_ = at.x();
  trackY_ = at.y();
  focusBeforeDrag_ = QApplication::focusWidget();
  grabMouse();
  update();
}

void ViewerPaneWnd::mouseMoveEvent(QMouseEvent* event) {
  const QPoint at = event->position().toPoint();
  if (!dragging()) {
    updateCursor(at);
    return;
  }
  const int x = std::min(std::max(at.x(), kMinLeft), width() - kMinLeft);
  const int y = std::min(std::max(at.y(), kMinTop), height() - minBottomGap());
  if (x != trackX_ || y != trackY_) {
    trackX_ = x;
    trackY_ = y;
    update();
  }
}

void ViewerPaneWnd::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !dragging()) return;
  releaseMouse();
  if (dragX_) posX_ = trackX_ * 1000 / std::max(1, width());
  if (dragY_) posY_ = trackY_ * 1000 / std::max(1, height());
  dragX_ = dragY_ = false;
  LayoutPanes();
  if (focusBeforeDrag_) focusBeforeDrag_->setFocus();
  focusBeforeDrag_ = nullptr;
  update();
}
