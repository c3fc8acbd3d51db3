// An index over the records of one ring, by their position in the ring, for
// the steps that scan a ring from its first record again after every merge.
//
//   RowIndex(records)        one slot per record, in ring order
//   update(i, top, bottom)   a record grew (or shrank)
//   remove(i)                a record left the ring
//   firstMeeting(from, y0, y1, end)
//                            the first slot at or after `from`, before `end`,
//                            whose rows meet y0..y1 (bottom >= y0, top <= y1)
//   firstTopAbove(y)         the first slot whose top lies below row y
//                            (top > y): where a scan by top order ends
//
// Method: three segment trees (largest bottom, smallest top, largest top per
// range of slots).  A query descends into a range only when the range can
// hold a slot that qualifies, so a scan that would test every record from
// the first one tests only the records of the rows it asks for, in the same
// order; the answer is the same record the plain scan would stop at.
#pragma once

#include "layout/records.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <vector>

namespace layout {

class RowIndex {
 public:
  explicit RowIndex(const std::vector<rect_record*>& records) {
    n_ = records.size();
    size_ = 1;
    while (size_ < n_) size_ *= 2;
    maxBottom_.assign(2 * size_, INT_MIN);
    minTop_.assign(2 * size_, INT_MAX);
    maxTop_.assign(2 * size_, INT_MIN);
    for (std::size_t i = 0; i < n_; ++i) {
      maxBottom_[size_ + i] = records[i]->bottom;
      minTop_[size_ + i] = records[i]->top;
      maxTop_[size_ + i] = records[i]->top;
    }
    for (std::size_t i = size_ - 1; i >= 1; --i) pull(i);
  }

  void update(std::size_t i, int top, int bottom) {
    std::size_t k = size_ + i;
    maxBottom_[k] = bottom;
    minTop_[k] = top;
    maxTop_[k] = top;
    for (k /= 2; k >= 1; k /= 2) pull(k);
  }

  void remove(std::size_t i) {
    std::size_t k = size_ + i;
    maxBottom_[k] = INT_MIN;
    minTop_[k] = INT_MAX;
    maxTop_[k] = INT_MIN;
    for (k /= 2; k >= 1; k /= 2) pull(k);
  }

  // n (the record count) when there is no such slot.
  std::size_t firstMeeting(std::size_t from, int y0, int y1, std::size_t end) const {
    if (end > n_) end = n_;
    if (from >= end) return n_;
    const std::size_t found = meeting(1, 0, size_, from, end, y0, y1);
    return found < end ? found : n_;
  }

  std::size_t firstTopAbove(int y) const {
    if (n_ == 0 || maxTop_[1] <= y) return n_;
    std::size_t k = 1;
    while (k < size_) k = maxTop_[2 * k] > y ? 2 * k : 2 * k + 1;
    return k - size_;
  }

 private:
  void pull(std::size_t k) {
    maxBottom_[k] = std::max(maxBottom_[2 * k], maxBottom_[2 * k + 1]);
    minTop_[k] = std::min(minTop_[2 * k], minTop_[2 * k + 1]);
    maxTop_[k] = std::max(maxTop_[2 * k], maxTop_[2 * k + 1]);
  }

  std::size_t meeting(std::size_t k, std::size_t lo, std::size_t hi, std::size_t from, std::size_t end, int y0,
                      int y1) const {
    if (hi <= from || lo >= end || maxBottom_[k] < y0 || minTop_[k] > y1) return n_;
    if (k >= size_) return lo;
    const std::size_t mid = (lo + hi) / 2;
    const std::size_t left = meeting(2 * k, lo, mid, from, end, y0, y1);
    if (left != n_) return left;
    return meeting(2 * k + 1, mid, hi, from, end, y0, y1);
  }

  std::size_t n_ = 0;
  std::size_t size_ = 1;
  std::vector<int> maxBottom_;
  std::vector<int> minTop_;
  std::vector<int> maxTop_;
};

}  // namespace layout
