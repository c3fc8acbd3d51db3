#pragma once
// The import of files chosen by the user into the open folder: the File
// menu's "インポート(&I)..." (command 0x8054) and the loop that dropped files
// share.
//
//   ImportSettingsOf   the frame's settings as the import reads them
//   RunImportCommand   the command: room left, the file dialog, the import
//   ImportFileLoop     one file after the other under the import progress
//                      dialog, catalogue writes batched, the folder reloaded

#include "shell/import_file.h"

#include <QPoint>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class CFD3Doc;
class QWidget;
struct KankyoSettings;

ImportSettings ImportSettingsOf(const KankyoSettings& settings);

// How many more items the folder whose catalogue the document has open can
// take (the whole limit when none is open).
int ImportRoomLeft(CFD3Doc& doc);

void RunImportCommand(CFD3Doc& doc, QWidget* owner, const KankyoSettings& settings);

struct ImportLoopFile {
  std::string path;
  std::optional<QPoint> position;
};
// Imports files into folder (no trailing slash) one after the other and
// reloads the folder whenever the loop ran. admit is asked first for each
// file (after the progress dialog names it) and may skip it after telling
// the user why. The loop stops at a failure, a cancel or the folder limit.
// The number of files registered.
int ImportFileLoop(CFD3Doc& doc, const std::string& folder, const std::vector<ImportLoopFile>& files,
                   QWidget* owner, const std::function<bool(const std::string& path)>& admit = {});
