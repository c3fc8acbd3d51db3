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
  FolderSelection selection(*attachedDocument_, selected);
  // The sibling application reads the whole batch by itself; else the user
  // reads the pages in the OCR dialog.
  const OcrReading reading =
      OcrRunFlagsOf(settings.ocrLevel, settings.ocrProgram).useSibling ? OcrReading::Batch : OcrReading::Interactive;
  const OcrRunResult result = RunOcr(selection, store, *attachedDocument_, settings, reading, window());
  if (result.programSetToOne) frame_->Settings().KankyoOCRProgram = 1;
  // The texts show on the tiles and rows of the documents that got one.
  for (int index : selected)
    if (const DisplayEntry* entry = attachedDocument_->EntryList().GetAt(index))
      RefreshThumbnail(entry->kind, entry->number);
  if (paneMode() != kThumbnailMode)
    for (int index : selected) list_->UpdateEntry(index, nullptr, nullptr);
}
