#pragma once
// The registration information of one document from the board or the
// list: the property dialog of a single item (ItemPropertyDlg) or of a
// stack (DocumentPropertyDlg) filled from the catalogue, and what the user
// changed written back. Opening the dialog always counts as an access: the
// last accessed date becomes today also when the dialog is cancelled; a
// change of the issue date or of an attribute makes it a modification too.
//
//   ShowEntryProperties        the command (one selected entry)
//   ShowHitProperties          the same for a hit of the search dialog
//   SetPropertyDialogRunner    how the dialogs run (tests answer them)

#include <functional>
#include <string>
#include <vector>

class CFD3Doc;
class CImageCtrl;
class FolderDatabase;
struct DisplayEntry;
class QDialog;
class QWidget;

// The dialog's result (QDialog::Accepted or Rejected).
using PropertyDialogRunner = std::function<int(QDialog& dialog)>;
// nullptr puts back the modal run.
void SetPropertyDialogRunner(PropertyDialogRunner runner);

// Works on the only entry of entryIndices; nothing for none or several.
void ShowEntryProperties(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent);

// A search hit's document: its folder's catalogue as the search reaches it,
// the folder's path and an imaging control for the image facts (may be null).
void ShowHitProperties(FolderDatabase& db, const std::string& folder, DisplayEntry& entry, CImageCtrl* ctrl,
                       QWidget* parent);
