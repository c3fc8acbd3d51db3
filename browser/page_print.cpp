#include "browser/page_print.h"

#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"
#include "shell/kankyo_settings.h"
#include "shell/lead.h"

#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>

namespace {

constexpr short kFormatBmp = 6;
constexpr int kBmpDefaultDpi = 150;
// Used for an image that states no resolution at all.
constexpr int kFallbackDpi = 150;

QString extensionOf(const std::string& path) {
  const QString p = QString::fromStdString(path);
  const int slash = p.lastIndexOf(u'/');
  const int dot = p.lastIndexOf(u'.');
  if (slash < 0 || dot < slash) return {};
  return p.mid(dot + 1);
}

bool listed(const QString& ext, const QStringList& patterns) {
  for (const QString& pattern : patterns)
    if (pattern.mid(2).toUpper() == ext.toUpper()) return true;
  return false;
}

void printError() {
  platform::messageBox("印刷中にエラーが発生しました。", platform::Buttons::Ok, platform::Icon::Warning, "印刷");
}

}  // namespace

PagePrintSettings PrintSettingsFrom(const KankyoSettings& settings) {
  PagePrintSettings print;
  print.printImages = settings.KankyoPrintImage != 0;
  print.printListed = settings.KankyoPrintUserSelect != 0;
  print.patterns = settings.printPatterns;
  print.rotateToPaper = settings.KankyoPrintRotate == 1;
  print.bmpResolution = settings.KankyoBmpRes;
  print.marginXMm = settings.KankyoPrintSpaceX;
  print.marginYMm = settings.KankyoPrintSpaceY;
  return print;
}

bool IsPagePrintable(bool image, const std::string& ext, const PagePrintSettings& settings) {
  if (image) return settings.printImages;
  return settings.printListed && listed(QString::fromStdString(ext), settings.patterns);
}

PrintCommandRunner DefaultPrintCommand() {
  return [](const QString& program, const QStringList& arguments, const QString& folder) {
    const QString found = QStandardPaths::findExecutable(program);
    return !found.isEmpty() && QProcess::startDetached(found, arguments, folder);
  };
}

void ShellPrintFile(const std::string& path, const QStringList& patterns, const PrintCommandRunner& run) {
  const QString ext = extensionOf(path);
  if (ext.isNull() || !listed(ext, patterns)) return;
  const QFileInfo file(QString::fromStdString(path));
  // The path is absolute, so no file name is ever read as an option.
  if (!run || !run(QStringLiteral("lp"), {file.absoluteFilePath()}, file.absolutePath()))
    platform::messageBox("このファイルはアプリケーションに関連付けられていないので印刷できません\n" + path,
                         platform::Buttons::Ok, platform::Icon::Warning, "印刷");
}

bool PrintImagePage(QPrinter& printer, QPainter& painter, CLead& ctrl, const std::string& path,
                    const PagePrintSettings& settings, const std::function<bool()>& startSheet) {
  ctrl.SetImageHandle(0);
  if (!QFileInfo::exists(QString::fromStdString(path)) || ctrl.LoadFile(path, 0, 1, 1) != 0) return false;
  if (ctrl.GetInfoFormat() == kFormatBmp && ctrl.GetXResolution() == kBmpDefaultDpi && GetBmpResolution(path) == 0) {
    ctrl.SetXResolution(static_cast<short>(settings.bmpResolution));
    ctrl.SetYResolution(static_cast<short>(settings.bmpResolution));
  }
  const int fallback = settings.bmpResolution > 0 ? settings.bmpResolution : kFallbackDpi;
  const int xDpi = ctrl.GetXResolution() > 0 ? ctrl.GetXResolution() : fallback;
  const int yDpi = ctrl.GetYResolution() > 0 ? ctrl.GetYResolution() : fallback;
  const int printerDpi = printer.resolution();
  int width = static_cast<int>(ctrl.GetImageWidth() * printerDpi / xDpi + 0.5);
  int height = static_cast<int>(ctrl.GetImageHeight() * printerDpi / yDpi + 0.5);
  const QRect page = printer.pageLayout().fullRectPixels(printerDpi);
  if (page.isEmpty() || !startSheet() || !painter.isActive()) {
    printError();
    ctrl.SetImageHandle(0);
    return false;
  }
  // Turned to the paper when it lies the other way (hits: only when it does
  // not fit across).
  const bool landscapeImage = width > height, landscapePage = page.width() > page.height();
  const int shortSide = std::min(page.width(), page.height());
  const bool tooWide = std::min(width, height) <= shortSide && (landscapeImage ? width : height) > shortSide;
  if (settings.rotateToPaper && landscapeImage != landscapePage && (settings.turnWheneverCrosswise || tooWide) &&
      ctrl.RotateDegrees(90) == 0)
    std::swap(width, height);
  const float left = static_cast<float>(settings.marginXMm * printerDpi / 25.4);
  const float top = static_cast<float>(settings.marginYMm * printerDpi / 25.4);
  const bool ok =
      ctrl.PrintImage(&painter, left, top, static_cast<float>(width), static_cast<float>(height)) == 0;
  ctrl.SetImageHandle(0);
  return ok;
}

int PrintPageRange(QPrinter& printer, const std::vector<PrintListEntry>& pages, int fromPage, int toPage,
                   const PagePrintSettings& settings, CLead& ctrl, const PrintCommandRunner& run) {
  const int count = static_cast<int>(pages.size());
  if (count == 0) return 0;
  fromPage = std::clamp(fromPage, 1, count);
  toPage = std::clamp(toPage, 1, count);
  const int step = fromPage <= toPage ? 1 : -1;
  QPainter painter;
  int sheets = 0;
  for (int page = fromPage;; page += step) {
    const PrintListEntry& p = pages[static_cast<std::size_t>(page - 1)];
    if (p.image && settings.printImages) {
      const auto startSheet = [&] { return painter.isActive() ? printer.newPage() : painter.begin(&printer); };
      if (PrintImagePage(printer, painter, ctrl, p.path, settings, startSheet)) ++sheets;
    } else if (!p.image && settings.printListed) {
      ShellPrintFile(p.path, settings.patterns, run);
    }
    if (page == toPage) break;
  }
  if (painter.isActive()) painter.end();
  return sheets;
}

int PrintList(const std::vector<PrintListEntry>& pages, const PagePrintSettings& settings,
              const std::function<bool(QPrinter&)>& setup, const PrintCommandRunner& run) {
  if (pages.empty()) return 0;
  QPrinter printer(QPrinter::HighResolution);
  printer.setFromTo(1, static_cast<int>(pages.size()));
  if (!setup || !setup(printer)) return 0;
  int from = 1, to = static_cast<int>(pages.size());
  if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
    from = printer.fromPage();
    to = printer.toPage() > 0 ? printer.toPage() : to;
  }
  CImageCtrl ctrl;
  return PrintPageRange(printer, pages, from, to, settings, ctrl, run);
}
