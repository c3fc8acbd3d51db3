#pragma once
// The viewer's small dialogs: the resolution and rotation dialogs the image
// commands ask, and the trim dialog that shows the region before a trim.
// The callers preset the members, run the dialog and read them back.

#include <QColorDialog>
#include <QDialog>
#include <QString>

#include <cstdint>
#include <string>

class CImageCtrl;
class QButtonGroup;
class QLineEdit;

class ResolutionDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ResolutionDialog(int dpi, QWidget* parent = nullptr);
  // Only "+-0123456789" and a value of 10 to 1200.
  static bool Check(const QString& text, int& dpi);
  int resolution() const { return dpi_; }
  void accept() override;

 private:
  QLineEdit* edit_ = nullptr;
  int dpi_ = 0;
};

class RotationDialog : public QDialog {
  Q_OBJECT
 public:
  enum Choice { kLeft90 = 0, kRight90 = 1, k180 = 2, kAny = 3, kDeskew = 4 };
  explicit RotationDialog(QWidget* parent = nullptr);
  // Only "+-0123456789." with at most one point, -360 to 360.
  static bool CheckAngle(const QString& text, double& angle);
  int choice() const { return choice_; }
  double angle() const { return angle_; }
  bool deskew() const { return choice_ == kDeskew; }
  // The rotation in degrees for choices 0-3.
  double degrees() const;
  void SetChoice(int choice);
  void accept() override;

 private:
  QButtonGroup* group_ = nullptr;
  QLineEdit* edit_ = nullptr;
  int choice_ = kRight90;
  double angle_ = 0;
};

class TrimDialog : public QDialog {
  Q_OBJECT
 public:
  // Shows the image of the handle, scaled into the control with its
  // proportions kept.
  TrimDialog(std::int32_t imageHandle, QWidget* parent = nullptr);
  ~TrimDialog() override;
  void done(int result) override;
  CImageCtrl* control() const { return ctrl_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void fitImage();
  CImageCtrl* ctrl_ = nullptr;  // a child of the dialog
};

// The annotations' colour chooser: the standard colour dialog under the
// caller's caption.
class ViewerColorDialog : public QColorDialog {
  Q_OBJECT
 public:
  ViewerColorDialog(const QColor& initial, const QString& caption, QWidget* parent = nullptr);
};

// The title dialog: the current title and an edit for the new one, under
// the caller's caption.
class TitleDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kMaxTitleBytes = 200;
  TitleDialog(const QString& current, const QString& caption, int maxBytes, QWidget* parent = nullptr);
  // Empty, too long (maxBytes or 200 Shift-JIS bytes) or holding a
  // character of "\"\\/:<>" or "'*?][#|": false and the message to show.
  static bool CheckTitle(const QString& title, int maxBytes, std::string& message);
  QString newTitle() const { return title_; }
  QLineEdit* edit() const { return edit_; }
  void accept() override;

 private:
  QLineEdit* edit_ = nullptr;
  QString caption_;
  QString title_;
  int maxBytes_;
};
