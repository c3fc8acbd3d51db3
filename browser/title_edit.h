#pragma once
// TitleEdit: the in-place editor laid over a tile's caption. It ends once:
// Enter and losing the focus accept, Escape cancels; the board ends it with
// accept when the user clicks elsewhere on the board. While it is open the
// program's shortcuts give way to it (Ctrl+C and Ctrl+V are the edit's own).
//
//   ShiftJisLengthValidator   refuses input past a limit in Shift-JIS bytes

#include <QLineEdit>
#include <QValidator>

class ShiftJisLengthValidator : public QValidator {
  Q_OBJECT
 public:
  ShiftJisLengthValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
  State validate(QString& input, int& position) const override;

 private:
  int maxBytes_;
};

class TitleEdit : public QLineEdit {
  Q_OBJECT
 public:
  static constexpr int kUpperCaptionId = 2205;
  static constexpr int kLowerCaptionId = 2206;

  TitleEdit(int controlId, const QString& startingText, QWidget* parent);

  int controlId() const { return controlId_; }
  const QString& startingText() const { return startingText_; }
  bool ended() const { return ended_; }
  // Reports the end (once) and hides the editor.
  void End(bool cancelled);

 signals:
  void editEnded(int controlId, bool cancelled);

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int controlId_;
  QString startingText_;
  bool ended_ = false;
};
