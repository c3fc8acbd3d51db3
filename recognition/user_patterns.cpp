#include "recognition/user_patterns.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "recognition/cell_image.h"

namespace recognition {
namespace {

constexpr char kDataMagic[8] = {'B', 'R', 'L', 'P', 'A', 'T', '1', '\0'};
constexpr char kIndexMagic[8] = {'B', 'R', 'L', 'I', 'D', 'X', '1', '\0'};
constexpr std::size_t kRecordSize = 10 + sizeof(PatternBitmap);
// Aspect ratios (width / height) further apart than this factor never match.
constexpr double kAspectTolerance = 1.4;

bool bit(const PatternBitmap& b, int x, int y) {
  return (b[(y * kPatternSide + x) / 8] >> (7 - (x % 8))) & 1;
}

bool inkNear(const PatternBitmap& b, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      const int nx = x + dx, ny = y + dy;
      if (nx >= 0 && ny >= 0 && nx < kPatternSide && ny < kPatternSide && bit(b, nx, ny)) return true;
    }
  return false;
}

void put16(std::string& out, std::uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}
std::uint16_t get16(const char* p) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(p[0]) |
                                    (static_cast<unsigned char>(p[1]) << 8));
}

bool readWhole(const std::string& path, std::string& out) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    out.clear();
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), {});
  return !in.bad();
}

bool writeWhole(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) return false;
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  return !ec;
}

}  // namespace

std::optional<NormalizedCell> normalizePattern(const EngineImage& image, const CharRect& rect) {
  const CharRect ink = inkBounds(image, rect);
  if (ink.empty()) return std::nullopt;
  NormalizedCell cell;
  cell.inkWidth = static_cast<std::uint16_t>(ink.width());
  cell.inkHeight = static_cast<std::uint16_t>(ink.height());
  // Each target pixel is set when any source pixel of its area holds ink, so
  // thin strokes survive the reduction.
  for (int ty = 0; ty < kPatternSide; ++ty) {
    const int y0 = ink.top + ty * ink.height() / kPatternSide;
    const int y1 = std::max(y0, ink.top + (ty + 1) * ink.height() / kPatternSide - 1);
    for (int tx = 0; tx < kPatternSide; ++tx) {
      const int x0 = ink.left + tx * ink.width() / kPatternSide;
      const int x1 = std::max(x0, ink.left + (tx + 1) * ink.width() / kPatternSide - 1);
      bool any = false;
      for (int y = y0; y <= y1 && !any; ++y)
        for (int x = x0; x <= x1 && !any; ++x) any = inkAt(image, x, y);
      if (any) cell.bitmap[(ty * kPatternSide + tx) / 8] |= static_cast<std::uint8_t>(0x80 >> (tx % 8));
    }
  }
  return cell;
}

double patternDistance(const NormalizedCell& a, const NormalizedCell& b) {
  const double ra = double(std::max<int>(a.inkWidth, 1)) / std::max<int>(a.inkHeight, 1);
  const double rb = double(std::max<int>(b.inkWidth, 1)) / std::max<int>(b.inkHeight, 1);
  if (std::max(ra, rb) / std::min(ra, rb) > kAspectTolerance) return 1.0;
  int inkA = 0, inkB = 0, missA = 0, missB = 0;
  for (int y = 0; y < kPatternSide; ++y)
    for (int x = 0; x < kPatternSide; ++x) {
      if (bit(a.bitmap, x, y)) {
        ++inkA;
        if (!inkNear(b.bitmap, x, y)) ++missA;
      }
      if (bit(b.bitmap, x, y)) {
        ++inkB;
        if (!inkNear(a.bitmap, x, y)) ++missB;
      }
    }
  if (inkA + inkB == 0) return 0.0;
  return double(missA + missB) / (inkA + inkB);
}

std::int16_t UserPatterns::add(std::uint16_t code, const NormalizedCell& cell) {
  const std::int16_t number = nextNumber_;
  nextNumber_ = static_cast<std::int16_t>(nextNumber_ == INT16_MAX ? 1 : nextNumber_ + 1);
  patterns_.push_back(UserPattern{number, code, true, cell});
  return number;
}

bool UserPatterns::remove(std::int16_t number) {
  const auto it = std::find_if(patterns_.begin(), patterns_.end(),
                               [&](const UserPattern& p) { return p.number == number; });
  if (it == patterns_.end()) return false;
  patterns_.erase(it);
  return true;
}

bool UserPatterns::setValid(std::int16_t number, bool valid) {
  for (UserPattern& p : patterns_)
    if (p.number == number) {
      p.valid = valid;
      return true;
    }
  return false;
}

void UserPatterns::clear() {
  patterns_.clear();
  nextNumber_ = 1;
}

std::vector<PatternMatch> UserPatterns::match(const NormalizedCell& cell) const {
  std::vector<PatternMatch> matches;
  for (const UserPattern& p : patterns_) {
    if (!p.valid) continue;
    const double d = patternDistance(cell, p.cell);
    if (d >= kMatchLimit) continue;
    auto same = std::find_if(matches.begin(), matches.end(),
                             [&](const PatternMatch& m) { return m.code == p.code; });
    if (same == matches.end()) matches.push_back({p.code, d});
    else same->distance = std::min(same->distance, d);
  }
  std::stable_sort(matches.begin(), matches.end(),
                   [](const PatternMatch& a, const PatternMatch& b) { return a.distance < b.distance; });
  return matches;
}

bool UserPatterns::save(const std::string& dataPath, const std::string& indexPath) const {
  std::string data(kDataMagic, sizeof kDataMagic);
  for (const UserPattern& p : patterns_) {
    put16(data, static_cast<std::uint16_t>(p.number));
    put16(data, p.code);
    put16(data, p.valid ? 1 : 0);
    put16(data, p.cell.inkWidth);
    put16(data, p.cell.inkHeight);
    data.append(reinterpret_cast<const char*>(p.cell.bitmap.data()), p.cell.bitmap.size());
  }
  std::string index(kIndexMagic, sizeof kIndexMagic);
  put16(index, static_cast<std::uint16_t>(nextNumber_));
  put16(index, static_cast<std::uint16_t>(patterns_.size()));
  return writeWhole(dataPath, data) && writeWhole(indexPath, index);
}

bool UserPatterns::load(const std::string& dataPath, const std::string& indexPath) {
  clear();
  std::string data, index;
  if (!readWhole(dataPath, data) || !readWhole(indexPath, index)) return false;
  if (data.empty() && index.empty()) return true;
  if (data.size() < sizeof kDataMagic || std::memcmp(data.data(), kDataMagic, sizeof kDataMagic) != 0 ||
      (data.size() - sizeof kDataMagic) % kRecordSize != 0)
    return false;
  std::int16_t next = 1;
  if (!index.empty()) {
    if (index.size() < sizeof kIndexMagic + 4 ||
        std::memcmp(index.data(), kIndexMagic, sizeof kIndexMagic) != 0)
      return false;
    next = static_cast<std::int16_t>(get16(index.data() + sizeof kIndexMagic));
  }
  std::vector<UserPattern> loaded;
  for (std::size_t off = sizeof kDataMagic; off < data.size(); off += kRecordSize) {
    const char* r = data.data() + off;
    UserPattern p;
    p.number = static_cast<std::int16_t>(get16(r));
    p.code = get16(r + 2);
    p.valid = get16(r + 4) != 0;
    p.cell.inkWidth = get16(r + 6);
    p.cell.inkHeight = get16(r + 8);
    std::memcpy(p.cell.bitmap.data(), r + 10, p.cell.bitmap.size());
    next = static_cast<std::int16_t>(std::max<int>(next, p.number + 1));
    loaded.push_back(p);
  }
  patterns_ = std::move(loaded);
  nextNumber_ = next < 1 ? 1 : next;
  return true;
}

}  // namespace recognition
