#include "shell/ocr_preparation.h"

#include "catalogue/file_utilities.h"
#include "platform/program_folder.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/handoff_documents.h"
#include "shell/image_utilities.h"
#include "shell/launch_documents.h"
#include "shell/image_ctrl.h"

#include <QDir>

#include <algorithm>

namespace {

constexpr short kFormatBmp = 6;
constexpr short kFormatJpeg = 10;
constexpr short kPaletteModeUser = 0x10;
constexpr int kBmpUnstatedDpi = 150;  // what a BMP without a resolution reads as
constexpr int kLowestDpi = 200;
constexpr int kHighestDpi = 400;

}  // namespace

bool CollectOcrPages(DocumentSelection& selection, std::vector<OcrPage>& out, std::size_t limit) {
  out.clear();
  std::vector<SelectedDocument> documents;
  if (!selection.Read(documents)) return false;
  std::vector<SelectedDocument> taken;
  for (const SelectedDocument& document : documents) {
    if (out.size() > limit) break;
    SelectedDocument used = document;
    used.pages.clear();
    for (const ItemInfo& page : document.pages) {
      if (out.size() > limit) break;
      if (page.ImageLevel != 1) continue;
      OcrPage ocr;
      ocr.folder = document.folder;
      ocr.folderNo = document.folderNo;
      ocr.item = page;
      ocr.source = DocumentFileOf(document.folder, page);
      out.push_back(std::move(ocr));
      used.pages.push_back(page);
    }
    if (!used.pages.empty()) taken.push_back(std::move(used));
  }
  if (!taken.empty()) selection.StampAccessed(taken);
  return true;
}

std::string PrepareOcrFolder() {
  std::string folder = platform::workFolder(platform::workfolder::kOcrIn);
  if (!folder.empty() && folder.back() != '/') folder += '/';
  DeleteFolderTree(folder);
  return QDir().mkpath(QString::fromStdString(folder)) ? folder : std::string();
}

void PrepareImagesForOcr(CLead& ctrl, std::vector<OcrPage>& pages, const std::string& ocrIn, bool keepGrey,
                         bool keepColour, int bmpResolution, const std::function<void(int)>& onImage) {
  std::vector<OcrPage> prepared;
  prepared.reserve(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    if (onImage) onImage(static_cast<int>(i));
    OcrPage page = std::move(pages[i]);
    if (ctrl.LoadFile(page.source, 0, 1, 1) != 0) continue;
    if (ctrl.GetInfoFormat() == kFormatBmp && ctrl.GetXResolution() == kBmpUnstatedDpi &&
        GetBmpResolution(page.source) == 0 && bmpResolution > 0) {
      ctrl.SetXResolution(static_cast<short>(bmpResolution));
      ctrl.SetYResolution(static_cast<short>(bmpResolution));
    }
    page.resolution = std::clamp<int>(ctrl.GetXResolution(), kLowestDpi, kHighestDpi);
    if (!keepGrey) {
      ctrl.SetPaletteEntry(0, 0x000000);
      ctrl.SetPaletteEntry(1, 0xFFFFFF);
      ctrl.ReduceColors(1, kPaletteModeUser, 0, 2);
    }
    short bits = ctrl.GetDispid12();
    if (bits == 16 || bits == 24 || bits == 32) {
      if (keepColour) bits = 24;
    } else if (bits != 1 && bits != 4 && bits != 8) {
      bits = 8;
    }
    const bool jpeg = keepColour && bits == 24;
    const std::string target = ConvertedCopyName(page.source, ocrIn, jpeg ? ".JPG" : ".BMP");
    const short saved = jpeg ? ctrl.SaveFile(target, kFormatJpeg, 24, 2, 0) : ctrl.SaveFile(target, kFormatBmp, bits, 0, 0);
    ctrl.SetImageHandle(0);
    if (saved != 0) continue;
    page.prepared = target;
    prepared.push_back(std::move(page));
  }
  pages = std::move(prepared);
}

int CFD3Doc::PrepareSelectionForOcr(const std::vector<int>& selectedEntries, std::vector<OcrPage>& pages,
                                    bool keepGrey, bool keepColour, int limit, bool limitOn) {
  pages.clear();
  if (entries.GetCount() == 0) return 0;
  CreateImageCtrl(true);
  const std::string folder = entries.GetFolderPath();
  if (folder.empty() || !OpenFolderDatabase(folder)) {
    platform::messageBox("パスが不正です。(DSOPB:01)", platform::Buttons::Ok, platform::Icon::Warning);
    return 0;
  }
  const std::string ocrIn = PrepareOcrFolder();
  FolderSelection selection(*this, selectedEntries);
  CollectOcrPages(selection, pages, limitOn ? static_cast<std::size_t>(std::max(limit, 0)) : pages.max_size());
  const int collected = static_cast<int>(pages.size());
  if ((!limitOn || collected <= limit) && imageCtrl() && !ocrIn.empty())
    PrepareImagesForOcr(*imageCtrl(), pages, ocrIn, keepGrey, keepColour, bmpResolution_);
  return collected;
}
