#pragma once
// Stacking, on the connection that FolderDatabase owns: dissolving a stack,
// taking a page out, merging entries into a stack, reordering its pages.
// Each keeps the stack invariants (pages 1..n without gaps, at least two
// pages, CurPageNo in 1..n) and runs in one transaction.

#include "catalogue/catalogue_records.h"
#include "catalogue/folder_connection.h"

#include <cstdint>
#include <span>

class FolderStacks {
 public:
  explicit FolderStacks(FolderConnection& connection) : connection_(connection) {}

  int UnstackAll(int stackNo);
  // Takes the current page out of the stack as a single item.
  int Unstack1(int stackNo, DissolvedStack& dissolved);
  // One new stack of the given items and stacks, pages in element order.
  int MergeN(StackInfo& info, std::span<const MergeElement> elements);
  // order[i] is the new page number of the page now numbered i + 1.
  int ReorderAll(int stackNo, std::span<const std::int32_t> order);

 private:
  FolderConnection& connection_;
};
