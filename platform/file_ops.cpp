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

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace platform {

namespace {

int errnoOf(int result) { return result == 0 ? 0 : errno; }

const RenameCalls* gRenameCalls = nullptr;

const RenameCalls& renameCalls() { return gRenameCalls ? *gRenameCalls : systemRenameCalls(); }

// The flag or the call itself is not there.
bool refusesNoReplace(int error) { return error == EINVAL || error == ENOSYS; }

// The file system cannot make a hard link of this: a folder (EPERM), or no
// hard links at all (EPERM on FAT, EOPNOTSUPP on many network shares).
bool refusesHardLink(int error) {
  return error == EPERM || error == EOPNOTSUPP || error == ENOSYS;
}

}  // namespace

const RenameCalls& systemRenameCalls() {
  static const RenameCalls calls{
      [](const char* from, const char* to) {
        return errnoOf(::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE));
      },
      [](const char* from, const char* to) { return errnoOf(::link(from, to)); },
      [](const char* path) { return errnoOf(::unlink(path)); },
      [](const char* path) {
        struct stat st {};
        return errnoOf(::lstat(path, &st));
      },
      [](const char* from, const char* to) { return errnoOf(::rename(from, to)); },
  };
  return calls;
}

void setRenameCalls(const RenameCalls* calls) { gRenameCalls = calls; }

int renameNoReplace(const std::string& from, const std::string& to) {
  const RenameCalls& calls = renameCalls();
  int error = calls.renameNoReplace(from.c_str(), to.c_str());
  if (!refusesNoReplace(error)) return error;
  error = calls.link(from.c_str(), to.c_str());
  if (error == 0) {
    if (const int unlinkError = calls.unlink(from.c_str()); unlinkError != 0) {
      calls.unlink(to.c_str());
      return unlinkError;
    }
    return 0;
  }
  if (!refusesHardLink(error)) return error;
  // Last resort: the target must be absent just before the rename.
  const int present = calls.lstat(to.c_str());
  if (present == 0) return EEXIST;
  if (present != ENOENT) return present;
  // A missing source gives its own error here, as it would above.
  return calls.rename(from.c_str(), to.c_str());
}

namespace {

// Opens path for reading when it is a regular file: the name is looked at
// before the open, so that a device is never opened (opening some has
// effects of its own), and the open does not wait, so that a FIFO put in
// the file's place meanwhile cannot hold the program; what was opened is
// checked again. -1 with the errno in *error otherwise.
int openRegular(const std::string& path, int* error, struct stat* st) {
  if (::stat(path.c_str(), st) != 0) {
    *error = errno;
    return -1;
  }
  if (!S_ISREG(st->st_mode)) {
    *error = EISDIR;
    return -1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    *error = errno;
    return -1;
  }
  if (::fstat(fd, st) != 0 || !S_ISREG(st->st_mode)) {
    *error = S_ISREG(st->st_mode) ? errno : EISDIR;
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads up to `want` bytes; stops early at the end of a file that shrank.
template <typename Buffer>
int readInto(int fd, std::size_t want, Buffer* bytes) {
  bytes->resize(want);
  std::size_t done = 0;
  while (done < want) {
    const ssize_t got = ::read(fd, bytes->data() + done, want - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes->resize(done);
  return 0;
}

template <typename Buffer>
int readGuarded(const std::string& path, std::size_t maxBytes, bool refuseLarger, Buffer* out) {
  int error = 0;
  struct stat st {};
  const int fd = openRegular(path, &error, &st);
  if (fd < 0) return error;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (refuseLarger && size > maxBytes) {
    ::close(fd);
    return EFBIG;
  }
  // Reads to the size found (a file that grows meanwhile is cut there).
  Buffer bytes;
  error = readInto(fd, static_cast<std::size_t>(std::min<std::uint64_t>(size, maxBytes)), &bytes);
  ::close(fd);
  if (!error) *out = std::move(bytes);
  return error;
}

// Copies from into a new file made from the mkostemp pattern temp (which
// gets the file's path), flushed to disk; nothing is left on failure. Only a
// regular file is copied: a device or a FIFO would never end.
int copyIntoNewFile(const std::string& from, std::string& temp) {
  int openError = 0;
  struct stat st {};
  const int in = openRegular(from, &openError, &st);
  if (in < 0) return openError;
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
  if (error) ::unlink(temp.c_str());
  return error;
}

constexpr std::string_view kPartialInfix = ".part.";
constexpr std::size_t kRandomPart = 6;  // mkostemp's XXXXXX

}  // namespace

int copyFileReplacing(const std::string& from, const std::string& to) {
  std::string temp = joinPath(parentPath(to), "." + fileNameOf(to) + ".XXXXXX");
  int error = copyIntoNewFile(from, temp);
  if (!error && ::rename(temp.c_str(), to.c_str()) != 0) {
    error = errno;
    ::unlink(temp.c_str());
  }
  return error;
}

int makePartialCopy(const std::string& from, const std::string& to, std::string& partial) {
  partial = joinPath(parentPath(to), "." + fileNameOf(to) + std::string(kPartialInfix) + "XXXXXX");
  const int error = copyIntoNewFile(from, partial);
  if (error) partial.clear();
  return error;
}

int placePartialCopy(const std::string& partial, const std::string& to) {
  const int error = renameCalls().link(partial.c_str(), to.c_str());
  if (error == 0 || !refusesHardLink(error)) return error;
  return renameNoReplace(partial, to);
}

void releasePartialCopy(const std::string& partial) {
  if (!partial.empty()) ::unlink(partial.c_str());
}

std::optional<std::string> partialCopyTarget(const std::string& fileName) {
  const std::size_t tail = kPartialInfix.size() + kRandomPart;
  if (fileName.size() <= 1 + tail || fileName.front() != '.') return std::nullopt;
  const std::size_t infix = fileName.size() - tail;
  if (fileName.compare(infix, kPartialInfix.size(), kPartialInfix) != 0) return std::nullopt;
  for (std::size_t i = fileName.size() - kRandomPart; i < fileName.size(); ++i)
    if (!std::isalnum(static_cast<unsigned char>(fileName[i]))) return std::nullopt;
  std::string target = fileName.substr(1, infix - 1);
  if (target.empty() || target == "." || target == ".." || target.find('/') != std::string::npos)
    return std::nullopt;
  return target;
}

ReplaceStage writeFileReplacing(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::string temp = joinPath(parentPath(path), "." + fileNameOf(path) + ".XXXXXX");
  const int out = ::mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) return ReplaceStage::Create;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(out, 0666 & ~mask);
  ReplaceStage stage = ReplaceStage::Done;
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t put = ::write(out, bytes.data() + done, bytes.size() - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      stage = ReplaceStage::Write;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  if (stage == ReplaceStage::Done && ::fsync(out) != 0) stage = ReplaceStage::Finish;
  if (::close(out) != 0 && stage == ReplaceStage::Done) stage = ReplaceStage::Finish;
  if (stage == ReplaceStage::Done && ::rename(temp.c_str(), path.c_str()) != 0) stage = ReplaceStage::Finish;
  if (stage != ReplaceStage::Done) ::unlink(temp.c_str());
  return stage;
}

int readFileCapped(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>* out) {
  return readGuarded(path, maxBytes, true, out);
}

int readFileCapped(const std::string& path, std::size_t maxBytes, std::string* out) {
  return readGuarded(path, maxBytes, true, out);
}

int readFileHead(const std::string& path, std::size_t maxBytes, std::string* out) {
  return readGuarded(path, maxBytes, false, out);
}

int readFileHead(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>* out) {
  return readGuarded(path, maxBytes, false, out);
}

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
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
