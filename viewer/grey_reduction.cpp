#include "viewer/grey_reduction.h"

#include <algorithm>
#include <cstdint>
#include <vector>

QImage ReduceMonoToGrey(const QImage& mono, QSize target) {
  const int width = mono.width();
  const int height = mono.height();
  const int tw = std::clamp(target.width(), 1, std::max(1, width));
  const int th = std::clamp(target.height(), 1, std::max(1, height));
  if (mono.format() != QImage::Format_Mono || width == 0 || height == 0) return {};
  QVector<QRgb> table = mono.colorTable();
  if (table.size() < 2) table = {qRgb(255, 255, 255), qRgb(0, 0, 0)};
  const int grey0 = qGray(table[0]);
  const int grey1 = qGray(table[1]);
  // Count the darker value's bits: those are the few.
  const bool inkIsOne = grey1 <= grey0;
  const int ink = inkIsOne ? grey1 : grey0;
  const int paper = inkIsOne ? grey0 : grey1;

  std::vector<int> columnOf(static_cast<std::size_t>(width));
  std::vector<int> columnWidth(static_cast<std::size_t>(tw), 0);
  for (int x = 0; x < width; ++x) {
    const int column = static_cast<int>(static_cast<long long>(x) * tw / width);
    columnOf[static_cast<std::size_t>(x)] = column;
    ++columnWidth[static_cast<std::size_t>(column)];
  }
  std::vector<std::uint32_t> inkCount(static_cast<std::size_t>(tw));
  QImage out(tw, th, QImage::Format_Grayscale8);
  const int fullBytes = width / 8;
  const int tailBits = width % 8;
  int y = 0;
  for (int row = 0; row < th; ++row) {
    std::fill(inkCount.begin(), inkCount.end(), 0u);
    int rows = 0;
    for (; y < height && static_cast<long long>(y) * th / height == row; ++y, ++rows) {
      const uchar* line = mono.constScanLine(y);
      for (int b = 0; b <= fullBytes && b * 8 < width; ++b) {
        unsigned bits = inkIsOne ? line[b] : static_cast<uchar>(~line[b]);
        if (b == fullBytes) bits &= 0xFFu << (8 - tailBits);  // the bits past the row's end
        while (bits != 0) {
          const int bit = __builtin_clz(bits) - 24;  // from the most significant bit
          bits &= ~(0x80u >> bit);
          ++inkCount[static_cast<std::size_t>(columnOf[static_cast<std::size_t>(b * 8 + bit)])];
        }
      }
    }
    uchar* dst = out.scanLine(row);
    for (int column = 0; column < tw; ++column) {
      const long long area = static_cast<long long>(rows) * columnWidth[static_cast<std::size_t>(column)];
      if (area == 0) {
        dst[column] = static_cast<uchar>(paper);
        continue;
      }
      const long long inked = inkCount[static_cast<std::size_t>(column)];
      dst[column] = static_cast<uchar>((inked * ink + (area - inked) * paper) / area);
    }
  }
  return out;
}
