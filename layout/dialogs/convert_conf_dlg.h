// "ConvertConf": asks whether the template table of a folder, written by an
// earlier version, is to be converted, and from which kind of records.
//
//   ConvertConfDialog     the dialog (OK accepts with a mode, Cancel rejects)
//   confirm_conversion    the question check_template_table asks: it shows
//                         the dialog, and check_template_table then converts
//                         and reports the conversion's own result, so a
//                         failed conversion is never taken for a usable table
#pragma once

#include "layout/template_table.h"

#include <QDialog>

#include <string>

class QRadioButton;

namespace layout::dialogs {

class ConvertConfDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ConvertConfDialog(const std::string& folder, QWidget* parent = nullptr);

  // 1 for the 16-bit version's records, 2 for the 32-bit version's.
  int mode() const;

 private:
  QRadioButton* sixteen_ = nullptr;
};

ConvertConfirm confirm_conversion(QWidget* parent);

}  // namespace layout::dialogs
