#pragma once
// Renaming a document's file together with its attached text file
// (<file name>.<TextExt>), as the in-place title edit does. Both are renamed
// or neither: both new names are checked free first, case-blind (the board
// compares titles case-blind while the disk does not), and a second rename
// that fails puts the first back. Nothing is ever deleted or overwritten.

#include <string>

enum class DocumentRename {
  Done,          // renamed, or there was no file to rename
  ReadOnly,      // the document's file may not be written
  NameTaken,     // another file already bears the new name
  TextNameTaken, // another file already bears the new attached text's name
  Failed,        // the document's file could not be renamed; nothing changed
  TextFailed,    // the attached text could not be renamed; the document kept its name
};

// folder: without a trailing slash; names: title + "." + extension;
// textExt: the document's text extension (empty: no attached text).
DocumentRename RenameDocumentFiles(const std::string& folder, const std::string& oldName,
                                   const std::string& newName, const std::string& textExt);
