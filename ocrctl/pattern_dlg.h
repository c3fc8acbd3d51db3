#pragma once
// "ﾕｰｻﾞ辞書の管理": the user looks through the patterns of the pattern file,
// switches them between valid and invalid, deletes them, and changes to
// another pattern file. The work on the file is PatternManagement's
// (pattern_dlg_model.h); this is its window.
#include "ocrctl/control_dialogs.h"
#include "ocrctl/pattern_dlg_model.h"

#include <QDialog>
#include <QFrame>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace ocrctl {

class OcrControl;

// The 64 x 64 pattern of the selected row, centred; grey with none.
class PatternPreview : public QFrame {
 public:
  explicit PatternPreview(QWidget* parent);
  void setRecord(const PatternRecord* record);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  const PatternRecord* record_ = nullptr;
};

class PatternDlg : public QDialog {
 public:
  explicit PatternDlg(PatternStore& store, PatternEngineCalls engine = PatternEngineCalls::engine(),
                      QWidget* parent = nullptr);

  // Picks the file for "辞書変更..." starting in the given folder; empty =
  // cancelled. By default a file dialog; tests answer it.
  std::function<QString(const QString& folder)> chooseFile;

  const PatternManagement& session() const { return session_; }
  int selectedRow() const { return selected_; }

  void toggleSelected();
  void deleteSelected();
  void changeFile();

 public:
  void accept() override;
  void reject() override;

 private:
  void fill();
  void updateButtons();
  void selectionChanged();
  void setFlagText(int row);
  QString askForFile(const QString& folder);

  PatternManagement session_;
  int selected_ = -1;
  QLineEdit* path_ = nullptr;
  QLabel* count_ = nullptr;
  QTreeWidget* list_ = nullptr;
  PatternPreview* preview_ = nullptr;
  QPushButton* toggle_ = nullptr;
  QPushButton* delete_ = nullptr;
};

// UserPatMant: the dialog over the control's pattern store; 0 after OK, -1
// otherwise. When the dialog wrote the file or changed to another one, the
// control takes the store's path, count and loaded section again.
short runPatternManagement(OcrControl& control, const DialogRunner& runner);

}  // namespace ocrctl
