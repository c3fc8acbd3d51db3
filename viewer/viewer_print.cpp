#include "viewer/viewer_print.h"

#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>

#include <cmath>

std::vector<std::pair<int, int>> PrintBands(int imageHeight, int targetHeight) {
  std::vector<std::pair<int, int>> bands;
  if (imageHeight <= 0 || targetHeight <= 0) return bands;
  int done = 0;
  int previousEnd = 0;
  while (done < imageHeight) {
    const int lines = std::min(kPrintBandLines, imageHeight - done);
    done += lines;
    const int end = std::min(
        targetHeight, static_cast<int>(std::lround(static_cast<double>(done) / imageHeight * targetHeight)));
    bands.emplace_back(previousEnd, end);
    previousEnd = end;
  }
  return bands;
}

namespace {

bool printBands(QPainter& painter, const QImage& image, const QRect& target) {
  if (image.isNull() || image.height() <= 0 || !painter.isActive()) return false;
  const auto bands = PrintBands(image.height(), target.height());
  int line = 0;
  for (const auto& [first, last] : bands) {
    const int lines = std::min(kPrintBandLines, image.height() - line);
    const QRect strip(target.left(), target.top() + first, target.width(), last - first);
    if (strip.height() > 0) painter.drawImage(strip, image, QRect(0, line, image.width(), lines));
    line += lines;
  }
  return true;
}

}  // namespace

bool PrintImage(QPainter& painter, CLead& ctrl, int left, int top, int width, int height) {
  const int imageWidth = static_cast<int>(ctrl.GetImageWidth());
  const int imageHeight = static_cast<int>(ctrl.GetImageHeight());
  const double fx = width != 0 ? static_cast<double>(imageWidth) / width : 1.0;
  const double fy = height != 0 ? static_cast<double>(imageHeight) / height : 1.0;
  if (fx > 0.95 && fx < 1.05 && fy > 0.95 && fy < 1.05) {
    width = imageWidth;
    height = imageHeight;
  }
  if (printBands(painter, ctrl.heldImage(), QRect(left, top, width, height))) return true;
  if (imageHeight > 0 && width > 0 && height > 0 &&
      ctrl.PrintImage(&painter, static_cast<float>(left), static_cast<float>(top), static_cast<float>(width),
                      static_cast<float>(height)) == 0)
    return true;
  platform::messageBox("印刷に失敗しました。", platform::Buttons::Ok, platform::Icon::Warning);
  return false;
}

QSize PrintedSize(QSize image, int xDpi, int yDpi, int printerXDpi, int printerYDpi, int fallbackDpi) {
  if (fallbackDpi <= 0) fallbackDpi = 150;
  if (xDpi <= 0) xDpi = fallbackDpi;
  if (yDpi <= 0) yDpi = fallbackDpi;
  return QSize(static_cast<int>(static_cast<double>(image.width()) / xDpi * printerXDpi + 0.5),
               static_cast<int>(static_cast<double>(image.height()) / yDpi * printerYDpi + 0.5));
}

bool PrintViewerPage(QPrinter& printer, CLead& ctrl, const ViewerPrintSettings& settings, QRect* target) {
  if (!ctrl.holdsImage()) return false;
  const QSize image(static_cast<int>(ctrl.GetImageWidth()), static_cast<int>(ctrl.GetImageHeight()));
  const int dpiX = printer.logicalDpiX();
  const int dpiY = printer.logicalDpiY();
  QSize printed = PrintedSize(image, ctrl.GetXResolution(), ctrl.GetYResolution(), dpiX, dpiY, settings.fallbackDpi);
  const QRect paper = printer.pageLayout().paintRectPixels(printer.resolution());
  // A copy turned to the paper; the shown page is never touched.
  CImageCtrl turned;
  CLead* source = &ctrl;
  if (settings.rotateToPaper && (image.width() > image.height()) != (paper.width() > paper.height())) {
    turned.SetImageHandle(ctrl.GetImageHandle());
    if (turned.RotateDegrees(90) == 0) {
      source = &turned;
      printed.transpose();
    }
  }
  QPainter painter;
  if (!painter.begin(&printer)) {
    platform::messageBox("印刷中にエラーが発生しました。", platform::Buttons::Ok, platform::Icon::Warning, "印刷");
    return false;
  }
  const int left = static_cast<int>(settings.leftMarginMm * dpiX / 25.4);
  const int top = static_cast<int>(settings.topMarginMm * dpiY / 25.4);
  if (target) *target = QRect(QPoint(left, top), printed);
  const bool ok = PrintImage(painter, *source, left, top, printed.width(), printed.height());
  painter.end();
  turned.SetImageHandle(0);
  return ok;
}
