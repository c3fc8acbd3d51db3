#include "platform/program_folder.h"

#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdlib>
#include <unistd.h>

namespace platform {
namespace {

std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string homeFolder() {
  std::string home = env("HOME");
  return home.empty() ? QDir::homePath().toStdString() : home;
}

std::string executableFolder() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  buffer[n] = '\0';
  return parentPath(buffer);
}

}  // namespace

std::string programFolder() {
  std::string home = env("BRINDEL_HOME");
  if (!home.empty()) return withoutTrailingSlash(home);
  std::string data = env("XDG_DATA_HOME");
  if (data.empty()) data = joinPath(homeFolder(), ".local/share");
  return joinPath(data, "brindel");
}

std::string configFolder() {
  std::string config = env("XDG_CONFIG_HOME");
  if (config.empty()) config = joinPath(homeFolder(), ".config");
  return joinPath(config, "Velnor");
}

std::string resourceFolder() {
  std::string share = env("BRINDEL_SHARE");
  if (!share.empty()) return withoutTrailingSlash(share);
  return joinPath(parentPath(executableFolder()), "share/brindel");
}

std::string programIniPath() { return joinPath(configFolder(), "brindel.ini"); }

std::string workFolder(std::string_view name) { return joinPath(programFolder(), name); }

std::string samplesFolder() {
  const std::string own = env("BRINDEL_SAMPLES");
  if (!own.empty()) return withoutTrailingSlash(own);
  std::string documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
  if (documents.empty()) documents = joinPath(homeFolder(), "Documents");
  return joinPath(documents, "ブリンデル");
}

bool ensureProgramFolder(std::string* error) {
  auto fail = [error](const std::string& message) {
    if (error) *error = message;
    return false;
  };
  const std::string program = programFolder();
  for (std::string_view name :
       {workfolder::kDb, workfolder::kTextLib, workfolder::kTmp, workfolder::kScanOut,
        workfolder::kScanTmp, workfolder::kOcrIn, workfolder::kOcrOcx}) {
    if (!QDir().mkpath(QString::fromStdString(joinPath(program, name))))
      return fail("cannot create " + joinPath(program, name));
  }
  if (!QDir().mkpath(QString::fromStdString(configFolder())))
    return fail("cannot create " + configFolder());

  const QString source = QString::fromStdString(resourceFolder());
  if (!QFileInfo(source).isDir()) return true;  // nothing installed to seed from
  const QDir sourceDir(source);
  const QDir target(QString::fromStdString(program));
  QDirIterator it(source, QDir::Files | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString from = it.next();
    const QString relative = sourceDir.relativeFilePath(from);
    const QString to = target.filePath(relative);
    if (QFileInfo::exists(to)) continue;
    if (!QDir().mkpath(QFileInfo(to).path()))
      return fail("cannot create " + QFileInfo(to).path().toStdString());
    QFile::remove(to + ".part");
    if (!QFile::copy(from, to + ".part") || !QFile::rename(to + ".part", to))
      return fail("cannot copy " + from.toStdString() + " to " + to.toStdString());
    QFile(to).setPermissions(QFile(to).permissions() | QFileDevice::WriteOwner);
  }
  return true;
}

}  // namespace platform
