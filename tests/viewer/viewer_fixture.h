#pragma once
// Pages for the viewer's tests and benchmark: a Japanese text page drawn in
// Noto Sans CJK, written in the formats the viewer opens.

#include "catalogue/ann_box.h"
#include "catalogue/catalogue_records.h"

#include <QImage>
#include <QRect>

#include <string>
#include <vector>

namespace viewertest {

// A white page of the given size with a heading and lines of Japanese text.
QImage japanesePage(int width, int height);
// 1-bit TIFF pages (G4 or LZW), one file; every page carries dpi.
bool writeTiff(const std::vector<QImage>& pages, const std::string& path, int dpi, bool g4);
// PNG, JPEG or BMP through Qt; dpi 0 leaves the resolution unstated.
bool writeQtImage(const QImage& page, const std::string& path, const char* format, int dpi);

// The catalogue record of an image page (item 1, "page.png" by default).
ItemInfo pageItem(int itemNo = 1, const char* title = "page", const char* ext = "png");
// An annotation box of a kind over r (image pixels), with the defaults of a
// new box, the text "メモ" and an installed Japanese face.
AnnBox annBox(int type, const QRect& r);

}  // namespace viewertest
