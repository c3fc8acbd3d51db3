#pragma once
// Reading MIME HTML (and mail) files back into their text parts, for the
// full-text search.
//
//   parseMhtTextParts   in memory: every text/html and text/plain leaf of
//                       the message, decoded (base64, quoted-printable),
//                       through nested multiparts
//   ExtractMhtParts     the same into numbered ".htm" files of a folder
//
// Accepts what we write (no closing delimiter) and what browsers and mail
// programs write (closing delimiter, preamble, nested multiparts, unquoted
// boundaries, folded headers). Hostile input fails cleanly: no header at
// all, a multipart without boundary or without any delimiter line, nesting
// deeper than 16 levels, more than 1000 text parts.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace mime {

struct MhtTextPart {
  std::string contentType;  // lower case, "text/html" or "text/plain"
  std::string charset;      // "iso-8859", "shift_jis", "iso-2022-jp", "euc-jp", "utf-8" or empty
  std::string body;         // decoded bytes
};

constexpr int kMaxMhtNesting = 16;
constexpr std::size_t kMaxMhtTextParts = 1000;

// Calls `onPart` for each text part in order; stops when it returns false.
// False when the message is damaged as described above or `onPart` refused.
bool parseMhtTextParts(std::string_view message,
                       const std::function<bool(const MhtTextPart&)>& onPart);

// A leaf of any type, with what names it inside the message: what a page
// or a mail shows (its pictures, style sheets) is found among these.
struct MhtPart {
  std::string contentType;      // lower case
  std::string charset;          // as for MhtTextPart
  std::string contentId;        // without its angle brackets
  std::string contentLocation;  // the header's text, unfolded
  std::string body;             // decoded bytes
};
// Calls `onPart` for every leaf in order, text or not (at most 1000 of
// them), under the same rules as parseMhtTextParts.
bool parseMhtParts(std::string_view message, const std::function<bool(const MhtPart&)>& onPart);

// The first line written into an extracted part that named a charset.
std::string charsetCommentLine(std::string_view charset);

}  // namespace mime

// Splits the MHT file into "<folder>/<n>.htm" files, n from 1, and appends
// their paths to `outputPaths`. False when the file cannot be read, is
// damaged, or a part cannot be written (the parts written stay listed).
bool ExtractMhtParts(const std::string& mhtPath, const std::string& outputFolder,
                     std::vector<std::string>& outputPaths);
