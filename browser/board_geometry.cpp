#include "browser/board_geometry.h"

#include <algorithm>
#include <map>
#include <numeric>

namespace board {

namespace {

// One pass of the row rule from (10, top) over the given boxes. With
// stopBelow set the pass ends as soon as a new row would start below it.
struct RowPass {
  std::vector<Point> anchors;
  int bottom = 0;      // y + height of the last row
  int rows = 0;
  bool tooWide = false;  // some tile ran past the row width
};

RowPass layRows(const std::vector<Size>& boxes, int top, int rowWidth, const int* stopBelow) {
  RowPass pass;
  pass.anchors.resize(boxes.size());
  int x = kGap;
  int y = top;
  int rowHeight = 0;
  pass.rows = boxes.empty() ? 0 : 1;
  for (size_t i = 0; i < boxes.size(); ++i) {
    const Size box = boxes[i];
    if (i > 0 && x + box.w > rowWidth) {
      y += rowHeight + kGap;
      x = kGap;
      rowHeight = 0;
      ++pass.rows;
      if (stopBelow && y > *stopBelow) break;
    }
    pass.anchors[i] = {x + box.w / 2, y};
    if (x + box.w > rowWidth) pass.tooWide = true;
    x += box.w + kGap;
    rowHeight = std::max(rowHeight, box.h);
  }
  pass.bottom = y + rowHeight;
  return pass;
}

}  // namespace

ArrangeResult ArrangeTiles(const std::vector<Size>& boxes, int clientWidth, int clientHeight,
                           int verticalBarWidth, int horizontalBarHeight) {
  int width = clientWidth;
  int height = clientHeight;
  bool vertical = false;
  RowPass pass = layRows(boxes, kGap, width, &height);
  if (pass.tooWide) height -= horizontalBarHeight;
  if (pass.bottom > height) {
    vertical = true;
    width -= verticalBarWidth;
    pass = layRows(boxes, kGap, width, nullptr);
  }
  // A board taller than the limit is laid out wider instead. One row cannot
  // get any lower, so widening stops there.
  while (pass.bottom > kMaxBoardHeight && pass.rows > 1) {
    const auto wider = static_cast<std::int64_t>(pass.bottom) * width / kWidenTarget;
    if (wider <= width) break;
    width = static_cast<int>(std::min<std::int64_t>(wider, INT32_MAX / 2));
    pass = layRows(boxes, kGap, width, vertical ? nullptr : &height);
  }
  return {std::move(pass.anchors), vertical, width};
}

Size BoardExtent(const std::vector<Point>& anchors, const std::vector<Size>& boxes) {
  Size extent;
  for (size_t i = 0; i < anchors.size() && i < boxes.size(); ++i) {
    extent.w = std::max(extent.w, anchors[i].x + boxes[i].w / 2);
    extent.h = std::max(extent.h, anchors[i].y + boxes[i].h);
  }
  return extent;
}

ScrollBarDecision DecideScrollBars(Size extent, Size client, bool verticalShown, bool horizontalShown,
                                   int verticalBarWidth, int horizontalBarHeight) {
  const int widthWithVertical = client.w - (verticalShown ? 0 : verticalBarWidth);
  const int heightWithHorizontal = client.h - (horizontalShown ? 0 : horizontalBarHeight);
  const int fullWidth = widthWithVertical + verticalBarWidth;
  const int fullHeight = heightWithHorizontal + horizontalBarHeight;

  enum { kNo, kOnlyWithVertical, kAlways } horizontal = kNo;
  if (widthWithVertical < extent.w) horizontal = fullWidth < extent.w ? kAlways : kOnlyWithVertical;

  bool vertical = false;
  if (heightWithHorizontal < extent.h) {
    if (fullHeight >= extent.h) {
      // The board fits in height without a horizontal bar: when that bar is
      // only needed because of a vertical one, neither is.
      if (horizontal == kOnlyWithVertical)
        horizontal = kNo;
      else
        vertical = horizontal == kAlways;
    } else {
      vertical = true;
    }
  }
  if (horizontal == kOnlyWithVertical) horizontal = vertical ? kAlways : kNo;

  ScrollBarDecision d;
  d.vertical = vertical;
  d.horizontal = horizontal == kAlways;
  d.usableWidth = vertical ? widthWithVertical : fullWidth;
  d.usableHeight = d.horizontal ? heightWithHorizontal : fullHeight;
  return d;
}

Point ClampScrollPosition(Point position, Size extent, const ScrollBarDecision& bars) {
  position.x = std::max(0, std::min(position.x, extent.w - bars.usableWidth + kGap));
  position.y = std::max(0, std::min(position.y, extent.h - bars.usableHeight + kGap));
  return position;
}

std::vector<int> VisualOrder(const std::vector<Point>& anchors) {
  std::vector<int> byTop(anchors.size());
  std::iota(byTop.begin(), byTop.end(), 0);
  std::stable_sort(byTop.begin(), byTop.end(), [&](int a, int b) { return anchors[a].y < anchors[b].y; });
  std::vector<int> order;
  order.reserve(anchors.size());
  for (size_t first = 0; first < byTop.size();) {
    const int rowTop = anchors[byTop[first]].y;
    size_t end = first;
    while (end < byTop.size() && anchors[byTop[end]].y <= rowTop + kRowTolerance) ++end;
    std::vector<int> row(byTop.begin() + static_cast<long>(first), byTop.begin() + static_cast<long>(end));
    std::sort(row.begin(), row.end(), [&](int a, int b) {
      return anchors[a].x != anchors[b].x ? anchors[a].x < anchors[b].x : a < b;
    });
    order.insert(order.end(), row.begin(), row.end());
    first = end;
  }
  return order;
}

PlacementResult PlaceUnplacedTiles(const std::vector<Size>& unplacedBoxes, int lowestPlacedBottom, int rowWidth) {
  const int start = lowestPlacedBottom + kGap;
  RowPass pass = layRows(unplacedBoxes, start, rowWidth, nullptr);
  PlacementResult result;
  result.rowWidth = rowWidth;
  if (pass.bottom > kMaxBoardHeight) {
    // Once: the widened rows stand whatever their height.
    std::int64_t wider = kWidenTarget;
    if (start < kWidenTarget)
      wider = std::min<std::int64_t>(kWidenTarget,
                                     static_cast<std::int64_t>(rowWidth) * pass.bottom / (kWidenTarget - start));
    result.rowWidth = static_cast<int>(wider);
    result.widened = true;
    pass = layRows(unplacedBoxes, start, result.rowWidth, nullptr);
  }
  result.anchors = std::move(pass.anchors);
  return result;
}

Point FirstFreePlace(Size box, const std::vector<Rect>& taken, int rowWidth) {
  const auto clashes = [&](int left, int top) {
    return std::any_of(taken.begin(), taken.end(), [&](const Rect& t) {
      return left < t.right + kGap && t.left < left + box.w + kGap && top < t.bottom + kGap &&
             t.top < top + box.h + kGap;
    });
  };
  std::vector<int> tops = {kGap};
  int lowest = 0;
  for (const Rect& t : taken) {
    tops.push_back(t.bottom + kGap);
    lowest = std::max(lowest, t.bottom);
  }
  std::sort(tops.begin(), tops.end());
  tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
  for (const int top : tops) {
    std::vector<int> lefts = {kGap};
    for (const Rect& t : taken)
      if (top < t.bottom + kGap && t.top < top + box.h + kGap) lefts.push_back(t.right + kGap);
    std::sort(lefts.begin(), lefts.end());
    lefts.erase(std::unique(lefts.begin(), lefts.end()), lefts.end());
    for (const int left : lefts) {
      // A box wider than the row stands alone at the edge.
      if (left + box.w + kGap > rowWidth && left != kGap) break;
      if (!clashes(left, top)) return {left + box.w / 2, top};
    }
  }
  return {kGap + box.w / 2, (taken.empty() ? 0 : lowest) + kGap};
}

Point DraggedAnchor(Point anchorClient, Point pictureTopLeft, Point dropTopLeft, Point scroll, int boxWidth) {
  Point p{scroll.x + anchorClient.x + (dropTopLeft.x - pictureTopLeft.x),
          scroll.y + anchorClient.y + (dropTopLeft.y - pictureTopLeft.y)};
  if (p.x - boxWidth / 2 < 0) p.x = boxWidth / 2;
  if (p.y < 0) p.y = 0;
  return p;
}

std::vector<int> OrderFromEnumeration(const std::vector<EntryKey>& entries, const std::vector<EntryKey>& sorted) {
  std::map<EntryKey, int> indexOf;
  for (int i = static_cast<int>(entries.size()) - 1; i >= 0; --i) indexOf[entries[static_cast<size_t>(i)]] = i;
  std::vector<bool> taken(entries.size(), false);
  std::vector<int> order;
  order.reserve(entries.size());
  for (const EntryKey& key : sorted) {
    auto it = indexOf.find(key);
    if (it == indexOf.end() || taken[static_cast<size_t>(it->second)]) continue;
    taken[static_cast<size_t>(it->second)] = true;
    order.push_back(it->second);
  }
  // An entry the enumeration did not return keeps its place among the
  // others that it missed, after all it did return: never dropped.
  for (size_t i = 0; i < entries.size(); ++i)
    if (!taken[i]) order.push_back(static_cast<int>(i));
  return order;
}

}  // namespace board
