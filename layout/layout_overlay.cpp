#include "layout/layout_overlay.h"

#include "layout/keisen_lists.h"
#include "layout/library_state.h"
#include "layout/ring.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

namespace layout {
namespace {

constexpr std::uint32_t kBlack = 0x000000;
constexpr std::uint32_t kWhite = 0xFFFFFF;
constexpr std::uint32_t kRed = 0x0000FF;
constexpr std::uint32_t kSfldLabelBackground = 0x007F7F;
constexpr std::uint32_t kRuleFieldColour = 0x00007F;
// Grid positions beyond a 16-bit page lie past the last row or column.
constexpr int kGridEnd = 32767;

// The template picture's colours by field form.
constexpr std::uint32_t kGrey = 0x7F7F7F;
constexpr std::uint32_t kBlue = 0xBF7F7F;
constexpr std::uint32_t kGreen = 0x7FBF7F;
constexpr std::uint32_t kRedBox = 0x7F7FBF;

// A4 at 400 dpi, in page pixels, and the label size of the paper frames.
constexpr int kA4LongSide = 4752;
constexpr int kA4ShortSide = 3360;
constexpr int kPaperLabelPoints = 8;

VuOverlayItem item(VuOverlayKind kind, VuOverlayMix mix, int x1, int y1, int x2, int y2, std::uint32_t colour) {
  VuOverlayItem it{};
  it.kind = kind;
  it.mix = mix;
  it.x1 = x1;
  it.y1 = y1;
  it.x2 = x2;
  it.y2 = y2;
  it.colour = colour;
  it.background = kVuTransparent;
  it.penWidth = 1;
  return it;
}

VuOverlayItem text(int x, int y, const std::string& utf8, std::uint32_t colour, std::uint32_t background,
                   VuOverlayMix mix = VuMixCopy) {
  VuOverlayItem it = item(VuOverlayText, mix, x, y, x, y, colour);
  it.background = background;
  std::strncpy(it.text, utf8.c_str(), sizeof it.text - 1);
  return it;
}

Rect16 normalised(int left, int top, int right, int bottom) {
  Rect16 r;
  r.left = static_cast<std::int16_t>(std::min(left, right));
  r.right = static_cast<std::int16_t>(std::max(left, right));
  r.top = static_cast<std::int16_t>(std::min(top, bottom));
  r.bottom = static_cast<std::int16_t>(std::max(top, bottom));
  return r;
}

template <typename T, typename F>
void forEach(const T* head, F f) {
  if (head == nullptr) return;
  for (const T* r = head->next; r != head; r = r->next) f(r);
}

// The field's number in black at its top-left corner, XORed so that a second
// drawing takes it away again.
void fieldNumber(Overlay& out, const ScreenMap& m, int left, int top, int number) {
  out.push_back(text(left / m.scale + 2 - m.xOffset, top / m.scale + 10 - m.yOffset, std::to_string(number),
                     kBlack, kVuTransparent, VuMixXor));
}

void fieldBox(Overlay& out, const ScreenMap& m, int left, int top, int right, int bottom, const userfld* field,
              const userfld* selected) {
  const auto& state = layoutState();
  const Rect16 r = normalised(left, top, right, bottom);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  const int s = m.scale;
  if (width / s > 1 && height / s > 1) {
    VuOverlayItem box = item(VuOverlayBox, VuMixXor, r.left / s + 1 - m.xOffset, r.top / s + 1 - m.yOffset,
                             (r.left + width) / s - 2 - m.xOffset, (r.top + height) / s - 2 - m.yOffset, kBlack);
    box.fill = state.colourInput;
    box.penWidth = 0;  // the context's black pen leaves an XOR picture unchanged
    out.push_back(box);
  }
  fieldNumber(out, m, field->left, field->top, field->number);
  if (field == selected) return;
  VuOverlayItem cross = item(VuOverlayBox, VuMixXor, m.x(r.left), m.y(r.top), m.x(r.right), m.y(r.bottom), kBlack);
  cross.fill = state.colourBrush;
  cross.penWidth = 0;
  out.push_back(cross);
  out.push_back(item(VuOverlayLine, VuMixXor, m.x(r.right), m.y(r.bottom), m.x(r.left), m.y(r.top),
                     state.colourBrush));
}

void fieldFrames(Overlay& out, const ScreenMap& m, const userfld* ring, const userfld* selected) {
  int count = 0;
  forEach(ring, [&](const userfld* f) {
    ++count;
    fieldBox(out, m, f->left, f->top, f->right, f->bottom, f, selected);
    fieldNumber(out, m, f->left, f->top, count);
    forEach(f->blocks, [&](const recg* b) {
      fieldBox(out, m, f->left + b->left, f->top + b->top, f->right + b->right, f->bottom + b->bottom, f,
               selected);
    });
  });
}

void numberedFrames(Overlay& out, const ScreenMap& m, const userfld* ring, std::uint32_t colour,
                    std::uint32_t labelBackground, bool labels) {
  const int s = m.scale;
  forEach(ring, [&](const userfld* f) {
    if (f->right == 0 && f->bottom == 0) return;
    int left = m.xRounded(f->left);
    int top = m.yRounded(f->top);
    int right = m.xRounded(f->right);
    int bottom = m.yRounded(f->bottom);
    if (right <= left) right = left + 1;
    if (bottom <= top) bottom = top + 1;
    out.push_back(item(VuOverlayFrame, VuMixCopy, left, top, right, bottom, colour));
    if (!labels) return;
    const bool vertical = f->params.byte(ParamBlock::kDirection) != 0;
    std::string label = std::to_string(f->number);
    int x = (vertical ? f->right : f->left) / s;
    int y = f->top / s;
    if (f->subNumber != -1) {
      label += ":" + std::to_string(f->subNumber);
      x += vertical ? -10 : 2;
      y += 10;
    }
    out.push_back(text(x - m.xOffset, y - m.yOffset, label, kWhite, labelBackground));
  });
}

// The longest ruled line whose position lies strictly inside each interval
// between consecutive centres; one position per interval that has one.
template <typename Position, typename Length>
std::vector<short> gridPositions(const std::vector<int>& centres, const Keisen* lines, Position position,
                                 Length length) {
  std::vector<short> found;
  for (std::size_t i = 0; i <= centres.size(); ++i) {
    const int low = i == 0 ? 0 : centres[i - 1];
    const int high = i < centres.size() ? centres[i] : kGridEnd;
    const Keisen* best = nullptr;
    forEach(lines, [&](const Keisen* k) {
      const int p = position(k);
      if (p <= low || p >= high) return;
      if (best == nullptr || length(k) > length(best)) best = k;
    });
    if (best != nullptr) found.push_back(static_cast<short>(position(best)));
  }
  return found;
}

bool isTableCell(const userfld* f) {
  return f->lines != nullptr && f->params.byte(ParamBlock::kForm) == 0xFF;
}

// Writes count and positions when they fit; -1 (count 0) when they do not.
int writeGrid(const std::vector<short>& positions, short* out, int capacity) {
  if (out == nullptr || capacity < 1) return -1;
  if (static_cast<int>(positions.size()) > capacity - 1) {
    out[0] = 0;
    return -1;
  }
  out[0] = static_cast<short>(positions.size());
  std::copy(positions.begin(), positions.end(), out + 1);
  return 1;
}

std::map<void*, std::array<Overlay, 2>>& overlays() {
  static std::map<void*, std::array<Overlay, 2>> store;
  return store;
}

std::uint32_t formColour(const userfld* f) {
  switch (f->params.byte(ParamBlock::kForm)) {
    case 1: return kGreen;
    case 0xFF: return kBlue;
    case 2: return kRedBox;
    default: return kGrey;
  }
}

}  // namespace

int collect_keisen(const userfld* ring, const Keisen* hLines, const Keisen* vLines, short* vertical,
                   int verticalCapacity, short* horizontal, int horizontalCapacity) {
  int rows = 0;
  int columns = 0;
  forEach(ring, [&](const userfld* f) {
    if (!isTableCell(f)) return;
    rows = std::max(rows, static_cast<int>(f->number));
    columns = std::max(columns, static_cast<int>(f->subNumber));
  });
  if (rows < 1 || columns < 1) return 0;
  // Cells stand in row-major order: the first cell of each row and of each
  // column gives that row's or column's centre; one never met keeps 0.
  std::vector<int> rowCentres(static_cast<std::size_t>(rows), 0);
  std::vector<int> columnCentres(static_cast<std::size_t>(columns), 0);
  int r = 1;
  int c = 1;
  forEach(ring, [&](const userfld* f) {
    if (!isTableCell(f)) return;
    if (f->number == r && r <= rows) rowCentres[static_cast<std::size_t>(r++ - 1)] = (f->top + f->bottom) / 2;
    if (f->subNumber == c && c <= columns) {
      columnCentres[static_cast<std::size_t>(c++ - 1)] = (f->left + f->right) / 2;
    }
  });
  const auto hPositions = gridPositions(
      rowCentres, hLines, [](const Keisen* k) { return static_cast<int>(k->c); },
      [](const Keisen* k) { return k->b - k->a; });
  const auto vPositions = gridPositions(
      columnCentres, vLines, [](const Keisen* k) { return static_cast<int>(k->a); },
      [](const Keisen* k) { return k->c - k->b; });
  const int v = writeGrid(vPositions, vertical, verticalCapacity);
  const int h = writeGrid(hPositions, horizontal, horizontalCapacity);
  return v < 0 || h < 0 ? -1 : 1;
}

Overlay layout_overlay(const ScreenMap& m, int flags, const userfld* selected) {
  const auto& state = layoutState();
  Overlay out;
  // Nothing has been analysed until GetLines or GetLayout described a page.
  const bool analysed = state.images[0].bytesPerRow != 0 && state.images[0].height != 0;
  if ((flags & kOverlayFields) != 0 && analysed) {
    fieldFrames(out, m, state.inputFields, selected);
    numberedFrames(out, m, state.Sfld, state.colourSfld, kSfldLabelBackground, true);
    numberedFrames(out, m, state.ruleFields, kRuleFieldColour, kRuleFieldColour, false);
  }
  if ((flags & kOverlayGrid) != 0) {
    const std::size_t capacity =
        static_cast<std::size_t>(count_hlines(state.hLines) + count_vlines(state.vLines) + 2);
    std::vector<short> v(capacity, 0);
    std::vector<short> h(capacity, 0);
    if (collect_keisen(state.Sfld, state.hLines, state.vLines, v.data(), static_cast<int>(capacity), h.data(),
                       static_cast<int>(capacity)) == 1 &&
        v[0] > 0 && h[0] > 0) {
      for (int i = 1; i <= h[0]; ++i) {
        out.push_back(item(VuOverlayLine, VuMixCopy, m.x(v[1]), m.y(h[static_cast<std::size_t>(i)]),
                           m.x(v[static_cast<std::size_t>(v[0])]), m.y(h[static_cast<std::size_t>(i)]),
                           kGridColour));
      }
      for (int i = 1; i <= v[0]; ++i) {
        out.push_back(item(VuOverlayLine, VuMixCopy, m.x(v[static_cast<std::size_t>(i)]), m.y(h[1]),
                           m.x(v[static_cast<std::size_t>(i)]), m.y(h[static_cast<std::size_t>(h[0])]),
                           kGridColour));
      }
    }
  }
  return out;
}

Overlay template_overlay(const ScreenMap& m, const userfld* ring) {
  const auto& state = layoutState();
  Overlay out;
  int count = 0;
  forEach(ring, [&](const userfld* f) {
    ++count;
    const Rect16 r = normalised(f->left, f->top, f->right, f->bottom);
    if (r.right > r.left && r.bottom > r.top && m.scale >= 1) {
      VuOverlayItem box =
          item(VuOverlayBox, VuMixXor, m.x(r.left), m.y(r.top), m.x(r.right), m.y(r.bottom), kBlack);
      box.fill = state.colourInput;
      box.penWidth = 0;
      out.push_back(box);
    }
    fieldNumber(out, m, f->left, f->top, count);
  });
  return out;
}

int fields_bounding_box(const userfld* ring, Rect16* box) {
  int left = 65535, top = 65535, right = -1, bottom = -1;
  int count = 0;
  forEach(ring, [&](const userfld* f) {
    ++count;
    left = std::min(left, static_cast<int>(f->left));
    top = std::min(top, static_cast<int>(f->top));
    right = std::max(right, static_cast<int>(f->right));
    bottom = std::max(bottom, static_cast<int>(f->bottom));
  });
  if (box != nullptr) {
    box->left = static_cast<std::int16_t>(std::min(left, 32767));
    box->top = static_cast<std::int16_t>(std::min(top, 32767));
    box->right = static_cast<std::int16_t>(right);
    box->bottom = static_cast<std::int16_t>(bottom);
  }
  return count == 0 ? 0 : 1;
}

Overlay template_picture(const TemplatePictureInput& in) {
  Overlay out;
  if (in.fields == nullptr) return out;
  const ScreenMap m{std::max(in.scale, 1), in.hScroll, in.vScroll};
  forEach(in.fields, [&](const userfld* f) {
    VuOverlayItem box =
        item(VuOverlayBox, VuMixCopy, m.x(f->left), m.y(f->top), m.x(f->right + 1), m.y(f->bottom + 1), formColour(f));
    box.fill = formColour(f);
    out.push_back(box);
  });
  if (in.selected != nullptr) {
    const userfld* f = in.selected;
    const int l = m.x(f->left) + 1, t = m.y(f->top) + 1, r = m.x(f->right) - 1, b = m.y(f->bottom) - 1;
    const std::array<std::pair<int, int>, 5> corners{{{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}};
    for (std::size_t i = 0; i + 1 < corners.size(); ++i) {
      VuOverlayItem edge = item(VuOverlayLine, VuMixCopy, corners[i].first, corners[i].second,
                                corners[i + 1].first, corners[i + 1].second, kRed);
      edge.penWidth = 2;
      out.push_back(edge);
    }
    forEach(f->children, [&](const userfld* child) {
      VuOverlayItem frame = item(VuOverlayFrame, VuMixNotXor, m.x(child->left), m.y(child->top),
                                 m.x(child->right + 1), m.y(child->bottom + 1), kRed);
      frame.penWidth = 2;
      out.push_back(frame);
    });
  }
  int count = 0;
  forEach(in.fields, [&](const userfld* f) {
    ++count;
    out.push_back(text(m.x(f->left) + 2, m.y(f->top) + 2, std::to_string(count), kWhite,
                       f == in.selected ? kRed : kBlack));
  });
  forEach(in.hLines, [&](const Keisen* k) {
    if (k->b - k->a + 1 < in.minHorizontalLength) return;
    out.push_back(item(VuOverlayLine, VuMixCopy, m.x(k->a), m.y(k->c), m.x(k->b), m.y(k->c), kBlack));
  });
  forEach(in.vLines, [&](const Keisen* k) {
    if (k->c - k->b + 1 < in.minVerticalLength) return;
    out.push_back(item(VuOverlayLine, VuMixCopy, m.x(k->a), m.y(k->b), m.x(k->a), m.y(k->c), kBlack));
  });
  Rect16 box;
  fields_bounding_box(in.fields, &box);
  const auto paper = [&](int width, int height, const char* label) {
    for (auto [x1, y1, x2, y2] : {std::array<int, 4>{width, 0, width, height}, {width, height, 0, height}}) {
      VuOverlayItem line = item(VuOverlayLine, VuMixCopy, m.x(x1), m.y(y1), m.x(x2), m.y(y2), kBlack);
      line.dotted = 1;
      out.push_back(line);
    }
    VuOverlayItem t = text(m.x(width), m.y(height), label, kBlack, kVuTransparent);
    t.align = VuTextRightBaseline;
    t.pointSize = kPaperLabelPoints;
    out.push_back(t);
  };
  if (box.right < kA4LongSide && box.bottom < kA4ShortSide) paper(kA4LongSide, kA4ShortSide, "A4横 400 DPI");
  if (box.right < kA4ShortSide && box.bottom < kA4LongSide) paper(kA4ShortSide, kA4LongSide, "A4縦 400 DPI");
  return out;
}

userfld* field_at_point(const userfld* ring, int x, int y) {
  const auto inside = [&](const userfld* f) { return f->left < x && x < f->right && f->top < y && y < f->bottom; };
  if (ring == nullptr) return nullptr;
  for (userfld* f = ring->next; f != ring; f = f->next) {
    if (!inside(f)) continue;
    bool inChild = false;
    forEach(f->children, [&](const userfld* child) { inChild = inChild || inside(child); });
    if (!inChild) return f;
  }
  return nullptr;
}

void store_display_overlay(void* window, OverlayLayer layer, Overlay overlay) {
  overlays()[window][layer == OverlayLayer::Layout ? 0 : 1] = std::move(overlay);
}

Overlay displayed_overlay(void* window) {
  const auto it = overlays().find(window);
  if (it == overlays().end()) return {};
  Overlay all = it->second[0];
  all.insert(all.end(), it->second[1].begin(), it->second[1].end());
  return all;
}

void forget_display_overlays() { overlays().clear(); }

void forget_layout_overlays() {
  for (auto& entry : overlays()) entry.second[0].clear();
}

}  // namespace layout
