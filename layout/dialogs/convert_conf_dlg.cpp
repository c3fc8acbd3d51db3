#include "layout/dialogs/convert_conf_dlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace layout::dialogs {

ConvertConfDialog::ConvertConfDialog(const std::string& folder, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ConvertConf"));
  setWindowTitle(QStringLiteral("ﾃﾝﾌﾟﾚｰﾄの変換"));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("変換するﾃﾝﾌﾟﾚｰﾄは"), this));
  auto* edit = new QLineEdit(QString::fromStdString(folder), this);
  edit->setObjectName(QStringLiteral("ctl1040"));
  edit->setReadOnly(true);
  layout->addWidget(edit);
  auto* text = new QLabel(
      QStringLiteral("は以前のﾊﾞｰｼﾞｮﾝのﾃﾝﾌﾟﾚｰﾄです。このﾊﾞｰｼﾞｮﾝで使用するためにはﾃﾝﾌﾟﾚｰﾄを変換する必要があります"),
      this);
  text->setWordWrap(true);
  layout->addWidget(text);
  sixteen_ = new QRadioButton(QStringLiteral("Ver 2.0　16ﾋﾞｯﾄ版のﾃﾝﾌﾟﾚｰﾄ"), this);
  sixteen_->setObjectName(QStringLiteral("ctl1038"));
  auto* thirtyTwo = new QRadioButton(QStringLiteral("Ver 2.0  32ﾋﾞｯﾄ版のﾃﾝﾌﾟﾚｰﾄ"), this);
  thirtyTwo->setObjectName(QStringLiteral("ctl1039"));
  thirtyTwo->setChecked(true);
  layout->addWidget(sixteen_);
  layout->addWidget(thirtyTwo);
  auto* buttons = new QDialogButtonBox(this);
  auto* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole)->setObjectName(QStringLiteral("ctl2"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

int ConvertConfDialog::mode() const { return sixteen_->isChecked() ? 1 : 2; }

ConvertConfirm confirm_conversion(QWidget* parent) {
  return [parent](const std::string& folder, int* mode) {
    ConvertConfDialog dialog(folder, parent);
    if (dialog.exec() != QDialog::Accepted) return false;
    *mode = dialog.mode();
    return true;
  };
}

}  // namespace layout::dialogs
