#pragma once
// What the document asks of its first view, the browser view. Changes go
// the other way through DocumentObserver; these are the two questions the
// document itself needs answered.

class DocumentViews {
 public:
  virtual ~DocumentViews() = default;
  // Whether the view shows the viewer in place of the browser.
  virtual bool ViewerShown() const = 0;
  // Brings the main window to the front before a message that concerns it.
  virtual void BringMainWindowForward() {}
};
