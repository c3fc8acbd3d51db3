#pragma once
// Half-width forms of recognised Shift-JIS codes, by our own table (the
// rule of code page 932's multi-byte to single-byte conversion: the
// full-width blank and signs to ASCII, full-width katakana to half-width
// katakana; voiced katakana and codes without a single-byte form stay).
//
//   toHalfWidth       the driver's conversion: digits and letters always,
//                     any other code only when the caller's list names it
//   singleByteForm    the table alone: the single byte, or 0 when none

#include <cstdint>
#include <span>

namespace recognition {

std::uint8_t singleByteForm(std::uint16_t code);
// `list` holds codes as byte pairs, lead byte first.
std::uint16_t toHalfWidth(std::uint16_t code, std::span<const std::uint8_t> list);

}  // namespace recognition
