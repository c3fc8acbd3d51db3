#pragma once
// What a long operation sees of its progress display: core code (import,
// search, migration, compaction) takes this interface, so it runs and is
// tested without widgets; the progress dialogs implement it.

#include <string>

class ProgressReporter {
 public:
  virtual ~ProgressReporter() = default;
  // Lets waiting events through; true when the user asked to cancel since the
  // last call (reading clears the request).
  virtual bool PumpAndCheckCancel() = 0;
  // The main line of text, e.g. the file being worked on. Optional.
  virtual void SetProgressText(const std::string& text) {}
  // A second line under it, e.g. how far a count has come. Optional.
  virtual void SetProgressDetail(const std::string& text) {}
};

// For callers that need none.
class NullProgressReporter : public ProgressReporter {
 public:
  bool PumpAndCheckCancel() override { return false; }
};
