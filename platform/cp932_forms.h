#pragma once
// Typed look-alikes of the characters CP932 stores.
//
//   toCp932Forms, qToCp932Forms
//
// Input methods give 〜 (U+301C) where Shift-JIS has ～ (U+FF5E), − for －,
// ‖ for ∥, ¢ for ￠, £ for ￡, ¬ for ￢: CP932 encodes them, but they read back
// as the other character, so a title typed with them would not read back as
// typed.

#include <QString>

#include <string>
#include <string_view>

namespace platform {

// The text with each character that CP932 stores as another double-byte
// character replaced by that character. Everything else is kept, ¥ too (its
// code is the single byte '\').
std::string toCp932Forms(std::string_view utf8);
QString qToCp932Forms(const QString& text);

}  // namespace platform
