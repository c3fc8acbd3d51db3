#include "shell/scan_registration.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"
#include "shell/kankyo_settings.h"
#include "shell/progress_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

namespace {

constexpr const char* kSeparator = "／";

void appendPart(QString& title, const QString& part) {
  if (!title.isEmpty()) title += QString::fromUtf8(kSeparator);
  title += part;
}

// Moves the pages that were not registered out of the scan folder, which
// the next scan empties, into a folder of their own under keepRoot; that
// folder, or empty when there was nothing to keep or it could not be made
// (then the pages stay where they are and the scan folder is not deleted).
std::string keepPages(const std::string& scanFolder, const std::vector<std::string>& pages,
                      const std::string& keepRoot, bool& keptAll) {
  keptAll = true;
  if (pages.empty()) return {};
  const QString stamp = platform::now().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  QDir root(QString::fromStdString(keepRoot));
  QString name = stamp;
  for (int k = 2; root.exists(name); ++k) name = stamp + QLatin1Char('-') + QString::number(k);
  if (!root.mkpath(name)) {
    keptAll = false;
    return scanFolder;
  }
  const QString target = root.filePath(name);
  const QDir source(QString::fromStdString(scanFolder));
  for (const std::string& page : pages) {
    const QString from = source.filePath(QString::fromStdString(page));
    if (!QFile::rename(from, QDir(target).filePath(QString::fromStdString(page)))) keptAll = false;
  }
  return keptAll ? target.toStdString() : scanFolder;
}

void tellKept(const std::string& folder, std::size_t count) {
  char text[1200];
  std::snprintf(text, sizeof text, "スキャンした %zu ページを登録できませんでした。\n画像は次のフォルダに残してあります:\n%s",
                count, folder.c_str());
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, "スキャン");
}

// The scan folder and everything in it.
void removeScanFolder(const std::string& scanFolder) {
  DeleteFolderTree(scanFolder);
  QDir().rmdir(QString::fromStdString(scanFolder));
}

// Keeps pages (all of them or the tail that was not registered), tells the
// user, and deletes the scan folder only when nothing is left in it.
std::string keepAndTell(const std::string& scanFolder, const std::vector<std::string>& pages,
                        const std::string& keepRoot) {
  bool keptAll = true;
  const std::string where = keepPages(scanFolder, pages, keepRoot, keptAll);
  if (!pages.empty()) tellKept(where, pages.size());
  if (keptAll) removeScanFolder(scanFolder);
  return where;
}

}  // namespace

ScanNaming ScanNamingOf(const KankyoSettings& settings) {
  return ScanNaming{settings.KankyoScanNameBase, settings.KankyoScanNameDate, settings.KankyoScanNameTime};
}

QString MakeScanTitle(const ScanNaming& naming, const QDateTime& when) {
  QString title = naming.base;
  const QDate d = when.date();
  const QTime t = when.time();
  if (naming.date == 1) {
    appendPart(title, QStringLiteral("%1年%2月%3日").arg(d.year()).arg(d.month()).arg(d.day()));
  } else if (naming.date == 2) {
    appendPart(title, QStringLiteral("%1月%2日").arg(d.month()).arg(d.day()));
  }
  if (naming.time == 1) {
    appendPart(title, QStringLiteral("%1時%2分").arg(t.hour()).arg(t.minute()));
  } else if (naming.time == 2) {
    appendPart(title, t.hour() < 12 ? QStringLiteral("午前%1時%2分").arg(t.hour()).arg(t.minute())
                                    : QStringLiteral("午後%1時%2分").arg(t.hour() - 12).arg(t.minute()));
  }
  // An entry without a title cannot be told from the others.
  if (title.isEmpty()) title = QString::fromUtf8(kScanFallbackTitle);
  return title;
}

std::vector<std::string> CollectScannedPages(const std::string& scanFolder) {
  static const QRegularExpression pageName(QStringLiteral("^([0-9]{1,9})\\.bmp$"),
                                           QRegularExpression::CaseInsensitiveOption);
  std::vector<std::pair<int, std::string>> found;
  const QDir dir(QString::fromStdString(scanFolder));
  for (const QString& name : dir.entryList(QDir::Files)) {
    const QRegularExpressionMatch m = pageName.match(name);
    if (!m.hasMatch()) continue;
    const int number = m.captured(1).toInt();
    if (number >= 1) found.emplace_back(number, name.toStdString());
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& [number, name] : found) names.push_back(std::move(name));
  return names;
}

ScanRegistrationResult ImportScannedPages(CFD3Doc& doc, const KankyoSettings& settings, const std::string& scanFolder,
                                          const std::string& keepRoot) {
  ScanRegistrationResult result;
  const std::vector<std::string> pages = CollectScannedPages(scanFolder);
  result.pages = static_cast<int>(pages.size());
  if (pages.empty()) {
    removeScanFolder(scanFolder);
    return result;
  }

  const std::string folder = platform::withoutTrailingSlash(doc.EntryList().GetFolderPath());
  int exists = 0;
  if (folder.empty() || doc.CheckFolderDatabase(folder, exists) != 0) {
    result.keptFolder = keepAndTell(scanFolder, pages, keepRoot);
    return result;
  }
  if (exists == 0) {
    FolderDatabase fresh;
    ShowLastDbError(fresh.InitFolder(platform::workFolder(platform::workfolder::kDb), folder), false);
  }
  if (!doc.OpenFolderDatabase(folder)) {
    platform::messageBox("パスが不正です。(DISI:01)");
    result.keptFolder = keepAndTell(scanFolder, pages, keepRoot);
    return result;
  }

  const std::string title = MakeScanTitle(ScanNamingOf(settings), platform::now()).toStdString();
  std::vector<std::string> titles;
  for (std::size_t i = 0; i < pages.size(); ++i)
    titles.push_back(pages.size() == 1 ? title + ".bmp" : title + "の" + std::to_string(i + 1) + "頁目.bmp");
  const std::vector<std::string> attached(pages.size());

  doc.SetImportSettings(ImportSettingsOf(settings));
  QWidget* mainWindow = doc.MainWindow();
  if (mainWindow) {
    mainWindow->raise();
    mainWindow->activateWindow();
  }
  std::size_t handled = pages.size();
  EntryRef entry;
  entry.No = 0;
  int code = -1;
  {
    auto progress = std::make_unique<ImportProgressDlg>();
    progress->Create(mainWindow);
    QCoreApplication::processEvents();
    progress->SetRange(0, static_cast<int>(pages.size()));
    ImportBatch batch(doc);
    batch.BeforeFile(platform::withTrailingSlash(folder));
    code = doc.ImportFileBatch(*progress, title, scanFolder, pages, attached, platform::withTrailingSlash(folder),
                               titles, &entry, std::nullopt, true, true, &handled);
    batch.AfterFile();
    batch.Commit();
    progress->Close();
  }
  if (mainWindow) {
    mainWindow->raise();
    mainWindow->activateWindow();
  }
  doc.LoadFolder(platform::withTrailingSlash(folder), 0);
  if (entry.No > 0) {
    result.registered = true;
    result.entry = entry;
    doc.SelectEntry(entry.Kind, entry.No);
  }
  if (code != 1 && handled < pages.size()) {
    const std::vector<std::string> rest(pages.begin() + static_cast<std::ptrdiff_t>(handled), pages.end());
    result.keptFolder = keepAndTell(scanFolder, rest, keepRoot);
    return result;
  }
  removeScanFolder(scanFolder);
  return result;
}
