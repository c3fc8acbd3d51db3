// Lines of a horizontal block that are really several lines.
//
//   split_initial_lines   a line led by a large piece (a drop capital, a
//                         heading number over several rows) keeps the lead;
//                         the rows beside it become lines of their own
//
// Both answer 1 when done (also for a missing or empty list) and -111 when a
// record cannot be had.
#pragma once

#include "layout/layout_context.h"
#include "layout/records.h"

short split_initial_lines(layctx* ctx);
short split_tall_lines(layctx* ctx);
short join_thin_lines(layctx* ctx);
