#pragma once
// Pages of Japanese text rendered at test time (Noto Sans CJK JP at 10.5 pt,
// 300 dpi) for the clean-up tests: horizontal lines or vertical columns,
// optionally turned by a known angle.

#include "platform/imaging/image_ops.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QString>

#include <leptonica/allheaders.h>

namespace imagingtest {

inline const QString kJapaneseText = QStringLiteral(
    "書類を整理して保存するための文書管理ソフトウェアです。紙の書類はスキャナで読み込み、"
    "電子文書はそのまま登録できます。登録した文書には題名、日付、キーワードを付けて検索できます。"
    "画像の傾きを補正し、ノイズを除去してから文字認識を行います。ぱぴぷぺぽ、がぎぐげご、「」・。");

// Grey page, white paper, black text; `degrees` turns the text clockwise.
inline QImage renderJapanesePage(bool vertical, double degrees, int lines = 1000, int width = 1748,
                                 int height = 1400) {
  QImage page(width, height, QImage::Format_Grayscale8);
  page.fill(255);
  QPainter painter(&page);
  QFont font(QStringLiteral("Noto Sans CJK JP"));
  font.setPixelSize(44);  // 10.5 pt at 300 dpi
  painter.setFont(font);
  painter.setPen(Qt::black);
  painter.translate(width / 2.0, height / 2.0);
  painter.rotate(degrees);
  painter.translate(-width / 2.0, -height / 2.0);
  const int pitch = 66;
  int at = 0;
  if (!vertical) {
    for (int y = 200; y < height - 200 && lines-- > 0; y += pitch) {
      QString line;
      for (int i = 0; i < 30; ++i) line += kJapaneseText[(at++) % kJapaneseText.size()];
      painter.drawText(150, y, line);
    }
  } else {
    for (int x = width - 200; x > 150 && lines-- > 0; x -= pitch) {
      for (int y = 200; y < height - 200; y += 46) painter.drawText(x, y, QString(kJapaneseText[(at++) % kJapaneseText.size()]));
    }
  }
  painter.end();
  page.setDotsPerMeterX(11811);
  page.setDotsPerMeterY(11811);
  return page;
}

// 1-bit PIX of a rendered page (1 = ink). A low threshold keeps only the
// darkest pixels, as a light scan does: thin strokes break into fragments.
inline platform::imaging::PixPtr toBinaryPix(const QImage& page, int threshold = 128) {
  platform::imaging::PixPtr grey = platform::imaging::fromQImage(page);
  return platform::imaging::PixPtr(pixConvertTo1(grey.get(), threshold));
}

}  // namespace imagingtest
