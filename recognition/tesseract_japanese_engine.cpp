#include "recognition/tesseract_japanese_engine.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "recognition/cell_image.h"
#include "recognition/character_codes.h"
#include "recognition/lattice_path.h"
#include "recognition/line_alignment.h"

namespace recognition {
namespace {

// Tesseract's LSTM reads text of 30-40 pixels best; smaller pieces are
// enlarged by a whole factor (never reduced).
constexpr int kLineCrossPixels = 36;
constexpr int kCellPixels = 40;
constexpr int kLineBorder = 8;
// Line steps in the lattice are preferred by this much per character.
constexpr int kLineBonus = 300;
// A symbol fills a cell when their extents along the line overlap by this
// share of the longer one.
constexpr double kFillShare = 0.75;
// A symbol lies inside a cell when this share of its extent does.
constexpr double kInsideShare = 0.5;
constexpr int kMaxLineGroup = 8;
// A cell no larger than this share (percent) of the line's height across,
// both ways, that meets no symbol of the line reading, is not read alone.
constexpr int kSpeckShare = 15;
// A line with a symbol read less surely than this is read a second time,
// reduced by each of kSecondOpinionScales (a second reduction, 0.8, cost a
// whole reading more and mended nothing the first did not).
constexpr int kSecondOpinionDistance = 600;
constexpr double kSecondOpinionScales[] = {0.6};
// Line heights of context on either side of an unsure symbol that the second
// reading sees: fewer, and the model reads the short piece worse.
constexpr int kSecondOpinionContext = 10;

struct Extent {
  int lo, hi;
  int length() const { return hi - lo + 1; }
};

Extent alongLine(const CharRect& r, LineDirection d) {
  return d == LineDirection::Horizontal ? Extent{r.left, r.right} : Extent{r.top, r.bottom};
}
Extent acrossLine(const CharRect& r, LineDirection d) {
  return d == LineDirection::Horizontal ? Extent{r.top, r.bottom} : Extent{r.left, r.right};
}
int overlap(Extent a, Extent b) { return std::max(0, std::min(a.hi, b.hi) - std::max(a.lo, b.lo) + 1); }
int centre2(Extent e) { return e.lo + e.hi; }  // twice the centre, to stay in integers

CharRect unionRect(const CharRect& a, const CharRect& b) {
  return CharRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                  std::max(a.bottom, b.bottom)};
}

CellResult unread() {
  CellResult r;
  r.certainty = 2;
  r.distance = kNoReadingDistance;
  r.count = 0;
  return r;
}

void addCandidate(CellResult& r, std::uint16_t code) {
  if (code == 0 || r.count >= CellResult::kMaxCandidates) return;
  for (int i = 0; i < r.count; ++i)
    if (r.candidates[i] == code) return;
  r.candidates[r.count++] = code;
}

void setDistance(CellResult& r, int distance) {
  r.distance = static_cast<std::int16_t>(std::clamp(distance, 0, 32767));
  r.certainty = r.distance < kRejectLimit ? 1 : 2;
}

CellResult resultFromSymbol(const SymbolReading& s) {
  CellResult r;
  for (const std::string& choice : s.choices) addCandidate(r, sjisCode(choice, true));
  if (r.count == 0) return unread();
  setDistance(r, distanceFromConfidence(s.confidence));
  return r;
}

bool isBarLike(std::uint16_t code) {
  // ｜ ｌ Ｉ １ ｌ 一 | and the long vowel mark itself
  switch (code) {
    case 0x8162: case 0x828C: case 0x8268: case 0x8250: case 0x88EA: case 0x815B: case 0x8150:
      return true;
    default:
      return false;
  }
}

bool isSmallKana(std::uint16_t code) {
  switch (code) {
    case 0x829F: case 0x82A1: case 0x82A3: case 0x82A5: case 0x82A7: case 0x82C1: case 0x82E1:
    case 0x82E3: case 0x82E5: case 0x82EC: case 0x8340: case 0x8342: case 0x8344: case 0x8346:
    case 0x8348: case 0x8362: case 0x8383: case 0x8385: case 0x8387: case 0x838E:
      return true;
    default:
      return false;
  }
}

// The least extent along the line that the ink of a character can have, as a
// share of the line's cross size: kanji and kana are never mere strokes
// across a horizontal line; in vertical lines flat ones (一, ー, へ) exist.
double leastExtent(std::uint16_t code, LineDirection direction) {
  const std::uint16_t kind = kindOfCode(code);
  if (!(kind & (kKindKanji | kKindHiragana | kKindKatakana)) || code == 0x815B || code == 0x88EA) return 0.0;
  if (isSmallKana(code)) return direction == LineDirection::Horizontal ? 0.3 : 0.0;
  return direction == LineDirection::Horizontal ? 0.45 : 0.0;
}

// Strokes and hooks that the model gives for a digit standing apart from
// its neighbours (1 as ｜ or ］, 2 as ノ, 5 as う).
bool strokeLike(std::uint16_t code) {
  switch (code) {
    case 0x8162: case 0x816E: case 0x816D: case 0x836D: case 0x828C: case 0x8268: case 0x816A: case 0x8169:
    case 0x82A4: case 0x815E:
      return true;
    default:
      return isBarLike(code) && code != 0x815B && code != 0x88EA && code != 0x8250;
  }
}

bool digitCode(std::uint16_t code) { return (kindOfCode(code) & kKindDigit) != 0; }

// The stretches of a line read again for a second opinion: each unsure
// symbol with kSecondOpinionContext line heights on either side, widened so
// that no ink run is cut, overlapping stretches joined.
template <typename Symbols>
std::vector<CharRect> secondOpinionWindows(const Symbols& symbols, const CharRect& line, LineDirection d,
                                           const std::vector<InkSegment>& segments) {
  std::vector<Extent> spans;
  const int cross = acrossLine(line, d).length();
  const Extent whole = alongLine(line, d);
  for (const auto& s : symbols) {
    if (s.result.distance <= kSecondOpinionDistance) continue;
    const Extent e = alongLine(s.rect, d);
    Extent span{std::max(whole.lo, e.lo - kSecondOpinionContext * cross),
                std::min(whole.hi, e.hi + kSecondOpinionContext * cross)};
    for (const InkSegment& seg : segments) {
      const Extent g = alongLine(seg.rect, d);
      if (g.lo < span.lo && g.hi >= span.lo) span.lo = g.lo;
      if (g.hi > span.hi && g.lo <= span.hi) span.hi = g.hi;
    }
    spans.push_back(span);
  }
  std::sort(spans.begin(), spans.end(), [](const Extent& a, const Extent& b) { return a.lo < b.lo; });
  std::vector<Extent> joined;
  for (const Extent& e : spans) {
    if (!joined.empty() && e.lo <= joined.back().hi + 1) joined.back().hi = std::max(joined.back().hi, e.hi);
    else joined.push_back(e);
  }
  std::vector<CharRect> windows;
  for (const Extent& e : joined) {
    CharRect r = line;
    if (d == LineDirection::Horizontal) {
      r.left = static_cast<std::int16_t>(e.lo);
      r.right = static_cast<std::int16_t>(e.hi);
    } else {
      r.top = static_cast<std::int16_t>(e.lo);
      r.bottom = static_cast<std::int16_t>(e.hi);
    }
    windows.push_back(r);
  }
  return windows;
}

}  // namespace

std::int16_t distanceFromConfidence(float confidence) {
  const double c = std::clamp(static_cast<double>(confidence), 0.0, 100.0);
  return static_cast<std::int16_t>(std::lround(std::clamp(500.0 + (100.0 - c) * 20.0, 0.0, 2500.0)));
}

void preferDigitsAmongDigits(std::vector<CellResult>& line) {
  const std::size_t n = line.size();
  for (std::size_t i = 0; i < n; ++i) {
    CellResult& r = line[i];
    if (r.count < 2 || !strokeLike(r.best())) continue;
    const bool before = i > 0 && digitCode(line[i - 1].best());
    const bool after = i + 1 < n && digitCode(line[i + 1].best());
    if (!(before || after || n == 1)) continue;
    for (int k = 1; k < r.count; ++k) {
      if (!digitCode(r.candidates[k])) continue;
      std::rotate(r.candidates, r.candidates + k, r.candidates + k + 1);
      break;
    }
  }
}

namespace {

// A caller's rectangle (left, top, right, bottom as 32-bit values, in any
// corner order) as an ordered page rectangle, each value held to 16 bits.
CharRect callerRect(const std::int32_t rect[4]) {
  auto clamp16 = [](std::int32_t v) { return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767)); };
  return CharRect{clamp16(std::min(rect[0], rect[2])), clamp16(std::min(rect[1], rect[3])),
                  clamp16(std::max(rect[0], rect[2])), clamp16(std::max(rect[1], rect[3]))};
}

}  // namespace

TesseractJapaneseEngine::TesseractJapaneseEngine(ReadingMode mode, DataSearch search)
    : mode_(mode), search_(search) {}
TesseractJapaneseEngine::~TesseractJapaneseEngine() = default;

std::int16_t TesseractJapaneseEngine::loadDictionaries(const DictionaryPaths& paths) {
  const std::string dictionaryFolder = platform::parentPath(paths[kDictRed]);
  const std::string preferred =
      dictionaryFolder.empty() ? std::string() : platform::joinPath(dictionaryFolder, "tessdata");
  const bool only = search_ == DataSearch::DictionaryFolderOnly;
  const std::string jpn = findLanguageData(preferred, "jpn", only);
  const std::string jpnVert = findLanguageData(preferred, "jpn_vert", only);
  if (jpn.empty() || jpnVert.empty()) {
    close();
    return kEngineRefused;
  }
  if (!horizontal_.isOpen() && !horizontal_.open(jpn, "jpn")) {
    close();
    return kEngineRefused;
  }
  if (!vertical_.isOpen() && !vertical_.open(jpnVert, "jpn_vert")) {
    close();
    return kEngineRefused;
  }
  learningDataPath_ = paths[kDictLearning];
  learningIndexPath_ = paths[kDictLearningIndex];
  // Damaged learning files leave no patterns; the control rewrites them from
  // its pattern file and merges them again.
  patterns_.load(learningDataPath_, learningIndexPath_);
  fieldLines_.clear();
  currentLine_ = -1;
  loaded_ = true;
  return kEngineDone;
}

void TesseractJapaneseEngine::close() {
  horizontal_.close();
  vertical_.close();
  patterns_.clear();
  fieldLines_.clear();
  patternCells_.clear();
  currentLine_ = -1;
  loaded_ = false;
}

std::int16_t TesseractJapaneseEngine::setFieldParams(std::uint16_t kindMask, std::uint16_t,
                                                     std::uint32_t) {
  if (!loaded_) return kEngineRefused;
  kindMask_ = (kindMask & kAllKinds) == kAllKinds ? 0 : static_cast<std::uint16_t>(kindMask & kAllKinds);
  fieldLines_.clear();
  patternCells_.clear();
  currentLine_ = -1;
  return kEngineDone;
}

std::int16_t TesseractJapaneseEngine::beginLine(const EngineImage& image, const CharRect& line,
                                                LineDirection direction) {
  if (!loaded_) return kEngineRefused;
  currentDirection_ = direction;
  currentLine_ = -1;
  if (mode_ != ReadingMode::LineContext || !image.bits) return kEngineDone;
  const CharRect rect = clipToImage(image, line);
  if (rect.empty()) return kEngineDone;
  for (std::size_t i = 0; i < fieldLines_.size(); ++i)
    if (fieldLines_[i].bits == image.bits && fieldLines_[i].rect == rect &&
        fieldLines_[i].direction == direction) {
      currentLine_ = static_cast<int>(i);
      return kEngineDone;
    }
  LineReading reading{image.bits, rect, direction, {}};
  const int cross = acrossLine(rect, direction).length();
  const std::vector<InkSegment> segments = inkSegments(image, rect, direction);
  const int scale = enlargementFor(cross, kLineCrossPixels);
  reading.symbols = readLineOnce(image, rect, direction, segments, scale, 1.0);
  // Unsure symbols get a second opinion from the line reduced: the model
  // misreads some rare kanji at one size and not at another. Only a stretch
  // of the line around each unsure symbol is read again, enough for the
  // model's context; reading the whole line again cost more than the first
  // reading.
  for (const CharRect& window : secondOpinionWindows(reading.symbols, rect, direction, segments)) {
    std::vector<InkSegment> inside;
    for (const InkSegment& seg : segments)
      if (overlap(alongLine(seg.rect, direction), alongLine(window, direction)) > 0) inside.push_back(seg);
    for (double reduction : kSecondOpinionScales) {
    for (const LineSymbol& other : readLineOnce(image, window, direction, inside, scale, reduction)) {
      for (LineSymbol& mine : reading.symbols) {
        if (!(mine.rect == other.rect) || mine.result.distance <= kSecondOpinionDistance ||
            other.result.distance >= mine.result.distance)
          continue;
        CellResult merged = other.result;
        for (int i = 0; i < mine.result.count; ++i) addCandidate(merged, mine.result.candidates[i]);
        mine.result = merged;
      }
    }
    }
  }
  std::vector<CellResult> results;
  for (const LineSymbol& symbol : reading.symbols) results.push_back(symbol.result);
  preferDigitsAmongDigits(results);
  for (std::size_t i = 0; i < results.size(); ++i) reading.symbols[i].result = results[i];
  fieldLines_.push_back(std::move(reading));
  currentLine_ = static_cast<int>(fieldLines_.size()) - 1;
  return kEngineDone;
}

std::vector<TesseractJapaneseEngine::LineSymbol> TesseractJapaneseEngine::readLineOnce(
    const EngineImage& image, const CharRect& rect, LineDirection direction,
    const std::vector<InkSegment>& segments, int scale, double reduction) {
  std::vector<LineSymbol> out;
  GreyPiece piece = greyCrop(image, rect, kLineBorder, scale);
  if (!piece.pix) return out;
  double factor = piece.scale;  // page pixels -> reading pixels
  if (reduction != 1.0) {
    Pix* reduced = pixScale(piece.pix.get(), static_cast<float>(reduction), static_cast<float>(reduction));
    if (!reduced) return out;
    piece.pix.reset(reduced);
    factor *= reduction;
  }
  TesseractReader& reader = direction == LineDirection::Horizontal ? horizontal_ : vertical_;
  const auto symbols = reader.read(piece.pix.get(),
                                   direction == LineDirection::Horizontal ? Segmentation::SingleLine
                                                                          : Segmentation::VerticalLine,
                                   static_cast<int>(image.dpi * factor));
  auto toPage = [&](int v, int origin) {
    return static_cast<std::int16_t>(origin + static_cast<int>(v / factor) - piece.border);
  };
  std::vector<CharRect> boxes;
  std::vector<CellResult> results;
  for (const SymbolReading& s : symbols) {
    CellResult result = resultFromSymbol(s);
    applyKindMask(result);
    if (result.count == 0) continue;
    boxes.push_back(CharRect{toPage(s.left, rect.left), toPage(s.top, rect.top), toPage(s.right, rect.left),
                             toPage(s.bottom, rect.top)});
    results.push_back(result);
  }
  std::vector<SymbolTraits> traits;
  // The vertical model's symbol boxes trail the ink by up to a character
  // along the column: they give the order, not the place.
  for (const CellResult& r : results)
    traits.push_back({leastExtent(r.best(), direction),
                      std::clamp((kNoReadingDistance - r.distance) / 2000.0, 0.0, 1.0),
                      direction == LineDirection::Horizontal});
  std::vector<bool> placed;
  alignSymbols(segments, direction, acrossLine(rect, direction).length(), traits, boxes, placed);
  for (std::size_t i = 0; i < boxes.size(); ++i)
    if (placed[i]) out.push_back(LineSymbol{boxes[i], results[i]});  // unplaced: read from no ink we can find
  return out;
}

void TesseractJapaneseEngine::endLine() { currentLine_ = -1; }

std::optional<CellResult> TesseractJapaneseEngine::fromPatterns(const EngineImage& image,
                                                                const CharRect& cell) const {
  if (patterns_.patterns().empty()) return std::nullopt;
  const auto normalized = normalizePattern(image, cell);
  if (!normalized) return std::nullopt;
  const auto matches = patterns_.match(*normalized);
  if (matches.empty()) return std::nullopt;
  CellResult r;
  for (const PatternMatch& m : matches) addCandidate(r, m.code);
  // A pattern the user taught is surer than any model reading.
  setDistance(r, 200 + static_cast<int>(matches.front().distance * 3000));
  return r;
}

std::optional<CellResult> TesseractJapaneseEngine::fromLine(const LineReading& line,
                                                            const CharRect& cell) const {
  const LineDirection d = line.direction;
  const Extent across = acrossLine(cell, d);
  const Extent lineAcross = acrossLine(line.rect, d);
  if (centre2(across) < 2 * lineAcross.lo || centre2(across) > 2 * lineAcross.hi) return std::nullopt;
  const Extent along = alongLine(cell, d);
  const LineSymbol* filling = nullptr;
  const LineSymbol* largest = nullptr;
  int fillingCount = 0, insideCount = 0, largestOverlap = 0;
  for (const LineSymbol& s : line.symbols) {
    const Extent se = alongLine(s.rect, d);
    const int ov = overlap(se, along);
    if (ov == 0) continue;
    if (ov > largestOverlap) {
      largestOverlap = ov;
      largest = &s;
    }
    if (ov >= kFillShare * std::max(se.length(), along.length())) {
      filling = &s;
      ++fillingCount;
    }
    if (ov >= kInsideShare * se.length()) ++insideCount;
  }
  if (!largest) return std::nullopt;
  if (fillingCount == 1 && insideCount <= 1) return filling->result;
  CellResult r = largest->result;
  setDistance(r, insideCount >= 2 ? kMultiDistance : kPartDistance);
  return r;
}

CellResult TesseractJapaneseEngine::readAlone(const EngineImage& image, const CharRect& cell,
                                              LineDirection direction) {
  const CharRect rect = clipToImage(image, cell);
  if (rect.empty()) return unread();
  const int size = std::max(rect.width(), rect.height());
  const int border = std::max(4, size / 4);
  const GreyPiece piece = greyCrop(image, rect, border, enlargementFor(size, kCellPixels));
  if (!piece.pix) return unread();
  const auto symbols = horizontal_.read(piece.pix.get(), Segmentation::SingleChar, image.dpi * piece.scale);
  if (symbols.empty()) return unread();
  CellResult r = resultFromSymbol(symbols.front());
  if (r.count == 0) return r;
  setDistance(r, r.distance + kExtraSymbolPenalty * static_cast<int>(symbols.size() - 1));
  // The horizontal model sees the vertical long vowel mark as a bar.
  if (direction == LineDirection::Vertical && rect.height() > 2 * rect.width() && isBarLike(r.best())) {
    CellResult bar;
    bar.candidates[0] = 0x815B;  // ー
    bar.count = 1;
    for (int i = 0; i < r.count; ++i) addCandidate(bar, r.candidates[i]);
    setDistance(bar, r.distance);
    r = bar;
  }
  return r;
}

void TesseractJapaneseEngine::applyKindMask(CellResult& r) const {
  if (kindMask_ == 0 || r.count == 0) return;
  const std::uint16_t best = r.candidates[0];
  CellResult kept = r;
  kept.count = 0;
  std::fill(std::begin(kept.candidates), std::end(kept.candidates), 0);
  for (int i = 0; i < r.count; ++i)
    if (kindOfCode(r.candidates[i]) & kindMask_) kept.candidates[kept.count++] = r.candidates[i];
  if (kept.count == 0) {
    r = unread();
    return;
  }
  if (kept.candidates[0] != best) setDistance(kept, kept.distance + kKindMismatchPenalty);
  r = kept;
}

std::int16_t TesseractJapaneseEngine::readCell(const EngineImage& image, const CharRect& cell,
                                               CellResult& result) {
  if (!loaded_) return kEngineRefused;
  if (!image.bits) return kEngineRefused;
  if (auto fromUser = fromPatterns(image, cell)) {
    result = *fromUser;
    applyKindMask(result);
    patternCells_.push_back(cell);
    return kEngineDone;
  }
  if (mode_ == ReadingMode::LineContext && currentLine_ >= 0 &&
      fieldLines_[currentLine_].bits == image.bits) {
    const LineReading& line = fieldLines_[currentLine_];
    if (auto answer = fromLine(line, cell)) {
      result = *answer;
      return kEngineDone;
    }
    // A speck that the line reading saw no character in is dust: read alone
    // it came out as a sure "ロ" or "・".
    const int cross = acrossLine(line.rect, line.direction).length();
    if (cell.width() * 100 <= cross * kSpeckShare && cell.height() * 100 <= cross * kSpeckShare) {
      result = unread();
      return kEngineDone;
    }
  }
  result = readAlone(image, cell, currentDirection_);
  applyKindMask(result);
  return kEngineDone;
}

const TesseractJapaneseEngine::LineReading* TesseractJapaneseEngine::lineFor(const LatticeLine& line) const {
  for (const LineReading& r : fieldLines_)
    if (r.direction == line.direction && r.rect == line.rect) return &r;
  return nullptr;
}

std::int16_t TesseractJapaneseEngine::resolveLattice(const EngineImage& image, FieldLattice& field) {
  if (!loaded_) return kEngineRefused;
  for (LatticeLine& line : field.lines) {
    std::vector<PathStep> steps = latticeSteps(line);
    const int n = static_cast<int>(line.boxes.size());
    const LineReading* reading = nullptr;
    if (mode_ == ReadingMode::LineContext) {
      reading = lineFor(line);
      if (!reading && image.bits && !line.rect.empty() &&
          beginLine(image, line.rect, line.direction) == kEngineDone && currentLine_ >= 0)
        reading = &fieldLines_[currentLine_];
      endLine();
    }
    if (reading) {
      const LineDirection d = line.direction;
      auto byPattern = [&](const CharRect& r) {
        return std::find(patternCells_.begin(), patternCells_.end(), r) != patternCells_.end();
      };
      for (int i = 0; i < n; ++i) {
        CharRect span = line.boxes[i].rect;
        for (int j = i; j < n && j < i + kMaxLineGroup; ++j) {
          if (byPattern(line.boxes[j].rect)) break;
          if (j > i) span = unionRect(span, line.boxes[j].rect);
          const Extent u = alongLine(span, d);
          std::vector<const LineSymbol*> inside;
          bool complete = true;
          for (const LineSymbol& s : reading->symbols) {
            const Extent se = alongLine(s.rect, d);
            const int c2 = centre2(se);
            if (c2 < 2 * u.lo || c2 > 2 * u.hi) continue;
            if (overlap(se, u) < 0.7 * se.length()) complete = false;
            inside.push_back(&s);
          }
          if (inside.empty() || !complete) continue;
          // Every box of the group must belong to one of the symbols.
          bool covered = true;
          for (int k = i; k <= j && covered; ++k) {
            const Extent be = alongLine(line.boxes[k].rect, d);
            bool any = false;
            for (const LineSymbol* s : inside) any = any || overlap(alongLine(s->rect, d), be) > 0;
            covered = any;
          }
          if (!covered) continue;
          PathStep step{i, j + 1, {}, kLineBonus * static_cast<int>(inside.size())};
          for (const LineSymbol* s : inside) {
            CharRect r = span;
            if (inside.size() > 1) {
              const Extent se = alongLine(s->rect, d);
              if (d == LineDirection::Horizontal) {
                r.left = static_cast<std::int16_t>(std::max(se.lo, u.lo));
                r.right = static_cast<std::int16_t>(std::min(se.hi, u.hi));
              } else {
                r.top = static_cast<std::int16_t>(std::max(se.lo, u.lo));
                r.bottom = static_cast<std::int16_t>(std::min(se.hi, u.hi));
              }
            }
            step.emits.push_back({r, s->result});
          }
          steps.push_back(std::move(step));
        }
      }
    }
    line.characters = bestPath(n, steps);
  }
  return kEngineDone;
}

bool TesseractJapaneseEngine::savePatterns() const {
  if (learningDataPath_.empty() || learningIndexPath_.empty()) return false;
  return patterns_.save(learningDataPath_, learningIndexPath_);
}

std::int32_t TesseractJapaneseEngine::registerPattern(std::int16_t* number, const std::uint16_t* code,
                                                      const std::uint8_t* bits, std::uint16_t width,
                                                      std::uint16_t height, const std::int32_t rect[4]) {
  if (!loaded_ || !number || !code || !bits || !rect || width == 0 || height == 0) return kPatternRefused;
  const std::uint16_t c = *code;
  const bool doubleByte = c > 0xFF && platform::isSjisLeadByte(static_cast<unsigned char>(c >> 8));
  if (!doubleByte && (c == 0 || c > 0xFF)) return kPatternRefused;
  const EngineImage image{bits, static_cast<std::uint16_t>((width + 15) / 16 * 2), height, 400};
  const CharRect r = callerRect(rect);
  const auto normalized = normalizePattern(image, r);
  if (!normalized) return kPatternRefused;
  const std::int16_t n = patterns_.add(c, *normalized);
  if (!savePatterns()) {
    patterns_.remove(n);
    return kPatternRefused;
  }
  *number = n;
  return kPatternDone;
}

std::int32_t TesseractJapaneseEngine::deletePattern(std::int16_t number) {
  if (!patterns_.remove(number)) return kPatternRefused;
  return savePatterns() ? kPatternDone : kPatternRefused;
}

std::int32_t TesseractJapaneseEngine::setPatternValid(std::int16_t number, std::uint16_t valid) {
  if (!patterns_.setValid(number, valid != 0)) return kPatternRefused;
  return savePatterns() ? kPatternDone : kPatternRefused;
}

std::int32_t TesseractJapaneseEngine::mergeLearning(const std::string&, const std::string& learningIndexPath,
                                                    const std::string& learningDataPath) {
  learningIndexPath_ = learningIndexPath;
  learningDataPath_ = learningDataPath;
  return patterns_.load(learningDataPath, learningIndexPath) ? kPatternDone : kPatternRefused;
}

std::int16_t TesseractJapaneseEngine::candidates(const std::uint8_t* bits, std::uint16_t width,
                                                 std::uint16_t height, const std::int32_t rect[4],
                                                 std::uint16_t* out, int capacity) {
  if (!loaded_ || !bits || !rect || !out || capacity <= 0 || width == 0 || height == 0) return 0;
  const EngineImage image{bits, static_cast<std::uint16_t>((width + 15) / 16 * 2), height, 400};
  const CharRect r = callerRect(rect);
  CellResult result;
  if (auto fromUser = fromPatterns(image, r)) result = *fromUser;
  else result = readAlone(image, r, LineDirection::Horizontal);
  const int n = std::min<int>(result.count, capacity);
  std::copy_n(result.candidates, n, out);
  return static_cast<std::int16_t>(n);
}

}  // namespace recognition
