// Pages for the skew and direction tests; see skew_pages.h.
#include "tests/layout/skew_pages.h"

#include <QString>

namespace skewpages {
namespace {

const QString kText = QStringLiteral("文書の管理と画像の解析のために、日本語の文章を用意しました。段落の文字の大きさを測ります。");

}  // namespace

testpages::RenderedPage textPage(double degrees, bool vertical, int dpi) {
  const int mm = dpi * 4 / 100;
  testpages::PageBuilder builder(160 * mm, 200 * mm, dpi);
  if (vertical)
    builder.addText({140 * mm, 15 * mm}, kText, 10.5, 34, 18, true);
  else
    builder.addText({15 * mm, 15 * mm}, kText, 10.5, 36, 22);
  return builder.render(-degrees);
}

testpages::RenderedPage formPage(double degrees, bool withText, int dpi) {
  const int mm = dpi * 4 / 100;
  testpages::PageBuilder builder(160 * mm, 200 * mm, dpi);
  const int left = 15 * mm, top = 20 * mm, width = 130 * mm, rowHeight = 12 * mm, rows = 12;
  for (int r = 0; r <= rows; ++r) builder.addRule(QRect(left, top + r * rowHeight, width + 3, 3), true);
  for (int x : {0, 40, 130}) builder.addRule(QRect(left + x * mm, top, 3, rows * rowHeight + 3), false);
  if (withText)
    for (int r = 0; r < rows; ++r) builder.addText({left + 3 * mm, top + r * rowHeight + 3 * mm}, kText.mid(r, 6), 10.5, 6, 1);
  return builder.render(-degrees);
}

void fillBox(testpages::RenderedPage& page, int left, int top, int width, int height) {
  for (int y = top; y < top + height && y < page.height; ++y)
    for (int x = left; x < left + width && x < page.bytesPerRow * 8; ++x)
      page.bits[static_cast<std::size_t>(y) * page.bytesPerRow + x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
}

}  // namespace skewpages
