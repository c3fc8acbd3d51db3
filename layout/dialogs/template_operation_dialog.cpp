#include "layout/dialogs/template_operation_dialog.h"

#include "layout/dialogs/char_class_dialogs.h"
#include "layout/dialogs/control_ids.h"
#include "layout/dialogs/template_confirm_dialog.h"
#include "layout/dialogs/template_folder_chooser.h"
#include "layout/layout_messages.h"
#include "layout/layout_status.h"
#include "layout/library_state.h"
#include "layout/ring.h"
#include "layout/template_dialog_hooks.h"
#include "layout/template_matching.h"
#include "layout/template_session.h"
#include "platform/sjis_codec.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace layout::dialogs {
namespace {

constexpr int kThresholdMin = 1;
constexpr int kThresholdMax = 99;
constexpr int kThresholdPage = 10;

KeisenPair pageLines() { return {layoutState().hLines, layoutState().vLines}; }

// Runs `work` on the template ruled-line pair of the library state.
template <typename F>
short withTemplateLines(F work) {
  auto& state = layoutState();
  KeisenPair lines{state.templateHLines, state.templateVLines};
  const short status = work(lines);
  state.templateHLines = lines.horizontal;
  state.templateVLines = lines.vertical;
  return status;
}

}  // namespace

TemplateOperationDialog::TemplateOperationDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("rgstTemp"));
  setWindowTitle(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ操作"));
  buildControls();

  auto& ctx = templateContext();
  auto& state = layoutState();
  matched_->setText(QStringLiteral(" "));
  if (ctx.folder.empty()) {
    ctx.folder = library_folder();
    ctx.tablePath = template_table_path(ctx.folder);
  }
  folder_->setText(QString::fromStdString(ctx.folder));
  setThreshold(templateSession().threshold);
  callUp_->setEnabled(false);
  nextCandidate_->setEnabled(false);
  state.templateTouched = false;
  fillTemplateNames(ctx.current);
  register_->setEnabled(!ringEmpty(state.inputFields));
}

void TemplateOperationDialog::buildControls() {
  auto* matching = new QGroupBox(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ照合"), this);
  match_ = withControlId(new QPushButton(QStringLiteral("照合"), matching), 1001);
  nextCandidate_ = withControlId(new QPushButton(QStringLiteral("次候補"), matching), 1003);
  matched_ = withControlId(new QLabel(matching), 1011);
  thresholdEdit_ = withControlId(new QLineEdit(matching), 1005);
  thresholdEdit_->setReadOnly(true);
  threshold_ = withControlId(new QScrollBar(Qt::Horizontal, matching), 1009);
  threshold_->setRange(kThresholdMin, kThresholdMax);
  threshold_->setSingleStep(1);
  threshold_->setPageStep(kThresholdPage);
  // The value changes when the thumb is let go, not while it is dragged.
  threshold_->setTracking(false);
  auto* matchingLayout = new QGridLayout(matching);
  matchingLayout->addWidget(match_, 0, 0);
  matchingLayout->addWidget(nextCandidate_, 0, 1);
  matchingLayout->addWidget(matched_, 0, 2);
  matchingLayout->addWidget(new QLabel(QStringLiteral("照合度"), matching), 1, 0);
  matchingLayout->addWidget(thresholdEdit_, 1, 1);
  auto* scaleRow = new QHBoxLayout;
  scaleRow->addWidget(new QLabel(QStringLiteral("1"), matching));
  scaleRow->addWidget(threshold_, 1);
  scaleRow->addWidget(new QLabel(QStringLiteral("99"), matching));
  matchingLayout->addLayout(scaleRow, 2, 0, 1, 3);

  auto* registering = new QGroupBox(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ登録/削除"), this);
  register_ = withControlId(new QPushButton(QStringLiteral("登録"), registering), 1007);
  delete_ = withControlId(new QPushButton(QStringLiteral("削除..."), registering), 2100);
  auto* registeringLayout = new QHBoxLayout(registering);
  registeringLayout->addWidget(register_);
  registeringLayout->addWidget(delete_);

  auto* calling = new QGroupBox(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄ呼出"), this);
  numberEdit_ = withControlId(new QLineEdit(calling), 1035);
  callUp_ = withControlId(new QPushButton(QStringLiteral("呼び出し"), calling), 1034);
  browse_ = withControlId(new QPushButton(QStringLiteral("参照..."), calling), 1036);
  names_ = withControlId(new QComboBox(calling), 1066);
  modify_ = withControlId(new QPushButton(QStringLiteral("修正..."), calling), 1067);
  auto* callingLayout = new QGridLayout(calling);
  callingLayout->addWidget(new QLabel(QStringLiteral("呼出番号"), calling), 0, 0);
  callingLayout->addWidget(numberEdit_, 0, 1);
  callingLayout->addWidget(callUp_, 0, 2);
  callingLayout->addWidget(browse_, 0, 3);
  callingLayout->addWidget(new QLabel(QStringLiteral("名称"), calling), 1, 0);
  callingLayout->addWidget(names_, 1, 1, 1, 2);
  callingLayout->addWidget(modify_, 1, 3);

  folder_ = withControlId(new QLineEdit(this), 1028);
  changeFolder_ = withControlId(new QPushButton(QStringLiteral("変更..."), this), 2000);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(new QLabel(QStringLiteral("ﾃﾞｨﾚｸﾄﾘ"), this));
  folderRow->addWidget(folder_, 1);
  folderRow->addWidget(changeFolder_);

  auto* ok = withControlId(new QPushButton(QStringLiteral("OK"), this), 1);
  auto* cancel = withControlId(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), 2);
  ok->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addWidget(cancel);

  auto* top = new QVBoxLayout(this);
  top->addWidget(matching);
  top->addWidget(registering);
  top->addWidget(calling);
  top->addLayout(folderRow);
  top->addLayout(buttons);

  connect(ok, &QPushButton::clicked, this, &TemplateOperationDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &TemplateOperationDialog::reject);
  connect(threshold_, &QScrollBar::valueChanged, this, &TemplateOperationDialog::setThreshold);
  connect(match_, &QPushButton::clicked, this, [this] { match(false); });
  connect(nextCandidate_, &QPushButton::clicked, this, [this] { match(true); });
  connect(register_, &QPushButton::clicked, this, [this] {
    if (run_confirm_dialog(this, kModeRegister, -1) == 1) fillTemplateNames(templateContext().current);
  });
  connect(delete_, &QPushButton::clicked, this, [this] {
    layoutState().templateTouched = false;
    if (run_confirm_dialog(this, kModeDelete, templateContext().current) == 1) fillTemplateNames(-1);
  });
  connect(names_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0 || index >= static_cast<int>(nameNumbers_.size())) return;
    numberEdit_->setText(QString::number(nameNumbers_[static_cast<std::size_t>(index)]));
    followNumberEdit();
  });
  connect(numberEdit_, &QLineEdit::textChanged, this, [this] { followNumberEdit(); });
  connect(callUp_, &QPushButton::clicked, this, &TemplateOperationDialog::callUp);
  connect(browse_, &QPushButton::clicked, this, &TemplateOperationDialog::browse);
  connect(modify_, &QPushButton::clicked, this, [this] {
    bool isNumber = false;
    const int number = numberEdit_->text().trimmed().toInt(&isNumber);
    templateContext().current = isNumber ? number : 0;
    run_confirm_dialog(this, kModeModify, templateContext().current);
  });
  connect(folder_, &QLineEdit::textChanged, this, [this](const QString& text) {
    templateContext().folder = text.toStdString();
    templateContext().tablePath = template_table_path(templateContext().folder);
  });
  connect(changeFolder_, &QPushButton::clicked, this, [this] {
    std::string chosen;
    if (choose_template_folder(this, templateContext().folder, chosen) != 1) return;
    folder_->setText(QString::fromStdString(chosen));
    fillTemplateNames(-1);
  });
}

int TemplateOperationDialog::fillTemplateNames(int number) {
  auto& ctx = templateContext();
  const QSignalBlocker blocker(names_);
  names_->clear();
  nameNumbers_.clear();
  std::vector<TemplateName> names;
  const int count = std::max(0, read_template_names(ctx.folder, &names));
  for (const TemplateName& n : names) {
    const std::string name = platform::fromCp932(n.name);
    names_->addItem(QString::fromStdString(name.empty() ? default_template_name(n.number) : name));
    nameNumbers_.push_back(n.number);
  }
  const bool any = count > 0 && !nameNumbers_.empty();
  if (any) {
    int index = 0;
    if (number >= 0) {
      const auto it = std::find(nameNumbers_.begin(), nameNumbers_.end(), number);
      if (it != nameNumbers_.end()) index = static_cast<int>(it - nameNumbers_.begin());
    }
    names_->setCurrentIndex(index);
    ctx.current = nameNumbers_[static_cast<std::size_t>(index)];
    numberEdit_->setText(QString::number(ctx.current));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{delete_, callUp_, browse_, names_, numberEdit_, match_,
                                                    nextCandidate_})
    w->setEnabled(any);
  return any ? static_cast<int>(nameNumbers_.size()) : 0;
}

void TemplateOperationDialog::setThreshold(int value) {
  value = std::clamp(value, kThresholdMin, kThresholdMax);
  templateSession().threshold = value;
  thresholdEdit_->setText(QString::number(value));
  const QSignalBlocker blocker(threshold_);
  threshold_->setValue(value);
}

void TemplateOperationDialog::followNumberEdit() {
  const bool hasText = !numberEdit_->text().isEmpty();
  callUp_->setEnabled(hasText);
  browse_->setEnabled(hasText);
}

void TemplateOperationDialog::match(bool next) {
  auto& state = layoutState();
  auto& ctx = templateContext();
  if (state.images[0].bits == nullptr) return;  // no page to match
  state.templateTouched = false;
  double similarity = 0.0;
  const int threshold = templateSession().threshold;
  const short status = withTemplateLines([&](KeisenPair& lines) {
    return next ? next_template_match(&state.inputFields, &lines, ctx, pageLines(), threshold, &similarity)
                : match_templates(&state.inputFields, &lines, ctx, pageLines(), state.images[0], threshold,
                                  &similarity);
  });
  switch (status) {
    case kStatusTemplateMatch:
      if (next) ctx.current = -1;
      matched_->setText(next ? QStringLiteral("xxx") : QStringLiteral("XXX"));
      report_template_error(kMsgTemplateMatch);
      return;
    case kStatusFileRead: report_template_error(kMsgTemplateRead); return;
    case kStatusFileOpen: report_template_error(kMsgTemplateOpen); return;
    case kStatusNoMemory: report_template_error(kMsgNoMemory); return;
    default: break;
  }
  // Any other status of the next candidate (none left among them) keeps the
  // template matched before.
  state.templateTouched = true;
  matched_->setText(QString::number(ctx.current));
  nextCandidate_->setEnabled(true);
}

void TemplateOperationDialog::callUp() {
  bool isNumber = false;
  const int number = numberEdit_->text().trimmed().toInt(&isNumber);
  if (!isNumber || number < 0) return;
  auto& state = layoutState();
  const short status = withTemplateLines([&](KeisenPair& lines) {
    return read_template_core(templateContext(), number, &state.inputFields, &lines, pageLines(),
                              templateSession().threshold);
  });
  if (status != kStatusDone) {
    report_template_error(kMsgTemplateRead);
    return;
  }
  state.templateTouched = true;
}

void TemplateOperationDialog::browse() {
  auto& ctx = templateContext();
  const int found = step_template(ctx.folder, std::max(ctx.current, 0), 0);
  if (found == -2) report_template_error(kMsgNoTemplateFromNumber);
  if (found < 0) return;
  ctx.current = found;
  if (run_confirm_dialog(this, kModeReference, found) == 0) return;
  numberEdit_->setText(QString::number(ctx.current));
  if (ctx.current >= 0) callUp();
}

void TemplateOperationDialog::accept() { QDialog::accept(); }

void TemplateOperationDialog::reject() {
  layoutState().templateTouched = false;
  QDialog::reject();
}

int run_operation_dialog(QWidget* parent) {
  TemplateOperationDialog dialog(parent);
  return dialog.exec() == QDialog::Accepted ? 1 : 0;
}

namespace {

QWidget* ownerOf(void*) { return QApplication::activeWindow(); }

// What "変更..." opens: the text-field dialog over the field's mask, or the
// grid of a table group.  The grid is read and written by the grid dialog
// itself (from the working template while registering, else from the
// template's file), so only the text mask comes back through *mask.
int editCharKinds(QWidget* parent, int target, int* mask) {
  if (target < 0) {
    if (mask == nullptr) return -1;
    auto kinds = static_cast<std::uint16_t>(*mask);
    const int result = run_text_kind_dialog(parent, 0, 0, &kinds);
    if (result == 1) *mask = static_cast<std::int16_t>(kinds);
    return result;
  }
  const auto& ctx = templateContext();
  auto& session = templateSession();
  return run_kind_grid_dialog(parent, ctx.folder, ctx.current, target, session.working, session.operationMode);
}

}  // namespace

void install_template_dialogs() {
  auto& hooks = templateDialogHooks();
  hooks.operation = [](void* window) -> int {
    if (!can_show_dialogs()) return -1;
    return run_operation_dialog(ownerOf(window));
  };
  hooks.confirm = [](void* window, int mode, int number) -> int {
    if (!can_show_dialogs()) return -1;
    return run_confirm_dialog(ownerOf(window), mode, number);
  };
  set_char_kind_editor(editCharKinds);
}

}  // namespace layout::dialogs
