#pragma once
// The rescan of a folder tree: brings each folder's catalogue into line with
// the disk. Items whose files are gone are unregistered, a folder without a
// catalogue gets one, files the catalogue does not know are registered in
// place, ".TXT" files are joined to the documents they belong to, and
// "$$ZRV Uni" files are imported.
//
//   RescanFolderTree   the folder and its subfolders, depth first
//   RescanFolder       one folder
//   RegisterFoundFiles the registration step over names in a given order
//
// Files are registered in title order, so that a folder that reaches its
// limit holds the first titles, and the rest are named in the report.
//
// Names are compared exactly (the file system tells case apart) while the
// catalogue is case-blind: a file whose name differs from a registered one
// only in case is kept on disk, not registered, and reported. Files whose
// names break the title rules (or have no Shift-JIS form) are reported too.
// An item is unregistered only when its file is really gone (ENOENT), never
// on a transient error such as a file that cannot be read.

#include <cstddef>
#include <string>
#include <vector>

class CFD3Doc;
class ProgressReporter;

struct RescanReport {
  std::vector<std::string> skipped;  // paths of files left unregistered for their names
  // A folder that reached its limit, with the names left out (title order).
  struct FullFolder {
    std::string path;
    std::vector<std::string> leftOut;
  };
  std::vector<FullFolder> full;
  int registered = 0;
  int unregistered = 0;
  int attached = 0;  // texts joined to their documents
};

// path ends with a slash; folderMax is the most items a folder may hold.
// true when the user cancelled (the walk stops; what was done stays).
bool RescanFolderTree(CFD3Doc& doc, ProgressReporter* progress, const std::string& path, int folderMax,
                      RescanReport& report);
bool RescanFolder(CFD3Doc& doc, ProgressReporter* progress, const std::string& path, int folderMax,
                  RescanReport& report);
// Step of RescanFolder over names (in this order) of the folder at path,
// whose catalogue doc holds open.
bool RegisterFoundFiles(CFD3Doc& doc, ProgressReporter* progress, const std::string& path,
                        const std::vector<std::string>& names, int folderMax, RescanReport& report);

// The message listing the files the rescan left out for their names and the
// folders that reached their limit (the first few names left out and how
// many); empty when there are none.
std::string RescanReportMessage(const RescanReport& report);
inline constexpr std::size_t kNamedLeftOutFiles = 5;
