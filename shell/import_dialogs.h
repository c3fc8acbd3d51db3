#pragma once
// The small dialogs of the import road.
//
//   CDlgImport          the import file dialog: several files, refused when
//                       more are chosen than the folder can still take
//   ExtensionFilterDlg  "拡張子の指定": builds a list of file patterns
//   HtmlDrawDlg         draws a web page or a mail into the image of an
//                       imaging control, for the page's thumbnail
//
// HtmlDrawDlg draws with QTextDocument (html_page_document.h): a thumbnail
// of the page's text, tables, style sheets and pictures at 800 x 800 pixels,
// the pictures and style sheets of a page from its own folder, those of an
// archive or a mail from its own parts; no scripts, nothing fetched from the
// network, every file read through the guarded reader, and the whole drawing
// within a time limit after which the page is drawn as far as it came. Since
// that drawing completes at once there is no ready state to wait for:
// DoModal draws and ends without showing itself.

#include "formats/html_page_document.h"

#include <QDialog>
#include <QFileDialog>
#include <QStringList>

#include <string>
#include <vector>

class CLead;
class QListWidget;
class QPushButton;

class CDlgImport : public QFileDialog {
  Q_OBJECT
 public:
  // allowed: how many more files the folder can take.
  CDlgImport(QWidget* parent, int allowed);
  int allowed() const { return allowed_; }
  // The file-name check: true when the selection may be taken; otherwise
  // the user is told the allowed number and the dialog stays open.
  bool CheckSelection(const QStringList& files) const;
  // The filters of the import command: all files, images only, text, Word,
  // Excel and the word processor's documents.
  static QStringList Filters();

 protected:
  void accept() override;

 private:
  int allowed_;
};

class ExtensionFilterDlg : public QDialog {
  Q_OBJECT
 public:
  struct Pattern {
    const char* label;
    const char* pattern;
  };
  // The pattern table: the first eight rows for any file, the last three
  // for text documents only.
  static const std::vector<Pattern>& PatternTable();
  static constexpr int kTextRunStart = 8;

  // mode 1: the candidates are the rows of the pattern table (from
  // firstRow up to lastRow, exclusive); otherwise candidates are texts.
  explicit ExtensionFilterDlg(QWidget* parent = nullptr, int mode = 1, int firstRow = 0, int lastRow = kTextRunStart);
  void SetResult(const QString& text);
  QString Result() const { return result_; }

  void OnAdd();
  void OnDelete();
  void accept() override;

  QListWidget* candidates() const { return candidates_; }
  QListWidget* chosen() const { return chosen_; }
  QPushButton* deleteButton() const { return delete_; }

 private:
  void fillChosen();
  int mode_;
  QString result_;
  QListWidget* candidates_;
  QListWidget* chosen_;
  QPushButton* add_;
  QPushButton* delete_;
};

class HtmlDrawDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kSide = 800;
  explicit HtmlDrawDlg(QWidget* parent = nullptr);
  void SetSource(CLead* ctrl, const std::string& htmlPath);
  // Accepted when the page was drawn into the control's image; Rejected
  // when the page could not be read (no message: the caller decides).
  int DoModal();
  // Resources the last drawing read, and those it refused (out of reach,
  // too large, not a picture, or past the time limit).
  int loadedResources() const { return loaded_; }
  int refusedResources() const { return refused_; }
  void SetLimits(const PageLimits& limits) { limits_ = limits; }

 private:
  CLead* ctrl_ = nullptr;
  std::string path_;
  PageLimits limits_;
  int loaded_ = 0;
  int refused_ = 0;
};
