#include "shell/import_dialogs.h"

#include "shell/file_dialogs.h"

#include "formats/html_page_document.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/sjis_codec.h"
#include "platform/user_interaction.h"
#include "shell/lead.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <cstdio>

namespace {

constexpr int kBrowserTextPixels = 16;

}  // namespace

// ------------------------------------------------------------------ CDlgImport

CDlgImport::CDlgImport(QWidget* parent, int allowed) : QFileDialog(parent), allowed_(allowed) {
  setObjectName(QStringLiteral("CDlgImport"));
  setWindowTitle(QStringLiteral("ファイルのインポート"));
  setFileMode(QFileDialog::ExistingFiles);
  setAcceptMode(QFileDialog::AcceptOpen);
  // Our own dialog, so that the selection check runs before it closes.
  setOption(QFileDialog::DontUseNativeDialog, true);
  setNameFilters(Filters());
  setDirectory(StartFolder(FileDialogPurpose::Import));
  FitFileDialog(*this);
}

QStringList CDlgImport::Filters() {
  return {QStringLiteral("全て (*)"),
          QStringLiteral("画像のみ (*.bmp *.dib *.tif *.tiff *.jpg *.jpeg *.png *.gif *.pcx *.ras)"),
          QStringLiteral("テキスト (*.txt)"),
          QStringLiteral("Word (*.doc)"),
          QStringLiteral("Excel (*.xls)"),
          QStringLiteral("一太郎 (*.jsw *.jaw *.jbw *.jfw *.jtd)")};
}

bool CDlgImport::CheckSelection(const QStringList& files) const {
  // A single file is always allowed: the folder's own check refuses it
  // when it does not fit.
  const int count = files.size() > 1 ? static_cast<int>(files.size()) : 0;
  if (count <= allowed_) return true;
  char text[256];
  std::snprintf(text, sizeof text,
                "インポートできるファイル数を超えています。\nこのフォルダにインポートできるファイル数は %d件です。",
                allowed_);
  platform::messageBox(text, platform::Buttons::Ok, platform::Icon::Warning, "インポート");
  return false;
}

void CDlgImport::accept() {
  if (!CheckSelection(selectedFiles())) return;
  RememberFolder(FileDialogPurpose::Import, directory().absolutePath());
  QFileDialog::accept();
}

// ------------------------------------------------------------------ ExtensionFilterDlg

const std::vector<ExtensionFilterDlg::Pattern>& ExtensionFilterDlg::PatternTable() {
  static const std::vector<Pattern> kTable = {
      {"ビットマップ (*.bmp)", "*.bmp"},
      {"TIFF (*.tif)", "*.tif"},
      {"JPEG (*.jpg)", "*.jpg"},
      {"テキスト (*.txt)", "*.txt"},
      {"Word (*.doc)", "*.doc"},
      {"Excel (*.xls)", "*.xls"},
      {"一太郎 (*.jsw, *.jaw, *.jbw, *.jfw, *.jtd)", "*.jsw, *.jaw, *.jbw, *.jfw, *.jtd"},
      {"HTML (*.html, *.htm, *.mht, *.mhtml, *.eml)", "*.html, *.htm, *.mht, *.mhtml, *.eml"},
      {"テキスト (*.txt)", "*.txt"},
      {"Word (*.doc)", "*.doc"},
      {"Excel (*.xls)", "*.xls"},
  };
  return kTable;
}

ExtensionFilterDlg::ExtensionFilterDlg(QWidget* parent, int mode, int firstRow, int lastRow)
    : QDialog(parent), mode_(mode) {
  setObjectName(QStringLiteral("dlg10110"));
  setWindowTitle(QStringLiteral("拡張子の指定"));
  candidates_ = new QListWidget(this);
  candidates_->setObjectName(QStringLiteral("candidates"));
  chosen_ = new QListWidget(this);
  chosen_->setObjectName(QStringLiteral("chosen"));
  add_ = new QPushButton(QStringLiteral("追加"), this);
  add_->setObjectName(QStringLiteral("add"));
  delete_ = new QPushButton(QStringLiteral("削除"), this);
  delete_->setObjectName(QStringLiteral("delete"));
  delete_->setEnabled(false);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("キャンセル"), this);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(delete_);
  buttons->addStretch();
  auto* lists = new QHBoxLayout;
  lists->addWidget(candidates_);
  lists->addLayout(buttons);
  auto* right = new QVBoxLayout;
  right->addWidget(new QLabel(QStringLiteral("検索する拡張子"), this));
  right->addWidget(chosen_);
  lists->addLayout(right);
  auto* okRow = new QHBoxLayout;
  okRow->addStretch();
  okRow->addWidget(ok);
  okRow->addWidget(cancel);
  auto* all = new QVBoxLayout(this);
  all->addLayout(lists);
  all->addLayout(okRow);
  if (mode_ == 1) {
    const auto& table = PatternTable();
    lastRow = std::min(lastRow, static_cast<int>(table.size()));
    for (int i = std::max(0, firstRow); i < lastRow; ++i) {
      auto* row = new QListWidgetItem(QString::fromUtf8(table[static_cast<std::size_t>(i)].label), candidates_);
      row->setData(Qt::UserRole, i);
    }
  }
  connect(add_, &QPushButton::clicked, this, &ExtensionFilterDlg::OnAdd);
  connect(delete_, &QPushButton::clicked, this, &ExtensionFilterDlg::OnDelete);
  connect(candidates_, &QListWidget::itemDoubleClicked, this, [this] { OnAdd(); });
  connect(chosen_, &QListWidget::currentRowChanged, this,
          [this](int row) { delete_->setEnabled(row >= 0 && chosen_->count() > 0); });
  connect(ok, &QPushButton::clicked, this, &ExtensionFilterDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &ExtensionFilterDlg::reject);
}

void ExtensionFilterDlg::SetResult(const QString& text) {
  result_ = text;
  fillChosen();
}

void ExtensionFilterDlg::fillChosen() {
  chosen_->clear();
  for (const QString& part : result_.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
    const QString pattern = part.trimmed();
    if (!pattern.isEmpty()) chosen_->addItem(pattern);
  }
  delete_->setEnabled(false);
}

void ExtensionFilterDlg::OnAdd() {
  QListWidgetItem* candidate = candidates_->currentItem();
  if (!candidate) return;
  QString pattern = candidate->text();
  if (mode_ == 1) {
    const int index = candidate->data(Qt::UserRole).toInt();
    const auto& table = PatternTable();
    if (index < 0 || index >= static_cast<int>(table.size())) return;
    pattern = QString::fromUtf8(table[static_cast<std::size_t>(index)].pattern);
  }
  chosen_->addItem(pattern);
  chosen_->setCurrentRow(chosen_->count() - 1);
  delete_->setEnabled(true);
}

void ExtensionFilterDlg::OnDelete() {
  const int row = chosen_->currentRow();
  if (row < 0) return;
  delete chosen_->takeItem(row);
  if (chosen_->count() == 0) {
    delete_->setEnabled(false);
    return;
  }
  chosen_->setCurrentRow(std::min(row, chosen_->count() - 1));
  delete_->setEnabled(true);
}

void ExtensionFilterDlg::accept() {
  QStringList patterns;
  for (int i = 0; i < chosen_->count(); ++i) patterns << chosen_->item(i)->text();
  result_ = patterns.join(QStringLiteral(", "));
  QDialog::accept();
}

// ------------------------------------------------------------------ HtmlDrawDlg

HtmlDrawDlg::HtmlDrawDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg231"));
  setWindowTitle(QStringLiteral("HTMLイメージ抽出中..."));
}

void HtmlDrawDlg::SetSource(CLead* ctrl, const std::string& htmlPath) {
  ctrl_ = ctrl;
  path_ = htmlPath;
}

int HtmlDrawDlg::DoModal() {
  const std::int64_t start = platform::monotonicMs();
  const PageLimits limits = limits_;
  PageSource source;
  if (!ctrl_ || !readPageSource(path_, limits, source)) return QDialog::Rejected;
  // A thumbnail shows the top of the page: the rest is not laid out.
  if (static_cast<std::size_t>(source.html.size()) > limits.drawnTextChars)
    source.html.truncate(static_cast<qsizetype>(limits.drawnTextChars));
  HtmlPageDocument document(source, limits, start);
  // Text at the size a browser gives it on a page 800 pixels wide.
  QFont font = document.defaultFont();
  font.setPixelSize(kBrowserTextPixels);
  document.setDefaultFont(font);
  document.setPage(source.html);
  document.setTextWidth(kSide);
  ctrl_->SetImageHandle(0);
  if (ctrl_->CreateBlank(kSide, kSide, 24) != 0) return QDialog::Rejected;
  QPainter* painter = ctrl_->BeginDraw();
  if (!painter) return QDialog::Rejected;
  painter->fillRect(QRect(0, 0, kSide, kSide), Qt::white);
  painter->setClipRect(QRect(0, 0, kSide, kSide));
  document.drawContents(painter, QRectF(0, 0, kSide, kSide));
  ctrl_->EndDraw();
  loaded_ = document.loaded();
  refused_ = document.refused();
  return QDialog::Accepted;
}
