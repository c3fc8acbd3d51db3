#pragma once
// ConvertDlg (dialog 10533 "ファイルコンバート"): the format, colour depth and
// compression into which a document's file is converted in place. The
// caller presets the three numbers (the file's own format and depth), runs
// the dialog and reads them back after OK.

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class ImageFormatChoices;

class ConvertDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kDialogId = 10533;

  explicit ConvertDlg(QWidget* parent = nullptr);
  ~ConvertDlg() override;

  int formatCode = 0;
  int colourBits = 0;
  int quality = 0;

  // Selects the presets (call before running).
  void OnInitDialog();
  void accept() override;

  QComboBox* formatList() const { return format_; }
  QComboBox* colourList() const { return colour_; }
  QComboBox* compressionList() const { return compression_; }

 private:
  QComboBox* format_;
  QComboBox* colour_;
  QComboBox* compression_;
  QLabel* note_;
  std::unique_ptr<ImageFormatChoices> choices_;
  bool initialising_ = false;
};
