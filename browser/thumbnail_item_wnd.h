#pragma once
// ThumbnailItemWnd: one tile of the thumbnail board, showing one stack or
// single item. A tile is a light object, not a window: the board paints it
// and routes the mouse to it. Its zones, in board coordinates, hang from its
// anchor (the top-centre of its box):
//
//     anchor ->  upper caption   (the stack title; reserved, hidden, for a single item)
//     + 22       lower caption   (the document or current page title)
//     + 44       picture         (cell + 3 square, a stack cell + 7: a second sheet 4 px behind)
//                page counter    (a stack's, 101 x 20, right under the picture)
//
//   Rebuild            binds the tile to an entry
//   Layout             moves the zones to an anchor
//   GetCaptionRect     the box size; GetImageRect the picture area
//   AdjustCell         grows the cell to its picture (at least 77 x 77)
//   HitTest, Bounds    zones for the mouse and for painting
//   Paint              frame, picture and captions

#include "browser/board_geometry.h"
#include "browser/file_icon.h"
#include "browser/thumbnail_caption_wnd.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>

class QPainter;

// What a tile shows of its entry, read by the board from the records.
struct TileContent {
  bool stack = false;
  QString stackTitle;
  QString documentTitle;  // with "." and the extension when the board shows extensions
  bool hasAttachedText = false;  // the document's text extension is set
  int pageCount = 0;
  int currentPage = 0;
  board::Point storedAnchor;  // (0, 0): not placed
  QSize cell;                 // the entry's thumbnail cell (at least 77 x 77)
};

struct TileColours {
  QColor background;  // the board's, KankyoColorBackColor
  QColor item;        // the picture's ground, KankyoColorItemColor
};

class ThumbnailItemWnd {
 public:
  static constexpr int kLowerCaptionOffset = 22;  // pixels below the anchor
  static constexpr int kPictureOffset = 44;
  static constexpr int kSingleFrame = 3;  // picture window = cell + this
  static constexpr int kStackFrame = 7;
  static constexpr int kSheetOffset = 4;  // a stack's back sheet, right and down
  static constexpr int kUpperCaptionId = 2203;
  static constexpr int kLowerCaptionId = 2204;
  static constexpr int kFolderBoard = 1;
  static constexpr int kHitBoard = 2;
  inline static const QColor kNormalOuter{128, 128, 128};
  inline static const QColor kNormalInner{192, 192, 192};
  inline static const QColor kDropTargetFrame{0, 0, 255};
  inline static const QColor kSelectedFrame{255, 0, 0};

  enum class Zone { None, Picture, UpperCaption, LowerCaption, PageCounter };

  explicit ThumbnailItemWnd(int mode);
  ~ThumbnailItemWnd();
  ThumbnailItemWnd(const ThumbnailItemWnd&) = delete;
  ThumbnailItemWnd& operator=(const ThumbnailItemWnd&) = delete;

  // Binds the tile to entry `index`: clears the selection, frees the
  // picture, sets the captions and sizes, and lays the tile out at its
  // stored anchor (the hit board's single items, and unplaced documents of
  // the folder board, at (0, 0), unplaced).
  void Rebuild(int index, const TileContent& content, const CaptionFonts& fonts);
  void Layout(board::Point anchor);
  board::Point anchor() const { return anchor_; }

  board::Size GetCaptionRect() const;
  // The picture window (board coordinates).
  QRect PictureRect() const { return picture_; }
  // The picture's area inside the picture window, relative to it: less 4 on
  // the right and bottom for a stack.
  QRect GetImageRect() const;
  // The area a picture is drawn into (board coordinates): 1 px inside the
  // front sheet's frame.
  QRect PictureArea() const;
  // Grows the cell to the picture (single item: at least 77 x 77 and at
  // least the picture). True when the cell changed; the tile is laid out
  // again at its anchor then.
  bool AdjustCell(QSize pictureSize);
  QSize cell() const { return cell_; }
  void SetCell(QSize cell);

  // 0 hides the tile (and frees its picture), 1 shows the zones of its kind.
  void ShowChildren(bool show);
  bool shown() const { return shown_; }
  // True when the state changed.
  bool SetSelected(bool selected);
  bool IsSelected() const { return selected_; }
  int GetIndex() const { return index_; }
  void SetIndex(int index) { index_ = index; }
  bool isStack() const { return stack_; }
  bool placed() const { return placed_; }
  void SetPlaced(bool placed) { placed_ = placed; }
  int mode() const { return mode_; }
  // The captions are read again at the next paint.
  void SetOptionFlag() { captionsStale_ = true; }
  bool captionsStale() const { return captionsStale_; }
  void ClearCaptionsStale() { captionsStale_ = false; }

  Zone HitTest(QPoint boardPoint) const;
  // The union of the shown zones.
  QRect Bounds() const;
  void Paint(QPainter& painter, QPoint offset, const TileColours& colours, const CaptionFonts& fonts,
             bool dropTarget) const;

  ThumbnailCaptionWnd& upperCaption() { return upper_; }
  ThumbnailCaptionWnd& lowerCaption() { return lower_; }
  const ThumbnailCaptionWnd& upperCaption() const { return upper_; }
  const ThumbnailCaptionWnd& lowerCaption() const { return lower_; }
  PageNumberWnd& pageCounter() { return counter_; }
  const PageNumberWnd& pageCounter() const { return counter_; }
  FileIcon& picture() { return picture_icon_; }
  const FileIcon& picture() const { return picture_icon_; }
  // A picture was asked for since the tile was bound (made or failed).
  bool pictureTried = false;

 private:
  void paintFrame(QPainter& painter, QRect sheet, QColor fill, QColor outer, QColor inner) const;
  // Captions no wider than the tile.
  void fitCaptions();
  int pictureWindowSide(int cellSide) const { return cellSide + (stack_ ? kStackFrame : kSingleFrame); }

  int mode_;
  int index_ = -1;
  bool selected_ = false;
  bool stack_ = false;
  bool placed_ = false;
  bool shown_ = false;
  bool captionsStale_ = false;
  board::Point anchor_;
  QSize cell_{77, 77};
  QRect picture_;
  ThumbnailCaptionWnd upper_{kUpperCaptionId};
  ThumbnailCaptionWnd lower_{kLowerCaptionId};
  PageNumberWnd counter_;
  FileIcon picture_icon_;
};
