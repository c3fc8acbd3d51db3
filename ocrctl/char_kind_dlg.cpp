#include "ocrctl/char_kind_dlg.h"

#include "ocrctl/control_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace ocrctl {

CharKindDlg::CharKindDlg(unsigned value, QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg202"));
  setWindowTitle(QStringLiteral("認識字種設定"));
  setFont(controlDialogFont());
  setModal(true);
  auto* grid = new QGridLayout;
  for (std::size_t i = 0; i < kCharKinds.size(); ++i) {
    auto* box = new QCheckBox(QString::fromUtf8(kCharKinds[i].text), this);
    box->setObjectName(QStringLiteral("ctl%1").arg(kCharKinds[i].id));
    box->setChecked((value & kCharKinds[i].bit) != 0);
    grid->addWidget(box, static_cast<int>(i / 3), static_cast<int>(i % 3));
    boxes_[i] = box;
  }
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cancel->setObjectName(QStringLiteral("ctl2"));
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  auto* boxes = new QVBoxLayout;
  boxes->addLayout(grid);
  boxes->addStretch(1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(boxes, 1);
  layout->addLayout(buttons);
  resize(dialogUnits(*this, 187, 93));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

unsigned CharKindDlg::value() const {
  unsigned sum = 0;
  for (std::size_t i = 0; i < kCharKinds.size(); ++i)
    if (boxes_[i]->isChecked()) sum += kCharKinds[i].bit;
  return sum;
}

}  // namespace ocrctl
