#include "shell/registration_info_dlg.h"

#include "platform/clock.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/image_utilities.h"
#include "shell/lead.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QValidator>

namespace {

constexpr int kCreatorBytes = 50;
constexpr int kKeywordBytes = 128;
constexpr int kCommentBytes = 255;
constexpr int kBmpFormat = 6;
constexpr int kBmpDefaultDpi = 150;
constexpr int kMinYear = 100;
constexpr int kMaxYear = 9999;
const char* const kUnknown = "不明";
const char* const kBadDateMessage = "日付が無効です。\n入力し直して下さい。";
const char* const kBadDateCaption = "登録情報の変更";

// Refuses input past a limit counted in Shift-JIS bytes, as the catalogue
// counts its attribute limits.
class ShiftJisBytesValidator : public QValidator {
 public:
  ShiftJisBytesValidator(int maxBytes, QObject* parent) : QValidator(parent), maxBytes_(maxBytes) {}
  State validate(QString& input, int&) const override {
    return static_cast<int>(platform::toCp932Lossy(input.toStdString()).size()) <= maxBytes_ ? Acceptable : Invalid;
  }

 private:
  int maxBytes_;
};

QLineEdit* makeEdit(QWidget* owner, int id, int maxBytes) {
  auto* edit = new QLineEdit(owner);
  edit->setObjectName(QStringLiteral("ctl%1").arg(id));
  if (maxBytes > 0) edit->setValidator(new ShiftJisBytesValidator(maxBytes, edit));
  return edit;
}

QLineEdit* makeNumberEdit(QWidget* owner, int id, int digits) {
  auto* edit = new QLineEdit(owner);
  edit->setObjectName(QStringLiteral("ctl%1").arg(id));
  edit->setMaxLength(digits);
  edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QString(digits + 2, QLatin1Char('0'))) + 8);
  edit->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9]{0,%1}").arg(digits)), edit));
  return edit;
}

QLabel* makeStatic(QWidget* owner, int id) {
  auto* label = new QLabel(owner);
  label->setObjectName(QStringLiteral("ctl%1").arg(id));
  return label;
}

QWidget* dateRow(QWidget* owner, QLineEdit* year, QLineEdit* month, QLineEdit* day) {
  auto* row = new QWidget(owner);
  auto* box = new QHBoxLayout(row);
  box->setContentsMargins(0, 0, 0, 0);
  box->addWidget(year);
  box->addWidget(new QLabel(QStringLiteral("年"), row));
  box->addWidget(month);
  box->addWidget(new QLabel(QStringLiteral("月"), row));
  box->addWidget(day);
  box->addWidget(new QLabel(QStringLiteral("日"), row));
  box->addStretch(1);
  return row;
}

void showDate(int ymd, QLineEdit* year, QLineEdit* month, QLineEdit* day) {
  const bool none = ymd == 0;
  year->setText(none ? QString() : QString::number(ymd / 10000));
  month->setText(none ? QString() : QString::number(ymd / 100 % 100));
  day->setText(none ? QString() : QString::number(ymd % 100));
}

bool readDate(const QLineEdit* year, const QLineEdit* month, const QLineEdit* day, int& ymd) {
  if (year->text().isEmpty() && month->text().isEmpty() && day->text().isEmpty()) {
    ymd = 0;
    return true;
  }
  const int y = year->text().toInt();
  const int m = month->text().toInt();
  const int d = day->text().toInt();
  if (y < kMinYear || y > kMaxYear || !QDate::isValid(y, m, d)) return false;
  ymd = y * 10000 + m * 100 + d;
  return true;
}

void refuseDate() {
  platform::messageBox(kBadDateMessage, platform::Buttons::Ok, platform::Icon::Warning, kBadDateCaption);
}

QDialogButtonBox* addButtons(QDialog* dialog, QFormLayout* form) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

ImageFacts ExamineImageFile(CLead& ctrl, const std::string& path, int bmpResolution) {
  ImageFacts facts;
  if (ctrl.GetFileInfo(path, 1, 0) != 0) {
    facts.size = facts.format = facts.colours = QString::fromUtf8(kUnknown);
    return facts;
  }
  int x = ctrl.GetXResolution();
  int y = ctrl.GetYResolution();
  if (ctrl.GetInfoFormat() == kBmpFormat && x == kBmpDefaultDpi && GetBmpResolution(path) == 0) x = y = bmpResolution;
  facts.xResolution = QString::number(x);
  facts.yResolution = QString::number(y);
  facts.size = QStringLiteral("幅 %1 ピクセル x 高さ %2 ピクセル")
                   .arg(static_cast<int>(ctrl.GetDispid40()))
                   .arg(static_cast<int>(ctrl.GetDispid41()));
  std::string format, depth;
  GetImageDescription(ctrl, path, format, depth, bmpResolution);
  facts.format = QString::fromStdString(format);
  facts.colours = QString::fromStdString(depth);
  return facts;
}

QString FormatYmdText(int ymd) {
  if (ymd == 0) return {};
  return QStringLiteral("%1年%2月%3日").arg(ymd / 10000).arg(ymd / 100 % 100).arg(ymd % 100);
}

// ---- the page part -------------------------------------------------------------

RegistrationFields::RegistrationFields(QWidget* owner, QFormLayout* form) : QObject(owner) {
  creator_ = makeEdit(owner, 10282, kCreatorBytes);
  keyword_ = makeEdit(owner, 10283, kKeywordBytes);
  comment_ = makeEdit(owner, 10284, kCommentBytes);
  year_ = makeNumberEdit(owner, 10285, 4);
  month_ = makeNumberEdit(owner, 10286, 2);
  day_ = makeNumberEdit(owner, 10287, 2);
  modified_ = makeStatic(owner, 10290);
  accessed_ = makeStatic(owner, 10291);
  // Shown, not edited: nothing writes a resolution back.
  xRes_ = makeEdit(owner, 10288, 0);
  yRes_ = makeEdit(owner, 10289, 0);
  xRes_->setReadOnly(true);
  yRes_->setReadOnly(true);
  size_ = makeStatic(owner, 10292);
  format_ = makeStatic(owner, 10293);
  colours_ = makeStatic(owner, 10294);
  form->addRow(QStringLiteral("作成者"), creator_);
  form->addRow(QStringLiteral("キーワード"), keyword_);
  form->addRow(QStringLiteral("コメント"), comment_);
  form->addRow(QStringLiteral("公式発行日"), dateRow(owner, year_, month_, day_));
  form->addRow(QStringLiteral("最終更新日"), modified_);
  form->addRow(QStringLiteral("最終アクセス日"), accessed_);
  form->addRow(QStringLiteral("解像度（横）"), xRes_);
  form->addRow(QStringLiteral("解像度（縦）"), yRes_);
  form->addRow(QStringLiteral("画像サイズ"), size_);
  form->addRow(QStringLiteral("画像形式"), format_);
  form->addRow(QStringLiteral("色数"), colours_);
}

void RegistrationFields::Show(const QString& creator, const QString& keyword, const QString& comment,
                              int officialDate, int modifiedDate, int accessedDate, const ImageFacts& facts) {
  creator_->setText(creator);
  keyword_->setText(keyword);
  comment_->setText(comment);
  showDate(officialDate, year_, month_, day_);
  modified_->setText(FormatYmdText(modifiedDate));
  accessed_->setText(FormatYmdText(accessedDate));
  xRes_->setText(facts.xResolution);
  yRes_->setText(facts.yResolution);
  size_->setText(facts.size);
  format_->setText(facts.format);
  colours_->setText(facts.colours);
}

QString RegistrationFields::creator() const { return creator_->text(); }
QString RegistrationFields::keyword() const { return keyword_->text(); }
QString RegistrationFields::comment() const { return comment_->text(); }
bool RegistrationFields::ReadDate(int& ymd) const { return readDate(year_, month_, day_, ymd); }

// ---- single item ---------------------------------------------------------------

ItemPropertyDlg::ItemPropertyDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg%1").arg(kDialogId));
  setWindowTitle(QStringLiteral("プロパティ"));
  auto* form = new QFormLayout(this);
  path_ = makeEdit(this, 10295, 0);
  path_->setReadOnly(true);
  form->addRow(QStringLiteral("ファイル名"), path_);
  fields_ = new RegistrationFields(this, form);
  addButtons(this, form);
}

void ItemPropertyDlg::OnInitDialog() {
  path_->setText(filePath);
  fields_->Show(creator, keyword, comment, officialDate, modifiedDate, accessedDate, facts);
}

void ItemPropertyDlg::accept() {
  int date = 0;
  if (!fields_->ReadDate(date)) {
    refuseDate();
    return;
  }
  officialDate = date;
  creator = fields_->creator();
  keyword = fields_->keyword();
  comment = fields_->comment();
  QDialog::accept();
}

// ---- stack ---------------------------------------------------------------------

DocumentPropertyDlg::DocumentPropertyDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg%1").arg(kDialogId));
  setWindowTitle(QStringLiteral("プロパティ"));
  auto* form = new QFormLayout(this);
  // The stack's title is renamed on the board; here it is shown only, so
  // that nothing typed into it is silently dropped.
  title_ = makeEdit(this, 10296, 0);
  title_->setReadOnly(true);
  year_ = makeNumberEdit(this, 10297, 4);
  month_ = makeNumberEdit(this, 10298, 2);
  day_ = makeNumberEdit(this, 10299, 2);
  modified_ = makeStatic(this, 10300);
  accessed_ = makeStatic(this, 10301);
  form->addRow(QStringLiteral("タイトル"), title_);
  form->addRow(QStringLiteral("公式発行日"), dateRow(this, year_, month_, day_));
  form->addRow(QStringLiteral("最終更新日"), modified_);
  form->addRow(QStringLiteral("最終アクセス日"), accessed_);
  chooser_ = new QComboBox(this);
  chooser_->setObjectName(QStringLiteral("ctl10295"));
  form->addRow(QStringLiteral("頁"), chooser_);
  fields_ = new RegistrationFields(this, form);
  addButtons(this, form);
  connect(chooser_, &QComboBox::currentIndexChanged, this, [this](int row) {
    if (!initialising_ && row >= 0) ShowPage(chooser_->itemData(row).toInt());
  });
}

void DocumentPropertyDlg::OnInitDialog() {
  initialising_ = true;
  title_->setText(stackTitle);
  showDate(stackOfficialDate, year_, month_, day_);
  modified_->setText(FormatYmdText(stackModifiedDate));
  accessed_->setText(FormatYmdText(stackAccessedDate));
  chooser_->clear();
  for (size_t i = 0; i < pages.size(); ++i) chooser_->addItem(pages[i].filePath, static_cast<int>(i + 1));
  const int first = currentPage >= 1 && currentPage <= static_cast<int>(pages.size()) ? currentPage : 1;
  chooser_->setCurrentIndex(first - 1);
  shown_ = 0;
  initialising_ = false;
  if (!pages.empty()) ShowPage(first);
}

bool DocumentPropertyDlg::SaveShownPage(bool checkDate) {
  if (shown_ < 1 || shown_ > static_cast<int>(pages.size())) return true;
  Page& page = pages[shown_ - 1];
  int date = page.info.OfficialDate;
  if (!fields_->ReadDate(date)) {
    if (checkDate) {
      refuseDate();
      return false;
    }
    date = page.info.OfficialDate;  // a page left with a broken date keeps its own
  }
  if (date != page.info.OfficialDate || fields_->creator() != page.creator || fields_->keyword() != page.keyword ||
      fields_->comment() != page.comment) {
    page.info.OfficialDate = date;
    page.creator = fields_->creator();
    page.keyword = fields_->keyword();
    page.comment = fields_->comment();
    page.state = kChanged;
  }
  return true;
}

void DocumentPropertyDlg::ShowPage(int number) {
  if (number < 1 || number > static_cast<int>(pages.size())) return;
  SaveShownPage(false);
  Page& page = pages[number - 1];
  if (page.state == kNotRead) {
    if (readTexts && readTexts(page)) page.state = kRead;
  }
  const ImageFacts facts = examine ? examine(page.info) : ImageFacts{};
  fields_->Show(page.creator, page.keyword, page.comment, page.info.OfficialDate, page.info.LastModifiedDate,
                page.info.LastAccessedDate, facts);
  shown_ = number;
  if (chooser_->currentIndex() != number - 1) {
    initialising_ = true;
    chooser_->setCurrentIndex(number - 1);
    initialising_ = false;
  }
}

void DocumentPropertyDlg::accept() {
  int date = 0;
  if (!readDate(year_, month_, day_, date)) {
    refuseDate();
    return;
  }
  if (!SaveShownPage(true)) return;
  stackOfficialDate = date;
  QDialog::accept();
}
