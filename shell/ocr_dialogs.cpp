#include "shell/ocr_dialogs.h"

#include "platform/timer_source.h"
#include "platform/user_interaction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kBatchDelayMs = 500;
constexpr int kHighestDpi = 400;
constexpr const char* kOcrDialogCaption = "OCRダイアログ";

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }

}  // namespace

// ---------------------------------------------------------------- progress

OcrProgressDlg::OcrProgressDlg(PageRecogniser& recogniser, const std::vector<OcrPage>& pages, QWidget* parent)
    : QDialog(parent), recogniser_(recogniser), pages_(pages) {
  setObjectName(QStringLiteral("dlg10210"));
  setWindowTitle(QStringLiteral("OCR"));
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(QStringLiteral("0/%1 ページ目").arg(pages.size()), this);
  text_->setObjectName(controlName(10212));
  text_->setAlignment(Qt::AlignCenter);
  text_->setMinimumWidth(240);
  layout->addWidget(text_);
  stop_ = new QPushButton(QStringLiteral("中止"), this);
  stop_->setObjectName(controlName(2));
  layout->addWidget(stop_, 0, Qt::AlignHCenter);
  connect(stop_, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
  timer_ = platform::createTimer([this] { runBatch(); });
  timer_->start(kBatchDelayMs);
}

OcrProgressDlg::~OcrProgressDlg() = default;

QString OcrProgressDlg::pageText() const { return text_->text(); }

void OcrProgressDlg::reject() {
  // While the batch runs a close only asks it to stop; it ends the dialog itself.
  if (running_) {
    stopRequested_ = true;
    return;
  }
  QDialog::reject();
}

void OcrProgressDlg::runBatch() {
  timer_->stop();
  running_ = true;
  stopRequested_ = false;
  const int count = static_cast<int>(pages_.size());
  outcome_ = RunOcrPages(
      recogniser_, pages_,
      [this] {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return stopRequested_;
      },
      [this, count](int i) {
        text_->setText(QStringLiteral("%1/%2 ページ目").arg(i + 1).arg(count));
        emit pageStarted(i);
      });
  running_ = false;
  if (outcome_ == OcrBatchOutcome::Failed)
    platform::messageBox("OCR中にエラーが発生しました、。", platform::Buttons::Ok, platform::Icon::Warning,
                         kOcrDialogCaption);
  done(outcome_ == OcrBatchOutcome::Done ? 1 : 0);
}

// ---------------------------------------------------------------- parameters

namespace {

QButtonGroup* radios(QDialog& dialog, QGroupBox* box, std::initializer_list<std::pair<int, const char*>> items) {
  auto* group = new QButtonGroup(&dialog);
  auto* layout = new QHBoxLayout(box);
  int value = 0;
  for (const auto& [id, text] : items) {
    auto* radio = new QRadioButton(QString::fromUtf8(text), box);
    radio->setObjectName(controlName(id));
    group->addButton(radio, value++);
    layout->addWidget(radio);
  }
  return group;
}

constexpr const char* kDirections[] = {"自動判別", "横書き一段組", "横書き多段組", "縦書き一段組", "縦書き多段組"};
constexpr const char* kKinds[] = {"ひらがな", "カタカナ", "漢字", "数字", "英字", "記号"};

}  // namespace

OcrParamControls::OcrParamControls(QDialog& dialog) : QObject(&dialog), dialog_(dialog) {
  auto* grid = new QGridLayout;
  auto box = [&](const char* title, int row, int column) {
    auto* b = new QGroupBox(QString::fromUtf8(title), &dialog);
    grid->addWidget(b, row, column);
    return b;
  };
  language_ = radios(dialog, box("認識言語", 0, 0), {{10235, "日本語"}, {10236, "英語"}});
  form_ = radios(dialog, box("領域種別", 0, 1), {{10222, "自動"}, {10223, "表"}, {10224, "文章"}});
  QGroupBox* directionBox = box("段組", 1, 0);
  direction_ = new QComboBox(directionBox);
  direction_->setObjectName(controlName(10221));
  (new QHBoxLayout(directionBox))->addWidget(direction_);
  lineEnds_ = radios(dialog, box("改行挿入", 1, 1), {{10225, "毎行"}, {10226, "ブロック"}});
  QGroupBox* kindBox = box("認識字種", 2, 0);
  auto* kindLayout = new QGridLayout(kindBox);
  for (int i = 0; i < 6; ++i) {
    kinds_[i] = new QCheckBox(QString::fromUtf8(kKinds[i]), kindBox);
    kinds_[i]->setObjectName(controlName(10229 + i));
    kindLayout->addWidget(kinds_[i], i / 3, i % 3);
  }
  blanks_ = radios(dialog, box("空白", 2, 1), {{10227, "なし"}, {10228, "あり"}});
  output_ = radios(dialog, box("出力文字", 3, 0), {{10237, "全角"}, {10238, "半角"}});
  if (!dialog.layout()) new QVBoxLayout(&dialog);
  static_cast<QVBoxLayout*>(dialog.layout())->addLayout(grid);
  connect(language_, &QButtonGroup::idClicked, this, [this] { Refresh(); });
  connect(lineEnds_, &QButtonGroup::idClicked, this, [this] { Refresh(); });
}

void OcrParamControls::Set(const OcrParams& p) {
  const auto check = [](QButtonGroup* group, int value) {
    if (QAbstractButton* b = group->button(value)) b->setChecked(true);
    else if (QAbstractButton* first = group->button(0)) first->setChecked(true);
  };
  check(language_, p.language);
  check(form_, p.form);
  check(lineEnds_, p.insertCRMode);
  check(blanks_, p.blancOutMode);
  check(output_, p.halfWidth);
  for (int i = 0; i < 6; ++i) kinds_[i]->setChecked(p.charAttr == 0 || (p.charAttr & (1 << i)) != 0);
  direction_->clear();
  for (const char* d : kDirections) direction_->addItem(QString::fromUtf8(d));
  direction_->setCurrentIndex(std::clamp<int>(p.letterDirection, 0, 4));
  Refresh();
}

OcrParams OcrParamControls::Get() const {
  OcrParams p;
  p.language = static_cast<short>(std::max(0, language_->checkedId()));
  p.form = static_cast<short>(std::max(0, form_->checkedId()));
  p.letterDirection = static_cast<short>(std::max(0, direction_->currentIndex()));
  p.insertCRMode = static_cast<short>(std::max(0, lineEnds_->checkedId()));
  p.blancOutMode = static_cast<short>(std::max(0, blanks_->checkedId()));
  p.halfWidth = static_cast<short>(std::max(0, output_->checkedId()));
  p.charAttr = 0;
  for (int i = 0; i < 6; ++i)
    if (kinds_[i]->isChecked()) p.charAttr = static_cast<short>(p.charAttr | (1 << i));
  return p;
}

void OcrParamControls::Refresh() {
  const bool japanese = language_->checkedId() != 1;
  const int selected = direction_->currentIndex();
  const int entries = japanese ? 5 : 3;
  direction_->clear();
  for (int i = 0; i < entries; ++i) direction_->addItem(QString::fromUtf8(kDirections[i]));
  direction_->setCurrentIndex(selected >= 0 && selected < entries ? selected : 0);
  for (QCheckBox* k : kinds_) k->setEnabled(japanese);
  for (QAbstractButton* b : output_->buttons()) b->setEnabled(japanese);
  const bool everyLine = lineEnds_->checkedId() != 1;
  for (QAbstractButton* b : blanks_->buttons()) b->setEnabled(japanese && everyLine);
}

bool OcrParamControls::CheckCharacterKinds(const OcrParams& p) const {
  if (p.charAttr != 0 || p.language == 1) return true;
  platform::messageBox("認識字種が一つも設定されていません。", platform::Buttons::Ok, platform::Icon::Warning,
                       kOcrDialogCaption);
  return false;
}

OcrParamDlg::OcrParamDlg(const OcrParams& params, QWidget* parent) : QDialog(parent), params_(params) {
  setObjectName(QStringLiteral("dlg10220"));
  setWindowTitle(QStringLiteral("OCRパラメータセット"));
  new QVBoxLayout(this);
  controls_ = new OcrParamControls(*this);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setObjectName(controlName(1));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(controlName(2));
  layout()->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &OcrParamDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OcrParamDlg::reject);
  controls_->Set(params);
}

void OcrParamDlg::accept() {
  setEnabled(false);
  const OcrParams chosen = controls_->Get();
  const bool ok = controls_->CheckCharacterKinds(chosen);
  setEnabled(true);
  if (!ok) return;
  params_ = chosen;
  QDialog::accept();
}

// ---------------------------------------------------------------- settings

OcrSettingsDlg::OcrSettingsDlg(std::string dictionaryFolder, std::string imagePath, int resolution, QWidget* parent)
    : QDialog(parent), folder_(std::move(dictionaryFolder)), image_(std::move(imagePath)), resolution_(resolution) {
  setObjectName(QStringLiteral("dlg10470"));
  setWindowTitle(QStringLiteral("OCRパラメータ設定"));
  new QVBoxLayout(this);
  controls_ = new OcrParamControls(*this);
  auto* targetBox = new QGroupBox(QStringLiteral("出力先"), this);
  auto* targetLayout = new QHBoxLayout(targetBox);
  toText_ = new QRadioButton(QStringLiteral("付属テキスト"), targetBox);
  toText_->setObjectName(controlName(10472));
  toComment_ = new QRadioButton(QStringLiteral("コメント欄"), targetBox);
  toComment_->setObjectName(controlName(10473));
  targetLayout->addWidget(toText_);
  targetLayout->addWidget(toComment_);
  toText_->setChecked(true);
  layout()->addWidget(targetBox);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* run = buttons->addButton(QStringLiteral("実行"), QDialogButtonBox::AcceptRole);
  run->setObjectName(controlName(1));
  buttons->addButton(QDialogButtonBox::Cancel)->setObjectName(controlName(2));
  layout()->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &OcrSettingsDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &OcrSettingsDlg::reject);
  OcrParams start;  // everything 0, every character kind
  controls_->Set(start);
}

OcrSettingsDlg::~OcrSettingsDlg() = default;

void OcrSettingsDlg::SetParams(const OcrParams& params, int outputTarget) {
  controls_->Set(params);
  (outputTarget == 1 ? toComment_ : toText_)->setChecked(true);
}

int OcrSettingsDlg::outputTarget() const { return toComment_->isChecked() ? 1 : 0; }

void OcrSettingsDlg::accept() {
  if (running_) return;
  setEnabled(false);
  running_ = true;
  const OcrParams params = controls_->Get();
  if (!controls_->CheckCharacterKinds(params)) {
    running_ = false;
    setEnabled(true);
    return;
  }
  text_.clear();
  succeeded_ = false;
  if (std::unique_ptr<CZeqOcr3> control = CreateOcrControl()) {
    control->window()->setParent(this);
    control->window()->hide();
    control->InitOcr(folder_);
    if (control->LoadImageFile(image_) == 0) {
      PushOcrParams(*control, params);
      control->SetDrawDpi(static_cast<short>(std::min(resolution_, kHighestDpi)));
      control->SetShowCancel(1);
      control->SetRcgRect(0, 0, static_cast<short>(control->DrawWidth() - 1),
                          static_cast<short>(control->DrawHeight() - 1));
      if (control->DoRecognize() == 0) {
        text_ = control->GetOcrResult();
        if (params.halfWidth == 1) text_ = ToHalfWidth(text_);
        succeeded_ = true;
      }
    }
  }
  setEnabled(true);
  running_ = false;
  if (!succeeded_) {
    // The caller then keeps the attached text or comment it had.
    platform::messageBox("OCR中にエラーが発生しました、。", platform::Buttons::Ok, platform::Icon::Warning,
                         kOcrDialogCaption);
    QDialog::done(QDialog::Rejected);
    return;
  }
  QDialog::accept();
}

void OcrSettingsDlg::reject() {
  if (running_) return;
  QDialog::reject();
}
