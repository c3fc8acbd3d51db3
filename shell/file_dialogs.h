#pragma once
// The program's file dialogs as a Japanese user meets them: Qt's own widget
// dialog, in Japanese down to the type of a folder, opened in the folder
// last used for the same purpose (else the user's documents folder) and
// sized so that the name, size, type and date columns show whole.
//
//   StartFolder, RememberFolder   where a dialog of a purpose opens
//   FitFileDialog                 type names and column widths of a dialog
//   ChooseFolder                  a folder chooser built on both

#include <QString>

class QFileDialog;
class QWidget;

enum class FileDialogPurpose { Import, Export, Desktop };

// The folder last chosen for the purpose in this session, else the user's
// documents folder (the home folder when there is none).
QString StartFolder(FileDialogPurpose purpose);
void RememberFolder(FileDialogPurpose purpose, const QString& folder);

// For a dialog that uses Qt's own widgets: Japanese type names, columns wide
// enough for their contents and a dialog wide enough for its columns.
void FitFileDialog(QFileDialog& dialog);

// A folder chosen by the user in a modal dialog, empty on Cancel.
QString ChooseFolder(QWidget* parent, const QString& title, FileDialogPurpose purpose);
