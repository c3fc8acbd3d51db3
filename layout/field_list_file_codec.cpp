// Bytes of a field-list file; see field_list_file_codec.h.
#include "layout/field_list_file_codec.h"

#include "platform/byte_order.h"

#include <limits>

namespace layout {

namespace {

// The record image: the prev pointer, then the field's values.
constexpr int kImageScalars = 4;

// ---------------------------------------------------------------- writing

class Writer {
 public:
  explicit Writer(std::string* out) : out_(out) {}
  void word(int v) {
    std::uint8_t b[2];
    platform::storeLe16(b, static_cast<std::uint16_t>(v));
    out_->append(reinterpret_cast<const char*>(b), 2);
  }
  void dword(std::int32_t v) {
    std::uint8_t b[4];
    platform::storeLe32(b, static_cast<std::uint32_t>(v));
    out_->append(reinterpret_cast<const char*>(b), 4);
  }
  void bytes(const void* p, std::size_t n) { out_->append(static_cast<const char*>(p), n); }
  void zeros(std::size_t n) { out_->append(n, '\0'); }

 private:
  std::string* out_;
};

bool fitsWord(std::size_t n) { return n <= std::numeric_limits<std::uint16_t>::max(); }

// Rectangle, number, sub-number, measures, origin and parameter block: the
// same 52 bytes in a record image and in a tree entry.
void writeScalars(Writer& w, const FldNode& f) {
  w.word(f.left);
  w.word(f.top);
  w.word(f.right);
  w.word(f.bottom);
  w.word(f.number);
  w.word(f.subNumber);
  for (std::int16_t m : f.measures) w.word(m);
  w.word(f.origin);
  w.bytes(f.params.bytes.data(), f.params.bytes.size());
}

void writeImage(Writer& w, const FldNode& f) {
  w.zeros(4);  // prev
  writeScalars(w, f);
  w.zeros(16);  // line, block and child heads, next
}

void writeChar(Writer& w, const FldChar& c) {
  w.word(c.left);
  w.word(c.top);
  w.word(c.right);
  w.word(c.bottom);
  w.word(c.code);
  w.word(c.code2);
}

bool writeTree(Writer& w, const std::vector<FldNode>& fields) {
  if (!fitsWord(fields.size())) return false;
  w.word(static_cast<int>(fields.size()));
  for (const FldNode& f : fields) {
    if (!fitsWord(f.blocks.size()) || !fitsWord(f.children.size()) || !fitsWord(f.lines.size())) return false;
    writeScalars(w, f);
    w.word(static_cast<int>(f.blocks.size()));
    w.word(static_cast<int>(f.children.size()));
    w.word(static_cast<int>(f.lines.size()));
    for (const FldChar& c : f.blocks) writeChar(w, c);
    if (!f.children.empty() && !writeTree(w, f.children)) return false;
    for (const FldLine& line : f.lines) {
      if (!fitsWord(line.boxes.size())) return false;
      w.word(line.left);
      w.word(line.top);
      w.word(line.right);
      w.word(line.bottom);
      w.word(static_cast<int>(line.boxes.size()));
      // The two 32-bit work words as four words, low word first.
      w.dword(line.work[0]);
      w.dword(line.work[1]);
      for (const FldChar& c : line.boxes) writeChar(w, c);
    }
  }
  return true;
}

// ---------------------------------------------------------------- reading

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  // Each read takes n bytes or nothing; false when fewer are left.
  const std::uint8_t* take(std::size_t n) {
    if (bytes_.size() - at_ < n) return nullptr;
    const std::uint8_t* p = bytes_.data() + at_;
    at_ += n;
    return p;
  }
  bool word(std::uint16_t* v) {
    const std::uint8_t* p = take(2);
    if (p == nullptr) return false;
    *v = platform::loadLe16(p);
    return true;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

std::int16_t s16(const std::uint8_t* p) { return static_cast<std::int16_t>(platform::loadLe16(p)); }

// The 52 bytes writeScalars writes.
void readScalars(const std::uint8_t* p, FldNode* f) {
  f->left = s16(p);
  f->top = s16(p + 2);
  f->right = s16(p + 4);
  f->bottom = s16(p + 6);
  f->number = s16(p + 8);
  f->subNumber = s16(p + 10);
  for (int i = 0; i < 4; ++i) f->measures[i] = s16(p + 12 + 2 * i);
  f->origin = platform::loadLe16(p + 20);
  std::copy(p + 22, p + 54, f->params.bytes.begin());
}

void readImage(const std::uint8_t* p, FldNode* f) { readScalars(p + kImageScalars, f); }

bool readChars(Reader& r, std::uint16_t count, std::vector<FldChar>* out) {
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint8_t* p = r.take(kFldCharEntryBytes);
    if (p == nullptr) return false;
    out->push_back({s16(p), s16(p + 2), s16(p + 4), s16(p + 6), s16(p + 8), s16(p + 10)});
  }
  return true;
}

FldCodecStatus readTree(Reader& r, int depth, std::vector<FldNode>* out) {
  if (depth > kFldMaxDepth) return FldCodecStatus::TooDeep;
  std::uint16_t count = 0;
  if (!r.word(&count)) return FldCodecStatus::Short;
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint8_t* p = r.take(kFldEntryBytes);
    if (p == nullptr) return FldCodecStatus::Short;
    FldNode& f = out->emplace_back();
    readScalars(p, &f);
    const std::uint16_t blocks = platform::loadLe16(p + 54);
    const std::uint16_t children = platform::loadLe16(p + 56);
    const std::uint16_t lines = platform::loadLe16(p + 58);
    if (!readChars(r, blocks, &f.blocks)) return FldCodecStatus::Short;
    if (children > 0) {
      const FldCodecStatus s = readTree(r, depth + 1, &f.children);
      if (s != FldCodecStatus::Ok) return s;
    }
    for (std::uint16_t k = 0; k < lines; ++k) {
      const std::uint8_t* q = r.take(kFldLineEntryBytes);
      if (q == nullptr) return FldCodecStatus::Short;
      FldLine& line = f.lines.emplace_back();
      line.left = s16(q);
      line.top = s16(q + 2);
      line.right = s16(q + 4);
      line.bottom = s16(q + 6);
      const std::uint16_t boxes = platform::loadLe16(q + 8);
      line.work[0] = static_cast<std::int32_t>(platform::loadLe32(q + 10));
      line.work[1] = static_cast<std::int32_t>(platform::loadLe32(q + 14));
      if (!readChars(r, boxes, &line.boxes)) return FldCodecStatus::Short;
    }
  }
  return FldCodecStatus::Ok;
}

FldCodecStatus decode(std::span<const std::uint8_t> bytes, std::size_t textCapacity, bool withTrees,
                      FldFileContents* out) {
  Reader r(bytes);
  std::uint16_t length = 0;
  if (!r.word(&length)) return FldCodecStatus::Short;
  // The text and its terminator must fit the caller's buffer.
  if (static_cast<std::size_t>(length) >= textCapacity) return FldCodecStatus::TextTooLong;
  const std::uint8_t* text = r.take(length);
  if (text == nullptr) return FldCodecStatus::Short;
  out->text.assign(reinterpret_cast<const char*>(text), length);
  std::uint16_t records = 0;
  if (!r.word(&out->callerWord) || !r.word(&records)) return FldCodecStatus::Short;
  for (std::uint16_t i = 0; i < records; ++i) {
    const std::uint8_t* p = r.take(kFldRecordImageBytes);
    if (p == nullptr) return FldCodecStatus::Short;
    FldNode& record = out->callerRecords.emplace_back();
    readImage(p, &record);
    std::uint16_t children = 0;
    if (!r.word(&children)) return FldCodecStatus::Short;
    for (std::uint16_t k = 0; k < children; ++k) {
      const std::uint8_t* q = r.take(kFldRecordImageBytes);
      if (q == nullptr) return FldCodecStatus::Short;
      readImage(q, &record.children.emplace_back());
    }
  }
  if (!withTrees) return FldCodecStatus::Ok;
  out->hasTrees = true;
  FldCodecStatus s = readTree(r, 0, &out->sfld);
  if (s == FldCodecStatus::Ok) s = readTree(r, 0, &out->ruleFields);
  return s;
}

}  // namespace

FldCodecStatus encodeFldFile(const FldFileContents& contents, std::string* out) {
  if (!fitsWord(contents.text.size()) || !fitsWord(contents.callerRecords.size())) return FldCodecStatus::TooMany;
  Writer w(out);
  w.word(static_cast<int>(contents.text.size()));
  w.bytes(contents.text.data(), contents.text.size());
  w.word(contents.callerWord);
  w.word(static_cast<int>(contents.callerRecords.size()));
  for (const FldNode& record : contents.callerRecords) {
    if (!fitsWord(record.children.size())) return FldCodecStatus::TooMany;
    writeImage(w, record);
    w.word(static_cast<int>(record.children.size()));
    for (const FldNode& child : record.children) writeImage(w, child);
  }
  if (!writeTree(w, contents.sfld) || !writeTree(w, contents.ruleFields)) return FldCodecStatus::TooMany;
  return FldCodecStatus::Ok;
}

FldCodecStatus decodeFldFile(std::span<const std::uint8_t> bytes, std::size_t textCapacity, bool withTrees,
                             FldFileContents* out) {
  *out = FldFileContents{};
  const FldCodecStatus s = decode(bytes, textCapacity, withTrees, out);
  if (s != FldCodecStatus::Ok) *out = FldFileContents{};
  return s;
}

}  // namespace layout
