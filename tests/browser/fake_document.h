#pragma once
// A document that records what the browser asks of it.

#include "browser/browser_document.h"

#include <string>
#include <utility>
#include <vector>

class FakeDocument : public BrowserDocument {
 public:
  std::vector<std::pair<std::string, int>> loads;
  int closes = 0;
  int reopenRequests = 0;
  int rescans = 0;
  int mode = 1;
  std::string folderPath;
  bool labelEditing = false;
  int labelEditStarts = 0;

  void LoadFolder(const std::string& path, int layoutFlag) override {
    loads.emplace_back(path, layoutFlag);
    if (!path.empty()) folderPath = path.substr(0, path.size() - 1);
  }
  void CloseFolderDatabase() override { ++closes; }
  void SetReopenRequested() override { ++reopenRequests; }
  int paneMode() const override { return mode; }
  void setPaneMode(int m) override { mode = m; }
  std::string GetFolderPath() const override { return folderPath; }
  void SetFolderPath(const std::string& path) override { folderPath = path; }
  std::string RescanFolderTree(RefreshProgressDlg*, const std::string&) override {
    ++rescans;
    return {};
  }
  void SetLabelEditing(bool editing) override {
    if (editing) ++labelEditStarts;
    labelEditing = editing;
  }
  std::string lastLoad() const { return loads.empty() ? std::string() : loads.back().first; }
};
