#include "tests/viewer/viewer_fixture.h"

#include "platform/imaging/image_ops.h"

#include <QFont>
#include <QImageWriter>
#include <QPainter>

#include <leptonica/allheaders.h>

namespace viewertest {

QImage japanesePage(int width, int height) {
  QImage page(width, height, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.setPen(Qt::black);
  const int unit = std::max(8, width / 40);
  QFont heading(QStringLiteral("Noto Sans CJK JP"));
  heading.setPixelSize(unit * 2);
  heading.setBold(true);
  painter.setFont(heading);
  painter.drawText(QRect(0, unit * 2, width, unit * 3), Qt::AlignHCenter, QStringLiteral("御 請 求 書"));
  QFont body(QStringLiteral("Noto Sans CJK JP"));
  body.setPixelSize(unit);
  painter.setFont(body);
  const QString lines[] = {
      QStringLiteral("株式会社ヴェルノール 御中"),
      QStringLiteral("下記の通り御請求申し上げます。"),
      QStringLiteral("件名：文書管理システム導入費用"),
      QStringLiteral("お支払期限：２０２７年１月３１日"),
      QStringLiteral("品名　　　　　　数量　　単価　　　金額"),
      QStringLiteral("スキャナ設定作業　１式　５０，０００　５０，０００"),
      QStringLiteral("文書整理支援　　　３日　３０，０００　９０，０００"),
      QStringLiteral("小計　　　　　　　　　　　　　１４０，０００"),
      QStringLiteral("消費税（１０％）　　　　　　　　１４，０００"),
      QStringLiteral("合計金額　　　　　　　　　　　１５４，０００円"),
  };
  int y = unit * 7;
  for (const QString& line : lines) {
    painter.drawText(unit * 3, y, line);
    y += unit * 2;
    if (y > height - unit * 2) break;
  }
  painter.drawRect(unit * 2, unit * 6, width - unit * 4, y - unit * 6);
  return page;
}

bool writeTiff(const std::vector<QImage>& pages, const std::string& path, int dpi, bool g4) {
  bool first = true;
  for (const QImage& page : pages) {
    platform::imaging::PixPtr colour = platform::imaging::fromQImage(page);
    if (!colour) return false;
    Pix* grey = pixConvertTo8(colour.get(), 0);
    Pix* binary = pixThresholdToBinary(grey, 128);
    pixDestroy(&grey);
    pixSetResolution(binary, dpi, dpi);
    const int rc = pixWriteTiff(path.c_str(), binary, g4 ? IFF_TIFF_G4 : IFF_TIFF_LZW, first ? "w" : "a");
    pixDestroy(&binary);
    if (rc != 0) return false;
    first = false;
  }
  return true;
}

bool writeQtImage(const QImage& page, const std::string& path, const char* format, int dpi) {
  QImage copy = page;
  if (dpi > 0) {
    copy.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    copy.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
  } else {
    copy.setDotsPerMeterX(0);
    copy.setDotsPerMeterY(0);
  }
  QImageWriter writer(QString::fromStdString(path), format);
  return writer.write(copy);
}

ItemInfo pageItem(int itemNo, const char* title, const char* ext) {
  ItemInfo item;
  item.ItemNo = itemNo;
  item.Title = title;
  item.Ext = ext;
  item.ImageLevel = 1;
  return item;
}

AnnBox annBox(int type, const QRect& r) {
  AnnBox b;
  b.AnnType = type;
  b.BoxLeft = r.left();
  b.BoxTop = r.top();
  b.BoxRight = r.right();
  b.BoxBottom = r.bottom();
  b.FontName = "Noto Sans CJK JP";
  b.FontSize = 160;
  b.FontBold = 400;
  b.FontCharSet = 128;
  b.FontFamily = 17;
  b.ForeColor = 0;
  b.BackColor = 0xFFFFFF;
  b.AnnParam1 = 4;
  b.AnnParam2 = 3;
  b.BoxString = "メモ";
  return b;
}

}  // namespace viewertest
