#include "ocrctl/pattern_store.h"

#include "layout/vurcgj30.h"
#include "ocrctl/compound_file.h"
#include "platform/paths.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace ocrctl {

namespace {

constexpr const char* kFlatSignature = "usrPattenV30";
constexpr std::size_t kFlatHeader = 22;
constexpr std::size_t kFlatRecord = 728;
constexpr std::size_t kFlatValid = 0;
constexpr std::size_t kFlatCode = 112;
constexpr std::size_t kFlatImage = 214;

// Learning folders in use by live stores of this process: the files are
// deleted when the last store that loaded them goes, never under another
// control's feet.
std::mutex claimsMutex;
std::map<std::string, int>& claims() {
  static std::map<std::string, int> map;
  return map;
}

class FileLock {
 public:
  // Locks an existing file; fails when it is missing or someone holds it.
  explicit FileLock(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool held() const { return fd_ >= 0; }
  bool readAll(std::vector<std::uint8_t>& out) const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || st.st_size < 0) return false;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < out.size()) {
      const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(done));
      if (n <= 0) return false;
      done += static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  int fd_ = -1;
};

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

bool readPlainFile(const std::string& path, std::vector<std::uint8_t>& out) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  out.clear();
  std::uint8_t buffer[65536];
  size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

// Written beside the target and renamed into place, so a crash leaves the
// old file or the new one, never half of one.
bool writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::string temp = path + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  std::size_t done = 0;
  bool ok = true;
  while (ok && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) ok = false;
    else done += static_cast<std::size_t>(n);
  }
  ok = ::fchmod(fd, 0644) == 0 && ok;
  ok = ::fsync(fd) == 0 && ok;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = std::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

// The streams of a pattern file this process holds the lock of.
bool readStreams(const FileLock& file, Streams& out) {
  std::vector<std::uint8_t> bytes;
  return file.held() && file.readAll(bytes) && readCompound(bytes, out);
}

// A pattern file of the three streams, in their order, put in place.
bool writeStreams(const std::string& path, std::vector<std::uint8_t> index, std::vector<std::uint8_t> data,
                  std::vector<std::uint8_t> image) {
  const OrderedStreams out = {{kStreamIndex, std::move(index)}, {kStreamData, std::move(data)},
                              {kStreamImage, std::move(image)}};
  std::vector<std::uint8_t> written;
  return writeCompound(out, written) && writeFileReplacing(path, written);
}

std::string joinName(const std::string& folder, const char* name) { return platform::joinPath(folder, name); }

std::int16_t le16(const std::uint8_t* p) { return static_cast<std::int16_t>(p[0] | (p[1] << 8)); }

}  // namespace

PatternImage cutPattern(const BitImage& image, int left, int top, int right, int bottom) {
  PatternImage pattern{};
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, image.width - 1);
  bottom = std::min(bottom, image.height - 1);
  if (image.empty() || right < left || bottom < top) return pattern;
  const int w = right - left + 1;
  const int h = bottom - top + 1;
  const bool fits = w <= kPatternSide && h <= kPatternSide;
  const int outW = fits ? w : kPatternSide;
  const int outH = fits ? h : kPatternSide;
  for (int y = 0; y < outH; ++y) {
    for (int x = 0; x < outW; ++x) {
      const int sx = left + (fits ? x : x * w / kPatternSide);
      const int sy = top + (fits ? y : y * h / kPatternSide);
      if (image.pixel(sx, sy)) pattern[static_cast<std::size_t>(y * 8 + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
  }
  return pattern;
}

bool convertFlatPatterns(const std::vector<std::uint8_t>& file, RegisterFn registerWithEngine, void* context,
                         std::vector<std::uint8_t>& section) {
  if (file.size() < kFlatHeader) return false;
  // The signature is a text: the bytes after its NUL are not looked at.
  const std::size_t signatureLength = std::strlen(kFlatSignature);
  if (std::memcmp(file.data(), kFlatSignature, signatureLength + 1) != 0) return false;
  const int count = le16(file.data() + 20);
  if (count < 1) return false;
  if ((file.size() - kFlatHeader) / kFlatRecord < static_cast<std::size_t>(count)) return false;
  std::vector<std::uint8_t> out(2 + static_cast<std::size_t>(kPatternRecordBytes) * count, 0);
  out[0] = static_cast<std::uint8_t>(count);
  out[1] = static_cast<std::uint8_t>(count >> 8);
  for (int i = 0; i < count; ++i) {
    const std::uint8_t* old = file.data() + kFlatHeader + kFlatRecord * static_cast<std::size_t>(i);
    PatternImage image{};
    std::memcpy(image.data(), old + kFlatImage, kPatternImageBytes);
    int top = -1, bottom = -1, left = kPatternSide, right = -1;
    for (int y = 0; y < kPatternSide; ++y) {
      for (int x = 0; x < kPatternSide; ++x) {
        if ((image[static_cast<std::size_t>(y * 8 + x / 8)] & (0x80 >> (x % 8))) == 0) continue;
        if (top < 0) top = y;
        bottom = y;
        left = std::min(left, x);
        right = std::max(right, x);
      }
    }
    if (top < 0) return false;  // a blank pattern
    const std::int32_t rect[4] = {left, top, right, bottom};
    const auto code = static_cast<std::uint16_t>((old[kFlatCode] << 8) | old[kFlatCode + 1]);
    std::int16_t number = 0;
    if (!registerWithEngine(context, code, image, rect, &number)) return false;
    std::uint8_t* record = out.data() + 2 + static_cast<std::size_t>(kPatternRecordBytes) * i;
    record[0] = static_cast<std::uint8_t>(number);
    record[1] = static_cast<std::uint8_t>(number >> 8);
    record[2] = old[kFlatCode];
    record[3] = old[kFlatCode + 1];
    record[4] = old[kFlatValid];
    record[5] = old[kFlatValid + 1];
    std::memcpy(record + 6, image.data(), kPatternImageBytes);
  }
  section = std::move(out);
  return true;
}

PatternStore::~PatternStore() { deleteLearningFiles(); }

void PatternStore::claimLearningFolder() {
  if (claimed_ || learningFolder_.empty()) return;
  std::lock_guard lock(claimsMutex);
  ++claims()[learningFolder_];
  claimed_ = true;
}

void PatternStore::deleteLearningFiles() {
  if (!claimed_) return;
  claimed_ = false;
  {
    std::lock_guard lock(claimsMutex);
    auto it = claims().find(learningFolder_);
    if (it != claims().end() && --it->second > 0) return;
    if (it != claims().end()) claims().erase(it);
  }
  for (const char* name : {kLearningIndexFile, kLearningDataFile}) {
    const std::string path = joinName(learningFolder_, name);
    if (fileExists(path)) ::unlink(path.c_str());
  }
}

bool PatternStore::open(const std::string& fileName, const std::string& patternFolder,
                        const std::string& learningFolder, const std::string& dictionaryFolder) {
  if (claimed_ && learningFolder != learningFolder_) deleteLearningFiles();
  patternPath_ = platform::joinPath(patternFolder, fileName);
  learningFolder_ = learningFolder;
  dictionaryFolder_ = dictionaryFolder;
  return loadPatternFile(nullptr, true);
}

bool PatternStore::createPatternFile() {
  return writeStreams(patternPath_, {}, {}, {0, 0});
}

bool PatternStore::loadPatternFile(std::vector<std::uint8_t>* section, bool merge) {
  if (patternPath_.empty()) return false;
  if (!fileExists(patternPath_) && !createPatternFile()) return false;
  Streams streams;
  if (!readStreams(FileLock(patternPath_), streams)) return false;
  const auto stream = [&](const char* name) -> const std::vector<std::uint8_t>* {
    auto it = streams.find(name);
    return it == streams.end() ? nullptr : &it->second;
  };
  const auto* image = stream(kStreamImage);
  const auto* index = stream(kStreamIndex);
  const auto* data = stream(kStreamData);
  if (index == nullptr || data == nullptr || (section != nullptr && image == nullptr)) return false;
  if (section != nullptr) *section = *image;
  claimLearningFolder();
  if (!writeFileReplacing(joinName(learningFolder_, kLearningIndexFile), *index) ||
      !writeFileReplacing(joinName(learningFolder_, kLearningDataFile), *data))
    return false;
  if (merge) {
    VuMergeLearning(joinName(dictionaryFolder_, kBaseIndexFile).c_str(),
                    joinName(learningFolder_, kLearningIndexFile).c_str(),
                    joinName(learningFolder_, kLearningDataFile).c_str());
  }
  return true;
}

namespace {
bool engineRegister(void*, std::uint16_t code, const PatternImage& image, const std::int32_t rect[4],
                    std::int16_t* number) {
  // The pattern as a 64-pixel-wide image: rows of 8 bytes, already 16-bit padded.
  return VuRegisterPattern(number, &code, image.data(), kPatternSide, kPatternSide, rect) != 0;
}
}  // namespace

bool PatternStore::readPatternImages(std::vector<std::uint8_t>& section) {
  if (patternPath_.empty()) return false;
  std::vector<std::uint8_t> bytes;
  {
    FileLock file(patternPath_);
    if (file.held() && file.readAll(bytes) && isCompoundFile(bytes)) {
      Streams streams;
      if (!readCompound(bytes, streams)) return false;
      auto it = streams.find(kStreamImage);
      if (it == streams.end()) return false;
      section = it->second;
      return true;
    }
  }
  if (bytes.empty() && !readPlainFile(patternPath_, bytes)) return false;
  std::vector<std::uint8_t> converted;
  if (!convertFlatPatterns(bytes, engineRegister, nullptr, converted)) return false;
  // The old file stays beside the new one, its extension replaced by "UPB".
  if (patternPath_.size() < 3) return false;
  const std::string kept = patternPath_.substr(0, patternPath_.size() - 3) + "UPB";
  if (std::rename(patternPath_.c_str(), kept.c_str()) != 0) return false;
  if (!savePatternFile(&converted)) return false;
  section = std::move(converted);
  return true;
}

bool PatternStore::savePatternFile(const std::vector<std::uint8_t>* section) {
  if (patternPath_.empty()) return false;
  if (!fileExists(patternPath_) && !createPatternFile()) return false;
  FileLock file(patternPath_);
  Streams streams;
  // A file that cannot be opened as a pattern file is never replaced: it
  // may be the user's, or another process's, still in use.
  if (!readStreams(file, streams)) return false;
  std::vector<std::uint8_t> index, data;
  if (!readPlainFile(joinName(learningFolder_, kLearningIndexFile), index) ||
      !readPlainFile(joinName(learningFolder_, kLearningDataFile), data))
    return false;
  std::vector<std::uint8_t> image = streams.count(kStreamImage) != 0 ? streams[kStreamImage] : std::vector<std::uint8_t>{0, 0};
  if (section != nullptr && !section->empty()) image = *section;
  return writeStreams(patternPath_, std::move(index), std::move(data), std::move(image));
}

bool PatternStore::appendRecord(const std::array<std::uint8_t, kPatternRecordBytes>& record) {
  if (patternPath_.empty()) return false;
  if (!fileExists(patternPath_) && !createPatternFile()) return false;
  FileLock file(patternPath_);
  Streams streams;
  if (!readStreams(file, streams)) return false;
  std::vector<std::uint8_t> image = streams[kStreamImage];
  if (image.size() < 2) image.assign(2, 0);
  const int count = le16(image.data()) + 1;
  if (count > INT16_MAX) return false;
  image[0] = static_cast<std::uint8_t>(count);
  image[1] = static_cast<std::uint8_t>(count >> 8);
  // The record goes at its place by the count, whatever lay behind it.
  image.resize(2 + static_cast<std::size_t>(kPatternRecordBytes) * count, 0);
  std::memcpy(image.data() + 2 + static_cast<std::size_t>(kPatternRecordBytes) * (count - 1), record.data(),
              record.size());
  return writeStreams(patternPath_, streams[kStreamIndex], streams[kStreamData], std::move(image));
}

int PatternStore::registerPattern(std::uint16_t codeLeadFirst, const BitImage& image, const std::int32_t rect[4],
                                  const PatternImage& pattern) {
  if (image.empty()) return -1;
  const auto leadHigh = static_cast<std::uint16_t>(((codeLeadFirst & 0xFF) << 8) | (codeLeadFirst >> 8));
  std::int16_t number = 0;
  if (VuRegisterPattern(&number, &leadHigh, image.bits.data(), static_cast<std::uint16_t>(image.width),
                        static_cast<std::uint16_t>(image.height), rect) == 0)
    return -1;
  std::array<std::uint8_t, kPatternRecordBytes> record{};
  record[0] = static_cast<std::uint8_t>(number);
  record[1] = static_cast<std::uint8_t>(number >> 8);
  record[2] = static_cast<std::uint8_t>(codeLeadFirst & 0xFF);  // lead byte first
  record[3] = static_cast<std::uint8_t>(codeLeadFirst >> 8);
  record[4] = 1;
  std::memcpy(record.data() + 6, pattern.data(), pattern.size());
  return appendRecord(record) ? number : -1;
}

}  // namespace ocrctl
