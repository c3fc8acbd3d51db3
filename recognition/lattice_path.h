#pragma once
// The best path through one line's cut lattice.
//
//   PathStep        an edge from box `from` to box `to` that emits characters
//   latticeSteps    the lattice's own edges: every box alone, every alternative
//   bestPath        the cheapest chain of steps from box 0 to the line's end
//
// A step costs the sum over the characters it emits of (distance -
// kCharacterCredit): distances are summed, less the best distance a reading
// gets, so that a path of more characters is not cheaper for its number
// alone (cutting a character into two confidently read strokes would be)
// and not dearer for it either. A step that emits nothing (a box without
// any reading) costs kEmptyStepCost. Ties keep the earlier step.

#include <vector>

#include "recognition/cut_lattice.h"

namespace recognition {

struct PathStep {
  int from = 0;
  int to = 0;
  std::vector<RecognizedChar> emits;
  int bonus = 0;   // subtracted from the cost (used for the line reading)
};

constexpr int kCharacterCredit = 500;
constexpr int kRejectLimit = 1000;
constexpr int kEmptyStepCost = 1000;

int stepCost(const PathStep& step);
std::vector<PathStep> latticeSteps(const LatticeLine& line);
// The characters of the best path; empty when the line has no boxes.
std::vector<RecognizedChar> bestPath(int boxCount, const std::vector<PathStep>& steps);

}  // namespace recognition
