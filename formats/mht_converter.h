#pragma once
// MhtConverter: packs an HTML page and the local files it links into one
// MIME HTML file, the form in which imported pages are kept in a folder.
//
// Output layout (every line ended by CR LF): fixed message headers, the
// boundary "----=_NextPart_000", then one base64 part per file: the page
// first, then each local file the page shows in the order of its first
// reference, depth first through frame pages and style sheets.
//
// Only what the page shows is packed: the pictures of img and background,
// style sheets of link rel=stylesheet and @import, scripts, frame pages and
// the pictures of CSS url(), each only when its name says it is of that
// kind. Plain links (<a href>) are never followed. The files must lie in
// the page's folder or below it (its "<name>_files" folder), with no
// hidden file or folder on the way and no symbolic link leading out: a page
// in a home folder must not pull the user's keys or papers into an archive
// that may be mailed. Each part's Content-Location is the
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
  // written. Files that may not be packed, and those that cannot be read,
  // are left out and stay links.
  bool Convert(const std::string& htmlPath, const std::string& outputPath);

 private:
  bool WritePart(const std::string& path, bool isPage, std::string& out, std::vector<std::string>& links);
  bool MayPack(const std::string& path, const std::string& canonical) const;

  std::string pageFolder_;            // the page's folder as named
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

// What a reference to a file makes of it in the page.
enum class ResourceKind { Picture, StyleSheet, Script, FramePage, CssUrl };
struct HtmlResource {
  std::size_t begin = 0;  // the reference's bytes in the text
  std::size_t end = 0;
  ResourceKind kind = ResourceKind::Picture;
};
// The files a page shows, in order: img src, background, link
// rel=stylesheet href, script src, frame and iframe src, and url() and
// @import in style elements and style attributes. Comments and the text of
// scripts are skipped.
std::vector<HtmlResource> findHtmlResources(std::string_view html);
// url() and @import of a style sheet.
std::vector<HtmlResource> findCssResources(std::string_view css);
// Whether a file of the content type may be packed as what the reference
// makes of it (a picture as a picture, a page only as a frame...).
bool isPackedKind(ResourceKind kind, std::string_view contentType);

// The local file that a reference names, resolved against the page's
// folder; empty for remote references (http:, ftp: and every other scheme
// but file:), fragments and protocol-relative references. `utf8Ref` is the
// reference already in UTF-8.
std::string localPathOfReference(std::string_view utf8Ref, const std::string& pageFolder);

// The path with every symbolic link resolved (as far as it exists).
std::string canonicalPath(const std::string& path);
// Whether the file at path (canonical: its canonicalPath) may be taken as
// part of the page whose folder is pageFolder (pageTree: its canonical
// form): inside that folder or below it once links are followed, with no
// hidden file or folder on the way.
bool isPageResourcePath(const std::string& pageFolder, const std::string& pageTree, const std::string& path,
                        const std::string& canonical);

// The MIME encoded word(s) of a file's location, folded after every 76
// base64 characters.
std::string encodedLocation(const std::string& path);

}  // namespace mime
