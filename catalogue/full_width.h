#pragma once
// Half-width to full-width conversion of Shift-JIS text, shared by the
// related-word dictionary and the fuzzy text matcher.
//
//   ToFullWidth   one full-width character for each half-width one
//
// Single bytes become their full-width forms (ASCII, TAB and space, the
// half-width katakana); a half-width katakana followed by a voicing mark
// becomes one voiced katakana; a long-sound mark or hyphen after a katakana
// becomes "ー". Letters keep their case. Double-byte characters and bytes
// without a full-width form are copied unchanged.

#include <string>
#include <string_view>

// Shift-JIS in, Shift-JIS out.
std::string ToFullWidth(std::string_view source);
