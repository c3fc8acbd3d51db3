#include "viewer/viewer_dialogs.h"

#include "shell/cp932_typing.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/image_ctrl.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace {

QDialogButtonBox* okCancel(QDialog* dialog) {
  auto* buttons = new QDialogButtonBox(dialog);
  buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setObjectName(QStringLiteral("ctl1"));
  buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("ctl2"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

// ---- resolution -----------------------------------------------------------------

ResolutionDialog::ResolutionDialog(int dpi, QWidget* parent) : QDialog(parent), dpi_(dpi) {
  setObjectName(QStringLiteral("dlg10500"));
  setWindowTitle(QStringLiteral("解像度変更ダイアログ"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("変更する解像度を入力してください。"), this));
  auto* row = new QHBoxLayout;
  edit_ = new QLineEdit(QString::number(dpi), this);
  edit_->setObjectName(QStringLiteral("ctl10501"));
  row->addWidget(edit_);
  row->addWidget(new QLabel(QStringLiteral("DPI"), this));
  layout->addLayout(row);
  layout->addWidget(okCancel(this));
}

bool ResolutionDialog::Check(const QString& text, int& dpi) {
  static const QRegularExpression allowed(QStringLiteral("^[-+0-9]+$"));
  if (!allowed.match(text).hasMatch()) return false;
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value < 10 || value > 1200) return false;
  dpi = value;
  return true;
}

void ResolutionDialog::accept() {
  if (!Check(edit_->text(), dpi_)) {
    platform::messageBox("10～1200の間の値を入力してください。", platform::Buttons::Ok, platform::Icon::Warning,
                         "解像度変更ダイアログ");
    return;
  }
  QDialog::accept();
}

// ---- rotation -------------------------------------------------------------------

RotationDialog::RotationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10510"));
  setWindowTitle(QStringLiteral("回転ダイアログ"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("回転角度を指定してください。"), this));
  group_ = new QButtonGroup(this);
  const char* texts[] = {"左90度", "右90度", "180度", "任意", "傾き自動補正"};
  for (int i = 0; i < 5; ++i) {
    auto* button = new QRadioButton(QString::fromUtf8(texts[i]), this);
    button->setObjectName(QStringLiteral("ctl%1").arg(10511 + i));
    group_->addButton(button, i);
    layout->addWidget(button);
  }
  auto* row = new QHBoxLayout;
  edit_ = new QLineEdit(QStringLiteral("0"), this);
  edit_->setObjectName(QStringLiteral("ctl10516"));
  row->addWidget(edit_);
  row->addWidget(new QLabel(QStringLiteral("度"), this));
  layout->addLayout(row);
  layout->addWidget(okCancel(this));
  connect(group_, &QButtonGroup::idClicked, this, &RotationDialog::SetChoice);
  SetChoice(kRight90);
}

void RotationDialog::SetChoice(int choice) {
  choice_ = choice;
  if (QAbstractButton* b = group_->button(choice)) b->setChecked(true);
  edit_->setEnabled(choice == kAny);
}

bool RotationDialog::CheckAngle(const QString& text, double& angle) {
  static const QRegularExpression allowed(QStringLiteral("^[-+0-9.]+$"));
  if (!allowed.match(text).hasMatch() || text.count(QLatin1Char('.')) > 1) return false;
  bool ok = false;
  const double value = text.toDouble(&ok);
  if (!ok || value < -360 || value > 360) return false;
  angle = value;
  return true;
}

double RotationDialog::degrees() const {
  switch (choice_) {
    case kLeft90: return -90;
    case kRight90: return 90;
    case k180: return 180;
    case kAny: return angle_;
    default: return 0;
  }
}

void RotationDialog::accept() {
  if (choice_ == kAny && !CheckAngle(edit_->text(), angle_)) {
    platform::messageBox("-360～360の間の値を入力してください。", platform::Buttons::Ok, platform::Icon::Warning,
                         "回転ダイアログ");
    return;
  }
  QDialog::accept();
}

// ---- trim ---------------------------------------------------------------------------

TrimDialog::TrimDialog(std::int32_t imageHandle, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10450"));
  setWindowTitle(QStringLiteral("トリミングダイアログ"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("この画像をトリミングします。"), this));
  auto ctrl = std::make_unique<CImageCtrl>();
  ctrl->Create("", 0, QRect(0, 0, 320, 240), this, 10451);
  ctrl->setObjectName(QStringLiteral("ctl10451"));
  ctrl->setMinimumSize(320, 240);
  ctrl_ = ctrl.release();  // the dialog owns it now
  ctrl_->SetBackColor(0xC0C0C0);
  ctrl_->SetImageHandle(imageHandle);
  layout->addWidget(ctrl_, 1);
  ctrl_->setVisible(true);
  layout->addWidget(okCancel(this));
}

TrimDialog::~TrimDialog() = default;

void TrimDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  fitImage();
}

void TrimDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  fitImage();
}

// Width to the client width; when the height then does not fit, height to
// the client height and the width scaled instead.
void TrimDialog::fitImage() {
  const float w = ctrl_->GetImageWidth();
  const float h = ctrl_->GetImageHeight();
  if (w <= 0 || h <= 0) return;
  const float cw = static_cast<float>(ctrl_->width());
  const float ch = static_cast<float>(ctrl_->height());
  float dw = cw;
  float dh = h * cw / w;
  if (dh > ch) {
    dh = ch;
    dw = w * ch / h;
  }
  ctrl_->SetDisplayRect(0, 0, dw, dh);
}

void TrimDialog::done(int result) {
  ctrl_->SetImageHandle(0);
  QDialog::done(result);
}

ViewerColorDialog::ViewerColorDialog(const QColor& initial, const QString& caption, QWidget* parent)
    : QColorDialog(initial, parent) {
  setWindowTitle(caption);
}

TitleDialog::TitleDialog(const QString& current, const QString& caption, int maxBytes, QWidget* parent)
    : QDialog(parent), caption_(caption), maxBytes_(maxBytes) {
  setObjectName(QStringLiteral("dlg10490"));
  setWindowTitle(caption);
  auto* layout = new QVBoxLayout(this);
  auto* now = new QHBoxLayout;
  now->addWidget(new QLabel(QStringLiteral("現在のタイトル"), this));
  auto* currentText = new QLabel(current, this);
  currentText->setTextFormat(Qt::PlainText);
  now->addWidget(currentText, 1);
  layout->addLayout(now);
  auto* next = new QHBoxLayout;
  next->addWidget(new QLabel(QStringLiteral("新しいタイトル"), this));
  edit_ = new QLineEdit(current, this);
  KeepCp932FormsWhileTyping(edit_);
  next->addWidget(edit_, 1);
  layout->addLayout(next);
  layout->addWidget(okCancel(this));
}

bool TitleDialog::CheckTitle(const QString& title, int maxBytes, std::string& message) {
  static const QString kForbidden = QStringLiteral("\"\\/:<>'*?][#|");
  if (title.isEmpty()) {
    message = "タイトルを入力してください。";
    return false;
  }
  // A character Shift-JIS cannot write counts its UTF-8 bytes.
  const std::string utf8 = title.toStdString();
  int bytes = platform::cp932Length(utf8);
  if (bytes < 0) bytes = static_cast<int>(utf8.size());
  if (bytes > std::min(maxBytes, kMaxTitleBytes)) {
    message = "タイトルが長すぎます。";
    return false;
  }
  for (const QChar c : title) {
    if (kForbidden.contains(c)) {
      message = "\"\\/:<>'*?][#|はタイトルには使用できません。";
      return false;
    }
  }
  return true;
}

void TitleDialog::accept() {
  std::string message;
  if (!CheckTitle(edit_->text(), maxBytes_, message)) {
    platform::messageBox(message, platform::Buttons::Ok, platform::Icon::Warning, caption_.toStdString());
    return;
  }
  title_ = edit_->text();
  QDialog::accept();
}
