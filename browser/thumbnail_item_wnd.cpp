#include "browser/thumbnail_item_wnd.h"

#include "catalogue/file_utilities.h"

#include <QPainter>

#include <algorithm>

namespace {

constexpr int kMinCell = 77;
const char* const kNoPictureText = "画像ファイルが見つかりません";
constexpr unsigned kWordBreakEditFormat = 0x10 | 0x2000;

}  // namespace

ThumbnailItemWnd::ThumbnailItemWnd(int mode) : mode_(mode) {
  upper_.SetMode(ThumbnailCaptionWnd::kStackTitle, ThumbnailCaptionWnd::kUndecided);
  lower_.SetMode(ThumbnailCaptionWnd::kDocumentTitle, ThumbnailCaptionWnd::kUndecided);
}

ThumbnailItemWnd::~ThumbnailItemWnd() = default;

void ThumbnailItemWnd::Rebuild(int index, const TileContent& content, const CaptionFonts& fonts) {
  index_ = index;
  selected_ = false;
  picture_icon_.Free();
  pictureTried = false;
  captionsStale_ = false;
  stack_ = content.stack;
  lower_.SetMode(ThumbnailCaptionWnd::kDocumentTitle,
                 content.hasAttachedText ? ThumbnailCaptionWnd::kUnderlined : ThumbnailCaptionWnd::kPlain);
  lower_.SetCaptionText(content.documentTitle, true, fonts);
  upper_.SetCaptionText(stack_ ? content.stackTitle : QString(), true, fonts);
  counter_.SetPages(stack_ ? content.pageCount : 0, stack_ ? content.currentPage : 0);
  counter_.rect.setSize(QSize(PageNumberWnd::kWidth, PageNumberWnd::kHeight));
  cell_ = QSize(std::max(content.cell.width(), kMinCell), std::max(content.cell.height(), kMinCell));
  picture_.setSize(QSize(pictureWindowSide(cell_.width()), pictureWindowSide(cell_.height())));
  fitCaptions();
  const bool stored = content.storedAnchor.x != 0 || content.storedAnchor.y != 0;
  // The hit board keeps no places for single items: it arranges them.
  placed_ = stored && !(mode_ == kHitBoard && !stack_);
  Layout(placed_ ? content.storedAnchor : board::Point{});
}

void ThumbnailItemWnd::Layout(board::Point anchor) {
  anchor_ = anchor;
  upper_.MoveCenteredTo({anchor.x, anchor.y});
  lower_.MoveCenteredTo({anchor.x, anchor.y + kLowerCaptionOffset});
  // The picture is centred on the front sheet; a stack's back sheet sticks
  // out to the right.
  const int frontWidth = picture_.width() - (stack_ ? kSheetOffset : 0);
  picture_.moveTo(anchor.x - frontWidth / 2, anchor.y + kPictureOffset);
  counter_.rect.moveTo(anchor.x - PageNumberWnd::kWidth / 2, picture_.bottom() + 1);
}

board::Size ThumbnailItemWnd::GetCaptionRect() const {
  if (!stack_)
    return {std::max(picture_.width(), lower_.rect().width()), kPictureOffset + picture_.height()};
  return {std::max({upper_.rect().width(), lower_.rect().width(), picture_.width() + kSheetOffset}),
          kPictureOffset + picture_.height() + PageNumberWnd::kHeight};
}

QRect ThumbnailItemWnd::GetImageRect() const {
  const int inset = stack_ ? kSheetOffset : 0;
  return QRect(0, 0, picture_.width() - inset, picture_.height() - inset);
}

QRect ThumbnailItemWnd::PictureArea() const {
  return GetImageRect().translated(picture_.topLeft()).adjusted(1, 1, -1, -1);
}

void ThumbnailItemWnd::SetCell(QSize cell) {
  cell_ = cell;
  picture_.setSize(QSize(pictureWindowSide(cell.width()), pictureWindowSide(cell.height())));
  fitCaptions();
  Layout(anchor_);
}

void ThumbnailItemWnd::fitCaptions() {
  // A stack's page counter makes its tile wider than its picture.
  const int tileWidth = stack_ ? std::max(picture_.width() + kSheetOffset, PageNumberWnd::kWidth) : picture_.width();
  const int text = tileWidth - 2 * ThumbnailCaptionWnd::kPadding;
  lower_.SetMaxTextWidth(text);
  upper_.SetMaxTextWidth(text);
}

bool ThumbnailItemWnd::AdjustCell(QSize pictureSize) {
  const QSize grown(std::max({cell_.width(), kMinCell, pictureSize.width()}),
                    std::max({cell_.height(), kMinCell, pictureSize.height()}));
  if (grown == cell_) return false;
  SetCell(grown);
  return true;
}

void ThumbnailItemWnd::ShowChildren(bool show) {
  shown_ = show;
  upper_.visible = show && stack_;
  lower_.visible = show;
  counter_.visible = show && stack_;
  if (!show) {
    picture_icon_.Free();
    pictureTried = false;
  }
}

bool ThumbnailItemWnd::SetSelected(bool selected) {
  if (selected_ == selected) return false;
  selected_ = selected;
  return true;
}

ThumbnailItemWnd::Zone ThumbnailItemWnd::HitTest(QPoint p) const {
  if (!shown_) return Zone::None;
  // The topmost zone first: the counter and picture lie over the captions.
  if (counter_.visible && counter_.rect.contains(p)) return Zone::PageCounter;
  if (picture_.contains(p)) return Zone::Picture;
  if (lower_.visible && lower_.rect().contains(p)) return Zone::LowerCaption;
  if (upper_.visible && upper_.rect().contains(p)) return Zone::UpperCaption;
  return Zone::None;
}

QRect ThumbnailItemWnd::Bounds() const {
  if (!shown_) return {};
  QRect r = picture_ | lower_.rect();
  if (upper_.visible) r |= upper_.rect();
  if (counter_.visible) r |= counter_.rect;
  return r;
}

void ThumbnailItemWnd::paintFrame(QPainter& painter, QRect sheet, QColor fill, QColor outer, QColor inner) const {
  painter.fillRect(sheet, fill);
  painter.setPen(outer);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(sheet.adjusted(0, 0, -1, -1));
  painter.setPen(inner);
  painter.drawRect(sheet.adjusted(1, 1, -2, -2));
}

void ThumbnailItemWnd::Paint(QPainter& painter, QPoint offset, const TileColours& colours, const CaptionFonts& fonts,
                             bool dropTarget) const {
  if (index_ < 0 || !shown_) return;
  if (upper_.visible) upper_.Paint(painter, fonts, colours.background, offset);
  if (lower_.visible) lower_.Paint(painter, fonts, colours.background, offset);

  QColor outer = kNormalOuter;
  QColor inner = kNormalInner;
  if (selected_) {
    outer = inner = kSelectedFrame;
  } else if (dropTarget && mode_ == kFolderBoard) {
    outer = inner = kDropTargetFrame;
  }
  const QRect window = picture_.translated(offset);
  const QRect front = GetImageRect().translated(window.topLeft());
  if (stack_) {
    paintFrame(painter, front.translated(kSheetOffset, kSheetOffset), Qt::white, outer, inner);
    painter.fillRect(QRect(front.right() + 1, window.top(), kSheetOffset, kSheetOffset), colours.background);
    painter.fillRect(QRect(window.left(), front.bottom() + 1, kSheetOffset, kSheetOffset), colours.background);
  }
  paintFrame(painter, front, colours.item, outer, inner);

  const QRect area = PictureArea().translated(offset);
  if (!picture_icon_.IsHeld()) {
    if (pictureTried && CanDrawTextInRect(area.left(), area.top(), area.right() + 1, area.bottom() + 1,
                                          kWordBreakEditFormat)) {
      painter.setPen(Qt::red);
      painter.setFont(fonts.normal);
      painter.drawText(area.adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap,
                       QString::fromUtf8(kNoPictureText));
    }
  } else {
    const int w = picture_icon_.GetWidth();
    const int h = picture_icon_.GetHeight();
    painter.save();
    painter.setClipRect(area);
    picture_icon_.Draw(painter, area.left() + (area.width() - w) / 2, area.top() + (area.height() - h) / 2, w, h);
    painter.restore();
    // The frames stay visible over a picture that fills its cell.
    painter.setPen(outer);
    painter.drawRect(front.adjusted(0, 0, -1, -1));
  }
  if (dropTarget && mode_ == kFolderBoard) {
    // The drop target's picture is shaded with a light hatch.
    painter.fillRect(area, QBrush(QColor(0, 0, 255, 96), Qt::Dense6Pattern));
  }
  if (counter_.visible) counter_.Paint(painter, fonts.normal, offset);
}
