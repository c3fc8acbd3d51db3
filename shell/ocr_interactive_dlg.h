#pragma once
// The interactive OCR dialog (dlg10200): the user steps through the
// prepared images, recognises one or all of them on the hosted OCR control,
// corrects the texts, and on OK the texts are written beside the images
// (<image>.TXT) for the OCR road to store.

#include "shell/ocr_batch.h"
#include "shell/ocr_control_host.h"

#include <QDialog>

#include <string>
#include <vector>

class QComboBox;
class QPlainTextEdit;
class QPushButton;
class QScrollArea;

class OcrDlg : public QDialog {
  Q_OBJECT
 public:
  // The "<未処理> " mark of an image not yet recognised.
  static const QString kUnreadMark;

  // pages: the prepared images (path and resolution). language and
  // halfWidth: the program's choice, or 2 for the dialog's stored keys.
  OcrDlg(CZeqOcr3& control, std::string dictionaryFolder, std::vector<OcrPage> pages, int language, int halfWidth,
         QWidget* parent = nullptr);
  ~OcrDlg() override;

  // Shows image n at the reduction that fits the view.
  void ShowImage(int n);
  // The shown image / every image in turn. False when the run stopped
  // (Cancel at the question, or a failed recognition).
  bool RecogniseShown();
  bool RecogniseAll();
  // The parameter dialog; its values become the current ones.
  void EditParams();

  int current() const { return current_; }
  QString text(int n) const { return texts_.at(static_cast<std::size_t>(n)); }
  bool recognised(int n) const;
  short displayScale() const { return scale_; }
  const OcrParams& params() const { return params_; }

  // OK writes the texts of the recognised images; both OK and Cancel keep
  // the parameters for the next time.
  void accept() override;
  void reject() override;

 private:
  bool recognise(int n, bool inBatch);
  void showText();

  CZeqOcr3& control_;
  std::vector<OcrPage> pages_;
  std::vector<QString> texts_;
  OcrParams params_;
  QComboBox* images_;
  QPlainTextEdit* edit_;
  QPushButton* ok_;
  QScrollArea* view_;
  QSize viewSize_;
  short scale_ = 1;
  int current_ = -1;
  bool filling_ = false;
};
