#pragma once
// The text of the office documents that are zip archives of XML members:
// Office Open XML (".docx", ".xlsx", ".pptx") and OpenDocument (".odt",
// ".ods", ".odp", ".odg"), for the full-text search.
//
//   IsOfficeArchiveExtension   whether an extension names such a document
//   OfficeArchiveText          the document's text as UTF-8
//   OfficeArchiveTextOfBytes   the same from an archive in memory
//
// Method: the archive is read with libzip in the process; only the members
// that carry the visible text are opened (the body, headers and footers and
// notes of a word-processing document, the shared strings and cell values of
// a workbook, the slides of a presentation in slide order, "content.xml" of
// an OpenDocument file) and their character data is collected with Qt's
// streaming XML reader, a line break after each paragraph, cell or row and a
// tab for a tab element. Members are inflated with a limit
// (kMaxMemberBytes), so a small archive that expands without end yields no
// text rather than filling memory; an archive that cannot be read, or whose
// members are not well-formed XML, yields no text with a reason.

#include <optional>
#include <string>
#include <string_view>

namespace officetext {

inline constexpr std::size_t kMaxMemberBytes = 64u << 20;

// "DOCX", "xlsx", ... (without the point, any case).
bool IsOfficeArchiveExtension(std::string_view ext);

// The text of the document at path, or nothing with reason set.
std::optional<std::string> OfficeArchiveText(const std::string& path, std::string_view ext, std::string& reason);
// The same for an archive held in memory (the bytes must outlive the call).
std::optional<std::string> OfficeArchiveTextOfBytes(std::string_view bytes, std::string_view ext,
                                                    std::string& reason);

}  // namespace officetext
