#pragma once
// The thumbnail board's context menus, built as QMenus whose actions carry
// their command identifiers (QAction::data), so that a caller can look at
// them before (or instead of) showing them.
//
//   BuildPaneMenu         the board's own menu (right click on free space)
//   BuildTileMenu         a tile's menu: one layout for single items, one for
//                         stacks, on the folder board and on the hit board
//   BuildMaintenanceMenu  the single command of the maintenance gesture
//   MenuAction            finds an action of a built menu by its command

#include <QString>
#include <QStringList>

#include <memory>

class QAction;
class QMenu;

namespace tilecmd {
// Commands of the tiles' menus; each becomes a request of the board.
inline constexpr int kCopy = 0x8071;
inline constexpr int kDelete = 0x8025;
inline constexpr int kRenameDialog = 0x8078;  // "タイトルの変更..." (a stack)
inline constexpr int kRename = 0x8080;        // "タイトルの変更" (a single item)
inline constexpr int kOcr = 0x8030;
inline constexpr int kRotateLeft = 0x80A0;
inline constexpr int kRotateRight = 0x80A1;
inline constexpr int kRotate180 = 0x80A2;
inline constexpr int kDuplicate = 0x802D;
inline constexpr int kDuplicatePage = 0x8029;
inline constexpr int kDuplicateAllPages = 0x8028;
inline constexpr int kStack = 0x809F;
inline constexpr int kReorderPages = 0x802C;
inline constexpr int kUnstackOne = 0x802A;
inline constexpr int kUnstackAll = 0x802B;
inline constexpr int kExport = 0x8027;
inline constexpr int kProperties = 0x802E;
inline constexpr int kShowInViewer = 0x80A3;
inline constexpr int kShowFolder = 0x80A4;
inline constexpr int kConvertFormat = 0x809D;
inline constexpr int kFirstApplication = 0xAF0;  // to 0xAFD
}  // namespace tilecmd

namespace panecmd {
// Commands of the board's own menu (the sort keys are the view's ids).
inline constexpr int kSelectAll = 0x8026;
}  // namespace panecmd

struct PaneMenuState {
  bool folderBoard = true;
  int tileCount = 0;
  bool autoArrange = false;
  bool clipboardHoldsEntries = false;
};

struct TileMenuState {
  bool folderBoard = true;
  bool stack = false;
  int selectedCount = 1;
  bool anyImageSelected = false;
  QStringList applications;  // registered applications, in order
  // Whether a command that the board hands on to others can run now; a
  // command that cannot is shown disabled.
  bool copyAvailable = true;
  bool ocrAvailable = true;
  bool rotateAvailable = true;
  bool duplicateAvailable = true;
  bool duplicatePageAvailable = true;
  bool stackAvailable = true;
  bool reorderAvailable = true;
  bool stackRenameAvailable = true;
  bool exportAvailable = true;
  bool propertiesAvailable = true;
  bool applicationsAvailable = true;
};

std::unique_ptr<QMenu> BuildPaneMenu(const PaneMenuState& state);
std::unique_ptr<QMenu> BuildTileMenu(const TileMenuState& state);
std::unique_ptr<QMenu> BuildMaintenanceMenu(bool anyImageSelected, bool available);
// The action of menu (or of one of its submenus) with that command, or null.
QAction* MenuAction(const QMenu& menu, int commandId);
