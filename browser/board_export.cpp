#include "browser/board_export.h"

#include "browser/pending_work_scope.h"
#include "catalogue/folder_database.h"
#include "platform/file_ops.h"
#include "platform/imaging/image.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/export_dlg.h"
#include "shell/fd3_doc.h"
#include "shell/image_ctrl.h"
#include "shell/image_utilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kImageLevelImage = 1;
const char* const kBrokenFile = "エラーが発生しました。\nファイル「%1」は壊れています。";
const char* const kWriteFailed = "ファイル「%1」を書き込めませんでした。";

std::string gLastExportPath;
ExportDialogRunner gRunner;

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string fileOf(const std::string& folder, const ItemInfo& item) {
  return platform::joinPath(folder, item.Ext.empty() ? item.Title : item.Title + "." + item.Ext);
}

void tell(const char* text, const std::string& path) {
  platform::messageBox(QString::fromUtf8(text).arg(QString::fromStdString(path)).toStdString(),
                       platform::Buttons::Ok, platform::Icon::Warning);
}

// One file to export: a single item's or a stack page's.
// The choices carried from one file to the next.
struct ExportChoices {
  std::string path;  // the file last written (or chosen)
  int format = -1;   // -1: not chosen yet; 0: copied as it is
  int bits = -1;
  int quality = -1;
};

class Exporter {
 public:
  Exporter(CFD3Doc& doc, QWidget* parent) : doc_(doc), parent_(parent) { choices_.path = gLastExportPath; }

  const ExportChoices& choices() const { return choices_; }

  // One file through the dialog; the dialog's result. written: a file was made.
  int ExportOne(const ExportFile& file, bool moreFollow, bool offerMultiPage, bool& multiPage, bool& written) {
    multiPage = false;
    written = false;
    const QString sourceName = QString::fromStdString(platform::fileNameOf(file.source));
    QString folder, name = sourceName;
    if (!choices_.path.empty()) {
      folder = QFileInfo(QString::fromStdString(choices_.path)).absolutePath();
    } else {
      folder = startFolder();
    }
    if (file.image && choices_.format > 0)
      name = ReplaceExtension(name, QString::fromStdString(GetImageFormatExtension(choices_.format, "")));
    CDlgExport2 dialog(folder, name, parent_);
    dialog.sameFormatOnly = file.image ? 0 : 1;
    dialog.multiPageMode = offerMultiPage ? CDlgExport2::kShowMultiPage : 0;
    dialog.formatCode = file.image ? choices_.format : 0;
    dialog.colourBits = choices_.bits;
    dialog.quality = choices_.quality;
    dialog.sourceExtension = QFileInfo(sourceName).suffix();
    dialog.skipAllowed = moreFollow ? 1 : 0;
    dialog.OnInitDialog();
    const int result = gRunner ? gRunner(dialog) : dialog.exec();
    if (result != QDialog::Accepted) return result;
    const std::string target = dialog.fileName.toStdString();
    choices_.path = target;
    if (file.image) {
      choices_.format = dialog.formatCode;
      choices_.bits = dialog.colourBits;
      choices_.quality = dialog.quality;
    }
    multiPage = dialog.multiPage != 0;
    const int format = file.image ? dialog.formatCode : 0;
    written = format == 0 ? Copy(file.source, target) : Convert(file.source, target, false);
    return result;
  }

  // A later page of a stack added to the first page's file.
  bool Append(const ExportFile& file) { return Convert(file.source, choices_.path, true); }

 private:
  static QString startFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (!desktop.isEmpty() && QFileInfo(desktop).isDir()) return desktop;
    return QDir::homePath();
  }

  bool Copy(const std::string& source, const std::string& target) {
    const int rc = WriteNewFile(target, [&](const std::string& temporary) {
      QFile::remove(QString::fromStdString(temporary));
      return QFile::copy(QString::fromStdString(source), QString::fromStdString(temporary));
    });
    if (rc != 0) tell(kWriteFailed, target);
    return rc == 0;
  }

  bool Convert(const std::string& source, const std::string& target, bool addPage) {
    doc_.CreateImageCtrl(true);
    CImageCtrl* ctrl = doc_.imageCtrl();
    if (!ctrl) return false;
    ctrl->SetImageHandle(0);
    if (ctrl->LoadFile(source, 0, 1, 1) != 0) {
      if (QWidget* window = doc_.MainWindow()) {
        window->raise();
        window->activateWindow();
      }
      tell(kBrokenFile, source);
      return false;
    }
    const auto format = static_cast<short>(choices_.format);
    // Bits 0 keeps the page's own depth (or the format's default); never 8 forced.
    const auto bits = static_cast<short>(choices_.bits < 0 ? 0 : choices_.bits);
    const auto quality = static_cast<short>(choices_.quality < 0 ? 0 : choices_.quality);
    int rc = 0;
    if (addPage) {
      // The save writes the grown file beside it and renames it over the old one.
      rc = ctrl->SaveToFile(target, format, bits, quality, 1) == 0 ? 0 : EIO;
    } else {
      rc = WriteNewFile(target, [&](const std::string& temporary) {
        return ctrl->SaveToFile(temporary, format, bits, quality, 0) == 0;
      });
    }
    ctrl->SetImageHandle(0);
    if (rc != 0) tell(kWriteFailed, target);
    return rc == 0;
  }

  CFD3Doc& doc_;
  QWidget* parent_;
  ExportChoices choices_;
};

}  // namespace

bool CollectExportDocument(FolderDatabase& db, const std::string& folder, const DisplayEntry& entry,
                           std::vector<ExportDocument>& out) {
  const auto failed = [](int code) {
    ShowLastDbError(code, false);
    return false;
  };
  ExportDocument document;
  document.stack = entry.isStack();
  std::vector<ItemInfo> items;
  if (entry.isStack()) {
    if (int code = db.GetFirstStackPage(entry.number); code != 0) return failed(code);
    for (;;) {
      ItemInfo page;
      int end = 0;
      if (int code = db.GetSingleItemNextInfo(page, end); code != 0) {
        failed(code);
        db.PostSingleItem();
        return false;
      }
      if (end) break;
      items.push_back(page);
    }
    db.PostSingleItem();
  } else {
    ItemInfo item;
    if (int code = db.GetItemInfo(entry.number, item); code != 0) return failed(code);
    items.push_back(item);
  }
  for (const ItemInfo& item : items) {
    const std::string path = fileOf(folder, item);
    if (exists(path)) document.files.push_back({path, item.ImageLevel == kImageLevelImage});
  }
  if (!document.files.empty()) out.push_back(std::move(document));
  return true;
}

void SetExportDialogRunner(ExportDialogRunner runner) { gRunner = std::move(runner); }

std::string LastExportPath() { return gLastExportPath; }
void SetLastExportPath(const std::string& path) { gLastExportPath = path; }

int WriteNewFile(const std::string& target, const std::function<bool(const std::string& temporary)>& fill) {
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0) return EEXIST;
  std::string pattern = platform::joinPath(platform::parentPath(target), ".brindel-export-XXXXXX");
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return errno;
  // A new file of the user's: the permissions the umask gives, not mkstemp's 0600.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  ::close(fd);
  if (!fill(pattern)) {
    ::unlink(pattern.c_str());
    return EIO;
  }
  const int rc = platform::renameNoReplace(pattern, target);
  if (rc != 0) ::unlink(pattern.c_str());
  return rc;
}

void ExportEntries(CFD3Doc& doc, const std::vector<int>& entryIndices, QWidget* parent) {
  if (entryIndices.empty()) return;
  PendingWorkScope busy(parent);
  const std::string folder = doc.EntryList().GetFolderPath();
  if (!doc.OpenFolderDatabase(folder)) return;
  std::vector<ExportDocument> documents;
  for (int index : entryIndices) {
    const DisplayEntry* entry = doc.EntryList().GetAt(index);
    if (entry && !CollectExportDocument(doc.Database(), folder, *entry, documents)) return;
  }
  ExportDocuments(doc, documents, parent);
}

void ExportDocuments(CFD3Doc& doc, const std::vector<ExportDocument>& documents, QWidget* parent) {
  Exporter exporter(doc, parent);
  bool cancelled = false;
  for (size_t d = 0; d < documents.size() && !cancelled; ++d) {
    const ExportDocument& document = documents[d];
    const bool lastDocument = d + 1 == documents.size();
    bool firstImageDone = false;  // the stack's first image page had its dialog
    bool appending = false;
    for (size_t f = 0; f < document.files.size() && !cancelled; ++f) {
      const ExportFile& file = document.files[f];
      const bool moreFollow = !(lastDocument && f + 1 == document.files.size());
      if (file.image && appending) {
        exporter.Append(file);
        continue;
      }
      bool laterImages = false;
      for (size_t g = f + 1; g < document.files.size(); ++g) laterImages = laterImages || document.files[g].image;
      const bool offerMultiPage = document.stack && file.image && !firstImageDone && laterImages;
      bool multiPage = false, written = false;
      const int result = exporter.ExportOne(file, moreFollow, offerMultiPage, multiPage, written);
      if (result == QDialog::Rejected) cancelled = true;
      if (file.image && document.stack && !firstImageDone) {
        firstImageDone = true;
        appending = result == QDialog::Accepted && multiPage && written &&
                    platform::imaging::format::isTiff(exporter.choices().format);
      }
    }
  }
  // Remembered also after a cancel: the next export starts where this one went.
  if (!exporter.choices().path.empty()) gLastExportPath = exporter.choices().path;
}
