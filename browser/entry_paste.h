#pragma once
// EntryClipboardCommands: the browser's copy and paste of documents through
// the entry clipboard block (browser/entry_clipboard.h).
//
// Copy writes where the selected documents are; paste finds each one again
// in its source folder's catalogue and carries its files and rows into the
// open folder (shell/entry_copy): files first, rows after, never over an
// existing file. A document is pasted whole or not at all.

#include "browser/entry_clipboard.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class CFD3Doc;

class EntryClipboardCommands {
 public:
  explicit EntryClipboardCommands(CFD3Doc& document) : document_(document) {}

  std::function<int()> folderLimit;
  // Pasting into the folder a document came from duplicates it (the
  // duplicating service of the view); true ends the paste. Unset: the entry
  // is skipped.
  std::function<bool(int kind, int number)> duplicate;

  // indices: the selected entries in the pane's order.
  void Copy(const std::vector<int>& indices);
  static bool ClipboardHoldsEntries();
  void Paste();
  // Paste of a block read from the clipboard.
  void PasteBlock(std::string_view block);

 private:
  // False ends the whole paste.
  bool pasteOne(const ClipboardEntry& entry, class FolderDatabase& sourceDb, std::string& openSource,
                const std::string& current);

  CFD3Doc& document_;
};
