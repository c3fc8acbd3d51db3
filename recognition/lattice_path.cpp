#include "recognition/lattice_path.h"

#include <limits>

namespace recognition {

int stepCost(const PathStep& step) {
  if (step.emits.empty()) return kEmptyStepCost - step.bonus;
  int cost = 0;
  for (const RecognizedChar& c : step.emits) cost += c.result.distance - kCharacterCredit;
  return cost - step.bonus;
}

std::vector<PathStep> latticeSteps(const LatticeLine& line) {
  std::vector<PathStep> steps;
  const int n = static_cast<int>(line.boxes.size());
  for (int i = 0; i < n; ++i) {
    const LatticeBox& box = line.boxes[i];
    PathStep alone{i, i + 1, {}, 0};
    if (box.result.count > 0) alone.emits.push_back({box.rect, box.result});
    steps.push_back(std::move(alone));
    for (const LatticeAlternative& alt : box.alternatives) {
      if (alt.nextBox <= i || alt.nextBox > n) continue;  // malformed: not a forward group
      PathStep group{i, alt.nextBox, {}, 0};
      if (alt.result.count > 0) group.emits.push_back({alt.rect, alt.result});
      steps.push_back(std::move(group));
    }
  }
  return steps;
}

std::vector<RecognizedChar> bestPath(int boxCount, const std::vector<PathStep>& steps) {
  if (boxCount <= 0) return {};
  constexpr long long kUnreached = std::numeric_limits<long long>::max();
  std::vector<long long> best(boxCount + 1, kUnreached);
  std::vector<int> via(boxCount + 1, -1);
  best[0] = 0;
  for (int node = 0; node < boxCount; ++node) {
    if (best[node] == kUnreached) continue;
    for (int s = 0; s < static_cast<int>(steps.size()); ++s) {
      const PathStep& step = steps[s];
      if (step.from != node || step.to <= node || step.to > boxCount) continue;
      const long long cost = best[node] + stepCost(step);
      if (cost < best[step.to]) {
        best[step.to] = cost;
        via[step.to] = s;
      }
    }
  }
  if (best[boxCount] == kUnreached) return {};
  std::vector<const PathStep*> chain;
  for (int node = boxCount; node > 0; node = steps[via[node]].from) chain.push_back(&steps[via[node]]);
  std::vector<RecognizedChar> out;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    out.insert(out.end(), (*it)->emits.begin(), (*it)->emits.end());
  return out;
}

}  // namespace recognition
