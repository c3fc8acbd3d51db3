#pragma once
// The document as the browser sees it: BrowserDocument over CFD3Doc.

#include "browser/browser_document.h"

class CFD3Doc;

class Fd3DocAdapter : public BrowserDocument {
 public:
  explicit Fd3DocAdapter(CFD3Doc& document) : document_(document) {}

  void LoadFolder(const std::string& pathWithTrailingSlash, int layoutFlag) override;
  void CloseFolderDatabase() override;
  void SetReopenRequested() override;
  int paneMode() const override;
  void setPaneMode(int mode) override;
  std::string GetFolderPath() const override;
  void SetFolderPath(const std::string& path) override;
  std::string RescanFolderTree(RefreshProgressDlg* dialog, const std::string& path) override;
  void SetLabelEditing(bool editing) override;

 private:
  CFD3Doc& document_;
};
