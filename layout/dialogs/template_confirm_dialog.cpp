#include "layout/dialogs/template_confirm_dialog.h"

#include "layout/char_block.h"
#include "layout/dialogs/control_ids.h"
#include "layout/dialogs/template_folder_chooser.h"
#include "layout/dialogs/template_image_window.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/template_session.h"
#include "layout/template_settings.h"
#include "platform/user_interaction.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

namespace layout::dialogs {
namespace {

CharKindEditor charKindEditor = nullptr;

constexpr std::array<int, 4> kScales{4, 8, 16, 32};

QString captionOf(int mode) {
  switch (mode) {
    case kModeReference: return QStringLiteral("テンプレート参照 : ");
    case kModeRegister: return QStringLiteral("テンプレート登録 : ");
    case kModeDelete: return QStringLiteral("テンプレート削除 : ");
    case kModeModify: return QStringLiteral("テンプレート修正 : ");
    default: return QStringLiteral("テンプレート確認 : ");
  }
}

// The character-class target of a field: the index of the merge run (table
// or frame) it belongs to, so that any cell of a table opens that table's
// grid; -1 for a text field, its own number for any other field.  Runs are
// those of the character-kind blocks, so the index names the stored grid.
int charClassTarget(const userfld* ring, const userfld* field) {
  if (ring == nullptr || field == nullptr) return -1;
  int target = -1;
  bool inRun = false;
  forEachMergeRun(ring, [&](int index, const MergeRun& run) {
    for (const userfld* f = run.head;; f = f->next) {
      if (f == field) {
        target = index;
        inRun = true;
        return false;
      }
      if (f == run.last) break;
    }
    return true;
  });
  if (inRun) return target;
  return field->params.signedByte(ParamBlock::kForm) == 1 ? -1 : field->number;
}

}  // namespace

void set_char_kind_editor(CharKindEditor editor) { charKindEditor = editor; }

TemplateConfirmDialog::TemplateConfirmDialog(QWidget* parent, int mode, int number)
    : QDialog(parent), mode_(mode), number_(number) {
  setObjectName(QStringLiteral("confTemp"));
  setWindowTitle(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ確認"));
  buildControls();
}

TemplateConfirmDialog::~TemplateConfirmDialog() { templateSession().operationMode = 0; }

void TemplateConfirmDialog::buildControls() {
  image_ = new TemplateImageWindow(this);
  image_->setMinimumSize(360, 420);
  folder_ = withControlId(new QLabel(this), 1028);
  registered_ = withControlId(new QLabel(this), 1026);
  numberEdit_ = withControlId(new QLineEdit(this), 1012);
  excluded_ = withControlId(new QCheckBox(QStringLiteral("ﾏｯﾁﾝｸﾞ対象外"), this), 1027);
  nameEdit_ = withControlId(new QLineEdit(this), 1041);
  fieldNumber_ = withControlId(new QLabel(this), 1025);

  conditions_ = new QGroupBox(QStringLiteral("条件"), this);
  area_ = withControlId(new QComboBox(conditions_), 1042);
  area_->addItems({QStringLiteral("自動"), QStringLiteral("表"), QStringLiteral("文章"), QStringLiteral("図")});
  columns_ = withControlId(new QComboBox(conditions_), 1013);
  columns_->addItems({QStringLiteral("自動"), QStringLiteral("横一段"), QStringLiteral("横多段"),
                      QStringLiteral("縦一段"), QStringLiteral("縦多段")});
  language_ = withControlId(new QComboBox(conditions_), 1024);
  language_->addItems({QStringLiteral("日本語"), QStringLiteral("英語")});
  hRules_ = withControlId(new QCheckBox(QStringLiteral("横罫線"), conditions_), 1016);
  vRules_ = withControlId(new QCheckBox(QStringLiteral("縦罫線"), conditions_), 1017);
  autoRules_ = withControlId(new QCheckBox(QStringLiteral("罫線自動"), conditions_), 1072);
  hDotted_ = withControlId(new QCheckBox(QStringLiteral("横点線"), conditions_), 1021);
  vDotted_ = withControlId(new QCheckBox(QStringLiteral("縦点線"), conditions_), 1023);
  blanks_ = withControlId(new QCheckBox(QStringLiteral("空白出力"), conditions_), 1020);
  lineBreaks_ = withControlId(new QCheckBox(QStringLiteral("毎行改行"), conditions_), 1019);
  oneRegion_ = withControlId(new QCheckBox(QStringLiteral("一領域として解析"), conditions_), 1018);
  kinds_ = withControlId(new QLineEdit(conditions_), 1043);
  kinds_->setReadOnly(true);
  changeKinds_ = withControlId(new QPushButton(QStringLiteral("変更..."), conditions_), 1044);
  useLines_ = withControlId(new QCheckBox(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄの罫線を使用"), this), 1073);
  previous_ = withControlId(new QPushButton(QStringLiteral("前へ"), this), 1002);
  next_ = withControlId(new QPushButton(QStringLiteral("次へ"), this), 1003);
  scale_ = withControlId(new QComboBox(this), 1032);
  scale_->addItems({QStringLiteral("1/4"), QStringLiteral("1/8"), QStringLiteral("1/16"), QStringLiteral("1/32")});
  ok_ = withControlId(new QPushButton(QStringLiteral("OK"), this), 1);
  cancel_ = withControlId(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), 2);
  ok_->setDefault(true);

  auto* conditionsLayout = new QGridLayout(conditions_);
  conditionsLayout->addWidget(new QLabel(QStringLiteral("領域"), conditions_), 0, 0);
  conditionsLayout->addWidget(area_, 0, 1);
  conditionsLayout->addWidget(new QLabel(QStringLiteral("段組み"), conditions_), 1, 0);
  conditionsLayout->addWidget(columns_, 1, 1);
  conditionsLayout->addWidget(new QLabel(QStringLiteral("認識言語"), conditions_), 2, 0);
  conditionsLayout->addWidget(language_, 2, 1);
  conditionsLayout->addWidget(hRules_, 3, 0);
  conditionsLayout->addWidget(vRules_, 3, 1);
  conditionsLayout->addWidget(autoRules_, 4, 0);
  conditionsLayout->addWidget(hDotted_, 5, 0);
  conditionsLayout->addWidget(vDotted_, 5, 1);
  conditionsLayout->addWidget(blanks_, 6, 0);
  conditionsLayout->addWidget(lineBreaks_, 6, 1);
  conditionsLayout->addWidget(oneRegion_, 8, 0, 1, 2);
  conditionsLayout->addWidget(new QLabel(QStringLiteral("字種"), conditions_), 7, 0);
  auto* kindsRow = new QHBoxLayout;
  kindsRow->addWidget(kinds_);
  kindsRow->addWidget(changeKinds_);
  conditionsLayout->addLayout(kindsRow, 7, 1);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("ﾃﾞｨﾚｸﾄﾘ"), folder_);
  form->addRow(QStringLiteral("登録数"), registered_);
  form->addRow(QStringLiteral("管理番号"), numberEdit_);
  form->addRow(QString(), excluded_);
  form->addRow(QStringLiteral("名称"), nameEdit_);
  form->addRow(QStringLiteral("領域番号"), fieldNumber_);

  auto* steps = new QHBoxLayout;
  steps->addWidget(previous_);
  steps->addWidget(next_);
  steps->addStretch();
  steps->addWidget(new QLabel(QStringLiteral("縮尺"), this));
  steps->addWidget(scale_);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* right = new QVBoxLayout;
  right->addLayout(form);
  right->addWidget(conditions_);
  right->addWidget(useLines_);
  right->addLayout(steps);
  right->addStretch();
  right->addLayout(buttons);

  auto* top = new QHBoxLayout(this);
  top->addWidget(image_, 1);
  top->addLayout(right);

  connect(ok_, &QPushButton::clicked, this, &TemplateConfirmDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &TemplateConfirmDialog::reject);
  connect(image_, &TemplateImageWindow::fieldSelected, this, &TemplateConfirmDialog::showFieldSettings);
  connect(previous_, &QPushButton::clicked, this, [this] { stepTemplate(-1); });
  connect(next_, &QPushButton::clicked, this, [this] { stepTemplate(1); });
  connect(scale_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(kScales.size())) return;
    templateSession().scale = kScales[static_cast<std::size_t>(index)];
    image_->setScale(templateSession().scale);
  });
  connect(excluded_, &QCheckBox::clicked, this,
          [](bool checked) { set_template_eligibility(checked ? 0 : 1); });
  connect(area_, &QComboBox::currentIndexChanged, this, [this](int index) {
    storeSetting([index](ParamBlock& p) { set_area(p, index); });
    setEnabledStates(currentField());
    image_->viewport()->update();
  });
  connect(columns_, &QComboBox::currentIndexChanged, this,
          [this](int index) { storeSetting([index](ParamBlock& p) { set_columns(p, index); }); });
  connect(language_, &QComboBox::currentIndexChanged, this, [this](int index) {
    storeSetting([index](ParamBlock& p) { set_language(p, index); });
    setEnabledStates(currentField());
  });
  const std::array<std::pair<QCheckBox*, FieldCheck>, 8> checks{{{hRules_, FieldCheck::HorizontalRules},
                                                                 {vRules_, FieldCheck::VerticalRules},
                                                                 {autoRules_, FieldCheck::AutoRules},
                                                                 {hDotted_, FieldCheck::HorizontalDotted},
                                                                 {vDotted_, FieldCheck::VerticalDotted},
                                                                 {blanks_, FieldCheck::BlankOutput},
                                                                 {lineBreaks_, FieldCheck::BreakEveryLine},
                                                                 {oneRegion_, FieldCheck::OneRegion}}};
  for (auto [box, check] : checks) {
    connect(box, &QCheckBox::clicked, this, [this, check = check](bool on) {
      storeSetting([check, on](ParamBlock& p) { set_field_check(p, check, on); });
      setEnabledStates(currentField());
    });
  }
  connect(changeKinds_, &QPushButton::clicked, this, [this] {
    userfld* field = currentField();
    if (field == nullptr || charKindEditor == nullptr) return;
    const int target = charClassTarget(templateSession().working, field);
    int mask = field->params.word(ParamBlock::kCharKindMask);
    if (charKindEditor(this, target, &mask) != 1) return;
    // A table's grid is stored by its dialog; the field may be one of its
    // cells, so its mask text is shown again.
    if (target != -1) {
      showFieldSettings(field);
      return;
    }
    storeSetting([mask](ParamBlock& p) { p.setWord(ParamBlock::kCharKindMask, static_cast<std::int16_t>(mask)); });
  });
}

bool TemplateConfirmDialog::start() {
  auto& session = templateSession();
  auto& ctx = templateContext();
  // A template being registered has no files yet: its settings are written
  // with it at OK, not one by one into whichever template is current.
  session.operationMode = mode_ == kModeRegister ? kModeRegister : kModeReference;
  if (ctx.folder.empty()) ctx.folder = library_folder();
  folder_->setText(QString::fromStdString(ctx.folder));
  for (std::size_t i = 0; i < kScales.size(); ++i)
    if (kScales[i] == session.scale) scale_->setCurrentIndex(static_cast<int>(i));
  image_->setScale(session.scale);

  const bool known = mode_ == kModeReference || mode_ == kModeRegister || mode_ == kModeDelete || mode_ == kModeModify;
  if (!known) mode_ = kModeConfirm;
  setWindowTitle(captionOf(mode_) + QString::fromStdString(ctx.folder));
  ok_->setText(mode_ == kModeRegister ? QStringLiteral("登録")
                                      : mode_ == kModeDelete ? QStringLiteral("削除") : QStringLiteral("OK"));
  const bool steps = mode_ == kModeReference || mode_ == kModeDelete || mode_ == kModeModify;
  previous_->setVisible(steps);
  next_->setVisible(steps);
  cancel_->setVisible(mode_ != kModeConfirm);
  settingsEditable_ = mode_ == kModeRegister || mode_ == kModeModify;
  conditions_->setEnabled(settingsEditable_);

  if (steps) {
    const int from = mode_ == kModeDelete ? ctx.current : number_;
    const int found = step_template(ctx.folder, std::max(from, 0), 0);
    if (found < 0) {
      ctx.current = 0;
      return false;
    }
    ctx.current = found;
  }
  if (load_working_template(mode_) != 1) return false;
  showTemplate();
  if (mode_ == kModeRegister) {
    nameEdit_->setFocus();
    nameEdit_->selectAll();
  } else {
    ok_->setFocus();
  }
  return true;
}

void TemplateConfirmDialog::showTemplate() {
  auto& session = templateSession();
  const int current = templateContext().current;
  registered_->setText(QString::number(session.registered));
  image_->setTemplate(session.working, session.workingLines);
  if (ringEmpty(session.working)) return;
  numberEdit_->setText(QString::number(current));
  nameEdit_->setText(QString::fromStdString(session.name));
  excluded_->setChecked(static_cast<std::int8_t>(session.eligibility) <= 0);
  useLines_->setChecked(session.nameFlag != 0);
  const userfld* first = session.working->next;
  image_->setSelected(first);
  showFieldSettings(first);
}

void TemplateConfirmDialog::stepTemplate(int direction) {
  auto& ctx = templateContext();
  const int found = step_template(ctx.folder, ctx.current, direction);
  if (found < 0) return;
  ctx.current = found;
  numberEdit_->setText(QString::number(found));
  if (load_working_template(mode_) == 1) showTemplate();
  image_->viewport()->update();
}

userfld* TemplateConfirmDialog::currentField() const { return const_cast<userfld*>(image_->selected()); }

void TemplateConfirmDialog::storeSetting(const std::function<void(ParamBlock&)>& change) {
  if (loading_) return;
  userfld* field = currentField();
  if (field == nullptr) return;
  change(field->params);
  rewrite_template_field(working_field_position(field));
  loading_ = true;
  showFieldSettings(field);
  loading_ = false;
}

void TemplateConfirmDialog::showFieldSettings(const userfld* field) {
  if (field == nullptr) return;
  const bool wasLoading = loading_;
  loading_ = true;
  const ParamBlock& p = field->params;
  fieldNumber_->setText(QString::number(working_field_position(field)));
  area_->setCurrentIndex(area_index(p));
  columns_->setCurrentIndex(columns_index(p));
  language_->setCurrentIndex(language_index(p));
  kinds_->setText(QString::fromStdString(char_kind_text(p.word(ParamBlock::kCharKindMask))));
  hRules_->setChecked(field_check(p, FieldCheck::HorizontalRules));
  vRules_->setChecked(field_check(p, FieldCheck::VerticalRules));
  autoRules_->setChecked(field_check(p, FieldCheck::AutoRules));
  hDotted_->setChecked(field_check(p, FieldCheck::HorizontalDotted));
  vDotted_->setChecked(field_check(p, FieldCheck::VerticalDotted));
  blanks_->setChecked(field_check(p, FieldCheck::BlankOutput));
  lineBreaks_->setChecked(field_check(p, FieldCheck::BreakEveryLine));
  oneRegion_->setChecked(field_check(p, FieldCheck::OneRegion));
  setEnabledStates(field);
  loading_ = wasLoading;
}

void TemplateConfirmDialog::setEnabledStates(const userfld* field) {
  if (field == nullptr) return;
  const ParamBlock& p = field->params;
  const int form = p.byte(ParamBlock::kForm);
  const bool editable = settingsEditable_;
  hRules_->setEnabled(editable && (p.byte(9) != 0 || form != 0));
  vRules_->setEnabled(editable && (p.byte(9) != 0 || form != 0));
  autoRules_->setEnabled(editable && form == 0);
  blanks_->setEnabled(editable && p.byte(ParamBlock::kLineEnds) == 1 && p.byte(ParamBlock::kLanguageWord) == 0);
  changeKinds_->setEnabled(editable && form != 2 && charKindEditor != nullptr);
}

void TemplateConfirmDialog::accept() {
  auto& ctx = templateContext();
  if (mode_ == kModeDelete) {
    bool isNumber = false;
    const int number = numberEdit_->text().trimmed().toInt(&isNumber);
    if (!isNumber) return;
    if (platform::messageBox("削除してよろしいですか?", platform::Buttons::OkCancel, platform::Icon::Question,
                             "ﾃﾝﾌﾟﾚｰﾄ削除") == platform::Answer::Ok) {
      ctx.current = number;
      set_template_eligibility(static_cast<std::uint8_t>(kSlotDeleted));
    }
  } else if (mode_ == kModeReference) {
    layoutState().templateTouched = true;
  } else if (mode_ == kModeRegister) {
    register_working_template(nameEdit_->text().toStdString());
  }
  finish();
  QDialog::accept();
}

void TemplateConfirmDialog::reject() {
  finish();
  QDialog::reject();
}

void TemplateConfirmDialog::finish() {
  image_->setTemplate(nullptr, {});
  templateSession().operationMode = 0;
}

int run_confirm_dialog(QWidget* parent, int mode, int number) {
  TemplateConfirmDialog dialog(parent, mode, number);
  if (!dialog.start()) return 0;
  return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

}  // namespace layout::dialogs
