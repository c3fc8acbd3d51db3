#include "browser/board_menus.h"

#include "shell/command_ids.h"

#include <QAction>
#include <QMenu>

namespace {

QAction* add(QMenu& menu, int id, const char* text, bool enabled = true) {
  QAction* action = menu.addAction(QString::fromUtf8(text));
  action->setData(id);
  action->setObjectName(QStringLiteral("cmd%1").arg(id, 4, 16, QLatin1Char('0')));
  action->setEnabled(enabled);
  return action;
}

void addSortCommands(QMenu& menu, bool enabled) {
  add(menu, cmd::kSortTitle, "タイトル順", enabled);
  add(menu, cmd::kSortIssueDate, "正式発行日順", enabled);
  add(menu, cmd::kSortModified, "最終更新日順", enabled);
  add(menu, cmd::kSortAccessed, "最終参照日順", enabled);
}

void addApplications(QMenu& menu, const TileMenuState& state) {
  QMenu* launch = menu.addMenu(QStringLiteral("アプリケーションの起動"));
  launch->setObjectName(QStringLiteral("applicationMenu"));
  for (int i = 0; i < state.applications.size() && i < 14; ++i)
    add(*launch, tilecmd::kFirstApplication + i, state.applications[i].toUtf8().constData());
  launch->menuAction()->setEnabled(!state.applications.isEmpty() && state.applicationsAvailable);
}

}  // namespace

std::unique_ptr<QMenu> BuildPaneMenu(const PaneMenuState& state) {
  auto menu = std::make_unique<QMenu>();
  menu->setObjectName(QStringLiteral(u"ThumbRightClick Pane"));
  const bool sortable = state.tileCount > 1;
  if (!state.folderBoard) {
    menu->setObjectName(QStringLiteral(u"ThumbRightClick View"));
    addSortCommands(*menu, sortable);
    return menu;
  }
  add(*menu, cmd::kArrangeEvenly, "等間隔に整列", state.tileCount > 0);
  QAction* automatic = add(*menu, cmd::kAutoArrange, "サムネイルの自動整列");
  automatic->setCheckable(true);
  automatic->setChecked(state.autoArrange);
  menu->addSeparator();
  addSortCommands(*menu, sortable);
  menu->addSeparator();
  add(*menu, panecmd::kSelectAll, "全てを選択", state.tileCount > 0);
  add(*menu, cmd::kPaste, "貼り付け", state.clipboardHoldsEntries);
  return menu;
}

std::unique_ptr<QMenu> BuildTileMenu(const TileMenuState& state) {
  auto menu = std::make_unique<QMenu>();
  const bool many = state.selectedCount > 1;
  const bool image = state.anyImageSelected;
  menu->setObjectName(state.stack ? QStringLiteral("ThumbRightClick Stack")
                                  : QStringLiteral("ThumbRightClick SingleItem"));
  // The application submenu stands at position 6 on the folder board and at
  // 5 on the hit board (separators count).
  if (state.folderBoard) add(*menu, tilecmd::kCopy, "コピー", state.copyAvailable);
  add(*menu, tilecmd::kDelete, "削除");
  menu->addSeparator();
  if (state.stack)
    add(*menu, tilecmd::kRenameDialog, "タイトルの変更...", !many && state.stackRenameAvailable);
  else
    add(*menu, tilecmd::kRename, "タイトルの変更", !many);
  add(*menu, tilecmd::kOcr, "OCR ...", image && state.ocrAvailable);
  menu->addSeparator();
  addApplications(*menu, state);
  menu->addSeparator();
  if (state.folderBoard) {
    const bool rotate = image && state.rotateAvailable;
    add(*menu, tilecmd::kRotateRight, "右９０度", rotate);
    add(*menu, tilecmd::kRotateLeft, "左９０度", rotate);
    add(*menu, tilecmd::kRotate180, "１８０度", rotate);
    menu->addSeparator();
  }
  if (state.stack) {
    add(*menu, tilecmd::kDuplicateAllPages, "全頁複製", state.duplicateAvailable);
    add(*menu, tilecmd::kDuplicatePage, "1頁複製", !many && state.duplicatePageAvailable);
  } else {
    add(*menu, tilecmd::kDuplicate, "複製", state.duplicateAvailable);
  }
  if (state.folderBoard) add(*menu, tilecmd::kStack, "スタック", many && state.stackAvailable);
  if (state.stack) {
    menu->addSeparator();
    add(*menu, tilecmd::kReorderPages, "頁並べ替え ...", !many && state.reorderAvailable);
    add(*menu, tilecmd::kUnstackOne, "１頁解除", !many);
    add(*menu, tilecmd::kUnstackAll, "全頁解除", !many);
  }
  menu->addSeparator();
  add(*menu, tilecmd::kExport, "エクスポート...", state.exportAvailable);
  add(*menu, tilecmd::kProperties, "プロパティ", !many && state.propertiesAvailable);
  if (!state.folderBoard) {
    menu->addSeparator();
    add(*menu, tilecmd::kShowInViewer, "ビューワーの表示");
    add(*menu, tilecmd::kShowFolder, "フォルダの表示");
  }
  return menu;
}

std::unique_ptr<QMenu> BuildMaintenanceMenu(bool anyImageSelected, bool available) {
  auto menu = std::make_unique<QMenu>();
  menu->setObjectName(QStringLiteral("ThumbRightClick Maintenance"));
  add(*menu, tilecmd::kConvertFormat, "画像フォーマットの変換...", anyImageSelected && available);
  return menu;
}

QAction* MenuAction(const QMenu& menu, int commandId) {
  for (QAction* action : menu.actions()) {
    if (action->menu()) {
      if (QAction* inner = MenuAction(*action->menu(), commandId)) return inner;
    } else if (!action->isSeparator() && action->data().toInt() == commandId) {
      return action;
    }
  }
  return nullptr;
}
