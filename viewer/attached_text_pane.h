#pragma once
// AttachedTextPane: the attached text of the shown page, the file beside the
// page's image named "<title>.<ext>.<TextExt>" that recognition writes and
// the full-text search reads. The file is Shift-JIS on disk; the pane edits
// it without a length limit.
//
//   Load, Save, Clear, AppendText    what the viewer frame calls
//   IsModified, TextPath
//   EditCommand, EditCommandEnabled, BuildEditMenu
//
// A file that is not valid Shift-JIS opens read-only with a message, so that
// it is never rewritten with characters it never held. A save goes to a
// temporary file renamed into place; a failed one keeps the pane modified
// and the item's TextExt as it was.

#include "catalogue/catalogue_records.h"

#include <QPlainTextEdit>

#include <string>

class QMenu;

class AttachedTextPane : public QPlainTextEdit {
  Q_OBJECT

 public:

  explicit AttachedTextPane(QWidget* parent = nullptr);

  // folder without trailing slash.
  void Load(const std::string& folder, const ItemInfo& item);
  // May set or clear item.TextExt; true when the file was written or removed.
  bool Save(ItemInfo& item);
  void Clear();
  void AppendText(const std::string& text);
  bool IsModified() const;
  const std::string& TextPath() const { return path_; }
  // The page's file (and so its text file's name) was renamed.
  void PageRenamed(const std::string& oldFile, const std::string& newFile) {
    if (path_.rfind(oldFile + ".", 0) == 0) path_ = newFile + path_.substr(oldFile.size());
  }

  void EditCommand(int commandId);
  bool EditCommandEnabled(int commandId) const;
  QMenu* BuildEditMenu();

 signals:
  void activated();

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void loadFailed(const char* message);

  std::string path_;
  std::string folder_;
};
