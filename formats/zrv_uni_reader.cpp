#include "formats/zrv_uni_reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>
#include <new>
#include <optional>
#include <vector>

namespace {

constexpr std::size_t kSignatureBytes = 12;
constexpr std::size_t kMaxValueText = 32;
constexpr std::size_t kTiffHeaderBytes = 206;
constexpr std::uint32_t kIfdAt = 8;
constexpr std::uint32_t kBitsPerSampleAt = 182;
constexpr std::uint32_t kXResolutionAt = 190;
constexpr std::uint32_t kYResolutionAt = 198;

enum class Tag { Unknown, MU, Rs, Sz, Ro, Co, BP, BD, DS, DL, WL, EP, A, E, W };

class Input {
 public:
  explicit Input(ZrvByteSource& source) : source_(source) {}

  int get() {
    if (pos_ == end_) {
      end_ = source_.readSome(buffer_.data(), buffer_.size());
      pos_ = 0;
      if (end_ == 0) return -1;
    }
    return static_cast<unsigned char>(buffer_[pos_++]);
  }
  int peek() {
    int c = get();
    if (c >= 0) --pos_;
    return c;
  }
  // Reads `count` bytes, keeping the first `keep` of them in `dst`.
  bool readInto(std::uint64_t count, char* dst, std::size_t keep) {
    for (std::uint64_t i = 0; i < count; ++i) {
      if (pos_ == end_) {
        end_ = source_.readSome(buffer_.data(), buffer_.size());
        pos_ = 0;
        if (end_ == 0) return false;
      }
      std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(count - i, end_ - pos_));
      if (i < keep) std::copy_n(buffer_.data() + pos_, std::min<std::uint64_t>(n, keep - i), dst + i);
      pos_ += n;
      i += n - 1;
    }
    return true;
  }

 private:
  ZrvByteSource& source_;
  std::array<char, 65536> buffer_{};
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

class MemorySource : public ZrvByteSource {
 public:
  explicit MemorySource(std::string_view bytes) : bytes_(bytes) {}
  std::size_t readSome(char* buffer, std::size_t capacity) override {
    std::size_t n = std::min(capacity, bytes_.size());
    std::copy_n(bytes_.data(), n, buffer);
    bytes_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view bytes_;
};

class FileSource : public ZrvByteSource {
 public:
  explicit FileSource(std::FILE* f) : file_(f) {}
  std::size_t readSome(char* buffer, std::size_t capacity) override {
    return std::fread(buffer, 1, capacity, file_);
  }

 private:
  std::FILE* file_;
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

class TiffFileSink : public ZrvPageSink {
 public:
  explicit TiffFileSink(std::string basePath) : base_(std::move(basePath)) {}
  ~TiffFileSink() override { abandonPage(); }

  bool beginPage(int pageNo) override {
    path_ = base_ + "-" + std::to_string(pageNo) + ".tif";
    file_.reset(std::fopen(path_.c_str(), "wb"));
    if (!file_) std::printf("%s ファイルが開けません。\n", path_.c_str());
    return file_ != nullptr;
  }
  bool write(std::string_view bytes) override {
    return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
  }
  bool endPage() override {
    bool ok = std::fclose(file_.release()) == 0;
    if (!ok) std::remove(path_.c_str());
    return ok;
  }
  void abandonPage() override {
    if (!file_) return;
    file_.reset();
    std::remove(path_.c_str());
  }

 private:
  std::string base_;
  std::string path_;
  FilePtr file_;
};

void put16(std::string& s, std::size_t at, std::uint32_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::size_t at, std::uint32_t v) {
  put16(s, at, v);
  put16(s, at + 2, v >> 16);
}

struct PageFormat {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t xDpi = 0;
  std::uint32_t yDpi = 0;
  bool colour = false;
  std::uint32_t rowBytes() const { return colour ? width * 3 : (width + 7) / 8; }
  std::uint64_t imageBytes() const { return std::uint64_t{rowBytes()} * height; }
  char padding() const { return colour ? '\xFF' : '\0'; }
};

// Header and directory: 14 entries at 8, BitsPerSample values at 182, the
// two resolutions at 190 and 198, the one strip at 206.
std::string tiffHeader(const PageFormat& f) {
  std::string h(kTiffHeaderBytes, '\0');
  h[0] = 'I';
  h[1] = 'I';
  put16(h, 2, 42);
  put32(h, 4, kIfdAt);
  constexpr std::uint16_t kShort = 3, kLong = 4, kRational = 5;
  struct Entry {
    std::uint16_t tag, type;
    std::uint32_t count, value;
  };
  const Entry entries[] = {
      {254, kLong, 1, 0},
      {256, kLong, 1, f.width},
      {257, kLong, 1, f.height},
      f.colour ? Entry{258, kShort, 3, kBitsPerSampleAt} : Entry{258, kShort, 1, 1},
      {259, kShort, 1, 1},
      {262, kShort, 1, f.colour ? 2u : 0u},
      {273, kLong, 1, kTiffHeaderBytes},
      {277, kShort, 1, f.colour ? 3u : 1u},
      {278, kLong, 1, f.height},
      {279, kLong, 1, static_cast<std::uint32_t>(f.imageBytes())},
      {282, kRational, 1, kXResolutionAt},
      {283, kRational, 1, kYResolutionAt},
      {284, kShort, 1, 1},  // chunky
      {296, kShort, 1, 2},  // inch
  };
  put16(h, kIfdAt, std::size(entries));
  std::size_t at = kIfdAt + 2;
  for (const Entry& e : entries) {
    put16(h, at, e.tag);
    put16(h, at + 2, e.type);
    put32(h, at + 4, e.count);
    if (e.type == kShort && e.count == 1) put16(h, at + 8, e.value);
    else put32(h, at + 8, e.value);
    at += 12;
  }
  put32(h, at, 0);  // no further directory
  if (f.colour)
    for (int i = 0; i < 3; ++i) put16(h, kBitsPerSampleAt + 2 * i, 8);
  put32(h, kXResolutionAt, f.xDpi);
  put32(h, kXResolutionAt + 4, 1);
  put32(h, kYResolutionAt, f.yDpi);
  put32(h, kYResolutionAt + 4, 1);
  return h;
}

class Reader {
 public:
  Reader(ZrvByteSource& source, ZrvPageSink& sink, const ZrvUniLimits& limits, std::string_view name)
      : in_(source), sink_(sink), limits_(limits), name_(name) {}

  int run() {
    std::array<char, kSignatureBytes> sig{};
    for (char& c : sig) {
      int b = in_.get();
      if (b < 0) return notZrv();
      c = static_cast<char>(b);
    }
    // Compared as a string, so the zero must be within the 12 bytes.
    if (std::string_view(sig.data(), ::strnlen(sig.data(), sig.size())) != "$$ZRV Uni") return notZrv();
    if (!readHeader()) return 0;
    if (!computeFormat()) {
      std::puts("Init ERRER");
      return 0;
    }
    return readPages();
  }

 private:
  int notZrv() const {
    std::printf("%s はZRV Uniのファイルではありません。\n", std::string(name_).c_str());
    return 0;
  }

  // Skips to the next "_"; false at the end of the file.
  bool nextRecord() {
    for (;;) {
      int c = in_.get();
      if (c < 0) return false;
      if (c == '_') return true;
    }
  }

  Tag readTag() {
    int c1 = in_.get();
    auto second = [&](char expected) {
      if (in_.peek() != expected) return false;
      in_.get();
      return true;
    };
    switch (c1) {
      case 'M': return second('U') ? Tag::MU : Tag::Unknown;
      case 'R': return second('s') ? Tag::Rs : second('o') ? Tag::Ro : Tag::Unknown;
      case 'S': return second('z') ? Tag::Sz : Tag::Unknown;
      case 'C': return second('o') ? Tag::Co : Tag::Unknown;
      case 'B': return second('P') ? Tag::BP : second('D') ? Tag::BD : Tag::Unknown;
      case 'D': return second('S') ? Tag::DS : second('L') ? Tag::DL : Tag::Unknown;
      case 'W': return second('L') ? Tag::WL : Tag::W;
      case 'E': return second('P') ? Tag::EP : Tag::E;
      case 'A': return Tag::A;
      default: return Tag::Unknown;
    }
  }

  // A zero-terminated value of `count` comma-separated decimal numbers.
  template <std::size_t N>
  bool readNumbers(std::array<std::int64_t, N>& values) {
    std::string text;
    for (;;) {
      int c = in_.get();
      if (c < 0 || text.size() > kMaxValueText) return false;
      if (c == 0) break;
      text += static_cast<char>(c);
    }
    std::size_t pos = 0;
    for (std::size_t i = 0; i < N; ++i) {
      if (i > 0) {
        if (pos >= text.size() || text[pos] != ',') return false;
        ++pos;
      }
      while (pos < text.size() && text[pos] == ' ') ++pos;
      bool negative = pos < text.size() && text[pos] == '-';
      if (negative || (pos < text.size() && text[pos] == '+')) ++pos;
      std::size_t digits = 0;
      std::int64_t v = 0;
      while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (++digits > 12) return false;
        v = v * 10 + (text[pos++] - '0');
      }
      if (digits == 0) return false;
      values[i] = negative ? -v : v;
    }
    while (pos < text.size() && text[pos] == ' ') ++pos;
    return pos == text.size();
  }

  bool readHeader() {
    for (;;) {
      if (!nextRecord()) {
        std::puts("EOF1");
        return false;
      }
      std::array<std::int64_t, 1> one{};
      std::array<std::int64_t, 2> two{};
      bool ok = true;
      switch (readTag()) {
        case Tag::MU: ok = readNumbers(one); unit_ = one[0]; break;
        case Tag::Rs: ok = readNumbers(two); xDpi_ = two[0]; yDpi_ = two[1]; break;
        case Tag::Sz: ok = readNumbers(two); width_ = two[0]; height_ = two[1]; break;
        case Tag::Ro: ok = readNumbers(one); turned_ = one[0] != 0; break;
        case Tag::Co: ok = readNumbers(one); colour_ = one[0] != 1; break;
        case Tag::BP: case Tag::BD: case Tag::Unknown: break;
        case Tag::DS: return true;
        default: ok = false; break;  // page records before the page data
      }
      if (!ok) {
        std::puts("Read ERRER");
        return false;
      }
    }
  }

  // Pixels of `size` units at `dpi`: size × dpi ÷ unit in 64 bits, one
  // formula for every resolution (dividing by a truncated unit ÷ dpi would
  // make a 254-unit page at 200 dpi 27 % too large). -1 when the product
  // does not fit.
  std::int64_t pixels(std::int64_t size, std::int64_t dpi) const {
    if (size > INT64_MAX / dpi) return -1;
    return size * dpi / unit_;
  }

  bool computeFormat() {
    if (unit_ <= 0 || xDpi_ <= 0 || yDpi_ <= 0 || width_ <= 0 || height_ <= 0) return false;
    std::int64_t w = width_, h = height_, xr = xDpi_, yr = yDpi_;
    if (turned_) {
      std::swap(w, h);
      std::swap(xr, yr);
    }
    if (xr > UINT32_MAX || yr > UINT32_MAX) return false;
    std::int64_t pw = pixels(w, xr), ph = pixels(h, yr);
    if (pw <= 0 || ph <= 0 || pw > limits_.maxSide || ph > limits_.maxSide) return false;
    format_.width = static_cast<std::uint32_t>(pw);
    format_.height = static_cast<std::uint32_t>(ph);
    format_.xDpi = static_cast<std::uint32_t>(xr);
    format_.yDpi = static_cast<std::uint32_t>(yr);
    format_.colour = colour_;
    return format_.imageBytes() <= limits_.maxPageBytes;
  }

  int readPages() {
    const std::string header = tiffHeader(format_);
    std::vector<char> row;
    std::vector<char> blank;
    try {
      row.resize(format_.rowBytes());
      blank.assign(format_.rowBytes(), format_.padding());
    } catch (const std::bad_alloc&) {
      std::puts("メモリ確保に失敗しました。");
      return -1;
    }
    int page = 1;
    bool open = false;
    std::uint32_t rows = 0;
    std::uint64_t total = 0;
    auto fail = [&]() {
      if (open) sink_.abandonPage();
      return -page;
    };
    auto writeRow = [&](const std::vector<char>& bytes) {
      total += bytes.size();
      ++rows;
      return total <= limits_.maxTotalBytes && sink_.write({bytes.data(), bytes.size()});
    };
    for (;;) {
      if (!nextRecord()) {
        if (open || page == 1) {
          std::puts("EOF3");
          return fail();
        }
        return page - 1;
      }
      Tag tag = readTag();
      if (tag == Tag::DS || tag == Tag::BP || tag == Tag::BD || tag == Tag::Unknown) continue;
      if (tag != Tag::DL && tag != Tag::WL && tag != Tag::EP) {
        std::puts("Read ERRER");
        return fail();
      }
      if (!open) {
        if (page > limits_.maxPages || total + header.size() > limits_.maxTotalBytes) return fail();
        if (!sink_.beginPage(page)) return -page;
        open = true;
        rows = 0;
        total += header.size();
        if (!sink_.write(header)) return fail();
      }
      std::array<std::int64_t, 1> count{};
      if (tag == Tag::DL) {
        if (!readNumbers(count) || count[0] < 0) {
          std::puts("Read ERRER");
          return fail();
        }
        // A count beyond the row is read past, not into the row.
        std::size_t keep = std::min<std::uint64_t>(static_cast<std::uint64_t>(count[0]), row.size());
        std::fill(row.begin(), row.end(), format_.padding());
        if (!in_.readInto(static_cast<std::uint64_t>(count[0]), row.data(), keep)) {
          std::puts("EOF3");
          return fail();
        }
        if (rows < format_.height && !writeRow(row)) return fail();
      } else if (tag == Tag::WL) {
        if (!readNumbers(count) || count[0] < 0) {
          std::puts("Read ERRER");
          return fail();
        }
        std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(count[0]), format_.height - rows);
        for (std::uint64_t i = 0; i < n; ++i)
          if (!writeRow(blank)) return fail();
      } else {  // end of page
        while (rows < format_.height)
          if (!writeRow(blank)) return fail();
        open = false;
        if (!sink_.endPage()) return -page;
        ++page;
      }
    }
  }

  Input in_;
  ZrvPageSink& sink_;
  const ZrvUniLimits& limits_;
  std::string_view name_;
  std::int64_t unit_ = 0, xDpi_ = 0, yDpi_ = 0, width_ = 0, height_ = 0;
  bool turned_ = false;
  bool colour_ = false;  // black and white unless _Co says otherwise
  PageFormat format_;
};

}  // namespace

namespace {

int readZrvUniNamed(ZrvByteSource& source, ZrvPageSink& sink, const ZrvUniLimits& limits,
                    std::string_view name) {
  return Reader(source, sink, limits, name).run();
}

}  // namespace

int readZrvUni(ZrvByteSource& source, ZrvPageSink& sink, const ZrvUniLimits& limits) {
  return readZrvUniNamed(source, sink, limits, "");
}

int readZrvUni(std::string_view file, ZrvPageSink& sink, const ZrvUniLimits& limits) {
  MemorySource source(file);
  return readZrvUni(source, sink, limits);
}

int ZrvUniReader(const std::string& path, const std::string& basePath) {
  // Regular files only: a FIFO or a device would block or never end.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    fd = -1;
  }
  FilePtr file(fd >= 0 ? ::fdopen(fd, "rb") : nullptr);
  if (fd >= 0 && !file) ::close(fd);
  if (!file) {
    std::printf("%s ファイルが開けません。\n", path.c_str());
    return 0;
  }
  FileSource source(file.get());
  TiffFileSink sink(basePath);
  return readZrvUniNamed(source, sink, ZrvUniLimits{}, path);
}
