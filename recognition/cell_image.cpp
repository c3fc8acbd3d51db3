#include "recognition/cell_image.h"

#include <leptonica/allheaders.h>

#include <algorithm>

namespace recognition {

void PixDeleter::operator()(Pix* pix) const { pixDestroy(&pix); }

CharRect clipToImage(const EngineImage& image, const CharRect& rect) {
  CharRect r = rect;
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  r.left = static_cast<std::int16_t>(std::max<int>(r.left, 0));
  r.top = static_cast<std::int16_t>(std::max<int>(r.top, 0));
  r.right = static_cast<std::int16_t>(std::min<int>(r.right, image.widthInPixels() - 1));
  r.bottom = static_cast<std::int16_t>(std::min<int>(r.bottom, image.height - 1));
  if (!image.bits || r.empty()) return CharRect{};
  return r;
}

int enlargementFor(int size, int wanted) {
  int scale = 1;
  while (size * scale < wanted && scale < 8) ++scale;
  return scale;
}

GreyPiece greyCrop(const EngineImage& image, const CharRect& rect, int border, int scale) {
  GreyPiece piece;
  const CharRect r = clipToImage(image, rect);
  if (r.empty()) return piece;
  scale = std::clamp(scale, 1, 8);
  const int w = (r.width() + 2 * border) * scale;
  const int h = (r.height() + 2 * border) * scale;
  Pix* pix = pixCreate(w, h, 8);
  if (!pix) return piece;
  pixSetAllArbitrary(pix, 255);
  l_uint32* data = pixGetData(pix);
  const int wpl = pixGetWpl(pix);
  for (int y = r.top; y <= r.bottom; ++y)
    for (int x = r.left; x <= r.right; ++x) {
      if (!inkAt(image, x, y)) continue;
      const int px = (x - r.left + border) * scale;
      const int py = (y - r.top + border) * scale;
      for (int dy = 0; dy < scale; ++dy) {
        l_uint32* line = data + (py + dy) * wpl;
        for (int dx = 0; dx < scale; ++dx) SET_DATA_BYTE(line, px + dx, 0);
      }
    }
  pixSetResolution(pix, image.dpi * scale, image.dpi * scale);
  piece.pix.reset(pix);
  piece.scale = scale;
  piece.border = border;
  return piece;
}

CharRect inkBounds(const EngineImage& image, const CharRect& rect) {
  const CharRect r = clipToImage(image, rect);
  if (r.empty()) return r;
  int left = r.right + 1, right = r.left - 1, top = r.bottom + 1, bottom = r.top - 1;
  for (int y = r.top; y <= r.bottom; ++y)
    for (int x = r.left; x <= r.right; ++x)
      if (inkAt(image, x, y)) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
  if (left > right) return CharRect{};
  return CharRect{static_cast<std::int16_t>(left), static_cast<std::int16_t>(top),
                  static_cast<std::int16_t>(right), static_cast<std::int16_t>(bottom)};
}

}  // namespace recognition
