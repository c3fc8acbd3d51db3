#include "browser/list_pane.h"

CListPane::CListPane(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kControlId));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, p.color(QPalette::Base));
  setPalette(p);
}
