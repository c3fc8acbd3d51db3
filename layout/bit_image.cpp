// 1-bit image operations; see bit_image.h.
#include "layout/bit_image.h"

#include "layout/layout_status.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

using Tables = std::array<std::array<std::uint32_t, 16>, 8>;

// Entry n of table k: for each bit j of nibble n, byte j of the word holds
// the bit 0x80 >> k.
constexpr Tables makeSpreadTables() {
  Tables t{};
  for (int k = 0; k < 8; ++k) {
    for (int n = 0; n < 16; ++n) {
      std::uint32_t word = 0;
      for (int j = 0; j < 4; ++j) {
        if (n & (1 << j)) word |= static_cast<std::uint32_t>(0x80u >> k) << (8 * j);
      }
      t[static_cast<std::size_t>(k)][static_cast<std::size_t>(n)] = word;
    }
  }
  return t;
}

constexpr Tables kSpread = makeSpreadTables();
static_assert(kSpread[0][1] == 0x00000080 && kSpread[0][4] == 0x00800000);
static_assert(kSpread[7][1] == 0x00000001 && kSpread[7][3] == 0x00000101);

// Turns one 8 x 8 tile: `rows` source bytes (missing rows of a short last
// band are 0) into 8 destination bytes, top to bottom.
void turn_tile_right(const std::uint8_t src[8], std::uint8_t out[8]) {
  std::uint32_t high = 0;
  std::uint32_t low = 0;
  for (int i = 0; i < 8; ++i) {
    const auto& table = kSpread[static_cast<std::size_t>(7 - i)];
    high |= table[src[i] >> 4];
    low |= table[src[i] & 0x0F];
  }
  for (int j = 0; j < 4; ++j) {
    out[j] = static_cast<std::uint8_t>(high >> (8 * (3 - j)));
    out[4 + j] = static_cast<std::uint8_t>(low >> (8 * (3 - j)));
  }
}

struct Clamped {
  int left, top, right, bottom;
  bool empty;
};

// Orders the rectangle and clamps it to the image; empty when it lies wholly
// outside.
Clamped clampToImage(const ImageDesc* image, const Rect16* rect) {
  int left = std::min(rect->left, rect->right);
  int right = std::max(rect->left, rect->right);
  int top = std::min(rect->top, rect->bottom);
  int bottom = std::max(rect->top, rect->bottom);
  const int width = image->bytesPerRow * 8;
  const bool empty = right < 0 || bottom < 0 || left >= width || top >= image->height || width == 0 ||
                     image->height == 0;
  left = std::clamp(left, 0, std::max(width - 1, 0));
  right = std::clamp(right, 0, std::max(width - 1, 0));
  top = std::clamp(top, 0, std::max(image->height - 1, 0));
  bottom = std::clamp(bottom, 0, std::max(image->height - 1, 0));
  return {left, top, right, bottom, empty};
}

}  // namespace

short rotate_right(const ImageDesc* src, ImageDesc* dst) {
  const int srcRow = src->bytesPerRow;
  const int srcHeight = src->height;
  const int dstRow = (srcHeight + 15) / 8 / 2 * 2;
  const int dstHeight = srcRow * 8;
  auto* bits = static_cast<std::uint8_t*>(std::calloc(std::max<std::size_t>(1, std::size_t(dstRow) * dstHeight), 1));
  if (bits == nullptr) return layout::kStatusNoMemory;
  // Every band, the short last one too: its missing rows count as white.
  const int bands = (srcHeight + 7) / 8;
  std::uint8_t tile[8];
  std::uint8_t turned[8];
  for (int band = 0; band < bands; ++band) {
    const int dstColumn = dstRow - 1 - band;
    for (int column = 0; column < srcRow; ++column) {
      for (int i = 0; i < 8; ++i) {
        const int y = band * 8 + i;
        tile[i] = y < srcHeight ? src->bits[std::size_t(y) * srcRow + column] : 0;
      }
      turn_tile_right(tile, turned);
      for (int k = 0; k < 8; ++k) {
        bits[std::size_t(column * 8 + k) * dstRow + dstColumn] = turned[k];
      }
    }
  }
  dst->bits = bits;
  dst->bytesPerRow = static_cast<std::uint16_t>(dstRow);
  dst->height = static_cast<std::uint16_t>(dstHeight);
  dst->dpi = src->dpi;
  return layout::kStatusDone;
}

void fill_black(ImageDesc* image, const Rect16* rect) {
  if (image->bits == nullptr) return;
  const Clamped c = clampToImage(image, rect);
  if (c.empty) return;
  const int firstByte = c.left / 8;
  const int lastByte = c.right / 8;
  const auto firstMask = static_cast<std::uint8_t>(0xFF >> (c.left % 8));
  const auto lastMask = static_cast<std::uint8_t>(0xFF << (7 - c.right % 8));
  for (int y = c.top; y <= c.bottom; ++y) {
    std::uint8_t* row = image->bits + std::size_t(y) * image->bytesPerRow;
    if (firstByte == lastByte) {
      row[firstByte] |= static_cast<std::uint8_t>(firstMask & lastMask);
      continue;
    }
    row[firstByte] |= firstMask;
    for (int b = firstByte + 1; b < lastByte; ++b) row[b] = 0xFF;
    row[lastByte] |= lastMask;
  }
}

short crop_bytes(const ImageDesc* src, const Rect16* rect, ImageDesc* dst) {
  const Clamped c = clampToImage(src, rect);
  const int firstByte = c.left / 8;
  const int rowBytes = c.right / 8 - firstByte + 1;
  const int height = c.bottom - c.top + 1;
  auto* bits = static_cast<std::uint8_t*>(std::malloc(std::size_t(rowBytes) * height));
  if (bits == nullptr) return layout::kStatusNoMemory;
  for (int y = 0; y < height; ++y) {
    std::memcpy(bits + std::size_t(y) * rowBytes,
                src->bits + std::size_t(c.top + y) * src->bytesPerRow + firstByte, std::size_t(rowBytes));
  }
  dst->bits = bits;
  dst->bytesPerRow = static_cast<std::uint16_t>(rowBytes);
  dst->height = static_cast<std::uint16_t>(height);
  dst->dpi = src->dpi;
  return layout::kStatusDone;
}

short paste_bytes(const ImageDesc* src, ImageDesc* dst, BytePos pos) {
  if (src->bits == nullptr || dst->bits == nullptr) return layout::kStatusNothing;
  // A negative position pastes at the edge; what does not fit is left out.
  const int column = std::max(pos.x, 0) / 8;
  const int row = std::max(pos.y, 0);
  const int bytes = std::min<int>(src->bytesPerRow, dst->bytesPerRow - column);
  const int rows = std::min<int>(src->height, dst->height - row);
  if (bytes <= 0 || rows <= 0) return layout::kStatusDone;
  for (int r = 0; r < rows; ++r) {
    std::memcpy(dst->bits + std::size_t(row + r) * dst->bytesPerRow + column,
                src->bits + std::size_t(r) * src->bytesPerRow, std::size_t(bytes));
  }
  return layout::kStatusDone;
}

// ------------------------------------------------------------ small angle

namespace {

struct Shear {
  std::uint8_t* bits;
  int w;  // bytes per row
  int h;  // rows

  std::uint8_t& at(int column, int y) const { return bits[std::size_t(y) * w + column]; }

  // Moves a byte column up (d > 0) or down (d < 0); vacated rows become 0.
  void moveColumn(int column, int d) const {
    if (d == 0) return;
    const int n = std::min(std::abs(d), h);
    if (d > 0) {
      for (int y = 0; y + n < h; ++y) at(column, y) = at(column, y + n);
      for (int y = h - n; y < h; ++y) at(column, y) = 0;
    } else {
      for (int y = h - 1; y - n >= 0; --y) at(column, y) = at(column, y - n);
      for (int y = 0; y < n; ++y) at(column, y) = 0;
    }
  }

  // Moves the masked bits of a byte column one row up or down.
  void moveMaskedOneRow(int column, std::uint8_t mask, bool up) const {
    const auto keep = static_cast<std::uint8_t>(~mask);
    if (up) {
      for (int y = 0; y + 1 < h; ++y)
        at(column, y) = static_cast<std::uint8_t>((at(column, y) & keep) | (at(column, y + 1) & mask));
      at(column, h - 1) &= keep;
    } else {
      for (int y = h - 1; y >= 1; --y)
        at(column, y) = static_cast<std::uint8_t>((at(column, y) & keep) | (at(column, y - 1) & mask));
      at(column, 0) &= keep;
    }
  }

  // Moves a row right (s > 0) or left (s < 0) by |s| pixels.
  void moveRow(int y, int s) const {
    if (s == 0) return;
    std::uint8_t* row = bits + std::size_t(y) * w;
    const int a = std::abs(s);
    const int bytes = std::min(a / 8, w);
    const int shift = a % 8;
    if (s > 0) {
      if (bytes > 0) {
        std::memmove(row + bytes, row, std::size_t(w - bytes));
        std::memset(row, 0, std::size_t(bytes));
      }
      if (shift != 0) {
        for (int b = w - 1; b > 0; --b)
          row[b] = static_cast<std::uint8_t>((row[b] >> shift) | (row[b - 1] << (8 - shift)));
        row[0] = static_cast<std::uint8_t>(row[0] >> shift);
      }
    } else {
      if (bytes > 0) {
        std::memmove(row, row + bytes, std::size_t(w - bytes));
        std::memset(row + (w - bytes), 0, std::size_t(bytes));
      }
      if (shift != 0) {
        for (int b = 0; b + 1 < w; ++b)
          row[b] = static_cast<std::uint8_t>((row[b] << shift) | (row[b + 1] >> (8 - shift)));
        row[w - 1] = static_cast<std::uint8_t>(row[w - 1] << shift);
      }
    }
  }
};

}  // namespace

void rotate_small_angle(ImageDesc* image, double degrees) {
  if (degrees == 0.0 || image->bits == nullptr) return;
  const double t = std::tan(degrees * 3.1415926535 / 180.0);
  const double inverse = std::trunc(1.0 / t);
  if (inverse >= -8 && inverse <= 8) return;
  const int n = inverse > 30000 ? 30000 : inverse < -30000 ? -30000 : static_cast<int>(inverse);
  const int k = std::abs(n);
  const bool clockwise = n < 0;
  const Shear s{image->bits, image->bytesPerRow, image->height};
  if (s.w == 0 || s.h == 0) return;
  const int cx = s.w / 2;
  const int cy = s.h / 2;

  // Pass 1: byte columns.  Clockwise, the left half goes up and the right
  // half down; counter-clockwise the other way.
  for (int c = cx - 1; c >= 0; --c) {
    const int d = ((cx - c) * 8 - 8) / k;
    s.moveColumn(c, clockwise ? d : -d);
    if (((cx - c) * 8) / k > d) {
      const int r = 8 - ((cx - c) * 8) % k;
      if (r >= 1 && r <= 7) s.moveMaskedOneRow(c, static_cast<std::uint8_t>(0xFF << r), clockwise);
    }
  }
  for (int c = cx; c < s.w; ++c) {
    const int d = ((c - cx) * 8) / k;
    s.moveColumn(c, clockwise ? -d : d);
    if (((c - cx) * 8 + 8) / k > d) {
      const int r = 8 - ((c - cx) * 8 + 8) % k;
      if (r >= 1 && r <= 7) s.moveMaskedOneRow(c, static_cast<std::uint8_t>(0xFF >> r), !clockwise);
    }
  }
  // Pass 2: rows.  Clockwise, the upper half goes right and the lower half
  // left.
  for (int y = cy - 1; y >= 0; --y) {
    const int shift = (cy - 1 - y) / k;
    s.moveRow(y, clockwise ? shift : -shift);
  }
  for (int y = s.h / 2; y < s.h; ++y) {
    const int shift = (y - cy) / k;
    s.moveRow(y, clockwise ? -shift : shift);
  }
}
