#include "layout/dialogs/template_folder_chooser.h"

#include "platform/user_interaction.h"

#include <QDir>

#include <dlfcn.h>

namespace layout::dialogs {
namespace {

// The error codes the file dialogs report for a failure (not a cancel).
bool isDialogError(unsigned code) {
  return (code >= 1 && code <= 11) || (code >= 0x1001 && code <= 0x100B) || code == 0x2001 ||
         (code >= 0x3001 && code <= 0x3003) || code == 0xFFFF;
}

}  // namespace

std::unique_ptr<QFileDialog> make_template_folder_dialog(QWidget* owner, const std::string& startFolder) {
  auto dialog = std::make_unique<QFileDialog>(owner, QStringLiteral("ﾃﾞｨﾚｸﾄﾘの選択"),
                                              QString::fromStdString(startFolder));
  dialog->setObjectName(QStringLiteral("GETTEMPATEDIR"));
  // Our own dialog, so that it behaves the same on every desktop and can be
  // driven headless.
  dialog->setOption(QFileDialog::DontUseNativeDialog);
  dialog->setOption(QFileDialog::ShowDirsOnly);
  dialog->setFileMode(QFileDialog::Directory);
  dialog->setAcceptMode(QFileDialog::AcceptOpen);
  return dialog;
}

std::string folder_of_table_path(const std::string& tablePath) {
  const auto slash = tablePath.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : tablePath.substr(0, slash);
}

int choose_template_folder(QWidget* owner, const std::string& startFolder, std::string& folder) {
  folder.clear();
  auto dialog = make_template_folder_dialog(owner, startFolder);
  if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return 0;
  // The table is looked for in the folder chosen: its path, cut back.
  const QString chosen = QDir::cleanPath(QDir(dialog->selectedFiles().first()).absolutePath());
  const QString table = chosen == QStringLiteral("/") ? QStringLiteral("/template.tbl")
                                                      : chosen + QStringLiteral("/template.tbl");
  folder = folder_of_table_path(table.toStdString());
  return folder.empty() ? 0 : 1;
}

std::string library_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&library_folder), &info) == 0 || info.dli_fname == nullptr) return ".";
  const std::string folder = folder_of_table_path(info.dli_fname);
  return folder.empty() ? std::string(".") : folder;
}

void show_open_error(unsigned code) {
  if (!isDialogError(code)) return;
  platform::messageBox("file open error", platform::Buttons::Ok, platform::Icon::Warning, "KPX UPDATE");
}

}  // namespace layout::dialogs
