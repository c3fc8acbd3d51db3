// Character-kind grids of a template's merge runs: for every member field of
// a run, its character-kind mask (parameter bytes 24-25), one byte per cell
// at (number - 1) x columns + (sub-number - 1).
//
//   forEachMergeRun         the merge runs of a ring, in ring order
//   write_char_blocks       the grids of every run of a ring, as file bytes
//   read_char_block         a run's grid from a per-template file
//   rewrite_char_block      replaces a run's grid in a per-template file
//   build_char_block        a run's grid from a field ring
//   apply_char_block        a grid into a run of a field ring
//   apply_field_char_blocks every stored grid into the runs of Sfld
//   template_file_path      folder/@N<number, six digits>
//
// A merge run opens at a record whose state byte (parameter byte 3) is -1
// or -9, or whose kind byte (8) is the region frame 0x32; its members are
// the records after it with state -1, a kind other than the frame and a
// number not below the previous member's.  The head is itself a member
// when its state is -1 and it is no frame, in every routine here, so that a
// grid written at registration, built in the dialog and applied to a new
// layout all mean the same cells.
//
// Grids are global-memory blocks (platform/global_memory.h) of rows x
// columns bytes.  A block belongs to whoever holds it: the readers and
// builders hand a new one to their caller; the writers and appliers never
// free the block they are given.
//
// Results: 1 done or found; 0 not found, no file or a failed write; -122
// the per-template file's header is short.
#pragma once

#include "layout/records.h"
#include "platform/global_memory.h"

#include <functional>
#include <string>

namespace layout {

struct MergeRun {
  userfld* head = nullptr;
  userfld* last = nullptr;      // the last member, or the head when it has none
  bool headIsMember = false;
};

// Calls visit(run index from 0, run) for each run until it returns false.
void forEachMergeRun(const userfld* ring, const std::function<bool(int, const MergeRun&)>& visit);

// Per-template files are larger than this only when damaged.
inline constexpr std::size_t kTemplateFileMaxBytes = 64u << 20;

std::string template_file_path(const std::string& folder, int templateNumber);

short write_char_blocks(const userfld* ring, std::string* out);
short read_char_block(const std::string& folder, int templateNumber, int runIndex, platform::GlobalHandle* block,
                      short* rows, short* columns);
short rewrite_char_block(const std::string& folder, int templateNumber, int runIndex, platform::GlobalHandle block,
                         short rows, short columns);
short build_char_block(const userfld* ring, int runIndex, platform::GlobalHandle* block, short* rows,
                       short* columns);
short apply_char_block(userfld* ring, int runIndex, platform::GlobalHandle block, short rows, short columns);
short apply_field_char_blocks(const std::string& folder, int templateNumber);

}  // namespace layout
