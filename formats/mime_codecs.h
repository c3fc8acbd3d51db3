#pragma once
// Transfer encodings of MIME bodies and headers.
//
//   base64Encode, base64EncodeLines   the writer's encodings (76 characters a line)
//   base64Decode                      lenient: skips line ends and stray bytes
//   quotedPrintableDecode             soft line breaks and "=XX" escapes
//
// Decoders take hostile text: they never read past the input and never fail;
// what cannot be decoded is dropped (base64) or kept as it stands (QP).

#include <string>
#include <string_view>

namespace mime {

// The standard alphabet with "=" padding, no line breaks.
std::string base64Encode(std::string_view bytes);
// Lines of at most 76 characters, each ended by CR LF; nothing for no bytes.
std::string base64EncodeLines(std::string_view bytes);
std::string base64Decode(std::string_view text);
std::string quotedPrintableDecode(std::string_view text);

}  // namespace mime
