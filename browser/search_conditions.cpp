#include "browser/search_conditions.h"

#include "catalogue/file_utilities.h"
#include "catalogue/search_database.h"
#include "catalogue/sjis_text.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* kWordForbidden = "'*?][#|)(\"";
constexpr const char* kExtForbidden = "'?][#|\"\\/:<>";
constexpr const char* kFullWidthAsterisk = "＊";

int number(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return (end && *end == '\0' && value > 0 && value < 100000) ? static_cast<int>(value) : 0;
}

std::string field(int value) { return value == 0 ? std::string() : std::to_string(value); }

std::string retype(const std::string& what) { return what + "\n入力し直してください。"; }

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  const auto last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

QDate toDate(int ymd) { return QDate(ymd / 10000, ymd / 100 % 100, ymd % 100); }

QDate monthsBack(QDate today, int months) {
  int year = today.year();
  int month = today.month() - months;
  while (month < 1) {
    month += 12;
    --year;
  }
  const int length = QDate(year, month, 1).daysInMonth();
  return QDate(year, month, std::min(today.day(), length));
}

// One date of the page: completes it and checks it; false on a fault.
bool completeDate(std::string& year, std::string& month, std::string& day, int todayYmd,
                  int& ymd) {
  int y = number(year), m = number(month), d = number(day);
  ymd = 0;
  if (d == 0 && (y != 0 || m != 0)) return false;
  if (m == 0 && y != 0) return false;
  if (d == 0) return true;
  if (y == 0) y = todayYmd / 10000;
  else if (y < 100) y = CompleteYear(y);
  if (m == 0) m = todayYmd / 100 % 100;
  year = field(y);
  month = field(m);
  if (!QDate::isValid(y, m, d)) return false;
  ymd = y * 10000 + m * 100 + d;
  return true;
}

}  // namespace

unsigned SearchConditions::FieldMask() const {
  if (words.empty()) return 0;
  unsigned mask = 0;
  if (fullText) mask |= searchfield::kFullText;
  if (title) mask |= searchfield::kTitle;
  if (creator) mask |= searchfield::kCreator;
  if (keyword) mask |= searchfield::kKeyword;
  if (comment) mask |= searchfield::kComment;
  return mask;
}

int SearchConditions::DatePeriodStart() const {
  const int d = number(startDay);
  return d == 0 ? 1000101 : number(startYear) * 10000 + number(startMonth) * 100 + d;
}

int SearchConditions::DatePeriodEnd() const {
  const int d = number(endDay);
  return d == 0 ? 99991231 : number(endYear) * 10000 + number(endMonth) * 100 + d;
}

int CompleteYear(int year) {
  if (year >= 100) return year;
  return year < 50 ? 2000 + year : 1900 + year;
}

DateRange GetDateRange(int period, bool before, int todayYmd) {
  DateRange range;
  if (period <= 0 || period > 6) return range;
  const QDate today = toDate(todayYmd);
  QDate p;
  switch (period) {
    case 1: p = today.addDays(-3); break;
    case 2: p = today.addDays(-7); break;
    case 3: p = monthsBack(today, 1); break;
    case 4: p = monthsBack(today, 3); break;
    case 5: p = monthsBack(today, 6); break;
    default:
      p = QDate(today.year() - 1, today.month(),
                today.month() == 2 && today.day() == 29 ? 28 : today.day());
  }
  if (before) {
    range.endYear = p.year();
    range.endMonth = p.month();
    range.endDay = p.day();
  } else {
    range.startYear = p.year();
    range.startMonth = p.month();
    range.startDay = p.day();
    range.endYear = today.year();
    range.endMonth = today.month();
    range.endDay = today.day();
  }
  return range;
}

std::string FolderTextFor(const std::string& root, const std::string& currentFolder) {
  std::string base = root;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (currentFolder.size() > base.size() && currentFolder.compare(0, base.size(), base) == 0 &&
      currentFolder[base.size()] == '/')
    return kDesktopName + currentFolder.substr(base.size());
  return kDesktopName;
}

void ResetSearchConditions(SearchConditions& c, const std::string& folderText, bool tidyUp,
                           int tidyDateType, int tidyRange, int todayYmd) {
  c = SearchConditions();
  c.folder = folderText;
  if (!tidyUp) return;
  c.dateKind = std::clamp(tidyDateType + 1, 1, 3);
  c.period = std::clamp(tidyRange + 1, 1, 6);
  c.before = 1;
  const DateRange r = GetDateRange(c.period, true, todayYmd);
  c.startYear = field(r.startYear);
  c.startMonth = field(r.startMonth);
  c.startDay = field(r.startDay);
  c.endYear = field(r.endYear);
  c.endMonth = field(r.endMonth);
  c.endDay = field(r.endDay);
}

bool ResolveTargetFolder(const std::string& text, const std::string& root, std::string& path) {
  std::string entry = text;
  std::replace(entry.begin(), entry.end(), '\\', '/');
  while (!entry.empty() && entry.back() == '/') entry.pop_back();
  const std::string desktop = kDesktopName;
  std::string base = root;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (entry == desktop) {
    path = base;
    return true;
  }
  if (entry.size() > desktop.size() + 1 && entry.compare(0, desktop.size(), desktop) == 0 &&
      entry[desktop.size()] == '/') {
    // "..": the path must still lie below the root once cleaned.
    const std::string joined =
        QDir::cleanPath(QString::fromStdString(base + entry.substr(desktop.size()))).toStdString();
    if (joined != base && joined.compare(0, base.size() + 1, base + "/") != 0) return false;
    path = joined;
    return true;
  }
  return false;
}

int NormalizeExtensions(const std::string& text, std::vector<std::string>& patterns,
                        std::string& message) {
  patterns.clear();
  const std::string list = trimmed(text);
  const std::string invalid = retype("拡張子が不正です。");
  if (list.empty()) {
    message = retype("対象ファイル項目で指定された拡張子が不正です。");
    return 1;
  }
  if (list.find_first_of(kExtForbidden) != std::string::npos ||
      list.find(kFullWidthAsterisk) != std::string::npos) {
    const bool wide = list.find_first_of(kExtForbidden) == std::string::npos;
    message = retype(std::string("対象ファイル項目で指定された拡張子中に使用できない文字  ") +
                     (wide ? kFullWidthAsterisk : kExtForbidden) + "  が存在します。");
    return 1;
  }
  int count = 0;
  std::vector<std::string> tokens;
  const int code = ParseTokenList(list, count, &tokens, searchfile::kMaxExtensions, 11, 0, 0);
  if (code == tokenlist::kTooManyTokens) {
    message = retype("拡張子が多すぎます。(" + std::to_string(searchfile::kMaxExtensions) + "個まで)");
    return 1;
  }
  if (code != 0) {
    message = code == tokenlist::kTooLongForSlot ? retype("拡張子が長すぎます。(半角8文字まで)") : invalid;
    return 1;
  }
  if (count == 0) {
    message = retype("拡張子中に有効な文字がありません。");
    return 1;
  }
  for (int i = 0; i < count && i < static_cast<int>(tokens.size()); ++i) {
    const std::string& t = tokens[i];
    std::string pattern = t.rfind("*.", 0) == 0 ? t : (t.rfind('.', 0) == 0 ? "*" + t : "*." + t);
    if (pattern.size() > 10) {
      message = retype("拡張子が長すぎます。(半角8文字まで)");
      return 1;
    }
    if (pattern.size() == 2 || pattern.find_first_of("*.", 2) != std::string::npos) {
      message = invalid;
      return 1;
    }
    patterns.push_back(pattern);
  }
  return 0;
}

int CheckSearchConditions(SearchConditions& c, const std::string& root, int todayYmd,
                          std::string& message) {
  // 1. Words.
  if (!c.words.empty()) {
    if (c.FieldMask() == 0) {
      message = retype("検索語の対象項目が指定されていません。");
      return 0;
    }
    const bool narrow = c.words.find_first_of(kWordForbidden) != std::string::npos;
    if (narrow || c.words.find(kFullWidthAsterisk) != std::string::npos) {
      message = retype(std::string("検索文字列中に使用できない文字  ") +
                       (narrow ? kWordForbidden : kFullWidthAsterisk) + "  が存在します。");
      return 0;
    }
    int count = 0;
    const int code = ParseTokenList(c.words, count, nullptr, 30, 129, 64, tokenlist::kNoSpaces);
    switch (code) {
      case 0: break;
      case tokenlist::kTooManyTokens: message = retype("検索文字列が多すぎます。(30個まで)"); return 0;
      case tokenlist::kOverCharacterLimit:
        message = retype("検索文字列が長すぎます。(全角半角あわせて64文字まで)");
        return 0;
      case tokenlist::kSpaceInToken: message = retype("検索文字列にスペースは使えません。"); return 0;
      default: message = retype("検索文字列が長すぎます。(半角128文字まで)"); return 0;
    }
    if (count == 0) {
      message = retype("検索文字列中に有効な文字がありません。");
      return 0;
    }
  }
  // 2. Similarity.
  if (c.fullText && (c.similarity < 50 || c.similarity > 100)) {
    message = "類似度は 50 ～ 100 の間で入力してください。";
    return 0;
  }
  // 3. Target folder.
  std::string path;
  if (!ResolveTargetFolder(c.folder, root, path)) {
    message = retype("検索対象フォルダが不正です。");
    return 1;
  }
  const int reserved = ClassifyReservedPath(path);
  if (reserved == 1 || reserved == 3 || reserved == 4 || reserved == 6 || reserved == -1) {
    message = retype("検索対象フォルダが不正です。");
    return 1;
  }
  if (!QFileInfo(QString::fromStdString(path)).isDir()) {
    message = retype("検索対象フォルダを発見出来ませんでした。");
    return 1;
  }
  // 4. Extensions.
  if (c.fileKind == 3) {
    std::vector<std::string> patterns;
    if (NormalizeExtensions(c.extensions, patterns, message) != 0) return 1;
  }
  // 5. Dates.
  if (c.dateKind != 0) {
    const std::string bad = retype("検索日付が不正です。");
    if (number(c.startDay) == 0 && number(c.endDay) == 0) {
      message = bad;
      return 2;
    }
    int start = 0, end = 0;
    if (!completeDate(c.startYear, c.startMonth, c.startDay, todayYmd, start) ||
        !completeDate(c.endYear, c.endMonth, c.endDay, todayYmd, end)) {
      message = bad;
      return 2;
    }
    if (start != 0 && end != 0 && end < start) {
      message = retype("検索開始日が検索終了日よりも新しくなっています。");
      return 2;
    }
  }
  return -1;
}

void PushHistory(std::vector<std::string>& list, const std::string& text) {
  if (text.empty()) return;
  list.erase(std::remove(list.begin(), list.end(), text), list.end());
  list.insert(list.begin(), text);
  if (list.size() > static_cast<size_t>(kHistoryMax)) list.resize(kHistoryMax);
}
