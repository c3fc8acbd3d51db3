#pragma once
// What the browser view and the folder tree ask of the document. The
// document implements it (or an adapter over it does); tests hand in a
// recording fake. Paths are POSIX paths in UTF-8.

#include <string>

class RefreshProgressDlg;

class BrowserDocument {
 public:
  virtual ~BrowserDocument() = default;

  // Loads the folder (path with a trailing slash) into the entry list and the
  // active pane; layoutFlag 1 for a newly chosen folder, 0 for a reload.
  virtual void LoadFolder(const std::string& pathWithTrailingSlash, int layoutFlag) = 0;
  // Closes the open folder's catalogue (nothing when none is open).
  virtual void CloseFolderDatabase() = 0;
  // The next open of the same folder closes and reopens its catalogue.
  virtual void SetReopenRequested() = 0;

  // 1 thumbnail board, 2 list.
  virtual int paneMode() const = 0;
  virtual void setPaneMode(int mode) = 0;

  // The folder of the entry list, without a trailing slash; empty when none.
  virtual std::string GetFolderPath() const = 0;
  virtual void SetFolderPath(const std::string& path) = 0;

  // Registers the files found on disk below path that the catalogues lack,
  // showing its progress in the dialog. Gives what to tell the user once the
  // dialog is closed (empty for nothing).
  virtual std::string RescanFolderTree(RefreshProgressDlg* dialog, const std::string& path) = 0;

  // Set while a folder name is edited in the tree, which suspends the
  // document's accelerator keys.
  virtual void SetLabelEditing(bool editing) = 0;
};
