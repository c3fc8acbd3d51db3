// Paper direction by trial recognition: which quarter turn puts a page
// upright.
//
//   auto_rotate_paper      the worker behind AutoRotatePaper
//   find_paper_direction   samples character-sized components cell by cell
//   vote_paper_direction   reads each sample in all four quarter turns
//   crop_bits              a rectangle of the page as its own image
//
// Recognition itself is the judge: each sample is read by the Japanese
// engine as it stands and after one, two and three clockwise quarter turns,
// and votes for the turn it reads clearly best.  A turn is answered only
// when enough samples agree, the runner-up trails far behind and the summed
// distances agree too: a wrong turn puts the user's page on its side, so an
// unsure vote answers "no turn".  Pages the samples cannot decide (Latin
// letters read alike either way up) go to the English engine, which reads
// a block of the page in the four turns; it answers only for a clear lead
// in confidence.  The page is not changed here; the caller turns it by the
// answer.
#pragma once

#include "layout/records.h"

// 3 no image bits, 1 when mode is not 0 (nothing examined); for mode 0:
// -1 memory or engine failure, 0 no sample found, else 0, 90, 180 or 270:
// the turn (counter-clockwise) that puts the page upright.
short auto_rotate_paper(const ImageDesc* page, short mode);
// 1 decided, 0 no sample or undecided (degrees 0), -111.
short find_paper_direction(const ImageDesc* image, short* degrees);
// 1 decided, 0 undecided (degrees 0), or -111 (memory, or the engine failed).
short vote_paper_direction(const rect_record* samples, const ImageDesc* image, short* degrees);
// The English engine's vote over a block about the samples: 1, 0 or -111.
short english_paper_direction(const rect_record* samples, const ImageDesc* image, short* degrees);
// Copies the rectangle (inclusive, any part of it may lie off the page, which
// reads as white) into a new zeroed image of (width + 7) / 8 bytes per row
// whose first pixel is the rectangle's top-left; the caller frees the bits
// with std::free.  1 or -111.
short crop_bits(ImageDesc* out, const ImageDesc* src, const Rect16* rect);
