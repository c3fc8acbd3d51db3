#pragma once
// The number of character edits between two texts (Levenshtein over UTF-16
// units; the test pages' characters all lie in the BMP): the measure of
// recognition errors in the tests.

#include <QString>

#include <algorithm>
#include <vector>

namespace testsupport {

inline int editDistance(const QString& a, const QString& b) {
  std::vector<int> row(static_cast<std::size_t>(b.size()) + 1);
  for (std::size_t j = 0; j < row.size(); ++j) row[j] = static_cast<int>(j);
  for (int i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = i;
    for (int j = 1; j <= b.size(); ++j) {
      const int up = row[static_cast<std::size_t>(j)];
      row[static_cast<std::size_t>(j)] = std::min({up + 1, row[static_cast<std::size_t>(j) - 1] + 1,
                                                   diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
    }
  }
  return row.back();
}

}  // namespace testsupport
