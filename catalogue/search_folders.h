#pragma once
// SearchFolders: the folders a search covers, the root alone or the root
// and every folder below it, optionally only the folders whose info.ini
// mark passes a filter.
//
//   SetRange     the clean-up and colour filters
//   Begin, Next  one walk: depth first, siblings in title order
//   GlobalSearchFolders  the program's one collector (the search dialog
//                sets its filter, the cross-folder search walks it)
//
// Left out of the walk: hidden folders (a name starting with "."), symbolic
// links (a link could lead back up the tree), a folder met before by device
// and inode (a mount of a folder above), and folders that are, hold or
// lie inside the program folder or the config folder (ClassifyReservedPath
// 1, 3, 4, 6 and -1). Names are kept as the file system lists them.

#include <sys/types.h>

#include <cstddef>
#include <set>
#include <string>
#include <utility>
#include <vector>

class SearchFolders {
 public:
  // cleanUpFilter 1: only folders marked for clean-up; colourFilter -1: any
  // colour, else the colour index 0-15 the mark must carry. Returns 0.
  int SetRange(int cleanUpFilter, int colourFilter);
  // Starts a walk at root (a trailing "/" is dropped) and gives the first
  // folder as Next does. A null root walks the previous list again.
  int Begin(const std::string* root, bool withSubfolders, std::string& folder);
  // 1 with the next folder that passes the filter; 0 with an empty path at
  // the end (the list is then emptied).
  int Next(std::string& folder);

  const std::vector<std::string>& Folders() const { return folders_; }

 private:
  void Scan(const std::string& folder);

  std::string root_;
  std::vector<std::string> folders_;
  std::set<std::pair<dev_t, ino_t>> visited_;  // during a Scan
  std::size_t cursor_ = 0;
  int cleanUpFilter_ = 0;
  int colourFilter_ = -1;
};

SearchFolders& GlobalSearchFolders();
