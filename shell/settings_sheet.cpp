#include "shell/settings_sheet.h"

#include "shell/import_dialogs.h"

#include "catalogue/catalogue_text.h"
#include "catalogue/sjis_text.h"
#include "platform/user_interaction.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRegularExpressionValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <string>

namespace {

QString ctl(int id) { return QStringLiteral("ctl%1").arg(id); }

void warn(const QString& text) { platform::messageBox(text.toStdString(), platform::Buttons::Ok, platform::Icon::Warning); }

QComboBox* comboOf(QWidget* page, int id, std::initializer_list<const char*> items) {
  auto* combo = new QComboBox(page);
  combo->setObjectName(ctl(id));
  for (const char* item : items) combo->addItem(QString::fromUtf8(item));
  return combo;
}

QCheckBox* checkOf(QWidget* page, int id, const char* text) {
  auto* check = new QCheckBox(QString::fromUtf8(text), page);
  check->setObjectName(ctl(id));
  return check;
}

// A radio group whose buttons carry ids firstId, firstId + 1, ...; its value
// is the 0-based index of the checked button, -1 when none is.
class RadioGroup {
 public:
  RadioGroup(QWidget* page, int firstId, std::initializer_list<const char*> texts) : group_(new QButtonGroup(page)) {
    group_->setExclusive(true);
    int index = 0;
    for (const char* text : texts) {
      auto* button = new QRadioButton(QString::fromUtf8(text), page);
      button->setObjectName(ctl(firstId + index));
      group_->addButton(button, index++);
    }
  }
  void Set(int index) {
    if (QAbstractButton* b = group_->button(index)) {
      b->setChecked(true);
      return;
    }
    // No choice: every button unchecked.
    group_->setExclusive(false);
    for (QAbstractButton* b : group_->buttons()) b->setChecked(false);
    group_->setExclusive(true);
  }
  int Get() const { return group_->checkedId(); }
  void SetEnabled(bool on) {
    for (QAbstractButton* b : group_->buttons()) b->setEnabled(on);
  }
  QList<QAbstractButton*> Buttons() const { return group_->buttons(); }
  QButtonGroup* group() const { return group_; }

 private:
  QButtonGroup* group_;
};

QGroupBox* boxOf(QWidget* page, const char* title, const QList<QWidget*>& widgets) {
  auto* box = new QGroupBox(QString::fromUtf8(title), page);
  auto* layout = new QVBoxLayout(box);
  for (QWidget* w : widgets) layout->addWidget(w);
  return box;
}

QList<QWidget*> widgetsOf(const RadioGroup& group) {
  QList<QWidget*> list;
  for (QAbstractButton* b : group.Buttons()) list.push_back(b);
  return list;
}

// ---- scan -----------------------------------------------------------------

class ScanPage : public SettingsPage {
 public:
  explicit ScanPage(SettingsSheet& sheet)
      : SettingsPage(sheet), spinR_(this, 10164, {"左９０°", "右９０°", "１８０°"}) {
    setObjectName(QStringLiteral("dlg10124"));
    base_ = new QLineEdit(this);
    base_->setObjectName(ctl(10160));
    date_ = comboOf(this, 10161, {"日付なし", "年月日", "月日"});
    time_ = comboOf(this, 10162, {"時刻なし", "２４時間制", "１２時間制"});
    deskew_ = checkOf(this, 10168, "用紙の傾きを自動的に補正する");
    despeckle_ = checkOf(this, 10167, "ノイズを自動的に除去する");
    spin_ = checkOf(this, 10163, "画像を回転する");
    invert_ = checkOf(this, 10169, "白黒２値画像の場合、反転する");
    auto* layout = new QVBoxLayout(this);
    auto* title = new QHBoxLayout;
    title->addWidget(base_);
    title->addWidget(date_);
    title->addWidget(time_);
    layout->addWidget(new QLabel(QStringLiteral("画像のタイトル名"), this));
    layout->addLayout(title);
    layout->addWidget(deskew_);
    layout->addWidget(despeckle_);
    QList<QWidget*> rotation{spin_};
    rotation.append(widgetsOf(spinR_));
    layout->addWidget(boxOf(this, "回転", rotation));
    layout->addWidget(invert_);
    layout->addStretch();
    connect(spin_, &QCheckBox::toggled, this, [this](bool on) { spinR_.SetEnabled(on); });
  }
  bool Check() override {
    const QString message = CheckTitleBase(base_->text(), date_->currentIndex(), time_->currentIndex());
    if (message.isEmpty()) return true;
    warn(message);
    base_->setFocus();
    return false;
  }
  void Store() override {
    auto& v = values();
    v.KankyoScanNameBase = base_->text();
    v.KankyoScanNameDate = date_->currentIndex();
    v.KankyoScanNameTime = time_->currentIndex();
    v.KankyoScanDeskew = deskew_->isChecked();
    v.KankyoScanDespeckle = despeckle_->isChecked();
    v.KankyoScanSpin = spin_->isChecked();
    v.KankyoScanSpinR = spinR_.Get();
    v.KankyoScanInvert = invert_->isChecked();
  }

 protected:
  void Load() override {
    const auto& v = values();
    base_->setText(v.KankyoScanNameBase);
    date_->setCurrentIndex(v.KankyoScanNameDate);
    time_->setCurrentIndex(v.KankyoScanNameTime);
    deskew_->setChecked(v.KankyoScanDeskew != 0);
    despeckle_->setChecked(v.KankyoScanDespeckle != 0);
    spin_->setChecked(v.KankyoScanSpin != 0);
    spinR_.Set(v.KankyoScanSpinR);
    spinR_.SetEnabled(spin_->isChecked());
    invert_->setChecked(v.KankyoScanInvert != 0);
  }

 private:
  QLineEdit* base_;
  QComboBox* date_;
  QComboBox* time_;
  QCheckBox* deskew_;
  QCheckBox* despeckle_;
  QCheckBox* spin_;
  RadioGroup spinR_;
  QCheckBox* invert_;
};

// ---- image ----------------------------------------------------------------

class ImagePage : public SettingsPage {
 public:
  explicit ImagePage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName(QStringLiteral("dlg10121"));
    cmp_[0] = comboOf(this, 10130, {"無変換", "TIFF G3圧縮", "TIFF G4圧縮", "PNG"});
    cmp_[1] = comboOf(this, 10131, {"無変換", "JPEG", "TIFF JPEG圧縮", "PNG"});
    cmp_[2] = comboOf(this, 10132, {"無変換", "TIFF LZW圧縮", "PNG"});
    cmp_[3] = comboOf(this, 10133, {"無変換", "JPEG", "TIFF JPEG圧縮", "PNG"});
    res_ = comboOf(this, 10134, {"100 DPI", "150 DPI", "200 DPI", "300 DPI", "400 DPI"});
    auto* box = new QGroupBox(QStringLiteral("画像形式の変換"), this);
    auto* form = new QFormLayout(box);
    form->addRow(QStringLiteral("白黒"), cmp_[0]);
    form->addRow(QStringLiteral("グレースケール"), cmp_[1]);
    form->addRow(QStringLiteral("256色以下のカラー"), cmp_[2]);
    form->addRow(QStringLiteral("16ビット以上のカラー"), cmp_[3]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box);
    auto* resRow = new QFormLayout;
    resRow->addRow(QStringLiteral("BMPファイルの解像度"), res_);
    layout->addLayout(resRow);
    layout->addStretch();
  }
  void Store() override {
    auto& v = values();
    int* keys[] = {&v.KankyoAutoCmp1, &v.KankyoAutoCmp2, &v.KankyoAutoCmp3, &v.KankyoAutoCmp4};
    for (int i = 0; i < 4; ++i) *keys[i] = cmp_[i]->currentIndex();
    // The chosen entry's leading number ("300 DPI" gives 300).
    const int res = res_->currentText().section(QLatin1Char(' '), 0, 0).toInt();
    if (res > 0) v.KankyoBmpRes = res;
  }

 protected:
  void Load() override {
    const auto& v = values();
    const int keys[] = {v.KankyoAutoCmp1, v.KankyoAutoCmp2, v.KankyoAutoCmp3, v.KankyoAutoCmp4};
    for (int i = 0; i < 4; ++i) cmp_[i]->setCurrentIndex(keys[i]);
    // The first entry that begins with the value's decimal text.
    const QString text = QString::number(v.KankyoBmpRes);
    res_->setCurrentIndex(-1);
    for (int i = 0; i < res_->count(); ++i)
      if (res_->itemText(i).startsWith(text)) {
        res_->setCurrentIndex(i);
        break;
      }
  }

 private:
  QComboBox* cmp_[4];
  QComboBox* res_;
};

// ---- show -----------------------------------------------------------------

class ShowPage : public SettingsPage {
 public:
  explicit ShowPage(SettingsSheet& sheet) : SettingsPage(sheet), ext_(this, 10170, {"表示しない", "表示する"}) {
    setObjectName(QStringLiteral("dlg10125"));
    font_ = new QLineEdit(this);
    font_->setObjectName(ctl(10172));
    font_->setMaxLength(2);
    font_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), font_));
    expand_ = checkOf(this, 1074, "起動時に前回終了時のフォルダを表示する");
    folderMax_ = new QLineEdit(this);
    folderMax_->setObjectName(ctl(10173));
    folderMax_->setMaxLength(4);
    folderMax_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), folderMax_));
    folderMaxLabel_ = new QLabel(QStringLiteral("１フォルダの最大登録可能数"), this);
    folderMaxLabel_->setObjectName(ctl(1000));
    // Hidden until the page is double-clicked with the right button while
    // both buttons, Shift and Ctrl are held.
    folderMax_->hide();
    folderMaxLabel_->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(boxOf(this, "タイトルの拡張子", widgetsOf(ext_)));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("タイトルの文字サイズ"), font_);
    form->addRow(folderMaxLabel_, folderMax_);
    layout->addLayout(form);
    layout->addWidget(expand_);
    layout->addStretch();
  }
  bool Check() override {
    bool ok = false;
    const double font = font_->text().toDouble(&ok);
    if (!ok || font < 2.0 || font > 12.0) {
      warn(QStringLiteral("2 から 12 までの数値を入力してください。"));
      font_->setFocus();
      return false;
    }
    const int limit = folderMax_->text().toInt(&ok);
    if (!ok || limit < 10 || limit > kDefaultFolderMax) {
      warn(QStringLiteral("10 から 2000 までの整数を入力してください。"));
      folderMax_->setFocus();
      return false;
    }
    return true;
  }
  void Store() override {
    auto& v = values();
    v.KankyoShowExtMode = ext_.Get();
    v.KankyoShowExpand = expand_->isChecked();
    v.KankyoShowFolderMax2000 = folderMax_->text().toInt();
    // The size is kept in tenths; a size the user left alone keeps its
    // stored tenths (105 stays 105 rather than becoming 100).
    if (font_->text() != shownFont_) v.KankyoShowFontSize = static_cast<int>(font_->text().toDouble() * 10);
  }
  bool FolderLimitShown() const { return !folderMax_->isHidden(); }

 protected:
  void Load() override {
    const auto& v = values();
    ext_.Set(v.KankyoShowExtMode);
    shownFont_ = QString::number(v.KankyoShowFontSize / 10);
    font_->setText(shownFont_);
    expand_->setChecked(v.KankyoShowExpand != 0);
    folderMax_->setText(QString::number(v.KankyoShowFolderMax2000));
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    const bool buttons = (event->buttons() & Qt::LeftButton) && (event->buttons() & Qt::RightButton);
    const bool keys = (event->modifiers() & Qt::ShiftModifier) && (event->modifiers() & Qt::ControlModifier);
    if (event->button() == Qt::RightButton && buttons && keys) {
      folderMax_->show();
      folderMaxLabel_->show();
    }
    SettingsPage::mouseDoubleClickEvent(event);
  }

 private:
  RadioGroup ext_;
  QLineEdit* font_;
  QString shownFont_;
  QCheckBox* expand_;
  QLineEdit* folderMax_;
  QLabel* folderMaxLabel_;
};

// ---- OCR ------------------------------------------------------------------

class OcrPage : public SettingsPage {
 public:
  explicit OcrPage(SettingsSheet& sheet)
      : SettingsPage(sheet),
        program_(this, 10140, {"基本機能", "Lumora v.5.0以降"}),
        language_(this, 10142, {"日本語", "英語", "直前の設定"}),
        type_(this, 10145, {"全角", "半角", "直前の設定"}) {
    setObjectName(QStringLiteral("dlg10122"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(boxOf(this, "OCRプログラム", widgetsOf(program_)));
    layout->addWidget(boxOf(this, "認識言語", widgetsOf(language_)));
    layout->addWidget(boxOf(this, "出力文字", widgetsOf(type_)));
    layout->addStretch();
    connect(language_.group(), &QButtonGroup::idClicked, this, [this](int id) { type_.SetEnabled(id != 1); });
  }
  void Store() override {
    auto& v = values();
    // Without the sibling application the choice is not the user's: the
    // value stays unset (-1), so a sibling installed later is used.
    if (sheet_.OcrLevel() >= 4) v.KankyoOCRProgram = program_.Get();
    v.KankyoOCRLanguage = language_.Get();
    v.KankyoOCRStringType = type_.Get();
  }

 protected:
  void Load() override {
    auto& v = values();
    // Without the sibling application there is nothing to choose.
    if (sheet_.OcrLevel() < 4) {
      v.KankyoOCRProgram = -1;
      program_.SetEnabled(false);
      program_.Set(0);  // what runs: the built-in recognition
    } else {
      if (v.KankyoOCRProgram == -1) v.KankyoOCRProgram = 1;
      program_.Set(v.KankyoOCRProgram);
    }
    language_.Set(v.KankyoOCRLanguage);
    type_.Set(v.KankyoOCRStringType);
    type_.SetEnabled(v.KankyoOCRLanguage != 1);
  }

 private:
  RadioGroup program_;
  RadioGroup language_;
  RadioGroup type_;
};

// ---- print ----------------------------------------------------------------

class PrintPage : public SettingsPage {
 public:
  explicit PrintPage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName(QStringLiteral("dlg10123"));
    rotate_ = checkOf(this, 1020, "画像が用紙に収まらないとき回転");
    spaceX_ = new QLineEdit(this);
    spaceX_->setObjectName(ctl(10150));
    spaceY_ = new QLineEdit(this);
    spaceY_->setObjectName(ctl(10151));
    image_ = checkOf(this, 1070, "画像ファイル");
    user_ = checkOf(this, 1071, "指定ファイル");
    ext_ = new QLineEdit(this);
    ext_->setObjectName(ctl(1073));
    browse_ = new QPushButton(QStringLiteral("参照 ..."), this);
    browse_->setObjectName(ctl(1072));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(rotate_);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("左余白 (mm)"), spaceX_);
    form->addRow(QStringLiteral("上余白 (mm)"), spaceY_);
    layout->addLayout(form);
    auto* extRow = new QHBoxLayout;
    extRow->addWidget(ext_);
    extRow->addWidget(browse_);
    auto* box = new QGroupBox(QStringLiteral("印刷対象"), this);
    auto* boxLayout = new QVBoxLayout(box);
    boxLayout->addWidget(image_);
    boxLayout->addWidget(user_);
    boxLayout->addLayout(extRow);
    layout->addWidget(box);
    layout->addStretch();
    connect(user_, &QCheckBox::toggled, this, [this] { EnableExtension(); });
    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
  }
  bool Check() override {
    bool ok = false;
    for (QLineEdit* edit : {spaceX_, spaceY_}) {
      const int value = edit->text().trimmed().toInt(&ok);
      if (!ok || value < -100 || value > 100) {
        warn(QStringLiteral("-100 から 100 までの整数を入力してください。"));
        edit->setFocus();
        return false;
      }
    }
    if (!user_->isChecked()) return true;
    ext_->setText(ext_->text().trimmed());
    const QString message = CheckExtensionList(ext_->text());
    if (message.isEmpty()) return true;
    warn(message);
    ext_->setFocus();
    return false;
  }
  void Store() override {
    auto& v = values();
    v.KankyoPrintRotate = rotate_->isChecked();
    v.KankyoPrintSpaceX = spaceX_->text().trimmed().toInt();
    v.KankyoPrintSpaceY = spaceY_->text().trimmed().toInt();
    v.KankyoPrintImage = image_->isChecked();
    v.KankyoPrintUserSelect = user_->isChecked();
    v.KankyoPrintFileExt = ext_->text();
  }
  // Tests answer the extension filter dialog.
  std::function<int(ExtensionFilterDlg&)> runFilterDialog = [](ExtensionFilterDlg& dialog) { return dialog.exec(); };

 protected:
  void Load() override {
    const auto& v = values();
    rotate_->setChecked(v.KankyoPrintRotate != 0);
    spaceX_->setText(QString::number(v.KankyoPrintSpaceX));
    spaceY_->setText(QString::number(v.KankyoPrintSpaceY));
    image_->setChecked(v.KankyoPrintImage != 0);
    user_->setChecked(v.KankyoPrintUserSelect != 0);
    ext_->setText(v.KankyoPrintFileExt);
    EnableExtension();
  }

 private:
  void EnableExtension() {
    ext_->setEnabled(user_->isChecked());
    browse_->setEnabled(user_->isChecked());
  }
  void OnBrowse() {
    ExtensionFilterDlg dialog(this, 2);
    dialog.SetResult(ext_->text());
    if (runFilterDialog(dialog) == QDialog::Accepted) ext_->setText(dialog.Result());
  }

  QCheckBox* rotate_;
  QLineEdit* spaceX_;
  QLineEdit* spaceY_;
  QCheckBox* image_;
  QCheckBox* user_;
  QLineEdit* ext_;
  QPushButton* browse_;
};

// ---- tidy-up --------------------------------------------------------------

class TidyUpPage : public SettingsPage {
 public:
  explicit TidyUpPage(SettingsSheet& sheet)
      : SettingsPage(sheet),
        dateType_(this, 1021, {"正式発行日", "最終更新日", "最終参照日"}),
        schedule_(this, 1025, {"検索しない", ""}) {
    setObjectName(QStringLiteral("dlg10530"));
    range_ = comboOf(this, 1024, {"過去３日", "過去１週間", "過去１ヶ月", "過去３ヶ月", "過去６ヶ月", "過去１年"});
    day_ = comboOf(this, 1027,
                   {"毎日", "毎週日曜日", "毎週月曜日", "毎週火曜日", "毎週水曜日", "毎週木曜日", "毎週金曜日",
                    "毎週土曜日", "週初め", "月初め"});
    auto* layout = new QVBoxLayout(this);
    QList<QWidget*> dates = widgetsOf(dateType_);
    dates.push_back(range_);
    layout->addWidget(boxOf(this, "検索の対象", dates));
    auto* scheduleBox = new QGroupBox(QStringLiteral("自動検索"), this);
    auto* scheduleLayout = new QVBoxLayout(scheduleBox);
    const auto buttons = schedule_.Buttons();
    scheduleLayout->addWidget(buttons[0]);
    auto* on = new QHBoxLayout;
    on->addWidget(buttons[1]);
    on->addWidget(day_, 1);
    scheduleLayout->addLayout(on);
    layout->addWidget(scheduleBox);
    layout->addStretch();
  }
  void Store() override {
    auto& v = values();
    v.KankyoToriaezuDateType = dateType_.Get();
    v.KankyoToriaezuDateRange = range_->currentIndex();
    v.KankyoToriaezuScheduleFlg = schedule_.Get();
    v.KankyoToriaezuScheduleDate = day_->currentIndex();
  }

 protected:
  void Load() override {
    const auto& v = values();
    dateType_.Set(v.KankyoToriaezuDateType);
    range_->setCurrentIndex(v.KankyoToriaezuDateRange);
    schedule_.Set(v.KankyoToriaezuScheduleFlg);
    day_->setCurrentIndex(v.KankyoToriaezuScheduleDate);
  }

 private:
  RadioGroup dateType_;
  QComboBox* range_;
  RadioGroup schedule_;
  QComboBox* day_;
};

// ---- viewer ---------------------------------------------------------------

class ViewerPage : public SettingsPage {
 public:
  explicit ViewerPage(SettingsSheet& sheet)
      : SettingsPage(sheet),
        confirm_(this, 1040, {"確認しない", "確認する"}),
        go_(this, 1090, {"ビューワーを表示", "フォルダを表示"}) {
    setObjectName(QStringLiteral("dlg10531"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(boxOf(this, "画像を変更したときの上書き確認", widgetsOf(confirm_)));
    layout->addWidget(boxOf(this, "検索結果のアイテムをダブルクリックしたとき", widgetsOf(go_)));
    layout->addStretch();
  }
  void Store() override {
    values().KankyoViewerConfirm = confirm_.Get();
    values().KankyoViewerGoFromSearch = go_.Get();
  }

 protected:
  void Load() override {
    confirm_.Set(values().KankyoViewerConfirm);
    go_.Set(values().KankyoViewerGoFromSearch);
  }

 private:
  RadioGroup confirm_;
  RadioGroup go_;
};

// ---- colour ---------------------------------------------------------------

class ColorPage : public SettingsPage {
 public:
  explicit ColorPage(SettingsSheet& sheet) : SettingsPage(sheet) {
    setObjectName(QStringLiteral("dlg10541"));
    back_ = new ColorButton(this);
    back_->setObjectName(ctl(1201));
    item_ = new ColorButton(this);
    item_->setObjectName(ctl(1202));
    auto* reset = new QPushButton(QStringLiteral("初期状態に戻す"), this);
    reset->setObjectName(ctl(1203));
    for (ColorButton* b : {back_, item_}) b->setFixedSize(80, 24);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("背景色"), back_);
    form->addRow(QStringLiteral("アイテムの余白"), item_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(reset, 0, Qt::AlignLeft);
    layout->addStretch();
    connect(back_, &QPushButton::clicked, this, [this] { OnColorButton(back_); });
    connect(item_, &QPushButton::clicked, this, [this] { OnColorButton(item_); });
    connect(reset, &QPushButton::clicked, this, [this] {
      back_->SetColor(Qt::white);
      item_->SetColor(ColorOfRef(SystemFaceColor()));
      Preview();
    });
  }
  void Store() override {
    values().KankyoColorBackColor = RefOfColor(back_->Color());
    values().KankyoColorItemColor = RefOfColor(item_->Color());
  }

 protected:
  void Load() override {
    back_->SetColor(ColorOfRef(values().KankyoColorBackColor));
    item_->SetColor(ColorOfRef(values().KankyoColorItemColor));
  }

 private:
  // Two rows of eight: each led by one of the current colours, then greys.
  std::vector<QColor> CustomColors() const {
    std::vector<QColor> custom(16);
    custom[0] = back_->Color();
    custom[8] = item_->Color();
    for (int i = 1; i < 8; ++i) {
      const int dark = 0x86 + 8 * (i - 1);
      const int light = 0xC6 + 8 * (i - 1);
      custom[static_cast<std::size_t>(i)] = QColor(dark, dark, dark);
      custom[static_cast<std::size_t>(i + 8)] = QColor(light, light, light);
    }
    return custom;
  }
  void OnColorButton(ColorButton* button) {
    const auto chosen = sheet_.PickColor(button->Color(), CustomColors());
    if (!chosen) return;
    button->SetColor(*chosen);
    Preview();
  }
  // The frame shows the colours at once, behind the sheet.
  void Preview() {
    Store();
    sheet_.PreviewColors();
  }

  ColorButton* back_;
  ColorButton* item_;
};

}  // namespace

QColor ColorOfRef(int colorRef) { return QColor(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF); }

int RefOfColor(const QColor& color) { return color.red() | (color.green() << 8) | (color.blue() << 16); }

QString CheckTitleBase(const QString& titleBase, int dateForm, int timeForm) {
  const QString trimmed = titleBase.trimmed();
  if (trimmed.isEmpty() && dateForm == 0 && timeForm == 0) return QStringLiteral("画像のタイトル名を入力してください。");
  const std::string utf8 = trimmed.toStdString();
  if (catalogue::cutToSjisBytes(utf8, 100) != utf8)
    return QStringLiteral("画像のタイトル名が長すぎます。\n半角１００文字以内にして下さい。");
  const QString set1 = QStringLiteral("'*?][#|");
  const QString set2 = QStringLiteral("\"\\/:<>");
  for (QChar c : trimmed)
    if (set1.contains(c) || set2.contains(c))
      return QStringLiteral("画像のタイトル名に  %1%2  は使えません。").arg(set1, set2);
  return {};
}

QString CheckExtensionList(const QString& trimmedList) {
  if (trimmedList.isEmpty()) return QStringLiteral("対象ファイルの拡張子が入力されていません。");
  const QString bad = QStringLiteral("対象ファイルの拡張子が不正です。");
  int count = 0;
  std::vector<std::string> tokens;
  if (ParseTokenList(trimmedList.toStdString(), count, &tokens, 16, 11, 0, 0) != 0) return bad;
  // The same token rules as the pattern list the frame builds from the text,
  // so that an accepted list never gives an empty pattern list.
  if (BuildPrintPatterns(1, trimmedList).isEmpty()) return bad;
  return {};
}

void ColorButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect r = rect().adjusted(0, 0, -1, -1);
  p.fillRect(rect(), color_);
  const QColor dark(0x40, 0x40, 0x40), mid(0x80, 0x80, 0x80);
  // Top-left then bottom-right edge of one frame step.
  auto frame = [&p](const QRect& f, const QColor& topLeft, const QColor& bottomRight) {
    p.setPen(topLeft);
    p.drawLine(f.topLeft(), f.topRight());
    p.drawLine(f.topLeft(), f.bottomLeft());
    p.setPen(bottomRight);
    p.drawLine(f.bottomLeft(), f.bottomRight());
    p.drawLine(f.topRight(), f.bottomRight());
  };
  if (isDown()) {
    frame(r, Qt::black, Qt::black);
    frame(r.adjusted(1, 1, -1, -1), mid, mid);
  } else if (hasFocus()) {
    frame(r, Qt::black, Qt::black);
    const QRect inner = r.adjusted(1, 1, -1, -1);
    p.setPen(Qt::black);
    p.drawLine(inner.bottomLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomRight());
    frame(inner.adjusted(0, 0, -1, -1), Qt::black, mid);
  } else {
    frame(r, Qt::white, dark);
    frame(r.adjusted(1, 1, -1, -1), Qt::white, mid);
  }
}

void ColorButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) return;  // no context action
  QPushButton::mouseReleaseEvent(event);
}

SettingsSheet::SettingsSheet(const KankyoSettings& values, int ocrLevel, QWidget* parent)
    : QDialog(parent), values_(values), ocrLevel_(ocrLevel), tabs_(new QTabWidget(this)) {
  setObjectName(QStringLiteral("dlgKankyoPropSheet"));
  setWindowTitle(QStringLiteral("環境設定"));
  const std::pair<SettingsPage*, const char*> pages[] = {
      {new ScanPage(*this), "スキャン"}, {new ImagePage(*this), "画像登録"}, {new ShowPage(*this), "表示"},
      {new OcrPage(*this), "OCR"},       {new PrintPage(*this), "印刷"},     {new TidyUpPage(*this), "文書整理"},
      {new ViewerPage(*this), "ビューワー"}, {new ColorPage(*this), "配色"}};
  for (const auto& [page, title] : pages) {
    pages_.push_back(page);
    tabs_->addTab(page, QString::fromUtf8(title));
  }
  // OK and Cancel only: settings reach the frame through OK alone.
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &SettingsSheet::reject);
  // Every tab is seen at once: the sheet is as wide as its tab row.
  tabs_->setUsesScrollButtons(false);
  tabs_->setElideMode(Qt::ElideNone);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
  pages_.front()->EnsureLoaded();
  connect(tabs_, &QTabWidget::currentChanged, this, &SettingsSheet::OnTabChanged);
}

SettingsSheet::~SettingsSheet() = default;

void SettingsSheet::OnTabChanged(int index) {
  if (switching_) return;
  if (!Page(current_)->Check()) {
    switching_ = true;
    tabs_->setCurrentIndex(current_);
    switching_ = false;
    return;
  }
  current_ = index;
  Page(index)->EnsureLoaded();
}

void SettingsSheet::accept() {
  if (!Page(current_)->Check()) return;
  for (SettingsPage* page : pages_)
    if (page->IsLoaded()) page->Store();
  QDialog::accept();
}

void SettingsSheet::PreviewColors() {
  if (preview_) preview_(values_.KankyoColorBackColor, values_.KankyoColorItemColor);
}

std::optional<QColor> SettingsSheet::PickColor(const QColor& current, const std::vector<QColor>& custom) {
  if (picker_) return picker_(current, custom);
  for (std::size_t i = 0; i < custom.size() && i < 16; ++i) QColorDialog::setCustomColor(static_cast<int>(i), custom[i]);
  QColorDialog dialog(current, this);
  dialog.setObjectName(QStringLiteral("CColorDialogCustomize"));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.selectedColor();
}
