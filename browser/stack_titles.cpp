#include "browser/stack_titles.h"

#include "browser/document_rename.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/catalogue_text.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"

#include <sys/stat.h>

namespace stacktitles {

namespace {

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

std::string pagePath(const std::string& folder, const std::string& title, const std::string& ext) {
  return platform::joinPath(folder, title + "." + ext);
}

int sjisBytes(const std::string& text) {
  const auto encoded = platform::toCp932(text);
  return encoded ? static_cast<int>(encoded->size()) : static_cast<int>(text.size());
}

bool hasForbidden(const std::string& text) {
  for (char c : text)
    if (catalogue::kForbiddenSet1.find(c) != std::string_view::npos ||
        catalogue::kForbiddenSet2.find(c) != std::string_view::npos)
      return true;
  return false;
}

std::string forbiddenSets() {
  return std::string(catalogue::kForbiddenSet1) + std::string(catalogue::kForbiddenSet2);
}

// A page title with "の<i>頁目" and, from 2, "その<n>", free for page index.
std::string freePageTitle(FolderDatabase& db, const std::string& folder, const std::vector<ItemInfo>& pages,
                          const std::vector<std::string>& titles, int index, const std::string& plain) {
  std::string title = plain;
  for (int n = 2; !PageTitleFree(db, folder, pages, titles, index, title) && n < 10000; ++n)
    title = plain + "その" + std::to_string(n);
  return title;
}

// Another page of the stack bears title now and is given another one: the
// name is free once that page has been renamed.
bool heldByALeavingPage(const std::vector<ItemInfo>& pages, const std::vector<std::string>& titles, int index,
                        const std::string& title) {
  const ItemInfo& page = pages[static_cast<std::size_t>(index)];
  for (std::size_t j = 0; j < pages.size(); ++j)
    if (static_cast<int>(j) != index && platform::asciiEqualsIgnoreCase(pages[j].Title, title) &&
        platform::asciiEqualsIgnoreCase(pages[j].Ext, page.Ext) && !platform::asciiEqualsIgnoreCase(titles[j], title))
      return true;
  return false;
}

bool heldByAnotherRow(const std::vector<std::string>& titles, int index, const std::string& title) {
  for (std::size_t j = 0; j < titles.size(); ++j)
    if (static_cast<int>(j) != index && platform::asciiEqualsIgnoreCase(titles[j], title)) return true;
  return false;
}

}  // namespace

bool PageReadOnly(const std::string& folder, const ItemInfo& page) {
  struct stat st {};
  return ::stat(pagePath(folder, page.Title, page.Ext).c_str(), &st) == 0 && (st.st_mode & S_IWUSR) == 0;
}

std::string PageTitleFormMessage(const std::string& title, const std::string& folder) {
  const int n = sjisBytes(title);
  if (n > 200 || n > 250 - sjisBytes(folder)) return "頁名が長すぎます。";
  if (n == 0) return "頁名を入力してください。";
  if (hasForbidden(title) || catalogue::checkNameText(title, catalogue::kTitleMaxBytes, false) != 0)
    return forbiddenSets() + "の文字はタイトルには使用できません。";
  return {};
}

bool PageTitleFree(FolderDatabase& db, const std::string& folder, const std::vector<ItemInfo>& pages,
                   const std::vector<std::string>& titles, int index, const std::string& title) {
  for (std::size_t j = 0; j < titles.size(); ++j)
    if (static_cast<int>(j) != index && platform::asciiEqualsIgnoreCase(titles[j], title)) return false;
  const ItemInfo& page = pages[static_cast<std::size_t>(index)];
  if (platform::asciiEqualsIgnoreCase(page.Title, title)) return true;  // its own name
  int found = 0, itemNo = 0;
  if (db.FindItem(title, page.Ext, found, itemNo) != 0) return false;
  if (found && itemNo != page.ItemNo) return false;
  const std::string path = pagePath(folder, title, page.Ext);
  return !exists(path) && !exists(path + ".TXT");
}

std::string StackTitleMessage(FolderDatabase& db, int stackNo, const std::string& title) {
  if (title.empty()) return "文書タイトルが入力されていません。";
  if (sjisBytes(title) >= 201) return "文書タイトルが長すぎます。";
  if (hasForbidden(title) || catalogue::checkNameText(title, catalogue::kTitleMaxBytes, false) != 0)
    return forbiddenSets() + "の文字は文書タイトルには使用できません。";
  int found = 0, number = 0;
  if (db.FindStack(title, found, number) == 0 && found && number != stackNo)
    return "フォルダ内に同名の文書タイトルが存在します。";
  return {};
}

std::string BulkStackTitle(FolderDatabase& db, int stackNo, const std::string& base) {
  std::string title = base;
  for (int n = 2; n < 10000; ++n) {
    int found = 0, number = 0;
    if (db.FindStack(title, found, number) != 0 || !found || number == stackNo) break;
    title = base + "その" + std::to_string(n);
  }
  return catalogue::cutToSjisBytes(title, catalogue::kTitleMaxBytes);
}

std::vector<std::string> BulkPageTitles(FolderDatabase& db, const std::string& folder,
                                        const std::vector<ItemInfo>& pages, const std::string& base,
                                        int& leftAlone) {
  leftAlone = 0;
  std::vector<std::string> titles;
  for (const ItemInfo& page : pages) titles.push_back(page.Title);
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (PageReadOnly(folder, pages[i])) {
      ++leftAlone;
      continue;
    }
    // The row's old title does not hold the new name back.
    titles[i].clear();
    const std::string plain = base + "の" + std::to_string(i + 1) + "頁目";
    titles[i] = freePageTitle(db, folder, pages, titles, static_cast<int>(i), plain);
  }
  // A further pass over the pages that needed a suffix: a plain name held
  // only by another page of the stack, which is given another title, is
  // free now (StoreTitles renames that page first).
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (PageReadOnly(folder, pages[i])) continue;
    const std::string plain = base + "の" + std::to_string(i + 1) + "頁目";
    if (titles[i] == plain) continue;
    const int index = static_cast<int>(i);
    if (!heldByAnotherRow(titles, index, plain) && heldByALeavingPage(pages, titles, index, plain)) titles[i] = plain;
  }
  return titles;
}

int StoreTitles(FolderDatabase& db, const std::string& folder, const StackInfo& stack,
                std::vector<ItemInfo>& pages, const std::vector<std::string>& titles,
                std::vector<std::string>& failed) {
  int firstError = db.SetStackInfo(stack, fieldmask::kStackTitle);
  const int today = platform::todayYmd();
  // A page whose new title another page of the stack still bears waits
  // until that page has its new name.
  std::vector<std::size_t> order, waiting;
  for (std::size_t i = 0; i < pages.size() && i < titles.size(); ++i) {
    if (titles[i] == pages[i].Title) continue;
    (heldByALeavingPage(pages, titles, static_cast<int>(i), titles[i]) ? waiting : order).push_back(i);
  }
  order.insert(order.end(), waiting.begin(), waiting.end());
  for (const std::size_t i : order) {
    ItemInfo& page = pages[i];
    std::string title = titles[i];
    for (int n = 2; n < 10000; ++n) {
      int found = 0, itemNo = 0;
      db.FindItem(title, page.Ext, found, itemNo);
      const bool taken = (found && itemNo != page.ItemNo) || exists(pagePath(folder, title, page.Ext));
      if (!taken) break;
      title = titles[i] + "その" + std::to_string(n);
    }
    const std::string oldName = page.Title + "." + page.Ext;
    const std::string newName = title + "." + page.Ext;
    // The files first, both or neither; the catalogue only once they bear
    // their new names.
    if (RenameDocumentFiles(folder, oldName, newName, page.TextExt) != DocumentRename::Done) {
      failed.push_back(oldName);
      continue;
    }
    ItemInfo renamed = page;
    renamed.Title = title;
    renamed.LastModifiedDate = renamed.LastAccessedDate = today;
    const int code = db.SetItemInfo(
        renamed, fieldmask::kItemTitle | fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate);
    if (code != 0) {
      // The catalogue still names the old file: give it back its name.
      RenameDocumentFiles(folder, newName, oldName, page.TextExt);
      failed.push_back(oldName);
      if (firstError == 0) firstError = code;
      continue;
    }
    page = renamed;
  }
  return firstError;
}

}  // namespace stacktitles
