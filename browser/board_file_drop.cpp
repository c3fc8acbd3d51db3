#include "browser/board_file_drop.h"

#include "browser/board_geometry.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"
#include "shell/kankyo_settings.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

namespace {

constexpr const char* kCaption = "インポート";

}  // namespace

BoardFileDrop::BoardFileDrop(ThumbnailPaneWnd* board, CFD3Doc& doc,
                             std::function<const KankyoSettings*()> settings)
    : LocalFileDrop(board), board_(board), doc_(doc), settings_(std::move(settings)) {
  setObjectName(QStringLiteral("BoardFileDrop"));
}

bool BoardFileDrop::AdmitDroppedName(CFD3Doc& doc, const std::string& path, bool& folderTold) {
  const QFileInfo info(QString::fromStdString(path));
  if (!info.exists() && !info.isSymLink()) {
    if (QWidget* main = doc.MainWindow()) main->raise();
    platform::messageBox("「 " + path + " 」をインポートしようとしましたが、発見できませんでした。",
                         platform::Buttons::Ok, platform::Icon::Warning, kCaption);
    return false;
  }
  if (info.isDir()) {
    // One word about folders is enough for a drop.
    if (!folderTold)
      platform::messageBox("「 " + path + " 」をインポートしようとしました。\nフォルダはインポートできません。",
                           platform::Buttons::Ok, platform::Icon::Warning, kCaption);
    folderTold = true;
    return false;
  }
  return true;
}

QPoint BoardFileDrop::PositionFor(QPoint boardPoint, int index) {
  const int x = boardPoint.x() + kStep * index;
  const int y = boardPoint.y() + kStep * index - kAnchorAbove;
  return {std::clamp(x, 0, board::kMaxBoardHeight), std::clamp(y, 0, board::kMaxBoardHeight)};
}

void BoardFileDrop::OnDropFiles(QPoint clientPoint, const std::vector<std::string>& names) {
  const std::string folder = doc_.EntryList().GetFolderPath();
  if (folder.empty()) {
    platform::messageBox("インポート先のフォルダを発見できませんでした。\n処理を中断します。", platform::Buttons::Ok,
                         platform::Icon::Warning, kCaption);
    return;
  }
  if (CheckDiskFree(folder)) return;
  if (settings_)
    if (const KankyoSettings* settings = settings_()) doc_.SetImportSettings(ImportSettingsOf(*settings));
  const board::Point scroll = board_->scrollPosition();
  const QPoint boardPoint(clientPoint.x() + scroll.x, clientPoint.y() + scroll.y);
  std::vector<ImportLoopFile> files;
  for (std::size_t i = 0; i < names.size(); ++i)
    files.push_back({names[i], PositionFor(boardPoint, static_cast<int>(i))});
  bool folderTold = false;
  auto admit = [&](const std::string& path) { return AdmitDroppedName(doc_, path, folderTold); };
  const auto keys = [this] {
    std::set<std::pair<int, int>> out;
    for (int i = 0; i < doc_.EntryList().GetCount(); ++i)
      if (const DisplayEntry* e = doc_.EntryList().GetAt(i)) out.emplace(e->kind, e->number);
    return out;
  };
  const std::set<std::pair<int, int>> before = keys();
  ImportFileLoop(doc_, folder, files, board_->window(), admit);
  // The drop's documents, put one step apart from the drop point, go where
  // they cover no other document.
  if (board_->ArrangesAutomatically()) return;
  std::vector<int> added;
  for (int i = 0; i < doc_.EntryList().GetCount(); ++i)
    if (const DisplayEntry* e = doc_.EntryList().GetAt(i); e && !before.count({e->kind, e->number})) added.push_back(i);
  board_->SettleNewTiles(added);
}
