#include "platform/program_folder.h"

#include "platform/paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
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

bool makePrivateFolder(const std::string& path) {
  if (path.empty()) return false;
  // Each missing folder on the way is made 0700 at once, so that no other
  // user can look in between its making and a later chmod.
  std::string partial;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    partial = path.substr(0, slash);
    if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
    start = slash + 1;
  }
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  // A folder of ours made by an earlier version under the umask is closed as well.
  if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) ::chmod(path.c_str(), st.st_mode & 0700);
  return true;
}

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
  // Catalogues, settings and work files hold the user's data: the program
  // folder and the settings folder are the user's alone.
  if (!makePrivateFolder(program)) return fail("cannot create " + program);
  if (!makePrivateFolder(configFolder())) return fail("cannot create " + configFolder());
  for (std::string_view name :
       {workfolder::kDb, workfolder::kTextLib, workfolder::kTmp, workfolder::kScanOut,
        workfolder::kScanTmp, workfolder::kOcrIn, workfolder::kOcrOcx}) {
    if (!QDir().mkpath(QString::fromStdString(joinPath(program, name))))
      return fail("cannot create " + joinPath(program, name));
  }

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
