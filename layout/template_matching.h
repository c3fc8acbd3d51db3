// Matching a page against the registered templates.
//
//   match_templates        ranks every template by its stored features, then
//                          aligns the 30 best and takes the most similar
//   next_template_match    the next candidate of the last match
//   compute_provability, score_feature, sort_by_score
//   align_template         global shift, then fine moves of single lines
//   find_template_shift, locally_move_hline, locally_move_vline
//   distance_of_lines, strict_distance_of_lines   covered share, 0.0 - 100.0
//
// A similarity is the share of the template's ruled-line length that page
// lines cover after the shift.  One rule decides both "match" and "next
// candidate": a template qualifies when its similarity reaches the threshold.
#pragma once

#include "layout/records.h"
#include "layout/template_table.h"

#include <vector>

namespace layout {

// Feature weights of features 0 to 9 (their sum divides the score).
inline constexpr std::array<int, 10> kTemplateFeatureWeights = {5, 5, 5, 5, 5, 5, 6, 6, 7, 7};

// 1 matched (the best template's fields and lines are in *fields / *lines,
// ctx.current is its number); -160 no template or none reaches the
// threshold; -121, -123, -111.  *similarity receives the best similarity.
short match_templates(userfld** fields, KeisenPair* lines, TemplateContext& ctx, const KeisenPair& pageLines,
                      const ImageDesc& page, int threshold, double* similarity);
// 1; -170 no candidate list or no candidate left that reaches the threshold;
// -160 an empty table; file and memory codes.
short next_template_match(userfld** fields, KeisenPair* lines, TemplateContext& ctx, const KeisenPair& pageLines,
                          int threshold, double* similarity);

// Scores between 0 and 100, one entry per slot, best first.
short compute_provability(std::vector<TemplateCandidate>* entries, const TemplateTable& table,
                          const KeisenPair& pageLines, const ImageDesc& page);
void score_feature(int k, unsigned pageValue, std::vector<TemplateCandidate>& entries,
                   const std::uint16_t* stored, int count);
// Descending by score; equal scores keep their order.
void sort_by_score(std::vector<TemplateCandidate>& entries);

short align_template(double* similarity, userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines,
                     int threshold);
short find_template_shift(double* similarity, userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines,
                          int* dx, int* dy, int threshold);
short locally_move_hline(userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines);
short locally_move_vline(userfld* fields, const KeisenPair& pageLines, KeisenPair& templateLines);
double distance_of_lines(const KeisenPair& pageLines, const KeisenPair& templateLines, int dx, int dy);
double strict_distance_of_lines(const KeisenPair& pageLines, const KeisenPair& templateLines, int dx, int dy);

}  // namespace layout
