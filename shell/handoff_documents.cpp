#include "shell/handoff_documents.h"

#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/fd3_app.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/launch_program.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

constexpr short kFormatBmp = 6;
constexpr short kFormatTiff = 28;
constexpr short kPaletteModeUser = 0x10;

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

std::string withSlash(const std::string& folder) {
  return !folder.empty() && folder.back() == '/' ? folder : folder + "/";
}

// The file's own name with extension (".BMP") unless its last characters
// already are that extension in any case.
std::string targetName(const std::string& source, const std::string& folder, const std::string& extension) {
  const std::string name = platform::fileNameOf(source);
  std::string target = withSlash(folder) + name;
  const bool hasExtension = name.size() >= extension.size() &&
                            platform::asciiEqualsIgnoreCase(name.substr(name.size() - extension.size()), extension);
  if (!hasExtension) target = SplitFileTitle(target, extension);
  return exists(target) ? MakeUniqueFileName(target) : target;
}

// The list file's name: the given one, or a numbered one when that exists.
std::string freeName(const std::string& path) { return exists(path) ? MakeUniqueFileName(path) : path; }

void reportBrokenFile(const std::string& path) {
  platform::messageBox("エラーが発生しました。\nファイル「" + path + "」は壊れています。", platform::Buttons::Ok,
                       platform::Icon::Warning);
}

void reportNotFound(HandOffTarget target) {
  platform::messageBox(std::string(HandOffName(target)) + " を発見できませんでした。", platform::Buttons::Ok,
                       platform::Icon::Warning);
}

bool writeListOrTell(const std::string& path, const std::vector<std::string>& lines) {
  if (WriteHandOffList(path, lines)) return true;
  platform::messageBox("受け渡し用のリストファイル「" + path + "」を書き込めませんでした。\n処理を中断します。",
                       platform::Buttons::Ok, platform::Icon::Warning);
  return false;
}

CLead* imagingControl(CFD3Doc& document) {
  document.CreateImageCtrl(false);
  return document.imageCtrl();
}

std::string workFolderOf(CFD3Doc& document) {
  document.DeleteTempFolder();
  const std::string folder = document.GetWorkFolder();
  QDir().mkpath(QString::fromStdString(folder));
  return withSlash(folder);
}

// Black-and-white copies of the images; unreadable ones are left out silently.
std::vector<std::string> blackWhiteCopies(CLead* ctrl, const std::vector<std::string>& paths, const std::string& folder,
                                          const std::string& extension, short format) {
  std::vector<std::string> converted;
  if (!ctrl) return converted;
  for (const std::string& path : paths) {
    const std::string target = ConvertImageToBmp(*ctrl, path, folder, true, false, extension, format);
    if (!target.empty()) converted.push_back(target);
  }
  return converted;
}

bool startLauncher(const std::string& folder, const char* launcher, const std::string& listPath) {
  const QString dir = QString::fromStdString(platform::withoutTrailingSlash(folder));
  return StartProgram(dir + QLatin1Char('/') + QString::fromUtf8(launcher),
                      {QStringLiteral("@") + QString::fromStdString(listPath)}, dir);
}

}  // namespace

std::string ConvertedCopyName(const std::string& source, const std::string& folder, const std::string& extension) {
  return targetName(source, folder, extension);
}

int HandOffLimit(int ocrLevel) { return ocrLevel >= 7 ? 100 : 50; }

int HandOffLimitOf(HandOffTarget target, int ocrLevel) {
  switch (target) {
    case HandOffTarget::Lumora: return HandOffLimit(ocrLevel);
    case HandOffTarget::Cardello: return 100;
    case HandOffTarget::Penwise: return 0;
  }
  return 0;
}

const char* HandOffName(HandOffTarget target) {
  switch (target) {
    case HandOffTarget::Lumora: return "Lumora";
    case HandOffTarget::Cardello: return "Cardello";
    case HandOffTarget::Penwise: return "Penwise";
  }
  return "";
}

bool WriteHandOffList(const std::string& path, const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) {
    const std::optional<std::string> sjis = platform::toCp932(line);
    if (!sjis) return false;
    bytes += *sjis + "\r\n";
  }
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  if (file.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

std::string ConvertImageToBmp(CLead& ctrl, const std::string& source, const std::string& folder, bool blackWhite,
                              bool reportBroken, const std::string& extension, short format) {
  const auto broken = [&] {
    if (reportBroken) reportBrokenFile(source);
    return std::string();
  };
  if (!blackWhite) {
    if (ctrl.GetFileInfo(source, 1, 0) != 0) return broken();
    if (ctrl.GetInfoFormat() == kFormatBmp && format == kFormatBmp) {
      const std::string target = targetName(source, folder, extension);
      return QFile::copy(QString::fromStdString(source), QString::fromStdString(target)) ? target : broken();
    }
  }
  if (ctrl.LoadFile(source, 0, 1, 1) != 0) return broken();
  short bits = 1;
  if (blackWhite) {
    ctrl.SetPaletteEntry(0, 0x000000);
    ctrl.SetPaletteEntry(1, 0xFFFFFF);
    if (ctrl.ReduceColors(1, kPaletteModeUser, 0, 2) != 0) {
      ctrl.SetImageHandle(0);
      return broken();
    }
  } else {
    bits = ctrl.GetDispid12();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) bits = 8;
  }
  const std::string target = targetName(source, folder, extension);
  const short saved = ctrl.SaveFile(target, format, bits, 0, 0);
  ctrl.SetImageHandle(0);
  return saved == 0 ? target : broken();
}

bool SendToCardello(CFD3Doc& document, const std::vector<std::string>& paths) {
  std::string appFolder;
  const int level = CFD3App::FindCardApplication(&appFolder);
  if (level == 0) {
    reportNotFound(HandOffTarget::Cardello);
    return false;
  }
  const std::string work = workFolderOf(document);
  const std::vector<std::string> converted = level >= 2
                                                 ? blackWhiteCopies(imagingControl(document), paths, work, ".TIF", kFormatTiff)
                                                 : blackWhiteCopies(imagingControl(document), paths, work, ".BMP", kFormatBmp);
  const std::string list = freeName(work + "CarFile.nam");
  if (!writeListOrTell(list, converted)) return false;
  return startLauncher(appFolder, kCardLauncher, list);
}

bool SendToLumora(CFD3Doc& document, const std::vector<std::string>& paths) {
  std::string instPath;
  if (CFD3App::FindOcrApplication(&instPath) == 0) {
    reportNotFound(HandOffTarget::Lumora);
    return false;
  }
  // The OCR application reads the images prepared in "ocrin", emptied first.
  const std::string ocrIn = withSlash(platform::workFolder(platform::workfolder::kOcrIn));
  DeleteFolderTree(ocrIn);
  QDir().mkpath(QString::fromStdString(ocrIn));
  std::vector<std::string> converted;
  if (CLead* ctrl = imagingControl(document)) {
    for (const std::string& path : paths) {
      const std::string target = ConvertImageToBmp(*ctrl, path, ocrIn, false, false);
      if (!target.empty()) converted.push_back(target);
    }
  }
  const std::string list = freeName(ocrIn + "LumFile.nam");
  if (!writeListOrTell(list, converted)) return false;
  return startLauncher(platform::programFolder(), kOcrLauncher, list);
}

bool SendToPenwise(CFD3Doc& document, const std::vector<std::string>& paths, const std::string& programPath) {
  if (programPath.empty() || !QFileInfo(QString::fromStdString(programPath)).isFile()) {
    reportNotFound(HandOffTarget::Penwise);
    return false;
  }
  const std::string appFolder = withSlash(QFileInfo(QString::fromStdString(programPath)).absolutePath().toStdString());
  if (!exists(appFolder + kHandwritingLauncher))
    QFile::copy(QString::fromStdString(platform::joinPath(platform::programFolder(), kHandwritingLauncher)),
                QString::fromStdString(appFolder + kHandwritingLauncher));
  const std::string work = workFolderOf(document);
  const std::vector<std::string> converted = blackWhiteCopies(imagingControl(document), paths, work, ".BMP", kFormatBmp);
  const std::string list = freeName(work + "PNWFile.nam");
  if (!writeListOrTell(list, converted)) return false;
  return startLauncher(appFolder, kHandwritingLauncher, list);
}
