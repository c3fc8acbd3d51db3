#pragma once
// Movable memory blocks named by integer handles, as the imaging control,
// the scanner driver and the OCR control hand them to their callers: the
// receiver locks a block, reads or fills it and frees it by its handle.
// One process-wide table, so a block made in one library is freed in another.
//
//   globalAlloc      a zeroed block of the given size; 0 when out of memory
//   globalAllocCopy  a block holding a copy of the bytes
//   globalLock       the block's bytes (nullptr for an unknown handle)
//   globalUnlock     ends a lock (blocks never move; kept for callers' symmetry)
//   globalSize       the block's size (0 for an unknown handle)
//   globalFree       frees the block; true when the handle was known

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

using GlobalHandle = std::int32_t;

GlobalHandle globalAlloc(std::size_t size);
GlobalHandle globalAllocCopy(std::span<const std::uint8_t> bytes);
std::uint8_t* globalLock(GlobalHandle handle);
void globalUnlock(GlobalHandle handle);
std::size_t globalSize(GlobalHandle handle);
bool globalFree(GlobalHandle handle);

}  // namespace platform
