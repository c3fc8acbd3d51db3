#include "browser/search_command.h"

#include "browser/pending_work_scope.h"
#include "browser/search_dlg.h"
#include "browser/search_related_dlg.h"
#include "catalogue/related_word_dictionary.h"
#include "shell/fd3_doc.h"
#include "shell/frame_view.h"
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
  CSearchDlg dialog(setup, &frame);
  dialog.OpenSearchDatabase();
  dialog.ResetConditions();
  dialog.exec();
  frame.SetSearchHitMax(dialog.searchHitMax());
  const int result = dialog.result();
  if (result != CSearchDlg::kEnded && !dialog.chosen().folder.empty())
    if (auto* view = dynamic_cast<FrameView*>(frame.centralWidget()))
      view->SelectFolderInTree(dialog.chosen().folder);
  return result;
}

void RunRelatedWordMaintenance(CMainFrame& frame) {
  PendingWorkScope busy(&frame);
  RelatedWordMaintDlg dialog(RelatedWordLogFile(), RelatedWordArchivePath(), frame.FirstRun() != 0, &frame);
  dialog.exec();
  frame.SetFirstRun(dialog.firstRun() ? 1 : 0);
}
