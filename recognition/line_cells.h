#pragma once
// Cutting one text line into character cells.
//
//   merge_line_components, merge_close_components   boxes of the layout joined
//                                                   into character-sized boxes
//   estimated_line_width, scale_line_measures       measures from the field's
//   measure_line_characters                         measures from the readings
//   CellReader                                      the engine behind a line cache
//   cut_line_cells                                  the cell decisions: marks,
//                                                   small marks attached, pairs
//                                                   joined, wide boxes split, the
//                                                   undecided rest as a lattice
//   find_cut_candidates, split_wide_components,     the touching-character splits
//   resolve_undecided_runs
//
// The boxes of a line are a vector in reading order (left to right); each
// decision compares engine distances, so a joined or cut box is kept only
// where it reads better than its parts. Every rectangle goes to the engine
// at most once per line (CellReader caches by exact rectangle).
//
// A vertical line (a column read top to bottom) takes the same steps on
// rectangles turned a quarter, x and y exchanged (turned()): along the line
// is then left to right and across it top to bottom, and the reader turns
// every rectangle back before the engine or the image sees it.  The _v
// functions take and give page rectangles; they differ from the horizontal
// ones only by their parameters (verticalLineParameters()) and by
// split_two_digits, which only vertical lines need.

#include <cstdint>
#include <optional>
#include <vector>

#include "recognition/cut_lattice.h"
#include "recognition/recognition_engine.h"

namespace recognition {

// Marks of a box while a line is cut.
inline constexpr int kMarkUndecided = -1;
inline constexpr int kMarkAlternative = -2;
inline constexpr int kMarkSmall = 5;
inline constexpr int kMarkLoneEnd = 20;
inline constexpr int kMarkIsolated = 30;
inline constexpr int kMarkJoined = 60;
inline constexpr int kMarkNarrow = 70;
inline constexpr int kMarkLone = 80;
inline constexpr int kMarkWideAlone = 120;
inline constexpr int kMarkResetFrom = 1005;

inline constexpr int kRejectDistance = 1000;
inline constexpr int kAlternativeDistanceLimit = 1700;
inline constexpr std::int16_t kNoRecords = -111;

struct CellBox {
  CharRect rect;
  CellResult result;
  int mark = kMarkUndecided;
  std::vector<LatticeAlternative> alternatives;
};

// The character measures of a field as layout left them (pixels).
struct FieldMeasures {
  int width = 0;
  int height = 0;
  int gap = 0;
  int referenceHeight = 0;  // thickness of a typical line (height, or width when vertical); may be 0
};

struct LineMeasures {
  int width = 0;
  int height = 0;
  int gap = 0;
  int pitch = 0;
};

// Percentages of the layout parameter set that the line steps use.
struct LineCutParameters {
  int mergeWidth = 120;
  int mergeReach = 25;
  int bigOverlap = 7;
  int speckGap = 8;
  int smallMarkSize = 37;
  int smallMarkBand = 30;
  int isolationGap = 30;
  int isolationCentre = 70;
  int cellWidth = 115;      // mark_isolated_characters
  int pairCellWidth = 115;  // merge_component_pairs
  int narrowWidth = 135;
  int splitLimit = 120;
  int wideLimit = 125;
  int halfTolerance = 60;
  int joinedGroupLimit = 150;
  // A small mark also joins a neighbour whose union reads sure, even when
  // the union's distance is above the mean of its pieces.
  bool sureUnionJoins = false;
};

LineCutParameters verticalLineParameters();

// x and y exchanged: a vertical line's rectangles in the frame of the line
// steps, and back; its measures likewise (the character height is the size
// along a vertical line).
CharRect turned(const CharRect& r);
FieldMeasures turned(const FieldMeasures& m);
LineMeasures turned(const LineMeasures& m);

inline bool isUndecided(int mark) { return mark == kMarkUndecided || mark >= kMarkResetFrom; }
inline bool isAcceptable(const CellResult& r, int limit = kRejectDistance) {
  return r.certainty < 2 || r.distance < limit;
}
CharRect unite(const CharRect& a, const CharRect& b);

// k of a line, in percent: its thickness against the field's reference
// thickness, kept to 16 bits.  A field without a reference thickness is
// measured against the line itself (k = 100); a line of no thickness
// either has no k, and the steps that need it leave the line alone.
std::optional<int> line_scale(int lineThickness, int referenceThickness);

// s of a line: its height relative to the field's reference height, times
// the field's character width (vertical: width, and character height).
std::optional<int> estimated_line_width(int lineHeight, const FieldMeasures& field);
std::optional<int> estimated_line_height_v(int lineWidth, const FieldMeasures& field);

// Both merges keep `boxes` sorted by left edge (stable); the _v twins by
// top edge.
void merge_line_components(std::vector<CharRect>& boxes, int s, const LineCutParameters& p = {});
void merge_close_components(std::vector<CharRect>& boxes, int s, const LineCutParameters& p = {});
void merge_line_components_v(std::vector<CharRect>& boxes, int s);
void merge_close_components_v(std::vector<CharRect>& boxes, int s);

// The field's measures scaled to the line; nothing without a line scale.
std::optional<LineMeasures> scale_line_measures(int lineHeight, const FieldMeasures& field);
std::optional<LineMeasures> scale_line_measures_v(int lineWidth, const FieldMeasures& field);

// After every box has its reading. `tableCell`: a field of form -1.
LineMeasures measure_line_characters(const std::vector<CellBox>& boxes, const CharRect& line,
                                     const LineMeasures& scaled, bool tableCell, int dpi);

// The engine behind the line cache: a rectangle read once is answered from
// the cache for the rest of the line.
// A vertical reader takes rectangles in the turned frame of the line steps.
class CellReader {
 public:
  CellReader(JapaneseEngine& engine, const EngineImage& image,
             LineDirection direction = LineDirection::Horizontal)
      : engine_(engine), image_(image), turned_(direction == LineDirection::Vertical) {}
  std::int16_t read(const CharRect& rect, CellResult& result);
  // A page rectangle straight to the engine, past the cache.
  std::int16_t readDirect(const CharRect& pageRect, CellResult& result);
  void clear() { cache_.clear(); }
  const EngineImage& image() const { return image_; }
  bool turnedFrame() const { return turned_; }

 private:
  JapaneseEngine& engine_;
  EngineImage image_;
  bool turned_ = false;
  std::vector<std::pair<CharRect, CellResult>> cache_;
};

struct LineCut {
  CharRect line;
  LineMeasures measures;
  std::vector<CellBox> boxes;
};

// The whole sequence of decisions on one line; 1, or the first engine
// status below 1. `boxes` in: the merged boxes; out: the cells, undecided
// runs carrying their alternatives.
std::int16_t cut_line_cells(CellReader& reader, LineCut& cut, const LineMeasures& scaled, bool tableCell,
                            const LineCutParameters& p = {});
// The same for a vertical line, with page rectangles and measures (width
// across the line, height along it) in and out; `reader` is vertical.
std::int16_t cut_line_cells_v(CellReader& reader, LineCut& cut, const LineMeasures& scaled, bool tableCell);

// The single steps (for tests and for the vertical twins).
std::int16_t recognize_components(CellReader& reader, std::vector<CellBox>& boxes);
std::int16_t attach_small_marks(CellReader& reader, LineCut& cut, const LineCutParameters& p = {});
void mark_isolated_characters(LineCut& cut, const LineCutParameters& p = {});
std::int16_t merge_component_pairs(CellReader& reader, LineCut& cut, const LineCutParameters& p = {});
void mark_narrow_characters(LineCut& cut, const LineCutParameters& p = {});

// Two half-width digits set side by side in a vertical line (turned frame,
// after attach_small_marks): a box the engine is unsure of, about a
// character long, with a clean white column down its middle becomes two
// cells of mark kMarkDigitPair when both halves read as digits.
inline constexpr int kMarkDigitPair = 10;
std::int16_t split_two_digits(CellReader& reader, LineCut& cut);

enum class SplitMode { Whole = 0, Half = 1 };
enum class SplitDirection { Forward = 0, Backward = 1 };
// Ink per column of the rectangle, clipped.
std::vector<int> column_projection(const EngineImage& image, const CharRect& rect);
std::vector<int> find_cut_candidates(const EngineImage& image, const CharRect& rect, int step);
// The rectangle's top and bottom moved onto its ink; empty when it has none.
CharRect fit_rect_to_ink(const EngineImage& image, const CharRect& rect);
std::int16_t split_wide_components(CellReader& reader, LineCut& cut, SplitMode mode, SplitDirection direction,
                                   int threshold, const LineCutParameters& p = {});
// The pieces of one box (reading order), empty when it is not split.
std::int16_t split_component(CellReader& reader, const CellBox& box, SplitDirection direction, int threshold,
                             int step, int pitch, int tolerance, SplitMode mode, std::vector<CellBox>& pieces);
std::int16_t resolve_undecided_runs(CellReader& reader, LineCut& cut, const LineCutParameters& p = {});

// The lattice the Japanese engine resolves (a vertical cut: page frame).
LatticeLine toLattice(const LineCut& cut, LineDirection direction = LineDirection::Horizontal);

}  // namespace recognition
