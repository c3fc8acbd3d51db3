#include "ocrctl/property_page.h"

#include "ocrctl/char_kind_dlg.h"
#include "ocrctl/ocr_dispatch_ids.h"
#include "platform/component_registry.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace ocrctl {

namespace {

struct PropertyName {
  const char* name;
  int dispid;
  bool isLong;
};

constexpr PropertyName kProperties[] = {
    {"Form", dispid::kForm, false},
    {"Language", dispid::kLanguage, false},
    {"LetterDirection", dispid::kLetterDirection, false},
    {"InsertCRMode", dispid::kInsertCRMode, false},
    {"BlancOutMode", dispid::kBlancOutMode, false},
    {"CharAttr", dispid::kCharAttr, false},
    {"ActiveColor", dispid::kActiveColor, true},
    {"RcgFieldColor", dispid::kRcgFieldColor, true},
    {"CreateColor", dispid::kCreateColor, true},
    {"ActivePensize", dispid::kActivePensize, false},
    {"RcgFieldPensize", dispid::kRcgFieldPensize, false},
    {"CreatePensize", dispid::kCreatePensize, false},
    {"RcgJpnColor", dispid::kRcgJpnColor, true},
    {"RcgEngColor", dispid::kRcgEngColor, true},
};

const PropertyName* propertyNamed(std::string_view name) {
  for (const PropertyName& p : kProperties)
    if (name == p.name) return &p;
  return nullptr;
}

QString id(int number) { return QStringLiteral("ctl%1").arg(number); }

QRadioButton* radio(QButtonGroup* group, int index, int ctl, const char* text, QWidget* parent) {
  auto* button = new QRadioButton(QString::fromUtf8(text), parent);
  button->setObjectName(id(ctl));
  group->addButton(button, index);
  return button;
}

// -1 (or any index the group lacks) leaves every button unchecked.
void checkIndex(QButtonGroup* group, int index) {
  if (QAbstractButton* button = group->button(index)) {
    button->setChecked(true);
    return;
  }
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

constexpr const char* kDirections[] = {"自動判別", "横一段", "横多段", "縦一段", "縦多段"};
constexpr int kJapaneseDirections = 5;
constexpr int kEnglishDirections = 3;

struct ColourRow {
  const char* label;
  int swatch, button, edit;
  const char* colour;
  int pen;  // 0: no pen width
  const char* penProperty;
};

constexpr ColourRow kRows[PropEnvPage::kColourRows] = {
    {"アクティブ認識枠", 231, 229, 246, "ActiveColor", 236, "ActivePensize"},
    {"設定済み認識枠", 232, 230, 247, "RcgFieldColor", 237, "RcgFieldPensize"},
    {"設定中の認識枠", 235, 234, 248, "CreateColor", 238, "CreatePensize"},
    {"日本語", 233, 240, 249, "RcgJpnColor", 0, nullptr},
    {"英語", 239, 241, 250, "RcgEngColor", 0, nullptr},
};
// The order the page exchanges its values in (rows of the table above).
constexpr int kPenOrder[] = {1, 2, 0};
constexpr int kColourOrder[] = {0, 2, 1, 4, 3};

}  // namespace

// Binding ---------------------------------------------------------------------

int PropertyBinding::dispidOf(std::string_view name) {
  const PropertyName* p = propertyNamed(name);
  return p != nullptr ? p->dispid : -1;
}

std::optional<std::int32_t> PropertyBinding::get(std::string_view name) const {
  const PropertyName* p = propertyNamed(name);
  if (p == nullptr) return std::nullopt;
  platform::Variant result;
  if (control_.invoke(p->dispid, platform::DispatchKind::PropertyGet, {}, &result) != platform::kDispOk)
    return std::nullopt;
  std::int32_t value = 0;
  if (!result.toLong(&value)) return std::nullopt;
  return value;
}

bool PropertyBinding::put(std::string_view name, std::int32_t value) {
  const PropertyName* p = propertyNamed(name);
  if (p == nullptr) return false;
  const platform::Variant arg = p->isLong ? platform::Variant(value) : platform::Variant(static_cast<std::int16_t>(value));
  return control_.invoke(p->dispid, platform::DispatchKind::PropertyPut, {&arg, 1}, nullptr) == platform::kDispOk;
}

QColor colorFromRef(std::uint32_t ref) { return QColor(ref & 0xFF, (ref >> 8) & 0xFF, (ref >> 16) & 0xFF); }

std::uint32_t refFromColor(const QColor& color) {
  return static_cast<std::uint32_t>(color.red()) | (static_cast<std::uint32_t>(color.green()) << 8) |
         (static_cast<std::uint32_t>(color.blue()) << 16);
}

void PropertyPage::setModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  if (modifiedChanged) modifiedChanged();
}

void PropertyPage::exchange(std::string_view name, std::int32_t member, std::int32_t& read) {
  if (member == read) return;
  if (binding_.put(name, member)) read = member;
}

// 認識パラメータ ---------------------------------------------------------------

OcrPropPage::OcrPropPage(PropertyBinding& binding, QWidget* parent) : PropertyPage(binding, parent) {
  setObjectName(QStringLiteral("dlg100"));
  setFont(controlDialogFont());

  formGroup_ = new QButtonGroup(this);
  crGroup_ = new QButtonGroup(this);
  blankGroup_ = new QButtonGroup(this);
  languageGroup_ = new QButtonGroup(this);

  auto* layoutBox = new QGroupBox(QStringLiteral("原稿レイアウト"), this);
  auto* layoutGrid = new QGridLayout(layoutBox);
  layoutGrid->addWidget(new QLabel(QStringLiteral("構成"), layoutBox), 0, 0);
  layoutGrid->addWidget(radio(formGroup_, 0, 201, "自動", layoutBox), 0, 1);
  layoutGrid->addWidget(radio(formGroup_, 1, 202, "表", layoutBox), 0, 2);
  layoutGrid->addWidget(radio(formGroup_, 2, 219, "文書", layoutBox), 0, 3);
  layoutGrid->addWidget(new QLabel(QStringLiteral("段組"), layoutBox), 1, 0);
  directions_ = new QComboBox(layoutBox);
  directions_->setObjectName(id(205));
  fillDirections(kJapaneseDirections);
  layoutGrid->addWidget(directions_, 1, 1, 1, 3);

  auto* outputBox = new QGroupBox(QStringLiteral("認識結果の出力"), this);
  auto* outputGrid = new QGridLayout(outputBox);
  outputGrid->addWidget(new QLabel(QStringLiteral("改行挿入"), outputBox), 0, 0);
  outputGrid->addWidget(radio(crGroup_, 0, 210, "毎行", outputBox), 0, 1);
  outputGrid->addWidget(radio(crGroup_, 1, 211, "ブロック", outputBox), 0, 2);
  outputGrid->addWidget(new QLabel(QStringLiteral("空白出力"), outputBox), 1, 0);
  outputGrid->addWidget(radio(blankGroup_, 0, 212, "なし", outputBox), 1, 1);
  outputGrid->addWidget(radio(blankGroup_, 1, 213, "あり", outputBox), 1, 2);

  auto* charBox = new QGroupBox(QStringLiteral("認識文字"), this);
  auto* charGrid = new QGridLayout(charBox);
  charGrid->addWidget(new QLabel(QStringLiteral("認識言語"), charBox), 0, 0);
  charGrid->addWidget(radio(languageGroup_, 0, 214, "日本語", charBox), 0, 1);
  charGrid->addWidget(radio(languageGroup_, 1, 215, "英語", charBox), 0, 2);
  charGrid->addWidget(new QLabel(QStringLiteral("認識字種"), charBox), 1, 0);
  charAttrEdit_ = new QLineEdit(charBox);
  charAttrEdit_->setObjectName(id(216));
  charAttrEdit_->setReadOnly(true);
  charGrid->addWidget(charAttrEdit_, 1, 1);
  charKinds_ = new QPushButton(QStringLiteral("字種変更..."), charBox);
  charKinds_->setObjectName(id(220));
  charGrid->addWidget(charKinds_, 1, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(layoutBox);
  layout->addWidget(outputBox);
  layout->addWidget(charBox);
  layout->addStretch(1);
  setMinimumSize(dialogUnits(*this, 196, 166));

  auto modified = [this] { setModified(true); };
  connect(formGroup_, &QButtonGroup::idClicked, this, modified);
  connect(blankGroup_, &QButtonGroup::idClicked, this, modified);
  connect(directions_, &QComboBox::activated, this, modified);
  connect(languageGroup_, &QButtonGroup::idClicked, this, [this](int index) {
    languageSetup(index == 0);
    setModified(true);
  });
  connect(crGroup_, &QButtonGroup::idClicked, this, [this] {
    blankOutputRule();
    setModified(true);
  });
  connect(charKinds_, &QPushButton::clicked, this, &OcrPropPage::chooseCharKinds);
}

void OcrPropPage::fillDirections(int entries) {
  directions_->clear();
  for (int i = 0; i < entries; ++i) directions_->addItem(QString::fromUtf8(kDirections[i]));
}

void OcrPropPage::load() {
  auto take = [&](const char* name, std::int32_t& member, std::size_t slot) {
    if (auto value = binding_.get(name)) member = *value;
    read_[slot] = member;
  };
  take("Language", language_, 0);
  take("BlancOutMode", blancOut_, 1);
  take("Form", form_, 2);
  take("InsertCRMode", insertCr_, 3);
  take("LetterDirection", direction_, 4);
  if (auto value = binding_.get("CharAttr")) charAttr_ = static_cast<std::uint16_t>(*value);
  read_[5] = static_cast<std::int32_t>(charAttr_);
  toControls();
  languageSetup(languageGroup_->checkedId() == 0);
  blankOutputRule();
  setModified(false);
}

void OcrPropPage::toControls() {
  checkIndex(languageGroup_, language_);
  checkIndex(blankGroup_, blancOut_);
  checkIndex(formGroup_, form_);
  checkIndex(crGroup_, insertCr_);
  directions_->setCurrentIndex(direction_ >= 0 && direction_ < directions_->count() ? direction_ : -1);
  charAttrEdit_->setText(QString::number(charAttr_));
}

void OcrPropPage::fromControls() {
  language_ = languageGroup_->checkedId();
  blancOut_ = blankGroup_->checkedId();
  form_ = formGroup_->checkedId();
  insertCr_ = crGroup_->checkedId();
  direction_ = directions_->currentIndex();
}

void OcrPropPage::apply() {
  fromControls();
  exchange("Language", language_, read_[0]);
  exchange("BlancOutMode", blancOut_, read_[1]);
  exchange("Form", form_, read_[2]);
  exchange("InsertCRMode", insertCr_, read_[3]);
  exchange("LetterDirection", direction_, read_[4]);
  exchange("CharAttr", static_cast<std::int32_t>(charAttr_), read_[5]);
  setModified(false);
}

void OcrPropPage::languageSetup(bool japanese) {
  charKinds_->setEnabled(japanese);
  // English text has no vertical columns: a vertical choice falls back to
  // the automatic one; no choice stays no choice.
  const int remembered = directions_->currentIndex();
  fillDirections(japanese ? kJapaneseDirections : kEnglishDirections);
  directions_->setCurrentIndex(remembered < 0 ? -1 : remembered < directions_->count() ? remembered : 0);
  blankOutputRule();
}

// Blanks are output only for Japanese read line by line.
void OcrPropPage::blankOutputRule() {
  const bool allowed = crGroup_->checkedId() == 0 && languageGroup_->checkedId() == 0;
  if (!allowed) checkIndex(blankGroup_, 0);
  for (QAbstractButton* b : blankGroup_->buttons()) b->setEnabled(allowed);
}

void OcrPropPage::chooseCharKinds() {
  CharKindDlg dialog(charAttr_, this);
  const bool wasModified = isModified();
  const int result = charKindRunner ? charKindRunner(dialog) : dialog.exec();
  if (result == QDialog::Accepted) {
    charAttr_ = dialog.value();
    charAttrEdit_->setText(QString::number(charAttr_));
    setModified(true);
  } else if (!wasModified && isModified()) {
    setModified(false);
  }
}

// 環境設定 ---------------------------------------------------------------------

ColourSwatch::ColourSwatch(bool filled, QWidget* parent) : QFrame(parent), filled_(filled) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
}

void ColourSwatch::setColour(std::uint32_t ref) {
  colour_ = ref;
  update();
}

void ColourSwatch::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect client = contentsRect();
  const int inset = std::min(client.width() / 8, client.height() / 8);
  const QRect inner = client.adjusted(inset, inset, -inset, -inset);
  painter.fillRect(inner, Qt::white);
  painter.setPen(QPen(colorFromRef(colour_), 1));
  if (filled_) painter.setBrush(colorFromRef(colour_));
  painter.drawRect(inner.adjusted(0, 0, -1, -1));
}

PropEnvPage::PropEnvPage(PropertyBinding& binding, QWidget* parent) : PropertyPage(binding, parent) {
  setObjectName(QStringLiteral("dlg207"));
  setFont(controlDialogFont());
  auto* frames = new QGroupBox(QStringLiteral("範囲枠線の表示"), this);
  auto* frameGrid = new QGridLayout(frames);
  frameGrid->addWidget(new QLabel(QStringLiteral("－線の色－"), frames), 0, 1, 1, 2, Qt::AlignCenter);
  frameGrid->addWidget(new QLabel(QStringLiteral("－線幅－"), frames), 0, 3, Qt::AlignCenter);
  auto* progress = new QGroupBox(QStringLiteral("認識経過の表示色"), this);
  auto* progressGrid = new QGridLayout(progress);
  const QSize swatchSize = dialogUnits(*this, 20, 14);
  for (int row = 0; row < kColourRows; ++row) {
    const ColourRow& r = kRows[row];
    const bool frame = r.pen != 0;
    QGroupBox* box = frame ? frames : progress;
    QGridLayout* grid = frame ? frameGrid : progressGrid;
    const int line = frame ? row + 1 : row - kPenRows;
    grid->addWidget(new QLabel(QString::fromUtf8(r.label), box), line, 0);
    auto* swatch = new ColourSwatch(!frame, box);
    swatch->setObjectName(id(r.swatch));
    swatch->setFixedSize(swatchSize);
    grid->addWidget(swatch, line, 1);
    auto* choose = new QPushButton(QStringLiteral("参照..."), box);
    choose->setObjectName(id(r.button));
    grid->addWidget(choose, line, 2);
    // The colour as a number, kept where the page's exchange reads it.
    auto* edit = new QLineEdit(box);
    edit->setObjectName(id(r.edit));
    edit->setVisible(false);
    swatches_[static_cast<std::size_t>(row)] = swatch;
    colourEdits_[static_cast<std::size_t>(row)] = edit;
    connect(choose, &QPushButton::clicked, this, [this, row] { chooseColour(row); });
    if (!frame) continue;
    auto* pen = new QSpinBox(box);
    pen->setObjectName(id(r.pen));
    pen->setRange(-32768, 32767);
    grid->addWidget(pen, line, 3);
    penEdits_[static_cast<std::size_t>(row)] = pen;
    connect(pen, &QSpinBox::valueChanged, this, [this] { setModified(true); });
  }
  // Both boxes line their labels, swatches and buttons up in one column each.
  const int labelWidth = QFontMetrics(font()).horizontalAdvance(QString::fromUtf8(kRows[0].label)) + 8;
  for (QGridLayout* grid : {frameGrid, progressGrid}) {
    grid->setColumnMinimumWidth(0, labelWidth);
    grid->setColumnStretch(3, 1);
  }
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frames);
  layout->addWidget(progress);
  layout->addStretch(1);
  setMinimumSize(dialogUnits(*this, 193, 160));
}

void PropEnvPage::load() {
  for (int row : kPenOrder) {
    const auto i = static_cast<std::size_t>(row);
    if (auto value = binding_.get(kRows[row].penProperty)) pens_[i] = *value;
    pensRead_[i] = pens_[i];
  }
  for (int row : kColourOrder) {
    const auto i = static_cast<std::size_t>(row);
    if (auto value = binding_.get(kRows[row].colour)) colours_[i] = static_cast<std::uint32_t>(*value);
    coloursRead_[i] = static_cast<std::int32_t>(colours_[i]);
  }
  for (std::size_t i = 0; i < kPenRows; ++i) {
    const QSignalBlocker quiet(penEdits_[i]);
    penEdits_[i]->setValue(pens_[i]);
  }
  for (std::size_t i = 0; i < kColourRows; ++i) {
    swatches_[i]->setColour(colours_[i]);
    colourEdits_[i]->setText(QString::number(colours_[i]));
  }
  setModified(false);
}

void PropEnvPage::apply() {
  for (int row : kPenOrder) {
    const auto i = static_cast<std::size_t>(row);
    pens_[i] = penEdits_[i]->value();
    exchange(kRows[row].penProperty, pens_[i], pensRead_[i]);
  }
  for (int row : kColourOrder) {
    const auto i = static_cast<std::size_t>(row);
    colours_[i] = colourEdits_[i]->text().toUInt();
    exchange(kRows[row].colour, static_cast<std::int32_t>(colours_[i]), coloursRead_[i]);
  }
  setModified(false);
}

void PropEnvPage::chooseColour(int row) {
  const auto i = static_cast<std::size_t>(row);
  const QColor current = colorFromRef(colours_[i]);
  std::optional<QColor> chosen;
  if (pickColour) {
    chosen = pickColour(current);
  } else {
    QColorDialog dialog(current, this);
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.selectedColor();
  }
  if (!chosen || !chosen->isValid()) return;
  colours_[i] = refFromColor(*chosen);
  swatches_[i]->setColour(colours_[i]);
  colourEdits_[i]->setText(QString::number(colours_[i]));
  setModified(true);
}

// The sheet ------------------------------------------------------------------

OcrPropertySheet::OcrPropertySheet(platform::DispatchObject& control, QWidget* parent)
    : QDialog(parent), binding_(control) {
  setObjectName(QStringLiteral("ZeqOcrPropertySheet"));
  setWindowTitle(QStringLiteral("ZEQOcr Control 3.0のプロパティ"));
  setFont(controlDialogFont());
  setModal(true);
  tabs_ = new QTabWidget(this);
  parameters_ = new OcrPropPage(binding_, tabs_);
  environment_ = new PropEnvPage(binding_, tabs_);
  tabs_->addTab(parameters_, parameters_->caption());
  tabs_->addTab(environment_, environment_->caption());
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("ctl2"));
  apply_ = buttons->addButton(QStringLiteral("適用(&A)"), QDialogButtonBox::ApplyRole);
  apply_->setObjectName(QStringLiteral("ctl12321"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  connect(ok, &QPushButton::clicked, this, &OcrPropertySheet::accept);
  connect(cancel, &QPushButton::clicked, this, &OcrPropertySheet::reject);
  connect(apply_, &QPushButton::clicked, this, &OcrPropertySheet::applyPages);
  auto modified = [this] { apply_->setEnabled(parameters_->isModified() || environment_->isModified()); };
  parameters_->modifiedChanged = modified;
  environment_->modifiedChanged = modified;
  parameters_->load();
  environment_->load();
  apply_->setEnabled(false);
}

void OcrPropertySheet::applyPages() {
  for (PropertyPage* page : {static_cast<PropertyPage*>(parameters_), static_cast<PropertyPage*>(environment_)})
    if (page->isModified()) page->apply();
}

void OcrPropertySheet::accept() {
  applyPages();
  QDialog::accept();
}

short showPropertySheet(platform::DispatchObject& control, QWidget* parent, const DialogRunner& runner) {
  OcrPropertySheet sheet(control, parent);
  runDialog(sheet, runner);
  return 0;
}

}  // namespace ocrctl
