#pragma once
// The OCR dialogs that host the OCR control.
//
//   OcrProgressDlg   dlg10210: the batch, one page after another, with stop
//   OcrParamDlg      dlg10220: the seven recognition parameters
//   OcrSettingsDlg   dlg10470: the viewer's recognition of the image it shows

#include "shell/ocr_batch.h"
#include "shell/ocr_control_host.h"

#include <QDialog>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace platform {
class Timer;
}

// Runs the batch at the first tick of its timer (500 ms after it opened)
// and ends with 1 when every page was read, 0 when it stopped or failed.
class OcrProgressDlg : public QDialog {
  Q_OBJECT
 public:
  OcrProgressDlg(PageRecogniser& recogniser, const std::vector<OcrPage>& pages, QWidget* parent = nullptr);
  ~OcrProgressDlg() override;
  QPushButton* stopButton() const { return stop_; }
  QString pageText() const;
  OcrBatchOutcome outcome() const { return outcome_; }

 signals:
  // Page i (0-based) is about to be read.
  void pageStarted(int index);

 protected:
  void reject() override;  // Escape and the close button stop like the button

 private:
  void runBatch();

  PageRecogniser& recogniser_;
  const std::vector<OcrPage>& pages_;
  QLabel* text_;
  QPushButton* stop_;
  std::unique_ptr<platform::Timer> timer_;
  bool stopRequested_ = false;
  bool running_ = false;
  OcrBatchOutcome outcome_ = OcrBatchOutcome::NotStarted;
};

// The controls the parameter and settings dialogs share.
class OcrParamControls : public QObject {
  Q_OBJECT
 public:
  explicit OcrParamControls(QDialog& dialog);
  void Set(const OcrParams& params);
  OcrParams Get() const;
  // The letter-direction list and the enabled controls, from the language
  // and line-end choices.
  void Refresh();
  // False (with the message) when Japanese is chosen and no character kind.
  bool CheckCharacterKinds(const OcrParams& params) const;
  QComboBox* direction() const { return direction_; }

 private:
  QDialog& dialog_;
  QButtonGroup* language_;
  QButtonGroup* form_;
  QButtonGroup* lineEnds_;
  QButtonGroup* blanks_;
  QButtonGroup* output_;
  QComboBox* direction_;
  QCheckBox* kinds_[6];
};

class OcrParamDlg : public QDialog {
  Q_OBJECT
 public:
  OcrParamDlg(const OcrParams& params, QWidget* parent = nullptr);
  OcrParams params() const { return params_; }
  OcrParamControls& controls() { return *controls_; }
  void accept() override;

 private:
  OcrParamControls* controls_;
  OcrParams params_;
};

// Recognises one image as a whole page. "実行" ends with OK and the text;
// a recognition that failed (or a control that could not be made) is told
// and ends the dialog as cancelled, so the caller stores nothing.
class OcrSettingsDlg : public QDialog {
  Q_OBJECT
 public:
  OcrSettingsDlg(std::string dictionaryFolder, std::string imagePath, int resolution, QWidget* parent = nullptr);
  ~OcrSettingsDlg() override;
  OcrParamControls& controls() { return *controls_; }
  // The viewer's stored choices.
  void SetParams(const OcrParams& params, int outputTarget);
  const std::string& resultText() const { return text_; }
  bool succeeded() const { return succeeded_; }
  // 0 the attached text file, 1 the comment field.
  int outputTarget() const;
  void accept() override;
  void reject() override;

 private:
  OcrParamControls* controls_;
  QRadioButton* toText_;
  QRadioButton* toComment_;
  std::string folder_;
  std::string image_;
  int resolution_;
  std::string text_;
  bool succeeded_ = false;
  bool running_ = false;
};
