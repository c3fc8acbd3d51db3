#include "shell/file_bytes.h"

#include "platform/paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileio {
namespace {

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace

ReadResult readFileBytes(const std::string& path, std::uint64_t maxBytes) {
  ReadResult result;
  // O_NONBLOCK: opening a FIFO named by a hostile link must not wait for a writer.
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    result.error = ReadError::CannotOpen;
    return result;
  }
  if (static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    result.error = ReadError::TooLarge;
    return result;
  }
  result.bytes.resize(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < result.bytes.size()) {
    ssize_t n = ::read(fd.get(), result.bytes.data() + done, result.bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result.bytes.clear();
      result.error = ReadError::CannotOpen;
      return result;
    }
    if (n == 0) break;  // the file shrank while we read it
    done += static_cast<std::size_t>(n);
  }
  result.bytes.resize(done);
  return result;
}

namespace {

bool writeAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool writeFileBytes(const std::string& path, std::string_view bytes) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  bool ok = writeAll(fd.get(), bytes);
  return ::close(fd.release()) == 0 && ok;
}

bool writeFileAtomic(const std::string& path, std::string_view bytes) {
  std::string dir = platform::parentPath(path);
  std::string pattern = platform::joinPath(dir.empty() ? "." : dir, ".brindel-XXXXXX");
  Fd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  bool ok = writeAll(fd.get(), bytes);
  // Files written here are documents of the user: the usual 0644, not mkstemp's 0600.
  ok = ok && ::fchmod(fd.get(), 0644) == 0 && ::fsync(fd.get()) == 0;
  ok = ::close(fd.release()) == 0 && ok;
  if (ok && std::rename(pattern.c_str(), path.c_str()) == 0) return true;
  ::unlink(pattern.c_str());
  return false;
}

}  // namespace fileio
