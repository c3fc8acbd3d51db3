// Forms read row by row.
//
//   read_form_rows    side-by-side fields whose lines pair up row by row
//                     (labels beside their values, the columns of a table
//                     that was not found as one) become one field per line,
//                     ordered row by row, left to right
//
// Method: the blocks of a form come out of the page analysis as columns (the
// labels one block, the values another), and the reading order then reads
// them column by column (or, when the rows stand apart, each item is a
// field of its own, and the items of one column come before those of the
// next). Two fields are one form when they lie side by side,
// most lines of each meet a line of the other at the same height, and the
// left one holds short items (no line longer than kItemHeights line
// heights): columns of prose have long lines, so a page of two text columns
// whose lines happen to line up keeps its column order.
#pragma once

#include "layout/records.h"

namespace layout {

// A line of the left field is an item when it is at most this many line
// heights long.
inline constexpr int kItemHeights = 12;

}  // namespace layout

// Answers 1 when done (also for a missing or empty list), -111 when a record
// cannot be had.
short read_form_rows(userfld* fields);
