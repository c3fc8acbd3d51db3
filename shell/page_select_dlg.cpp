#include "shell/page_select_dlg.h"

#include "platform/user_interaction.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
QIcon kindIcon(const QStyle* style, int kind) {
  static constexpr QStyle::StandardPixmap kIcons[] = {
      QStyle::SP_FileIcon,          QStyle::SP_FileDialogDetailedView, QStyle::SP_DriveHDIcon,
      QStyle::SP_FileDialogContentsView, QStyle::SP_FileLinkIcon,     QStyle::SP_MessageBoxInformation};
  return style->standardIcon(kIcons[(kind >= 0 && kind < 6) ? kind : 0]);
}
}  // namespace

PageSelectDlg::PageSelectDlg(const std::vector<Page>& pages, int selected, bool showExtension,
                             QWidget* parent)
    : QDialog(parent), selected_(-1) {
  setObjectName(QStringLiteral("dlg10240"));
  setWindowTitle(QStringLiteral("表示頁の選択"));
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("ctl10241"));
  list_->setRootIsDecorated(false);
  list_->setHeaderHidden(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  for (const Page& page : pages) {
    QString text = page.title;
    if (showExtension && !page.extension.isEmpty()) text += '.' + page.extension;
    auto* item = new QTreeWidgetItem(list_, QStringList{text});
    item->setIcon(0, kindIcon(style(), page.kind));
  }
  if (selected >= 0 && selected < list_->topLevelItemCount()) {
    QTreeWidgetItem* item = list_->topLevelItem(selected);
    list_->setCurrentItem(item);
    list_->scrollToItem(item);
  }
  connect(list_, &QTreeWidget::itemDoubleClicked, this, &PageSelectDlg::accept);
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
  connect(buttons, &QDialogButtonBox::accepted, this, &PageSelectDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &PageSelectDlg::reject);
  layout->addWidget(buttons);
}

void PageSelectDlg::accept() {
  const QList<QTreeWidgetItem*> chosen = list_->selectedItems();
  if (chosen.isEmpty()) {
    platform::messageBox("ページが選択されていません。", platform::Buttons::Ok,
                         platform::Icon::Warning, windowTitle().toStdString());
    return;
  }
  selected_ = list_->indexOfTopLevelItem(chosen.front());
  QDialog::accept();
}
