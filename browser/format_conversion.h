#pragma once
// Converting a document's image file in place into another image format
// ("画像フォーマットの変換...", command 0x809d): the file of the one
// selected entry (a stack: its current page) is examined, the user chooses
// format, depth and compression in ConvertDlg, and the file is rewritten.
//
//   ConvertEntryFormat       the command
//   ExtensionDenotesFormat   whether a file's extension already names a format
//   SetConvertDialogRunner   how the dialog runs (tests answer it)
//
// A file never holds one format under another's extension: when the new
// format's extension differs, the document's file, its attached text, its
// catalogue row and its thumbnail change together (the new file is put in
// place first, the row written last, the old file removed after it), or
// the conversion is refused and nothing changes. Depth 0 keeps the page's
// own depth (for the grey-or-colour formats it is their grey), never a
// forced 8 bits. Every page of a multi-page file is converted; a format
// that holds one page only refuses such a file.

#include <functional>
#include <string>
#include <vector>

class CFD3Doc;
class ConvertDlg;
class QWidget;

// The dialog's result (QDialog::Accepted or Rejected).
using ConvertDialogRunner = std::function<int(ConvertDlg& dialog)>;
// nullptr puts back the modal run.
void SetConvertDialogRunner(ConvertDialogRunner runner);

bool ExtensionDenotesFormat(const std::string& extension, int formatCode);

// True when the file was converted.
bool ConvertEntryFormat(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent);
