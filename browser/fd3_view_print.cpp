// The browser view's commands on the whole selection of the active pane:
// rotation of the board's images and printing of the selected documents.
#include "browser/fd3_view.h"

#include "browser/board_operations.h"
#include "browser/list_pane.h"
#include "browser/pending_work_scope.h"
#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"
#include "shell/main_frame.h"

#include <QPrintDialog>

namespace {

constexpr int kImageLevelImage = 1;

// A page prints under the flags: an image when images print, another file
// when listed files print and its extension is one of the patterns.
bool pageQualifies(const ItemInfo& page, bool images, bool listed, const QStringList& patterns) {
  if (page.ImageLevel == kImageLevelImage) return images;
  if (!listed) return false;
  const std::string ext = platform::asciiUpper(page.Ext);
  for (const QString& pattern : patterns)
    if (platform::asciiUpper(pattern.mid(2).toStdString()) == ext) return true;
  return false;
}

}  // namespace

bool CFD3View::EntryQualifies(const DisplayEntry& entry, bool images, bool listed) const {
  if (!attachedDocument_) return false;
  FolderDatabase& db = attachedDocument_->Database();
  const QStringList patterns = printSettings().patterns;
  if (!entry.isStack()) {
    ItemInfo item;
    return db.GetItemInfo(entry.number, item) == 0 && pageQualifies(item, images, listed, patterns);
  }
  StackInfo stack;
  if (db.GetStackInfo(entry.number, stack) != 0) return false;
  for (int p = 1; p <= stack.PageCount; ++p) {
    ItemInfo page;
    if (db.Stack2Item(entry.number, p, page) == 0 && pageQualifies(page, images, listed, patterns)) return true;
  }
  return false;
}

bool CFD3View::AnySelectedPrintable(bool images, bool listed) const {
  if ((!images && !listed) || !attachedDocument_) return false;
  const std::vector<int> selected = activeSelection();
  // Asked on every change of the selection: a folder is opened only for a
  // selection in it.
  if (selected.empty()) return false;
  const CEntryHolder& entries = attachedDocument_->EntryList();
  if (!attachedDocument_->OpenFolderDatabase(entries.GetFolderPath())) return false;
  for (int index : selected)
    if (const DisplayEntry* e = entries.GetAt(index); e && EntryQualifies(*e, images, listed)) return true;
  return false;
}

void CFD3View::rotateSelection(int degrees) {
  if (paneMode() != kThumbnailMode || !operations_) return;
  if (frame_) operations_->bmpResolution = frame_->Settings().KankyoBmpRes;
  operations_->RotateSelection(degrees);
  UpdateCommandStates();
  ShowSelectionImageInfo();
}

void CFD3View::OnRotateRight() { rotateSelection(90); }
void CFD3View::OnRotate180() { rotateSelection(180); }
void CFD3View::OnRotateLeft() { rotateSelection(270); }

std::vector<PrintListEntry> CFD3View::CollectPrintList() const {
  std::vector<PrintListEntry> pages;
  if (!attachedDocument_) return pages;
  const CEntryHolder& entries = attachedDocument_->EntryList();
  FolderDatabase& db = attachedDocument_->Database();
  const std::string folder = entries.GetFolderPath();
  const auto add = [&](const ItemInfo& item) {
    pages.push_back({folder + "/" + item.Title + "." + item.Ext, item.ImageLevel == kImageLevelImage});
  };
  const std::vector<int> selected = activeSelection();
  for (int index : selected) {
    const DisplayEntry* e = entries.GetAt(index);
    if (!e) continue;
    if (!e->isStack()) {
      ItemInfo item;
      if (db.GetItemInfo(e->number, item) == 0) add(item);
      continue;
    }
    StackInfo stack;
    if (db.GetStackInfo(e->number, stack) != 0) continue;
    for (int p = 1; p <= stack.PageCount; ++p) {
      ItemInfo page;
      if (db.Stack2Item(e->number, p, page) == 0) add(page);
    }
  }
  return pages;
}

void CFD3View::OnFilePrint() {
  const PagePrintSettings settings = printSettings();
  if (!AnySelectedPrintable(settings.printImages, settings.printListed)) {
    platform::messageBox("文書を選択してください。", platform::Buttons::Ok, platform::Icon::Warning, "印刷");
    return;
  }
  PendingWorkScope busy(this);
  if (!attachedDocument_->OpenFolderDatabase(attachedDocument_->EntryList().GetFolderPath())) {
    platform::messageBox("パスが不正です。(VPP:01)", platform::Buttons::Ok, platform::Icon::Warning, "印刷");
    return;
  }
  PrintList(CollectPrintList(), settings, printSetup, printCommand);
}

// The defaults of the print hooks, set where the view is made.
void CFD3View::installPrintDefaults() {
  printSettings = [this] {
    static const KankyoSettings defaults = [] {
      KankyoSettings s;
      s.printPatterns = BuildPrintPatterns(s.KankyoPrintUserSelect, s.KankyoPrintFileExt);
      return s;
    }();
    PagePrintSettings print = PrintSettingsFrom(frame_ ? frame_->Settings() : defaults);
    print.turnWheneverCrosswise = true;
    return print;
  };
  printSetup = [this](QPrinter& printer) {
    QPrintDialog dialog(&printer, window());
    return dialog.exec() == QDialog::Accepted;
  };
}
