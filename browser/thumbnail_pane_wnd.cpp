#include "browser/thumbnail_pane_wnd.h"

ThumbnailPaneWnd::ThumbnailPaneWnd(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("ctl%1").arg(kControlId));
  setFrameShape(QFrame::StyledPanel);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);  // the board's default background
  setPalette(p);
}
