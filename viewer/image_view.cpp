#include "viewer/image_view.h"

#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/imaging_control_startup.h"
#include "viewer/ann_box_wnd.h"
#include "viewer/annotation_tools.h"
#include "viewer/grey_reduction.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_dialogs.h"
#include "viewer/viewer_paths.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr std::array<int, ImageView::kStepCount> kPercent = {6,  9,  12, 16, 20,  25,  30,  40,  50,
                                                             65, 80, 100, 150, 200, 300, 400, 600, 800};
constexpr const char* kLoadCaption = "画像の読み込み";
constexpr short kGrayScalingOn = 2;
constexpr short kErrorNoMemoryToo = 20003;

}  // namespace

ImageView::ImageView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAutoFillBackground(false);
  setFocusPolicy(Qt::StrongFocus);
  auto made = MakeImageCtrl();
  made->Create("", 0, QRect(0, 0, 32, 32), viewport(), kControlId);
  ctrl_ = made.release();  // the viewport owns it now
  ApplyImagingControlSettings(ctrl_);
  ctrl_->SetDispid8(kGrayScalingOn);
  ctrl_->SetDispid4(false);
  ctrl_->hide();  // the view paints the page itself
}

// The annotation windows go while the view is whole: closing the window
// moves the focus, and an edit losing it would otherwise commit into a view
// that is half destroyed.
ImageView::~ImageView() { destroyAnnotationWindows(); }

int ImageView::ZoomPercent(int step) { return kPercent[static_cast<std::size_t>(std::clamp(step, 1, kStepCount) - 1)]; }

int ImageView::FitStep(int imageWidth, int imageHeight, int clientWidth, int clientHeight, int scrollBarExtent) {
  int k = 1;
  for (int step = kHundredPercentStep; step >= 2; --step) {
    if (static_cast<long long>(imageWidth) * ZoomPercent(step) / 100 <= clientWidth) {
      k = step;
      break;
    }
  }
  if (static_cast<long long>(imageHeight) * ZoomPercent(k) / 100 <= clientHeight) return k;
  // A vertical scroll bar will take its share of the width.
  if (clientWidth - scrollBarExtent < static_cast<long long>(imageWidth) * ZoomPercent(k) / 100)
    return std::max(1, k - 1);
  return k;
}

int ImageView::FitWidthStep() const {
  const QSize image = imageSize();
  return FitStep(image.width(), image.height(), width(), height(), style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

int ImageView::FitHeightStep() const {
  const QSize image = imageSize();
  return FitStep(image.height(), image.width(), height(), width(), style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

int ImageView::FitWholeStep() const { return std::min(FitWidthStep(), FitHeightStep()); }

bool ImageView::hasImage() const { return state_ != kNoImage && !page_.isNull(); }
QSize ImageView::imageSize() const { return page_.size(); }
int ImageView::xResolution() const { return ctrl_->GetXResolution(); }
int ImageView::yResolution() const { return ctrl_->GetYResolution(); }
short ImageView::grayScaling() const { return ctrl_->GetDispid8(); }

void ImageView::SetGrayScaling(short value) {
  ctrl_->SetDispid8(value);
  smoothedStep_ = 0;
  viewport()->update();
}

void ImageView::beep() {
  ++beeps_;
  QApplication::beep();
}

// ---- loading --------------------------------------------------------------

void ImageView::loadFailed(const char* message) {
  platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, kLoadCaption);
  state_ = kNoImage;
}

void ImageView::LoadImage(const std::string& folder, const ItemInfo& item) {
  deleteUndoFiles();
  destroyAnnotationWindows();
  annotations_.clear();
  loadedAnnotations_ = 0;
  itemNo_ = item.ItemNo;
  imageChanged_ = false;
  annotationChanged_ = false;
  dragging_ = false;
  ctrl_->SetImageHandle(0);
  page_ = QImage();
  smoothed_ = QImage();
  smoothedStep_ = 0;
  format_ = 0;
  bits_ = 0;
  state_ = kEditable;
  path_.clear();
  if (item.ImageLevel != 1) {
    state_ = kNoImage;
    updateScrollRanges();
    viewport()->update();
    return;
  }
  path_ = folder + "/" + item.Title + "." + item.Ext;
  [&] {
    if (PagePathBytes(path_) > kMaxPagePathBytes)
      return loadFailed("画像ファイルのパスがが不正です。\n画像が読み込めません。");
    const QString file = QString::fromStdString(path_);
    const QFileInfo info(file);
    if (!info.exists() || !info.isFile()) return loadFailed("画像ファイルが存在していません。");
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly)) return loadFailed("画像ファイルがロックしています。画像が読み込めません。");
    probe.close();
    // The owner's write bit stands for the read-only attribute (root may
    // write anything, but a cleared bit is still the user's intent).
    if (!info.isWritable() || !info.permission(QFileDevice::WriteOwner)) {
      platform::messageBox("画像ファイルが書き込み禁止になっています。\n画像の編集は出来ません。", platform::Buttons::Ok,
                           platform::Icon::Warning, kLoadCaption);
      state_ = kReadOnly;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const short rc = ctrl_->LoadFile(path_, 0, 1, 1);
    QApplication::restoreOverrideCursor();
    if (rc == platform::imaging::kErrorNoMemory || rc == kErrorNoMemoryToo)
      return loadFailed("メモリ不足で画像が開けません。");
    if (rc != 0) return loadFailed("画像の読み込み中にエラーが発生しました。");
    page_ = ctrl_->heldImage();
    if (ctrl_->GetFileInfo(path_, 1, 0) == 0) {
      format_ = ctrl_->GetInfoFormat();
      bits_ = ctrl_->GetBitsPerPixel();
    }
    quality_ = 2;
  }();
  if (state_ == kNoImage) {
    page_ = QImage();
    ctrl_->SetImageHandle(0);
    updateScrollRanges();
    viewport()->update();
    return;
  }
  // A new page opens at the width fit, its top left corner in view.
  zoom_ = FitWidthStep();
  LoadAnnotations();
  updateScrollRanges();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  viewport()->update();
  emit zoomChanged(zoom_);
}

void ImageView::Clear() {
  deleteUndoFiles();
  destroyAnnotationWindows();
  annotations_.clear();
  loadedAnnotations_ = 0;
  itemNo_ = 0;
  ctrl_->SetImageHandle(0);
  page_ = QImage();
  smoothed_ = QImage();
  smoothedStep_ = 0;
  path_.clear();
  state_ = kEditable;
  imageChanged_ = false;
  annotationChanged_ = false;
  tool_ = kToolDrag;
  previousTool_ = kToolDrag;
  zoom_ = kHundredPercentStep;
  dragging_ = false;
  updateScrollRanges();
  viewport()->update();
}

// ---- zoom and coordinates ------------------------------------------------

QSize ImageView::zoomedSize(int step) const {
  const int percent = ZoomPercent(step);
  return QSize(static_cast<int>(static_cast<long long>(page_.width()) * percent / 100),
               static_cast<int>(static_cast<long long>(page_.height()) * percent / 100));
}

QPoint ImageView::ScrollPosition() const {
  const QSize zoomed = zoomedSize(zoom_);
  const QSize client = viewport()->size();
  const int x = zoomed.width() > client.width() ? horizontalScrollBar()->value() : -(client.width() - zoomed.width()) / 2;
  const int y =
      zoomed.height() > client.height() ? verticalScrollBar()->value() : -(client.height() - zoomed.height()) / 2;
  return {x, y};
}

QPoint ImageView::ClientToImagePoint(QPoint client) const {
  const int percent = ZoomPercent(zoom_);
  const QPoint scroll = ScrollPosition();
  return {(client.x() + scroll.x()) * 100 / percent, (client.y() + scroll.y()) * 100 / percent};
}

QRect ImageView::ImageToClientRect(const QRect& image) const {
  const int percent = ZoomPercent(zoom_);
  const QPoint scroll = ScrollPosition();
  const QPoint topLeft(image.left() * percent / 100 - scroll.x(), image.top() * percent / 100 - scroll.y());
  const QPoint bottomRight((image.right() + 1) * percent / 100 - scroll.x(),
                           (image.bottom() + 1) * percent / 100 - scroll.y());
  return QRect(topLeft, bottomRight - QPoint(1, 1));
}

void ImageView::updateScrollRanges() {
  const QSize zoomed = hasImage() ? zoomedSize(zoom_) : QSize();
  // Twice: a bar that appears takes room from the other direction.
  for (int pass = 0; pass < 2; ++pass) {
    const QSize client = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, zoomed.width() - client.width()));
    horizontalScrollBar()->setPageStep(client.width());
    verticalScrollBar()->setRange(0, std::max(0, zoomed.height() - client.height()));
    verticalScrollBar()->setPageStep(client.height());
  }
  syncAnnotationWindows();
}

int ImageView::SetZoom(int step, bool aboutPoint, int x, int y) {
  if (!hasImage()) return zoom_;
  step = std::clamp(step, 1, kStepCount);
  if (step <= zoom_ && step != kHundredPercentStep) {
    const QSize zoomed = zoomedSize(step);
    if (zoomed.width() <= kMinZoomedSide || zoomed.height() <= kMinZoomedSide) {
      beep();
      return zoom_;
    }
  }
  const QPoint client = aboutPoint ? QPoint(x, y) : QPoint(viewport()->width() / 2, viewport()->height() / 2);
  const QPoint image = ClientToImagePoint(client);
  zoom_ = step;
  updateScrollRanges();
  const int percent = ZoomPercent(zoom_);
  horizontalScrollBar()->setValue(image.x() * percent / 100 - client.x());
  verticalScrollBar()->setValue(image.y() * percent / 100 - client.y());
  recentreStrayAnnotations();
  viewport()->update();
  emit zoomChanged(zoom_);
  return zoom_;
}

// An annotation left wholly outside the page (a trim, a smaller page) is
// brought to the page's centre with its size, so that it can be reached.
void ImageView::recentreStrayAnnotations() {
  const QRect page(QPoint(0, 0), imageSize());
  bool moved = false;
  for (Annotation& a : annotations_) {
    if (a.deleted || a.rect().intersects(page)) continue;
    QRect r = a.rect();
    r.moveCenter(page.center());
    a.setRect(r);
    moved = true;
  }
  if (!moved) return;
  annotationChanged_ = true;
  syncAnnotationWindows();
  platform::messageBox("注釈が画像領域の外に出ました。\n中央に移動します。", platform::Buttons::Ok,
                       platform::Icon::Information, "注釈");
}

// ---- painting ---------------------------------------------------------------

const QImage& ImageView::displayImage() {
  if (smoothedStep_ != zoom_ || smoothed_.isNull()) {
    const QSize zoomed = zoomedSize(zoom_);
    if (grayScaling() != 0 && page_.format() == QImage::Format_Mono) {
      smoothed_ = ReduceMonoToGrey(page_, zoomed);
    } else if (grayScaling() != 0) {
      smoothed_ = page_.scaled(zoomed, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
      smoothed_ = page_.scaled(zoomed, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    smoothedStep_ = zoom_;
  }
  return smoothed_;
}

void ImageView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
  if (!hasImage()) return;
  const QPoint scroll = ScrollPosition();
  const QRect dest(-scroll, zoomedSize(zoom_));
  const int percent = ZoomPercent(zoom_);
  if (percent == 100) {
    painter.drawImage(dest.topLeft(), page_);
  } else if (percent < 100) {
    painter.drawImage(dest.topLeft(), displayImage());
  } else {
    // Only the part in view is enlarged.
    const QRect visible = dest.intersected(viewport()->rect());
    const QRectF source((visible.x() - dest.x()) * 100.0 / percent, (visible.y() - dest.y()) * 100.0 / percent,
                        visible.width() * 100.0 / percent, visible.height() * 100.0 / percent);
    painter.drawImage(QRectF(visible), page_, source);
  }
  paintAnnotations(painter);
  if (banding_) {
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.setPen(QPen(Qt::white, 1, Qt::DotLine));
    if (tool_ == anntool::kPointer)
      painter.drawLine(bandStart_, bandEnd_);
    else
      painter.drawRect(QRect(bandStart_, bandEnd_).normalized());
    painter.restore();
  }
  // A sunken frame one pixel outside the page.
  const QRect outer = dest.adjusted(-1, -1, 1, 1);
  const auto shade = [&painter](const QRect& r, QColor topLeft, QColor bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  };
  shade(outer, QColor(0x80, 0x80, 0x80), QColor(0xC0, 0xC0, 0xC0));
  shade(outer.adjusted(-1, -1, 1, 1), QColor(0x80, 0x80, 0x80), Qt::black);
}

void ImageView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  updateScrollRanges();
}

void ImageView::scrollContentsBy(int, int) {
  syncAnnotationWindows();
  viewport()->update();
}

// ---- mouse -------------------------------------------------------------------

void ImageView::mousePressEvent(QMouseEvent* event) {
  emit activated();
  setFocus(Qt::MouseFocusReason);
  if (!hasImage()) return;
  const QPoint at = event->position().toPoint();
  DeselectAnnotations();
  if (event->button() == Qt::LeftButton) {
    if (tool_ == kToolDrag && FitWholeStep() < zoom_) {
      dragging_ = true;
      dragStart_ = at;
      dragScrollStart_ = QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    } else if ((tool_ >= anntool::kTextBox && tool_ <= anntool::kLink) || IsRegionTool(tool_)) {
      banding_ = true;
      bandStart_ = at;
      bandEnd_ = at;
      if (tool_ == anntool::kPointer) emit prompt(QStringLiteral("終点を指定してください。"));
    } else if (tool_ == kToolZoom) {
      if (zoom_ >= kStepCount)
        beep();
      else
        SetZoom(zoom_ + 1, true, at.x(), at.y());
    }
  } else if (event->button() == Qt::RightButton && tool_ == kToolZoom) {
    if (zoom_ <= 1)
      beep();
    else
      SetZoom(zoom_ - 1, true, at.x(), at.y());
  }
}

void ImageView::mouseMoveEvent(QMouseEvent* event) {
  if (banding_) {
    bandEnd_ = event->position().toPoint();
    viewport()->update();
    return;
  }
  if (!dragging_) return;
  // The bars hold the image so that it never uncovers the client area.
  const QPoint moved = event->position().toPoint() - dragStart_;
  horizontalScrollBar()->setValue(dragScrollStart_.x() - moved.x());
  verticalScrollBar()->setValue(dragScrollStart_.y() - moved.y());
}

void ImageView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  if (event->button() == Qt::LeftButton && banding_) {
    banding_ = false;
    viewport()->update();
    const QPoint end = event->position().toPoint();
    const bool tooSmall = std::abs(end.x() - bandStart_.x()) < 2 || std::abs(end.y() - bandStart_.y()) < 2;
    if (IsRegionTool(tool_)) {
      if (tooSmall) return;
      const QRect client = QRect(bandStart_, end).normalized();
      const QPoint topLeft = ClientToImagePoint(client.topLeft());
      const QPoint bottomRight = ClientToImagePoint(client.bottomRight() + QPoint(1, 1)) - QPoint(1, 1);
      RegionToolCommand(tool_, QRect(topLeft, bottomRight));
      return;
    }
    if (tool_ == anntool::kPointer && end == bandStart_) {
      emit prompt(QStringLiteral("始点を指定してください。"));
      return;
    }
    if (tool_ != anntool::kPointer && tooSmall) {
      emit prompt(QStringLiteral("領域を指定してください。"));
      return;
    }
    if (const auto box = AnnotationFromBand(tool_, ClientToImagePoint(bandStart_), ClientToImagePoint(end))) {
      const int index = AddAnnotation(*box);
      emit prompt(QString());
      // After a text or link box the select tool follows and its text is edited in place.
      if (tool_ == anntool::kTextBox || tool_ == anntool::kLink) {
        tool_ = anntool::kSelect;
        emit toolChanged();
        if (AnnBoxWnd* window = annotationWindow(index)) window->StartEdit();
      }
    }
    return;
  }
  if (event->button() == Qt::RightButton && tool_ == kToolDrag && hasImage()) {
    QMenu* menu = BuildImageContextMenu(event->position().toPoint());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(event->position().toPoint()));
  }
}

void ImageView::wheelEvent(QWheelEvent* event) {
  if (dragging_ || !hasImage()) return;
  const int turn = event->angleDelta().y();
  if (turn == 0) return;
  // A forward turn moves the image down, whatever the size of the turn.
  verticalScrollBar()->setValue(verticalScrollBar()->value() + (turn > 0 ? -kWheelStep : kWheelStep));
  event->accept();
}

QMenu* ImageView::BuildImageContextMenu(QPoint at) {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("menu153"));
  QAction* zoomIn = menu->addAction(QStringLiteral("拡大"));
  zoomIn->setObjectName(QStringLiteral("cmd%1").arg(vcmd::kZoomIn, 0, 16));
  QAction* zoomOut = menu->addAction(QStringLiteral("縮小"));
  zoomOut->setObjectName(QStringLiteral("cmd%1").arg(vcmd::kZoomOut, 0, 16));
  connect(zoomIn, &QAction::triggered, this, [this, at] {
    if (zoom_ >= kStepCount)
      beep();
    else
      SetZoom(zoom_ + 1, true, at.x(), at.y());
  });
  connect(zoomOut, &QAction::triggered, this, [this, at] {
    if (zoom_ <= 1)
      beep();
    else
      SetZoom(zoom_ - 1, true, at.x(), at.y());
  });
  return menu;
}

// ---- commands -------------------------------------------------------------------

bool ImageView::CommandEnabled(int commandId) const {
  switch (commandId) {
    case vcmd::kToolDragButton:
    case vcmd::kToolDrag:
    case vcmd::kToolZoomButton:
    case vcmd::kToolZoom:
    case vcmd::kFitWholeButton:
    case vcmd::kFitWhole:
    case vcmd::kFitWidthButton:
    case vcmd::kFitWidth:
    case vcmd::kFitHeightButton:
    case vcmd::kFitHeight:
    case vcmd::kGrayDisplay:
      return hasImage();
    case vcmd::kEditUndo:
      return hasImage() && undoState_ != kNoUndo;
    case vcmd::kTextBoxButton:
    case vcmd::kTextBoxTool:
    case vcmd::kHighlightButton:
    case vcmd::kHighlightTool:
    case vcmd::kRedactionButton:
    case vcmd::kRedactionTool:
    case vcmd::kPointerButton:
    case vcmd::kPointerTool:
    case vcmd::kLinkButton:
    case vcmd::kLinkTool:
    case vcmd::kSelectAnnotationsButton:
    case vcmd::kSelectAnnotationsTool:
      return hasImage();  // a read-only page may still be annotated
    case vcmd::kOcrButton:
    case vcmd::kOcr:
      return hasImage();  // reading text changes nothing
    case vcmd::kTrimButton:
    case vcmd::kTrim:
    case vcmd::kInvertButton:
    case vcmd::kInvert:
    case vcmd::kFillWhiteButton:
    case vcmd::kFillWhite:
    case vcmd::kFillBlackButton:
    case vcmd::kFillBlack:
    case vcmd::kResolutionButton:
    case vcmd::kResolution:
    case vcmd::kRotateButton:
    case vcmd::kRotate:
    case vcmd::kDeskew:
    case vcmd::kDespeckle:
      return hasImage() && state_ != kReadOnly;
    case vcmd::kBinarise:
      return hasImage() && state_ != kReadOnly && ctrl_->GetDispid12() != 1;
    case vcmd::kGreyScale:
      return hasImage() && state_ != kReadOnly && ctrl_->GetDispid12() != 1 && ctrl_->GetDispid98() == 0;
    default:
      return false;
  }
}

bool ImageView::CommandChecked(int commandId) const {
  switch (commandId) {
    case vcmd::kToolDragButton:
    case vcmd::kToolDrag:
      return tool_ == kToolDrag;
    case vcmd::kToolZoomButton:
    case vcmd::kToolZoom:
      return tool_ == kToolZoom;
    case vcmd::kGrayDisplay:
      return grayScaling() != 0;
    case vcmd::kTextBoxButton:
    case vcmd::kTextBoxTool:
      return tool_ == anntool::kTextBox;
    case vcmd::kHighlightButton:
    case vcmd::kHighlightTool:
      return tool_ == anntool::kHighlight;
    case vcmd::kRedactionButton:
    case vcmd::kRedactionTool:
      return tool_ == anntool::kRedaction;
    case vcmd::kPointerButton:
    case vcmd::kPointerTool:
      return tool_ == anntool::kPointer;
    case vcmd::kLinkButton:
    case vcmd::kLinkTool:
      return tool_ == anntool::kLink;
    case vcmd::kSelectAnnotationsButton:
    case vcmd::kSelectAnnotationsTool:
      return tool_ == anntool::kSelect;
    case vcmd::kOcrButton:
    case vcmd::kOcr:
      return tool_ == kToolOcr;
    case vcmd::kTrimButton:
    case vcmd::kTrim:
      return tool_ == kToolTrim;
    case vcmd::kInvertButton:
    case vcmd::kInvert:
      return tool_ == kToolInvert;
    case vcmd::kFillWhiteButton:
    case vcmd::kFillWhite:
      return tool_ == kToolFillWhite;
    case vcmd::kFillBlackButton:
    case vcmd::kFillBlack:
      return tool_ == kToolFillBlack;
    default:
      return false;
  }
}

void ImageView::OnCommand(int commandId) {
  emit activated();
  if (!hasImage()) return;
  const auto setTool = [this](int tool) {
    // The trim returns to the last tool that was no region tool.
    if (!IsRegionTool(tool_)) previousTool_ = tool_;
    tool_ = tool;
    DeselectAnnotations();
    syncAnnotationWindows();
    static constexpr const char* kPrompts[] = {"領域を選択してください。", "注釈を選択できます。", "始点を指定してください。"};
    emit prompt(IsRegionTool(tool) || (tool >= anntool::kTextBox && tool != anntool::kPointer)
                    ? QString::fromUtf8(kPrompts[0])
                : tool == anntool::kSelect  ? QString::fromUtf8(kPrompts[1])
                : tool == anntool::kPointer ? QString::fromUtf8(kPrompts[2])
                                            : QString());
  };
  const auto setRegionTool = [this, &setTool](int tool) {
    if (state_ != kReadOnly) setTool(tool);
  };
  switch (commandId) {
    case vcmd::kToolDragButton:
    case vcmd::kToolDrag:
      setTool(kToolDrag);
      break;
    case vcmd::kToolZoomButton:
    case vcmd::kToolZoom:
      setTool(kToolZoom);
      break;
    case vcmd::kFitWholeButton:
    case vcmd::kFitWhole:
      SetZoom(FitWholeStep());
      break;
    case vcmd::kFitWidthButton:
    case vcmd::kFitWidth:
      SetZoom(FitWidthStep());
      break;
    case vcmd::kFitHeightButton:
    case vcmd::kFitHeight:
      SetZoom(FitHeightStep());
      break;
    case vcmd::kGrayDisplay: {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      SetGrayScaling(grayScaling() == 0 ? kGrayScalingOn : 0);
      QApplication::restoreOverrideCursor();
      break;
    }
    case vcmd::kEditUndo:
      Undo();
      break;
    case vcmd::kTextBoxButton:
    case vcmd::kTextBoxTool:
      setTool(anntool::kTextBox);
      break;
    case vcmd::kHighlightButton:
    case vcmd::kHighlightTool:
      setTool(anntool::kHighlight);
      break;
    case vcmd::kRedactionButton:
    case vcmd::kRedactionTool:
      setTool(anntool::kRedaction);
      break;
    case vcmd::kPointerButton:
    case vcmd::kPointerTool:
      setTool(anntool::kPointer);
      break;
    case vcmd::kLinkButton:
    case vcmd::kLinkTool:
      setTool(anntool::kLink);
      break;
    case vcmd::kSelectAnnotationsButton:
    case vcmd::kSelectAnnotationsTool:
      setTool(anntool::kSelect);
      break;
    case vcmd::kOcrButton:
    case vcmd::kOcr:
      setTool(kToolOcr);
      break;
    case vcmd::kTrimButton:
    case vcmd::kTrim:
      setRegionTool(kToolTrim);
      break;
    case vcmd::kInvertButton:
    case vcmd::kInvert:
      setRegionTool(kToolInvert);
      break;
    case vcmd::kFillWhiteButton:
    case vcmd::kFillWhite:
      setRegionTool(kToolFillWhite);
      break;
    case vcmd::kFillBlackButton:
    case vcmd::kFillBlack:
      setRegionTool(kToolFillBlack);
      break;
    case vcmd::kResolutionButton:
    case vcmd::kResolution: {
      if (state_ == kReadOnly) break;
      ResolutionDialog dialog(xResolution(), this);
      if (dialog.exec() == QDialog::Accepted) ChangeResolution(dialog.resolution());
      break;
    }
    case vcmd::kRotateButton:
    case vcmd::kRotate: {
      if (state_ == kReadOnly) break;
      RotationDialog dialog(this);
      if (dialog.exec() != QDialog::Accepted) break;
      if (dialog.deskew())
        Deskew();
      else
        RotateBy(dialog.degrees());
      break;
    }
    case vcmd::kDeskew:
      Deskew();
      break;
    case vcmd::kBinarise:
      Binarise();
      break;
    case vcmd::kGreyScale:
      GreyScale();
      break;
    case vcmd::kDespeckle:
      Despeckle();
      break;
    default:
      break;
  }
}

bool ImageView::EditCommand(int commandId) {
  if (editing_ != nullptr) return editing_->edit()->EditCommand(commandId, false);
  if (commandId == vcmd::kEditUndo) return Undo();
  if (commandId == vcmd::kEditDelete) {
    // Del deletes the selected annotations, as it does on a selected box.
    std::vector<AnnBoxWnd*> chosen;
    for (AnnBoxWnd* window : windows_)
      if (window->selected()) chosen.push_back(window);
    for (AnnBoxWnd* window : chosen) window->Delete();
    return !chosen.empty();
  }
  return false;
}

bool ImageView::EditCommandEnabled(int commandId) const {
  if (editing_ != nullptr) return editing_->edit()->EditCommand(commandId, true);
  if (commandId == vcmd::kEditDelete)
    return std::any_of(windows_.begin(), windows_.end(), [](const AnnBoxWnd* window) { return window->selected(); });
  return commandId == vcmd::kEditUndo && hasImage() && undoState_ != kNoUndo;
}
