#include "formats/file_bytes.h"

#include "platform/file_ops.h"
#include "platform/paths.h"

#include <cerrno>
#include <cstdint>
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
  const std::size_t cap = maxBytes > SIZE_MAX ? SIZE_MAX : static_cast<std::size_t>(maxBytes);
  const int error = platform::readFileCapped(path, cap, &result.bytes);
  if (error == EFBIG) result.error = ReadError::TooLarge;
  else if (error != 0) result.error = ReadError::CannotOpen;
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
