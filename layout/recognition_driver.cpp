#include "layout/recognition_driver.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "layout/field_rings.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "recognition/blank_insertion.h"
#include "recognition/half_width.h"

namespace recognition {
namespace {

VuRecgCallbacks gCallbacks{};
// The cell separator chosen last; a record that names neither keeps it.
std::uint8_t gCellSeparator = 9;

constexpr std::uint8_t kFieldKindFrame = '2';
constexpr std::uint8_t kFieldKindFigure = 10;
constexpr int kLanguageEnglish = 1;

int formOf(const userfld& f) { return f.params.signedByte(ParamBlock::kForm); }
int languageOf(const userfld& f) { return f.params.word(ParamBlock::kLanguageWord); }
int directionOf(const userfld& f) { return f.params.byte(ParamBlock::kDirection); }
std::uint8_t directionCode(const userfld& f) {
  const int d = directionOf(f);
  return d == 0 ? 0 : d == 1 ? 128 : 255;
}

CharRect charRect(const auto& r) { return CharRect{r.left, r.top, r.right, r.bottom}; }

template <typename T, typename F>
void forRing(T* head, F visit) {
  if (head == nullptr) return;
  for (T* x = head->next; x != head;) {
    T* next = x->next;
    visit(x);
    x = next;
  }
}

std::vector<line_record*> linesOf(userfld* f) {
  std::vector<line_record*> out;
  forRing(f->lines, [&](line_record* l) { out.push_back(l); });
  return out;
}

// The boxes of a line in reading order: by left edge, or by top edge in a
// vertical line.
std::vector<CharRect> boxesOf(const line_record* line, bool vertical) {
  std::vector<CharRect> out;
  forRing(line->boxes, [&](const recg* r) { out.push_back(charRect(*r)); });
  std::stable_sort(out.begin(), out.end(), [vertical](const CharRect& a, const CharRect& b) {
    return vertical ? a.top < b.top : a.left < b.left;
  });
  return out;
}

// Replaces the line's character ring by `chars`; false when records run out.
bool storeCharacters(line_record* line, const std::vector<RecognizedChar>& chars) {
  free_recg_list(&line->chars);
  for (const RecognizedChar& c : chars) {
    recg* r = append_recg(&line->chars);
    if (r == nullptr) return false;
    r->left = c.rect.left;
    r->top = c.rect.top;
    r->right = c.rect.right;
    r->bottom = c.rect.bottom;
    r->code = static_cast<std::int16_t>(c.result.best());
    r->code2 = 0;
    r->certainty = c.result.certainty;
    r->distance = c.result.distance;
    r->status = 0;
    for (int k = 0; k < CellResult::kMaxCandidates; ++k) r->candidates[k] = static_cast<std::int16_t>(c.result.candidates[k]);
    r->candidateCount = c.result.count;
  }
  return true;
}

class LineProgress {
 public:
  LineProgress(const VuRecgDisplay& display, const VuRecgCallbacks& callbacks)
      : display_(display), callbacks_(callbacks) {}
  // False when the user asked to stop.
  bool lineDone(const CharRect& line) const {
    if (display_.stopMode == -1) return true;
    if (callbacks_.pump != nullptr && callbacks_.pump(callbacks_.context) != 0) return false;
    if (callbacks_.lineDone != nullptr) {
      const int scale = std::max<int>(1, display_.scale);
      const VuRect r{line.left / scale - display_.xOffset, line.top / scale - display_.yOffset,
                     (line.right + 1) / scale - display_.xOffset, (line.bottom + 1) / scale - display_.yOffset};
      callbacks_.lineDone(callbacks_.context, &r, display_.frameColour);
    }
    return true;
  }

 private:
  const VuRecgDisplay& display_;
  const VuRecgCallbacks& callbacks_;
};

// One field's lines, horizontal or vertical: the boxes of each line merged
// into character-sized ones, cut into cells with the engine reading the line
// in context, the cells resolved as one lattice, and the blanks put in.
// A vertical line runs the same steps turned a quarter (line_cells.h).
short recognizeField(userfld* field, JapaneseEngine& engine, const EngineImage& image, const LineProgress& progress,
                     LineDirection direction) {
  const bool vertical = direction == LineDirection::Vertical;
  const FieldMeasures fm{field->measures[0], field->measures[1], field->measures[2], field->measures[3]};
  const bool tableCell = formOf(*field) == -1;
  const std::vector<line_record*> lines = linesOf(field);
  const auto thickness = [vertical](const line_record& l) {
    return vertical ? l.right - l.left + 1 : l.bottom - l.top + 1;
  };
  std::vector<std::vector<CharRect>> merged;
  for (const line_record* line : lines) {
    std::vector<CharRect> boxes = boxesOf(line, vertical);
    // A line without a scale (no thickness, none to compare with) keeps its boxes.
    const std::optional<int> s =
        vertical ? estimated_line_height_v(thickness(*line), fm) : estimated_line_width(thickness(*line), fm);
    if (s) {
      if (vertical) {
        merge_line_components_v(boxes, *s);
        merge_close_components_v(boxes, *s);
      } else {
        merge_line_components(boxes, *s);
        merge_close_components(boxes, *s);
      }
    }
    merged.push_back(std::move(boxes));
  }
  const std::int16_t paramsStatus =
      engine.setFieldParams(static_cast<std::uint16_t>(field->params.word(ParamBlock::kCharKindMask)),
                            static_cast<std::uint16_t>(field->params.word(ParamBlock::kSpecWord)),
                            static_cast<std::uint32_t>(field->params.dword(ParamBlock::kEngineOption)));
  if (paramsStatus < kEngineDone) return paramsStatus;
  FieldLattice lattice;
  std::vector<LineMeasures> measures;
  CellReader reader(engine, image, direction);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const line_record* line = lines[i];
    LineCut cut;
    cut.line = charRect(*line);
    const LineMeasures scaled =
        (vertical ? scale_line_measures_v(thickness(*line), fm) : scale_line_measures(thickness(*line), fm))
            .value_or(LineMeasures{});
    cut.measures = scaled;
    for (const CharRect& r : merged[i]) cut.boxes.push_back(CellBox{r, {}, kMarkUndecided, {}});
    if (!cut.boxes.empty()) {
      if (const std::int16_t s = engine.beginLine(image, cut.line, direction); s < kEngineDone) return s;
      const std::int16_t s = vertical ? cut_line_cells_v(reader, cut, scaled, tableCell)
                                      : cut_line_cells(reader, cut, scaled, tableCell);
      engine.endLine();
      if (s < kEngineDone) return s;
    }
    lattice.lines.push_back(toLattice(cut, direction));
    measures.push_back(cut.measures);
    if (!progress.lineDone(cut.line)) return kRecgStopped;
  }
  if (const std::int16_t s = engine.resolveLattice(image, lattice); s < kEngineDone) return s;
  const bool blanks = field->params.byte(ParamBlock::kBlankOutput) != 0;
  const CharRect fieldRect = charRect(*field);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    line_record* line = lines[i];
    free_recg_list(&line->boxes);
    std::vector<RecognizedChar> chars = lattice.lines[i].characters;
    if (blanks) {
      CharRect rect = charRect(*line);
      if (vertical) {
        insert_pitch_blanks_v(chars, rect, measures[i]);
        insert_leading_blanks_v(chars, rect, measures[i], fieldRect, fm);
        line->top = rect.top;
      } else {
        insert_pitch_blanks(chars, rect, measures[i], image.dpi);
        insert_leading_blanks(chars, rect, measures[i], fieldRect, fm);
        line->left = rect.left;
      }
    }
    if (!storeCharacters(line, chars)) return layout::kStatusNoMemory;
  }
  return kEngineDone;
}

}  // namespace

void setRecgCallbacks(const VuRecgCallbacks* callbacks) { gCallbacks = callbacks != nullptr ? *callbacks : VuRecgCallbacks{}; }
const VuRecgCallbacks& recgCallbacks() { return gCallbacks; }

const char* recgStatusText(short status) {
  switch (status) {
    case -128: return "字種ファイルが壊れています";
    case -121: return "字種ファイルが開けません";
    case -111:
    case -110: return "メモリーが足りません";
    case -5: return "字種ファイルに記述上の誤りがあります";
    case -4: return "字種ファイルに非認識対象文字が含まれています";
    case 0: return "認識を失敗しました ";
    default: return nullptr;
  }
}

// ------------------------------------------------------------------ writer

bool TextWriter::roomBeforeField() const {
  return r_.textUsed <= r_.textCapacity - 2 && r_.charactersWritten <= r_.rectCapacity - 2;
}

bool TextWriter::entry(const std::uint8_t (&bytes)[6]) {
  if (r_.text == nullptr || r_.textUsed > r_.textCapacity - 2) return false;
  std::copy(std::begin(bytes), std::end(bytes), r_.text + static_cast<std::size_t>(r_.textUsed) * 6);
  ++r_.textUsed;
  return r_.textUsed <= r_.textCapacity - 2;
}

bool TextWriter::control(std::uint8_t c) { return entry({0, c, 0, 0, 0, 0}); }

bool TextWriter::marker(std::uint8_t kind, int row, int column, std::uint8_t direction) {
  return entry({0, kind, static_cast<std::uint8_t>(row & 0xFF), static_cast<std::uint8_t>(column & 0xFF), 0, direction});
}

bool TextWriter::character(const recg& c) {
  // A character that does not fit is not counted: the counter written back
  // names only rectangles that were written.
  if (r_.charactersWritten + 1 > r_.rectCapacity - 2) return false;
  const std::uint16_t index = static_cast<std::uint16_t>(r_.charactersWritten + 1);
  std::uint16_t code = static_cast<std::uint16_t>(c.code);
  if (settings_.halfWidth && code < 0x889F) code = toHalfWidth(code, settings_.conversionList);
  const std::uint8_t lead = code > 0x8000 ? static_cast<std::uint8_t>(code >> 8) : 0;
  const std::uint8_t trail = static_cast<std::uint8_t>(code & 0xFF);
  if (r_.text == nullptr || r_.textUsed > r_.textCapacity - 2) return false;
  r_.charactersWritten = index;
  if (r_.rects != nullptr) {
    // The index names the rectangle entry itself (entry 0 stays unused): the
    // control reads the rectangle of a text entry at that index.
    std::int32_t* rect = r_.rects + static_cast<std::size_t>(index) * 4;
    rect[0] = c.left;
    rect[1] = c.top;
    rect[2] = c.right;
    rect[3] = c.bottom;
  }
  if (r_.candidates != nullptr) {
    std::uint8_t* out = r_.candidates + static_cast<std::size_t>(r_.candidatesUsed) * 20;
    for (int k = 0; k < 10; ++k) {
      const auto cand = static_cast<std::uint16_t>(k < c.candidateCount ? c.candidates[k] : 0);
      out[k * 2] = static_cast<std::uint8_t>(cand >> 8);
      out[k * 2 + 1] = static_cast<std::uint8_t>(cand & 0xFF);
    }
    ++r_.candidatesUsed;
  }
  return entry({lead, trail, static_cast<std::uint8_t>(index & 0xFF), static_cast<std::uint8_t>(index >> 8), 0, 0});
}

void TextWriter::replaceLastWithLineFeed() {
  if (r_.text == nullptr || r_.textUsed == 0) return;
  std::uint8_t* last = r_.text + static_cast<std::size_t>(r_.textUsed - 1) * 6;
  last[0] = 0;
  last[1] = 10;
}

void write_group_text(userfld* first, int count, TextWriter& out) {
  if (!out.roomBeforeField()) return;
  int keptRow = 1, keptColumn = 1;
  int previousCellRow = 1;
  bool lastWasCell = false;
  userfld* f = first;
  for (int n = 0; n < count; ++n, f = f->next) {
    const int form = formOf(*f);
    if (form == 2 || f->params.byte(ParamBlock::kFieldKind) == kFieldKindFigure) continue;
    const bool cell = form == -1;
    const std::uint8_t direction = directionCode(*f);
    if (cell) {
      if (f->number > previousCellRow) {
        if (!out.control(10)) return;
      } else if (f->subNumber > 1) {
        if (!out.control(out.settings().cellSeparator)) return;
      }
      previousCellRow = f->number;
    }
    const std::vector<line_record*> lines = linesOf(f);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      bool full = false;
      forRing(lines[i]->chars, [&](const recg* c) {
        if (!full && !out.character(*c)) full = true;
      });
      if (full) return;
      const bool last = i + 1 == lines.size();
      if (f->subNumber == -1 && (f->params.byte(ParamBlock::kLineEnds) != 0 || last)) {
        if (!out.control(last ? out.settings().fieldTerminator : 10)) return;
      }
      if (!(cell && f->params.byte(ParamBlock::kSingleBlock) != 1)) {
        if (!out.marker(1, keptRow, keptColumn, direction)) return;
      }
    }
    keptRow = f->number;
    keptColumn = f->subNumber & 0xFF;
    if (cell && !out.marker(1, keptRow, keptColumn, direction)) return;
    if (!out.marker(2, keptRow, keptColumn, direction)) return;
    lastWasCell = cell;
  }
  if (lastWasCell) out.control(out.settings().fieldTerminator);
}

short recognize_fields(userfld* first, int count, const ImageDesc& page, const VuRecgDisplay& display,
                       const VuRecgCallbacks& callbacks) {
  auto& state = layout::layoutState();
  if (!state.japanese) return kEngineRefused;
  const EngineImage image{page.bits, page.bytesPerRow, page.height, page.dpi};
  const LineProgress progress(display, callbacks);
  userfld* f = first;
  for (int n = 0; n < count; ++n, f = f->next) {
    if (layout::ringEmpty(f->lines)) continue;
    const short s = recognizeField(f, *state.japanese, image, progress,
                                   directionOf(*f) == 0 ? LineDirection::Horizontal : LineDirection::Vertical);
    if (s != kEngineDone) return s;
  }
  return kEngineDone;
}

namespace {

struct GroupWalk {
  VuRecgResult& result;
  const VuRecgDisplay& display;
  const VuRecgCallbacks& callbacks;
  const RecgSettings& settings;
  const ImageDesc& page;
  bool stopped = false;
  bool dialogOpen = false;
  int failedFields = 0;

  void openDialog() {
    if (dialogOpen || display.stopMode == -1) return;
    dialogOpen = true;
    if (callbacks.stopDialog != nullptr) callbacks.stopDialog(callbacks.context, display.stopMode == 1 ? 1 : 0);
  }
  void closeDialog() {
    if (!dialogOpen) return;
    dialogOpen = false;
    if (callbacks.stopDialog != nullptr) callbacks.stopDialog(callbacks.context, -1);
  }

  short japaneseGroup(userfld* first, int count) {
    if (formOf(*first) == -9) return 0;
    const short s = recognize_fields(first, count, page, display, callbacks);
    if (s == kRecgStopped) {
      auto& state = layout::layoutState();
      // The caller's fields are copies that own their lines: freeing the
      // result lists leaves them whole.
      free_fld_list(&state.Sfld);
      free_fld_list(&state.ruleFields);
      stopped = true;
      return -1;
    }
    if (s == kEngineDone) {
      TextWriter out(result, settings);
      write_group_text(first, count, out);
      return 0;
    }
    if (callbacks.report != nullptr && recgStatusText(s) != nullptr) callbacks.report(callbacks.context, s, recgStatusText(s));
    if (s == 0) {
      // The engine gave up on this group: the others go on, and the call
      // reports the fields whose text is missing.
      failedFields += count;
      return 0;
    }
    return s;
  }

  short englishGroup(userfld* first, int count) {
    closeDialog();
    auto& state = layout::layoutState();
    if (!state.english) {
      failedFields += count;
      return 0;
    }
    std::vector<EnglishField> fields;
    userfld* f = first;
    for (int n = 0; n < count; ++n, f = f->next) {
      EnglishField e;
      e.rect = charRect(*f);
      forRing(f->lines, [&](const line_record* l) { e.lines.push_back(charRect(*l)); });
      e.lineEnds = f->params.byte(ParamBlock::kLineEnds) != 0;
      fields.push_back(std::move(e));
    }
    EnglishRequest request;
    request.image = EngineImage{page.bits, page.bytesPerRow, page.height, page.dpi};
    request.direction = static_cast<std::uint8_t>(directionOf(*first));
    request.fieldTerminator = settings.fieldTerminator;
    const int textFree = std::max(0, result.textCapacity - 1 - result.textUsed);
    const int rectFree = std::max(0, result.rectCapacity - 2 - result.charactersWritten);
    request.textEntries = result.text != nullptr ? result.text + static_cast<std::size_t>(result.textUsed) * 6 : nullptr;
    request.textFree = static_cast<std::uint16_t>(result.text != nullptr ? textFree : 0);
    request.charactersSoFar = result.charactersWritten;
    request.rectEntries = result.rects != nullptr ? result.rects + (static_cast<std::size_t>(result.charactersWritten) + 1) * 4 : nullptr;
    request.rectFree = static_cast<std::uint16_t>(result.rects != nullptr ? rectFree : 0);
    const std::int16_t s = state.english->recognizeFields(fields, request);
    result.textUsed = static_cast<std::uint16_t>(result.textUsed + request.textFree);
    result.charactersWritten = static_cast<std::uint16_t>(result.charactersWritten + request.rectFree);
    return s;
  }

  short group(userfld* first, int count) {
    short s = 0;
    if (languageOf(*first) != kLanguageEnglish) {
      openDialog();
      s = japaneseGroup(first, count);
    } else {
      s = englishGroup(first, count);
    }
    if (s < 0) stopped = true;
    return s;
  }
};

}  // namespace

short recognize_page(void*, const ParamBlock*, VuRecgResult* result, const VuRecgDisplay* display) {
  auto& state = layout::layoutState();
  if (layout::ringEmpty(state.Sfld) || result == nullptr) return 0;
  const VuRecgDisplay shown = display != nullptr ? *display : VuRecgDisplay{};
  if (result->cellSeparator == 0) gCellSeparator = 9;
  else if (result->cellSeparator == 1) gCellSeparator = ',';
  RecgSettings settings;
  settings.cellSeparator = gCellSeparator;
  settings.fieldTerminator = result->fieldTerminator == 1 ? 9 : result->fieldTerminator == 2 ? ',' : 10;
  settings.halfWidth = result->halfWidth != 0;
  if (result->conversionList != nullptr)
    settings.conversionList = std::span<const std::uint8_t>(result->conversionList, result->conversionCount * 2u);
  GroupWalk walk{*result, shown, gCallbacks, settings, state.images[0]};

  userfld* head = state.Sfld;
  userfld* groupFirst = nullptr;
  int groupCount = 0;
  int lastRow = 0, lastColumn = 0;
  short status = 0;
  userfld* lastGroupFirst = nullptr;
  const auto joins = [&](const userfld& f) {
    const userfld& g = *groupFirst;
    if (formOf(f) != formOf(g) || languageOf(f) != languageOf(g)) return false;
    if (formOf(g) != -1 && directionOf(f) != directionOf(g)) return false;
    if (f.params.byte(ParamBlock::kFieldKind) == kFieldKindFrame) return false;
    if (formOf(g) == -1 && (f.number < lastRow || (f.number == lastRow && f.subNumber < lastColumn))) return false;
    return true;
  };
  for (userfld* f = head->next; f != head; f = f->next) {
    if (groupCount > 0 && joins(*f)) {
      ++groupCount;
    } else {
      if (groupCount > 0) {
        lastGroupFirst = groupFirst;
        status = walk.group(groupFirst, groupCount);
        if (walk.stopped) break;  // a user stop has freed the fields
      }
      groupFirst = f;
      groupCount = 1;
    }
    lastRow = f->number;
    lastColumn = f->subNumber;
    if (status != 0) break;
  }
  if (!walk.stopped && groupCount > 0) {
    lastGroupFirst = groupFirst;
    status = walk.group(groupFirst, groupCount);
  }
  if (!walk.stopped && result->textUsed > 0 && lastGroupFirst != nullptr && formOf(*lastGroupFirst) == -1) {
    TextWriter out(*result, settings);
    out.replaceLastWithLineFeed();
  }
  walk.closeDialog();
  if (walk.stopped) return status < 0 ? status : -1;
  if (status != 0) return status;
  return static_cast<short>(std::min(walk.failedFields, 32767));
}

}  // namespace recognition

extern "C" void SetRecgCallbacks(const VuRecgCallbacks* callbacks) { recognition::setRecgCallbacks(callbacks); }
