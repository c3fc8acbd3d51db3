// "confTemp", the template confirmation dialog: one template of the template
// folder shown field by field in the image window with its settings, in one
// of its modes (reference, register, delete, modify, confirm).
//
//   TemplateConfirmDialog     the dialog; start() does the opening work and
//                             says whether the dialog is to be shown at all
//   run_confirm_dialog        creates, starts and runs it: 1 OK, 0 otherwise
//   set_char_kind_editor      the character-kind dialog that 1044 opens
#pragma once

#include "layout/records.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace layout::dialogs {

class TemplateImageWindow;

// Edits the character kinds of a field: `target` is -1 for a text region
// (then *mask is the field's mask, changed on OK) or the number of a table
// group.  1 when the user confirmed.
using CharKindEditor = int (*)(QWidget* parent, int target, int* mask);
void set_char_kind_editor(CharKindEditor editor);

class TemplateConfirmDialog : public QDialog {
  Q_OBJECT

 public:
  TemplateConfirmDialog(QWidget* parent, int mode, int number);
  ~TemplateConfirmDialog() override;

  // The opening work; false when there is nothing to show (the dialog then
  // ends with 0 without being shown).
  bool start();
  int mode() const { return mode_; }

  // The field whose settings are shown (the image window's selection).
  void showFieldSettings(const userfld* field);
  TemplateImageWindow* imageWindow() const { return image_; }

 public slots:
  void accept() override;
  void reject() override;

 private:
  void buildControls();
  void showTemplate();
  void stepTemplate(int direction);
  void setEnabledStates(const userfld* field);
  userfld* currentField() const;
  void storeSetting(const std::function<void(ParamBlock&)>& change);
  void finish();

  int mode_;
  int number_;
  bool settingsEditable_ = false;
  bool loading_ = false;
  TemplateImageWindow* image_ = nullptr;
  QLabel* folder_ = nullptr;
  QLabel* registered_ = nullptr;
  QLineEdit* numberEdit_ = nullptr;
  QCheckBox* excluded_ = nullptr;
  QLineEdit* nameEdit_ = nullptr;
  QLabel* fieldNumber_ = nullptr;
  QGroupBox* conditions_ = nullptr;
  QComboBox* area_ = nullptr;
  QComboBox* columns_ = nullptr;
  QComboBox* language_ = nullptr;
  QCheckBox* hRules_ = nullptr;
  QCheckBox* vRules_ = nullptr;
  QCheckBox* autoRules_ = nullptr;
  QCheckBox* hDotted_ = nullptr;
  QCheckBox* vDotted_ = nullptr;
  QCheckBox* blanks_ = nullptr;
  QCheckBox* lineBreaks_ = nullptr;
  QCheckBox* oneRegion_ = nullptr;
  QLineEdit* kinds_ = nullptr;
  QPushButton* changeKinds_ = nullptr;
  QCheckBox* useLines_ = nullptr;
  QPushButton* previous_ = nullptr;
  QPushButton* next_ = nullptr;
  QComboBox* scale_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

// 1 when the dialog ended with OK, 0 when it was cancelled or had nothing
// to show.
int run_confirm_dialog(QWidget* parent, int mode, int number);

}  // namespace layout::dialogs
