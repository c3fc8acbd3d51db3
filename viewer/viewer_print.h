#pragma once
// Printing an image held in an imaging control, and printing the viewer's
// page at its physical size.
//
//   PrintBands       the strips of the target that the 128-line bands fill
//   PrintImage       bands first, the control's own drawing when they fail
//   PrintedSize      the page's size on a printer of the given pixels per inch
//   PrintViewerPage  one page: physical size, margins, turned to the paper

#include <QRect>
#include <QSize>

#include <utility>
#include <vector>

class CLead;
class QPainter;
class QPrinter;

inline constexpr int kPrintBandLines = 128;

// [first, last) target rows of each band of an image of imageHeight lines
// printed onto targetHeight rows; they cover the target exactly.
std::vector<std::pair<int, int>> PrintBands(int imageHeight, int targetHeight);

// Prints the control's image into left, top, width, height (device units).
// An image within 5 % of the target size is printed one to one. False when
// nothing could be printed (the user is told) and for an empty image.
bool PrintImage(QPainter& painter, CLead& ctrl, int left, int top, int width, int height);

// Printed size in printer pixels; a resolution of 0 counts as fallbackDpi.
QSize PrintedSize(QSize image, int xDpi, int yDpi, int printerXDpi, int printerYDpi, int fallbackDpi);

struct ViewerPrintSettings {
  double leftMarginMm = 0;
  double topMarginMm = 0;
  bool rotateToPaper = false;
  int fallbackDpi = 150;  // KankyoBmpRes
};

// Prints the control's page on the printer (which the caller has set up,
// e.g. through QPrintDialog). target, when given, receives the rectangle
// printed into.
bool PrintViewerPage(QPrinter& printer, CLead& ctrl, const ViewerPrintSettings& settings, QRect* target = nullptr);
