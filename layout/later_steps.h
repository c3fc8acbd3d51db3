// The last steps of the horizontal pipeline: columns, the final joins of
// lines and blocks, the fields and their reading order, and the tidying of
// the result.
//
//   find_columns, find_table_columns    the column array of the context
//   remove_column_entry                 shifts the entries after one down
//   drop_separators_in_blocks           separators lying inside a block go
//   join_overlapping_lines              lines of one row become one
//   join_split_lines                    short pieces of one line become one
//   merge_overlapping_blocks            intersecting blocks become one
//   merge_all_blocks                    everything into the first block
//   join_table_pieces, join_blocks_in_columns, join_blocks_across_gap
//                                       blocks side by side become one
//   sort_blocks                         blocks (and lines) by top
//   clear_figure_regions, drop_figure_blocks, drop_figure_lines
//                                       text-like pieces of figures go
//   emit_fields                         blocks and regions into field records
//   drop_small_in_regions               small pieces inside figures go
//   split_blocks_at_gaps                a block is cut at a high white band
//   split_blocks_at_gutters             a wide block is cut at white columns
//   add_gap_separators, add_table_gap_separators   lines through white gaps
//   order_fields                        reading order, then numbering
//   compare_reading_order               the order of two fields
//   resplit_edge_fields                 a heading column of a table, again
//   number_cells, fill_table_grid       rows and columns of table cells
//   tidy_line_fields ...                the final tidying of the result
//
// Every step answers 1 when done (also for a missing or empty list) and
// -111 when a record or work buffer cannot be had.
#pragma once

#include "layout/layout_context.h"
#include "layout/records.h"
#include "layout/step_support.h"

#include <array>

short find_columns(layctx* ctx, int requested);
short find_table_columns(layctx* ctx, const Rect16* area);
void remove_column_entry(short* columns, int index, short* count);
short drop_separators_in_blocks(layctx* ctx);
short join_overlapping_lines(layctx* ctx, const rect_record* separators);
short join_split_lines(layctx* ctx);
short merge_overlapping_blocks(layctx* ctx);
short merge_all_blocks(layctx* ctx);
// Pieces of one table row lying side by side within 1.5 line heights.
short join_table_pieces(layctx* ctx);
// Blocks side by side within one column, narrower together than a third of
// the area.
short join_blocks_in_columns(layctx* ctx, const Rect16* area);
// Blocks of lines side by side within one column, at most 8 mm apart.
short join_blocks_across_gap(layctx* ctx);
// Blocks by top; with mode 1 each block's lines by top as well.
void sort_blocks(rect_record* blocks, int mode);
// Text found inside a non-text region goes when the region judgement takes
// it for a figure, or when a small region is mostly white.
short clear_figure_regions(layctx* ctx);
// A block of one line of one piece that the region judgement takes for a
// figure goes.
short drop_figure_blocks(layctx* ctx);
// A sparse line meeting a figure region that the judgement takes for a
// figure goes.
short drop_figure_lines(layctx* ctx);
short emit_fields(layctx* ctx, userfld** fields);
// Pieces lower or narrower than a line lying strictly inside a non-table
// region are parts of the figure, not text.
short drop_small_in_regions(layctx* ctx);
// A block of more than three lines at least 30 mm wide is cut at white rows
// higher than three line pitches (near a column boundary or its middle).
short split_blocks_at_gaps(layctx* ctx);
// A block at least 50 mm wide with four lines or more is cut at white
// columns near a column boundary or its middle.
short split_blocks_at_gutters(layctx* ctx);
// Kind-16 separators through the wide white rows and columns between the
// fields of the area (page) or, as bytes 10 and 11 ask, of a table.
short add_gap_separators(userfld* fields, layctx* ctx, const Rect16* area);
short add_table_gap_separators(userfld* fields, layctx* ctx, const Rect16* area);
short order_fields(userfld* fields, const layctx* ctx);
short compare_reading_order(const userfld& a, const userfld& b, const rect_record* separators);
void number_fields_of_kind(userfld* fields, int kind);
// >= 0: cell a (the one being placed) is read before b (an earlier one).
// `separators` is null when byte 10 asks for gap separators across rows.
short compare_cells(const userfld& a, const userfld& b, const rect_record* separators);
// Narrow fields along the left edge of a table, of lines no wider than a
// character and a half, are analysed again as vertical writing.
short resplit_edge_fields(userfld* fields, const std::array<ImageDesc, 5>* images);
short number_cells(userfld* fields, const layctx* ctx);
short fill_table_grid(userfld** fields);
short tidy_line_fields(userfld** lineFields, const layctx* ctx);
short drop_line_fields_in_figures(userfld** lineFields, const userfld* fields);
short drop_large_figures(userfld* fields, const layctx* ctx);
short merge_figures(userfld* fields);
short drop_thin_figures(userfld* fields);
short drop_line_fields_in_text(userfld** lineFields, const userfld* fields);
short mark_line_fields_in_tables(userfld* lineFields, const userfld* fields);

namespace layout {

inline constexpr int kFieldText = 13;
inline constexpr int kFieldFigure = 10;
inline constexpr int kFieldCell = 11;
// The character "2": a table region, and the frame of an analysed table area.
inline constexpr int kFieldTable = '2';
inline constexpr int kLineFieldInTable = 21;

}  // namespace layout
