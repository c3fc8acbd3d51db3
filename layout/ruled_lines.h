// Ruled-line extraction and the exchange of ruled lines with the host.
//
//   extract_ruled_lines   finds the horizontal and vertical ruled lines of
//                         the held page into the library's two lists
//   keisen_to_block       all lines as a flat block of 16-byte records
//   keisen_from_block     replaces the lists by the lines of such a block
//
// Method: horizontal lines are runs of solid black bytes along each row
// (short white gaps bridged); vertical lines are runs of bytes with ink down
// each byte column, placed at the mean offset of their first black pixels.
// Pieces near each other merge as they are found; lines too short are
// dropped; a check window then keeps only lines that have one row (or
// column) nearly solid over the middle of their length, and settles the
// line on that row or column; lines within 5 mm of the page border are
// dropped, as they are the page's edge rather than a rule.  Both scans work
// on whole bytes with tables of pixel counts and first-pixel offsets.
#pragma once

#include "layout/records.h"
#include "platform/global_memory.h"

#include <cstdint>

// scale 1 works on the full-size page, 2 on the half-size one; 1, 0 (no
// image or another scale), or -111 (both lists freed).
short extract_ruled_lines(int scale);

// Block records: four little-endian 32-bit values left, top, right, bottom,
// in a global-memory block (platform/global_memory.h) that the receiver
// frees with platform::globalFree. 0 with *count untouched when there is no
// line or no memory.
platform::GlobalHandle keisen_to_block(std::uint16_t* count);
// 0 done, -1 no block (an unknown handle), -111 when a line could not be
// allocated. Reads at most the records the block holds; skips records with
// a negative left, diagonal ones and those with a coordinate outside the
// 16-bit range of a line.
short keisen_from_block(platform::GlobalHandle block, int count);
