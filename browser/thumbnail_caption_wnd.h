#pragma once
// The two captions and the page counter of a thumbnail tile. They are zones
// of the tile that the board paints, not windows: each keeps its rectangle
// in board coordinates and its state, and paints itself where the board
// asks.
//
//   CaptionFonts          the board's normal, underlined and bold caption fonts
//   ThumbnailCaptionWnd   a caption: the stack title (upper) or the document title (lower)
//   PageNumberWnd         a stack's page counter with its three zones

#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

class QPainter;

// "ＭＳ Ｐゴシック" of the captions is drawn with the CJK face the program
// installs.
inline constexpr const char* kCaptionFontFamily = "Noto Sans CJK JP";

struct CaptionFonts {
  // tenthsOfPoint: the setting KankyoShowFontSize (120 = 12 pt).
  explicit CaptionFonts(int tenthsOfPoint = 120);

  int tenthsOfPoint;
  QFont normal;
  QFont underlined;
  QFont bold;
  QFontMetrics normalMetrics;
  QFontMetrics underlinedMetrics;
  QFontMetrics boldMetrics;
};

class ThumbnailCaptionWnd {
 public:
  static constexpr int kMaxTextWidth = 210;  // pixels; longer texts end in an ellipsis
  static constexpr int kPadding = 2;         // pixels left and right of the text
  enum Mode { kStackTitle = 1, kDocumentTitle = 2 };
  enum Style { kUndecided = 0, kPlain = 1, kUnderlined = 2 };

  explicit ThumbnailCaptionWnd(int controlId) : controlId_(controlId) {}

  // style 0 leaves the style to be decided (until then the caption is plain).
  void SetMode(int mode, int style);
  // Unless forced, an unchanged non-empty text does nothing. Otherwise the
  // caption is sized around its present centre: text width (at most 210) +
  // 4 wide, text height + 2 high, top unchanged.
  void SetCaptionText(const QString& text, bool force, const CaptionFonts& fonts);
  // The widest the text may be (at most 210): a caption is no wider than its
  // tile, so that a long title is cut with an ellipsis instead of lying over
  // its neighbours' titles. The caption is sized again around its centre.
  void SetMaxTextWidth(int pixels);
  // The whole text does not fit: it is drawn cut (the board's tooltip shows it).
  bool elided() const { return fullTextWidth_ > maxTextWidth_; }
  void MoveCenteredTo(QPoint topCentre);
  QPoint GetAnchorPoint() const { return {rect_.left() + rect_.width() / 2, rect_.top()}; }

  const QFont& Font(const CaptionFonts& fonts) const;
  // offset: board to painter coordinates.
  void Paint(QPainter& painter, const CaptionFonts& fonts, QColor background, QPoint offset) const;

  int controlId() const { return controlId_; }
  int mode() const { return mode_; }
  int style() const { return style_; }
  bool styleDecided() const { return styleSet_; }
  const QString& text() const { return text_; }
  const QRect& rect() const { return rect_; }
  bool visible = false;

 private:
  int controlId_;
  QString text_;
  int mode_ = kDocumentTitle;
  bool styleSet_ = false;
  int style_ = kPlain;
  QRect rect_;
  int fullTextWidth_ = 0;
  int maxTextWidth_ = kMaxTextWidth;
};

class PageNumberWnd {
 public:
  static constexpr int kControlId = 2202;
  static constexpr int kWidth = 101;
  static constexpr int kHeight = 20;
  static constexpr int kPreviousZoneEnd = 20;  // x below: previous page
  static constexpr int kNextZoneStart = 81;    // x from: next page
  enum Zone { kNone = 0, kPrevious = 1, kNext = 2, kChoose = 3 };

  void SetPages(int count, int current) {
    pageCount_ = count;
    currentPage_ = current;
  }
  int pageCount() const { return pageCount_; }
  int currentPage() const { return currentPage_; }

  // The zone of x (counter coordinates), regardless of the pages.
  static int ZoneAt(int x);
  // Button down at x: the zone now pressed, or kNone when the step is
  // refused (previous on page 1, next on the last page; the caller beeps).
  int Press(int x);
  // The pointer moved while pressed: inside the pressed zone or not.
  void Track(int x, int y);
  // Button up: the zone to report (the pressed one while the pointer is
  // still in it), else kNone; the press ends either way.
  int Release();

  void Paint(QPainter& painter, const QFont& font, QPoint offset) const;

  QRect rect;  // board coordinates, kWidth x kHeight
  bool visible = false;

 private:
  int pageCount_ = 0;
  int currentPage_ = 0;
  int pressed_ = kNone;
  bool pressedInside_ = false;
};
