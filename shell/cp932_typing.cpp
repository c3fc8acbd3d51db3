#include "shell/cp932_typing.h"

#include "platform/cp932_forms.h"

#include <QLineEdit>

void KeepCp932FormsWhileTyping(QLineEdit* edit) {
  QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString& text) {
    const QString mapped = platform::qToCp932Forms(text);
    if (mapped == text) return;
    // Every mapped character is one UTF-16 unit, as its replacement: the
    // cursor stays where it was.
    const int cursor = edit->cursorPosition();
    edit->setText(mapped);
    edit->setCursorPosition(cursor);
  });
}
