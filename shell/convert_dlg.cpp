#include "shell/convert_dlg.h"

#include "shell/image_format_lists.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

ConvertDlg::ConvertDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg%1").arg(kDialogId));
  setWindowTitle(QStringLiteral("ファイルコンバート"));
  auto* grid = new QGridLayout(this);
  format_ = new QComboBox(this);
  format_->setObjectName(QStringLiteral("formatList"));
  colour_ = new QComboBox(this);
  colour_->setObjectName(QStringLiteral("colourList"));
  compression_ = new QComboBox(this);
  compression_->setObjectName(QStringLiteral("compressionList"));
  // The conversion renames the file to the new format's extension (a file
  // of one format under another's extension is what this dialog must never
  // leave behind), so the note says that instead of asking the user to
  // rename by hand.
  note_ = new QLabel(QStringLiteral("拡張子は変換後の形式に合わせて変更します。"), this);
  note_->setObjectName(QStringLiteral("noteLabel"));
  grid->addWidget(new QLabel(QStringLiteral("ファイル形式"), this), 0, 0);
  grid->addWidget(format_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("色数"), this), 1, 0);
  grid->addWidget(colour_, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("圧縮率"), this), 2, 0);
  grid->addWidget(compression_, 2, 1);
  grid->addWidget(note_, 3, 0, 1, 2);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  grid->addWidget(buttons, 4, 0, 1, 2);
  connect(buttons, &QDialogButtonBox::accepted, this, &ConvertDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &ConvertDlg::reject);
  choices_ = std::make_unique<ImageFormatChoices>(format_, colour_, compression_);
  choices_->FillFormats(imageformat::ConvertFormatCodes());
  connect(format_, &QComboBox::currentIndexChanged, this, [this] {
    if (!initialising_) choices_->RefillForFormat();
  });
}

ConvertDlg::~ConvertDlg() = default;

void ConvertDlg::OnInitDialog() {
  initialising_ = true;
  ImageFormatChoices::SelectData(format_, formatCode);
  choices_->RefillForFormat();
  if (formatCode != 0) {
    ImageFormatChoices::SelectData(colour_, colourBits);
    ImageFormatChoices::SelectData(compression_, quality);
  }
  initialising_ = false;
}

void ConvertDlg::accept() {
  formatCode = choices_->FormatCode();
  colourBits = choices_->ColourBits();
  quality = choices_->Quality();
  QDialog::accept();
}
