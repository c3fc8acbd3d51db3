#include "ocrctl/area_view.h"

#include "layout/dialogs/overlay_painter.h"
#include "layout/vulay30.h"
#include "ocrctl/property_page.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QToolButton>
#include <QWidgetAction>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace ocrctl {

namespace {

constexpr int kTolerance = 5;
constexpr int kLineStep = 20;
constexpr int kPageStep = 200;
constexpr int kAutoScrollMs = 50;
constexpr int kAutoScrollPixels = 24;  // divided by the display scale

bool near(int a, int b) { return std::abs(a - b) <= kTolerance; }

Qt::CursorShape cursorFor(int code) {
  switch (code) {
    case hit::kNew: return Qt::CrossCursor;
    case hit::kInside: return Qt::SizeAllCursor;
    case hit::kTopLeft:
    case hit::kBottomRight: return Qt::SizeFDiagCursor;
    case hit::kBottomLeft:
    case hit::kTopRight: return Qt::SizeBDiagCursor;
    case hit::kLeft:
    case hit::kRight: return Qt::SizeHorCursor;
    case hit::kTop:
    case hit::kBottom: return Qt::SizeVerCursor;
    default: return Qt::ArrowCursor;
  }
}

}  // namespace

int hitTest(const QPoint& p, const QRect& frame, const QRect& client) {
  const int x = p.x();
  const int y = p.y();
  if (!frame.isNull()) {
    const int x1 = frame.left(), y1 = frame.top(), x2 = frame.right(), y2 = frame.bottom();
    if (near(x, x1) && near(y, y1)) return hit::kTopLeft;
    if (near(x, x1) && near(y, y2)) return hit::kBottomLeft;
    if (near(x, x2) && near(y, y1)) return hit::kTopRight;
    if (near(x, x2) && near(y, y2)) return hit::kBottomRight;
    if (near(x, x1) && y1 < y && y < y2) return hit::kLeft;
    if (near(x, x2) && y1 < y && y < y2) return hit::kRight;
    if (near(y, y1) && x1 < x && x < x2) return hit::kTop;
    if (near(y, y2) && x1 < x && x < x2) return hit::kBottom;
    if (frame.contains(p)) return hit::kInside;
  }
  return client.contains(p) ? hit::kNew : hit::kOutside;
}

std::unique_ptr<QMenu> buildAreaMenu(const AreaList& areas, int checked, QWidget* parent) {
  auto menu = std::make_unique<QMenu>(parent);
  menu->setObjectName(QStringLiteral("areaMenu"));
  // The numbers stand in columns of ten: the menu's own actions carry the
  // choice (hidden, so the menu draws none of them as a row), and one grid
  // of buttons below shows them and triggers them.
  auto* grid = new QWidget(menu.get());
  grid->setObjectName(QStringLiteral("areaMenuGrid"));
  auto* layout = new QGridLayout(grid);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(0);
  QMenu* owner = menu.get();
  for (int i = 0; i < areas.count(); ++i) {
    QAction* item = menu->addAction(QString::number(i + 1));
    item->setData(i);
    item->setCheckable(true);
    item->setChecked(i == checked);
    item->setVisible(false);
    auto* button = new QToolButton(grid);
    button->setObjectName(QStringLiteral("areaMenuItem%1").arg(i + 1));
    button->setText(item->text());
    button->setCheckable(true);
    button->setChecked(item->isChecked());
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QObject::connect(button, &QToolButton::clicked, owner, [owner, item] {
      owner->close();
      item->trigger();
    });
    layout->addWidget(button, i % kAreaMenuColumnLength, i / kAreaMenuColumnLength);
  }
  auto* gridAction = new QWidgetAction(menu.get());
  gridAction->setDefaultWidget(grid);
  menu->addAction(gridAction);
  return menu;
}

AreaView::AreaView(OcrControl& control, QWidget* parent) : QAbstractScrollArea(parent), control_(control) {
  setObjectName(QStringLiteral("ZeqOcrCtrl"));
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setMouseTracking(true);
  viewport()->setCursor(Qt::CrossCursor);
  horizontalScrollBar()->setSingleStep(kLineStep);
  horizontalScrollBar()->setPageStep(kPageStep);
  verticalScrollBar()->setSingleStep(kLineStep);
  verticalScrollBar()->setPageStep(kPageStep);
  connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) { scrolled(1, v); });
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) { scrolled(2, v); });
  autoScrollTimer_.setInterval(kAutoScrollMs);
  connect(&autoScrollTimer_, &QTimer::timeout, this, &AreaView::autoScrollStep);
  refresh();
}

AreaView::~AreaView() = default;

void AreaView::refresh() {
  updateRanges();
  viewport()->update();
}

void AreaView::updateRanges() {
  const BitImage& page = control_.workingImage();
  const int scale = control_.dispScale();
  const int w = page.empty() ? 0 : page.width / scale;
  const int h = page.empty() ? 0 : page.height / scale;
  // Qt recomputes the other bar when one comes or goes (resizeEvent calls
  // here again with the new viewport).
  const bool was = quiet_;
  quiet_ = true;
  horizontalScrollBar()->setRange(0, std::max(0, w - viewport()->width()));
  verticalScrollBar()->setRange(0, std::max(0, h - viewport()->height()));
  horizontalScrollBar()->setValue(control_.scrollX());
  verticalScrollBar()->setValue(control_.scrollY());
  quiet_ = was;
  // The offsets stay inside the ranges.
  control_.setScroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void AreaView::setOffsetsQuietly(int x, int y) {
  const bool was = quiet_;
  quiet_ = true;
  horizontalScrollBar()->setValue(x);
  verticalScrollBar()->setValue(y);
  quiet_ = was;
}

void AreaView::scrolled(int bar, int value) {
  const int old = bar == 1 ? control_.scrollX() : control_.scrollY();
  if (old == value) return;
  if (bar == 1) {
    control_.setScroll(value, control_.scrollY());
    track_[0] += old - value;
    track_[2] += old - value;
  } else {
    control_.setScroll(control_.scrollX(), value);
    track_[1] += old - value;
    track_[3] += old - value;
  }
  viewport()->update();
  if (!quiet_) emit viewScrolled(bar, old - value);
}

void AreaView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateRanges();
}

QRect AreaView::toDisplay(const QRect& image) const {
  const int s = control_.dispScale();
  const int sx = control_.scrollX();
  const int sy = control_.scrollY();
  return QRect(QPoint(image.left() / s - sx, image.top() / s - sy),
               QPoint(image.right() / s - sx, image.bottom() / s - sy));
}

QRect AreaView::toImage(const QRect& d) const {
  const int s = control_.dispScale();
  const int sx = control_.scrollX();
  const int sy = control_.scrollY();
  return QRect(QPoint((d.left() + sx) * s, (d.top() + sy) * s), QPoint((d.right() + sx) * s, (d.bottom() + sy) * s));
}

QRect AreaView::trackingRect() const {
  // Corners taken as they are (QRect::normalized would move a swapped edge by one).
  return QRect(QPoint(std::min(track_[0], track_[2]), std::min(track_[1], track_[3])),
               QPoint(std::max(track_[0], track_[2]), std::max(track_[1], track_[3])));
}

QRect AreaView::activeFrame() const {
  const userfld* a = control_.areas().activeArea();
  return a != nullptr ? toDisplay(AreaList::rectOf(*a)) : QRect();
}

int AreaView::areaAt(const QPoint& p) const {
  const AreaList& areas = control_.areas();
  for (int i = 0; i < areas.count(); ++i) {
    const QRect frame = toDisplay(AreaList::rectOf(*areas.at(i))).adjusted(-kTolerance, -kTolerance, kTolerance,
                                                                           kTolerance);
    if (frame.contains(p)) return i;
  }
  return -1;
}

void AreaView::adjustTracking(int mode, const QPoint& p) {
  switch (mode) {
    case hit::kInside: {
      const int dx = p.x() - last_.x();
      const int dy = p.y() - last_.y();
      track_[0] += dx;
      track_[2] += dx;
      track_[1] += dy;
      track_[3] += dy;
      break;
    }
    case hit::kTopLeft: track_[0] = p.x(); track_[1] = p.y(); break;
    case hit::kBottomLeft: track_[0] = p.x(); track_[3] = p.y(); break;
    case hit::kTopRight: track_[2] = p.x(); track_[1] = p.y(); break;
    case hit::kBottomRight:
    case hit::kNew: track_[2] = p.x(); track_[3] = p.y(); break;
    case hit::kLeft: track_[0] = p.x(); break;
    case hit::kRight: track_[2] = p.x(); break;
    case hit::kTop: track_[1] = p.y(); break;
    case hit::kBottom: track_[3] = p.y(); break;
    default: break;
  }
}

void AreaView::updateCursor(const QPoint& p) {
  viewport()->setCursor(cursorFor(hitTest(p, activeFrame(), viewport()->rect())));
}

void AreaView::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || control_.recognising()) return;
  const QPoint p = event->position().toPoint();
  AreaList& areas = control_.areas();
  const QRect active = activeFrame();
  if (!active.isNull() && active.adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance).contains(p)) {
    dragMode_ = hitTest(p, active, viewport()->rect());
    track_[0] = active.left();
    track_[1] = active.top();
    track_[2] = active.right();
    track_[3] = active.bottom();
  } else if (const int i = areaAt(p); i >= 0) {
    // A click on another area only makes it active.
    areas.setActive(i);
    viewport()->update();
    emit activeAreaChanged(i + 1);
    return;
  } else {
    areas.setActive(-1);
    viewport()->update();
    dragMode_ = hit::kNew;
    track_[0] = track_[2] = p.x();
    track_[1] = track_[3] = p.y();
  }
  capture_ = true;
  last_ = p;
}

void AreaView::mouseMoveEvent(QMouseEvent* event) {
  if (control_.recognising()) return;
  const QPoint p = event->position().toPoint();
  if (!capture_ || !(event->buttons() & Qt::LeftButton)) {
    updateCursor(p);
    return;
  }
  if (autoScroll_ == 0) {
    adjustTracking(dragMode_, p);
    viewport()->update();
  }
  last_ = p;
  const QRect client = viewport()->rect();
  if (client.contains(p)) {
    stopAutoScroll();
    return;
  }
  int bits = 0;
  if (p.x() > client.right()) bits |= 1;
  if (p.x() < client.left()) bits |= 2;
  if (p.y() > client.bottom()) bits |= 4;
  if (p.y() < client.top()) bits |= 8;
  if (!autoScrollTimer_.isActive() && autoScroll_ == 0) autoScrollTimer_.start();
  if (autoScrollTimer_.isActive()) autoScroll_ = bits;
}

void AreaView::stopAutoScroll() {
  autoScrollTimer_.stop();
  autoScroll_ = 0;
}

void AreaView::autoScrollStep() {
  if (autoScroll_ == 0 || !capture_) {
    autoScrollTimer_.stop();
    return;
  }
  const int step = std::max(1, kAutoScrollPixels / control_.dispScale());
  const int oldX = control_.scrollX();
  const int oldY = control_.scrollY();
  int x = oldX;
  int y = oldY;
  if (autoScroll_ & 1) x += step;
  if (autoScroll_ & 2) x -= step;
  if (autoScroll_ & 4) y += step;
  if (autoScroll_ & 8) y -= step;
  x = std::clamp(x, 0, horizontalScrollBar()->maximum());
  y = std::clamp(y, 0, verticalScrollBar()->maximum());
  if (x == oldX && y == oldY) {
    // The end of the range: the loop rests until the mouse comes back in
    // or the button goes up.
    autoScrollTimer_.stop();
    return;
  }
  // The scroll moves the tracking rectangle with the page.
  setOffsetsQuietly(x, y);
  if (dragMode_ == hit::kInside) {
    // A moved area keeps its place in the window and so travels over the page.
    track_[0] -= oldX - x;
    track_[2] -= oldX - x;
    track_[1] -= oldY - y;
    track_[3] -= oldY - y;
  } else {
    // The edge or corner being dragged stays at the window's edge.
    const QRect client = viewport()->rect();
    const QPoint edge(std::clamp(last_.x(), client.left(), client.right()),
                      std::clamp(last_.y(), client.top(), client.bottom()));
    adjustTracking(dragMode_, edge);
  }
  viewport()->update();
}

void AreaView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    if (control_.recognising()) return;
    menu_.reset();
    menuArea_ = -1;
    const int i = areaAt(event->position().toPoint());
    if (i < 0 || AreaList::isFigure(*control_.areas().at(i))) return;
    menuArea_ = i + 1;
    menu_ = buildAreaMenu(control_.areas(), i, this);
    connect(menu_.get(), &QMenu::triggered, this, [this](QAction* item) { chooseMenuItem(item->data().toInt()); });
    const QSize size = menu_->sizeHint();
    menu_->popup(viewport()->mapToGlobal(event->position().toPoint() - QPoint(size.width() / 2, size.height() / 2)));
    return;
  }
  if (event->button() != Qt::LeftButton) return;
  stopAutoScroll();
  if (control_.recognising() || !capture_) return;
  capture_ = false;
  const QRect display = trackingRect();
  AreaList& areas = control_.areas();
  if (dragMode_ == hit::kNew) {
    const QRect image = toImage(display);
    const short number = control_.SetRcgRect(static_cast<short>(image.left()), static_cast<short>(image.top()),
                                             static_cast<short>(image.right()), static_cast<short>(image.bottom()));
    viewport()->update();
    if (number > 0) emit areaCreated(number, image);
    return;
  }
  if (dragMode_ < hit::kInside || dragMode_ > hit::kBottom || areas.activeArea() == nullptr) return;
  QRect image = toImage(display);
  const BitImage& page = control_.workingImage();
  // Shifted back onto the page where it sticks out.
  if (image.left() < 0) image.translate(-image.left(), 0);
  else if (image.right() > page.width) image.translate(page.width - image.right(), 0);
  if (image.top() < 0) image.translate(0, -image.top());
  else if (image.bottom() > page.height) image.translate(0, page.height - image.bottom());
  const int number = areas.active() + 1;
  const bool set = control_.ModifyRcgRect(static_cast<short>(number), static_cast<short>(image.left()),
                                          static_cast<short>(image.top()), static_cast<short>(image.right()),
                                          static_cast<short>(image.bottom())) == code::kOk;
  viewport()->update();
  if (set) emit areaModified(number, image);
}

void AreaView::chooseMenuItem(int index) {
  const int oldNumber = menuArea_;
  const int newNumber = index + 1;
  if (oldNumber < 1) return;
  if (control_.areas().renumber(oldNumber - 1, newNumber)) {
    control_.markModified();
    viewport()->update();
    emit areaNoChanged(oldNumber, newNumber);
  }
}

void AreaView::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Delete || control_.recognising()) {
    QAbstractScrollArea::keyReleaseEvent(event);
    return;
  }
  AreaList& areas = control_.areas();
  const int active = areas.active();
  if (active < 0) return;
  if (!areas.remove(active)) return;
  viewport()->update();
  emit areaDeleted(active + 1);
}

void AreaView::showHighlight() {
  const QRect d = toDisplay(control_.highlight());
  if (control_.highlight().isNull()) return;
  const QRect client = viewport()->rect();
  int dx = 0;
  int dy = 0;
  if (d.left() < client.left()) dx = d.left() - client.left();
  else if (d.right() > client.right()) dx = d.right() - client.right();
  if (d.top() < client.top()) dy = d.top() - client.top();
  else if (d.bottom() > client.bottom()) dy = d.bottom() - client.bottom();
  if (dx != 0 || dy != 0) setOffsetsQuietly(control_.scrollX() + dx, control_.scrollY() + dy);
}

void AreaView::addLineFrame(const QRect& frame) {
  lineFrames_.push_back(frame);
  viewport()->update(frame.adjusted(-1, -1, 1, 1));
}

void AreaView::clearLineFrames() {
  if (lineFrames_.empty()) return;
  lineFrames_.clear();
  viewport()->update();
}

void AreaView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().button());
  const BitImage& page = control_.workingImage();
  if (page.empty()) return;
  const int scale = control_.dispScale();
  const bool whole = scale == 1;
  const DisplayImage& display = control_.displayImageData();
  const int width = whole ? page.width : page.width / scale;
  const int rows = whole ? page.height : display.rows;
  const int rowBytes = whole ? page.rowBytes() : display.rowBytes;
  const std::uint8_t* bits = whole ? page.bits.data() : display.bits.data();
  if (bits == nullptr || width <= 0 || rows <= 0) return;
  const QPoint origin(-control_.scrollX(), -control_.scrollY());
  // Mono: index 1 (a set bit, ink) is black.
  QImage image(bits, width, rows, rowBytes, QImage::Format_Mono);
  image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
  painter.drawImage(origin, image);
  painter.setPen(QColor(0x7F, 0x7F, 0x7F));
  painter.drawRect(QRect(origin, QSize(width, rows)));

  const AreaList& areas = control_.areas();
  const bool tracking = capture_ && dragMode_ >= hit::kInside;
  for (int i = 0; i < areas.count(); ++i) {
    const bool active = i == areas.active();
    const QRect frame = tracking && active ? trackingRect() : toDisplay(AreaList::rectOf(*areas.at(i)));
    painter.setPen(QPen(colorFromRef(static_cast<std::uint32_t>(active ? control_.activeColor : control_.rcgFieldColor)),
                        active ? control_.activePensize : control_.rcgFieldPensize));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(frame);
  }
  if (capture_ && dragMode_ == hit::kNew) {
    painter.setPen(QPen(colorFromRef(static_cast<std::uint32_t>(control_.createColor)), control_.createPensize));
    painter.drawRect(trackingRect());
  }
  // Numbers in black on 0xFFFF00 (a COLORREF: red is the low byte).
  const QFontMetrics metrics(painter.font());
  for (int i = 0; i < areas.count(); ++i) {
    const QRect frame = toDisplay(AreaList::rectOf(*areas.at(i)));
    const QString text = QString::asprintf("%2d", i + 1);
    const QRect box(frame.topLeft(), metrics.size(Qt::TextSingleLine, text));
    painter.fillRect(box, colorFromRef(0xFFFF00));
    painter.setPen(Qt::black);
    painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
  }
  // Inverted, so a frame stays visible on ink and on paper alike.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.setPen(Qt::white);
  for (const QRect& frame : lineFrames_) painter.drawRect(frame);
  if (const QRect h = control_.highlight(); !h.isNull()) painter.fillRect(toDisplay(h), Qt::white);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  paintLibraryOverlay(painter);
}

// What the host asked the library to show over this window (DisplayLayout,
// DispTemplate): the library keeps it per window and never draws itself, so
// it is painted here on every repaint and survives scrolling and exposure.
void AreaView::paintLibraryOverlay(QPainter& painter) {
  void* window = static_cast<QWidget*>(this);
  const int count = GetDisplayOverlay(window, nullptr, 0);
  if (count <= 0) return;
  std::vector<VuOverlayItem> items(static_cast<std::size_t>(count));
  const int got = GetDisplayOverlay(window, items.data(), count);
  layout::dialogs::paintOverlay(painter, items.data(), static_cast<std::size_t>(std::clamp(got, 0, count)));
}

}  // namespace ocrctl
