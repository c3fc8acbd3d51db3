// Rings of ruled lines (Keisen records, from the general heap) and the search
// for the ruled-line cell round a point.
//
//   append_hline / append_vline       new line at the tail (sentinel made first)
//   free_hline_list / free_vline_list frees every line and the sentinel
//   count_hlines / count_vlines
//   find_keisen_cell                  the cell bounded by ruled lines round a point
//
// The horizontal ring is kept sorted by row and the vertical ring by column;
// the cell search relies on that order.
#pragma once

#include "layout/records.h"

Keisen* append_hline(Keisen** head);
Keisen* append_vline(Keisen** head);
void free_hline_list(Keisen** head);
void free_vline_list(Keisen** head);
int count_hlines(const Keisen* head);
// Unlinks a line, frees it and returns the line before it.
Keisen* drop_keisen(Keisen* line);
// Stable insertion sorts: horizontal lines by row (c), vertical by column (a).
void sort_hlines(Keisen* head);
void sort_vlines(Keisen* head);
int count_vlines(const Keisen* head);

// Stores the cell round (x, y) in *cell and returns 1, or returns 0.
int find_keisen_cell(int x, int y, const Keisen* horizontal, const Keisen* vertical, Rect16* cell);
