#pragma once
// Carrying one document (a single item, or a stack with its pages) from one
// folder into another: its files and its catalogue rows.
//
//   CheckEntryCopy      everything that would refuse the copy, before any change
//   CopyEntryDocuments  the files, each under a temporary name renamed with
//                       no-replace; a failure removes what was copied
//   TransferEntry       files, then rows, then (move) the source rows, then
//                       the source files
//
// The order of TransferEntry is what keeps a document alive through any
// failure or crash: until the target's rows are committed the source is
// untouched, and the source files go only after the source rows are gone.
// At worst a document is found in both folders, never in neither.

#include "catalogue/ann_box.h"

#include <functional>
#include <string>
#include <vector>

class FolderDatabase;
struct ItemInfo;

namespace entrycopy {

enum CheckCode {
  kUnreadable = -1,   // the entry's records could not be read from the source
  kCanCopy = 0,
  kStackExists = 1,   // conflictName: the stack title
  kItemExists = 2,    // conflictName: the page's or item's file name
  kFileMissing = 3,   // a file of the entry is missing in the source folder
  kFileExists = 4,    // a file of that name already lies in the target folder
  kPathTooLong = 5,   // target folder + title + extension would be too long
};

inline constexpr int kMaxPath = 260;

// The pages of an entry in page order (one for a single item); false when
// they cannot be read (reported).
bool ReadEntryPages(FolderDatabase& source, int kind, int number, std::vector<ItemInfo>& pages);

// The document file name and, when the item has one, its attached text.
std::vector<std::string> FileNamesOf(const ItemInfo& item);

// A file of that name in folder, ASCII case ignored as the catalogue
// compares titles.
bool FileExistsCaseBlind(const std::string& folder, const std::string& name);

int CheckEntryCopy(FolderDatabase& source, int kind, int number, FolderDatabase& target, std::string& conflictName,
                   const std::string& sourceFolder, const std::string& targetFolder);

// Copies every file of the entry; never replaces a target file. 0, or the
// errno of the first failure (failedName: its file name), after which the
// files already copied for this entry are removed again. copied receives the
// target paths made.
// partials receives the hidden partial names that keep the copies known as
// this program's until their rows are committed (platform::placePartialCopy);
// the caller releases them then.
int CopyEntryDocuments(FolderDatabase& source, int kind, int number, const std::string& sourceFolder,
                       const std::string& targetFolder, std::vector<std::string>& copied, std::string& failedName,
                       std::vector<std::string>& partials);

// Copies one file without ever replacing the target: 0 or an errno (EEXIST
// when the target exists). partial: the hidden name still linked to the
// copy (empty where the file system has no hard links).
int CopyFileNoReplace(const std::string& from, const std::string& to, std::string& partial);

enum class Outcome {
  Done,          // carried over (moved: gone from the source)
  FilesFailed,   // a file could not be copied; nothing changed
  RowsFailed,    // the catalogue refused; the copies are gone again
  SourceKept,    // move only: the source rows could not be removed; the
                 // target's copy was taken back, the source is whole
};

struct TransferResult {
  Outcome outcome = Outcome::Done;
  int error = 0;                 // errno of a file failure, or a catalogue code
  std::string failedName;        // the file that failed
  EntryRef target;               // the new entry in the target
  std::vector<std::string> sourceFilesLeft;  // move: source files that could not be deleted
};

// Called before each change to a document file (a copy, its rename, the
// deletion of a moved source); the crash tests stop there.
void SetFileStepHook(std::function<void()> hook);

// copy true keeps the source; false moves. The new entry's board position
// in the target is cleared so that the target's board places it.
TransferResult TransferEntry(FolderDatabase& source, int kind, int number, FolderDatabase& target,
                             const std::string& sourceFolder, const std::string& targetFolder, bool copy);

}  // namespace entrycopy
