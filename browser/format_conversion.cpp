#include "browser/format_conversion.h"

#include "browser/board_export.h"
#include "browser/pending_work_scope.h"
#include "catalogue/folder_database.h"
#include "platform/file_ops.h"
#include "platform/imaging/image.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/convert_dlg.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"

#include <QDir>
#include <QGuiApplication>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kImageLevelImage = 1;
const char* const kBrokenFile = "エラーが発生しました。\nファイル「%1」は壊れています。";
const char* const kNameTaken = "ファイル「%1」がすでに存在するため、変換できません。";
const char* const kPagesNotHeld = "ファイル「%1」は複数の頁を持つため、この形式には変換できません。";
const char* const kWriteFailed = "ファイル「%1」を書き込めませんでした。";

ConvertDialogRunner gRunner;

void tell(const char* text, const std::string& path) {
  platform::messageBox(QString::fromUtf8(text).arg(QString::fromStdString(path)).toStdString(),
                       platform::Buttons::Ok, platform::Icon::Warning);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Whether an entry of folder is named name, ASCII case ignored (the
// catalogue compares file names so, while the disk does not).
bool takenCaseBlind(const std::string& folder, const std::string& name) {
  const QStringList names =
      QDir(QString::fromStdString(folder)).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QString& found : names)
    if (platform::asciiEqualsIgnoreCase(found.toStdString(), name)) return true;
  return false;
}

std::string nameOf(const std::string& title, const std::string& ext) { return ext.empty() ? title : title + "." + ext; }

class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
};

struct Conversion {
  int format = 0;
  short bits = 0;
  short quality = 0;
  int pages = 1;
};

// Writes every page of source, converted, into target (a temporary file);
// false after the message.
bool writeConverted(CImageCtrl& ctrl, const std::string& source, const Conversion& c, const std::string& target) {
  for (int page = 1; page <= c.pages; ++page) {
    ctrl.SetImageHandle(0);
    if (ctrl.LoadFile(source, 0, page, 1) != 0) {
      tell(kBrokenFile, source);
      return false;
    }
    const short rc = ctrl.SaveToFile(target, static_cast<short>(c.format), c.bits, c.quality, page > 1 ? 1 : 0);
    ctrl.SetImageHandle(0);
    if (rc != 0) {
      tell(kWriteFailed, target);
      return false;
    }
  }
  return true;
}

}  // namespace

void SetConvertDialogRunner(ConvertDialogRunner runner) { gRunner = std::move(runner); }

bool ExtensionDenotesFormat(const std::string& extension, int formatCode) {
  const std::string own = GetImageFormatExtension(formatCode, "");
  if (own.empty()) return false;
  const std::string upper = platform::asciiUpper(extension);
  if (upper == platform::asciiUpper(own)) return true;
  // The other spellings of the same kinds of file.
  if (own == "tif") return upper == "TIFF";
  if (own == "jpg") return upper == "JPEG" || upper == "JPE";
  if (own == "bmp") return upper == "DIB";
  return false;
}

bool ConvertEntryFormat(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent) {
  if (entryIndices.size() != 1) return false;
  const int index = entryIndices.front();
  DisplayEntry* entry = doc.EntryList().GetAt(index);
  if (!entry) return false;
  PendingWorkScope busy(parent);
  const std::string folder = doc.EntryList().GetFolderPath();
  if (!doc.OpenFolderDatabase(folder)) return false;
  StackInfo stack;
  ItemInfo item;
  if (!doc.GetEntryRecords(*entry, stack, item) || item.ItemNo == 0 || item.ImageLevel != kImageLevelImage)
    return false;
  const std::string oldName = nameOf(item.Title, item.Ext);
  const std::string path = platform::joinPath(folder, oldName);
  doc.CreateImageCtrl(true);
  CImageCtrl* ctrl = doc.imageCtrl();
  if (!ctrl) return false;
  if (ctrl->GetFileInfo(path, 1, 0) != 0) {
    if (QWidget* window = doc.MainWindow()) {
      window->raise();
      window->activateWindow();
    }
    tell(kBrokenFile, path);
    return false;
  }
  Conversion c;
  c.pages = std::max(1, static_cast<int>(ctrl->GetDispid39()));
  ConvertDlg dialog(parent);
  dialog.formatCode = ctrl->GetInfoFormat();
  dialog.colourBits = ctrl->GetBitsPerPixel();
  dialog.quality = 0;
  dialog.OnInitDialog();
  if ((gRunner ? gRunner(dialog) : dialog.exec()) != QDialog::Accepted) return false;
  c.format = dialog.formatCode;
  c.bits = static_cast<short>(dialog.colourBits < 0 ? 0 : dialog.colourBits);
  c.quality = static_cast<short>(dialog.quality < 0 ? 0 : dialog.quality);
  if (c.pages > 1 && !platform::imaging::format::isTiff(c.format)) {
    tell(kPagesNotHeld, path);
    return false;
  }

  const bool keepName = ExtensionDenotesFormat(item.Ext, c.format);
  const std::string newExt = keepName ? item.Ext : GetImageFormatExtension(c.format, item.Ext);
  const std::string newName = nameOf(item.Title, newExt);
  const std::string newPath = platform::joinPath(folder, newName);
  const bool hasText = !item.TextExt.empty() && exists(path + "." + item.TextExt);
  const std::string oldText = path + "." + item.TextExt;
  const std::string newText = newPath + "." + item.TextExt;
  FolderDatabase& db = doc.Database();
  if (!keepName) {
    int found = 0, other = 0;
    if (ShowLastDbError(db.FindItem(item.Title, newExt, found, other), false) != 0) return false;
    if (found || takenCaseBlind(folder, newName) ||
        (hasText && takenCaseBlind(folder, platform::fileNameOf(newText)))) {
      tell(kNameTaken, newName);
      return false;
    }
  }

  WaitCursor wait;
  // Made afresh: the control examined before the dialog may have gone while it ran.
  doc.CreateImageCtrl(true);
  ctrl = doc.imageCtrl();
  if (!ctrl) return false;
  if (keepName) {
    // The converted file is written beside the old one and renamed over it:
    // the old file stays whole until the new one is.
    std::string temporary = platform::joinPath(folder, ".brindel-convert-XXXXXX");
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
      tell(kWriteFailed, path);
      return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);  // the file keeps its permissions
    ::close(fd);
    if (!writeConverted(*ctrl, path, c, temporary) || ::rename(temporary.c_str(), path.c_str()) != 0) {
      ::unlink(temporary.c_str());
      return false;
    }
  } else {
    bool converted = true;
    const int rc = WriteNewFile(newPath, [&](const std::string& temporary) {
      converted = writeConverted(*ctrl, path, c, temporary);
      return converted;
    });
    if (rc != 0) {
      if (converted) tell(rc == EEXIST ? kNameTaken : kWriteFailed, newName);
      return false;
    }
    if (hasText && platform::renameNoReplace(oldText, newText) != 0) {
      ::unlink(newPath.c_str());
      tell(kWriteFailed, newText);
      return false;
    }
    ItemInfo renamed = item;
    renamed.Ext = newExt;
    if (ShowLastDbError(db.SetItemInfo(renamed, fieldmask::kItemTitle), false) != 0) {
      if (hasText) platform::renameNoReplace(newText, oldText);
      ::unlink(newPath.c_str());
      return false;
    }
    // The row names the new file now; the old one belongs to nothing.
    ::unlink(path.c_str());
    item = renamed;
    if (!entry->isStack()) entry->title = newName;
  }
  // The thumbnail is made again from the converted file.
  ShowLastDbError(db.UnregisterThumb(item.ItemNo), false);
  int width = 0, height = 0;
  doc.MakeThumbnail(platform::withTrailingSlash(folder), item, width, height);
  doc.NotifyEntryChanged(index, DocumentChange::Entries);
  return true;
}
