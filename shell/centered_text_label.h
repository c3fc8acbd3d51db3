#pragma once
// A static text that draws its text as centred lines from the top: a line
// ends at a line feed (a carriage return before it is dropped) or before the
// character that would make it wider than the widget. At most 310 bytes of
// the text (counted in Shift-JIS, never cutting a character) are drawn, as
// the two-line progress texts always were.

#include <QWidget>

class CenteredTextLabel : public QWidget {
  Q_OBJECT
 public:
  explicit CenteredTextLabel(QWidget* parent = nullptr);
  void setText(const QString& text);
  QString text() const { return text_; }
  // The lines as they are drawn at the current width.
  QStringList layoutLines() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  QString text_;
};
