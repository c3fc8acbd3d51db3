// Writing-direction vote of a page: rows or columns of text.
//
//   vote_writing_direction   0 horizontal, 1 vertical
//   row_gap_score            how much of a cell is white rows between lines
//   column_gap_score         the same for white columns
//
// Text in rows leaves white rows between its lines, text in columns white
// columns.  The page is cut into cells; in each cell that holds enough
// character-sized components, the white runs of the row profile and of the
// column profile that are as wide as a line gap (0.6 to 4 mm) are summed as
// a share of the cell.  The vote ends as soon as one direction leads by a
// whole cell's worth, or after 16 cells.
//
// Statuses: 1 decided, -111 memory ran out.
#pragma once

#include "layout/records.h"

short vote_writing_direction(const ImageDesc* image, short* direction);
// `slope`: how far the lines run off level (rows per column for the row
// score, columns per row for the column score); each component is taken
// where its line crosses the cell's centre.
short row_gap_score(double* score, const rect_record* components, const Rect16* cell, const ImageDesc* image,
                    double slope = 0);
short column_gap_score(double* score, const rect_record* components, const Rect16* cell, const ImageDesc* image,
                       double slope = 0);
