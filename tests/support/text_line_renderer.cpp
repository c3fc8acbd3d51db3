// One line through the page renderer; see text_line_renderer.h.
#include "tests/support/text_line_renderer.h"

#include "tests/support/page_renderer.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cmath>

namespace testsupport {

std::string LineImage::pgm() const {
  std::string out = "P5\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.reserve(out.size() + static_cast<std::size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.push_back(pixel(x, y) ? '\0' : '\xff');
  return out;
}

LineImage renderTextLine(std::string_view utf8, FixtureFont font, int pointSize, int dpi, bool vertical,
                         int margin) {
  LineImage image;
  const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
  const QString family = font == FixtureFont::Sans ? QStringLiteral("Noto Sans CJK JP")
                                                   : QStringLiteral("Noto Serif CJK JP");
  // A canvas with room for every glyph: two cells of white round the run.
  const int cell = static_cast<int>(std::lround(pointSize * dpi / 72.0)) + 1;
  const int along = (static_cast<int>(text.size()) + 4) * cell * 2;
  const int across = 6 * cell;
  testpages::PageBuilder builder(vertical ? across : along, vertical ? along : across, dpi);
  builder.addShapedLine(QPoint(vertical ? across / 2 : 2 * cell, vertical ? 2 * cell : across / 2), text, pointSize,
                        vertical, family);
  const testpages::RenderedPage page = builder.render();

  int minX = INT_MAX, minY = INT_MAX, maxX = INT_MIN, maxY = INT_MIN;
  for (const auto& line : page.blocks.at(0).lines) {
    for (const auto& g : line.glyphs) {
      minX = std::min(minX, g.rect.left());
      minY = std::min(minY, g.rect.top());
      maxX = std::max(maxX, g.rect.right());
      maxY = std::max(maxY, g.rect.bottom());
    }
  }
  if (minX > maxX) return image;

  image.dpi = dpi;
  image.width = maxX - minX + 1 + 2 * margin;
  image.height = maxY - minY + 1 + 2 * margin;
  image.bytesPerRow = (image.width + 15) / 16 * 2;
  image.bits.assign(static_cast<std::size_t>(image.bytesPerRow) * image.height, 0);
  image.lineLeft = margin;
  image.lineTop = margin;
  image.lineRight = margin + maxX - minX;
  image.lineBottom = margin + maxY - minY;
  for (int y = minY; y <= maxY; ++y) {
    for (int x = minX; x <= maxX; ++x) {
      if (!page.pixel(x, y)) continue;
      const int ox = x - minX + margin;
      const int oy = y - minY + margin;
      image.bits[static_cast<std::size_t>(oy) * image.bytesPerRow + ox / 8] |=
          static_cast<std::uint8_t>(0x80 >> (ox % 8));
    }
  }
  return image;
}

}  // namespace testsupport
