#include "shell/color_choice_dlg.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {

constexpr int kSwatchPixels = 24;

QPixmap swatch(int index) {
  QPixmap pixmap(kSwatchPixels, kSwatchPixels);
  pixmap.fill(FolderColour(index));
  QPainter painter(&pixmap);
  painter.setPen(FolderColour(index).darker(160));
  painter.drawRect(0, 0, kSwatchPixels - 1, kSwatchPixels - 1);
  return pixmap;
}

}  // namespace

QColor FolderColour(int index) {
  static const QColor colours[kFolderColourCount] = {
      QColor(236, 196, 84),   // the default manila folder
      QColor(218, 58, 58),    QColor(238, 138, 38),  QColor(76, 168, 72),
      QColor(40, 164, 186),   QColor(58, 98, 216),   QColor(146, 80, 198),
      QColor(226, 108, 168),  QColor(140, 140, 140),
  };
  return index >= 0 && index < kFolderColourCount ? colours[index] : colours[0];
}

ColorChoiceDlg::ColorChoiceDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("dlg%1").arg(kTemplateId));
  setWindowTitle(QStringLiteral("色の変更"));
  auto* layout = new QHBoxLayout(this);
  for (int i = 0; i < kFolderColourCount; ++i) {
    auto* button = new QPushButton(this);
    button->setObjectName(QStringLiteral("ctl%1").arg(kFirstButtonId + i));
    button->setIcon(swatch(i));
    button->setIconSize(QSize(kSwatchPixels, kSwatchPixels));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, i] {
      chosen_ = i;
      done(i);
    });
    layout->addWidget(button);
  }
}

int ColorChoiceDlg::exec() {
  chosen_ = -1;
  QDialog::exec();
  return chosen_;
}
