#include "tests/support/test_env.h"
#include "tests/support/child_process.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace testsupport {
namespace {
std::unique_ptr<QTemporaryDir> gRoot;
}

void installPrivateEnvironment() {
  if (gRoot) return;
  gRoot = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/brindel-test-XXXXXX");
  const std::string root = gRoot->path().toStdString();
  for (const char* sub : {"home", "home/.config", "home/.local/share", "program"})
    QDir().mkpath(QString::fromStdString(platform::joinPath(root, sub)));
  setenv("HOME", platform::joinPath(root, "home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", platform::joinPath(root, "home/.config").c_str(), 1);
  setenv("XDG_DATA_HOME", platform::joinPath(root, "home/.local/share").c_str(), 1);
  setenv("BRINDEL_HOME", platform::joinPath(root, "program").c_str(), 1);
  const std::string runtime = platform::joinPath(root, "runtime");
  QDir().mkpath(QString::fromStdString(runtime));
  QFile::setPermissions(QString::fromStdString(runtime), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  setenv("TZ", "JST-9", 1);
  tzset();
  // SANE reads its configuration folder once per process: one for all tests.
  setenv("SANE_CONFIG_DIR", writeSaneTestConfig(platform::joinPath(root, "sane")).c_str(), 1);
}

std::string privateRoot() { return gRoot ? gRoot->path().toStdString() : std::string(); }

TempDir::TempDir() : dir_(QDir::tempPath() + "/brindel-tmp-XXXXXX") {
  path_ = dir_.path().toStdString();
}

std::string TempDir::file(std::string_view name) const { return platform::joinPath(path_, name); }

QProcessEnvironment programEnvironment(const TempDir& dir, const QString& loggingRules) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* sub : {"program", "config", "runtime"}) QDir().mkpath(QString::fromStdString(dir.file(sub)));
  QFile::setPermissions(QString::fromStdString(dir.file("runtime")),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  env.insert("BRINDEL_HOME", QString::fromStdString(dir.file("program")));
  env.insert("XDG_CONFIG_HOME", QString::fromStdString(dir.file("config")));
  env.insert("XDG_RUNTIME_DIR", QString::fromStdString(dir.file("runtime")));
  env.insert("BRINDEL_SAMPLES", QString::fromStdString(dir.file("samples")));
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("QT_LOGGING_RULES", loggingRules);
  env.insert("SANE_CONFIG_DIR", QString::fromStdString(writeSaneTestConfig(dir.file("sane"))));
  return env;
}

std::string writeSaneTestConfig(const std::string& folder) {
  QDir().mkpath(QString::fromStdString(folder));
  writeFile(folder + "/dll.conf", "test\n");
  writeFile(folder + "/test.conf",
            "number_of_devices 1\nmode Gray\ndepth 1\nresolution 50\nbr_x 20.0\nbr_y 20.0\n"
            "test-picture \"Grid\"\n");
  return folder;
}

bool writeFile(const std::string& path, std::string_view bytes) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
         static_cast<qint64>(bytes.size());
}

std::string readFile(const std::string& path) {
  QFile f(QString::fromStdString(path));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QByteArray data = f.readAll();
  return std::string(data.constData(), static_cast<size_t>(data.size()));
}

bool fileExists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

ChildEnd runInChild(const std::function<bool()>& work, unsigned safetySeconds) {
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child < 0) return ChildEnd::Hung;
  if (child == 0) {
    ::alarm(safetySeconds);
    const bool ok = work();
    std::fflush(nullptr);
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status) == 0 ? ChildEnd::True : ChildEnd::False;
  return ChildEnd::Hung;
}

}  // namespace testsupport
