#pragma once
// Placing the symbols of a line reading on the line's ink.
//
//   inkSegments     runs of ink along a line, split at empty columns (rows)
//   alignSymbols    gives each symbol the segments it was read from
//
// Tesseract's LSTM reads the symbols of a line in the right order, but the
// boxes it reports for them are estimates that can be far off (one symbol
// stretched over eight characters, its neighbours shifted by half a
// character). The order and the rough positions are enough to put each
// symbol on the ink: a dynamic programme walks symbols and segments
// together, letting a symbol take one or more consecutive segments (a
// character in parts) or several symbols share one segment (touching
// characters), and charges for widths unlike a character of the line, wide
// gaps inside a character, distance from the reported position, and
// segments or symbols left without partner. Each aligned symbol's box
// becomes the ink of its segments.

#include <vector>

#include "recognition/cut_lattice.h"
#include "recognition/recognition_engine.h"

namespace recognition {

struct InkSegment {
  CharRect rect;   // the ink of the run, inclusive
};

std::vector<InkSegment> inkSegments(const EngineImage& image, const CharRect& line, LineDirection direction);

// `boxes` are the reported boxes in reading order; on return they are the
// aligned ones. A symbol that found no ink keeps its box and is marked in
// `placed` (false).
// Per symbol: `minAlong` is the smallest plausible extent along the line,
// as a share of the cross size (0: any), so that a stroke of a character is
// not taken for a whole character that the reading inserted; `sureness`
// (0-1) makes a sure symbol dearer to leave out than an unsure one.
// `placedByBox` false: the reported box does not say where along the line
// the symbol lies, only the order of the symbols does.
struct SymbolTraits {
  double minAlong = 0;
  double sureness = 1;
  bool placedByBox = true;
};
void alignSymbols(const std::vector<InkSegment>& segments, LineDirection direction, int crossSize,
                  const std::vector<SymbolTraits>& traits, std::vector<CharRect>& boxes,
                  std::vector<bool>& placed);

}  // namespace recognition
