#pragma once
// Command identifiers of the viewer: its menu (102), its tool bars and the
// image context menu (153). QActions of the main frame carry them.

#include "shell/command_ids.h"

namespace vcmd {
// Viewer tool-bar controls
inline constexpr int kPageCombo = 0x80;
inline constexpr int kRenameDocumentButton = 0x81;
inline constexpr int kRenamePageButton = 0x82;
inline constexpr int kDocumentCombo = 0x83;
inline constexpr int kPreviousPage = cmd::kViewerPreviousPage;
inline constexpr int kNextPage = cmd::kViewerNextPage;
inline constexpr int kPreviousDocument = cmd::kViewerPreviousDocument;
inline constexpr int kNextDocument = cmd::kViewerNextDocument;
// File menu
inline constexpr int kBackToBrowser = 0xC3E;
// Layout buttons (the viewer tool bar's; shell/command_ids.h names them too)
inline constexpr int kLayoutBack = 0x2937;
inline constexpr int kLayoutImage = 0x2938;
inline constexpr int kLayoutText = 0x2939;
inline constexpr int kLayoutInfo = 0x293A;
inline constexpr int kLayoutTile = 0x293B;
// Edit menu: passed to the active pane
inline constexpr int kEditUndo = cmd::kViewerUndo;
inline constexpr int kEditCut = cmd::kViewerCut;
inline constexpr int kEditCopy = cmd::kViewerCopy;
inline constexpr int kEditPaste = cmd::kViewerPaste;
inline constexpr int kEditDelete = cmd::kViewerDelete;
inline constexpr int kEditSelectAll = cmd::kViewerSelectAll;
// Image tool bar and the view menu's image entries
inline constexpr int kToolDragButton = 0xBC2;
inline constexpr int kFitWholeButton = 0xBC3;
inline constexpr int kFitWidthButton = 0xBC4;
inline constexpr int kFitHeightButton = 0xBC5;
inline constexpr int kToolZoomButton = 0xBC6;
inline constexpr int kToolDrag = 0xBE6;
inline constexpr int kToolZoom = 0xBE7;
inline constexpr int kFitWhole = 0xBE8;
inline constexpr int kFitWidth = 0xBE9;
inline constexpr int kFitHeight = 0xBEA;
inline constexpr int kGrayDisplay = 0xBEB;
// Image menu and the image tool bar's image commands
inline constexpr int kTrimButton = 0xBC7;
inline constexpr int kResolutionButton = 0xBC8;
inline constexpr int kOcrButton = 0xBC9;
inline constexpr int kFillBlackButton = 0xBCA;
inline constexpr int kFillWhiteButton = 0xBCB;
inline constexpr int kInvertButton = 0xBCC;
inline constexpr int kRotateButton = 0xBCD;
inline constexpr int kOcr = 0xBED;
inline constexpr int kResolution = 0xBEC;
inline constexpr int kRotate = 0xBEE;
inline constexpr int kBinarise = 0xBEF;
inline constexpr int kGreyScale = 0xBF0;
inline constexpr int kDeskew = 0xBF1;
inline constexpr int kDespeckle = 0xBF2;
inline constexpr int kInvert = 0xBF3;
inline constexpr int kFillBlack = 0xBF4;
inline constexpr int kFillWhite = 0xBF5;
inline constexpr int kTrim = 0xBF6;
// Annotation tools: tool-bar buttons and menu items
inline constexpr int kPointerButton = 0xBD6;
inline constexpr int kHighlightButton = 0xBD7;
inline constexpr int kRedactionButton = 0xBD8;
inline constexpr int kTextBoxButton = 0xBD9;
inline constexpr int kSelectAnnotationsButton = 0xBDA;
inline constexpr int kLinkButton = 0xBDB;
inline constexpr int kPointerTool = 0xBF7;
inline constexpr int kHighlightTool = 0xBF8;
inline constexpr int kRedactionTool = 0xBF9;
inline constexpr int kTextBoxTool = 0xBFA;
inline constexpr int kSelectAnnotationsTool = 0xBFB;
inline constexpr int kLinkTool = 0xBFC;
// Viewer file menu
inline constexpr int kMail = 0xC3A;
inline constexpr int kPrint = cmd::kViewerPrint;
inline constexpr int kRenameDocument = 0xC3C;
inline constexpr int kRenamePage = 0xC3D;
// Image context menu
inline constexpr int kZoomOut = 0xBFE;
inline constexpr int kZoomIn = 0xBFF;
// Bars
inline constexpr int kViewerToolBarToggle = 0x8095;
inline constexpr int kImageToolBarToggle = 0x8096;
inline constexpr int kStatusBarToggle = 0x8097;
}  // namespace vcmd
