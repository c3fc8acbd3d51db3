#pragma once
// Exporting documents as files outside the folders: each selected
// document's file (a stack: its pages in page order) is written where the
// user says in the export dialog (CDlgExport2), one file at a time, copied
// as it is or converted into an image format. The board and the list call
// it with the selected entries.
//
//   ExportEntries          the command
//   LastExportPath         the file last exported to (the next start folder)
//   SetExportDialogRunner  how the dialog runs (tests answer it)
//
// Later image pages of a stack are added to the first page's file only
// when the user chose a multi-page file, the format holds pages (TIFF) and
// the first page was written; otherwise each page gets its own dialog.
// Nothing existing is overwritten: the dialog refuses a taken name, and each
// file is written beside its target and renamed into place without
// replacing. Cancel ends the export and keeps what was written before.

#include <functional>
#include <string>
#include <vector>

class CDlgExport2;
class CFD3Doc;
class FolderDatabase;
class QWidget;
struct DisplayEntry;

struct ExportFile {
  std::string source;
  bool image = false;
};

// One selected document: a single item (one file) or a stack's pages.
struct ExportDocument {
  bool stack = false;
  std::vector<ExportFile> files;
};

// The dialog's result: QDialog::Accepted, QDialog::Rejected (the export
// ends) or CDlgExport2::kSkipped (this file is left out).
using ExportDialogRunner = std::function<int(CDlgExport2& dialog)>;
// nullptr puts back the modal run.
void SetExportDialogRunner(ExportDialogRunner runner);

std::string LastExportPath();
void SetLastExportPath(const std::string& path);

void ExportEntries(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent);

// Appends the document of entry in folder (its files that exist, a stack's
// in page order) to out; false after a catalogue error (already shown).
bool CollectExportDocument(FolderDatabase& db, const std::string& folder, const DisplayEntry& entry,
                           std::vector<ExportDocument>& out);
// doc lends its imaging control and main window.
void ExportDocuments(CFD3Doc& doc, const std::vector<ExportDocument>& documents, QWidget* parent);

// Makes target, which must not exist, from a temporary file beside it that
// fill writes (given its path): renamed into place without replacing, so a
// file that appeared meanwhile is kept. 0, EEXIST, or another errno (EIO
// when fill failed); the temporary file never stays behind.
int WriteNewFile(const std::string& target, const std::function<bool(const std::string& temporary)>& fill);
