#include "browser/fd3_doc_adapter.h"

#include <QWidget>  // before fd3_doc.h: its QPointer<QWidget> needs the whole class

#include "shell/fd3_doc.h"
#include "shell/progress_dialogs.h"
#include "shell/rescan_folder.h"

void Fd3DocAdapter::LoadFolder(const std::string& pathWithTrailingSlash, int layoutFlag) {
  document_.LoadFolder(pathWithTrailingSlash, layoutFlag);
}

void Fd3DocAdapter::CloseFolderDatabase() { document_.CloseFolderDatabase(); }

void Fd3DocAdapter::SetReopenRequested() { document_.RequestReopen(); }

int Fd3DocAdapter::paneMode() const { return document_.PaneMode(); }

void Fd3DocAdapter::setPaneMode(int mode) { document_.SetPaneMode(mode); }

std::string Fd3DocAdapter::GetFolderPath() const { return document_.EntryList().GetFolderPath(); }

void Fd3DocAdapter::SetFolderPath(const std::string& path) { document_.SetFolderPath(path); }

void Fd3DocAdapter::SetLabelEditing(bool editing) { document_.SetTitleEditing(editing); }

std::string Fd3DocAdapter::RescanFolderTree(RefreshProgressDlg* dialog, const std::string& path) {
  RescanReport report;
  ::RescanFolderTree(document_, dialog, path, document_.importSettings().folderMax, report);
  return RescanReportMessage(report);
}
