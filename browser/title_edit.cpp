#include "browser/title_edit.h"

#include "shell/cp932_typing.h"
#include "platform/sjis_codec.h"
#include "shell/image_utilities.h"

#include <QKeyEvent>

QValidator::State ShiftJisLengthValidator::validate(QString& input, int&) const {
  // A character without a Shift-JIS code is left to the title check, which
  // names it; only the length is refused while typing.
  return static_cast<int>(platform::toCp932Lossy(input.toStdString()).size()) <= maxBytes_ ? Acceptable : Invalid;
}

TitleEdit::TitleEdit(int controlId, const QString& startingText, QWidget* parent)
    : QLineEdit(startingText, parent), controlId_(controlId), startingText_(startingText) {
  setObjectName(QStringLiteral("ctl%1").arg(controlId));
  setValidator(new ShiftJisLengthValidator(kTitleMaxBytes, this));
  KeepCp932FormsWhileTyping(this);
}

void TitleEdit::End(bool cancelled) {
  if (ended_) return;
  ended_ = true;
  hide();
  emit editEnded(controlId_, cancelled);
}

bool TitleEdit::event(QEvent* event) {
  // Every key goes to the editor: no menu shortcut of the browser acts on
  // the documents while a title is being typed.
  if (event->type() == QEvent::ShortcutOverride) {
    event->accept();
    return true;
  }
  return QLineEdit::event(event);
}

void TitleEdit::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      deselect();
      End(false);
      return;
    case Qt::Key_Escape:
      End(true);
      return;
    default:
      QLineEdit::keyPressEvent(event);
  }
}

void TitleEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (isVisible()) End(false);
}
