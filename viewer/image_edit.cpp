// The image commands of the image view: every change keeps one step of undo
// in a work file, moves the annotations with the geometry, and marks the
// image as changed; the file itself is written only by SaveDocument.

#include "viewer/image_view.h"

#include "catalogue/folder_database.h"
#include "platform/global_memory.h"
#include "platform/imaging/image.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "viewer/viewer_dialogs.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointF>
#include <QScrollBar>

#include <leptonica/allheaders.h>

#include <algorithm>
#include <utility>
#include <array>
#include <cmath>
#include <cstdio>

namespace img = platform::imaging;

namespace {

constexpr std::array<int, 23> kOneBitFormats = {1,  2,  3,  6,  11, 17, 22, 24, 25, 27, 28, 29,
                                                55, 75, 76, 84, 85, 86, 87, 88, 93, 94, 95};
constexpr std::array<int, 10> kGreyOnlyFormats = {10, 16, 21, 23, 63, 64, 80, 81, 82, 83};
constexpr std::int32_t kWhite = 0xFFFFFF;
enum RegionKind { kTrim = 6, kInvert = 7, kFillWhite = 8, kFillBlack = 9 };

QRect scaled(const QRect& r, int num, int den) {
  return QRect(QPoint(static_cast<int>(static_cast<long long>(r.left()) * num / den),
                      static_cast<int>(static_cast<long long>(r.top()) * num / den)),
               QPoint(static_cast<int>(static_cast<long long>(r.right()) * num / den),
                      static_cast<int>(static_cast<long long>(r.bottom()) * num / den)));
}

// The pixel value that paints white or black at the PIX's depth.
l_uint32 fillValue(Pix* pix, bool white) {
  if (PIXCMAP* map = pixGetColormap(pix)) {
    l_int32 index = 0;
    pixcmapGetNearestIndex(map, white ? 255 : 0, white ? 255 : 0, white ? 255 : 0, &index);
    return static_cast<l_uint32>(index);
  }
  const int depth = pixGetDepth(pix);
  if (depth == 1) return white ? 0 : 1;
  if (depth == 32) return white ? 0xFFFFFF00u : 0;
  return white ? (depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1u) : 0;
}

}  // namespace

void ImageView::Annotation::setRect(const QRect& r) {
  box.BoxLeft = r.left();
  box.BoxTop = r.top();
  box.BoxRight = r.right();
  box.BoxBottom = r.bottom();
}

bool ImageView::FormatHoldsOneBit(int format) {
  return std::find(kOneBitFormats.begin(), kOneBitFormats.end(), format) != kOneBitFormats.end();
}

bool ImageView::FormatHoldsGrey(int format) {
  return FormatHoldsOneBit(format) ||
         std::find(kGreyOnlyFormats.begin(), kGreyOnlyFormats.end(), format) != kGreyOnlyFormats.end();
}

std::string ImageView::UndoFilePath() const {
  const std::string folder = workFolder_.empty() ? platform::workFolder(platform::workfolder::kTmp) : workFolder_;
  return folder + "/ImageAndo";
}

void ImageView::deleteUndoFiles() {
  QFile::remove(QString::fromStdString(UndoFilePath()));
  QFile::remove(QString::fromStdString(UndoFilePath() + "_"));
  undoState_ = kNoUndo;
}

// Steps 1-2 of every change: the annotations' backups and the undo copy.
// When the undo copy cannot be written the change is not made at all.
bool ImageView::beginChange(bool sizeChange, int progressKind) {
  if (!hasImage() || state_ == kReadOnly) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string undo = UndoFilePath();
  QDir().mkpath(QFileInfo(QString::fromStdString(undo)).absolutePath());
  if (ctrl_->SaveFile(undo, img::format::kTiff, ctrl_->GetDispid12(), 2, 0) != img::kOk) {
    QApplication::restoreOverrideCursor();
    platform::messageBox("元に戻すための画像を保存できませんでした。\n画像は変更されません。", platform::Buttons::Ok,
                         platform::Icon::Warning);
    return false;
  }
  for (Annotation& a : annotations_) {
    a.backupRect = a.rect();
    a.backupFontSize = a.box.FontSize;
    a.backupParam1 = a.box.AnnParam1;
  }
  undoState_ = kCanUndo;
  undoSizeChanged_ = sizeChange;
  progressKind_ = progressKind;
  progressShown_ = -1;
  OnImageProgress(0);
  return true;
}

// The status bar tells what the command is doing, in steps of ten per cent;
// at 100 the idle text returns.
void ImageView::OnImageProgress(int percent) {
  static constexpr std::pair<int, const char*> kTexts[] = {
      {7, "反転中です。(%1％)"},           {8, "白く塗りつぶしています。(%1％)"},
      {9, "黒く塗りつぶしています。(%1％)"}, {30, "回転中です。(%1％)"},
      {31, "解像度を変更しています。(%1％)"}, {32, "２値化しています。(%1％)"},
      {33, "グレイスケール化しています。(%1％)"}, {34, "傾き補正中です。(%1％)"},
      {35, "ノイズ除去中です。(%1％)"},     {37, "画像をロード中です。(%1％)"}};
  if (progressKind_ == 0) return;
  const int step = std::clamp(percent, 0, 100) / 10 * 10;
  if (step == progressShown_) return;
  progressShown_ = step;
  if (step == 100) {
    progressKind_ = 0;
    emit prompt(QStringLiteral("ヘルプを表示するには[F1]を押してください"));
    return;
  }
  for (const auto& [kind, text] : kTexts)
    if (kind == progressKind_) emit prompt(QString::fromUtf8(text).arg(step));
}

void ImageView::endChange() {
  imageChanged_ = true;
  page_ = ctrl_->heldImage();
  smoothed_ = QImage();
  smoothedStep_ = 0;
  updateScrollRanges();
  viewport()->update();
  OnImageProgress(100);
  QApplication::restoreOverrideCursor();
  emit zoomChanged(zoom_);  // the frame refreshes the status-bar image information
}

bool ImageView::ChangeResolution(int dpi) {
  const int old = xResolution();
  if (dpi <= 0 || old <= 0 || dpi == old || !hasImage()) return false;
  if (!beginChange(true, kProgressResolution)) return false;
  const QSize size = imageSize();
  const auto w = static_cast<float>(static_cast<long long>(size.width()) * dpi / old);
  const auto h = static_cast<float>(static_cast<long long>(size.height()) * dpi / old);
  ctrl_->ResizeImage(std::max(1.0f, w), std::max(1.0f, h), ctrl_->GetDispid12() == 1 ? 0 : 1);
  ctrl_->SetXResolution(static_cast<short>(dpi));
  ctrl_->SetYResolution(static_cast<short>(dpi));
  for (Annotation& a : annotations_) a.setRect(scaled(a.rect(), dpi, old));
  annotationChanged_ = true;
  endChange();
  SetZoom(FitWholeStep());
  return true;
}

bool ImageView::RotateBy(double degrees) {
  if (!beginChange(true, kProgressRotate)) return false;
  const QSize before = imageSize();
  const std::int32_t hundredths = static_cast<std::int32_t>(std::lround(degrees * 100));
  ctrl_->Rotate(hundredths, 1, kWhite);
  endChange();
  turnAnnotations(hundredths / 100.0, before, imageSize());
  SetZoom(zoom_);
  return true;
}

// The page turns about its centre and the turned page is centred on the new
// canvas, so a point p lands at R(p - old centre) + new centre. A quarter or
// half turn turns each rectangle exactly (and an arrow's tip corner with
// it); any other angle moves only the centre, since a turned rectangle is no
// rectangle, and keeps the annotation on the page.
void ImageView::turnAnnotations(double degrees, const QSize& before, const QSize& after) {
  const double radians = degrees * M_PI / 180.0;
  const double c = std::cos(radians);
  const double s = std::sin(radians);
  const QPointF from(before.width() / 2.0, before.height() / 2.0);
  const QPointF to(after.width() / 2.0, after.height() / 2.0);
  const auto turn = [&](QPointF p) {
    const QPointF d = p - from;
    return QPointF(d.x() * c - d.y() * s, d.x() * s + d.y() * c) + to;
  };
  const long long hundredths = std::llround(degrees * 100);
  const bool quarter = hundredths % 9000 == 0;
  for (Annotation& a : annotations_) {
    const QRect r = a.rect().normalized();
    // Pixel edges, not pixel centres: a rectangle covers right + 1 and bottom + 1.
    const QPointF topLeft(r.left(), r.top());
    const QPointF bottomRight(r.right() + 1, r.bottom() + 1);
    if (quarter) {
      const QPointF p = turn(topLeft);
      const QPointF q = turn(bottomRight);
      const QPoint one(static_cast<int>(std::lround(std::min(p.x(), q.x()))),
                       static_cast<int>(std::lround(std::min(p.y(), q.y()))));
      const QPoint two(static_cast<int>(std::lround(std::max(p.x(), q.x()))),
                       static_cast<int>(std::lround(std::max(p.y(), q.y()))));
      const QRect moved(one, two - QPoint(1, 1));
      if (a.box.AnnType == 3) {
        // The tip's corner: 1 upper left, 2 upper right, 3 lower left, 4 lower right.
        const int corner = a.box.AnnParam1;
        const QPointF tip(corner == 1 || corner == 3 ? r.left() : r.right() + 1,
                          corner == 1 || corner == 2 ? r.top() : r.bottom() + 1);
        const QPointF t = turn(tip);
        const QPointF centre = (QPointF(one) + QPointF(two)) / 2.0;
        a.box.AnnParam1 = t.y() < centre.y() ? (t.x() < centre.x() ? 1 : 2) : (t.x() < centre.x() ? 3 : 4);
      }
      a.setRect(moved);
    } else {
      const QPointF centre = turn((topLeft + bottomRight) / 2.0);
      QRect moved(QPoint(0, 0), r.size());
      moved.moveCenter(QPoint(static_cast<int>(std::lround(centre.x())), static_cast<int>(std::lround(centre.y()))));
      moved.moveLeft(std::clamp(moved.left(), 0, std::max(0, after.width() - moved.width())));
      moved.moveTop(std::clamp(moved.top(), 0, std::max(0, after.height() - moved.height())));
      a.setRect(moved);
    }
  }
  if (!annotations_.empty()) annotationChanged_ = true;
}

bool ImageView::Deskew() {
  if (!beginChange(false, kProgressDeskew)) return false;
  ctrl_->Deskew();
  endChange();
  return true;
}

bool ImageView::Binarise() {
  if (!hasImage() || state_ == kReadOnly) return false;
  if (!FormatHoldsOneBit(format_)) {
    platform::messageBox("この画像形式は白黒2値をサポートしておりません。", platform::Buttons::Ok,
                         platform::Icon::Warning, "白黒2値化");
    return false;
  }
  if (!beginChange(false, kProgressBinarise)) return false;
  ctrl_->ConvertToBits(1, kWhite);
  endChange();
  return true;
}

bool ImageView::GreyScale() {
  if (!hasImage() || state_ == kReadOnly) return false;
  if (!FormatHoldsGrey(format_)) {
    platform::messageBox("この画像形式はグレースケールをサポートしておりません。", platform::Buttons::Ok,
                         platform::Icon::Warning, "グレースケール化");
    return false;
  }
  if (!beginChange(false, kProgressGrey)) return false;
  ctrl_->ConvertToGrey(8);
  endChange();
  return true;
}

bool ImageView::Despeckle() {
  if (!beginChange(false, kProgressDespeckle)) return false;
  ctrl_->Despeckle();
  endChange();
  return true;
}

bool ImageView::Trim(const QRect& region) { return regionCommand(region, kTrim); }
bool ImageView::InvertRegion(const QRect& region) { return regionCommand(region, kInvert); }
bool ImageView::FillRegion(const QRect& region, bool white) {
  return regionCommand(region, white ? kFillWhite : kFillBlack);
}

bool ImageView::regionCommand(const QRect& requested, int kind) {
  if (!hasImage() || state_ == kReadOnly) return false;
  const QRect region = requested.normalized().intersected(QRect(QPoint(0, 0), imageSize()));
  if (region.isEmpty()) return false;
  if (kind != kTrim) {
    const char* text = kind == kInvert       ? "選択された領域を本当に反転しますか？"
                       : kind == kFillWhite ? "選択された領域を本当に\n白く塗りつぶしますか？"
                                            : "選択された領域を本当に\n黒く塗りつぶしますか？";
    const char* caption = kind == kInvert ? "反転" : kind == kFillWhite ? "白塗りつぶし" : "黒塗りつぶし";
    if (platform::messageBox(text, platform::Buttons::YesNo, platform::Icon::Question, caption) !=
        platform::Answer::Yes)
      return false;
  }
  const std::shared_ptr<img::Image> held = img::findImage(ctrl_->GetImageHandle());
  Pix* source = held ? held->pix() : nullptr;
  if (source == nullptr) return false;
  const int progress = kind == kInvert ? kProgressInvert
                       : kind == kFillWhite ? kProgressFillWhite
                       : kind == kFillBlack ? kProgressFillBlack
                                            : 0;
  if (!beginChange(kind == kTrim, progress)) return false;
  BOX* box = boxCreate(region.x(), region.y(), region.width(), region.height());
  img::PixPtr out;
  if (kind == kTrim) {
    out.reset(pixClipRectangle(source, box, nullptr));
  } else if (kind == kInvert) {
    out.reset(pixGetColormap(source) ? pixRemoveColormap(source, REMOVE_CMAP_BASED_ON_SRC) : pixCopy(nullptr, source));
    if (out) pixRasterop(out.get(), region.x(), region.y(), region.width(), region.height(), PIX_NOT(PIX_DST), nullptr, 0, 0);
  } else {
    out.reset(pixCopy(nullptr, source));
    if (out) pixSetInRectArbitrary(out.get(), box, fillValue(out.get(), kind == kFillWhite));
  }
  boxDestroy(&box);
  if (!out) {
    OnImageProgress(100);
    QApplication::restoreOverrideCursor();
    return false;
  }
  pixSetResolution(out.get(), held->xResolution(), held->yResolution());
  const std::shared_ptr<img::Image> changed = img::Image::fromPix(std::move(out));
  ctrl_->SetImageHandle(img::registerImage(changed));
  if (kind == kTrim) {
    for (Annotation& a : annotations_) a.setRect(a.rect().translated(-region.topLeft()));
    annotationChanged_ = true;
  }
  endChange();
  if (kind == kTrim) SetZoom(zoom_);
  return true;
}

bool ImageView::Undo() {
  if (undoState_ == kNoUndo || !hasImage()) return false;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const std::string undo = UndoFilePath();
  const std::string swap = undo + "_";
  const QPoint offsets(horizontalScrollBar()->value(), verticalScrollBar()->value());
  // The current image goes aside first; without that copy nothing is swapped.
  if (ctrl_->SaveFile(swap, img::format::kTiff, ctrl_->GetDispid12(), 2, 0) != img::kOk ||
      ctrl_->LoadFile(undo, 0, 1, 1) != img::kOk) {
    QFile::remove(QString::fromStdString(swap));
    QApplication::restoreOverrideCursor();
    platform::messageBox("画像を元に戻せませんでした。", platform::Buttons::Ok, platform::Icon::Warning);
    return false;
  }
  QFile::remove(QString::fromStdString(undo));
  QFile::rename(QString::fromStdString(swap), QString::fromStdString(undo));
  for (Annotation& a : annotations_) {
    const QRect r = a.rect();
    const int font = a.box.FontSize;
    const int param1 = a.box.AnnParam1;
    a.setRect(a.backupRect);
    a.box.FontSize = a.backupFontSize;
    a.box.AnnParam1 = a.backupParam1;
    a.backupRect = r;
    a.backupFontSize = font;
    a.backupParam1 = param1;
  }
  imageChanged_ = true;
  page_ = ctrl_->heldImage();
  smoothed_ = QImage();
  smoothedStep_ = 0;
  updateScrollRanges();
  if (undoSizeChanged_) {
    SetZoom(zoom_);
  } else {
    horizontalScrollBar()->setValue(offsets.x());
    verticalScrollBar()->setValue(offsets.y());
  }
  viewport()->update();
  undoState_ = undoState_ == kCanUndo ? kCanRedo : kCanUndo;
  QApplication::restoreOverrideCursor();
  emit zoomChanged(zoom_);
  return true;
}

// ---- saving ---------------------------------------------------------------------

// The image is written to a temporary file beside the old one, read back,
// and only then renamed over it: a failure leaves the old file as it was
// and the page still marked as changed. The file keeps its own format and
// the image its current depth; no fallback writes anything else.
bool ImageView::saveImage() {
  if (!imageChanged_ || !hasImage()) return false;
  const QFileInfo target(QString::fromStdString(path_));
  const QString temp = target.absolutePath() + "/." + target.fileName() + ".saving";
  const std::string tempPath = temp.toStdString();
  bool ok = ctrl_->SaveFile(tempPath, static_cast<short>(format_), ctrl_->GetDispid12(), static_cast<short>(quality_),
                            0) == img::kOk;
  if (ok) {
    CImageCtrl check;
    ok = check.LoadFile(tempPath, 0, 1, 1) == img::kOk &&
         static_cast<int>(check.GetImageWidth()) == imageSize().width() &&
         static_cast<int>(check.GetImageHeight()) == imageSize().height();
  }
  if (ok) ok = std::rename(tempPath.c_str(), path_.c_str()) == 0;
  if (!ok) {
    if (QFileInfo(temp).isFile()) QFile::remove(temp);
    platform::messageBox("画像ファイルに書き込めませんでした。\n画像は保存されていません。", platform::Buttons::Ok,
                         platform::Icon::Warning);
    return false;
  }
  imageChanged_ = false;
  rebuildThumbnail();
  return true;
}

// The board's picture of the page is made again from the file just written,
// the way a tile's thumbnail is first made: a 1-bit page goes through grey at
// four times the cell so that its strokes survive the reduction.
void ImageView::rebuildThumbnail() {
  if (db_ == nullptr || itemNo_ == 0) return;
  db_->UnregisterThumb(itemNo_);
  CImageCtrl copy;
  if (copy.LoadFile(path_, 0, 1, 1) != img::kOk) return;
  ThumbInfo thumb;
  thumb.ItemNo = itemNo_;
  if (ScaleToThumbnail(copy, thumb)) db_->SetThumbInfo(thumb);
}

bool ImageView::SaveDocument() {
  const bool annotations = saveAnnotations();
  const bool image = saveImage();
  return annotations || image;
}

bool ImageView::RegionToolCommand(int tool, const QRect& region) {
  // Reading a region's text leaves the image as it is: a read-only page too.
  if (tool == kToolOcr) return hasImage() && RecogniseRegion(region);
  if (!hasImage() || state_ == kReadOnly) return false;
  switch (tool) {
    case kToolTrim: {
      const QRect clipped = region.normalized().intersected(QRect(QPoint(0, 0), imageSize()));
      bool done = false;
      if (!clipped.isEmpty()) {
        const std::shared_ptr<img::Image> held = img::findImage(ctrl_->GetImageHandle());
        BOX* box = boxCreate(clipped.x(), clipped.y(), clipped.width(), clipped.height());
        img::PixPtr part(held && held->pix() ? pixClipRectangle(held->pix(), box, nullptr) : nullptr);
        boxDestroy(&box);
        if (part) {
          const std::shared_ptr<img::Image> shown = img::Image::fromPix(std::move(part));
          const std::int32_t handle = img::registerImage(shown);
          bool confirmed = false;
          if (confirmTrim_) {
            confirmed = confirmTrim_(handle);
          } else {
            TrimDialog dialog(handle, this);
            confirmed = dialog.exec() == QDialog::Accepted;
          }
          if (confirmed) done = Trim(clipped);
        }
      }
      // Whatever the answer, the tool before the trim comes back.
      tool_ = previousTool_;
      emit prompt(QString());
      emit toolChanged();
      return done;
    }
    case kToolInvert:
      return InvertRegion(region);
    case kToolFillWhite:
      return FillRegion(region, true);
    case kToolFillBlack:
      return FillRegion(region, false);
    default:
      return false;
  }
}
