// The search folder collector: a recursive listing with sorted siblings,
// and the info.ini mark filter applied as the folders are handed out.

#include "catalogue/search_folders.h"

#include "catalogue/file_utilities.h"
#include "catalogue/folder_settings.h"
#include "catalogue/sjis_text.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

namespace {

constexpr unsigned kColourShift = 8;
constexpr unsigned kColourMask = 0xF;

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

int SearchFolders::SetRange(int cleanUpFilter, int colourFilter) {
  cleanUpFilter_ = cleanUpFilter;
  colourFilter_ = colourFilter;
  return 0;
}

int SearchFolders::Begin(const std::string* root, bool withSubfolders, std::string& folder) {
  cursor_ = 0;
  if (root != nullptr) {
    root_ = *root;
    if (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    folders_.clear();
    folders_.push_back(root_);
    visited_.clear();
    struct stat st {};
    if (::stat(root_.c_str(), &st) == 0) visited_.emplace(st.st_dev, st.st_ino);
    if (withSubfolders) Scan(root_);
    visited_.clear();
  }
  return Next(folder);
}

void SearchFolders::Scan(const std::string& folder) {
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return;
  const std::string prefix = folder == "/" ? folder : folder + "/";
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat st {};
    if (::lstat((prefix + name).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    // A folder met before (a bind mount of a folder above) is not walked again.
    if (!visited_.emplace(st.st_dev, st.st_ino).second) continue;
    switch (ClassifyReservedPath(prefix + name)) {
      case 0: case 2: case 5:
        names.push_back(name);
        break;
      default:
        break;
    }
  }
  dir.reset();
  std::sort(names.begin(), names.end(),
            [](const std::string& a, const std::string& b) { return CompareTitles(a, b) < 0; });
  for (const std::string& name : names) {
    folders_.push_back(prefix + name);
    Scan(prefix + name);
  }
}

int SearchFolders::Next(std::string& folder) {
  while (cursor_ < folders_.size()) {
    const std::string& candidate = folders_[cursor_++];
    const auto mark = static_cast<unsigned>(ReadFolderIni(candidate + "/info.ini", 0));
    const bool cleanUpOk = cleanUpFilter_ != 1 || (mark & kFolderCleanUpBit) != 0;
    const bool colourOk =
        colourFilter_ == -1 ||
        static_cast<int>((mark >> kColourShift) & kColourMask) == colourFilter_;
    if (cleanUpOk && colourOk) {
      folder = candidate;
      return 1;
    }
  }
  folder.clear();
  folders_.clear();
  cursor_ = 0;
  return 0;
}

SearchFolders& GlobalSearchFolders() {
  static SearchFolders collector;
  return collector;
}
