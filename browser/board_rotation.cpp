// The board's rotation of the selected images (BoardOperations::RotateSelection).
#include "browser/board_operations.h"

#include "browser/thumbnail_pane_wnd.h"
#include "catalogue/catalogue_records.h"
#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/imaging/image_codec.h"
#include "platform/imaging/image_ops.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/entry_holder.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"

#include <QFile>
#include <QFileInfo>
#include <QWidget>

#include <set>

namespace {

namespace img = platform::imaging;

constexpr const char* kRotateCaption = "回転";
constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr int kImageLevelImage = 1;

void tellRotate(const char* format, const ItemInfo& page) {
  char text[1024];
  std::snprintf(text, sizeof text, format, page.Title.c_str(), page.Ext.c_str());
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, kRotateCaption);
}

// Rotates every page of the image file at path in place, keeping its format
// and a depth that format takes; false when the file is left as it was. A
// file of several pages is written beside it and renamed over it, so that
// no page is lost.
bool rotateFile(CImageCtrl& ctrl, const std::string& path, int degrees, int bmpResolution) {
  ctrl.SetImageHandle(0);
  if (ctrl.GetFileInfo(path, 1, 0) != 0) return false;
  const int pages = std::max(1, static_cast<int>(ctrl.GetDispid39()));
  const std::string target = pages > 1 ? path + ".rotating" : path;
  bool ok = true;
  for (int page = 1; ok && page <= pages; ++page) {
    ok = ctrl.LoadFile(path, 0, page, 1) == 0;
    int format = 0, bits = 0, quality = 0;
    std::string otherExtension;
    bool keepSource = true;
    if (ok) GetSaveFormatRules(ctrl, path, format, bits, quality, &otherExtension, keepSource, bmpResolution);
    // A format the file cannot be written back in would put another
    // format under the file's own extension.
    ok = ok && otherExtension.empty() && ctrl.Rotate(degrees * 100, 1, kWhite) == 0 &&
         ctrl.SaveToFile(target, static_cast<short>(format), static_cast<short>(bits), static_cast<short>(quality),
                         page > 1 ? 1 : 0) == 0;
    ctrl.SetImageHandle(0);
  }
  if (pages > 1) {
    if (ok) ok = std::rename(target.c_str(), path.c_str()) == 0;
    if (!ok) std::remove(target.c_str());
  }
  return ok;
}

// The stored thumbnail turned as its page was; false when there is none or
// it cannot be read.
bool rotateThumbnail(ThumbInfo& thumb, int degrees) {
  if (thumb.ThumbData.empty()) return false;
  img::FileInfo info;
  if (img::examineImage(thumb.ThumbData, 1, info) != img::kOk) return false;
  img::PixPtr pix = img::decodeImage(thumb.ThumbData, 1, info.format, 1);
  if (!pix) return false;
  img::PixPtr turned = img::rotateImage(pix.get(), degrees * 100, true, 0xFFFFFF);
  if (!turned) return false;
  std::vector<std::uint8_t> bytes;
  if (img::encodeImage(turned.get(), info.format, info.bitsPerPixel, 0, {}, bytes) != img::kOk || bytes.empty())
    return false;
  thumb.ThumbData.assign(bytes.begin(), bytes.end());
  if (degrees != 180) std::swap(thumb.ThumbSizeX, thumb.ThumbSizeY);
  thumb.ThumbDateTime = platform::now();
  return true;
}

// Records of the given numbers whose last modified and accessed dates are today.
template <typename Record>
std::vector<Record> datedToday(const std::set<int>& numbers, std::int32_t Record::*key, int today) {
  std::vector<Record> records;
  for (int number : numbers) {
    Record r;
    r.*key = number;
    r.LastModifiedDate = r.LastAccessedDate = today;
    records.push_back(r);
  }
  return records;
}

}  // namespace

void BoardOperations::RotateSelection(int degrees) {
  if (degrees != 90 && degrees != 180 && degrees != 270) return;
  if (QWidget* window = document_.MainWindow()) {
    window->raise();
    window->activateWindow();
  }
  const std::unique_ptr<Progress> progress = makeProgress ? makeProgress(ProgressKind::Rotate) : nullptr;
  // A control of the rotation's own: refreshing a tile on the way remakes
  // the document's control, which would pull it from under the loop.
  CImageCtrl ctrl;
  if (!openFolder()) return;
  FolderDatabase& db = document_.Database();
  const std::string dir = folder();
  std::set<int> rotatedItems, rotatedStacks;
  bool cancelled = false;
  for (int index : board_.SelectedEntryIndices()) {
    const DisplayEntry* e = entry(index);
    if (!e) continue;
    std::vector<ItemInfo> pages;
    int currentPage = 0;
    if (e->isStack()) {
      StackInfo stack;
      if (db.GetStackInfo(e->number, stack) != 0) continue;
      currentPage = stack.CurPageNo;
      for (int p = 1; p <= stack.PageCount; ++p) {
        ItemInfo page;
        if (db.Stack2Item(e->number, p, page) == 0) pages.push_back(page);
      }
    } else {
      ItemInfo item;
      if (db.GetItemInfo(e->number, item) == 0) pages.push_back(item);
    }
    bool rotated = false, currentRotated = false;
    for (const ItemInfo& page : pages) {
      if (page.ImageLevel != kImageLevelImage) continue;
      if (progress) {
        progress->SetTexts(page.Title + "." + page.Ext, "");
        if (progress->PumpAndCheckCancel()) {
          cancelled = true;
          break;
        }
      }
      const std::string path = platform::joinPath(dir, page.Title + "." + page.Ext);
      const QFileInfo file(QString::fromStdString(path));
      if (!file.exists()) {
        tellRotate("ファイル %s.%s を発見できませんでした。", page);
        continue;
      }
      if (!(file.permissions() & QFileDevice::WriteOwner)) {
        tellRotate("ファイル %s.%s は書込み禁止になっていますので、回転できません。", page);
        continue;
      }
      if (!rotateFile(ctrl, path, degrees, bmpResolution)) {
        tellRotate("ファイル %s.%s を回転できませんでした。", page);
        continue;
      }
      ThumbInfo thumb;
      int found = 0;
      if (db.GetThumbInfo(page.ItemNo, thumb, found) == 0 && found && rotateThumbnail(thumb, degrees))
        report(db.SetThumbInfo(thumb));
      rotated = true;
      if (e->isStack() && page.PageNo == currentPage) currentRotated = true;
    }
    if (rotated) {
      (e->isStack() ? rotatedStacks : rotatedItems).insert(e->number);
      // A stack shows its current page: only then is its picture stale.
      if (!e->isStack() || currentRotated) board_.RefreshThumbnail(e->kind, e->number);
    }
    if (cancelled) break;
  }
  if (progress) progress->SetTexts("", "表示更新処理中");
  const int today = platform::todayYmd();
  const std::vector<StackInfo> stacks = datedToday(rotatedStacks, &StackInfo::StackNo, today);
  const std::vector<ItemInfo> items = datedToday(rotatedItems, &ItemInfo::ItemNo, today);
  if (!stacks.empty())
    report(db.SetStackInfos(stacks, fieldmask::kStackLastModifiedDate | fieldmask::kStackLastAccessedDate));
  if (!items.empty())
    report(db.SetItemInfos(items, fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate));
  // After a cancel the folder is read again, so the board shows what is on disk.
  if (cancelled) document_.LoadFolder(dir + "/", 0);
}
