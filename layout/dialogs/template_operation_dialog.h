// "rgstTemp", the template operation dialog: match the page against the
// templates of the template folder, register the caller's fields as a new
// template, delete, call up, look through and modify templates, and choose
// the template folder.
//
//   TemplateOperationDialog   the dialog
//   run_operation_dialog      creates and runs it: 1 OK, 0 cancelled
//   install_template_dialogs  makes RegstTemplate and ConfTemplate open these
//                             dialogs (done when the library is loaded)
#pragma once

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace layout::dialogs {

class TemplateOperationDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TemplateOperationDialog(QWidget* parent);

  // Refills the name list; with a negative number its first template
  // becomes current.  The number of names.
  int fillTemplateNames(int number);

 public slots:
  void accept() override;
  void reject() override;

 private:
  void buildControls();
  void match(bool nextCandidate);
  void callUp();
  void browse();
  void setThreshold(int value);
  void followNumberEdit();

  QLabel* matched_ = nullptr;
  QLineEdit* thresholdEdit_ = nullptr;
  QScrollBar* threshold_ = nullptr;
  QPushButton* match_ = nullptr;
  QPushButton* nextCandidate_ = nullptr;
  QPushButton* register_ = nullptr;
  QPushButton* delete_ = nullptr;
  QLineEdit* numberEdit_ = nullptr;
  QPushButton* callUp_ = nullptr;
  QPushButton* browse_ = nullptr;
  QComboBox* names_ = nullptr;
  QPushButton* modify_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QPushButton* changeFolder_ = nullptr;
  std::vector<int> nameNumbers_;
};

int run_operation_dialog(QWidget* parent);

void install_template_dialogs();

}  // namespace layout::dialogs
