#include "shell/ocr_run.h"

#include "catalogue/search_database.h"
#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_app.h"
#include "shell/fd3_doc.h"
#include "shell/kankyo_settings.h"
#include "shell/image_ctrl.h"
#include "shell/ocr_control_host.h"
#include "shell/ocr_dialogs.h"
#include "shell/ocr_interactive_dlg.h"
#include "shell/ocr_preparation.h"
#include "shell/ocr_sibling.h"
#include "shell/progress_dialogs.h"

#include <QFileInfo>

namespace {

constexpr const char* kCaption = "OCR";

bool exists(const std::string& path) { return QFileInfo::exists(QString::fromStdString(path)); }

std::string fileNameOf(const ItemInfo& item) { return item.Title + "." + item.Ext; }

}  // namespace

OcrRunSettings OcrRunSettingsOf(const KankyoSettings& kankyo) {
  OcrRunSettings settings;
  settings.ocrLevel = CFD3App::FindOcrApplication();
  settings.ocrProgram = kankyo.KankyoOCRProgram;
  settings.language = kankyo.KankyoOCRLanguage;
  settings.stringType = kankyo.KankyoOCRStringType;
  settings.bmpResolution = kankyo.KankyoBmpRes;
  return settings;
}

bool FolderOcrStore::Open() {
  const std::string folder = document_.EntryList().GetFolderPath();
  if (!folder.empty() && document_.OpenFolderDatabase(folder)) return true;
  platform::messageBox("パスが不正です。(VOS:01)", platform::Buttons::Ok, platform::Icon::Warning, kCaption);
  return false;
}

bool FolderOcrStore::DocumentNamed(const OcrPage&, const std::string& fileName) {
  const std::size_t point = fileName.rfind('.');
  int found = 0, itemNo = 0;
  return point != std::string::npos &&
         document_.Database().FindItem(fileName.substr(0, point), fileName.substr(point + 1), found, itemNo) == 0 &&
         found != 0;
}

bool FolderOcrStore::Record(const OcrPage& page, int today) {
  return StoreFolderOcrText(document_.Database(), page.item, today);
}

bool OcrPagesSelection::Read(std::vector<SelectedDocument>& out) {
  out.clear();
  for (const ItemInfo& page : pages_) {
    SelectedDocument document;
    document.folder = folder_;
    document.pages.push_back(page);
    out.push_back(std::move(document));
  }
  return true;
}

bool HitOcrStore::DocumentNamed(const OcrPage& page, const std::string& fileName) {
  const std::size_t point = fileName.rfind('.');
  int found = 0;
  ItemInfo info;
  return point != std::string::npos &&
         database_.FindFolderItem(page.folderNo, fileName.substr(0, point), fileName.substr(point + 1), found, info) &&
         found != 0;
}

bool HitOcrStore::Record(const OcrPage& page, int today) {
  return StoreHitOcrText(database_, page.folderNo, page.item, today);
}

namespace {

// More pages than a run takes: asks whether to read the first `limit`;
// false when the user would rather not.
bool cutToLimit(std::vector<OcrPage>& pages, int limit) {
  if (pages.size() <= static_cast<std::size_t>(limit)) return true;
  const std::string count = std::to_string(limit);
  if (platform::messageBox("一度には " + count + "画像までしかOCRできません。\n" + count + "画像だけOCRしますか？",
                           platform::Buttons::OkCancel, platform::Icon::Question, kCaption) != platform::Answer::Ok)
    return false;
  pages.resize(static_cast<std::size_t>(limit));
  return true;
}

std::string dictionaryOf(const OcrRunSettings& settings) {
  return settings.dictionaryFolder.empty() ? platform::workFolder(platform::workfolder::kOcrOcx) + "/"
                                           : settings.dictionaryFolder;
}

// The texts read into "ocrin" become the pages' attached texts.
int storeTexts(const std::vector<OcrPage>& pages, OcrTextStore& store, bool ask) {
  int stored = 0;
  bool opened = false;
  const int today = platform::todayYmd();
  for (const OcrPage& page : pages) {
    const std::string text = OcrTextPathOf(page.prepared);
    if (!exists(text)) continue;
    if (!opened) {
      if (!store.Open()) return stored;
      opened = true;
    }
    if (ask && !page.item.TextExt.empty() &&
        platform::messageBox("すでに 文書「 " + fileNameOf(page.item) +
                                 " 」にはテキストファイルが存在します。\n上書きしてもよろしいですか？",
                             platform::Buttons::OkCancel, platform::Icon::Question, kCaption) != platform::Answer::Ok)
      continue;
    const std::string target = AttachedOcrTextOf(page.folder, page.item);
    const std::string targetName = fileNameOf(page.item) + ".TXT";
    switch (InstallAttachedText(text, target, store.DocumentNamed(page, targetName))) {
      case InstallResult::Installed:
        if (store.Record(page, today)) ++stored;
        break;
      case InstallResult::BelongsToOtherDocument:
        platform::messageBox("文書「 " + targetName + " 」があるため、文書「 " + fileNameOf(page.item) +
                                 " 」のテキストファイルを作成できません。",
                             platform::Buttons::Ok, platform::Icon::Warning, kCaption);
        break;
      case InstallResult::Failed:
        platform::messageBox("テキストファイル「" + target + "」を書き込めませんでした。", platform::Buttons::Ok,
                             platform::Icon::Warning, kCaption);
        break;
    }
  }
  return stored;
}

// The views' road checks the open folder before it looks at the selection:
// an empty folder has nothing to say, one that will not open says so.
bool folderReady(CFD3Doc& document) {
  if (document.EntryList().GetCount() == 0) return false;
  const std::string folder = document.EntryList().GetFolderPath();
  if (!folder.empty() && document.OpenFolderDatabase(folder)) return true;
  platform::messageBox("パスが不正です。(DSOPB:01)", platform::Buttons::Ok, platform::Icon::Warning);
  return false;
}

// The pages converted into "ocrin"; a batch shows how far it got.
bool prepare(std::vector<OcrPage>& pages, CFD3Doc& document, const OcrRunFlags& flags, const OcrRunSettings& settings,
             OcrReading reading, QWidget* parent) {
  const std::string ocrIn = PrepareOcrFolder();
  document.CreateImageCtrl(true);
  CLead* ctrl = document.imageCtrl();
  if (ocrIn.empty() || !ctrl) return false;
  if (reading == OcrReading::Interactive) {
    PrepareImagesForOcr(*ctrl, pages, ocrIn, flags.keepGrey, flags.keepColour, settings.bmpResolution);
    return true;
  }
  GeneralProgressDlg progress;
  progress.setWindowTitle(QString::fromUtf8(kCaption));
  progress.Create(parent);
  progress.SetMessage(QStringLiteral("OCR準備中..."));
  PrepareImagesForOcr(*ctrl, pages, ocrIn, flags.keepGrey, flags.keepColour, settings.bmpResolution, [&](int i) {
    progress.SetSubMessage(QStringLiteral("%1 件目").arg(i + 1));
    progress.PumpAndCheckCancel();
  });
  progress.Close();
  return true;
}

// The batch: every page recognised in turn under the progress dialog; what
// was read before a stop is kept. False when no recogniser could be made.
bool readBatch(std::vector<OcrPage>& pages, const OcrRunFlags& flags, const OcrRunSettings& settings,
               QWidget* parent, const OcrRunHooks& hooks, OcrRunResult& result) {
  OcrParams params = ReadOcrParams();
  if (settings.language != 2) params.language = static_cast<short>(settings.language);
  if (settings.stringType != 2) params.halfWidth = static_cast<short>(settings.stringType);
  std::unique_ptr<CZeqOcr3> control;
  std::unique_ptr<PageRecogniser> recogniser;
  if (hooks.makeRecogniser) {
    recogniser = hooks.makeRecogniser();
  } else if (flags.useSibling) {
    recogniser = std::make_unique<LumoraPageRecogniser>(params);
  } else {
    control = CreateOcrControl();
    if (!control) return false;
    recogniser = std::make_unique<ControlRecogniser>(*control, dictionaryOf(settings), params);
  }
  result.givenUp = false;
  OcrProgressDlg dialog(*recogniser, pages, parent);
  if (control) {
    // The control's window stays inside the dialog, out of sight.
    control->window()->setParent(&dialog);
    control->window()->setObjectName(QStringLiteral("ctl10213"));
    control->window()->hide();
  }
  if (hooks.onProgressDialog) hooks.onProgressDialog(dialog);
  result.ranToEnd = dialog.exec() == 1;
  if (control) control->window()->setParent(nullptr);
  return true;
}

// The interactive dialog: the user reads and corrects the pages; true when
// it ended with OK, so that its texts are kept.
bool readInteractively(std::vector<OcrPage>& pages, const OcrRunSettings& settings, QWidget* parent,
                       const OcrRunHooks& hooks, OcrRunResult& result) {
  std::unique_ptr<CZeqOcr3> control = CreateOcrControl();
  if (!control) return false;
  result.givenUp = false;
  OcrDlg dialog(*control, dictionaryOf(settings), pages, settings.language, settings.stringType, parent);
  if (hooks.onDialog) hooks.onDialog(dialog);
  return dialog.exec() == QDialog::Accepted;
}

}  // namespace

OcrRunResult RunOcr(DocumentSelection& selection, OcrTextStore& store, CFD3Doc& document,
                    const OcrRunSettings& settings, OcrReading reading, QWidget* parent, const OcrRunHooks& hooks) {
  OcrRunResult result;
  result.givenUp = true;
  const OcrRunFlags flags = OcrRunFlagsOf(settings.ocrLevel, settings.ocrProgram);
  result.programSetToOne = settings.ocrLevel >= 4 && settings.ocrProgram == -1;
  if (reading == OcrReading::Interactive && !folderReady(document)) return result;

  std::vector<OcrPage> pages;
  if (!CollectOcrPages(selection, pages, static_cast<std::size_t>(flags.limit))) return result;
  if (pages.empty()) {
    platform::messageBox("画像データが選択されていません。", platform::Buttons::Ok, platform::Icon::Warning, kCaption);
    return result;
  }
  if (!cutToLimit(pages, flags.limit)) return result;
  if (!prepare(pages, document, flags, settings, reading, parent) || pages.empty()) return result;

  const bool keep = reading == OcrReading::Batch ? readBatch(pages, flags, settings, parent, hooks, result)
                                                 : readInteractively(pages, settings, parent, hooks, result);
  if (keep) result.stored = storeTexts(pages, store, settings.askBeforeReplacing);
  return result;
}
