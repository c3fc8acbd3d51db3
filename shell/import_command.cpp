#include "shell/import_command.h"

#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_dialogs.h"
#include "shell/kankyo_settings.h"
#include "shell/progress_dialogs.h"

#include <cstdio>
#include <memory>

namespace {
constexpr const char* kCaption = "インポート";
}

ImportSettings ImportSettingsOf(const KankyoSettings& k) {
  ImportSettings s;
  s.folderMax = k.KankyoShowFolderMax2000;
  s.storage.bmpResolution = k.KankyoBmpRes;
  s.storage.autoCompression[0] = k.KankyoAutoCmp1;
  s.storage.autoCompression[1] = k.KankyoAutoCmp2;
  s.storage.autoCompression[2] = k.KankyoAutoCmp3;
  s.storage.autoCompression[3] = k.KankyoAutoCmp4;
  s.corrections.spin = k.KankyoScanSpin;
  s.corrections.spinR = k.KankyoScanSpinR;
  s.corrections.invert = k.KankyoScanInvert;
  s.corrections.despeckle = k.KankyoScanDespeckle;
  s.corrections.deskew = k.KankyoScanDeskew;
  return s;
}

int ImportRoomLeft(CFD3Doc& doc) {
  const int limit = doc.importSettings().folderMax;
  int count = 0;
  if (doc.Database().IsOpen() && doc.Database().GetTotalItemCount(count) != 0) count = 0;
  return std::max(0, limit - count);
}

void RunImportCommand(CFD3Doc& doc, QWidget* owner, const KankyoSettings& settings) {
  doc.SetImportSettings(ImportSettingsOf(settings));
  const std::string folder = doc.EntryList().GetFolderPath();
  if (folder.empty()) {
    platform::messageBox("インポート先のフォルダを発見できませんでした。\n処理を中断します。", platform::Buttons::Ok,
                         platform::Icon::Warning, kCaption);
    return;
  }
  const int room = ImportRoomLeft(doc);
  if (room <= 0) {
    char text[256];
    std::snprintf(text, sizeof text, "このフォルダは登録上限(%d件)を超えました。\n追加登録できません。",
                  doc.importSettings().folderMax);
    platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, kCaption);
    return;
  }
  CDlgImport dialog(owner, room);
  if (dialog.exec() != QDialog::Accepted) return;
  std::vector<ImportLoopFile> files;
  for (const QString& path : dialog.selectedFiles()) files.push_back({path.toStdString(), std::nullopt});
  ImportFileLoop(doc, folder, files, owner);
}

int ImportFileLoop(CFD3Doc& doc, const std::string& folder, const std::vector<ImportLoopFile>& files,
                   QWidget* owner, const std::function<bool(const std::string& path)>& admit) {
  const std::string folderWithSlash = platform::withTrailingSlash(folder);
  int registered = 0;
  {
    auto progress = std::make_unique<ImportProgressDlg>();
    progress->Create(owner ? owner : doc.MainWindow());
    ImportBatch batch(doc);
    const int total = static_cast<int>(files.size());
    for (int i = 0; i < total; ++i) {
      const ImportLoopFile& file = files[static_cast<std::size_t>(i)];
      progress->SetFile(QString::fromStdString(platform::fileNameOf(file.path)), i + 1, total);
      progress->StepTo(0);
      if (admit && !admit(file.path)) continue;
      batch.BeforeFile(folderWithSlash);
      int code = -1;
      try {
        code = doc.ImportFile(progress.get(), nullptr, file.path, folderWithSlash, nullptr, file.position, false,
                              true);
      } catch (...) {
        platform::messageBox("インポート中にエラーが発生しました。\n処理を中断します。", platform::Buttons::Ok,
                             platform::Icon::Warning, kCaption);
      }
      batch.AfterFile();
      if (code == 1) ++registered;
      // -2: the folder is full, and the import has said so; nothing more fits.
      if (code == -1 || code == -2) break;
    }
    batch.Commit();
    progress->Close();
  }
  doc.LoadFolder(folderWithSlash, 0);
  return registered;
}
