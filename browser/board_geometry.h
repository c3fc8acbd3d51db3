#pragma once
// The arithmetic of the thumbnail board, apart from any window: where tiles
// go, which scroll bars the board needs, and in which order tiles stand.
// Everything is in board pixels (client pixels plus the scroll position);
// an anchor is the top-centre point of a tile's box.
//
//   ArrangeTiles            rows of tiles, 10 px apart, at most 32000 px tall
//   DecideScrollBars        which bars the extent needs, and the usable client
//   ClampScrollPosition     keeps the scroll position inside the extent
//   VisualOrder             tiles in reading order (rows of close tops, then x)
//   PlaceUnplacedTiles      new tiles in rows below the placed ones
//   FirstFreePlace          a new tile's first free place among the others
//   DraggedAnchor           where a tile dragged to a rectangle comes to rest
//   OrderFromEnumeration    entries in the order a sorted enumeration gave
//   BoardExtent             the extent of tiles where they stand
//
// The row rule is the same everywhere: a tile that would pass the row width
// starts a new row, unless it is the first of its row (a tile wider than the
// row stands alone at x = 10).

#include <cstdint>
#include <utility>
#include <vector>

namespace board {

inline constexpr int kGap = 10;               // pixels between tiles, rows and the board's edges
inline constexpr int kMaxBoardHeight = 32000;  // pixels: taller boards are made wider instead
inline constexpr int kWidenTarget = 30000;     // pixels: the height a widened board aims at
inline constexpr int kRowTolerance = 16;       // pixels: tops this close count as one row

struct Size {
  int w = 0;
  int h = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct ArrangeResult {
  std::vector<Point> anchors;  // one per box, in the boxes' order
  bool verticalBarAssumed = false;
  int rowWidth = 0;  // the width the last pass laid rows into
};

// clientWidth and clientHeight: the client as it would be without scroll bars.
ArrangeResult ArrangeTiles(const std::vector<Size>& boxes, int clientWidth, int clientHeight,
                           int verticalBarWidth, int horizontalBarHeight);

// Largest (anchor x + w/2) and largest (anchor y + h), both from 0.
Size BoardExtent(const std::vector<Point>& anchors, const std::vector<Size>& boxes);

struct ScrollBarDecision {
  bool horizontal = false;
  bool vertical = false;
  int usableWidth = 0;
  int usableHeight = 0;
};

// client: the client area now; *Shown: whether each bar is shown now.
ScrollBarDecision DecideScrollBars(Size extent, Size client, bool verticalShown, bool horizontalShown,
                                   int verticalBarWidth, int horizontalBarHeight);

// x = min(x, extent - usable + 10), the same for y, neither below 0.
Point ClampScrollPosition(Point position, Size extent, const ScrollBarDecision& bars);

// Indices of the anchors in reading order. Rows are formed top down: a row
// starts at the topmost tile not yet placed and takes every tile whose top
// lies at most 16 px below that tile's top; inside a row tiles go by x, and
// equal places by their present order. Unlike a pairwise "tops within 16 px"
// test this is a true order, so chains of tops (a near b, b near c, a not
// near c) come out the same every time.
std::vector<int> VisualOrder(const std::vector<Point>& anchors);

struct PlacementResult {
  std::vector<Point> anchors;  // one per unplaced box, in their order
  int rowWidth = 0;
  bool widened = false;
};

// lowestPlacedBottom: the largest bottom edge of the placed tiles, 0 when
// none. rowWidth: the client width, less a vertical bar's width when none is
// shown.
PlacementResult PlaceUnplacedTiles(const std::vector<Size>& unplacedBoxes, int lowestPlacedBottom, int rowWidth);

// The first free place for a box among the boxes already on the board
// (`taken`, right and bottom exclusive): rows are tried from the top (the
// board's edge and each box's bottom edge), and in each row places from the
// left (the edge and each box's right edge), keeping 10 px from every other
// box and within rowWidth. Below every box there is always room. Gives the
// anchor (top centre) of the box.
Point FirstFreePlace(Size box, const std::vector<Rect>& taken, int rowWidth);

// A tile whose picture stood at pictureTopLeft (client) and was dropped with
// its picture at dropTopLeft (client): its new anchor in board coordinates,
// kept on the board (left edge not below 0, top not above 0).
Point DraggedAnchor(Point anchorClient, Point pictureTopLeft, Point dropTopLeft, Point scroll, int boxWidth);

// An entry's identity: kind (0 single item, 1 stack) and number.
using EntryKey = std::pair<int, int>;

// The new order of `entries` (indices into it): first as `sorted` lists
// them, then every entry that `sorted` missed, in its present order. Keys of
// `sorted` that match no entry, or that repeat, are passed over.
std::vector<int> OrderFromEnumeration(const std::vector<EntryKey>& entries, const std::vector<EntryKey>& sorted);

}  // namespace board
