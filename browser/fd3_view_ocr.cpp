// The browser view's OCR of the selected documents: their images read into
// their attached texts through the program's one OCR road.

#include "browser/fd3_view.h"
#include "browser/list_pane.h"
#include "browser/pending_work_scope.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/folder_database.h"
#include "shell/fd3_doc.h"
#include "shell/launch_documents.h"
#include "shell/main_frame.h"
#include "shell/ocr_run.h"

bool CFD3View::AnySelectedImage() const {
  if (!attachedDocument_) return false;
  FolderDatabase& db = attachedDocument_->Database();
  if (!db.IsOpen()) return false;
  for (int index : activeSelection()) {
    const DisplayEntry* entry = attachedDocument_->EntryList().GetAt(index);
    if (!entry) continue;
    ItemInfo page;
    if (!entry->isStack()) {
      if (db.GetItemInfo(entry->number, page) == 0 && page.ImageLevel == 1) return true;
      continue;
    }
    for (int p = 1; db.Stack2Item(entry->number, p, page) == 0; ++p)
      if (page.ImageLevel == 1) return true;
  }
  return false;
}

void CFD3View::OcrSelectionToText() {
  if (!frame_ || !attachedDocument_ || viewerShown_) return;
  PendingWorkScope pending(this);
  const std::vector<int> selected = activeSelection();
  FolderSelection selection(*attachedDocument_, selected);
  FolderOcrStore store(*attachedDocument_);
  const OcrRunResult result =
      RunOcrOnSelection(selection, store, *attachedDocument_, OcrRunSettingsOf(frame_->Settings()), window());
  if (result.programSetToOne) frame_->Settings().KankyoOCRProgram = 1;
  // The texts show on the tiles and rows of the documents that got one.
  for (int index : selected)
    if (const DisplayEntry* entry = attachedDocument_->EntryList().GetAt(index))
      RefreshThumbnail(entry->kind, entry->number);
  if (paneMode() != kThumbnailMode)
    for (int index : selected) list_->UpdateEntry(index, nullptr, nullptr);
}
