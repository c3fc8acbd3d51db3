// Small helpers shared by the layout steps.
//
//   mmToPixels, tenthsToPixels   lengths of the page at its resolution
//   rectWidth, rectHeight        inclusive sizes
//   intersects, liesInside       inclusive rectangle tests
//   uniteInto                    grows a rectangle to the union
//   movePiece                    moves a rectangle record to another list
//   WorkBuffer                   a heap buffer whose failure the steps report
//   RingOrder, liesPast,         the two orders of the working rings (rows
//   sortInOrder                  top to bottom, columns right to left), so
//                                that a step written once serves both
//                                writing directions
//
// The library counts an inch as 25 mm, so a millimetre is dpi * 4 / 100
// pixels, truncated.  Rectangles include their borders: a width is
// right - left + 1, and two rectangles that share one row meet.
#pragma once

#include "layout/record_pool.h"
#include "layout/records.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <new>
#include <vector>

namespace layout {

inline int mmToPixels(int mm, int dpi) { return mm * dpi * 4 / 100; }
inline int tenthsToPixels(int tenths, int dpi) { return tenths * dpi * 4 / 1000; }

template <typename R>
int rectWidth(const R& r) {
  return r.right - r.left + 1;
}
template <typename R>
int rectHeight(const R& r) {
  return r.bottom - r.top + 1;
}
template <typename R>
long rectArea(const R& r) {
  return static_cast<long>(rectWidth(r)) * rectHeight(r);
}

template <typename A, typename B>
bool intersects(const A& a, const B& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

// a lies inside b (borders included).
template <typename A, typename B>
bool liesInside(const A& a, const B& b) {
  return b.left <= a.left && a.right <= b.right && b.top <= a.top && a.bottom <= b.bottom;
}

template <typename A, typename B>
void uniteInto(A& a, const B& b) {
  if (b.left < a.left) a.left = b.left;
  if (b.top < a.top) a.top = b.top;
  if (b.right > a.right) a.right = b.right;
  if (b.bottom > a.bottom) a.bottom = b.bottom;
}

// A rectangle of plain ints, for widened rectangles and sums that leave
// 16 bits.
struct Box {
  int left, top, right, bottom;
};

// Horizontal writing keeps its rings sorted by top edge and scans down the
// page; vertical writing keeps them sorted by right edge, largest first, and
// scans from right to left.  A scan from `a` stops at the first record that
// lies wholly past it in that order.
enum class RingOrder { ByTop, ByRightDesc };

template <typename B, typename A>
bool liesPast(RingOrder order, const B& b, const A& a) {
  return order == RingOrder::ByTop ? b.top > a.bottom : b.right < a.left;
}

// Sorts a ring into the order; -111 when the sort runs out of memory.
short sortInOrder(RingOrder order, rect_record* head);

inline Rect16 rectOf(const rect_record& r) { return Rect16{r.left, r.top, r.right, r.bottom}; }

// Appends a record with r's rectangle and the given kind to *target, then
// frees r with its child rings.  Returns the record before r (so that a walk
// goes on with its next), or null when no record could be had; r then stays
// where it was.
rect_record* movePiece(rect_record* r, rect_record** target, short kind);

// Cuts a block apart: for each cut in turn, the lines of `block` still
// there for which `taken(line, cut)` holds move, in order, into a new block
// (kind 1) appended to *blocks; a cut that takes nothing makes no block.
// 1, or -111 (the line being moved stays in `block`).
short moveLinesAtCuts(rect_record* block, const std::vector<int>& cuts,
                      const std::function<bool(const rect_record& line, int cut)>& taken, rect_record** blocks);

// A work buffer from the heap.  Its allocation counts with the pools'
// injected faults, so that tests reach every "work buffer missing" path.
template <typename T>
class WorkBuffer {
 public:
  explicit WorkBuffer(std::size_t n) {
    if (PoolFaults::allow()) data_.reset(new (std::nothrow) T[n]);
  }
  explicit operator bool() const { return data_ != nullptr; }
  T* data() { return data_.get(); }
  T& operator[](std::size_t i) { return data_[i]; }

 private:
  std::unique_ptr<T[]> data_;
};

}  // namespace layout
