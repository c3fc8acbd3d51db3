#pragma once
// Files of every kind the import meets, made in the test: pictures through
// Qt and ImageMagick, a multi-page G4 TIFF through libtiff, a web page with
// two pictures, a mail, a compound-file ".doc", and a file of no known kind.

#include "tests/support/test_env.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <tiffio.h>

#include <string>
#include <vector>

namespace importtest {

// A drawn page: a coloured band and a few lines of "text".
inline QImage page(int width, int height, QColor ink) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.fillRect(width / 12, height / 12, width * 5 / 6, height / 10, ink);
  painter.setPen(QPen(ink.darker(), std::max(1, width / 200)));
  for (int y = height / 4; y < height * 9 / 10; y += std::max(4, height / 30))
    painter.drawLine(width / 10, y, width * 9 / 10 - (y % 37), y);
  painter.end();
  return image;
}

// A 1-bit G4 TIFF of `pages` pages, width x height pixels at dpi.
inline bool writeG4Tiff(const std::string& path, int pages, int width = 1000, int height = 1400, int dpi = 300) {
  TIFF* tif = TIFFOpen(path.c_str(), "w");
  if (!tif) return false;
  const int rowBytes = (width + 7) / 8;
  std::vector<unsigned char> row(static_cast<std::size_t>(rowBytes));
  for (int p = 0; p < pages; ++p) {
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpi));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (pages > 1) {
      TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
      TIFFSetField(tif, TIFFTAG_PAGENUMBER, p, pages);
    }
    for (int y = 0; y < height; ++y) {
      std::fill(row.begin(), row.end(), 0);
      // ruled "text" lines and a frame that differs per page
      if ((y / 12) % 4 == 1 && y > height / 8 && y < height * 7 / 8)
        for (int x = width / 10 / 8; x < (width * 8 / 10 - p * 40) / 8; ++x) row[static_cast<std::size_t>(x)] = 0xFF;
      if (y < 20 + p * 10) row[0] = 0xFF;
      if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) {
        TIFFClose(tif);
        return false;
      }
    }
    if (!TIFFWriteDirectory(tif)) {
      TIFFClose(tif);
      return false;
    }
  }
  TIFFClose(tif);
  return true;
}

inline bool writeImage(const std::string& path, const char* format, QColor ink) {
  return page(240, 320, ink).save(QString::fromStdString(path), format);
}

// page.htm with two local pictures beside it.
inline bool writeHtmlPage(const std::string& folder, const std::string& name = "page.htm") {
  return page(80, 60, QColor(200, 40, 40)).save(QString::fromStdString(folder + "/red.png"), "PNG") &&
         page(80, 60, QColor(40, 40, 200)).save(QString::fromStdString(folder + "/blue.png"), "PNG") &&
         testsupport::writeFile(folder + "/" + name,
                                "<html><head><meta charset=\"utf-8\"><title>お知らせ</title></head><body>"
                                "<h1>社内のお知らせ</h1><p>来週の会議は第二会議室です。</p>"
                                "<img src=\"red.png\"> <img src=\"blue.png\"></body></html>");
}

inline bool writeMail(const std::string& path) {
  return testsupport::writeFile(path,
                                "From: sato@example.jp\r\nTo: ito@example.jp\r\nSubject: test\r\n"
                                "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                "Content-Transfer-Encoding: 8bit\r\n\r\n見積書を送ります。\r\n");
}

// The opening of an OLE compound file, as a Word document has.
inline bool writeCompoundDoc(const std::string& path) {
  std::string bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
  bytes.resize(1024, '\0');
  return testsupport::writeFile(path, bytes);
}

}  // namespace importtest
