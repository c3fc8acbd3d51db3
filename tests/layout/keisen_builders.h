// Ruled lines appended to a pair by their coordinates, for tests.
#pragma once

#include "layout/keisen_lists.h"

namespace layouttest {

inline void addH(KeisenPair& p, int x1, int x2, int y) {
  Keisen* k = append_hline(&p.horizontal);
  k->a = static_cast<std::int16_t>(x1);
  k->b = static_cast<std::int16_t>(x2);
  k->c = static_cast<std::int16_t>(y);
}

inline void addV(KeisenPair& p, int x, int y1, int y2) {
  Keisen* k = append_vline(&p.vertical);
  k->a = static_cast<std::int16_t>(x);
  k->b = static_cast<std::int16_t>(y1);
  k->c = static_cast<std::int16_t>(y2);
}

}  // namespace layouttest
