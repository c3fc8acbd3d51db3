#include "browser/search_command.h"

#include "browser/page_print.h"
#include "browser/pending_work_scope.h"
#include "browser/search_dlg.h"
#include "browser/search_related_dlg.h"
#include "catalogue/related_word_dictionary.h"
#include "shell/fd3_doc.h"
#include "browser/fd3_view.h"
#include "browser/thumbnail_pane_wnd.h"
#include "platform/user_interaction.h"
#include "shell/kankyo_settings.h"
#include "shell/main_frame.h"

#include <QComboBox>
#include <QDir>

int RunSearchCommand(CMainFrame& frame, CFD3Doc* document, bool tidyUp) {
  CSearchDlg::Setup setup;
  setup.desktopRoot = QDir::cleanPath(frame.DesktopCombo()->currentText()).toStdString();
  setup.currentFolder = document ? document->FolderPath() : std::string();
  setup.tidyUp = tidyUp;
  // The folder the browser holds is searched through the browser's catalogue.
  setup.openFolder = document && !document->FolderPath().empty() ? &document->Database() : nullptr;
  setup.fontSize = frame.Settings().KankyoShowFontSize;
  setup.tidyDateType = frame.Settings().KankyoToriaezuDateType;
  setup.tidyDateRange = frame.Settings().KankyoToriaezuDateRange;
  setup.searchHitMax = frame.SearchHitMax();
  setup.folderMax = frame.Settings().KankyoShowFolderMax2000;
  const KankyoSettings& settings = frame.Settings();
  setup.print = PrintSettingsFrom(settings);
  // Hits print from the sheet's corner, with no margins.
  setup.print.marginXMm = setup.print.marginYMm = 0;
  setup.applications = frame.RegisteredApplications();
  setup.showExtension = settings.KankyoShowExtMode != 0;
  setup.applicationButtonAt = [&frame](QPoint global) { return ApplicationButtonAt(&frame, global); };
  setup.document = document;
  setup.ocr = OcrRunSettingsOf(settings);
  CSearchDlg dialog(setup, &frame);
  dialog.OpenSearchDatabase();
  dialog.ResetConditions();
  dialog.exec();
  frame.SetSearchHitMax(dialog.searchHitMax());
  const int result = dialog.result();
  if (result == CSearchDlg::kEnded || dialog.chosen().folder.empty()) return result;
  auto* view = dynamic_cast<CFD3View*>(frame.centralWidget());
  if (!view) return result;
  const CSearchDlg::ChosenHit& hit = dialog.chosen();
  if (view->SelectFolderInTree(hit.folder) < 0) {
    platform::messageBox("選択された文書を発見できませんでした。", platform::Buttons::Ok, platform::Icon::Warning);
    return result;
  }
  // The hit's document is shown on the board, and in the viewer when asked.
  if (ThumbnailPaneWnd* board = view->GetThumbnailPane()) board->SelectItemById(hit.kind, hit.number);
  if (result == CSearchDlg::kShowInViewer && document) {
    const int index = document->EntryList().Find(hit.kind, hit.number);
    if (index >= 0) view->SwitchToViewerMode(index);
  }
  return result;
}

void RunRelatedWordMaintenance(CMainFrame& frame) {
  PendingWorkScope busy(&frame);
  RelatedWordMaintDlg dialog(RelatedWordLogFile(), RelatedWordArchivePath(), frame.FirstRun() != 0, &frame);
  dialog.exec();
  frame.SetFirstRun(dialog.firstRun() ? 1 : 0);
}
