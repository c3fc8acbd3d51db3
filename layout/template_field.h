// The 870-byte field entry of a per-template file, written byte for byte
// (little-endian) from a field record.
#pragma once

#include "layout/records.h"

#include <array>
#include <cstdint>

inline constexpr int kTemplateFieldBytes = 870;
using TemplateFieldEntry = std::array<std::uint8_t, kTemplateFieldBytes>;

short fld_to_template_field(const userfld* field, TemplateFieldEntry* entry);
