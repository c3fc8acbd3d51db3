// The browser view's OCR of the selected documents: their images read in
// the interactive OCR dialog (or by the sibling application) into their
// attached texts.

#include "browser/fd3_view.h"
#include "browser/list_pane.h"
#include "browser/pending_work_scope.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/folder_database.h"
#include "shell/fd3_doc.h"
#include "shell/launch_documents.h"
#include "shell/main_frame.h"
#include "shell/ocr_run.h"

void CFD3View::OcrSelectionToText() {
  if (!frame_ || !attachedDocument_ || viewerShown_) return;
  PendingWorkScope pending(this);
  const std::vector<int> selected = activeSelection();
  FolderOcrStore store(*attachedDocument_);
  const OcrRunSettings settings = OcrRunSettingsOf(frame_->Settings());
  OcrRunResult result;
  if (OcrRunFlagsOf(settings.ocrLevel, settings.ocrProgram).useSibling) {
    // The sibling application reads the whole batch by itself.
    FolderSelection selection(*attachedDocument_, selected);
    result = RunOcrOnSelection(selection, store, *attachedDocument_, settings, window());
  } else {
    result = RunOcrDialogOnSelection(*attachedDocument_, selected, store, settings, window());
  }
  if (result.programSetToOne) frame_->Settings().KankyoOCRProgram = 1;
  // The texts show on the tiles and rows of the documents that got one.
  for (int index : selected)
    if (const DisplayEntry* entry = attachedDocument_->EntryList().GetAt(index))
      RefreshThumbnail(entry->kind, entry->number);
  if (paneMode() != kThumbnailMode)
    for (int index : selected) list_->UpdateEntry(index, nullptr, nullptr);
}
