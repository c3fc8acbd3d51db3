#pragma once
// A line edit on which Ctrl+A does nothing: while it has the focus the
// command must not reach the view behind it (which would select every
// entry), and the edit itself does not select all either.

#include <QLineEdit>

class NoSelectAllEdit : public QLineEdit {
  Q_OBJECT
 public:
  using QLineEdit::QLineEdit;

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
};
