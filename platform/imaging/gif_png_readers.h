#pragma once
// The GIF and PNG readers of the held image, for what Leptonica's own
// readers do not serve: every frame of a GIF, and transparency.
//
//   gifDepthOfColours   the PIX depth (1, 2, 4, 8) of a GIF colour table
//   readGif             one frame (a page, from 1) on the logical screen
//   pngHasTransparency  an alpha channel or a transparency chunk
//   readPngFlattened    such a PNG, composed onto white
//
// Documents are paper: what is transparent is shown as white paper. A GIF
// frame keeps its colour table, with the transparent entry made white;
// the rest of the screen takes the transparent entry when there is one,
// else the screen's background entry. Frames are pages of their own, as
// a multi-page document holds them, not composed as an animation.
//
// A PNG with transparency comes out composed onto white: 8-bit grey for
// grey images, 32-bit RGB for colour, and a palette image keeps its
// palette (each entry composed onto white by its own opacity).

#include "platform/imaging/image.h"

#include <cstdint>
#include <span>

namespace platform::imaging {

int gifDepthOfColours(int colours);
short readGif(std::span<const std::uint8_t> bytes, int page, PixPtr& out);
bool pngHasTransparency(std::span<const std::uint8_t> bytes);
short readPngFlattened(std::span<const std::uint8_t> bytes, PixPtr& out);

}  // namespace platform::imaging
