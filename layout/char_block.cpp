// Character-kind grids of merge runs; see char_block.h.
#include "layout/char_block.h"

#include "layout/char_block_file.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "platform/file_ops.h"
#include "platform/paths.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <vector>

namespace layout {

namespace {

constexpr std::int8_t kStateMerge = -1;
constexpr std::int8_t kStateSkip = -9;
constexpr std::uint8_t kKindFrame = 0x32;

std::int8_t stateOf(const userfld* f) { return f->params.signedByte(ParamBlock::kForm); }
std::uint8_t kindOf(const userfld* f) { return f->params.byte(ParamBlock::kFieldKind); }

bool opensRun(const userfld* f) {
  return stateOf(f) == kStateMerge || stateOf(f) == kStateSkip || kindOf(f) == kKindFrame;
}
bool canBeMember(const userfld* f) { return stateOf(f) == kStateMerge && kindOf(f) != kKindFrame; }

// Calls visit on each member of the run, the head first when it is one.
template <typename Visit>
void forEachMember(const MergeRun& run, Visit visit) {
  if (run.headIsMember) visit(run.head);
  if (run.last == run.head) return;
  for (userfld* r = run.head->next;; r = r->next) {
    visit(r);
    if (r == run.last) break;
  }
}

bool findRun(const userfld* ring, int runIndex, MergeRun* out) {
  bool found = false;
  forEachMergeRun(ring, [&](int t, const MergeRun& run) {
    if (t != runIndex) return true;
    *out = run;
    found = true;
    return false;
  });
  return found;
}

std::uint8_t maskByte(const userfld* f) {
  return static_cast<std::uint8_t>(f->params.word(ParamBlock::kCharKindMask) & 0xFF);
}
void setMaskFromByte(userfld* f, std::uint8_t b) {
  f->params.setWord(ParamBlock::kCharKindMask, static_cast<std::int8_t>(b));  // sign-extended
}

// The grid of a run: sized by the largest number and sub-number of its
// members, each member's mask byte at its cell (members numbered below 1
// have none).
std::vector<std::uint8_t> gridOf(const MergeRun& run, int* rows, int* columns) {
  int r = 0;
  int c = 0;
  forEachMember(run, [&](const userfld* f) {
    r = std::max<int>(r, f->number);
    c = std::max<int>(c, f->subNumber);
  });
  std::vector<std::uint8_t> grid(static_cast<std::size_t>(r) * static_cast<std::size_t>(c), 0);
  forEachMember(run, [&](const userfld* f) {
    if (f->number < 1 || f->subNumber < 1) return;
    grid[static_cast<std::size_t>(f->number - 1) * static_cast<std::size_t>(c) +
         static_cast<std::size_t>(f->subNumber - 1)] = maskByte(f);
  });
  *rows = r;
  *columns = c;
  return grid;
}

// Reads a template's file and finds the block of a run in it: 1 found, 0
// no file or no block, -122 the header is short.
short findStoredBlock(const std::string& folder, int templateNumber, int runIndex, std::vector<std::uint8_t>* bytes,
                      CharBlockPlace* place) {
  if (platform::readFileCapped(template_file_path(folder, templateNumber), kTemplateFileMaxBytes, bytes) != 0) {
    return kStatusNothing;
  }
  switch (findCharBlock(*bytes, runIndex, place)) {
    case CharBlockFind::Found:
      return kStatusDone;
    case CharBlockFind::ShortHeader:
      return kStatusFileWrite;
    case CharBlockFind::NotFound:
      break;
  }
  return kStatusNothing;
}

}  // namespace

void forEachMergeRun(const userfld* ring, const std::function<bool(int, const MergeRun&)>& visit) {
  if (ring == nullptr) return;
  int index = 0;
  for (userfld* r = ring->next; r != ring;) {
    if (!opensRun(r)) {
      r = r->next;
      continue;
    }
    MergeRun run{r, r, canBeMember(r)};
    int previous = run.headIsMember ? r->number : INT_MIN;
    for (userfld* m = r->next; m != ring && canBeMember(m) && m->number >= previous; m = m->next) {
      previous = m->number;
      run.last = m;
    }
    if (!visit(index++, run)) return;
    r = run.last->next;
  }
}

std::string template_file_path(const std::string& folder, int templateNumber) {
  char name[16];
  std::snprintf(name, sizeof name, "@N%06d", templateNumber);
  return platform::joinPath(folder, name);
}

short write_char_blocks(const userfld* ring, std::string* out) {
  try {
    forEachMergeRun(ring, [&](int t, const MergeRun& run) {
      int rows = 0;
      int columns = 0;
      const std::vector<std::uint8_t> grid = gridOf(run, &rows, &columns);
      appendCharBlock(out, t, rows, columns, grid.data());
      return true;
    });
  } catch (const std::bad_alloc&) {
    return kStatusNothing;
  }
  return kStatusDone;
}

short read_char_block(const std::string& folder, int templateNumber, int runIndex, platform::GlobalHandle* block,
                      short* rows, short* columns) {
  std::vector<std::uint8_t> bytes;
  CharBlockPlace place;
  const short found = findStoredBlock(folder, templateNumber, runIndex, &bytes, &place);
  if (found != kStatusDone) return found;
  platform::GlobalHandle handle = 0;
  if (!place.grid.empty()) {
    handle = platform::globalAllocCopy(place.grid);
    if (handle == 0) return kStatusNothing;
  }
  *block = handle;
  *rows = static_cast<short>(place.rows);
  *columns = static_cast<short>(place.columns);
  return kStatusDone;
}

short rewrite_char_block(const std::string& folder, int templateNumber, int runIndex, platform::GlobalHandle block,
                         short rows, short columns) {
  if (rows < 0 || columns < 0) return kStatusNothing;
  const std::size_t gridBytes = static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
  const std::uint8_t* grid = gridBytes > 0 ? platform::globalLock(block) : nullptr;
  if (gridBytes > 0 && (grid == nullptr || platform::globalSize(block) < gridBytes)) return kStatusNothing;
  std::vector<std::uint8_t> bytes;
  CharBlockPlace place;
  const short found = findStoredBlock(folder, templateNumber, runIndex, &bytes, &place);
  if (found != kStatusDone) return found;
  // The file is written anew around the new block: a grid of another size
  // fits as well as one of the same, and a failed write leaves the old file.
  std::string out(reinterpret_cast<const char*>(bytes.data()), place.offset);
  appendCharBlock(&out, runIndex, rows, columns, grid);
  out.append(reinterpret_cast<const char*>(bytes.data()) + place.offset + place.length,
             bytes.size() - place.offset - place.length);
  const bool written = platform::writeFileReplacing(template_file_path(folder, templateNumber),
                                                    {reinterpret_cast<const std::uint8_t*>(out.data()),
                                                     out.size()}) == platform::ReplaceStage::Done;
  return written ? kStatusDone : kStatusNothing;
}

short build_char_block(const userfld* ring, int runIndex, platform::GlobalHandle* block, short* rows,
                       short* columns) {
  if (ring == nullptr || ring->next == ring) return kStatusDone;
  MergeRun run;
  if (!findRun(ring, runIndex, &run)) return kStatusNothing;
  int r = 0;
  int c = 0;
  const std::vector<std::uint8_t> grid = gridOf(run, &r, &c);
  platform::GlobalHandle handle = 0;
  if (!grid.empty()) {
    handle = platform::globalAllocCopy(grid);
    if (handle == 0) return kStatusNothing;
  }
  *block = handle;
  *rows = static_cast<short>(r);
  *columns = static_cast<short>(c);
  return kStatusDone;
}

short apply_char_block(userfld* ring, int runIndex, platform::GlobalHandle block, short rows, short columns) {
  const std::size_t gridBytes = static_cast<std::size_t>(std::max<short>(rows, 0)) *
                                static_cast<std::size_t>(std::max<short>(columns, 0));
  const std::uint8_t* grid = platform::globalLock(block);
  if (grid == nullptr || gridBytes == 0 || platform::globalSize(block) < gridBytes) return kStatusNothing;
  MergeRun run;
  if (!findRun(ring, runIndex, &run)) return kStatusNothing;
  forEachMember(run, [&](userfld* f) {
    if (f->number < 1 || f->number > rows || f->subNumber < 1 || f->subNumber > columns) return;
    setMaskFromByte(f, grid[static_cast<std::size_t>(f->number - 1) * static_cast<std::size_t>(columns) +
                            static_cast<std::size_t>(f->subNumber - 1)]);
  });
  return kStatusDone;
}

short apply_field_char_blocks(const std::string& folder, int templateNumber) {
  const userfld* sfld = layoutState().Sfld;
  if (sfld == nullptr) return kStatusNothing;
  short result = kStatusDone;
  forEachMergeRun(sfld, [&](int t, const MergeRun& run) {
    platform::GlobalHandle block = 0;
    short rows = 0;
    short columns = 0;
    if (read_char_block(folder, templateNumber, t, &block, &rows, &columns) != kStatusDone) {
      result = kStatusNothing;
      return false;
    }
    const std::uint8_t* grid = platform::globalLock(block);
    if (grid != nullptr && rows > 0 && columns > 0) {
      // A member beyond the stored grid takes its last row or column.
      forEachMember(run, [&](userfld* f) {
        if (f->number < 1 || f->subNumber < 1) return;
        const int row = std::min<int>(f->number, rows) - 1;
        const int column = std::min<int>(f->subNumber, columns) - 1;
        setMaskFromByte(f, grid[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                                static_cast<std::size_t>(column)]);
      });
    }
    platform::globalFree(block);
    return true;
  });
  return result;
}

}  // namespace layout
