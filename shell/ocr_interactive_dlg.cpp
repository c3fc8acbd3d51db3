#include "shell/ocr_interactive_dlg.h"

#include "platform/user_interaction.h"
#include "shell/ocr_dialogs.h"

#include <QComboBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr const char* kCaption = "OCRダイアログ";
// The area the page is shown in; the control's window never grows past it.
constexpr int kViewWidth = 420;
constexpr int kViewHeight = 540;
// A page wider than the view (with this slack) is shown reduced.
constexpr int kWidthSlack = 16;
constexpr short kSmallest = 16;

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }

QString fileNameOf(const std::string& path) { return QFileInfo(QString::fromStdString(path)).fileName(); }

// A page is listed by its document's file, not by the copy made for reading.
QString shownName(const OcrPage& page) { return fileNameOf(page.source.empty() ? page.prepared : page.source); }

}  // namespace

const QString OcrDlg::kUnreadMark = QStringLiteral("<未処理> ");

OcrDlg::OcrDlg(CZeqOcr3& control, std::string dictionaryFolder, std::vector<OcrPage> pages, int language,
               int halfWidth, QWidget* parent)
    : QDialog(parent), control_(control), pages_(std::move(pages)), texts_(pages_.size()) {
  setObjectName(QStringLiteral("dlg10200"));
  setWindowTitle(QStringLiteral("OCR"));

  params_ = ReadOcrParams();
  if (language != 2) params_.language = static_cast<short>(language);
  if (halfWidth != 2) params_.halfWidth = static_cast<short>(halfWidth);

  auto* layout = new QHBoxLayout(this);
  auto* host = new QWidget(this);
  host->setObjectName(QStringLiteral("ocrView"));
  host->setFixedSize(kViewWidth, kViewHeight);
  viewSize_ = host->size();
  if (QWidget* window = control_.window()) {
    window->setParent(host);
    window->setObjectName(controlName(10205));
    window->setGeometry(0, 0, kViewWidth, kViewHeight);
    window->show();
  }
  layout->addWidget(host, 0, Qt::AlignTop);

  auto* side = new QVBoxLayout;
  images_ = new QComboBox(this);
  images_->setObjectName(controlName(10207));
  side->addWidget(images_);
  edit_ = new QPlainTextEdit(this);
  edit_->setObjectName(controlName(10206));
  edit_->setMinimumWidth(320);
  side->addWidget(edit_, 1);
  auto* buttons = new QGridLayout;
  auto* one = new QPushButton(QStringLiteral("認識"), this);
  one->setObjectName(controlName(10201));
  auto* all = new QPushButton(QStringLiteral("全て認識"), this);
  all->setObjectName(controlName(10203));
  auto* param = new QPushButton(QStringLiteral("パラメータ..."), this);
  param->setObjectName(controlName(10204));
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setObjectName(controlName(10202));
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel->setObjectName(QStringLiteral("cancel"));
  buttons->addWidget(one, 0, 0);
  buttons->addWidget(all, 0, 1);
  buttons->addWidget(param, 1, 0, 1, 2);
  buttons->addWidget(ok_, 2, 0);
  buttons->addWidget(cancel, 2, 1);
  side->addLayout(buttons);
  layout->addLayout(side);

  connect(one, &QPushButton::clicked, this, [this] { RecogniseShown(); });
  connect(all, &QPushButton::clicked, this, [this] { RecogniseAll(); });
  connect(param, &QPushButton::clicked, this, &OcrDlg::EditParams);
  connect(ok_, &QPushButton::clicked, this, &OcrDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &OcrDlg::reject);
  connect(images_, &QComboBox::currentIndexChanged, this, [this](int n) {
    if (!filling_ && n >= 0) ShowImage(n);
  });
  connect(edit_, &QPlainTextEdit::textChanged, this, [this] {
    if (!filling_ && recognised(current_)) texts_[static_cast<std::size_t>(current_)] = edit_->toPlainText();
  });

  control_.InitOcr(dictionaryFolder);
  control_.SetShowCancel(1);
  filling_ = true;
  for (const OcrPage& page : pages_) images_->addItem(kUnreadMark + shownName(page));
  filling_ = false;
  // Nothing to write and nothing to correct before a text is read.
  ok_->setEnabled(false);
  edit_->setEnabled(false);
  if (!pages_.empty()) ShowImage(0);
}

OcrDlg::~OcrDlg() {
  // The control outlives the dialog and takes its window back.
  if (QWidget* window = control_.window()) {
    window->hide();
    window->setParent(nullptr);
  }
}

bool OcrDlg::recognised(int n) const {
  return n >= 0 && n < images_->count() && !images_->itemText(n).startsWith(kUnreadMark);
}

void OcrDlg::ShowImage(int n) {
  if (n < 0 || n >= static_cast<int>(pages_.size())) return;
  current_ = n;
  if (images_->currentIndex() != n) {
    filling_ = true;
    images_->setCurrentIndex(n);
    filling_ = false;
  }
  control_.SetDispScale(kSmallest);
  control_.LoadImageFile(pages_[static_cast<std::size_t>(n)].prepared);
  const int width = control_.DrawWidth();
  const int height = control_.DrawHeight();
  const int room = viewSize_.width() + kWidthSlack;
  scale_ = 1;
  while (scale_ < kSmallest && width / scale_ > room) scale_ = static_cast<short>(scale_ * 2);
  int shownWidth = std::max(1, width / scale_);
  int shownHeight = std::max(1, height / scale_);
  if (shownHeight > viewSize_.height()) {
    shownHeight = viewSize_.height();
    shownWidth += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  }
  if (QWidget* window = control_.window()) window->resize(std::min(shownWidth, viewSize_.width()), shownHeight);
  control_.SetDispScale(scale_);
  showText();
}

void OcrDlg::showText() {
  filling_ = true;
  edit_->setPlainText(recognised(current_) ? texts_[static_cast<std::size_t>(current_)] : QString());
  edit_->setEnabled(recognised(current_));
  filling_ = false;
}

bool OcrDlg::recognise(int n, bool inBatch) {
  if (recognised(n)) {
    const platform::Answer answer = platform::messageBox(
        "すでに認識結果が存在します。\n上書きしますか。",
        inBatch ? platform::Buttons::YesNoCancel : platform::Buttons::YesNo, platform::Icon::Question, kCaption);
    if (answer == platform::Answer::Cancel) return false;
    if (answer != platform::Answer::Yes) return true;  // this image keeps its text
  }
  const OcrPage& page = pages_[static_cast<std::size_t>(n)];
  PushOcrParams(control_, params_);
  control_.SetDrawDpi(static_cast<short>(page.resolution));
  control_.SetShowCancel(1);
  const short areas = control_.RcgNum();
  if (control_.DoRecognize() != 0) {
    platform::messageBox("OCR中にエラーが発生しました、。", platform::Buttons::Ok, platform::Icon::Warning, kCaption);
    return false;
  }
  std::string text = control_.GetOcrResult();
  // Without areas of its own the first pass only lays the page out.
  if (areas == 0 && text.empty() && control_.DoRecognize() == 0) text = control_.GetOcrResult();
  if (params_.halfWidth == 1) text = ToHalfWidth(text);
  // Lines end in LF while shown and edited; the file gets CR LF again.
  texts_[static_cast<std::size_t>(n)] = QString::fromStdString(text).remove(QLatin1Char('\r'));
  images_->setItemText(n, shownName(page));
  ok_->setEnabled(true);
  if (n == current_) showText();
  return true;
}

bool OcrDlg::RecogniseShown() { return current_ >= 0 && recognise(current_, false); }

bool OcrDlg::RecogniseAll() {
  for (int n = 0; n < static_cast<int>(pages_.size()); ++n) {
    ShowImage(n);
    if (!recognise(n, true)) return false;
  }
  return true;
}

void OcrDlg::EditParams() {
  OcrParamDlg dialog(params_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  params_ = dialog.params();
  PushOcrParams(control_, params_);
}

void OcrDlg::accept() {
  for (std::size_t n = 0; n < pages_.size(); ++n) {
    if (!recognised(static_cast<int>(n)) || texts_[n].isEmpty()) continue;
    const std::string path = OcrTextPathOf(pages_[n].prepared);
    if (!WriteOcrText(path, texts_[n].toStdString())) {
      // The texts stay in the dialog; the user may try again or give up.
      platform::messageBox("テキストファイル「" + path + "」を書き込めませんでした。", platform::Buttons::Ok,
                           platform::Icon::Warning, kCaption);
      return;
    }
  }
  SaveOcrParams(params_);
  QDialog::accept();
}

void OcrDlg::reject() {
  SaveOcrParams(params_);
  QDialog::reject();
}
