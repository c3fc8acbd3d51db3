#include "ocrctl/tiff_codec.h"

#include "ocrctl/result_codes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <sstream>

namespace ocrctl::tiff {

namespace {

// The code tables of ITU-T T.4, one-dimensional coding, as bit strings.
// Terminating codes for runs 0..63, make-up codes for 64..1728 by 64, and
// the make-up codes shared by both colours for 1792..2560.
constexpr const char* kWhiteTerminating =
    "00110101 000111 0111 1000 1011 1100 1110 1111 10011 10100 00111 01000 001000 000011 110100 110101 "
    "101010 101011 0100111 0001100 0001000 0010111 0000011 0000100 0101000 0101011 0010011 0100100 "
    "0011000 00000010 00000011 00011010 00011011 00010010 00010011 00010100 00010101 00010110 00010111 "
    "00101000 00101001 00101010 00101011 00101100 00101101 00000100 00000101 00001010 00001011 01010010 "
    "01010011 01010100 01010101 00100100 00100101 01011000 01011001 01011010 01011011 01001010 01001011 "
    "00110010 00110011 00110100";
constexpr const char* kWhiteMakeup =
    "11011 10010 010111 0110111 00110110 00110111 01100100 01100101 01101000 01100111 011001100 011001101 "
    "011010010 011010011 011010100 011010101 011010110 011010111 011011000 011011001 011011010 011011011 "
    "010011000 010011001 010011010 011000 010011011";
constexpr const char* kBlackTerminating =
    "0000110111 010 11 10 011 0011 0010 00011 000101 000100 0000100 0000101 0000111 00000100 00000111 "
    "000011000 0000010111 0000011000 0000001000 00001100111 00001101000 00001101100 00000110111 "
    "00000101000 00000010111 00000011000 000011001010 000011001011 000011001100 000011001101 "
    "000001101000 000001101001 000001101010 000001101011 000011010010 000011010011 000011010100 "
    "000011010101 000011010110 000011010111 000001101100 000001101101 000011011010 000011011011 "
    "000001010100 000001010101 000001010110 000001010111 000001100100 000001100101 000001010010 "
    "000001010011 000000100100 000000110111 000000111000 000000100111 000000101000 000001011000 "
    "000001011001 000000101011 000000101100 000001011010 000001100110 000001100111";
constexpr const char* kBlackMakeup =
    "0000001111 000011001000 000011001001 000001011011 000000110011 000000110100 000000110101 "
    "0000001101100 0000001101101 0000001001010 0000001001011 0000001001100 0000001001101 0000001110010 "
    "0000001110011 0000001110100 0000001110101 0000001110110 0000001110111 0000001010010 0000001010011 "
    "0000001010100 0000001010101 0000001011010 0000001011011 0000001100100 0000001100101";
constexpr const char* kExtendedMakeup =
    "00000001000 00000001100 00000001101 000000010010 000000010011 000000010100 000000010101 "
    "000000010110 000000010111 000000011100 000000011101 000000011110 000000011111";

struct Code {
  std::uint16_t bits = 0;
  std::uint8_t length = 0;
};

struct Tables {
  std::array<Code, 64> terminating[2];
  std::array<Code, 27> makeup[2];
  std::array<Code, 13> extended;
  // (length << 16 | bits) -> run, per colour (0 white, 1 black).
  std::map<std::uint32_t, int> decode[2];
};

template <std::size_t N>
void parse(const char* text, std::array<Code, N>& out) {
  std::istringstream in(text);
  std::string word;
  for (std::size_t i = 0; i < N && in >> word; ++i) {
    Code c;
    for (char ch : word) c.bits = static_cast<std::uint16_t>((c.bits << 1) | (ch == '1'));
    c.length = static_cast<std::uint8_t>(word.size());
    out[i] = c;
  }
}

const Tables& tables() {
  static const Tables t = [] {
    Tables t;
    parse(kWhiteTerminating, t.terminating[0]);
    parse(kBlackTerminating, t.terminating[1]);
    parse(kWhiteMakeup, t.makeup[0]);
    parse(kBlackMakeup, t.makeup[1]);
    parse(kExtendedMakeup, t.extended);
    for (int colour = 0; colour < 2; ++colour) {
      auto key = [](const Code& c) { return (static_cast<std::uint32_t>(c.length) << 16) | c.bits; };
      for (int run = 0; run < 64; ++run) t.decode[colour][key(t.terminating[colour][run])] = run;
      for (int k = 0; k < 27; ++k) t.decode[colour][key(t.makeup[colour][k])] = 64 * (k + 1);
      for (int k = 0; k < 13; ++k) t.decode[colour][key(t.extended[k])] = 1792 + 64 * k;
    }
    return t;
  }();
  return t;
}

class BitWriter {
 public:
  void put(const Code& c) {
    for (int i = c.length - 1; i >= 0; --i) {
      current_ = static_cast<std::uint8_t>((current_ << 1) | ((c.bits >> i) & 1));
      if (++used_ == 8) flush();
    }
  }
  std::vector<std::uint8_t> finish() {
    if (used_ > 0) {
      current_ = static_cast<std::uint8_t>(current_ << (8 - used_));
      flush();
    }
    return std::move(out_);
  }

 private:
  void flush() {
    out_.push_back(current_);
    current_ = 0;
    used_ = 0;
  }
  std::vector<std::uint8_t> out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

void putRun(BitWriter& w, int colour, int run) {
  const Tables& t = tables();
  while (run >= 2560 + 64) {
    w.put(t.extended[12]);
    run -= 2560;
  }
  if (run >= 64) {
    const int makeup = run / 64 * 64;
    w.put(makeup >= 1792 ? t.extended[static_cast<std::size_t>((makeup - 1792) / 64)]
                         : t.makeup[colour][static_cast<std::size_t>(makeup / 64 - 1)]);
    run -= makeup;
  }
  w.put(t.terminating[colour][static_cast<std::size_t>(run)]);
}

std::size_t typeSize(std::uint16_t type) {
  switch (type) {
    case kByte:
    case kAscii: return 1;
    case kShort: return 2;
    case kLong: return 4;
    case kRational: return 8;
    default: return 0;
  }
}

constexpr std::size_t kEntryBytes = 12;
constexpr int kMaxDirectories = 4096;
constexpr std::size_t kMaxStripBytes = 256u << 20;

}  // namespace

std::vector<std::uint8_t> packBitsEncodeRow(const std::uint8_t* row, std::size_t length) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < length) {
    std::size_t run = 1;
    while (i + run < length && run < 128 && row[i + run] == row[i]) ++run;
    if (run >= 2) {
      out.push_back(static_cast<std::uint8_t>(1 - static_cast<int>(run)));
      out.push_back(row[i]);
      i += run;
      continue;
    }
    const std::size_t start = i;
    while (i < length && i - start < 128 && !(i + 1 < length && row[i + 1] == row[i])) ++i;
    if (i == start) ++i;  // cannot happen: a lone byte ends the loop above
    out.push_back(static_cast<std::uint8_t>(i - start - 1));
    out.insert(out.end(), row + start, row + i);
  }
  return out;
}

bool packBitsDecodeRow(const std::uint8_t*& data, const std::uint8_t* end, std::uint8_t* row, std::size_t length) {
  std::size_t at = 0;
  while (at < length) {
    if (data >= end) return false;
    const auto n = static_cast<std::int8_t>(*data++);
    if (n >= 0) {
      const std::size_t count = static_cast<std::size_t>(n) + 1;
      if (static_cast<std::size_t>(end - data) < count || length - at < count) return false;
      std::memcpy(row + at, data, count);
      data += count;
      at += count;
    } else if (n != -128) {
      const std::size_t count = static_cast<std::size_t>(1 - n);
      if (data >= end || length - at < count) return false;
      std::memset(row + at, *data++, count);
      at += count;
    }
  }
  return true;
}

std::vector<std::uint8_t> mhEncodeRow(const std::uint8_t* row, int width, bool whiteIsZero) {
  BitWriter w;
  auto black = [&](int x) {
    const bool set = (row[x / 8] & (0x80 >> (x % 8))) != 0;
    return whiteIsZero ? set : !set;
  };
  int x = 0;
  int colour = 0;
  while (x < width) {
    int run = 0;
    while (x + run < width && black(x + run) == (colour == 1)) ++run;
    putRun(w, colour, run);
    x += run;
    colour ^= 1;
  }
  if (width == 0) putRun(w, 0, 0);
  return w.finish();
}

bool mhDecodeRow(const std::uint8_t*& data, const std::uint8_t* end, std::uint8_t* row, int width,
                 bool whiteIsZero) {
  const Tables& t = tables();
  std::memset(row, whiteIsZero ? 0x00 : 0xFF, static_cast<std::size_t>((width + 7) / 8));
  int bit = 0;
  auto nextBit = [&](int* out) {
    if (data >= end) return false;
    *out = (*data >> (7 - bit)) & 1;
    if (++bit == 8) {
      bit = 0;
      ++data;
    }
    return true;
  };
  int x = 0;
  int colour = 0;
  while (x < width) {
    std::uint32_t bits = 0;
    int length = 0;
    int run = -1;
    while (run < 0) {
      int b = 0;
      if (length >= 13 || !nextBit(&b)) return false;
      bits = (bits << 1) | static_cast<std::uint32_t>(b);
      ++length;
      auto it = t.decode[colour].find((static_cast<std::uint32_t>(length) << 16) | bits);
      if (it != t.decode[colour].end()) run = it->second;
    }
    if (run > width - x) return false;
    if (colour == 1) {
      for (int i = x; i < x + run; ++i) {
        std::uint8_t& byte = row[i / 8];
        const auto mask = static_cast<std::uint8_t>(0x80 >> (i % 8));
        byte = whiteIsZero ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
      }
    }
    x += run;
    if (run < 64) colour ^= 1;  // a make-up code is followed by its colour's terminating code
  }
  if (bit != 0) ++data;  // rows end on a byte boundary
  return true;
}

TiffFile::~TiffFile() { close(); }

void TiffFile::close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

std::uint16_t TiffFile::order16(std::uint16_t v) const {
  return order_ == kMotorola ? static_cast<std::uint16_t>((v >> 8) | (v << 8)) : v;
}
std::uint32_t TiffFile::order32(std::uint32_t v) const {
  return order_ == kMotorola ? __builtin_bswap32(v) : v;
}

bool TiffFile::readAt(std::uint64_t offset, void* data, std::size_t size) {
  if (file_ == nullptr || offset > static_cast<std::uint64_t>(INT64_MAX)) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fread(data, 1, size, file_) == size;
}

bool TiffFile::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
  if (file_ == nullptr) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
  return std::fwrite(data, 1, size, file_) == size && std::fflush(file_) == 0;
}

std::uint64_t TiffFile::fileSize() {
  if (file_ == nullptr || fseeko(file_, 0, SEEK_END) != 0) return 0;
  const off_t end = ftello(file_);
  return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

short TiffFile::create(const std::string& path, std::uint16_t byteOrder) {
  close();
  file_ = std::fopen(path.c_str(), "w+b");
  if (file_ == nullptr) return kCannotCreate;
  order_ = byteOrder == kMotorola ? kMotorola : kIntel;
  const std::uint8_t header[8] = {static_cast<std::uint8_t>(order_ & 0xFF), static_cast<std::uint8_t>(order_ >> 8),
                                  static_cast<std::uint8_t>(order_ == kIntel ? 42 : 0),
                                  static_cast<std::uint8_t>(order_ == kIntel ? 0 : 42), 0, 0, 0, 0};
  if (!writeAt(0, header, sizeof header)) {
    close();
    return kWrite;
  }
  return kOk;
}

short TiffFile::open(const std::string& path) {
  close();
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) return kCannotOpen;
  std::uint8_t header[4];
  if (!readAt(0, header, sizeof header) || !((header[0] == 'I' && header[1] == 'I') || (header[0] == 'M' && header[1] == 'M'))) {
    close();
    return kNotTiff;
  }
  order_ = header[0] == 'I' ? kIntel : kMotorola;
  std::uint16_t version = 0;
  std::memcpy(&version, header + 2, 2);
  if (order16(version) != 42) {
    close();
    return kNotTiff;
  }
  return kOk;
}

void TiffFile::init(std::size_t tableBytes) {
  capacity_ = tableBytes / kEntryBytes;
  entries_.clear();
  width = height = 0;
  rowsPerStrip = -1;
  newSubfileType = 0;
  samplesPerPixel = 1;
  std::fill(std::begin(bitsPerSample), std::end(bitsPerSample), 1);
  compression = 1;
  photometric = 0;
  planar = 1;
  xResolution[0] = yResolution[0] = 300;
  xResolution[1] = yResolution[1] = 1;
  resolutionUnit = 2;
}

int TiffFile::bitsPerPixel() const {
  if (planar != 1) return bitsPerSample[0];
  int sum = 0;
  for (int i = 0; i < std::clamp(samplesPerPixel, 1, 10); ++i) sum += bitsPerSample[i];
  return sum;
}

std::uint32_t TiffFile::fieldValue(const Entry& e, std::uint32_t index, bool* ok) {
  const std::size_t unit = typeSize(e.type);
  if (unit == 0 || index >= e.count) {
    *ok = false;
    return 0;
  }
  std::uint8_t raw[8] = {};
  if (static_cast<std::uint64_t>(e.count) * unit <= 4) {
    std::memcpy(raw, reinterpret_cast<const std::uint8_t*>(&e.value) + index * unit, std::min<std::size_t>(unit, 4));
  } else if (!readAt(static_cast<std::uint64_t>(order32(e.value)) + static_cast<std::uint64_t>(index) * unit, raw,
                     unit)) {
    *ok = false;
    return 0;
  }
  std::uint16_t s = 0;
  std::uint32_t l = 0;
  switch (e.type) {
    case kShort: std::memcpy(&s, raw, 2); return order16(s);
    case kLong:
    case kRational: std::memcpy(&l, raw, 4); return order32(l);
    default: return raw[0];
  }
}

short TiffFile::getTag(std::uint16_t tag, std::uint32_t first, std::int64_t count, std::uint16_t* type,
                       std::uint32_t* total, std::vector<std::uint32_t>* out) {
  auto it = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.tag == tag; });
  if (it == entries_.end()) return kNoTag;
  if (first >= it->count) return kSeekRead;
  const std::uint32_t n = count < 0 ? it->count - first
                                    : static_cast<std::uint32_t>(std::min<std::int64_t>(count, it->count - first));
  if (type != nullptr) *type = it->type;
  if (total != nullptr) *total = it->count;
  if (out != nullptr) {
    out->clear();
    for (std::uint32_t i = 0; i < n; ++i) {
      bool ok = true;
      out->push_back(fieldValue(*it, first + i, &ok));
      if (!ok) return kSeekRead;
    }
  }
  return kOk;
}

short TiffFile::setTag(std::uint16_t tag, std::uint16_t type, std::uint32_t value, std::uint32_t count) {
  Entry e;
  e.tag = tag;
  e.type = type;
  e.count = count;
  // Left-justified in file order.
  if (type == kShort) {
    const std::uint16_t v = order16(static_cast<std::uint16_t>(value));
    std::memcpy(&e.value, &v, 2);
  } else if (type == kByte || type == kAscii) {
    e.value = value & 0xFF;
  } else {
    e.value = order32(value);
  }
  auto it = std::lower_bound(entries_.begin(), entries_.end(), tag,
                             [](const Entry& a, std::uint16_t t) { return a.tag < t; });
  if (it != entries_.end() && it->tag == tag) {
    *it = e;
    return kOk;
  }
  if (entries_.size() >= capacity_) return kNoFileOrFull;
  entries_.insert(it, e);
  return kOk;
}

void TiffFile::deleteTag(std::uint16_t tag) {
  std::erase_if(entries_, [&](const Entry& e) { return e.tag == tag; });
}

std::vector<std::uint32_t> TiffFile::stripValues(std::uint16_t tag, bool* ok) {
  std::vector<std::uint32_t> values;
  *ok = getTag(tag, 0, -1, nullptr, nullptr, &values) == kOk;
  return values;
}

short TiffFile::readIfd(int index) {
  if (file_ == nullptr) return kNoFileOrFull;
  const std::uint64_t size = fileSize();
  std::uint32_t raw = 0;
  if (!readAt(4, &raw, 4)) return kSeekRead;
  std::uint64_t offset = order32(raw);
  for (int i = 0;; ++i) {
    if (offset == 0 || offset + 2 > size || i > kMaxDirectories) return kNotTiff;
    if (i == index) break;
    std::uint16_t n = 0;
    if (!readAt(offset, &n, 2)) return kSeekRead;
    if (!readAt(offset + 2 + kEntryBytes * order16(n), &raw, 4)) return kSeekRead;
    offset = order32(raw);
  }
  std::uint16_t n = 0;
  if (!readAt(offset, &n, 2)) return kSeekRead;
  n = order16(n);
  if (n > capacity_) return kNoFileOrFull;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n) * kEntryBytes);
  if (!bytes.empty() && !readAt(offset + 2, bytes.data(), bytes.size())) return kSeekRead;
  entries_.clear();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t* p = bytes.data() + i * kEntryBytes;
    Entry e;
    std::uint16_t s = 0;
    std::memcpy(&s, p, 2);
    e.tag = order16(s);
    std::memcpy(&s, p + 2, 2);
    e.type = order16(s);
    std::memcpy(&e.count, p + 4, 4);
    e.count = order32(e.count);
    std::memcpy(&e.value, p + 8, 4);
    entries_.push_back(e);
  }
  std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });

  auto one = [&](std::uint16_t tag, std::uint32_t fallback, bool required, bool* ok) -> std::uint32_t {
    std::vector<std::uint32_t> v;
    if (getTag(tag, 0, 1, nullptr, nullptr, &v) != kOk || v.empty()) {
      if (required) *ok = false;
      return fallback;
    }
    return v[0];
  };
  bool ok = true;
  const std::uint32_t w = one(256, 0, true, &ok);
  const std::uint32_t h = one(257, 0, true, &ok);
  one(273, 0, true, &ok);
  if (!ok || w == 0 || h == 0 || w > 65535 || h > 65535) return kNotTiff;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  newSubfileType = one(254, 0, false, &ok);
  compression = static_cast<int>(one(259, 1, false, &ok));
  photometric = static_cast<int>(one(262, 0, false, &ok));
  samplesPerPixel = static_cast<int>(std::clamp<std::uint32_t>(one(277, 1, false, &ok), 1, 10));
  std::vector<std::uint32_t> bps;
  if (getTag(258, 0, 10, nullptr, nullptr, &bps) == kOk)
    for (std::size_t i = 0; i < bps.size() && i < 10; ++i) bitsPerSample[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(bps[i], 32));
  const std::uint32_t rps = one(278, h, false, &ok);
  rowsPerStrip = rps == 0 || rps > h ? static_cast<std::int32_t>(h) : static_cast<std::int32_t>(rps);
  planar = static_cast<int>(one(284, 1, false, &ok));
  resolutionUnit = static_cast<int>(one(296, 2, false, &ok));
  return kOk;
}

short TiffFile::writeIfd() {
  if (file_ == nullptr) return kNoFileOrFull;
  // SubfileType 2 or 3 becomes its NewSubfileType bit.
  std::vector<std::uint32_t> old;
  if (getTag(255, 0, 1, nullptr, nullptr, &old) == kOk && !old.empty() && (old[0] == 2 || old[0] == 3))
    newSubfileType = 1u << (old[0] - 1);
  deleteTag(255);
  // Rationals go to the end of the file first; their offsets go in the entries.
  auto appendRational = [&](const std::uint32_t r[2], std::uint32_t* at) {
    *at = static_cast<std::uint32_t>(fileSize());
    const std::uint32_t v[2] = {order32(r[0]), order32(r[1])};
    return writeAt(*at, v, sizeof v);
  };
  std::uint32_t xAt = 0, yAt = 0;
  if (!appendRational(xResolution, &xAt) || !appendRational(yResolution, &yAt)) return kWrite;
  const std::uint16_t dimensionType = width > 65535 || height > 65535 ? kLong : kShort;
  short status = kOk;
  auto set = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value, std::uint32_t count = 1) {
    if (status == kOk) status = setTag(tag, type, value, count);
  };
  set(254, kLong, newSubfileType);
  set(256, dimensionType, static_cast<std::uint32_t>(width));
  set(257, dimensionType, static_cast<std::uint32_t>(height));
  if (samplesPerPixel <= 2) {
    set(258, kShort, bitsPerSample[0], static_cast<std::uint32_t>(samplesPerPixel));
    if (samplesPerPixel == 2 && status == kOk) {
      auto it = std::find_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.tag == 258; });
      const std::uint16_t pair[2] = {order16(bitsPerSample[0]), order16(bitsPerSample[1])};
      std::memcpy(&it->value, pair, 4);
    }
  } else {
    const std::uint32_t at = static_cast<std::uint32_t>(fileSize());
    std::vector<std::uint16_t> values;
    for (int i = 0; i < samplesPerPixel; ++i) values.push_back(order16(bitsPerSample[i]));
    if (!writeAt(at, values.data(), values.size() * 2)) return kWrite;
    set(258, kShort, 0, static_cast<std::uint32_t>(samplesPerPixel));
    if (status == kOk) {
      auto it = std::find_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.tag == 258; });
      it->value = order32(at);
    }
  }
  set(259, kShort, static_cast<std::uint32_t>(compression));
  set(262, kShort, static_cast<std::uint32_t>(photometric));
  set(273, kLong, 0);
  set(277, kShort, static_cast<std::uint32_t>(samplesPerPixel));
  set(278, kLong, static_cast<std::uint32_t>(rowsPerStrip));
  set(279, kLong, 0);
  set(282, kRational, 0);
  set(283, kRational, 0);
  if (samplesPerPixel > 1) set(284, kShort, static_cast<std::uint32_t>(planar));
  set(296, kShort, static_cast<std::uint32_t>(resolutionUnit));
  if (status != kOk) return status;
  for (Entry& e : entries_) {
    if (e.tag == 282) e.value = order32(xAt);
    if (e.tag == 283) e.value = order32(yAt);
  }

  std::uint64_t at = fileSize();
  if (at % 2 != 0) {
    const std::uint8_t pad = 0;
    if (!writeAt(at++, &pad, 1)) return kWrite;
  }
  std::vector<std::uint8_t> dir(2 + kEntryBytes * entries_.size() + 4, 0);
  const std::uint16_t n = order16(static_cast<std::uint16_t>(entries_.size()));
  std::memcpy(dir.data(), &n, 2);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    std::uint8_t* p = dir.data() + 2 + i * kEntryBytes;
    const std::uint16_t tag = order16(e.tag);
    const std::uint16_t type = order16(e.type);
    const std::uint32_t count = order32(e.count);
    std::memcpy(p, &tag, 2);
    std::memcpy(p + 2, &type, 2);
    std::memcpy(p + 4, &count, 4);
    std::memcpy(p + 8, &e.value, 4);
    if (e.tag == 273) stripOffsetField_ = at + 2 + i * kEntryBytes + 8;
    if (e.tag == 279) stripCountField_ = at + 2 + i * kEntryBytes + 8;
  }
  if (!writeAt(at, dir.data(), dir.size())) return kWrite;
  // The chain's last zero link now names the new directory.
  std::uint64_t link = 4;
  for (int i = 0; i < kMaxDirectories; ++i) {
    std::uint32_t raw = 0;
    if (!readAt(link, &raw, 4)) return kWrite;
    const std::uint32_t next = order32(raw);
    if (next == 0 || next == at) break;
    std::uint16_t count = 0;
    if (!readAt(next, &count, 2)) return kWrite;
    link = next + 2 + kEntryBytes * order16(count);
  }
  const std::uint32_t offset = order32(static_cast<std::uint32_t>(at));
  return writeAt(link, &offset, 4) ? kOk : kWrite;
}

short TiffFile::writeRows(int plane, int firstRow, int rows, const std::uint8_t* data, std::size_t stride) {
  if (file_ == nullptr || stripOffsetField_ == 0) return kNoFileOrFull;
  if (compression != 1 && compression != 2 && compression != 32773) return kCompression;
  if (firstRow < 0 || rows < 0 || firstRow + rows > height || plane != 0) return kSeekRead;
  std::uint64_t end = fileSize();
  if (firstRow == 0) {
    const std::uint32_t offset = order32(static_cast<std::uint32_t>(end));
    if (!writeAt(stripOffsetField_, &offset, 4)) return kWrite;
  }
  const auto bpr = static_cast<std::size_t>(bytesPerRow());
  for (int r = 0; r < rows; ++r) {
    const std::uint8_t* row = data + stride * static_cast<std::size_t>(r);
    std::vector<std::uint8_t> encoded;
    if (compression == 1) encoded.assign(row, row + bpr);
    else if (compression == 2) encoded = mhEncodeRow(row, width, photometric == 0);
    else encoded = packBitsEncodeRow(row, bpr);
    if (!writeAt(end, encoded.data(), encoded.size())) return kWrite;
    end += encoded.size();
  }
  if (firstRow + rows == height) {
    std::uint32_t start = 0;
    if (!readAt(stripOffsetField_, &start, 4)) return kWrite;
    const std::uint32_t count = order32(static_cast<std::uint32_t>(end - order32(start)));
    if (!writeAt(stripCountField_, &count, 4)) return kWrite;
  }
  return kOk;
}

short TiffFile::readRows(int plane, int firstRow, int rows, std::uint8_t* buffer, std::size_t stride) {
  if (file_ == nullptr) return kNoFileOrFull;
  if (compression != 1 && compression != 2 && compression != 32773) return kCompression;
  if (firstRow < 0 || rows < 0 || firstRow + rows > height || plane != 0) return kSeekRead;
  bool ok = true;
  const std::vector<std::uint32_t> offsets = stripValues(273, &ok);
  if (!ok) return kSeekRead;
  std::vector<std::uint32_t> counts = stripValues(279, &ok);
  const std::uint64_t size = fileSize();
  const auto bpr = static_cast<std::size_t>(bytesPerRow());
  const int rps = rowsPerStrip > 0 ? rowsPerStrip : height;
  int strip = -1;
  std::vector<std::uint8_t> decoded;  // rows of the current strip
  for (int r = firstRow; r < firstRow + rows; ++r) {
    std::uint8_t* out = buffer + stride * static_cast<std::size_t>(r - firstRow);
    const int s = r / rps;
    if (static_cast<std::size_t>(s) >= offsets.size()) return kSeekRead;
    if (compression == 1) {
      if (!readAt(static_cast<std::uint64_t>(offsets[static_cast<std::size_t>(s)]) + static_cast<std::uint64_t>(r % rps) * bpr, out, bpr))
        return kSeekRead;
      continue;
    }
    if (s != strip) {
      strip = s;
      const std::uint64_t start = offsets[static_cast<std::size_t>(s)];
      if (start >= size) return kSeekRead;
      std::uint64_t length = size - start;
      if (ok && static_cast<std::size_t>(s) < counts.size()) length = std::min<std::uint64_t>(length, counts[static_cast<std::size_t>(s)]);
      if (length > kMaxStripBytes) return kSeekRead;
      std::vector<std::uint8_t> raw(static_cast<std::size_t>(length));
      if (!readAt(start, raw.data(), raw.size())) return kSeekRead;
      const int stripRows = std::min(rps, height - s * rps);
      if (bpr * static_cast<std::size_t>(stripRows) > kMaxStripBytes) return kSeekRead;
      decoded.assign(bpr * static_cast<std::size_t>(stripRows), 0);
      const std::uint8_t* p = raw.data();
      const std::uint8_t* e = raw.data() + raw.size();
      for (int i = 0; i < stripRows; ++i) {
        std::uint8_t* row = decoded.data() + bpr * static_cast<std::size_t>(i);
        const bool rowOk = compression == 2 ? mhDecodeRow(p, e, row, width, photometric == 0)
                                            : packBitsDecodeRow(p, e, row, bpr);
        if (!rowOk) return kSeekRead;
      }
    }
    std::memcpy(out, decoded.data() + bpr * static_cast<std::size_t>(r % rps), bpr);
  }
  return kOk;
}

short loadTiffBilevel(const std::string& name, platform::GlobalHandle* handle, int* width, int* height) {
  if (name.empty()) return code::kReaderRefused;
  auto dropCallers = [&] {
    if (handle != nullptr && *handle != 0) platform::globalFree(*handle);
    if (handle != nullptr) *handle = 0;
  };
  TiffFile file;
  if (file.open(name) != kOk) {
    dropCallers();
    return code::kOpenFailed;
  }
  file.init(4096);
  if (file.readIfd(0) != kOk || file.bitsPerPixel() != 1) {
    dropCallers();
    return code::kReadFailed;
  }
  const int w = (file.width + 63) / 64 * 64;
  const int h = (file.height + 63) / 64 * 64;
  dropCallers();
  const platform::GlobalHandle block = platform::globalAlloc(static_cast<std::size_t>(w / 8) * h);
  if (block == 0) return code::kNoMemory;
  std::uint8_t* out = platform::globalLock(block);
  const auto imageRow = static_cast<std::size_t>(file.bytesPerRow());
  std::vector<std::uint8_t> row(imageRow);
  const std::size_t copy = std::min<std::size_t>(static_cast<std::size_t>(w / 8), imageRow);
  const auto lastMask = static_cast<std::uint8_t>(file.width % 8 == 0 ? 0xFF : 0xFF << (8 - file.width % 8));
  for (int y = 0; y < file.height; ++y) {
    if (file.readRows(0, y, 1, row.data(), imageRow) != kOk) {
      platform::globalFree(block);
      return code::kReadFailed;
    }
    std::uint8_t* to = out + static_cast<std::size_t>(w / 8) * y;
    for (std::size_t i = 0; i < copy; ++i) to[i] = file.photometric == 1 ? static_cast<std::uint8_t>(~row[i]) : row[i];
    // Inverted padding bits of the last byte would be ink.
    to[imageRow - 1] &= lastMask;
  }
  *handle = block;
  *width = w;
  *height = h;
  return 0;
}

}  // namespace ocrctl::tiff
