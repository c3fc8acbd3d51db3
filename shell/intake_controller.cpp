#include "shell/intake_controller.h"

#include "platform/paths.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/folder_intake.h"
#include "shell/frame_view.h"
#include "shell/kankyo_settings.h"
#include "shell/migration_dlg.h"
#include "shell/progress_dialogs.h"

#include <QFileInfo>
#include <QMainWindow>

#include <memory>

namespace {

void tellNothingToMigrate() {
  platform::messageBox("移行するデータがありません。", platform::Buttons::Ok, platform::Icon::Warning, "データ移行");
}

}  // namespace

IntakeController::IntakeController(QMainWindow& window, const KankyoSettings& settings, CurrentDesktop desktop,
                                   Activate activate)
    : window_(window), settings_(settings), currentDesktop_(std::move(desktop)), activate_(std::move(activate)) {}

IntakeController::~IntakeController() = default;

void IntakeController::SetDocument(CFD3Doc* document) { document_ = document; }

bool IntakeController::ChooseMigrationFolders(std::vector<std::string>& folders) {
  if (migrationChooser_) return migrationChooser_(folders);
  MigrationDlg dialog(&window_);
  dialog.SetFolders(folders);
  if (dialog.exec() != QDialog::Accepted) return false;
  folders = dialog.GetFolders();
  return true;
}

void IntakeController::MigrateEarlierProduct(const QString& commandLine) {
  const std::string request = RequestFileOfCommandLine(commandLine.toStdString(), "/DU2.Import");
  // A request that names no file is reported, never guessed at.
  if (request.empty() || !QFileInfo(QString::fromStdString(request)).isFile()) {
    tellNothingToMigrate();
    return;
  }
  std::vector<std::string> chosen = ReadMigrationCandidates(request);
  if (!ChooseMigrationFolders(chosen)) return;
  const std::vector<std::string> folders = KeepEarlierProductFolders(chosen);
  if (folders.empty()) {
    tellNothingToMigrate();
    return;
  }
  if (!document_) return;
  activate_();
  auto progress = std::make_unique<ImportProgressDlg>();
  progress->Create(&window_);
  IntakeRun run(*document_, *progress, ParentFolder(), kMigrationFolderName, "パスが不正です。(MMIO:01)",
                settings_.KankyoShowFolderMax2000);
  RunEarlierMigration(run, folders);
  activate_();
  progress->Close();
  ShowResult(run.firstFolder);
}

void IntakeController::ImportList(const QString& commandLine) {
  const std::string importFolder = platform::workFolder(platform::workfolder::kImport);
  const std::string name = RequestFileOfCommandLine(commandLine.toStdString(), "/Import");
  const std::string request = platform::joinPath(importFolder, platform::fileNameOf(name));
  if (name.empty() || !CheckListImportRequest(request) || !document_) return;
  activate_();
  auto progress = std::make_unique<ImportProgressDlg>();
  progress->Create(&window_);
  IntakeRun run(*document_, *progress, ParentFolder(), kListImportFolderName, "パスが不正です。(MWIO:01)",
                settings_.KankyoShowFolderMax2000);
  RunListImport(run, importFolder, request);
  activate_();
  progress->Close();
  ShowResult(run.firstFolder);
}

std::string IntakeController::ParentFolder() const {
  if (document_ && !document_->FolderPath().empty()) return document_->FolderPath();
  return platform::withoutTrailingSlash(currentDesktop_().toStdString());
}

void IntakeController::ShowResult(const std::string& firstFolder) {
  auto* view = dynamic_cast<FrameView*>(window_.centralWidget());
  if (view) view->RefreshSelectedFolder();
  if (!firstFolder.empty() && view) {
    view->SelectFolderInTree(firstFolder);
  } else if (document_ && !document_->FolderPath().empty()) {
    document_->LoadFolder(platform::withTrailingSlash(document_->FolderPath()), 0);
  }
}
