#pragma once
// KeyForwardWnd: an edit field of a pane with several fields. Tab and
// Shift+Tab do not insert a tab: they drop the selection, keep the caret in
// view and ask the pane to move to the next or previous field. Gaining the
// focus tells the pane that this is its current field.

#include <QPlainTextEdit>

class KeyForwardWnd : public QPlainTextEdit {
  Q_OBJECT

 public:
  explicit KeyForwardWnd(QWidget* parent = nullptr);

 signals:
  void moveToField(KeyForwardWnd* from, bool backward);
  void becameCurrentField(KeyForwardWnd* field);

 protected:
  bool event(QEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
};
