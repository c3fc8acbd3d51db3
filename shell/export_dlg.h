#pragma once
// CDlgExport2: the save-file dialog of exports, extended below the standard
// controls (panel 10100) by the file format, the colour depth, the
// compression, "マルチページファイルにして出力する" and "スキップ".
//
//   OnInitDialog     fills the lists from the presets (call before running)
//   OnFormatChanged  refills colour and compression, fits the name's extension
//   accept           the checks of the typed name (CheckTarget), in order
//   CheckTarget      the checks as a function of the full path
//
// The caller presets the members of the first block, runs the dialog, and
// after OK reads the results. "スキップ" ends the dialog with kSkipped: the
// caller leaves this file out and goes on with the next. The dialog writes
// nothing; it never lets a name through that names an existing file, also
// not after it added the format's extension to a name typed without one.

#include <QFileDialog>
#include <QString>

#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class ImageFormatChoices;

class CDlgExport2 : public QFileDialog {
  Q_OBJECT

 public:
  static constexpr int kPanelId = 10100;  // the added controls; the dialog's object name
  static constexpr int kSkipped = -1;
  static constexpr int kShowMultiPage = 2;

  // startFolder: the folder shown first; fileName: the proposed name in it.
  CDlgExport2(const QString& startFolder, const QString& fileName, QWidget* parent = nullptr);
  ~CDlgExport2() override;

  // Set by the caller before OnInitDialog.
  int sameFormatOnly = 0;
  int multiPageMode = 0;  // kShowMultiPage shows the check box
  int formatCode = -1;    // presets, and after OK the choices (-1: none)
  int colourBits = -1;
  int quality = -1;
  QString sourceExtension;  // kept by "(同一形式)"
  int skipAllowed = 1;
  // Results after OK.
  QString fileName;  // the full path
  int multiPage = 0;

  void OnInitDialog();
  void OnFormatChanged();
  void accept() override;
  // The message that refuses path, empty when it may be written.
  static QString CheckTarget(const QString& path);

  QLineEdit* fileNameEdit() const;
  QComboBox* formatList() const { return format_; }
  QComboBox* colourList() const { return colour_; }
  QComboBox* compressionList() const { return compression_; }
  QCheckBox* multiPageBox() const { return multiPageBox_; }
  QPushButton* skipButton() const { return skip_; }

 private:
  QString extensionFor(int code) const;
  void refuse(const QString& message);

  QComboBox* format_ = nullptr;
  QComboBox* colour_ = nullptr;
  QComboBox* compression_ = nullptr;
  QCheckBox* multiPageBox_ = nullptr;
  QPushButton* skip_ = nullptr;
  std::unique_ptr<ImageFormatChoices> choices_;
  bool initialising_ = false;
};

// The name with its extension (after the last point of the last component)
// replaced by extension, or extension appended when it has none.
QString ReplaceExtension(const QString& name, const QString& extension);
