#include "shell/progress_dialogs.h"

#include "platform/user_interaction.h"

#include "platform/timer_source.h"
#include "shell/busy_animation.h"
#include "shell/centered_text_label.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {
QPointer<QWidget> gMainWindow;

QString controlName(int id) { return QStringLiteral("ctl%1").arg(id); }
}  // namespace

void setProgressMainWindow(QWidget* mainWindow) { gMainWindow = mainWindow; }
QWidget* progressMainWindow() { return gMainWindow.data(); }

// ---------------------------------------------------------------- family base

ProgressDialog::ProgressDialog(int templateId, const QString& caption, QWidget*)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint) {
  setObjectName(QStringLiteral("dlg%1").arg(templateId));
  setWindowTitle(caption);
  setModal(false);
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  cancel_ = new QPushButton(QStringLiteral("キャンセル"), this);
  cancel_->setObjectName(controlName(2));
  connect(cancel_, &QPushButton::clicked, this, [this] { onCancel(); });
}

ProgressDialog::~ProgressDialog() { enableOwner(); }

QLabel* ProgressDialog::addLabel(int controlId, const QString& text) {
  auto* label = new QLabel(text, this);
  label->setObjectName(controlName(controlId));
  label->setMinimumWidth(fontMetrics().horizontalAdvance(QString(24, QChar(0x3042))));
  label->setWordWrap(true);
  static_cast<QVBoxLayout*>(layout())->addWidget(label);
  return label;
}

void ProgressDialog::setTextIfChanged(QLabel* label, const QString& text) {
  if (label->text() != text) label->setText(text);
}

void ProgressDialog::disableOwner(QWidget* owner) {
  owner_ = owner;
  if (owner && owner->isEnabled()) {
    focusBefore_ = QApplication::focusWidget();
    owner->setEnabled(false);
    disabledOwner_ = true;
  }
}

void ProgressDialog::enableOwner() {
  if (disabledOwner_ && owner_) {
    owner_->setEnabled(true);
    // Re-enabled, the window would give the focus to its first control.
    if (focusBefore_ && focusBefore_->isEnabled() && focusBefore_->isVisible()) {
      hide();
      QWidget* window = focusBefore_->window();
      if (QApplication::activeWindow() != window) window->activateWindow();
      focusBefore_->setFocus(Qt::OtherFocusReason);
    }
  }
  focusBefore_ = nullptr;
  disabledOwner_ = false;
}

void ProgressDialog::placeOverOwner() {
  if (!owner_) return;
  winId();
  if (QWindow* w = windowHandle(); w && owner_->window()->windowHandle())
    w->setTransientParent(owner_->window()->windowHandle());
  adjustSize();
  const QRect area = owner_->window()->frameGeometry();
  move(area.center() - rect().center());
}

bool ProgressDialog::Create(QWidget* parent) {
  QWidget* owner = parent ? parent->window() : progressMainWindow();
  disableOwner(owner);
  // the cancel button sits below whatever the member added
  static_cast<QVBoxLayout*>(layout())->addWidget(cancel_, 0, Qt::AlignHCenter);
  placeOverOwner();
  show();
  if (!isVisible() && !QGuiApplication::platformName().isEmpty()) {
    enableOwner();
    return false;
  }
  return true;
}

void ProgressDialog::Close() {
  if (appearTimer_) appearTimer_->stop();
  enableOwner();
  hide();
}

void ProgressDialog::appearAfter(int ms, std::function<void()> appear) {
  appearTimer_ = platform::createTimer(std::move(appear));
  appearTimer_->start(ms);
}

bool ProgressDialog::PumpAndCheckCancel() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // An ending session cancels the work as the user's Cancel would.
  return std::exchange(cancelRequested_, false) || platform::sessionEnding();
}

void ProgressDialog::reject() { onCancel(); }

// ---------------------------------------------------------------- members

ScannerStartDlg::ScannerStartDlg() : ProgressDialog(179, QStringLiteral("Twain 起動中")) {
  cancelButton()->hide();
}

bool ScannerStartDlg::Create(QWidget* parent) {
  if (!ProgressDialog::Create(parent)) return false;
  if (QScreen* screen = QGuiApplication::primaryScreen()) move(screen->availableGeometry().topLeft());
  return true;
}

CopyProgressDlg::CopyProgressDlg(int mode)
    : ProgressDialog(188, mode == Copy ? QStringLiteral("複製") : QStringLiteral("回転")) {
  file_ = addLabel(1010);
  count_ = addLabel(1011, QStringLiteral("? ファイル中 ? ファイル目"));
  text_ = addLabel(1012, mode == Copy ? QStringLiteral("文書の複製中...")
                                      : QStringLiteral("画像の回転中..."));
}

void CopyProgressDlg::SetFileName(const QString& name) { setTextIfChanged(file_, name); }

void CopyProgressDlg::SetCount(int current, int total) {
  setTextIfChanged(count_, QStringLiteral("%1 ファイル中 %2 ファイル目").arg(total).arg(current));
}

void CopyProgressDlg::SetText(const QString& text) { setTextIfChanged(text_, text); }

ImportProgressDlg::ImportProgressDlg() : ProgressDialog(10260, QStringLiteral("インポート")) {
  bar_ = new QProgressBar(this);
  bar_->setObjectName(controlName(10261));
  bar_->setTextVisible(false);
  bar_->setRange(low_, high_);
  bar_->setValue(low_);
  static_cast<QVBoxLayout*>(layout())->addWidget(bar_);
  percent_ = addLabel(10262, QStringLiteral(" 0 %"));
  percent_->setAlignment(Qt::AlignHCenter);
  text_ = addLabel(10263);
}

void ImportProgressDlg::SetRange(int low, int high) {
  low_ = low;
  high_ = high > low ? high : low + 1;
  bar_->setRange(low_, high_);
  position_ = low_;
  setCount(current_, total_);
  bar_->setValue(bar_->minimum());
}

QString ImportProgressDlg::countPrefix(int current, int total) {
  if (total == 1) return {};
  return QStringLiteral("%1ファイル中の%2ファイル目\n").arg(total).arg(current);
}

void ImportProgressDlg::SetFile(const QString& name, int current, int total) {
  setCount(current, total);
  setTextIfChanged(text_, countPrefix(current, total) + QStringLiteral("%1 をインポート中です。").arg(name));
}

void ImportProgressDlg::SetFileWithSuffix(const QString& name, const QString& suffix, int current,
                                          int total) {
  setCount(current, total);
  setTextIfChanged(text_, countPrefix(current, total) +
                              QStringLiteral("%1%2 をインポート中です。").arg(name, suffix));
}

void ImportProgressDlg::SetFileAndSuffixOnly(const QString& name, const QString& suffix) {
  setTextIfChanged(text_, name + suffix);
}

void ImportProgressDlg::setCount(int current, int total) {
  current_ = std::max(1, current);
  total_ = std::max(1, total);
  // Several files share the bar: each fills its own part of it, so the bar
  // and the percentage tell how far the whole import is.
  const int span = high_ - low_;
  if (total_ > 1)
    bar_->setRange(0, span * total_);
  else
    bar_->setRange(low_, high_);
}

int ImportProgressDlg::StepTo(int position) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  const int previous = position_;
  position_ = position;
  const int span = high_ - low_;
  if (total_ > 1) {
    const int done = (current_ - 1) * span + std::clamp(position, low_, high_) - low_;
    bar_->setValue(done);
    setTextIfChanged(percent_, QStringLiteral("%1%").arg(static_cast<long long>(done) * 100 / (span * total_)));
    return previous;
  }
  bar_->setValue(std::clamp(position, low_, high_));
  int percent = (position - low_) * 100 / span;
  if (percent != 100) percent %= 100;
  setTextIfChanged(percent_, QStringLiteral("%1%").arg(percent));
  return previous;
}

int ImportProgressDlg::barValue() const { return bar_->value(); }
int ImportProgressDlg::barMaximum() const { return bar_->maximum(); }

QString ImportProgressDlg::percentText() const { return percent_->text(); }
QString ImportProgressDlg::fileText() const { return text_->text(); }

GeneralProgressDlg::GeneralProgressDlg() : ProgressDialog(10571, QStringLiteral("多用途")) {
  main_ = new CenteredTextLabel(this);
  main_->setObjectName(controlName(1204));
  sub_ = new CenteredTextLabel(this);
  sub_->setObjectName(controlName(1205));
  static_cast<QVBoxLayout*>(layout())->addWidget(main_);
  static_cast<QVBoxLayout*>(layout())->addWidget(sub_);
  cancelButton()->hide();
}

void GeneralProgressDlg::SetMessage(const QString& text) { main_->setText(text); }
void GeneralProgressDlg::SetSubMessage(const QString& text) { sub_->setText(text); }

std::unique_ptr<ProgressReporter> DialogProgressSink::BeginProgress(const std::string& title,
                                                                   const std::string& message) {
  auto progress = std::make_unique<GeneralProgressDlg>();
  progress->setWindowTitle(QString::fromStdString(title));
  progress->SetMessage(QString::fromStdString(message));
  progress->Create(owner_);
  return progress;
}

SearchProgressDlg::SearchProgressDlg() : ProgressDialog(10270, QStringLiteral("検索中")) {
  count_ = addLabel(10271);
  folder_ = addLabel(1100);
}

void SearchProgressDlg::SetFound(int count) {
  setTextIfChanged(count_, QStringLiteral("%1件発見").arg(count));
}

void SearchProgressDlg::SetProgress(int done, int total) {
  setTextIfChanged(count_, QStringLiteral("%1 / %2").arg(done).arg(total));
}

void SearchProgressDlg::SetFolder(const QString& path) { setTextIfChanged(folder_, path); }

QString SearchProgressDlg::countText() const { return count_->text(); }

RefreshProgressDlg::RefreshProgressDlg() : ProgressDialog(10050, QStringLiteral("最新の情報に更新")) {
  text_ = new CenteredTextLabel(this);
  text_->setObjectName(controlName(10051));
  text_->setText(QStringLiteral("初期化中..."));
  static_cast<QVBoxLayout*>(layout())->addWidget(text_);
}

void RefreshProgressDlg::SetText(const QString& text) { text_->setText(text); }

DownloadProgressDlg::DownloadProgressDlg() : ProgressDialog(10560, QString()) {
  bar_ = new QProgressBar(this);
  bar_->setObjectName(controlName(10561));
  bar_->setRange(0, 100);
  static_cast<QVBoxLayout*>(layout())->addWidget(bar_);
  text_ = addLabel(10562);
}

bool DownloadProgressDlg::Create() { return ProgressDialog::Create(progressMainWindow()); }

void DownloadProgressDlg::SetText(const QString& text) { setTextIfChanged(text_, text); }
void DownloadProgressDlg::SetPosition(int percent) { bar_->setValue(std::clamp(percent, 0, 100)); }

bool DownloadProgressDlg::PumpAndCheckCancel() {
  if (cancelled_) return true;
  return ProgressDialog::PumpAndCheckCancel();
}

void DownloadProgressDlg::onCancel() {
  cancelButton()->setEnabled(false);
  cancelled_ = true;
  requestCancel();
  hide();
}

WaitDialog::WaitDialog(const QString& text, const QString& subText, bool showCancel, int delayMs)
    : ProgressDialog(10570, QString()), delayMs_(delayMs) {
  auto* row = new QHBoxLayout;
  animation_ = new BusyAnimation(this);
  row->addWidget(animation_);
  auto* texts = new QVBoxLayout;
  text_ = new QLabel(text, this);
  text_->setObjectName(controlName(10572));
  subText_ = new QLabel(subText.isEmpty() ? QStringLiteral("しばらくお待ちください...") : subText, this);
  subText_->setObjectName(controlName(10573));
  texts->addWidget(text_);
  texts->addWidget(subText_);
  row->addLayout(texts);
  static_cast<QVBoxLayout*>(layout())->addLayout(row);
  if (!showCancel) cancelButton()->hide();
}

WaitDialog::~WaitDialog() { animation_->stop(); }

bool WaitDialog::Create() {
  QWidget* main = progressMainWindow();
  if (main) main->repaint();
  disableOwner(main);
  static_cast<QVBoxLayout*>(layout())->addWidget(cancelButton(), 0, Qt::AlignHCenter);
  if (!cancelButton()->isVisibleTo(this)) {
    // without a button the dialog is 78 dialog units high (a unit is 1/8 of the font height)
    setFixedHeight(qRound(fontMetrics().height() / 8.0 * 78));
  }
  placeOverOwner();
  if (delayMs_ <= 0)
    appear();
  else
    appearAfter(delayMs_, [this] { appear(); });
  return true;
}

void WaitDialog::appear() {
  animation_->play();
  show();
}

bool WaitDialog::animating() const { return animation_->isPlaying(); }

void WaitDialog::onCancel() {
  requestCancel();
  text_->setText(QStringLiteral("キャンセル処理中です。"));
  subText_->setText(QStringLiteral("しばらくお待ちください..."));
  cancelButton()->setEnabled(false);
}
