#include "viewer/attached_text_pane.h"

#include "platform/file_ops.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "viewer/viewer_commands.h"
#include "viewer/viewer_paths.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QSaveFile>

namespace {

constexpr const char* kLoadCaption = "付属テキストの読み込み";
constexpr const char* kSaveCaption = "付属テキストの保存";
constexpr const char* kTextExtension = "TXT";
// Far more text than a page holds; a larger file is no attached text.
constexpr std::size_t kMaxAttachedTextBytes = 64u << 20;

}  // namespace

AttachedTextPane::AttachedTextPane(QWidget* parent) : QPlainTextEdit(parent) {
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setLineWrapMode(QPlainTextEdit::WidgetWidth);
  setFrameShape(QFrame::StyledPanel);
  setFrameShadow(QFrame::Sunken);
}

void AttachedTextPane::loadFailed(const char* message) {
  platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, kLoadCaption);
  setReadOnly(true);
}

void AttachedTextPane::Load(const std::string& folder, const ItemInfo& item) {
  setReadOnly(false);
  clear();
  folder_ = folder;
  path_.clear();
  const std::string pageFile = folder + "/" + item.Title + "." + item.Ext;
  if (!item.TextExt.empty() && !platform::asciiEqualsIgnoreCase(item.TextExt, kTextExtension)) {
    loadFailed("編集できないフォーマットがアタッチされています。\n付属テキストの編集は出来ません。");
  } else if (item.TextExt.empty()) {
    path_ = pageFile + "." + kTextExtension;
  } else {
    path_ = pageFile + "." + item.TextExt;
    [&] {
      if (PagePathBytes(path_) > kMaxPagePathBytes)
        return loadFailed("付属テキストファイルのパスがが不正です。\n付属テキストが読み込めません。");
      const QString file = QString::fromStdString(path_);
      const QFileInfo info(file);
      if (!info.exists()) return;
      if (!info.isWritable() || !info.permission(QFileDevice::WriteOwner))
        loadFailed("付属テキストファイルが書き込み禁止になっています。\n付属テキストの編集は出来ません。");
      // The text is found by its name beside the page: only a regular file
      // of a sane size is read (a FIFO there must not hold the viewer).
      std::string bytes;
      if (platform::readFileCapped(path_, kMaxAttachedTextBytes, &bytes) != 0)
        return loadFailed("付属テキストファイルがロックされています。\n付属テキストの編集は出来ません。");
      const std::string_view sjis(bytes);
      const std::string utf8 = platform::fromCp932(sjis);
      // A round trip that does not give the bytes back: the file is not
      // Shift-JIS (or holds bytes no character stands for).
      const auto back = platform::toCp932(utf8);
      QString text = QString::fromStdString(utf8);
      text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      setPlainText(text);
      if (!back || *back != sjis)
        loadFailed("付属テキストがShift-JISのテキストではありません。\n付属テキストの編集は出来ません。");
    }();
  }
  document()->setModified(false);
}

bool AttachedTextPane::Save(ItemInfo& item) {
  if (isReadOnly() || !document()->isModified()) return false;
  if (path_.empty()) path_ = folder_ + "/" + item.Title + "." + item.Ext + "." + kTextExtension;
  const QString text = toPlainText();
  const QString file = QString::fromStdString(path_);
  if (!text.isEmpty()) {
    QString lines = text;
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    const auto sjis = platform::toCp932(lines.toStdString());
    if (!sjis) {
      platform::messageBox("付属テキストにShift-JISで保存できない文字があります。\n付属テキストは保存されません。",
                           platform::Buttons::Ok, platform::Icon::Warning, kSaveCaption);
      return false;
    }
    QSaveFile out(file);
    const bool written = out.open(QIODevice::WriteOnly) &&
                         out.write(sjis->data(), static_cast<qint64>(sjis->size())) ==
                             static_cast<qint64>(sjis->size()) &&
                         out.commit();
    if (!written) {
      platform::messageBox("付属テキストファイルに書き込めませんでした。\n付属テキストは保存されません。",
                           platform::Buttons::Ok, platform::Icon::Warning, kSaveCaption);
      return false;
    }
    if (item.TextExt.empty()) item.TextExt = kTextExtension;
  } else if (!item.TextExt.empty()) {
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
      platform::messageBox("付属テキストファイルを削除できませんでした。", platform::Buttons::Ok,
                           platform::Icon::Warning, kSaveCaption);
      return false;
    }
    item.TextExt.clear();
  }
  document()->setModified(false);
  return true;
}

void AttachedTextPane::Clear() {
  clear();
  path_.clear();
  document()->setModified(false);
}

void AttachedTextPane::AppendText(const std::string& text) {
  if (isReadOnly()) {
    platform::messageBox("付属テキストは書き込み禁止になっています。。\nテキストの付加はできません。",
                         platform::Buttons::Ok, platform::Icon::Warning, "テキスト");
    return;
  }
  if (text.empty()) return;
  moveCursor(QTextCursor::End);
  insertPlainText(QString::fromStdString(text));
  document()->setModified(true);
}

bool AttachedTextPane::IsModified() const { return document()->isModified(); }

void AttachedTextPane::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  emit activated();
}

void AttachedTextPane::mouseReleaseEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseReleaseEvent(event);
  if (event->button() == Qt::RightButton) {
    QMenu* menu = BuildEditMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(viewport()->mapToGlobal(event->position().toPoint()));
  }
}

bool AttachedTextPane::EditCommandEnabled(int commandId) const {
  switch (commandId) {
    case vcmd::kEditUndo: return document()->isUndoAvailable() && !isReadOnly();
    case vcmd::kEditCopy: return textCursor().hasSelection();
    case vcmd::kEditCut:
    case vcmd::kEditDelete: return textCursor().hasSelection() && !isReadOnly();
    case vcmd::kEditPaste: return !isReadOnly() && !QApplication::clipboard()->text().isEmpty();
    case vcmd::kEditSelectAll: return !document()->isEmpty();
    default: return false;
  }
}

void AttachedTextPane::EditCommand(int commandId) {
  switch (commandId) {
    case vcmd::kEditUndo: undo(); break;
    case vcmd::kEditCut: cut(); break;
    case vcmd::kEditCopy: copy(); break;
    case vcmd::kEditPaste: paste(); break;
    case vcmd::kEditDelete:
      if (!isReadOnly()) textCursor().removeSelectedText();
      break;
    case vcmd::kEditSelectAll: selectAll(); break;
    default: break;
  }
}

QMenu* AttachedTextPane::BuildEditMenu() {
  auto* menu = new QMenu(QStringLiteral("編集(&E)"), this);
  const std::pair<int, const char*> entries[] = {{vcmd::kEditUndo, "元に戻す(&U)"},   {vcmd::kEditCut, "切り取り(&T)"},
                                                 {vcmd::kEditCopy, "コピー(&C)"},     {vcmd::kEditPaste, "貼り付け(&P)"},
                                                 {vcmd::kEditDelete, "削除(&D)"},     {vcmd::kEditSelectAll, "すべてを選択(&A)"}};
  for (const auto& [id, text] : entries) {
    QAction* action = menu->addAction(QString::fromUtf8(text));
    action->setObjectName(QStringLiteral("cmd%1").arg(id, 0, 16));
    action->setEnabled(EditCommandEnabled(id));
    connect(action, &QAction::triggered, this, [this, id = id] { EditCommand(id); });
  }
  return menu;
}
