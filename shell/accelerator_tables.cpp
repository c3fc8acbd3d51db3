#include "shell/accelerator_tables.h"

#include "shell/command_ids.h"

namespace {

using Table = CFD3Doc::AcceleratorTable;
constexpr auto kCtrl = Qt::ControlModifier;

const AcceleratorRow kRows[] = {
    {Table::Browser, kCtrl | Qt::Key_A, cmd::kSelectAll},
    {Table::Browser, kCtrl | Qt::Key_C, cmd::kCopy},
    {Table::Browser, kCtrl | Qt::Key_F, cmd::kSearch},
    {Table::Browser, kCtrl | Qt::Key_N, cmd::kFileNewFolder},
    {Table::Browser, kCtrl | Qt::Key_O, cmd::kFileOpen},
    {Table::Browser, kCtrl | Qt::Key_P, cmd::kPrint},
    {Table::Browser, kCtrl | Qt::Key_V, cmd::kPaste},
    {Table::Browser, QKeyCombination(Qt::Key_F1), cmd::kHelp},
    // The desktop's refresh key: files added from outside appear at once.
    {Table::Browser, QKeyCombination(Qt::Key_F5), cmd::kViewRefresh},
    // Plain Ctrl+C and Ctrl+V reach the open editor itself.
    {Table::TitleEditing, kCtrl | Qt::ShiftModifier | Qt::AltModifier | Qt::Key_C, cmd::kEditCopy},
    {Table::TitleEditing, kCtrl | Qt::ShiftModifier | Qt::AltModifier | Qt::Key_V, cmd::kEditPaste},
    {Table::Viewer, kCtrl | Qt::Key_A, cmd::kViewerSelectAll},
    {Table::Viewer, kCtrl | Qt::Key_C, cmd::kViewerCopy},
    {Table::Viewer, kCtrl | Qt::Key_P, cmd::kViewerPrint},
    {Table::Viewer, kCtrl | Qt::Key_V, cmd::kViewerPaste},
    {Table::Viewer, kCtrl | Qt::Key_Down, cmd::kViewerNextDocument},
    {Table::Viewer, QKeyCombination(Qt::Key_F1), cmd::kViewerHelp},
    {Table::Viewer, kCtrl | Qt::Key_Left, cmd::kViewerPreviousPage},
    {Table::Viewer, kCtrl | Qt::Key_Right, cmd::kViewerNextPage},
    {Table::Viewer, kCtrl | Qt::Key_Up, cmd::kViewerPreviousDocument},
    {Table::Viewer, kCtrl | Qt::Key_X, cmd::kViewerCut},
    {Table::Viewer, kCtrl | Qt::Key_Z, cmd::kViewerUndo},
    // The edit menu shows Del for its delete; the active pane deletes.
    {Table::Viewer, QKeyCombination(Qt::Key_Delete), cmd::kViewerDelete},
};

}  // namespace

std::span<const AcceleratorRow> AcceleratorRows() { return kRows; }
