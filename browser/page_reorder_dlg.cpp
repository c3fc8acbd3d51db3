#include "browser/page_reorder_dlg.h"

#include "browser/sort_drag_list_ctrl.h"
#include "catalogue/catalogue_records.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

PageReorderDlg::PageReorderDlg(const std::vector<ItemInfo>& pages, bool showExtension, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("dlg10370"));
  setWindowTitle(QStringLiteral("頁並べ替え"));
  auto* layout = new QVBoxLayout(this);
  auto* prompt = new QLabel(QStringLiteral("タイトルをドラッグして並べ替えて下さい"), this);
  layout->addWidget(prompt);
  list_ = new SortDragListCtrl(this);
  list_->setObjectName(QStringLiteral("ctl10371"));
  list_->setColumnCount(1);
  list_->setHeaderLabels({QStringLiteral("タイトル")});
  list_->header()->setStretchLastSection(true);
  list_->LoadCursors();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const ItemInfo& page = pages[i];
    std::string text = page.Title;
    if (showExtension && !page.Ext.empty()) text += "." + page.Ext;
    auto* row = new QTreeWidgetItem(list_, {QString::fromStdString(text)});
    row->setData(0, Qt::UserRole, static_cast<int>(i));
  }
  layout->addWidget(list_);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  ok->setObjectName(QStringLiteral("ctl1"));
  ok->setDefault(true);
  QPushButton* cancel = buttons->addButton(QStringLiteral("キャンセル"), QDialogButtonBox::RejectRole);
  cancel->setObjectName(QStringLiteral("ctl2"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void PageReorderDlg::accept() {
  order_.clear();
  for (int r = 0; r < list_->topLevelItemCount(); ++r)
    order_.push_back(list_->topLevelItem(r)->data(0, Qt::UserRole).toInt());
  QDialog::accept();
}
