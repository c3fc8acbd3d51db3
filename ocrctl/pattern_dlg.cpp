#include "ocrctl/pattern_dlg.h"

#include "ocrctl/ocr_control.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace ocrctl {

namespace {

const QColor kGrey(127, 127, 127);

QString characterText(const PatternRecord& record) {
  const char bytes[2] = {static_cast<char>(record.code[0]), static_cast<char>(record.code[1])};
  return platform::qFromCp932(std::string_view(bytes, 2));
}

QString flagText(const PatternRecord& record) { return record.valid() ? QStringLiteral("有") : QStringLiteral("無"); }

}  // namespace

PatternPreview::PatternPreview(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Sunken);
}

void PatternPreview::setRecord(const PatternRecord* record) {
  record_ = record;
  update();
}

void PatternPreview::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect box = contentsRect();
  if (record_ == nullptr) {
    painter.fillRect(box, kGrey);
    return;
  }
  // Ink black on white for a valid pattern; an invalid one is drawn with the
  // grey background inverted, so its ink shows mid-grey.
  QImage image(record_->image.data(), kPatternSide, kPatternSide, kPatternSide / 8, QImage::Format_Mono);
  const QColor ink = record_->valid() ? QColor(Qt::black) : QColor(255 - kGrey.red(), 255 - kGrey.green(), 255 - kGrey.blue());
  image.setColorTable({qRgb(255, 255, 255), ink.rgb()});
  painter.drawImage(box.left() + (box.width() - kPatternSide) / 2, box.top() + (box.height() - kPatternSide) / 2,
                    image);
}

PatternDlg::PatternDlg(PatternStore& store, PatternEngineCalls engine, QWidget* parent)
    : QDialog(parent), session_(store, std::move(engine)) {
  setObjectName(QStringLiteral("dlg210"));
  setWindowTitle(QStringLiteral("ﾕｰｻﾞ辞書の管理"));
  setFont(controlDialogFont());
  setModal(true);

  path_ = new QLineEdit(this);
  path_->setObjectName(QStringLiteral("ctl1189"));
  path_->setReadOnly(true);
  path_->setMaxLength(256);
  auto* change = new QPushButton(QStringLiteral("辞書変更..."), this);
  change->setObjectName(QStringLiteral("ctl1190"));
  count_ = new QLabel(this);
  count_->setObjectName(QStringLiteral("ctl1197"));
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("ctl1199"));
  list_->setColumnCount(2);
  list_->setHeaderLabels({QStringLiteral("文字"), QStringLiteral("有効無効")});
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSortingEnabled(false);
  list_->header()->setSectionsClickable(false);
  list_->header()->setStretchLastSection(false);
  // Six and eight horizontal base units (four dialog units each).
  list_->setColumnWidth(0, dialogUnits(*this, 6 * 4, 0).width());
  list_->setColumnWidth(1, dialogUnits(*this, 8 * 4, 0).width());
  preview_ = new PatternPreview(this);
  preview_->setObjectName(QStringLiteral("ctl1201"));
  preview_->setFixedSize(dialogUnits(*this, 55, 58).expandedTo(QSize(kPatternSide + 8, kPatternSide + 8)));
  toggle_ = new QPushButton(QStringLiteral("無効"), this);
  toggle_->setObjectName(QStringLiteral("ctl1192"));
  delete_ = new QPushButton(QStringLiteral("削除"), this);
  delete_->setObjectName(QStringLiteral("ctl1193"));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setDefault(true);

  auto* top = new QGridLayout;
  top->addWidget(new QLabel(QStringLiteral("辞書名"), this), 0, 0);
  top->addWidget(path_, 0, 1);
  top->addWidget(change, 0, 2);
  top->addWidget(new QLabel(QStringLiteral("登録数"), this), 1, 0);
  top->addWidget(count_, 1, 1);
  auto* side = new QVBoxLayout;
  side->addWidget(preview_);
  side->addWidget(toggle_);
  side->addWidget(delete_);
  side->addStretch(1);
  side->addWidget(ok);
  auto* body = new QHBoxLayout;
  body->addWidget(list_, 1);
  body->addLayout(side);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(body, 1);
  resize(dialogUnits(*this, 198, 183));

  connect(change, &QPushButton::clicked, this, &PatternDlg::changeFile);
  connect(toggle_, &QPushButton::clicked, this, &PatternDlg::toggleSelected);
  connect(delete_, &QPushButton::clicked, this, &PatternDlg::deleteSelected);
  connect(ok, &QPushButton::clicked, this, &PatternDlg::accept);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &PatternDlg::selectionChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    const int row = list_->indexOfTopLevelItem(item);
    if (row < 0) return;
    selected_ = row;
    preview_->setRecord(&session_.records()[static_cast<std::size_t>(row)]);
    toggleSelected();
  });

  session_.attach();
  fill();
}

QString PatternDlg::askForFile(const QString& folder) {
  if (chooseFile) return chooseFile(folder);
  // Opens in the current file's folder; a name that does not exist yet is
  // accepted and becomes a new, empty pattern file.
  QFileDialog dialog(this, QString(), folder, QStringLiteral("学習辞書 (*.upt)"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QStringLiteral("upt"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

void PatternDlg::fill() {
  list_->blockSignals(true);
  list_->clear();
  for (const PatternRecord& record : session_.records())
    list_->addTopLevelItem(new QTreeWidgetItem(QStringList{characterText(record), flagText(record)}));
  list_->blockSignals(false);
  path_->setText(QString::fromStdString(session_.path()));
  count_->setText(QString::number(session_.count()));
  selected_ = -1;
  preview_->setRecord(nullptr);
  updateButtons();
}

void PatternDlg::setFlagText(int row) {
  if (QTreeWidgetItem* item = list_->topLevelItem(row))
    item->setText(1, flagText(session_.records()[static_cast<std::size_t>(row)]));
}

void PatternDlg::updateButtons() {
  const bool any = selected_ >= 0 && selected_ < session_.count();
  toggle_->setEnabled(any);
  delete_->setEnabled(any);
  if (!any) return;
  toggle_->setText(session_.records()[static_cast<std::size_t>(selected_)].valid() ? QStringLiteral("無効")
                                                                                   : QStringLiteral("有効"));
  setFlagText(selected_);
}

void PatternDlg::selectionChanged() {
  const QList<QTreeWidgetItem*> items = list_->selectedItems();
  if (!items.isEmpty()) {
    selected_ = list_->indexOfTopLevelItem(items.first());
    preview_->setRecord(&session_.records()[static_cast<std::size_t>(selected_)]);
  }
  updateButtons();
}

void PatternDlg::toggleSelected() {
  if (selected_ < 0) return;
  session_.toggle(selected_);
  updateButtons();
  preview_->update();
  list_->setFocus();
}

void PatternDlg::deleteSelected() {
  if (selected_ < 0) return;
  const int row = selected_;
  selected_ = -1;
  preview_->setRecord(nullptr);
  session_.remove(row);
  list_->blockSignals(true);
  delete list_->takeTopLevelItem(row);
  list_->clearSelection();
  list_->blockSignals(false);
  updateButtons();
  count_->setText(QString::number(session_.count()));
}

void PatternDlg::changeFile() {
  const QString folder =
      QString::fromStdString(platform::withoutTrailingSlash(platform::parentPath(session_.path())));
  const QString chosen = askForFile(folder);
  if (chosen.isEmpty()) return;
  // A change that cannot be saved keeps the current file.
  if (session_.switchTo(chosen.toStdString()) == PatternManagement::SwitchResult::NotSaved) return;
  fill();
}

void PatternDlg::accept() {
  // A file that cannot be written keeps the dialog open with its changes.
  if (!session_.save()) return;
  QDialog::accept();
}

void PatternDlg::reject() {
  session_.abandon();
  QDialog::reject();
}

short runPatternManagement(OcrControl& control, const DialogRunner& runner) {
  // The dialog reads the file: changes of the control's loaded section go
  // there first, or the control's later reading would drop them.
  control.flushPatternSection();
  PatternDlg dialog(control.patternStore());
  const int result = runDialog(dialog, runner);
  if (dialog.session().fileTouched()) control.followPatternStore();
  return result == QDialog::Accepted ? 0 : -1;
}

}  // namespace ocrctl
