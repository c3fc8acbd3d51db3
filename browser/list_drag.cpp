#include "browser/list_drag.h"

#include "browser/board_file_drop.h"
#include "browser/list_pane.h"
#include "catalogue/file_utilities.h"
#include "platform/paths.h"
#include "platform/user_interaction.h"
#include "shell/fd3_doc.h"
#include "shell/import_command.h"
#include "shell/kankyo_settings.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

ListRowDrag::ListRowDrag(CListPane* list) : QObject(list), list_(list), viewport_(list->viewport()) {
  setObjectName(QStringLiteral("ListRowDrag"));
  viewport_->installEventFilter(this);
  list->installEventFilter(this);  // Ctrl pressed or released while dragging
}

void ListRowDrag::setCursorFor(const Target& target, bool copy) {
  Qt::CursorShape shape = Qt::ForbiddenCursor;
  if (target.kind == Target::Tree) shape = copy ? Qt::DragCopyCursor : Qt::DragMoveCursor;
  if (target.kind == Target::Application) shape = Qt::PointingHandCursor;
  list_->viewport()->setCursor(shape);
}

void ListRowDrag::end() {
  dragging_ = false;
  pressed_ = nullptr;
  target_ = {};
  list_->viewport()->unsetCursor();
  emit targetChanged(target_);
}

bool ListRowDrag::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && dragging_ && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Control && !key->isAutoRepeat())
      setCursorFor(target_, event->type() == QEvent::KeyPress);
    if (key->key() == Qt::Key_Escape) end();
    return false;
  }
  if (watched != viewport_) return false;
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || list_->IsEditing()) return false;
      pressPos_ = mouse->position().toPoint();
      pressed_ = list_->itemAt(pressPos_);
      // With one row selected the press goes on (a click on it starts the
      // title edit); with several they must stay selected for a drag.
      pressedSelected_ = pressed_ && pressed_->isSelected() && mouse->modifiers() == Qt::NoModifier &&
                         list_->SelectedCount() > 1;
      if (pressedSelected_) {
        // The selection stays for a drag; a click without a drag selects
        // only this row at the release.
        list_->setCurrentItem(pressed_, 0, QItemSelectionModel::NoUpdate);
        return true;
      }
      return false;
    }
    case QEvent::MouseMove: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (!pressed_ || !(mouse->buttons() & Qt::LeftButton)) return false;
      const QPoint pos = mouse->position().toPoint();
      if (!dragging_) {
        if ((pos - pressPos_).manhattanLength() < QApplication::startDragDistance()) return pressedSelected_;
        if (list_->SelectedCount() == 0) return false;
        dragging_ = true;
      }
      const Target target = findTarget ? findTarget(mouse->globalPosition().toPoint()) : Target{};
      if (target.kind != target_.kind || target.button != target_.button || target.folder != target_.folder) {
        target_ = target;
        emit targetChanged(target_);
      }
      setCursorFor(target_, mouse->modifiers() & Qt::ControlModifier);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !pressed_) return false;
      if (!dragging_) {
        if (pressedSelected_) {
          list_->setCurrentItem(pressed_, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
          pressed_ = nullptr;
          return true;
        }
        pressed_ = nullptr;
        return false;
      }
      const Target target = target_;
      const bool copy = mouse->modifiers() & Qt::ControlModifier;
      end();
      if (target.kind == Target::Tree)
        emit folderDropRequested(target.folder, copy);
      else if (target.kind == Target::Application)
        emit applicationDropRequested(target.button);
      return true;
    }
    default: return false;
  }
}

// ---- files dropped from other programs ----------------------------------------------

ListFileDrop::ListFileDrop(CListPane* list, CFD3Doc& doc, std::function<const KankyoSettings*()> settings)
    : LocalFileDrop(list), list_(list), doc_(doc), settings_(std::move(settings)) {
  setObjectName(QStringLiteral("ListFileDrop"));
}

void ListFileDrop::OnDropFiles(QPoint, const std::vector<std::string>& names) {
  const std::string folder = doc_.EntryList().GetFolderPath();
  if (folder.empty()) {
    platform::messageBox("インポート先のフォルダを発見できませんでした。\n処理を中断します。", platform::Buttons::Ok,
                         platform::Icon::Warning, "インポート");
    return;
  }
  if (CheckDiskFree(folder)) return;
  if (settings_)
    if (const KankyoSettings* settings = settings_()) doc_.SetImportSettings(ImportSettingsOf(*settings));
  std::vector<ImportLoopFile> files;
  for (const std::string& name : names) files.push_back({name, std::nullopt});
  bool folderTold = false;
  auto admit = [&](const std::string& path) { return BoardFileDrop::AdmitDroppedName(doc_, path, folderTold); };
  ImportFileLoop(doc_, platform::withoutTrailingSlash(folder), files, list_->window(), admit);
}
