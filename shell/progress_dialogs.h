#pragma once
// The family of modeless progress dialogs that long operations run inside.
//
//   ProgressDialog       common base: owner disabling, cancel flag, pumping
//   ScannerStartDlg      "Twain 起動中" while the scanner starts
//   CopyProgressDlg      copying or rotating files
//   ImportProgressDlg    import with a bar and a percentage
//   GeneralProgressDlg   two centred lines of text, no cancel
//   SearchProgressDlg    hit count and the folder being searched
//   RefreshProgressDlg   one centred line while a tree is rescanned
//   DownloadProgressDlg  the update download, owned by the main window
//   WaitDialog           animation and texts, shown only after a delay
//
// Every step of an operation calls PumpAndCheckCancel(), which dispatches all
// waiting events (so the dialog repaints and its cancel button works) and
// returns the cancel request once. A dialog disables its owner while it is
// shown and enables it again on Close() or destruction, unless the owner was
// already disabled before; the keyboard focus then goes back to the widget
// that had it (disabling the owner took it away). The dialog itself is a separate top-level window
// (transient for its owner): a child window would be disabled with the owner.
// Texts are set only when they change, so unchanged steps do not flicker.

#include "shell/document_progress.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

namespace platform {
class Timer;
}

class CenteredTextLabel;
class QLabel;
class QProgressBar;
class QPushButton;
class BusyAnimation;

// The window whose top-level window a dialog disables; the main window when
// none is given.
void setProgressMainWindow(QWidget* mainWindow);
QWidget* progressMainWindow();

class ProgressDialog : public QDialog, public virtual ProgressReporter {
  Q_OBJECT
 public:
  ~ProgressDialog() override;

  // Disables the safe owner of parent (its top-level window) when it is
  // enabled, then shows the dialog. False when there is nothing to show on.
  bool Create(QWidget* parent);
  // Enables the owner and hides the dialog; a dialog still waiting for its
  // delay never appears.
  void Close();
  bool PumpAndCheckCancel() override;

  bool ownerDisabledByUs() const { return disabledOwner_; }

 protected:
  ProgressDialog(int templateId, const QString& caption, QWidget* = nullptr);
  QLabel* addLabel(int controlId, const QString& text = {});
  QPushButton* cancelButton() const { return cancel_; }
  void requestCancel() { cancelRequested_ = true; }
  static void setTextIfChanged(QLabel* label, const QString& text);
  void disableOwner(QWidget* owner);
  void enableOwner();
  void placeOverOwner();
  // Runs appear when ms have passed (the program's timer source), unless
  // the dialog is closed first.
  void appearAfter(int ms, std::function<void()> appear);
  virtual void onCancel() { requestCancel(); }

 private:
  void reject() override;  // Escape and the close button act as cancel

  QPointer<QWidget> owner_;
  QPointer<QWidget> focusBefore_;
  bool disabledOwner_ = false;
  bool cancelRequested_ = false;
  QPushButton* cancel_ = nullptr;
  std::unique_ptr<platform::Timer> appearTimer_;
};

class ScannerStartDlg : public ProgressDialog {
  Q_OBJECT
 public:
  ScannerStartDlg();
  bool Create(QWidget* parent);
};

class CopyProgressDlg : public ProgressDialog {
  Q_OBJECT
 public:
  enum Mode { Rotate = 0, Copy = 1 };
  explicit CopyProgressDlg(int mode);
  void SetFileName(const QString& name);
  void SetCount(int current, int total);
  void SetText(const QString& text);
  void SetProgressText(const std::string& text) override { SetFileName(QString::fromStdString(text)); }

 private:
  QLabel* file_;
  QLabel* count_;
  QLabel* text_;
};

class ImportProgressDlg : public ProgressDialog, public ImportProgress {
  Q_OBJECT
 public:
  ImportProgressDlg();
  void SetRange(int low, int high);
  // "%dファイル中の%dファイル目\n" (left out when total is 1) + "%s をインポート中です。"
  void SetFile(const QString& name, int current = 1, int total = 1);
  void SetFileWithSuffix(const QString& name, const QString& suffix, int current = 1, int total = 1);
  void SetFileAndSuffixOnly(const QString& name, const QString& suffix);
  // Pumps, moves the bar and shows the percentage; returns the previous
  // position. The position is within the current file; with several files
  // the bar and the percentage show the whole import.
  int StepTo(int position) override;
  int position() const { return position_; }
  int barValue() const;
  int barMaximum() const;
  QString percentText() const;
  QString fileText() const;
  void SetProgressText(const std::string& text) override { SetFile(QString::fromStdString(text)); }
  void ShowFile(const std::string& name, int current, int total) override {
    SetFile(QString::fromStdString(name), current, total);
  }
  void ShowFileStage(const std::string& name, const std::string& suffix) override {
    SetFileAndSuffixOnly(QString::fromStdString(name), QString::fromStdString(suffix));
  }

 private:
  static QString countPrefix(int current, int total);
  void setCount(int current, int total);
  QProgressBar* bar_;
  QLabel* percent_;
  QLabel* text_;
  int low_ = 0;
  int high_ = 100;
  int position_ = 0;
  int current_ = 1;
  int total_ = 1;
};

class GeneralProgressDlg : public ProgressDialog {
  Q_OBJECT
 public:
  GeneralProgressDlg();
  void SetMessage(const QString& text);
  void SetSubMessage(const QString& text);
  void SetProgressText(const std::string& text) override { SetMessage(QString::fromStdString(text)); }
  void SetProgressDetail(const std::string& text) override { SetSubMessage(QString::fromStdString(text)); }

 private:
  CenteredTextLabel* main_;
  CenteredTextLabel* sub_;
};

// The document's own long operations shown in a GeneralProgressDlg over
// owner (the main window when none is given).
class DialogProgressSink : public ProgressSink {
 public:
  explicit DialogProgressSink(QWidget* owner = nullptr) : owner_(owner) {}
  std::unique_ptr<ProgressReporter> BeginProgress(const std::string& title, const std::string& message) override;

 private:
  QPointer<QWidget> owner_;
};

class SearchProgressDlg : public ProgressDialog {
  Q_OBJECT
 public:
  SearchProgressDlg();
  void SetFound(int count);
  void SetProgress(int done, int total);
  void SetFolder(const QString& path);
  QString countText() const;

 private:
  QLabel* count_;
  QLabel* folder_;
};

class RefreshProgressDlg : public ProgressDialog {
  Q_OBJECT
 public:
  RefreshProgressDlg();
  void SetText(const QString& text);
  void SetProgressText(const std::string& text) override { SetText(QString::fromStdString(text)); }

 private:
  CenteredTextLabel* text_;
};

class DownloadProgressDlg : public ProgressDialog {
  Q_OBJECT
 public:
  DownloadProgressDlg();
  bool Create();  // owned by the main window
  void SetText(const QString& text);
  void SetPosition(int percent);
  // After a cancel the dialog has ended: no pumping, the request stays visible.
  bool PumpAndCheckCancel() override;

 protected:
  void onCancel() override;

 private:
  QProgressBar* bar_;
  QLabel* text_;
  bool cancelled_ = false;
};

class WaitDialog : public ProgressDialog {
  Q_OBJECT
 public:
  WaitDialog(const QString& text = {}, const QString& subText = {}, bool showCancel = false,
             int delayMs = 0);
  ~WaitDialog() override;
  // Disables the main window; shows at once, or when the delay has passed.
  bool Create();
  bool animating() const;

 protected:
  void onCancel() override;

 private:
  void appear();
  QLabel* text_;
  QLabel* subText_;
  BusyAnimation* animation_;
  int delayMs_;
};
