#pragma once
// The list pane's texts without widgets: a cell's sort key, the order of
// two keys, the date text of a cell, and cutting a cell's text to fit.
//
//   ListSortKey        the key of a cell text in a column
//   PrepareSortKey     the Shift-JIS forms a key is compared by
//   CompareSortKeys    the order of two prepared keys
//   FormatListDate     YYYYMMDD as "YYYY/MM/DD"
//   ElideCellText      cut with "..." at a whole character
//
// Titles order as the catalogue orders them: their Shift-JIS bytes, ASCII
// letters compared upper-cased first and the unchanged bytes breaking ties.

#include <functional>
#include <string>

namespace listpane {

enum Column { kTitle = 0, kPageTitle, kPages, kIssueDate, kModifiedDate, kAccessedDate, kColumnCount };

// Titles unchanged; a page count padded to six digits ("" -> "000000");
// a date's parts padded to 4, 2 and 2 digits.
std::string ListSortKey(int column, const std::string& cellText);

struct PreparedKey {
  std::string upper;  // Shift-JIS, ASCII a-z upper-cased
  std::string bytes;  // Shift-JIS unchanged
};
PreparedKey PrepareSortKey(const std::string& utf8Key);
// Negative, 0 or positive.
int CompareSortKeys(const PreparedKey& a, const PreparedKey& b);

std::string FormatListDate(int ymd);

// text when fits(text); else the longest prefix of whole characters p such
// that fits(p + "...") (or just "..."), followed by "...".
std::string ElideCellText(const std::string& utf8, const std::function<bool(const std::string&)>& fits);

}  // namespace listpane
