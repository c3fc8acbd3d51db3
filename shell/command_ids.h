#pragma once
// Identifiers of the browser's menu and tool-bar commands, of the frame's
// bars and of its status panes. QActions carry them as data and in their
// object names ("cmd8044"), so other windows find and enable them.

namespace cmd {
// File
inline constexpr int kFileOpen = 0x807A;
inline constexpr int kFileNewFolder = 0x8053;
inline constexpr int kImport = 0x8054;
inline constexpr int kExport = 0x8042;
inline constexpr int kScan = 0x8044;
inline constexpr int kSelectScanner = 0x8043;
inline constexpr int kPrint = 0xE107;
inline constexpr int kSendMail = 0x807B;
inline constexpr int kProperties = 0x8056;
inline constexpr int kRename = 0x8055;
inline constexpr int kAppExit = 0xE141;
// Edit
inline constexpr int kCopy = 0x8071;
inline constexpr int kPaste = 0x8072;
inline constexpr int kDuplicate = 0x807C;
inline constexpr int kDelete = 0x804B;
inline constexpr int kSelectAll = 0x804C;
inline constexpr int kStack = 0x8050;
inline constexpr int kUnstackOne = 0x8051;
inline constexpr int kUnstackAll = 0x8052;
inline constexpr int kReorderPages = 0x807D;
inline constexpr int kRotateRight = 0x804D;
inline constexpr int kRotate180 = 0x804F;
inline constexpr int kRotateLeft = 0x804E;
inline constexpr int kConvertImageFormat = 0x809D;  // the tile's maintenance menu
// The framework's own copy and paste, bound while an in-place editor is open:
// they work on the editor that has the focus.
inline constexpr int kEditCopy = 0xE122;
inline constexpr int kEditPaste = 0xE125;
// View
inline constexpr int kViewToolBar = 0xE800;
inline constexpr int kViewStatusBar = 0xE801;
inline constexpr int kViewApplicationBar = 0x805C;
inline constexpr int kViewDesktopBar = 0x805D;
inline constexpr int kViewThumbnail = 0x8070;
inline constexpr int kViewList = 0x806F;
inline constexpr int kViewRefresh = 0x8077;
inline constexpr int kSortTitle = 0x8031;
inline constexpr int kSortIssueDate = 0x8032;
inline constexpr int kSortModified = 0x8033;
inline constexpr int kSortAccessed = 0x8035;
inline constexpr int kAutoArrange = 0x8034;
inline constexpr int kArrangeEvenly = 0x802F;
inline constexpr int kArrange = 0x8047;  // tool bar: posts kArrangeEvenly to the thumbnail pane
// Tools
inline constexpr int kSearch = 0x8046;
inline constexpr int kTidyUp = 0x8093;
inline constexpr int kScheduledTidyUp = 0x8094;
inline constexpr int kOcr = 0x8045;
inline constexpr int kDictionaryMaintenance = 0x805F;
inline constexpr int kDesktopAddRemove = 0x807E;
inline constexpr int kMediaExchange = 0x807F;
inline constexpr int kApplicationSettings = 0x805E;
inline constexpr int kSettings = 0x8049;
inline constexpr int kFirstApplicationButton = 0x8060;  // to 0x806D
inline constexpr int kFirstApplicationMenuEntry = 0xAF0;  // to 0xAFD
// Help
inline constexpr int kHelp = 0x804A;
inline constexpr int kHomePage = 0x8098;
inline constexpr int kUpdateCheck = 0x8099;
inline constexpr int kAbout = 0xE140;
// Desktop bar controls
inline constexpr int kDesktopCombo = 10011;
inline constexpr int kDesktopButton = 10012;
inline constexpr int kMediaButton = 10013;
// Viewer tool bar
inline constexpr int kViewerBack = 10551;
inline constexpr int kViewerImage = 10552;
inline constexpr int kViewerText = 10553;
inline constexpr int kViewerInfo = 10554;
inline constexpr int kViewerTile = 10555;
// The viewer's commands that its keys reach (viewer/viewer_commands.h gives
// the viewer's own names to the same numbers).
inline constexpr int kViewerPreviousPage = 0x84;
inline constexpr int kViewerNextPage = 0x85;
inline constexpr int kViewerPreviousDocument = 0x8090;
inline constexpr int kViewerNextDocument = 0x8091;
inline constexpr int kViewerUndo = 0xBE0;
inline constexpr int kViewerCut = 0xBE1;
inline constexpr int kViewerCopy = 0xBE2;
inline constexpr int kViewerPaste = 0xBE3;
inline constexpr int kViewerDelete = 0xBE4;
inline constexpr int kViewerSelectAll = 0xBE5;
inline constexpr int kViewerPrint = 0xC3B;
inline constexpr int kViewerHelp = 0x808E;
}  // namespace cmd

namespace bar {
inline constexpr int kMainToolBar = 0xE800;
inline constexpr int kStatusBar = 0xE801;
inline constexpr int kApplicationBar = 0xE820;
inline constexpr int kDesktopBar = 0xE821;
inline constexpr int kViewerToolBar = 0xE822;
inline constexpr int kImageToolBar = 0xE823;
}  // namespace bar

namespace pane {
inline constexpr int kPane2400 = 2400;
inline constexpr int kPane2401 = 2401;
inline constexpr int kPane2402 = 2402;
inline constexpr int kDocumentCount = 2403;
}  // namespace pane
