#pragma once
// MhtConverter: packs an HTML page and the local files it links into one
// MIME HTML file, the form in which imported pages are kept in a folder.
//
// Output layout (every line ended by CR LF): fixed message headers, the
// boundary "----=_NextPart_000", then one base64 part per file: the page
// first, then each linked local file in the order of its first reference,
// depth first through linked pages. Each part's Content-Location is the
// file's URL as a Shift-JIS MIME encoded word (UTF-8 when the path has no
// Shift-JIS form). No closing delimiter: readers of the files written by
// earlier versions rely on the last line being the separator.
//
// Pages in ISO-2022-JP or EUC-JP are stored converted to Shift-JIS with
// their meta charset changed to match; non-ASCII characters of href and src
// values are stored as numeric character references.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class MhtConverter {
 public:
  // Writes the MHT file atomically. False when the page itself cannot be
  // read, the archive would be larger than the cap, or the output cannot be
  // written. Linked files are packed only when they are regular files inside
  // the page's folder tree (after following symbolic links); other links, and
  // linked files that cannot be read, are left out and stay links.
  bool Convert(const std::string& htmlPath, const std::string& outputPath);

 private:
  bool WritePart(const std::string& path, std::string& out, std::vector<std::string>& links);

  std::string pageTree_;              // canonical folder of the page
  std::vector<std::string> written_;  // canonical paths already packed
  std::uint64_t outputBytes_ = 0;
  bool tooLarge_ = false;
};

namespace mime {

struct HtmlReference {
  std::size_t begin = 0;  // the attribute value's bytes in the page
  std::size_t end = 0;
};

// The href and src attribute values of a page, in order.
std::vector<HtmlReference> findHtmlReferences(std::string_view html);

// The local file that a reference names, resolved against the page's
// folder; empty for remote references (http:, ftp: and every other scheme
// but file:), fragments and protocol-relative references. `utf8Ref` is the
// reference already in UTF-8.
std::string localPathOfReference(std::string_view utf8Ref, const std::string& pageFolder);

// The MIME encoded word(s) of a file's location, folded after every 76
// base64 characters.
std::string encodedLocation(const std::string& path);

}  // namespace mime
