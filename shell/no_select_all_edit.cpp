#include "shell/no_select_all_edit.h"

#include <QKeyEvent>

bool NoSelectAllEdit::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      static_cast<QKeyEvent*>(event)->matches(QKeySequence::SelectAll)) {
    event->accept();  // keeps the window's "select all" shortcut from firing
    return true;
  }
  return QLineEdit::event(event);
}

void NoSelectAllEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::SelectAll)) {
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
}
