#pragma once
// Pages for the viewer's tests and benchmark: a Japanese text page drawn in
// Noto Sans CJK, written in the formats the viewer opens.

#include <QImage>

#include <string>
#include <vector>

namespace viewertest {

// A white page of the given size with a heading and lines of Japanese text.
QImage japanesePage(int width, int height);
// 1-bit TIFF pages (G4 or LZW), one file; every page carries dpi.
bool writeTiff(const std::vector<QImage>& pages, const std::string& path, int dpi, bool g4);
// PNG, JPEG or BMP through Qt; dpi 0 leaves the resolution unstated.
bool writeQtImage(const QImage& page, const std::string& path, const char* format, int dpi);

}  // namespace viewertest
