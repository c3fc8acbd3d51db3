#include "shell/app_bar.h"

#include "shell/fd3_app.h"
#include "shell/launch_program.h"

#include "platform/profile.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>

#include <algorithm>

namespace {

std::string key(const char* name, int slot) { return std::string(name) + std::to_string(slot); }

// The desktop entries' folders, most specific first.
QStringList desktopEntryFolders() {
  return QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation);
}

// The desktop entry whose file name or Exec program is `name`.
QString desktopEntryOf(const QString& name) {
  const QString base = QFileInfo(name).fileName();
  for (const QString& folder : desktopEntryFolders()) {
    const QString direct = folder + QLatin1Char('/') + base + QStringLiteral(".desktop");
    if (QFile::exists(direct)) return direct;
  }
  return {};
}

QString desktopValue(const QString& entryPath, const QString& keyName) {
  QFile file(entryPath);
  if (!file.open(QIODevice::ReadOnly)) return {};
  bool inEntry = false;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.startsWith(QLatin1Char('['))) inEntry = line == QStringLiteral("[Desktop Entry]");
    else if (inEntry && line.startsWith(keyName + QLatin1Char('='))) return line.mid(keyName.size() + 1).trimmed();
  }
  return {};
}

bool isExecutableFile(const QString& path) {
  const QFileInfo info(path);
  return info.isFile() && info.isExecutable();
}

}  // namespace

std::vector<AppRegistration> ReadRegistrations(const std::string& iniPath) {
  std::vector<AppRegistration> entries;
  for (int n = 0; n < kMaxRegisteredApplications; ++n) {
    const std::string menu = platform::getProfileString(iniPath, kProductSection, key("MenuString", n), "", 260);
    if (menu.empty()) break;
    AppRegistration entry;
    entry.menuText = QString::fromStdString(menu);
    entry.programPath = QString::fromStdString(platform::getProfileString(iniPath, kProductSection, key("AppName", n), ""));
    const int code = platform::getProfileInt(iniPath, kProductSection, key("DropImage", n), kEmptySlotCode);
    entry.code = code == kEmptySlotCode ? kDefaultLaunchCode : code;
    entries.push_back(entry);
  }
  return entries;
}

bool WriteRegistrations(const std::string& iniPath, const std::vector<AppRegistration>& entries) {
  bool ok = true;
  for (int n = 0; n < kMaxRegisteredApplications; ++n) {
    const bool used = static_cast<std::size_t>(n) < entries.size();
    const AppRegistration empty{QString(), QString(), kEmptySlotCode};
    const AppRegistration& e = used ? entries[static_cast<std::size_t>(n)] : empty;
    ok = platform::writeProfileString(iniPath, kProductSection, key("MenuString", n), e.menuText.toStdString()) && ok;
    ok = platform::writeProfileString(iniPath, kProductSection, key("AppName", n), e.programPath.toStdString()) && ok;
    ok = platform::writeProfileString(iniPath, kProductSection, key("DropImage", n), std::to_string(e.code)) && ok;
  }
  return ok;
}

QStringList DesktopApplicationFolders() { return desktopEntryFolders(); }

std::vector<AppRegistration> ReadDesktopApplications(const QStringList& folders,
                                                     const std::vector<AppRegistration>& taken) {
  std::vector<AppRegistration> offers;
  const auto isTaken = [&](const QString& name) {
    const auto same = [&](const AppRegistration& e) { return e.menuText == name; };
    return std::any_of(taken.begin(), taken.end(), same) || std::any_of(offers.begin(), offers.end(), same);
  };
  for (const QString& folder : folders) {
    const QDir dir(folder);
    for (const QString& file : dir.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name)) {
      const QString entry = dir.filePath(file);
      if (desktopValue(entry, QStringLiteral("Type")) != QStringLiteral("Application") ||
          desktopValue(entry, QStringLiteral("NoDisplay")) == QStringLiteral("true") ||
          desktopValue(entry, QStringLiteral("Hidden")) == QStringLiteral("true"))
        continue;
      QString name = desktopValue(entry, QStringLiteral("Name[ja]"));
      if (name.isEmpty()) name = desktopValue(entry, QStringLiteral("Name"));
      const QString exec = desktopValue(entry, QStringLiteral("Exec"));
      const QStringList words = QProcess::splitCommand(exec);
      if (name.isEmpty() || words.isEmpty() || isTaken(name)) continue;
      const QString program = FindProgram(words.front());
      if (program.isEmpty()) continue;
      // %F and %U take several files at once, %f and %u one file per start.
      const bool oneFile = exec.contains(QStringLiteral("%f")) || exec.contains(QStringLiteral("%u"));
      offers.push_back({name, program, MakeLaunchCode(oneFile ? 1 : 2, 0)});
    }
  }
  std::sort(offers.begin(), offers.end(),
            [](const AppRegistration& a, const AppRegistration& b) { return a.menuText < b.menuText; });
  return offers;
}

std::vector<AppRegistration> ReadCandidates(const QString& appRegPath, const std::vector<AppRegistration>& registered) {
  std::vector<AppRegistration> candidates;
  QFile file(appRegPath);
  if (!file.open(QIODevice::ReadOnly)) return candidates;
  const QByteArray data = file.readAll();
  qsizetype pos = 0;
  for (;;) {
    const qsizetype cr = data.indexOf('\r', pos);
    if (cr < 0) break;
    const QString line = QString::fromUtf8(data.mid(pos, cr - pos));
    pos = cr + 1;
    if (pos < data.size() && data[pos] == '\n') ++pos;
    const qsizetype first = line.indexOf(QLatin1Char(','));
    const qsizetype second = first < 0 ? -1 : line.indexOf(QLatin1Char(','), first + 1);
    if (second < 0) break;
    AppRegistration entry{line.left(first), line.mid(first + 1, second - first - 1), line.mid(second + 1).trimmed().toInt()};
    const bool known = std::any_of(registered.begin(), registered.end(),
                                   [&](const AppRegistration& r) { return r.menuText == entry.menuText; });
    if (!known) candidates.push_back(entry);
  }
  return candidates;
}

QString FindProgram(const QString& program) {
  if (program.isEmpty()) return {};
  if (program.contains(QLatin1Char('/'))) return isExecutableFile(program) ? QFileInfo(program).absoluteFilePath() : QString();
  const QString onPath = QStandardPaths::findExecutable(program);
  if (!onPath.isEmpty()) return onPath;
  // An installed application named by its desktop entry: its Exec program.
  const QString entry = desktopEntryOf(program);
  if (entry.isEmpty()) return {};
  const QString exec = desktopValue(entry, QStringLiteral("Exec")).section(QLatin1Char(' '), 0, 0);
  if (exec.isEmpty() || exec == program) return {};
  return exec.contains(QLatin1Char('/')) ? (isExecutableFile(exec) ? exec : QString())
                                         : QStandardPaths::findExecutable(exec);
}

QIcon IconOfRegistration(const AppRegistration& entry) {
  const QIcon generic = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
  QString program;
  if (entry.code == kOcrApplicationCode) {
    std::string folder;
    if (CFD3App::FindOcrApplication(&folder) > 0) program = QString::fromStdString(folder) + QStringLiteral("/lumora.exe");
  } else if (entry.code >= 0) {
    program = FindProgram(entry.programPath);
  }
  if (program.isEmpty()) return generic;
  const QString desktop = desktopEntryOf(program);
  if (!desktop.isEmpty()) {
    const QString iconName = desktopValue(desktop, QStringLiteral("Icon"));
    if (!iconName.isEmpty()) {
      const QIcon themed = QFileInfo(iconName).isAbsolute() ? QIcon(iconName) : QIcon::fromTheme(iconName);
      if (!themed.isNull()) return themed;
    }
  }
  const QIcon fileIcon = QFileIconProvider().icon(QFileInfo(program));
  return fileIcon.isNull() ? generic : fileIcon;
}

std::vector<QStringList> LaunchArgumentLists(int code, const QStringList& files) {
  std::vector<QStringList> starts;
  switch (LaunchMode(code)) {
    case 0:
      if (files.size() <= 1) starts.push_back(files);
      break;
    case 1:
      if (files.isEmpty()) starts.push_back({});
      for (const QString& file : files) starts.push_back({file});
      break;
    default:
      starts.push_back(files);
      break;
  }
  return starts;
}

bool StartRegisteredApplication(const AppRegistration& entry, const QStringList& files, const ProgramStarter& starter) {
  // The program's own entries name no program of the user's: nothing stored
  // is started for them.
  if (entry.code < 0) return false;
  const QString program = FindProgram(entry.programPath);
  if (program.isEmpty()) return false;
  const std::vector<QStringList> starts = LaunchArgumentLists(entry.code, files);
  if (starts.empty()) return false;
  bool ok = true;
  for (const QStringList& arguments : starts)
    ok = (starter ? starter(program, arguments) : StartProgram(program, arguments, QFileInfo(program).absolutePath())) && ok;
  return ok;
}
