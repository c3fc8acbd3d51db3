#pragma once
// The conditions of the search dialog's three pages and what they are
// checked and turned into before a search. No widgets here: the dialog
// exchanges its controls with SearchConditions and calls these.
//
//   SearchConditions       the fields of the word, file and date pages
//   ResetSearchConditions  the defaults (or the tidy-up's date search)
//   GetDateRange           relative periods from a given today
//   CheckSearchConditions  the validation, page index and message
//   ResolveTargetFolder    "デスクトップ/..." to a real path
//   NormalizeExtensions    "jpg, .bmp, *.tif" to "*.jpg" "*.bmp" "*.tif"
//   PushHistory            newest first, at most 10, no repeats

#include <string>
#include <vector>

struct SearchConditions {
  // Word page.
  std::string words;
  int matchMode = 3;  // 0 exact, 1 prefix, 2 suffix, 3 contains
  bool exclude = false;
  bool fullText = true;
  bool title = true;
  bool creator = true;
  bool keyword = true;
  bool comment = true;
  bool caseSensitive = false;
  bool widthSensitive = false;
  int similarity = 100;
  // File page.
  std::string folder;  // "デスクトップ" or "デスクトップ/<relative path>"
  bool subfolders = true;
  bool useColor = false;
  int colorIndex = 0;  // the default colour until the user picks one
  int fileKind = 0;    // 0 all, 1 images, 2 not images, 3 listed extensions
  std::string extensions;
  // Date page.
  int dateKind = 0;  // 0 none, 1 issue, 2 modified, 3 accessed
  int period = 0;    // 0 user's dates, 1..6 relative periods
  int before = 0;    // 0 within the period, 1 before it
  std::string startYear, startMonth, startDay, endYear, endMonth, endDay;

  unsigned FieldMask() const;  // searchfield bits; 0 without words
  int DatePeriodStart() const;  // yyyymmdd or 1000101
  int DatePeriodEnd() const;    // yyyymmdd or 99991231
};

inline constexpr const char* kDesktopName = "デスクトップ";
inline constexpr int kHistoryMax = 10;

struct DateRange {
  int startYear = 0, startMonth = 0, startDay = 0;
  int endYear = 0, endMonth = 0, endDay = 0;
};

// period 0 gives all zeros; the before-form leaves the start at 0 and ends at
// the period's date.
DateRange GetDateRange(int period, bool before, int todayYmd);

// The folder text of the current folder: "デスクトップ" plus its path below root.
std::string FolderTextFor(const std::string& root, const std::string& currentFolder);

// tidyDateType/tidyRange: KankyoToriaezuDateType and KankyoToriaezuDateRange.
void ResetSearchConditions(SearchConditions& c, const std::string& folderText, bool tidyUp,
                           int tidyDateType, int tidyRange, int todayYmd);

// True with the path when the text names the desktop root or a folder below it.
bool ResolveTargetFolder(const std::string& text, const std::string& root, std::string& path);

// 0 and the patterns; else the message of the first fault.
int NormalizeExtensions(const std::string& text, std::vector<std::string>& patterns,
                        std::string& message);

// Two-digit years: 00-49 are 20xx, 50-99 are 19xx.
int CompleteYear(int year);

// -1 when every condition holds, else the page (0 words, 1 file, 2 date) and
// the message. Completed date fields are written back into c.
int CheckSearchConditions(SearchConditions& c, const std::string& root, int todayYmd,
                          std::string& message);

void PushHistory(std::vector<std::string>& list, const std::string& text);
