// The viewer frame's file commands: printing the shown page, and renaming
// the shown page or document.

#include "viewer/viewer_frame.h"

#include "catalogue/folder_database.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"
#include "shell/launch_documents.h"
#include "shell/launch_program.h"
#include "shell/mail_documents.h"
#include "shell/main_frame.h"
#include "viewer/attached_text_pane.h"
#include "viewer/image_view.h"
#include "viewer/viewer_dialogs.h"
#include "viewer/viewer_pane_wnd.h"
#include "viewer/viewer_print.h"

#include <QComboBox>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>

#include <cstdio>

namespace {

constexpr const char* kRenameDocumentCaption = "文書タイトルの変更";
constexpr const char* kRenamePageCaption = "頁タイトルの変更";
constexpr const char* kReadOnlyDocument = "この文書は書き込み禁止です。";
constexpr const char* kTitleTaken =
    "フォルダ内に同名のタイトル、または同名のファイルが存在します。\n別のタイトルを指定してください。";

}  // namespace

// ---- printing -----------------------------------------------------------------------------

void ViewerFrame::OnMail() {
  if (!open_ || !pageShown_ || !IsMailAvailable()) return;
  const std::string folder = platform::withoutTrailingSlash(folder_);
  const std::string file = DocumentFileOf(folder, item_);
  if (!QFileInfo(QString::fromStdString(file)).isFile()) {
    platform::messageBox("ファイルが存在していません。", platform::Buttons::Ok, platform::Icon::Warning, "メールの送信");
    return;
  }
  QStringList files{QString::fromStdString(file)};
  const std::string text = AttachedTextOf(folder, item_);
  if (!text.empty() && QFileInfo(QString::fromStdString(text)).isFile()) files << QString::fromStdString(text);
  SendMailFiles(files);
}

void ViewerFrame::OnLaunchShownFile() {
  if (!open_ || !pageShown_) return;
  const std::string folder = platform::withoutTrailingSlash(folder_);
  const QString file = QString::fromStdString(DocumentFileOf(folder, item_));
  if (!QFileInfo(file).isFile()) {
    platform::messageBox("ファイルを発見できません", platform::Buttons::Ok, platform::Icon::Warning);
    return;
  }
  if (!StartProgram(QStringLiteral("xdg-open"), {file}, QString::fromStdString(folder)))
    platform::messageBox("アプリケーションの起動に失敗しました", platform::Buttons::Ok, platform::Icon::Warning);
}

void ViewerFrame::OnPrint() {
  ImageView* image = panes_->imageView();
  if (!open_ || !image->hasImage()) return;
  QPrinter printer(QPrinter::HighResolution);
  bool chosen = false;
  if (printerSetup_) {
    chosen = printerSetup_(printer);
  } else {
    QPrintDialog dialog(&printer, frame_);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setMinMax(1, 1);
    chosen = dialog.exec() == QDialog::Accepted;
  }
  if (chosen) {
    const KankyoSettings& settings = frame_->Settings();
    ViewerPrintSettings print;
    print.leftMarginMm = settings.KankyoPrintSpaceX;
    print.topMarginMm = settings.KankyoPrintSpaceY;
    print.rotateToPaper = settings.KankyoPrintRotate != 0;
    print.fallbackDpi = settings.KankyoBmpRes > 0 ? settings.KankyoBmpRes : 150;
    PrintViewerPage(printer, *image->control(), print);
  }
  frame_->raise();
  frame_->activateWindow();
}

// ---- renaming -----------------------------------------------------------------------------

std::optional<std::string> ViewerFrame::askTitle(const std::string& current, const QString& caption) {
  if (askTitle_) return askTitle_(current, caption);
  TitleDialog dialog(QString::fromStdString(current), caption, TitleDialog::kMaxTitleBytes, frame_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.newTitle().toStdString();
}

void ViewerFrame::OnRenameDocumentCommand() {
  if (!open_ || documents_.empty()) return;
  if (documents_[static_cast<std::size_t>(index_)].first != 0) {
    RenameDocument(QString::fromUtf8(kRenameDocumentCaption));
    return;
  }
  if (panes_->imageView()->state() == ImageView::kReadOnly) {
    platform::messageBox(kReadOnlyDocument, platform::Buttons::Ok, platform::Icon::Warning, kRenameDocumentCaption);
    return;
  }
  RenamePage(QString::fromUtf8(kRenameDocumentCaption));
}

void ViewerFrame::OnRenamePageCommand() {
  if (!open_ || documents_.empty()) return;
  if (panes_->imageView()->state() == ImageView::kReadOnly) {
    platform::messageBox(kReadOnlyDocument, platform::Buttons::Ok, platform::Icon::Warning, kRenamePageCaption);
    return;
  }
  RenamePage(QString::fromUtf8(kRenamePageCaption));
}

// The page's file and its attached text take the new title; the catalogue
// follows only when the files have moved.
bool ViewerFrame::RenamePage(const QString& caption) {
  if (db_ == nullptr || !pageShown_) return false;
  const std::string caption8 = caption.toStdString();
  const auto title = askTitle(item_.Title, caption);
  if (!title || *title == item_.Title) return false;
  const std::string oldFile = folder_ + "/" + item_.Title + "." + item_.Ext;
  const std::string newFile = folder_ + "/" + *title + "." + item_.Ext;
  int found = 0;
  int itemNo = 0;
  db_->FindItem(*title, item_.Ext, found, itemNo);
  if (found != 0 || QFileInfo::exists(QString::fromStdString(newFile))) {
    platform::messageBox(kTitleTaken, platform::Buttons::Ok, platform::Icon::Warning, caption8);
    return false;
  }
  if (std::rename(oldFile.c_str(), newFile.c_str()) != 0) {
    platform::messageBox("ファイルの名前を変更できませんでした。", platform::Buttons::Ok, platform::Icon::Warning,
                         caption8);
    return false;
  }
  if (!item_.TextExt.empty()) {
    const std::string oldText = oldFile + "." + item_.TextExt;
    if (QFileInfo::exists(QString::fromStdString(oldText)))
      std::rename(oldText.c_str(), (newFile + "." + item_.TextExt).c_str());
  }
  const int today = platform::todayYmd();
  item_.Title = *title;
  item_.LastModifiedDate = today;
  item_.LastAccessedDate = today;
  db_->SetItemInfo(item_, fieldmask::kItemTitle | fieldmask::kItemLastModifiedDate | fieldmask::kItemLastAccessedDate);
  panes_->imageView()->PageRenamed(oldFile, newFile);
  panes_->textPane()->PageRenamed(oldFile, newFile);
  const QString line = QString::fromStdString(item_.Title) + QLatin1Char('.') + QString::fromStdString(item_.Ext);
  pageCombo_->setItemText(page_ - 1, line);
  if (documents_[static_cast<std::size_t>(index_)].first == 0) documentCombo_->setItemText(index_, line);
  return true;
}

bool ViewerFrame::RenameDocument(const QString& caption) {
  if (db_ == nullptr || documents_.empty()) return false;
  const int stackNo = documents_[static_cast<std::size_t>(index_)].second;
  StackInfo stack;
  if (db_->GetStackInfo(stackNo, stack) != dbresult::kOk) return false;
  const auto title = askTitle(stack.Title, caption);
  if (!title || *title == stack.Title) return false;
  int found = 0;
  int other = 0;
  db_->FindStack(*title, found, other);
  if (found != 0) {
    platform::messageBox(kTitleTaken, platform::Buttons::Ok, platform::Icon::Warning, caption.toStdString());
    return false;
  }
  const int today = platform::todayYmd();
  stack.Title = *title;
  stack.LastModifiedDate = today;
  stack.LastAccessedDate = today;
  db_->SetStackInfo(stack, fieldmask::kStackTitle | fieldmask::kStackLastModifiedDate |
                               fieldmask::kStackLastAccessedDate);
  documentCombo_->setItemText(index_, QString::fromStdString(stack.Title));
  return true;
}
