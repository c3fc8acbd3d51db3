#include "shell/key_forward_wnd.h"

#include <QKeyEvent>

KeyForwardWnd::KeyForwardWnd(QWidget* parent) : QPlainTextEdit(parent) {}

bool KeyForwardWnd::event(QEvent* event) {
  // Caught before the widget's own focus chain sees Tab.
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      QTextCursor cursor = textCursor();
      cursor.clearSelection();
      setTextCursor(cursor);
      ensureCursorVisible();
      const bool backward = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier);
      emit moveToField(this, backward);
      return true;
    }
  }
  return QPlainTextEdit::event(event);
}

void KeyForwardWnd::focusInEvent(QFocusEvent* event) {
  QPlainTextEdit::focusInEvent(event);
  emit becameCurrentField(this);
}
