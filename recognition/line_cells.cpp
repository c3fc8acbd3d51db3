#include "recognition/line_cells.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "recognition/cell_image.h"

namespace recognition {

CharRect unite(const CharRect& a, const CharRect& b) {
  return CharRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

CharRect turned(const CharRect& r) { return CharRect{r.top, r.left, r.bottom, r.right}; }

LineCutParameters verticalLineParameters() {
  LineCutParameters p;
  p.mergeWidth = 105;
  p.mergeReach = 20;
  p.bigOverlap = 7;
  p.speckGap = 10;
  p.smallMarkSize = 40;
  p.smallMarkBand = 45;
  p.isolationGap = 30;
  p.isolationCentre = 70;
  p.cellWidth = 125;
  p.pairCellWidth = 115;
  p.narrowWidth = 135;
  p.splitLimit = 120;
  p.wideLimit = 125;
  p.halfTolerance = 30;
  p.joinedGroupLimit = 125;
  p.sureUnionJoins = true;
  return p;
}

std::optional<int> line_scale(int lineThickness, int referenceThickness) {
  const int reference = referenceThickness > 0 ? referenceThickness : lineThickness;
  if (reference <= 0) return std::nullopt;
  return static_cast<std::int16_t>((lineThickness * 100) / reference);
}

std::optional<int> estimated_line_width(int lineHeight, const FieldMeasures& field) {
  const std::optional<int> k = line_scale(lineHeight, field.referenceHeight);
  if (!k) return std::nullopt;
  return *k * field.width / 100;
}

FieldMeasures turned(const FieldMeasures& f) { return FieldMeasures{f.height, f.width, f.gap, f.referenceHeight}; }
LineMeasures turned(const LineMeasures& m) { return LineMeasures{m.height, m.width, m.gap, m.pitch}; }

namespace {

void turnAll(std::vector<CharRect>& boxes) {
  for (CharRect& r : boxes) r = turned(r);
}

}  // namespace

std::optional<int> estimated_line_height_v(int lineWidth, const FieldMeasures& field) {
  return estimated_line_width(lineWidth, turned(field));
}

// ------------------------------------------------------------------ merging

namespace {

enum class Along { Nested, Disjoint, Partial };

Along relation(const CharRect& a, const CharRect& b) {
  if ((b.left >= a.left && b.right <= a.right) || (a.left >= b.left && a.right <= b.right)) return Along::Nested;
  if (b.left > a.right || b.right < a.left) return Along::Disjoint;
  return Along::Partial;
}

using MergeRule = std::function<bool(const CharRect&, const CharRect&)>;

// One pass: every A against the later B within reach; a merged B leaves
// the vector and the scan goes on with the box after it.
void mergePass(std::vector<CharRect>& boxes, int reach, const MergeRule& merge) {
  for (std::size_t a = 0; a < boxes.size(); ++a) {
    std::size_t b = a + 1;
    while (b < boxes.size() && boxes[b].left <= boxes[a].right + reach) {
      if (merge(boxes[a], boxes[b])) {
        boxes[a] = unite(boxes[a], boxes[b]);
        boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(b));
      } else {
        ++b;
      }
    }
  }
}

void repeatUntilStable(std::vector<CharRect>& boxes, int reach, const std::vector<MergeRule>& passes) {
  std::size_t before = 0;
  do {
    before = boxes.size();
    for (const MergeRule& pass : passes) mergePass(boxes, reach, pass);
    std::stable_sort(boxes.begin(), boxes.end(),
                     [](const CharRect& x, const CharRect& y) { return x.left < y.left; });
  } while (boxes.size() != before);
}

}  // namespace

void merge_line_components(std::vector<CharRect>& boxes, int s, const LineCutParameters& p) {
  const int reach = s * p.mergeReach / 100;
  const int widest = s * p.mergeWidth / 100;
  const MergeRule first = [=](const CharRect& a, const CharRect& b) {
    switch (relation(a, b)) {
      case Along::Nested: return true;
      case Along::Disjoint: return false;
      case Along::Partial: break;
    }
    if (unite(a, b).width() > widest) return false;
    const bool allBig = a.width() > reach && a.height() > reach && b.width() > reach && b.height() > reach;
    return !allBig;
  };
  const MergeRule second = [=](const CharRect& a, const CharRect& b) {
    switch (relation(a, b)) {
      case Along::Nested: return true;
      case Along::Disjoint: return false;
      case Along::Partial: break;
    }
    return std::min(a.right, b.right) - std::max(a.left, b.left) + 1 >= reach;
  };
  repeatUntilStable(boxes, reach, {first, second});
}

void merge_line_components_v(std::vector<CharRect>& boxes, int s) {
  turnAll(boxes);
  merge_line_components(boxes, s, verticalLineParameters());
  turnAll(boxes);
}

void merge_close_components_v(std::vector<CharRect>& boxes, int s) {
  turnAll(boxes);
  merge_close_components(boxes, s, verticalLineParameters());
  turnAll(boxes);
}

void merge_close_components(std::vector<CharRect>& boxes, int s, const LineCutParameters& p) {
  const int reach = s * p.mergeReach / 100;
  const int widest = s * p.mergeWidth / 100;
  const int gap8 = s * p.speckGap / 100;
  const int ov = s * p.bigOverlap / 100;
  const MergeRule rule = [=](const CharRect& a, const CharRect& b) {
    if (relation(a, b) == Along::Nested) return true;
    if (unite(a, b).width() > widest) return false;
    const auto speck = [reach](const CharRect& r) { return r.width() <= reach && r.height() <= reach; };
    if (speck(a) || speck(b)) return !(b.right < a.left - gap8 || b.left > a.right + gap8);
    return !(b.right < a.left + ov || b.left > a.right - ov);
  };
  repeatUntilStable(boxes, reach, {rule});
}

// ----------------------------------------------------------------- measures

std::optional<LineMeasures> scale_line_measures(int lineHeight, const FieldMeasures& field) {
  const std::optional<int> k = line_scale(lineHeight, field.referenceHeight);
  if (!k) return std::nullopt;
  return LineMeasures{*k * field.width / 100, *k * field.height / 100, field.gap * *k / 100,
                      (field.width + field.gap) * *k / 100};
}

std::optional<LineMeasures> scale_line_measures_v(int lineWidth, const FieldMeasures& field) {
  const std::optional<LineMeasures> m = scale_line_measures(lineWidth, turned(field));
  if (!m) return std::nullopt;
  return turned(*m);
}

namespace {

bool setsCharacterWidth(std::uint16_t code) {
  if (code >= 0x8140 && code <= 0x81FF) return false;  // blanks, signs, the long vowel mark
  switch (code) {
    case 0x88EA:  // 一
    case 0x828C:  // ｌ
    case 0x8268:  // Ｉ
    case 0x8250:  // １
      return false;
    default:
      return true;
  }
}

// The index of the widest (or tallest) box read surely enough, trying the
// distance limits in turn; -1 when none.
int largestReliable(const std::vector<CellBox>& boxes, bool byHeight) {
  for (const int limit : {700, 800, 900}) {
    int found = -1;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      const CellBox& b = boxes[i];
      if (b.result.count == 0 || b.result.distance > limit || !setsCharacterWidth(b.result.best())) continue;
      const int size = byHeight ? b.rect.height() : b.rect.width();
      if (found < 0 || size > (byHeight ? boxes[found].rect.height() : boxes[found].rect.width()))
        found = static_cast<int>(i);
    }
    if (found >= 0) return found;
  }
  return -1;
}

}  // namespace

LineMeasures measure_line_characters(const std::vector<CellBox>& boxes, const CharRect& line,
                                     const LineMeasures& scaled, bool tableCell, int dpi) {
  LineMeasures m = scaled;
  const int lineHeight = line.height();
  const auto squareOfLine = [&](bool halfGap) {
    m.width = m.height = lineHeight;
    if (halfGap) {
      m.gap = m.width / 2;
      m.pitch = m.width + m.gap;
    }
  };
  if (boxes.size() == 1) {
    m.width = boxes.front().rect.width();
    m.height = boxes.front().rect.height();
    m.gap = m.width / 2;
    m.pitch = m.width + m.gap;
    return m;
  }
  if (boxes.size() < 8 || (tableCell && line.width() < dpi * 30 * 4 / 100)) {
    squareOfLine(false);
    return m;
  }
  if (const int w = largestReliable(boxes, false); w >= 0) {
    const CharRect& r = boxes[static_cast<std::size_t>(w)].rect;
    m.width = r.width();
    int gap = -1;
    if (w + 1 < static_cast<int>(boxes.size())) gap = boxes[static_cast<std::size_t>(w) + 1].rect.left - r.right + 1;
    if (w > 0) {
      const int left = r.left - boxes[static_cast<std::size_t>(w) - 1].rect.right + 1;
      gap = gap < 0 ? left : std::min(gap, left);
    }
    if (gap >= 0) m.gap = gap;
    m.pitch = m.width + m.gap;
  }
  if (const int h = largestReliable(boxes, true); h >= 0) m.height = boxes[static_cast<std::size_t>(h)].rect.height();
  if (m.height < lineHeight * 60 / 100 || m.width < lineHeight * 50 / 100) squareOfLine(true);
  return m;
}

// -------------------------------------------------------------- the cache

std::int16_t CellReader::readDirect(const CharRect& pageRect, CellResult& result) {
  CellResult fresh;
  const std::int16_t status = engine_.readCell(image_, pageRect, fresh);
  if (status < kEngineDone) return status;
  result = fresh;
  return kEngineDone;
}

std::int16_t CellReader::read(const CharRect& rect, CellResult& result) {
  for (const auto& [r, cached] : cache_) {
    if (r == rect) {
      result = cached;
      return kEngineDone;
    }
  }
  CellResult fresh;
  const std::int16_t status = engine_.readCell(image_, turned_ ? turned(rect) : rect, fresh);
  if (status < kEngineDone) return status;
  result = fresh;
  cache_.emplace_back(rect, fresh);
  return kEngineDone;
}

// --------------------------------------------------------- cell decisions

std::int16_t recognize_components(CellReader& reader, std::vector<CellBox>& boxes) {
  for (CellBox& box : boxes) {
    if (const std::int16_t s = reader.read(box.rect, box.result); s < kEngineDone) return s;
    box.mark = kMarkUndecided;
  }
  return kEngineDone;
}

namespace {

void resetHighMarks(std::vector<CellBox>& boxes) {
  for (CellBox& b : boxes)
    if (b.mark >= kMarkResetFrom) b.mark = kMarkUndecided;
}

int innerWidth(const CharRect& r) { return r.right - r.left - 1; }
int gapBetween(const CharRect& left, const CharRect& right) { return right.left - left.right + 1; }
int centreDistance(const CharRect& left, const CharRect& right) {
  return ((right.left + right.right) - (left.left + left.right)) / 2;
}

// The neighbour tests shared by the isolated and the narrow marks: `fitsL`
// and `fitsR` say whether C stands apart from that neighbour, `inner`
// whether a neighbour is itself narrow enough.
void markByNeighbours(LineCut& cut, int limit, int mark,
                      const std::function<bool(const CellBox&, const CellBox&)>& apartFromLeft,
                      const std::function<bool(const CellBox&, const CellBox&)>& apartFromRight,
                      const std::function<bool(const CellBox&)>& narrowNeighbour) {
  std::vector<CellBox>& boxes = cut.boxes;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    CellBox& c = boxes[i];
    if (!isUndecided(c.mark) || c.rect.width() >= limit) continue;
    const bool acceptable = isAcceptable(c.result);
    const CellBox* l = i > 0 ? &boxes[i - 1] : nullptr;
    const CellBox* r = i + 1 < boxes.size() ? &boxes[i + 1] : nullptr;
    bool set = false;
    if (l == nullptr && r == nullptr) {
      set = acceptable;
    } else if (l == nullptr || r == nullptr) {
      const CellBox& n = l != nullptr ? *l : *r;
      if (!isUndecided(n.mark)) set = acceptable;
      else set = acceptable && (l != nullptr ? apartFromLeft(c, n) : apartFromRight(c, n)) && narrowNeighbour(n);
    } else {
      const bool bothNarrow = narrowNeighbour(*l) && narrowNeighbour(*r);
      const bool lUnd = isUndecided(l->mark);
      const bool rUnd = isUndecided(r->mark);
      if (lUnd && rUnd) set = apartFromLeft(c, *l) && apartFromRight(c, *r) && bothNarrow && acceptable;
      else if (lUnd) set = apartFromLeft(c, *l) && bothNarrow && acceptable;
      else if (rUnd) set = apartFromRight(c, *r) && bothNarrow && acceptable;
      else set = bothNarrow && acceptable;
    }
    if (set) c.mark = mark;
  }
}

}  // namespace

std::int16_t attach_small_marks(CellReader& reader, LineCut& cut, const LineCutParameters& p) {
  std::vector<CellBox>& boxes = cut.boxes;
  for (CellBox& b : boxes) b.mark = kMarkUndecided;
  const int h = cut.line.height();
  const int size = h * p.smallMarkSize / 100;
  for (CellBox& b : boxes) {
    const int centre = (b.rect.top + b.rect.bottom) / 2;
    if (centre > cut.line.bottom - h * p.smallMarkBand / 100 && b.rect.width() < size && b.rect.height() < size)
      b.mark = kMarkSmall;
  }
  for (std::size_t i = 0; i < boxes.size();) {
    CellBox& c = boxes[i];
    if (c.mark != kMarkSmall) {
      ++i;
      continue;
    }
    struct Option {
      bool ok = false;
      CharRect rect;
      CellResult result;
    };
    const auto tryUnion = [&](const CellBox& n, bool onLeft) -> std::pair<std::int16_t, Option> {
      Option o;
      const int gap = onLeft ? gapBetween(n.rect, c.rect) : gapBetween(c.rect, n.rect);
      if (gap >= size) return {kEngineDone, o};
      o.rect = unite(n.rect, c.rect);
      if (const std::int16_t s = reader.read(o.rect, o.result); s < kEngineDone) return {s, o};
      o.ok = o.result.distance < kRejectDistance &&
             (o.result.distance < (n.result.distance + c.result.distance) / 2 ||
              (p.sureUnionJoins && o.result.certainty < 2));
      return {kEngineDone, o};
    };
    Option left, right;
    if (i > 0) {
      auto [s, o] = tryUnion(boxes[i - 1], true);
      if (s < kEngineDone) return s;
      left = o;
    }
    if (i + 1 < boxes.size()) {
      auto [s, o] = tryUnion(boxes[i + 1], false);
      if (s < kEngineDone) return s;
      right = o;
    }
    // On equal distances the mark goes with the character after it.
    const bool toRight = right.ok && (!left.ok || left.result.distance >= right.result.distance);
    if (!toRight && !left.ok) {
      ++i;
      continue;
    }
    CellBox& target = toRight ? boxes[i + 1] : boxes[i - 1];
    const Option& chosen = toRight ? right : left;
    target.rect = chosen.rect;
    target.result = chosen.result;
    // Either way the box now at i has not been looked at yet.
    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return kEngineDone;
}

void mark_isolated_characters(LineCut& cut, const LineCutParameters& p) {
  resetHighMarks(cut.boxes);
  const int w = cut.measures.width * p.cellWidth / 100;
  const int g = cut.measures.gap * p.isolationGap / 100;
  const int pitch = cut.measures.pitch * p.isolationCentre / 100;
  markByNeighbours(
      cut, w, kMarkIsolated,
      [=](const CellBox& c, const CellBox& l) {
        return gapBetween(l.rect, c.rect) > g && centreDistance(l.rect, c.rect) > pitch;
      },
      [=](const CellBox& c, const CellBox& r) {
        return gapBetween(c.rect, r.rect) > g && centreDistance(c.rect, r.rect) > pitch;
      },
      [=](const CellBox& n) { return innerWidth(n.rect) < w; });
}

void mark_narrow_characters(LineCut& cut, const LineCutParameters& p) {
  resetHighMarks(cut.boxes);
  const int n = cut.measures.width * p.narrowWidth / 100;
  markByNeighbours(
      cut, n, kMarkNarrow, [=](const CellBox& c, const CellBox& l) { return c.rect.right - l.rect.left + 1 > n; },
      [=](const CellBox& c, const CellBox& r) { return r.rect.right - c.rect.left + 1 > n; },
      [=](const CellBox& b) { return innerWidth(b.rect) < n; });
}

std::int16_t merge_component_pairs(CellReader& reader, LineCut& cut, const LineCutParameters& p) {
  std::vector<CellBox>& boxes = cut.boxes;
  resetHighMarks(boxes);
  const int w = cut.measures.width * p.pairCellWidth / 100;
  std::size_t runStart = 0;
  while (runStart < boxes.size()) {
    if (!isUndecided(boxes[runStart].mark)) {
      ++runStart;
      continue;
    }
    std::size_t runEnd = runStart;
    while (runEnd < boxes.size() && isUndecided(boxes[runEnd].mark)) ++runEnd;
    if (runEnd - runStart == 1) {
      if (isAcceptable(boxes[runStart].result)) boxes[runStart].mark = kMarkLone;
      runStart = runEnd;
      continue;
    }
    std::size_t a = runStart;
    bool firstPair = true;
    while (a + 1 < runEnd) {
      std::size_t k = 1;
      while (a + k < runEnd && boxes[a + k].rect.right - boxes[a].rect.left + 1 < w) ++k;
      if (k >= 3) {
        firstPair = false;
        a += k;
        continue;
      }
      CellBox& first = boxes[a];
      CellBox& second = boxes[a + 1];
      if (second.rect.right - first.rect.left + 1 >= w) {
        ++a;
        continue;
      }
      const CharRect joined = unite(first.rect, second.rect);
      CellResult u;
      if (const std::int16_t s = reader.read(joined, u); s < kEngineDone) return s;
      const bool hopeless = u.certainty >= 2 && u.distance >= kRejectDistance;
      if (!hopeless && u.distance < (first.result.distance + second.result.distance) / 2) {
        first.rect = joined;
        first.result = u;
        first.mark = kMarkJoined;
        first.alternatives.clear();
        boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(a) + 1);
        --runEnd;
        ++a;
        firstPair = true;
      } else if (firstPair && first.result.certainty < 2 && isUndecided(first.mark) && isUndecided(second.mark) &&
                 u.certainty == 2 && u.distance >= kRejectDistance &&
                 first.rect.width() > cut.measures.width * 20 / 100) {
        first.mark = kMarkWideAlone;
        ++a;
      } else {
        firstPair = false;
        ++a;
      }
    }
    runStart = runEnd;
  }
  return kEngineDone;
}

// ------------------------------------------------------------- splitting

namespace {

// The image as the line steps see it: turned a quarter for a vertical line.
struct Frame {
  const EngineImage& image;
  bool turned = false;
  bool ink(int x, int y) const { return turned ? inkAt(image, y, x) : inkAt(image, x, y); }
  CharRect clip(const CharRect& r) const {
    return turned ? recognition::turned(clipToImage(image, recognition::turned(r))) : clipToImage(image, r);
  }
};

Frame frameOf(const CellReader& reader) { return Frame{reader.image(), reader.turnedFrame()}; }

std::vector<int> projection(const Frame& f, const CharRect& rect) {
  const CharRect r = f.clip(rect);
  if (r.empty()) return {};
  std::vector<int> counts(static_cast<std::size_t>(r.width()), 0);
  for (int y = r.top; y <= r.bottom; ++y)
    for (int x = r.left; x <= r.right; ++x)
      if (f.ink(x, y)) ++counts[static_cast<std::size_t>(x - r.left)];
  return counts;
}

CharRect fitToInk(const Frame& f, const CharRect& rect) {
  const CharRect r = f.clip(rect);
  if (r.empty()) return CharRect{};
  int top = -1, bottom = -1;
  for (int y = r.top; y <= r.bottom; ++y) {
    bool ink = false;
    for (int x = r.left; x <= r.right && !ink; ++x) ink = f.ink(x, y);
    if (!ink) continue;
    if (top < 0) top = y;
    bottom = y;
  }
  if (top < 0) return CharRect{};
  return CharRect{rect.left, static_cast<std::int16_t>(top), rect.right, static_cast<std::int16_t>(bottom)};
}

std::vector<int> cutCandidates(const Frame& f, const CharRect& rect, int step) {
  const CharRect r = f.clip(rect);
  const std::vector<int> p = projection(f, r);
  const int n = static_cast<int>(p.size());
  if (n == 0) return {};
  long inkSum = 0;
  int inkColumns = 0;
  for (const int v : p)
    if (v > 0) inkSum += v, ++inkColumns;
  if (inkColumns == 0) return {};
  const long mean = inkSum / inkColumns;
  std::vector<int> d(static_cast<std::size_t>(n), 0);
  for (int i = 2; i < n - 2; ++i) {
    if (i < 5 || i > n - 5) continue;
    const auto at = [&](int k) { return p[static_cast<std::size_t>(k)]; };
    const int v = (at(i - 1) + at(i + 1)) / 2 * 87 / 100 + (at(i - 2) + at(i + 2)) / 2 * 12 / 100 - at(i);
    d[static_cast<std::size_t>(i)] = std::max(0, v);
  }
  long dSum = 0;
  int dCount = 0;
  for (const int v : d)
    if (v > 0) dSum += v, ++dCount;
  std::vector<int> valleys;
  if (dCount > 0) {
    const long md = dSum / dCount;
    for (int i = 0; i < n; ++i) {
      int& v = d[static_cast<std::size_t>(i)];
      if (v > 0 && v < md && p[static_cast<std::size_t>(i)] > mean) v = 0;
      if (v > 0) valleys.push_back(i);
    }
  }
  // Close valleys (4 columns or less apart) leave the one with less ink; on
  // equal ink the two give way to their midpoint.
  std::vector<std::pair<int, int>> kept;  // column, ink
  for (const int i : valleys) {
    const int ink = p[static_cast<std::size_t>(i)];
    if (!kept.empty() && i - kept.back().first <= 4) {
      auto& prev = kept.back();
      if (ink < prev.second) prev = {i, ink};
      else if (ink == prev.second) prev.first = (prev.first + i) / 2;
      continue;
    }
    kept.emplace_back(i, ink);
  }
  std::vector<int> out;
  for (const auto& [i, ink] : kept) out.push_back(r.left + i);
  if (step > 0) {
    for (int k = step; k <= n - 5; k += step) out.push_back(r.left + k);
    for (int k = n - step; k >= 5; k -= step) out.push_back(r.left + k);
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

std::vector<int> column_projection(const EngineImage& image, const CharRect& rect) {
  return projection(Frame{image, false}, rect);
}
std::vector<int> find_cut_candidates(const EngineImage& image, const CharRect& rect, int step) {
  return cutCandidates(Frame{image, false}, rect, step);
}
CharRect fit_rect_to_ink(const EngineImage& image, const CharRect& rect) { return fitToInk(Frame{image, false}, rect); }

std::int16_t split_component(CellReader& reader, const CellBox& box, SplitDirection direction, int threshold,
                             int step, int pitch, int tolerance, SplitMode mode, std::vector<CellBox>& pieces) {
  pieces.clear();
  const Frame frame = frameOf(reader);
  const std::vector<int> positions = cutCandidates(frame, box.rect, step);
  if (positions.empty()) return kEngineDone;
  const bool forward = direction == SplitDirection::Forward;
  const CharRect& b = box.rect;
  int start = forward ? b.left : b.right;  // the edge the next piece starts from
  while (true) {
    int lo = 0, hi = 0;
    if (forward) {
      lo = start + pitch - tolerance;
      hi = std::min(start + pitch + tolerance, static_cast<int>(b.right));
      if (b.right - tolerance <= lo) break;
    } else {
      lo = std::max(start - pitch - tolerance, static_cast<int>(b.left));
      hi = start - pitch + tolerance;
      if (hi <= b.left + tolerance) break;
    }
    bool found = false;
    CellBox best;
    for (const int c : positions) {
      if (c < lo || c > hi) continue;
      const CharRect raw = forward ? CharRect{static_cast<std::int16_t>(start), b.top, static_cast<std::int16_t>(c), b.bottom}
                                   : CharRect{static_cast<std::int16_t>(c), b.top, static_cast<std::int16_t>(start), b.bottom};
      const CharRect piece = fitToInk(frame, raw);
      if (piece.empty()) continue;
      CellResult result;
      if (const std::int16_t s = reader.read(piece, result); s < kEngineDone) return s;
      if (!isAcceptable(result, threshold)) continue;
      // Of equal distances the leftmost cut wins.
      if (!found || result.distance < best.result.distance) {
        best = CellBox{piece, result, kMarkUndecided, {}};
        found = true;
      }
    }
    if (found) {
      pieces.push_back(best);
      start = forward ? best.rect.right + 1 : best.rect.left - 1;
    } else {
      start = (lo + hi) / 2;
      if (mode == SplitMode::Whole) break;
    }
  }
  if (pieces.empty()) return kEngineDone;
  const CharRect restRaw = forward ? CharRect{static_cast<std::int16_t>(pieces.back().rect.right + 1), b.top, b.right, b.bottom}
                                   : CharRect{b.left, b.top, static_cast<std::int16_t>(pieces.back().rect.left - 1), b.bottom};
  const CharRect rest = restRaw.width() > 0 ? fitToInk(frame, restRaw) : CharRect{};
  if (!rest.empty()) {
    CellResult result;
    if (const std::int16_t s = reader.read(rest, result); s < kEngineDone) return s;
    if (mode == SplitMode::Half && !isAcceptable(result, threshold)) {
      pieces.clear();
      return kEngineDone;
    }
    pieces.push_back(CellBox{rest, result, kMarkUndecided, {}});
  }
  if (!forward) std::reverse(pieces.begin(), pieces.end());
  return kEngineDone;
}

std::int16_t split_wide_components(CellReader& reader, LineCut& cut, SplitMode mode, SplitDirection direction,
                                   int threshold, const LineCutParameters& p) {
  std::vector<CellBox>& boxes = cut.boxes;
  resetHighMarks(boxes);
  const int w = cut.measures.width;
  if (w < 10) return kEngineDone;
  const bool half = mode == SplitMode::Half;
  const int limit = half ? w * p.splitLimit / 100 / 2 : w * p.splitLimit / 100;
  const int pitch = half ? w / 2 : w;
  const int tolerance = half ? w * p.halfTolerance / 100 / 2 : w * 70 / 100 / 2;
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const CellBox& box = boxes[i];
    if (!isUndecided(box.mark)) continue;
    const int bw = box.rect.width();
    const bool unsure = box.result.certainty == 2;
    const bool wanted = half ? unsure && bw > limit
                             : (unsure && bw > limit) || bw > w * 160 / 100;
    if (!wanted || (!half && bw < w * p.wideLimit / 100)) continue;
    std::vector<CellBox> pieces;
    if (const std::int16_t s = split_component(reader, box, direction, threshold, w, pitch, tolerance, mode, pieces);
        s < kEngineDone)
      return s;
    if (pieces.empty()) continue;
    // The neighbours lose what they had decided with the old box.
    if (i > 0 && boxes[i - 1].mark != kMarkSmall) boxes[i - 1].mark = kMarkUndecided;
    if (i + 1 < boxes.size() && boxes[i + 1].mark != kMarkSmall) boxes[i + 1].mark = kMarkUndecided;
    const std::size_t count = pieces.size();
    boxes.erase(boxes.begin() + static_cast<std::ptrdiff_t>(i));
    boxes.insert(boxes.begin() + static_cast<std::ptrdiff_t>(i), pieces.begin(), pieces.end());
    i += count - 1;
  }
  return kEngineDone;
}

// ---------------------------------------------------------------- lattice

namespace {

void addWindowAlternatives(std::vector<CellBox>& boxes, std::size_t first, std::size_t n, int limit) {
  if (n < 2) return;
  const auto spanOf = [&](std::size_t from, std::size_t to) {  // inclusive box indices
    return boxes[to].rect.right - boxes[from].rect.left + 1;
  };
  const unsigned patterns = 1u << (n - 1);
  std::vector<std::pair<std::size_t, std::size_t>> groups;  // first, last (inclusive)
  for (unsigned pattern = 1; pattern < patterns; ++pattern) {
    std::vector<std::pair<std::size_t, std::size_t>> these;
    bool valid = true;
    std::size_t g = first;
    for (std::size_t k = 0; k < n && valid; ++k) {
      const bool joinsNext = k + 1 < n && ((pattern >> k) & 1u) != 0;
      if (joinsNext) continue;
      const std::size_t last = first + k;
      if (last > g) {
        if (spanOf(g, last) > limit) valid = false;
        else these.emplace_back(g, last);
      }
      g = last + 1;
    }
    if (valid) groups.insert(groups.end(), these.begin(), these.end());
  }
  for (const auto& [from, to] : groups) {
    CellBox& head = boxes[from];
    CharRect rect = head.rect;
    for (std::size_t k = from + 1; k <= to; ++k) rect = unite(rect, boxes[k].rect);
    const bool known = std::any_of(head.alternatives.begin(), head.alternatives.end(), [&](const LatticeAlternative& a) {
      return a.rect.left == rect.left && a.rect.right == rect.right;
    });
    if (!known) head.alternatives.push_back(LatticeAlternative{rect, CellResult{}, static_cast<int>(to + 1)});
  }
}

}  // namespace

std::int16_t resolve_undecided_runs(CellReader& reader, LineCut& cut, const LineCutParameters& p) {
  std::vector<CellBox>& boxes = cut.boxes;
  resetHighMarks(boxes);
  for (CellBox& b : boxes)
    if (isUndecided(b.mark)) b.alternatives.clear();
  int run = 0;
  for (CellBox& b : boxes) {
    if (!isUndecided(b.mark)) {
      run = 0;
      continue;
    }
    if (++run == 21) {
      b.mark = kMarkIsolated;
      run = 0;
    }
  }
  const int limit = cut.measures.width * p.joinedGroupLimit / 100;
  std::size_t i = 0;
  while (i < boxes.size()) {
    if (!isUndecided(boxes[i].mark)) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < boxes.size() && isUndecided(boxes[end].mark)) ++end;
    const std::size_t length = end - i;
    if (length == 1) {
      boxes[i].mark = kMarkLoneEnd;
    } else {
      std::size_t s = i;
      while (end - s >= 2) {
        if (end - s < 8) {
          addWindowAlternatives(boxes, s, end - s, limit);
          break;
        }
        addWindowAlternatives(boxes, s, 7, limit);
        const std::size_t bound = s + 7;
        std::size_t j = s + 6;
        for (int steps = 0; steps < 5; ++steps) {
          const std::size_t back = j - 1;
          if (back == s || boxes[bound].rect.right - boxes[back].rect.left + 1 >= limit) break;
          j = back;
        }
        s = j + 1;
      }
    }
    i = end;
  }
  for (CellBox& b : boxes) {
    for (LatticeAlternative& a : b.alternatives)
      if (const std::int16_t s = reader.read(a.rect, a.result); s < kEngineDone) return s;
    std::erase_if(b.alternatives, [](const LatticeAlternative& a) { return a.result.distance > kAlternativeDistanceLimit; });
  }
  return kEngineDone;
}

// ------------------------------------------------------------- the line

// ------------------------------------------------------- two digits

namespace {

bool fullWidthDigit(std::uint16_t code) { return code >= 0x824F && code <= 0x8258; }

// The last digit among the candidates changes places with the first.
bool putDigitFirst(CellResult& r) {
  int last = -1;
  for (int k = 0; k < std::min<int>(r.count, CellResult::kMaxCandidates); ++k)
    if (fullWidthDigit(r.candidates[k])) last = k;
  if (last < 0) return false;
  std::swap(r.candidates[0], r.candidates[last]);
  return true;
}

}  // namespace

std::int16_t split_two_digits(CellReader& reader, LineCut& cut) {
  const EngineImage& image = reader.image();
  const int along = cut.measures.width;  // the character height of the vertical line
  for (std::size_t i = 0; i < cut.boxes.size(); ++i) {
    const CellBox& c = cut.boxes[i];
    if (c.mark != kMarkUndecided || c.result.certainty != 2) continue;
    const int length = c.rect.width();
    if (length * 100 <= along * 50 || length * 100 >= along * 120) continue;
    const CharRect page = clipToImage(image, reader.turnedFrame() ? turned(c.rect) : c.rect);
    if (page.empty()) continue;
    const std::vector<int> ink = column_projection(image, page);
    const int n = static_cast<int>(ink.size());
    int a = -1, b = -1;
    for (int k = 1; k < n && a < 0; ++k)
      if (ink[static_cast<std::size_t>(k)] == 0) a = k;
    for (int k = n - 2; k >= 0 && b < 0; --k)
      if (ink[static_cast<std::size_t>(k)] == 0) b = k;
    if (a < 0 || b < 0 || a > b) continue;
    if (std::any_of(ink.begin() + a, ink.begin() + b + 1, [](int v) { return v > 0; })) continue;
    const auto x = [&](int k) { return static_cast<std::int16_t>(page.left + k); };
    CellBox parts[2];
    parts[0].rect = fit_rect_to_ink(image, CharRect{page.left, page.top, x(a - 1), page.bottom});
    parts[1].rect = fit_rect_to_ink(image, CharRect{x(b + 1), page.top, page.right, page.bottom});
    if (parts[0].rect.empty() || parts[1].rect.empty()) continue;
    for (CellBox& part : parts)
      if (const std::int16_t s = reader.readDirect(part.rect, part.result); s < kEngineDone) return s;
    if (parts[0].result.certainty == 2 || parts[1].result.certainty == 2) continue;
    CellResult first = parts[0].result;
    CellResult second = parts[1].result;
    if (!putDigitFirst(first) || !putDigitFirst(second)) continue;
    parts[0].result = first;
    parts[1].result = second;
    for (CellBox& part : parts) {
      if (reader.turnedFrame()) part.rect = turned(part.rect);
      part.mark = kMarkDigitPair;
    }
    cut.boxes[i] = parts[0];
    cut.boxes.insert(cut.boxes.begin() + static_cast<std::ptrdiff_t>(i) + 1, parts[1]);
    ++i;
  }
  return kEngineDone;
}

namespace {

std::int16_t cutSequence(CellReader& reader, LineCut& cut, const LineMeasures& scaled, bool tableCell,
                         const LineCutParameters& p, bool digitPairs) {
  reader.clear();
  std::int16_t s = recognize_components(reader, cut.boxes);
  if (s < kEngineDone) return s;
  cut.measures = measure_line_characters(cut.boxes, cut.line, scaled, tableCell, reader.image().dpi);
  if ((s = attach_small_marks(reader, cut, p)) < kEngineDone) return s;
  if (digitPairs && (s = split_two_digits(reader, cut)) < kEngineDone) return s;
  mark_isolated_characters(cut, p);
  if ((s = merge_component_pairs(reader, cut, p)) < kEngineDone) return s;
  mark_narrow_characters(cut, p);
  struct Split {
    SplitMode mode;
    SplitDirection direction;
    int threshold;
  };
  for (const Split& sp : {Split{SplitMode::Whole, SplitDirection::Forward, 1000},
                          Split{SplitMode::Whole, SplitDirection::Backward, 1000},
                          Split{SplitMode::Whole, SplitDirection::Forward, 1400},
                          Split{SplitMode::Whole, SplitDirection::Backward, 1400}})
    if ((s = split_wide_components(reader, cut, sp.mode, sp.direction, sp.threshold, p)) < kEngineDone) return s;
  if ((s = merge_component_pairs(reader, cut, p)) < kEngineDone) return s;
  for (const SplitDirection d : {SplitDirection::Forward, SplitDirection::Backward})
    if ((s = split_wide_components(reader, cut, SplitMode::Half, d, 1000, p)) < kEngineDone) return s;
  if ((s = merge_component_pairs(reader, cut, p)) < kEngineDone) return s;
  if ((s = resolve_undecided_runs(reader, cut, p)) < kEngineDone) return s;
  reader.clear();
  return kEngineDone;
}

void turnCut(LineCut& cut) {
  cut.line = turned(cut.line);
  cut.measures = turned(cut.measures);
  for (CellBox& b : cut.boxes) {
    b.rect = turned(b.rect);
    for (LatticeAlternative& a : b.alternatives) a.rect = turned(a.rect);
  }
}

}  // namespace

std::int16_t cut_line_cells(CellReader& reader, LineCut& cut, const LineMeasures& scaled, bool tableCell,
                            const LineCutParameters& p) {
  return cutSequence(reader, cut, scaled, tableCell, p, false);
}

std::int16_t cut_line_cells_v(CellReader& reader, LineCut& cut, const LineMeasures& scaled, bool tableCell) {
  turnCut(cut);
  const std::int16_t s =
      cutSequence(reader, cut, turned(scaled), tableCell, verticalLineParameters(), true);
  turnCut(cut);
  return s;
}

LatticeLine toLattice(const LineCut& cut, LineDirection direction) {
  LatticeLine line;
  line.rect = cut.line;
  line.direction = direction;
  for (const CellBox& b : cut.boxes) line.boxes.push_back(LatticeBox{b.rect, b.result, b.alternatives});
  return line;
}

}  // namespace recognition
