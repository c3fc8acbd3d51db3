#include "viewer/info_pane.h"

#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "viewer/viewer_commands.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QValidator>

#include <algorithm>

namespace {

constexpr const char* kSaveCaption = "保存";
constexpr int kLeapYear = 2000;  // stands in for a year still being typed

int sjisBytesOf(std::string_view character) {
  const int n = platform::cp932Length(character);
  return n < 0 ? 2 : n;
}

// Refuses a text whose Shift-JIS form would exceed the limit, or that holds
// a character Shift-JIS cannot write.
class SjisByteValidator : public QValidator {
 public:
  SjisByteValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
  State validate(QString& input, int&) const override {
    const int n = platform::cp932Length(input.toStdString());
    return n >= 0 && n <= maxBytes_ ? Acceptable : Invalid;
  }

 private:
  int maxBytes_;
};

std::string rightTrimmed(const QString& text) {
  qsizetype end = text.size();
  while (end > 0 && text.at(end - 1).isSpace()) --end;
  return text.left(end).toStdString();
}

QString ymdText(int ymd) {
  return QStringLiteral("%1年%2月%3日").arg(ymd / 10000).arg(ymd / 100 % 100).arg(ymd % 100);
}

}  // namespace

std::string CutToSjisBytes(std::string_view utf8, int maxBytes) {
  std::size_t at = 0;
  int bytes = 0;
  while (at < utf8.size()) {
    const std::size_t length = std::min(platform::utf8SequenceLength(static_cast<unsigned char>(utf8[at])),
                                        utf8.size() - at);
    const int width = sjisBytesOf(utf8.substr(at, length));
    if (bytes + width > maxBytes) break;
    bytes += width;
    at += length;
  }
  return std::string(utf8.substr(0, at));
}

InfoPane::InfoPane(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  textHeight_ = fontMetrics().height() + 6;
  const auto makeLine = [this](int id) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QStringLiteral("ctl%1").arg(id));
    edit->installEventFilter(this);
    return edit;
  };
  year_ = makeLine(kYearId);
  month_ = makeLine(kMonthId);
  day_ = makeLine(kDayId);
  year_->setMaxLength(4);
  month_->setMaxLength(2);
  day_->setMaxLength(2);
  creator_ = makeLine(kCreatorId);
  keyword_ = makeLine(kKeywordId);
  creator_->setValidator(new SjisByteValidator(kCreatorBytes, creator_));
  keyword_->setValidator(new SjisByteValidator(kKeywordBytes, keyword_));
  comment_ = new QPlainTextEdit(this);
  comment_->setObjectName(QStringLiteral("ctl%1").arg(kCommentId));
  comment_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  comment_->installEventFilter(this);
  comment_->viewport()->installEventFilter(this);
  for (QLineEdit* date : {year_, month_, day_})
    connect(date, &QLineEdit::textEdited, this, [this, date] { onDateEdited(date); });
  const char* texts[] = {"作成者", "ｷｰﾜｰﾄﾞ", "ｺﾒﾝﾄ", "発行日", "年", "月"};
  for (std::size_t i = 0; i < labels_.size(); ++i) labels_[i] = new QLabel(QString::fromUtf8(texts[i]), this);
  dates_ = new QLabel(this);
  dates_->setObjectName(QStringLiteral("datesText"));
  setTabOrder(year_, month_);
  setTabOrder(month_, day_);
  setTabOrder(day_, creator_);
  setTabOrder(creator_, keyword_);
  setTabOrder(keyword_, comment_);
  comment_->setTabChangesFocus(true);
}

void InfoPane::Fill(const ItemInfo& item, const std::string& creator, const std::string& keyword,
                    const std::string& comment) {
  filling_ = true;
  const int date = item.OfficialDate;
  year_->setText(date > 0 ? QString::number(date / 10000) : QString());
  month_->setText(date > 0 ? QString::number(date / 100 % 100) : QString());
  day_->setText(date > 0 ? QString::number(date % 100) : QString());
  dateTexts_ = {year_->text(), month_->text(), day_->text()};
  creator_->setText(QString::fromStdString(creator));
  keyword_->setText(QString::fromStdString(keyword));
  comment_->setPlainText(QString::fromStdString(comment));
  for (QLineEdit* edit : {year_, month_, day_, creator_, keyword_}) edit->setModified(false);
  comment_->document()->setModified(false);
  lastModified_ = item.LastModifiedDate;
  lastAccessed_ = item.LastAccessedDate;
  dates_->setText(datesText());
  filling_ = false;
}

QString InfoPane::datesText() const {
  return QStringLiteral("日  更新日: %1  参照日: %2").arg(ymdText(lastModified_), ymdText(lastAccessed_));
}

void InfoPane::Clear() {
  filling_ = true;
  for (QLineEdit* edit : {year_, month_, day_, creator_, keyword_}) edit->clear();
  comment_->clear();
  comment_->document()->setModified(false);
  dateTexts_ = {};
  lastModified_ = lastAccessed_ = 0;
  dates_->clear();
  filling_ = false;
}

bool InfoPane::IsModified() const {
  return year_->isModified() || month_->isModified() || day_->isModified() || creator_->isModified() ||
         keyword_->isModified() || comment_->document()->isModified();
}

void InfoPane::onDateEdited(QLineEdit* edit) {
  if (filling_) return;
  const int slot = edit == year_ ? 0 : edit == month_ ? 1 : 2;
  const QString text = edit->text();
  bool digitsOnly = true;
  for (QChar c : text) digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
  bool valid = digitsOnly;
  if (valid && !text.isEmpty()) {
    std::array<QString, 3> parts = dateTexts_;
    parts[static_cast<std::size_t>(slot)] = text;
    const int month = parts[1].toInt();
    const int day = parts[2].toInt();
    // A year still being typed (fewer than four digits) is checked as a
    // leap year, so that typing "2024" towards 29 February is not refused.
    const int year = parts[0].size() == 4 ? parts[0].toInt() : kLeapYear;
    if (!parts[1].isEmpty() && (month < 1 || month > 12)) valid = false;
    if (valid && !parts[2].isEmpty()) {
      const int lastDay = parts[1].isEmpty() ? 31 : QDate(year == 0 ? kLeapYear : year, month, 1).daysInMonth();
      if (day < 1 || day > lastDay) valid = false;
    }
  }
  if (!valid) {
    ++beeps_;
    QApplication::beep();
    const bool wasModified = edit->isModified();
    edit->setText(dateTexts_[static_cast<std::size_t>(slot)]);
    edit->setModified(wasModified);
    return;
  }
  dateTexts_[static_cast<std::size_t>(slot)] = text;
}

bool InfoPane::Save(ItemInfo& item, std::string& creator, std::string& keyword, std::string& comment) {
  bool changed = false;
  if (creator_->isModified()) {
    creator = CutToSjisBytes(rightTrimmed(creator_->text()), kCreatorBytes);
    changed = true;
  }
  if (keyword_->isModified()) {
    keyword = CutToSjisBytes(rightTrimmed(keyword_->text()), kKeywordBytes);
    changed = true;
  }
  if (comment_->document()->isModified()) {
    comment = CutToSjisBytes(rightTrimmed(comment_->toPlainText()), kCommentBytes);
    changed = true;
  }
  if (year_->isModified() || month_->isModified() || day_->isModified()) {
    changed = true;
    const QString y = year_->text(), m = month_->text(), d = day_->text();
    if (y.isEmpty() || m.isEmpty() || d.isEmpty()) {
      platform::messageBox("発行日に入力されていない項目があります。\n保存されません。", platform::Buttons::Ok,
                           platform::Icon::Warning, kSaveCaption);
    } else if (y.toInt() < 100 || y.toInt() > 9999 || m.toInt() < 1 || m.toInt() > 12 || d.toInt() < 1 ||
               d.toInt() > 31) {
      platform::messageBox("発行日に設定できない日付が設定されました。\n保存されません。", platform::Buttons::Ok,
                           platform::Icon::Warning, kSaveCaption);
    } else {
      item.OfficialDate = y.toInt() * 10000 + m.toInt() * 100 + d.toInt();
    }
  }
  for (QLineEdit* edit : {year_, month_, day_, creator_, keyword_}) edit->setModified(false);
  comment_->document()->setModified(false);
  return changed;
}

void InfoPane::AppendComment(const std::string& text) {
  if (text.empty()) return;
  QString whole = comment_->toPlainText() + QString::fromStdString(text);
  const std::string cut = CutToSjisBytes(whole.toStdString(), kCommentBytes);
  comment_->setPlainText(QString::fromStdString(cut));
  comment_->moveCursor(QTextCursor::End);
  comment_->ensureCursorVisible();
  comment_->document()->setModified(true);
}

void InfoPane::resizeEvent(QResizeEvent*) { layoutFields(); }

void InfoPane::layoutFields() {
  const QFontMetrics metrics = fontMetrics();
  const int h = textHeight_;
  const int w = metrics.horizontalAdvance(QStringLiteral("0000")) + 14;
  const int x = metrics.horizontalAdvance(QStringLiteral("作成者")) + 16;
  const int width = std::max(0, this->width() - 8 - x);
  creator_->setGeometry(x, 8, width, h);
  keyword_->setGeometry(x, h + 16, width, h);
  comment_->setGeometry(x, 2 * h + 24, width, std::max(h, height() - (h + 16) - (2 * h + 24)));
  const int row = height() - h - 8;
  // Room for two digits inside an edit's frame, and for a label between.
  const int half = metrics.horizontalAdvance(QStringLiteral("00")) + 14;
  const int gap = metrics.horizontalAdvance(QStringLiteral("年")) + 10;
  year_->setGeometry(x, row, w, h);
  month_->setGeometry(x + w + gap, row, half, h);
  day_->setGeometry(x + w + gap + half + gap, row, half, h);
  const int labelWidth = x - 8;
  labels_[0]->setGeometry(4, 8, labelWidth, h);
  labels_[1]->setGeometry(4, h + 16, labelWidth, h);
  labels_[2]->setGeometry(4, 2 * h + 24, labelWidth, h);
  labels_[3]->setGeometry(4, row, labelWidth, h);
  labels_[4]->setGeometry(x + w + 4, row, gap, h);
  labels_[5]->setGeometry(x + w + gap + half + 4, row, gap, h);
  const int datesLeft = x + w + 2 * gap + 2 * half + 4;
  dates_->setGeometry(datesLeft, row, std::max(0, this->width() - datesLeft), h);
}

bool InfoPane::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn) emit activated();
  if (event->type() == QEvent::KeyPress) {
    // Tab walks the six fields in a ring: year, month, day, creator,
    // keyword, comment and back to the year; Shift+Tab the other way.
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      const std::array<QWidget*, 6> ring = {year_, month_, day_, creator_, keyword_, comment_};
      const auto at = std::find(ring.begin(), ring.end(), watched);
      if (at != ring.end()) {
        const std::ptrdiff_t i = at - ring.begin();
        const bool back = key->key() == Qt::Key_Backtab || key->modifiers().testFlag(Qt::ShiftModifier);
        ring[static_cast<std::size_t>((i + (back ? 5 : 1)) % 6)]->setFocus(Qt::TabFocusReason);
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

QWidget* InfoPane::focusedEdit() const {
  QWidget* focus = QApplication::focusWidget();
  for (QWidget* edit : std::initializer_list<QWidget*>{year_, month_, day_, creator_, keyword_, comment_})
    if (edit == focus) return edit;
  return nullptr;
}

bool InfoPane::EditCommandEnabled(int commandId) const {
  QWidget* focus = focusedEdit();
  if (focus == nullptr) return false;
  const bool pasteable = !QApplication::clipboard()->text().isEmpty();
  if (auto* line = qobject_cast<QLineEdit*>(focus)) {
    switch (commandId) {
      case vcmd::kEditUndo: return line->isUndoAvailable();
      case vcmd::kEditCut:
      case vcmd::kEditCopy:
      case vcmd::kEditDelete: return line->hasSelectedText();
      case vcmd::kEditPaste: return pasteable;
      case vcmd::kEditSelectAll: return !line->text().isEmpty();
      default: return false;
    }
  }
  switch (commandId) {
    case vcmd::kEditUndo: return comment_->document()->isUndoAvailable();
    case vcmd::kEditCut:
    case vcmd::kEditCopy:
    case vcmd::kEditDelete: return comment_->textCursor().hasSelection();
    case vcmd::kEditPaste: return pasteable;
    case vcmd::kEditSelectAll: return !comment_->document()->isEmpty();
    default: return false;
  }
}

void InfoPane::EditCommand(int commandId) {
  QWidget* focus = focusedEdit();
  if (focus == nullptr) return;
  if (auto* line = qobject_cast<QLineEdit*>(focus)) {
    switch (commandId) {
      case vcmd::kEditUndo: line->undo(); break;
      case vcmd::kEditCut: line->cut(); break;
      case vcmd::kEditCopy: line->copy(); break;
      case vcmd::kEditPaste: line->paste(); break;
      case vcmd::kEditDelete: line->del(); break;
      case vcmd::kEditSelectAll: line->selectAll(); break;
      default: break;
    }
    return;
  }
  switch (commandId) {
    case vcmd::kEditUndo: comment_->undo(); break;
    case vcmd::kEditCut: comment_->cut(); break;
    case vcmd::kEditCopy: comment_->copy(); break;
    case vcmd::kEditPaste: comment_->paste(); break;
    case vcmd::kEditDelete: comment_->textCursor().removeSelectedText(); break;
    case vcmd::kEditSelectAll: comment_->selectAll(); break;
    default: break;
  }
}
