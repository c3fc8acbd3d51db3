// Analysis of a skewed page on a straightened copy; see straight_analysis.h.
#include "layout/straight_analysis.h"

#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_hooks.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/recognition_driver.h"
#include "layout/ring.h"
#include "layout/ruled_lines.h"
#include "layout/skew_correction.h"
#include "layout/skew_estimate.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace layout {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLargestCanvas = 32000;  // pixels either way: coordinates are 16-bit

enum class Shape { Box, Centre };

struct RectPair {
  Rect16 straight;
  Rect16 mapped;
};

// The layout that was straightened last: its frame and, record by record in
// walk order, the straightened rectangle beside the one the caller sees.
struct Held {
  bool active = false;
  StraightFrame frame;
  std::vector<RectPair> rects;
};

Held& held() {
  static Held h;
  return h;
}

bool sameRect(const Rect16& a, const Rect16& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

template <typename R>
Rect16 rectOf(const R& r) {
  return Rect16{r.left, r.top, r.right, r.bottom};
}

template <typename R>
void setRect(R& r, const Rect16& to) {
  r.left = to.left;
  r.top = to.top;
  r.right = to.right;
  r.bottom = to.bottom;
}

template <typename F>
void walkRecg(recg* head, F& f) {
  if (head == nullptr) return;
  for (recg* c = head->next; c != head; c = c->next) f(*c, Shape::Centre);
}

// Every rectangle below a field ring, always in the same order.
template <typename F>
void walkFields(userfld* head, F& f) {
  if (head == nullptr) return;
  for (userfld* field = head->next; field != head; field = field->next) {
    f(*field, Shape::Box);
    walkFields(field->children, f);
    walkRecg(field->blocks, f);
    if (field->lines == nullptr) continue;
    for (line_record* line = field->lines->next; line != field->lines; line = line->next) {
      f(*line, Shape::Box);
      walkRecg(line->boxes, f);
      walkRecg(line->chars, f);
    }
  }
}

template <typename F>
void walkResult(F&& f) {
  auto& state = layoutState();
  walkFields(state.Sfld, f);
  walkFields(state.ruleFields, f);
}

// The straightened result goes to the caller's coordinates; the pairs are
// kept for the way back.
void mapOut(Held& h) {
  h.rects.clear();
  walkResult([&](auto& record, Shape shape) {
    const Rect16 straight = rectOf(record);
    const Rect16 mapped = shape == Shape::Box ? h.frame.boxToCaller(straight) : h.frame.centreToCaller(straight);
    h.rects.push_back(RectPair{straight, mapped});
    setRect(record, mapped);
  });
}

// Back to the straightened rectangles.  A record that is not where the
// caller was shown it (a field deleted or exchanged since) is mapped anew.
void mapIn(const Held& h) {
  std::size_t i = 0;
  walkResult([&](auto& record, Shape shape) {
    const Rect16 now = rectOf(record);
    if (i < h.rects.size() && sameRect(h.rects[i].mapped, now)) {
      setRect(record, h.rects[i].straight);
    } else if (shape == Shape::Box) {
      setRect(record, h.frame.boxToStraight(now));
    } else {
      double x = 0, y = 0;
      h.frame.toStraight((now.left + now.right) / 2.0, (now.top + now.bottom) / 2.0, &x, &y);
      const int w = now.right - now.left;
      const int ht = now.bottom - now.top;
      const auto left = static_cast<std::int16_t>(std::lround(x - w / 2.0));
      const auto top = static_cast<std::int16_t>(std::lround(y - ht / 2.0));
      setRect(record, Rect16{left, top, static_cast<std::int16_t>(left + w), static_cast<std::int16_t>(top + ht)});
    }
    ++i;
  });
}

void mapList(userfld* head, const StraightFrame& frame, bool toCaller) {
  if (head == nullptr) return;
  for (userfld* f = head->next; f != head; f = f->next) {
    const Rect16 r = rectOf(*f);
    setRect(*f, toCaller ? frame.boxToCaller(r) : frame.boxToStraight(r));
    mapList(f->children, frame, toCaller);
  }
}

std::int16_t clampTo(double v, int low, int high) {
  return static_cast<std::int16_t>(std::clamp(static_cast<int>(v), low, std::max(low, high)));
}

// The caller's page (and its ruled lines) stand aside while the analysis
// works on the straightened copy, and come back however the work ends.
class StraightPage {
 public:
  StraightPage(const StraightFrame& frame, std::vector<std::uint8_t>& bits) : saved_(layoutState().images) {
    auto& state = layoutState();
    const std::uint16_t dpi = saved_[0].dpi;
    state.images = {};
    for (auto& desc : state.images) desc.dpi = dpi;
    ImageDesc& page = state.images[0];
    page.bits = bits.data();
    page.bytesPerRow = static_cast<std::uint16_t>(paddedRowBytes(frame.canvasWidth));
    page.height = static_cast<std::uint16_t>(frame.canvasHeight);
    // The half-size description that GetLines leaves.
    state.images[1].bytesPerRow = static_cast<std::uint16_t>((frame.canvasWidth + 31) / 32 * 2);
    state.images[1].height = static_cast<std::uint16_t>(frame.canvasHeight / 2);
    callerH_ = std::exchange(state.hLines, nullptr);
    callerV_ = std::exchange(state.vLines, nullptr);
  }
  ~StraightPage() {
    auto& state = layoutState();
    free_hline_list(&state.hLines);
    free_vline_list(&state.vLines);
    state.hLines = callerH_;
    state.vLines = callerV_;
    state.images = saved_;
  }
  StraightPage(const StraightPage&) = delete;
  StraightPage& operator=(const StraightPage&) = delete;

 private:
  std::array<ImageDesc, 5> saved_;
  Keisen* callerH_ = nullptr;
  Keisen* callerV_ = nullptr;
};

// GetRecg's callbacks see page rectangles of the caller, at the caller's
// scale and offset.
struct Relay {
  VuRecgCallbacks caller{};
  VuRecgDisplay shown{};
  StraightFrame frame;
};

VuRecgCallbacks relayed(Relay& relay) {
  VuRecgCallbacks mine{};
  mine.context = &relay;
  const VuRecgCallbacks& c = relay.caller;
  if (c.stopDialog != nullptr)
    mine.stopDialog = [](void* r, int visible) {
      auto* self = static_cast<Relay*>(r);
      self->caller.stopDialog(self->caller.context, visible);
    };
  if (c.pump != nullptr)
    mine.pump = [](void* r) -> int {
      auto* self = static_cast<Relay*>(r);
      return self->caller.pump(self->caller.context);
    };
  if (c.report != nullptr)
    mine.report = [](void* r, short status, const char* text) {
      auto* self = static_cast<Relay*>(r);
      self->caller.report(self->caller.context, status, text);
    };
  if (c.lineDone != nullptr)
    mine.lineDone = [](void* r, const VuRect* pageRect, std::uint32_t colour) {
      auto* self = static_cast<Relay*>(r);
      if (pageRect == nullptr) return;
      const Rect16 straight{static_cast<std::int16_t>(pageRect->left), static_cast<std::int16_t>(pageRect->top),
                            static_cast<std::int16_t>(pageRect->right - 1),
                            static_cast<std::int16_t>(pageRect->bottom - 1)};
      const Rect16 line = self->frame.boxToCaller(straight);
      const int scale = std::max<int>(1, self->shown.scale);
      const VuRect shownRect{line.left / scale - self->shown.xOffset, line.top / scale - self->shown.yOffset,
                             (line.right + 1) / scale - self->shown.xOffset,
                             (line.bottom + 1) / scale - self->shown.yOffset};
      self->caller.lineDone(self->caller.context, &shownRect, colour);
    };
  return mine;
}

class CallbacksSwap {
 public:
  explicit CallbacksSwap(const VuRecgCallbacks& mine) : caller_(recognition::recgCallbacks()) {
    recognition::setRecgCallbacks(&mine);
  }
  ~CallbacksSwap() { recognition::setRecgCallbacks(&caller_); }
  CallbacksSwap(const CallbacksSwap&) = delete;
  CallbacksSwap& operator=(const CallbacksSwap&) = delete;

 private:
  VuRecgCallbacks caller_;
};

}  // namespace

// ---------------------------------------------------------------- frame

StraightFrame StraightFrame::make(double degrees, int width, int height) {
  StraightFrame f;
  f.degrees = degrees;
  f.width = width;
  f.height = height;
  const double a = degrees * kPi / 180.0;
  const double c = std::fabs(std::cos(a));
  const double s = std::fabs(std::sin(a));
  f.canvasWidth = std::min(kLargestCanvas, static_cast<int>(std::ceil(width * c + height * s)));
  f.canvasHeight = std::min(kLargestCanvas, static_cast<int>(std::ceil(width * s + height * c)));
  return f;
}

void StraightFrame::toCaller(double x, double y, double* cx, double* cy) const {
  const double a = degrees * kPi / 180.0;
  const double dx = x - canvasWidth / 2.0;
  const double dy = y - canvasHeight / 2.0;
  *cx = width / 2.0 + std::cos(a) * dx - std::sin(a) * dy;
  *cy = height / 2.0 + std::sin(a) * dx + std::cos(a) * dy;
}

void StraightFrame::toStraight(double x, double y, double* sx, double* sy) const {
  const double a = degrees * kPi / 180.0;
  const double dx = x - width / 2.0;
  const double dy = y - height / 2.0;
  *sx = canvasWidth / 2.0 + std::cos(a) * dx + std::sin(a) * dy;
  *sy = canvasHeight / 2.0 - std::sin(a) * dx + std::cos(a) * dy;
}

namespace {

template <typename Map>
Rect16 boxOf(const Rect16& r, Map map, int width, int height) {
  double left = 1e9, top = 1e9, right = -1e9, bottom = -1e9;
  for (const double x : {static_cast<double>(r.left), static_cast<double>(r.right)})
    for (const double y : {static_cast<double>(r.top), static_cast<double>(r.bottom)}) {
      double mx = 0, my = 0;
      map(x, y, &mx, &my);
      left = std::min(left, mx);
      top = std::min(top, my);
      right = std::max(right, mx);
      bottom = std::max(bottom, my);
    }
  return Rect16{clampTo(std::floor(left), 0, width - 1), clampTo(std::floor(top), 0, height - 1),
                clampTo(std::ceil(right), 0, width - 1), clampTo(std::ceil(bottom), 0, height - 1)};
}

}  // namespace

Rect16 StraightFrame::boxToCaller(const Rect16& r) const {
  return boxOf(r, [this](double x, double y, double* mx, double* my) { toCaller(x, y, mx, my); }, width, height);
}

Rect16 StraightFrame::boxToStraight(const Rect16& r) const {
  return boxOf(r, [this](double x, double y, double* mx, double* my) { toStraight(x, y, mx, my); }, canvasWidth,
               canvasHeight);
}

Rect16 StraightFrame::centreToCaller(const Rect16& r) const {
  double x = 0, y = 0;
  toCaller((r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0, &x, &y);
  const int w = r.right - r.left;
  const int h = r.bottom - r.top;
  const auto left = static_cast<std::int16_t>(std::lround(x - w / 2.0));
  const auto top = static_cast<std::int16_t>(std::lround(y - h / 2.0));
  return Rect16{left, top, static_cast<std::int16_t>(left + w), static_cast<std::int16_t>(top + h)};
}

std::vector<std::uint8_t> StraightFrame::straighten(const ImageDesc& page) const {
  const int rowBytes = paddedRowBytes(canvasWidth);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(canvasHeight), 0);
  const double a = degrees * kPi / 180.0;
  const double c = std::cos(a);
  const double s = std::sin(a);
  const int sourceWidth = std::min(width, page.widthPixels());
  const int sourceHeight = std::min(height, static_cast<int>(page.height));
  // Each pixel of the copy takes the caller's pixel nearest to where it
  // came from (nearest neighbour keeps the page 1-bit and the map exact).
  for (int y = 0; y < canvasHeight; ++y) {
    double sx = 0, sy = 0;
    toCaller(0, y, &sx, &sy);
    std::uint8_t* row = out.data() + static_cast<std::size_t>(y) * rowBytes;
    for (int x = 0; x < canvasWidth; ++x, sx += c, sy += s) {
      const int px = static_cast<int>(std::floor(sx + 0.5));
      const int py = static_cast<int>(std::floor(sy + 0.5));
      if (px < 0 || py < 0 || px >= sourceWidth || py >= sourceHeight) continue;
      const std::uint8_t byte = page.bits[static_cast<std::size_t>(py) * page.bytesPerRow + (px >> 3)];
      if ((byte & (0x80 >> (px & 7))) != 0) row[x >> 3] = static_cast<std::uint8_t>(row[x >> 3] | (0x80 >> (x & 7)));
    }
  }
  return out;
}

// ---------------------------------------------------------------- calls

double profile_sharpness(const ImageDesc& image) {
  if (image.bits == nullptr) return 0;
  const int width = image.widthPixels();
  std::vector<long> columns(static_cast<std::size_t>(width), 0);
  double rowScore = 0;
  long previousRow = 0;
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* row = image.bits + static_cast<std::size_t>(y) * image.bytesPerRow;
    long ink = 0;
    for (int b = 0; b < image.bytesPerRow; ++b) {
      if (row[b] == 0) continue;
      ink += __builtin_popcount(row[b]);
      for (int bit = 0; bit < 8; ++bit)
        if ((row[b] & (0x80 >> bit)) != 0) ++columns[static_cast<std::size_t>(b * 8 + bit)];
    }
    if (y > 0) rowScore += static_cast<double>(ink - previousRow) * static_cast<double>(ink - previousRow);
    previousRow = ink;
  }
  double columnScore = 0;
  for (std::size_t x = 1; x < columns.size(); ++x)
    columnScore += static_cast<double>(columns[x] - columns[x - 1]) * static_cast<double>(columns[x] - columns[x - 1]);
  return std::max(rowScore, columnScore);
}

void drop_straight_frame() {
  Held& h = held();
  h.active = false;
  h.rects.clear();
}

double straightened_degrees() { return held().active ? held().frame.degrees : 0.0; }

short straight_layout(userfld** list, const ParamBlock* params, const char* templateFolder, short templateNumber) {
  auto& state = layoutState();
  auto plain = [&] { return hooks().layoutPage(list, params, templateFolder, templateNumber); };
  const ImageDesc& page = state.images[0];
  if (page.bits == nullptr || page.bytesPerRow == 0 || page.height == 0) return plain();
  userfld* callerList = list != nullptr ? *list : nullptr;
  bool regions = false;
  bool copies = false;
  if (callerList != nullptr)
    for (const userfld* r = callerList->next; r != callerList; r = r->next) (r->origin == 0 ? regions : copies) = true;
  // Copies alone ask for nothing new: the fields stay as they are.
  if (copies && !regions) return plain();
  Held& h = held();
  double degrees = 0;
  if (copies) {
    // New regions beside fields of an earlier layout of the same page go
    // the way those went.
    if (!h.active || h.frame.width != page.widthPixels() || h.frame.height != page.height) return plain();
    degrees = h.frame.degrees;
  } else {
    drop_straight_frame();
    // Fields the caller left in the library belong to a level analysis.
    if (!ringEmpty(state.Sfld)) return plain();
    const short hint = params != nullptr && params->byte(ParamBlock::kForm) == 255 ? -1 : 1;
    const short direction = params != nullptr ? params->byte(ParamBlock::kDirection) : 3;
    double angle = 0;
    const short estimated = estimate_skew(&page, 1, &angle, hint, direction);
    if (estimated == kStatusNoMemory) return kStatusNoMemory;
    if (estimated != kStatusDone || std::fabs(angle) < kStraightenFromDegrees || std::fabs(angle) > kMostSkewDegrees)
      return plain();
    degrees = angle;
  }

  const StraightFrame frame = StraightFrame::make(degrees, page.widthPixels(), page.height);
  std::vector<std::uint8_t> bits = frame.straighten(page);
  // The estimate is taken only when the straightened copy's text lines (or
  // columns) stand out more sharply than the page's own: a level page that
  // the estimate misreads (a few lines of long vowel marks) keeps its path.
  if (!copies) {
    const ImageDesc copy{bits.data(), static_cast<std::uint16_t>(paddedRowBytes(frame.canvasWidth)),
                         static_cast<std::uint16_t>(frame.canvasHeight), page.dpi};
    if (profile_sharpness(copy) <= profile_sharpness(page)) return plain();
  }
  userfld* work = nullptr;
  short status = kStatusDone;
  {
    StraightPage straight(frame, bits);
    if (copies) mapIn(h);
    if (callerList != nullptr) {
      for (const userfld* r = callerList->next; r != callerList; r = r->next) {
        if (copy_fld_deep(r, &work) == nullptr) {
          free_userfld_ring(&work);
          if (copies) mapOut(h);
          return kStatusNoMemory;
        }
      }
      mapList(work, frame, false);
    }
    userfld* const before = work;
    if (extract_ruled_lines(1) == kStatusNoMemory) {
      status = kStatusNoMemory;
    } else {
      status = hooks().layoutPage(&work, params, templateFolder, templateNumber);
    }
    h.frame = frame;
    h.active = true;
    mapOut(h);
    if (work != before) {
      // The layout gave a new list: the caller's areas make way for it.
      mapList(work, frame, true);
      if (list != nullptr) {
        free_userfld_ring(list);
        *list = std::exchange(work, nullptr);
      }
    }
    free_userfld_ring(&work);
  }
  if (ringEmpty(state.Sfld) && ringEmpty(state.ruleFields)) drop_straight_frame();
  return status;
}

short straight_recognize(void* window, const ParamBlock* params, VuRecgResult* result,
                         const VuRecgDisplay* display) {
  auto& state = layoutState();
  Held& h = held();
  const ImageDesc& page = state.images[0];
  if (!h.active || result == nullptr || page.bits == nullptr || h.frame.width != page.widthPixels() ||
      h.frame.height != page.height || ringEmpty(state.Sfld))
    return recognition::recognize_page(window, params, result, display);

  std::vector<std::uint8_t> bits = h.frame.straighten(page);
  StraightPage straight(h.frame, bits);
  mapIn(h);
  Relay relay;
  relay.caller = recognition::recgCallbacks();
  relay.shown = display != nullptr ? *display : VuRecgDisplay{};
  relay.frame = h.frame;
  const VuRecgCallbacks mine = relayed(relay);
  VuRecgDisplay onPage = relay.shown;
  onPage.scale = 1;
  onPage.xOffset = 0;
  onPage.yOffset = 0;
  const int first = result->charactersWritten + 1;
  short status = 0;
  {
    CallbacksSwap swap(mine);
    status = recognition::recognize_page(window, params, result, &onPage);
  }
  if (result->rects != nullptr) {
    for (int i = first; i <= result->charactersWritten; ++i) {
      std::int32_t* r = result->rects + static_cast<std::size_t>(i) * 4;
      const Rect16 mapped =
          h.frame.centreToCaller(Rect16{static_cast<std::int16_t>(r[0]), static_cast<std::int16_t>(r[1]),
                                        static_cast<std::int16_t>(r[2]), static_cast<std::int16_t>(r[3])});
      r[0] = mapped.left;
      r[1] = mapped.top;
      r[2] = mapped.right;
      r[3] = mapped.bottom;
    }
  }
  // A stop frees the fields: nothing is left to map.
  if (ringEmpty(state.Sfld) && ringEmpty(state.ruleFields)) {
    drop_straight_frame();
  } else {
    mapOut(h);
  }
  return status;
}

}  // namespace layout
