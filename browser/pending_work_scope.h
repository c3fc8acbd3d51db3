#pragma once
// PendingWorkScope: a board command that works on the open folder's files
// sets the busy flag for its length, so that scans and imports requested
// meanwhile wait; at its end, on every way out, the main frame runs the
// pending work (which clears the flag), or without a frame the flag is
// cleared.

class QWidget;

class PendingWorkScope {
 public:
  // parent: any widget of the main window (may be null).
  explicit PendingWorkScope(QWidget* parent);
  ~PendingWorkScope();
  PendingWorkScope(const PendingWorkScope&) = delete;
  PendingWorkScope& operator=(const PendingWorkScope&) = delete;

 private:
  QWidget* parent_;
};
