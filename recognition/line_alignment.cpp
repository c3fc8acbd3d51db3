#include "recognition/line_alignment.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "recognition/cell_image.h"

namespace recognition {
namespace {

// Costs in units of "one badly placed character".
constexpr double kUnpairedSegment = 3.0;
constexpr double kUnpairedSpeck = 0.3;     // a speck with no symbol is likely noise
constexpr double kUnpairedSmall = 0.6;     // a mark the reading may have skipped
constexpr double kSmallShare = 0.4;
constexpr double kUnpairedSymbol = 3.0;
// The reported positions are often off by a character or more: they only
// break ties.
constexpr double kHintWeight = 0.5;
constexpr double kMaxHintCost = 1.0;
constexpr double kWideLimit = 1.0;         // widths beyond this many cross sizes cost
constexpr double kWideWeight = 4.0;
constexpr double kGapLimit = 0.35;         // gaps inside a character beyond this cost
constexpr double kGapCost = 2.0;
constexpr double kSharedMinWidth = 0.8;    // each of several symbols in one segment
constexpr double kSharedWeight = 6.0;
constexpr double kSpeckShare = 0.2;
constexpr double kNarrowCost = 8.0;        // a symbol on ink far narrower than it can be
constexpr int kMaxParts = 6;
constexpr int kMaxShared = 3;

struct Span {
  int lo, hi;
};

Span along(const CharRect& r, LineDirection d) {
  return d == LineDirection::Horizontal ? Span{r.left, r.right} : Span{r.top, r.bottom};
}

CharRect unite(const CharRect& a, const CharRect& b) {
  return CharRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

}  // namespace

std::vector<InkSegment> inkSegments(const EngineImage& image, const CharRect& line, LineDirection direction) {
  std::vector<InkSegment> out;
  const CharRect r = clipToImage(image, line);
  if (r.empty()) return out;
  const bool h = direction == LineDirection::Horizontal;
  const int lo = h ? r.left : r.top, hi = h ? r.right : r.bottom;
  const int clo = h ? r.top : r.left, chi = h ? r.bottom : r.right;
  int start = -1, crossLo = 0, crossHi = 0;
  for (int a = lo; a <= hi + 1; ++a) {
    int first = -1, last = -1;
    if (a <= hi)
      for (int c = clo; c <= chi; ++c)
        if (h ? inkAt(image, a, c) : inkAt(image, c, a)) {
          if (first < 0) first = c;
          last = c;
        }
    if (first >= 0) {
      if (start < 0) {
        start = a;
        crossLo = first;
        crossHi = last;
      } else {
        crossLo = std::min(crossLo, first);
        crossHi = std::max(crossHi, last);
      }
    } else if (start >= 0) {
      const auto s16 = [](int v) { return static_cast<std::int16_t>(v); };
      out.push_back(InkSegment{h ? CharRect{s16(start), s16(crossLo), s16(a - 1), s16(crossHi)}
                                 : CharRect{s16(crossLo), s16(start), s16(crossHi), s16(a - 1)}});
      start = -1;
    }
  }
  return out;
}

void alignSymbols(const std::vector<InkSegment>& segments, LineDirection d, int crossSize,
                  const std::vector<SymbolTraits>& traits, std::vector<CharRect>& boxes,
                  std::vector<bool>& placed) {
  const int m = static_cast<int>(segments.size());
  const int k = static_cast<int>(boxes.size());
  placed.assign(k, false);
  if (m == 0 || k == 0) return;
  const double c = std::max(1, crossSize);
  auto hint = [&](int symbol, double centre) {
    if (symbol < static_cast<int>(traits.size()) && !traits[symbol].placedByBox) return kHintWeight * kMaxHintCost;
    const Span s = along(boxes[symbol], d);
    return kHintWeight * std::min(std::abs((s.lo + s.hi) / 2.0 - centre) / c, kMaxHintCost);
  };
  auto isSmall = [&](int i) {
    const CharRect& r = segments[i].rect;
    return r.width() < kSmallShare * c && r.height() < kSmallShare * c;
  };
  auto isSpeck = [&](int i) {
    const CharRect& r = segments[i].rect;
    return r.width() < kSpeckShare * c && r.height() < kSpeckShare * c;
  };

  constexpr double kInf = std::numeric_limits<double>::infinity();
  // cost[i][j]: segments [0, i) and symbols [0, j) dealt with.
  std::vector<double> cost(static_cast<std::size_t>(m + 1) * (k + 1), kInf);
  struct Move { int di = 0, dj = 0; };
  std::vector<Move> via(cost.size());
  auto at = [&](int i, int j) -> std::size_t { return static_cast<std::size_t>(i) * (k + 1) + j; };
  cost[at(0, 0)] = 0;
  for (int i = 0; i <= m; ++i)
    for (int j = 0; j <= k; ++j) {
      const double base = cost[at(i, j)];
      if (base == kInf) continue;
      auto relax = [&](int di, int dj, double extra) {
        const std::size_t to = at(i + di, j + dj);
        if (base + extra < cost[to]) {
          cost[to] = base + extra;
          via[to] = Move{di, dj};
        }
      };
      if (i < m) relax(1, 0, isSpeck(i) ? kUnpairedSpeck : isSmall(i) ? kUnpairedSmall : kUnpairedSegment);
      if (j < k)
        relax(0, 1, kUnpairedSymbol * (0.5 + 0.5 * (j < static_cast<int>(traits.size()) ? traits[j].sureness : 1.0)));
      if (i < m && j < k) {
        // One symbol over segments i .. i + b - 1.
        Span span = along(segments[i].rect, d);
        double gaps = 0;
        for (int b = 1; b <= kMaxParts && i + b <= m; ++b) {
          if (b > 1) {
            const Span next = along(segments[i + b - 1].rect, d);
            if ((next.lo - span.hi - 1) > kGapLimit * c) gaps += kGapCost;
            span.hi = next.hi;
          }
          const double width = (span.hi - span.lo + 1) / c;
          if (width > 2.5 * kWideLimit) break;
          const double wide = std::max(0.0, width - kWideLimit) * kWideWeight;
          const double least = j < static_cast<int>(traits.size()) ? traits[j].minAlong : 0.0;
          const double narrow = least > 0 ? std::max(0.0, least - width) / least * kNarrowCost : 0.0;
          relax(b, 1, hint(j, (span.lo + span.hi) / 2.0) + wide + gaps + narrow);
        }
        // Several symbols sharing segment i.
        const Span s = along(segments[i].rect, d);
        const double width = (s.hi - s.lo + 1) / c;
        double hints = 0;
        for (int a = 2; a <= kMaxShared && j + a <= k; ++a) {
          hints = 0;
          for (int q = 0; q < a; ++q) hints += hint(j + q, s.lo + (s.hi - s.lo + 1) * (q + 0.5) / a);
          const double narrow = std::max(0.0, a * kSharedMinWidth - width) * kSharedWeight;
          relax(1, a, hints + narrow);
        }
      }
    }
  // Walk back and place the symbols.
  int i = m, j = k;
  while (i > 0 || j > 0) {
    const Move mv = via[at(i, j)];
    const int i0 = i - mv.di, j0 = j - mv.dj;
    if (mv.di > 0 && mv.dj > 0) {
      CharRect ink = segments[i0].rect;
      for (int q = i0 + 1; q < i; ++q) ink = unite(ink, segments[q].rect);
      const int a = mv.dj;
      const Span s = along(ink, d);
      for (int q = 0; q < a; ++q) {
        CharRect r = ink;
        const int lo = s.lo + (s.hi - s.lo + 1) * q / a;
        const int hi = s.lo + (s.hi - s.lo + 1) * (q + 1) / a - 1;
        if (d == LineDirection::Horizontal) {
          r.left = static_cast<std::int16_t>(lo);
          r.right = static_cast<std::int16_t>(hi);
        } else {
          r.top = static_cast<std::int16_t>(lo);
          r.bottom = static_cast<std::int16_t>(hi);
        }
        boxes[j0 + q] = r;
        placed[j0 + q] = true;
      }
    }
    i = i0;
    j = j0;
  }
}

}  // namespace recognition
