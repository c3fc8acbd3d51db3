// The template folder chooser: the system's file dialog, set to folders, that
// hands back the folder in which the template table is (or will be) kept.
//
//   choose_template_folder        runs the dialog; 1 with the folder, 0 when cancelled
//   make_template_folder_dialog   the dialog it runs (tests drive it)
//   folder_of_table_path          ".../template.tbl" cut back to its folder
//   show_open_error               the message for a dialog error code
//   library_folder                the template folder before one is chosen
#pragma once

#include <QFileDialog>

#include <memory>
#include <string>

class QWidget;

namespace layout::dialogs {

inline constexpr const char* kTemplateTableName = "template.tbl";

// `startFolder` is where browsing starts (the current template folder); the
// process's working directory is not changed.
std::unique_ptr<QFileDialog> make_template_folder_dialog(QWidget* owner, const std::string& startFolder);

// 1 and the chosen folder in `folder` (no trailing "/" except for the root);
// 0 and an empty `folder` when cancelled.
int choose_template_folder(QWidget* owner, const std::string& startFolder, std::string& folder);

// The folder of a table path: "/a/b/template.tbl" -> "/a/b", "/template.tbl" -> "/".
std::string folder_of_table_path(const std::string& tablePath);

// The folder of the library's own file: where templates are kept until the
// user chooses a folder.
std::string library_folder();

// "file open error" for the error codes of the file dialogs; nothing for 0
// (cancelled) and for codes that are not dialog errors.
void show_open_error(unsigned code);

}  // namespace layout::dialogs
