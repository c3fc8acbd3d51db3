#pragma once
// The registration-information dialogs, both captioned "プロパティ":
// ItemPropertyDlg (dialog 10280) for one single item and
// DocumentPropertyDlg (dialog 10281) for a stack, whose lower half shows one
// page at a time. The caller fills the members, runs the dialog and, after
// OK, writes back what changed; the dialogs change nothing themselves.
//
//   ExamineImageFile      resolution, size, format and depth of an image file
//   FormatYmdText         "%d年%d月%d日" of a YYYYMMDD date
//   ItemPropertyDlg       OnInitDialog, accept (the date check)
//   DocumentPropertyDlg   OnInitDialog, ShowPage (the page chooser), accept
//
// The attributes are limited in Shift-JIS bytes: creator 50, keyword 128,
// comment 255. An issue date is year, month and day; all three left empty
// means "no date" (0), as a document registered without one shows it.

#include "catalogue/catalogue_records.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class CLead;
class QComboBox;
class QLabel;
class QLineEdit;

struct ImageFacts {
  QString xResolution;
  QString yResolution;
  QString size;
  QString format;
  QString colours;
};

// What the property dialogs show of an image file. A BMP that reads as the
// default 150 dpi while its header states none gets bmpResolution. A file
// that cannot be examined: empty resolutions, the rest "不明".
ImageFacts ExamineImageFile(CLead& ctrl, const std::string& path, int bmpResolution);
QString FormatYmdText(int ymd);

// The page part shared by both dialogs: attributes, issue date, the dates
// and the image facts.
class RegistrationFields : public QObject {
  Q_OBJECT
 public:
  RegistrationFields(QWidget* owner, class QFormLayout* form);

  void Show(const QString& creator, const QString& keyword, const QString& comment, int officialDate,
            int modifiedDate, int accessedDate, const ImageFacts& facts);
  QString creator() const;
  QString keyword() const;
  QString comment() const;
  // false when year, month and day do not form a date of the years 100-9999.
  bool ReadDate(int& ymd) const;

 private:
  QLineEdit* creator_;
  QLineEdit* keyword_;
  QLineEdit* comment_;
  QLineEdit* year_;
  QLineEdit* month_;
  QLineEdit* day_;
  QLabel* modified_;
  QLabel* accessed_;
  QLineEdit* xRes_;
  QLineEdit* yRes_;
  QLabel* size_;
  QLabel* format_;
  QLabel* colours_;
};

class ItemPropertyDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 10280;

  explicit ItemPropertyDlg(QWidget* parent = nullptr);

  QString filePath;
  QString creator;
  QString keyword;
  QString comment;
  int officialDate = 0;  // YYYYMMDD; after OK the one entered
  int modifiedDate = 0;
  int accessedDate = 0;
  ImageFacts facts;

  void OnInitDialog();
  void accept() override;

 private:
  QLineEdit* path_;
  RegistrationFields* fields_;
};

class DocumentPropertyDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogId = 10281;
  enum PageState { kNotRead = 0, kRead = 1, kChanged = 2 };

  struct Page {
    ItemInfo info;
    QString filePath;
    QString creator;
    QString keyword;
    QString comment;
    int state = kNotRead;
  };

  explicit DocumentPropertyDlg(QWidget* parent = nullptr);

  QString stackTitle;
  int stackOfficialDate = 0;  // after OK the one entered
  int stackModifiedDate = 0;
  int stackAccessedDate = 0;
  int currentPage = 1;  // shown first
  std::vector<Page> pages;
  // The texts of a page not read yet (kNotRead); false when they cannot be read.
  std::function<bool(Page& page)> readTexts;
  // The image facts of a page (image pages only); empty facts when unset.
  std::function<ImageFacts(const ItemInfo& page)> examine;

  void OnInitDialog();
  // Keeps what the page shown holds and shows page number `page`.
  void ShowPage(int page);
  int shownPage() const { return shown_; }
  void accept() override;
  QComboBox* pageChooser() const { return chooser_; }

 private:
  // False (after the message) when the page's date is not a date.
  bool SaveShownPage(bool checkDate);

  QComboBox* chooser_;
  QLineEdit* title_;
  QLineEdit* year_;
  QLineEdit* month_;
  QLineEdit* day_;
  QLabel* modified_;
  QLabel* accessed_;
  RegistrationFields* fields_;
  int shown_ = 0;
  bool initialising_ = false;
};
