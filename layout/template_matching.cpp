// Template matching; see template_matching.h.
//
// Parameters come from the template set, converted for the page's dpi:
// 1/2 line minimums, 5 along-tolerance of horizontal ends, 6 across-
// tolerance of horizontal lines, 7 and 10 length differences (percent), 8
// across-tolerance of vertical lines, 9 along-tolerance of vertical ends,
// 11 the overlap (percent) that snaps a field edge to a line.
#include "layout/template_matching.h"

#include "layout/field_rings.h"
#include "layout/keisen_lists.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/line_field_steps.h"
#include "layout/parameter_tables.h"

#include <algorithm>
#include <cstdlib>

namespace layout {

namespace {

int param(int number) { return parameterTables().set3(number); }

template <typename Visit>
void forValid(const Keisen* head, bool horizontal, Visit visit) {
  if (head == nullptr) return;
  for (const Keisen* k = head->next; k != head; k = k->next) {
    if (horizontal ? valid_hline(*k) : valid_vline(*k)) visit(*k);
  }
}

double coveredShare(const KeisenPair& page, const KeisenPair& templ, int dx, int dy, int divisor) {
  long total = 0;
  long matched = 0;
  // Horizontal lines lie along x at a row, vertical ones along y at a column.
  for (const bool horizontal : {true, false}) {
    const int tolerance = (horizontal ? param(6) : param(8)) / divisor;
    const int along = horizontal ? dx : dy;
    const int across = horizontal ? dy : dx;
    forValid(horizontal ? templ.horizontal : templ.vertical, horizontal, [&](const Keisen& t) {
      const int at = (horizontal ? t.c : t.a) + across;
      const int from = (horizontal ? t.a : t.b) + along;
      const int to = (horizontal ? t.b : t.c) + along;
      const long length = to - from + 1;
      total += length;
      const long slack = length * 2 / 100;
      long sum = 0;
      forValid(horizontal ? page.horizontal : page.vertical, horizontal, [&](const Keisen& p) {
        const int pAt = horizontal ? p.c : p.a;
        const int pFrom = horizontal ? p.a : p.b;
        const int pTo = horizontal ? p.b : p.c;
        if (at - tolerance < pAt && pAt < at + tolerance && pFrom > from - slack && pTo < to + slack) {
          sum += pTo - pFrom + 1;
        }
      });
      matched += std::min(sum, length);
    });
  }
  if (total <= 0) return 0.0;
  return static_cast<double>(matched) * 100.0 / static_cast<double>(total);
}

void shiftRect(std::int16_t* left, std::int16_t* top, std::int16_t* right, std::int16_t* bottom, int dx, int dy) {
  *left = static_cast<std::int16_t>(*left + dx);
  *right = static_cast<std::int16_t>(*right + dx);
  *top = static_cast<std::int16_t>(*top + dy);
  *bottom = static_cast<std::int16_t>(*bottom + dy);
}

// Moves the template's lines and fields by (dx, dy).  A field's character
// blocks and children move with it, so they stay inside the field.
void shiftTemplate(userfld* fields, KeisenPair& templ, int dx, int dy) {
  auto moveLines = [](Keisen* head, int along, int across, bool horizontal) {
    if (head == nullptr) return;
    for (Keisen* k = head->next; k != head; k = k->next) {
      if (horizontal) {
        k->a = static_cast<std::int16_t>(k->a + along);
        k->b = static_cast<std::int16_t>(k->b + along);
        k->c = static_cast<std::int16_t>(k->c + across);
      } else {
        k->a = static_cast<std::int16_t>(k->a + along);
        k->b = static_cast<std::int16_t>(k->b + across);
        k->c = static_cast<std::int16_t>(k->c + across);
      }
    }
  };
  moveLines(templ.horizontal, dx, dy, true);
  moveLines(templ.vertical, dx, dy, false);
  if (fields == nullptr) return;
  for (userfld* f = fields->next; f != fields; f = f->next) {
    shiftRect(&f->left, &f->top, &f->right, &f->bottom, dx, dy);
    if (f->blocks != nullptr) {
      for (recg* r = f->blocks->next; r != f->blocks; r = r->next) shiftRect(&r->left, &r->top, &r->right, &r->bottom, dx, dy);
    }
    if (f->children != nullptr) {
      for (userfld* c = f->children->next; c != f->children; c = c->next) {
        shiftRect(&c->left, &c->top, &c->right, &c->bottom, dx, dy);
      }
    }
  }
}

struct ShiftCandidate {
  double similarity;
  int dx, dy;
};

// One fine move for both directions.  For a horizontal line `pos` is its y
// (c) and the ends are a and b; for a vertical line `pos` is its x (a) and
// the ends are b and c.
short moveLinesLocally(userfld* fields, const KeisenPair& page, KeisenPair& templ, bool horizontal) {
  Keisen* templHead = horizontal ? templ.horizontal : templ.vertical;
  const Keisen* pageHead = horizontal ? page.horizontal : page.vertical;
  if (templHead == nullptr || pageHead == nullptr || templHead->next == templHead || pageHead->next == pageHead) {
    return kStatusDone;
  }
  const int along = horizontal ? param(5) : param(9);
  const int across = horizontal ? param(6) : param(8);
  const int lengthPercent = horizontal ? param(7) : param(10);
  const int edgeTolerance = across;
  const int overlapPercent = param(11);
  auto pos = [horizontal](const Keisen& k) { return horizontal ? k.c : k.a; };
  auto start = [horizontal](const Keisen& k) { return horizontal ? k.a : k.b; };
  auto end = [horizontal](const Keisen& k) { return horizontal ? k.b : k.c; };

  double base = strict_distance_of_lines(page, templ, 0, 0);
  int index = 0;
  for (Keisen* t = templHead->next; t != templHead; t = t->next, ++index) {
    if (!(horizontal ? valid_hline(*t) : valid_vline(*t))) continue;
    const int p0 = pos(*t), s0 = start(*t), e0 = end(*t);
    const Keisen* best = nullptr;
    int bestDiff = 10000;
    forValid(pageHead, horizontal, [&](const Keisen& p) {
      if (!(s0 - along < start(p) && start(p) < s0 + along && e0 - along < end(p) && end(p) < e0 + along &&
            p0 - across < pos(p) && pos(p) < p0 + across)) {
        return;
      }
      const int diff = std::abs((e0 - s0) - (end(p) - start(p)));
      if (diff < bestDiff) {
        bestDiff = diff;
        best = &p;
      }
    });
    if (best == nullptr || bestDiff >= (e0 - s0 + 1) * lengthPercent / 100) continue;

    KeisenPair copy;
    if (copy_keisen_lists(&templ, &copy) != kStatusDone) {
      free_keisen_pair(&copy);
      return kStatusNoMemory;
    }
    Keisen* moved = (horizontal ? copy.horizontal : copy.vertical)->next;
    for (int i = 0; i < index; ++i) moved = moved->next;
    (horizontal ? moved->c : moved->a) = pos(*best);
    const double s = strict_distance_of_lines(page, copy, 0, 0);
    free_keisen_pair(&copy);
    if (s >= base) {
      (horizontal ? t->c : t->a) = pos(*best);
      base = s;
    }

    // Field edges near the line follow it where the field lies along the
    // line for most of its extent.
    const int target = pos(*t);
    if (fields == nullptr) continue;
    for (userfld* f = fields->next; f != fields; f = f->next) {
      const int lo = horizontal ? f->left : f->top;
      const int hi = horizontal ? f->right : f->bottom;
      const int overlap = std::min(hi, e0) - std::max(lo, s0) + 1;
      if ((hi - lo + 1) * overlapPercent > overlap * 100) continue;
      std::int16_t& first = horizontal ? f->top : f->left;
      std::int16_t& second = horizontal ? f->bottom : f->right;
      if (p0 - edgeTolerance < first && first < p0 + edgeTolerance) first = static_cast<std::int16_t>(target);
      if (p0 - edgeTolerance < second && second < p0 + edgeTolerance) second = static_cast<std::int16_t>(target);
    }
  }
  return kStatusDone;
}

// Reads template n of the table into fresh rings and aligns it; the rings
// are handed over only on success.
short readAligned(const TemplateContext& ctx, const TemplateTable& table, int number, const KeisenPair& pageLines,
                  int threshold, userfld** fields, KeisenPair* lines, double* similarity) {
  userfld* ring = nullptr;
  KeisenPair pair;
  short status = read_template_file(&ring, &pair, number, ctx.folder, nullptr, table);
  double s = 0.0;
  if (status == kStatusDone) status = align_template(&s, ring, pageLines, pair, threshold);
  if (settle_template_rings(status, ring, pair, fields, lines) != kStatusDone) return status;
  if (similarity != nullptr) *similarity = s;
  return kStatusDone;
}

}  // namespace

double distance_of_lines(const KeisenPair& pageLines, const KeisenPair& templateLines, int dx, int dy) {
  return coveredShare(pageLines, templateLines, dx, dy, 1);
}

double strict_distance_of_lines(const KeisenPair& pageLines, const KeisenPair& templateLines, int dx, int dy) {
  return coveredShare(pageLines, templateLines, dx, dy, 3);
}

short locally_move_hline(userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines) {
  return moveLinesLocally(fields, pageLines, templateLines, true);
}

short locally_move_vline(userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines) {
  return moveLinesLocally(fields, pageLines, templateLines, false);
}

short find_template_shift(double* similarity, userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines,
                          int* dx, int* dy, int threshold) {
  const double least = std::max(0, threshold * 50 / 100);
  std::vector<ShiftCandidate> candidates;
  auto collect = [&](bool horizontal, std::size_t limit) {
    const Keisen* th = horizontal ? templateLines.horizontal : templateLines.vertical;
    const Keisen* ph = horizontal ? pageLines.horizontal : pageLines.vertical;
    forValid(th, horizontal, [&](const Keisen& t) {
      if (candidates.size() >= limit) return;
      const int tLength = horizontal ? t.b - t.a : t.c - t.b;
      forValid(ph, horizontal, [&](const Keisen& p) {
        if (candidates.size() >= limit) return;
        const int pLength = horizontal ? p.b - p.a : p.c - p.b;
        if (std::abs(tLength - pLength) >= (tLength + 1) * 2 / 100) return;
        const int sx = p.a - t.a;
        const int sy = horizontal ? p.c - t.c : p.b - t.b;
        const double d = distance_of_lines(pageLines, templateLines, sx, sy);
        if (d >= least) candidates.push_back({d, sx, sy});
      });
    });
  };
  collect(true, 26);
  collect(false, 50);
  *dx = *dy = 0;
  if (candidates.empty()) {
    *similarity = 0.0;
    return kStatusDone;
  }
  // The full similarity decides: a later candidate wins only when it is
  // really better.
  const ShiftCandidate* best = &candidates.front();
  for (const ShiftCandidate& c : candidates) {
    if (c.similarity > best->similarity) best = &c;
  }
  *dx = best->dx;
  *dy = best->dy;
  shiftTemplate(fields, templateLines, *dx, *dy);
  if (locally_move_hline(fields, pageLines, templateLines) != kStatusDone) return kStatusNoMemory;
  if (locally_move_vline(fields, pageLines, templateLines) != kStatusDone) return kStatusNoMemory;
  *similarity = distance_of_lines(pageLines, templateLines, 0, 0);
  return kStatusDone;
}

short align_template(double* similarity, userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines,
                     int threshold) {
  *similarity = 0.0;
  if (fields == nullptr || fields->next == fields) return kStatusDone;
  int dx = 0, dy = 0;
  return find_template_shift(similarity, fields, pageLines, templateLines, &dx, &dy, threshold);
}

void score_feature(int k, unsigned pageValue, std::vector<TemplateCandidate>& entries, const std::uint16_t* stored,
                   int count) {
  if (count <= 0) return;
  const int weight = kTemplateFeatureWeights[static_cast<std::size_t>(k)];
  const auto [lo, hi] = std::minmax_element(stored, stored + count);
  const long range = static_cast<long>(*hi) - *lo;
  const long p = static_cast<long>(pageValue);
  for (int i = 0; i < count && i < static_cast<int>(entries.size()); ++i) {
    const long t = stored[i];
    long s;
    if (range == 0) {
      s = t == 0 ? 0 : t == p ? 100 : 100 - std::labs(t - p) * 100 / t;
    } else {
      s = 100 - std::labs(t - p) * 100 / range;
    }
    if (s < 0) s = 0;
    entries[static_cast<std::size_t>(i)].score += static_cast<double>(s * weight);
  }
}

void sort_by_score(std::vector<TemplateCandidate>& entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const TemplateCandidate& a, const TemplateCandidate& b) { return a.score > b.score; });
}

short compute_provability(std::vector<TemplateCandidate>* entries, const TemplateTable& table,
                          const KeisenPair& pageLines, const ImageDesc& page) {
  std::vector<TemplateCandidate> out(table.count);
  for (int s = 0; s < table.count; ++s) out[static_cast<std::size_t>(s)] = {static_cast<std::int16_t>(s), 0.0};
  // The page has no fields of its own: feature 10 is not scored.
  const TemplateFeatures pageFeatures = compute_template_features(pageLines, page, nullptr);
  int weights = 0;
  for (int w : kTemplateFeatureWeights) weights += w;
  for (int k = 0; k < 10; ++k) {
    score_feature(k, pageFeatures[static_cast<std::size_t>(k)], out, table.features[static_cast<std::size_t>(k)].data(),
                  table.count);
  }
  for (int s = 0; s < table.count; ++s) {
    auto& e = out[static_cast<std::size_t>(s)];
    e.score = table.slotBytes[static_cast<std::size_t>(s)] == kSlotActive ? e.score / weights : 0.0;
  }
  sort_by_score(out);
  *entries = std::move(out);
  return kStatusDone;
}

short match_templates(userfld** fields, KeisenPair* lines, TemplateContext& ctx, const KeisenPair& pageLines,
                      const ImageDesc& page, int threshold, double* similarity) {
  ctx.candidates.clear();
  scale_param_set3(page.dpi);
  *similarity = 0.0;
  TemplateTable table;
  short status = open_template_table(ctx.tablePath, &table);
  if (status != kStatusDone) return status;
  if (table.count == 0) return kStatusTemplateMatch;
  std::vector<TemplateCandidate> ranking;
  compute_provability(&ranking, table, pageLines, page);

  const int m = std::min<int>(table.count, kTemplateMaxCandidates);
  std::vector<TemplateCandidate> candidates(static_cast<std::size_t>(m));
  ctx.current = -1;
  for (int i = 0; i < m; ++i) {
    const int number = ranking[static_cast<std::size_t>(i)].number;
    const std::int8_t slot = table.slotBytes[static_cast<std::size_t>(number)];
    if (slot == kSlotInactive || slot == kSlotDeleted) continue;
    userfld* ring = nullptr;
    KeisenPair pair;
    double s = 0.0;
    status = read_template_file(&ring, &pair, number, ctx.folder, nullptr, table);
    if (status == kStatusDone) status = align_template(&s, ring, pageLines, pair, threshold);
    free_fld_list(&ring);
    free_keisen_pair(&pair);
    if (status != kStatusDone) return status;
    candidates[static_cast<std::size_t>(i)] = {static_cast<std::int16_t>(number), s};
  }
  sort_by_score(candidates);
  ctx.candidates = candidates;
  *similarity = candidates.front().score;
  if (candidates.front().score < threshold) return kStatusTemplateMatch;
  double s = 0.0;
  status = readAligned(ctx, table, candidates.front().number, pageLines, threshold, fields, lines, &s);
  if (status != kStatusDone) return status;
  ctx.current = candidates.front().number;
  ctx.candidateIndex = 0;
  return kStatusDone;
}

short next_template_match(userfld** fields, KeisenPair* lines, TemplateContext& ctx, const KeisenPair& pageLines,
                          int threshold, double* similarity) {
  // The same rule as the match itself: a candidate qualifies when it
  // reaches the threshold.
  if (ctx.candidates.empty() || ctx.candidates.front().score < threshold) return kStatusTemplate170;
  TemplateTable table;
  short status = open_template_table(ctx.tablePath, &table);
  if (status != kStatusDone) return status;
  if (table.count == 0) return kStatusTemplateMatch;
  const int n = static_cast<int>(ctx.candidates.size());
  for (int step = 1; step <= n; ++step) {
    const int i = (ctx.candidateIndex + step) % n;
    const TemplateCandidate& c = ctx.candidates[static_cast<std::size_t>(i)];
    if (c.score < threshold || c.number < 0 || c.number >= table.count) continue;
    if (table.slotBytes[static_cast<std::size_t>(c.number)] != kSlotActive) continue;
    double s = 0.0;
    status = readAligned(ctx, table, c.number, pageLines, threshold, fields, lines, &s);
    if (status != kStatusDone) return status;
    ctx.current = c.number;
    ctx.candidateIndex = i;
    if (similarity != nullptr) *similarity = s;
    return kStatusDone;
  }
  return kStatusTemplate170;
}

short read_template_core(TemplateContext& ctx, int number, userfld** fields, KeisenPair* lines,
                         const KeisenPair& pageLines, int threshold) {
  scale_param_set3(layoutState().dpi);
  TemplateTable table;
  const short status = open_template_table(ctx.tablePath, &table);
  if (status != kStatusDone) return status;
  if (!table.registered(number)) return kStatusFileRead;
  const short read = readAligned(ctx, table, number, pageLines, threshold, fields, lines, nullptr);
  if (read != kStatusDone) return read;
  ctx.current = number;
  return kStatusDone;
}

short read_template(TemplateContext& ctx, int number, userfld** fields, KeisenPair* lines, KeisenPair* pageLines,
                    int threshold) {
  if (read_template_core(ctx, number, fields, lines, *pageLines, threshold) != kStatusDone) return 0;
  // A folder whose templates were never named has no names file; the
  // template is loaded all the same, and reporting it as not read would
  // leave the caller believing its old fields are in place.
  if (read_template_name(ctx.folder, number, nullptr) == 1) {
    free_keisen_pair(pageLines);
    *pageLines = *lines;
    *lines = KeisenPair{};
  }
  return 1;
}

}  // namespace layout
