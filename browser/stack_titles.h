#pragma once
// The title rules of a stack and its pages for the title change dialog: the
// checks of one page title or the stack title, the bulk naming from one base
// title ("Aの1頁目", ...), and the storing of the changed titles, each page's
// files renamed first and its new title stored only once they bear it.

#include <string>
#include <vector>

class FolderDatabase;
struct ItemInfo;
struct StackInfo;

namespace stacktitles {

// The page's document file exists and may not be written.
bool PageReadOnly(const std::string& folder, const ItemInfo& page);

// The message refusing a page title ("" when its form is acceptable).
std::string PageTitleFormMessage(const std::string& title, const std::string& folder);

// Whether page index may take title: no other row holds it (ASCII case
// ignored), no other catalogue item of the page's extension bears it, and
// no other file of that name or of its text lies in the folder.
bool PageTitleFree(FolderDatabase& db, const std::string& folder, const std::vector<ItemInfo>& pages,
                   const std::vector<std::string>& titles, int index, const std::string& title);

// The message refusing a stack title ("" when it may be taken).
std::string StackTitleMessage(FolderDatabase& db, int stackNo, const std::string& title);

// The base itself, or "<base>その<n>" from 2 while another stack bears it.
std::string BulkStackTitle(FolderDatabase& db, int stackNo, const std::string& base);

// New titles "<base>の<i>頁目" (with "その<n>" from 2 while taken); a read-only
// page keeps its title and is counted in leftAlone.
std::vector<std::string> BulkPageTitles(FolderDatabase& db, const std::string& folder,
                                        const std::vector<ItemInfo>& pages, const std::string& base,
                                        int& leftAlone);

// Stores the stack title and every changed page title. A page whose files
// cannot be renamed keeps its old title; its file name is listed in failed.
// Returns the first catalogue error code (0 when none).
int StoreTitles(FolderDatabase& db, const std::string& folder, const StackInfo& stack,
                std::vector<ItemInfo>& pages, const std::vector<std::string>& titles,
                std::vector<std::string>& failed);

}  // namespace stacktitles
