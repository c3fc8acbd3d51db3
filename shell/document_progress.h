#pragma once
// What the document sees of the progress displays of its long operations.
// The document reports through these interfaces and never makes a window;
// the GUI implements them with its progress dialogs (progress_dialogs.h),
// tests with recorders.
//
//   ImportProgress   one import: the file being imported, a position from
//                    0 to 100 within it, and the user's cancel
//   ProgressSink     makes a display for a long operation the document
//                    starts itself (loading a large folder)

#include "shell/progress_reporter.h"

#include <memory>
#include <string>

class ImportProgress : public virtual ProgressReporter {
 public:
  // The file now imported, the current-th of total ("%dファイル中の%dファイル目"
  // is left out when total is 1), followed by " をインポート中です。".
  virtual void ShowFile(const std::string& name, int current, int total) = 0;
  // The file followed by a text of its own (" の変換中です。").
  virtual void ShowFileStage(const std::string& name, const std::string& suffix) = 0;
  // Moves to `position` (0..100 within the current file), letting waiting
  // events through; returns the previous position.
  virtual int StepTo(int position) = 0;
};

class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // A display titled `title` with `message` as its main line, shown until
  // the returned reporter is destroyed; null when nothing is shown.
  // SetProgressDetail of the reporter sets its second line.
  virtual std::unique_ptr<ProgressReporter> BeginProgress(const std::string& title,
                                                          const std::string& message) = 0;
};
