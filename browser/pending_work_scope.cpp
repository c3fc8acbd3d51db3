#include "browser/pending_work_scope.h"

#include "shell/busy_flag.h"
#include "shell/main_frame.h"

#include <QWidget>

PendingWorkScope::PendingWorkScope(QWidget* parent) : parent_(parent) { SetBusy(true); }

PendingWorkScope::~PendingWorkScope() {
  if (auto* frame = qobject_cast<CMainFrame*>(parent_ ? parent_->window() : nullptr))
    frame->RunPendingWork();
  else
    SetBusy(false);
}
