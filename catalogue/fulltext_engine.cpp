// The full-text engine: registration of terms and the block scan.
//
// Registration: each expression is parsed into its slot, the kinds are
// assigned, then variants are appended (width forms, case forms, small
// kana), the slot is ordered longest term first so that the longest
// spelling wins at a position, and each term gets the number of its
// characters that the fuzzy comparison must find.
//
// Scanning: a table of the bytes a registered term can start with lets the
// walk pass over most positions with one look-up; only at such a byte are
// the terms compared.
//
// Fuzzy comparison (similarity below 100): starting at a character of the
// term, each term character is looked for, in order, a few bytes ahead of
// the last one found; the score is the share of term characters found, in
// percent. It gives up early when the first characters are missing.

#include "catalogue/fulltext_engine.h"

#include "catalogue/full_width.h"
#include "platform/sjis_codec.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <utility>

namespace fulltext {

namespace {

using platform::isSjisLeadByte;

constexpr std::array<int, 7> kDefaultParams = {1, 1, 128, 3, 1, 1, 100};
constexpr std::uint16_t kLongSound = 0x815B;  // ー

std::size_t charLength(std::string_view s, std::size_t i) {
  return (isSjisLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

std::vector<std::string> charsOf(std::string_view s) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t n = charLength(s, i);
    out.emplace_back(s.substr(i, n));
    i += n;
  }
  return out;
}

std::string sj(std::string_view utf8) { return platform::toCp932(utf8).value_or(""); }

// Two-katakana sequences whose final kana has a small form in common use,
// as (large, small) pairs in Shift-JIS.
const std::vector<std::pair<std::string, std::string>>& smallKanaSequences() {
  static const auto table = [] {
    std::vector<std::pair<std::string, std::string>> t;
    const auto add = [&](std::string_view firsts, std::string_view large, std::string_view small) {
      const auto f = charsOf(sj(firsts));
      const auto l = charsOf(sj(large));
      const auto s = charsOf(sj(small));
      for (const auto& first : f)
        for (std::size_t k = 0; k < l.size(); ++k) t.emplace_back(first + l[k], first + s[k]);
    };
    add("キギシジチヂニヒビピミリ", "ヤユヨエ", "ャュョェ");
    add("フヴ", "アイウエオヤユヨ", "ァィゥェォャュョ");
    add("ウ", "イエオ", "ィェォ");
    add("テデ", "イユ", "ィュ");
    add("トド", "ウ", "ゥ");
    add("ツ", "アイエオ", "ァィェォ");
    add("クグ", "アイエオワ", "ァィェォヮ");
    add("スズ", "イ", "ィ");
    add("イ", "エ", "ェ");
    return t;
  }();
  return table;
}

// Replaces listed sequences (from → to) character by character.
std::string replaceSequences(std::string_view term, bool toSmall) {
  std::string out;
  const auto& table = smallKanaSequences();
  for (std::size_t i = 0; i < term.size();) {
    const std::size_t n = charLength(term, i);
    bool replaced = false;
    if (n == 2 && i + 4 <= term.size()) {
      const std::string_view seq = term.substr(i, 4);
      for (const auto& [large, small] : table) {
        if (seq == (toSmall ? large : small)) {
          // The first kana stays; only the second changes, and it may start
          // a further sequence of its own.
          out += seq.substr(0, 2);
          out += (toSmall ? small : large).substr(2, 2);
          i += 4;
          replaced = true;
          break;
        }
      }
    }
    if (replaced) continue;
    out += term.substr(i, n);
    i += n;
  }
  return out;
}

std::string lowerForm(std::string_view term) {
  std::string out;
  for (std::size_t i = 0; i < term.size();) {
    auto c = static_cast<unsigned char>(term[i]);
    if (charLength(term, i) == 2) {
      auto t = static_cast<unsigned char>(term[i + 1]);
      if (c == 0x82 && t >= 0x60 && t <= 0x79) t = static_cast<unsigned char>(t + 0x21);
      out += static_cast<char>(c);
      out += static_cast<char>(t);
      i += 2;
      continue;
    }
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c + 0x20);
    else if (c == 0xD5) c = 0xAD;
    else if (c == 0xD6) c = 0xAE;
    else if (c == 0xC2) c = 0xAF;
    out += static_cast<char>(c);
    ++i;
  }
  return replaceSequences(out, true);
}

std::string upperForm(std::string_view term) {
  std::string out;
  for (std::size_t i = 0; i < term.size();) {
    auto c = static_cast<unsigned char>(term[i]);
    if (charLength(term, i) == 2) {
      auto t = static_cast<unsigned char>(term[i + 1]);
      if (c == 0x82 && t >= 0x81 && t <= 0x9A) t = static_cast<unsigned char>(t - 0x21);
      out += static_cast<char>(c);
      out += static_cast<char>(t);
      i += 2;
      continue;
    }
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 0x20);
    else if (c >= 0xA7 && c <= 0xAB) c = static_cast<unsigned char>(c - 0xA7 + 0xB1);
    else if (c >= 0xAC && c <= 0xAE) c = static_cast<unsigned char>(c - 0xAC + 0xD4);
    else if (c == 0xAF) c = 0xC2;
    out += static_cast<char>(c);
    ++i;
  }
  return replaceSequences(out, false);
}

bool isAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string capitalisedForm(std::string_view term) {
  std::string out;
  bool first = true;
  for (std::size_t i = 0; i < term.size();) {
    const std::size_t n = charLength(term, i);
    auto c = static_cast<unsigned char>(term[i]);
    if (n == 1 && isAsciiLetter(c)) {
      if (first) c = static_cast<unsigned char>(c & ~0x20);
      else c = static_cast<unsigned char>(c | 0x20);
    }
    out += static_cast<char>(c);
    if (n == 2) out += term[i + 1];
    first = false;
    i += n;
  }
  return out;
}

}  // namespace

std::string ToHalfWidth(std::string_view sjis) {
  static const auto reverse = [] {
    std::map<std::string, std::string> m;
    const auto learn = [&](const std::string& half) {
      const std::string full = ToFullWidth(half);
      if (full.size() == 2 && isSjisLeadByte(static_cast<unsigned char>(full[0])))
        m.emplace(full, half);
    };
    for (int b = 0x20; b <= 0x7E; ++b) learn(std::string(1, static_cast<char>(b)));
    for (int b = 0xA1; b <= 0xDF; ++b) learn(std::string(1, static_cast<char>(b)));
    for (int b = 0xA6; b <= 0xDD; ++b)
      for (const int mark : {0xDE, 0xDF})
        learn(std::string{static_cast<char>(b), static_cast<char>(mark)});
    return m;
  }();
  std::string out;
  for (std::size_t i = 0; i < sjis.size();) {
    const std::size_t n = charLength(sjis, i);
    const std::string c(sjis.substr(i, n));
    const auto found = n == 2 ? reverse.find(c) : reverse.end();
    out += found != reverse.end() ? found->second : c;
    i += n;
  }
  return out;
}

FulltextEngine::FulltextEngine() { InitFulltextSearch(); }
FulltextEngine::~FulltextEngine() = default;

int FulltextEngine::InitFulltextSearch() {
  CloseFile();
  ignoredBytes_.clear();
  ignoredPairs_.clear();
  for (auto& s : slots_) s.clear();
  for (auto& r : required_) r.clear();
  pairs_.clear();
  startBytes_.fill(false);
  params_ = kDefaultParams;
  hits_ = 0;
  lastParse_ = 0;
  match_ = {};
  return 1;
}

int FulltextEngine::PostFulltextSearch() {
  CloseFile();
  return 1;
}

int FulltextEngine::SetSearchParameter(int p1, int p2, int p3, int p4, int p5, int p6, int p7) {
  params_[0] = p1 != 0 ? 1 : 0;
  params_[1] = (p2 < 0 || p2 >= 3) ? 2 : p2;
  params_[2] = p3 >= 256 ? 254 : (p3 < 1 ? 0 : p3);
  params_[3] = p4;
  params_[4] = p5 != 0 ? 1 : 0;
  params_[5] = p6 != 0 ? 1 : 0;
  params_[6] = p7 < 1 ? 0 : std::min(p7, 100);
  return 1;
}

int FulltextEngine::SetSearchIgnorance(unsigned char lead, unsigned char trail) {
  if (isSjisLeadByte(lead)) {
    if (ignoredPairs_.size() >= kMaxIgnored) return 0;
    ignoredPairs_.push_back(static_cast<std::uint16_t>(lead << 8 | trail));
  } else {
    if (ignoredBytes_.size() >= kMaxIgnored) return 0;
    ignoredBytes_.push_back(lead);
  }
  return 1;
}

bool FulltextEngine::AddVariant(TermSlot& slot, const std::string& term, TermKind kind) {
  if (term.empty()) return true;
  if (std::find(slot.terms.begin(), slot.terms.end(), term) != slot.terms.end()) return true;
  if (slot.terms.size() >= kMaxTerms || term.size() > kMaxTermBytes) return false;
  slot.terms.push_back(term);
  slot.kinds.push_back(kind);
  return true;
}

int FulltextEngine::RegisterSearchString(std::string_view e0, std::string_view e1,
                                         std::string_view e2) {
  for (auto& s : slots_) s.clear();
  for (auto& r : required_) r.clear();
  pairs_.clear();
  startBytes_.fill(false);
  const std::array<std::string_view, kSlotCount> expressions = {e0, e1, e2};
  const bool fuzzy = params_[6] < 100;
  bool anySpaceStart = false;
  for (int s = 0; s < kSlotCount; ++s) {
    if (expressions[static_cast<std::size_t>(s)].empty()) continue;
    TermSlot& slot = slots_[static_cast<std::size_t>(s)];
    std::string operators;
    lastParse_ = ParseSearchExpression(slot, operators, expressions[static_cast<std::size_t>(s)]);
    if (lastParse_ != kParsed) {
      slot.clear();
      return 0;
    }
    AssignTermKinds(slot, static_cast<TermKind>(std::clamp(params_[3], 0, 3)));
    const std::size_t parsed = slot.terms.size();
    const auto addForms = [&](std::size_t count, auto&& forms) {
      for (std::size_t k = 0; k < count; ++k) {
        const std::string term = slot.terms[k];
        const TermKind kind = slot.kinds[k];
        for (const std::string& v : forms(term))
          if (!AddVariant(slot, v, kind)) return false;
      }
      return true;
    };
    bool ok = true;
    if (params_[4] != 0)
      ok = addForms(parsed, [](const std::string& t) {
        return std::vector<std::string>{ToFullWidth(t), ToHalfWidth(t)};
      });
    if (ok && params_[5] != 0)
      ok = addForms(slot.terms.size(), [](const std::string& t) {
        std::vector<std::string> v{lowerForm(t), upperForm(t)};
        if (!t.empty() && isAsciiLetter(static_cast<unsigned char>(t[0])))
          v.push_back(capitalisedForm(t));
        return v;
      });
    if (!ok) {
      slot.clear();
      return 0;
    }
    // Longest first: for each position the first longest term after it
    // moves there when it is strictly longer.
    for (std::size_t i = 0; i < slot.terms.size(); ++i) {
      std::size_t best = i;
      for (std::size_t j = i + 1; j < slot.terms.size(); ++j)
        if (slot.terms[j].size() > slot.terms[best].size()) best = j;
      if (slot.terms[best].size() > slot.terms[i].size()) {
        std::swap(slot.terms[i], slot.terms[best]);
        std::swap(slot.kinds[i], slot.kinds[best]);
      }
    }
    auto& required = required_[static_cast<std::size_t>(s)];
    for (std::size_t k = 0; k < slot.terms.size(); ++k) {
      const auto chars = charsOf(slot.terms[k]);
      const int n = static_cast<int>(chars.size());
      int count = n;
      if (fuzzy) {
        count = std::min(n, (params_[6] * n + 99) / 100);
        if (count <= 1 && n >= 2) count = 2;
      }
      required.push_back(count);
      if (slot.terms[k].empty()) continue;
      pairs_.push_back({s, static_cast<int>(k)});
      const std::string& t = slot.terms[k];
      if (t[0] == ' ') anySpaceStart = true;
      const auto mark = [&](unsigned char c) {
        startBytes_[c] = true;
        if (params_[5] != 0 && isAsciiLetter(c)) startBytes_[c ^ 0x20] = true;
      };
      if (fuzzy) {
        for (const auto& ch : chars) mark(static_cast<unsigned char>(ch[0]));
      } else {
        mark(static_cast<unsigned char>(t[0]));
      }
    }
  }
  if (anySpaceStart) startBytes_.fill(true);
  return 1;
}

void FulltextEngine::CloseFile() {
  file_.reset();
  block_ = -1;
}

MatchText FulltextEngine::Text() const { return TextOver(buffer_.data(), bytes_); }

MatchText FulltextEngine::TextOver(const unsigned char* data, std::size_t length) const {
  MatchText text;
  text.data = data;
  text.length = length;
  text.ignoredBytes = &ignoredBytes_;
  text.ignoredPairs = &ignoredPairs_;
  text.caseFold = params_[5] != 0;
  return text;
}

bool FulltextEngine::Similar(const MatchText& text, std::size_t position, const std::string& term,
                             int required, int& length, int& score) const {
  const std::size_t here = isSjisLeadByte(text.data[position]) ? 2 : 1;
  if (required < 1) {
    length = static_cast<int>(here);
    score = 100;
    return true;
  }
  const std::string_view at(reinterpret_cast<const char*>(text.data + position), here);
  if (here == 2 && static_cast<std::uint16_t>(text.data[position] << 8 | text.data[position + 1]) == kLongSound)
    return false;
  const auto chars = charsOf(term);
  if (std::find(chars.begin(), chars.end(), at) == chars.end()) return false;
  const std::size_t limit = std::min(text.length, position + term.size() + 5);
  std::size_t cursor = position;
  std::size_t lastEnd = position;
  int matched = 0;
  int tried = 0;
  for (const auto& ch : chars) {
    const std::size_t windowEnd = std::min(limit, lastEnd + 6);
    for (std::size_t p = cursor; p < windowEnd;) {
      const std::size_t n = isSjisLeadByte(text.data[p]) && p + 1 < text.length ? 2 : 1;
      if (std::string_view(reinterpret_cast<const char*>(text.data + p), n) == ch) {
        ++matched;
        cursor = lastEnd = p + n;
        break;
      }
      p += n;
    }
    ++tried;
    if ((tried == 2 && matched == 0) || (tried == 3 && matched < 2) || (tried == 5 && matched < 3))
      return false;
  }
  score = std::min(100, matched * 100 / static_cast<int>(chars.size()));
  if (score < params_[6] || matched < required) return false;
  length = static_cast<int>(lastEnd - position);
  return true;
}

bool FulltextEngine::ConfirmOtherSlots(const MatchText& text, std::size_t position,
                                       int acceptedSlot) const {
  std::size_t begin = position;
  while (begin > 0 && text.data[begin - 1] != '\n') --begin;
  std::size_t end = position;
  while (end < text.length && text.data[end] != '\n') ++end;
  for (int s = 0; s < kSlotCount; ++s) {
    if (s == acceptedSlot) continue;
    const TermSlot& slot = slots_[static_cast<std::size_t>(s)];
    if (slot.terms.empty()) continue;
    bool found = false;
    for (std::size_t k = 0; k < slot.terms.size() && !found; ++k) {
      if (slot.terms[k].empty()) continue;
      if (params_[6] >= 100) {
        found = FindTermInLine(text, begin, end, slot.terms[k], slot.kinds[k]);
      } else {
        for (std::size_t p = begin; p < end && !found; p += isSjisLeadByte(text.data[p]) ? 2 : 1) {
          int length = 0;
          int score = 0;
          found = Similar(text, p, slot.terms[k], required_[static_cast<std::size_t>(s)][k], length,
                          score);
        }
      }
    }
    if (!found) return false;
  }
  return true;
}

int FulltextEngine::HitAt(const MatchText& text, std::size_t position, int& score) const {
  score = 100;
  for (const Pair& pair : pairs_) {
    const TermSlot& slot = slots_[static_cast<std::size_t>(pair.slot)];
    const std::string& term = slot.terms[static_cast<std::size_t>(pair.term)];
    int length = -1;
    if (params_[6] >= 100) {
      length = AcceptTerm(text, position, term, slot.kinds[static_cast<std::size_t>(pair.term)]);
    } else {
      int fuzzyLength = 0;
      if (Similar(text, position, term,
                  required_[static_cast<std::size_t>(pair.slot)][static_cast<std::size_t>(pair.term)],
                  fuzzyLength, score))
        length = fuzzyLength;
    }
    if (length < 0) continue;
    if (!ConfirmOtherSlots(text, position, pair.slot)) return -1;
    return length;
  }
  return -1;
}

int FulltextEngine::ScanBlock(int first, int block, const std::string& path) {
  if (first == 1) {
    CloseFile();
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) return 0;
    path_ = path;
  }
  const std::int64_t bufferStart =
      static_cast<std::int64_t>(block) * kBlockBytes - (block > 0 ? kOverlapBytes : 0);
  std::size_t position = 0;
  if (block != block_) {
    if (!file_) file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_ || std::fseek(file_.get(), static_cast<long>(bufferStart), SEEK_SET) != 0) {
      CloseFile();
      return 0;
    }
    bytes_ = std::fread(buffer_.data(), 1, kScanBufferBytes, file_.get());
    if (bytes_ == 0) {
      CloseFile();
      return 0;
    }
    buffer_[bytes_] = 0;
    position = 0;
    if (block > 0) {
      position = kOverlapBytes;
      // Continue on the boundary where the walk of the previous block ended.
      if (alignedBlock_ == block) {
        const std::int64_t at = alignedOffset_ - bufferStart;
        if (at >= kOverlapBytes && at <= kOverlapBytes + 1) position = static_cast<std::size_t>(at);
      }
    }
  } else {
    position = resume_ + (block > 0 ? kOverlapBytes : 0);
  }
  block_ = block;
  const std::size_t limit = kBlockBytes + (block > 0 ? kOverlapBytes : 0);
  bool found = false;
  int length = 0;
  int score = 100;
  position = Walk(Text(), position, limit, found, length, score);
  if (found) {
    match_ = {};
    match_.path = path_;
    match_.offset = bufferStart + static_cast<std::int64_t>(position);
    match_.length = length;
    match_.score = score;
    struct stat st {};
    if (::stat(path_.c_str(), &st) == 0) match_.modifiedTime = st.st_mtime;
    if (params_[1] == 1 || params_[1] == 2) {
      std::size_t n = 0;
      while (n < kContextBytes && position + n < bytes_) {
        const std::size_t step = isSjisLeadByte(buffer_[position + n]) ? 2 : 1;
        if (n + step > kContextBytes) break;
        n += step;
      }
      match_.context.assign(reinterpret_cast<const char*>(buffer_.data() + position),
                            std::min(n, bytes_ - position));
    }
    resume_ = position + static_cast<std::size_t>(length) - (block > 0 ? kOverlapBytes : 0);
    ++hits_;
    return 1;
  }
  alignedBlock_ = block + 1;
  alignedOffset_ = bufferStart + static_cast<std::int64_t>(position);
  CloseFile();
  return 0;
}

std::size_t FulltextEngine::Walk(const MatchText& text, std::size_t position, std::size_t limit,
                                 bool& found, int& length, int& score) const {
  found = false;
  while (position < limit && position < text.length) {
    const unsigned char c = text.data[position];
    if (startBytes_[c]) {
      length = HitAt(text, position, score);
      if (length >= 0) {
        found = true;
        return position;
      }
    }
    position += isSjisLeadByte(c) ? 2 : 1;
  }
  return position;
}

int FulltextEngine::SearchText(std::string_view sjis) const {
  // Each block sees the text of the file's scan buffer: from 256 bytes
  // before its start (after the first) up to 31,232 bytes, and the walk of
  // a block goes on where the walk of the block before it stopped.
  const auto* data = reinterpret_cast<const unsigned char*>(sjis.data());
  const std::size_t size = sjis.size();
  std::size_t next = 0;  // where the walk of the next block starts, in the text
  for (std::size_t block = 0; block * kBlockBytes < size || (block == 0 && size > 0); ++block) {
    const std::size_t start = block * kBlockBytes - (block > 0 ? kOverlapBytes : 0);
    const std::size_t bytes = std::min<std::size_t>(kScanBufferBytes, size - start);
    const std::size_t begin = block > 0 ? kOverlapBytes : 0;
    std::size_t position = begin;
    if (block > 0 && next >= start + begin && next <= start + begin + 1) position = next - start;
    bool found = false;
    int length = 0;
    int score = 100;
    const std::size_t stop =
        Walk(TextOver(data + start, bytes), position, kBlockBytes + begin, found, length, score);
    if (found) return 1;
    next = start + stop;
  }
  return 0;
}

int FulltextEngine::DirectSearchFirst(const std::string& path, MatchRecord& record) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  alignedBlock_ = -1;
  const std::int64_t blocks = st.st_size / kBlockBytes + 1;
  for (std::int64_t b = 0; b < blocks; ++b) {
    if (ScanBlock(1, static_cast<int>(b), path) == 1) {
      record = match_;
      return 1;
    }
  }
  return 0;
}

int FulltextEngine::PostSearch() {
  CloseFile();
  resume_ = 0;
  return 1;
}

}  // namespace fulltext
