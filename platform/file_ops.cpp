#include "platform/file_ops.h"

#include "platform/paths.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

int renameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  const int error = errno;
  if (error != EINVAL && error != ENOSYS) return error;
  // File systems without the flag: a hard link fails on an existing target
  // just as atomically; then the old name goes.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  if (::unlink(from.c_str()) != 0) {
    const int unlinkError = errno;
    ::unlink(to.c_str());
    return unlinkError;
  }
  return 0;
}

int copyFileReplacing(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return errno;
  struct stat st {};
  if (::fstat(in, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(in);
    return error;
  }
  std::string temp = joinPath(parentPath(to), "." + fileNameOf(to) + ".XXXXXX");
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    const int error = errno;
    ::close(in);
    return error;
  }
  // mkostemp makes the file 0600; give it what a newly created file gets.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(out, 0666 & ~mask);

  int error = 0;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = ::write(out, buffer + done, static_cast<size_t>(got - done));
      if (put < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      done += put;
    }
    if (error) break;
  }
  if (!error && ::fsync(out) != 0) error = errno;
  if (::close(out) != 0 && !error) error = errno;
  ::close(in);
  if (!error && ::rename(temp.c_str(), to.c_str()) != 0) error = errno;
  if (error) ::unlink(temp.c_str());
  return error;
}

std::optional<std::uint64_t> freeDiskBytes(const std::string& path) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(vfs.f_bavail) * static_cast<std::uint64_t>(vfs.f_frsize);
}

bool moveToTrash(const std::string& path) {
  const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (!dataHome.isEmpty()) {
    const QString trash = dataHome + "/Trash";
    const bool fresh = !QDir(trash).exists();
    QDir().mkpath(trash + "/files");
    QDir().mkpath(trash + "/info");
    // A trash folder is the user's alone.
    if (fresh)
      QFile::setPermissions(trash, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner);
  }
  return QFile::moveToTrash(QString::fromStdString(path));
}

}  // namespace platform
