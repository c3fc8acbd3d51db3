#pragma once
// InfoPane: the registration information of the shown page: its issue date
// (year, month, day) and its creator, keyword and comment, with the page's
// last-modified and last-accessed dates beside the issue date.
//
//   Fill, Save, Clear, AppendComment   what the viewer frame calls
//   IsModified                         any of the six edits changed
//   EditCommand, EditCommandEnabled    the edit menu on the focused edit
//   CutToSjisBytes                     the byte limits of the three texts
//
// The limits (50, 128, 255) count Shift-JIS bytes, as the catalogue's
// neighbours see the texts; a cut never splits a character.

#include "catalogue/catalogue_records.h"

#include <QWidget>

#include <array>
#include <string>
#include <string_view>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The longest prefix of a UTF-8 text whose Shift-JIS form has at most
// maxBytes bytes. A character without a Shift-JIS code counts two bytes.
std::string CutToSjisBytes(std::string_view utf8, int maxBytes);

class InfoPane : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kYearId = 3000;
  static constexpr int kMonthId = 3001;
  static constexpr int kDayId = 3002;
  static constexpr int kCreatorId = 3003;
  static constexpr int kKeywordId = 3004;
  static constexpr int kCommentId = 3005;
  static constexpr int kCreatorBytes = 50;
  static constexpr int kKeywordBytes = 128;
  static constexpr int kCommentBytes = 255;

  explicit InfoPane(QWidget* parent = nullptr);

  void Fill(const ItemInfo& item, const std::string& creator, const std::string& keyword,
            const std::string& comment);
  // Writes the changed texts into creator, keyword, comment and a valid
  // changed issue date into item.OfficialDate; true when something was
  // changed (a refused date counts, as the user was told).
  bool Save(ItemInfo& item, std::string& creator, std::string& keyword, std::string& comment);
  void Clear();
  void AppendComment(const std::string& text);
  bool IsModified() const;
  int textHeight() const { return textHeight_; }

  QLineEdit* yearEdit() const { return year_; }
  QLineEdit* monthEdit() const { return month_; }
  QLineEdit* dayEdit() const { return day_; }
  QLineEdit* creatorEdit() const { return creator_; }
  QLineEdit* keywordEdit() const { return keyword_; }
  QPlainTextEdit* commentEdit() const { return comment_; }
  QString datesText() const;
  int beeps() const { return beeps_; }

  void EditCommand(int commandId);
  bool EditCommandEnabled(int commandId) const;

 signals:
  void activated();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void layoutFields();
  void onDateEdited(QLineEdit* edit);
  QWidget* focusedEdit() const;

  QLineEdit* year_ = nullptr;
  QLineEdit* month_ = nullptr;
  QLineEdit* day_ = nullptr;
  QLineEdit* creator_ = nullptr;
  QLineEdit* keyword_ = nullptr;
  QPlainTextEdit* comment_ = nullptr;
  std::array<QLabel*, 6> labels_{};  // 作成者, ｷｰﾜｰﾄﾞ, ｺﾒﾝﾄ, 発行日, 年, 月
  QLabel* dates_ = nullptr;
  std::array<QString, 3> dateTexts_;  // the accepted year, month and day
  int lastModified_ = 0;
  int lastAccessed_ = 0;
  int textHeight_ = 0;
  int beeps_ = 0;
  bool filling_ = false;
};
